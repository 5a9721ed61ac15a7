// Feeds arbitrary bytes to the station file reader, whole and line by line.
#include "app/TextCodec.h"
#include "exchange/StationFormats.h"

#include <cstddef>
#include <cstdint>

using namespace StationList;

static bool hasBreak(const Station &s)
{
    for (const QString *f : {&s.SName, &s.Location, &s.CallLetters, &s.Frequency, &s.Type, &s.RAMFile, &s.Category})
        if (f->contains(QLatin1Char('\t')) || f->contains(QLatin1Char('\r')) || f->contains(QLatin1Char('\n')))
            return true;
    return false;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::vector<Station> all = readStationFile(bytes);

    // Reading one station at a time gives the same stations, and the position only grows.
    StationReader reader(StationReader::StationFile, bytes);
    Station s;
    size_t n = 0;
    qint64 last = reader.position();
    while (reader.next(s)) {
        if (n >= all.size() || !(s.SName == all[n].SName && s.Category == all[n].Category &&
                                 s.RAMFile == all[n].RAMFile && s.supplied == all[n].supplied))
            __builtin_trap();
        if (reader.position() <= last || reader.position() > reader.size())
            __builtin_trap();
        last = reader.position();
        ++n;
    }
    if (n != all.size())
        __builtin_trap();

    // A station read with all seven fields and no TAB or line break in a value is written
    // back as a line that reads back the same.
    for (const Station &station : all) {
        if (station.supplied != HasAll && (station.supplied & 0x7Fu) != 0x7Fu)
            continue;
        if (hasBreak(station))
            continue;
        QByteArray line;
        appendStationLine(line, station);
        if (!line.endsWith("\r\n"))
            __builtin_trap();
        line.chop(2);
        const Station again = readStationLine(TextCodec::fromUtf8Inside(line));
        if (again.SName != station.SName || again.Location != station.Location ||
            again.CallLetters != station.CallLetters || again.Frequency != station.Frequency ||
            again.Type != station.Type || again.RAMFile != station.RAMFile || again.Category != station.Category)
            __builtin_trap();
    }
    // Written as a web page row, a station stays on one line.
    for (const Station &station : all) {
        QByteArray row;
        appendWebPageRow(row, station, true);
        if (row.count('\n') != 1 || !row.endsWith("\r\n"))
            __builtin_trap();
    }
    return 0;
}
