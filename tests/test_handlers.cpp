// Every command control, from the click to the bytes on the device's side of
// the line, and the echo the operator sees for them.
#include <gtest/gtest.h>

#include <functional>

#include "bytes.h"
#include "literal_frames.h"
#include "panel.h"
#include "protocol/frame.h"
#include "receive/recv_log.h"

namespace {
struct Action {
  const char* name;
  std::function<void(Panel&)> run;
  std::vector<std::uint8_t> wire;  // what the device receives
};

void CheckActions(const std::vector<Action>& actions) {
  for (const Action& a : actions) {
    Panel p;
    a.run(p);
    EXPECT_EQ(p.Wire(a.wire.size()), a.wire) << a.name;
    EXPECT_EQ(p.pty.Drain(30).size(), 0u) << a.name << ": more was sent";
    EXPECT_EQ(p.Sent(), FormatSentFrame(Frame(a.wire.data(), a.wire.size()))) << a.name;
  }
}

std::function<void(Panel&)> Clicks(std::vector<int> ids) {
  return [ids](Panel& p) {
    for (std::size_t i = 0; i < ids.size(); ++i) {
      p.Click(ids[i]);
      if (i + 1 < ids.size()) p.pty.Drain(20);
    }
  };
}
}  // namespace

TEST(Handlers, StorageCaptureFormatAndQueries) {
  CheckActions({
      {"stop", Clicks({idc::StopStorage}), Literal("stop storage")},
      {"capture", Clicks({idc::SingleCapture}), Literal("single capture")},
      {"start", Clicks({idc::StartStorage}), Literal("start storage 600")},
      {"start with everything",
       [](Panel& p) {
         p.Click(idc::Interlaced);
         p.Click(idc::Network);
         p.c.Type(idc::VideoLength, "65536");
         p.Select(idc::Preservation, 2);
         p.Select(idc::PreservationMode, 1);
         p.Select(idc::Channel, 3);
         p.Click(idc::StartStorage);
       },
       Literal("start storage, every option")},
      {"no selections", [](Panel& p) {
         p.c.Type(idc::Preservation, "x");
         p.c.Type(idc::Channel, "x");
         p.Click(idc::StopStorage);
       },
       Literal("stop storage, no preservation")},
      {"format", Clicks({idc::Format}), Literal("format SD card")},
      {"query state", Clicks({idc::QueryState}), Literal("query state")},
      {"capacity", Clicks({idc::Capacity}), Literal("query capacity")},
      {"residual", Clicks({idc::Residual}), Literal("query residual")},
      {"pictures", Clicks({idc::Pictures}), Literal("query pictures")},
      {"minutes", Clicks({idc::Minutes}), Literal("query minutes")},
  });
}

TEST(Handlers, StartStorageOutsideItsRangeSendsNothing) {
  for (const char* length : {"0", "65537"}) {
    Panel p;
    p.c.Type(idc::VideoLength, length);
    p.Click(idc::StartStorage);
    EXPECT_EQ(p.pty.Drain(30).size(), 0u) << length;
    EXPECT_EQ(p.host.messages.size(), 1u) << "the range message, once";
  }
  Panel p;  // text that is no number: refused once, and recording does not start with an old length
  p.c.Type(idc::VideoLength, "abc");
  p.Click(idc::StartStorage);
  EXPECT_EQ(p.pty.Drain(30).size(), 0u);
  EXPECT_EQ(p.host.messages, std::vector<std::string>{"Please enter an integer."});
  p.c.Type(idc::VideoLength, "600");  // corrected, pressed again
  p.Click(idc::StartStorage);
  EXPECT_EQ(p.Wire(48), Literal("start storage 600"));
}

// A press whose values the window has just refused sends nothing and changes
// no echo: the operator was told the value is wrong, the device never gets it.
TEST(Handlers, ARefusedValueNeverReachesTheDevice) {
  const struct {
    int edit;
    const char* text;
    int button;
  } cases[] = {
      {idc::Month, "13", idc::OsdSettings},  {idc::Year, "2100", idc::OsdSettings},
      {idc::Step, "32768", idc::Right},      {idc::Step, "-32769", idc::Left},
      {idc::Step, "-2147483648", idc::Left}, {idc::Step, "70000", idc::Down},
      {idc::AlarmTemp, "x", idc::AlarmOk},   {idc::CompTemp, "301", idc::ChannelOk},
      {idc::Day, "0", idc::Frozen},          {idc::PollPeriod, "0", idc::Shutter},
      {idc::Hour, "24", idc::ManualSend},    {idc::ZoomText, "31", idc::ZoomEnlarge},
  };
  for (const auto& c : cases) {
    Panel p;
    const std::string echo = p.Sent();
    p.c.Type(c.edit, c.text);
    p.Click(c.button);
    EXPECT_EQ(p.host.messages.size(), 1u) << c.text;
    EXPECT_EQ(p.pty.Drain(30).size(), 0u) << c.text << ": sent although refused";
    EXPECT_EQ(p.Sent(), echo) << c.text;
  }
}

