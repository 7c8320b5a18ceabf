#pragma once
// Who holds a TCP port on this machine, so a port that cannot be bound can
// be explained by name. Only what the system lets this user see is found.

#include <QByteArray>
#include <QString>
#include <functional>

namespace rvsim {

// "name (process 1234)" for a process of this user that holds the port,
// "a program of user NAME" when only its owner can be seen, or empty when
// nothing can be found (or the platform does not tell).
QString tcpPortHolder(quint16 port);

// The same from given system tables: the text of /proc/net/tcp or tcp6 and
// a lookup of the process holding a socket inode ("" when not found). For
// tests of the parsing; tcpPortHolder uses the real ones.
QString tcpPortHolderFrom(quint16 port, const QByteArray& tcpTable, const std::function<QString(quint64)>& processOf,
                          const std::function<QString(uint)>& userName);

}  // namespace rvsim
