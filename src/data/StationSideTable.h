#pragma once

#include <QString>

class Database;

// Data the three station tables have no field for (a directory id, a guide id, a logo address,
// a learned gain, a check's verdict) lives beside the station in a table of its own, keyed by the
// station's name (unique ignoring letter case). Two triggers on Station keep such a table right
// whoever writes the file (the editors, an import, another SQLite tool): renaming a station
// carries its row to the new name, deleting the station drops its row. Plain SQL only, so other
// SQLite tools read and write the file.
namespace StationSideTable {

// True when the database has a table of that name.
bool exists(Database &db, const QString &table);

// Creates the table (SName, then the columns given as SQL, e.g. "Gain REAL NOT NULL") and its
// two triggers when the database lacks them. Nothing happens on a file that cannot be written.
// Raises the database's error when the engine refuses.
void ensure(Database &db, const QString &table, const QString &columns);

} // namespace StationSideTable
