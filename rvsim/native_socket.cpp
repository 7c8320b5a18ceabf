#include "native_socket.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace rvsim::native {

#ifdef Q_OS_WIN

void prepareConnection(qintptr descriptor) {
  const SOCKET s = static_cast<SOCKET>(descriptor);
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  const BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
}

qint64 receive(qintptr descriptor, char* data, qint64 max) {
  const int n = ::recv(static_cast<SOCKET>(descriptor), data, static_cast<int>(max), 0);
  if (n >= 0) return n;
  return WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : kFailed;
}

qint64 send(qintptr descriptor, const char* data, qint64 size) {
  const int n = ::send(static_cast<SOCKET>(descriptor), data, static_cast<int>(size), 0);
  if (n >= 0) return n;
  return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : kFailed;
}

bool peerHasClosed(qintptr descriptor) {
  char byte;
  const int n = ::recv(static_cast<SOCKET>(descriptor), &byte, 1, MSG_PEEK);
  return n == 0 || (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK);
}

QHostAddress peerAddress(qintptr descriptor) {
  sockaddr_storage address{};
  int length = sizeof address;
  if (getpeername(static_cast<SOCKET>(descriptor), reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
  QHostAddress peer(reinterpret_cast<const sockaddr*>(&address));
  bool isV4 = false;
  const quint32 v4 = peer.toIPv4Address(&isV4);
  return isV4 ? QHostAddress(v4) : peer;
}

void closeDescriptor(qintptr descriptor) { closesocket(static_cast<SOCKET>(descriptor)); }

#else

void prepareConnection(qintptr descriptor) {
  const int fd = static_cast<int>(descriptor);
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
#ifdef TCP_KEEPIDLE
  const int idle = 10, interval = 5, count = 3;
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
#endif
}

qint64 receive(qintptr descriptor, char* data, qint64 max) {
  for (;;) {
    const ssize_t n = ::recv(static_cast<int>(descriptor), data, static_cast<size_t>(max), 0);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? kWouldBlock : kFailed;
  }
}

qint64 send(qintptr descriptor, const char* data, qint64 size) {
#ifdef MSG_NOSIGNAL
  const int flags = MSG_NOSIGNAL;  // a gone peer is an error, not a signal that ends the program
#else
  const int flags = 0;
#endif
  for (;;) {
    const ssize_t n = ::send(static_cast<int>(descriptor), data, static_cast<size_t>(size), flags);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : kFailed;
  }
}

bool peerHasClosed(qintptr descriptor) {
#ifdef POLLRDHUP
  pollfd p{static_cast<int>(descriptor), POLLRDHUP, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
#else
  char byte;
  const ssize_t n = ::recv(static_cast<int>(descriptor), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
#endif
}

QHostAddress peerAddress(qintptr descriptor) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getpeername(static_cast<int>(descriptor), reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
  QHostAddress peer(reinterpret_cast<const sockaddr*>(&address));
  bool isV4 = false;
  const quint32 v4 = peer.toIPv4Address(&isV4);
  return isV4 ? QHostAddress(v4) : peer;
}

void closeDescriptor(qintptr descriptor) { ::close(static_cast<int>(descriptor)); }

#endif

}  // namespace rvsim::native
