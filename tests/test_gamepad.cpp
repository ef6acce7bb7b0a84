// Steering with a gamepad: the mapping from deflection to steps, and what
// the pad sends when, against a panel that records what it was asked to do.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/gamepad.h"
#include "app/steering.h"
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
  bool named = false;        // each move, stop and click says whose it is
  std::string By(const Source& who) const { return named ? " " + who.name : ""; }
  Steering::Panel Panel() {
    return {[this](int x, int y, const Source& who) {
              if (boxInstead) return done.push_back("box"), false;
              return done.push_back("move " + std::to_string(x) + " " + std::to_string(y) + By(who)), true;
            },
            [this](const Source& who) { done.push_back("move 0 0" + By(who)); },
            [this](int id, const Source& who) { done.push_back("click " + std::to_string(id) + By(who)); },
            [this] { return blocked; }, [] {}, [this](unsigned ms) { done.push_back("tick " + std::to_string(ms)); }};
  }
};
const Source kPad{Source::Kind::kPad, 1, 1, "pad 1"};
}  // namespace

TEST(Steering, MovesAtOnceThenEveryTickAndStopsOnce) {
  RecordingPanel p;
  Steering pad(p.Panel());
  pad.Stick(0.5, 0, kPad);
  pad.Stick(0.6, 0, kPad);  // replaces the state not sent yet
  pad.Tick();
  pad.Tick();
  pad.Stick(0.05, 0, kPad);  // back in the dead zone
  pad.Tick();          // a tick already posted: nothing more
  pad.Stick(0, 0, kPad);
  EXPECT_EQ(p.done, (std::vector<std::string>{"move 55 0", "tick 40", "move 75 0", "move 75 0", "move 0 0", "tick 0"}));
}

TEST(Steering, NothingWhileABoxIsOpenAndTheStopWhenThePadGoes) {
  RecordingPanel p;
  Steering pad(p.Panel());
  pad.Stick(1, 0, kPad);
  p.blocked = true;  // a message box opens
  pad.Tick();
  pad.Stick(0, 0, kPad);  // let go inside the box
  pad.Button(PadButton::kA, true, kPad);
  p.blocked = false;
  pad.Tick();
  EXPECT_EQ(p.done, (std::vector<std::string>{"move 200 0", "tick 40", "tick 0"}));

  p.done.clear();
  pad.Stick(0, 1, kPad);
  pad.Lost();  // unplugged mid-move
  pad.Tick();
  EXPECT_EQ(p.done, (std::vector<std::string>{"move 0 200", "tick 40", "move 0 0", "tick 0"}));
}

// A box mid-move ends it: the same held stick neither moves again after OK
// nor brings back a box its own move raised; only a new deflection moves.
TEST(Steering, AfterABoxOnlyANewDeflectionMoves) {
  RecordingPanel p;
  Steering pad(p.Panel());
  pad.Stick(1, 0, kPad);
  p.blocked = true;
  pad.Tick();
  p.blocked = false;
  pad.Tick();
  pad.Stick(0.9, 0, kPad);  // still held
  pad.Stick(0, 0, kPad);    // at rest: the box's opening stopped it already
  pad.Stick(1, 0, kPad);
  EXPECT_EQ(p.done, (std::vector<std::string>{"move 200 0", "tick 40", "tick 0", "move 200 0", "tick 40"}));

  p.done.clear();
  pad.Stick(0, 0, kPad);
  p.boxInstead = true;  // a step the edits refuse
  pad.Stick(1, 0, kPad);
  pad.Tick();
  pad.Stick(0.8, 0, kPad);
  EXPECT_EQ(p.done, (std::vector<std::string>{"move 0 0", "tick 0", "box"}));
}