TEST(Handlers, TheStepTakesWhatAMoveCarries) {
  CheckActions({
      {"right 32767", [](Panel& p) { p.c.Type(idc::Step, "32767"); p.Click(idc::Right); },
       Frame48({{0, "7E 7E 44 00 00 71 FF FF 7F"}}, 0x2E)},
      {"left -32768", [](Panel& p) { p.c.Type(idc::Step, "-32768"); p.Click(idc::Left); },
       Frame48({{0, "7E 7E 44 00 00 71 FF 00 80"}}, 0x30)},
  });
}

TEST(Handlers, FormatShowsItsProgressAndKeepsTypedValues) {
  Panel p;
  p.c.Type(idc::Step, "9");
  p.Click(idc::Format);
  EXPECT_EQ(p.c.GetWindowText(idc::FormatStatus), "格式化中……");
  EXPECT_EQ(p.c.GetWindowText(idc::Step), "9");  // the operator's, though not read yet
  EXPECT_TRUE(p.dlg->Timer().IsRunning());
  p.dlg->Timer().Stop();
}

TEST(Handlers, QueriesDoNotCommitTheControls) {
  Panel p;
  p.c.Type(idc::Day, "40");
  p.Click(idc::QueryState);
  EXPECT_TRUE(p.host.messages.empty());
}

TEST(Handlers, TrackingAndMotion) {
  auto step = [](const char* s, int mode, std::vector<int> ids) {
    return [=](Panel& p) {
      p.c.Type(idc::Step, s);
      if (mode != 0) p.Select(idc::ControlMode, mode);
      for (std::size_t i = 0; i < ids.size(); ++i) {
        p.Click(ids[i]);
        if (i + 1 < ids.size()) p.pty.Drain(20);
      }
    };
  };
  CheckActions({
      {"right 5", step("5", 0, {idc::Right}), Literal("right 5")},
      {"left 5", step("5", 0, {idc::Left}), Literal("left 5")},
      {"up 5", step("5", 0, {idc::Up}), Literal("up 5")},
      {"down -5", step("-5", 0, {idc::Down}), Literal("up 5")},
      {"mode 1", step("5", 1, {idc::Right}), Literal("mode 1 right 5")},
      {"mode 2", step("-5", 2, {idc::Right}), Literal("mode 2 left 5")},
      {"no mode", [](Panel& p) {
         p.c.Type(idc::Step, "5");
         p.c.Type(idc::ControlMode, "typed");
         p.Click(idc::Right);
       },
       Literal("no mode right 5")},
      {"track", Clicks({idc::StartTracking}), Literal("track start")},
      {"exit", Clicks({idc::ExitTracking}), Literal("track stop")},
      {"moves while tracking", step("5", 0, {idc::StartTracking, idc::Right}),
       Literal("tracking right 5")},
      {"cancel ends tracking", step("5", 0, {idc::StartTracking, idc::CancelTracking, idc::Right}),
       Literal("right 5")},
      {"exit ends tracking", step("5", 0, {idc::StartTracking, idc::ExitTracking, idc::Right}),
       Literal("right 5")},
      {"cancel", Clicks({idc::CancelTracking}), Literal("cancel tracking")},
      {"template", Clicks({idc::Shutter, idc::TemplateOk}), Literal("template adaptive")},
      {"large template", [](Panel& p) {
         p.Select(idc::Template, 1);
         p.Click(idc::TemplateOk);
       },
       Literal("template large")},
  });
}

TEST(Handlers, ArrowsShowTheirStepAndKeepTheOtherAxis) {
  Panel p;
  p.c.Type(idc::Step, "5");
  p.Click(idc::Right);
  EXPECT_EQ(p.c.GetWindowText(idc::OffsetX), "5");
  p.Click(idc::Up);
  EXPECT_EQ(p.c.GetWindowText(idc::OffsetX), "5");
  EXPECT_EQ(p.c.GetWindowText(idc::OffsetY), "-5");
  p.Click(idc::Left);
  EXPECT_EQ(p.c.GetWindowText(idc::OffsetX), "-5");
  // The template "OK" does not commit, and the echo leaves a typed step alone.
  p.c.Type(idc::Step, "9");
  p.Click(idc::TemplateOk);
  EXPECT_EQ(p.c.GetWindowText(idc::Step), "9");
}

