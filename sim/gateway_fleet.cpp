#include "sim/gateway_fleet.h"

#include <algorithm>

namespace sim {

namespace {

namespace net = devlink::net;

constexpr std::array<uint8_t, 4> kEmpty{0xFF, 0xFF, 0xFF, 0xFF};
constexpr size_t kInputCap = 4096;  // a confused server cannot make a gateway hoard bytes
constexpr int kConnectTimeoutMs = 5000;

// A connected non-blocking socket, or kNoSocket with the reason in `why`.
net::SocketHandle Connect(const std::string& host, uint16_t port, std::string& why) {
  const net::SocketHandle socket = net::OpenTcpSocket();
  if (socket == net::kNoSocket) {
    why = net::SocketFailureText();
    return socket;
  }
  bool pending = false;
  if (net::StartConnect(socket, host, port, pending, why) && pending) {
    why = net::WaitWritable(socket, kConnectTimeoutMs) ? net::ConnectResult(socket)
                                                        : "connect timed out";
  }
  if (!why.empty()) {
    net::CloseSocket(socket, false);
    return net::kNoSocket;
  }
  return socket;
}

}  // namespace

GatewayFleet::~GatewayFleet() { Stop(); }

bool GatewayFleet::Start(const GatewayFleetOptions& options, std::string* error) {
  Stop();
  options_ = options;
  stop_ = false;
  if (!net::IsIpv4Address(options.host)) {
    if (error) *error = "not an IPv4 address: " + options.host;
    return false;
  }
  gateways_.resize(static_cast<size_t>(options.count));
  for (Gateway& gateway : gateways_) {
    gateway.loggerSlots.fill(kEmpty);
    for (int i = 0; i < std::min(options.loggers, 60); ++i) {
      gateway.loggerSlots[static_cast<size_t>(i)] = {0x10, 0x20, static_cast<uint8_t>((i + 1) >> 8),
                                               static_cast<uint8_t>(i + 1)};
    }
    std::string why;
    gateway.socket = Connect(options.host, options.port, why);
    if (gateway.socket == net::kNoSocket) {
      if (error) *error = "cannot connect to " + options.host + ":" +
                          std::to_string(options.port) + ": " + why;
      Stop();
      return false;
    }
    gateway.nextTrickle = std::chrono::steady_clock::now() + options.tricklePeriod;
    ++connected_;
  }
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void GatewayFleet::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  for (Gateway& gateway : gateways_) {
    net::CloseSocket(gateway.socket, false);
    gateway.socket = net::kNoSocket;
  }
  connected_ = 0;
}

GatewayFleet::Slots GatewayFleet::SlotsOf(int gateway) const {
  std::lock_guard lock(mutex_);
  return gateways_.at(static_cast<size_t>(gateway)).loggerSlots;
}

std::vector<std::vector<uint8_t>> GatewayFleet::Requests(int gateway) const {
  std::lock_guard lock(mutex_);
  return gateways_.at(static_cast<size_t>(gateway)).requests;
}

void GatewayFleet::Serve() {
  std::vector<net::SocketHandle> sockets;
  std::vector<bool> readable;
  while (!stop_) {
    // Closed gateways stay in the list as kNoSocket, which poll and WSAPoll pass over.
    sockets.clear();
    for (const Gateway& gateway : gateways_) sockets.push_back(gateway.socket);
    const int timeout = options_.mode == GatewayMode::Trickle ? 50 : 100;
    net::WaitAnyReadable(sockets, timeout, readable);
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    for (size_t i = 0; i < gateways_.size(); ++i) {
      Gateway& gateway = gateways_[i];
      if (gateway.socket == net::kNoSocket) continue;
      if (readable[i]) {
        uint8_t buffer[1024];
        const long n = net::ReceiveSome(gateway.socket, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && !net::LastCallWouldBlock())) {
          net::CloseSocket(gateway.socket, false);  // the server closed it
          gateway.socket = net::kNoSocket;
          --connected_;
          continue;
        }
        if (n > 0) {
          gateway.input.insert(gateway.input.end(), buffer, buffer + n);
          Handle(gateway);
        }
      }
      if (options_.mode == GatewayMode::Trickle && now >= gateway.nextTrickle) {
        Answer(gateway, {0x2A});
        gateway.nextTrickle = now + options_.tricklePeriod;
      }
    }
  }
}

void GatewayFleet::Handle(Gateway& gateway) {
  std::vector<uint8_t>& in = gateway.input;
  while (!in.empty()) {
    size_t length = 0;
    if (in[0] == 0x3E) {
      if (in.size() < 2) return;
      if (in[1] == 0x52) {
        length = 2;
      } else if (in[1] == 0x57 || in[1] == 0x43) {
        length = 6;
      } else {
        in.clear();  // no command of a gateway
        return;
      }
    } else {
      length = static_cast<size_t>(in[0]) + 2;
    }
    if (in.size() < length) {
      if (in.size() > kInputCap) in.clear();
      return;
    }
    const std::vector<uint8_t> request(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(length));
    in.erase(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(length));
    gateway.requests.push_back(request);

    std::vector<uint8_t> reply;
    if (request[0] != 0x3E) {
      reply = request;  // configuration frame: echoed
    } else {
      if (request.size() == 6) {
        const std::array<uint8_t, 4> id{request[2], request[3], request[4], request[5]};
        auto& idSlots = gateway.loggerSlots;
        if (request[1] == 0x57) {
          if (std::find(idSlots.begin(), idSlots.end(), id) == idSlots.end()) {
            const auto free = std::find(idSlots.begin(), idSlots.end(), kEmpty);
            if (free != idSlots.end()) *free = id;
          }
        } else if (id == std::array<uint8_t, 4>{0, 0, 0, 0}) {
          idSlots.fill(kEmpty);
        } else {
          std::replace(idSlots.begin(), idSlots.end(), id, kEmpty);
        }
      }
      for (const auto& slot : gateway.loggerSlots) reply.insert(reply.end(), slot.begin(), slot.end());
    }
    if (options_.mode == GatewayMode::Garbage) reply = {0xA5, 0x5A, 0x00, 0x13, 0x37, 0xFF, 0x01};
    if (options_.mode != GatewayMode::Silent) Answer(gateway, reply);
  }
}

void GatewayFleet::Answer(Gateway& gateway, const std::vector<uint8_t>& reply) {
  // A gateway whose server does not read loses what does not fit; it never blocks the fleet.
  if (gateway.socket != net::kNoSocket) net::SendSome(gateway.socket, reply.data(), reply.size());
}

}  // namespace sim
