#pragma once
// The scanner's whole behaviour without widgets: the grid's rows, the sweep
// over the 20 addresses, the endless poll cycle and the per-row controls'
// rules. It speaks in the drive network's terms (letters, ducts, counts,
// states); the window chooses the captions and colours that show them.
//
// Waits are event-driven: a query sends its frame and returns to the event
// loop; the reply ends it (see DriveLine). The rest of the step then runs and
// the next step starts at once, so the window handles its events while a
// query waits, as it always did, and never freezes.
//
// Where the loop would otherwise never wait (no row has an address, or the
// port did not open), a full round of 20 steps without a query is followed
// by a 0.1 s pause on a timer, so the window stays responsive and the cycle
// does not burn a processor.
//
// A second press of Scan starts everything again: the query in flight is let
// run to its end (at most 0.1 s) and its answer dropped, so that nothing of it
// is taken for the sweep's first reply; the interrupted cycle never resumes.

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <array>
#include <functional>
#include <optional>

#include "drive_line.h"
#include "drive_protocol.h"
#include "drive_statistics.h"
#include "fault_timeline.h"
#include "serial_link.h"

namespace polmon {

// What the last valid status reply said, as the row's status box shows it:
// nothing since the grid was cleared, standing at a duct ("P"), or any other
// letter. An unanswered query empties the status but leaves this as it was.
enum class StatusKind { Cleared, InPosition, NotInPosition };

// The request box holds a confirmed request (also at start), or one the user
// is still changing.
enum class RequestEntry { Confirmed, Editing };

// What the row button shows, and so what it does when pressed.
enum class ButtonCaption {
  AskCount,    // "Rnd": asks for the number of ducts
  SweptCount,  // the duct count as the sweep writes it (a blank before it unless negative)
  Count,       // a duct count
  Reset,       // the drive reported moving at duct 0
};

// The mark the button was given last; changes that set none leave it.
enum class ButtonMark { Plain, CountKnown, RandomFromCount, ResetOffered };

struct RowButton {
  bool visible = false;
  ButtonCaption caption = ButtonCaption::AskCount;
  double count = 0;  // shown while the caption is a count
  ButtonMark mark = ButtonMark::Plain;
  // "Rnd", or a count of 0, asks for the number of ducts.
  bool asksForCount() const {
    return caption == ButtonCaption::AskCount || ((caption == ButtonCaption::Count || caption == ButtonCaption::SweptCount) && count == 0);
  }
};

// One grid row.
struct DriveRow {
  QString address;              // the drive's letter, or what the user typed
  std::optional<char> status;   // the last status letter
  std::optional<int> position;  // the duct of the last valid status reply
  QString request;              // the requested duct, typed or drawn at random
  RequestEntry requestEntry = RequestEntry::Confirmed;
  bool sendArmed = false;          // move requests may go out (survives a sweep)
  std::optional<int> ductCount;    // learned in the sweep (survives a sweep)
  std::optional<double> randomLimit;  // random mode on: targets lie in 1..limit
  // No move request before this moment of the engine's monotonic clock, so a
  // rest survives midnight and clock changes.
  std::optional<qint64> holdUntilMs;
  bool resetPending = false;
  StatusKind statusKind = StatusKind::Cleared;
  RowButton button;
  bool lampLit = false;
  // False once the port was lost: what the row shows is no longer fresh.
  bool current = true;

  QString positionText() const { return position ? QString::number(*position) : QString(); }
};

class PollEngine : public QObject {
  Q_OBJECT
 public:
  explicit PollEngine(xav::SerialLink* link, QObject* parent = nullptr);
  ~PollEngine() override;

