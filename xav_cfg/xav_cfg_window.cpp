#include "xav_cfg_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "busy_guard.h"
#include "connection_type_dialog.h"
#include "message_boxes.h"
#include "operation_record.h"
#include "processes.h"
#include "serial_routines.h"
#include "serial_verify.h"
#include "utility_runner.h"

namespace xavcfg {

namespace {

const char* const kModeCaptions[9] = {"",
                                      "Digital Binary - (P1)",
                                      "Digital Descrete I/O - (P2)",
                                      "Digital Switch - (P3)",
                                      "Serial Modbus Scanner - (P4)",
                                      "Serial DF1 Scanner -  (P5)",
                                      "Serial Pass-Through - (P6)",
                                      "",
                                      "Serial Relay"};

QString workDir() { return QDir::currentPath(); }

}  // namespace

QString modeCaption(int index) {
  return index >= 0 && index <= 8 ? QString::fromLatin1(kModeCaptions[index]) : QString();
}

XavCfgWindow::XavCfgWindow(XavCfgWindowOptions options, QWidget* parent)
    : QWidget(parent), options_(std::move(options)) {
  setObjectName(QStringLiteral("FrmXAV"));
  xav::SerialLink* link = options_.link;
  if (!link) {
    ownLink_ = std::make_unique<xav::QtSerialLink>();
    link = ownLink_.get();
  }
  serial_ = new SerialRoutines(link, this);
  connect(serial_, &SerialRoutines::countdown, this,
          [this](int left) { countdownLabel_->setText(QString::number(left)); });
  // Connected before the verifier, so a Verify's exchange is seen here as
  // the verifier's and never taken for a Connect.
  connect(serial_, &SerialRoutines::queryFinished, this, &XavCfgWindow::onQueryFinished);
  serialVerifier_ = new SerialVerifier(*serial_, this);
  connect(serialVerifier_, &SerialVerifier::finished, this, &XavCfgWindow::onSerialVerifyFinished);
  busy_ = new gw::BusyState(this);
  connect(busy_, &gw::BusyState::busyChanged, this, [this](bool busy) {
    if (!busy && !gw::sharedUtilityRunner().isBusy()) operationEnded();
  });
  recorder_ = new gw::OperationRecorder(QStringLiteral("XAV_Cfg"),
                                        options_.dataFolder.isEmpty() ? gw::dataFolder() : options_.dataFolder, this);
  // A data folder that cannot be written never stops an operation; the
  // status line says so once.
  connect(recorder_, &gw::OperationRecorder::problem, this, [this](const QString& message) {
    pendingProblem_ = message;
    // After the status line of the operation it belongs to.
    QTimer::singleShot(0, this, [this] {
      if (!pendingProblem_.isEmpty()) setStatus(statusLabel_->text());
    });
  });
  buildWindow();
  connect(&gw::sharedUtilityRunner(), &gw::UtilityRunner::busyChanged, this, &XavCfgWindow::onRunnerBusy);
}

XavCfgWindow::~XavCfgWindow() {
  disconnect(serialVerifier_, nullptr, this, nullptr);
  serialVerifier_->cancel();
  serial_->cancel();
}

bool XavCfgWindow::querying() const { return serial_->busy() && !serialVerifier_->busy(); }

bool XavCfgWindow::busy() const { return busy_->isBusy() || gw::sharedUtilityRunner().isBusy(); }

bool XavCfgWindow::verifying() const { return serialVerifier_->busy(); }

// ---------------------------------------------------------------- start-up

bool XavCfgWindow::Form_Load() {
  DisableModes();
  DisableEthernetEntry();
  setWindowTitle(QString::fromLatin1(kCaption));
  int type;
  if (options_.chooseConnectionType) {
    type = options_.chooseConnectionType(this);
  } else {
    ConnectionTypeDialog dialog(windowTitle(), this);
    dialog.exec();
    type = dialog.ConnectionType;
  }
  if (type == ConnectionTypeDialog::kEndProgram) return false;
  ConnectionType = type;
  if (ConnectionType == ConnectionTypeDialog::kEthernet) saveButton_->setEnabled(true);
  if (ConnectionType != ConnectionTypeDialog::kEthernet) SetSerialConfiguration();
  else SetEthernetConfiguration();
  // Start-up check: a writable working directory and, in both connection
  // types, the loader beside the tool.
  if (!gw::CheckReadWriteAccesss()) return false;
  if (!loaderPresent()) {
    xav::showMessage(this, xav::MessageIcon::Critical, QString(),
                     QStringLiteral("Ruinet.exe not found.\r\n\r\nThis program will close."),
                     gw::startupAdvice({QStringLiteral("RuiNet.exe")}));
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- layouts

void XavCfgWindow::SetSerialConfiguration() {
  keepPlacesOf(false);
  HideAllFrames();
  moduleListFrame_->hide();
  serialModeFrame_->show();
  toolboxButton_->hide();
  ListComPorts();
  show();
  DisableEthernetEntry();
  showPortControls(true);
  connectButton_->setFocus();
}

void XavCfgWindow::SetEthernetConfiguration() {
  keepPlacesOf(true);
  serialModeFrame_->hide();
  show();
  HideAllFrames();
  moduleListFrame_->show();
  toolboxButton_->show();
  optionFrames_[7]->show();
  titleLabel_->show();
  titleBox_->show();
  DiscoverModules();
}

void XavCfgWindow::HideAllFrames() {
  for (int i = 1; i <= 7; ++i) optionFrames_[i]->hide();
  distributorCountBox_->hide();
  distributorCountLabel_->hide();
  showPortControls(false);
}

// The port box and Connect are one control group: a box beside a hidden
// Connect (or the reverse) offers a step that cannot be taken.
void XavCfgWindow::showPortControls(bool on) {
  portLabel_->setVisible(on);
  portBox_->setVisible(on);
  connectButton_->setVisible(on);
}

void XavCfgWindow::EnableModes() {
  for (int i = 1; i <= 6; ++i) modeOptions_[i]->setEnabled(true);
}

void XavCfgWindow::DisableModes() {
  for (int i = 1; i <= 6; ++i) modeOptions_[i]->setEnabled(false);
}

void XavCfgWindow::DisableEthernetEntry() { gw::DisableEthernetEntry(pane_); }

QString XavCfgWindow::GetSlaveMode() const {
  for (int i = 0; i < 6; ++i)
    if (slaveRangeOptions_[i]->isChecked()) return QString::number(i);
  return {};
}

int XavCfgWindow::selectedMode() const {
  for (int m = 1; m <= 6; ++m)
    if (modeOptions_[m]->isChecked()) return m;
  return 7;
}

// ---------------------------------------------------------------- options

void XavCfgWindow::optMode_Click(int index) {
  if (index < 1 || index > 6) return;
  HideAllFrames();
  optionFrames_[index]->show();
  if (modeCaption(index).toLower().contains(QLatin1String("scan"))) {
    distributorCountBox_->show();
    distributorCountLabel_->show();
  }
}

void XavCfgWindow::optEthMode_Click(int p) { gw::selectProtocol(pane_, p); }

bool XavCfgWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    // A key that puts a character into the box (not Backspace, Tab, Enter...).
    const bool typing = !key->text().isEmpty() && key->text().at(0).isPrint();
    if (watched == distributorCountBox_) {
      if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) return false;
      distributorCountBox_->setText(QStringLiteral("20"));
      distributorCountBox_->selectAll();
      return true;
    }
    if (watched == df1BaseRegisterBox_ && typing && df1BaseRegisterBox_->text() == QLatin1String("0")) {
      // The typed digit replaces the 0 instead of following it.
      SuppressDf1Update = true;
      df1BaseRegisterBox_->clear();
      SuppressDf1Update = false;
      return false;
    }
  } else if (event->type() == QEvent::FocusOut && watched == df1FileNumberBox_) {
    handleDf1FileNumberFocusOut(static_cast<QFocusEvent*>(event));
  }
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- Save

void XavCfgWindow::cmdUpdateXAV_Click() {
  gw::BusyGuard guard(*busy_);
  const int mode = selectedMode();
  if (titleBox_->text().trimmed().isEmpty()) titleBox_->setText(QStringLiteral("Change this title if desired."));
  if (ConnectionType != ConnectionTypeDialog::kEthernet) {
    // Serial (an unchosen type counts as serial): only a record goes on
    // the line, and only for a selected mode.
    if (!saveSerial(mode)) return;
  } else if (mode == 7) {
    // The closing steps follow once the loader has ended (onSaveFinished).
    saveEthernet();
    return;
  }
  closingSteps();
}

void XavCfgWindow::closingSteps() {
  saveButton_->setEnabled(false);
  gw::deleteConfigCsv(workDir());
  HideAllFrames();
  titleBox_->clear();
  DisableModes();
  showPortControls(false);
  DiscoverModules();
}

void XavCfgWindow::setStatus(const QString& text) {
  QString shown = text;
  if (!pendingProblem_.isEmpty()) {
    shown += (shown.isEmpty() ? QString() : QStringLiteral("\n")) + pendingProblem_;
    pendingProblem_.clear();
  }
  statusLabel_->setText(shown);
  statusLabel_->setToolTip(shown);
}

// ---------------------------------------------------------------- waits

// The runner touches no widget: while it runs, this window refuses input
// (but the wait panel, outside the input area, keeps its Cancel) and gives
// the focus back afterwards.
void XavCfgWindow::onRunnerBusy(bool busy) {
  if (busy) {
    QWidget* focused = focusWidget();
    focusBeforeWait_ = focused && inputArea_->isAncestorOf(focused) ? focused : nullptr;
    inputArea_->setEnabled(false);
    return;
  }
  inputArea_->setEnabled(true);
  QWidget* focused = focusWidget();
  const bool focusInside = focused && inputArea_->isAncestorOf(focused);
  if (focusBeforeWait_ && !focusInside && focusBeforeWait_->isVisible()) focusBeforeWait_->setFocus();
  if (!busy_->isBusy()) operationEnded();
}

void XavCfgWindow::operationEnded() {
  if (!closeWanted_) return;
  closeWanted_ = false;
  QTimer::singleShot(0, this, [this] { close(); });
}

// ---------------------------------------------------------------- close

void XavCfgWindow::Command4_Click() { close(); }

void XavCfgWindow::closeHandling() {
  if (closeHandled_) return;
  closeHandled_ = true;
  serialVerifier_->cancel();
  serial_->cancel();
  gw::deleteConfigCsv(workDir());
  serial_->sendEndMarker();
}

void XavCfgWindow::closeEvent(QCloseEvent* event) {
  if (busy_->isBusy() || gw::sharedUtilityRunner().isBusy()) {
    // A utility is running and input is refused until it ends; closing now
    // would delete Config.csv under the loader. Close once it has ended.
    closeWanted_ = true;
    event->ignore();
    return;
  }
  closeHandling();
  event->accept();
}

}  // namespace xavcfg
