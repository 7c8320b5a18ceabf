#pragma once
// The Timeline window: the faults of the run on one lane per drive, ten
// minutes at a time, scrollable back to the sweep; a mark's tooltip is its
// Polmon.dbg entry. Export PNG writes the picture whole or not at all.

#include <QTimer>
#include <QWidget>

#include "fault_timeline.h"

class QComboBox;
class QLabel;
class QPushButton;
class QScrollBar;

namespace polmon {

class PollEngine;

// Paints the lanes, the marks, the time axis and the legend.
class TimelineView : public QWidget {
  Q_OBJECT
 public:
  TimelineView(const FaultTimeline& timeline, const PollEngine& engine, QWidget* parent = nullptr);

  // The left edge of what is shown, in ms after the sweep.
  void setStartOffsetMs(qint64 ms);
  qint64 startOffsetMs() const { return startOffsetMs_; }
  // How much time the width shows: ten minutes unless chosen otherwise.
  void setSpanMs(qint64 ms);
  qint64 spanMs() const { return spanMs_; }
  // What a tooltip at pos says: the mark's kind and log entry, or a lane's
  // counters; empty elsewhere.
  QString toolTipAt(const QPoint& pos) const;
  // Where the mark is drawn (for tests); null when out of view.
  QRect markRect(const FaultMark& mark) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
  bool event(QEvent* e) override;

 private:
  int laneHeight() const;
  int labelWidth() const;
  int top() const { return 4; }
  int laneTop(int lane) const { return top() + lane * laneHeight(); }
  int plotLeft() const { return labelWidth() + 4; }
  int plotWidth() const;
  qint64 leftMs() const;
  int xOf(qint64 atMs) const;
  int laneOf(int row) const;
  QString laneCounters(int row) const;
  void paintAxis(QPainter& p, int y);
  void paintLegend(QPainter& p, int y);

  const FaultTimeline& timeline_;
  const PollEngine& engine_;
  qint64 startOffsetMs_ = 0;
  qint64 spanMs_ = FaultTimeline::kSpanMs;
};

class TimelineWindow : public QWidget {
  Q_OBJECT
 public:
  // A window of its own, owned by parent.
  TimelineWindow(const FaultTimeline& timeline, const PollEngine& engine, QWidget* parent);

  TimelineView* view() const { return view_; }
  // Writes the picture to path as PNG, all or nothing; the outcome is shown.
  bool exportTo(const QString& path);
  // Follows the clock (when scrolled to the end) and repaints.
  void refresh();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void cmdExportPng_Click();

  const FaultTimeline& timeline_;
  const PollEngine& engine_;
  TimelineView* view_ = nullptr;
  QScrollBar* scroll_ = nullptr;
  QComboBox* spanList_ = nullptr;
  QPushButton* exportButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  QLabel* resultLabel_ = nullptr;
  QTimer refreshTimer_;
};

}  // namespace polmon
