#pragma once

#include "player/Loudness.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class Player;
class QLabel;
class frmMain;

// The main window's levelling: the Play menu's "Level Loudness" item (kept in the preferences),
// the gains learned for each station (kept beside the station, given to the player when the
// station is tuned again), and the station's measured loudness and gain in the status bar.
class Levelling : public QObject
{
    Q_OBJECT
public:
    explicit Levelling(frmMain &window);
    ~Levelling() override; // what the station playing has taught is kept

    // The preference: on unless turned off.
    static bool wanted();
    void setOn(bool on);

    QLabel *lblLoudness; // "−9.8 LUFS, −8.2 dB" while a station plays levelled

private:
    void sourceChanged();
    void showReading();
    void keep();

    frmMain &m_window;
    QPointer<Player> m_player; // outlives the window's elements
    QTimer m_reading;          // while playing
    QString m_station;         // the station heard, by name
    Loudness::Reading m_learned;
    bool m_heard = false; // the station has played since it was tuned
};
