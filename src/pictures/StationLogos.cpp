#include "pictures/StationLogos.h"

#include "data/Database.h"
#include "data/Statement.h"
#include "data/StationSideTable.h"

#include <QDir>
#include <QUrl>

namespace {

const QString kTable = QStringLiteral("StationLogo");

void store(Database &db, const QString &stationName, const QString &address)
{
    StationLogos::ensure(db);
    Statement st(db, QStringLiteral("insert or replace into StationLogo (SName, Address) values (?, ?)"));
    st.bind(1, stationName);
    st.bind(2, address);
    st.run();
}

} // namespace

namespace StationLogos {

bool isWebAddress(const QString &address)
{
    if (address.isEmpty() || address.size() > AddressLength)
        return false;
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

void ensure(Database &db)
{
    StationSideTable::ensure(db, kTable, QStringLiteral("Address TEXT NOT NULL"));
}

QString addressFor(Database &db, const QString &stationName)
{
    if (!StationSideTable::exists(db, kTable))
        return {};
    Statement st(db, QStringLiteral("select Address from StationLogo where SName = ?"));
    st.bind(1, stationName);
    return st.step() ? st.column(0).toString() : QString();
}

bool setAddress(Database &db, const QString &stationName, const QString &address)
{
    const QString trimmed = address.trimmed();
    if (stationName.isEmpty() || !isWebAddress(trimmed))
        return false;
    store(db, stationName, trimmed);
    return true;
}

bool setUserAddress(Database &db, const QString &stationName, const QString &address)
{
    QString trimmed = address.trimmed();
    if (stationName.isEmpty())
        return false;
    if (isWebAddress(trimmed)) {
        store(db, stationName, trimmed);
        return true;
    }
    if (trimmed.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        trimmed = QUrl(trimmed).toLocalFile();
    if (trimmed.isEmpty() || trimmed.size() > AddressLength || !QDir::isAbsolutePath(trimmed))
        return false;
    store(db, stationName, QDir::cleanPath(trimmed));
    return true;
}

void clear(Database &db, const QString &stationName)
{
    if (!StationSideTable::exists(db, kTable))
        return;
    Statement st(db, QStringLiteral("delete from StationLogo where SName = ?"));
    st.bind(1, stationName);
    st.run();
}

} // namespace StationLogos
