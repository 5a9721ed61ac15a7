#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class Database;

// What an IPTV playlist tells of its entries beyond a title and an address: the guide's channel
// id (tvg-id), the guide's name of the channel (tvg-name), a logo address (tvg-logo), its groups
// (group-title, several separated by ';') and whether it is a radio station (radio="true"); and
// in its header the addresses of its guides (x-tvg-url, also url-tvg). The station tables have
// no field for them: they are kept beside the station in the table StationIptv, found by the
// station's name and carried through renames and deletes.
namespace IptvAttributes {

struct Attributes
{
    QString tvgId;
    QString tvgName;
    QString logo;
    QStringList groups;
    bool radio = false;

    // True when the entry gave any of the attributes above.
    bool any() const { return !tvgId.isEmpty() || !tvgName.isEmpty() || !logo.isEmpty() || !groups.isEmpty() || radio; }
    bool operator==(const Attributes &other) const = default;
};

// The attributes of one "#EXTINF:<length> key="value" ...,<title>" line (the title is not read
// here). Values may be quoted with double or single quotes and then hold commas and blanks;
// unquoted values end at a blank. Names are matched ignoring letter case.
Attributes parseExtinf(const QString &line);

// The guide addresses of an "#EXTM3U" header line: the values of x-tvg-url and url-tvg, split
// at commas and blanks, without repeats. Only http, https and file addresses are kept.
QStringList guideAddresses(const QString &headerLine);

// A whole m3u playlist: the guide addresses of its header and the attributes of every entry, one
// per address line in file order (as the playlist's reader lists its entries).
struct Playlist
{
    QStringList guideAddresses;
    QList<Attributes> entries;
    // True when the header names a guide or any entry has an IPTV attribute.
    bool isIptv = false;
    // True when it is a television list: the header names a guide or an entry has a guide id or
    // guide name (a logo or a group alone is common in radio lists too).
    bool isTelevision = false;
};
Playlist parse(const QByteArray &bytes);

// ---- Kept beside the station ----

// Creates the table StationIptv and its triggers when the database lacks them.
void ensure(Database &db);
// Stores the attributes of the station of that name, replacing earlier ones (an entry without
// attributes removes them).
void store(Database &db, const QString &stationName, const Attributes &attributes);
// Stores the attributes of many stations at once, one statement prepared for all (an import).
void storeAll(Database &db, const QList<QPair<QString, Attributes>> &stations);
// The stored attributes of a station (empty when there are none or the table is missing).
Attributes forStation(Database &db, const QString &stationName);
// Every station with stored attributes, by station name folded to lower case.
QHash<QString, Attributes> all(Database &db);
// The logo address the playlist gave the station, or an empty text.
QString logoFor(Database &db, const QString &stationName);
// Links the station to a guide channel by hand: its guide id becomes channelId.
void setGuideId(Database &db, const QString &stationName, const QString &channelId);

} // namespace IptvAttributes
