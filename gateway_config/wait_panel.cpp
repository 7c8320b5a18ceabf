#include "wait_panel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace gw {

WaitPanel::WaitPanel(UtilityRunner& runner, const Names& names, QWidget* parent) : QFrame(parent), runner_(runner) {
  setObjectName(names.frame);
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);  // it may lie over other controls
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 2, 6, 2);
  waitLabel_ = new QLabel(this);
  waitLabel_->setObjectName(names.label);
  waitLabel_->setWordWrap(true);
  cancelButton_ = new QPushButton(QStringLiteral("&Cancel"), this);
  cancelButton_->setObjectName(names.cancel);
  cancelButton_->setAutoDefault(false);
  cancelButton_->setToolTip(QStringLiteral("End the utility; what it was doing to the module is then unknown"));
  layout->addWidget(waitLabel_, 1);
  layout->addWidget(cancelButton_);
  connect(cancelButton_, &QPushButton::clicked, this, &WaitPanel::cancel);
  connect(&runner_, &UtilityRunner::waitingFor, this, [this](const UtilityWait& w) { lastWait_ = w; });
  connect(&runner_, &UtilityRunner::longWait, this, &WaitPanel::showWait);
  connect(&runner_, &UtilityRunner::stillWaiting, this, [this](const UtilityWait& w) {
    lastWait_ = w;
    waitLabel_->setText(describe_ ? describe_(w) : describe(w));
  });
  connect(&runner_, &UtilityRunner::busyChanged, this, [this](bool busy) {
    if (!busy) hide();
  });
  hide();
}

QString WaitPanel::describe(const UtilityWait& wait) {
  QString text = QStringLiteral("Waiting for ") + (wait.program.isEmpty() ? QStringLiteral("a utility") : wait.program);
  if (!wait.moduleAddress.isEmpty()) text += QStringLiteral(" (module ") + wait.moduleAddress + QLatin1Char(')');
  return text + QStringLiteral(": %1 s").arg(wait.elapsedSeconds);
}

void WaitPanel::showWait(const UtilityWait& wait) {
  lastWait_ = wait;
  waitLabel_->setText(describe_ ? describe_(wait) : describe(wait));
  if (isVisible()) return;
  raise();
  show();
  cancelButton_->setFocus();
}

void WaitPanel::cancel() {
  if (cancelAction_) cancelAction_();
  else runner_.cancel();
}

void WaitPanel::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    cancel();
    return;
  }
  QFrame::keyPressEvent(event);
}

}  // namespace gw