TEST(Handlers, Zoom) {
  auto zoom = [](bool privateProtocol, int enlarges) {
    const bool visca = !privateProtocol;
    return [=](Panel& p) {
      if (privateProtocol) p.Click(idc::PrivateZoom);
      for (int i = 0; i < enlarges; ++i) {
        p.Click(idc::ZoomEnlarge);
        if (i + 1 < enlarges) p.pty.Receive(visca ? 9 : 48);  // each click's frame, whole
      }
    };
  };
  CheckActions({
      {"visca 2", zoom(false, 1), Literal("VISCA zoom 2")},
      {"visca 30", zoom(false, 35), Literal("VISCA zoom 30")},
      {"private 5", zoom(true, 4), Literal("private zoom 5")},
      {"narrow at 1", Clicks({idc::ZoomNarrow}), Literal("VISCA zoom 1")},
      {"slider to 30", [](Panel& p) {
         p.c.SetPos(idc::ZoomSlider, 30, true);
         p.Paint();
       },
       Literal("VISCA zoom 30")},
  });
  Panel p;
  for (int i = 0; i < 40; ++i) {
    p.Click(idc::ZoomEnlarge);
    p.pty.Drain(1);  // the device reads as fast as the frames come
  }
  EXPECT_EQ(p.c.GetWindowText(idc::ZoomText), "30");
  p.pty.Drain(30);
  p.Click(idc::ZoomEnlarge);  // at the top already: the level stays and is sent again
  EXPECT_EQ(p.Wire(9), Literal("VISCA zoom 30"));
  for (int i = 0; i < 40; ++i) {
    p.Click(idc::ZoomNarrow);
    p.pty.Drain(1);
  }
  EXPECT_EQ(p.c.GetWindowText(idc::ZoomText), "1");
  p.pty.Drain(30);
  p.Click(idc::PrivateZoom);  // switching sends nothing
  EXPECT_EQ(p.pty.Drain(30).size(), 0u);
  EXPECT_EQ(p.c.GetCheck(idc::Visca), 0);
  p.Click(idc::ZoomEnlarge);  // the next step goes out in the private protocol
  EXPECT_EQ(p.Wire(48), Frame48({{0, "7E 7E 44 00 00 7D 82"}}, 0x3F));
  p.Click(idc::Visca);
  EXPECT_EQ(p.c.GetCheck(idc::PrivateZoom), 0);
  p.Click(idc::ZoomNarrow);
  EXPECT_EQ(p.Wire(9), Literal("VISCA zoom 1"));
}

TEST(Handlers, ImagingAndVideoModes) {
  CheckActions({
      {"frozen", Clicks({idc::Frozen}), Literal("freeze")},
      {"thaw", Clicks({idc::Thaw}), Literal("thaw")},
      {"shutter", Clicks({idc::Shutter}), Literal("shutter")},
      {"enhance on", Clicks({idc::Enhance}), Literal("enhance on")},
      {"enhance off", Clicks({idc::Enhance, idc::Enhance}), Literal("enhance off")},
      {"channel 3", [](Panel& p) {
         p.Select(idc::Channel, 3);
         p.Click(idc::PseudoColor);
         p.c.Type(idc::AlarmTemp, "300");
         p.Click(idc::ChannelOk);
       },
       Literal("display channel 3")},
      {"steady holding", [](Panel& p) { p.Select(idc::Steady, 2); }, Literal("stabilizer holding")},
      {"compensation click", [](Panel& p) {
         p.Select(idc::Steady, 1);
         p.pty.Drain(20);
         p.Click(idc::CompTempCheck);
       },
       Literal("stabilizer off")},
      {"compensation unclick", [](Panel& p) {
         p.Select(idc::Steady, 1);
         p.Click(idc::CompTempCheck);
         p.pty.Drain(20);
         p.Click(idc::CompTempCheck);
       },
       Literal("stabilizer off")},
      {"fog off", [](Panel& p) { p.Select(idc::Defog, 1); }, Literal("defog off")},
      {"1080p/25", [](Panel& p) { p.Select(idc::VideoFormat2, 2); }, Literal("video format 1080p/25")},
      {"1080p/60", [](Panel& p) { p.Select(idc::VideoFormat2, 5); }, Literal("video format 1080p/60")},
  });
  Panel p;
  p.Select(idc::Core, 3);  // does nothing by itself
  p.c.Type(idc::VideoFormat2, "typed");
  p.dlg->OnSelChange(idc::VideoFormat2);  // no selection: no guessed format goes to the camera
  EXPECT_EQ(p.pty.Drain(30).size(), 0u);
}

