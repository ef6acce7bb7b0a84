// The data exchange's numbers: whatever is typed into an edit, once a value
// is accepted, commit, write back, commit again never drifts: the text shown
// and the value kept stay the same from the first write-back on.
#include <cstdint>
#include <cstring>
#include <string>

#include "app/panel/control_ids.h"
#include "app/panel/data_exchange.h"
#include "app/panel/mem_controls.h"
#include "fuzz_check.h"

namespace {
const int kEdits[] = {idc::Step,    idc::VideoLength, idc::Year,  idc::Month, idc::Day,   idc::Hour,
                      idc::Minute,  idc::Second,      idc::Heading, idc::Pitching, idc::Roll, idc::GpsN,
                      idc::GpsE,    idc::GpsH,        idc::AlarmTemp, idc::OffsetX, idc::OffsetY};

bool SameBits(const BoundValues& a, const BoundValues& b) {
  return a.m_nStep == b.m_nStep && a.m_nVideoLength == b.m_nVideoLength && a.m_nYear == b.m_nYear &&
         a.m_nMonth == b.m_nMonth && a.m_nDay == b.m_nDay && a.m_nHour == b.m_nHour && a.m_nMinute == b.m_nMinute &&
         a.m_nSecond == b.m_nSecond && std::memcmp(&a.m_fHeading, &b.m_fHeading, sizeof(float)) == 0 &&
         std::memcmp(&a.m_fPitching, &b.m_fPitching, sizeof(float)) == 0 &&
         std::memcmp(&a.m_fRoll, &b.m_fRoll, sizeof(float)) == 0 &&
         std::memcmp(&a.m_dGpsN, &b.m_dGpsN, sizeof(double)) == 0 &&
         std::memcmp(&a.m_dGpsE, &b.m_dGpsE, sizeof(double)) == 0 &&
         std::memcmp(&a.m_fGpsH, &b.m_fGpsH, sizeof(float)) == 0 && a.m_nAlarmTemp == b.m_nAlarmTemp &&
         a.m_nOffsetX == b.m_nOffsetX && a.m_nOffsetY == b.m_nOffsetY;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int id = kEdits[data[0] % (sizeof kEdits / sizeof kEdits[0])];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  MemControls controls;
  BoundValues values;
  DoDataExchange(controls, values, false);
  controls.Type(id, text);
  DxFailure failure;
  if (!DoDataExchange(controls, values, true, &failure)) {
    FUZZ_CHECK(failure.id == id);  // only the typed field can fail
    return 0;
  }
  // The text written back is a fixed point: committing it and writing it back
  // again changes neither the text nor the value. (The first write-back may
  // round what was typed: 6 significant digits for a float, 15 for a double.)
  DoDataExchange(controls, values, false);
  const std::string written = controls.GetWindowText(id);
  BoundValues once = values;
  FUZZ_CHECK(DoDataExchange(controls, once, true));
  DoDataExchange(controls, once, false);
  FUZZ_CHECK(controls.GetWindowText(id) == written);
  BoundValues twice = once;
  FUZZ_CHECK(DoDataExchange(controls, twice, true));
  FUZZ_CHECK(SameBits(once, twice));
  return 0;
}
