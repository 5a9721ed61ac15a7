#pragma once

#include "health/StationCheck.h"

#include <QDateTime>
#include <QList>
#include <QString>

class Database;

// The last check of each station, kept beside it (table StationVerdict, carried through renames
// and deletes): its verdict, reason and time, and when the station last failed and why. A
// station never checked has no row. Failures of the database raise its RuntimeError.
namespace StationVerdicts {

struct Failed
{
    StationCheck::Station station; // as stored now
    QString reason;
    QString detail;
    QDateTime checkedAt;
};

// Stores the outcomes, made at when, in one transaction.
void record(Database &db, const QList<StationCheck::Result> &results, const QDateTime &when);

// The stations whose last check failed, in no particular order.
QList<Failed> failed(const QString &dbPath);

// When the last check of any station was made (invalid when none was).
QDateTime lastChecked(Database &db);

// "Last failed a check on <date>: <reason>." for a station that did; empty otherwise.
QString failureNote(Database &db, const QString &stationName);

} // namespace StationVerdicts
