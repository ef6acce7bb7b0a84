// Steering with a gamepad: the mapping from deflection to steps, and what
// the pad sends when, against a panel that records what it was asked to do.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/gamepad.h"
#include "app/panel/control_ids.h"

TEST(StickMapping, DeadZoneRampExpoAndInvert) {
  PadSettings s;  // dead zone 0.15, expo 0.4, 200 at full deflection
  struct Case {
    double x, y;
    StickSteps steps;
  } const cases[] = {
      {0, 0, {0, 0}},         {0.1, 0.1, {0, 0}},     {0.15, 0, {0, 0}},   // inside the dead zone
      {0.151, 0, {1, 0}},     {0, -0.151, {0, -1}},                        // at its edge the smallest step
      {1, 0, {200, 0}},       {-1, 0, {-200, 0}},     {0, 1, {0, 200}},    // full deflection
      {2, 0, {200, 0}},       {0.5, 0, {55, 0}},      {0.6, 0.8, {120, 160}},
  };
  for (const Case& c : cases) EXPECT_EQ(MapStick(c.x, c.y, s), c.steps) << c.x << "," << c.y;
  EXPECT_EQ(MapStick(std::nan(""), 0, s), StickSteps{});

  // Monotonic from the edge of the dead zone to full deflection, for any expo.
  for (double expo : {0.0, 0.4, 1.0}) {
    s.expo = expo;
    int last = 0;
    for (int percent = 16; percent <= 100; ++percent) {
      const double x = percent / 100.0;
      const int step = MapStick(x, 0, s).x;
      EXPECT_GE(step, last) << "expo " << expo << " at " << x;
      last = step;
    }
    EXPECT_EQ(last, 200);
  }
  s.invertY = true;
  EXPECT_EQ(MapStick(0, 1, s), (StickSteps{0, -200}));
  s.maxStep = 1;
  EXPECT_EQ(MapStick(1, 0, s), (StickSteps{1, 0}));
}

namespace {
struct RecordingPanel {
  std::vector<std::string> done;  // "move X Y" ("move 0 0": the stop), "click ID", "tick MS"
  bool blocked = false;
  bool boxInstead = false;  // the next move opens a box instead of going out
  PadSteering::Panel Panel() {
    return {[this](int x, int y) {
              if (boxInstead) return done.push_back("box"), false;
              return done.push_back("move " + std::to_string(x) + " " + std::to_string(y)), true;
            },
            [this] { done.push_back("move 0 0"); }, [this](int id) { done.push_back("click " + std::to_string(id)); },
            [this] { return blocked; }, [] {}, [this](unsigned ms) { done.push_back("tick " + std::to_string(ms)); }};
  }
};
}  // namespace

TEST(PadSteering, MovesAtOnceThenEveryTickAndStopsOnce) {
  RecordingPanel p;
  PadSteering pad(p.Panel());
  pad.Stick(0.5, 0);
  pad.Stick(0.6, 0);  // replaces the state not sent yet
  pad.Tick();
  pad.Tick();
  pad.Stick(0.05, 0);  // back in the dead zone
  pad.Tick();          // a tick already posted: nothing more
  pad.Stick(0, 0);
  EXPECT_EQ(p.done, (std::vector<std::string>{"move 55 0", "tick 40", "move 75 0", "move 75 0", "move 0 0", "tick 0"}));
}

TEST(PadSteering, NothingWhileABoxIsOpenAndTheStopWhenThePadGoes) {
  RecordingPanel p;
  PadSteering pad(p.Panel());
  pad.Stick(1, 0);
  p.blocked = true;  // a message box opens
  pad.Tick();
  pad.Stick(0, 0);  // let go inside the box
  pad.Button(PadButton::kA, true);
  p.blocked = false;
  pad.Tick();
  EXPECT_EQ(p.done, (std::vector<std::string>{"move 200 0", "tick 40", "tick 0"}));

  p.done.clear();
  pad.Stick(0, 1);
  pad.Lost();  // unplugged mid-move
  pad.Tick();
  EXPECT_EQ(p.done, (std::vector<std::string>{"move 0 200", "tick 40", "move 0 0", "tick 0"}));
}

// A box mid-move ends it: the same held stick neither moves again after OK
// nor brings back a box its own move raised; only a new deflection moves.
TEST(PadSteering, AfterABoxOnlyANewDeflectionMoves) {
  RecordingPanel p;
  PadSteering pad(p.Panel());
  pad.Stick(1, 0);
  p.blocked = true;
  pad.Tick();
  p.blocked = false;
  pad.Tick();
  pad.Stick(0.9, 0);  // still held
  pad.Stick(0, 0);    // at rest: the box's opening stopped it already
  pad.Stick(1, 0);
  EXPECT_EQ(p.done, (std::vector<std::string>{"move 200 0", "tick 40", "tick 0", "move 200 0", "tick 40"}));

  p.done.clear();
  pad.Stick(0, 0);
  p.boxInstead = true;  // a step the edits refuse
  pad.Stick(1, 0);
  pad.Tick();
  pad.Stick(0.8, 0);
  EXPECT_EQ(p.done, (std::vector<std::string>{"move 0 0", "tick 0", "box"}));
}

TEST(PadSteering, ButtonsPressThePanelsButtonsAndZoomRepeatsWhileHeld) {
  RecordingPanel p;
  PadSteering pad(p.Panel());
  for (PadButton b : {PadButton::kA, PadButton::kB, PadButton::kX, PadButton::kY, PadButton::kY}) {
    pad.Button(b, true);
    pad.Button(b, false);
  }
  pad.Button(PadButton::kRightTrigger, true);
  pad.Tick();
  pad.Button(PadButton::kRightTrigger, false);
  pad.Button(PadButton::kLeftShoulder, true);
  pad.Button(PadButton::kLeftShoulder, false);
  const auto click = [](int id) { return "click " + std::to_string(id); };
  EXPECT_EQ(p.done, (std::vector<std::string>{click(idc::StartTracking), click(idc::ExitTracking),
                                              click(idc::SingleCapture), click(idc::Frozen), click(idc::Thaw),
                                              click(idc::ZoomEnlarge), "tick 40", click(idc::ZoomEnlarge), "tick 0",
                                              click(idc::ZoomNarrow), "tick 40", "tick 0"}));
  EXPECT_EQ(PadButtonNamed("rt"), PadButton::kRightTrigger);
  EXPECT_EQ(PadButtonNamed("start"), std::nullopt);
}

// A polled pad (XInput): what changed between two looks becomes the events a
// pad that reports them (SDL) gives, the same steering either way.
TEST(PadSteering, APolledPadsChangesAreItsEvents) {
  RecordingPanel p;
  PadSteering pad(p.Panel());
  PadState none, still, right, pressed, gone;
  still.connected = right.connected = pressed.connected = true;
  right.x = pressed.x = 1;
  pressed.buttons[static_cast<int>(PadButton::kA)] = true;
  ApplyPadState(pad, none, still);      // connected at rest: nothing moves
  ApplyPadState(pad, still, right);     // the stick
  ApplyPadState(pad, right, right);     // no change: no event
  ApplyPadState(pad, right, pressed);   // A pressed
  ApplyPadState(pad, pressed, gone);    // unplugged: the stop
  EXPECT_EQ(p.done, (std::vector<std::string>{"move 200 0", "tick 40", "click " + std::to_string(idc::StartTracking),
                                              "move 0 0", "tick 0"}));
}
