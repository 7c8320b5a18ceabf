#include "ethernet_pane.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "colours.h"
#include "commands.h"
#include "message_boxes.h"
#include "processes.h"

namespace gw {

namespace {

void setVisible(QWidget* w, bool on) {
  if (w) w->setVisible(on);
}

void setText(QLineEdit* box, const QString& text) {
  if (box) box->setText(text);
}

// Key rules of the title (no comma) and the slot box (a key replaces the
// first two characters). Mouse pastes are not filtered, as in the original.
class EntryKeyFilter : public QObject {
 public:
  enum Kind { Title, Slot };
  EntryKeyFilter(QLineEdit* box, Kind kind) : QObject(box), box_(box), kind_(kind) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != box_ || event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->text().isEmpty()) return false;  // navigation keys carry no character
    if (kind_ == Title) return key->text().contains(QLatin1Char(','));
    box_->setSelection(0, 2);
    return false;
  }

 private:
  QLineEdit* box_;
  Kind kind_;
};

constexpr Entries::Field kColouredFields[] = {Entries::Field::PlcAddress, Entries::Field::FileNumber,
                                             Entries::Field::BaseElement, Entries::Field::StartRegister};

// Re-colours one field's box from the pane's entries; a valid address is
// also the window's kept PLC address.
void paintField(const EthernetPane& pane, Entries::Field field) {
  QLineEdit* box = fieldBox(pane, field);
  if (!box) return;
  const bool ok = paneEntries(pane).isValid(field);
  paintValidity(box, ok);
  if (field == Entries::Field::PlcAddress && ok && pane.plcIp) *pane.plcIp = box->text();
}

}  // namespace

void paintValidity(QLineEdit* box, bool valid) {
  if (!box) return;
  QPalette p = box->palette();
  const QColor want = QColor::fromRgb(valid ? xav::colours::White : xav::colours::LightRed);
  const QColor ink(Qt::black);  // both backgrounds are light
  if (p.color(QPalette::Base) == want && p.color(QPalette::Text) == ink) return;
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
    p.setColor(g, QPalette::Base, want);
    p.setColor(g, QPalette::Text, ink);
  }
  box->setPalette(p);
}

QLineEdit* fieldBox(const EthernetPane& pane, Entries::Field field) {
  switch (field) {
    case Entries::Field::PlcAddress: return pane.txtIPAddress;
    case Entries::Field::FileNumber: return pane.txtEIPFile;
    case Entries::Field::BaseElement: return pane.txtEIPOff;
    case Entries::Field::Slot: return pane.txtEipPath;
    case Entries::Field::StartRegister: return pane.txtMBReg;
    case Entries::Field::Title: return pane.txtTitle;
  }
  return nullptr;
}

Entries paneEntries(const EthernetPane& pane) {
  Entries e;
  e.protocol = selectedProtocol(pane);
  if (pane.txtTitle) e.title = pane.txtTitle->text();
  if (pane.txtIPAddress) e.plcAddress = pane.txtIPAddress->text();
  if (pane.txtEIPFile) e.fileNumber = pane.txtEIPFile->text();
  if (pane.txtEIPOff) e.baseElement = pane.txtEIPOff->text();
  if (pane.txtEipPath) e.slot = pane.txtEipPath->text();
  if (pane.txtMBReg) e.startRegister = pane.txtMBReg->text();
  return e;
}

void paintFromEntries(const EthernetPane& pane) {
  for (Entries::Field f : kColouredFields) paintField(pane, f);
}

void showEntries(const EthernetPane& pane, const Entries& entries) {
  setText(pane.txtTitle, entries.title);
  setText(pane.txtEIPFile, entries.fileNumber);
  setText(pane.txtEIPOff, entries.baseElement);
  setText(pane.txtEipPath, entries.slot);
  setText(pane.txtMBReg, entries.startRegister);
  if (entries.protocol >= kPccc && entries.protocol <= kModbusTcp) {
    selectProtocol(pane, entries.protocol);
  } else {
    ClearModes(pane);
    DisableEthernetEntry(pane);
  }
  setText(pane.txtIPAddress, entries.plcAddress);
  paintFromEntries(pane);
}

bool isWhite(const QLineEdit* box) {
  return box && box->palette().color(QPalette::Base).rgb() == QColor::fromRgb(xav::colours::White).rgb();
}

void revalidate(const EthernetPane& pane, QLineEdit* box) {
  if (!box) return;
  for (Entries::Field f : kColouredFields)
    if (fieldBox(pane, f) == box) paintField(pane, f);
}

void installEntryRules(const EthernetPane& pane) {
  for (Entries::Field f : kColouredFields) {
    QLineEdit* box = fieldBox(pane, f);
    if (!box) continue;
    // The pane is a set of pointers to the window's widgets: a copy outlives nothing.
    QObject::connect(box, &QLineEdit::textChanged, box, [pane, f] { paintField(pane, f); });
    // An empty address is not a legal one, also before the first change.
    paintField(pane, f);
  }
  if (pane.txtTitle) pane.txtTitle->installEventFilter(new EntryKeyFilter(pane.txtTitle, EntryKeyFilter::Title));
  if (pane.txtEipPath) pane.txtEipPath->installEventFilter(new EntryKeyFilter(pane.txtEipPath, EntryKeyFilter::Slot));
}

