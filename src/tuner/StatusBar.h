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

    // The text of panel 1.
    QString text() const;
    void setText(const QString &text);

private:
    void showClock();

    QLabel *m_panels[3];
    QTimer m_clock;
};
