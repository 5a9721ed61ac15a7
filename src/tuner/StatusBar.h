#pragma once

#include <QStatusBar>
#include <QTimer>

class QLabel;

// The main window's status bar: panel 1 holds the program's text, panel 2 today's date and
// panel 3 the time of day, which the bar keeps current by itself.
class StatusBar : public QStatusBar
{
    Q_OBJECT
public:
    explicit StatusBar(QWidget *parent = nullptr);

    // Panels are numbered from 1, as the program addresses them.
    QLabel *Panels(int index) const;
    int PanelCount() const { return 3; }

    // The text of panel 1: a station's category, or a prompt to the user.
    QString text() const;
    void setText(const QString &text);
    void showPrompt(const QString &text);

private:
    // Panel 1 shows text; what it is (a category, a prompt) is its accessible description.
    void showText(const QString &text, const QString &what);
    void showClock();

    QLabel *m_panels[3];
    QTimer m_clock;
};
