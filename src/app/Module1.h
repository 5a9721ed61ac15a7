#pragma once

#include <QString>
#include <optional>

// The program state shared by every window for the whole run, and the settings routines.
namespace Module1 {

inline QString DatabasePath;     // full path of the station database
inline QString ViewCategories;   // the categories the radio band shows, joined by ", "
inline QString FilterField;      // the station field the category filter compares
inline bool RadioMode = true;    // the radio band is selected
inline bool PresetArmed = false; // the next preset press stores instead of tuning

// Tuner.ini and its scratch file Tuner.tmp in the application directory.
QString iniPath();
QString tmpPath();

// The value of the last line of key in Tuner.ini, or nothing. Raises run-time error 53
// naming the full path when the file is missing, 75 when it cannot be read.
std::optional<QString> vbReadIni(const QString &key);

// Replaces the value of every line of key. The file is written to Tuner.tmp, flushed to
// disk and renamed over Tuner.ini, so a complete settings file exists at every moment.
void vbWriteIni(const QString &key, const QString &value);

} // namespace Module1
