// The main window's bound values: what each edit box, check box and the
// status line hold between handlers, as the handlers and the exchange read them.
#pragma once

#include <string>

#include "app/panel/control_ids.h"

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
