#pragma once
// The serial channel: one port opened and closed from the main window, used by the pages on the
// user-interface thread and by the history download worker. Every operation takes the port's
// lock, and a whole exchange holds it through `Transaction`, so two exchanges never interleave on
// the wire and closing the port waits for a running exchange to finish.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "link/codecs.h"
#include "link/port_open_failure.h"

namespace devlink {

// Largest number of bytes one read takes from the receive queue.
constexpr size_t kSerialReadLimit = 392;

class SerialPort {
 public:
  SerialPort() = default;
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens a device path (a real port or a pseudo-terminal) for reading and writing, exclusively.
  // Fails when the port is missing, not permitted or in use; `error` then says why in a line for
  // logs, and `failure` holds the cause (PortOpenFailureText turns it into the notice to show).
  bool OpenPort(const std::string& path, std::string* error = nullptr,
                PortOpenFailure* failure = nullptr);
  // 8N1 at the baud rate given as decimal text, raw mode, other settings kept; then purges.
  // Rates without a standard constant go through the kernel's arbitrary-rate interface; a rate
  // that cannot be set is reported, never silently replaced by another one.
  bool ConfigurePort(const std::string& baudText, std::string* error = nullptr);
  // Closes and opens the same path again, then configures it. On failure the port is closed;
  // `errorText` is "端口已打开" when the open failed, else the reason the settings failed.
  bool ReopenPort(const std::string& baudText, std::string* errorText);
  void ClosePort();
  bool IsOpen() const;
  std::string Path() const;

  // Discards both the transmit and the receive queue.
  void PurgePort();
  // Writes all bytes (waits until they are handed to the driver).
  void SerialWrite(ByteView bytes);
  // Takes only what is already queued: at most kSerialReadLimit bytes and at most `capacity`;
  // returns 0 at once when nothing is queued.
  size_t SerialRead(uint8_t* buffer, size_t capacity);
  // Waits until bytes are queued or `timeoutMs` has passed; true when bytes are queued.
  bool WaitReadable(int timeoutMs);

  // The port went away while it was open (a USB adapter pulled out, the far end of a
  // pseudo-terminal closed): a read or write failed with EIO/ENXIO/ENODEV/EBADF, the line hung
  // up, or the device node is gone. The port then closes itself, so no later exchange talks to a
  // dead descriptor; `Vanished()` holds until the next open, `VanishedWhy()` says what was seen.
  bool Vanished() const;
  std::string VanishedWhy() const;
  // Called once per vanished port, on the thread that found it, with the port's lock held (so
  // the handler must not wait for the port; the main window only queues a notice to itself).
  void SetVanishedHandler(std::function<void(const std::string& path)> handler);
  // Looks for the signs above without reading: a hang-up or error on the descriptor, or the
  // device path no longer there. True when the port vanished (now or before).
  bool CheckVanished();

  // Holds the port for a whole exchange (the lock is recursive, so the operations above can be
  // called while it is held).
  std::unique_lock<std::recursive_mutex> Transaction() const {
    return std::unique_lock<std::recursive_mutex>(mutex_);
  }

 private:
  // Decimal digits only; "9600 " or "96OO" is not a rate.
  static bool ParseBaud(const std::string& text, unsigned& baud);
  // 8N1 at baud on the open port, then purges; with the lock held.
  bool ApplyLineSettings(unsigned baud, std::string* error);
  // Gives the port up and closes its descriptor.
  static void ReleasePort(int fd);
  // Closes the descriptor and keeps why; with the lock held.
  void MarkVanished(const std::string& why);

  mutable std::recursive_mutex mutex_;
  int fd_ = -1;  // on Windows a C run-time descriptor over the port's handle
  std::string path_;
  bool vanished_ = false;
  std::string vanishedWhy_;
  std::function<void(const std::string&)> vanishedHandler_;
};

// One serial device offered in the main window's port list.
struct PortEntry {
  std::string name;     // "ttyUSB0"
  std::string path;     // "/dev/ttyUSB0"
  unsigned number = 0;  // trailing number of the name
};

// The real serial devices found under `sysfsRoot` (ttyS, ttyUSB, ttyACM, ...), ascending by
// number; equal numbers keep their order (duplicates are kept). Virtual consoles are skipped.
// An entry counts as a device when it has a `device` link. Legacy 8250 ports (ttyS*) exist for
// every configured slot even without hardware; one is listed only when its `type` reads non-zero
// (0 is "unknown port") or, when `type` cannot be read, when its device is not the
// `serial8250` placeholder.
// On Windows: the COM ports registered under HARDWARE\DEVICEMAP\SERIALCOMM (the argument is not
// used), in the same order.
std::vector<PortEntry> ListPorts(const std::string& sysfsRoot = "/sys/class/tty");

// The trailing decimal number of a port name ("ttyUSB12", "COM12" -> 12); false when it has none.
bool PortNameNumber(const std::string& name, unsigned& number);
// Ascending by number; equal numbers in name order.
void SortPortEntries(std::vector<PortEntry>& ports);

}  // namespace devlink
