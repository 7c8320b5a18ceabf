#include "module_discovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "commands.h"
#include "files.h"

namespace gw {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Blanks only, as the listing's name field is padded with blanks.
QString trimBlanks(const QString& s) {
  qsizetype b = 0, e = s.size();
  while (b < e && s[b] == QLatin1Char(' ')) ++b;
  while (e > b && s[e - 1] == QLatin1Char(' ')) --e;
  return s.mid(b, e - b);
}

// Reads a report file whole and deletes it.
QString takeFile(const QString& path) {
  QByteArray data;
  xav::readWholeFile(path, &data);
  QFile::remove(path);
  return QString::fromLocal8Bit(data);
}

}  // namespace

QString ParseDiscoveryOutput(const QString& text) {
  // (*LF): lines end at LF only, so a CR is an ordinary character of the
  // 31-character name field and "^" matches after every LF.
  static const QRegularExpression re(QStringLiteral("(*LF)^([^\\n]{31})([0-9.]+)"),
                                     QRegularExpression::CaseInsensitiveOption |
                                         QRegularExpression::MultilineOption);
  QString listing;
  auto it = re.globalMatch(text);
  while (it.hasNext()) {
    const QRegularExpressionMatch m = it.next();
    const QString whole = m.captured(0);
    if (whole.contains(QStringLiteral("BRIDGE NAME")) || whole.contains(QLatin1Char('='))) continue;
    listing += m.captured(2) + QStringLiteral(", ") + trimBlanks(m.captured(1)) + kCrLf;
  }
  return listing;
}

QString textAfterSeparator(const QString& text) {
  const qsizetype at = text.indexOf(QStringLiteral("=\r\n"));
  return at < 0 ? text.mid(1) : text.mid(at + 2);
}

QString readDiscoveryFile(const QString& workDir) {
  QByteArray bytes;
  if (!xav::readWholeFile(QDir(workDir).filePath(QStringLiteral("C.txt")), &bytes)) return {};
  return QString::fromLatin1(bytes);
}

bool listingFromDiscoveryFile(const QString& workDir, QString* listing) {
  if (QFileInfo(QDir(workDir).filePath(QStringLiteral("C.txt"))).size() <= 0) return false;
  const QString text = readDiscoveryFile(workDir);
  if (text.isEmpty()) return false;
  *listing = ParseDiscoveryOutput(text);
  return true;
}

QString ModuleEntry::text() const {
  QString t = address;
  if (!bridgeName.isEmpty()) t += QStringLiteral(", ") + bridgeName;
  return t + QStringLiteral(" : ") + title;
}

QList<ModuleEntry> modulesOfListing(const QString& listing) {
  QList<ModuleEntry> modules;
  for (const QString& line : listing.split(kCrLf)) {
    if (line.isEmpty()) continue;
    const qsizetype comma = line.indexOf(QStringLiteral(", "));
    ModuleEntry m;
    m.address = comma < 0 ? line : line.left(comma);
    if (comma >= 0) m.bridgeName = line.mid(comma + 2);
    modules << m;
  }
  return modules;
}

QStringList listingEntries(const QString& listing) {
  QStringList entries;
  for (const QString& line : listing.split(kCrLf))
    if (!line.isEmpty()) entries << line + QStringLiteral(" : ");
  return entries;
}

QString moduleEntry(const QString& address, const QString& title) {
  return ModuleEntry{address, QString(), title, QString()}.text();
}

QString addressOfEntry(const QString& entry) {
  qsizetype end = entry.size();
  const qsizetype comma = entry.indexOf(QLatin1Char(','));
  const qsizetype colon = entry.indexOf(QStringLiteral(" : "));
  if (comma >= 0) end = comma;
  if (colon >= 0 && colon < end) end = colon;
  return entry.left(end);
}

QString moduleIpFromEntry(const QString& entry) { return addressOfEntry(entry); }

QString shownAddress(const QString& address) {
  const QString normal = normalAddress(address);
  return normal.isEmpty() ? address : normal;
}

bool sameModuleAddress(const QString& a, const QString& b) { return shownAddress(a) == shownAddress(b); }

