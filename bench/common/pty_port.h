#pragma once
// A pseudo-terminal whose other end stands in for a PC serial port, for the
// bench simulators of serial devices. The device side is the master; the
// tool opens the slave through the "COM n" link in the port map.

#include <QByteArray>
#include <QString>

namespace xav::bench {

class PtyPort {
 public:
  PtyPort() = default;
  ~PtyPort();
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;

  // Opens a pseudo-terminal in raw mode (no echo, no line editing).
  bool create(QString* error);
  // Links configDir()/ports/comN to the slave, replacing an older link, so
  // the tools open it as "COM n". The link is removed again on destruction.
  bool linkAsCom(int n, QString* error);

  int masterFd() const { return master_; }
  QString slaveName() const { return slaveName_; }
  QString linkPath() const { return link_; }

  // Reads what the tool has sent, without blocking.
  QByteArray readAvailable();
  // Sends bytes to the tool. Paced: one byte every 10 bit times at the baud
  // rate (a steady schedule, so the line rate is exact over long replies).
  void write(const QByteArray& bytes, bool paced, int baud = 9600);

 private:
  int master_ = -1;
  int slave_ = -1;  // held open so the master never sees a hang-up
  QString slaveName_;
  QString link_;
};

}  // namespace xav::bench
