// XAV_Cfg: configures one XAV module over a serial port or over Ethernet.
#include <QApplication>

#include "frm_xav.h"
#include "message_boxes.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("XAV_Cfg"));
  xav::installMessageBoxes();
  xavcfg::FrmXAV window;
  if (!window.Form_Load()) return 0;
  window.show();
  return app.exec();
}
