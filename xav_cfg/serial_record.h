#pragma once
// The serial configuration line of an XAV module, widget-free: reading the
// columns of the module's reply and building the 45-character record that
// Save sends back. Reply column n is record column n + 1 (the record starts
// with "@").

#include <QByteArray>
#include <QString>

namespace xavcfg {

inline constexpr int kRecordLength = 45;
inline constexpr int kReplyMinimum = 30;

// A reply field read as a number: the decimal digits at the start of the
// field (blanks skipped). No digit, or a column beyond the reply, reads 0.
int replyField(const QByteArray& reply, int column, int width);

// The columns of a reply that the tool uses.
struct ModuleReply {
  int mode = 0;          // column 1
  int baseRegister = 0;  // columns 2-6 (modes 4 and 5)
  int slaveAddress = 0;  // columns 7-8 (modes 4 and 5)
  int fileNumber = 0;    // columns 14-16 (mode 5)
  int slaveRange = 0;    // column 43 (mode 3)
};
ModuleReply readReply(const QByteArray& reply);

// Modes the window has an option and a frame for.
inline bool isKnownMode(int mode) { return mode >= 1 && mode <= 6; }
inline bool isKnownSlaveRange(int index) { return index >= 0 && index <= 5; }

// The serial entries of the window as Save reads them.
struct SerialEntries {
  int mode = 0;            // selected optMode 1..6; 0 when none is selected
  QString baseReg;         // txtBaseReg (mode 4)
  QString slave;           // txtSlave (mode 4)
  QString baseRegDF1;      // txtBaseRegDF1 (mode 5)
  QString slaveDF1;        // txtSlaveDF1 (mode 5)
  QString fileNo;          // txtFileNo (mode 5)
  QString slaveMode;       // GetSlaveMode: "" or "0".."5" (mode 3)
};

struct RecordResult {
  bool ok = false;
  QByteArray record;   // exactly 45 characters when ok (the CR is not part of it)
  QString box;         // objectName of the box that was refused
  QString message;     // what the operator is told when refused
};

// Builds the record for modes 1 to 6. A number that does not fit its
// column (negative, or more digits than the column holds) is refused with
// a message naming its box, so the record is always exactly 45 characters.
// Mode 0 (no mode selected) is refused too: nothing may be sent then.
RecordResult buildSerialRecord(const SerialEntries& entries);

// The DF1 file number the box accepts: 7 to 256, but not 8.
bool isAcceptedDf1FileNumber(const QString& text);

}  // namespace xavcfg
