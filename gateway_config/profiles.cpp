#include "profiles.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cmath>

#include "files.h"
#include "numbers.h"
#include "readback.h"

namespace gw {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString joinLines(std::initializer_list<const char*> lines) {
  QString block;
  for (const char* l : lines) block += QLatin1String(l) + kCrLf;
  return block;
}

// A number as the original's default number-to-text conversion writes it:
// whole values without a fraction, others with up to 15 significant digits.
QString plainNumber(double v) {
  if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15) return QString::number(static_cast<long long>(v));
  return QString::number(v, 'g', 15);
}

// Three digits with leading zeros and one blank ("007 ").
QString threeDigitsAndBlank(double v) { return xav::zeroPadded(xav::roundHalfAwayFromZero(v), 3) + u' '; }

}  // namespace

QString BuildCommonSections() {
  QString block = joinLines({
      "Bridge",
      "Title                  , System_Node_Id",
      "%04% , 11",
      "",
      "Data_Arrays",
      "Data_Array_Name  , Data_Format , Data_Array_Length , Data_Array_Function",
      "DA_TVR_POS       , UInt16      , 20                , -",
      "DA_TVR_S_POS     , UInt16      , 20                , -",
      "DA_TVR_S_POS_BLK , UInt16      , 20                , -",
      "DA_TVR_REQ       , UInt16      , 20                , -",
      "DA_TVR_S_REQ     , UInt16      , 20                , -",
      "DA_Trigger       , Bit         , 1                 , -",
      "DA_COMM_OK       , Bit         , 256               , Node_Status",
      "DA_Title         , Byte        , 30                , -",
      "",
      "Preloads",
      "Data_Array_Name , Data_Array_Offset , Preload_Data_Value , Length",
      "DA_Trigger      , 000               , 1                  , 1       //Start shadow array trigger",
      "",
      "Preloads",
      "Data_Array_Name , Preload_Data_Value, Preload_Data_Format, Preload_Data_Index, length",
      "DA_Title , %04% , string              , 0                  , 1",
      "",
      "Moves",
      "Source_Data_Array , Source_Offset , Target_Data_Array , Target_Offset , Length , Function  , "
      "Conditional_Data_Array , Conditional_Offset",
      "DA_TVR_POS        , 000           , DA_TVR_S_POS_BLK  , 000           , 20     , Move_Only , "
      "DA_Trigger             , 000               ",
      "",
      "Moves",
      "Source_Data_Array , Source_Offset , Target_Data_Array , Target_Offset , Length , Function",
  });
  for (int n = 0; n < 20; ++n) {
    const QString idx = xav::zeroPadded(n, 3);
    block += QStringLiteral("DA_TVR_POS        , ") + idx + QStringLiteral("           , DA_TVR_S_POS      , ") + idx +
             QStringLiteral("           , 1      , Move_Only") + kCrLf;
  }
  block += joinLines({
      "DA_TVR_S_REQ      , 000           , DA_TVR_REQ        , 000           , 20     , Move_Only",
      "",
      "Connections",
      "Port , Baud  , Parity , Data_Bits , Stop_Bits , Protocol",
      "S1   , 38400 , None   , 8         , 1         , PSP",
      "P1   , 38400 , None   , 8         , 1         , PSP",
  });
  return block;
}

QString BuildModbusProfile() {
  return joinLines({
      "//Modbus/TCP",
      "Connections",
      "Adapter, Protocol",
      "N1     , Modbus/TCP",
      "Nodes",
      "Node_Name, Node_ID, Protocol  , Adapter, IP_Address    , Recovery_Interval",
      "PLC_01   , 01     , Modbus/TCP, N1     , %01%  , 15.000s",
      "Map_Descriptors",
      "Map_Descriptor_Name, Data_Array_Name , Data_Array_Offset, Function, Node_Name, Address, Length, Scan_Interval",
      "CMD_TVR_POS_BLK    , DA_TVR_S_POS_BLK, 000              , Wrbc    , PLC_01   , %02%  , 20    , 0.500s",
      "CMD_TVR_REQ        , DA_TVR_REQ      , 000              , Rdbc    , PLC_01   , %03%  , 20    , 0.500s",
  });
}

