// A datagram from the network as a VISCA-over-IP packet: it is read or
// refused, never read past its end; a packet read packs back to the same
// bytes; a drive read is in range (speed 0 only on an axis at rest). The
// same bytes as raw VISCA over TCP, cut anywhere: every message split from
// them is whole and bounded, and what the interface answers on its own is a
// message too.
#include <cstdint>
#include <utility>

#include "fuzz_check.h"
#include "protocol/visca_ip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  visca_ip::Splitter splitter;
  const std::size_t cut = size ? data[0] % (size + 1) : 0;
  for (const auto& [from, n] : {std::pair{std::size_t{0}, cut}, std::pair{cut, size - cut}}) {
    for (const visca_ip::Bytes& m : splitter.Feed(data + from, n)) {
      FUZZ_CHECK(!m.empty() && m.size() <= visca_ip::kMaxPayload && m.back() == 0xFF);
      const visca_ip::Asked a = visca_ip::ReadAsk(m);
      const visca_ip::Bytes answer = visca_ip::InterfaceAnswer(a, m);
      FUZZ_CHECK(answer.empty() || answer.back() == 0xFF);
    }
  }
  visca_ip::Fault fault = visca_ip::Fault::kNone;
  const std::optional<visca_ip::Packet> p = visca_ip::Read(data, size, &fault);
  FUZZ_CHECK(p.has_value() == (fault == visca_ip::Fault::kNone));
  if (!p) return 0;
  FUZZ_CHECK(p->payload.size() >= 1 && p->payload.size() <= visca_ip::kMaxPayload);
  FUZZ_CHECK(visca_ip::Pack(p->type, p->sequence, p->payload) == visca_ip::Bytes(data, data + size));
  const visca_ip::Asked a = visca_ip::ReadAsk(p->payload);
  if (a.ask == visca_ip::Ask::kDrive) {
    // Speed 0 only on an axis at rest.
    FUZZ_CHECK(a.drive.panSpeed <= visca_ip::kMaxPanSpeed && (a.drive.panSpeed >= 1 || a.drive.pan == 0));
    FUZZ_CHECK(a.drive.tiltSpeed <= visca_ip::kMaxTiltSpeed && (a.drive.tiltSpeed >= 1 || a.drive.tilt == 0));
    FUZZ_CHECK(a.drive.pan >= -1 && a.drive.pan <= 1 && a.drive.tilt >= -1 && a.drive.tilt <= 1);
  }
  return 0;
}
