#include "guide/ChannelMatch.h"

#include "data/Database.h"
#include "data/Statement.h"
#include "data/StationSideTable.h"

namespace ChannelMatch {

QString fold(const QString &name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name)
        if (!c.isSpace())
            out += c;
    return out.toCaseFolded();
}

QList<Station> televisionStations(Database &db)
{
    const bool iptv = StationSideTable::exists(db, QStringLiteral("StationIptv"));
    Statement st(db, iptv ? QStringLiteral("select s.SName, i.TvgId, i.TvgName, s.RAMFile from Station s"
                                           " left join StationIptv i on i.SName = s.SName"
                                           " where s.Category = 'Television' collate nocase and s.SName is not null")
                          : QStringLiteral("select SName, '', '', RAMFile from Station"
                                           " where Category = 'Television' collate nocase and SName is not null"));
    QList<Station> out;
    while (st.step())
        out.append(
            {st.column(0).toString(), st.column(1).toString(), st.column(2).toString(), st.column(3).toString()});
    return out;
}

Wanted::Wanted(const QList<Station> &stations)
{
    for (const Station &s : stations) {
        if (!s.tvgId.isEmpty())
            m_ids.insert(s.tvgId.toCaseFolded());
        for (const QString &n : {s.tvgName, s.name})
            if (const QString f = fold(n); !f.isEmpty())
                m_names.insert(f);
    }
}

bool Wanted::channel(const QString &id, const QStringList &names) const
{
    if (m_ids.contains(id.toCaseFolded()))
        return true;
    for (const QString &n : names)
        if (m_names.contains(fold(n)))
            return true;
    return false;
}

QHash<QString, QString> link(const QList<Station> &stations, const QList<Channel> &channels)
{
    QHash<QString, QString> byId;
    QHash<QString, QString> byName;
    for (const Channel &c : channels)
        byId.insert(c.id.toCaseFolded(), c.id);
    // Insert keeps the last value; walk the channels backwards so the first of a name wins.
    for (auto it = channels.crbegin(); it != channels.crend(); ++it)
        for (const QString &n : it->names)
            byName.insert(fold(n), it->id);

    QHash<QString, QString> out;
    for (const Station &s : stations) {
        QString channel = s.tvgId.isEmpty() ? QString() : byId.value(s.tvgId.toCaseFolded());
        if (channel.isEmpty() && !s.tvgName.isEmpty())
            channel = byName.value(fold(s.tvgName));
        if (channel.isEmpty())
            channel = byName.value(fold(s.name));
        if (!channel.isEmpty())
            out.insert(s.name, channel);
    }
    return out;
}

} // namespace ChannelMatch
