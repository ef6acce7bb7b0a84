// The one serial port of the panel. Open configures the line exactly as the
// caller's DCB says; Read never waits; Write hands every byte to the driver.
// Platform code lives in one backend per platform (posix/, win32/) behind the
// private hooks of backend.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/comm_types.h"
#include "serial/in_process.h"


class CComBase {
 public:
  CComBase();
  virtual int Open(std::string name, const comm::DCB* dcb, const comm::COMMTIMEOUTS* timeouts) = 0;
  virtual int Read(void* buffer, unsigned max) = 0;
  virtual int Write(const void* buffer, unsigned count) = 0;
  virtual ~CComBase();

  void Close();
  bool IsOpen() const { return m_hCom != comm::INVALID_HANDLE_VALUE; }
  std::intptr_t NativeHandle() const { return m_hCom; }
  bool SetState(const comm::DCB* dcb);
  bool SetTimeouts(const comm::COMMTIMEOUTS* timeouts);

  SerialError LastError() const { return m_lastError; }
  // One line for the operator's terminal: the device and the reason.
  const std::string& LastErrorText() const { return m_lastErrorText; }
  const std::string& DevicePath() const { return m_devicePath; }

  void SetLineIo(LineIo* io) { m_lineIo = io ? io : &DefaultLineIo(); }

  // True after a write ran into its deadline, until a write goes out whole:
  // meanwhile writes hand the driver what it takes and never wait, so a device
  // that stopped reading costs the window one deadline, not one per press.
  bool Stalled() const { return m_stalled; }
  // True once the device went away while open (unplugged, hung up): reads
  // and writes then give 0 without asking the driver, until the port is
  // opened again.
  bool Gone() const { return m_gone; }
  // The line for the operator's terminal when the device stopped or started
  // taking data again since the last call; empty otherwise.
  std::string TakeNotice();

 protected:
  void Fail(SerialError error, std::string text);

  std::intptr_t m_hCom = comm::INVALID_HANDLE_VALUE;
  std::uint32_t m_dwInQueue = 8192;
  std::uint32_t m_dwOutQueue = 8192;
  comm::DCB m_dcb;
  comm::COMMTIMEOUTS m_timeouts;
  LineIo* m_lineIo;
  LineErrorCounts m_errorBaseline;
  std::uint32_t m_baud = 0;  // for the write deadline
  SerialError m_lastError = SerialError::None;
  std::string m_lastErrorText;
  std::string m_devicePath;
  std::string m_where;  // "COM1 (/dev/ttyUSB0)", for the operator
  bool m_stalled = false;
  bool m_gone = false;
  std::string m_notice;
  void WentAway();
  InProcessDevice* m_inProcess = nullptr;  // set while an in-process device is open
};

class CComSync : public CComBase {
 public:
  int Open(std::string name, const comm::DCB* dcb, const comm::COMMTIMEOUTS* timeouts) override;
  int Read(void* buffer, unsigned max) override;
  int Write(const void* buffer, unsigned count) override;
  ~CComSync() override = default;
};

extern CComSync g_ComPort;
