#pragma once
// Driving XAVE's real window in tests: the window over a bench, its named
// controls, and clicks through QTest.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "bench_env.h"
#include "ethernet_pane.h"
#include "ip_change_dialog.h"
#include "xave_window.h"
#include "messages.h"
#include "profiles.h"
#include "utility_runner.h"

namespace xave::testing {

// A Config.csv as the generator writes it for the given entries.
inline QByteArray makeConfig(int protocol, const QString& plc, const QString& a, const QString& b,
                             const QString& title, const QString& tail = QString()) {
  gw::ConfigEntries e;
  e.protocol = protocol;
  e.title = title;
  e.plcAddress = plc;
  e.plcAddressValid = true;
  if (protocol == gw::kPccc) {
    e.fileNumber = a;
    e.baseElement = b;
  } else if (protocol == gw::kCip) {
    e.slot = a;
  } else {
    e.startRegister = a;
  }
  return gw::generateConfig(e, tail).bytes;
}

class XaveWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(env.problem().isEmpty()) << env.problem().toStdString(); }

  void TearDown() override {
    gw::sharedUtilityRunner().setLongWaitThreshold(gw::UtilityRunner::kDefaultLongWaitMs);
    if (window) window->close();
    window.reset();
    // Only loopback addresses of the bench were ever handed to ping.
    for (const QString& a : env.pingedAddresses()) EXPECT_TRUE(a.startsWith("127.0.0.")) << a.toStdString();
  }

  void start() {
    window = std::make_unique<XaveWindow>();
    ASSERT_TRUE(window->Form_Load());
    settle();  // the first scan
  }

  template <typename T>
  T* get(const char* name) const {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QLineEdit* box(const char* name) const { return get<QLineEdit>(name); }
  QListWidget* list() const { return get<QListWidget>("LV1"); }
  QRadioButton* option(int c) const { return get<QRadioButton>(QStringLiteral("optEthMode%1").arg(c).toLatin1()); }

  QStringList entries() const {
    QStringList out;
    for (int i = 0; i < list()->count(); ++i) out << list()->item(i)->text();
    return out;
  }
  bool listed(const QString& address) const {
    for (const QString& e : entries())
      if (e.startsWith(address + ",")) return true;
    return false;
  }

  // The operation a click or pick starts runs on the event loop: these
  // return once it has ended, as the operator sees the window come back.
  void settle() {
    ASSERT_TRUE(waitFor([&] { return !window->isWaiting(); }, 60000)) << "operation still running";
  }

  void click(const char* button) {
    settle();
    QPushButton* b = get<QPushButton>(button);
    ASSERT_TRUE(b->isEnabled()) << button;
    QTest::mouseClick(b, Qt::LeftButton);
    settle();
  }

  // Clicks the list entry of a module as the operator would.
  void pick(const QString& address) {
    ASSERT_TRUE(waitFor([&] { return listed(address) && !window->isWaiting(); })) << address.toStdString();
    for (int i = 0; i < list()->count(); ++i) {
      QListWidgetItem* item = list()->item(i);
      if (!item->text().startsWith(address + ",")) continue;
      list()->scrollToItem(item);
      QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(item).center());
      settle();
      return;
    }
  }

  void type(const char* name, const QString& text) {
    QLineEdit* b = box(name);
    b->selectAll();
    QTest::keyClick(b, Qt::Key_Delete);
    QTest::keyClicks(b, text);
  }

  // Acts on the IP change dialog as soon as it shows (the click that opens it
  // returns only once the change has ended).
  void whenDialogShows(std::function<void(IpChangeDialog*)> act) {
    auto* poll = new QTimer(window.get());
    poll->setInterval(30);
    QObject::connect(poll, &QTimer::timeout, [this, poll, act] {
      auto* d = window->findChild<IpChangeDialog*>();
      if (!d || !d->isVisible()) return;
      poll->stop();
      poll->deleteLater();
      act(d);
    });
    poll->start();
  }

  // Acts once pred holds, from the event loop (also while a click waits for
  // a utility); after giveUpMs without it, runs giveUp instead.
  void whenTrue(std::function<bool()> pred, std::function<void()> act, int giveUpMs = 8000,
                std::function<void()> giveUp = {}) {
    auto* poll = new QTimer(window.get());
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, clock, pred, act, giveUpMs, giveUp] {
      const bool held = pred();
      if (!held && clock->elapsed() < giveUpMs) return;
      poll->stop();
      poll->deleteLater();
      if (held) act();
      else if (giveUp) giveUp();
    });
    poll->start();
  }

  BenchEnv env;
  xav::MessageRecorder messages;
  std::unique_ptr<XaveWindow> window;
};

}  // namespace xave::testing