  // Clocks, the random source and the line's timing, replaceable for tests.
  void setMonotonicClock(std::function<qint64()> msNow) { monotonicMs_ = std::move(msNow); }
  void setWallClock(std::function<QDateTime()> now) { now_ = std::move(now); }
  void setRandomSource(std::function<double()> uniform) { uniform_ = std::move(uniform); }
  void setReplyTimeoutMs(int ms) { line_.setReplyTimeoutMs(ms); }
  void setEarliestReplyNs(qint64 ns) { line_.setEarliestReplyNs(ns); }
  // The nanosecond clock that times each exchange on the line.
  void setLineClock(std::function<qint64()> nsNow) { line_.setClock(std::move(nsNow)); }
  // How long a silent query goes on listening for a late answer (by default
  // as long as the reply timeout).
  void setLateGraceMs(int ms) { line_.setGraceMs(ms); }
  // How often a lost port is tried again (1 s).
  void setReopenIntervalMs(int ms) { reopenTimer_.setInterval(ms); }
  // The quiet time before each query under "Slow Scan" (0.1 s).
  void setSlowScanPauseMs(int ms) { slowScanPauseMs_ = ms; }
  void setLogPath(const QString& path) { logPath_ = path; }
  QString logPath() const { return logPath_; }

  // Lists the ports of COM 1 to COM 16 that open ("COM n"); only those the
  // link offers for probing (comNumbersToProbe: their device exists) are tried.
  QStringList ListComPorts();

  // --- what the user does ---
  // Opens the port (once), clears the grid, sweeps, then polls for ever.
  void startScan(const QString& portText);
  // The row button: reset, random off, ask for the duct count, or random on.
  void pressRowButton(int row);
  // Enter in the request box: the request is confirmed and may be sent.
  void confirmRequest(int row, const QString& text);
  // The user changed the request (typed, pasted, deleted): not confirmed.
  void editRequest(int row, const QString& text);
  // A key other than Enter in the request box: the confirmation is withdrawn.
  void withdrawRequest(int row);
  // Enter in the duct-count box. False when the count is outside 1..62 (the
  // box is then emptied and the panel stays).
  bool enterDuctCount(const QString& text);
  void setSlowScan(bool on) { slowScan_ = on; }
  // An address typed into a row.
  void editAddress(int row, const QString& text);
  // Appends the exit line to the log and stops the cycle.
  void shutDown();

  // --- state, for the window and for tests ---
  const DriveRow& row(int i) const { return rows_.at(static_cast<size_t>(i)); }
  // Per drive (A to U by row), since the last Scan.
  const DriveStatistics& statistics(int i) const { return stats_.at(static_cast<size_t>(i)); }
  const StatisticsTable& statisticsTable() const { return stats_; }
  qint64 monotonicNowMs() const { return monotonicMs_(); }
  QDateTime wallNow() const { return now_(); }
  int errorCount() const { return errorCount_; }
  std::optional<int> drivesFound() const { return drivesFound_; }
  int pollRow() const { return pollRow_; }
  int litRow() const { return litRow_; }
  qint32 scanCount() const { return scanCount_; }
  QString currentAddress() const { return currentAddress_; }
  QByteArray reply() const { return reply_; }
  bool ductEntryOpen() const { return held_; }
  bool sweeping() const { return phase_ == Phase::Sweeping; }
  bool polling() const { return phase_ == Phase::Polling; }
  bool lostPort() const { return phase_ == Phase::PortLost; }
  bool queryWaiting() const { return line_.busy(); }
  quint64 generation() const { return gen_; }

 signals:
  void rowChanged(int row);
  // A lamp changed; the window repaints it at once.
  void lampChanged(int row, bool lit);
  // The error count changed: set to 0 by a sweep, or one more fault.
  void errorCountChanged(int count);
  void drivesFoundChanged(int count);
  // Scan was pressed: the port list goes out of sight.
  void scanStarted();
  void ductEntryRequested();
  // The duct panel closes and its box is emptied.
  void ductEntryClosed();
  // Only the duct box is emptied; a panel that is open stays open.
  void ductBoxEmptied();
  void frameSent(const QByteArray& frame);
  // A status query for this row goes out in the poll cycle.
  void pollStarted(int row);
  void sweepFinished();
  // Scan could not open the port; the cycle runs on without traffic.
  void portOpenFailed(const QString& port, const QString& reason);
  // The open port went away or failed: polling stopped; the port is tried
  // again every second.
  void portLost(const QString& port, const QString& reason);
  // The lost port opened again: polling goes on with the drives found before.
  void portBack(const QString& port);
  // The log cannot be written (told once, until a write works again).
  void logUnwritable(const QString& path, const QString& reason);
  void logWritable();

