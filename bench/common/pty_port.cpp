#include "pty_port.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "platform.h"

namespace xav::bench {

PtyPort::~PtyPort() {
  if (!link_.isEmpty()) QFile::remove(link_);
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

bool PtyPort::create(QString* error) {
  char name[256] = {};
  struct termios raw;
  std::memset(&raw, 0, sizeof raw);
  cfmakeraw(&raw);
  cfsetispeed(&raw, B9600);
  cfsetospeed(&raw, B9600);
  if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
    if (error) *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  tcsetattr(master_, TCSANOW, &raw);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  slaveName_ = QString::fromLocal8Bit(name);
  return true;
}

bool PtyPort::linkAsCom(int n, QString* error) {
  const QString link = platform::comPortLinkPath(n);
  QDir().mkpath(QFileInfo(link).absolutePath());
  QFile::remove(link);
  if (!QFile::link(slaveName_, link)) {
    if (error) *error = QStringLiteral("cannot create the link %1").arg(link);
    return false;
  }
  link_ = link;
  return true;
}

QByteArray PtyPort::readAvailable() {
  QByteArray out;
  char buf[512];
  for (;;) {
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n > 0) {
      out.append(buf, n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  return out;
}

namespace {
void addNanos(timespec& t, long long ns) {
  t.tv_nsec += ns;
  while (t.tv_nsec >= 1000000000L) {
    t.tv_nsec -= 1000000000L;
    ++t.tv_sec;
  }
}

void writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      ::usleep(200);
    } else {
      return;
    }
  }
}
}  // namespace

void PtyPort::write(const QByteArray& bytes, bool paced, int baud) {
  if (master_ < 0 || bytes.isEmpty()) return;
  if (!paced || baud <= 0) {
    writeAll(master_, bytes.constData(), static_cast<size_t>(bytes.size()));
    return;
  }
  const long long byteNanos = 10LL * 1000000000LL / baud;
  timespec next;
  clock_gettime(CLOCK_MONOTONIC, &next);
  for (char c : bytes) {
    addNanos(next, byteNanos);  // the byte is on the line for 10 bit times
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
    }
    writeAll(master_, &c, 1);
  }
}

}  // namespace xav::bench
