// The serial channel on termios.
#include "link/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "link/serial_custom_baud.h"

namespace devlink {

namespace {

// How long a write may wait for room in the transmit queue before it gives up on the rest.
constexpr int kWriteStallMs = 1000;

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

// Errors of a descriptor whose device is no longer there (as opposed to a full queue or a
// signal): EIO after a hang-up or a pulled USB adapter, ENXIO/ENODEV for a removed device.
bool DeviceGone(int errorNumber) {
  return errorNumber == EIO || errorNumber == ENXIO || errorNumber == ENODEV ||
         errorNumber == EBADF;
}

// Poll events that mean the line is gone. POLLHUP on a terminal with CLOCAL set comes only
// from a hang-up: the adapter was removed or the pseudo-terminal's other side closed.
constexpr short kGoneEvents = POLLHUP | POLLERR | POLLNVAL;

// Gives up the port. The exclusive-use flag belongs to the terminal, not to this descriptor: it
// stays set after close() for as long as the terminal lives on, which for a pseudo-terminal whose
// other side is still open (the simulator) means every later open by a normal user fails with
// EBUSY. So it is cleared first; the advisory lock goes with the descriptor.
}  // namespace

void SerialPort::ReleasePort(int fd) {
  ::ioctl(fd, TIOCNXCL);
  ::close(fd);
}

namespace {

speed_t StandardSpeed(unsigned baud) {
  switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    case 1152000: return B1152000;
    case 1500000: return B1500000;
    case 2000000: return B2000000;
    default: return B0;
  }
}

}  // namespace

bool SerialPort::OpenPort(const std::string& path, std::string* error,
                          PortOpenFailure* failure) {
  auto lock = Transaction();
  ClosePort();
  auto fail = [&](const std::string& text, int errorNumber) {
    SetError(error, text);
    if (failure) *failure = ExplainPortOpenError(path, errorNumber);
    return false;
  };
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int openError = errno;
    return fail(ErrnoText("cannot open " + path), openError);
  }
  if (!::isatty(fd)) {
    ::close(fd);
    return fail(path + " is not a serial device", ENOTTY);
  }
  // Exclusive use: the advisory lock holds against every process that also locks (including
  // this program's other instances and root), TIOCEXCL against plain opens by other users.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int lockError = errno;
    const std::string text = lockError == EWOULDBLOCK ? path + " is in use by another program"
                                                      : ErrnoText("cannot lock " + path);
    ::close(fd);
    return fail(text, lockError);
  }
  ::ioctl(fd, TIOCEXCL);
  fd_ = fd;
  path_ = path;
  vanished_ = false;
  vanishedWhy_.clear();
  return true;
}

bool SerialPort::ApplyLineSettings(unsigned baud, std::string* error) {
  struct termios tio;
  if (::tcgetattr(fd_, &tio) != 0) {
    SetError(error, ErrnoText("cannot read the line settings of " + path_));
    return false;
  }
  // Raw 8N1. Raw mode also turns off XON/XOFF, which would swallow 0x11 and 0x13 in binary
  // frames; hardware flow control stays as the port had it.
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  const speed_t standard = StandardSpeed(baud);
  if (standard != B0) ::cfsetspeed(&tio, standard);
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
    SetError(error, ErrnoText("cannot apply the line settings of " + path_));
    return false;
  }
  if (standard == B0 && !detail::SetArbitraryBaud(fd_, baud, error)) return false;
  // A driver may settle on another rate than asked for; within 2 % a UART still talks.
  const unsigned actual = detail::ReadBaud(fd_);
  const unsigned difference = actual > baud ? actual - baud : baud - actual;
  if (actual == 0 || difference > baud / 50) {
    SetError(error, "baud rate " + std::to_string(baud) + " cannot be set on " + path_ +
                        " (the port reports " + std::to_string(actual) + ")");
    return false;
  }
  ::tcflush(fd_, TCIOFLUSH);
  return true;
}

bool SerialPort::CheckVanished() {
  auto lock = Transaction();
  if (fd_ < 0) return vanished_;
  struct pollfd p = {fd_, POLLIN, 0};
  if (::poll(&p, 1, 0) > 0 && (p.revents & kGoneEvents) != 0) {
    MarkVanished(path_ + ": the line hung up");
    return true;
  }
  struct stat node;
  if (::stat(path_.c_str(), &node) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
    MarkVanished(path_ + ": the device node is gone");
    return true;
  }
  return false;
}

void SerialPort::PurgePort() {
  auto lock = Transaction();
  if (fd_ >= 0) ::tcflush(fd_, TCIOFLUSH);
}

void SerialPort::SerialWrite(ByteView bytes) {
  auto lock = Transaction();
  if (fd_ < 0) return;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && DeviceGone(errno)) {
      MarkVanished(ErrnoText("write to " + path_));
      return;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return;
    // Transmit queue full: wait for room, but not forever (a stalled line loses the rest, as a
    // write time-out would).
    struct pollfd p = {fd_, POLLOUT, 0};
    int ready;
    do {
      ready = ::poll(&p, 1, kWriteStallMs);
    } while (ready < 0 && errno == EINTR);
    if (ready > 0 && (p.revents & kGoneEvents) != 0) {
      MarkVanished(path_ + ": the line hung up");
      return;
    }
    if (ready <= 0) return;
  }
}

bool SerialPort::WaitReadable(int timeoutMs) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (fd_ < 0) return false;
  struct pollfd p = {fd_, POLLIN, 0};
  const int ready = ::poll(&p, 1, std::max(timeoutMs, 0));
  if (ready > 0 && (p.revents & POLLIN) == 0 && (p.revents & kGoneEvents) != 0) {
    MarkVanished(path_ + ": the line hung up");
    return false;
  }
  return ready > 0 && (p.revents & POLLIN) != 0;
}

size_t SerialPort::SerialRead(uint8_t* buffer, size_t capacity) {
  auto lock = Transaction();
  if (fd_ < 0 || buffer == nullptr || capacity == 0) return 0;
  int queued = 0;
  if (::ioctl(fd_, FIONREAD, &queued) != 0) {
    if (DeviceGone(errno)) MarkVanished(ErrnoText("read from " + path_));
    return 0;
  }
  if (queued <= 0) return 0;
  const size_t wanted = std::min({kSerialReadLimit, static_cast<size_t>(queued), capacity});
  ssize_t n;
  do {
    n = ::read(fd_, buffer, wanted);
  } while (n < 0 && errno == EINTR);
  if (n < 0 && DeviceGone(errno)) MarkVanished(ErrnoText("read from " + path_));
  return n > 0 ? static_cast<size_t>(n) : 0;
}

}  // namespace devlink
