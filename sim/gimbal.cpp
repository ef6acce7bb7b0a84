#include "sim/gimbal.h"

#include "protocol/describe.h"

#include <algorithm>
#include <cstring>

#include "protocol/commands.h"
#include "protocol/frame.h"
#include "protocol/reply.h"


Gimbal::Gimbal(SimOptions options) : m_options(options) {
  if (m_options.noCard) m_state.card.inserted = false;
}

void Gimbal::Advance(Clock::time_point now) {
  if (!m_started) {
    m_started = true;
    m_lastAdvance = now;
    return;
  }
  CardState& card = m_state.card;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_lastAdvance).count();
  if (ms <= 0) return;
  if (card.recording) {
    // Whole kilobytes only; the rest of the time carries over to the next look.
    const std::int64_t total = m_recordCarryMs + ms;
    const std::int64_t used = total * kRecordKBPerSecond / 1000;
    m_recordCarryMs = total - used * 1000 / kRecordKBPerSecond;
    card.residualKB = std::max<std::int64_t>(0, card.residualKB - used);
    if (card.residualKB == 0) card.recording = false;
  }
  if (card.formatting && now >= m_formatDone) {
    card.formatting = false;
    card.formatComplete = true;
    card.residualKB = card.capacityKB;
  }
  m_lastAdvance = now;
}

std::vector<std::string> Gimbal::TakeTrace() {
  std::vector<std::string> out;
  out.swap(m_trace);
  return out;
}

void Gimbal::Reply(std::vector<std::uint8_t> bytes, Clock::time_point now, std::vector<SimReply>& out) {
  const auto due = now + std::chrono::milliseconds(m_options.replyDelayMs);
  if (m_options.split && bytes.size() > 1) {
    const std::size_t half = bytes.size() / 2;
    out.push_back({std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + half), due});
    out.push_back({std::vector<std::uint8_t>(bytes.begin() + half, bytes.end()),
                   due + std::chrono::milliseconds(m_options.splitGapMs)});
  } else {
    out.push_back({std::move(bytes), due});
  }
}

std::vector<SimReply> Gimbal::Feed(const std::uint8_t* bytes, std::size_t n, Clock::time_point now) {
  Advance(now);
  m_buffer.insert(m_buffer.end(), bytes, bytes + n);
  std::vector<SimReply> out;
  std::size_t pos = 0;
  auto drop = [&] {
    ++pos;
    ++m_garbage;
  };
  while (pos < m_buffer.size()) {
    const std::size_t left = m_buffer.size() - pos;
    const std::uint8_t* p = m_buffer.data() + pos;
    if (p[0] == kSync) {
      if (!MayStartFrame(p, left)) { drop(); continue; }
      const Frame f(p, left);
      const FrameCheck check = CheckFrame(f);
      if (check == FrameCheck::kTooShort) break;  // wait for the rest
      if (check == FrameCheck::kBadChecksum) {
        // Dropped; a real frame may start inside it, so look again one byte on.
        ++m_badChecksums;
        if (m_options.trace) m_trace.push_back("bad checksum: " + HexJoin(p, kFrameSize));
        ++pos;
        continue;
      }
      ++m_frames;
      if (m_options.trace) {
        m_trace.push_back(HexJoin(p, kFrameSize));
        m_trace.push_back("  " + DescribeFrame(f));
      }
      HandleFrame(f, now, out);
      pos += kFrameSize;
      continue;
    }
    if (p[0] == kViscaAddress) {  // VISCA: up to the terminator
      const std::size_t limit = std::min<std::size_t>(left, kViscaMaxSize);
      const auto* end = std::find(p + 1, p + limit, kViscaTerminator);
      if (end == p + limit) {
        if (left < kViscaMaxSize) break;  // wait for the terminator
        drop();
        continue;
      }
      const Frame cmd(p, static_cast<std::size_t>(end + 1 - p));
      ++m_frames;
      if (m_options.trace) {
        m_trace.push_back(HexJoin(cmd.data(), cmd.size()));
        m_trace.push_back("  " + DescribeVisca(cmd));
      }
      HandleVisca(cmd, now, out);
      pos += cmd.size();
      continue;
    }
    drop();
  }
  m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(pos));
  return out;
}

void Gimbal::HandleVisca(const Frame& c, Clock::time_point now, std::vector<SimReply>& out) {
  GimbalState& s = m_state;
  const std::vector<std::uint8_t> m(c.data(), c.data() + c.size());
  if (m.size() >= 4 && m[1] == 0x09) return Reply(Inquiry(m), now, out);
  if (m.size() < 4 || m[1] != 0x01) return Reply({0x90, 0x60, 0x02, 0xFF}, now, out);  // syntax error
  const ViscaCommand v = ReadVisca(c);
  switch (v.kind) {
    case ViscaKind::kZoom:
      s.zoomPosition = static_cast<std::uint16_t>(v.value);
      s.zoomLevel = ZoomLevelAt(s.zoomPosition);
      break;
    case ViscaKind::kStabilizer: s.stabilizer = v.value; break;
    case ViscaKind::kDefog: s.defog = v.value; break;
    case ViscaKind::kVideoFormat: s.videoFormat = v.value; break;
    case ViscaKind::kOther: break;
  }
  // A camera block acknowledges every command, then reports its completion.
  Reply({0x90, 0x41, 0xFF, 0x90, 0x51, 0xFF}, now, out);
}

