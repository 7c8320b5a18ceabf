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
#include "utility_wait.h"  // until this file drives sessions instead

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

void checkAddress(QLineEdit* box, QString* plcIp) {
  const bool ok = isValidPlcAddress(box->text());
  paintValidity(box, ok);
  if (ok && plcIp) *plcIp = box->text();
}

void checkBox(QLineEdit* box, bool (*rule)(const QString&)) { paintValidity(box, rule(box->text())); }

}  // namespace

void paintValidity(QLineEdit* box, bool valid) {
  if (!box) return;
  QPalette p = box->palette();
  const QColor want = QColor::fromRgb(valid ? xav::colours::White : xav::colours::LightRed);
  if (p.color(QPalette::Base) == want) return;
  p.setColor(QPalette::Base, want);
  box->setPalette(p);
}

bool isWhite(const QLineEdit* box) {
  return box && box->palette().color(QPalette::Base).rgb() == QColor::fromRgb(xav::colours::White).rgb();
}

void revalidate(const EthernetPane& pane, QLineEdit* box) {
  if (!box) return;
  if (box == pane.txtIPAddress) checkAddress(box, pane.plcIp);
  else if (box == pane.txtMBReg) checkBox(box, isValidStartRegister);
  else if (box == pane.txtEIPFile) checkBox(box, isValidFileNumber);
  else if (box == pane.txtEIPOff) checkBox(box, isValidBaseElement);
}

void installEntryRules(const EthernetPane& pane) {
  if (QLineEdit* box = pane.txtIPAddress) {
    QString* plcIp = pane.plcIp;
    QObject::connect(box, &QLineEdit::textChanged, box, [box, plcIp] { checkAddress(box, plcIp); });
    // An empty address is not a legal one, also before the first change.
    paintValidity(box, isValidPlcAddress(box->text()));
  }
  const std::pair<QLineEdit*, bool (*)(const QString&)> numbers[] = {
      {pane.txtMBReg, isValidStartRegister}, {pane.txtEIPFile, isValidFileNumber}, {pane.txtEIPOff, isValidBaseElement}};
  for (const auto& [box, rule] : numbers) {
    if (!box) continue;
    QObject::connect(box, &QLineEdit::textChanged, box, [box, rule] { checkBox(box, rule); });
    checkBox(box, rule);
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

ConfigEntries collectEntries(const EthernetPane& pane) {
  ConfigEntries e;
  e.protocol = selectedProtocol(pane);
  if (pane.txtTitle) e.title = pane.txtTitle->text();
  if (pane.txtIPAddress) e.plcAddress = pane.txtIPAddress->text();
  e.plcAddressValid = isWhite(pane.txtIPAddress);
  if (pane.txtEIPFile) e.fileNumber = pane.txtEIPFile->text();
  e.fileNumberValid = !pane.txtEIPFile || isWhite(pane.txtEIPFile);
  if (pane.txtEIPOff) e.baseElement = pane.txtEIPOff->text();
  e.baseElementValid = !pane.txtEIPOff || isWhite(pane.txtEIPOff);
  if (pane.txtEipPath) e.slot = pane.txtEipPath->text();
  if (pane.txtMBReg) e.startRegister = pane.txtMBReg->text();
  return e;
}

bool saveEthernetConfiguration(const EthernetPane& pane, const QString& workDir, const QString& moduleIp,
                               const QString& captionsTail, QWidget* parent, SaveOutcome* outcome) {
  const ConfigEntries entries = collectEntries(pane);
  const GeneratedConfig gen = generateConfig(entries, captionsTail);
  if (gen.titleReplaced) setText(pane.txtTitle, gen.title);
  if (gen.refusal != Refusal::None) {
    xav::showMessage(parent, xav::MessageIcon::None, QString(), refusalMessage(gen.refusal));
    return false;
  }
  if (pane.plcIp) *pane.plcIp = gen.plcIp;
  if (entries.protocol == kPccc && pane.txtEIPFile) pane.txtEIPFile->setFocus();
  if (entries.protocol == kModbusTcp && pane.txtMBReg) pane.txtMBReg->setFocus();

  // A file is only sent to an address the loader command can carry.
  const QString upload = uploadConfigurationCommand(moduleIp);
  if (upload.isEmpty()) {
    xav::showMessage(parent, xav::MessageIcon::Exclamation, QString(), notAnAddressMessage(moduleIp));
    return false;
  }
  QString error;
  if (!writeConfigFile(workDir, gen.bytes, &error)) {
    xav::showMessage(parent, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("Config.csv could not be written:") + QStringLiteral("\r\n") + error);
    return false;
  }
  if (pane.lblWait) {
    pane.lblWait->show();
    pane.lblWait->repaint();
  }
  const RunResult run = ShellAndWait(upload, kNormalNoFocus);
  if (pane.lblWait) pane.lblWait->hide();
  if (outcome) *outcome = SaveOutcome{gen.bytes, normalAddress(moduleIp), run, QTime::currentTime()};
  return true;
}

}  // namespace gw
