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
  unsigned mode = 0660;  // its permission bits
  // Members of its group may read and write it.
  bool groupMayUse() const { return (mode & 060) == 060; }
};

// Advice for a user who could open no port: when serial devices exist but
// none is open to the user, how to join a group whose members may read and
// write one, or, where the device gives its group no access (joining would
// not help), the udev rule of the user guide. Empty when missing access does
// not explain the failure.
QString serialAccessAdvice(const QList<SerialDevice>& devices, const QStringList& userGroups, const QString& userName);

// The same for this machine and the user running the program (Linux; empty
// elsewhere).
QString serialAccessAdviceHere();

}  // namespace polmon
