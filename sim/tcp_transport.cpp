#include "sim/tcp_transport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim {

TcpServer::TcpServer(Simulator& simulator) : simulator_(simulator) {}

TcpServer::~TcpServer() { Stop(); }

bool TcpServer::Start(uint16_t port, std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  if (acceptThread_.joinable()) {
    *error = "already running";
    return false;
  }
  auto fail = [&](const std::string& what) {
    *error = what + ": " + std::strerror(errno);
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
    return false;
  };
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listener_ < 0) return fail("cannot create a socket");
  int on = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    return fail("cannot listen on 127.0.0.1:" + std::to_string(port));
  }
  if (::listen(listener_, 16) != 0) return fail("cannot listen");
  socklen_t length = sizeof address;
  if (::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return fail("cannot read the bound port");
  }
  port_ = ntohs(address.sin_port);
  stop_.Reset();
  acceptThread_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void TcpServer::Stop() {
  stop_.Stop();
  if (acceptThread_.joinable()) acceptThread_.join();
  Reap(true);
  if (listener_ >= 0) ::close(listener_);
  listener_ = -1;
}

void TcpServer::AcceptLoop() {
  while (!stop_.Stopped()) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
      int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd >= 0) {
        // Pieces of a split reply must leave when written, not when the previous one is acked.
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ++accepted_;
        auto connection = std::make_unique<Connection>();
        connection->fd = fd;
        Connection& c = *connection;
        connections_.push_back(std::move(connection));
        c.thread = std::thread([this, &c] { Serve(c); });
      }
    }
    Reap(false);
  }
}

void TcpServer::Reap(bool all) {
  for (auto it = connections_.begin(); it != connections_.end();) {
    Connection& c = **it;
    if (all || c.done) {
      if (c.thread.joinable()) c.thread.join();
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
}

// Answers requests until the peer closes the connection or the server stops.
void TcpServer::Serve(Connection& connection) {
  const int fd = connection.fd;
  {
    InputSession session(simulator_, DescriptorWriter(fd, true, stop_), stop_, idleReset_);
    uint8_t buffer[1024];
    while (!stop_.Stopped()) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 10) > 0) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n == 0) break;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) break;
        if (n > 0) session.Received(buffer, static_cast<size_t>(n));
      }
      session.Idle();
    }
  }
  ::close(fd);
  connection.done = true;
}

}  // namespace sim
