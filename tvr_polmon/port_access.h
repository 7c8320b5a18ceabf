#pragma once
// The serial port the user scanned last, kept per user, and what to tell a
// user who can open no serial port at all.

#include <QList>
#include <QString>
#include <QStringList>

namespace polmon {

// The last port text ("COM 5") in TVR_Polmon.ini in the user's settings
// folder.
class PortMemory {
 public:
  explicit PortMemory(QString path = defaultPath());
  static QString defaultPath();
  QString lastPort() const;
  void remember(const QString& port);

 private:
  QString path_;
};

// A serial device node and whether this user may open it.
struct SerialDevice {
  QString path;
  bool accessible = false;
  QString group;  // the group that owns it
};

// Advice for a user who could open no port: when serial devices exist but
// none is open to the user and the user is not in the group that owns them,
// how to join it. Empty when missing access does not explain the failure.
QString serialAccessAdvice(const QList<SerialDevice>& devices, const QStringList& userGroups, const QString& userName);

// The same for this machine and the user running the program (Linux; empty
// elsewhere).
QString serialAccessAdviceHere();

}  // namespace polmon
