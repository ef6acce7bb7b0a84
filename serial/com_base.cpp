#include "serial/com_base.h"

#include <algorithm>

#include "serial/backend.h"
#include "serial/port_map.h"

namespace {
// The map of a port given none: every name is opened as it is.
const PortMap kNoMap;
}  // namespace

CComBase::CComBase(const PortMap* map) : m_map(map ? map : &kNoMap), m_lineIo(&DefaultLineIo()) {
  m_dcb.BaudRate = 115200;
  m_dcb.ByteSize = 8;
  m_dcb.Parity = comm::EVENPARITY;
  m_dcb.StopBits = comm::ONESTOPBIT;
  m_timeouts.ReadIntervalTimeout = 0xFFFF;
}

CComBase::~CComBase() = default;

void CComBase::Close() { m_device.reset(); }

bool CComBase::SetState(const comm::DCB* dcb) {
  if (!IsOpen() || !dcb) return false;
  // No rate chosen (list 1094 typed into) never reaches a driver: a tty takes
  // 0 as B0, "hang up", and so does Wine's serial layer on top of one;
  // Windows' own drivers refuse it. Refused here, the same on every platform.
  if (dcb->BaudRate == 0) return false;
  if (!m_device->ApplyState(*dcb, *m_lineIo)) return false;
  m_baud = dcb->BaudRate;
  return true;
}

bool CComBase::SetTimeouts(const comm::COMMTIMEOUTS* timeouts) {
  if (!IsOpen() || !timeouts) return false;
  return m_device->ApplyTimeouts(*timeouts, m_baud);
}

void CComBase::Fail(SerialError error, std::string text) {
  m_lastError = error;
  m_lastErrorText = std::move(text);
}

int CComSync::Open(std::string name, const comm::DCB* dcb, const comm::COMMTIMEOUTS* timeouts) {
  m_lastError = SerialError::None;
  m_lastErrorText.clear();
  m_devicePath = m_map->Resolve(name);
  if (m_devicePath.empty()) {
    Fail(SerialError::DeviceNotFound, name + ": no serial device is there (varnel --list-ports shows which are)");
    return 0;
  }
  const std::string where = name == m_devicePath ? name : name + " (" + m_devicePath + ")";
  m_where = where;
  m_stalled = false;
  m_gone = false;
  m_cutTail.clear();

  if (InProcessDevice* inside = m_map->InProcess(m_devicePath)) {
    m_device = InProcessPortDevice(*inside);
  } else {
    serial_backend::OpenResult failure;
    m_device = OpenDriverDevice(m_devicePath, failure);
    if (!m_device) {
      Fail(failure.error, where + ": " + failure.reason);
      return 0;
    }
  }
  m_device->SetQueues(m_dwInQueue, m_dwOutQueue);
  m_device->Purge(comm::PURGE_TXABORT | comm::PURGE_RXABORT | comm::PURGE_TXCLEAR | comm::PURGE_RXCLEAR);

  if (!SetState(dcb ? dcb : &m_dcb)) {
    Close();
    Fail(SerialError::UnsupportedSettings, where + ": the driver refused the line settings");
    return 0;
  }
  if (!SetTimeouts(timeouts ? timeouts : &m_timeouts)) {
    Close();
    Fail(SerialError::Resource, where + ": the driver refused the time-outs");
    return 0;
  }
  m_device->TakeErrorBaseline(*m_lineIo, m_errorBaseline);
  return 1;
}

void CComBase::WentAway() {
  if (m_gone) return;
  m_gone = true;
  m_stalled = false;
  m_notice = m_where + " went away; it is opened again once it is back";
  // The handle is dead: let it go, so that the device's name can come back
  // (a pseudo-terminal's name lives as long as anybody holds it).
  m_device.reset();
}

int CComSync::Read(void* buffer, unsigned max) {
  if (!IsOpen() || !buffer || m_gone) return 0;
  const serial_backend::CommStatus status = m_device->ClearError(*m_lineIo, m_errorBaseline);
  if (status.gone) {
    WentAway();
    return 0;
  }
  if (status.lineError) {
    // A framing, parity or overrun error makes the whole queue suspect.
    m_device->Purge(comm::PURGE_RXABORT | comm::PURGE_RXCLEAR);
    return 0;
  }
  // Without the queued count a read could wait: read nothing this time.
  if (status.queued <= 0) return 0;
  const unsigned n = std::min<unsigned long>(max, static_cast<unsigned long>(status.queued));
  if (n == 0) return 0;
  const long got = m_device->ReadSome(buffer, n);
  return got > 0 ? static_cast<int>(got) : 0;
}

int CComSync::Write(const void* buffer, unsigned count) {
  if (!IsOpen() || !buffer || m_gone) return 0;
  const serial_backend::CommStatus status = m_device->ClearError(*m_lineIo, m_errorBaseline);
  if (status.gone) {
    WentAway();
    return 0;
  }
  if (status.lineError) m_device->Purge(comm::PURGE_TXABORT | comm::PURGE_TXCLEAR);
  if (m_stalled) {
    // The device took nothing for a whole deadline: waiting again would only
    // freeze the window once more. Hand over only what the driver takes now,
    // and only ever whole frames: the rest of the frame the deadline cut goes
    // first, and a frame that does not fit waits for a later one.
    if (!m_cutTail.empty()) {
      const auto tailSize = static_cast<unsigned>(m_cutTail.size());
      const serial_backend::WriteResult t = m_device->WriteAll(m_cutTail.data(), tailSize, 0);
      if (t.gone) WentAway();
      if (t.written > 0) m_cutTail.erase(m_cutTail.begin(), m_cutTail.begin() + t.written);
      if (!m_cutTail.empty()) return 0;
    }
    const serial_backend::WriteResult r = m_device->WriteAll(buffer, count, 0);
    if (r.gone) WentAway();
    if (r.written == static_cast<long>(count)) {
      m_stalled = false;
      m_notice = m_where + " takes data again";
    } else {
      KeepCutTail(buffer, count, r.written);
    }
    return r.written > 0 ? static_cast<int>(r.written) : 0;
  }
  // Never let a stalled device (a pseudo-terminal nobody reads) freeze the
  // panel: allow the line time of the bytes plus two seconds.
  const unsigned deadlineMs = serial_backend::LineTimeMs(count, m_baud) + serial_backend::kWriteGraceMs;
  const serial_backend::WriteResult r = m_device->WriteAll(buffer, count, deadlineMs);
  if (r.gone) WentAway();
  if (r.deadline) {
    m_stalled = true;
    m_notice = m_where + " is not taking data";
    KeepCutTail(buffer, count, r.written);
  }
  return r.written > 0 ? static_cast<int>(r.written) : 0;
}

void CComSync::KeepCutTail(const void* buffer, unsigned count, long written) {
  // A frame cut short must not be followed by the start of the next one: the
  // device would take the two for one. Its rest goes out before anything else.
  if (written <= 0 || m_gone) return;  // nothing of it reached the driver: nothing to finish
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  m_cutTail.assign(bytes + written, bytes + count);
}

std::string CComBase::TakeNotice() {
  std::string notice;
  notice.swap(m_notice);
  return notice;
}
