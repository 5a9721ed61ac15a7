#pragma once

#include "listening/TitleHistory.h"
#include "listening/frmRecentlyPlayed.h"

#include <QObject>
#include <QPointer>

class NowPlaying;
class QLabel;
class Recorder;
class SleepTimer;
class frmMain;

// The main window's everyday listening: the titles heard (kept beside the database), recording
// what plays, and the sleep timer, with their marks in the status bar. The Play menu's commands
// come here.
class Listening : public QObject
{
    Q_OBJECT
public:
    explicit Listening(frmMain &window);
    ~Listening() override;

    // The titles heard, read from their file on first use.
    TitleHistory &history();
    NowPlaying &nowPlaying() { return *m_now; }
    Recorder &recorder() { return *m_recorder; }
    SleepTimer &sleepTimer() { return *m_sleep; }
    frmRecentlyPlayed *recentlyPlayedWindow() const { return m_recent; }

    // The folder recordings go to: the one chosen, else "Halcyrix" in the user's music folder.
    static QString recordingFolder();

    void showRecentlyPlayed();
    // Starts or ends recording as the Record item's check mark says; a failure is reported.
    void record(bool on);
    void chooseRecordingFolder();
    void showSleepTimer();

    QLabel *lblRecording; // "REC 0:42" while recording
    QLabel *lblSleep;     // the sleep timer's minutes left

signals:
    void historyChanged();

private:
    void titleHeard(const QString &station, const QString &title);
    void showRecording();
    void fade(double share);
    void updateRecordItem();

    frmMain &m_window;
    NowPlaying *m_now;
    Recorder *m_recorder;
    SleepTimer *m_sleep;
    TitleHistory m_history;
    QString m_historyPath; // the file the history was read from; empty until then
    QPointer<frmRecentlyPlayed> m_recent;
    int m_volumeBeforeFade = -1;
};
