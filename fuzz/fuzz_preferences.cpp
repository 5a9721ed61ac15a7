// Feeds arbitrary bytes to the reader of Preferences.ini, read through the program's own
// Preferences functions. One preference changed leaves every other one as it was read, and the
// file written then reads back the same.
#include "app/Preferences.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include "scratch.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

struct Read
{
    QString folder;
    int minutes;
    bool notifications;
    bool tray;
    bool operator==(const Read &) const = default;
};

// The preferences as the program reads them.
Read readAll()
{
    return {Preferences::value(QStringLiteral("Recording/Folder")).toString(),
            Preferences::value(QStringLiteral("SleepTimer/Minutes"), 30).toInt(),
            Preferences::value(QStringLiteral("Notifications/Show"), false).toBool(),
            Preferences::value(QStringLiteral("Tray/KeepPlaying"), false).toBool()};
}

// Gives the file a time of its own, so that what is cached of it is not taken for it.
void touch(QFile &file)
{
    static qint64 seconds = 1'000'000'000;
    if (!file.setFileTime(QDateTime::fromSecsSinceEpoch(++seconds), QFileDevice::FileModificationTime))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static QTemporaryDir home(scratchTemplate());
    setenv("HALCYRIX_HOME", home.path().toLocal8Bit().constData(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QFile file(Preferences::path());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        __builtin_trap();
    file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    file.flush();
    touch(file);
    file.close();

    Read before = readAll();
    const int minutes = before.minutes == 45 ? 46 : 45;
    Preferences::setValue(QStringLiteral("SleepTimer/Minutes"), minutes);
    before.minutes = minutes;
    if (readAll() != before)
        __builtin_trap();

    // The file as written, read afresh.
    if (!file.open(QIODevice::ReadWrite))
        __builtin_trap();
    touch(file);
    file.close();
    if (readAll() != before)
        __builtin_trap();
    return 0;
}
