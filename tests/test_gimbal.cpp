// The simulated gimbal: finding frames in the stream and keeping its state.
#include <gtest/gtest.h>

#include "bytes.h"
#include "protocol/commands.h"
#include "protocol/reply.h"
#include "sim/gimbal.h"

namespace {
using Clock = Gimbal::Clock;
std::vector<std::uint8_t> Bytes(const Frame& f) { return {f.begin(), f.end()}; }
std::vector<std::uint8_t> Query(std::uint8_t q) { return Bytes(BuildCardQuery(q)); }
std::vector<std::uint8_t> Storage(StorageAction a) {
  StorageSettings s;
  s.videoLength = 600;
  return Bytes(BuildStorageFrame(a, s));
}
std::vector<SimReply> Feed(Gimbal& g, const std::vector<std::uint8_t>& b, Clock::time_point t) {
  return g.Feed(b.data(), b.size(), t);
}
std::string Decoded(const SimReply& r) { return DecodeReplyFrame(r.bytes.data())->line; }
}  // namespace

TEST(Gimbal, AnswersEveryQuery) {
  Gimbal g;
  const auto t = Clock::now();
  struct Case {
    std::uint8_t query;
    std::string line;
  };
  const Case cases[] = {
      {kQueryCapacity, "31116288KB"}, {kQueryResidual, "27000000KB"}, {kQueryPictures, "remaining45000pieces"},
      {kQueryMinutes, "remaining900minutes"},
  };
  for (const Case& c : cases) {
    const auto r = Feed(g, Query(c.query), t);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].bytes.size(), 8u);
    EXPECT_EQ(Decoded(r[0]), c.line);
  }
  const auto s = Feed(g, Query(kQueryState), t);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].bytes[3], kCardInserted | kCardTested);
}

TEST(Gimbal, FindsFramesInGarbageSplitsAndBadChecksums) {
  Gimbal g;
  const auto t = Clock::now();
  std::vector<std::uint8_t> stream = Hex("00 13 7E 55 7E 7E 44");  // garbage, then a broken start
  auto bad = Query(kQueryState);
  bad[47] ^= 1;
  stream.insert(stream.end(), bad.begin(), bad.end());
  const auto good = Query(kQueryCapacity);
  stream.insert(stream.end(), good.begin(), good.end());
  // Delivered a few bytes at a time, as a line does.
  std::vector<SimReply> replies;
  for (std::size_t i = 0; i < stream.size(); i += 5) {
    const std::size_t n = std::min<std::size_t>(5, stream.size() - i);
    auto r = g.Feed(stream.data() + i, n, t);
    replies.insert(replies.end(), r.begin(), r.end());
  }
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(Decoded(replies[0]), "31116288KB");
  EXPECT_EQ(g.BadChecksums(), 2);  // the broken start swallowed into a 48-byte candidate, and the bad frame
  EXPECT_EQ(g.FramesAccepted(), 1);
  EXPECT_GT(g.GarbageBytes(), 0);
}

TEST(Gimbal, ViscaIsAcknowledgedAndCompleted) {
  Gimbal g;
  auto r = Feed(g, Bytes(BuildViscaZoom(2)), Clock::now());
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].bytes, Hex("90 41 FF 90 51 FF"));
  EXPECT_EQ(g.State().zoomLevel, 2);
  // The video format command carries the camera's own trailers; they are no command.
  r = Feed(g, Bytes(BuildVideoFormat(0x15)), Clock::now());
  EXPECT_EQ(r.size(), 1u);
  EXPECT_EQ(g.State().videoFormat, 0x15);
}

// Inquiries are answered as a camera block answers them: 90 50, the data it
// holds, FF, no acknowledge; what it does not know is a syntax error.
TEST(Gimbal, TheCameraBlockAnswersInquiriesWithWhatItHolds) {
  Gimbal g;
  Feed(g, Bytes(BuildViscaZoom(2)), Clock::now());
  const struct {
    const char* inquiry;
    const char* answer;
  } cases[] = {
      {"81 09 04 47 FF", "90 50 01 06 0A 01 FF"},  // the zoom position it was driven to
      {"81 09 04 00 FF", "90 50 02 FF"},           // power on
      {"81 09 04 34 FF", "90 50 02 FF"},           // stabilizer on
      {"81 09 00 02 FF", "90 50 00 00 00 00 01 00 02 FF"},
      {"81 09 7E 7E 00 FF", "90 50 01 06 0A 01 00 00 00 00 00 00 00 00 00 FF"},
      {"81 09 7E 7E 02 FF", "90 50 01 00 00 00 00 00 00 00 00 00 00 00 00 FF"},
      {"81 09 7E 7E 03 FF", "90 60 02 FF"},
      {"81 09 06 12 FF", "90 60 02 FF"},
      {"81 05 04 FF", "90 60 02 FF"},
  };
  for (const auto& c : cases) {
    const auto r = Feed(g, Hex(c.inquiry), Clock::now());
    ASSERT_EQ(r.size(), 1u) << c.inquiry;
    EXPECT_EQ(r[0].bytes, Hex(c.answer)) << c.inquiry;
  }
}

