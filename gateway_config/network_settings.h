#pragma once
// The module's network settings file fs_tcp.ini as the IP change uses it: line 5 "N1_IP = " + address, line 6 "N1_NETMASK = " + mask.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace gw {

struct NetworkSettings {
  bool usable = false;  // false: missing, or fewer than six lines
  QStringList lines;    // the text split at CR LF after the line ends were made CR LF
  QString ip;           // line 5 from its ninth character
  QString mask;         // line 6 from its fourteenth character
};

// Line ends are made CR LF throughout before the text is split.
NetworkSettings parseNetworkSettings(const QByteArray& file);

// The file to upload: lines 5 and 6 replaced, joined with CR LF, ending in
// one line end (the fetched file's own, or one added when it had none), so
// a change and its reverse give the file back byte for byte.
QByteArray rewriteNetworkSettings(QStringList lines, const QString& ip, const QString& mask);

}  // namespace gw
