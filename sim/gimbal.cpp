#include "sim/gimbal.h"

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
      if (left >= 2 && p[1] != kSync) { drop(); continue; }
      if (left >= 3 && p[2] != kTag) { drop(); continue; }
      if (left < kFrameSize) break;  // wait for the rest
      if (FrameChecksum(p) != p[kChecksumByte]) {
        // Dropped; a real frame may start inside it, so look again one byte on.
        ++m_badChecksums;
        if (m_options.trace) m_trace.push_back("bad checksum: " + HexJoin(p, kFrameSize));
        ++pos;
        continue;
      }
      ++m_frames;
      if (m_options.trace) {
        m_trace.push_back(HexJoin(p, kFrameSize));
        m_trace.push_back("  " + DescribeFrame(p));
      }
      HandleFrame(p, now, out);
      pos += kFrameSize;
      continue;
    }
    if (p[0] == 0x81) {  // VISCA: address 1, up to the terminator
      const std::size_t limit = std::min<std::size_t>(left, 16);
      const auto* end = std::find(p + 1, p + limit, 0xFF);
      if (end == p + limit) {
        if (left < 16) break;  // wait for the terminator
        drop();
        continue;
      }
      std::vector<std::uint8_t> cmd(p, end + 1);
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

void Gimbal::HandleVisca(const std::vector<std::uint8_t>& c, Clock::time_point now, std::vector<SimReply>& out) {
  GimbalState& s = m_state;
  if (c.size() == 9 && c[1] == 0x01 && c[2] == 0x04 && c[3] == 0x47) {
    const int p = (c[4] << 12) | (c[5] << 8) | (c[6] << 4) | c[7];
    int level = 1;
    for (int i = 0; i < kZoomMax; ++i)
      if (kZoomPositions[i] <= p) level = i + 1;
    s.zoomLevel = level;
  } else if (c.size() == 6 && c[3] == 0x34) {
    s.stabilizer = c[4];
  } else if (c.size() == 7 && c[3] == 0x37) {
    s.defog = c[4];
  } else if (c.size() == 8 && c[3] == 0x24 && c[4] == 0x72) {
    s.videoFormat = (c[5] << 4) | c[6];
  }
  // A camera block acknowledges every command, then reports its completion.
  Reply({0x90, 0x41, 0xFF, 0x90, 0x51, 0xFF}, now, out);
}

void Gimbal::HandleFrame(const std::uint8_t* f, Clock::time_point now, std::vector<SimReply>& out) {
  GimbalState& s = m_state;
  CardState& card = s.card;
  std::uint8_t reply[kReplySize];
  switch (f[kCodeByte]) {
    case kCmdCrossWire:
    case kCmdGimbalMode1:
    case kCmdGimbalMode2:
      if (f[12] == 0x01) {
        s.tracking = f[11] != 0;
        s.templateCode = f[13];
      } else {
        s.moveX = GetS16(f + 7);
        s.moveY = GetS16(f + 9);
        s.tracking = f[11] != 0;
      }
      break;
    case kCmdCancelTracking: s.tracking = false; break;
    case kCmdTemplate: s.templateCode = f[13]; break;
    case kCmdZoom: s.zoomLevel = ClampZoom(f[6] - 0x80); break;
    case kCmdFreeze: s.frozen = f[6] != 0; break;
    case kCmdShutter: ++s.shutterCount; break;
    case kCmdEnhance: s.enhance = f[6] != 0; break;
    case kCmdDisplayChannel:
      s.channel = f[14];
      s.alarmTemp = GetS16(f + 10);
      s.compTemp = GetF32(f + 19);
      break;
    case kCmdTempCoeff: s.coeff = f[6]; break;
    case kCmdContrastBrightness:
      s.contrast = f[8];
      s.brightness = f[12];
      break;
    case kCmdOsd:
      s.osdDisplay = f[3];
      s.core = f[4];
      s.osdInput = f[6];
      s.year = f[7] | (f[8] << 8);
      s.month = f[9];
      s.day = f[10];
      s.hour = f[11];
      s.minute = f[12];
      s.second = f[13];
      s.heading = GetF32(f + 15);
      s.pitching = GetF32(f + 19);
      s.roll = GetF32(f + 23);
      s.gpsN = GetF64(f + 27);
      s.gpsE = GetF64(f + 35);
      s.gpsH = GetF32(f + 43);
      break;
    case kCmdStorage: {
      if (!card.inserted || card.formatting) break;
      const int action = f[6] & 0x03;
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
      const std::uint8_t query = f[6];
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
        BuildStatusReply(reply, a, b);
      } else if (query >= kQueryCapacity && query <= kQueryMinutes) {
        const std::int64_t residual = card.inserted ? card.residualKB : 0;
        std::int64_t value = 0;
        switch (query) {
          case kQueryCapacity: value = card.inserted ? card.capacityKB : 0; break;
          case kQueryResidual: value = residual; break;
          case kQueryPictures: value = residual / kPictureKB; break;
          default: value = residual / kVideoKBPerMinute; break;
        }
        BuildCountReply(reply, static_cast<std::uint8_t>(query - 1), static_cast<std::int32_t>(value));
      } else {
        break;
      }
      Reply(std::vector<std::uint8_t>(reply, reply + kReplySize), now, out);
      break;
    }
    default: break;
  }
}
