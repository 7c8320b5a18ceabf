#pragma once
// XavCfgWindow (form FrmXAV): the main window of XAV_Cfg. Serial connection
// type: the mode options, the port box and Connect, and Save sending the
// record over the serial line. Ethernet connection type: the module list
// filled by the discovery, the protocol pane, and Save loading a generated
// Config.csv.
//
// Controls keep their form names as objectName (txtFileNo, optMode_5,
// FrOptions_7, ...); tests and tools find them by that name. Handlers and
// procedures keep their form names too (cmdUpdateXAV_Click, LV1_Click).
//
// The platform's utilities run on the shared utility runner. While one runs
// the window takes no input (it disables its own controls); after 5 s it
// shows what it waits for, with a Cancel; a cancelled operation stops there.
// Every read-back, save, verify and serial record is kept in the module
// history and the service log of the data folder.

#include <QByteArray>
#include <QMap>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "discovery.h"
#include "ethernet_pane.h"
#include "serial_link.h"
#include "serial_record.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTime;

namespace gw {
class BusyState;
class HistoryWindow;
class AddressTableSession;
class ModulePickSession;
class SaveSession;
class VerifySession;
class OperationRecorder;
class WaitPanel;
struct RunResult;
struct SessionOutcome;
struct UtilityWait;
}  // namespace gw

namespace xavcfg {

class SerialRoutines;
class SerialVerifier;
struct SerialVerifyResult;

struct XavCfgWindowOptions {
  // The serial port; a real one when null.
  xav::SerialLink* link = nullptr;
  // Shows the start dialog and gives the connection type, or
  // ConnectionTypeDialog::kEndProgram. The real dialog when empty.
  std::function<int(QWidget* owner)> chooseConnectionType;
  // Where the history and the service log are kept; gw::dataFolder() when empty.
  QString dataFolder;
};

class XavCfgWindow : public QWidget {
  Q_OBJECT
 public:
  static constexpr const char* kCaption = "XAV Configuration V2.04";

  explicit XavCfgWindow(XavCfgWindowOptions options = {}, QWidget* parent = nullptr);
  ~XavCfgWindow() override;

  // The window's load: start dialog, layout, start-up checks. False when
  // the program must end (the reason has been shown).
  bool Form_Load();

  // Layouts and helpers.
  void SetSerialConfiguration();
  void SetEthernetConfiguration();
  void HideAllFrames();
  void EnableModes();
  void DisableModes();
  void DisableEthernetEntry();
  QString GetSlaveMode() const;
  void DiscoverModules();

  // Handlers.
  void optMode_Click(int index);
  void optEthMode_Click(int index);
  void LV1_Click();
  void cmdConnect_Click();
  void cmdUpdateXAV_Click();
  void cmdVerify_Click();
  void cmdReScan_Click();
  void cmdToolbox_Click();
  void cmdHistory_Click();
  void cmdCompare_Click();
  void cmdServiceLog_Click();
  void Command4_Click();

  SerialRoutines* serial() const { return serial_; }
  bool querying() const;
  // Whether a serial Verify is asking the module.
  bool verifying() const;
  // Whether an Ethernet save is under way (it ends with saveEnded).
  bool saving() const { return saving_; }
  // Whether an operation runs (discovery, read-back, save, verify, toolbox).
  bool busy() const;
  gw::OperationRecorder& recorder() const { return *recorder_; }

  // Program-wide and window values.
  int ConnectionType = 0;
  int CurrentMode = 0;
  bool SuppressDf1Update = false;
  QString PlcIP;
  QString ModuleIP;
  QString CaptionsTail;

 signals:
  // The exchange of Connect ended (after its messages).
  void queryEnded(bool replied);
  // A read-back of the picked module ended (after its messages).
  void readBackEnded(bool restored);
  // An Ethernet save ended (after its messages and closing steps).
  void saveEnded(bool succeeded);
  // The toolbox ended and the discovery after it has run.
  void toolboxEnded();
  // A Verify ended (after its message); serialVerifyEnded for the serial one.
  void verifyEnded(bool holds);
  void serialVerifyEnded(bool holds);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Builders, one per group of controls.
  void buildWindow();
  void buildBanner();
  void buildSerialColumn();
  void buildModuleListColumn();
  void buildOptionFrames();
  void buildDigitalSwitchFrame();
  void buildModbusScannerFrame();
  void buildDf1ScannerFrame();
  void buildDistributorCount();
  void buildEthernetPane();
  void buildEthernetPaneBoxes();
  void buildBottomRow();
  void buildWaitAndStatus();
  void connectPane();
  void setTabOrders();
  void keepPlacesOf(bool ethernet);
  void setStatusHeight();

  // Serial side.
  void showPortControls(bool on);
  void ListComPorts();
  void QueryModule();
  void onQueryFinished(bool replied);
  QString loadReplyIntoFields(const ModuleReply& reply);
  void Df1DisplayUpdate();
  bool handleDf1FileNumberFocusOut(QFocusEvent* event);
  bool saveSerial(int mode);
  bool sendRecord(const QByteArray& record, int mode);
  void verifySerial();
  void onSerialVerifyFinished(const SerialVerifyResult& result);
  int selectedMode() const;

  // Ethernet side.
  void readBack();
  bool saveEthernet();
  void onVerifyFinished(const gw::SessionOutcome& outcome);
  void onSaveFinished(const gw::SessionOutcome& outcome);
  void onDiscoveryFinished(const gw::SessionOutcome& outcome);
  void onReadBackFinished(const gw::SessionOutcome& outcome);
  void reportUpload(const gw::RunResult& upload, const QTime& at);
  void resetEthernetEntries();
  void reportInterruption(const gw::RunResult& run, const QString& moduleAddress);
  // Keeps an Ethernet operation in the history and the service log.
  void recordOutcome(gw::SessionOutcome outcome);
  QString hardwareAddressOf(const QString& moduleAddress) const;

