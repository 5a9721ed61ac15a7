#include "desktop/Mpris.h"

#include "app/AppInfo.h"
#include "app/Application.h"
#include "app/Module1.h"
#include "data/DataControl.h"
#include "data/Recordset.h"
#include "listening/NowPlaying.h"
#include "player/Player.h"
#include "player/RealAudio.h"
#include "player/StatusText.h"
#include "tuner/StationRecord.h"
#include "tuner/UpDown.h"
#include "tuner/frmMain.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

namespace {

const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

} // namespace

MprisService::MprisService(frmMain &window, const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_window(window), m_bus(bus), m_player(window.RealAudio1[frmMain::Picture]->player())
{
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);

    if (m_player) {
        connect(m_player, &Player::sourceChanged, this, &MprisService::sourceChanged);
        connect(m_player, &Player::stateChanged, this, [this](Player::State state) {
            if (state != Player::State::Stopped)
                m_paused = false;
            refresh();
        });
        connect(m_player, &Player::icyChanged, this, &MprisService::refresh);
        connect(m_player, &Player::volumeChanged, this, &MprisService::refresh);
        connect(m_player, &Player::mutedChanged, this, &MprisService::refresh);
        sourceChanged(m_player->source());
    }
    m_lastStatus = playbackStatus();
    m_lastMetadata = metadata();
    m_lastVolume = volume();

    if (!m_bus.isConnected())
        return;
    if (!m_bus.registerObject(QLatin1String(ObjectPath), this, QDBusConnection::ExportAdaptors))
        return;
    // The first copy takes the plain name; another running copy adds its process id, as the
    // desktop's media controls expect of a second instance.
    QDBusConnectionInterface *names = m_bus.interface();
    const QString base = QLatin1String(BaseName);
    for (const QString &name : {base, base + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid())}) {
        const auto reply = names->registerService(name, QDBusConnectionInterface::DontQueueService,
                                                  QDBusConnectionInterface::DontAllowReplacement);
        if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            m_serviceName = name;
            break;
        }
    }
    if (m_serviceName.isEmpty())
        m_bus.unregisterObject(QLatin1String(ObjectPath));
}

MprisService::~MprisService()
{
    if (!isRegistered())
        return;
    m_bus.unregisterService(m_serviceName);
    m_bus.unregisterObject(QLatin1String(ObjectPath));
}

QDBusObjectPath MprisService::trackId(const QString &stationName)
{
    // Object path elements take only letters, digits and underscores: the name goes as hex.
    return QDBusObjectPath(QStringLiteral("/org/halcyrix/Halcyrix/station/s") +
                           QString::fromLatin1(stationName.toUtf8().toHex()));
}

// ---- following the window and the player -------------------------------------------------------

void MprisService::sourceChanged(const QString &source)
{
    m_station = NowPlaying::stationFor(m_window, source);
    refresh();
}

void MprisService::setArt(const QString &stationName, const QString &file)
{
    m_artStation = stationName;
    m_artFile = file;
    refresh();
}

void MprisService::refresh()
{
    QVariantMap changed;
    if (const QString status = playbackStatus(); status != m_lastStatus) {
        m_lastStatus = status;
        changed.insert(QStringLiteral("PlaybackStatus"), status);
    }
    if (const QVariantMap data = metadata(); data != m_lastMetadata) {
        m_lastMetadata = data;
        changed.insert(QStringLiteral("Metadata"), data);
    }
    if (const double v = volume(); v != m_lastVolume) {
        m_lastVolume = v;
        changed.insert(QStringLiteral("Volume"), v);
    }
    if (!changed.isEmpty())
        announce(kPlayerInterface, changed);
}

