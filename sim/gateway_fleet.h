#pragma once
// Simulated wireless-logger gateways: TCP clients that connect to the program's gateway server
// and answer it as gateways do. Each keeps a list of 60 logger slots (FF FF FF FF = empty) and
// answers every binding command with the whole list (240 bytes):
//   3E 52            (">R") report the list
//   3E 57 + 4 bytes  (">W") bind the logger into the first empty slot (if not bound yet)
//   3E 43 + 4 bytes  (">C") remove the logger; 00 00 00 00 empties every slot
// Any other first byte N starts a configuration frame of N + 2 bytes, echoed back whole once it
// has arrived. One thread serves the whole fleet.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/socket_shim.h"

namespace sim {

enum class GatewayMode {
  Normal,
  Silent,   // reads everything, never answers
  Garbage,  // answers every complete command with 7 bytes that are no list
  Trickle,  // answers normally and also sends one byte on its own every trickle period
};

struct GatewayFleetOptions {
  std::string host = "127.0.0.1";
  uint16_t port = 0;
  int count = 1;
  GatewayMode mode = GatewayMode::Normal;
  int loggers = 0;  // slots filled at start: 10 20 00 01, 10 20 00 02, ...
  std::chrono::milliseconds tricklePeriod{2000};
};

class GatewayFleet {
 public:
  using Slots = std::array<std::array<uint8_t, 4>, 60>;

  GatewayFleet() = default;
  ~GatewayFleet();
  GatewayFleet(const GatewayFleet&) = delete;
  GatewayFleet& operator=(const GatewayFleet&) = delete;

  // Connects every gateway (one after the other), then serves them on a thread. False with a
  // message when a connection failed (those made are closed).
  bool Start(const GatewayFleetOptions& options, std::string* error);
  void Stop();  // closes every connection and joins the thread; safe to call twice
  int Connected() const { return connected_; }  // connections still open
  // A copy of one gateway's slots (index in connection order).
  Slots SlotsOf(int gateway) const;
  // Every request a gateway received, in order (each binding command or frame as one entry).
  std::vector<std::vector<uint8_t>> Requests(int gateway) const;

 private:
  struct Gateway {
    devlink::net::SocketHandle socket = devlink::net::kNoSocket;
    Slots loggerSlots;
    std::vector<uint8_t> input;
    std::vector<std::vector<uint8_t>> requests;
    std::chrono::steady_clock::time_point nextTrickle{};
  };
  void Serve();
  void Handle(Gateway& gateway);
  void Answer(Gateway& gateway, const std::vector<uint8_t>& reply);

  GatewayFleetOptions options_;
  std::vector<Gateway> gateways_;
  mutable std::mutex mutex_;
  std::atomic<bool> stop_{false};
  std::atomic<int> connected_{0};
  std::thread thread_;
};

}  // namespace sim
