#pragma once
// The captions file: 21 lines, each ended by CR LF. Line 1 belongs to the
// hidden template box and is ignored on reading; lines 2 to 21 name rows 1
// to 20.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace rvsim {

// File contents for the 20 row captions (line 1 is always empty). Line
// breaks inside a caption become blanks so the file keeps its 21 lines.
QByteArray captionsFileBytes(const QStringList& rowCaptions);

// The 20 row captions in a file's contents; missing lines give empty
// captions. Lines end with CR LF; a bare LF (a file edited by hand on
// Linux) ends a line too.
QStringList parseCaptions(const QByteArray& contents);

}  // namespace rvsim
