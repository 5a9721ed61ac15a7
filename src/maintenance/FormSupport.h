#pragma once

#include <QString>

class Data;
class QLabel;
class QPushButton;
class QWidget;

// Small helpers the maintenance windows share for their controls.
namespace Maintenance {

// Makes label the buddy of field and gives field the label's text as its accessible name,
// so a screen reader announces the box by the text beside it.
void labelFor(QLabel *label, QWidget *field);

// A push button with its object name that never becomes the default button, so Enter in a
// box doesn't press it.
QPushButton *makeButton(const char *name, const QString &caption, QWidget *parent);

// The label's caption as a screen reader should say it: without '&' and a trailing colon.
QString spokenCaption(const QString &caption);

// The text of the error a data control just raised through its Error event, or our own
// text for the number when it raised none.
QString engineErrorText(const Data *control, int number);

} // namespace Maintenance
