#include "ip_change_dialog.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "commands.h"
#include "files.h"
#include "fs_tcp.h"
#include "message_boxes.h"
#include "processes.h"
#include "utility_wait.h"  // until this file drives sessions instead

namespace xave {

IpChangeDialog::IpChangeDialog(const QString& workDir, QWidget* owner) : QDialog(owner), workDir_(workDir) {
  setObjectName(QStringLiteral("frmTCP"));
  setWindowTitle(QStringLiteral("Change IP Address"));
  setModal(true);
  setFixedSize(400, 176);

  auto* label3 = new QLabel(QStringLiteral("Caution!! You are about to change access to the XAV."), this);
  label3->setObjectName(QStringLiteral("Label3"));
  label3->setGeometry(12, 10, 376, 34);
  label3->setWordWrap(true);
  QFont bold = label3->font();
  bold.setBold(true);
  label3->setFont(bold);

  auto* label1 = new QLabel(QStringLiteral("IP &Address"), this);
  label1->setObjectName(QStringLiteral("Label1"));
  label1->setGeometry(12, 52, 90, 22);
  addressBox_ = new QLineEdit(QStringLiteral("192.168.888.888"), this);
  addressBox_->setObjectName(QStringLiteral("txtIP"));
  addressBox_->setGeometry(110, 52, 170, 22);
  label1->setBuddy(addressBox_);

  auto* label2 = new QLabel(QStringLiteral("S&ubnet"), this);
  label2->setObjectName(QStringLiteral("Label2"));
  label2->setGeometry(12, 82, 90, 22);
  maskBox_ = new QLineEdit(QStringLiteral("255.255.255.255"), this);
  maskBox_->setObjectName(QStringLiteral("txtSubNet"));
  maskBox_->setGeometry(110, 82, 170, 22);
  label2->setBuddy(maskBox_);

  auto* change = new QPushButton(QStringLiteral("&Change"), this);
  change->setObjectName(QStringLiteral("cmdChange"));
  change->setGeometry(90, 128, 100, 30);
  change->setAutoDefault(false);
  auto* escape = new QPushButton(QStringLiteral("&Escape"), this);
  escape->setObjectName(QStringLiteral("cmdEscape"));
  escape->setGeometry(210, 128, 100, 30);
  escape->setAutoDefault(false);

  connect(change, &QPushButton::clicked, this, &IpChangeDialog::cmdChange_Click);
  // Escape hides the dialog; the fetched file stays as it was and nothing is sent.
  connect(escape, &QPushButton::clicked, this, &QDialog::reject);
}

void IpChangeDialog::showEvent(QShowEvent* event) {
  if (!centred_ && parentWidget()) {
    const QRect owner = parentWidget()->frameGeometry();
    move(owner.left() + owner.width() / 2 - width() / 2, owner.top() + owner.height() / 2 - height() / 2);
    centred_ = true;
  }
  QDialog::showEvent(event);
}

IpChangeDialog::Outcome IpChangeDialog::showFor(const QString& moduleIp) {
  moduleIp_ = moduleIp;
  heldLines_.clear();
  const QString path = QDir(workDir_).filePath(QStringLiteral("fs_tcp.ini"));
  // Only what this fetch brings may be shown and sent back: a file left by
  // an earlier fetch could belong to another module.
  QFile::remove(path);
  const QString fetch = gw::fetchNetworkSettingsCommand(moduleIp);
  if (!fetch.isEmpty() && gw::ShellAndWait(fetch, gw::kMinimizedNoFocus).interrupted()) {
    QFile::remove(path);
    return Outcome::Interrupted;
  }

  QByteArray bytes;
  const NetworkSettings settings =
      xav::readWholeFile(path, &bytes) ? parseNetworkSettings(bytes) : NetworkSettings{};
  if (!settings.usable) {
    xav::showMessage(parentWidget(), xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("The network settings of the XAV at ") + moduleIp +
                         QStringLiteral(" could not be read (fs_tcp.ini missing or incomplete).\r\n"
                                        "Nothing was changed."));
    return Outcome::Unreadable;
  }
  heldLines_ = settings.lines;
  addressBox_->setText(settings.ip);
  maskBox_->setText(settings.mask);
  addressBox_->setFocus();
  return exec() == QDialog::Accepted ? Outcome::Changed : Outcome::Escaped;
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
  if (gw::uploadNetworkSettingsCommand(moduleIp_).isEmpty()) return;  // showFor never opens for such an address
  QString error;
  if (!xav::writeWholeFile(QDir(workDir_).filePath(QStringLiteral("fs_tcp.ini")),
                           rewriteNetworkSettings(heldLines_, ip, mask), &error)) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("fs_tcp.ini could not be written: ") + error);
    return;
  }
  accept();
}

}  // namespace xave
