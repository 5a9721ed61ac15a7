#include "health/StationVerdicts.h"

#include "data/Database.h"
#include "data/Statement.h"
#include "data/StationSideTable.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

const QString kTable = QStringLiteral("StationVerdict");

// Verdict is "answers", "fails" or "unchecked" (a kind of address that cannot be checked);
// times are UTC in ISO 8601, so other SQLite tools read and sort them.
void ensure(Database &db)
{
    StationSideTable::ensure(db, kTable,
                             QStringLiteral("Verdict TEXT NOT NULL, Reason TEXT NOT NULL, Detail TEXT NOT NULL,"
                                            " CheckedAt TEXT NOT NULL, FailedAt TEXT, FailedReason TEXT"));
}

QString isoTime(const QDateTime &when)
{
    return when.toUTC().toString(Qt::ISODate);
}

QDateTime fromIso(const QString &text)
{
    QDateTime when = QDateTime::fromString(text, Qt::ISODate);
    when.setTimeSpec(Qt::UTC);
    return when;
}

} // namespace

namespace StationVerdicts {

void record(Database &db, const QList<StationCheck::Result> &results, const QDateTime &when)
{
    if (results.isEmpty())
        return;
    ensure(db);
    const QString at = isoTime(when);
    db.beginTransaction();
    try {
        // A failure keeps its time and reason in FailedAt and FailedReason; an answer keeps the
        // last failure's.
        Statement st(
            db,
            QStringLiteral("insert into StationVerdict (SName, Verdict, Reason, Detail, CheckedAt, FailedAt,"
                           " FailedReason) values (?1, ?2, ?3, ?4, ?5, case when ?2 = 'fails' then ?5 end,"
                           " case when ?2 = 'fails' then ?3 end)"
                           " on conflict (SName) do update set Verdict = excluded.Verdict,"
                           " Reason = excluded.Reason, Detail = excluded.Detail, CheckedAt = excluded.CheckedAt,"
                           " FailedAt = coalesce(excluded.FailedAt, FailedAt),"
                           " FailedReason = coalesce(excluded.FailedReason, FailedReason)"),
            true);
        // Only stations still stored under the name get a row (the triggers keep it right after).
        Statement stored(db, QStringLiteral("select 1 from Station where SName = ?"), true);
        for (const StationCheck::Result &result : results) {
            stored.bind(1, result.station.name);
            const bool there = stored.step();
            stored.reset();
            if (!there)
                continue;
            const AddressCheck::Outcome &o = result.outcome;
            st.bind(1, result.station.name);
            st.bind(2, !o.checked  ? QStringLiteral("unchecked")
                       : o.answers ? QStringLiteral("answers")
                                   : QStringLiteral("fails"));
            st.bind(3, o.answers ? QString() : o.reason);
            st.bind(4, o.answers ? QString() : o.detail);
            st.bind(5, at);
            st.run();
        }
    } catch (...) {
        db.rollback();
        throw;
    }
    db.commit();
}

QList<Failed> failed(const QString &dbPath)
{
    const std::shared_ptr<Database> db = Database::open(dbPath);
    QList<Failed> out;
    if (!StationSideTable::exists(*db, kTable))
        return out;
    Statement st(*db, QStringLiteral("select s.rowid, s.SName, s.RAMFile, s.Category, v.Reason, v.Detail, v.CheckedAt"
                                     " from StationVerdict v join Station s on s.SName = v.SName"
                                     " where v.Verdict = 'fails'"));
    while (st.step())
        out.append({{st.integer(0), st.column(1).toString(), st.column(2).toString(), st.column(3).toString()},
                    st.column(4).toString(),
                    st.column(5).toString(),
                    fromIso(st.column(6).toString())});
    return out;
}

QDateTime lastChecked(Database &db)
{
    if (!StationSideTable::exists(db, kTable))
        return {};
    Statement st(db, QStringLiteral("select max(CheckedAt) from StationVerdict"));
    return st.step() && !st.column(0).isNull() ? fromIso(st.column(0).toString()) : QDateTime();
}

QString failureNote(Database &db, const QString &stationName)
{
    if (!StationSideTable::exists(db, kTable))
        return {};
    Statement st(db, QStringLiteral("select FailedAt, FailedReason from StationVerdict where SName = ? and"
                                    " FailedAt is not null"));
    st.bind(1, stationName);
    if (!st.step())
        return {};
    const QString when = QLocale().toString(fromIso(st.column(0).toString()).toLocalTime(), QLocale::ShortFormat);
    return QCoreApplication::translate("StationVerdicts", "Last failed a check on %1: %2.")
        .arg(when, st.column(1).toString());
}

} // namespace StationVerdicts
