#pragma once
// The TCP server that wireless-logger gateways connect to, Qt-free. It owns the listening socket
// and one non-blocking socket per gateway, and never blocks: whoever drives it (the page's event
// loop through socket notifiers, tool-cli's poll loop through PollOnce) calls OnListenerReadable
// and OnReadable when a socket is readable, and CheckDeadline when the pending command's time is
// up.
//
// One command at a time: Send() writes a request to one gateway and makes it pending. The first
// bytes that gateway delivers afterwards (what one readable event finds, at most kMaxReply) are
// the reply. Bytes from other gateways, or while nothing is pending, only count as a sign of life
// and are thrown away, so a gateway that sends without end costs no memory.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "server/gateway_protocol.h"

struct pollfd;

namespace gateway {

using Clock = std::chrono::steady_clock;
// A connection's key for its whole life (socket numbers are reused after a close).
using GatewayKey = uint64_t;

inline constexpr std::chrono::milliseconds kReplyTimeout{5000};
inline constexpr size_t kMaxReply = 3000;     // bytes kept of one reply
inline constexpr int kReadsPerEvent = 16;     // 3000-byte reads per readable event, then others' turn
inline constexpr int kAcceptsPerEvent = 64;   // accepts per readable event of the listener
// How long the listener rests after an accept failed for want of descriptors or memory: the
// waiting connection keeps the listener readable, so accepting again at once would only spin.
inline constexpr std::chrono::milliseconds kAcceptPause{250};

struct GatewayInfo {
  GatewayKey key = 0;
  int fd = -1;
  std::string address;  // peer IPv4 address, dotted
  uint16_t port = 0;    // peer TCP port: tells apart the gateways of one host
  // "address:port", as the gateway list shows it.
  std::string Endpoint() const { return address + ":" + std::to_string(port); }
};

// How a command ended: `answered` with the gateway's `reply`, or not (time-out, the gateway
// closed, the request could not be sent).
struct CommandReply {
  int command = kNoCommand;
  GatewayKey gateway = 0;
  bool answered = false;
  Bytes reply;
};

class GatewayServer {
 public:
  struct Events {
    std::function<void(const GatewayInfo&)> accepted;
    // Called while the gateway is still listed and its socket still open (a notifier on it can
    // be removed first).
    std::function<void(GatewayKey)> closed;
    std::function<void(GatewayKey)> received;  // any bytes arrived: refresh its time
    std::function<void(const CommandReply&)> finished;
    // Accepting rests for `pause` (no descriptors left): stop watching the listener until then.
    std::function<void(std::chrono::milliseconds pause)> acceptPaused;
  };

  enum class ListenResult { Ok, SocketFailed, BindFailed };
  enum class SendResult { Sent, Busy, NoGateway };

  explicit GatewayServer(Events events);
  ~GatewayServer();
  GatewayServer(const GatewayServer&) = delete;
  GatewayServer& operator=(const GatewayServer&) = delete;

  // Listens on `address` (dotted IPv4; "0.0.0.0" every local address) and `port` (0: a free
  // one, see Port()), with TCP_NODELAY and a zero linger time, so a close resets the connection.
  ListenResult Listen(uint16_t port, const std::string& address = "0.0.0.0",
                      std::string* detail = nullptr);
  bool Listening() const { return listener_ >= 0; }
  int ListenerFd() const { return listener_; }
  uint16_t Port() const { return port_; }
  // Closes the listening socket and every gateway connection.
  void Stop();
  // Closes every gateway connection; the listener stays.
  void CloseAll();
  void Close(GatewayKey key);

  std::vector<GatewayInfo> Gateways() const;  // in the order they connected
  const GatewayInfo* Find(GatewayKey key) const;
  GatewayKey KeyOfFd(int fd) const;  // 0 when none

  // Socket readiness, from whatever loop drives the server.
  void OnListenerReadable(Clock::time_point now = Clock::now());
  // Whether accepting rests at `now` (see kAcceptPause).
  bool AcceptPaused(Clock::time_point now = Clock::now()) const { return now < acceptPausedUntil_; }
  void OnReadable(int fd);

  // Sends `request` in one call and makes `command` pending on that gateway until its reply, a
  // close, or kReplyTimeout after `now`. A request the socket does not take whole ends the
  // command at once, unanswered (through `finished`).
  SendResult Send(GatewayKey key, int command, const Bytes& request, Clock::time_point now = Clock::now());
  bool Busy() const { return pending_.command != kNoCommand; }
  int PendingCommandCode() const { return pending_.command; }
  std::optional<Clock::time_point> Deadline() const;
  // Ends the pending command unanswered once its deadline has passed.
  void CheckDeadline(Clock::time_point now = Clock::now());

  // A loop of its own for programs without an event loop: waits up to `timeout` (and no longer
  // than the pending command's deadline) for the server's sockets and `extra`, then handles what
  // is ready. `extra` comes back with its revents filled in.
  void PollOnce(std::chrono::milliseconds timeout, std::vector<pollfd>* extra = nullptr);

 private:
  struct Connection {
    GatewayInfo info;
  };
  void Finish(bool answered, Bytes reply);
  void CloseConnection(std::map<GatewayKey, Connection>::iterator it);

  Events events_;
  int listener_ = -1;
  uint16_t port_ = 0;
  GatewayKey nextKey_ = 1;
  Clock::time_point acceptPausedUntil_{};
  std::map<GatewayKey, Connection> connections_;
  std::unordered_map<int, GatewayKey> byFd_;
  struct Pending {
    int command = kNoCommand;
    GatewayKey gateway = 0;
    Clock::time_point deadline{};
  } pending_;
};

}  // namespace gateway
