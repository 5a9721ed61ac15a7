#pragma once

#include "timers/TimerRules.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class QLabel;
class QWidget;
class TimerClock;
class frmMain;
class frmTimers;

// The main window's wake-up and record timers: their file beside the database, the "Timers"
// window, the next timer in the status bar, and what a timer does when it starts and ends. A
// wake-up tunes its station at a low volume and fades in; a recording tunes its station and
// records it into one file (or a file per title) until its end. A timer that starts while
// something else plays says so and leaves it playing; a recording asks once whether to take
// over, and does unless told not to.
class Timers : public QObject
{
    Q_OBJECT
public:
    explicit Timers(frmMain &window);
    ~Timers() override;

    TimerClock &clock() { return *m_clock; }
    // Reads the timers' file beside the database once the database is known (at start-up); a
    // damaged file is set aside and reported.
    void load();
    QString filePath() const { return m_path; }

    void showTimers();
    frmTimers *timersWindow() const;
    // Opens the timer's dialog; OK keeps it, when it can be kept. True when kept.
    bool edit(const Timer &timer, QWidget *parent);

    // The names of the stored stations, radio and TV, in alphabetical order.
    static QStringList stationNames();
    // What the tray's tool tip says of the timers: the one that runs, else the next; empty when none.
    QString trayText() const;

    QLabel *lblTimer; // "⏰ 07:00": when the next timer starts

signals:
    // Something a notification tells: a timer started, ended, was missed or could not start.
    void notice(const QString &summary, const QString &body);
    // The next timer, or the one that runs, changed.
    void changed();

private:
    void write();
    void showNext();
    void started(const Timer &timer, const QDateTime &start);
    void ended(const Timer &timer);
    void startWakeUp(const Timer &timer);
    void startRecording(const Timer &timer, const QDateTime &start);
    void beginRecording();
    void wakeVolume(int volume);
    // Whether the player plays (or is about to play) the station of this name.
    bool playing(const QString &station) const;
    bool playerBusy() const;
    void tune(const QString &station);

    frmMain &m_window;
    TimerClock *m_clock;
    QString m_path;
    bool m_loaded = false;
    bool m_writeFailed = false;
    QPointer<frmTimers> m_list;
    QTimer m_refresh;
    // Of the timer that runs:
    bool m_tuned = false;        // it tuned its station, which stops at its end
    bool m_awaitingPlay = false; // a recording waits for its station to play
    bool m_recording = false;    // it records
    QString m_oneFileTitle;      // the date and time that name its file; empty for a file per title
    int m_fadeVolume = -1;       // the volume a wake-up set last, while it fades in
};
