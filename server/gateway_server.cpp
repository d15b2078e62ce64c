// The gateway server's bookkeeping, the same on every platform; the socket calls are in
// gateway_server_posix.cpp and gateway_server_win32.cpp.
#include "server/gateway_server.h"

#include <algorithm>

#include "link/socket_shim.h"
#include "server/gateway_socket.h"

namespace gateway {

GatewayServer::GatewayServer(Events events) : events_(std::move(events)) {}

GatewayServer::~GatewayServer() {
  // No callbacks into an owner that is being destroyed too.
  events_ = {};
  Stop();
}

GatewayServer::ListenResult GatewayServer::Listen(uint16_t port, const std::string& address,
                                                  std::string* detail) {
  if (listener_ >= 0) Stop();
  if (!devlink::net::IsIpv4Address(address)) {
    if (detail) *detail = "not an IPv4 address: " + address;
    return ListenResult::SocketFailed;
  }
  const ListenResult result = sockets::Listen(address, port, listener_, port_, detail);
  if (result != ListenResult::Ok) listener_ = -1;
  return result;
}

void GatewayServer::Stop() {
  if (listener_ >= 0) {
    sockets::Close(listener_);
    listener_ = -1;
  }
  CloseAll();
}

void GatewayServer::CloseAll() {
  while (!connections_.empty()) CloseConnection(connections_.begin());
}

void GatewayServer::Close(GatewayKey key) {
  const auto it = connections_.find(key);
  if (it != connections_.end()) CloseConnection(it);
}

void GatewayServer::CloseConnection(std::map<GatewayKey, Connection>::iterator it) {
  const GatewayKey key = it->first;
  const int fd = it->second.info.fd;
  if (events_.closed) events_.closed(key);
  // The callback may have closed it already (through Close or CloseAll).
  it = connections_.find(key);
  if (it == connections_.end()) return;
  connections_.erase(it);
  byFd_.erase(fd);
  sockets::Close(fd);
  // Nothing will answer a command that waits for this gateway.
  if (pending_.command != kNoCommand && pending_.gateway == key) Finish(false, {});
}

std::vector<GatewayInfo> GatewayServer::Gateways() const {
  std::vector<GatewayInfo> list;
  list.reserve(connections_.size());
  for (const auto& [key, connection] : connections_) list.push_back(connection.info);
  return list;
}

const GatewayInfo* GatewayServer::Find(GatewayKey key) const {
  const auto it = connections_.find(key);
  return it == connections_.end() ? nullptr : &it->second.info;
}

GatewayKey GatewayServer::KeyOfFd(int fd) const {
  const auto it = byFd_.find(fd);
  return it == byFd_.end() ? 0 : it->second;
}

void GatewayServer::OnListenerReadable(Clock::time_point now) {
  if (AcceptPaused(now)) return;
  for (int i = 0; i < kAcceptsPerEvent && listener_ >= 0; ++i) {
    sockets::Peer peer;
    // A failed accept is ignored: nothing waiting ends the round, a peer that gave up is
    // skipped. Without descriptors or memory the connection stays queued and the listener
    // readable, so accepting rests a while instead of spinning on it.
    const sockets::Accepted accepted = sockets::Accept(listener_, peer);
    if (accepted == sockets::Accepted::Retry) continue;
    if (accepted == sockets::Accepted::NoRoom) {
      acceptPausedUntil_ = now + kAcceptPause;
      if (events_.acceptPaused) events_.acceptPaused(kAcceptPause);
    }
    if (accepted != sockets::Accepted::Connection) return;
    Connection connection;
    connection.info = GatewayInfo{nextKey_++, peer.socket, peer.address, peer.port};
    byFd_[peer.socket] = connection.info.key;
    const GatewayInfo info = connection.info;
    connections_.emplace(info.key, std::move(connection));
    if (events_.accepted) events_.accepted(info);
  }
}

void GatewayServer::OnReadable(int fd) {
  const GatewayKey key = KeyOfFd(fd);
  if (key == 0) return;
  uint8_t buffer[kMaxReply];
  Bytes reply;
  const bool waitingForThis = pending_.command != kNoCommand && pending_.gateway == key;
  bool gotBytes = false;
  bool failed = false;
  for (int i = 0; i < kReadsPerEvent; ++i) {
    const long n = sockets::ReceiveSome(fd, buffer, sizeof buffer);
    if (n < 0) {
      failed = true;  // the peer closed, or the connection failed
      break;
    }
    if (n == 0) break;  // nothing more for now
    gotBytes = true;
    if (waitingForThis && reply.size() < kMaxReply) {
      const size_t take = std::min(static_cast<size_t>(n), kMaxReply - reply.size());
      reply.insert(reply.end(), buffer, buffer + take);
    }
    if (static_cast<size_t>(n) < sizeof buffer) break;  // drained for now
  }
  if (gotBytes && waitingForThis && pending_.gateway == key) Finish(true, std::move(reply));
  if (failed) {
    Close(key);
    return;
  }
  if (gotBytes && events_.received && connections_.count(key)) events_.received(key);
}

GatewayServer::SendResult GatewayServer::Send(GatewayKey key, int command, const Bytes& request,
                                              Clock::time_point now) {
  if (Busy()) return SendResult::Busy;
  const auto it = connections_.find(key);
  if (it == connections_.end()) return SendResult::NoGateway;
  pending_ = Pending{command, key, now + kReplyTimeout};
  if (!sockets::SendWhole(it->second.info.fd, request.data(), request.size())) Finish(false, {});
  return SendResult::Sent;
}

std::optional<Clock::time_point> GatewayServer::Deadline() const {
  if (!Busy()) return std::nullopt;
  return pending_.deadline;
}

void GatewayServer::CheckDeadline(Clock::time_point now) {
  if (Busy() && now >= pending_.deadline) Finish(false, {});
}

void GatewayServer::Finish(bool answered, Bytes reply) {
  CommandReply result{pending_.command, pending_.gateway, answered, std::move(reply)};
  pending_ = Pending{};
  if (events_.finished) events_.finished(result);
}

void GatewayServer::PollOnce(std::chrono::milliseconds timeout, std::vector<pollfd>* extra) {
  std::vector<pollfd> fds;
  const size_t extraCount = extra ? extra->size() : 0;
  fds.reserve(extraCount + connections_.size() + 1);
  if (extra) fds.insert(fds.end(), extra->begin(), extra->end());
  const auto start = Clock::now();
  if (listener_ >= 0 && !AcceptPaused(start)) fds.push_back(sockets::Watch(listener_));
  for (const auto& [key, connection] : connections_) {
    fds.push_back(sockets::Watch(connection.info.fd));
  }
  auto wakeAt = Deadline();
  if (AcceptPaused(start) && (!wakeAt || acceptPausedUntil_ < *wakeAt)) wakeAt = acceptPausedUntil_;
  if (wakeAt) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*wakeAt - start);
    timeout = std::clamp(left, std::chrono::milliseconds(0), timeout);
  }
  const int ready = sockets::Poll(fds, static_cast<int>(timeout.count()));
  if (extra) std::copy_n(fds.begin(), extraCount, extra->begin());
  if (ready > 0) {
    for (size_t i = extraCount; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      if (sockets::SocketOf(fds[i]) == listener_) {
        OnListenerReadable();
      } else {
        OnReadable(sockets::SocketOf(fds[i]));  // reads, or learns of the error or hang-up
      }
    }
  }
  CheckDeadline();
}

}  // namespace gateway
