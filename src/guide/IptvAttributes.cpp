#include "guide/IptvAttributes.h"

#include "app/TextCodec.h"
#include "data/Database.h"
#include "data/Statement.h"
#include "data/StationSideTable.h"

#include <QRegularExpression>
#include <QUrl>
#include <algorithm>

namespace {

const QString kTable = QStringLiteral("StationIptv");

// The key="value" pairs of an attribute list, names in lower case. Stops at the first comma
// outside quotes (the title follows it).
QList<QPair<QString, QString>> pairsOf(QStringView text)
{
    QList<QPair<QString, QString>> pairs;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && text[i].isSpace())
            ++i;
        if (i >= n || text[i] == QLatin1Char(','))
            break;
        const qsizetype nameStart = i;
        while (i < n && text[i] != QLatin1Char('=') && !text[i].isSpace() && text[i] != QLatin1Char(','))
            ++i;
        const QString name = text.mid(nameStart, i - nameStart).toString().toLower();
        if (i >= n || text[i] != QLatin1Char('=')) {
            pairs.append({name, QString()}); // a bare word (the length) has no value
            continue;
        }
        ++i; // '='
        QString value;
        if (i < n && (text[i] == QLatin1Char('"') || text[i] == QLatin1Char('\''))) {
            const QChar quote = text[i++];
            const qsizetype start = i;
            while (i < n && text[i] != quote)
                ++i;
            value = text.mid(start, i - start).toString();
            if (i < n)
                ++i; // closing quote
        } else {
            const qsizetype start = i;
            while (i < n && !text[i].isSpace() && text[i] != QLatin1Char(','))
                ++i;
            value = text.mid(start, i - start).toString();
        }
        pairs.append({name, value.trimmed()});
    }
    return pairs;
}

bool hasTable(Database &db)
{
    return StationSideTable::exists(db, kTable);
}

IptvAttributes::Attributes fromRow(const Statement &st, int first)
{
    IptvAttributes::Attributes a;
    a.tvgId = st.column(first).toString();
    a.tvgName = st.column(first + 1).toString();
    a.logo = st.column(first + 2).toString();
    a.groups = st.column(first + 3).toString().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    a.radio = st.column(first + 4).toInt() != 0;
    return a;
}

} // namespace

namespace IptvAttributes {

Attributes parseExtinf(const QString &line)
{
    Attributes a;
    QStringView text(line);
    if (text.startsWith(QLatin1String("#EXTINF:"), Qt::CaseInsensitive))
        text = text.mid(8);
    for (const auto &[name, value] : pairsOf(text)) {
        if (name == QLatin1String("tvg-id"))
            a.tvgId = value;
        else if (name == QLatin1String("tvg-name"))
            a.tvgName = value.simplified();
        else if (name == QLatin1String("tvg-logo"))
            a.logo = value;
        else if (name == QLatin1String("group-title")) {
            for (const QString &group : value.split(QLatin1Char(';'), Qt::SkipEmptyParts))
                if (const QString g = group.simplified(); !g.isEmpty() && !a.groups.contains(g))
                    a.groups << g;
        } else if (name == QLatin1String("radio"))
            a.radio = value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    }
    return a;
}

QStringList guideAddresses(const QString &headerLine)
{
    QStringView text(headerLine);
    if (text.startsWith(QLatin1String("#EXTM3U"), Qt::CaseInsensitive))
        text = text.mid(7);
    QStringList out;
    for (const auto &[name, value] : pairsOf(text)) {
        if (name != QLatin1String("x-tvg-url") && name != QLatin1String("url-tvg"))
            continue;
        for (const QString &part : value.split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts)) {
            const QUrl url(part);
            const QString scheme = url.scheme().toLower();
            if (url.isValid() &&
                (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                 scheme == QLatin1String("file")) &&
                !out.contains(part))
                out << part;
        }
    }
    return out;
}

Playlist parse(const QByteArray &bytes)
{
    Playlist playlist;
    Attributes pending;
    bool first = true;
    for (const QString &line : TextCodec::decodeLines(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes)) {
        const QString t = line.trimmed();
        if (first && t.startsWith(QLatin1String("#EXTM3U"), Qt::CaseInsensitive))
            playlist.guideAddresses = guideAddresses(t);
        if (!t.isEmpty())
            first = false;
        if (t.startsWith(QLatin1String("#EXTINF:"), Qt::CaseInsensitive)) {
            pending = parseExtinf(t);
            continue;
        }
        if (t.isEmpty() || t.startsWith(QLatin1Char('#')))
            continue;
        playlist.isIptv = playlist.isIptv || pending.any();
        playlist.isTelevision = playlist.isTelevision || !pending.tvgId.isEmpty() || !pending.tvgName.isEmpty();
        playlist.entries.append(pending);
        pending = Attributes();
    }
    playlist.isIptv = playlist.isIptv || !playlist.guideAddresses.isEmpty();
    playlist.isTelevision = playlist.isTelevision || !playlist.guideAddresses.isEmpty();
    return playlist;
}

void ensure(Database &db)
{
    StationSideTable::ensure(db, kTable,
                             QStringLiteral("TvgId TEXT NOT NULL DEFAULT '', TvgName TEXT NOT NULL DEFAULT '',"
                                            " Logo TEXT NOT NULL DEFAULT '', Groups TEXT NOT NULL DEFAULT '',"
                                            " Radio INTEGER NOT NULL DEFAULT 0"));
}

void store(Database &db, const QString &stationName, const Attributes &attributes)
{
    storeAll(db, {{stationName, attributes}});
}

void storeAll(Database &db, const QList<QPair<QString, Attributes>> &stations)
{
    if (stations.isEmpty())
        return;
    if (!hasTable(db)) {
        if (std::none_of(stations.begin(), stations.end(), [](const auto &s) { return s.second.any(); }))
            return;
        ensure(db);
    }
    Statement drop(db, QStringLiteral("delete from StationIptv where SName = ?"), true);
    Statement put(db,
                  QStringLiteral("insert or replace into StationIptv (SName, TvgId, TvgName, Logo, Groups, Radio)"
                                 " values (?, ?, ?, ?, ?, ?)"),
                  true);
    for (const auto &[name, a] : stations) {
        if (!a.any()) {
            drop.bind(1, name);
            drop.run();
            continue;
        }
        put.bind(1, name);
        put.bind(2, a.tvgId);
        put.bind(3, a.tvgName);
        put.bind(4, a.logo);
        put.bind(5, a.groups.join(QLatin1Char(';')));
        put.bind(6, a.radio ? 1 : 0);
        put.run();
    }
}

Attributes forStation(Database &db, const QString &stationName)
{
    if (!hasTable(db))
        return {};
    Statement st(db, QStringLiteral("select TvgId, TvgName, Logo, Groups, Radio from StationIptv where SName = ?"));
    st.bind(1, stationName);
    return st.step() ? fromRow(st, 0) : Attributes();
}

QHash<QString, Attributes> all(Database &db)
{
    QHash<QString, Attributes> out;
    if (!hasTable(db))
        return out;
    Statement st(db, QStringLiteral("select SName, TvgId, TvgName, Logo, Groups, Radio from StationIptv"));
    while (st.step())
        out.insert(st.column(0).toString().toLower(), fromRow(st, 1));
    return out;
}

QString logoFor(Database &db, const QString &stationName)
{
    return forStation(db, stationName).logo;
}

void setGuideId(Database &db, const QString &stationName, const QString &channelId)
{
    Attributes a = forStation(db, stationName);
    a.tvgId = channelId;
    store(db, stationName, a);
}

} // namespace IptvAttributes
