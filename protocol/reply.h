// The device's 8-byte replies to the SD-card queries: BB 09 type payload trailer.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr std::size_t kReplySize = 8;
inline constexpr std::uint8_t kReplySync0 = 0xBB;
inline constexpr std::uint8_t kReplySync1 = 0x09;

enum ReplyType : std::uint8_t {
  kReplyStatus = 1,    // status bits, answers "Query State"
  kReplyCapacity = 2,  // card capacity, KB
  kReplyResidual = 3,  // residual capacity, KB
  kReplyPictures = 4,  // pictures that still fit
  kReplyMinutes = 5,   // minutes of video that still fit
};

// Status byte A and B bits of a type-1 reply.
enum StatusBitsA : std::uint8_t {
  kCardInserted = 0x01,
  kCardInitialising = 0x02,
  kCardReadOnly = 0x04,
  kCardFormatComplete = 0x08,
  kCardFormatting = 0x10,
  kCardFull = 0x20,
  kCardTested = 0x40,
  kCardInvalidFormat = 0x80,
};
enum StatusBitsB : std::uint8_t {
  kCardError = 0x01,
  kCardRecording = 0x02,
};

// One reply as a value; the layout, written once here:
//
//   byte 0-1  BB 09
//   byte 2    type (ReplyType)
//   byte 3-6  type 1: status byte A, status byte B, 00, 00
//             types 2 to 5: the count, signed 32 bits, least significant byte first
//   byte 7    the device's sum of bytes 0 to 6 (never examined when read)
struct Reply {
  std::uint8_t type = kReplyStatus;
  std::uint8_t statusA = 0, statusB = 0;  // type 1: StatusBitsA, StatusBitsB
  std::int32_t count = 0;                  // types 2 to 5: KB, pictures or minutes
  std::uint8_t trailer = 0;                // as read; packing writes the sum

  static Reply Status(std::uint8_t a, std::uint8_t b) { return {kReplyStatus, a, b, 0, 0}; }
  static Reply Count(std::uint8_t type, std::int32_t count) { return {type, 0, 0, count, 0}; }
};
using ReplyBytes = std::array<std::uint8_t, kReplySize>;

// Pack and unpack side by side: the simulated gimbal packs its answers, the
// panel unpacks what it reads. nullopt when the 8 bytes are no reply (wrong
// sync bytes, type 0 or above 5).
ReplyBytes PackReply(const Reply& reply);
std::optional<Reply> UnpackReply(const std::uint8_t* frame8);

// What the panel makes of a reply: one log line, and for the card status the
// texts the format status field is set to, in row order.
struct DecodedReply {
  std::string line;
  std::vector<std::string> fieldWrites;
};
DecodedReply DescribeReply(const Reply& reply);
// Unpacked and described at once; nullopt when it is no reply.
std::optional<DecodedReply> DecodeReplyFrame(const std::uint8_t* frame8);
