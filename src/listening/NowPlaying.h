#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class frmMain;
class Player;

// What the main window's player is playing: the station, found again by the address the player
// was given, and the title the stream announced. The windows and desktop services that show it
// each follow one of these.
class NowPlaying : public QObject
{
    Q_OBJECT
public:
    struct Station
    {
        QString name;
        QString address; // as stored in the station's row, else the player's source
    };

    // A station is tuned from the list (its row is the list's current one) or from a preset
    // button (the preset's row is current): whichever row holds the address names it. A source
    // no row holds is named by its host.
    static Station stationFor(const frmMain &window, const QString &source);

    explicit NowPlaying(frmMain &window, QObject *parent = nullptr);

    Player *player() const;
    Station station() const { return m_station; }
    QString title() const { return m_title; }

signals:
    // The station or the title changed.
    void changed();
    // The stream announced a title it had not announced just before.
    void newTitle(const QString &station, const QString &title);

private:
    frmMain &m_window;
    QPointer<Player> m_player;
    Station m_station;
    QString m_title;
};
