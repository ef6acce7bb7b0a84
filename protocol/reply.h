// The device's 8-byte replies to the SD-card queries: BB 09 type payload trailer.
#pragma once

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

struct DecodedReply {
  std::string line;                      // the one log line
  std::vector<std::string> fieldWrites;  // texts for the format status field, in row order
};

// nullopt when the frame is not a reply (wrong sync bytes or type 0 / above 5).
// Byte 7 is never examined.
std::optional<DecodedReply> DecodeReplyFrame(const std::uint8_t* frame);

// The encoding the device uses; the simulated gimbal builds its answers with it.
void BuildStatusReply(std::uint8_t* out8, std::uint8_t statusA, std::uint8_t statusB);
void BuildCountReply(std::uint8_t* out8, std::uint8_t type, std::int32_t value);
