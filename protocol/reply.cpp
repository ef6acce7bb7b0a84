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

ReplyBytes PackReply(const Reply& r) {
  ReplyBytes b{kReplySync0, kReplySync1, r.type};
  if (r.type == kReplyStatus) {
    b[3] = r.statusA;
    b[4] = r.statusB;
  } else {
    const auto v = static_cast<std::uint32_t>(r.count);
    for (int i = 0; i < 4; ++i) b[3 + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  unsigned sum = 0;
  for (int i = 0; i < 7; ++i) sum += b[i];
  b[7] = static_cast<std::uint8_t>(sum);
  return b;
}

std::optional<Reply> UnpackReply(const std::uint8_t* b) {
  if (b[0] != kReplySync0 || b[1] != kReplySync1) return std::nullopt;
  if (b[2] == 0 || b[2] > kReplyMinutes) return std::nullopt;
  Reply r;
  r.type = b[2];
  r.trailer = b[7];
  if (r.type == kReplyStatus) {
    r.statusA = b[3];
    r.statusB = b[4];
  } else {
    r.count = static_cast<std::int32_t>(static_cast<std::uint32_t>(b[3]) | (static_cast<std::uint32_t>(b[4]) << 8) |
                                        (static_cast<std::uint32_t>(b[5]) << 16) |
                                        (static_cast<std::uint32_t>(b[6]) << 24));
  }
  return r;
}

DecodedReply DescribeReply(const Reply& reply) {
  DecodedReply r;
  if (reply.type == kReplyStatus) {
    for (const StatusRow& row : kRows) {
      const bool set = ((row.byte == 3 ? reply.statusA : reply.statusB) & row.mask) != 0;
      r.line += ' ';
      r.line += set ? row.whenSet : row.whenClear;
      if (const char* field = set ? row.fieldWhenSet : row.fieldWhenClear) r.fieldWrites.emplace_back(field);
    }
    return r;
  }
  const std::string digits = std::to_string(reply.count);
  switch (reply.type) {
    case kReplyCapacity:
    case kReplyResidual: r.line = digits + "KB"; break;
    case kReplyPictures: r.line = "remaining" + digits + "pieces"; break;
    default: r.line = "remaining" + digits + "minutes"; break;
  }
  return r;
}

std::optional<DecodedReply> DecodeReplyFrame(const std::uint8_t* frame8) {
  const std::optional<Reply> reply = UnpackReply(frame8);
  if (!reply) return std::nullopt;
  return DescribeReply(*reply);
}
