#pragma once
// The scanner's whole behaviour without widgets: the grid's rows, the sweep
// over the 20 addresses, the endless poll cycle and the per-row controls'
// rules. The window only shows this state and forwards the user's actions.
//
// Waits are event-driven: a query sends its frame and returns to the event
// loop; the reply ends it when exactly three bytes wait, or the 0.1 s
// deadline (on a monotonic clock) does. The rest of the step then runs and
// the next step starts at once, so the window handles its events while a
// query waits, as it always did, and never freezes.
//
// Where the loop would otherwise never wait (no row has an address, or the
// port did not open), a full round of 20 steps without a query is followed
// by a 0.1 s pause on a timer, so the window stays responsive and the cycle
// does not burn a processor.
//
// A second press of Scan starts everything again: the running query, pause
// or sweep is dropped (a generation counter makes late callbacks harmless)
// and the interrupted cycle never resumes.

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QRgb>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <array>
#include <functional>
#include <optional>

#include "drive_protocol.h"
#include "serial_link.h"

namespace polmon {

// One grid row's record. The first four fields are shown in the row's boxes.
struct DriveRow {
  QString Address;
  QString Status;
  QString Position;
  QString Request;
  QString DuctCount;
  QString RandomLimit;
  // No move request before this moment of the engine's monotonic clock (ms),
  // so a hold survives midnight and clock changes.
  std::optional<qint64> HoldUntil;
  bool ResetPending = false;
};

// How a row's controls look beyond the record's texts.
struct RowLook {
  QString caption = QStringLiteral("Rnd");
  bool buttonVisible = false;
  std::optional<QRgb> buttonColour;  // none: the system's button face
  QRgb statusColour;
  QRgb requestColour;
  bool lampRed = false;
  RowLook();
};

class PollEngine : public QObject {
  Q_OBJECT
 public:
  explicit PollEngine(xav::SerialLink* link, QObject* parent = nullptr);
  ~PollEngine() override;

  // Clocks and the random source, replaceable for tests.
  void setMonotonicClock(std::function<qint64()> msNow) { monotonicMs_ = std::move(msNow); }
  void setWallClock(std::function<QDateTime()> now) { now_ = std::move(now); }
  void setRandomSource(std::function<double()> uniform) { uniform_ = std::move(uniform); }
  void setReplyTimeoutMs(int ms) { replyTimeoutMs_ = ms; }
  void setLogPath(const QString& path) { logPath_ = path; }
  QString logPath() const { return logPath_; }

  // Probes COM 1 to COM 16 and lists the ones that open ("COM n").
  QStringList ListComPorts();

  // --- the user's controls ---
  // Scan: open the port (once), clear the grid, sweep, then poll for ever.
  void cmdScan_Click(const QString& comText);
  void cmdRnd_Click(int row);
  // A key typed into a request box: Enter confirms the request, any other
  // key withdraws the confirmation.
  void txtRequest_KeyPress(int row, bool enter);
  // Enter in the duct-count box. False when the count is outside 1..62 (the
  // box is then emptied and the panel stays).
  bool txtDucts_Enter(const QString& text);
  void setSlowScan(bool on) { slowScan_ = on; }
  // Texts the user typed into a row's boxes.
  void setAddress(int row, const QString& text);
  void setRequest(int row, const QString& text);
  // Appends the exit line to the log and stops the cycle.
  void cmdExit_Click();

  // --- state, for the window and for tests ---
  const DriveRow& row(int i) const { return rows_.at(static_cast<size_t>(i)); }
  const RowLook& look(int i) const { return looks_.at(static_cast<size_t>(i)); }
  bool sendArmed(int i) const { return SendArmed_.at(static_cast<size_t>(i)); }
  QString distCntCaption() const { return distCnt_; }
  QString errCntCaption() const { return errCnt_; }
  int pollRow() const { return PollRow_; }
  int litRow() const { return LitRow_; }
  qint32 scanCount() const { return ScanCount_; }
  QString curAddr() const { return CurAddr_; }
  QByteArray reply() const { return Reply_; }
  bool ductEntryOpen() const { return held_; }
  bool sweeping() const { return phase_ == Phase::Sweeping; }
  bool polling() const { return phase_ == Phase::Polling; }
  bool queryWaiting() const { return exchangeActive_; }
  quint64 generation() const { return gen_; }

 signals:
  void rowChanged(int row);
  // A lamp changed; the window repaints it at once.
  void lampChanged(int row);
  void captionsChanged();
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

 private:
  enum class Phase { Idle, Sweeping, Polling };

  // Exchanges. False when the query cannot even be sent (port not open).
  bool GetStatus(std::function<void()> then);
  bool GetDucts(std::function<void()> then);
  bool startExchange(char command, std::function<void()> then);
  void checkExchange();
  bool send(const QByteArray& frame);

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
  void endStep(bool queried);
  // Shows Reply_ on the row of CurAddr_; *row receives that row. False on a
  // fault (an address without a row, a log that cannot be written).
  bool FillRow(int* row);

  void addError();
  bool writeLog(const QByteArray& entry);
  void moveLamp(int to);
  void setLamp(int row, bool red);
  void release();
  bool holdOver(const DriveRow& row) const;

  xav::SerialLink* link_;
  std::array<DriveRow, kRows> rows_;
  std::array<RowLook, kRows> looks_;
  std::array<bool, 21> SendArmed_{};
  QString distCnt_ = QStringLiteral("0 ");
  QString errCnt_ = QStringLiteral("0 ");
  QString CurAddr_;
  QByteArray Reply_;
  int PollRow_ = 0;
  qint32 ScanCount_ = 0;
  int LitRow_ = 0;
  std::optional<QDateTime> StartTime_;
  bool slowScan_ = false;
  QString logPath_;

  Phase phase_ = Phase::Idle;
  quint64 gen_ = 0;

  // The query in flight.
  bool exchangeActive_ = false;
  std::function<void()> exchangeThen_;
  QElapsedTimer exchangeClock_;
  QTimer exchangeTimer_;
  int replyTimeoutMs_ = kReplyTimeoutMs;

  // Sweep progress.
  int sweepIndex_ = 0;
  int found_ = 0;
  QString driveList_;

  // Poll cycle.
  bool stepBusy_ = false;
  bool looping_ = false;
  int quietSteps_ = 0;
  QTimer pauseTimer_;  // "Slow Scan"
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
