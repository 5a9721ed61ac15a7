// Feeds arbitrary bytes to the playlist import: every entry becomes a station whose name and
// address fit the database's fields. The first byte picks the file name's ending.
#include "exchange/Playlist.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const char *names[] = {"/tmp/list.m3u", "/tmp/list.m3u8", "/tmp/list.pls", "/tmp/list.xspf"};
    const QByteArray body(reinterpret_cast<const char *>(data) + 1, static_cast<qsizetype>(size - 1));
    const Playlist::Stations read =
        Playlist::read(body, QString::fromLatin1(names[data[0] % 4]), QStringLiteral("Pop"));
    QByteArray out = Playlist::m3uHeader();
    for (const auto &s : read.stations) {
        if (s.SName.size() > Playlist::NameLength || s.RAMFile.size() > Playlist::AddressLength || s.RAMFile.isEmpty())
            std::abort();
        Playlist::appendM3uEntry(out, s);
    }
    return 0;
}
