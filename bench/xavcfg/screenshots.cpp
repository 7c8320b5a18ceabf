// xavcfg-screenshots DIR: renders XAV_Cfg's start dialog and its window in
// both connection types (serial after a query of a DF1 module, Ethernet with
// two listed modules, one picked) into PNG files in DIR. Runs on the
// offscreen platform; talks to no port and no network.
#include <QApplication>
#include <QCommandLineParser>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include "app_info.h"
#include "connection_type_dialog.h"
#include "fake_serial_link.h"
#include "files.h"
#include "messages.h"
#include "profiles.h"
#include "xav_cfg_window.h"

namespace {

// Stand-ins for what the window runs, in the working directory and first on
// PATH: two modules that answer, each with a Modbus/TCP configuration.
// Nothing is sent anywhere.
void writeShowcaseUtilities(const QString& dir) {
  auto script = [&](const QString& name, const QByteArray& text) {
    const QString path = QDir(dir).filePath(name);
    xav::writeWholeFile(path, text);
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
  };
  script(QStringLiteral("ping"), "#!/bin/sh\necho \"1 packets transmitted, 1 received, 0% packet loss\"\n");
  script(QStringLiteral("ip"),
         "#!/bin/sh\necho \"127.0.0.21 dev lo lladdr 00:50:4e:00:00:01 REACHABLE\"\n"
         "echo \"127.0.0.22 dev lo lladdr 00:40:9d:00:00:02 REACHABLE\"\n");
  for (const char* address : {"127.0.0.21", "127.0.0.22"}) {
    gw::ConfigEntries e;
    e.protocol = gw::kModbusTcp;
    e.plcAddress = QStringLiteral("127.0.0.1");
    e.plcAddressValid = true;
    e.title = QLatin1String(address).endsWith(QLatin1String("21")) ? QStringLiteral("Press line 4")
                                                                    : QStringLiteral("Kiln conveyor");
    xav::writeWholeFile(QDir(dir).filePath(QStringLiteral("served-%1.csv").arg(QLatin1String(address))),
                        gw::generateConfig(e, {}).bytes);
  }
  script(QStringLiteral("ruinet.exe"),
         "#!/bin/sh\ncase \"$*\" in *-u1*) cp \"served-$2.csv\" Config.csv ;; esac\nexit 0\n");
  qputenv("PATH", dir.toLocal8Bit() + ':' + qgetenv("PATH"));
}

void waitUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(QWidget& w, const QString& path) {
  const bool ok = w.grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("xavcfg-screenshots"),
                       QStringLiteral("Renders the pictures of XAV_Cfg's windows (offscreen, no port, no network)."));
  parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("Folder for the pictures."));
  if (const auto end = xav::answerBeforeWindow(parser, argc, argv)) return *end;
  QApplication app(argc, argv);
  if (const auto end = xav::parseCommandLine(parser, app.arguments(), {.takesArguments = true})) return *end;
  QApplication::setApplicationName(QStringLiteral("XAV_Cfg"));
  if (argc < 2) {
    std::fprintf(stderr, "usage: xavcfg-screenshots DIR\n");
    return 2;
  }
  const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QDir().mkpath(out);
  QTemporaryDir work;
  QDir::setCurrent(work.path());
  writeShowcaseUtilities(work.path());
  xav::MessageRecorder quiet;
  bool ok = true;

  {
    xavcfg::ConnectionTypeDialog dialog(QStringLiteral("XAV Configuration V2.04"));
    dialog.show();
    QCoreApplication::processEvents();
    ok &= save(dialog, QDir(out).filePath(QStringLiteral("xav_cfg_start.png")));
  }
  {
    xav::testing::FakeSerialLink link;
    xavcfg::XavCfgWindowOptions o;
    o.link = &link;
    o.dataFolder = QDir(work.path()).filePath(QStringLiteral("data"));  // no history of the pictures' modules
    o.chooseConnectionType = [](QWidget*) { return xavcfg::ConnectionTypeDialog::kSerial; };
    xavcfg::XavCfgWindow w(o);
    if (!w.Form_Load()) return 1;
    w.findChild<QComboBox*>(QStringLiteral("cmbComm"))->setCurrentIndex(2);
    w.cmdConnect_Click();
    waitUntil([&] { return link.writes.count("??") > 0; }, 3000);
    link.feed(QByteArray("5" "00020" "01" "09600" "012").leftJustified(44, ' '));
    waitUntil([&] { return !w.querying(); }, 3000);
    QCoreApplication::processEvents();
    ok &= save(w, QDir(out).filePath(QStringLiteral("xav_cfg_serial.png")));
  }
  {
    xav::testing::FakeSerialLink link;
    xavcfg::XavCfgWindowOptions o;
    o.link = &link;
    o.dataFolder = QDir(work.path()).filePath(QStringLiteral("data"));  // no history of the pictures' modules
    o.chooseConnectionType = [](QWidget*) { return xavcfg::ConnectionTypeDialog::kEthernet; };
    xavcfg::XavCfgWindow w(o);
    if (!w.Form_Load()) return 1;
    waitUntil([&] { return !w.busy(); }, 10000);
    w.findChild<QListWidget*>(QStringLiteral("LV1"))->setCurrentRow(0);
    w.LV1_Click();
    waitUntil([&] { return !w.busy(); }, 10000);
    QCoreApplication::processEvents();
    ok &= save(w, QDir(out).filePath(QStringLiteral("xav_cfg_ethernet.png")));
  }
  return ok ? 0 : 1;
}
