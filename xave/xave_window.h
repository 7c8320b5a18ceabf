#pragma once
// XAVE's main window (object name FrmXAV): the module list refreshed by a
// one-second scan, the Ethernet protocol pane, the save and its check, the
// IP address change and the module's history.
//
// The window is a view of the configuration sessions: each operation (a
// waited scan, picking a module, Save, Verify, the IP change) is a session
// on the shared utility runner, and the window maps its states and outcome
// to captions, boxes and enabling. While one runs the window takes no input
// (it disables its own controls); once a run has lasted the runner's
// long-wait threshold the wait panel shows what it waits for and a Cancel,
// which cancels the session. Every finished read-back, Save, Verify and IP
// change is recorded in the module's history and the service log.

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "busy_guard.h"
#include "ethernet_pane.h"
#include "sessions.h"
#include "utility_runner.h"

class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

namespace gw {
class BackgroundCommand;
class HistoryWindow;
class OperationRecorder;
class WaitPanel;
}  // namespace gw

namespace xave {

class IpChangeDialog;

class XaveWindow : public QWidget {
  Q_OBJECT
 public:
  // The current directory at construction is the working directory that
  // holds the utilities and every file passed to them. The history goes to
  // the tools' data folder (gw::dataFolder()).
  explicit XaveWindow(QWidget* parent = nullptr);
  ~XaveWindow() override;

  // Window load: ends stale loaders, checks the utilities and the working
  // directory, shows the window and runs the first scan. False when a check
  // failed and the program must end (its message was shown). The scan
  // runs on from the event loop.
  bool Form_Load();

  // Kept values, for the owner and for tests.
  const QString& moduleIp() const { return moduleIp_; }
  const QString& plcIp() const { return plcIp_; }
  const QString& captionsTail() const { return captionsTail_; }
  const QString& timerTag() const { return timerTag_; }
  bool isScanning() const;
  // True while an IP change waits for the module to restart before re-scanning.
  bool isChangingAddress() const { return changingAddress_; }
  // True while an operation runs (a session, or the wait for the
  // background discovery run before a Re-Scan).
  bool isWaiting() const { return busy_.isBusy(); }
  gw::OperationRecorder& recorder() const { return *recorder_; }

  // One scan tick (the timer's handler).
  void Timer1_Timer();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Building (xave_window_build.cpp).
  void buildWindow();
  QWidget* buildModuleColumn();
  QWidget* buildProtocolColumn();
  void buildProtocolFields(QGroupBox* frame);
  QWidget* buildButtons();
  QWidget* buildBottom();
  void keepTabOrder();
  void updateProtocolTabStop();
  void SetEthernetConfiguration();

  // Sessions and what they leave (xave_window.cpp).
  void createSessions();
  void onBusyChanged(bool busy);
  void updateInputEnabled();
  void record(gw::SessionOutcome outcome);
  void setStatus(const QString& text);
  void showProblem(const QString& text);
  QString bridgeNameOf(const QString& address) const;

  // Scanning (xave_window_scan.cpp).
  void runWaitedScan(std::function<void(std::optional<QString>)> then);
  void continueTick();
  void fillModuleList(const QString& listing, std::function<void()> then);
  void showListing(const QString& listing);
  void startBackgroundDiscovery();
  void stopScanning();
  void whenDiscoveryFileGone(std::function<void()> then);
  void removeDiscoveryFileNow();
  void cmdReScan_Click();

  // A module: read-back, save, verify (xave_window_module.cpp).
  void LV1_Click();
  void startReadBack(bool newModule, bool pingFirst);
  void onPickFinished(const gw::SessionOutcome& outcome);
  void refuseUnreachableModule();
  void restoreStartValues();
  void restoreStartNumbers();  // title and address stay
  void cmdUpdateXAV_Click();
  void onSaveFinished(const gw::SessionOutcome& outcome);
  void resetAfterSave();
  void cmdVerify_Click();
  void onVerifyFinished(const gw::SessionOutcome& outcome);
  void cmdHistory_Click();
  void cmdCompare_Click();
  void cmdServiceLog_Click();
  void updateModuleButtons();

  // The IP address change (xave_window_address.cpp).
  void cmdToolbox_Click();
  void onIpChangeFinished(const gw::SessionOutcome& outcome);
  void onAddressModeFinished(const gw::RunResult& run);
  void afterAddressChange();
  void finishAddressChange();
  void Form_Unload();

  // How a run that ended a session unfinished is told: true when it was
  // (box shown, or the runner had told a start error already).
  bool reportUnfinishedRun(const gw::SessionOutcome& outcome);

  QString workDir_;
  QString moduleIp_, plcIp_, captionsTail_;
  QString timerTag_;  // the listing the last tick put into the list
  QString listTag_;   // the listing the list shows
  QString lastSentTo_;  // module of the last save that was loaded
  QByteArray lastSent_;  // the Config.csv it was sent
  QByteArray lastReadBack_;  // the picked module's Config.csv as last read back
  bool pickedNewModule_ = false;
  bool pingInterrupted_ = false;  // the pick's last step was its ping
  bool ipPingInterrupted_ = false;  // the IP change's last step was its ping
  bool changingAddress_ = false;
  bool runningAddressMode_ = false;
  bool closePending_ = false;  // a close asked for while an operation ran
  bool unloaded_ = false;
  bool problemTold_ = false;
  QHash<QString, QString> bridgeNames_;  // bridge name by listed address, kept while the list is refilled

  gw::UtilityRunner& runner_;
  gw::BusyState busy_;
  gw::OperationRecorder* recorder_ = nullptr;
  gw::ModuleScanSession* scanSession_ = nullptr;
  gw::ModulePickSession* pickSession_ = nullptr;
  gw::SaveSession* saveSession_ = nullptr;
  gw::VerifySession* verifySession_ = nullptr;
  gw::IpChangeSession* ipSession_ = nullptr;
  std::function<void(std::optional<QString>)> afterScan_;

  gw::EthernetPane pane_;
  QTimer* scanTimer_ = nullptr;  // Timer1
  gw::BackgroundCommand* discovery_ = nullptr;
  QWidget* inputArea_ = nullptr;  // every control that takes input
  QPointer<QWidget> focusBeforeWait_;  // given the focus back when the wait ends
  QGroupBox* moduleFrame_ = nullptr;
  QGroupBox* protocolFrame_ = nullptr;
  QListWidget* moduleList_ = nullptr;
  QLabel* scanStateLabel_ = nullptr;
  QLabel* titleLabel_ = nullptr;
  QPushButton* rescanButton_ = nullptr;
  QPushButton* changeAddressButton_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* verifyButton_ = nullptr;
  QPushButton* exitButton_ = nullptr;
  QPushButton* historyButton_ = nullptr;
  QPushButton* compareButton_ = nullptr;
  QPushButton* serviceLogButton_ = nullptr;
  QLabel* banner_ = nullptr;
  QLabel* statusLine_ = nullptr;
  gw::WaitPanel* waitPanel_ = nullptr;
  IpChangeDialog* ipChangeDialog_ = nullptr;
  gw::HistoryWindow* historyWindow_ = nullptr;
};

}  // namespace xave