TEST(Steering, ButtonsPressThePanelsButtonsAndZoomRepeatsWhileHeld) {
  RecordingPanel p;
  Steering pad(p.Panel());
  for (PadButton b : {PadButton::kA, PadButton::kB, PadButton::kX, PadButton::kY, PadButton::kY}) {
    pad.Button(b, true, kPad);
    pad.Button(b, false, kPad);
  }
  pad.Button(PadButton::kRightTrigger, true, kPad);
  pad.Tick();
  pad.Button(PadButton::kRightTrigger, false, kPad);
  pad.Button(PadButton::kLeftShoulder, true, kPad);
  pad.Button(PadButton::kLeftShoulder, false, kPad);
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
TEST(Steering, APolledPadsChangesAreItsEvents) {
  RecordingPanel p;
  Steering pad(p.Panel());
  PadState none, still, right, pressed, gone;
  still.connected = right.connected = pressed.connected = true;
  right.x = pressed.x = 1;
  pressed.buttons[static_cast<int>(PadButton::kA)] = true;
  ApplyPadState(pad, none, still, kPad);      // connected at rest: nothing moves
  ApplyPadState(pad, still, right, kPad);     // the stick
  ApplyPadState(pad, right, right, kPad);     // no change: no event
  ApplyPadState(pad, right, pressed, kPad);   // A pressed
  ApplyPadState(pad, pressed, gone, kPad);    // unplugged: the stop
  EXPECT_EQ(p.done, (std::vector<std::string>{"move 200 0", "tick 40", "click " + std::to_string(idc::StartTracking),
                                              "move 0 0", "tick 0"}));
}

// Whoever drives, one steering state: the latest to move drives and every
// frame is its own; a rest from a source that never drove stops nothing,
// even one whose number within its kind is the driver's.
TEST(Steering, TheLatestToMoveDrivesAndARestFromAnotherStopsNothing) {
  SourceCounter sources;
  const Source client = sources.Next(Source::Kind::kClient);
  const Source controller = sources.Next(Source::Kind::kVisca, "127.0.0.1:5000");
  ASSERT_EQ(client.number, controller.number);
  ASSERT_NE(client.id, controller.id);
  ASSERT_NE(client.name, controller.name);
  RecordingPanel p;
  p.named = true;
  Steering pad(p.Panel());
  pad.Stick(1, 0, client);
  pad.Steer({}, controller);  // a stop from a controller that never drove
  pad.Tick();
  pad.Steer({5, 0}, controller);  // now it drives
  pad.Tick();
  pad.Stick(0, 0, client);  // the client's rest: no longer its move
  pad.Steer({}, controller);
  EXPECT_EQ(p.done, (std::vector<std::string>{"move 200 0 client 1", "tick 40", "move 200 0 client 1",
                                              "move 5 0 visca 1 (127.0.0.1:5000)",
                                              "move 0 0 visca 1 (127.0.0.1:5000)", "tick 0"}));
}

// Fine control at long focal lengths and a soft start: a stick's steps
// scaled by the zoom level the panel set and grown over the ramp, never to
// 0 while the axis moves; the stop comes at once, and a controller's drive
// is not shaped.
TEST(Steering, TheZoomScalesAStickAndTheRampStartsItSoftlyButNeverDelaysTheStop) {
  PadSettings s;
  s.zoomScale = 0.25;
  const struct {
    int level;
    unsigned rampMs, frame;
    StickSteps in, out;
  } cases[] = {
      {1, 0, 0, {200, -100}, {200, -100}},   // wide: as mapped
      {30, 0, 0, {200, -100}, {50, -25}},    // full tele: a quarter
      {15, 0, 0, {200, 0}, {128, 0}},        // between, by level
      {30, 0, 0, {1, -2}, {1, -1}},          // a moving axis keeps a step
      {1, 400, 0, {200, 0}, {20, 0}},        // the first frame of the ramp: one period of 400 ms
      {1, 400, 4, {200, 0}, {100, 0}},
      {1, 400, 20, {200, 0}, {200, 0}},      // ramped up
      {30, 400, 0, {200, 0}, {5, 0}},        // both
  };
  for (const auto& c : cases) {
    s.rampMs = c.rampMs;
    EXPECT_EQ(ShapeStick(c.in, s, c.level, c.frame, 40), c.out) << c.level << " " << c.rampMs << " " << c.frame;
  }
  RecordingPanel r;
  Steering::Panel p = r.Panel();
  int zoom = 30;
  p.zoomLevel = [&zoom] { return zoom; };
  s.rampMs = 120;
  Steering steering(p, s);
  const Source pad{Source::Kind::kPad, 1, 1, "pad 1 (test)"};
  steering.Stick(1, 0, pad);  // 200 mapped: a quarter, a third of the ramp
  steering.Tick();
  steering.Tick();
  steering.Tick();
  steering.Stick(0, 0, pad);  // the stop, at once
  steering.Steer({200, 0}, pad);  // a drive's speed is its own
  EXPECT_EQ(r.done, (std::vector<std::string>{"move 17 0", "tick 40", "move 33 0", "move 50 0", "move 50 0", "move 0 0",
                                              "tick 0", "move 200 0", "tick 40"}));
}
