#include "serial/device.h"

#include <limits>

#include "serial/in_process.h"

namespace {
// Every call goes to the platform's backend with the driver's handle.
class DriverDevice : public PortDevice {
 public:
  explicit DriverDevice(std::intptr_t handle) : m_handle(handle) {}
  ~DriverDevice() override { serial_backend::CloseDevice(m_handle); }
  std::intptr_t Handle() const override { return m_handle; }
  void SetQueues(std::uint32_t in, std::uint32_t out) override { serial_backend::SetQueues(m_handle, in, out); }
  void Purge(unsigned mask) override { serial_backend::Purge(m_handle, mask); }
  bool ApplyState(const comm::DCB& dcb, LineIo& io) override { return serial_backend::ApplyState(m_handle, dcb, io); }
  bool ApplyTimeouts(const comm::COMMTIMEOUTS& t, std::uint32_t baud) override {
    return serial_backend::ApplyTimeouts(m_handle, t, baud);
  }
  void TakeErrorBaseline(LineIo& io, LineErrorCounts& baseline) override {
    baseline = {};
    io.ErrorCounts(m_handle, baseline);
  }
  serial_backend::CommStatus ClearError(LineIo& io, LineErrorCounts& baseline) override {
    return serial_backend::ClearError(m_handle, io, baseline);
  }
  long ReadSome(void* buffer, unsigned n) override { return serial_backend::ReadSome(m_handle, buffer, n); }
  serial_backend::WriteResult WriteAll(const void* buffer, unsigned count, unsigned deadlineMs) override {
    return serial_backend::WriteAll(m_handle, buffer, count, deadlineMs);
  }

 private:
  std::intptr_t m_handle;
};

// A device inside the program has no line: no settings to refuse, no line
// errors, and it takes every byte at once.
class InProcess : public PortDevice {
 public:
  explicit InProcess(InProcessDevice& device) : m_device(device) {}
  void SetQueues(std::uint32_t, std::uint32_t) override {}
  void Purge(unsigned) override {}
  bool ApplyState(const comm::DCB&, LineIo&) override { return true; }
  bool ApplyTimeouts(const comm::COMMTIMEOUTS&, std::uint32_t) override { return true; }
  void TakeErrorBaseline(LineIo&, LineErrorCounts& baseline) override { baseline = {}; }
  serial_backend::CommStatus ClearError(LineIo&, LineErrorCounts&) override {
    // Reading never waits here, so any amount may be asked for: ReadSome
    // gives what is due.
    serial_backend::CommStatus status;
    status.queued = std::numeric_limits<long>::max();
    return status;
  }
  long ReadSome(void* buffer, unsigned n) override {
    return static_cast<long>(m_device.ToPanel(static_cast<std::uint8_t*>(buffer), n));
  }
  serial_backend::WriteResult WriteAll(const void* buffer, unsigned count, unsigned) override {
    m_device.FromPanel(static_cast<const std::uint8_t*>(buffer), count);
    serial_backend::WriteResult r;
    r.written = static_cast<long>(count);
    return r;
  }

 private:
  InProcessDevice& m_device;
};
}  // namespace

std::unique_ptr<PortDevice> OpenDriverDevice(const std::string& path, serial_backend::OpenResult& failure) {
  failure = serial_backend::OpenDevice(path);
  if (failure.handle == comm::INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<DriverDevice>(failure.handle);
}

std::unique_ptr<PortDevice> InProcessPortDevice(InProcessDevice& device) { return std::make_unique<InProcess>(device); }
