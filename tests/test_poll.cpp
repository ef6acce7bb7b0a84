// The poll: what reaches the log, what is decoded, and how the per-tick
// commit treats a value the operator is still typing.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "bytes.h"
#include "panel.h"
#include "receive/recv_log.h"

namespace {
// Puts bytes on the line and waits until the panel's side has them queued.
void Arrive(Panel& p, const std::vector<std::uint8_t>& bytes) {
  p.pty.Send(bytes);
  ASSERT_TRUE(WaitQueued(p.port.NativeHandle(), static_cast<int>(bytes.size())));
}
}  // namespace

TEST(Poll, NothingReadNothingLoggedUnlessTimeIsShown) {
  Panel p;
  p.dlg->OnPollSerial();
  EXPECT_TRUE(p.LogLines().empty());
  p.Click(idc::ShowRecvTime);
  p.dlg->OnPollSerial();
  ASSERT_EQ(p.LogLines().size(), 1u);
  const std::string stamp = p.LogLines()[0];
  EXPECT_EQ(std::count(stamp.begin(), stamp.end(), '/'), 2);
  EXPECT_EQ(std::count(stamp.begin(), stamp.end(), ':'), 3);
}

TEST(Poll, AReplyIsLoggedThenDecoded) {
  Panel p;
  p.Click(idc::ShowRecvTime);
  Arrive(p, Hex("BB 09 01 49 02 00 00 00"));
  p.dlg->OnPollSerial();
  const auto lines = p.LogLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "接收信息");
  EXPECT_EQ(lines[1], "bb-09-01-49-02-00-00-00");
  EXPECT_NE(lines[2].find('/'), std::string::npos);  // the time stamp comes before the decoded line
  EXPECT_EQ(lines[3].rfind(" Inserted card Not in initialization", 0), 0u);
  EXPECT_EQ(p.c.GetWindowText(idc::FormatStatus), "format complete");
}

TEST(Poll, OnlyAReadOfExactlyEightIsDecoded) {
  Panel p;
  // Two replies in one poll: logged, not decoded.
  Arrive(p, Hex("BB 09 02 00 10 00 00 00 BB 09 04 E8 03 00 00 00"));
  p.dlg->OnPollSerial();
  EXPECT_EQ(p.LogLines(), (std::vector<std::string>{"接收信息", "bb-09-02-00-10-00-00-00-bb-09-04-e8-03-00-00-00"}));
  // One reply split over two polls: two reads, neither decoded.
  Arrive(p, Hex("BB 09 05 5A 00"));
  p.dlg->OnPollSerial();
  Arrive(p, Hex("00 00 00"));
  p.dlg->OnPollSerial();
  EXPECT_EQ(p.LogLines().size(), 6u);
  EXPECT_EQ(p.LogLines()[5], "00-00-00");
  // The same eight bytes in one poll are.
  Arrive(p, Hex("BB 09 05 5A 00 00 00 00"));
  p.dlg->OnPollSerial();
  EXPECT_EQ(p.LogLines().back(), "remaining90minutes");
}

TEST(Poll, FormatStatusAfterEachKindOfStatusReply) {
  struct Case {
    const char* reply;
    const char* field;  // what 1163 shows afterwards
  };
  const Case cases[] = {
      {"BB 09 01 49 02 00 00 00", "format complete"},
      {"BB 09 01 00 01 00 00 00", "format failure"},
      {"BB 09 01 00 00 00 00 00", " "},
      {"BB 09 01 01 00 00 00 00", "格式化中……"},  // nothing to report: Format's text stays
      {"BB 09 02 01 00 00 00 00", "格式化中……"},
      {"BB 08 01 00 01 00 00 00", "格式化中……"},
  };
  for (const Case& c : cases) {
    Panel p;
    p.Click(idc::Format);
    p.dlg->Timer().Stop();
    p.pty.Drain(20);
    ASSERT_EQ(p.c.GetWindowText(idc::FormatStatus), "格式化中……");
    Arrive(p, Hex(c.reply));
    p.dlg->OnPollSerial();
    EXPECT_EQ(p.c.GetWindowText(idc::FormatStatus), c.field) << c.reply;
  }
}

