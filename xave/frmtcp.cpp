#include "frmtcp.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "commands.h"
#include "files.h"
#include "fs_tcp.h"
#include "messages.h"
#include "processes.h"

namespace xave {

FrmTCP::FrmTCP(const QString& workDir, QWidget* owner) : QDialog(owner), workDir_(workDir) {
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
  txtIP_ = new QLineEdit(QStringLiteral("192.168.888.888"), this);
  txtIP_->setObjectName(QStringLiteral("txtIP"));
  txtIP_->setGeometry(110, 52, 170, 22);
  label1->setBuddy(txtIP_);

  auto* label2 = new QLabel(QStringLiteral("S&ubnet"), this);
  label2->setObjectName(QStringLiteral("Label2"));
  label2->setGeometry(12, 82, 90, 22);
  txtSubNet_ = new QLineEdit(QStringLiteral("255.255.255.255"), this);
  txtSubNet_->setObjectName(QStringLiteral("txtSubNet"));
  txtSubNet_->setGeometry(110, 82, 170, 22);
  label2->setBuddy(txtSubNet_);

  auto* change = new QPushButton(QStringLiteral("&Change"), this);
  change->setObjectName(QStringLiteral("cmdChange"));
  change->setGeometry(90, 128, 100, 30);
  change->setAutoDefault(false);
  auto* escape = new QPushButton(QStringLiteral("&Escape"), this);
  escape->setObjectName(QStringLiteral("cmdEscape"));
  escape->setGeometry(210, 128, 100, 30);
  escape->setAutoDefault(false);

  connect(change, &QPushButton::clicked, this, &FrmTCP::cmdChange_Click);
  // Escape hides the dialog; the fetched file stays as it was and nothing is sent.
  connect(escape, &QPushButton::clicked, this, &QDialog::reject);
}

void FrmTCP::showEvent(QShowEvent* event) {
  if (!centred_ && parentWidget()) {
    const QRect owner = parentWidget()->frameGeometry();
    move(owner.left() + owner.width() / 2 - width() / 2, owner.top() + owner.height() / 2 - height() / 2);
    centred_ = true;
  }
  QDialog::showEvent(event);
}

void FrmTCP::showFor(const QString& moduleIp) {
  moduleIp_ = moduleIp;
  heldLines_.clear();
  const QString path = QDir(workDir_).filePath(QStringLiteral("fs_tcp.ini"));
  // Only what this fetch brings may be shown and sent back: a file left by
  // an earlier fetch could belong to another module.
  QFile::remove(path);
  const QString fetch = gw::fetchNetworkSettingsCommand(moduleIp);
  if (!fetch.isEmpty()) gw::ShellAndWait(fetch, gw::kMinimizedNoFocus);

  QByteArray bytes;
  const NetworkSettings settings =
      xav::readWholeFile(path, &bytes) ? parseNetworkSettings(bytes) : NetworkSettings{};
  if (!settings.usable) {
    xav::showMessage(parentWidget(), xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("The network settings of the XAV at ") + moduleIp +
                         QStringLiteral(" could not be read (fs_tcp.ini missing or incomplete).\r\n"
                                        "Nothing was changed."));
    return;
  }
  heldLines_ = settings.lines;
  txtIP_->setText(settings.ip);
  txtSubNet_->setText(settings.mask);
  txtIP_->setFocus();
  exec();
}

void FrmTCP::cmdChange_Click() {
  const QString ip = txtIP_->text();
  const QString mask = txtSubNet_->text();
  // A value the module cannot use would cut it off the network: refuse it
  // before anything is written.
  if (!gw::isDottedIPv4(ip)) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("Enter the IP address as four numbers from 0 to 255 separated by dots."));
    txtIP_->setFocus();
    return;
  }
  if (!gw::isDottedIPv4(mask)) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("Enter the subnet mask as four numbers from 0 to 255 separated by dots."));
    txtSubNet_->setFocus();
    return;
  }
  const QString upload = gw::uploadNetworkSettingsCommand(moduleIp_);
  if (upload.isEmpty()) return;  // showFor never opens the dialog for such an address
  QString error;
  if (!xav::writeWholeFile(QDir(workDir_).filePath(QStringLiteral("fs_tcp.ini")),
                           rewriteNetworkSettings(heldLines_, ip, mask), &error)) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("fs_tcp.ini could not be written: ") + error);
    return;
  }
  gw::ShellAndWait(upload, gw::kNormalNoFocus);
  accept();
}

}  // namespace xave
