// Placeholder window until the tool's own window lands.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel window(QStringLiteral("TVRNet Controller"));
  window.setWindowTitle(QStringLiteral("TVRNet Controller"));
  window.show();
  return app.exec();
}
