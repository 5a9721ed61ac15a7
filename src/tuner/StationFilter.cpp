#include "StationFilter.h"

#include "data/Criteria.h"

namespace {
QString equalityTest(const QString &field, const QString &value)
{
    return field + QStringLiteral(" = '") + criteriaQuote(value.trimmed()) + QLatin1Char('\'');
}
} // namespace

QString categoryCriteria(QString &categories, const QString &field)
{
    QString criteria;
    do {
        const qsizetype comma = categories.indexOf(QLatin1Char(','));
        if (comma < 0) {
            criteria += equalityTest(field, categories);
            categories.clear();
        } else {
            criteria += equalityTest(field, categories.left(comma)) + QStringLiteral(" OR ");
            categories = categories.mid(comma + 1);
        }
    } while (!categories.isEmpty());
    return criteria;
}

QString stationNameCriteria(const QString &name)
{
    return QStringLiteral("SName='") + criteriaQuote(name) + QLatin1Char('\'');
}
