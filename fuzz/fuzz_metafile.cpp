// Feeds arbitrary bytes to the stream metafile readers. The first byte picks the reader
// (.ram, .m3u, .pls, .asx, .xspf, or the kind the content shows); the rest is the file.
#include "player/Metafile.h"

#include <cstddef>
#include <cstdint>

using Metafile::Kind;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray body(reinterpret_cast<const char *>(data) + 1, static_cast<qsizetype>(size - 1));
    static const Kind kinds[] = {Kind::Ram, Kind::M3u, Kind::Pls, Kind::Asx, Kind::Xspf, Kind::None};
    Kind kind = kinds[data[0] % 6];
    const bool fromNetwork = (data[0] / 6) % 2;
    if (kind == Kind::None) {
        kind = Metafile::kindFromContent(body.left(4096), QString());
        Metafile::looksLikeMedia(body.left(4096));
    }
    const QString base = fromNetwork ? QStringLiteral("http://127.0.0.1:8000/list/station.m3u")
                                     : QStringLiteral("/tmp/lists/station.m3u");
    const QList<Metafile::TitledEntry> entries = Metafile::parseEntries(kind, body);
    const QStringList resolved = Metafile::parse(kind, body, base);
    for (const QString &entry : resolved) {
        // An entry that cannot be made absolute comes back empty and is never played.
        const bool playable = Metafile::isPlayableAddress(entry, fromNetwork);
        if (entry.isEmpty() && playable)
            __builtin_trap();
        // A metafile from the network never hands the player a local file.
        if (playable && fromNetwork && Metafile::isLocal(entry))
            __builtin_trap();
        if (Metafile::isLocal(entry))
            Metafile::localPath(entry);
        Metafile::kindFromName(entry);
    }
    for (const Metafile::TitledEntry &entry : entries)
        Metafile::resolve(entry.address, base);
    return 0;
}
