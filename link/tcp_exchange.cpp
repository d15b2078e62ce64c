#include "link/tcp_exchange.h"

#include "link/socket_shim.h"
#include "link/traffic.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace devlink {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kConnectTimeoutMs = 5000;
constexpr int kReadableTimeoutMs = 1000;
constexpr int kAttempts = 3;
constexpr size_t kPieceSize = 512;
constexpr auto kPiecePause = std::chrono::milliseconds(10);
constexpr size_t kDrainSize = 100;

void SleepMs(int32_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Connects within the time-out; on failure says why (refused, unreachable, too slow).
bool Connect(net::SocketHandle socket, const TcpTarget& target, std::string& why) {
  bool pending = false;
  if (!net::StartConnect(socket, target.ip, target.port, pending, why)) {
    if (why.empty()) why = "invalid address " + target.ip + ":" + std::to_string(target.port);
    return false;
  }
  if (!pending) return true;
  if (!net::WaitWritable(socket, kConnectTimeoutMs)) {
    why = "connect timed out after " + std::to_string(kConnectTimeoutMs / 1000) + " s";
    return false;
  }
  why = net::ConnectResult(socket);
  return why.empty();
}

// Receives one burst: pieces keep coming only while each one arrives within the pause after
// the previous one. Returns the number of bytes kept (at most `capacity`).
uint32_t ReceiveBurst(net::SocketHandle fd, uint8_t* reply, uint32_t capacity, Clock::time_point& lastByte) {
  uint8_t piece[kPieceSize];
  uint32_t received = 0;
  while (true) {
    const long n = net::ReceiveSome(fd, piece, sizeof(piece));
    if (n <= 0) break;
    lastByte = Clock::now();
    const uint32_t room = capacity - received;
    const uint32_t kept = std::min(static_cast<uint32_t>(n), room);
    std::memcpy(reply + received, piece, kept);
    received += kept;
    std::this_thread::sleep_for(kPiecePause);
    if (static_cast<uint32_t>(n) >= room) break;
  }
  return received;
}

// Fast mode: reads as pieces arrive until the reply is whole, the buffer is full or `delayMs` has
// passed. Returns the number of bytes kept.
uint32_t ReceiveUntilComplete(net::SocketHandle fd, uint8_t* reply, uint32_t capacity,
                              const ReplyCompletion& completion, int32_t delayMs,
                              Clock::time_point& lastByte) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(delayMs, 0));
  uint32_t received = 0;
  while (received < capacity && !completion.IsComplete(ByteView(reply, received))) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || !net::WaitReadable(fd, static_cast<int>(left.count()))) break;
    const long n = net::ReceiveSome(fd, reply + received, capacity - received);
    if (n <= 0) break;
    received += static_cast<uint32_t>(n);
    lastByte = Clock::now();
  }
  return received;
}

// Why a received reply was not accepted, in the words of the command checks.
std::string TcpRefusal(ByteView reply, int64_t least, FrameFamily family, bool checkSum,
                       int32_t delayMs) {
  if (reply.empty()) return NoReplyDetail(delayMs);
  if (static_cast<int64_t>(reply.size()) < least) {
    return CheckDetail(reply.size(), FrameCheck::Length, family,
                       "at least " + std::to_string(least));
  }
  const bool startOk = family == FrameFamily::Modbus ||
                       reply[0] == (family == FrameFamily::Sum ? kSumReplyStart : kXorStart);
  if (!startOk) return CheckDetail(reply.size(), FrameCheck::StartByte, family);
  (void)checkSum;
  return CheckDetail(reply.size(), FrameCheck::Checksum, family);
}

class Socket {
 public:
  Socket() : socket_(net::OpenTcpSocket()) {}
  ~Socket() { net::CloseSocket(socket_, connected_); }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  net::SocketHandle fd() const { return socket_; }
  void MarkConnected() { connected_ = true; }

 private:
  net::SocketHandle socket_;
  bool connected_ = false;
};

}  // namespace

int TcpExchange(const TcpTarget& target, const uint8_t* request, int32_t requestLength,
                uint8_t* reply, uint32_t& replyCount, bool checkSum,
                std::optional<int32_t> minimum, FrameFamily family, TcpReport* report) {
  TcpReport ignored;
  TcpReport& told = report != nullptr ? *report : ignored;
  const uint32_t capacity = replyCount;
  const int64_t least = minimum ? std::max<int32_t>(*minimum, 0) : int64_t{capacity};
  const size_t sendLength = request ? static_cast<size_t>(std::max<int32_t>(requestLength, 0)) : 0;

  Socket socket;
  if (socket.fd() == net::kNoSocket) {
    told.detail = net::SocketFailureText();
    return 0;
  }
  if (!Connect(socket.fd(), target, told.detail)) return 0;
  socket.MarkConnected();

  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    // One send call per attempt; a peer that has gone away never raises a signal.
    if (sendLength > 0) net::SendSome(socket.fd(), request, sendLength);
    const auto sent = Clock::now();
    auto lastByte = sent;
    if (reply == nullptr) {
      SleepMs(target.delayMs);
      return 1;
    }
    std::memset(reply, 0, capacity);
    uint32_t received = 0;
    if (target.fast) {
      received = ReceiveUntilComplete(socket.fd(), reply, capacity, target.completion,
                                      target.delayMs, lastByte);
    } else {
      SleepMs(target.delayMs);
    }
    // After the delay: what else arrives in one burst (a device slower than the delay still
    // gets its second to answer, as without fast mode).
    bool readable = received > 0;
    if (!target.completion.IsComplete(ByteView(reply, received)) || !target.fast) {
      if (received < capacity &&
          net::WaitReadable(socket.fd(), received > 0 ? 0 : kReadableTimeoutMs)) {
        readable = true;
        received += ReceiveBurst(socket.fd(), reply + received, capacity - received, lastByte);
      }
    }
    told.reply.assign(reply, reply + received);
    told.lastByte.reset();
    if (received > 0) {
      told.lastByte = std::chrono::duration_cast<std::chrono::microseconds>(lastByte - sent);
    }
    const ByteView got(reply, received);
    if (received >= least && ReplyPassesFamilyCheck(got, family, checkSum)) {
      replyCount = received;
      told.detail.clear();
      return 1;
    }
    told.detail = TcpRefusal(got, least, family, checkSum, target.delayMs) + " (" +
                  std::to_string(attempt + 1) + (attempt == 0 ? " attempt)" : " attempts)");
    if (readable) {
      uint8_t drain[kDrainSize];
      net::ReceiveSome(socket.fd(), drain, sizeof(drain));
    }
  }
  return 0;
}

}  // namespace devlink
