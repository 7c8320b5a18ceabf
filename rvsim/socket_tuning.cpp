#include "socket_tuning.h"

#if defined(Q_OS_LINUX)
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace rvsim {

void shortenKeepAlive(qintptr socketDescriptor) {
#if defined(Q_OS_LINUX)
  const int fd = static_cast<int>(socketDescriptor);
  const int idle = 10, interval = 5, count = 3;
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
#else
  Q_UNUSED(socketDescriptor);
#endif
}

}  // namespace rvsim
