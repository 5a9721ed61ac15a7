#pragma once

#include <QJsonArray>
#include <QString>

// The program's own lists kept as a JSON array in a file beside the database (the titles heard,
// the timers). A file that is there but cannot be read as such an array (damaged, or larger than
// maxBytes) is set aside as "<file>.bad", so the next save does not overwrite what the user may
// want back.
namespace JsonArrayFile {

// The array in the file; empty when there is no file. False when the file was set aside.
bool read(const QString &path, qint64 maxBytes, QJsonArray *entries);

} // namespace JsonArrayFile
