// XAVE: the Ethernet-only configuration tool for XAV gateway modules.
#include <QApplication>

#include "app_info.h"
#include "message_boxes.h"
#include "xave_window.h"

int main(int argc, char** argv) {
  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("XAVE"),
                       QStringLiteral("Finds XAV gateway modules on the Ethernet network, reads and saves their\n"
                                      "configuration and changes their IP address. Works in the folder it is\n"
                                      "started in, which must hold the gateway platform's ruinet.exe and\n"
                                      "ruiping.exe and be writable."));
  if (const auto end = xav::answerBeforeWindow(parser, argc, argv)) return *end;
  QApplication app(argc, argv);
  if (const auto end = xav::parseCommandLine(parser, app.arguments())) return *end;
  xav::installMessageBoxes();
  xave::XaveWindow window;
  if (!window.Form_Load()) return 1;
  return app.exec();
}
