#pragma once
// The few socket calls the server makes on a connection's own descriptor:
// one receive and one send per frame, without a buffering layer in between,
// so a reply costs no more system calls than it must. Everything that
// differs between platforms stays in here.

#include <QHostAddress>
#include <QtGlobal>

namespace rvsim::native {

inline constexpr qint64 kWouldBlock = -1;
inline constexpr qint64 kFailed = -2;

// Non-blocking, replies sent at once (no Nagle delay), and a silent peer
// probed early (the system's default keep-alive waits two hours).
void prepareConnection(qintptr descriptor);

// Up to max bytes: the count read, 0 when the peer has closed, kWouldBlock
// when nothing waits, kFailed when the connection broke (reset and the like).
qint64 receive(qintptr descriptor, char* data, qint64 max);

// Bytes handed to the system (possibly fewer than size), or kFailed.
qint64 send(qintptr descriptor, const char* data, qint64 size);

// True when the peer has closed its side or the connection broke, even
// while bytes it sent before still wait to be read.
bool peerHasClosed(qintptr descriptor);

// The peer's address; an IPv4 peer reached over IPv6 is given as IPv4.
QHostAddress peerAddress(qintptr descriptor);

void closeDescriptor(qintptr descriptor);

}  // namespace rvsim::native
