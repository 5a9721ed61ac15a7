// Feeds arbitrary bytes to the reader of Preferences.ini, read through the program's own
// Preferences functions. One preference changed leaves every other one as it was read, and a
// file the program wrote reads back as it was written. (A hand-made file need not: QSettings
// does not read a key with stray slashes, "/Recording/Folder"; the program drops it on writing.)
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
void touch()
{
    static qint64 seconds = 1'000'000'000;
    QFile file(Preferences::path());
    if (!file.open(QIODevice::ReadWrite) ||
        !file.setFileTime(QDateTime::fromSecsSinceEpoch(++seconds), QFileDevice::FileModificationTime))
        __builtin_trap();
}

// Changes the sleep timer's minutes, the other preferences staying as they were read.
void change(Read &read)
{
    read.minutes = read.minutes == 45 ? 46 : 45;
    Preferences::setValue(QStringLiteral("SleepTimer/Minutes"), read.minutes);
    if (readAll() != read)
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
    {
        QFile file(Preferences::path());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            __builtin_trap();
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    touch();

    // What was read stays as it was when another preference changes.
    Read read = readAll();
    change(read);

    // The file as written, read afresh, is read the same after another change and afresh again.
    touch();
    read = readAll();
    change(read);
    touch();
    if (readAll() != read)
        __builtin_trap();
    return 0;
}
