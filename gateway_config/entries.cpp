#include "entries.h"

#include <QStringList>

#include "numbers.h"

namespace gw {

namespace {

bool integerValueIn(const QString& text, long long lo, long long hi) {
  const long long v = xav::roundHalfToEven(xav::leadingNumber(text));
  return v >= lo && v <= hi;
}

}  // namespace

bool Entries::validPlcAddress(const QString& text) {
  const QStringList parts = text.split(u'.');
  if (parts.size() != 4) return false;
  for (const QString& p : parts) {
    // A negative part would reach the gateway's file as "-1": refuse it too.
    const double v = xav::leadingNumber(p);
    if (p.isEmpty() || v > 255 || v < 0) return false;
  }
  return true;
}

bool Entries::validFileNumber(const QString& text) { return integerValueIn(text, 7, 255); }
bool Entries::validBaseElement(const QString& text) { return integerValueIn(text, 0, 214); }
bool Entries::validStartRegister(const QString& text) { return integerValueIn(text, 40001, 465514); }

bool Entries::validSlot(const QString& text) {
  if (text.isEmpty() || text.size() > 3) return false;
  for (QChar c : text)
    if (c < u'0' || c > u'9') return false;
  return true;
}

bool Entries::validTitle(const QString& text) { return !text.contains(u','); }

QString Entries::text(Field f) const {
  switch (f) {
    case Field::PlcAddress: return plcAddress;
    case Field::FileNumber: return fileNumber;
    case Field::BaseElement: return baseElement;
    case Field::Slot: return slot;
    case Field::StartRegister: return startRegister;
    case Field::Title: return title;
  }
  return {};
}

bool Entries::isValid(Field f) const {
  switch (f) {
    case Field::PlcAddress: return validPlcAddress(plcAddress);
    case Field::FileNumber: return validFileNumber(fileNumber);
    case Field::BaseElement: return validBaseElement(baseElement);
    case Field::StartRegister: return validStartRegister(startRegister);
    case Field::Slot:
    case Field::Title: return true;
  }
  return true;
}

bool Entries::strictlyValid(Field f) const {
  if (f == Field::Slot) return validSlot(slot);
  if (f == Field::Title) return validTitle(title);
  return isValid(f);
}

Refusal Entries::refusal() const {
  if (!isValid(Field::PlcAddress)) return Refusal::IllegalIp;
  if (protocol < kPccc || protocol > kModbusTcp) return Refusal::NoProtocol;
  if (protocol == kPccc && (!isValid(Field::FileNumber) || !isValid(Field::BaseElement)))
    return Refusal::BadFileOrBase;
  return Refusal::None;
}

bool Entries::firstInvalidField(Field* f) const {
  QList<Field> used{Field::PlcAddress};
  if (protocol == kPccc) used << Field::FileNumber << Field::BaseElement;
  if (protocol == kCip) used << Field::Slot;
  if (protocol == kModbusTcp) used << Field::StartRegister;
  used << Field::Title;
  for (Field u : used)
    if (!strictlyValid(u)) {
      if (f) *f = u;
      return true;
    }
  return false;
}

QString Entries::invalidFieldMessage(Field f) {
  switch (f) {
    case Field::PlcAddress: return refusalMessage(Refusal::IllegalIp);
    case Field::FileNumber:
    case Field::BaseElement: return refusalMessage(Refusal::BadFileOrBase);
    case Field::StartRegister: return QStringLiteral("Enter a starting register from 40001 to 465514");
    case Field::Slot: return QStringLiteral("Enter the processor slot as a number");
    case Field::Title: return QStringLiteral("A title cannot hold a comma");
  }
  return {};
}

ConfigEntries Entries::toConfigEntries() const {
  ConfigEntries e;
  e.protocol = protocol;
  e.title = title;
  e.plcAddress = plcAddress;
  e.plcAddressValid = isValid(Field::PlcAddress);
  e.fileNumber = fileNumber;
  e.fileNumberValid = isValid(Field::FileNumber);
  e.baseElement = baseElement;
  e.baseElementValid = isValid(Field::BaseElement);
  e.slot = slot;
  e.startRegister = startRegister;
  return e;
}

Entries Entries::restoredFrom(const CurrentConfig& cfg) const {
  Entries e = *this;
  if (!cfg.readable) return e;
  switch (cfg.protocolCode) {
    case kPccc:
      e.fileNumber = cfg.field(2);
      e.baseElement = cfg.field(3);
      break;
    case kCip:
      // Field 2 is always empty and field 3 repeats the hidden register box: only the slot comes back.
      e.slot = cfg.field(4);
      break;
    case kModbusTcp: e.startRegister = cfg.field(2); break;
    default: break;
  }
  e.protocol = cfg.protocolCode;
  e.title = cfg.title;
  e.plcAddress = cfg.field(1);
  return e;
}

int protocolFromName(const QString& name) {
  const QString n = name.trimmed().toLower();
  if (n == QLatin1String("pccc") || n == QLatin1String("1")) return kPccc;
  if (n == QLatin1String("cip") || n == QLatin1String("2")) return kCip;
  if (n == QLatin1String("modbus") || n == QLatin1String("3")) return kModbusTcp;
  return kNoProtocol;
}

QString protocolName(int protocol) {
  switch (protocol) {
    case kPccc: return QStringLiteral("pccc");
    case kCip: return QStringLiteral("cip");
    case kModbusTcp: return QStringLiteral("modbus");
  }
  return {};
}

// The free forms of the rules, for the pane and older callers.
bool isValidPlcAddress(const QString& text) { return Entries::validPlcAddress(text); }
bool isValidFileNumber(const QString& text) { return Entries::validFileNumber(text); }
bool isValidBaseElement(const QString& text) { return Entries::validBaseElement(text); }
bool isValidStartRegister(const QString& text) { return Entries::validStartRegister(text); }

}  // namespace gw
