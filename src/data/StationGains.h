#pragma once

#include <QString>

#include <optional>

class Database;

// The gain levelling learned for each station, and the loudness it measured, kept beside the
// station in a table of its own, StationGain (SName, Gain, Loudness), carried through renames
// and deletes like every side table: a station heard before starts at its level.
namespace StationGains {

// The gain in dB kept for the station of that name; none when none is kept (or no table).
std::optional<double> gainFor(Database &db, const QString &stationName);

// Keeps the gain (dB) and measured loudness (LUFS) for the station of that name, replacing what
// was kept; nothing when the database has no such station.
void keep(Database &db, const QString &stationName, double gain, double loudness);

} // namespace StationGains
