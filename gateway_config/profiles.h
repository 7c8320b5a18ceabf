#pragma once
// Config.csv generation (Profiles): the template blocks, the placeholders,
// the summary line and the captions tail, and the entry validity rules of
// the fields that feed them. Widget-free: the windows pass in their field
// texts and validity colours.

#include <QByteArray>
#include <QString>

namespace gw {

// Protocol codes; also the index of the optEthMode option buttons.
enum Protocol { kNoProtocol = 0, kPccc = 1, kCip = 2, kModbusTcp = 3 };

// Each returns its block afresh; every line ends in CR LF.
QString BuildCommonSections();
QString BuildModbusProfile();
QString BuildPcccProfile();
QString BuildCipProfile();

// Normal form of a PLC address: parts 0..3 as plain decimal ("010.001.002.003" -> "10.1.2.3").
QString normalPlcIp(const QString& fieldText);

// Validity of the entry boxes, tested on every change (white when true).
// The rules are the entries' own (Entries in entries.h); these forward.
bool isValidPlcAddress(const QString& text);    // four parts, none empty, each value <= 255
bool isValidFileNumber(const QString& text);    // integer value 7..255
bool isValidBaseElement(const QString& text);   // integer value 0..214
bool isValidStartRegister(const QString& text); // value (halves to even) 40001..465514

// The operator's entries as the save reads them: the field texts as typed
// and, for the fields whose colour the save tests, whether they are white.
struct ConfigEntries {
  int protocol = kNoProtocol;  // first optEthMode option that is set; 0 none
  QString title;               // txtTitle
  QString plcAddress;          // txtIPAddress
  bool plcAddressValid = false;
  QString fileNumber = QStringLiteral("7");  // txtEIPFile
  bool fileNumberValid = true;
  QString baseElement = QStringLiteral("0");  // txtEIPOff
  bool baseElementValid = true;
  QString slot = QStringLiteral("0");             // txtEipPath
  QString startRegister = QStringLiteral("40001");  // txtMBReg
};

enum class Refusal { None, IllegalIp, BadFileOrBase, NoProtocol };

// Message texts of the refusals.
QString refusalMessage(Refusal r);  // "Enter a legal IP Address", "Correct File or Base Register Number", ...

struct GeneratedConfig {
  Refusal refusal = Refusal::None;
  QByteArray bytes;   // the whole Config.csv (8-bit text), empty when refused
  QString plcIp;      // normal form used
  QString title;      // title used ("Change this title if desired." when the field was blank)
  bool titleReplaced = false;  // the field must show `title` (blank title replaced)
  QString summaryLine;
};

// The file a save writes, with the save's refusal order: the title default
// is applied first (also when refused), then the address, then protocol.
GeneratedConfig generateConfig(const ConfigEntries& entries, const QString& captionsTail);

// Writes Config.csv into workDir whole (never half written); false and a
// reason on failure.
bool writeConfigFile(const QString& workDir, const QByteArray& bytes, QString* error);

// Deletes every file of workDir named config.csv without regard to case.
void deleteConfigCsv(const QString& workDir);

}  // namespace gw
