#include "server/gateway_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace gateway {

namespace {

void SetSocketOptions(int fd) {
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  const linger zero{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &zero, sizeof zero);
}

}  // namespace

GatewayServer::GatewayServer(Events events) : events_(std::move(events)) {}

GatewayServer::~GatewayServer() {
  // No callbacks into an owner that is being destroyed too.
  events_ = {};
  Stop();
}

GatewayServer::ListenResult GatewayServer::Listen(uint16_t port, const std::string& address,
                                                  std::string* detail) {
  if (listener_ >= 0) Stop();
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) {
    if (detail) *detail = "not an IPv4 address: " + address;
    return ListenResult::SocketFailed;
  }
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    if (detail) *detail = std::strerror(errno);
    return ListenResult::SocketFailed;
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
    return ListenResult::BindFailed;
  }
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
  port_ = ntohs(bound.sin_port);
  listener_ = fd;
  return ListenResult::Ok;
}

void GatewayServer::Stop() {
  if (listener_ >= 0) {
    close(listener_);
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
  close(fd);
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
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const int fd = accept4(listener_, reinterpret_cast<sockaddr*>(&peer), &length,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
    // A failed accept is ignored: would-block ends the round, a peer that gave up is skipped.
    // Without descriptors or memory the connection stays queued and the listener readable, so
    // accepting rests a while instead of spinning on it.
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        acceptPausedUntil_ = now + kAcceptPause;
        if (events_.acceptPaused) events_.acceptPaused(kAcceptPause);
      }
      return;
    }
    SetSocketOptions(fd);
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    Connection connection;
    connection.info = GatewayInfo{nextKey_++, fd, text, ntohs(peer.sin_port)};
    byFd_[fd] = connection.info.key;
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
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      failed = errno != EAGAIN && errno != EWOULDBLOCK;
      break;
    }
    if (n == 0) {
      failed = true;  // the peer closed
      break;
    }
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
  const ssize_t sent = send(it->second.info.fd, request.data(), request.size(), MSG_NOSIGNAL);
  if (sent != static_cast<ssize_t>(request.size())) Finish(false, {});
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
  if (listener_ >= 0 && !AcceptPaused(start)) fds.push_back({listener_, POLLIN, 0});
  for (const auto& [key, connection] : connections_) fds.push_back({connection.info.fd, POLLIN, 0});
  auto wakeAt = Deadline();
  if (AcceptPaused(start) && (!wakeAt || acceptPausedUntil_ < *wakeAt)) wakeAt = acceptPausedUntil_;
  if (wakeAt) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*wakeAt - start);
    timeout = std::clamp(left, std::chrono::milliseconds(0), timeout);
  }
  const int ready = poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
  if (extra) std::copy_n(fds.begin(), extraCount, extra->begin());
  if (ready > 0) {
    for (size_t i = extraCount; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == listener_) {
        OnListenerReadable();
      } else {
        OnReadable(fds[i].fd);  // reads, or learns of the error or hang-up
      }
    }
  }
  CheckDeadline();
}

}  // namespace gateway