TEST(Gimbal, RecordingFormattingAndCaptures) {
  Gimbal g;
  auto t = Clock::now();
  Feed(g, Storage(kStorageCapture), t);
  EXPECT_EQ(g.State().card.residualKB, 27'000'000 - Gimbal::kPictureKB);
  Feed(g, Storage(kStorageStart), t);
  EXPECT_TRUE(g.State().card.recording);
  t += std::chrono::seconds(60);
  auto r = Feed(g, Query(kQueryState), t);
  EXPECT_EQ(r[0].bytes[4] & kCardRecording, kCardRecording);
  r = Feed(g, Query(kQueryResidual), t);
  EXPECT_EQ(Decoded(r[0]), std::to_string(27'000'000 - Gimbal::kPictureKB - 60 * Gimbal::kRecordKBPerSecond) + "KB");
  Feed(g, Storage(kStorageStop), t);
  Feed(g, Bytes(BuildFormatFrame()), t);
  r = Feed(g, Query(kQueryState), t + std::chrono::seconds(1));
  EXPECT_EQ(r[0].bytes[3] & (kCardFormatting | kCardFormatComplete), kCardFormatting);
  r = Feed(g, Query(kQueryState), t + std::chrono::seconds(Gimbal::kFormatSeconds + 1));
  EXPECT_EQ(r[0].bytes[3] & (kCardFormatting | kCardFormatComplete), kCardFormatComplete);
  EXPECT_FALSE(g.State().card.recording);
  EXPECT_EQ(Decoded(Feed(g, Query(kQueryResidual), t + std::chrono::seconds(5))[0]), "31116288KB");
}

TEST(Gimbal, NoCardSplitAndDelay) {
  SimOptions o;
  o.noCard = true;
  o.split = true;
  o.replyDelayMs = 40;
  Gimbal g(o);
  const auto t = Clock::now();
  const auto r = Feed(g, Query(kQueryState), t);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].bytes.size() + r[1].bytes.size(), 8u);
  EXPECT_EQ(r[0].due, t + std::chrono::milliseconds(40));
  EXPECT_GE(r[1].due - r[0].due, std::chrono::milliseconds(o.splitGapMs));
  std::vector<std::uint8_t> whole = r[0].bytes;
  whole.insert(whole.end(), r[1].bytes.begin(), r[1].bytes.end());
  EXPECT_EQ(whole[3], 0);  // no card
}

TEST(Gimbal, KeepsWhatTheOtherCommandsSetAndTracesThem) {
  SimOptions o;
  o.trace = true;
  Gimbal g(o);
  const auto t = Clock::now();
  Feed(g, Bytes(BuildMoveFrame(kCmdGimbalMode1, -5, 7, 1)), t);
  EXPECT_EQ(g.State().moveX, -5);
  EXPECT_EQ(g.State().moveY, 7);
  EXPECT_TRUE(g.State().tracking);
  OsdSettings osd;
  osd.year = 2024;
  osd.heading = 1.5f;
  osd.gpsN = 30.25;
  Feed(g, Bytes(BuildOsdFrame(osd)), t);
  EXPECT_EQ(g.State().osd.year, 2024);
  EXPECT_EQ(g.State().osd.gpsN, 30.25);
  Feed(g, Bytes(BuildContrastBrightnessFrame(61, 42)), t);
  EXPECT_EQ(g.State().contrast, 61);
  const auto trace = g.TakeTrace();
  ASSERT_EQ(trace.size(), 6u);
  EXPECT_EQ(trace[0].rfind("7e-7e-44-00-00-88-ff-fb-ff-07-00-01", 0), 0u);
  EXPECT_EQ(trace[1], "  0x88 move (gimbal mode 1) x=-5 y=7 tracking=1");
  EXPECT_NE(trace[3].find("heading=1.5"), std::string::npos);
  EXPECT_NE(trace[3].find("GPS_N=30.25"), std::string::npos);
  EXPECT_EQ(trace[5], "  0x1D contrast 61 brightness 42");
}
