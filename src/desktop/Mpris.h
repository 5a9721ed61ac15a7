#pragma once

#include "listening/NowPlaying.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class frmMain;
class Player;

// What the desktop's media keys, sound menu, lock screen and tools such as playerctl see of the
// tuner: an MPRIS 2 player on the session bus. It holds no playback logic of its own. Commands
// go through the main window's own controls (the band's stepper, tuning, the volume slider, the
// mute button) and every property follows the window and the player through their signals.
//
// Without a session bus the service stays unregistered and the program runs as ever.
class MprisService : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *ObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char *BaseName = "org.mpris.MediaPlayer2.halcyrix";

    explicit MprisService(frmMain &window, const QDBusConnection &bus = QDBusConnection::sessionBus(),
                          QObject *parent = nullptr);
    ~MprisService() override;

    // The bus name taken: BaseName, or BaseName + ".instance<PID>" when another copy has it;
    // empty when no session bus could be reached.
    QString serviceName() const { return m_serviceName; }
    bool isRegistered() const { return !m_serviceName.isEmpty(); }

    // org.mpris.MediaPlayer2
    void raise();
    void quit();

    // org.mpris.MediaPlayer2.Player
    QString playbackStatus() const;
    QVariantMap metadata() const;
    double volume() const;
    void setVolume(double value);
    void play();
    void pause();
    void playPause();
    void stop();
    void next();
    void previous();

    // The logo of a station as a picture file: its mpris:artUrl while that station plays (an
    // empty file: the program's icon again).
    void setArt(const QString &stationName, const QString &file);

    // The track id of a station: one object path per station name.
    static QDBusObjectPath trackId(const QString &stationName);

private:
    void sourceChanged(const QString &source);
    void refresh();
    void announce(const QString &interface, const QVariantMap &changed);
    // Runs a command of the window; a failure is reported as every action's failure is.
    template <typename F> void guarded(F &&action);
    // True while a modal window is open over the main window: the list then belongs to it.
    bool windowBusy() const;

    frmMain &m_window;
    QDBusConnection m_bus;
    QPointer<Player> m_player;
    QString m_serviceName;
    NowPlaying::Station m_station;
    bool m_paused = false; // stopped by Pause rather than Stop
    // The values last announced, so that only changes are signalled.
    QString m_lastStatus;
    QVariantMap m_lastMetadata;
    double m_lastVolume = -1;
    QString m_artStation;
    QString m_artFile;
};

// org.mpris.MediaPlayer2 on the service's object.
class MprisRootAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    explicit MprisRootAdaptor(MprisService *service);

    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const;
    QString desktopEntry() const { return QStringLiteral("halcyrix"); }
    QStringList supportedUriSchemes() const { return {}; }
    QStringList supportedMimeTypes() const { return {}; }

public slots:
    void Raise() { m_service->raise(); }
    void Quit() { m_service->quit(); }

private:
    MprisService *m_service;
};

// org.mpris.MediaPlayer2.Player on the service's object.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(bool CanGoNext READ yes)
    Q_PROPERTY(bool CanGoPrevious READ yes)
    Q_PROPERTY(bool CanPlay READ yes)
    Q_PROPERTY(bool CanPause READ yes)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)
public:
    explicit MprisPlayerAdaptor(MprisService *service);

    QString playbackStatus() const { return m_service->playbackStatus(); }
    double rate() const { return 1.0; }
    void setRate(double) {} // live radio plays at one speed
    QVariantMap metadata() const { return m_service->metadata(); }
    double volume() const { return m_service->volume(); }
    void setVolume(double value) { m_service->setVolume(value); }
    qlonglong position() const { return 0; }
    bool yes() const { return true; }
    bool no() const { return false; }

public slots:
    void Next() { m_service->next(); }
    void Previous() { m_service->previous(); }
    void Pause() { m_service->pause(); }
    void PlayPause() { m_service->playPause(); }
    void Stop() { m_service->stop(); }
    void Play() { m_service->play(); }
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath &, qlonglong) {}
    void OpenUri(const QString &) {}

signals:
    void Seeked(qlonglong position);

private:
    MprisService *m_service;
};
