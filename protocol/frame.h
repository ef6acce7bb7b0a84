// The device's 48-byte private-protocol frame, the VISCA buffers that share the
// transmit path, the hexadecimal echo and the hex-text parser.
// Nothing here knows about windows or ports: builders fill buffers, the dialog sends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::size_t kFrameSize = 48;     // private-protocol frame, always 48 bytes
inline constexpr std::size_t kZoomFrameSize = 9;  // VISCA zoom-direct command

// Frame layout: 7E 7E 44 b3 b4 code params... checksum.
inline constexpr std::uint8_t kSync = 0x7E;
inline constexpr std::uint8_t kTag = 0x44;
inline constexpr std::size_t kCodeByte = 5;
inline constexpr std::size_t kChecksumByte = 47;

// The shared send buffers. Every builder clears its buffer first, so no byte of
// an earlier command can leak into a later one.
extern std::uint8_t g_SendFrame[kFrameSize];
extern std::uint8_t g_ZoomFrame[kZoomFrameSize];

// Pure forms on any 48-byte buffer.
void BeginFrame(std::uint8_t* frame, std::uint8_t code);
std::uint8_t FrameChecksum(const std::uint8_t* frame);  // low 8 bits of bytes 0..46
void SealFrame(std::uint8_t* frame);

// The same on g_SendFrame, as the dialog's handlers use them.
void BeginFrame(std::uint8_t code);
void SealFrame();

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
std::string FormatSentFrame(const std::uint8_t* bytes, std::size_t n);
// The manual-instruction echo: bytes joined by "-", no grouping, no line end.
std::string FormatManualFrame(const std::uint8_t* bytes, std::size_t n);
// Two lowercase hex digits per byte, joined by "-".
std::string HexJoin(const std::uint8_t* bytes, std::size_t n);

// Hex text to a signed 32-bit value; -1 for a character that is no hex digit.
// Digits beyond the last eight add nothing (the weight wraps to 0).
std::int32_t HexTextToInt(std::string_view text);

// Manual instruction parsing: pairs of hex digits, spaces between pairs skipped.
// Returns the number of bytes stored in out (at most kFrameSize), or -1 when a
// token is invalid or the text holds more bytes than the frame can carry.
int ParseManualInstruction(std::string_view text, std::uint8_t* out);