TEST(Handlers, OsdSettings) {
  CheckActions({
      {"example",
       [](Panel& p) {
         for (int id : {1130, 1137, 1138, 1139}) p.Click(id);
         p.Select(idc::Core, 4);
         const std::pair<int, const char*> fields[] = {
             {idc::Year, "2024"}, {idc::Month, "6"},       {idc::Day, "15"},     {idc::Hour, "12"},
             {idc::Minute, "30"}, {idc::Second, "45"},     {idc::Heading, "1.5"}, {idc::Pitching, "-12.25"},
             {idc::Roll, "0"},    {idc::GpsN, "30.0"},     {idc::GpsE, "120.5"}, {idc::GpsH, "100.0"},
         };
         for (const auto& [id, text] : fields) p.c.Type(id, text);
         p.Click(idc::OsdSettings);
       },
       Literal("OSD example")},
  });
  Panel all;
  for (int id = 1130; id <= 1145; ++id) all.Click(id);
  all.Click(idc::OsdSettings);
  const auto f = all.Wire(48);
  ASSERT_EQ(f.size(), 48u);
  EXPECT_EQ(f[3], 0xFF);
  EXPECT_EQ(f[6], 0xFF);
  EXPECT_EQ(f[14], 0x00);
  struct Single {
    int id;
    int byte;
    std::uint8_t value;
  };
  for (const Single& s : {Single{1144, 6, 0x02}, Single{1139, 6, 0x04}, Single{1138, 6, 0x01}, Single{1145, 6, 0x80},
                          Single{1133, 3, 0x08}, Single{1137, 3, 0x80}}) {
    Panel p;
    p.Click(s.id);
    p.Click(idc::OsdSettings);
    const auto g = p.Wire(48);
    ASSERT_EQ(g.size(), 48u);
    EXPECT_EQ(g[s.byte], s.value) << s.id;
    EXPECT_EQ(g[s.byte == 3 ? 6 : 3], 0) << s.id;
  }
}

TEST(Handlers, OsdCoreEnablesTheSecondVideoFormatList) {
  Panel p;
  p.Click(idc::OsdSettings);
  EXPECT_FALSE(p.c.IsWindowEnabled(idc::VideoFormat2));
  p.Select(idc::Core, 1);
  p.Click(idc::OsdSettings);
  EXPECT_FALSE(p.c.IsWindowEnabled(idc::VideoFormat1));
  EXPECT_TRUE(p.c.IsWindowEnabled(idc::VideoFormat2));
  EXPECT_EQ(p.Wire(96).at(48 + 4), 0x10);
}

TEST(Handlers, OsdAfterACorrectedYearSendsTheCorrection) {
  Panel p;
  p.c.Type(idc::Year, "2100");
  p.Click(idc::OsdSettings);
  EXPECT_EQ(p.host.messages.size(), 1u);
  EXPECT_EQ(p.pty.Drain(30).size(), 0u);
  p.c.Type(idc::Year, "2099");
  p.Click(idc::OsdSettings);
  const auto f = p.Wire(48);
  ASSERT_EQ(f.size(), 48u);
  EXPECT_EQ(f[7], 0x33);  // 2099 = 0x0833
  EXPECT_EQ(f[8], 0x08);
}

