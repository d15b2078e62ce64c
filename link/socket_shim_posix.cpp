// The socket calls of the TCP channel on BSD sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "link/socket_shim.h"

namespace devlink::net {

namespace {

std::string ConnectErrorText(int error) {
  switch (error) {
    case ECONNREFUSED: return "connection refused";
    case ENETUNREACH: return "network unreachable";
    case EHOSTUNREACH: return "host unreachable";
    case ETIMEDOUT: return "connect timed out";
    default: return std::string("connect failed: ") + std::strerror(error);
  }
}

// poll() for one socket, restarted after signals with the time that is left.
bool WaitFor(SocketHandle socket, short events, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    struct pollfd p = {static_cast<int>(socket), events, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

bool ToAddress(const std::string& ip, int port, sockaddr_in& address) {
  address = {};
  address.sin_family = AF_INET;
  if (port <= 0 || port > 65535 || ::inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1) {
    return false;
  }
  address.sin_port = htons(static_cast<uint16_t>(port));
  return true;
}

}  // namespace

bool StartSockets() { return true; }

SocketHandle OpenTcpSocket() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kNoSocket;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
    ::close(fd);
    return kNoSocket;
  }
  return fd;
}

std::string SocketFailureText() { return std::string("no socket: ") + std::strerror(errno); }

void CloseSocket(SocketHandle socket, bool connected) {
  if (socket == kNoSocket) return;
  if (connected) ::shutdown(static_cast<int>(socket), SHUT_RDWR);
  ::close(static_cast<int>(socket));
}

bool IsIpv4Address(const std::string& ip) {
  sockaddr_in address;
  return ToAddress(ip, 1, address);
}

SocketHandle ListenOnLoopback(uint16_t port, uint16_t& bound, std::string& why) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    why = std::string("cannot create a socket: ") + std::strerror(errno);
    return kNoSocket;
  }
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    why = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    ::close(fd);
    return kNoSocket;
  }
  bound = ntohs(address.sin_port);
  return fd;
}

SocketHandle AcceptConnection(SocketHandle listener) {
  const int fd = ::accept4(static_cast<int>(listener), nullptr, nullptr,
                           SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return kNoSocket;
  int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

bool LastCallWouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

bool StartConnect(SocketHandle socket, const std::string& ip, int port, bool& pending,
                  std::string& why) {
  pending = false;
  sockaddr_in address;
  if (!ToAddress(ip, port, address)) return false;
  if (::connect(static_cast<int>(socket), reinterpret_cast<const sockaddr*>(&address),
                sizeof(address)) == 0) {
    return true;
  }
  if (errno != EINPROGRESS && errno != EINTR) {
    why = ConnectErrorText(errno);
    return false;
  }
  pending = true;
  return true;
}

std::string ConnectResult(SocketHandle socket) {
  int error = 0;
  socklen_t length = sizeof(error);
  if (::getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
    error = errno;
  }
  return error == 0 ? std::string() : ConnectErrorText(error);
}

bool WaitReadable(SocketHandle socket, int timeoutMs) { return WaitFor(socket, POLLIN, timeoutMs); }
bool WaitWritable(SocketHandle socket, int timeoutMs) {
  return WaitFor(socket, POLLOUT, timeoutMs);
}

bool WaitAnyReadable(const std::vector<SocketHandle>& sockets, int timeoutMs,
                     std::vector<bool>& ready) {
  std::vector<pollfd> fds;
  fds.reserve(sockets.size());
  for (SocketHandle s : sockets) fds.push_back({static_cast<int>(s), POLLIN, 0});
  ready.assign(sockets.size(), false);
  if (::poll(fds.data(), fds.size(), std::max(timeoutMs, 0)) <= 0) return false;
  for (size_t i = 0; i < fds.size(); ++i) ready[i] = fds[i].revents != 0;
  return true;
}

long SendSome(SocketHandle socket, const void* bytes, size_t count) {
  return ::send(static_cast<int>(socket), bytes, count, MSG_NOSIGNAL | MSG_DONTWAIT);
}

long ReceiveSome(SocketHandle socket, void* bytes, size_t capacity) {
  return ::recv(static_cast<int>(socket), bytes, capacity, 0);
}

}  // namespace devlink::net
