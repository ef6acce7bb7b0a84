// XInput's pad state as the inputs profiles name, under Wine (which cannot
// fake an XInput pad): each of the state's fields reaches the profile as the
// input of that name, Y up as XInput has it turned to the panel's down.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/panel/control_ids.h"
#include "app/sources/win32/raw_input_pad.h"
#include "app/sources/win32/xinput_pad.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"
#include <xinput.h>

TEST(XInput, EachFieldOfAPadsStateIsTheInputOfItsNameThroughTheProfile) {
  std::vector<std::string> done;
  Steering steering({[&done](int x, int y, const Source&) { return done.push_back("move " + std::to_string(x) + " " + std::to_string(y)), true; },
                     [&done](const Source&) { done.push_back("stop"); },
                     [&done](int id, const Source&) { done.push_back("click " + std::to_string(id)); },
                     [] { return false; }, [] {}, [](unsigned) {}});
  PadMapping pad(steering, {Source::Kind::kPad, 1, 1, "pad 1 (XInput pad 1)"}, "XInput pad 1", steering.Profile());
  const auto feed = [&pad](const XInputInputs& state) {
    for (const auto& [name, value] : state.values) pad.Input(name, value);
  };
  feed(XInputNamed(XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_DPAD_UP, 0, 200, 0, 32767, 0, 0));  // A, the right trigger, stick up
  feed(XInputNamed(0, 0, 0, 0, 0, 0, 0));  // all let go
  EXPECT_EQ(done, (std::vector<std::string>{"move 0 -200", "click " + std::to_string(idc::ZoomEnlarge),
                                            "click " + std::to_string(idc::StartTracking), "stop"}));
  const XInputInputs all = XInputNamed(0xFFFF, 255, 255, -32768, -32768, 32767, 32767);
  for (const auto& [name, value] : all.values) {
    EXPECT_TRUE(PadInputNamed(name)) << name;
    EXPECT_NE(value, 0.0) << name;
  }
}

// A HID joystick's report (a flight stick through Raw Input) as the inputs a
// profile names, as SDL names a joystick it has no mapping for: the axes by
// usage order from their logical range to -1..1, the hat's four ways, the
// buttons from 0.
TEST(RawInput, AReportIsTheInputsOfTheirNumbers) {
  HidLayout stick;
  stick.axes = {{0x30, 0, 1023}, {0x31, 0, 1023}, {0x35, 0, 255}, {0x36, 0, 255}};  // X, Y, twist, throttle
  stick.hat = true;
  stick.buttons = 3;
  HidReport r;
  r.axes = {1023, 0, 128, 0};
  r.hat = 1;  // up and right
  r.pressed = {2};
  const std::vector<std::pair<std::string, double>> got = HidInputs(stick, r);
  const std::vector<std::pair<std::string, double>> want = {
      {"axis0", 1.0}, {"axis1", -1.0}, {"axis2", 128.0 / 255 * 2 - 1}, {"axis3", -1.0},
      {"hat0up", 1}, {"hat0right", 1}, {"hat0down", 0}, {"hat0left", 0},
      {"button0", 0}, {"button1", 0}, {"button2", 1}};
  EXPECT_EQ(got, want);
  r.hat = 8;  // centred: outside 0..7
  for (const auto& [name, value] : HidInputs(stick, r)) {
    if (name.rfind("hat", 0) == 0) {
      EXPECT_EQ(value, 0.0) << name;
    }
  }
  for (const auto& [name, value] : got) EXPECT_TRUE(PadInputNamed(name)) << name;
}
