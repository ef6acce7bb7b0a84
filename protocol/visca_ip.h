// VISCA over IP as PTZ controllers speak it (UDP; cameras listen on 52381):
// an 8-byte header (payload type, payload length, sequence number, all big
// endian) and one VISCA message of 1 to 16 bytes. Read and packed side by
// side; what a controller's message asks of this gimbal, and the camera's
// short answers, beside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace visca_ip {
using Bytes = std::vector<std::uint8_t>;

enum Type : std::uint16_t {
  kCommand = 0x0100,       // a VISCA command
  kInquiry = 0x0110,       // a VISCA inquiry
  kReply = 0x0111,         // the camera's acknowledge, completion, error or answer
  kControl = 0x0200,       // RESET (payload 01) and the like
  kControlReply = 0x0201,  // ACK to RESET, or an error (0F 01 sequence, 0F 02 message)
};
inline constexpr std::size_t kHeaderSize = 8, kMaxPayload = 16;

struct Packet {
  std::uint16_t type = 0;
  std::uint32_t sequence = 0;
  Bytes payload;
};

// What is wrong with a datagram that is no packet: too short for its header
// or its payload, or a length outside 1 to 16. Such datagrams are dropped.
enum class Fault { kNone, kShort, kLength };
std::optional<Packet> Read(const std::uint8_t* data, std::size_t n, Fault* fault = nullptr);
Bytes Pack(std::uint16_t type, std::uint32_t sequence, const Bytes& payload);

// The control replies: RESET taken, and the two errors.
inline const Bytes kResetAck = {0x01};
inline const Bytes kSequenceError = {0x0F, 0x01};
inline const Bytes kMessageError = {0x0F, 0x02};

// The camera's short answers from socket 1, as a camera block gives them.
inline const Bytes kAck = {0x90, 0x41, 0xFF};
inline const Bytes kCompletion = {0x90, 0x51, 0xFF};
inline const Bytes kSyntaxError = {0x90, 0x60, 0x02, 0xFF};
inline const Bytes kNotExecutable = {0x90, 0x61, 0x41, 0xFF};
inline const Bytes kCleared = {0x90, 0x50, 0xFF};  // IF_Clear done
// CommandCancel of socket p: nothing of it waits here ("no socket").
inline Bytes NoSocket(int socket) { return {0x90, static_cast<std::uint8_t>(0x60 | socket), 0x05, 0xFF}; }

// Pan-tiltDrive: which way each axis turns (-1 left or up, 0 not, 1 right
// or down) and how fast (VISCA's 01 to 18h for pan, 01 to 17h for tilt).
struct Drive {
  int pan = 0, tilt = 0;
  int panSpeed = 0, tiltSpeed = 0;
  bool Stop() const { return pan == 0 && tilt == 0; }
};

// What a message asks of this gimbal: a drive (through the panel's
// steering), the camera block (its commands and the inquiries it answers, to
// the gimbal's line as they are), the interface's own (IF_Clear, addressed
// or broadcast; CommandCancel; AddressSet), something the gimbal has no
// equivalent for (absolute position, home, presets: "command not
// executable"), or nothing a camera knows (a syntax error). The message
// itself says command (8x 01) or inquiry (8x 09): controllers differ in the
// packet type they give an inquiry, cameras go by the message.
enum class Ask { kDrive, kCamera, kClear, kBroadcastClear, kCancel, kAddressSet, kNotExecutable, kSyntax };
struct Asked {
  Ask ask = Ask::kSyntax;
  Drive drive;
  int socket = 0;  // CommandCancel's
};
Asked ReadAsk(const Bytes& message);
// A camera message is one address byte 8x, its body, and FF, nothing after.
bool IsMessage(const Bytes& m);

// What a camera answers on its own for the interface's messages
// (IF_Clear, CommandCancel, AddressSet): empty for any other.
Bytes InterfaceAnswer(const Asked& asked, const Bytes& message);

// Raw VISCA, without the header (over TCP, or several to a datagram):
// messages delimited by their FF. A run of more than 16 bytes without one is
// no message and is dropped up to the next FF; what it held is never taken
// for the start of another.
class Splitter {
 public:
  std::vector<Bytes> Feed(const std::uint8_t* bytes, std::size_t n);

 private:
  Bytes m_message;
  bool m_dropping = false;
};

// The steps of a move frame a drive speed gives (speeds beyond the axis's
// last one are that one): one table for both axes, fine at the low speeds.
int StepsFor(int speed);
inline constexpr int kMaxPanSpeed = 0x18, kMaxTiltSpeed = 0x17;
}  // namespace visca_ip
