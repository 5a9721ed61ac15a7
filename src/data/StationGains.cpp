#include "data/StationGains.h"

#include "data/Database.h"
#include "data/Statement.h"
#include "data/StationSideTable.h"

namespace {

const QString kTable = QStringLiteral("StationGain");

} // namespace

namespace StationGains {

std::optional<double> gainFor(Database &db, const QString &stationName)
{
    if (!StationSideTable::exists(db, kTable))
        return std::nullopt;
    Statement st(db, QStringLiteral("select Gain from StationGain where SName = ?"));
    st.bind(1, stationName);
    if (!st.step())
        return std::nullopt;
    bool ok = false;
    const double gain = st.column(0).toDouble(&ok);
    return ok ? std::optional<double>(gain) : std::nullopt;
}

void keep(Database &db, const QString &stationName, double gain, double loudness)
{
    StationSideTable::ensure(db, kTable, QStringLiteral("Gain REAL NOT NULL, Loudness REAL"));
    // Only for a station of the database (one tuned from the directory's list is not).
    Statement st(db, QStringLiteral("insert or replace into StationGain (SName, Gain, Loudness) "
                                    "select SName, ?, ? from Station where SName = ?"));
    st.bind(1, gain);
    st.bind(2, loudness);
    st.bind(3, stationName);
    st.run();
}

} // namespace StationGains
