#pragma once

#include <QDir>
#include <QString>

// Where a fuzz target keeps the files it writes: in memory when the system has such a folder,
// since every saved file is synced to the disk and the disk would set the pace.
inline QString scratchTemplate()
{
    const QString shm = QStringLiteral("/dev/shm");
    return (QDir(shm).exists() ? shm : QDir::tempPath()) + QStringLiteral("/halcyrix-fuzz-XXXXXX");
}
