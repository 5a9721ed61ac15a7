#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Message boxes of the program: OK only, with the application title as caption.
// Tests switch on recording: nothing is shown, the texts are kept, and questions take
// the preset answers in order.
namespace MsgBox {

enum class Answer { Ok, Yes, No, YesToAll, Cancel };

void show(const QString &text, QWidget *parent = nullptr);

// A question with Yes, No, Yes to All and Cancel buttons (the import asks it per station).
Answer askYesNoAllCancel(const QString &text, QWidget *parent = nullptr);

// A question with Yes and No buttons, No the default (asked before something is deleted).
// Recording without a preset answer, the answer is No.
Answer askYesNo(const QString &text, QWidget *parent = nullptr);

// A question with Yes and No buttons, Yes the default, that takes Yes by itself when nobody
// answers within the seconds given (asked when a timer would take over the player). Recording
// without a preset answer, the answer is Yes.
Answer askYesNoUnattended(const QString &text, int seconds, QWidget *parent = nullptr);

void setRecording(bool on);
bool recording();
QStringList shown();     // texts shown since recording started or was last cleared
QStringList takeShown(); // the same, and clears them
void presetAnswer(Answer answer);

} // namespace MsgBox
