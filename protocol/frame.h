// The device's 48-byte private-protocol frame, the VISCA commands that share
// the transmit path, the hexadecimal echo and the hex-text parser.
// Nothing here knows about windows or ports: builders return frames, the
// dialog sends them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::size_t kFrameSize = 48;     // private-protocol frame, always 48 bytes

// Frame layout: 7E 7E 44 b3 b4 code params... checksum.
inline constexpr std::uint8_t kSync = 0x7E;
inline constexpr std::uint8_t kTag = 0x44;
inline constexpr std::size_t kCodeByte = 5;
inline constexpr std::size_t kChecksumByte = 47;

// One command as it goes on the wire: its bytes and how many there are (48
// for the private protocol; 5 to 14 for a VISCA command). A builder returns
// one, the dialog writes and echoes exactly that many bytes, and the readers
// take one apart, so a length never travels apart from its bytes. Bytes past
// the size are always 0.
class Frame {
 public:
  static constexpr std::size_t kCapacity = 48;
  Frame() = default;
  // The first n bytes (at most kCapacity) of a run read off the line.
  Frame(const std::uint8_t* bytes, std::size_t n);
  const std::uint8_t* data() const { return m_bytes.data(); }
  std::uint8_t* data() { return m_bytes.data(); }
  std::size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  void resize(std::size_t n);  // at most kCapacity; new bytes are 0
  std::uint8_t operator[](std::size_t i) const { return m_bytes[i]; }
  std::uint8_t& operator[](std::size_t i) { return m_bytes[i]; }
  const std::uint8_t* begin() const { return data(); }
  const std::uint8_t* end() const { return data() + m_size; }
  bool operator==(const Frame& other) const;

 private:
  std::array<std::uint8_t, kCapacity> m_bytes{};
  std::size_t m_size = 0;
};

// A cleared 48-byte frame with the sync bytes, the tag and the code.
Frame BeginFrame(std::uint8_t code);
std::uint8_t FrameChecksum(const std::uint8_t* frame);  // low 8 bits of bytes 0..46
void SealFrame(Frame& frame);

// Little-endian stores used by every parameter of the private protocol.
void PutU16(std::uint8_t* at, std::int32_t value);  // low 16 bits, two's complement
void PutF32(std::uint8_t* at, float value);         // IEEE 754 single, LSB first
void PutF64(std::uint8_t* at, double value);        // IEEE 754 double, LSB first
// And back, for the readers of the command frames.
std::int16_t GetS16(const std::uint8_t* at);
std::uint16_t GetU16(const std::uint8_t* at);
float GetF32(const std::uint8_t* at);
double GetF64(const std::uint8_t* at);

// The sent-frame display text. n = 48: three groups of 16 joined by two spaces;
// other lengths (14, 9, 7, 6): all bytes joined by "-". Always ends in "\r\n".
std::string FormatSentFrame(const Frame& frame);
// The manual-instruction echo: bytes joined by "-", no grouping, no line end.
std::string FormatManualFrame(const Frame& frame);
// Two lowercase hex digits per byte, joined by "-".
std::string HexJoin(const std::uint8_t* bytes, std::size_t n);

// Hex text to a signed 32-bit value; -1 for a character that is no hex digit.
// Digits beyond the last eight add nothing (the weight wraps to 0).
std::int32_t HexTextToInt(std::string_view text);

// Manual instruction parsing: pairs of hex digits, spaces between pairs skipped.
// The bytes typed (at most kFrameSize), or nothing when a token is invalid or
// the text holds more bytes than the frame can carry.
std::optional<Frame> ParseManualInstruction(std::string_view text);
