#include "protocol/reply.h"

namespace {
struct StatusRow {
  int byte;  // 3 = status byte A, 4 = status byte B
  std::uint8_t mask;
  const char* whenSet;
  const char* whenClear;
  const char* fieldWhenSet;    // format status text written at this row, or null
  const char* fieldWhenClear;
};

// Row order matters: the field writes happen in this order and the last one stays.
constexpr StatusRow kRows[] = {
    {3, kCardInserted, "Inserted card", "No card inserted ", nullptr, " "},
    {3, kCardInitialising, "Initialization in progress", "Not in initialization", nullptr, nullptr},
    {3, kCardReadOnly, "read-only", "not read-only", nullptr, nullptr},
    {3, kCardFormatComplete, "format complete", "Formatting not completed", "format complete", nullptr},
    {3, kCardFormatting, "formatting", "Unformatted", nullptr, nullptr},
    {3, kCardFull, "Already full", "Unfilled", nullptr, nullptr},
    {3, kCardTested, "Tested", "Unchecked", nullptr, nullptr},
    {3, kCardInvalidFormat, "invalid format", "Effective format", nullptr, nullptr},
    {4, kCardError, "Erroneous", "No mistake", "format failure", nullptr},
    {4, kCardRecording, "Video recording", "Stop video ", nullptr, nullptr},
};
}  // namespace

std::optional<DecodedReply> DecodeReplyFrame(const std::uint8_t* b) {
  if (b[0] != kReplySync0 || b[1] != kReplySync1) return std::nullopt;
  if (b[2] == 0 || b[2] > kReplyMinutes) return std::nullopt;
  DecodedReply r;
  if (b[2] == kReplyStatus) {
    for (const StatusRow& row : kRows) {
      const bool set = (b[row.byte] & row.mask) != 0;
      r.line += ' ';
      r.line += set ? row.whenSet : row.whenClear;
      if (const char* field = set ? row.fieldWhenSet : row.fieldWhenClear) r.fieldWrites.emplace_back(field);
    }
    return r;
  }
  const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(b[3]) | (static_cast<std::uint32_t>(b[4]) << 8) |
                                               (static_cast<std::uint32_t>(b[5]) << 16) |
                                               (static_cast<std::uint32_t>(b[6]) << 24));
  const std::string digits = std::to_string(value);
  switch (b[2]) {
    case kReplyCapacity:
    case kReplyResidual: r.line = digits + "KB"; break;
    case kReplyPictures: r.line = "remaining" + digits + "pieces"; break;
    default: r.line = "remaining" + digits + "minutes"; break;
  }
  return r;
}

static void Trailer(std::uint8_t* out) {
  unsigned sum = 0;
  for (int i = 0; i < 7; ++i) sum += out[i];
  out[7] = static_cast<std::uint8_t>(sum);
}

void BuildStatusReply(std::uint8_t* out, std::uint8_t statusA, std::uint8_t statusB) {
  out[0] = kReplySync0;
  out[1] = kReplySync1;
  out[2] = kReplyStatus;
  out[3] = statusA;
  out[4] = statusB;
  out[5] = out[6] = 0;
  Trailer(out);
}

void BuildCountReply(std::uint8_t* out, std::uint8_t type, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  out[0] = kReplySync0;
  out[1] = kReplySync1;
  out[2] = type;
  for (int i = 0; i < 4; ++i) out[3 + i] = static_cast<std::uint8_t>(v >> (8 * i));
  Trailer(out);
}