void DisableEthernetEntry(const EthernetPane& pane) {
  for (QWidget* w : {static_cast<QWidget*>(pane.lblEthernet0), static_cast<QWidget*>(pane.lblEthernet1),
                     static_cast<QWidget*>(pane.lblEthernet3), static_cast<QWidget*>(pane.lblEthernet5),
                     static_cast<QWidget*>(pane.lblEipCipDesc), static_cast<QWidget*>(pane.lblEipPath),
                     static_cast<QWidget*>(pane.txtEipPath), static_cast<QWidget*>(pane.txtEIPFile),
                     static_cast<QWidget*>(pane.txtEIPOff), static_cast<QWidget*>(pane.txtMBReg)})
    setVisible(w, false);
}

void ClearModes(const EthernetPane& pane) {
  for (int c = 1; c <= 3; ++c) {
    QRadioButton* opt = pane.optEthMode[c];
    if (!opt) continue;
    // An exclusive group never lets its last checked button go; lift that briefly.
    QButtonGroup* group = opt->group();
    const bool exclusive = group ? group->exclusive() : opt->autoExclusive();
    if (group) group->setExclusive(false);
    else opt->setAutoExclusive(false);
    opt->setChecked(false);
    if (group) group->setExclusive(exclusive);
    else opt->setAutoExclusive(exclusive);
  }
  setText(pane.txtIPAddress, QString());
}

void EnableProtocols(const EthernetPane& pane) {
  for (int c = 1; c <= 3; ++c)
    if (pane.optEthMode[c]) pane.optEthMode[c]->setEnabled(true);
}

void DisableProtocols(const EthernetPane& pane) {
  ClearModes(pane);
  for (int c = 1; c <= 3; ++c)
    if (pane.optEthMode[c]) pane.optEthMode[c]->setEnabled(false);
  setText(pane.txtTitle, QString());
  setText(pane.txtIPAddress, QString());
}

void resetToStartValues(const EthernetPane& pane) {
  ClearModes(pane);
  DisableEthernetEntry(pane);
  setText(pane.txtTitle, QString());
  setText(pane.txtEIPFile, QStringLiteral("7"));
  setText(pane.txtEIPOff, QStringLiteral("0"));
  setText(pane.txtEipPath, QStringLiteral("0"));
  setText(pane.txtMBReg, QStringLiteral("40001"));
  for (QLineEdit* box : {pane.txtIPAddress, pane.txtEIPFile, pane.txtEIPOff, pane.txtMBReg}) revalidate(pane, box);
}

void selectProtocol(const EthernetPane& pane, int c) {
  if (c < 1 || c > 3) return;
  DisableEthernetEntry(pane);
  if (pane.optEthMode[c]) pane.optEthMode[c]->setChecked(true);
  setVisible(pane.lblEthernet5, true);
  revalidate(pane, pane.txtIPAddress);
  switch (c) {
    case kPccc:
      revalidate(pane, pane.txtEIPFile);
      revalidate(pane, pane.txtEIPOff);
      setVisible(pane.txtEIPFile, true);
      setVisible(pane.txtEIPOff, true);
      setVisible(pane.lblEthernet0, true);
      setVisible(pane.lblEthernet1, true);
      break;
    case kCip:
      setVisible(pane.lblEipCipDesc, true);
      setVisible(pane.lblEipPath, true);
      setVisible(pane.txtEipPath, true);
      break;
    case kModbusTcp:
      revalidate(pane, pane.txtMBReg);
      setVisible(pane.txtMBReg, true);
      setVisible(pane.lblEthernet3, true);
      break;
  }
}

int selectedProtocol(const EthernetPane& pane) {
  for (int c = 1; c <= 3; ++c)
    if (pane.optEthMode[c] && pane.optEthMode[c]->isChecked()) return c;
  return kNoProtocol;
}

void UnpackPCCC(const EthernetPane& pane, const CurrentConfig& cfg) {
  selectProtocol(pane, kPccc);
  setText(pane.txtEIPFile, cfg.field(2));
  setText(pane.txtEIPOff, cfg.field(3));
  setText(pane.txtIPAddress, cfg.field(1));
}

void UnpackEIP(const EthernetPane& pane, const CurrentConfig& cfg) {
  selectProtocol(pane, kCip);
  // Field 2 is always empty and field 3 repeats the hidden register box: only the slot comes back.
  setText(pane.txtEipPath, cfg.field(4));
  setText(pane.txtIPAddress, cfg.field(1));
}

void UnpackMmodbus(const EthernetPane& pane, const CurrentConfig& cfg) {
  selectProtocol(pane, kModbusTcp);
  setText(pane.txtMBReg, cfg.field(2));
  setText(pane.txtIPAddress, cfg.field(1));
}

ReadBackResult applyReadBack(const EthernetPane& pane, const CurrentConfig& cfg, QString* captionsTail,
                             QWidget* parent) {
  if (captionsTail) *captionsTail = cfg.readable && cfg.hasCaptions ? cfg.captionsTail : QString();
  if (!cfg.readable) {
    xav::showMessage(parent, xav::MessageIcon::None, QString(), QStringLiteral("Current Config file is corrupt."));
    return ReadBackResult::Unreadable;
  }
  ReadBackResult result = ReadBackResult::Restored;
  switch (cfg.protocolCode) {
    case kPccc: UnpackPCCC(pane, cfg); break;
    case kCip: UnpackEIP(pane, cfg); break;
    case kModbusTcp: UnpackMmodbus(pane, cfg); break;
    default:
      xav::showMessage(parent, xav::MessageIcon::None, QString(), QStringLiteral("Current Config file is corrupt."));
      result = ReadBackResult::UnknownProtocol;
      break;
  }
  setText(pane.txtTitle, cfg.title);
  setText(pane.txtIPAddress, cfg.field(1));
  return result;
}

ConfigEntries collectEntries(const EthernetPane& pane) { return paneEntries(pane).toConfigEntries(); }


}  // namespace gw
