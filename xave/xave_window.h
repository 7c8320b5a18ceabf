#pragma once
// XAVE's main window (object name FrmXAV): the module list refreshed by a
// one-second scan, the Ethernet protocol pane, the save and its check, and
// the IP address change.
//
// Every utility run goes through the shared utility runner. While one runs
// the window takes no input (it disables its own controls); once a run has
// lasted the runner's long-wait threshold the window shows what it waits for
// and a Cancel button. A cancelled run stops the operation it belonged to.

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>

#include "ethernet_pane.h"
#include "utility_runner.h"

class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

namespace gw {
class BackgroundCommand;
}

namespace xave {

class IpChangeDialog;

class XaveWindow : public QWidget {
  Q_OBJECT
 public:
  // The current directory at construction is the working directory that
  // holds the utilities and every file passed to them.
  explicit XaveWindow(QWidget* parent = nullptr);
  ~XaveWindow() override;

  // Window load: ends stale loaders, checks the utilities and the working
  // directory, lays the window out and runs the first scan. False when a
  // check failed and the program must end (its message was shown).
  bool Form_Load();

  // Kept values, for the owner and for tests.
  const QString& moduleIp() const { return moduleIp_; }
  const QString& plcIp() const { return plcIp_; }
  const QString& captionsTail() const { return captionsTail_; }
  const QString& timerTag() const { return timerTag_; }
  bool isScanning() const;
  // True while an IP change waits for the module to restart before re-scanning.
  bool isChangingAddress() const { return changingAddress_; }
  // True while a handler waits for a utility.
  bool isWaiting() const { return waiting_ > 0; }

  // One scan tick (the timer's handler).
  void Timer1_Timer();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class WaitScope;
  enum class Ping { Answered, NotAnswered, Interrupted };

  void buildWindow();
  void buildModuleFrame();
  void buildProtocolFrame();
  void buildProtocolFields();
  void buildTitleAndButtons();
  void buildWaitPanel();
  void observeRunner();
  void SetEthernetConfiguration();

  // Scanning.
  void FillModuleList(const QString& listing);
  std::optional<QString> scanForModules();  // nullopt: not started or cancelled, scan stopped
  void startBackgroundDiscovery();
  void stopScanning();
  Ping pingHost(const QString& address);
  void deleteDiscoveryFile();

  // Handlers and their steps.
  void cmdReScan_Click();
  void LV1_Click();
  void refuseUnreachableModule();
  void readBackModule(bool newModule);
  void restoreStartValues();
  void restoreStartNumbers();  // title and address stay
  void cmdUpdateXAV_Click();
  void resetAfterSave();
  void cmdVerify_Click();
  void cmdToolbox_Click();
  void changeModuleAddress();
  void finishAddressChange();
  void Form_Unload();

  // Waiting for utilities and telling how runs ended.
  void onRunnerBusy(bool busy);
  void showLongWait(const gw::UtilityWait& wait);
  void updateInputEnabled();
  bool reportUnfinishedRun(const gw::RunResult& run, const QString& moduleAddress);
  void setStatus(const QString& text);

  QString workDir_;
  QString moduleIp_, plcIp_, captionsTail_;
  QString timerTag_;  // the listing the last tick put into the list
  QString listTag_;   // the listing the list shows
  QString lastSentTo_;  // module of the last save that was loaded
  QByteArray lastSent_;  // the Config.csv it was sent
  int waiting_ = 0;   // > 0 while a handler waits for a utility
  bool runnerBusy_ = false;
  bool changingAddress_ = false;
  bool closePending_ = false;  // a close asked for while a handler waited
  bool unloaded_ = false;

  gw::EthernetPane pane_;
  QTimer* scanTimer_ = nullptr;  // Timer1
  gw::BackgroundCommand* discovery_ = nullptr;
  QWidget* inputArea_ = nullptr;  // every control that takes input
  QPointer<QWidget> focusBeforeWait_;  // given the focus back when the wait ends
  QGroupBox* moduleFrame_ = nullptr;
  QGroupBox* protocolFrame_ = nullptr;
  QListWidget* moduleList_ = nullptr;
  QLabel* scanStateLabel_ = nullptr;
  QPushButton* rescanButton_ = nullptr;
  QPushButton* changeAddressButton_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* verifyButton_ = nullptr;
  QPushButton* exitButton_ = nullptr;
  QLabel* statusLine_ = nullptr;
  QFrame* waitPanel_ = nullptr;
  QLabel* waitLabel_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  IpChangeDialog* ipChangeDialog_ = nullptr;
};

}  // namespace xave
