// The one serial port of the panel. Open configures the line exactly as the
// caller's DCB says; Read never waits; Write hands every byte to the driver.
// The device behind it (a driver's, through one backend per platform, or one
// inside the program) is chosen where a name is opened (device.h).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "serial/comm_types.h"
#include "serial/device.h"

class PortMap;

class CComBase {
 public:
  // map: how COM names reach devices; without one a name is opened as it is
  // (COMn the platform's n-th standard port).
  explicit CComBase(const PortMap* map = nullptr);
  virtual int Open(std::string name, const comm::DCB* dcb, const comm::COMMTIMEOUTS* timeouts) = 0;
  virtual int Read(void* buffer, unsigned max) = 0;
  virtual int Write(const void* buffer, unsigned count) = 0;
  virtual ~CComBase();
  // The operator's open that never waits for a network server (Connecting
  // says one is under way), the operator's new choice of port or line
  // (CComSync says how a network port keeps its connection), and the watch's
  // open that never waits, which also looks at a connection under way.
  virtual int Begin(std::string name, const comm::DCB* dcb) = 0;
  virtual int Reopen(std::string name, const comm::DCB* dcb, bool wait = true) = 0;
  virtual int OpenAgain(std::string name, const comm::DCB* dcb) = 0;
  // A connection to a network server is under way: the port is not open yet,
  // and OpenAgain with the same name looks at it.
  virtual bool Connecting() const = 0;
  // A write that waits up to deadlineMs even after a stall (the stop owed to
  // a gimbal as the panel ends): the rest of a frame a stall cut first, then
  // count bytes of buffer (none: only that rest). The bytes of buffer taken.
  virtual int WriteWaiting(const void* buffer, unsigned count, unsigned deadlineMs) = 0;
  // Whether the rest of a frame a stall cut still waits to go out.
  virtual bool CutTailPending() const = 0;

  void Close();
  bool IsOpen() const { return m_device != nullptr; }
  // The driver's handle; invalid while closed or on a device inside the program.
  std::intptr_t NativeHandle() const { return m_device ? m_device->Handle() : comm::INVALID_HANDLE_VALUE; }
  const PortMap& Map() const { return *m_map; }
  bool SetState(const comm::DCB* dcb);
  bool SetTimeouts(const comm::COMMTIMEOUTS* timeouts);

  SerialError LastError() const { return m_lastError; }
  // One line for the operator's terminal: the device and the reason.
  const std::string& LastErrorText() const { return m_lastErrorText; }
  const std::string& DevicePath() const { return m_devicePath; }
  // "COM1 (/dev/ttyUSB0)": the name last opened and the device it reached, for the operator.
  const std::string& Where() const { return m_where; }

  void SetLineIo(LineIo* io) { m_lineIo = io ? io : &DefaultLineIo(); }
  // Where a device's identity is read (sysfs, SetupAPI); tests hand in their own.
  void SetIdentityReader(std::function<std::string(const std::string&)> read) { m_identify = std::move(read); }

  // True after a write ran into its deadline, until a write goes out whole:
  // meanwhile writes hand the driver what it takes and never wait, so a device
  // that stopped reading costs the window one deadline, not one per press.
  bool Stalled() const { return m_stalled; }
  // How long a write of count bytes may take before the device counts as
  // stalled: their line time at the rate set, plus two seconds.
  unsigned WriteDeadlineMs(unsigned count) const;
  // True once the device went away while open (unplugged, hung up): the
  // port is closed then, reads and writes give 0, until it is opened again.
  bool Gone() const { return m_gone; }
  // The next line for the operator's terminal since the last call (the device
  // stopped or started taking data again, went away, a network server set
  // another value than asked); empty when there is none.
  std::string TakeNotice();
  // What the driver took of the rest of an earlier frame a deadline cut,
  // during the last Write and before that Write's own bytes (the session log
  // records the wire as it was); empty when nothing of it went out.
  std::vector<std::uint8_t> TakeTailSent() { return std::exchange(m_tailSent, {}); }

 protected:
  void Fail(SerialError error, std::string text);

  const PortMap* m_map;
  std::unique_ptr<PortDevice> m_device;  // null while closed
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
  std::deque<std::string> m_notices;
  std::vector<std::uint8_t> m_tailSent;
  // The device the operator opened, so that the watch opens that one again
  // and no other: what it said of itself then (empty: nothing), and whether
  // its path can tell it from the next device or terminal to take it.
  std::function<std::string(const std::string&)> m_identify;
  std::string m_identity;
  bool m_reopenable = true;
  std::string m_saidDifferent;  // the other device last said to be there
  void Notice(std::string text) { m_notices.push_back(std::move(text)); }
  void WentAway();
};

class NetworkConnect;

class CComSync : public CComBase {
 public:
  explicit CComSync(const PortMap* map = nullptr);
  // A network server is waited for up to its connect deadline.
  int Open(std::string name, const comm::DCB* dcb, const comm::COMMTIMEOUTS* timeouts) override;
  // As Open, but a network server is not waited for: 0 and Connecting() then.
  int Begin(std::string name, const comm::DCB* dcb) override;
  // The operator's new choice of port or line: Close, then Open; except that
  // a network port still connected to the same server keeps its connection
  // and sends the new settings (a server may turn away a client that comes
  // back the moment it left). wait: as Open, else as Begin.
  int Reopen(std::string name, const comm::DCB* dcb, bool wait = true) override;
  // The watch's open once the device went away: it never waits. A network
  // server is asked again only after a pause that grows to a few seconds, and
  // a connection under way is looked at, not waited for ("connecting" then,
  // with the error of a device that is not there yet).
  int OpenAgain(std::string name, const comm::DCB* dcb) override;
  int Read(void* buffer, unsigned max) override;
  int Write(const void* buffer, unsigned count) override;
  int WriteWaiting(const void* buffer, unsigned count, unsigned deadlineMs) override;
  bool CutTailPending() const override { return !m_cutTail.empty(); }
  bool Connecting() const override { return m_connect != nullptr; }
  ~CComSync() override;

 private:
  // Who opens (the operator, or the watch for a device that went away) and
  // whether a network server is waited for.
  struct How {
    bool byOperator;
    bool waitForServer;
  };
  int OpenWith(std::string name, const comm::DCB* dcb, const comm::COMMTIMEOUTS* timeouts, How how);
  bool OpenNetwork(const std::string& where, How how);
  void KeepCutTail(const void* buffer, unsigned count, long written);
  // Hands the driver the rest of a cut frame within deadlineMs; true when none is left.
  bool SendCutTail(unsigned deadlineMs);
  // For the watch: false (and said) when what is at the path is not the device the operator opened.
  bool SameDeviceIsBack(const std::string& where);
  std::vector<std::uint8_t> m_cutTail;  // the rest of a frame a deadline cut, sent before anything else
  std::unique_ptr<NetworkConnect> m_connect;  // a connection under way, across the watch's looks
  std::string m_connectPath;                  // the URL it is for
  std::uint64_t m_retryAt = 0;                // the watch asks the server again from then on
  unsigned m_retryDelayMs = 0;
};

