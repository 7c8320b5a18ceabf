#pragma once
// FrmXAV: the main window of XAV_Cfg. Serial connection type: the mode
// options, the port box and Connect, and Save sending the record over the
// serial line. Ethernet connection type: the module list filled by the
// discovery, the protocol pane, and Save loading a generated Config.csv.

#include <QList>
#include <QWidget>
#include <functional>
#include <memory>

#include "discovery.h"
#include "ethernet_pane.h"
#include "serial_link.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace xavcfg {

class SerialRoutines;

struct FrmXAVOptions {
  // The serial port; a real one when null.
  xav::SerialLink* link = nullptr;
  // Ping, address table and loader; the system's when null.
  NetworkHost* network = nullptr;
  // Shows the start dialog and gives the connection type, or
  // frmSelect::kEndProgram. The real dialog when empty.
  std::function<int(QWidget* owner)> chooseConnectionType;
};

class FrmXAV : public QWidget {
  Q_OBJECT
 public:
  static constexpr const char* kCaption = "XAV Configuration V2.04";

  explicit FrmXAV(FrmXAVOptions options = {}, QWidget* parent = nullptr);
  ~FrmXAV() override;

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
  void cmdReScan_Click();
  void cmdToolbox_Click();
  void Command4_Click();

  SerialRoutines* serial() const { return serial_; }
  bool querying() const;

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

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildWindow();
  void buildSerialFrames();
  void buildEthernetPane();
  void placeFrame(QGroupBox* frame);
  void showPortControls(bool on);
  void ListComPorts();
  void QueryModule();
  void onQueryFinished(bool replied);
  void Df1DisplayUpdate();
  bool saveSerial(int mode);
  bool saveEthernet();
  void resetEthernetEntries();
  void closingSteps();
  void closeHandling();
  int selectedMode() const;

  FrmXAVOptions options_;
  std::unique_ptr<xav::SerialLink> ownLink_;
  std::unique_ptr<NetworkHost> ownNetwork_;
  NetworkHost* network_ = nullptr;
  SerialRoutines* serial_ = nullptr;
  bool closeHandled_ = false;
  bool slaveRangeChosen_ = true;  // false after a reply naming an unknown range
  gw::EthernetPane pane_;  // the protocol pane shared with the Ethernet tool

 public:
  // Controls, named as the logic names them.
  QLabel* lblBanner = nullptr;
  QGroupBox* Frame1 = nullptr;
  QRadioButton* optMode[9] = {};  // 1..6 and 8
  QButtonGroup* modeGroup = nullptr;
  QGroupBox* FrOptions[8] = {};  // 1..7
  QLineEdit* txtBaseReg = nullptr;
  QLineEdit* Text3 = nullptr;
  QLineEdit* txtSlave = nullptr;
  QRadioButton* optSlave[6] = {};
  QButtonGroup* slaveGroup = nullptr;
  QLineEdit* txtBaseRegDF1 = nullptr;
  QLineEdit* txtFileNo = nullptr;
  QLineEdit* txtSlaveDF1 = nullptr;
  QComboBox* Combo1 = nullptr;
  QLineEdit* txtDf1Pos = nullptr;
  QLineEdit* txtDF1Req = nullptr;
  QLineEdit* txtDistScanCnt = nullptr;
  QLabel* lblDistScanCnt = nullptr;
  QComboBox* cmbComm = nullptr;
  QPushButton* cmdConnect = nullptr;
  QLabel* lblCntDn = nullptr;
  QGroupBox* Frame2 = nullptr;
  QListWidget* LV1 = nullptr;
  QLabel* Label1_1 = nullptr;
  QPushButton* cmdReScan = nullptr;
  QPushButton* cmdToolbox = nullptr;
  QRadioButton* optEthMode[4] = {};  // 1..3
  QButtonGroup* ethGroup = nullptr;
  QLineEdit* txtIPAddress = nullptr;
  QLineEdit* txtEIPFile = nullptr;
  QLineEdit* txtEIPOff = nullptr;
  QLineEdit* txtEipPath = nullptr;
  QLineEdit* txtMBReg = nullptr;
  QLabel* lblEthernet[6] = {};  // 0, 1, 3, 5
  QLabel* lblEipCipDesc = nullptr;
  QLabel* lblEipPath = nullptr;
  QLineEdit* txtTitle = nullptr;
  QPushButton* cmdUpdateXAV = nullptr;
  QLabel* lblWait = nullptr;
  QPushButton* Command4 = nullptr;
};

// Mode option captions 1..6 and 8 (empty for 0 and 7).
QString modeCaption(int index);

}  // namespace xavcfg
