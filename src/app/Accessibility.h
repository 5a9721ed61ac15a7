#pragma once

#include <QString>

class QLabel;

// How the program's windows speak to screen readers.
namespace Accessibility {

// A label whose text changes while the program runs is read by what it shows: the text is its
// accessible name, and every change of it is announced to screen readers as a name change.
// What the label is ("Frequency", "Location") goes in its description.
void readAsShown(QLabel *label, const QString &what);

// The accessible name of an indicator light that shows its state by colour alone:
// "FM, lit" while lit, "FM" while dark.
QString lightName(const QString &caption, bool lit);

} // namespace Accessibility
