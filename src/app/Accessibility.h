#pragma once

#include <QString>

class QLabel;
class QWidget;

// How the program's windows speak to screen readers.
namespace Accessibility {

// A label whose text changes while the program runs is read by what it shows: the text is its
// accessible name, and every change of it is announced to screen readers as a name change.
// What the label is ("Frequency", "Location") goes in its description.
void readAsShown(QLabel *label, const QString &what);

// Tells screen readers a text to say now, without moving the keyboard focus: what follows an
// action the user cannot see from where the focus is (the player's status, the station a preset
// or the stepper brought to the display). It is offered as a notification of source's window.
void speak(QWidget *source, const QString &text);

// The accessible name of an indicator light that shows its state by colour alone:
// "FM, lit" while lit, "FM" while dark.
QString lightName(const QString &caption, bool lit);

} // namespace Accessibility