QString BuildPcccProfile() {
  QString block = joinLines({
      "//EIP_PCCC",
      "Connections",
      "Adapter , Protocol",
      "N1      , Ethernet/IP",
      "Nodes",
      "Node_Name , Node_ID , Protocol    , Adapter , IP_Address",
      "EIP_01    , 01      , Ethernet/IP , N1      , %01%",
      "Map_Descriptors",
      "Map_Descriptor_Name , Data_Array_Name , Data_Array_Offset , EIP_CON_TYP , Node_Name , Function , "
      "EIP_SERVICE , File_Type , File_Number , Address , Length , Scan_Interval",
  });
  const struct {
    const char* name;
    const char* array;
    const char* function;
  } groups[] = {{"CMD_TVR_POS_", "DA_TVR_S_POS    ", "Wrbc"}, {"CMD_TVR_REQ_", "DA_TVR_REQ      ", "Rdbc"}};
  for (const auto& g : groups) {
    for (int k = 0; k < 20; ++k) {
      block += QLatin1String(g.name) + xav::zeroPadded(k, 2) + QStringLiteral("      , ") + QLatin1String(g.array) +
               QStringLiteral(", ") + xav::zeroPadded(k, 3) + QStringLiteral("               , EXPLICIT    , EIP_01    , ") +
               QLatin1String(g.function) +
               QStringLiteral("     , EXEC_PCCC   , N         , %02%        , %03%    , 1      , 0.100s") + kCrLf;
    }
  }
  return block;
}

QString BuildCipProfile() {
  return joinLines({
      "//EthernetIP",
      "Connections",
      "Adapter , Protocol",
      "N1      , Ethernet/IP",
      "Nodes",
      "Node_Name , Node_ID , Protocol    , Adapter , IP_Address",
      "EIP_01    , 01      , Ethernet/IP , N1      , %01%",
      "Map_Descriptors",
      "Map_Descriptor_Name , Data_Array_Name , Data_Array_Offset , EIP_CON_TYP , Node_Name , Function , "
      "EIP_SERVICE      , EIP_PATH , EIP_TAG_NAME , Length , Scan_Interval",
      "CMD_WR_01           , DA_TVR_S_POS    , 000               , EXPLICIT    , EIP_01    , Wrbc     , "
      "DATA_TABLE_WRITE , %02%      , TVR_POS      , 20     , 1.000s",
      "CMD_RD_01           , DA_TVR_REQ      , 000               , EXPLICIT    , EIP_01    , Rdbc     , "
      "DATA_TABLE_READ  , %02%      , TVR_REQ      , 20     , 1.000s",
  });
}

QString normalPlcIp(const QString& fieldText) {
  const QStringList parts = fieldText.split(u'.');
  QStringList out;
  for (int i = 0; i < 4; ++i)
    out << QString::number(i < parts.size() ? xav::leadingInteger(parts[i]) : 0);
  return out.join(u'.');
}

QString refusalMessage(Refusal r) {
  switch (r) {
    case Refusal::None: return {};
    case Refusal::IllegalIp: return QStringLiteral("Enter a legal IP Address");
    case Refusal::BadFileOrBase: return QStringLiteral("Correct File or Base Register Number");
    case Refusal::NoProtocol: return QStringLiteral("Select a protocol before saving.");
  }
  return {};
}

