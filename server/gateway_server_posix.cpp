// The gateway server's socket calls on BSD sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "server/gateway_socket.h"

namespace gateway::sockets {

namespace {

void SetSocketOptions(int fd) {
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  const linger zero{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &zero, sizeof zero);
}

}  // namespace

GatewayServer::ListenResult Listen(const std::string& address, uint16_t port, int& listener,
                                   uint16_t& bound, std::string* detail) {
  sockaddr_in where{};  // the address is a dotted IPv4 one (checked by the caller)
  where.sin_family = AF_INET;
  where.sin_port = htons(port);
  inet_pton(AF_INET, address.c_str(), &where.sin_addr);
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    if (detail) *detail = std::strerror(errno);
    return GatewayServer::ListenResult::SocketFailed;
  }
  SetSocketOptions(fd);
  // A port just given up can be listened on again at once; Linux still refuses a second
  // listener on a port in use.
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 ||
      listen(fd, SOMAXCONN) != 0) {
    if (detail) *detail = std::strerror(errno);
    close(fd);
    return GatewayServer::ListenResult::BindFailed;
  }
  sockaddr_in local{};
  socklen_t length = sizeof local;
  getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
  bound = ntohs(local.sin_port);
  listener = fd;
  return GatewayServer::ListenResult::Ok;
}

Accepted Accept(int listener, Peer& peer) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  const int fd = accept4(listener, reinterpret_cast<sockaddr*>(&address), &length,
                         SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) {
    if (errno == EINTR || errno == ECONNABORTED) return Accepted::Retry;
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      return Accepted::NoRoom;
    }
    return Accepted::None;
  }
  SetSocketOptions(fd);
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  peer = Peer{fd, text, ntohs(address.sin_port)};
  return Accepted::Connection;
}

long ReceiveSome(int socket, uint8_t* buffer, size_t size) {
  while (true) {
    const ssize_t n = recv(socket, buffer, size, 0);
    if (n > 0) return static_cast<long>(n);
    if (n == 0) return -1;  // the peer closed
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
  }
}

bool SendWhole(int socket, const uint8_t* bytes, size_t size) {
  return send(socket, bytes, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
}

void Close(int socket) { close(socket); }

pollfd Watch(int socket) { return pollfd{socket, POLLIN, 0}; }

int Poll(std::vector<pollfd>& watched, int timeoutMs) {
  return poll(watched.data(), watched.size(), timeoutMs);
}

}  // namespace gateway::sockets
