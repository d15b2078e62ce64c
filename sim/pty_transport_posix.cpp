#include "sim/pty_transport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace sim {

namespace {

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

bool MakeLink(const std::string& target, const std::string& link, std::string* error) {
  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      *error = link + " exists and is not a symbolic link; not replacing it";
      return false;
    }
    ::unlink(link.c_str());
  }
  if (::symlink(target.c_str(), link.c_str()) != 0) {
    *error = SystemError("cannot make the link " + link);
    return false;
  }
  return true;
}

int BaudOf(speed_t speed) {
  switch (speed) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B921600: return 921600;
    default: return 0;
  }
}

// The master side, non-blocking: a program that does not read makes it wait for room.
WriteAll MasterWriter(int master, const StopSignal& stop) {
  return PatientWriter(
      [master](const uint8_t* data, size_t count) -> long {
        const ssize_t n = ::write(master, data, count);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
        return n < 0 ? -1 : static_cast<long>(n);
      },
      [master] {
        pollfd p{master, POLLOUT, 0};
        ::poll(&p, 1, 20);
      },
      stop);
}

bool LinkPointsTo(const std::string& link, const std::string& target) {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
  return n > 0 && std::string(buffer, static_cast<size_t>(n)) == target;
}

}  // namespace

bool PtyServer::Available() { return true; }

PtyServer::PtyServer(Simulator& simulator) : simulator_(simulator) {}

PtyServer::~PtyServer() { Stop(); }

bool PtyServer::Start(std::string* error, const std::string& linkPath) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  if (thread_.joinable()) {
    *error = "already running";
    return false;
  }
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) {
    *error = SystemError("cannot open a pseudo-terminal");
    return false;
  }
  char name[PATH_MAX];
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
      ::ptsname_r(master_, name, sizeof name) != 0) {
    *error = SystemError("cannot prepare the pseudo-terminal");
    Stop();
    return false;
  }
  slavePath_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios tio{};
  if (slave_ < 0 || ::tcgetattr(slave_, &tio) != 0) {
    *error = SystemError("cannot open " + slavePath_);
    Stop();
    return false;
  }
  ::cfmakeraw(&tio);
  ::tcsetattr(slave_, TCSANOW, &tio);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  if (!linkPath.empty()) {
    if (!MakeLink(slavePath_, linkPath, error)) {
      Stop();
      return false;
    }
    linkPath_ = linkPath;
  }
  stop_.Reset();
  thread_ = std::thread([this] { Run(); });
  return true;
}

void PtyServer::Stop() {
  stop_.Stop();
  if (thread_.joinable()) thread_.join();
  if (!linkPath_.empty() && LinkPointsTo(linkPath_, slavePath_)) ::unlink(linkPath_.c_str());
  linkPath_.clear();
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = master_ = -1;
}

int PtyServer::LineBaud() const {
  // The settings belong to the terminal, so the slave this server holds open shows the ones the
  // program made through its own descriptor.
  termios tio{};
  if (slave_ < 0 || ::tcgetattr(slave_, &tio) != 0) return 0;
  return BaudOf(::cfgetospeed(&tio));
}

void PtyServer::Run() {
  InputSession session(simulator_, MasterWriter(master_, stop_), stop_, idleReset_);
  uint8_t buffer[1024];
  while (!stop_.Stopped()) {
    pollfd p{master_, POLLIN, 0};
    int ready = ::poll(&p, 1, 10);
    if (ready > 0 && (p.revents & POLLIN)) {
      ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) {
        const int baud = LineBaud();
        simulator_.WithDevice([baud](Instrument& device) { device.State<LineState>().baud = baud; });
        session.Received(buffer, static_cast<size_t>(n));
        simulator_.WithDevice([](Instrument& device) { device.State<LineState>().baud = 0; });
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        stop_.SleepFor(std::chrono::milliseconds(10));  // no slave open for a moment
      }
    } else if (ready > 0) {
      stop_.SleepFor(std::chrono::milliseconds(10));  // hang-up or error: wait for a reopen
    }
    session.Idle();
  }
}

}  // namespace sim
