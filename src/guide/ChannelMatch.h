#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class Database;

// Which guide channel a station shows, in this order: the station's guide id (tvg-id) equals the
// channel's id, letter case ignored; else the station's guide name (tvg-name) or its own name
// equals one of the channel's display names, letter case and blanks folded.
namespace ChannelMatch {

struct Station
{
    QString name;
    QString tvgId;
    QString tvgName;
    QString address; // the station's metafile address
};

struct Channel
{
    QString id;
    QStringList names;
};

// A name as names are compared: lower case, without blanks.
QString fold(const QString &name);

// The TV band's stations (category "Television") with their guide id, guide name and address.
QList<Station> televisionStations(Database &db);

// Whether a channel may be some station's channel: what the loader keeps.
class Wanted
{
public:
    explicit Wanted(const QList<Station> &stations);
    bool channel(const QString &id, const QStringList &names) const;
    bool empty() const { return m_ids.isEmpty() && m_names.isEmpty(); }

private:
    QSet<QString> m_ids;
    QSet<QString> m_names;
};

// Each station's channel id (by station name as given), for the stations that have one.
QHash<QString, QString> link(const QList<Station> &stations, const QList<Channel> &channels);

} // namespace ChannelMatch
