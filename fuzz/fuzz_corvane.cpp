// Feeds arbitrary bytes to the Corvane list reader.
#include "exchange/StationFormats.h"

#include <cstddef>
#include <cstdint>

using namespace StationList;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::vector<Station> all = readCorvaneFile(bytes);
    // One station per whole record; bytes after the last whole record are ignored.
    if (qsizetype(all.size()) != corvaneRecordCount(bytes.size()) ||
        qsizetype(all.size()) != bytes.size() / CorvaneRecordLength)
        __builtin_trap();

    StationReader reader(StationReader::CorvaneList, bytes);
    Station s;
    size_t n = 0;
    while (reader.next(s)) {
        if (n >= all.size() || !(s == all[n]))
            __builtin_trap();
        ++n;
    }
    if (n != all.size())
        __builtin_trap();

    for (const Station &station : all) {
        // A record's texts come without their padding, the band is one of two, and no field
        // is longer than its place in the record.
        if (station.Type != QLatin1String("FM") && station.Type != QLatin1String("AM"))
            __builtin_trap();
        if (station.SName.size() > 30 || station.RAMFile.size() > 40 || station.Location.size() > 30 ||
            station.Category.size() > 20 || station.CallLetters.size() > 4 || station.Frequency.size() > 5)
            __builtin_trap();
        if (station.SName.startsWith(QLatin1Char(' ')) || station.SName.endsWith(QLatin1Char(' ')))
            __builtin_trap();
    }
    return 0;
}
