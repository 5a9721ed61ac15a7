#pragma once

#include <QString>
#include <QStringView>
#include <vector>

// How names are compared and ordered, in one place: every list that sorts names, every search
// for a name and every check that a name is free use these rules.
//
// Equal names: two names are the same name when they differ in letter case only, in every
// alphabet ("Öko FM" and "öko FM", "ΣΟΦΙΑ" and "σοφια"). Each character is folded on its own
// with Unicode's simple case folding, so a name never changes length when folded.
//
// Order: alphabetical as a reader of the user's language expects (the system collation, and
// English ordering when the system names no language): letter case aside, accented letters
// beside their base letters ("Émile" between "Blue" and "KJAZ"). Names the collation cannot
// tell apart stand in the order of their folded text, then as they came.
namespace Collation {

// Whether a and b are the same name.
bool sameName(QStringView a, QStringView b);
// The folded text of a name: equal for exactly the names that are the same name.
QString nameKey(QStringView name);

// Alphabetical comparison: negative when a comes before b, 0 for the same name, positive after.
// Names that are not the same name but read alike stand in the order of their folded texts,
// code point by code point. Every sort of names orders by this comparison, keeping the same
// names in the order they came (sort() below does exactly that).
int compare(QStringView a, QStringView b);

// Sorts order alphabetically; texts[k] is the text of the entry order[k] holds before the sort
// (a null pointer: no text, which comes first). The same names keep their order. descending
// reverses the order of the names, not of the same names. Long lists of plain ASCII names take a fast path that orders
// them exactly as compare() does.
void sort(std::vector<int> &order, const std::vector<const QString *> &texts, bool descending = false);

// Whether names made of printable ASCII are ordered without the collation library (a check run
// once against the collation of the user's language). For tests and benchmarks.
bool asciiFastPath();

} // namespace Collation
