// RVSIM: plays the PLC of a Modbus/TCP installation on a bench. It takes the
// gateway's connection on TCP port 502 and serves the register image.
#include <QApplication>

#include "form1.h"
#include "message_boxes.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("RVSIM"));
  xav::installMessageBoxes();
  rvsim::Form1 form;
  // Queued: an end asked for during start-up takes effect once the loop runs.
  QObject::connect(&form, &rvsim::Form1::programEnd, &app, [](int code) { QCoreApplication::exit(code); },
                   Qt::QueuedConnection);
  form.show();
  return app.exec();
}
