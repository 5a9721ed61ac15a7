#pragma once

#include <QString>

// The criteria that keep the stations of a list of categories: one equality test of field
// per name, joined by OR, in list order. Names are split at every comma and trimmed of blanks;
// a quote inside a name is doubled, so the name filters like any other. The list is consumed
// (left empty). An empty list gives a test for the empty category; a list that ends in a comma
// leaves a dangling OR that the criteria parser refuses.
QString categoryCriteria(QString &categories, const QString &field);

// The criteria that find a station by its name.
QString stationNameCriteria(const QString &name);
