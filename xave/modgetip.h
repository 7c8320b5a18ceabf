#pragma once
// Module discovery through the discovery utility and the one-echo ping check
// (modGetIP). The listing is one line per module: address, ", ", bridge name,
// CR LF.

#include <QString>
#include <QStringList>

namespace xave {

// The module listing of a discovery text: every line whose first 31
// characters (the bridge name) are followed by an address, except the
// heading ("BRIDGE NAME") and lines holding "=".
QString ParseDiscoveryOutput(const QString& text);

// The text after the "=" separator line of a discovery listing (from the LF
// that ends it); from the second character when there is none.
QString textAfterSeparator(const QString& text);

// Reads C.txt of the working directory as 8-bit text; empty when absent.
QString readDiscoveryFile(const QString& workDir);

// Runs the discovery utility to completion (window painted, input refused)
// and gives the listing of the C.txt it leaves. Errors give an empty listing.
QString ScanForModules(const QString& workDir);

// The list entries of a listing: each non-empty line followed by " : ".
QStringList listingEntries(const QString& listing);

// The module address of a list entry: the text before its first comma.
QString moduleIpFromEntry(const QString& entry);

// One echo to a dotted IPv4 address through the ping command, report in
// png.txt of the working directory (deleted after reading). Anything that is
// not a dotted address is never pinged and gives false.
bool PingHost(const QString& workDir, const QString& address);

}  // namespace xave
