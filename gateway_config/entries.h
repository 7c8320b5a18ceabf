#pragma once
// The operator's Ethernet entries as one value: protocol, PLC address, the
// protocol's numbers and the title, each field's validity by the entry rules
// (the colour a window paints a box), what a save refuses, and the values a
// read-back restores. The windows, the sessions and xav-config all judge
// entries here. Widget-free.

#include <QString>

#include "profiles.h"
#include "readback.h"

namespace gw {

struct Entries {
  enum class Field { PlcAddress, FileNumber, BaseElement, Slot, StartRegister, Title };

  int protocol = kNoProtocol;  // kPccc, kCip, kModbusTcp; kNoProtocol when none chosen
  QString plcAddress;
  QString fileNumber = QStringLiteral("7");      // PCCC integer file
  QString baseElement = QStringLiteral("0");     // PCCC base element
  QString slot = QStringLiteral("0");            // CIP processor slot
  QString startRegister = QStringLiteral("40001");  // Modbus/TCP
  QString title;

  // The entry rules of one text (white when true):
  static bool validPlcAddress(const QString& text);    // four parts, none empty, each value 0..255
  static bool validFileNumber(const QString& text);    // integer value (halves to even) 7..255
  static bool validBaseElement(const QString& text);   // the same, 0..214
  static bool validStartRegister(const QString& text);  // the same, 40001..465514
  // The slot box has no colour; a script's slot must be a plain number.
  static bool validSlot(const QString& text);
  // A title never holds a comma (the window discards the key).
  static bool validTitle(const QString& text);

  QString text(Field f) const;
  // The field's rule on its text. Fields without a colour (slot, title) are
  // valid in the window's sense; strictlyValid also checks those.
  bool isValid(Field f) const;
  bool strictlyValid(Field f) const;

  // What the window's save refuses, in the save's order: the address, then
  // the protocol, then (PCCC) the file and base numbers.
  Refusal refusal() const;
  // The first field, among those the chosen protocol uses, that breaks a
  // rule (strictly); nullopt-like: returns false when all hold.
  bool firstInvalidField(Field* f) const;
  // One sentence naming that field: the window's own message for the fields
  // its save refuses ("Enter a legal IP Address", "Correct File or Base
  // Register Number"), a plain one for the others.
  static QString invalidFieldMessage(Field f);

  // For the generator: texts and validities.
  ConfigEntries toConfigEntries() const;
  // The values a read-back restores into these entries (protocol, PLC
  // address, the protocol's numbers, title); the fields the file does not
  // carry keep their values. A file that is not readable changes nothing;
  // one with an unknown protocol code gives only title and address.
  Entries restoredFrom(const CurrentConfig& cfg) const;

  friend bool operator==(const Entries&, const Entries&) = default;
};

// "pccc", "cip", "modbus" (also "1", "2", "3"); kNoProtocol for anything else.
int protocolFromName(const QString& name);
QString protocolName(int protocol);  // "pccc", "cip", "modbus"; empty for none

}  // namespace gw
