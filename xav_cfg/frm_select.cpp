#include "frm_select.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "messages.h"

namespace xavcfg {

bool loaderPresent() {
  const QStringList names = QDir::current().entryList(QDir::Files);
  for (const QString& n : names)
    if (n.compare(QLatin1String("ruinet.exe"), Qt::CaseInsensitive) == 0) return true;
  return false;
}

frmSelect::frmSelect(const QString& mainCaption, QWidget* parent) : QDialog(parent), mainCaption_(mainCaption) {
  setObjectName(QStringLiteral("frmSelect"));
  setWindowTitle(QStringLiteral("Configuration"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  Label1 = new QLabel(QStringLiteral("Select a XAV configuration method"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setAlignment(Qt::AlignCenter);
  cmdEthernet = new QPushButton(QStringLiteral("&Ethernet Configuration"), this);
  cmdEthernet->setObjectName(QStringLiteral("cmdEthernet"));
  cmdSerial = new QPushButton(QStringLiteral("&Serial Configuration"), this);
  cmdSerial->setObjectName(QStringLiteral("cmdSerial"));
  cmdExit = new QPushButton(QStringLiteral("E&xit"), this);
  cmdExit->setObjectName(QStringLiteral("cmdExit"));
  for (QPushButton* b : {cmdEthernet, cmdSerial, cmdExit}) b->setAutoDefault(false);
  layout->addWidget(Label1);
  layout->addWidget(cmdEthernet);
  layout->addWidget(cmdSerial);
  layout->addWidget(cmdExit);
  setMinimumWidth(300);
  connect(cmdEthernet, &QPushButton::clicked, this, &frmSelect::cmdEthernet_Click);
  connect(cmdSerial, &QPushButton::clicked, this, &frmSelect::cmdSerial_Click);
  connect(cmdExit, &QPushButton::clicked, this, &frmSelect::cmdExit_Click);
}

void frmSelect::showEvent(QShowEvent* event) {
  setWindowTitle(mainCaption_);  // Form_Activate
  QDialog::showEvent(event);
}

void frmSelect::cmdEthernet_Click() {
  ConnectionType = kEthernet;
  if (!loaderPresent()) {
    xav::showMessage(this, xav::MessageIcon::None, QString(),
                     QStringLiteral("Ruinet.exe not found in the current directory\r\n") +
                         QDir::toNativeSeparators(QDir::currentPath()));
    ConnectionType = kEndProgram;
    reject();
    return;
  }
  accept();
}

void frmSelect::cmdSerial_Click() {
  ConnectionType = kSerial;
  accept();
}

void frmSelect::cmdExit_Click() {
  ConnectionType = kEndProgram;
  reject();
}

}  // namespace xavcfg
