#pragma once
// The few socket calls the TCP channel needs, on BSD sockets (socket_shim_posix.cpp) or on
// Winsock 2.2 (socket_shim_win32.cpp). A socket is held as an integer wide enough for either.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace devlink::net {

using SocketHandle = std::intptr_t;
constexpr SocketHandle kNoSocket = -1;

// Starts the socket library once (Winsock 2.2 on Windows; nothing to do on POSIX). False when it
// cannot start. Every call here that makes a socket does this itself.
bool StartSockets();

// A TCP socket in non-blocking mode, not inherited by child processes; kNoSocket on failure
// (SocketFailureText then says why).
SocketHandle OpenTcpSocket();
std::string SocketFailureText();
// Shuts both directions down (when connected) and closes.
void CloseSocket(SocketHandle socket, bool connected);

// Starts connecting to an IPv4 address ("127.0.0.1") and port. Returns true when connected at
// once or the connection is under way (then WaitWritable and ConnectResult tell); false when the
// connect failed at once (`why` says why) or the address is no address (`why` stays empty).
bool StartConnect(SocketHandle socket, const std::string& ip, int port, bool& pending,
                  std::string& why);
// The outcome of a pending connect once the socket is writable: empty when connected, else why
// ("connection refused", "network unreachable", ...).
std::string ConnectResult(SocketHandle socket);

// A dotted IPv4 address ("127.0.0.1").
bool IsIpv4Address(const std::string& ip);

// A non-blocking listener on 127.0.0.1:port (0: any free port, then `bound` says which);
// kNoSocket with `why` on failure.
SocketHandle ListenOnLoopback(uint16_t port, uint16_t& bound, std::string& why);
// A connection waiting on the listener, non-blocking with Nagle off (pieces of a reply leave
// when written); kNoSocket when none is waiting.
SocketHandle AcceptConnection(SocketHandle listener);
// The last send or recv failed only because it would have had to wait.
bool LastCallWouldBlock();

// Waits until the socket is readable (or writable), at most timeoutMs; restarts after signals.
bool WaitReadable(SocketHandle socket, int timeoutMs);
bool WaitWritable(SocketHandle socket, int timeoutMs);
// Waits at most timeoutMs until any of `sockets` is readable or closed (poll or WSAPoll: no
// limit on their number); `ready` then tells which. False on a timeout or a failure.
bool WaitAnyReadable(const std::vector<SocketHandle>& sockets, int timeoutMs,
                     std::vector<bool>& ready);
// One send or recv call; never raises SIGPIPE. The count of bytes, 0 at the end, <0 on error.
long SendSome(SocketHandle socket, const void* bytes, size_t count);
long ReceiveSome(SocketHandle socket, void* bytes, size_t capacity);

}  // namespace devlink::net
