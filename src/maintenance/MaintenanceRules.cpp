#include "MaintenanceRules.h"

namespace Maintenance {

QString positionCaption(const QString &noun, int absolutePosition, int recordCount)
{
    return QStringLiteral("%1: %2 of %3").arg(noun).arg(absolutePosition + 1).arg(recordCount);
}

bool isInViewCategories(const QString &name, const QString &viewCategories)
{
    return !name.isEmpty() && viewCategories.contains(name, Qt::CaseSensitive);
}

QString joinViewCategories(const QStringList &names)
{
    return names.join(QStringLiteral(", "));
}

QString databaseErrorMessage(int number, const QString &text)
{
    return QStringLiteral("Database error %1: %2").arg(number).arg(text);
}

} // namespace Maintenance
