// varnel --decode: a session log of every command family, a corrupted line, a
// reply split across two reads and a capture from another tool, read back as
// commands and replies; literal expected lines.
#include <gtest/gtest.h>

#include <sstream>

#include "literal_frames.h"
#include "protocol/decode.h"
#include "protocol/frame.h"

namespace {
std::vector<std::string> Decode(const std::string& text, bool* ok = nullptr, std::string* whyNot = nullptr) {
  std::istringstream in(text);
  std::ostringstream out;
  std::string why;
  const bool decoded = DecodeCapture(in, out, why);
  if (ok) *ok = decoded;
  if (whyNot) *whyNot = why;
  std::vector<std::string> lines;
  std::istringstream back(out.str());
  for (std::string l; std::getline(back, l);) lines.push_back(l);
  return lines;
}

std::string Logged(const char* time, const char* direction, const std::vector<std::uint8_t>& bytes) {
  return std::string("2026-12-08T10:41:") + time + " " + direction + " " + HexJoin(bytes.data(), bytes.size()) + "\n";
}
}  // namespace

TEST(Decode, ASessionOfEveryCommandFamily) {
  const struct {
    const char* frame;
    const char* said;
  } families[] = {
      {"query state", "0x8B card query: state (code 2)"},
      {"start storage 600",
       "0x7C start storage interlaced=0 network=0 length=600 preservation=0 mode=0 channel=0"},
      {"single capture", "0x7C single capture interlaced=0 network=0 length=0 preservation=0 mode=0 channel=0"},
      {"format SD card", "0x8A format SD card"},
      {"mode 1 right 5", "0x88 move (gimbal mode 1) x=5 y=0 tracking=0"},
      {"track start", "0x71 tracking start, template adaptive (0x3C)"},
      {"cancel tracking", "0x26 cancel tracking"},
      {"template large", "0x82 tracking template large (0x24)"},
      {"VISCA zoom 2", "VISCA zoom direct position 0x16A1"},
      {"private zoom 5", "0x7D zoom level 5"},
      {"freeze", "0x81 freeze picture"},
      {"shutter", "0x70 shutter"},
      {"enhance on", "0x8C image enhancement on"},
      {"display channel 3",
       "0x78 display channel 3 pseudo colour=1 temperature bar=0 alarm=300 high=0 low=0 compensation=0 (off)"},
      {"stabilizer holding", "VISCA image stabilizer 0x00"},
      {"defog off", "VISCA defog 0x03"},
      {"video format 1080p/25", "VISCA video format 0x08"},
      {"OSD example",
       "0x83 OSD display=0x81 input=0x05 core=0x30 2024-06-15 12:30:45 heading=1.5 pitching=-12.25 roll=0 GPS_N=30 "
       "GPS_E=120.5 GPS_H=100"},
      {"coefficient 100", "0xC8 temperature compensation coefficient 100"},
      {"contrast 51 brightness 50", "0x1D contrast 51 brightness 50"},
  };
  std::string log;
  std::vector<std::string> expected;
  for (const auto& f : families) {
    log += Logged("10.500", "TX", Literal(f.frame));
    expected.push_back(std::string("2026-12-08T10:41:10.500 TX ") + f.said);
  }
  log += Logged("10.600", "RX", Hex("90 41 FF 90 51 FF BB 09 01 49 02 00 00 00"));
  expected.insert(expected.end(),
                  {"2026-12-08T10:41:10.600 RX 90-41-ff-90-51-ff-bb-09-01-49-02-00-00-00", "    camera: acknowledge",
                   "    camera: completion",
                   "    reply: Inserted card Not in initialization not read-only format complete Unformatted Unfilled "
                   "Tested Effective format No mistake Video recording"});
  bool ok = false;
  EXPECT_EQ(Decode(log, &ok), expected);
  EXPECT_TRUE(ok);
}

TEST(Decode, WhatDoesNotCheckIsShownWithItsBytes) {
  std::vector<std::uint8_t> corrupted = Literal("query state");
  corrupted[47] ^= 0x01;
  std::vector<std::uint8_t> unknown = Literal("query state");
  unknown[5] = 0x99;
  unknown[47] = static_cast<std::uint8_t>(unknown[47] + 0x99 - 0x8B);
  const std::string log = Logged("20.000", "TX", corrupted) + Logged("20.100", "TX", Hex("7E 7E 44 00 00 8B 06")) +
                          Logged("20.200", "TX", unknown) + Logged("20.300", "TX", Hex("12 34 81 01 04 00 02 FF")) +
                          "this line is no frame\n";
  EXPECT_EQ(Decode(log),
            (std::vector<std::string>{
                "2026-12-08T10:41:20.000 TX bad checksum: " + HexJoin(corrupted.data(), corrupted.size()),
                "2026-12-08T10:41:20.100 TX too short (7 bytes): 7e-7e-44-00-00-8b-06",
                "2026-12-08T10:41:20.200 TX 0x99 unknown command: " + HexJoin(unknown.data(), unknown.size()),
                "2026-12-08T10:41:20.300 TX bytes: 12-34",
                "2026-12-08T10:41:20.300 TX VISCA command: 81-01-04-00-02-ff",
                "line 5: not a frame: this line is no frame",
            }));
}

