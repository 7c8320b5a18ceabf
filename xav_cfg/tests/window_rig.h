// XAV_Cfg's window on a fake serial link and a fake network, with the
// stand-in loader in its working folder.
#pragma once

#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "fake_serial_link.h"
#include "messages.h"
#include "test_support.h"
#include "xav_cfg_window.h"

namespace xavcfg::testing {

struct WindowRig {
  ScratchDir scratch;
  xav::testing::FakeSerialLink link;
  FakeNetworkHost host;
  xav::MessageRecorder messages;
  std::unique_ptr<XavCfgWindow> w;

  // type: the connection chosen at start; dataFolder: where history and log go.
  explicit WindowRig(int type, const QString& dataFolder = QString()) {
    writeRecordingLoader(scratch.work());
    XavCfgWindowOptions o;
    o.link = &link;
    o.dataFolder = dataFolder;
    o.chooseConnectionType = [type](QWidget*) { return type; };
    w = std::make_unique<XavCfgWindow>(o);
  }
  // The load, and the discovery and read-back it starts.
  bool load() {
    const bool loaded = w->Form_Load();
    return QTest::qWaitFor([&] { return !w->busy(); }, 30000) && loaded;
  }
  // Connect, then answer the first query with the reply (padded to its 44
  // characters).
  void connectWith(const QByteArray& reply) {
    QSignalSpy ended(w.get(), &XavCfgWindow::queryEnded);
    w->cmdConnect_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return link.writes.count("??") >= 1; }, 10000));
    link.feed(reply.leftJustified(44, ' '));
    ASSERT_TRUE(ended.wait(10000));
  }
};

}  // namespace xavcfg::testing