  // ---- fault events, for the fault timeline (additions only) ----
 signals:
  // A fault was counted against the drive of row (-1: the port itself);
  // logEntry is the Polmon.dbg entry that tells it.
  void faultCounted(int row, polmon::FaultKind kind, const QByteArray& logEntry);
  // A status reply of three bytes came ns after its query was written.
  void replyTimed(int row, qint64 ns);

 private:
  void tellFault(int row, FaultKind kind) { emit faultCounted(row, kind, lastLogEntry_); }
  QByteArray lastLogEntry_;  // the entry writeLog was given last
  // ---- end of the fault events ----

 private:
  enum class Phase { Idle, Sweeping, Polling, PortLost };
  using Then = std::function<void()>;

  // Query exchanges for currentAddress_. False when the query cannot go out.
  bool GetStatus(Then then);
  bool GetDucts(Then then);
  bool queryCurrent(char command, Then then);
  void takeAnswer(const DriveLine::Answer& answer, char command);
  // The next status query, when the three bytes just in would, as a clean
  // reply, send nothing to their drive; none otherwise.
  std::optional<QByteArray> nextQueryIfNothingDue(const QByteArray& reply) const;
  void reportStrays(const QByteArray& strays);
  bool send(const QByteArray& frame);

  void stopActivity();
  void ClearGrid();
  void Scanner();
  void sweepNext();
  void sweepStatusDone();
  void sweepDuctsDone(int row);
  void finishSweep();
  void startPolling();
  void pollLoop();
  void ReadDist();
  void readDistQuery();
  void readDistReply();
  void noResponse(int row);
  void sendDueFrames(int row);
  void endStep(bool queried);
  // Shows reply_ on the row of currentAddress_; returns that row, or -1 when
  // the address has no row.
  int FillRow();
  void showValidStatus(DriveRow& r, const StatusReply& d);

  void onPortFailed(const QString& reason);
  void tryReopen();
  void release();
  void addError();
  // The counters of the drive at this address; none for an address without
  // a row.
  DriveStatistics* statsFor(const QString& address);
  void countFault(DriveStatistics* s);
  void writeLog(const QByteArray& entry);
  QString elapsedNow() const;
  void moveLamp(int to);
  void setLamp(int row, bool lit);
  bool holdOver(const DriveRow& row) const;

  xav::SerialLink* link_;
  DriveLine line_;
  std::array<DriveRow, kRows> rows_;
  StatisticsTable stats_;
  int errorCount_ = 0;
  std::optional<int> drivesFound_;
  QString currentAddress_;
  QString previousAddress_;  // of the last exchange; strays are laid at its door
  // The last exchange got no answer: bytes right after it are its late
  // answer, part of the fault already counted.
  bool previousUnanswered_ = false;
  QByteArray reply_;
  // reply_ came in time and alone: the drive's own. Nothing is decoded or
  // sent on the strength of any other answer.
  bool replyClean_ = false;
  int pollRow_ = 0;
  qint32 scanCount_ = 0;
  int litRow_ = 0;
  std::optional<QDateTime> startTime_;
  bool slowScan_ = false;
  QString logPath_;
  bool logFailing_ = false;
  QString portText_;
  bool portOpened_ = false;  // by this program, since the last loss
  QTimer reopenTimer_;       // while the port is lost

  Phase phase_ = Phase::Idle;
  quint64 gen_ = 0;

  // Sweep progress.
  int sweepIndex_ = 0;
  int found_ = 0;
  QString driveList_;

  // Poll cycle.
  bool stepBusy_ = false;
  bool looping_ = false;
  int quietSteps_ = 0;
  QTimer pauseTimer_;    // "Slow Scan"
  int slowScanPauseMs_ = 100;
  QString stepAddress_;  // the address the running step queries
  QTimer idleTimer_;

  // Duct entry: while open, the cycle and the sweep stand still.
  bool held_ = false;
  QList<int> ductRows_;

  std::function<qint64()> monotonicMs_;
  std::function<QDateTime()> now_;
  std::function<double()> uniform_;
  QElapsedTimer monotonicBase_;
};

}  // namespace polmon
