// XAVE: the Ethernet-only configuration tool for XAV gateway modules.
#include <QApplication>

#include "frmxav.h"
#include "message_boxes.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("XAVE"));
  xav::installMessageBoxes();
  xave::FrmXAV window;
  if (!window.Form_Load()) return 1;
  return app.exec();
}
