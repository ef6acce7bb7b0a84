#include "serial/com_base.h"

#include <algorithm>

#include "serial/backend.h"
#include "serial/net_address.h"
#include "serial/net_device.h"
#include "serial/port_map.h"

namespace {
// The map of a port given none: every name is opened as it is.
const PortMap kNoMap;
}  // namespace

CComBase::CComBase(const PortMap* map)
    : m_map(map ? map : &kNoMap), m_lineIo(&DefaultLineIo()), m_identify(serial_backend::DeviceIdentity) {
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

unsigned CComBase::WriteDeadlineMs(unsigned count) const {
  return serial_backend::LineTimeMs(count, m_baud) + serial_backend::kWriteGraceMs;
}

void CComBase::Fail(SerialError error, std::string text) {
  m_lastError = error;
  m_lastErrorText = std::move(text);
}

CComSync::CComSync(const PortMap* map) : CComBase(map) {}
CComSync::~CComSync() = default;

int CComSync::Open(std::string name, const comm::DCB* dcb, const comm::COMMTIMEOUTS* timeouts) {
  return OpenWith(std::move(name), dcb, timeouts, {true, true});
}

int CComSync::Begin(std::string name, const comm::DCB* dcb) { return OpenWith(std::move(name), dcb, nullptr, {true, false}); }

int CComSync::OpenAgain(std::string name, const comm::DCB* dcb) {
  return OpenWith(std::move(name), dcb, nullptr, {false, false});
}

int CComSync::Reopen(std::string name, const comm::DCB* dcb, bool wait) {
  if (m_device && m_device->IsNetwork() && m_map->Resolve(name) == m_devicePath) {
    // The same server: the new line goes to it on the open connection, and
    // its buffers are purged as a reopened serial port's are.
    m_lastError = SerialError::None;
    m_lastErrorText.clear();
    m_device->Purge(comm::PURGE_TXABORT | comm::PURGE_RXABORT | comm::PURGE_TXCLEAR | comm::PURGE_RXCLEAR);
    if (SetState(dcb ? dcb : &m_dcb)) return 1;
  }
  Close();
  return OpenWith(std::move(name), dcb, nullptr, {true, wait});
}

bool CComSync::OpenNetwork(const std::string& where, How how) {
  const std::optional<NetAddress> address = ParseNetworkUrl(m_devicePath);
  if (!address) {
    Fail(SerialError::DeviceNotFound, where + ": not a network port (rfc2217://HOST:PORT or tcp://HOST:PORT)");
    return false;
  }
  if (!m_connect || m_connectPath != m_devicePath) {
    if (!how.byOperator && m_connectPath == m_devicePath && NowMs() < m_retryAt) {
      Fail(SerialError::DeviceNotFound, where + ": waiting to ask the server again");
      return false;
    }
    m_connect = std::make_unique<NetworkConnect>(*address);
    m_connectPath = m_devicePath;
  }
  const bool wait = how.waitForServer;
  const NetworkConnect::Step step = m_connect->Advance(wait ? kConnectMs + 2 * kSettleMs : 0);
  if (step == NetworkConnect::Step::kReady) {
    m_device = m_connect->Take();
    m_connect.reset();
    m_retryDelayMs = 0;
    return true;
  }
  if (step == NetworkConnect::Step::kPending && !wait) {
    Fail(SerialError::DeviceNotFound, where + ": connecting");  // OpenAgain comes back to it
    return false;
  }
  if (step == NetworkConnect::Step::kPending)
    Fail(m_connect->LookingUp() ? SerialError::DeviceNotFound : SerialError::Resource,
         where + (m_connect->LookingUp() ? ": the name server does not answer" : ": the server does not answer"));
  else Fail(m_connect->Error(), where + ": " + m_connect->Reason());
  m_connect.reset();
  // A server that is down is asked again in 0.25 s, then 0.5, 1, 2 and every 4 s.
  m_retryDelayMs = m_retryDelayMs ? std::min(m_retryDelayMs * 2, 4000u) : 250u;
  m_retryAt = NowMs() + m_retryDelayMs;
  return false;
}

int CComSync::OpenWith(std::string name, const comm::DCB* dcb, const comm::COMMTIMEOUTS* timeouts, How how) {
  // The operator's open starts afresh: a connection under way to another
  // choice, or to this one asked for again, is given up.
  if (how.byOperator) m_connect.reset();
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
  } else if (LooksLikeNetworkUrl(m_devicePath)) {
    if (!OpenNetwork(where, how)) return 0;
  } else {
    if (!how.byOperator && !SameDeviceIsBack(where)) return 0;
    serial_backend::OpenResult failure;
    m_device = OpenDriverDevice(m_devicePath, failure);
    if (!m_device) {
      Fail(failure.error, where + ": " + failure.reason);
      return 0;
    }
    if (how.byOperator) {  // the device the watch may open again
      m_identity = m_identify ? m_identify(m_devicePath) : std::string();
      m_reopenable = !m_identity.empty() || serial_backend::NameFollowsDevice(m_devicePath);
      m_saidDifferent.clear();
    }
  }
  m_device->SetQueues(m_dwInQueue, m_dwOutQueue);
  m_device->Purge(comm::PURGE_TXABORT | comm::PURGE_RXABORT | comm::PURGE_TXCLEAR | comm::PURGE_RXCLEAR);

  if (!SetState(dcb ? dcb : &m_dcb)) {
    const bool network = m_device->IsNetwork();
    Close();
    Fail(network ? SerialError::Resource : SerialError::UnsupportedSettings,
         where + (network ? ": the server closed the connection" : ": the driver refused the line settings"));
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

bool CComSync::SameDeviceIsBack(const std::string& where) {
  // A bare device node with nothing to know its device by (a pseudo-terminal)
  // is taken next by whatever comes: another program's terminal, a modem.
  if (!m_reopenable) {
    Fail(SerialError::DeviceNotFound, where + ": not opened again by itself");
    return false;
  }
  if (m_identity.empty() || !m_identify) return true;
  // Nothing said (nothing there yet, as a rule): the open itself finds out.
  const std::string now = m_identify(m_devicePath);
  if (now.empty() || now == m_identity) return true;
  if (now != m_saidDifferent) {  // once for each device that is not the one
    m_saidDifferent = now;
    Notice("a different device is at " + m_devicePath + " now; not opened");
  }
  Fail(SerialError::DeviceNotFound, where + ": a different device is there");
  return false;
}

void CComBase::WentAway() {
  if (m_gone) return;
  m_gone = true;
  m_stalled = false;
  Notice(m_where + (m_reopenable ? " went away; it is opened again once it is back"
                                 : " went away; nothing tells it from the next device or terminal to take " +
                                       m_devicePath + " (no stable name, no serial number), so it is not opened "
                                       "again by itself: choose the port again once it is back"));
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
    if (!SendCutTail(0)) return 0;
    const serial_backend::WriteResult r = m_device->WriteAll(buffer, count, 0);
    if (r.gone) WentAway();
    if (r.written == static_cast<long>(count)) {
      m_stalled = false;
      Notice(m_where + " takes data again");
    } else {
      KeepCutTail(buffer, count, r.written);
    }
    return r.written > 0 ? static_cast<int>(r.written) : 0;
  }
  // Never let a stalled device (a pseudo-terminal nobody reads) freeze the
  // panel: allow the line time of the bytes plus two seconds.
  const serial_backend::WriteResult r = m_device->WriteAll(buffer, count, WriteDeadlineMs(count));
  if (r.gone) WentAway();
  if (r.deadline) {
    m_stalled = true;
    Notice(m_where + " is not taking data");
    KeepCutTail(buffer, count, r.written);
  }
  return r.written > 0 ? static_cast<int>(r.written) : 0;
}

bool CComSync::SendCutTail(unsigned deadlineMs) {
  if (m_cutTail.empty()) return true;
  const serial_backend::WriteResult t =
      m_device->WriteAll(m_cutTail.data(), static_cast<unsigned>(m_cutTail.size()), deadlineMs);
  if (t.gone) WentAway();
  if (t.written > 0) {
    m_tailSent.insert(m_tailSent.end(), m_cutTail.begin(), m_cutTail.begin() + t.written);
    m_cutTail.erase(m_cutTail.begin(), m_cutTail.begin() + t.written);
  }
  if (m_gone) m_cutTail.clear();
  return m_cutTail.empty() && !m_gone;
}

int CComSync::WriteWaiting(const void* buffer, unsigned count, unsigned deadlineMs) {
  if (!IsOpen() || m_gone) return 0;
  const std::uint64_t until = NowMs() + deadlineMs;
  if (!SendCutTail(deadlineMs) || !buffer || count == 0) return 0;
  const std::uint64_t now = NowMs();
  const serial_backend::WriteResult r =
      m_device->WriteAll(buffer, count, now < until ? static_cast<unsigned>(until - now) : 0);
  if (r.gone) WentAway();
  if (r.written == static_cast<long>(count) && m_stalled) {
    m_stalled = false;
    Notice(m_where + " takes data again");
  } else if (r.written < static_cast<long>(count)) {
    if (r.deadline && !m_stalled) {
      m_stalled = true;
      Notice(m_where + " is not taking data");
    }
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
  if (m_device)
    for (std::string& note : m_device->TakeNotes()) Notice(m_where + ": " + note);
  if (m_notices.empty()) return {};
  std::string notice = std::move(m_notices.front());
  m_notices.pop_front();
  return notice;
}
