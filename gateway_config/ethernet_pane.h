#pragma once
// The Ethernet protocol pane that both configuration windows show: the
// protocol options, the PLC address and the protocol's numbers, the title,
// their entry rules and the read-back into the boxes. Each window owns its
// controls and hands the pane pointers to them; the save itself runs as a
// SaveSession (sessions.h) on the entries the pane gives.

#include <QByteArray>
#include <QString>
#include <QTime>

#include "entries.h"
#include "profiles.h"
#include "readback.h"
#include "utility_runner.h"

class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace gw {

struct EthernetPane {
  QLineEdit* txtTitle = nullptr;
  QLineEdit* txtIPAddress = nullptr;
  QLineEdit* txtEIPFile = nullptr;   // PCCC integer file number
  QLineEdit* txtEIPOff = nullptr;    // PCCC base element
  QLineEdit* txtEipPath = nullptr;   // CIP processor slot
  QLineEdit* txtMBReg = nullptr;     // Modbus/TCP starting register
  QRadioButton* optEthMode[4] = {};  // indexed by protocol code 1..3; [0] unused
  QLabel* lblEthernet0 = nullptr;    // "Integer File Number"
  QLabel* lblEthernet1 = nullptr;    // "Base register"
  QLabel* lblEthernet3 = nullptr;    // "Base Register" (Modbus/TCP)
  QLabel* lblEthernet5 = nullptr;    // "PLC IP Addr."
  QLabel* lblEipPath = nullptr;
  QLabel* lblEipCipDesc = nullptr;
  QLabel* lblWait = nullptr;
  QString* plcIp = nullptr;  // the window's kept PlcIP; set while the address box turns valid
};

// Validity colours: white valid, light red invalid, each with black text
// so the box reads under a dark theme. The colours are painted from the
// entries' validity (paneEntries(pane).isValid(field)); nothing reads them
// back to decide.
void paintValidity(QLineEdit* box, bool valid);
bool isWhite(const QLineEdit* box);

// The pane's boxes and options as one entries value.
Entries paneEntries(const EthernetPane& pane);
// The box that shows a field (nullptr when the window has none).
QLineEdit* fieldBox(const EthernetPane& pane, Entries::Field field);
// Paints each coloured box (address, file, base, register) from the
// validity its field has in paneEntries(pane).
void paintFromEntries(const EthernetPane& pane);
// Puts entries into the pane: the protocol selected with its fields shown
// (none when the entries name none), every box's text, the colours.
void showEntries(const EthernetPane& pane, const Entries& entries);

// Connects the entry rules: every change of the address, register, file and
// base boxes re-colours the box; the title refuses the comma key; a key in
// the slot box first selects its first two characters so the key replaces
// them. Paints every checked box for the text it holds now.
void installEntryRules(const EthernetPane& pane);

// Re-runs one box's check (the same as a change of its text).
void revalidate(const EthernetPane& pane, QLineEdit* box);

// Hides the protocols' boxes and labels (the address box and title stay).
void DisableEthernetEntry(const EthernetPane& pane);
// Unselects the three protocol options and empties the address box.
void ClearModes(const EthernetPane& pane);
void EnableProtocols(const EthernetPane& pane);
// Disables and unselects the options; empties the title and the address.
void DisableProtocols(const EthernetPane& pane);

// Everything back to the window's start values: no protocol selected, the
// protocols' boxes hidden, the address and title empty, file number 7, base
// element 0, slot 0, starting register 40001 (each box re-coloured). For a
// newly picked module whose read-back failed: nothing shown may still belong
// to the module picked before.
void resetToStartValues(const EthernetPane& pane);

// Click on protocol option c (1..3): selects it, shows its boxes and labels
// and re-checks them.
void selectProtocol(const EthernetPane& pane, int c);
// First selected option (1..3), 0 when none.
int selectedProtocol(const EthernetPane& pane);

// Restore one protocol's fields from a read-back summary line.
void UnpackPCCC(const EthernetPane& pane, const CurrentConfig& cfg);
void UnpackEIP(const EthernetPane& pane, const CurrentConfig& cfg);
void UnpackMmodbus(const EthernetPane& pane, const CurrentConfig& cfg);

enum class ReadBackResult { Restored, UnknownProtocol, Unreadable };

// Puts a fetched file into the pane: the protocol's fields by its code, then
// the title and the PLC address. A file that could not be read, or with an
// unknown code, shows "Current Config file is corrupt."; an unreadable file
// changes no box at all. *captionsTail becomes the file's captions tail, or
// empty when it has none (so no save carries the tail of another module).
ReadBackResult applyReadBack(const EthernetPane& pane, const CurrentConfig& cfg, QString* captionsTail,
                             QWidget* parent);

// The operator's entries as the save reads them: paneEntries(pane) with the
// validity of each field by the entry rules.
ConfigEntries collectEntries(const EthernetPane& pane);

}  // namespace gw
