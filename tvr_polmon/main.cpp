// TVR_Polmon: scans and polls the TVR drive network on a serial port.
#include <QApplication>
#include <QStyleFactory>

#include "polmon_window.h"
#include "message_boxes.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("TVR_Polmon"));
  xav::installMessageBoxes();
  // A style that honours the colours the grid paints its buttons with.
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
  polmon::PolmonWindow window;
  QObject::connect(&window, &polmon::PolmonWindow::exitRequested, &app, &QApplication::quit);
  window.show();
  return app.exec();
}
