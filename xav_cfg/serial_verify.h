#pragma once
// Serial Verify: after a Save the module is asked again, with the same
// wake-up and query exchange and timing as Connect, and its reply is
// compared with the record sent, column by column (reply column n holds
// what record column n + 1 carried). Only the columns Connect reads are
// compared, and only those the sent mode carries. Widget-free.

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>

namespace xavcfg {

class SerialRoutines;

struct SerialVerifyResult {
  enum class Kind {
    Holds,     // every compared column matches
    Differs,   // field, sent and held name the first difference
    NoAnswer,  // seven attempts without a reply
    Cancelled,
  };
  Kind kind = Kind::NoAnswer;
  QString field;  // the window's name of the field ("Base register")
  QString sent;   // its value in the record sent, as the window shows it
  QString held;   // its value in the module's reply
  QByteArray reply;

  bool holds() const { return kind == Kind::Holds; }
  // "Module holds the record sent"; or the first differing field with both
  // values; or that the module on portText did not answer and the BLACK
  // button must be pressed again.
  QString message(const QString& portText) const;
};

// Compares a reply with a 45-character record (a trailing CR is ignored).
SerialVerifyResult compareReplyWithRecord(const QByteArray& record, const QByteArray& reply);

class SerialVerifier : public QObject {
  Q_OBJECT
 public:
  explicit SerialVerifier(SerialRoutines& routines, QObject* parent = nullptr);

  // Starts the exchange for the record sent. False (nothing sent) when an
  // exchange already runs, the port is not open or record is no record.
  // The routines' countdown tells the attempts as during Connect.
  bool start(const QByteArray& record);
  void cancel();
  bool busy() const { return active_; }

 signals:
  void finished(const xavcfg::SerialVerifyResult& result);

 private:
  void onQueryFinished(bool replied);

  SerialRoutines& routines_;
  QByteArray record_;
  bool active_ = false;
};

}  // namespace xavcfg

Q_DECLARE_METATYPE(xavcfg::SerialVerifyResult)
