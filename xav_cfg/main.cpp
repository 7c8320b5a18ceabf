// XAV_Cfg: configures one XAV module over a serial port or over Ethernet.
#include <QApplication>

#include "message_boxes.h"
#include "xav_cfg_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("XAV_Cfg"));
  xav::installMessageBoxes();
  xavcfg::XavCfgWindow window;
  if (!window.Form_Load()) return 0;
  window.show();
  return app.exec();
}
