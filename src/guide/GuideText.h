#pragma once

#include "guide/GuideDatabase.h"

#include <QString>

// How the guide's programmes are told to the user, in the user's local time.
namespace GuideText {

// "20:00"
QString clock(qint64 t);
// "20:00–21:00"
QString span(const GuideDatabase::Programme &p);
// "Now: <title> (20:00–21:00) · Next: <title>", or the half there is; empty with neither.
QString nowNext(const std::optional<GuideDatabase::Programme> &now,
                const std::optional<GuideDatabase::Programme> &next);
// How far the programme is at t, from 0 to 100.
int percentDone(const GuideDatabase::Programme &p, qint64 t);
// The day a programme list shows: "Today", "Tomorrow", then "Friday 11 December".
QString dayName(int daysFromToday);

} // namespace GuideText
