// The socket calls of the TCP channel on Winsock 2.2. Winsock is started once, on the first
// socket, and stays up for the life of the process.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <mutex>

#include "link/socket_shim.h"

namespace devlink::net {

namespace {

std::string ConnectErrorText(int error) {
  switch (error) {
    case WSAECONNREFUSED: return "connection refused";
    case WSAENETUNREACH: return "network unreachable";
    case WSAEHOSTUNREACH: return "host unreachable";
    case WSAETIMEDOUT: return "connect timed out";
    default: return "connect failed: Winsock error " + std::to_string(error);
  }
}

// select() for one socket; a pending connect that failed shows in the exception set.
bool WaitFor(SocketHandle socket, bool write, int timeoutMs) {
  const SOCKET s = static_cast<SOCKET>(socket);
  fd_set ready;
  fd_set failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(s, &ready);
  FD_SET(s, &failed);
  const int ms = std::max(timeoutMs, 0);
  timeval wait{ms / 1000, (ms % 1000) * 1000};
  const int n = ::select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &wait);
  return n > 0;
}

bool ToAddress(const std::string& ip, int port, sockaddr_in& address) {
  address = {};
  address.sin_family = AF_INET;
  if (port <= 0 || port > 65535 || ::inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1) {
    return false;
  }
  address.sin_port = htons(static_cast<u_short>(port));
  return true;
}

}  // namespace

bool StartSockets() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] {
    WSADATA data;
    started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  });
  return started;
}

SocketHandle OpenTcpSocket() {
  if (!StartSockets()) return kNoSocket;
  // Sockets from WSASocket with no inherit flag stay out of child processes.
  const SOCKET s =
      ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return kNoSocket;
  u_long on = 1;
  if (::ioctlsocket(s, FIONBIO, &on) != 0) {
    ::closesocket(s);
    return kNoSocket;
  }
  return static_cast<SocketHandle>(s);
}

std::string SocketFailureText() {
  return "no socket: Winsock error " + std::to_string(::WSAGetLastError());
}

void CloseSocket(SocketHandle socket, bool connected) {
  if (socket == kNoSocket) return;
  const SOCKET s = static_cast<SOCKET>(socket);
  if (connected) ::shutdown(s, SD_BOTH);
  ::closesocket(s);
}

bool IsIpv4Address(const std::string& ip) {
  sockaddr_in address;
  return ToAddress(ip, 1, address);
}

SocketHandle ListenOnLoopback(uint16_t port, uint16_t& bound, std::string& why) {
  const SocketHandle listener = OpenTcpSocket();
  if (listener == kNoSocket) {
    why = SocketFailureText();
    return kNoSocket;
  }
  const SOCKET s = static_cast<SOCKET>(listener);
  // A second program on the same port is refused, as on Linux.
  BOOL exclusive = TRUE;
  ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof exclusive);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  int length = sizeof address;
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(s, 16) != 0 || ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    why = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": Winsock error " +
          std::to_string(::WSAGetLastError());
    ::closesocket(s);
    return kNoSocket;
  }
  bound = ntohs(address.sin_port);
  return listener;
}

SocketHandle AcceptConnection(SocketHandle listener) {
  const SOCKET s = ::accept(static_cast<SOCKET>(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) return kNoSocket;
  // An accepted socket inherits the listener's non-blocking mode; set it all the same.
  u_long on = 1;
  ::ioctlsocket(s, FIONBIO, &on);
  BOOL noDelay = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof noDelay);
  return static_cast<SocketHandle>(s);
}

bool LastCallWouldBlock() {
  const int error = ::WSAGetLastError();
  return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

bool StartConnect(SocketHandle socket, const std::string& ip, int port, bool& pending,
                  std::string& why) {
  pending = false;
  sockaddr_in address;
  if (!ToAddress(ip, port, address)) return false;
  if (::connect(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr*>(&address),
                sizeof(address)) == 0) {
    return true;
  }
  const int error = ::WSAGetLastError();
  if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS) {
    why = ConnectErrorText(error);
    return false;
  }
  pending = true;
  return true;
}

std::string ConnectResult(SocketHandle socket) {
  int error = 0;
  int length = sizeof(error);
  if (::getsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_ERROR,
                   reinterpret_cast<char*>(&error), &length) != 0) {
    error = ::WSAGetLastError();
  }
  return error == 0 ? std::string() : ConnectErrorText(error);
}

bool WaitReadable(SocketHandle socket, int timeoutMs) { return WaitFor(socket, false, timeoutMs); }
bool WaitWritable(SocketHandle socket, int timeoutMs) { return WaitFor(socket, true, timeoutMs); }

bool WaitAnyReadable(const std::vector<SocketHandle>& sockets, int timeoutMs,
                     std::vector<bool>& ready) {
  // WSAPoll is given the open sockets only (an entry of kNoSocket is passed over, as poll does).
  std::vector<WSAPOLLFD> fds;
  std::vector<size_t> index;
  for (size_t i = 0; i < sockets.size(); ++i) {
    if (sockets[i] == kNoSocket) continue;
    fds.push_back({static_cast<SOCKET>(sockets[i]), POLLRDNORM, 0});
    index.push_back(i);
  }
  ready.assign(sockets.size(), false);
  if (fds.empty()) {
    ::Sleep(static_cast<DWORD>(std::max(timeoutMs, 0)));
    return false;
  }
  if (::WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), std::max(timeoutMs, 0)) <= 0) {
    return false;
  }
  for (size_t k = 0; k < fds.size(); ++k) ready[index[k]] = fds[k].revents != 0;
  return true;
}

long SendSome(SocketHandle socket, const void* bytes, size_t count) {
  return ::send(static_cast<SOCKET>(socket), static_cast<const char*>(bytes),
                static_cast<int>(std::min<size_t>(count, 0x7fffffff)), 0);
}

long ReceiveSome(SocketHandle socket, void* bytes, size_t capacity) {
  return ::recv(static_cast<SOCKET>(socket), static_cast<char*>(bytes),
                static_cast<int>(std::min<size_t>(capacity, 0x7fffffff)), 0);
}

}  // namespace devlink::net
