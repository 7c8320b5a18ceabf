// Grabs XAVE's window for the README: run in a working directory prepared
// like the demo's.  xave_screenshot MAIN.png DIALOG.png ADDRESS
#include <QApplication>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "app_info.h"
#include "ip_change_dialog.h"
#include "xave_window.h"

int main(int argc, char** argv) {
  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("xave_screenshot"),
                       QStringLiteral("Grabs XAVE's window and its IP-change dialog, run in a working folder\n"
                                      "prepared like the demo's."));
  parser.addPositionalArgument(QStringLiteral("MAIN.png"), QStringLiteral("Picture of the main window."));
  parser.addPositionalArgument(QStringLiteral("DIALOG.png"), QStringLiteral("Picture of the IP-change dialog."));
  parser.addPositionalArgument(QStringLiteral("ADDRESS"), QStringLiteral("Module to pick."));
  if (const auto end = xav::answerBeforeWindow(parser, argc, argv)) return *end;
  QApplication app(argc, argv);
  if (const auto end = xav::parseCommandLine(parser, app.arguments(), {.takesArguments = true})) return *end;
  QApplication::setApplicationName(QStringLiteral("XAVE"));
  if (argc < 4) {
    std::fprintf(stderr, "usage: xave_screenshot MAIN.png DIALOG.png ADDRESS\n");
    return 2;
  }
  const QString address = QString::fromLocal8Bit(argv[3]);
  xave::XaveWindow window;
  if (!window.Form_Load()) return 1;
  QTest::qWait(1500);
  auto* list = window.findChild<QListWidget*>(QStringLiteral("LV1"));
  for (int i = 0; i < list->count(); ++i) {
    if (!list->item(i)->text().startsWith(address + QLatin1Char(','))) continue;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(i)).center());
    break;
  }
  QTest::qWait(300);
  if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) return 1;

  bool grabbed = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* d = window.findChild<xave::IpChangeDialog*>();
    if (!d || !d->isVisible()) return;
    poll.stop();
    grabbed = d->grab().save(QString::fromLocal8Bit(argv[2]));
    d->reject();
  });
  poll.start(50);
  QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdToolbox")), Qt::LeftButton);
  QTest::qWait(2500);
  window.close();
  return grabbed ? 0 : 1;
}
