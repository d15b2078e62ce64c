#pragma once
// The socket calls of the gateway server, one file per platform: BSD sockets
// (gateway_server_posix.cpp) or Winsock 2.2 (gateway_server_win32.cpp). A socket is held as an
// int on both (Winsock's handles are small numbers, as OpenSSL and Qt's notifiers rely on).
#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>
#endif

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "server/gateway_server.h"

namespace gateway::sockets {

// A non-blocking listener on `address` (dotted IPv4) and `port` with TCP_NODELAY and a zero linger time; `bound`
// says the port (when 0 was asked for).
GatewayServer::ListenResult Listen(const std::string& address, uint16_t port, int& listener,
                                   uint16_t& bound, std::string* detail);

enum class Accepted {
  Connection,  // `peer` is set
  Retry,       // interrupted, or a peer that gave up: try the next
  NoRoom,      // out of descriptors or memory: the connection stays queued
  None,        // nothing waiting
};
struct Peer {
  int socket = -1;
  std::string address;
  uint16_t port = 0;
};
// One waiting connection, non-blocking, with the listener's options.
Accepted Accept(int listener, Peer& peer);

// One read: the count of bytes, 0 when nothing more is there for now, <0 when the peer closed or
// the connection failed.
long ReceiveSome(int socket, uint8_t* buffer, size_t size);
// One send call, without SIGPIPE: whether all of `size` bytes were taken.
bool SendWhole(int socket, const uint8_t* bytes, size_t size);
void Close(int socket);

pollfd Watch(int socket);
inline int SocketOf(const pollfd& watched) { return static_cast<int>(watched.fd); }
// poll or WSAPoll: the count of sockets ready, 0 on a time-out, <0 on a failure.
int Poll(std::vector<pollfd>& watched, int timeoutMs);

}  // namespace gateway::sockets
