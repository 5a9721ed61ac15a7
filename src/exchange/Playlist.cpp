#include "exchange/Playlist.h"

#include "app/TextCut.h"
#include "player/Metafile.h"

#include <QFileInfo>
#include <QUrl>

namespace Playlist {

QString shortenName(const QString &name, int length)
{
    const QString text = name.simplified();
    if (text.size() <= length)
        return text;
    qsizetype cut = length;
    if (text[cut] != QLatin1Char(' ')) {
        const qsizetype blank = text.lastIndexOf(QLatin1Char(' '), cut - 1);
        if (blank > 0)
            cut = blank;
        else
            cut = TextCut::wholeLength(text, cut);
    }
    return text.left(cut).trimmed();
}

bool isPlaylistName(const QString &fileName)
{
    using Metafile::Kind;
    const Kind kind = Metafile::kindFromName(fileName);
    return kind == Kind::M3u || kind == Kind::Pls || kind == Kind::Xspf;
}

Stations read(const QByteArray &bytes, const QString &fileName, const QString &category, const QString &tvCategory)
{
    using Metafile::Kind;
    Stations result;
    Kind kind = Metafile::kindFromContent(bytes);
    if (kind == Kind::None && !Metafile::looksLikeMedia(bytes))
        kind = Metafile::kindFromName(fileName);
    if (kind == Kind::Hls || kind == Kind::None) {
        result.isList = false; // a stream, or one stream cut in pieces: no list of stations
        return result;
    }
    // An m3u without its header is a plain list of addresses.
    const QList<Metafile::TitledEntry> entries = Metafile::parseEntries(kind == Kind::Ram ? Kind::M3u : kind, bytes);

    // An m3u's IPTV attributes, one per entry in the same order.
    IptvAttributes::Playlist iptv;
    if (kind == Kind::M3u || kind == Kind::Ram)
        iptv = IptvAttributes::parse(bytes);
    if (iptv.entries.size() != entries.size())
        iptv = IptvAttributes::Playlist();
    result.guideAddresses = iptv.guideAddresses;

    const QString base = QFileInfo(fileName).absoluteFilePath();
    for (qsizetype index = 0; index < entries.size(); ++index) {
        const Metafile::TitledEntry &entry = entries[index];
        const IptvAttributes::Attributes attributes = iptv.entries.value(index);
        const QString address = Metafile::resolve(entry.address, base);
        if (address.isEmpty())
            continue;
        if (address.size() > AddressLength) {
            ++result.leftOut;
            continue;
        }
        // A list read from disk may name local files; a script or data address is never a station.
        if (!Metafile::isPlayableAddress(address, false)) {
            ++result.notStreams;
            continue;
        }
        QString name = entry.title.simplified();
        if (name.isEmpty())
            name = attributes.tvgName;
        if (name.isEmpty())
            name = QUrl(address).host();
        if (name.isEmpty())
            name = QFileInfo(Metafile::localPath(address)).completeBaseName().simplified();
        const QString fitted = shortenName(name);
        if (fitted != name)
            ++result.shortened;
        StationList::Station s;
        s.SName = fitted;
        s.Type = QStringLiteral("NET");
        s.RAMFile = address;
        s.Category = category;
        if (iptv.isTelevision && !attributes.radio && !tvCategory.isEmpty()) {
            s.Type = QStringLiteral("TV");
            s.Category = tvCategory;
            ++result.television;
        }
        // Location, call letters and frequency: a playlist has none, so a replaced station
        // keeps its own.
        s.supplied = StationList::HasSName | StationList::HasType | StationList::HasRAMFile | StationList::HasCategory;
        result.stations.push_back(std::move(s));
        result.iptv.push_back(attributes);
    }
    return result;
}

QByteArray m3uHeader()
{
    return QByteArrayLiteral("#EXTM3U\n");
}

bool appendM3uEntry(QByteArray &out, const StationList::Station &station)
{
    const QString address = station.RAMFile.trimmed();
    if (address.isEmpty() || address.contains(QLatin1Char('\n')) || address.contains(QLatin1Char('\r')))
        return false;
    QString name = station.SName;
    name.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    out += "#EXTINF:-1,";
    out += name.toUtf8();
    out += '\n';
    out += address.toUtf8();
    out += '\n';
    return true;
}

} // namespace Playlist
