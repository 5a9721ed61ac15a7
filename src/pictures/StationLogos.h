#pragma once

#include <QString>

class Database;

// The address of a station's logo, kept beside the station in a table of its own,
// StationLogo (SName, Address), carried through renames and dropped with the station.
// An address is an http or https address, or the full path of a picture file the user chose.
namespace StationLogos {

// Longest address kept.
constexpr int AddressLength = 2048;

// True for an address a logo may be fetched from as outside data (the directory, a playlist):
// http or https with a host, no longer than AddressLength.
bool isWebAddress(const QString &address);

// Creates the table when the database lacks it (nothing happens on a file that cannot be
// written).
void ensure(Database &db);

// The logo address of the station of that name, or an empty text.
QString addressFor(Database &db, const QString &stationName);

// Stores a logo address given by an outside source (the station directory, an IPTV playlist's
// tvg-logo) for the station of that name. Only an http or https address is kept: anything else
// (a local file named by a server, a data: address, an empty text) is refused and false is
// returned, leaving the stored address as it was.
bool setAddress(Database &db, const QString &stationName, const QString &address);

// Stores the user's choice: an http or https address, or a picture file (its full path, or a
// file:// address, kept as the path). False, with nothing stored, for anything else.
bool setUserAddress(Database &db, const QString &stationName, const QString &address);

// Forgets the logo of the station of that name.
void clear(Database &db, const QString &stationName);

} // namespace StationLogos