void MprisService::announce(const QString &interface, const QVariantMap &changed)
{
    if (!isRegistered())
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(QLatin1String(ObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    m_bus.send(signal);
}

// ---- properties ---------------------------------------------------------------------------------

QString MprisService::playbackStatus() const
{
    if (!m_player)
        return QStringLiteral("Stopped");
    switch (m_player->state()) {
    case Player::State::Resolving:
    case Player::State::Connecting:
    case Player::State::Buffering:
    case Player::State::Playing:
    case Player::State::Reconnecting:
        return QStringLiteral("Playing");
    case Player::State::Stopped:
        return m_paused ? QStringLiteral("Paused") : QStringLiteral("Stopped");
    case Player::State::Idle:
    case Player::State::Failed:
        break;
    }
    return QStringLiteral("Stopped");
}

QVariantMap MprisService::metadata() const
{
    QVariantMap data;
    if (m_station.address.isEmpty()) {
        data.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(kNoTrack)));
        return data;
    }
    const QString title = m_player ? m_player->icyTitle() : QString();
    data.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId(m_station.name)));
    data.insert(QStringLiteral("xesam:title"), title.isEmpty() ? m_station.name : title);
    data.insert(QStringLiteral("xesam:artist"), QStringList{m_station.name});
    data.insert(QStringLiteral("xesam:url"), m_station.address);
    QString icon = App::filePath(QStringLiteral("halcyrix.png"));
    if (!m_artFile.isEmpty() && m_artStation == m_station.name && QFileInfo::exists(m_artFile))
        icon = m_artFile;
    if (QFileInfo::exists(icon))
        data.insert(QStringLiteral("mpris:artUrl"), QUrl::fromLocalFile(QFileInfo(icon).absoluteFilePath()).toString());
    return data;
}

double MprisService::volume() const
{
    if (!m_player || m_player->muted())
        return 0.0;
    return m_player->volume() / 100.0;
}

// ---- commands -----------------------------------------------------------------------------------

template <typename F> void MprisService::guarded(F &&action)
{
    try {
        action();
    } catch (const std::exception &error) {
        Application::reportError(error);
    }
}

bool MprisService::windowBusy() const
{
    const QWidget *modal = QApplication::activeModalWidget();
    return modal && modal != &m_window;
}

void MprisService::setVolume(double value)
{
    // Through the volume element's own controls, so the window shows what the desktop set:
    // no volume is the mute button, any other the slider (and the sound back on).
    QSlider *slider = m_window.RealAudio1[frmMain::Volume]->findChild<QSlider *>(QStringLiteral("sldVolume"));
    QToolButton *mute = m_window.RealAudio1[frmMain::Volume]->findChild<QToolButton *>(QStringLiteral("cmdMute"));
    if (!slider || !mute || qIsNaN(value))
        return;
    value = qBound(0.0, value, 1.0);
    guarded([&] {
        if (value <= 0.0) {
            mute->setChecked(true);
            return;
        }
        slider->setValue(qRound(value * 100));
        mute->setChecked(false);
    });
    refresh();
}

void MprisService::raise()
{
    if (m_window.isMinimized())
        m_window.showNormal();
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal != &m_window) {
        modal->raise();
        modal->activateWindow();
    }
}

void MprisService::quit()
{
    // As the close box: open dialogs are cancelled first, then the window closes and saves.
    // Queued, so the caller has its answer before the program goes.
    QTimer::singleShot(0, &m_window, [window = &m_window] {
        for (int guard = 0; guard < 16; ++guard) {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || modal == window)
                break;
            modal->close();
        }
        window->close();
    });
}

void MprisService::play()
{
    if (!m_player)
        return;
    guarded([&] {
        if (m_player->source().isEmpty()) {
            // Nothing tuned yet: tune the station the list stands on.
            if (!windowBusy())
                m_window.vbTuneIn();
        } else {
            m_window.RealAudio1[frmMain::Picture]->DoPlay();
        }
    });
}

void MprisService::pause()
{
    // A live stream cannot hold its place: pausing stops it, and Play starts it again.
    if (!m_player || playbackStatus() != QLatin1String("Playing"))
        return;
    m_paused = true;
    guarded([&] { m_player->stop(); });
    refresh();
}

void MprisService::playPause()
{
    if (playbackStatus() == QLatin1String("Playing"))
        pause();
    else
        play();
}

void MprisService::stop()
{
    if (!m_player)
        return;
    m_paused = false;
    guarded([&] { m_player->stop(); });
    refresh();
}

void MprisService::next()
{
    // The band's own stepper: forward is the station stepper's right arrow in the radio band,
    // the channel stepper's down arrow in the television band.
    if (windowBusy())
        return;
    guarded([&] { (Module1::RadioMode ? m_window.UpDown2->upButton() : m_window.UpDown1->downButton())->click(); });
}

void MprisService::previous()
{
    if (windowBusy())
        return;
    guarded([&] { (Module1::RadioMode ? m_window.UpDown2->downButton() : m_window.UpDown1->upButton())->click(); });
}

// ---- adaptors -----------------------------------------------------------------------------------

MprisRootAdaptor::MprisRootAdaptor(MprisService *service) : QDBusAbstractAdaptor(service), m_service(service) {}

QString MprisRootAdaptor::identity() const
{
    return App::title();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService *service) : QDBusAbstractAdaptor(service), m_service(service) {}
