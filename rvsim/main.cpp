// RVSIM: plays the PLC of a Modbus/TCP installation on a bench. It takes the
// gateway's connection on TCP port 502 and serves the register image.
#include <QApplication>

#include "app_info.h"
#include "form1.h"
#include "message_boxes.h"

int main(int argc, char** argv) {
  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("RVSIM"),
                       QStringLiteral("Plays the PLC of a Modbus/TCP installation on a bench: takes the\n"
                                      "gateway's connection on TCP port 502, shows the 20 positions it writes\n"
                                      "and answers its reads with the 20 requests typed in the window."));
  if (const auto end = xav::answerBeforeWindow(parser, argc, argv)) return *end;
  QApplication app(argc, argv);
  if (const auto end = xav::parseCommandLine(parser, app.arguments())) return *end;
  xav::installMessageBoxes();
  rvsim::Form1 form;
  // Queued: an end asked for during start-up takes effect once the loop runs.
  QObject::connect(&form, &rvsim::Form1::programEnd, &app, [](int code) { QCoreApplication::exit(code); },
                   Qt::QueuedConnection);
  form.show();
  return app.exec();
}
