#include "utility_wait_panel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace xavcfg {

UtilityWaitPanel::UtilityWaitPanel(QWidget* parent, gw::UtilityRunner* runner)
    : QFrame(parent), runner_(runner ? *runner : gw::sharedUtilityRunner()) {
  setObjectName(QStringLiteral("fraUtilityWait"));
  setFrameShape(QFrame::StyledPanel);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 2, 6, 2);
  waitLabel_ = new QLabel(this);
  waitLabel_->setObjectName(QStringLiteral("lblUtilityWait"));
  waitLabel_->setWordWrap(true);
  cancelButton_ = new QPushButton(QStringLiteral("&Cancel"), this);
  cancelButton_->setObjectName(QStringLiteral("cmdCancelWait"));
  cancelButton_->setToolTip(QStringLiteral("End the utility; what it was doing to the module is then unknown"));
  layout->addWidget(waitLabel_, 1);
  layout->addWidget(cancelButton_);
  connect(cancelButton_, &QPushButton::clicked, this, &UtilityWaitPanel::cancel);
  connect(&runner_, &gw::UtilityRunner::waitingFor, this, [this](const gw::UtilityWait& w) { lastWait_ = w; });
  connect(&runner_, &gw::UtilityRunner::longWait, this, &UtilityWaitPanel::showWait);
  connect(&runner_, &gw::UtilityRunner::stillWaiting, this, &UtilityWaitPanel::showWait);
  connect(&runner_, &gw::UtilityRunner::busyChanged, this, [this](bool busy) {
    if (!busy) hide();
  });
}

QString UtilityWaitPanel::describe(const gw::UtilityWait& wait) {
  QString text = QStringLiteral("Waiting for ") + (wait.program.isEmpty() ? QStringLiteral("a utility") : wait.program);
  if (!wait.moduleAddress.isEmpty()) text += QStringLiteral(" (module ") + wait.moduleAddress + QLatin1Char(')');
  return text + QStringLiteral(": %1 s").arg(wait.elapsedSeconds);
}

void UtilityWaitPanel::showWait(const gw::UtilityWait& wait) {
  lastWait_ = wait;
  waitLabel_->setText(describe(wait));
  if (isVisible()) return;
  raise();
  show();
  cancelButton_->setFocus();
}

void UtilityWaitPanel::cancel() {
  runner_.cancel();
}

void UtilityWaitPanel::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    cancel();
    return;
  }
  QFrame::keyPressEvent(event);
}

}  // namespace xavcfg
