// The serial channel on Win32 comm functions. The port's handle is kept as a C run-time
// descriptor (_open_osfhandle), so the class looks the same as on Linux. Reads never wait inside
// ReadFile: the time-outs make it return what is queued, and ClearCommError says how much that is.
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "link/serial_port.h"
#include "link/win32_text.h"

namespace devlink {

namespace {

// How long a write may wait for the transmit queue before it gives up on the rest.
constexpr DWORD kWriteStallMs = 1000;
// How often WaitReadable looks at the receive queue.
constexpr auto kQueuePoll = std::chrono::milliseconds(2);

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

std::string LastErrorText(const std::string& what, DWORD code = ::GetLastError()) {
  return what + ": " + win32::ErrorText(code);
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

// "COM5" and "com12" are opened as \\.\COM5 (the only form that reaches COM10 and above); a path
// that already is a device path stays as it is.
std::wstring DevicePath(const std::string& path) {
  const bool bareCom = path.size() > 3 && (path[0] == 'C' || path[0] == 'c') &&
                       (path[1] == 'O' || path[1] == 'o') && (path[2] == 'M' || path[2] == 'm');
  return win32::Wide(bareCom ? "\\\\.\\" + path : path);
}

// Errors of a handle whose device is gone (an adapter pulled out).
bool DeviceGone(DWORD code) {
  return code == ERROR_DEVICE_NOT_CONNECTED || code == ERROR_BAD_COMMAND ||
         code == ERROR_INVALID_HANDLE || code == ERROR_GEN_FAILURE ||
         code == ERROR_OPERATION_ABORTED || code == ERROR_FILE_NOT_FOUND;
}

}  // namespace

// Closing the descriptor closes the port's handle.
void SerialPort::ReleasePort(int fd) { ::_close(fd); }

bool SerialPort::OpenPort(const std::string& path, std::string* error,
                          PortOpenFailure* failure) {
  auto lock = Transaction();
  ClosePort();
  auto fail = [&](const std::string& text, DWORD code) {
    SetError(error, text);
    if (failure) *failure = ExplainPortOpenError(path, static_cast<int>(code));
    return false;
  };
  // No sharing: a second open, by this program or another, fails with "access denied".
  const HANDLE h = ::CreateFileW(DevicePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    return fail(LastErrorText("cannot open " + path, code), code);
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(h, &dcb)) {
    ::CloseHandle(h);
    return fail(path + " is not a serial device", ERROR_INVALID_FUNCTION);
  }
  // Reads return at once with what is queued; a write gives up after the stall time.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.WriteTotalTimeoutConstant = kWriteStallMs;
  if (!::SetCommTimeouts(h, &timeouts)) {
    const DWORD code = ::GetLastError();
    ::CloseHandle(h);
    return fail(LastErrorText("cannot set the time-outs of " + path, code), code);
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), 0);
  if (fd < 0) {
    ::CloseHandle(h);
    return fail("cannot open " + path + ": no descriptor left", ERROR_TOO_MANY_OPEN_FILES);
  }
  fd_ = fd;
  path_ = path;
  vanished_ = false;
  vanishedWhy_.clear();
  return true;
}

bool SerialPort::ApplyLineSettings(unsigned baud, std::string* error) {
  const HANDLE h = HandleOf(fd_);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(h, &dcb)) {
    SetError(error, LastErrorText("cannot read the line settings of " + path_));
    return false;
  }
  // Binary 8N1 at any rate the driver takes (the DCB holds the rate as a number, so rates
  // without a CBR_ constant go the same way). XON/XOFF stays off, which would swallow 0x11 and
  // 0x13 in binary frames; hardware flow control stays as the port had it.
  dcb.BaudRate = baud;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fAbortOnError = FALSE;
  if (!::SetCommState(h, &dcb)) {
    SetError(error, "baud rate " + std::to_string(baud) + " cannot be set on " + path_ + ": " +
                        win32::ErrorText(::GetLastError()));
    return false;
  }
  // A driver may settle on another rate than asked for; within 2 % a UART still talks.
  DCB actual{};
  actual.DCBlength = sizeof actual;
  const unsigned got = ::GetCommState(h, &actual) ? actual.BaudRate : 0;
  const unsigned difference = got > baud ? got - baud : baud - got;
  if (got == 0 || difference > baud / 50) {
    SetError(error, "baud rate " + std::to_string(baud) + " cannot be set on " + path_ +
                        " (the port reports " + std::to_string(got) + ")");
    return false;
  }
  // Raise DTR and RTS for adapters powered from them. Optional: some ports (a virtual one over
  // a pseudo-terminal) refuse the modem lines, and talk all the same.
  ::EscapeCommFunction(h, SETDTR);
  if (dcb.fRtsControl != RTS_CONTROL_HANDSHAKE) ::EscapeCommFunction(h, SETRTS);
  ::PurgeComm(h, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
  return true;
}

bool SerialPort::CheckVanished() {
  auto lock = Transaction();
  if (fd_ < 0) return vanished_;
  DWORD errors = 0;
  COMSTAT status{};
  if (!::ClearCommError(HandleOf(fd_), &errors, &status) && DeviceGone(::GetLastError())) {
    MarkVanished(LastErrorText(path_ + ": the port is gone"));
    return true;
  }
  return false;
}

void SerialPort::PurgePort() {
  auto lock = Transaction();
  if (fd_ >= 0) {
    ::PurgeComm(HandleOf(fd_), PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
  }
}

void SerialPort::SerialWrite(ByteView bytes) {
  auto lock = Transaction();
  if (fd_ < 0) return;
  const HANDLE h = HandleOf(fd_);
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD count = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    if (!::WriteFile(h, bytes.data() + done, count, &written, nullptr)) {
      const DWORD code = ::GetLastError();
      if (DeviceGone(code)) MarkVanished(LastErrorText("write to " + path_, code));
      return;
    }
    // Nothing taken within the stall time: a stalled line loses the rest.
    if (written == 0) return;
    done += written;
  }
}

// Bytes in the receive queue, or -1 when the port cannot be asked (then it may have vanished).
static long QueuedBytes(int fd) {
  DWORD errors = 0;
  COMSTAT status{};
  if (!::ClearCommError(HandleOf(fd), &errors, &status)) return -1;
  return static_cast<long>(status.cbInQue);
}

bool SerialPort::WaitReadable(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(std::max(timeoutMs, 0));
  while (true) {
    {
      std::lock_guard<std::recursive_mutex> lock(mutex_);
      if (fd_ < 0) return false;
      const long queued = QueuedBytes(fd_);
      if (queued < 0) {
        const DWORD code = ::GetLastError();
        if (DeviceGone(code)) MarkVanished(LastErrorText("read from " + path_, code));
        return false;
      }
      if (queued > 0) return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kQueuePoll);
  }
}

size_t SerialPort::SerialRead(uint8_t* buffer, size_t capacity) {
  auto lock = Transaction();
  if (fd_ < 0 || buffer == nullptr || capacity == 0) return 0;
  const long queued = QueuedBytes(fd_);
  if (queued < 0) {
    const DWORD code = ::GetLastError();
    if (DeviceGone(code)) MarkVanished(LastErrorText("read from " + path_, code));
    return 0;
  }
  if (queued == 0) return 0;
  const DWORD wanted = static_cast<DWORD>(
      std::min({kSerialReadLimit, static_cast<size_t>(queued), capacity}));
  DWORD got = 0;
  if (!::ReadFile(HandleOf(fd_), buffer, wanted, &got, nullptr)) {
    const DWORD code = ::GetLastError();
    if (DeviceGone(code)) MarkVanished(LastErrorText("read from " + path_, code));
    return 0;
  }
  return got;
}

}  // namespace devlink
