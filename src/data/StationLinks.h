#pragma once

#include <QList>
#include <QPair>
#include <QString>

class Database;

// The station directory's id of a station (its "stationuuid"), kept beside the station in a
// table of its own, StationLink (SName, StationUuid), so that the three station tables stay as
// they are. A station is found by its name, which is unique ignoring letter case. Two triggers on
// Station keep the links right whoever writes the file (the editors, an import, another SQLite
// tool): renaming a station carries its link to the new name, deleting it drops the link. The
// table and its triggers use plain SQL only, so other SQLite tools read and write the file.
namespace StationLinks {

// Creates the table and its triggers when the database lacks them. Nothing happens on a file
// that cannot be written. Raises the database's error when the engine refuses.
void ensure(Database &db);

// The directory id stored for the station of that name, or an empty text (also when the table
// is missing).
QString uuidFor(Database &db, const QString &stationName);

// Stores uuid as the directory id of the station of that name, replacing an earlier one.
void link(Database &db, const QString &stationName, const QString &uuid);

// Forgets the directory id of the station of that name.
void unlink(Database &db, const QString &stationName);

// Every stored link as (station name, directory id), in name order as stored.
QList<QPair<QString, QString>> all(Database &db);

} // namespace StationLinks
