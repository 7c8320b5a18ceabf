#pragma once
// The configuration tools' memory of a module: every read-back, save,
// verify, restore and IP change is kept as one entry, so a failed module's
// settings outlive it and a technician can prove later what was loaded
// where and when. Widget-free.
//
// Where it lives: dataFolder() + "/history", one file per entry named
// <id>.json. dataFolder() is $XAV_DATA_HOME when set, otherwise the user's
// generic data folder + "/xav" ($XDG_DATA_HOME/xav, ~/.local/share/xav, or
// %LOCALAPPDATA%/xav on Windows); one folder for all tools, so XAVE,
// XAV_Cfg and xav-config see the same history. Tests pass a folder.
//
// An entry file is a JSON object (format 1):
//   format      1
//   id          8 lower-case hex digits, the file's name
//   time        ISO 8601 local time with milliseconds and UTC offset,
//               "2026-12-09T18:21:09.123+01:00"
//   tool        "XAVE", "XAV_Cfg", "xav-config"
//   operation   "read-back", "save", "verify", "restore", "ip-change"
//   module      the module's address in normal form
//   bridgeName, hardwareAddress   when known, else ""
//   title, summary                the file's title and summary line
//   succeeded   true or false;  outcome   one sentence
//   config      base64 of the exact Config.csv bytes read or sent
//   networkBefore, networkAfter   base64 of fs_tcp.ini (ip-change)
// Bytes are base64 so that every byte comes back exactly as it went.
//
// A folder that cannot be written never stops an operation: record()
// returns the failure, and storageProblem() is emitted once, until a later
// entry is kept again.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace gw {

// The tools' shared data folder (see above).
QString dataFolder();

// A module address as entries and log lines keep and compare it: normal
// form when it is a dotted address, else as given (trimmed).
QString moduleAddressKey(const QString& address);

enum class HistoryOperation { ReadBack, Save, Verify, Restore, IpChange };
// "read-back", "save", "verify", "restore", "ip-change".
QString operationName(HistoryOperation op);
std::optional<HistoryOperation> operationFromName(const QString& name);

// ISO 8601 with the UTC offset, "2026-12-09T18:21:09+01:00" (withMs adds
// ".123" after the seconds).
QString isoTimeWithOffset(const QDateTime& t, bool withMs = false);

struct HistoryEntry {
  QString id;  // given by record()
  QDateTime time;
  QString tool;
  HistoryOperation operation = HistoryOperation::ReadBack;
  QString moduleAddress;
  QString bridgeName;
  QString hardwareAddress;
  QString title;
  QString summaryLine;
  bool succeeded = true;
  QString outcome;
  QByteArray config;  // exact Config.csv bytes; empty for an IP change
  QByteArray networkBefore;
  QByteArray networkAfter;

  // "Modbus/TCP 10.1.2.3", from the summary line; "" when it names none.
  QString protocolAndPlc() const;
  QString plcAddress() const;  // summary field 1
  QByteArray toJson() const;
  static std::optional<HistoryEntry> fromJson(const QByteArray& json);
};

// "//3-MODBUS/TCP, 10.1.2.3, 40001" -> "Modbus/TCP"; "" when unknown.
QString protocolNameOfSummary(const QString& summaryLine);

struct RecordResult {
  bool stored = false;
  QString id;
  QString error;  // when not stored
};

class HistoryStore : public QObject {
  Q_OBJECT
 public:
  // folder is the data folder; entries go to folder + "/history".
  explicit HistoryStore(const QString& folder = dataFolder(), QObject* parent = nullptr);

  QString folder() const { return folder_; }
  QString historyFolder() const;

  // Keeps the entry. An empty time is now; empty title and summary are
  // taken from the entry's Config.csv; the address is kept in normal form
  // when it is one. Never throws, never blocks on a full disk.
  RecordResult record(HistoryEntry entry);

  // Entries of one module (any address form), or all for an empty filter;
  // newest first. Files that are not entries are skipped.
  QList<HistoryEntry> entries(const QString& moduleAddress = QString()) const;

  // The entry with this id, or with a unique id starting with it (at least
  // four characters); nothing when none or several match.
  std::optional<HistoryEntry> entry(const QString& idOrPrefix) const;

  // For tests: the clock that stamps entries.
  void setClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

 signals:
  // Once per run of failures: the text the window's status line shows.
  void storageProblem(const QString& message);

 private:
  QString folder_;
  std::function<QDateTime()> clock_;
  QDateTime last_;
  bool problemTold_ = false;
};

// Line-by-line difference of two Config.csv texts. The summary line and the
// Nodes and Map_Descriptors rows come first (they say where the module
// talks to and what it moves), then the rest of the file; within each part
// lines are in file order.
struct DiffLine {
  enum class Kind { Same, OnlyFirst, OnlySecond };
  Kind kind = Kind::Same;
  QString text;        // without its line end
  int firstLine = 0;   // 1-based line in the first file, 0 when not in it
  int secondLine = 0;  // 1-based line in the second file, 0 when not in it
};
struct ConfigDiff {
  QList<DiffLine> key;   // summary line, Nodes and Map_Descriptors sections
  QList<DiffLine> rest;  // everything else
  int changedLines() const;
  bool identical() const { return changedLines() == 0; }
  // A printable form: "== Summary, Nodes and Map_Descriptors" and "== Rest
  // of the file" headings, each line marked "  " (same), "- " (first only)
  // or "+ " (second only). changedOnly leaves out the unchanged lines.
  QString text(const QString& firstLabel, const QString& secondLabel, bool changedOnly = false) const;
};
ConfigDiff diffConfigs(const QByteArray& first, const QByteArray& second);

// Config.csv lines without their line ends (CR LF or LF).
QStringList configLines(const QByteArray& file);

}  // namespace gw
