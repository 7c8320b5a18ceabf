// Placeholder window until the tool's own window lands.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel window(QStringLiteral("XAV Configuration V2.04"));
  window.setWindowTitle(QStringLiteral("XAV Configuration V2.04"));
  window.show();
  return app.exec();
}
