// Loaded with LD_PRELOAD into a tool started for a screenshot, it hands the
// application a dark desktop's palette, as a dark theme would, with no change
// to the tool. The palette is set when the first widget is polished: only
// then is the application fully built.
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include "dark_palette.h"

namespace {

class DarkPalette : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!done_ && event->type() == QEvent::Polish && watched->isWidgetType() &&
        qobject_cast<QApplication*>(QCoreApplication::instance())) {
      done_ = true;
      QApplication::setPalette(xav::testing::darkPalette());
    }
    return false;
  }

 private:
  bool done_ = false;
};

void install() {
  QCoreApplication* app = QCoreApplication::instance();
  app->installEventFilter(new DarkPalette(app));
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(install)