TEST(Poll, ATickCommitsTheControlsAndLogsWhatCame) {
  Panel p;
  Arrive(p, Hex("41"));
  p.c.Type(idc::Step, "7");
  p.dlg->OnPollSerial();
  EXPECT_EQ(p.dlg->Values().m_nStep, 7);
  EXPECT_EQ(p.LogLines(), (std::vector<std::string>{"接收信息", "41"}));
}

TEST(Poll, AThousandBytesAtMostAndTheRestNextTime) {
  Panel p;
  std::vector<std::uint8_t> bytes(1200, 0x55);
  Arrive(p, bytes);
  p.dlg->OnPollSerial();
  const std::size_t firstPoll = p.LogLines().size();
  // 1 caption + 1 line of 17 + ceil(983 / 14) = 71 lines of the rest.
  EXPECT_EQ(firstPoll, 1u + 1u + 71u);
  p.dlg->OnPollSerial();
  EXPECT_EQ(p.LogLines()[firstPoll], "接收信息");
}

TEST(Poll, TheEmptyButtonClearsTheLog) {
  Panel p;
  Arrive(p, Hex("41 42"));
  p.dlg->OnPollSerial();
  p.Click(idc::Empty);
  EXPECT_TRUE(p.LogLines().empty());
  EXPECT_EQ(p.Wire(1).size(), 0u);  // nothing sent
}

TEST(PollCommit, AValueBeingTypedIsNeitherReportedNorTakenAway) {
  Panel p;
  p.c.SetFocus(idc::Year);
  p.c.Type(idc::Year, "20");  // on the way to 2050
  for (int i = 0; i < 5; ++i) p.dlg->OnPollSerial();
  EXPECT_TRUE(p.host.messages.empty());
  EXPECT_EQ(p.c.GetWindowText(idc::Year), "20");
  p.c.Type(idc::Year, "2050");
  p.dlg->OnPollSerial();
  EXPECT_EQ(p.dlg->Values().m_nYear, 2050);  // committed at the first tick
  EXPECT_EQ(p.c.GetWindowText(idc::Year), "2050");
}

TEST(PollCommit, AnInvalidValueElsewhereIsReportedOnceWhileItStays) {
  Panel p;
  p.c.SetFocus(idc::ManualText);
  p.c.Type(idc::Month, "13");
  for (int i = 0; i < 5; ++i) p.dlg->OnPollSerial();
  ASSERT_EQ(p.host.messages.size(), 1u);
  EXPECT_NE(p.host.messages[0].find("between 1 and 12"), std::string::npos);
  EXPECT_EQ(p.c.GetFocus(), idc::Month);  // the message puts the operator back on it
  p.c.SetFocus(idc::ManualText);
  p.c.Type(idc::Month, "14");  // another wrong value is another message
  p.dlg->OnPollSerial();
  EXPECT_EQ(p.host.messages.size(), 2u);
  p.c.Type(idc::Month, "12");
  p.dlg->OnPollSerial();
  EXPECT_EQ(p.dlg->Values().m_nMonth, 12);
}

TEST(PollCommit, TicksDuringAnOpenMessageNeverNestASecondOne) {
  Panel p;
  int nested = 0;
  p.host.onMessage = [&] {
    // While the box is open the timer keeps posting; the window handles them.
    for (int i = 0; i < 3; ++i) p.dlg->OnPollSerial();
    ++nested;
  };
  p.c.Type(idc::Day, "40");
  p.Click(idc::CancelTracking);  // the handler's commit reports it
  EXPECT_EQ(p.host.messages.size(), 1u);
  EXPECT_EQ(nested, 1);
}

