// The bound values of the main window and their exchange with the controls,
// row by row in a fixed order: int edits as decimal text, floats with 6
// significant digits, doubles with 15, check boxes 0/1, strings verbatim.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "app/panel/control_ids.h"
#include "app/panel/controls.h"

struct BoundValues {
  std::string m_strStatus;
  int m_nStep = 1;
  int m_nOffsetX = 0;
  int m_nOffsetY = 0;
  int m_bNetwork = 0;
  int m_nVideoLength = 600;
  int m_bInterlaced = 0;
  int m_nZoomText = 1;
  int m_bPseudoColor = 0;
  int m_bTempBar = 0;
  int m_nYear = 2017, m_nMonth = 1, m_nDay = 1, m_nHour = 0, m_nMinute = 0, m_nSecond = 0;
  float m_fHeading = 0, m_fPitching = 0, m_fRoll = 0;  // degrees
  double m_dGpsN = 41.706604309618584;                 // degrees
  double m_dGpsE = 123.44146151422501;                 // degrees
  float m_fGpsH = 0;                                   // metres
  std::string m_strSentFrame;
  int m_bOsd[16] = {};  // the OSD check boxes, idc::OsdFirst to idc::OsdLast
  int m_bHighTempAlarm = 0, m_bLowTempAlarm = 0;
  int m_nAlarmTemp = 0;
  int m_nCoeffText = 0;
  std::string m_strManual;
  int m_bShowRecvTime = 0;
  int m_nPollPeriod = 160;  // ms
  int m_nContrastText = 0;
  int m_nBrightnessText = 0;
  int m_bCompTemp = 0;
  float m_fCompTemp = 0;  // degrees
  int m_bImageEnhance = 0;

  int& Osd(int id) { return m_bOsd[id - idc::OsdFirst]; }
  int Osd(int id) const { return m_bOsd[id - idc::OsdFirst]; }
};

struct DxFailure {
  int id = 0;
  std::string text;     // what the control held
  std::string message;  // for the operator, naming the bounds where a range applies
};

// save = true: controls -> members, validating; stops at the first failing
// row (earlier rows keep their new values, later ones their old) and returns
// false. save = false: members -> controls; cannot fail. Slider ranges are set
// again in both directions. Controls in skip are left alone when writing.
bool DoDataExchange(IControls& controls, BoundValues& values, bool save, DxFailure* failure = nullptr,
                    const std::set<int>* skip = nullptr);

// The ids of the exchanged rows, in exchange order.
const std::vector<int>& ExchangeOrder();

// What the edit id accepts, for a script writer: "integer 1 to 30", "number",
// "text"; empty for a control that is no edit.
std::string AcceptedInput(int id);

std::string FormatFloat6(float value);    // "%.6g"
std::string FormatDouble15(double value); // "%.15g"
bool ParseIntText(const std::string& text, int& out);
bool ParseDoubleText(const std::string& text, double& out);