QList<ModuleEntry> moduleCandidatesInAddressTable(const QString& arpListing) {
  QList<ModuleEntry> found;
  static const QRegularExpression blank(QStringLiteral("\\s+"));
  const QStringList lines = arpListing.toLower().split(kCrLf);
  for (int i = 3; i < lines.size(); ++i) {
    const QString& line = lines[i];
    if (!line.contains(QLatin1String(kPrefixA)) && !line.contains(QLatin1String(kPrefixB))) continue;
    const QStringList words = line.trimmed().split(blank);
    ModuleEntry m;
    m.address = words.value(0);
    for (const QString& w : words)
      if (w.startsWith(QLatin1String(kPrefixA)) || w.startsWith(QLatin1String(kPrefixB))) m.hardwareAddress = w;
    found << m;
  }
  return found;
}

QStringList modulesInAddressTable(const QString& arpListing) {
  QStringList addresses;
  for (const ModuleEntry& m : moduleCandidatesInAddressTable(arpListing)) addresses << m.address;
  return addresses;
}

QString arpListingFromNeighbours(const QString& neighbourText) {
  // Three heading lines, as "arp -a" writes them, so the lines that matter
  // start at index 3 whatever the source.
  QString out = QStringLiteral("\r\nInterface: (neighbour table)\r\n  Internet Address      Physical Address      Type\r\n");
  static const QRegularExpression mac(
      QStringLiteral("\\b([0-9a-fA-F]{2}):([0-9a-fA-F]{2}):([0-9a-fA-F]{2}):([0-9a-fA-F]{2}):([0-9a-fA-F]{2}):([0-9a-fA-F]{2})\\b"));
  static const QRegularExpression ipv4(QStringLiteral("^\\s*(\\d{1,3}(?:\\.\\d{1,3}){3})\\s"));
  const QStringList lines = neighbourText.split(QRegularExpression(QStringLiteral("\r?\n")));
  for (const QString& line : lines) {
    const QRegularExpressionMatch a = ipv4.match(line + QLatin1Char(' '));
    const QRegularExpressionMatch m = mac.match(line);
    if (!a.hasMatch() || !m.hasMatch()) continue;
    QStringList parts;
    for (int i = 1; i <= 6; ++i) parts << m.captured(i);
    const QString hw = parts.join(QLatin1Char('-'));
    out += QStringLiteral("  %1 %2 dynamic\r\n").arg(a.captured(1).leftJustified(21), hw.leftJustified(21));
  }
  return out;
}

// The Windows flavour keeps the original texts; the POSIX twins keep the one
// echo, the time-out and the broadcast address and leave their reports in
// the same files.
QString broadcastPingCommand(Flavour f) {
  if (f == Flavour::Windows)
    return interpreterFor(f) +
           QStringLiteral(" /c ping -n 1 -w %1 %2").arg(kBroadcastTimeoutMs).arg(QLatin1String(kBroadcastAddress));
  return interpreterFor(f) + QStringLiteral(" /c ping -b -n -c 1 -W %1 %2 >/dev/null 2>&1")
                                 .arg(QString::number(kBroadcastTimeoutMs / 1000.0, 'f', 2),
                                      QLatin1String(kBroadcastAddress));
}

QString addressTableCommand(const QString& workDir, Flavour f) {
  if (f == Flavour::Windows)
    return interpreterFor(f) + QStringLiteral(" /c arp -a>\"") + directoryText(workDir, f) +
           QStringLiteral("\\arp.txt\"");
  // The process layer runs what follows " /c " in /bin/sh and quotes every
  // double-quoted path into the working directory for the shell itself.
  const QString file = QLatin1Char('"') + QDir(workDir).filePath(QStringLiteral("arp.txt")) + QLatin1Char('"');
  return interpreterFor(f) + QStringLiteral(" /c ip neigh show >%1 2>/dev/null || cat /proc/net/arp >%1").arg(file);
}

bool addressTableIsArpForm(Flavour f) { return f == Flavour::Windows; }

QString takeAddressTable(const QString& workDir) {
  const QString text = takeFile(QDir(workDir).filePath(QStringLiteral("arp.txt")));
  return addressTableIsArpForm() ? text : arpListingFromNeighbours(text);
}

bool takePingReport(const QString& workDir) {
  return pingReportAnswered(takeFile(QDir(workDir).filePath(QStringLiteral("png.txt"))));
}

}  // namespace gw
