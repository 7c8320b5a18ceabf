// Grabs the History window and its comparison for the README and the user
// guide, over a scratch history of one module that was replaced:
//   history_screenshot HISTORY.png COMPARE.png
#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QTreeWidget>
#include <cstdio>

#include "app_info.h"
#include "history_window.h"
#include "profiles.h"

namespace {

QByteArray config(int protocol, const QString& plc, const QString& title) {
  gw::ConfigEntries e;
  e.protocol = protocol;
  e.plcAddress = plc;
  e.plcAddressValid = true;
  e.title = title;
  e.fileNumber = QStringLiteral("7");
  e.baseElement = QStringLiteral("0");
  return gw::generateConfig(e, QStringLiteral("//RVSIM_Captions\r\nPress feed")).bytes;
}

void keep(gw::OperationRecorder& r, gw::HistoryOperation op, const QString& tool, const QByteArray& file,
          const QDateTime& at, bool ok, const QString& outcome) {
  gw::HistoryEntry e;
  e.tool = tool;
  e.operation = op;
  e.moduleAddress = QStringLiteral("127.0.0.21");
  e.bridgeName = QStringLiteral("PRESS-1");
  e.config = file;
  e.time = at;
  e.succeeded = ok;
  e.outcome = outcome;
  r.history().record(e);
}

}  // namespace

int main(int argc, char** argv) {
  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("history_screenshot"),
                       QStringLiteral("Grabs the History window and its comparison over a scratch history."));
  parser.addPositionalArgument(QStringLiteral("HISTORY.png"), QStringLiteral("Picture of the History window."));
  parser.addPositionalArgument(QStringLiteral("COMPARE.png"), QStringLiteral("Picture of the comparison."));
  if (const auto end = xav::answerBeforeWindow(parser, argc, argv)) return *end;
  QApplication app(argc, argv);
  if (const auto end = xav::parseCommandLine(parser, app.arguments(), {.takesArguments = true})) return *end;
  if (argc < 3) {
    std::fprintf(stderr, "usage: history_screenshot HISTORY.png COMPARE.png\n");
    return 2;
  }
  QTemporaryDir data;
  gw::OperationRecorder recorder(QStringLiteral("XAVE"), data.path());
  const QDateTime day(QDate(2026, 11, 3), QTime(9, 12, 5), QTimeZone(3600));
  const QByteArray first = config(gw::kPccc, QStringLiteral("192.168.1.10"), QStringLiteral("Press line 1"));
  const QByteArray second = config(gw::kPccc, QStringLiteral("192.168.1.12"), QStringLiteral("Press line 1"));
  const QByteArray factory = config(gw::kModbusTcp, QStringLiteral("192.168.1.250"), QStringLiteral("factory"));
  const QString verified = QStringLiteral("Module holds the configuration sent");
  keep(recorder, gw::HistoryOperation::ReadBack, QStringLiteral("XAVE"), factory, day, true, QStringLiteral("read back"));
  keep(recorder, gw::HistoryOperation::Save, QStringLiteral("XAVE"), first, day.addSecs(95), true, verified);
  keep(recorder, gw::HistoryOperation::Verify, QStringLiteral("XAVE"), first, day.addSecs(120), true, verified);
  keep(recorder, gw::HistoryOperation::Save, QStringLiteral("xav-config"), second, day.addDays(12), true, verified);
  keep(recorder, gw::HistoryOperation::ReadBack, QStringLiteral("XAVE"), factory, day.addDays(40), true,
       QStringLiteral("read back (the spare, given the old address)"));

  gw::UtilityRunner runner;
  gw::HistoryWindow window(recorder, runner, data.path());
  window.showModule(QStringLiteral("127.0.0.21"), factory);
  window.show();
  auto* list = window.findChild<QTreeWidget*>(QStringLiteral("lstHistory"));
  list->topLevelItem(1)->setSelected(true);  // the last save of the failed module
  QTest::qWait(300);
  if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) return 1;

  QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdCompare")), Qt::LeftButton);
  auto* compare = window.findChild<QDialog*>(QStringLiteral("FrmCompare"));
  if (!compare) return 1;
  QTest::qWait(300);
  return compare->grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
