// Steering with a gamepad: the mapping from deflection to steps, and what
// the pad sends when, against a panel that records what it was asked to do.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/gamepad.h"
#include "app/pad_profile.h"
#include "app/script_commands.h"
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
  pad.PadOf(kPad).Input("a", 1);
  p.blocked = false;
  pad.Tick();
  EXPECT_EQ(p.done, (std::vector<std::string>{"move 200 0", "tick 40", "tick 0"}));

  p.done.clear();
  pad.Stick(0, 1, kPad);
  pad.Lost(kPad);  // unplugged mid-move
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

// Without a profile a pad does what it always did: A, B and X press their
// buttons, Y freezes then thaws, the shoulders and triggers zoom while held.
TEST(Steering, ButtonsPressThePanelsButtonsAndZoomRepeatsWhileHeld) {
  RecordingPanel p;
  Steering steering(p.Panel());
  PadMapping& pad = steering.PadOf(kPad);
  for (const char* b : {"a", "b", "x", "y", "y"}) {
    pad.Input(b, 1);
    pad.Input(b, 0);
  }
  pad.Input("righttrigger", 0.4);  // not yet half way
  pad.Input("righttrigger", 0.9);
  steering.Tick();
  pad.Input("righttrigger", 0);
  pad.Input("leftshoulder", 1);
  pad.Input("leftshoulder", 0);
  const auto click = [](int id) { return "click " + std::to_string(id); };
  EXPECT_EQ(p.done, (std::vector<std::string>{click(idc::StartTracking), click(idc::ExitTracking),
                                              click(idc::SingleCapture), click(idc::Frozen), click(idc::Thaw),
                                              click(idc::ZoomEnlarge), "tick 40", click(idc::ZoomEnlarge), "tick 0",
                                              click(idc::ZoomNarrow), "tick 40", "tick 0"}));
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

// A profile as the operator writes it: each fault said with its line, and
// nothing taken from a profile that has one; what is taken reads back the same.
TEST(PadProfile, EachFaultIsSaidWithItsLineAndAGoodProfileReadsBackTheSame) {
  const struct {
    const char* text;
    std::vector<std::string> faults;
  } cases[] = {
      {"a = click 1050\nleftx = pan invert deadzone 0.1 expo 0.5\nbutton7 up = click 1051  # let go\n", {}},
      {"# a note\n\nhat0up = tilt up\naxis3 = zoom\nlb = zoom out\nramp-ms = 200\nzoom-scale = 0.3\n", {}},
      {"a = click 9999\nb = frobnicate\n", {"line 1: no control 9999", "line 2: unknown command"}},
      {"x = select 1094 99\ny = slide 1004 1\n", {"line 1: no entry 99 in 1094", "line 2: 1004 is no slider"}},
      {"start\ndpup =\nbutton128 = freeze\nhat0middle = freeze\n",
       {"line 1: INPUT = ACTION expected", "line 2: nothing after =",
        "line 3: no input button128 (a, leftshoulder, leftx, dpup, ..., axis3, button7, hat0up)",
        "line 4: no input hat0middle (a, leftshoulder, leftx, dpup, ..., axis3, button7, hat0up)"}},
      {"a = pan\nleftx = zoom in\nb = wait 100\nx = pad y\ny down = freeze\nlefty = tilt sideways\n",
       {"line 1: a button moves pan left or right", "line 3: a press does not wait",
        "line 4: a press does not press the pad", "line 5: \"y down\": an input, or an input and up",
        "line 6: after tilt: invert, deadzone D, expo E; or up, down"}},
      {"a = freeze\na = click 1050\nb up = freeze\ndeadzone = 0.95\nmax-step = 1.5\n",
       {"line 2: a is bound twice", "line 3: only a command runs when an input is let go",
        "line 4: deadzone takes 0 to 0.9", "line 5: max-step takes a whole number, 1 to 32767"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> faults;
    const std::optional<PadProfile> p = ReadPadProfile(c.text, {}, ScriptCommands::Check, faults);
    EXPECT_EQ(faults, c.faults) << c.text;
    EXPECT_EQ(p.has_value(), c.faults.empty()) << c.text;
    if (!p) continue;
    std::vector<std::string> again;
    const std::optional<PadProfile> back = ReadPadProfile(p->Text(), {}, ScriptCommands::Check, again);
    ASSERT_TRUE(back) << p->Text();
    EXPECT_EQ(back->Text(), p->Text());
  }
  // The shipped profiles read as they are.
  for (const char* name : {"xbox", "playstation", "flightstick"}) {
    PadProfiles shipped({}, {}, ScriptCommands::Check);
    std::string why;
    EXPECT_TRUE(shipped.Give(std::string(VARNEL_PADS) + "/" + name + ".pad", why)) << why;
  }
}

// Every kind of input to every kind of action, through one pad's mapping;
// a second pad steers in turn, and the one removed stops only what it drove.
TEST(PadProfile, EveryKindOfInputActsAndEachPadStopsOnlyWhatItDrove) {
  std::vector<std::string> faults;
  const std::optional<PadProfile> profile = ReadPadProfile(
      "axis2 = pan deadzone 0.1 expo 0\naxis1 = tilt invert\nrighty = zoom\nhat0left = pan left\n"
      "button0 = click 1050\nbutton0 up = click 1051\nlefttrigger = freeze\nbutton3 = get 1004\n",
      {}, ScriptCommands::Check, faults);
  ASSERT_TRUE(profile) << faults.front();
  RecordingPanel r;
  r.named = true;
  Steering steering(r.Panel());
  steering.RunCommands([&r](const std::string& line, const Source& who) { r.done.push_back(line + " " + who.name); });
  const Source one{Source::Kind::kPad, 5, 1, "pad 1"}, two{Source::Kind::kPad, 6, 2, "pad 2"};
  PadMapping first(steering, one, "stick", *profile), second(steering, two, "pad", steering.Profile());
  const auto step = [&](const char* what) { r.done.push_back(what); };
  step("twist");
  first.Input("axis2", 1);      // full twist: pan alone, its own dead zone, linear
  first.Input("axis1", -0.5);   // the other axis alone too: tilt inverted, so down
  steering.Tick();
  first.Input("axis2", 0);
  first.Input("axis1", 0);
  step("hat");
  first.Input("hat0left", 1);
  first.Input("hat0left", 0);
  step("buttons");
  first.Input("button0", 1);
  first.Input("button0", 0);
  first.Input("lefttrigger", 0.8);
  first.Input("lefttrigger", 0.1);
  first.Input("button3", 1);
  step("zoom axis");
  first.Input("righty", -0.7);
  first.Input("righty", 0);
  step("two pads");
  second.Input("leftx", 1);   // the second drives
  first.Input("hat0left", 1);  // the first takes over
  second.Input("leftx", 0);   // a rest from the one not driving stops nothing
  second.Lost();               // nor does its going
  first.Lost();                // the driver's going stops
  const auto click = [](int id) { return "click " + std::to_string(id) + " pad 1"; };
  EXPECT_EQ(r.done, (std::vector<std::string>{
                        "twist", "move 200 0 pad 1", "tick 40", "move 200 55 pad 1", "move 0 0 pad 1", "tick 0",
                        "hat", "move -200 0 pad 1", "tick 40", "move 0 0 pad 1", "tick 0",
                        "buttons", click(1050), click(1051), click(idc::Frozen), "get 1004 pad 1",
                        "zoom axis", click(idc::ZoomNarrow), "tick 40", "tick 0",
                        "two pads", "move 200 0 pad 2", "tick 40", "move 0 0 pad 1", "tick 0"}));
}
