// The client side of Telnet with the COM-PORT-OPTION (RFC 2854/2217), for a
// gimbal whose line ends at a serial device server. Pure: bytes in, bytes
// out, the time handed in; the socket is the caller's.
//
// What the panel writes is payload: every 0xFF in it is doubled on the way
// out (a VISCA frame ends in FF, and an undoubled FF would swallow the byte
// after it), and undoubled on the way in. Telnet commands inside what arrives
// are answered here and never reach the log or the reply decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace telnet {
using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kSe = 240;
inline constexpr std::uint8_t kBinary = 0, kEcho = 1, kSga = 3, kComPort = 44;
// COM-PORT-OPTION commands, client to server; the server answers code + 100.
inline constexpr std::uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4, kSetControl = 5,
                              kPurgeData = 12;
inline constexpr std::uint8_t kServerOffset = 100;

// How long the server may take to answer a request before it is said that
// it did not (some servers ignore SET-CONTROL); the line goes on regardless.
inline constexpr std::uint64_t kAnswerMs = 3000;

// The panel's line in the terms of the panel (the Win32 DCB's codes).
struct LineSettings {
  std::uint32_t baud = 0;
  std::uint8_t dataBits = 8;
  std::uint8_t parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t stopBits = 0;  // 0 one, 1 one and a half, 2 two
};

// Appends payload to out with every 0xFF doubled.
void Escape(const std::uint8_t* payload, std::size_t n, Bytes& out);

class ComPortClient {
 public:
  // What to send first: BINARY both ways, SUPPRESS-GO-AHEAD, and the offer of
  // the COM-PORT-OPTION.
  Bytes Hello();
  // Wire bytes from the server: the payload in them goes to payload, answers
  // to the server's negotiation to reply.
  void Receive(const std::uint8_t* wire, std::size_t n, Bytes& payload, Bytes& reply, std::uint64_t nowMs);
  // SET-BAUDRATE, SET-DATASIZE, SET-PARITY, SET-STOPSIZE and SET-CONTROL (no
  // flow control), in one piece.
  Bytes SetLine(const LineSettings& line, std::uint64_t nowMs);
  // PURGE-DATA: rx the server's buffer of what the device sent, tx of what
  // goes to it. Nothing when neither.
  Bytes Purge(bool rx, bool tx, std::uint64_t nowMs);
  // Requests the server has not answered in time are said (once each code).
  void Tick(std::uint64_t nowMs);
  // Whether the server took up the COM-PORT-OPTION, refused it, or has said
  // neither yet.
  bool Agreed() const;
  bool Answered() const { return m_comPortAnswered; }
  // What the operator is to be told: a server that set another value than
  // asked, a request not answered, a server without the COM-PORT-OPTION.
  std::vector<std::string> TakeNotes();

 private:
  enum class State { kNo, kWantYes, kYes };
  enum class Parse { kData, kIac, kOption, kSb, kSbIac };
  struct Pending {
    std::uint32_t value;
    std::uint64_t sentAt;
  };
  void Command(std::uint8_t verb, std::uint8_t option, Bytes& reply);
  void Subnegotiation();
  void Request(std::uint8_t code, std::uint32_t value, Bytes& out, std::uint64_t nowMs);  // a row of the table
  void Note(const std::string& text);

  std::map<std::uint8_t, State> m_local;   // options we do (WILL)
  std::map<std::uint8_t, State> m_remote;  // options the server does (DO)
  bool m_comPortAnswered = false;
  Parse m_parse = Parse::kData;
  std::uint8_t m_verb = 0;
  Bytes m_sb;
  bool m_sbOverflow = false;
  std::map<std::uint8_t, std::deque<Pending>> m_pending;  // by code: answers come by code, not in order
  std::vector<std::string> m_notes;
  std::vector<std::string> m_said;  // each note once a connection
};

// "parity none", "baud 9600": a COM-PORT-OPTION value in the operator's words.
std::string DescribeValue(std::uint8_t code, std::uint32_t value);
}  // namespace telnet
