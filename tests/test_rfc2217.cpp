// The Telnet COM-PORT layer and the network port's URL, against literal bytes.
#include <gtest/gtest.h>

#include "serial/net_address.h"
#include "serial/rfc2217.h"

namespace {
using telnet::Bytes;

// What ser2net 4 sends the moment it takes a connection: WILL SGA, DO SGA,
// WILL ECHO, DONT ECHO, DO BINARY, WILL BINARY, DO COM-PORT-OPTION.
const Bytes kSer2netGreeting = {0xff, 0xfb, 0x03, 0xff, 0xfd, 0x03, 0xff, 0xfb, 0x01, 0xff, 0xfe,
                                0x01, 0xff, 0xfd, 0x00, 0xff, 0xfb, 0x00, 0xff, 0xfd, 0x2c};

struct ReceiveCase {
  const char* name;
  std::vector<Bytes> reads;  // as the socket gives them, in pieces
  Bytes payload;             // what the panel reads
  Bytes reply;               // what goes back to the server
};

TEST(Telnet, ReceivedBytesBecomePayloadAndAnswers) {
  const ReceiveCase cases[] = {
      {"plain bytes pass", {{0x7e, 0x7e, 0x44}}, {0x7e, 0x7e, 0x44}, {}},
      {"IAC IAC is one FF", {{0x41, 0xff, 0xff, 0x42}}, {0x41, 0xff, 0x42}, {}},
      {"a reply holding FF, doubled by the server",
       {{0xbb, 0x09, 0x01, 0x49, 0x02, 0x00, 0xff, 0xff, 0x00}},
       {0xbb, 0x09, 0x01, 0x49, 0x02, 0x00, 0xff, 0x00},
       {}},
      {"a doubled FF split between two reads", {{0x90, 0x41, 0xff}, {0xff}}, {0x90, 0x41, 0xff}, {}},
      {"ser2net's greeting: only ECHO is refused", {kSer2netGreeting}, {}, {0xff, 0xfe, 0x01}},
      {"an unknown option is refused both ways",
       {{0xff, 0xfd, 0x18, 0xff, 0xfb, 0x22}},
       {},
       {0xff, 0xfc, 0x18, 0xff, 0xfe, 0x22}},
      {"a command split across reads", {{0x41, 0xff}, {0xfd}, {0x18, 0x42}}, {0x41, 0x42}, {0xff, 0xfc, 0x18}},
      {"NOP and GA inside data vanish", {{0x41, 0xff, 0xf1, 0x42, 0xff, 0xf9, 0x43}}, {0x41, 0x42, 0x43}, {}},
      {"an answer between frames never reaches the panel",
       {{0xbb, 0x09, 0xff, 0xfa, 0x2c, 0x6b, 0x00, 0xff, 0xf0, 0x01, 0x41}},
       {0xbb, 0x09, 0x01, 0x41},
       {}},
      {"a subnegotiation split across three reads",
       {{0x41, 0xff, 0xfa, 0x2c}, {0x65, 0x00, 0x01, 0xc2, 0x00, 0xff}, {0xf0, 0x42}},
       {0x41, 0x42},
       {}},
      {"IAC IAC inside a subnegotiation is data of it",
       {{0xff, 0xfa, 0x2c, 0x65, 0x00, 0x00, 0xff, 0xff, 0x00, 0xff, 0xf0, 0x41}},
       {0x41},
       {}},
      {"a subnegotiation cut by another command ends there",
       {{0xff, 0xfa, 0x2c, 0x6b, 0x00, 0xff, 0xfd, 0x18, 0x41}},
       {0x41},
       {0xff, 0xfc, 0x18}},
  };
  for (const ReceiveCase& c : cases) {
    telnet::ComPortClient client;
    client.Hello();
    Bytes payload, reply;
    for (const Bytes& read : c.reads) client.Receive(read.data(), read.size(), payload, reply, 0);
    EXPECT_EQ(payload, c.payload) << c.name;
    EXPECT_EQ(reply, c.reply) << c.name;
  }
}

TEST(Telnet, HelloOffersBinarySgaAndTheComPortOption) {
  telnet::ComPortClient client;
  EXPECT_EQ(client.Hello(), (Bytes{0xff, 0xfb, 0x00, 0xff, 0xfb, 0x03, 0xff, 0xfb, 0x2c, 0xff, 0xfd, 0x00, 0xff,
                                   0xfd, 0x03}));
}

TEST(Telnet, AnOptionAnsweredTwiceIsAgreedOnceWithoutALoop) {
  telnet::ComPortClient client;  // no Hello: the server asks first
  Bytes payload, reply;
  const Bytes doBinary = {0xff, 0xfd, 0x00};
  client.Receive(doBinary.data(), doBinary.size(), payload, reply, 0);
  EXPECT_EQ(reply, (Bytes{0xff, 0xfb, 0x00}));
  reply.clear();
  client.Receive(doBinary.data(), doBinary.size(), payload, reply, 0);
  EXPECT_TRUE(reply.empty()) << "already agreed: answering again would start a loop";
  const Bytes dontBinary = {0xff, 0xfe, 0x00};
  client.Receive(dontBinary.data(), dontBinary.size(), payload, reply, 0);
  EXPECT_EQ(reply, (Bytes{0xff, 0xfc, 0x00}));
}

TEST(Telnet, EveryFfOfAFrameIsDoubledOnTheWayOut) {
  const Bytes zoom = {0x81, 0x01, 0x04, 0x47, 0x00, 0x00, 0x00, 0x00, 0xff};
  Bytes wire;
  telnet::Escape(zoom.data(), zoom.size(), wire);
  EXPECT_EQ(wire, (Bytes{0x81, 0x01, 0x04, 0x47, 0x00, 0x00, 0x00, 0x00, 0xff, 0xff}));
  const Bytes twoInARow = {0xff, 0xff};
  wire.clear();
  telnet::Escape(twoInARow.data(), twoInARow.size(), wire);
  EXPECT_EQ(wire, (Bytes{0xff, 0xff, 0xff, 0xff}));
}

TEST(Telnet, TheLineGoesOutAsFiveRequestsInNetworkOrder) {
  telnet::ComPortClient client;
  telnet::LineSettings line;
  line.baud = 57600;
  line.parity = 2;  // even
  EXPECT_EQ(client.SetLine(line, 0),
            (Bytes{0xff, 0xfa, 0x2c, 0x01, 0x00, 0x00, 0xe1, 0x00, 0xff, 0xf0,  // SET-BAUDRATE 57600
                   0xff, 0xfa, 0x2c, 0x02, 0x08, 0xff, 0xf0,                    // SET-DATASIZE 8
                   0xff, 0xfa, 0x2c, 0x03, 0x03, 0xff, 0xf0,                    // SET-PARITY even
                   0xff, 0xfa, 0x2c, 0x04, 0x01, 0xff, 0xf0,                    // SET-STOPSIZE 1
                   0xff, 0xfa, 0x2c, 0x05, 0x01, 0xff, 0xf0}));                 // SET-CONTROL none
  // A rate with an FF byte in it has it doubled inside the request.
  line.baud = 0x0001FF00;
  line.parity = 0;
  const Bytes odd = client.SetLine(line, 0);
  EXPECT_EQ(Bytes(odd.begin(), odd.begin() + 11), (Bytes{0xff, 0xfa, 0x2c, 0x01, 0x00, 0x01, 0xff, 0xff, 0x00, 0xff,
                                                         0xf0}));
  EXPECT_EQ(client.Purge(true, true, 0), (Bytes{0xff, 0xfa, 0x2c, 0x0c, 0x03, 0xff, 0xf0}));
  EXPECT_EQ(client.Purge(true, false, 0), (Bytes{0xff, 0xfa, 0x2c, 0x0c, 0x01, 0xff, 0xf0}));
  EXPECT_TRUE(client.Purge(false, false, 0).empty());
}

// ser2net answers the purge before the rate, and a pseudo-terminal's
// parity back as none: answers go by code, a different value is said once.
TEST(Telnet, AnswersAreMatchedByCodeAndADifferentValueIsSaidOnce) {
  telnet::ComPortClient client;
  client.Hello();
  telnet::LineSettings line;
  line.baud = 57600;
  line.parity = 2;
  client.Purge(true, true, 0);
  client.SetLine(line, 0);
  const Bytes answers = {0xff, 0xfa, 0x2c, 0x70, 0x03, 0xff, 0xf0,                    // purge
                         0xff, 0xfa, 0x2c, 0x65, 0x00, 0x00, 0xe1, 0x00, 0xff, 0xf0,  // 57600
                         0xff, 0xfa, 0x2c, 0x67, 0x01, 0xff, 0xf0,                    // parity none
                         0xff, 0xfa, 0x2c, 0x66, 0x08, 0xff, 0xf0, 0xff, 0xfa, 0x2c, 0x68, 0x01, 0xff, 0xf0,
                         0xff, 0xfa, 0x2c, 0x69, 0x01, 0xff, 0xf0};
  Bytes payload, reply;
  client.Receive(answers.data(), answers.size(), payload, reply, 10);
  EXPECT_TRUE(payload.empty());
  EXPECT_EQ(client.TakeNotes(), std::vector<std::string>{"the server set parity none, not even"});
  client.SetLine(line, 20);
  client.Receive(answers.data() + 7, answers.size() - 7, payload, reply, 30);
  EXPECT_TRUE(client.TakeNotes().empty()) << "said once a connection";
  client.Tick(100000);
  EXPECT_TRUE(client.TakeNotes().empty()) << "every request was answered";
}

TEST(Telnet, ARequestNotAnsweredInTimeIsSaidOnceAndTheLineGoesOn) {
  telnet::ComPortClient client;
  telnet::LineSettings line;
  line.baud = 9600;
  client.SetLine(line, 1000);
  // Everything but SET-CONTROL, which some servers ignore.
  const Bytes answers = {0xff, 0xfa, 0x2c, 0x65, 0x00, 0x00, 0x25, 0x80, 0xff, 0xf0, 0xff, 0xfa, 0x2c, 0x66, 0x08,
                         0xff, 0xf0, 0xff, 0xfa, 0x2c, 0x67, 0x01, 0xff, 0xf0, 0xff, 0xfa, 0x2c, 0x68, 0x01, 0xff,
                         0xf0};
  Bytes payload, reply;
  client.Receive(answers.data(), answers.size(), payload, reply, 1100);
  client.Tick(1000 + telnet::kAnswerMs - 1);
  EXPECT_TRUE(client.TakeNotes().empty());
  client.Tick(1000 + telnet::kAnswerMs);
  EXPECT_EQ(client.TakeNotes(), std::vector<std::string>{"the server did not answer SET-CONTROL; going on without it"});
  client.SetLine(line, 5000);
  client.Tick(5000 + telnet::kAnswerMs);
  for (const std::string& note : client.TakeNotes()) EXPECT_EQ(note.find("SET-CONTROL"), std::string::npos) << note;
}

TEST(Telnet, AServerWithoutTheComPortOptionIsSaidOnce) {
  telnet::ComPortClient client;
  client.Hello();
  const Bytes refuse = {0xff, 0xfe, 0x2c, 0xff, 0xfe, 0x2c};
  Bytes payload, reply;
  client.Receive(refuse.data(), refuse.size(), payload, reply, 0);
  EXPECT_TRUE(reply.empty()) << "a refusal of what we offered needs no answer";
  EXPECT_FALSE(client.Agreed());
  EXPECT_TRUE(client.Answered());
  const std::vector<std::string> notes = client.TakeNotes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("refused the COM-PORT-OPTION"), std::string::npos);
}

