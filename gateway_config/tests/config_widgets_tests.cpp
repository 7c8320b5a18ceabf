// The wait panel and the busy state both configuration windows use.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "busy_guard.h"
#include "sessions.h"
#include "wait_panel.h"

namespace {

gw::UtilityWait waitOf(const char* program, const char* address, int seconds) {
  gw::UtilityWait w;
  w.program = QString::fromLatin1(program);
  w.moduleAddress = QString::fromLatin1(address);
  w.elapsedSeconds = seconds;
  return w;
}

TEST(WaitPanel, ShowsOnlyPastTheThresholdAndHidesWhenTheRunnerIsIdle) {
  QWidget window;
  gw::UtilityRunner runner;
  gw::WaitPanel panel(runner, {QStringLiteral("fraWait"), QStringLiteral("lblWaiting"), QStringLiteral("cmdCancel")},
                      &window);
  window.show();
  EXPECT_EQ(panel.objectName(), "fraWait");
  EXPECT_EQ(panel.cancelButton()->objectName(), "cmdCancel");
  EXPECT_EQ(panel.cancelButton()->text(), "&Cancel");

  emit runner.busyChanged(true);
  emit runner.waitingFor(waitOf("ruinet", "127.0.0.5", 0));
  EXPECT_FALSE(panel.isVisible()) << "a run that has just started shows no wait";
  EXPECT_EQ(panel.lastWait().program, "ruinet");

  emit runner.longWait(waitOf("ruinet", "127.0.0.5", 5));
  EXPECT_TRUE(panel.isVisible());
  EXPECT_EQ(panel.label()->text(), "Waiting for ruinet (module 127.0.0.5): 5 s");
  emit runner.stillWaiting(waitOf("ruinet", "127.0.0.5", 6));
  EXPECT_EQ(panel.label()->text(), "Waiting for ruinet (module 127.0.0.5): 6 s");
  emit runner.busyChanged(false);
  EXPECT_FALSE(panel.isVisible());
  EXPECT_EQ(panel.lastWait().elapsedSeconds, 6) << "kept after the run";
}

TEST(WaitPanel, CancelAndEscapeRunTheWindowsCancelAndItsOwnWording) {
  QWidget window;
  gw::UtilityRunner runner;
  gw::WaitPanel panel(runner, {}, &window);
  EXPECT_EQ(panel.objectName(), "fraUtilityWait");
  int cancels = 0;
  panel.setCancelAction([&] { ++cancels; });
  panel.setDescription([](const gw::UtilityWait& w) { return QStringLiteral("still ") + w.program; });
  window.show();
  emit runner.longWait(waitOf("ping", "", 5));
  EXPECT_EQ(panel.label()->text(), "still ping");
  QTest::mouseClick(panel.cancelButton(), Qt::LeftButton);
  QTest::keyClick(&panel, Qt::Key_Escape);
  EXPECT_EQ(cancels, 2);
  EXPECT_EQ(gw::WaitPanel::describe(waitOf("", "", 1)), "Waiting for a utility: 1 s");
}

TEST(BusyState, NestedScopesAndASessionAreOneBusySpan) {
  gw::BusyState busy;
  QSignalSpy changes(&busy, &gw::BusyState::busyChanged);
  {
    gw::BusyGuard outer(busy);
    gw::BusyGuard inner(busy);
    EXPECT_TRUE(busy.isBusy());
  }
  EXPECT_FALSE(busy.isBusy());
  ASSERT_EQ(changes.size(), 2);
  EXPECT_TRUE(changes[0][0].toBool());
  EXPECT_FALSE(changes[1][0].toBool());
  busy.leave();  // one leave too many changes nothing
  EXPECT_EQ(changes.size(), 2);

  // A session holds it from its start until its finished(), which always
  // comes from the event loop (here: no address, so nothing is run).
  gw::UtilityRunner runner;
  gw::VerifySession verify(runner, QDir::tempPath());
  ASSERT_TRUE(verify.start(QStringLiteral("no address"), QByteArray("x")));
  busy.holdWhile(verify);
  EXPECT_TRUE(busy.isBusy());
  QSignalSpy finished(&verify, &gw::Session::finished);
  ASSERT_TRUE(finished.wait(10000));
  EXPECT_FALSE(busy.isBusy());
  // Held once only: a second run of the session is held anew.
  ASSERT_TRUE(verify.start(QStringLiteral("no address"), QByteArray("x")));
  ASSERT_TRUE(finished.wait(10000));
  EXPECT_FALSE(busy.isBusy());
}

}  // namespace
