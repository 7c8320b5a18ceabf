#pragma once
// RVSIM's simulator without a window: the server, the frame handling, the
// register image (positions, requests with their entry state, captions),
// the traffic counters and log, and the status refresh that re-arms the
// server. The window and the headless mode both observe it through its
// signals; neither sits in the reply path.

#include <QObject>
#include <QString>
#include <deque>
#include <functional>

#include "frame_handler.h"
#include "modbus_server.h"
#include "traffic.h"

class QTimer;

namespace rvsim {

// Faults of the PLC's side, for trying how a gateway recovers; all off by
// default. They combine: a delay holds exception replies too.
struct PlcFaults {
  int delayMs = 0;            // every reply held this long
  bool silent = false;        // frames taken in and dropped, the connection kept
  quint8 exception = 0;       // 1..255: functions 3 and 16 answered with this code
  bool refuseWrites = false;  // function 16 answered with exception 4
  bool any() const { return delayMs > 0 || silent || exception > 0 || refuseWrites; }
  // "replies delayed 500 ms, silent, ..." for the window.
  QString describe() const;
};

struct FaultCounters {
  quint64 delayed = 0;     // replies held back
  quint64 withheld = 0;    // arrivals dropped while silent
  quint64 exceptions = 0;  // exception replies sent instead of answers
  quint64 drops = 0;       // connections closed on purpose
};

class Simulator : public QObject {
  Q_OBJECT
 public:
  static constexpr int kRefreshMs = 2000;
  static constexpr int kRateIntervalMs = 1000;

  struct Options {
    quint16 port = 502;
    int idleTimeoutMs = ModbusServer::kDefaultIdleTimeoutMs;
    int refreshMs = kRefreshMs;
    qint64 partialFrameExpiryMs = FrameAssembler::kDefaultExpiryMs;
  };

  explicit Simulator(const Options& options, QObject* parent = nullptr);
  Simulator() : Simulator(Options{}) {}
  ~Simulator() override;

  // Binds the port and listens; on failure *error says why and how to fix it.
  bool start(QString* error);
  // Ends the connection, gives up the port and stops the refresh (Exit).
  void stop();
  // The status refresh (every refreshMs): reports the state, then re-arms
  // after a gateway has gone and retries a listener in trouble.
  void refreshStatus();

  ModbusServer* server() const { return server_; }
  int state() const { return server_->state(); }

  // One arrival of bytes, as the connection delivers it: the first frame in
  // it is answered, counted and logged.
  void arrival(const QByteArray& bytes);
  // Arrivals so far (the activity lamp changes colour at each).
  quint64 arrivalCount() const { return arrivals_; }

  const RegisterImage& image() const { return processor_.image(); }

  // Requests. An entry keeps the committed value for reads while the user
  // types; committing makes the typed value (0..254) the request.
  void beginRequestEntry(int row, const QString& typed);
  void typeRequest(int row, const QString& typed);
  void commitRequest(int row, int value);

  // Captions and their file. The file is read in Latin-1; a file that was
  // not a captions file is kept aside (ModBusCaptions.txt.bak) before the
  // first save replaces it.
  void setCaption(int row, const QString& text);
  void OpenCaptions();
  void CreateCaptionFile();
  void clearCaptions();

  // PLC-side faults; the described behaviour holds while none is set.
  void setFaults(const PlcFaults& faults);
  const PlcFaults& faults() const { return faults_; }
  const FaultCounters& faultCounters() const { return faultCounters_; }
  // Closes the gateway's connection now; false without one.
  bool dropConnection();
  static constexpr int kMaxFaultDelayMs = 60000;

  void setMonitorOn(bool on) { monitorOn_ = on; }
  bool monitorOn() const { return monitorOn_; }

  const TrafficCounters& counters() const { return counters_; }
  // Frames answered per second over the last interval.
  double framesPerSecond() const { return framesPerSecond_; }
  // Milliseconds since positions were last written; -1 before the first write.
  qint64 msSinceLastWrite() const;
  // Wall-clock time of the last write, in milliseconds since the epoch.
  qint64 lastWriteEpochMs() const { return epochAtStartMs_ + lastWriteMs_; }
  const TrafficLog& trafficLog() const { return trafficLog_; }
  void setTrafficLogOn(bool on) { trafficLogOn_ = on; }
  // Milliseconds since the start, replaceable for tests (default: steady).
  void setClock(std::function<qint64()> msNow);
  bool trafficLogOn() const { return trafficLogOn_; }

 signals:
  void connectionAccepted(const QString& remoteIp);
  void connectionTurnedAway(const QString& remoteIp);
  void connectionReplaced(const QString& remoteIp);
  void connectionEnded(rvsim::ConnectionEnd how);
  void statusRefreshed(int state);
  void arrivalHandled();
  void positionsWritten();
  void labelsChanged();
  void monitorLine(const QString& line);
  void requestChanged(int row);
  void captionsChanged();
  void faultsChanged();
  // Something the user must be told (a file that cannot be written, a
  // listener in trouble); the program goes on.
  void trouble(const QString& text);
  // Something the user should know that went well (a file kept aside).
  void notice(const QString& text);

 private:
  void account(QByteArrayView frame, bool sent, qint64 now);
  bool sendReply(const QByteArray& reply, qint64 now);
  void sendDelayed();
  void updateRate();

  Options options_;
  ModbusServer* server_;
  PlcFaults faults_;
  FaultCounters faultCounters_;
  struct HeldReply {
    qint64 dueMs;
    QByteArray bytes;
  };
  std::deque<HeldReply> heldReplies_;
  QTimer* delayTimer_;
  bool exceptionSent_ = false;
  QTimer* timer1_;
  QTimer* rateTimer_;
  FrameProcessor processor_;
  FrameOutcome outcome_;
  std::function<qint64()> nowMs_;
  qint64 epochAtStartMs_ = 0;  // wall clock when the clock started (times of the traffic log)
  bool started_ = false;
  bool monitorOn_ = false;
  bool trafficLogOn_ = false;
  bool troubleShown_ = false;
  bool saveRefusalShown_ = false;
  // Why the captions file read at the start must be kept aside before the
  // first save; empty when it may be replaced.
  QString keepFileAside_;
  quint64 arrivals_ = 0;
  quint64 skippedSeen_ = 0;
  TrafficCounters counters_;
  TrafficLog trafficLog_;
  qint64 lastWriteMs_ = -1;
  quint64 answeredAtRate_ = 0;
  qint64 rateAtMs_ = 0;
  double framesPerSecond_ = 0;
};

// Time of day in the system's format, without a time-zone name (the monitor's).
QString timeOfDay();

}  // namespace rvsim
