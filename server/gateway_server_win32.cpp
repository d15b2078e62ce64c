// The gateway server's socket calls on Winsock 2.2, started (once, by the link's socket calls) on
// the first listener.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "link/socket_shim.h"
#include "server/gateway_socket.h"

namespace gateway::sockets {

namespace {

std::string ErrorText(int error) { return "Winsock error " + std::to_string(error); }

void SetSocketOptions(SOCKET s) {
  const BOOL on = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  const linger zero{1, 0};
  ::setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&zero), sizeof zero);
}

bool MakeNonBlocking(SOCKET s) {
  u_long on = 1;
  return ::ioctlsocket(s, FIONBIO, &on) == 0;
}

}  // namespace

GatewayServer::ListenResult Listen(const std::string& address, uint16_t port, int& listener,
                                   uint16_t& bound, std::string* detail) {
  sockaddr_in where{};  // the address is a dotted IPv4 one (checked by the caller)
  where.sin_family = AF_INET;
  where.sin_port = htons(port);
  ::inet_pton(AF_INET, address.c_str(), &where.sin_addr);
  // Not inherited by child processes, as SOCK_CLOEXEC on Linux.
  const SOCKET s = devlink::net::StartSockets() ? ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                                 WSA_FLAG_NO_HANDLE_INHERIT)
                                  : INVALID_SOCKET;
  if (s == INVALID_SOCKET || !MakeNonBlocking(s)) {
    if (detail) *detail = ErrorText(::WSAGetLastError());
    if (s != INVALID_SOCKET) ::closesocket(s);
    return GatewayServer::ListenResult::SocketFailed;
  }
  SetSocketOptions(s);
  // A second listener on a port in use is refused, as on Linux (Winsock's SO_REUSEADDR would
  // let it take the port over instead).
  const BOOL exclusive = TRUE;
  ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof exclusive);
  if (::bind(s, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 ||
      ::listen(s, SOMAXCONN) != 0) {
    if (detail) *detail = ErrorText(::WSAGetLastError());
    ::closesocket(s);
    return GatewayServer::ListenResult::BindFailed;
  }
  sockaddr_in local{};
  int length = sizeof local;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&local), &length);
  bound = ntohs(local.sin_port);
  listener = static_cast<int>(s);
  return GatewayServer::ListenResult::Ok;
}

Accepted Accept(int listener, Peer& peer) {
  sockaddr_in address{};
  int length = sizeof address;
  const SOCKET s =
      ::accept(static_cast<SOCKET>(listener), reinterpret_cast<sockaddr*>(&address), &length);
  if (s == INVALID_SOCKET) {
    const int error = ::WSAGetLastError();
    if (error == WSAEINTR || error == WSAECONNRESET) return Accepted::Retry;
    if (error == WSAEMFILE || error == WSAENOBUFS) return Accepted::NoRoom;
    return Accepted::None;
  }
  // An accepted socket takes the listener's non-blocking mode; set it all the same.
  MakeNonBlocking(s);
  SetSocketOptions(s);
  char text[INET_ADDRSTRLEN] = "";
  ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  peer = Peer{static_cast<int>(s), text, ntohs(address.sin_port)};
  return Accepted::Connection;
}

long ReceiveSome(int socket, uint8_t* buffer, size_t size) {
  while (true) {
    const int n = ::recv(static_cast<SOCKET>(socket), reinterpret_cast<char*>(buffer),
                         static_cast<int>(size), 0);
    if (n > 0) return n;
    if (n == 0) return -1;  // the peer closed
    const int error = ::WSAGetLastError();
    if (error == WSAEINTR) continue;
    return error == WSAEWOULDBLOCK ? 0 : -1;
  }
}

bool SendWhole(int socket, const uint8_t* bytes, size_t size) {
  return ::send(static_cast<SOCKET>(socket), reinterpret_cast<const char*>(bytes),
                static_cast<int>(size), 0) == static_cast<int>(size);
}

void Close(int socket) { ::closesocket(static_cast<SOCKET>(socket)); }

pollfd Watch(int socket) {
  pollfd watched{};
  watched.fd = static_cast<SOCKET>(socket);
  watched.events = POLLRDNORM;
  return watched;
}

int Poll(std::vector<pollfd>& watched, int timeoutMs) {
  if (watched.empty()) {
    ::Sleep(static_cast<DWORD>(timeoutMs > 0 ? timeoutMs : 0));
    return 0;
  }
  return ::WSAPoll(watched.data(), static_cast<ULONG>(watched.size()), timeoutMs);
}

}  // namespace gateway::sockets
