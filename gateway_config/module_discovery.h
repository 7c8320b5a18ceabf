#pragma once
// Finding modules, the rules both tools share: the discovery utility's
// listing (C.txt), the PC's address table (arp.txt) with the makers'
// hardware-address prefixes, the module list's entries and their
// addresses, and the ping report. Plain functions on texts; running the
// commands is the sessions' part (sessions.h). Widget-free.
//
// A module listing is one line per module: address, ", ", bridge name,
// CR LF. A list entry is the address, then ", " and the bridge name when the
// discovery utility named one, then " : " and the title when one was fetched
// ("192.168.1.20, BRIDGE1 : " in XAVE, "192.168.0.20 : Press 4" in XAV_Cfg).

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "commands.h"

namespace gw {

// ---- the discovery utility's listing

// The module listing of a discovery text: every line whose first 31
// characters (the bridge name) are followed by an address, except the
// heading ("BRIDGE NAME") and lines holding "=".
QString ParseDiscoveryOutput(const QString& text);

// The text after the "=" separator line of a discovery listing (from the LF
// that ends it); from the second character when there is none.
QString textAfterSeparator(const QString& text);

// Reads C.txt of the working directory as 8-bit text; empty when absent.
QString readDiscoveryFile(const QString& workDir);

// What a scan tick may take from C.txt: the listing when the file holds
// text (an empty or missing file is a run still writing, or none); false
// otherwise.
bool listingFromDiscoveryFile(const QString& workDir, QString* listing);

// ---- entries of the module list

struct ModuleEntry {
  QString address;     // as listed
  QString bridgeName;  // from the discovery utility; empty when unknown
  QString title;       // of the module's Config.csv; empty when not fetched
  QString hardwareAddress;  // from the address table, lower case; empty when unknown
  QString text() const;  // the list entry (see above)
};

// The modules of a listing, in order.
QList<ModuleEntry> modulesOfListing(const QString& listing);

// The list entries of a listing: each non-empty line followed by " : ".
QStringList listingEntries(const QString& listing);

// Entry of the module list: address + " : " + title.
QString moduleEntry(const QString& address, const QString& title);

// The module address of a list entry of either tool: the text before its
// first "," or " : ", whichever comes first (the whole text without either).
QString addressOfEntry(const QString& entry);
QString moduleIpFromEntry(const QString& entry);  // the same

// The address as the operator should read it: its normal form when it is a
// dotted address ("127.000.000.011" -> "127.0.0.11"), else as given.
QString shownAddress(const QString& address);

// Whether two addresses name the same module (equal in normal form).
bool sameModuleAddress(const QString& a, const QString& b);

// ---- the address table

inline constexpr char kBroadcastAddress[] = "192.168.0.255";
inline constexpr int kBroadcastTimeoutMs = 150;
inline constexpr int kPingTimeoutMs = 100;
// Hardware-address prefixes of the modules, in the table's lower-case form.
inline constexpr char kPrefixA[] = "00-50-4e-";
inline constexpr char kPrefixB[] = "00-40-9d-";

// The table lines (from the fourth line on) that carry either prefix, in
// table order: address and hardware address. The listing is in the form of
// "arp -a".
QList<ModuleEntry> moduleCandidatesInAddressTable(const QString& arpListing);
// Their addresses only.
QStringList modulesInAddressTable(const QString& arpListing);

// The kernel's neighbour table in the "arp -a" form (three heading lines,
// then "  address  aa-bb-cc-dd-ee-ff  dynamic"). Reads either the text of
// /proc/net/arp or the output of "ip neigh"; other lines are skipped.
QString arpListingFromNeighbours(const QString& neighbourText);

// Command texts of the host's system (a POSIX twin of each Windows text).
QString broadcastPingCommand(Flavour f = hostFlavour());
QString addressTableCommand(const QString& workDir, Flavour f = hostFlavour());
// Whether the address-table command leaves the "arp -a" form (Windows) or
// the kernel's neighbour table (elsewhere).
bool addressTableIsArpForm(Flavour f = hostFlavour());
// Reads arp.txt of workDir in the "arp -a" form and deletes it.
QString takeAddressTable(const QString& workDir);

// ---- the ping step's report

// Reads png.txt of workDir, deletes it, and tells whether the echo was
// answered (pingReportAnswered). A missing report is no answer.
bool takePingReport(const QString& workDir);

}  // namespace gw
