#pragma once
// Files the tools write for the user are complete on disk at every moment.

#include <QByteArray>
#include <QString>

namespace xav {

// Replaces the file with data through a temporary file and a rename, so a
// crash leaves either the old or the new file, never half of one. Creates
// missing parent folders. On failure returns false and sets *error.
bool writeWholeFile(const QString& path, const QByteArray& data, QString* error = nullptr);

// Opens the file for appending, writes data, closes it again.
bool appendToFile(const QString& path, const QByteArray& data, QString* error = nullptr);

// Reads the whole file into *data; false (and *error) when it cannot be read.
bool readWholeFile(const QString& path, QByteArray* data, QString* error = nullptr);

}  // namespace xav
