#pragma once
// The simulator as a network module: a TCP listener on the loopback address only. Each
// connection is served on a thread of its own and may carry any number of requests. BSD sockets
// or Winsock, through the link's socket calls.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/reply_pacing.h"
#include "sim/simulator.h"

namespace sim {

class TcpServer {
 public:
  explicit TcpServer(Simulator& simulator);
  ~TcpServer();
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

  // Listens on 127.0.0.1:`port` (0: a free port, see Port()). False with a message in `error`.
  bool Start(uint16_t port, std::string* error);
  // Stops listening, ends every connection and joins the threads. Safe to call twice.
  void Stop();
  uint16_t Port() const { return port_; }
  // Connections accepted so far (each exchange of the program opens one).
  int Accepted() const { return accepted_; }
  // Input left incomplete this long is logged and dropped (default 100 ms). Set before Start().
  void SetIdleReset(std::chrono::milliseconds idle) { idleReset_ = idle; }

 private:
  struct Connection {
    devlink::net::SocketHandle socket = devlink::net::kNoSocket;
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void AcceptLoop();
  void Serve(Connection& connection);
  void Reap(bool all);

  Simulator& simulator_;
  devlink::net::SocketHandle listener_ = devlink::net::kNoSocket;
  uint16_t port_ = 0;
  std::atomic<int> accepted_{0};
  std::chrono::milliseconds idleReset_{100};
  StopSignal stop_;
  std::thread acceptThread_;
  std::list<std::unique_ptr<Connection>> connections_;  // touched by the accept thread only
};

}  // namespace sim
