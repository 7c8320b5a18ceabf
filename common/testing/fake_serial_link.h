#pragma once
// A serial link for tests: records what is written, lets the test feed
// received bytes, and can refuse to open.

#include <QList>

#include "serial_link.h"

namespace xav::testing {

class FakeSerialLink final : public SerialLink {
  Q_OBJECT
 public:
  using SerialLink::SerialLink;

  bool open(int comNumber) override {
    ++openCalls;
    openedPort = comNumber;
    open_ = openable;
    return open_;
  }
  void close() override { open_ = false; }
  bool isOpen() const override { return open_; }
  qint64 bytesWaiting() override { return input.size(); }
  void discardInput() override { input.clear(); }
  void write(const QByteArray& bytes) override {
    if (open_) writes.append(bytes);
  }
  QByteArray readAll() override {
    QByteArray out = input;
    input.clear();
    return out;
  }

  // Bytes arrive from the far end.
  void feed(const QByteArray& bytes) {
    input += bytes;
    emit dataArrived();
  }
  QByteArray written() const { return writes.join(); }

  bool openable = true;
  int openedPort = 0;
  int openCalls = 0;
  QByteArray input;
  QList<QByteArray> writes;

 private:
  bool open_ = false;
};

}  // namespace xav::testing
