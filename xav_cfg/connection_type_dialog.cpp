#include "connection_type_dialog.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "discovery.h"
#include "message_boxes.h"
#include "processes.h"

namespace xavcfg {

namespace {
QPushButton* makeButton(QWidget* parent, const QString& caption, const char* name) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}
}  // namespace

ConnectionTypeDialog::ConnectionTypeDialog(const QString& mainCaption, QWidget* parent)
    : QDialog(parent), mainCaption_(mainCaption) {
  setObjectName(QStringLiteral("frmSelect"));
  setWindowTitle(QStringLiteral("Configuration"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  questionLabel_ = new QLabel(QStringLiteral("Select a XAV configuration method"), this);
  questionLabel_->setObjectName(QStringLiteral("Label1"));
  questionLabel_->setAlignment(Qt::AlignCenter);
  ethernetButton_ = makeButton(this, QStringLiteral("&Ethernet Configuration"), "cmdEthernet");
  serialButton_ = makeButton(this, QStringLiteral("&Serial Configuration"), "cmdSerial");
  exitButton_ = makeButton(this, QStringLiteral("E&xit"), "cmdExit");
  layout->addWidget(questionLabel_);
  layout->addWidget(ethernetButton_);
  layout->addWidget(serialButton_);
  layout->addWidget(exitButton_);
  setMinimumWidth(300);
  connect(ethernetButton_, &QPushButton::clicked, this, &ConnectionTypeDialog::cmdEthernet_Click);
  connect(serialButton_, &QPushButton::clicked, this, &ConnectionTypeDialog::cmdSerial_Click);
  connect(exitButton_, &QPushButton::clicked, this, &ConnectionTypeDialog::cmdExit_Click);
}

void ConnectionTypeDialog::showEvent(QShowEvent* event) {
  setWindowTitle(mainCaption_);  // Form_Activate
  QDialog::showEvent(event);
}

void ConnectionTypeDialog::cmdEthernet_Click() {
  ConnectionType = kEthernet;
  if (!loaderPresent()) {
    xav::showMessage(this, xav::MessageIcon::None, QString(),
                     QStringLiteral("Ruinet.exe not found in the current directory\r\n") +
                         QDir::toNativeSeparators(QDir::currentPath()),
                     gw::startupAdvice({QStringLiteral("RuiNet.exe")}));
    ConnectionType = kEndProgram;
    reject();
    return;
  }
  accept();
}

void ConnectionTypeDialog::cmdSerial_Click() {
  ConnectionType = kSerial;
  accept();
}

void ConnectionTypeDialog::cmdExit_Click() {
  ConnectionType = kEndProgram;
  reject();
}

}  // namespace xavcfg
