// The scanner's windows under every appearance a desktop may hand them
// (fonts of 9, 11 and 14 pt, a dark palette; scales 1.0 and 1.5 by the test
// runner): no text clipped, no controls overlapping, a minimum size that
// fits 900 x 500, readable text on every fixed background.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "fake_serial_link.h"
#include "held_clock.h"
#include "layout_check.h"
#include "polmon_window.h"

using namespace polmon;
using polmon::testing::HeldClock;
using xav::testing::FakeSerialLink;

namespace {

// A window after a sweep that found A (in position, a duct count), B (moving
// at duct 0: Reset) and C (another letter), with the duct panel open.
class Shown {
 public:
  Shown() {
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit());
    PollEngine& e = window.engine();
    e.setEarliestReplyNs(0);
    e.setLogPath(dir.filePath("Polmon.dbg"));
    e.setReplyTimeoutMs(20);
    clock.install(e);
    QObject::connect(&e, &PollEngine::frameSent, &window, [this](const QByteArray& f) {
      static const QMap<QByteArray, QByteArray> replies{
          {"AS", "P4\r"}, {"Ad", "D12\r"}, {"BS", "M0\r"}, {"Bd", "D9\r"}, {"CS", "E3\r"}, {"Cd", "D5\r"}};
      if (replies.contains(f)) clock.answer(&window, link, replies[f]);
    });
    window.show();
  }
  bool scan() {
    window.findChild<QPushButton*>("cmdScan")->click();
    return QTest::qWaitFor([&] { return window.engine().polling(); }, 10000);
  }

  QTemporaryDir dir;
  HeldClock clock;
  FakeSerialLink link;
  PolmonWindow window{&link};
};

std::string problems(QWidget* window) {
  return xav::testing::describe(xav::testing::checkLayout(window)).join('\n').toStdString();
}

}  // namespace

TEST(PolmonLayout, EveryWindowFitsEveryAppearance) {
  for (const xav::testing::Appearance& a : xav::testing::standardAppearances()) {
    SCOPED_TRACE(qPrintable(xav::testing::appearanceLabel(a)));
    xav::testing::ScopedAppearance appearance(a);
    Shown s;
    ASSERT_TRUE(s.scan());
    s.window.engine().editRequest(3, "4");  // a request being typed: cyan
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.window.findChild<QPushButton*>("cmdRnd(1)")->text() == "Reset"; }, 10000));
    EXPECT_EQ(problems(&s.window), "");
    // The duct panel opens in its own place.
    s.window.engine().editAddress(5, "F");
    s.window.engine().pressRowButton(5);
    EXPECT_EQ(problems(&s.window), "");
    s.window.engine().enterDuctCount("5");
    for (const char* button : {"cmdStatistics", "cmdTimeline"}) {
      s.window.findChild<QPushButton*>(button)->click();
      const QString name = button == QByteArray("cmdStatistics") ? "frmStatistics" : "frmTimeline";
      QWidget* w = s.window.findChild<QWidget*>(name);
      ASSERT_NE(w, nullptr) << button;
      EXPECT_EQ(problems(w), "") << button;
    }
  }
}