TEST(Decode, AReplySplitAcrossTwoReadsIsJoinedAndSaidSo) {
  const std::string log = Logged("30.000", "RX", Hex("BB 09 03 00")) + Logged("30.250", "RX", Hex("10 00 00 00")) +
                          Logged("30.500", "RX", Hex("BB 09 01"));
  EXPECT_EQ(Decode(log), (std::vector<std::string>{
                             "2026-12-08T10:41:30.000 RX bb-09-03-00",
                             "2026-12-08T10:41:30.250 RX 10-00-00-00",
                             "    reply: 4096KB (joined from two reads)",
                             "2026-12-08T10:41:30.500 RX bb-09-01",
                             "    incomplete at the end: bb-09-01",
                         }));
}

TEST(Decode, ACaptureFromAnotherToolAndInputThatHoldsNothing) {
  // Upper case, spaces, Windows line ends: one frame a line, a reply among them.
  const std::string capture = "7E 7E 44 00 00 8A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                              "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CA\r\n"
                              "\r\n"
                              "BB 09 05 58 02 00 00 00\r\n"
                              "81-01-04-47-00-00-00-00-ff\r\n";
  EXPECT_EQ(Decode(capture), (std::vector<std::string>{"TX 0x8A format SD card", "RX bb-09-05-58-02-00-00-00",
                                                       "    reply: remaining600minutes", "TX VISCA zoom direct position 0x0000"}));
  bool ok = true;
  std::string why;
  EXPECT_TRUE(Decode("hello\nworld\n", &ok, &why).empty());
  EXPECT_FALSE(ok);
  EXPECT_EQ(why, "not a capture: 2 of its first 2 lines are no session log line, hex dump row or hex frame, and none of "
                 "them decode; its first line: hello");
  EXPECT_TRUE(Decode("", &ok, &why).empty());
  EXPECT_FALSE(ok);
  EXPECT_EQ(why, "empty: nothing to decode");
}

namespace {
// The bytes of a short session: a query, a zoom, the camera's answers, the reply.
std::vector<std::uint8_t> Session() {
  std::vector<std::uint8_t> b = Literal("query state");
  for (const char* hex : {"81 01 04 47 00 00 00 00 FF", "90 41 FF 90 51 FF", "BB 09 01 49 02 00 00 00"}) {
    const std::vector<std::uint8_t> more = Hex(hex);
    b.insert(b.end(), more.begin(), more.end());
  }
  return b;
}

const std::vector<std::string> kSessionSaid = {
    "TX 0x8B card query: state (code 2)",
    "TX VISCA zoom direct position 0x0000",
    "RX 90-41-ff",
    "    camera: acknowledge",
    "RX 90-51-ff",
    "    camera: completion",
    "RX bb-09-01-49-02-00-00-00",
    "    reply: Inserted card Not in initialization not read-only format complete Unformatted Unfilled Tested "
    "Effective format No mistake Video recording",
};

std::string HexLines(const std::vector<std::uint8_t>& b, std::size_t perLine, const std::string& sep) {
  std::string out;
  for (std::size_t i = 0; i < b.size(); ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", b[i]);
    out += (i % perLine ? sep : "") + std::string(pair);
    if (i % perLine == perLine - 1 || i + 1 == b.size()) out += "\n";
  }
  return out;
}
}  // namespace

