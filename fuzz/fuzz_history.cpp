// Feeds arbitrary bytes to the reader of RecentlyPlayed.json. What is read keeps the list's
// rules (at most Limit titles, none empty, none longer than MaxTextLength); saved and read
// again, it comes back the same, title for title.
#include "listening/TitleHistory.h"

#include <QFile>
#include <QTemporaryDir>

#include "scratch.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir(scratchTemplate());
    static const QString path = dir.filePath(QStringLiteral("RecentlyPlayed.json"));
    static const QString again = dir.filePath(QStringLiteral("again.json"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            __builtin_trap();
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    TitleHistory history;
    if (!history.load(path))
        return 0; // not the file's format: set aside, nothing read
    if (history.titles().size() > TitleHistory::Limit)
        __builtin_trap();
    for (const TitleHistory::Title &t : history.titles())
        if (t.title.isEmpty() || t.title.size() > TitleHistory::MaxTextLength ||
            t.station.size() > TitleHistory::MaxTextLength || !t.time.isValid())
            __builtin_trap();
    if (!history.save(again))
        __builtin_trap();
    TitleHistory read;
    if (!read.load(again) || read.titles().size() != history.titles().size())
        __builtin_trap();
    for (qsizetype i = 0; i < read.titles().size(); ++i) {
        const TitleHistory::Title &a = history.titles()[i];
        const TitleHistory::Title &b = read.titles()[i];
        if (a.title != b.title || a.station != b.station || a.time != b.time)
            __builtin_trap();
    }
    return 0;
}
