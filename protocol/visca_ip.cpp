#include "protocol/visca_ip.h"

#include <algorithm>

namespace visca_ip {
namespace {
// Speed 1 to 24 to steps: 200 * (speed / 24)^2, at least 1; a controller's
// slow end moves the gimbal as finely as the stick's edge does.
constexpr int kSteps[kMaxPanSpeed + 1] = {0,  1,  1,  3,  6,  9,  12,  17,  22,  28,  35,  42, 50,
                                          59, 68, 78, 89, 100, 112, 125, 139, 153, 168, 184, 200};
}  // namespace

int StepsFor(int speed) { return kSteps[std::clamp(speed, 0, kMaxPanSpeed)]; }

std::optional<Packet> Read(const std::uint8_t* data, std::size_t n, Fault* fault) {
  const auto say = [&](Fault f) {
    if (fault) *fault = f;
    return std::nullopt;
  };
  if (n < kHeaderSize) return say(Fault::kShort);
  const std::size_t length = static_cast<std::size_t>(data[2]) << 8 | data[3];
  if (length == 0 || length > kMaxPayload) return say(Fault::kLength);
  if (n != kHeaderSize + length) return say(n < kHeaderSize + length ? Fault::kShort : Fault::kLength);
  Packet p;
  p.type = static_cast<std::uint16_t>(data[0] << 8 | data[1]);
  p.sequence = static_cast<std::uint32_t>(data[4]) << 24 | static_cast<std::uint32_t>(data[5]) << 16 |
               static_cast<std::uint32_t>(data[6]) << 8 | data[7];
  p.payload.assign(data + kHeaderSize, data + n);
  if (fault) *fault = Fault::kNone;
  return p;
}

Bytes Pack(std::uint16_t type, std::uint32_t sequence, const Bytes& payload) {
  Bytes b(kHeaderSize + payload.size());
  b[0] = static_cast<std::uint8_t>(type >> 8);
  b[1] = static_cast<std::uint8_t>(type);
  b[2] = static_cast<std::uint8_t>(payload.size() >> 8);
  b[3] = static_cast<std::uint8_t>(payload.size());
  for (int k = 0; k < 4; ++k) b[4 + k] = static_cast<std::uint8_t>(sequence >> (24 - 8 * k));
  std::copy(payload.begin(), payload.end(), b.begin() + kHeaderSize);
  return b;
}

bool IsMessage(const Bytes& m) {
  return m.size() >= 3 && m.size() <= kMaxPayload && (m[0] & 0xF0) == 0x80 && m.back() == 0xFF &&
         std::find(m.begin(), m.end() - 1, 0xFF) == m.end() - 1;
}

Asked ReadAsk(const Bytes& m) {
  Asked a;
  if (!IsMessage(m) || m[0] == 0x80) return a;
  if (m[0] == 0x88) {  // a broadcast: IF_Clear, AddressSet; no other
    if (m == Bytes{0x88, 0x01, 0x00, 0x01, 0xFF}) a.ask = Ask::kBroadcastClear;
    if (m == Bytes{0x88, 0x30, 0x01, 0xFF}) a.ask = Ask::kAddressSet;
    return a;
  }
  if (m.size() == 3 && (m[1] & 0xF0) == 0x20 && (m[1] & 0x0F) >= 1 &&
      (m[1] & 0x0F) <= 2) {  // CommandCancel 8x 2p FF
    a.ask = Ask::kCancel;
    a.socket = m[1] & 0x0F;
    return a;
  }
  if (m.size() < 4) return a;
  const std::uint8_t kind = m[1], category = m[2];
  const bool inquiry = kind == 0x09;
  if (kind != 0x01 && !inquiry) return a;
  if (category == 0x00) {
    if (!inquiry && m.size() == 5 && m[3] == 0x01) a.ask = Ask::kClear;               // IF_Clear 8x 01 00 01 FF
    if (inquiry && m.size() == 5 && m[3] == 0x02) a.ask = Ask::kCamera;               // the version, 8x 09 00 02 FF
    return a;
  }
  if (inquiry && category == 0x7E && m.size() == 6 && m[3] == 0x7E) {  // a block inquiry, 8x 09 7E 7E 0n FF
    a.ask = Ask::kCamera;
    return a;
  }
  if (category == 0x04) {  // the camera block: zoom, focus, exposure, power and the rest
    // but its presets (memory, 3F): they would recall positions the gimbal has not.
    a.ask = m[3] == 0x3F ? Ask::kNotExecutable : Ask::kCamera;
    return a;
  }
  if (category != 0x06) return a;  // no other category is a camera's
  if (!inquiry && m.size() == 9 && m[3] == 0x01) {  // Pan-tiltDrive 8x 01 06 01 VV WW 0p 0q FF
    const int pan = m[6], tilt = m[7];
    // A speed of 0 is taken on an axis that stops (obs-ptz and the
    // visca_over_ip library send one), never on one that moves.
    const auto speedOk = [](int speed, int direction, int max) { return speed <= max && (speed >= 1 || direction == 3); };
    if (!speedOk(m[4], pan, kMaxPanSpeed) || !speedOk(m[5], tilt, kMaxTiltSpeed) || pan < 1 || pan > 3 || tilt < 1 ||
        tilt > 3)
      return a;
    a.ask = Ask::kDrive;
    a.drive = {pan == 1 ? -1 : pan == 2 ? 1 : 0, tilt == 1 ? -1 : tilt == 2 ? 1 : 0, m[4], m[5]};
    return a;
  }
  // Absolute and relative positions, home, reset, limits, the position
  // inquiry: this gimbal knows no position of its own.
  a.ask = Ask::kNotExecutable;
  return a;
}

Bytes InterfaceAnswer(const Asked& a, const Bytes& message) {
  switch (a.ask) {
    case Ask::kClear: return kCleared;
    case Ask::kBroadcastClear: return message;  // passed on, as along a daisy chain
    case Ask::kAddressSet: return {0x88, 0x30, 0x02, 0xFF};  // one camera, at address 1
    case Ask::kCancel: return NoSocket(a.socket);
    default: return {};
  }
}
std::vector<Bytes> Splitter::Feed(const std::uint8_t* bytes, std::size_t n) {
  std::vector<Bytes> out;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t b = bytes[i];
    if (!m_dropping) m_message.push_back(b);
    if (b == 0xFF) {
      if (!m_dropping) out.push_back(std::move(m_message));
      m_message.clear();
      m_dropping = false;
    } else if (m_message.size() >= kMaxPayload) {
      m_message.clear();
      m_dropping = true;
    }
  }
  return out;
}
}  // namespace visca_ip
