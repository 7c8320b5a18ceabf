#pragma once
// XAVE's main window (object name FrmXAV): the module list refreshed by a one-second
// scan, the Ethernet protocol pane, the save and the IP address change.

#include <QString>
#include <QWidget>

#include "ethernet_pane.h"

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

  // One scan tick (the timer's handler).
  void Timer1_Timer();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildWindow();
  void buildModuleFrame();
  void buildProtocolFrame();
  void buildProtocolFields();
  void buildTitleAndButtons();
  void SetEthernetConfiguration();
  void FillModuleList(const QString& listing);
  QString scanForModules();
  bool pingHost(const QString& address);
  void deleteDiscoveryFile();

  void cmdReScan_Click();
  void LV1_Click();
  void cmdUpdateXAV_Click();
  void cmdToolbox_Click();
  void finishAddressChange();
  void Form_Unload();

  QString workDir_;
  QString moduleIp_, plcIp_, captionsTail_;
  QString timerTag_;  // the listing the last tick put into the list
  QString listTag_;   // the listing the list shows
  int waiting_ = 0;   // > 0 while a utility runs and the event loop spins inside a handler
  bool changingAddress_ = false;
  bool unloaded_ = false;

  gw::EthernetPane pane_;
  QTimer* scanTimer_ = nullptr;  // Timer1
  gw::BackgroundCommand* discovery_ = nullptr;
  QGroupBox* moduleFrame_ = nullptr;
  QGroupBox* protocolFrame_ = nullptr;
  QListWidget* moduleList_ = nullptr;
  QLabel* scanStateLabel_ = nullptr;
  QPushButton* rescanButton_ = nullptr;
  QPushButton* changeAddressButton_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* exitButton_ = nullptr;
  IpChangeDialog* ipChangeDialog_ = nullptr;
};

}  // namespace xave
