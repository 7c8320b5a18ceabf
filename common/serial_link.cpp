#include "serial_link.h"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <QSignalBlocker>
#include <QSet>

#include "platform.h"

namespace xav {

QList<int> SerialLink::comNumbersToProbe() const {
  QList<int> all;
  for (int n = 1; n <= 16; ++n) all << n;
  return all;
}

QStringList listComPorts(SerialLink& link) {
  QStringList ports;
  for (int n : link.comNumbersToProbe()) {
    if (link.open(n)) ports << QStringLiteral("COM %1").arg(n);
    link.close();
  }
  return ports;
}

QtSerialLink::QtSerialLink(QObject* parent) : SerialLink(parent), port_(new QSerialPort(this)) {
  connect(port_, &QSerialPort::readyRead, this, &SerialLink::dataArrived);
  connect(port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
    if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError) return;
    // A read that finds the line hung up leaves no error number of its own,
    // so the system's text would name some earlier call.
    error_ = e == QSerialPort::ReadError ? QStringLiteral("the device was disconnected or cannot be read")
                                         : port_->errorString();
    // The device went away (adapter unplugged): a resource error, or a read
    // that fails or finds the line hung up. Close so that a later open
    // starts afresh, and tell the owner.
    if ((e == QSerialPort::ResourceError || e == QSerialPort::ReadError) && port_->isOpen()) {
      port_->close();
      emit failed(error_);
    }
  });
}

QtSerialLink::~QtSerialLink() = default;

QList<int> QtSerialLink::comNumbersToProbe() const {
  QSet<QString> listed;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) listed << info.portName() << info.systemLocation();
  QList<int> numbers;
  for (int n = 1; n <= 16; ++n) {
    const QString device = platform::comPortDevice(n);
    const bool mapped = !platform::kWindows && device == platform::comPortLinkPath(n);
    if (mapped || listed.contains(device)) numbers << n;
  }
  return numbers;
}

bool QtSerialLink::open(int comNumber) {
  if (port_->isOpen()) port_->close();
  const QString device = platform::comPortDevice(comNumber);
  if (device.isEmpty()) {
    error_ = QStringLiteral("no such port");
    return false;
  }
  port_->setPortName(device);
  port_->setBaudRate(QSerialPort::Baud9600);
  port_->setDataBits(QSerialPort::Data8);
  port_->setParity(QSerialPort::NoParity);
  port_->setStopBits(QSerialPort::OneStop);
  port_->setFlowControl(QSerialPort::NoFlowControl);
  if (!port_->open(QIODevice::ReadWrite)) {
    error_ = port_->errorString();
    return false;
  }
  error_.clear();
  return true;
}

void QtSerialLink::close() {
  if (port_->isOpen()) port_->close();
}

bool QtSerialLink::isOpen() const { return port_->isOpen(); }

qint64 QtSerialLink::bytesWaiting() { return port_->isOpen() ? port_->bytesAvailable() : 0; }

void QtSerialLink::discardInput() {
  if (!port_->isOpen()) return;
  port_->clear(QSerialPort::Input);
  port_->readAll();
}

void QtSerialLink::write(const QByteArray& bytes) {
  if (!port_->isOpen()) return;
  port_->write(bytes);
  port_->flush();
}

QByteArray QtSerialLink::readAll() {
  if (!port_->isOpen()) return {};
  {
    // Bytes the system holds but the port has not fetched yet are waiting
    // too; fetch them now, without a nested readyRead.
    const QSignalBlocker quiet(port_);
    port_->waitForReadyRead(0);
  }
  return port_->readAll();
}

}  // namespace xav
