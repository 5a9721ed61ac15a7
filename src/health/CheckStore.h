#pragma once

#include "health/StationCheck.h"

#include <QList>
#include <QString>
#include <optional>

// The station database as the station check sees it: the stations to check, and the two
// changes the user can make to those that do not answer. A station is known by its row and its
// name together, so a row renamed or replaced since the check is never changed by mistake.
// Failures of the database raise its RuntimeError.
namespace CheckStore {

// The stations that pass criteria (a criteria text; empty for all, and all when the text is
// refused, as the main list does), in name order.
QList<StationCheck::Station> stations(const QString &dbPath, const QString &criteria);

// The station stored at the row now, when it is still there.
std::optional<StationCheck::Station> station(const QString &dbPath, qint64 rowid);

// Puts the stations into category, which is added to the categories when missing; in one
// transaction. Returns how many stations were moved (those still stored as they were listed).
int moveTo(const QString &dbPath, const QList<StationCheck::Station> &stations, const QString &category);

// Gives the station a new address. False when the station is no longer stored as listed.
bool setAddress(const QString &dbPath, const StationCheck::Station &station, const QString &address);

// Deletes the stations, in one transaction. Returns how many were deleted.
int remove(const QString &dbPath, const QList<StationCheck::Station> &stations);

} // namespace CheckStore
