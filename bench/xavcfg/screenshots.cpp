// xavcfg-screenshots DIR: renders XAV_Cfg's start dialog and its window in
// both connection types (serial after a query of a DF1 module, Ethernet with
// two listed modules, one picked) into PNG files in DIR. Runs on the
// offscreen platform; talks to no port and no network.
#include <QApplication>
#include <QCommandLineParser>
#include <QComboBox>
#include <QDir>
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

class ShowcaseNetwork : public xavcfg::NetworkHost {
 public:
  void broadcastPing() override {}
  QString addressTable() override {
    return QStringLiteral(
        "\r\nInterface: (neighbour table)\r\n  Internet Address      Physical Address      Type\r\n"
        "  127.0.0.21            00-50-4e-00-00-01     dynamic\r\n"
        "  127.0.0.22            00-40-9d-00-00-02     dynamic\r\n");
  }
  bool answersPing(const QString&) override { return true; }
  bool fetchConfiguration(const QString& address) override {
    gw::ConfigEntries e;
    e.protocol = gw::kModbusTcp;
    e.plcAddress = QStringLiteral("127.0.0.1");
    e.plcAddressValid = true;
    e.title = address.endsWith(QLatin1String("21")) ? QStringLiteral("Press line 4") : QStringLiteral("Kiln conveyor");
    return xav::writeWholeFile(QDir::current().filePath(QStringLiteral("Config.csv")), gw::generateConfig(e, {}).bytes);
  }
};

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
  xav::writeWholeFile(QDir(work.path()).filePath(QStringLiteral("ruinet.exe")), "stand-in");
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
    ShowcaseNetwork net;
    xavcfg::XavCfgWindowOptions o;
    o.link = &link;
    o.network = &net;
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
    ShowcaseNetwork net;
    xavcfg::XavCfgWindowOptions o;
    o.link = &link;
    o.network = &net;
    o.chooseConnectionType = [](QWidget*) { return xavcfg::ConnectionTypeDialog::kEthernet; };
    xavcfg::XavCfgWindow w(o);
    if (!w.Form_Load()) return 1;
    w.findChild<QListWidget*>(QStringLiteral("LV1"))->setCurrentRow(0);
    w.LV1_Click();
    QCoreApplication::processEvents();
    ok &= save(w, QDir(out).filePath(QStringLiteral("xav_cfg_ethernet.png")));
  }
  return ok ? 0 : 1;
}
