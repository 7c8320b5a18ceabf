#pragma once
// The Statistics window: per drive the polls, faults, reply times and moves
// the engine counted since the last Scan, refreshed twice a second while it
// is open (the poll cycle never waits for it), and Export CSV.

#include <QTimer>
#include <QWidget>

#include "poll_engine.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace polmon {

// Gives the window the size it wants, or as much of it as the screen it will
// open on holds, so that it opens whole (its contents scroll).
void resizeWithinScreen(QWidget* window, QSize wanted);

class StatisticsWindow : public QWidget {
  Q_OBJECT
 public:
  // A window of its own, owned by parent.
  StatisticsWindow(const PollEngine& engine, QWidget* parent);

  // Writes the table and the time of the export to path, all or nothing;
  // the outcome is shown in the window.
  bool exportTo(const QString& path);
  // Fills the table from the engine's counters now.
  void refresh();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void cmdExportCsv_Click();

  const PollEngine& engine_;
  QTableWidget* table_ = nullptr;
  QPushButton* exportButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  QLabel* resultLabel_ = nullptr;
  QTimer refreshTimer_;
};

}  // namespace polmon
