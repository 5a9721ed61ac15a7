#pragma once

#include "directory/DirectoryClient.h"

#include <QList>
#include <QString>
#include <memory>

class Database;

// Stations of the directory made stations of the database, under the same rules as typed or
// imported ones. No widgets here.
namespace DirectoryStations {

// Field lengths of the Station table.
constexpr int LocationLength = 50;
constexpr int WebPageLength = 100;

// The address a result is stored and played with: its resolved stream address, or its address
// as entered when the resolved one is missing, too long or not a network stream. Empty, with
// *reason telling why, when neither fits the RAMFile field or may be played.
QString streamAddress(const DirectoryStation &station, QString *reason = nullptr);

// What happened to one result.
struct Outcome
{
    QString name; // the name it was (or would have been) stored under
    bool added = false;
    QString reason; // why it was passed over
};

// Stores the results in the category, in one transaction, each with its directory id in the
// link table: the name shortened at a word to the field's length, type "NET", the country (or
// state and country) as location, the stream address, the home page when it is an http or https
// address that fits, its logo address beside it when it is an http or https address. A result whose name is taken
// (ignoring letter case) or whose address is refused is passed over, and the outcome says why. Raises the database's
// error when the transaction itself fails (nothing is stored then).
QList<Outcome> add(const std::shared_ptr<Database> &db, const QList<DirectoryStation> &stations,
                   const QString &category);

} // namespace DirectoryStations