  // Both.
  void closingSteps();
  void closeHandling();
  void setStatus(const QString& text);
  void onRunnerBusy(bool busy);
  void operationEnded();

  XavCfgWindowOptions options_;
  std::unique_ptr<xav::SerialLink> ownLink_;
  SerialRoutines* serial_ = nullptr;
  SerialVerifier* serialVerifier_ = nullptr;
  gw::OperationRecorder* recorder_ = nullptr;
  QByteArray sentRecord_;  // the last serial record sent, for Verify
  QString sentRecordPort_;
  QString pendingProblem_;  // the data folder's problem, for the next status line
  bool closeHandled_ = false;
  bool slaveRangeChosen_ = true;  // false after a reply naming an unknown range
  // Busy while a session or a handler running utilities is under way: a
  // close that comes meanwhile waits until it has ended (see closeEvent).
  gw::BusyState* busy_ = nullptr;
  bool closeWanted_ = false;  // a close came while one ran
  QPointer<QWidget> focusBeforeWait_;
  gw::EthernetPane pane_;  // the protocol pane shared with the Ethernet tool

  // What the last Ethernet save loaded, for Verify.
  QString uploadedTo_;
  QByteArray uploadedFile_;
  // The picked module's Config.csv as last read back, for History and Compare.
  QByteArray readBackFile_;
  QString readBackOf_;
  QPointer<gw::HistoryWindow> historyWindow_;
  gw::VerifySession* verifySession_ = nullptr;
  gw::SaveSession* saveSession_ = nullptr;
  gw::AddressTableSession* discoverySession_ = nullptr;
  gw::ModulePickSession* pickSession_ = nullptr;
  bool listCleared_ = false;
  bool saving_ = false;
  QMap<QString, QString> hardwareAddresses_;  // module address -> hardware address, from discovery

  // Every control but the wait panel, so that input can be refused while a
  // utility runs without touching the panel's Cancel.
  QWidget* inputArea_ = nullptr;
  gw::WaitPanel* waitPanel_ = nullptr;
  QLabel* statusLabel_ = nullptr;

  QLabel* bannerLabel_ = nullptr;
  // Serial: the modes, the port and the countdown.
  QGroupBox* serialModeFrame_ = nullptr;
  QRadioButton* modeOptions_[9] = {};  // 1..6 and 8
  QButtonGroup* modeGroup_ = nullptr;
  QLabel* portLabel_ = nullptr;
  QComboBox* portBox_ = nullptr;
  QPushButton* connectButton_ = nullptr;
  QLabel* countdownLabel_ = nullptr;
  // One frame per serial mode 1..6, and 7 for the Ethernet protocols.
  QGroupBox* optionFrames_[8] = {};
  QRadioButton* slaveRangeOptions_[6] = {};
  QButtonGroup* slaveRangeGroup_ = nullptr;
  QLineEdit* modbusBaseRegisterBox_ = nullptr;
  QLineEdit* modbusLastRegisterBox_ = nullptr;
  QLineEdit* modbusSlaveAddressBox_ = nullptr;
  QLineEdit* df1BaseRegisterBox_ = nullptr;
  QLineEdit* df1FileNumberBox_ = nullptr;
  QLineEdit* df1PlcAddressBox_ = nullptr;
  QComboBox* df1BaudRateBox_ = nullptr;
  QLineEdit* df1PositionRangeBox_ = nullptr;
  QLineEdit* df1RequestRangeBox_ = nullptr;
  QLineEdit* distributorCountBox_ = nullptr;
  QLabel* distributorCountLabel_ = nullptr;
  // Ethernet: the module list.
  QGroupBox* moduleListFrame_ = nullptr;
  QLabel* moduleListHint_ = nullptr;
  QListWidget* moduleList_ = nullptr;
  QPushButton* rescanButton_ = nullptr;
  QPushButton* toolboxButton_ = nullptr;
  QPushButton* historyButton_ = nullptr;
  QPushButton* compareButton_ = nullptr;
  QPushButton* serviceLogButton_ = nullptr;
  // Ethernet: the protocol pane.
  QRadioButton* protocolOptions_[4] = {};  // 1..3
  QButtonGroup* protocolGroup_ = nullptr;
  QLabel* plcAddressLabel_ = nullptr;
  QLineEdit* plcAddressBox_ = nullptr;
  QLabel* pcccFileNumberLabel_ = nullptr;
  QLineEdit* pcccFileNumberBox_ = nullptr;
  QLabel* pcccBaseElementLabel_ = nullptr;
  QLineEdit* pcccBaseElementBox_ = nullptr;
  QLabel* cipTagsLabel_ = nullptr;
  QLabel* cipSlotLabel_ = nullptr;
  QLineEdit* cipSlotBox_ = nullptr;
  QLabel* modbusTcpRegisterLabel_ = nullptr;
  QLineEdit* modbusTcpRegisterBox_ = nullptr;
  QLabel* titleLabel_ = nullptr;
  QLineEdit* titleBox_ = nullptr;
  QLabel* loaderWaitLabel_ = nullptr;
  // Bottom row.
  QPushButton* saveButton_ = nullptr;
  QPushButton* verifyButton_ = nullptr;
  QPushButton* exitButton_ = nullptr;
};

// Mode option captions 1..6 and 8 (empty for 0 and 7).
QString modeCaption(int index);

}  // namespace xavcfg
