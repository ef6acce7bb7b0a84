#include "serial/com_base.h"

#include <algorithm>
#include <map>

#include "serial/backend.h"
#include "serial/port_map.h"

CComSync g_ComPort;

namespace {
// Any handle value but the invalid one: the port is open, on no driver.
constexpr std::intptr_t kInProcessHandle = 0x1D;

std::map<std::string, InProcessDevice*>& InProcessDevices() {
  static std::map<std::string, InProcessDevice*> devices;
  return devices;
}
}  // namespace

void AttachInProcessDevice(const std::string& name, InProcessDevice* device) {
  if (device) InProcessDevices()[name] = device;
  else InProcessDevices().erase(name);
}

InProcessDevice* FindInProcessDevice(const std::string& name) {
  const auto it = InProcessDevices().find(name);
  return it == InProcessDevices().end() ? nullptr : it->second;
}

CComBase::CComBase() : m_lineIo(&DefaultLineIo()) {
  m_dcb.BaudRate = 115200;
  m_dcb.ByteSize = 8;
  m_dcb.Parity = comm::EVENPARITY;
  m_dcb.StopBits = comm::ONESTOPBIT;
  m_timeouts.ReadIntervalTimeout = 0xFFFF;
}

CComBase::~CComBase() {
  if (IsOpen()) Close();
}

void CComBase::Close() {
  if (!IsOpen()) return;
  if (!m_inProcess) serial_backend::CloseDevice(m_hCom);
  m_inProcess = nullptr;
  m_hCom = comm::INVALID_HANDLE_VALUE;
}

bool CComBase::SetState(const comm::DCB* dcb) {
  if (!IsOpen() || !dcb) return false;
  // No rate chosen (list 1094 typed into) never reaches a driver: a tty takes
  // 0 as B0, "hang up", and so does Wine's serial layer on top of one;
  // Windows' own drivers refuse it. Refused here, the same on every platform.
  if (dcb->BaudRate == 0) return false;
  if (!m_inProcess && !serial_backend::ApplyState(m_hCom, *dcb, *m_lineIo)) return false;
  m_baud = dcb->BaudRate;
  return true;
}

bool CComBase::SetTimeouts(const comm::COMMTIMEOUTS* timeouts) {
  if (!IsOpen() || !timeouts) return false;
  return m_inProcess || serial_backend::ApplyTimeouts(m_hCom, *timeouts, m_baud);
}

void CComBase::Fail(SerialError error, std::string text) {
  m_lastError = error;
  m_lastErrorText = std::move(text);
}

int CComSync::Open(std::string name, const comm::DCB* dcb, const comm::COMMTIMEOUTS* timeouts) {
  m_lastError = SerialError::None;
  m_lastErrorText.clear();
  m_devicePath = ResolvePortName(name);
  if (m_devicePath.empty()) {
    Fail(SerialError::DeviceNotFound, name + ": no serial device is there (varnel --list-ports shows which are)");
    return 0;
  }
  const std::string where = name == m_devicePath ? name : name + " (" + m_devicePath + ")";
  m_where = where;
  m_stalled = false;
  m_gone = false;

  if ((m_inProcess = FindInProcessDevice(m_devicePath))) {
    m_hCom = kInProcessHandle;
  } else {
    serial_backend::OpenResult opened = serial_backend::OpenDevice(m_devicePath);
    m_hCom = opened.handle;
    if (!IsOpen()) {
      Fail(opened.error, where + ": " + opened.reason);
      return 0;
    }
    serial_backend::SetQueues(m_hCom, m_dwInQueue, m_dwOutQueue);
    serial_backend::Purge(m_hCom,
                          comm::PURGE_TXABORT | comm::PURGE_RXABORT | comm::PURGE_TXCLEAR | comm::PURGE_RXCLEAR);
  }

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
  // Errors counted before this open belong to an earlier user of the line.
  m_errorBaseline = {};
  if (!m_inProcess) m_lineIo->ErrorCounts(m_hCom, m_errorBaseline);
  return 1;
}

void CComBase::WentAway() {
  if (m_gone) return;
  m_gone = true;
  m_stalled = false;
  m_notice = m_where + " went away; choose the port in I/O ID again once it is back";
}

int CComSync::Read(void* buffer, unsigned max) {
  if (!IsOpen() || !buffer || m_gone) return 0;
  if (m_inProcess) return static_cast<int>(m_inProcess->ToPanel(static_cast<std::uint8_t*>(buffer), max));
  const serial_backend::CommStatus status = serial_backend::ClearError(m_hCom, *m_lineIo, m_errorBaseline);
  if (status.gone) {
    WentAway();
    return 0;
  }
  if (status.lineError) {
    // A framing, parity or overrun error makes the whole queue suspect.
    serial_backend::Purge(m_hCom, comm::PURGE_RXABORT | comm::PURGE_RXCLEAR);
    return 0;
  }
  // Without the queued count a read could wait: read nothing this time.
  if (status.queued <= 0) return 0;
  const unsigned n = std::min<unsigned long>(max, static_cast<unsigned long>(status.queued));
  if (n == 0) return 0;
  const long got = serial_backend::ReadSome(m_hCom, buffer, n);
  return got > 0 ? static_cast<int>(got) : 0;
}

int CComSync::Write(const void* buffer, unsigned count) {
  if (!IsOpen() || !buffer || m_gone) return 0;
  if (m_inProcess) {
    m_inProcess->FromPanel(static_cast<const std::uint8_t*>(buffer), count);
    return static_cast<int>(count);
  }
  const serial_backend::CommStatus status = serial_backend::ClearError(m_hCom, *m_lineIo, m_errorBaseline);
  if (status.gone) {
    WentAway();
    return 0;
  }
  if (status.lineError) serial_backend::Purge(m_hCom, comm::PURGE_TXABORT | comm::PURGE_TXCLEAR);
  if (m_stalled) {
    // The device took nothing for a whole deadline: waiting again would only
    // freeze the window once more. Hand over what the driver takes now.
    const serial_backend::WriteResult r = serial_backend::WriteAll(m_hCom, buffer, count, 0);
    if (r.gone) WentAway();
    if (r.written == static_cast<long>(count)) {
      m_stalled = false;
      m_notice = m_where + " takes data again";
    }
    return r.written > 0 ? static_cast<int>(r.written) : 0;
  }
  // Never let a stalled device (a pseudo-terminal nobody reads) freeze the
  // panel: allow the line time of the bytes plus two seconds.
  const unsigned deadlineMs = serial_backend::LineTimeMs(count, m_baud) + serial_backend::kWriteGraceMs;
  const serial_backend::WriteResult r = serial_backend::WriteAll(m_hCom, buffer, count, deadlineMs);
  if (r.gone) WentAway();
  if (r.deadline) {
    m_stalled = true;
    m_notice = m_where + " is not taking data";
  }
  return r.written > 0 ? static_cast<int>(r.written) : 0;
}

std::string CComBase::TakeNotice() {
  std::string notice;
  notice.swap(m_notice);
  return notice;
}
