// Feeds arbitrary bytes to the reader of the station directory's replies: a search reply and
// the reply Update Address asks for are both arrays of station objects. Every result read has an
// id and an address; the address it would be stored and played with is a network stream that
// fits the RAMFile field, and the name it would be stored under fits the SName field with no
// character cut in two.
#include "directory/DirectoryClient.h"
#include "directory/DirectoryStations.h"
#include "exchange/Playlist.h"
#include "player/Metafile.h"

#include <cstddef>
#include <cstdint>

namespace {

bool hasLoneSurrogate(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const auto stations = parseStations(json);
    if (!stations)
        return 0;
    for (const DirectoryStation &s : *stations) {
        if (s.uuid.isEmpty() || s.streamAddress().isEmpty())
            __builtin_trap();
        const QString address = DirectoryStations::streamAddress(s);
        if (!address.isEmpty() && (address.size() > Playlist::AddressLength ||
                                   !Metafile::isPlayableAddress(address, true) || Metafile::isLocal(address)))
            __builtin_trap();
        const QString name = Playlist::shortenName(s.name);
        if (name.size() > Playlist::NameLength || (hasLoneSurrogate(name) && !hasLoneSurrogate(s.name)))
            __builtin_trap();
    }
    return 0;
}
