#pragma once
// The captions file: 21 lines, each ended by CR LF, in Latin-1 (the
// system's single-byte character set). Line 1 belongs to the hidden
// template box and is ignored on reading; lines 2 to 21 name rows 1 to 20.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace rvsim {

// A captions file is a few short lines; anything larger is something else.
inline constexpr qsizetype kMaxCaptionsFileBytes = 32 * 1024;

// File contents for the 20 row captions (line 1 is always empty). Line
// breaks inside a caption become blanks so the file keeps its 21 lines;
// characters outside Latin-1 become "?".
QByteArray captionsFileBytes(const QStringList& rowCaptions);

// The 20 row captions in a file's contents; missing lines give empty
// captions. Lines end with CR LF; a bare LF (a file edited by hand on
// Linux) ends a line too.
QStringList parseCaptions(QByteArrayView contents);

// What reading a file as captions gave.
struct CaptionsRead {
  QStringList captions;  // always 20
  // Why a save would lose what the file holds ("binary", "no line end", ...);
  // empty for a captions file. Such a file is kept aside before the first save.
  QString notCaptions;
};

// Reads contents (at most kMaxCaptionsFileBytes + 1 bytes of the file: more
// means too long). Too long, binary or without any line end: no captions
// are taken from it. Text beyond line 21 is read but would be lost.
CaptionsRead readCaptions(QByteArrayView contents);

// Reads at most maxBytes + 1 bytes of a regular file. Anything else (a
// folder, a pipe, a device) is never opened for reading, so it cannot hang
// the program; false with *error then.
bool readRegularFile(const QString& path, qsizetype maxBytes, QByteArray* data, QString* error);

// Whether path names something that is not a regular file (a folder, a
// pipe, a device); false when nothing is there.
bool isOtherThanRegularFile(const QString& path);

// The first of path.bak, path.bak.2, ... that does not exist yet.
QString backupPathFor(const QString& path);

}  // namespace rvsim