// The same session as each tool writes it: each read as one stream of bytes,
// its frames found by their first bytes, their direction by what they are.
TEST(Decode, EveryToolsFormatOfTheSameSession) {
  const std::vector<std::uint8_t> b = Session();
  const std::string raw(b.begin(), b.end());
  const struct {
    const char* format;
    std::string text;
  } samples[] = {
      {"tio/picocom raw log", raw},
      {"xxd",
       "00000000: 7e7e 4400 008b 0200 0000 0000 0000 0000  ~~D.............\n"
       "00000010: 0000 0000 0000 0000 0000 0000 0000 0000  ................\n"
       "00000020: 0000 0000 0000 0000 0000 0000 0000 00cd  ................\n"
       "00000030: 8101 0447 0000 0000 ff90 41ff 9051 ffbb  ...G......A..Q..\n"
       "00000040: 0901 4902 0000 00                        ..I....\n"},
      {"hexdump -C",
       "00000000  7e 7e 44 00 00 8b 02 00  00 00 00 00 00 00 00 00  |~~D.............|\n"
       "00000010  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00  |................|\n"
       "*\n"
       "00000020  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 cd  |................|\n"
       "00000030  81 01 04 47 00 00 00 00  ff 90 41 ff 90 51 ff bb  |...G......A..Q..|\n"
       "00000040  09 01 49 02 00 00 00                              |..I....|\n"
       "00000047\n"},
      {"wrapped 16 a line", HexLines(b, 16, " ")},
      {"one stream on one line", HexLines(b, b.size(), "-")},
      {"unseparated", HexLines(b, 24, "")},
      {"0x list", [&] {
         std::string t;
         for (std::uint8_t x : b) {
           char v[8];
           std::snprintf(v, sizeof v, "0x%02X, ", x);
           t += v;
         }
         return t + "\n";
       }()},
  };
  for (const auto& s : samples) {
    bool ok = false;
    EXPECT_EQ(Decode(s.text, &ok), kSessionSaid) << s.format;
    EXPECT_TRUE(ok) << s.format;
  }
}

// The same 71 bytes as each dump tool prints them, each literally as the tool
// printed it: the offset column, however wide, in whichever base, is never
// data; "*" is the rows it stands for; a word dump's padding byte is no data.
TEST(Decode, EveryDumpToolsOutputOfTheSameBytes) {
  const struct {
    const char* tool;
    std::string text;
  } dumps[] = {
      {"hexdump -C",
       "00000000  81 01 04 47 00 00 00 00  ff 7e 7e 44 00 00 8b 02  |...G.....~~D....|\n"
       "00000010  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00  |................|\n"
       "*\n"
       "00000030  00 00 00 00 00 00 00 00  cd 90 41 ff 90 51 ff bb  |..........A..Q..|\n"
       "00000040  09 01 49 02 00 00 00                              |..I....|\n"
       "00000047\n"},
      {"hexdump",
       "0000000 0181 4704 0000 0000 7eff 447e 0000 028b\n"
       "0000010 0000 0000 0000 0000 0000 0000 0000 0000\n"
       "*\n"
       "0000030 0000 0000 0000 0000 90cd ff41 5190 bbff\n"
       "0000040 0109 0249 0000 0000                    \n"
       "0000047\n"},
      {"od",
       "0000000 000601 043404 000000 000000 077377 042176 000000 001213\n"
       "0000020 000000 000000 000000 000000 000000 000000 000000 000000\n"
       "*\n"
       "0000060 000000 000000 000000 000000 110315 177501 050620 135777\n"
       "0000100 000411 001111 000000 000000\n"
       "0000107\n"},
      {"od -t x1",
       "0000000 81 01 04 47 00 00 00 00 ff 7e 7e 44 00 00 8b 02\n"
       "0000020 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
       "*\n"
       "0000060 00 00 00 00 00 00 00 00 cd 90 41 ff 90 51 ff bb\n"
       "0000100 09 01 49 02 00 00 00\n"
       "0000107\n"},
      {"od -A x -t x1z",
       "000000 81 01 04 47 00 00 00 00 ff 7e 7e 44 00 00 8b 02  >...G.....~~D....<\n"
       "000010 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  >................<\n"
       "*\n"
       "000030 00 00 00 00 00 00 00 00 cd 90 41 ff 90 51 ff bb  >..........A..Q..<\n"
       "000040 09 01 49 02 00 00 00                             >..I....<\n"
       "000047\n"},
      {"od -x",
       "0000000 0181 4704 0000 0000 7eff 447e 0000 028b\n"
       "0000020 0000 0000 0000 0000 0000 0000 0000 0000\n"
       "*\n"
       "0000060 0000 0000 0000 0000 90cd ff41 5190 bbff\n"
       "0000100 0109 0249 0000 0000\n"
       "0000107\n"},
      {"xxd",
       "00000000: 8101 0447 0000 0000 ff7e 7e44 0000 8b02  ...G.....~~D....\n"
       "00000010: 0000 0000 0000 0000 0000 0000 0000 0000  ................\n"
       "00000020: 0000 0000 0000 0000 0000 0000 0000 0000  ................\n"
       "00000030: 0000 0000 0000 0000 cd90 41ff 9051 ffbb  ..........A..Q..\n"
       "00000040: 0901 4902 0000 00                        ..I....\n"},
      {"xxd -g1",
       "00000000: 81 01 04 47 00 00 00 00 ff 7e 7e 44 00 00 8b 02  ...G.....~~D....\n"
       "00000010: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  ................\n"
       "00000020: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  ................\n"
       "00000030: 00 00 00 00 00 00 00 00 cd 90 41 ff 90 51 ff bb  ..........A..Q..\n"
       "00000040: 09 01 49 02 00 00 00                             ..I....\n"},
      {"xxd -g4",
       "00000000: 81010447 00000000 ff7e7e44 00008b02  ...G.....~~D....\n"
       "00000010: 00000000 00000000 00000000 00000000  ................\n"
       "00000020: 00000000 00000000 00000000 00000000  ................\n"
       "00000030: 00000000 00000000 cd9041ff 9051ffbb  ..........A..Q..\n"
       "00000040: 09014902 000000                      ..I....\n"},
      {"a packet analyser's text export, a packet each way",
       "0000  81 01 04 47 00 00 00 00 ff 7e 7e 44 00 00 8b 02   ...G.....~~D....\n"
       "0010  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00   ................\n"
       "0020  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00   ................\n"
       "0030  00 00 00 00 00 00 00 00 cd                        .........\n"
       "\n"
       "0000  90 41 ff 90 51 ff bb 09 01 49 02 00 00 00         .A..Q....I....\n"},
  };
  const std::vector<std::string> expected = {
      "TX VISCA zoom direct position 0x0000",
      "TX 0x8B card query: state (code 2)",
      "RX 90-41-ff",
      "    camera: acknowledge",
      "RX 90-51-ff",
      "    camera: completion",
      "RX bb-09-01-49-02-00-00-00",
      "    reply: Inserted card Not in initialization not read-only format complete Unformatted Unfilled Tested "
      "Effective format No mistake Video recording",
  };
  for (const auto& d : dumps) {
    bool ok = false;
    EXPECT_EQ(Decode(d.text, &ok), expected) << d.tool;
    EXPECT_TRUE(ok) << d.tool;
  }
}