TEST(Handlers, TemperatureAndImageAdjustment) {
  CheckActions({
      {"alarm initial", Clicks({idc::AlarmOk}), Literal("thermal initial")},
      {"alarm full",
       [](Panel& p) {
         p.Click(idc::PseudoColor);
         p.c.Type(idc::AlarmTemp, "60");
         p.Click(idc::TempBar);
         p.Select(idc::Channel, 1);
         p.Click(idc::HighTemp);
         p.c.Type(idc::CompTemp, "25.5");
         p.Click(idc::CompTempCheck);
         p.pty.Drain(20);  // the stabilizer command of that click
         p.Click(idc::AlarmOk);
       },
       Literal("thermal, every field")},
      {"alarm -20", [](Panel& p) {
         p.c.Type(idc::AlarmTemp, "-20");
         p.Click(idc::AlarmOk);
       },
       Literal("alarm temperature -20")},
      {"comp -200", [](Panel& p) {
         p.c.Type(idc::CompTemp, "-200");
         p.Click(idc::AlarmOk);
       },
       Literal("compensation -200")},
      {"coeff enlarge at 200", [](Panel& p) {
         p.c.SetPos(idc::CoeffSlider, 200, true);
         p.Paint();
         p.pty.Drain(20);
         p.Click(idc::CoeffEnlarge);
       },
       Literal("coefficient 200")},
      {"contrast enlarge", Clicks({idc::ContrastEnlarge}), Literal("contrast 51 brightness 50")},
      {"brightness narrow", Clicks({idc::BrightnessNarrow}),
       Literal("contrast 50 brightness 49")},
  });
  Panel p;
  for (int i = 0; i < 120; ++i) {
    p.Click(idc::ContrastNarrow);
    p.pty.Drain(1);
  }
  EXPECT_EQ(p.c.GetWindowText(idc::ContrastText), "0");
  EXPECT_EQ(p.c.GetPos(idc::ContrastSlider), 0);
  for (int i = 0; i < 120; ++i) {
    p.Click(idc::BrightnessEnlarge);
    p.pty.Drain(1);
  }
  EXPECT_EQ(p.c.GetWindowText(idc::BrightnessText), "100");
  for (int i = 0; i < 250; ++i) {
    p.Click(idc::CoeffNarrow);
    p.pty.Drain(1);
  }
  EXPECT_EQ(p.c.GetWindowText(idc::CoeffText), "0");
  p.pty.Drain(30);
  p.Click(idc::CoeffEnlarge);  // from the 0 the panel holds, not the slider's start
  EXPECT_EQ(p.Wire(48), Frame48({{0, "7E 7E 44 00 00 C8 01"}}, 0x09));
}

TEST(Handlers, TheStartUpTrafficOfTheSliders) {
  Panel p(true, false);
  p.dlg->OnInitDialog();
  p.dlg->Timer().Stop();
  p.Paint();
  std::vector<std::uint8_t> expected = Literal("VISCA zoom 1");
  for (const auto& f : {Literal("coefficient 100"), Literal("contrast 50 brightness 50"),
                        Literal("contrast 50 brightness 50")})
    expected.insert(expected.end(), f.begin(), f.end());
  EXPECT_EQ(p.Wire(expected.size()), expected);
  EXPECT_EQ(p.pty.Drain(50).size(), 0u);
}

TEST(Handlers, ManualInstructions) {
  struct Case {
    const char* text;
    const char* wire;  // null: "Input instruction error"
    const char* shown;
  };
  const Case cases[] = {
      {"7E7E44", "7E 7E 44", "7e-7e-44"},     {"7e 7e 44", "7E 7E 44", "7e-7e-44"},
      {"7E  7E 44", "7E 7E 44", "7e-7e-44"},  {" 7E", "7E", "7e"},
      {"ABC", "AB 0C", "ab-0c"},              {"7E 8", "7E 08", "7e-08"},
      {"7E ", "7E", "7e"},                    {"7E7E44000083", "7E 7E 44 00 00 83", "7e-7e-44-00-00-83"},
      {"  7E", nullptr, nullptr},             {"7 E", nullptr, nullptr},
      {"7G", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    Panel p;
    p.Click(idc::Shutter);
    p.pty.Drain(20);
    const std::string before = p.Sent();
    p.c.Type(idc::ManualText, c.text);
    p.Click(idc::ManualSend);
    if (c.wire) {
      EXPECT_EQ(p.Wire(Hex(c.wire).size()), Hex(c.wire)) << c.text;
      EXPECT_EQ(p.Sent(), c.shown) << c.text;
      EXPECT_TRUE(p.host.messages.empty());
    } else {
      EXPECT_EQ(p.host.messages, std::vector<std::string>{"Input instruction error"}) << c.text;
      EXPECT_EQ(p.Sent(), before) << c.text;
    }
    EXPECT_EQ(p.pty.Drain(20).size(), 0u) << c.text;
  }
  Panel p;
  p.Click(idc::Shutter);
  p.pty.Drain(20);
  p.c.Type(idc::ManualText, "");
  p.Click(idc::ManualSend);
  EXPECT_EQ(p.Sent(), "");  // nothing sent, the display emptied
  std::string many;
  for (int i = 0; i < 49; ++i) many += "01";
  p.c.Type(idc::ManualText, many);
  p.Click(idc::ManualSend);
  EXPECT_EQ(p.host.messages, std::vector<std::string>{"Input instruction error"});
  EXPECT_EQ(p.pty.Drain(30).size(), 0u);
  p.c.Type(idc::ManualText, many.substr(2));  // 48 bytes fit
  p.Click(idc::ManualSend);
  EXPECT_EQ(p.pty.Drain(50), std::vector<std::uint8_t>(48, 0x01));
}
