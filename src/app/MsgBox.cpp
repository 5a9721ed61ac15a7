#include "MsgBox.h"

#include "AppInfo.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <deque>

namespace MsgBox {
namespace {
bool g_recording = false;
QStringList g_shown;
std::deque<Answer> g_answers;

// While recording: the question is kept, and the next preset answer given (whenNone if none).
Answer recordedAnswer(const QString &text, Answer whenNone)
{
    g_shown << text;
    if (g_answers.empty())
        return whenNone;
    const Answer a = g_answers.front();
    g_answers.pop_front();
    return a;
}

QWidget *ownerFor(QWidget *parent)
{
    return parent ? parent : QApplication::activeWindow();
}

// Names, file names and errors in a message are shown as they are: the format is fixed before
// the box ever sees the text, so it is never laid out as markup.
void setPlainText(QMessageBox &box, const QString &text)
{
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
}
} // namespace

void show(const QString &text, QWidget *parent)
{
    if (g_recording) {
        g_shown << text;
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, App::title(), QString(), QMessageBox::Ok, ownerFor(parent));
    setPlainText(box, text);
    box.exec();
}

Answer askYesNoAllCancel(const QString &text, QWidget *parent)
{
    if (g_recording)
        return recordedAnswer(text, Answer::Cancel);
    QMessageBox box(QMessageBox::Question, App::title(), QString(), QMessageBox::NoButton, ownerFor(parent));
    setPlainText(box, text);
    QPushButton *yes = box.addButton(QMessageBox::Yes);
    QPushButton *no = box.addButton(QMessageBox::No);
    QPushButton *all = box.addButton(QMessageBox::YesToAll);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(yes);
    box.exec();
    if (box.clickedButton() == yes)
        return Answer::Yes;
    if (box.clickedButton() == no)
        return Answer::No;
    if (box.clickedButton() == all)
        return Answer::YesToAll;
    return Answer::Cancel;
}

Answer askYesNo(const QString &text, QWidget *parent)
{
    if (g_recording)
        return recordedAnswer(text, Answer::No) == Answer::Yes ? Answer::Yes : Answer::No;
    QMessageBox box(QMessageBox::Question, App::title(), QString(), QMessageBox::NoButton, ownerFor(parent));
    setPlainText(box, text);
    QPushButton *yes = box.addButton(QMessageBox::Yes);
    QPushButton *no = box.addButton(QMessageBox::No);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? Answer::Yes : Answer::No;
}

Answer askYesNoUnattended(const QString &text, int seconds, QWidget *parent)
{
    if (g_recording)
        return recordedAnswer(text, Answer::Yes) == Answer::No ? Answer::No : Answer::Yes;
    QMessageBox box(QMessageBox::Question, App::title(), QString(), QMessageBox::NoButton, ownerFor(parent));
    setPlainText(box, text);
    QPushButton *yes = box.addButton(QMessageBox::Yes);
    QPushButton *no = box.addButton(QMessageBox::No);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    QTimer::singleShot(seconds * 1000, &box, [yes] { yes->click(); });
    box.exec();
    return box.clickedButton() == no ? Answer::No : Answer::Yes;
}

void setRecording(bool on)
{
    g_recording = on;
    g_shown.clear();
    g_answers.clear();
}

bool recording()
{
    return g_recording;
}
QStringList shown()
{
    return g_shown;
}

QStringList takeShown()
{
    QStringList texts;
    texts.swap(g_shown);
    return texts;
}

void presetAnswer(Answer answer)
{
    g_answers.push_back(answer);
}

} // namespace MsgBox