// A frame wrapped over time-stamped lines is said with its first line's time.
TEST(Decode, AWrappedFrameKeepsTheTimeOfTheLineItBeganOn) {
  const std::vector<std::uint8_t> b = Literal("query state");
  std::string capture;
  for (std::size_t at = 0, n = 0; at < b.size(); at += 16, ++n)
    capture += "[10:41:0" + std::to_string(2 + n) + ".000] " +
               HexLines(std::vector<std::uint8_t>(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + 16)), 16, " ");
  capture += "[10:41:05.000] 12 34\n[10:41:06.000] BB 09 01 49\n[10:41:07.000] 02 00 00 00\n";
  const std::vector<std::string> said = Decode(capture);
  ASSERT_EQ(said.size(), 4u);
  EXPECT_EQ(said[0], "10:41:02.000 TX 0x8B card query: state (code 2)");
  EXPECT_EQ(said[1], "10:41:05.000 bytes: 12-34");
  EXPECT_EQ(said[2], "10:41:06.000 RX bb-09-01-49-02-00-00-00");
}

TEST(Decode, TimeStampsAndDirectionsAreKeptWhereALineHasThem) {
  const std::string capture = "[10:41:02.517] TX " + HexLines(Literal("query state"), 48, " ") +
                              "[10:41:02.690] RX BB 09 01 49 02 00 00 00\n"
                              "2026-12-08 10:41:03.001 81 01 04 47 00 00 00 00 FF\n"
                              "2026-12-08T10:41:04.000 -- COM1 (tcp://gimbal:4001) went away\n";
  EXPECT_EQ(Decode(capture), (std::vector<std::string>{
                                 "10:41:02.517 TX 0x8B card query: state (code 2)",
                                 "10:41:02.690 RX bb-09-01-49-02-00-00-00",
                                 "    reply: Inserted card Not in initialization not read-only format complete "
                                 "Unformatted Unfilled Tested Effective format No mistake Video recording",
                                 "2026-12-08 10:41:03.001 TX VISCA zoom direct position 0x0000",
                                 "2026-12-08T10:41:04.000 -- COM1 (tcp://gimbal:4001) went away",
                             }));
}

