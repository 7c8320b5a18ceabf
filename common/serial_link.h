#pragma once
// The few serial-port operations the tools use, behind an interface so that
// the protocol logic can be driven by a fake in tests. Line settings are
// always 9600 baud, 8 data bits, no parity, 1 stop bit.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QSerialPort;

namespace xav {

class SerialLink : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  ~SerialLink() override = default;

  // Opens "COM n" at 9600,N,8,1; false when it cannot be opened.
  virtual bool open(int comNumber) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // Bytes received and not yet read.
  virtual qint64 bytesWaiting() = 0;
  // Throws away everything received so far.
  virtual void discardInput() = 0;
  virtual void write(const QByteArray& bytes) = 0;
  // Everything waiting; empties the receive buffer.
  virtual QByteArray readAll() = 0;
  // Text of the last failure (open or I/O), for messages.
  virtual QString lastError() const { return {}; }
  // The COM numbers (1..16) worth trying to open; all of them unless the
  // link knows which devices exist.
  virtual QList<int> comNumbersToProbe() const;

 signals:
  // New bytes were received.
  void dataArrived();
  // The port failed while open (for example the adapter was unplugged).
  void failed(const QString& reason);
};

// The real port, opened by the name platform::comPortDevice gives.
class QtSerialLink final : public SerialLink {
  Q_OBJECT
 public:
  explicit QtSerialLink(QObject* parent = nullptr);
  ~QtSerialLink() override;

  bool open(int comNumber) override;
  void close() override;
  bool isOpen() const override;
  qint64 bytesWaiting() override;
  void discardInput() override;
  void write(const QByteArray& bytes) override;
  QByteArray readAll() override;
  QString lastError() const override { return error_; }
  // Those whose device the system lists as a serial port, and every link of
  // the user's port map (pseudo-terminals and udev names are not listed).
  QList<int> comNumbersToProbe() const override;

 private:
  QSerialPort* port_;
  QString error_;
};

// The port box's entries: "COM n" for each number the link offers to probe
// and can open, in order; each is closed again.
QStringList listComPorts(SerialLink& link);

}  // namespace xav