std::vector<std::uint8_t> Gimbal::Inquiry(const std::vector<std::uint8_t>& m) const {
  const GimbalState& s = m_state;
  // A camera answers an inquiry with its data alone, no acknowledge: 90 50 ... FF.
  const auto nibbles = [](std::uint16_t v) {
    return std::vector<std::uint8_t>{static_cast<std::uint8_t>(v >> 12 & 0xF), static_cast<std::uint8_t>(v >> 8 & 0xF),
                                     static_cast<std::uint8_t>(v >> 4 & 0xF), static_cast<std::uint8_t>(v & 0xF)};
  };
  const auto answer = [](std::vector<std::uint8_t> data) {
    data.insert(data.begin(), {0x90, 0x50});
    data.push_back(0xFF);
    return data;
  };
  const std::vector<std::uint8_t> body(m.begin() + 2, m.end() - 1);
  using B = std::vector<std::uint8_t>;
  if (body == B{0x04, 0x47}) return answer(nibbles(s.zoomPosition));
  if (body == B{0x04, 0x00}) return answer({0x02});  // power: on
  if (body == B{0x04, 0x34}) return answer({static_cast<std::uint8_t>(s.stabilizer)});
  if (body == B{0x04, 0x37}) return answer({static_cast<std::uint8_t>(s.defog), 0x00});
  if (body == B{0x00, 0x02}) return answer({0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02});  // version: ROM 0100, 2 sockets
  if (body.size() == 3 && body[0] == 0x7E && body[1] == 0x7E && body[2] <= 0x02) {
    // The block inquiries a camera of this kind has: lens (the zoom
    // position in bytes 2 to 5), camera (all 0), other (power on).
    B block(13, 0x00);
    if (body[2] == 0x00) std::copy_n(nibbles(s.zoomPosition).begin(), 4, block.begin());
    if (body[2] == 0x02) block[0] = 0x01;
    return answer(block);
  }
  return {0x90, 0x60, 0x02, 0xFF};  // what this camera does not know: syntax error
}

void Gimbal::HandleFrame(const Frame& f, Clock::time_point now, std::vector<SimReply>& out) {
  GimbalState& s = m_state;
  CardState& card = s.card;
  ReplyBytes reply{};
  switch (ReadCode(f)) {
    case kCmdCrossWire:
    case kCmdGimbalMode1:
    case kCmdGimbalMode2:
      if (IsTrackFrame(f)) {
        const TrackCommand t = ReadTrackFrame(f);
        s.tracking = t.state != 0;
        s.templateCode = t.templateCode;
      } else {
        const MoveCommand m = ReadMoveFrame(f);
        s.moveX = m.x;
        s.moveY = m.y;
        s.tracking = m.tracking != 0;
      }
      break;
    case kCmdCancelTracking: s.tracking = false; break;
    case kCmdTemplate: s.templateCode = ReadTemplateFrame(f); break;
    case kCmdZoom:
      s.zoomLevel = ClampZoom(ReadPrivateZoom(f));
      s.zoomPosition = kZoomPositions[s.zoomLevel - 1];
      break;
    case kCmdFreeze: s.frozen = ReadFreezeFrame(f); break;
    case kCmdShutter: ++s.shutterCount; break;
    case kCmdEnhance: s.enhance = ReadEnhanceFrame(f) != 0; break;
    case kCmdDisplayChannel: {
      const ThermalSettings t = ReadThermalFrame(f);
      s.channel = t.channel;
      s.alarmTemp = t.alarmTemp;
      s.compTemp = t.compTemp;
      break;
    }
    case kCmdTempCoeff: s.coeff = ReadTempCoeffFrame(f); break;
    case kCmdContrastBrightness: {
      const ContrastBrightness cb = ReadContrastBrightnessFrame(f);
      s.contrast = cb.contrast;
      s.brightness = cb.brightness;
      break;
    }
    case kCmdOsd: s.osd = ReadOsdFrame(f); break;
    case kCmdStorage: {
      if (!card.inserted || card.formatting) break;
      const int action = ReadStorageFrame(f).action;
      if (action == kStorageStart) card.recording = card.residualKB > 0;
      else if (action == kStorageStop) card.recording = false;
      else if (action == kStorageCapture && card.residualKB >= kPictureKB) {
        card.residualKB -= kPictureKB;
        ++s.captureCount;
      }
      break;
    }
    case kCmdFormat:
      if (!card.inserted) break;
      card.recording = false;
      card.formatting = true;
      card.formatComplete = false;
      card.error = false;
      m_formatDone = now + std::chrono::seconds(kFormatSeconds);
      break;
    case kCmdCardQuery: {
      const std::uint8_t query = ReadCardQuery(f);
      if (query == kQueryState) {
        std::uint8_t a = 0, b = 0;
        if (card.inserted) {
          a |= kCardInserted | kCardTested;
          if (card.readOnly) a |= kCardReadOnly;
          if (card.formatComplete) a |= kCardFormatComplete;
          if (card.formatting) a |= kCardFormatting;
          if (card.residualKB == 0) a |= kCardFull;
          if (card.error) b |= kCardError;
          if (card.recording) b |= kCardRecording;
        }
        reply = PackReply(Reply::Status(a, b));
      } else if (query >= kQueryCapacity && query <= kQueryMinutes) {
        const std::int64_t residual = card.inserted ? card.residualKB : 0;
        std::int64_t value = 0;
        switch (query) {
          case kQueryCapacity: value = card.inserted ? card.capacityKB : 0; break;
          case kQueryResidual: value = residual; break;
          case kQueryPictures: value = residual / kPictureKB; break;
          default: value = residual / kVideoKBPerMinute; break;
        }
        reply = PackReply(Reply::Count(static_cast<std::uint8_t>(query - 1), static_cast<std::int32_t>(value)));
      } else {
        break;
      }
      Reply(std::vector<std::uint8_t>(reply.begin(), reply.end()), now, out);
      break;
    }
    default: break;
  }
}
