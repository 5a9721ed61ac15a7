#pragma once

#include "exchange/StationFormats.h"
#include "guide/IptvAttributes.h"

#include <QByteArray>
#include <QString>
#include <vector>

// Playlists other players keep (m3u, m3u8, pls, xspf) as station lists: read into stations for
// the import, and stations written as an extended m3u for the export. No widgets here.
namespace Playlist {

// The longest name and metafile address a station may have (the database's field lengths).
constexpr int NameLength = 30;
constexpr int AddressLength = 100;

// Every entry of a playlist as a station: the entry's title, or else its address's host name,
// as the name (shortened at a word boundary when longer than NameLength), the address made
// absolute against the playlist file as the metafile, type "NET" and the given category.
// Entries whose address is longer than AddressLength, or is no stream a player opens (only
// http, https, mms, rtsp, rtmp and the like, file addresses and local paths are), are left out.
struct Stations
{
    std::vector<StationList::Station> stations;
    int shortened = 0;  // names shortened to fit
    int leftOut = 0;    // entries left out: their address does not fit
    int notStreams = 0; // entries left out: their address is no stream (javascript:, data:, ...)
    bool isList = true; // false: the bytes are no playlist of stations (a stream, an HLS list, ...)
    // An IPTV playlist's attributes of each station (same order as stations) and its guides.
    std::vector<IptvAttributes::Attributes> iptv;
    QStringList guideAddresses;
    int television = 0; // stations put in tvCategory
};
// With tvCategory given, the television entries of an IPTV playlist (one that names a guide or
// gives guide ids or names; those not marked radio="true") go to tvCategory with type "TV"; the
// others go to category.
Stations read(const QByteArray &bytes, const QString &fileName, const QString &category,
              const QString &tvCategory = {});

// The name cut to at most length characters: at the last blank that leaves a word whole, or
// within the word when the first word alone is too long.
QString shortenName(const QString &name, int length = NameLength);

// True when the file name ends as a playlist does (.m3u, .m3u8, .pls, .xspf).
bool isPlaylistName(const QString &fileName);

// Extended m3u in UTF-8: the header line, then per station "#EXTINF:-1,<name>" and its address.
// A station without a metafile address is left out; line breaks in a name become blanks and an
// address that holds one is left out, so that every entry stays one entry.
QByteArray m3uHeader();
bool appendM3uEntry(QByteArray &out, const StationList::Station &station);

} // namespace Playlist
