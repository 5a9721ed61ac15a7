#pragma once

#include "data/Recordset.h"
#include "data/StationColumn.h"

#include <QString>
#include <QVariant>

// Reading the current row of a record set shaped like the Station table (the station list
// and the preset rows), as the main window and the desktop controls show it.
namespace StationRecord {

// Neither before the first nor after the last row, nor on a row just deleted.
bool onRow(const RecordsetPtr &rs);

// A null field, or one holding empty text.
bool isEmpty(const QVariant &value);

// The text of a field of the current row; empty for a null field.
QString text(const RecordsetPtr &rs, int column);

} // namespace StationRecord
