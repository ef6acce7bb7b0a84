// XInput's pad state as the inputs profiles name, under Wine (which cannot
// fake an XInput pad): each of the state's fields reaches the profile as the
// input of that name, Y up as XInput has it turned to the panel's down.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/panel/control_ids.h"
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
