#pragma once
// The History window both Ethernet windows open for the picked module
// (object name FrmHistory): the module's entries, newest first (time,
// operation, protocol and PLC address, title, outcome), with
//   Compare   an entry against the module's current file, or two entries
//   Restore   the entry's Config.csv uploaded exactly as stored, then
//             verified, after a confirmation that names the module, the
//             entry's time and title and any change of PLC address or
//             protocol
// and the service log opened from it. Restore runs as a session on the
// owner's utility runner, so the owner's busy guard and wait panel cover it.

#include <QByteArray>
#include <QDialog>
#include <QString>

#include <functional>

#include "operation_record.h"
#include "sessions.h"
#include "utility_runner.h"

namespace gw {

class HistoryWindow : public QDialog {
  Q_OBJECT
 public:
  HistoryWindow(OperationRecorder& recorder, UtilityRunner& runner, const QString& workDir,
                QWidget* parent = nullptr);
  ~HistoryWindow() override;

  // Lists the module's entries; currentConfig is the module's Config.csv as
  // last read back (empty when none: Compare then needs two entries).
  void showModule(const QString& moduleAddress, const QByteArray& currentConfig);
  // Reads the module's entries again (after the owner recorded one).
  void refresh();

  // Replaces the Restore confirmation box (tests): gets the confirmation's
  // text, says whether to go on.
  void setConfirmation(std::function<bool(const QString& text)> confirm);

  // Closing is refused while a restore runs: it is the owner's to cancel.
  void reject() override;

 signals:
  // A restore ended; it was recorded already. The owner reads the module
  // back when it succeeded.
  void restoreFinished(const gw::SessionOutcome& outcome);

 private:
  void updateButtons();
  void compareSelected();
  void restoreSelected();

  struct Private;
  Private* d_;
};

// "Compare before saving": what a save would change on the module, the file
// read back against the file the save would send. Shows the difference in a
// window of its own (not modal; deleted when closed); it never stands in
// the save's way.
QDialog* showSaveComparison(QWidget* parent, const QString& moduleAddress, const QByteArray& readBack,
                        const QByteArray& wouldSend);

// Opens the service log (the folder's service-log.csv) in a read-only view
// (not modal; deleted when closed).
QDialog* showServiceLog(QWidget* parent, OperationRecorder& recorder);

}  // namespace gw
