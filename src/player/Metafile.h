#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Stream metafiles: small text files that name the addresses of a stream. No widgets here, so the
// readers can be exercised on any input.
namespace Metafile {

enum class Kind {
    None, // not a metafile: a stream or media file to play as it is
    Ram,  // .ram / .rpm: one address per line
    M3u,  // .m3u / .m3u8 playlist (not an HLS media playlist)
    Hls,  // an HLS playlist: played by the player as it is, never expanded
    Pls,  // .pls
    Asx,  // .asx (XML)
    Xspf  // .xspf (XML)
};

// The kind named by an address's file extension (query and fragment ignored). .m3u8 answers M3u;
// whether it is HLS is known only from its content.
Kind kindFromName(const QString &address);

// The kind a file's first bytes and, when known, its content type show. None when it looks like
// anything else (audio or video data, HTML, an empty file).
Kind kindFromContent(const QByteArray &head, const QString &contentType = QString());

// True when the first bytes are binary data (audio or video), not text.
bool looksLikeMedia(const QByteArray &head);

// The entries of a metafile in their order, made absolute against the metafile's own address
// (a web address or a local file path). Empty when there are none.
QStringList parse(Kind kind, const QByteArray &data, const QString &baseAddress);

// One entry of a list with the title the list gives it (empty when it gives none).
struct TitledEntry
{
    QString address;
    QString title;
    bool operator==(const TitledEntry &other) const = default;
};

// The entries of a metafile of that kind as they stand in it, with the titles the kinds that
// have them give. Empty for an HLS playlist and for what is no metafile.
QList<TitledEntry> parseEntries(Kind kind, const QByteArray &data);

// The entries of an m3u (#EXTINF titles), a pls (TitleN) and an xspf list (<title>), in the
// order the address-only readers below give them.
QList<TitledEntry> parseM3uEntries(const QByteArray &data);
QList<TitledEntry> parsePlsEntries(const QByteArray &data);
QList<TitledEntry> parseXspfEntries(const QByteArray &data);

QStringList parseRam(const QByteArray &data);
QStringList parseM3u(const QByteArray &data);
QStringList parsePls(const QByteArray &data);
QStringList parseAsx(const QByteArray &data);
QStringList parseXspf(const QByteArray &data);

// An entry relative to the metafile that holds it, made absolute.
QString resolve(const QString &entry, const QString &baseAddress);

// True when the address names a local file (a path or a file: address).
bool isLocal(const QString &address);
// The local path of a local address.
QString localPath(const QString &address);

// Whether an entry may be played. Entries of metafiles that came over the network may only name
// network streams; a local metafile may also name local files. Addresses with other schemes
// (internal libmpv protocols and the like) are never handed to the player.
bool isPlayableAddress(const QString &address, bool fromNetwork);

} // namespace Metafile
