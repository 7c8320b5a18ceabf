// TVR_Polmon: scans and polls the TVR drive network on a serial port.
#include <QApplication>
#include <QStyleFactory>

#include "app_info.h"
#include "polmon_window.h"
#include "message_boxes.h"

int main(int argc, char** argv) {
  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("TVR_Polmon"),
                       QStringLiteral("Scans and polls the TVR drive network on a serial port, sends move\n"
                                      "requests, resets and random moves, and logs every fault to Polmon.dbg\n"
                                      "in the folder it is started in."));
  if (const auto end = xav::answerBeforeWindow(parser, argc, argv)) return *end;
  const bool userStyle = xav::styleChosenByUser(xav::argumentsOf(argc, argv));
  QApplication app(argc, argv);
  if (const auto end = xav::parseCommandLine(parser, app.arguments())) return *end;
  xav::installMessageBoxes();
  // A style that honours the colours the grid paints its buttons with,
  // unless the user chose one (-style, QT_STYLE_OVERRIDE).
  QStyle* fusion = userStyle ? nullptr : QStyleFactory::create(QStringLiteral("Fusion"));
  if (fusion) QApplication::setStyle(fusion);
  polmon::PolmonWindow window;
  QObject::connect(&window, &polmon::PolmonWindow::exitRequested, &app, &QApplication::quit);
  window.show();
  return app.exec();
}
