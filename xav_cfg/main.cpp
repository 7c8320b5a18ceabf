// XAV_Cfg: configures one XAV module over a serial port or over Ethernet.
#include <QApplication>

#include "app_info.h"
#include "message_boxes.h"
#include "xav_cfg_window.h"

int main(int argc, char** argv) {
  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("XAV_Cfg"),
                       QStringLiteral("Configures one XAV gateway module over a serial port or over Ethernet.\n"
                                      "Works in the folder it is started in, where the gateway platform's\n"
                                      "ruinet.exe must be for the Ethernet side."));
  if (const auto end = xav::answerBeforeWindow(parser, argc, argv)) return *end;
  QApplication app(argc, argv);
  if (const auto end = xav::parseCommandLine(parser, app.arguments())) return *end;
  xav::installMessageBoxes();
  xavcfg::XavCfgWindow window;
  if (!window.Form_Load()) return 0;
  window.show();
  return app.exec();
}
