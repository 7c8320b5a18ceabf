#include "ip_change_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "commands.h"
#include "message_boxes.h"

namespace xave {

IpChangeDialog::IpChangeDialog(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmTCP"));
  setWindowTitle(QStringLiteral("Change IP Address"));
  setModal(true);

  auto* label3 = new QLabel(QStringLiteral("Caution!! You are about to change access to the XAV."), this);
  label3->setObjectName(QStringLiteral("Label3"));
  label3->setWordWrap(true);
  QFont bold = label3->font();
  bold.setBold(true);
  label3->setFont(bold);

  auto* label1 = new QLabel(QStringLiteral("IP &Address"), this);
  label1->setObjectName(QStringLiteral("Label1"));
  addressBox_ = new QLineEdit(QStringLiteral("192.168.888.888"), this);
  addressBox_->setObjectName(QStringLiteral("txtIP"));
  label1->setBuddy(addressBox_);

  auto* label2 = new QLabel(QStringLiteral("S&ubnet"), this);
  label2->setObjectName(QStringLiteral("Label2"));
  maskBox_ = new QLineEdit(QStringLiteral("255.255.255.255"), this);
  maskBox_->setObjectName(QStringLiteral("txtSubNet"));
  label2->setBuddy(maskBox_);

  auto* change = new QPushButton(QStringLiteral("&Change"), this);
  change->setObjectName(QStringLiteral("cmdChange"));
  change->setAutoDefault(false);
  auto* escape = new QPushButton(QStringLiteral("&Escape"), this);
  escape->setObjectName(QStringLiteral("cmdEscape"));
  escape->setAutoDefault(false);

  // Room for a dotted address in the boxes at any font: about the design's 170 px at 8 pt.
  const int boxWidth = fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) * 3 / 2;
  addressBox_->setMinimumWidth(boxWidth);
  maskBox_->setMinimumWidth(boxWidth);

  auto* fields = new QGridLayout;
  fields->addWidget(label1, 0, 0);
  fields->addWidget(addressBox_, 0, 1);
  fields->addWidget(label2, 1, 0);
  fields->addWidget(maskBox_, 1, 1);
  fields->setColumnStretch(2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(change);
  buttons->addSpacing(16);
  buttons->addWidget(escape);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label3);
  layout->addLayout(fields);
  layout->addSpacing(8);
  layout->addLayout(buttons);

  connect(change, &QPushButton::clicked, this, &IpChangeDialog::cmdChange_Click);
  // Escape (the button, the key or the window's close) sends nothing.
  connect(escape, &QPushButton::clicked, this, &QDialog::reject);
  connect(this, &QDialog::rejected, this, [this] { answer(false); });
}

void IpChangeDialog::showEvent(QShowEvent* event) {
  if (!centred_ && parentWidget()) {
    const QRect owner = parentWidget()->frameGeometry();
    move(owner.left() + owner.width() / 2 - width() / 2, owner.top() + owner.height() / 2 - height() / 2);
    centred_ = true;
  }
  QDialog::showEvent(event);
}

void IpChangeDialog::ask(const QString& address, const QString& mask, Answer answer) {
  answer_ = std::move(answer);
  addressBox_->setText(address);
  maskBox_->setText(mask);
  open();
  addressBox_->setFocus();
}

void IpChangeDialog::answer(bool change, const QString& address, const QString& mask) {
  auto a = std::move(answer_);
  answer_ = nullptr;
  if (a) a(change, address, mask);
}

void IpChangeDialog::cmdChange_Click() {
  // A value the module cannot use would cut it off the network: refuse it
  // before anything is written. What is written is the normal form: a
  // leading zero would make "011" octal to some readers.
  const QString ip = gw::normalAddress(addressBox_->text());
  const QString mask = gw::normalAddress(maskBox_->text());
  if (ip.isEmpty()) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("Enter the IP address as four numbers from 0 to 255 separated by dots."));
    addressBox_->setFocus();
    return;
  }
  if (mask.isEmpty()) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("Enter the subnet mask as four numbers from 0 to 255 separated by dots."));
    maskBox_->setFocus();
    return;
  }
  // Answered before the dialog closes, so its rejected() cannot answer too.
  answer(true, ip, mask);
  accept();
}

}  // namespace xave