namespace {

// The PCCC body; false when the file or base number is refused.
bool pcccBody(const ConfigEntries& e, const QString& common, GeneratedConfig& out, QString* body) {
  if (!e.fileNumberValid || !e.baseElementValid) {
    out.refusal = Refusal::BadFileOrBase;
    return false;
  }
  // The 40 element addresses go into the map rows before the title joins
  // the body: a title holding "%03%" must not shift them.
  QString pccc = BuildPcccProfile();
  const QString placeholder = QStringLiteral("%03%");
  const double base = xav::leadingNumber(e.baseElement);
  qsizetype at = 0;
  for (int k = 0; k < 40; ++k) {
    at = pccc.indexOf(placeholder, at);
    if (at < 0) break;
    const QString value = threeDigitsAndBlank(base + k);
    pccc.replace(at, placeholder.size(), value);
    at += value.size();
  }
  *body = common + kCrLf + pccc;
  body->replace(QStringLiteral("%01%"), out.plcIp);
  body->replace(QStringLiteral("%02%"), threeDigitsAndBlank(xav::leadingNumber(e.fileNumber)));
  out.summaryLine = QStringLiteral("//1-ETHERNET/IP-PCCC, ") + out.plcIp + QStringLiteral(", ") + e.fileNumber +
                    QStringLiteral(", ") + e.baseElement;
  return true;
}

QString cipBody(const ConfigEntries& e, const QString& common, GeneratedConfig& out) {
  const QString slot = plainNumber(xav::leadingNumber(e.slot));
  QString body = common + BuildCipProfile();
  body.replace(QStringLiteral("%01%"), out.plcIp);
  body.replace(QStringLiteral("%02%"), QStringLiteral("1 ") + slot);
  out.summaryLine = QStringLiteral("//2-ETHERNET/IP-CIP, ") + out.plcIp + QStringLiteral(", ") + QStringLiteral(", ") +
                    e.startRegister + QStringLiteral(", ") + slot;
  return body;
}

QString modbusBody(const ConfigEntries& e, const QString& common, GeneratedConfig& out) {
  QString body = common + kCrLf + BuildModbusProfile();
  body.replace(QStringLiteral("%01%"), out.plcIp);
  body.replace(QStringLiteral("%02%"), e.startRegister);
  body.replace(QStringLiteral("%03%"), plainNumber(xav::leadingNumber(e.startRegister) + 20));
  out.summaryLine = QStringLiteral("//3-MODBUS/TCP, ") + out.plcIp + QStringLiteral(", ") + e.startRegister;
  return body;
}

}  // namespace

GeneratedConfig generateConfig(const ConfigEntries& e, const QString& captionsTail) {
  GeneratedConfig out;
  QString common = BuildCommonSections();
  out.title = e.title;
  if (out.title.trimmed().isEmpty()) {
    out.title = QStringLiteral("Change this title if desired.");
    out.titleReplaced = true;
  }
  common.replace(QStringLiteral("%04%"), out.title);

  if (!e.plcAddressValid) {
    out.refusal = Refusal::IllegalIp;
    return out;
  }
  if (e.protocol < kPccc || e.protocol > kModbusTcp) {
    out.refusal = Refusal::NoProtocol;
    return out;
  }
  out.plcIp = normalPlcIp(e.plcAddress);

  QString body;
  switch (e.protocol) {
    case kPccc:
      if (!pcccBody(e, common, out, &body)) return out;
      break;
    case kCip: body = cipBody(e, common, out); break;
    case kModbusTcp: body = modbusBody(e, common, out); break;
  }
  const QString file = out.summaryLine + kCrLf + body + kCrLf + captionsTail + kCrLf;
  out.bytes = file.toLatin1();
  return out;
}

bool writeConfigFile(const QString& workDir, const QByteArray& bytes, QString* error) {
  const QDir dir(workDir);
  if (!xav::writeWholeFile(dir.filePath(QStringLiteral("Config.csv")), bytes, error)) return false;
  // Names compare without regard to case on the module's side of things: a
  // stale config.csv beside the new file would be a second copy.
  for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
    if (name != QStringLiteral("Config.csv") && name.compare(QStringLiteral("config.csv"), Qt::CaseInsensitive) == 0)
      QFile::remove(dir.filePath(name));
  }
  return true;
}

void deleteConfigCsv(const QString& workDir) {
  const QDir dir(workDir);
  for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
    if (name.compare(QStringLiteral("config.csv"), Qt::CaseInsensitive) == 0) QFile::remove(dir.filePath(name));
  }
}

}  // namespace gw
