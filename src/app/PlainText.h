#pragma once

#include <QString>

class QWidget;

// Text from outside the program (station and category fields, file names, settings, what a
// stream's server sends, player errors) is data: it is shown exactly as it is. Qt guesses
// whether a label's, tool tip's or message box's text is rich text and renders what looks like
// markup (a headline, an image read from any path); these helpers take the guess away.
namespace PlainText {

// Makes root, when it is a label, and every label inside it show their texts as plain text.
// Each window calls it once its controls are made.
void apply(QWidget *root);

// A tool tip that shows text exactly. Text that Qt would take for rich text is escaped into
// rich text that reads as the text itself; any other text is its own tool tip.
QString toolTip(const QString &text);

// The text a tool tip made by toolTip() shows.
QString fromToolTip(const QString &tip);

} // namespace PlainText
