#pragma once

#include <QString>

class Data;
class QLabel;
class QWidget;

// Small helpers the maintenance windows share for their controls.
namespace Maintenance {

// Makes label the buddy of field and gives field the label's text as its accessible name,
// so a screen reader announces the box by the text beside it.
void labelFor(QLabel *label, QWidget *field);

// The label's caption as a screen reader should say it: without '&' and a trailing colon.
QString spokenCaption(const QString &caption);

// The text of the error a data control just raised through its Error event, or our own
// text for the number when it raised none.
QString engineErrorText(const Data *control, int number);

} // namespace Maintenance
