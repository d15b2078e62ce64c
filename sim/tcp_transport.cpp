#include "sim/tcp_transport.h"

namespace sim {

namespace net = devlink::net;

TcpServer::TcpServer(Simulator& simulator) : simulator_(simulator) {}

TcpServer::~TcpServer() { Stop(); }

bool TcpServer::Start(uint16_t port, std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  if (acceptThread_.joinable()) {
    *error = "already running";
    return false;
  }
  listener_ = net::ListenOnLoopback(port, port_, *error);
  if (listener_ == net::kNoSocket) return false;
  stop_.Reset();
  acceptThread_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void TcpServer::Stop() {
  stop_.Stop();
  if (acceptThread_.joinable()) acceptThread_.join();
  Reap(true);
  net::CloseSocket(listener_, false);
  listener_ = net::kNoSocket;
}

void TcpServer::AcceptLoop() {
  while (!stop_.Stopped()) {
    if (net::WaitReadable(listener_, 20)) {
      // Non-blocking with Nagle off: pieces of a split reply leave when written, not when the
      // previous one is acknowledged.
      const net::SocketHandle socket = net::AcceptConnection(listener_);
      if (socket != net::kNoSocket) {
        ++accepted_;
        auto connection = std::make_unique<Connection>();
        connection->socket = socket;
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
  const net::SocketHandle socket = connection.socket;
  {
    InputSession session(simulator_, SocketWriter(socket, stop_), stop_, idleReset_);
    uint8_t buffer[1024];
    while (!stop_.Stopped()) {
      if (net::WaitReadable(socket, 10)) {
        const long n = net::ReceiveSome(socket, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0 && !net::LastCallWouldBlock()) break;
        if (n > 0) session.Received(buffer, static_cast<size_t>(n));
      }
      session.Idle();
    }
  }
  net::CloseSocket(socket, false);
  connection.done = true;
}

}  // namespace sim
