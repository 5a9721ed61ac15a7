#pragma once

#include "timers/TimerRules.h"

#include <QList>
#include <QString>

// The timers' own file beside the station database, read at start and written after each change.
namespace TimerFile {

constexpr qint64 MaxFileBytes = 1024 * 1024;
constexpr int Limit = 500;

// Reads the timers. A missing file gives none; so does a file that cannot be read (too large, not
// the file's format), which is then moved aside to "<path>.bad" so that the next save does not
// overwrite what it held. False when the file existed but was not read. An entry damaged by hand
// (no station, no time) is left out and the others are kept.
bool load(const QString &path, QList<Timer> &timers);
// Writes the file whole (to a scratch file renamed over the old one). False on failure.
bool save(const QString &path, const QList<Timer> &timers);

QString pathBeside(const QString &databasePath);

} // namespace TimerFile