struct UrlCase {
  const char* url;
  bool ok;
  NetAddress::Kind kind;
  const char* host;
  std::uint16_t port;
};

TEST(NetworkUrl, ParsesSchemesHostsAndPorts) {
  using K = NetAddress::Kind;
  const UrlCase cases[] = {
      {"rfc2217://127.0.0.1:2217", true, K::kRfc2217, "127.0.0.1", 2217},
      {"tcp://gimbal.local:4001", true, K::kRaw, "gimbal.local", 4001},
      {"TCP://Gimbal:4001/", true, K::kRaw, "Gimbal", 4001},
      {"rfc2217://[::1]:7000", true, K::kRfc2217, "::1", 7000},
      {"tcp://[fe80::1%eth0]:23", true, K::kRaw, "fe80::1%eth0", 23},
      {"tcp://host:65535", true, K::kRaw, "host", 65535},
      {"tcp://host", false, K::kRaw, "", 0},
      {"tcp://host:", false, K::kRaw, "", 0},
      {"tcp://host:0", false, K::kRaw, "", 0},
      {"tcp://host:65536", false, K::kRaw, "", 0},
      {"tcp://host:12a", false, K::kRaw, "", 0},
      {"tcp://:4001", false, K::kRaw, "", 0},
      {"tcp://::1:4001", false, K::kRaw, "", 0},
      {"tcp://[::1]4001", false, K::kRaw, "", 0},
      {"tcp://a b:4001", false, K::kRaw, "", 0},
      {"udp://host:4001", false, K::kRaw, "", 0},
      {"/dev/ttyUSB0", false, K::kRaw, "", 0},
  };
  for (const UrlCase& c : cases) {
    const std::optional<NetAddress> a = ParseNetworkUrl(c.url);
    ASSERT_EQ(a.has_value(), c.ok) << c.url;
    if (!a) continue;
    EXPECT_EQ(a->kind, c.kind) << c.url;
    EXPECT_EQ(a->host, c.host) << c.url;
    EXPECT_EQ(a->port, c.port) << c.url;
    EXPECT_EQ(ParseNetworkUrl(NetworkUrl(*a))->host, a->host) << "parses back: " << NetworkUrl(*a);
  }
  EXPECT_TRUE(LooksLikeNetworkUrl("tcp://host"));
  EXPECT_FALSE(LooksLikeNetworkUrl("/dev/serial/by-id/tcp://x"));
  EXPECT_TRUE(ParseNetworkUrl("tcp://127.0.0.1:0", true).has_value()) << "a listener may take any free port";
}
}  // namespace