// Nothing reaches the terminal raw, a stray NUL leaves a session log a
// session log, and a frame cut short keeps the rest in step.
TEST(Decode, ControlBytesStrayNulsAndCutFrames) {
  const std::string query = Logged("02.517", "TX", Literal("query state"));
  bool ok = false;
  EXPECT_EQ(Decode(query + "\x1b]0;title\x07\x1b[2J hello \xff\n" +
                       std::string("2026-12-08T10:41:03.000 -- a note\0with a NUL\n", 45) + query + query, &ok),
            (std::vector<std::string>{"2026-12-08T10:41:02.517 TX 0x8B card query: state (code 2)",
                                      "line 2: not a frame: \\x1b]0;title\\x07\\x1b[2J hello \\xff",
                                      "2026-12-08T10:41:03.000 -- a note\\x00with a NUL",
                                      "2026-12-08T10:41:02.517 TX 0x8B card query: state (code 2)",
                                      "2026-12-08T10:41:02.517 TX 0x8B card query: state (code 2)"}));
  EXPECT_TRUE(ok);
  std::vector<std::uint8_t> cut = Literal("query state");
  cut.resize(20);
  const std::vector<std::uint8_t> whole = Literal("query state");
  cut.insert(cut.end(), whole.begin(), whole.end());
  EXPECT_EQ(Decode(HexLines(cut, 16, " ")),
            (std::vector<std::string>{"TX too short (20 bytes): " + HexJoin(cut.data(), 20),
                                      "TX 0x8B card query: state (code 2)"}));
  // A raw capture that turns into a megabyte of nothing stops there.
  const std::vector<std::uint8_t> b = Session();
  std::string raw;
  for (int i = 0; i < 1000; ++i) raw.append(b.begin(), b.end());
  raw += std::string(3 * 1024 * 1024, '\0');
  const std::vector<std::string> said = Decode(raw, &ok);
  EXPECT_TRUE(ok);
  ASSERT_FALSE(said.empty());
  EXPECT_EQ(said.back(), "stopped: 1 MB in a row held nothing to decode");
}

namespace {
// Input made as it is read, so that what a decode takes of it is counted
// and nothing large is held: /dev/zero, random bytes, a program, a picture.
class Made : public std::streambuf {
 public:
  Made(std::string head, std::uint64_t size, bool random) : m_head(std::move(head)), m_left(size), m_random(random) {}
  std::uint64_t taken = 0;

 protected:
  int_type underflow() override {
    if (m_left == 0) return traits_type::eof();
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(m_left, sizeof m_block));
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint64_t at = taken + i;
      m_state = m_state * 6364136223846793005u + 1442695040888963407u;
      m_block[i] = at < m_head.size() ? m_head[at] : m_random ? static_cast<char>(m_state >> 56) : '\0';
    }
    taken += n;
    m_left -= n;
    setg(m_block, m_block, m_block + n);
    return traits_type::to_int_type(m_block[0]);
  }

 private:
  std::string m_head;
  std::uint64_t m_left;
  bool m_random;
  std::uint64_t m_state = 42;
  char m_block[4096];
};
}  // namespace

// What is no capture is said at once, in one line and one of how it begins,
// having read no more than the first block of it.
TEST(Decode, WhatIsNoCaptureIsSaidAtOnce) {
  const struct {
    const char* what;
    std::string head;
    std::uint64_t size;
    bool random;
  } inputs[] = {
      {"a PNG", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x04\0", 20), 5 * 1024 * 1024, true},
      {"an ELF program", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0\x3e\0", 20), 200 * 1024, true},
      {"/dev/zero", "", 1ull << 40, false},
      {"10 MB of random bytes", "", 10 * 1024 * 1024, true},
  };
  for (const auto& input : inputs) {
    Made made(input.head, input.size, input.random);
    std::istream in(&made);
    std::ostringstream out;
    std::string why;
    EXPECT_FALSE(DecodeCapture(in, out, why)) << input.what;
    EXPECT_EQ(out.str(), "") << input.what;
    EXPECT_EQ(why.rfind("not a capture: binary, and next to nothing in its first 65536 bytes decodes", 0), 0u)
        << input.what << ": " << why;
    EXPECT_LE(made.taken, 64u * 1024 + 4096) << input.what;
  }
}

TEST(Decode, ALineLongerThanTheCapIsSaidAndSkipped) {
  const std::string longLine = std::string(3 * 1024 * 1024, 'z') + "\n" + HexLines(Literal("query state"), 48, " ");
  const std::vector<std::string> said = Decode(longLine);
  ASSERT_EQ(said.size(), 3u);
  EXPECT_EQ(said[0], "line 1: longer than 1048576 characters; the rest of it skipped");
  EXPECT_EQ(said[1].substr(0, 24), "line 1: not a frame: zzz");
  EXPECT_EQ(said[2], "TX 0x8B card query: state (code 2)");
}
