#pragma once

#include <QString>
#include <QStringList>

// Texts and rules of the maintenance windows that need no widget.
namespace Maintenance {

// The navigation bar caption while a saved row is current: "Station: 3 of 12".
// absolutePosition is 0-based, as the record set reports it.
QString positionCaption(const QString &noun, int absolutePosition, int recordCount);

// A category counts as chosen for viewing when its name occurs anywhere in the view list,
// letter case significant ("Rock" is chosen when "Classic Rock" is). An empty name is never
// chosen: it names no category a user could have picked.
bool isInViewCategories(const QString &name, const QString &viewCategories);

// The view list as the selector stores it: the names joined by a comma and one blank.
QString joinViewCategories(const QStringList &names);

// The station editor's report of an engine error: "Database error 3022: text".
QString databaseErrorMessage(int number, const QString &text);

} // namespace Maintenance
