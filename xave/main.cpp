// XAVE: the Ethernet-only configuration tool for XAV gateway modules.
#include <QApplication>

#include "message_boxes.h"
#include "xave_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("XAVE"));
  xav::installMessageBoxes();
  xave::XaveWindow window;
  if (!window.Form_Load()) return 1;
  return app.exec();
}
