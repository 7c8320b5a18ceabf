// Placeholder window until the tool's own window lands.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel window(QStringLiteral("XAVE Configuration V3.0.1"));
  window.setWindowTitle(QStringLiteral("XAVE Configuration V3.0.1"));
  window.show();
  return app.exec();
}
