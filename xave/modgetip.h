#pragma once
// Module discovery through the discovery utility (modGetIP): the rules for
// its listing and for the module list's entries. Running the utility and
// ping is the window's part. The listing is one line per module: address,
// ", ", bridge name, CR LF. Widget-free.

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

// The list entries of a listing: each non-empty line followed by " : ".
QStringList listingEntries(const QString& listing);

// The module address of a list entry: the text before its first comma,
// as the listing shows it.
QString moduleIpFromEntry(const QString& entry);

// The address as the operator should read it: its normal form when it is a
// dotted address ("127.000.000.011" -> "127.0.0.11"), else as given.
QString shownAddress(const QString& address);

// Whether two addresses name the same module (equal in normal form).
bool sameModuleAddress(const QString& a, const QString& b);

}  // namespace xave