TEST(PollCommit, EachTimerPostsToTheDialogItWasStartedFor) {
  // Two panels at once (as two windows of a test): each tick reaches its own
  // dialog only, and a stopped timer posts nothing more.
  Panel a(true, false), b(true, false);
  a.dlg->OnInitDialog();
  b.dlg->OnInitDialog();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  std::size_t toA = 0, toB = 0;
  while ((toA == 0 || toB == 0) && std::chrono::steady_clock::now() < deadline) {
    toA += a.host.TakePosted();
    toB += b.host.TakePosted();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_GT(toA, 0u) << "no WM_POLL_SERIAL reached the first dialog";
  EXPECT_GT(toB, 0u) << "no WM_POLL_SERIAL reached the second dialog";
  a.dlg->Timer().Stop();
  a.host.TakePosted();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(a.host.TakePosted(), 0u);
  EXPECT_GT(b.host.TakePosted(), 0u);
  b.dlg->Timer().Stop();
}

TEST(PollCommit, FormatLeavesExactlyOneTimerAtThePeriodShown) {
  Panel p;
  const int periods = mm::OutstandingTimerPeriods();
  // Format writes the values back before it reads them, so the period it
  // uses is the one a tick has committed since it was typed.
  p.c.Type(idc::PollPeriod, "50");
  p.dlg->OnPollSerial();
  p.Click(idc::Format);
  p.c.Type(idc::PollPeriod, "80");
  p.dlg->OnPollSerial();
  p.Click(idc::Format);
  p.Click(idc::Format);
  EXPECT_EQ(mm::LiveTimerEvents(), 1);
  EXPECT_EQ(mm::OutstandingTimerPeriods(), periods + 1);
  EXPECT_EQ(p.dlg->Timer().Period(), 80u);
  // A period the timer cannot take is refused like any value out of range,
  // and polling goes on at the period it had; typing a good one brings it in.
  for (const char* bad : {"0", "-1", "1000001", "2147483647"}) {
    p.host.messages.clear();
    p.c.Type(idc::PollPeriod, bad);
    p.c.SetFocus(idc::Format);  // the operator has left the field
    p.dlg->OnPollSerial();
    p.Click(idc::Format);
    EXPECT_EQ(p.host.messages.size(), 2u) << bad << ": the tick's message and Format's";
    EXPECT_EQ(p.host.messages.back(), "Please enter an integer between 1 and 1000000.") << bad;
    EXPECT_TRUE(p.dlg->Timer().IsRunning()) << bad;
    EXPECT_EQ(p.dlg->Timer().Period(), 80u) << bad;
    EXPECT_EQ(mm::LiveTimerEvents(), 1) << bad;
    EXPECT_EQ(mm::OutstandingTimerPeriods(), periods + 1) << bad;
  }
  p.c.Type(idc::PollPeriod, "160");
  p.dlg->OnPollSerial();
  p.Click(idc::Format);
  EXPECT_EQ(p.dlg->Timer().Period(), 160u);
  EXPECT_EQ(mm::LiveTimerEvents(), 1);
}

// What the operator gave between two ticks is never undone by what a click or
// a tick writes back: a tick, a typed value, and one behind an invalid edit
// (a tick's commit stops there, so the later rows are not read that tick).
TEST(PollCommit, WhatTheOperatorGaveIsKeptWhateverIsWrittenBackNext) {
  const struct {
    const char* what;
    std::function<void(Panel&)> give;
    int id;
    std::string kept;
  } cases[] = {
      {"a tick", [](Panel& p) { p.Click(idc::ShowRecvTime); }, idc::ShowRecvTime, "1"},
      {"an OSD tick", [](Panel& p) { p.Click(1130); }, 1130, "1"},
      {"a typed step", [](Panel& p) { p.c.Type(idc::Step, "7"); }, idc::Step, "7"},
      {"a tick behind an invalid edit",
       [](Panel& p) {
         p.c.Type(idc::OffsetX, "x");
         p.c.SetFocus(idc::OffsetX);
         p.Click(idc::ShowRecvTime);
       },
       idc::ShowRecvTime, "1"},
  };
  const struct {
    const char* then;
    std::function<void(Panel&)> act;
  } nexts[] = {
      {"a query", [](Panel& p) { p.Click(idc::QueryState); }},
      {"the template OK, which does not commit", [](Panel& p) { p.Click(idc::TemplateOk); }},
      {"a baud chosen", [](Panel& p) { p.Select(idc::Baud, 3); }},
      {"a tick", [](Panel& p) { p.dlg->OnPollSerial(); }},
  };
  for (const auto& c : cases)
    for (const auto& n : nexts) {
      Panel p;
      c.give(p);
      n.act(p);
      const auto shown = [&] {
        return FindControl(c.id)->kind == ControlKind::Check ? std::to_string(p.c.GetCheck(c.id))
                                                             : p.c.GetWindowText(c.id);
      };
      EXPECT_EQ(shown(), c.kept) << c.what << ", then " << n.then;
      p.dlg->OnPollSerial();  // and the next tick takes it
      EXPECT_EQ(shown(), c.kept) << c.what << ", then " << n.then << ", then a tick";
    }
}
