#pragma once
// The Traffic window: the decoded frames of the connection, newest last,
// at most 10,000 lines. Pause holds the list still for reading, Clear
// empties it, Save writes it to a file (whole or not at all).

#include <QAbstractTableModel>
#include <QWidget>
#include <deque>
#include <functional>

#include "traffic.h"

class QLabel;
class QPushButton;
class QTableView;
class QTimer;

namespace rvsim {

class Simulator;

// The lines held by the window, taken from the simulator's log.
class TrafficModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kMaxLines = TrafficLog::kCapacity;
  explicit TrafficModel(const TrafficLog& log, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // Takes the records added to the log since the last pull; returns how many.
  int pull();
  // Empties the list; what the log holds now does not come back.
  void clear();
  // The list as text: a heading line, then one line per frame, CR LF ends.
  QByteArray text() const;

 private:
  const TrafficLog& log_;
  std::deque<TrafficRecord> records_;
  quint64 next_ = 0;
};

class TrafficWindow : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kPullIntervalMs = 250;
  TrafficWindow(Simulator& simulator, QWidget* parent = nullptr);
  ~TrafficWindow() override;

  TrafficModel* model() const { return model_; }
  // Where Save writes; by default the user is asked. Empty: nothing saved.
  void setSaveFileChooser(std::function<QString()> chooser) { chooseFile_ = std::move(chooser); }
  // Takes the newest frames into the list now (the timer does it while shown and not paused).
  void refresh();
  void cmdSave_Click();

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void showLineCount();

  TrafficModel* model_;
  QTableView* list_;
  QPushButton* pauseButton_;
  QPushButton* clearButton_;
  QPushButton* saveButton_;
  QPushButton* closeButton_;
  QLabel* statusLabel_;
  QTimer* pullTimer_;
  std::function<QString()> chooseFile_;
};

}  // namespace rvsim
