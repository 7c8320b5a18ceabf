#pragma once
// Reading a module's current Config.csv back: the protocol code, the summary
// fields, the title row and the captions tail. Widget-free.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace gw {

struct CurrentConfig {
  // False when the file could not be read, has fewer than four lines, or
  // line 3 holds no comma: then no field may be changed from it.
  bool readable = false;
  int protocolCode = 0;       // 1, 2 or 3 after "//" at the file's start; 0 otherwise (corrupt)
  QStringList summaryFields;  // line 0 split at ",", each trimmed
  QString title;              // line 3 up to its first comma, trimmed
  bool hasCaptions = false;
  // From "//RVSIM_Captions" to the end, when present, less the file's final
  // CR LF (which the save adds again), so read back then saved unchanged the
  // file stays byte for byte the same. Further CR LFs before it (files that
  // grew by earlier cycles) stay in the tail.
  QString captionsTail;
  // A window keeps CaptionsTail = captionsTail on every read-back (cleared
  // when the file has none), so a save never carries another module's tail.

  // Summary field i trimmed, empty when missing.
  QString field(int i) const { return i < summaryFields.size() ? summaryFields[i] : QString(); }
};

CurrentConfig parseCurrentConfig(const QByteArray& file);

// The title of a Config.csv: line 3 up to its first comma, trimmed of
// blanks; empty when the file is not readable (see CurrentConfig).
QString configTitle(const QByteArray& file);

// Reads workDir/Config.csv (the name the fetch gives it); readable false
// when it is missing.
CurrentConfig readCurrentConfig(const QString& workDir);

}  // namespace gw
