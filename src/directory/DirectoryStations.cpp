#include "directory/DirectoryStations.h"

#include "data/BulkWriter.h"
#include "data/Database.h"
#include "data/StationLinks.h"
#include "exchange/Playlist.h"
#include "pictures/StationLogos.h"
#include "player/Metafile.h"

#include <QUrl>

namespace DirectoryStations {

namespace {

bool fits(const QString &address)
{
    return !address.isEmpty() && address.size() <= Playlist::AddressLength &&
           Metafile::isPlayableAddress(address, true);
}

QString location(const DirectoryStation &s)
{
    const QString country = s.country.isEmpty() ? s.countryCode : s.country;
    const QString both =
        s.state.isEmpty() || country.isEmpty() ? s.state + country : s.state + QStringLiteral(", ") + country;
    if (both.size() <= LocationLength)
        return both;
    return Playlist::shortenName(country.isEmpty() ? s.state : country, LocationLength);
}

QString webPage(const DirectoryStation &s)
{
    const QString scheme = QUrl(s.homepage).scheme().toLower();
    if (s.homepage.size() <= WebPageLength && (scheme == QLatin1String("http") || scheme == QLatin1String("https")))
        return s.homepage;
    return {};
}

} // namespace

QString streamAddress(const DirectoryStation &station, QString *reason)
{
    for (const QString &address : {station.urlResolved, station.url})
        if (fits(address))
            return address;
    if (reason) {
        const bool tooLong =
            station.urlResolved.size() > Playlist::AddressLength || station.url.size() > Playlist::AddressLength;
        *reason = tooLong ? QStringLiteral("its address is longer than the RAMFile field allows (%1 characters)")
                                .arg(Playlist::AddressLength)
                          : QStringLiteral("its address is not a stream address the player may open");
    }
    return {};
}

QList<Outcome> add(const std::shared_ptr<Database> &db, const QList<DirectoryStation> &stations,
                   const QString &category)
{
    QList<Outcome> outcomes;
    if (db->readOnlyFile())
        throw RuntimeError(DataErr::ReadOnly, dataErrorText(DataErr::ReadOnly));
    StationLinks::ensure(*db);
    BulkWriter writer(db, QStringLiteral("Station"),
                      {QStringLiteral("SName"), QStringLiteral("Frequency"), QStringLiteral("Type"),
                       QStringLiteral("CallLetters"), QStringLiteral("Location"), QStringLiteral("RAMFile"),
                       QStringLiteral("Category"), QStringLiteral("WebPage")});
    Transaction transaction(db);
    for (const DirectoryStation &s : stations) {
        Outcome outcome;
        outcome.name = Playlist::shortenName(s.name);
        const QString address = streamAddress(s, &outcome.reason);
        if (outcome.name.isEmpty()) {
            outcome.name = s.name;
            outcome.reason = QStringLiteral("it has no name");
        } else if (!address.isEmpty() && writer.find(0, outcome.name) >= 0) {
            outcome.reason = QStringLiteral("a station of that name is stored already");
        } else if (!address.isEmpty()) {
            // The link goes in first: a station the database refuses takes its link out again,
            // so no station is ever stored without its link, nor a link without its station.
            StationLinks::link(*db, outcome.name, s.uuid);
            try {
                // Empty text stores no value, as an empty text box does.
                QVariantList values;
                for (const QString &field : {outcome.name, QString(), QStringLiteral("NET"), QString(), location(s),
                                             address, category, webPage(s)})
                    values << (field.isEmpty() ? QVariant() : QVariant(field));
                writer.insert(values);
                outcome.added = true;
                StationLogos::setAddress(*db, outcome.name, s.favicon);
            } catch (const RuntimeError &e) {
                StationLinks::unlink(*db, outcome.name);
                outcome.reason = e.text();
            }
        }
        outcomes.append(outcome);
    }
    transaction.commit();
    return outcomes;
}

} // namespace DirectoryStations
