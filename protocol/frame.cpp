#include "protocol/frame.h"

#include <bit>
#include <cstring>

static_assert(Frame::kCapacity == kFrameSize);

Frame::Frame(const std::uint8_t* bytes, std::size_t n) {
  m_size = n < kCapacity ? n : kCapacity;
  if (m_size) std::memcpy(m_bytes.data(), bytes, m_size);
}

void Frame::resize(std::size_t n) {
  if (n > kCapacity) n = kCapacity;
  // Bytes dropped now must not come back as stale data if the frame grows again.
  for (std::size_t i = n; i < m_size; ++i) m_bytes[i] = 0;
  m_size = n;
}

bool Frame::operator==(const Frame& other) const {
  return m_size == other.m_size && std::memcmp(m_bytes.data(), other.m_bytes.data(), m_size) == 0;
}

Frame BeginFrame(std::uint8_t code) {
  Frame frame;
  frame.resize(kFrameSize);
  frame[0] = kSync;
  frame[1] = kSync;
  frame[2] = kTag;
  frame[kCodeByte] = code;
  return frame;
}

std::uint8_t FrameChecksum(const std::uint8_t* frame) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < kChecksumByte; ++i) sum += frame[i];
  return static_cast<std::uint8_t>(sum);
}

void SealFrame(Frame& frame) { frame[kChecksumByte] = FrameChecksum(frame.data()); }

void PutU16(std::uint8_t* at, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
}

namespace {
// The wire order is least significant byte first whatever the host order is.
template <typename T>
void PutLittleEndian(std::uint8_t* at, T value) {
  unsigned char raw[sizeof(T)];
  std::memcpy(raw, &value, sizeof(T));
  for (std::size_t i = 0; i < sizeof(T); ++i)
    at[i] = std::endian::native == std::endian::big ? raw[sizeof(T) - 1 - i] : raw[i];
}

template <typename T>
T GetLittleEndian(const std::uint8_t* at) {
  unsigned char raw[sizeof(T)];
  for (std::size_t i = 0; i < sizeof(T); ++i)
    raw[i] = std::endian::native == std::endian::big ? at[sizeof(T) - 1 - i] : at[i];
  T value;
  std::memcpy(&value, raw, sizeof(T));
  return value;
}
}  // namespace

void PutF32(std::uint8_t* at, float value) { PutLittleEndian(at, value); }
void PutF64(std::uint8_t* at, double value) { PutLittleEndian(at, value); }
std::int16_t GetS16(const std::uint8_t* at) { return GetLittleEndian<std::int16_t>(at); }
std::uint16_t GetU16(const std::uint8_t* at) { return GetLittleEndian<std::uint16_t>(at); }
float GetF32(const std::uint8_t* at) { return GetLittleEndian<float>(at); }
double GetF64(const std::uint8_t* at) { return GetLittleEndian<double>(at); }

std::string HexJoin(const std::uint8_t* bytes, std::size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(n * 3);
  for (std::size_t i = 0; i < n; ++i) {
    if (i) out += '-';
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0x0F];
  }
  return out;
}

std::string FormatSentFrame(const Frame& frame) {
  const std::uint8_t* bytes = frame.data();
  const std::size_t n = frame.size();
  std::string out;
  if (n == kFrameSize) {
    out = HexJoin(bytes, 16) + "  " + HexJoin(bytes + 16, 16) + "  " + HexJoin(bytes + 32, 16);
  } else {
    out = HexJoin(bytes, n);
  }
  out += "\r\n";
  return out;
}

std::string FormatManualFrame(const Frame& frame) { return HexJoin(frame.data(), frame.size()); }

std::int32_t HexTextToInt(std::string_view text) {
  std::uint32_t result = 0;
  std::uint32_t weight = 1;
  for (std::size_t k = text.size(); k-- > 0;) {
    const auto c = static_cast<signed char>(text[k]);
    std::uint32_t value;
    if (c >= '0' && c <= '9') {
      value = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      value = static_cast<std::uint32_t>(c - 'A' + 10);
    } else if (c >= 'a' && c <= 'f') {
      value = static_cast<std::uint32_t>(c - 'a' + 10);
    } else {
      return -1;
    }
    result += value * weight;
    weight *= 16;
  }
  return static_cast<std::int32_t>(result);
}

std::optional<Frame> ParseManualInstruction(std::string_view text) {
  Frame out;
  const std::size_t len = text.size();
  std::size_t p = 0;
  while (p < len) {
    if (text[p] == ' ') ++p;  // one space only: a second one starts the token
    const std::string_view token = text.substr(p < len ? p : len, 2);
    const std::int32_t value = HexTextToInt(token);
    if (value < 0 || value > 255) return std::nullopt;
    // Text with more bytes than the frame holds is refused as a whole rather
    // than sent cut short.
    if (out.size() == kFrameSize) return std::nullopt;
    const std::size_t n = out.size();
    out.resize(n + 1);
    out[n] = static_cast<std::uint8_t>(value);
    p += 2;
    while (p < len && text[p] == ' ') ++p;
  }
  return out;
}
