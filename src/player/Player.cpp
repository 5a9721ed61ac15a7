#include "player/Player.h"
#include "player/StatusText.h"

#include "app/AppInfo.h"
#include "player/AudioEngine.h"
#include "player/GlPicture.h"
#include "player/Metafile.h"
#include "player/MpvLeveller.h"
#include "player/MpvLibrary.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <clocale>

Q_LOGGING_CATEGORY(lcPlayer, "halcyrix.player", QtWarningMsg)

namespace {

struct Registry
{
    QHash<QString, Player *> players;
    QList<QPair<QString, QString>> options;
    bool cleanupRegistered = false;
};

Registry &registry()
{
    static Registry r;
    return r;
}

void destroyPlayersAtExit()
{
    registry().cleanupRegistered = false;
    Player::destroyAll();
}

} // namespace

// ---- registry and options ----------------------------------------------------------------------

Player *Player::forConsole(const QString &console)
{
    Registry &r = registry();
    if (Player *p = r.players.value(console))
        return p;
    auto *p = new Player(console);
    r.players.insert(console, p);
    if (!r.cleanupRegistered) {
        qAddPostRoutine(destroyPlayersAtExit);
        r.cleanupRegistered = true;
    }
    return p;
}

void Player::destroyAll()
{
    const auto players = registry().players.values();
    registry().players.clear();
    for (Player *p : players)
        delete p;
}

void Player::setDefaultOption(const QString &name, const QString &value)
{
    auto &options = registry().options;
    for (auto &option : options) {
        if (option.first == name) {
            option.second = value;
            return;
        }
    }
    options.append({name, value});
}

void Player::clearDefaultOptions()
{
    registry().options.clear();
}

// ---- life ---------------------------------------------------------------------------------------

// libmpv is not touched here: it is loaded and started when the first entry is played, so a
// window with player elements costs neither the library nor its threads until then.
Player::Player(const QString &console) : m_console(console), m_resolver(new MetafileResolver(this))
{
    setObjectName(QStringLiteral("Player:") + console);
    m_reconnectTimer.setSingleShot(true);
    connect(&m_reconnectTimer, &QTimer::timeout, this, [this] {
        m_policy.retrying();
        loadInMpv(m_entry);
    });
    connect(m_resolver, &MetafileResolver::resolving, this, [this](const QString &address) {
        m_currentEntry = address;
        setState(State::Resolving);
    });
    connect(m_resolver, &MetafileResolver::playable, this, [this](const Entry &entry) {
        m_reconnectTimer.stop();
        m_policy.cancel();
        loadInMpv(entry);
    });
    connect(m_resolver, &MetafileResolver::failed, this, &Player::showError);
    connect(m_resolver, &MetafileResolver::exhausted, this, [this](const QString &text) {
        m_reconnectTimer.stop();
        m_policy.cancel();
        stopMpv();
        m_currentEntry.clear();
        failWith(text);
    });
    refreshStatus();
}

Player::~Player()
{
    registry().players.remove(m_console);
    m_resolver->clear();
    m_reconnectTimer.stop();
    if (m_mpv) {
        // No callback runs once these return; then libmpv stops its threads and frees itself.
        m_lib->set_wakeup_callback(m_mpv, nullptr, nullptr);
        if (m_render && (!m_gl || m_gl->makeCurrent()))
            m_lib->render_context_free(m_render);
        m_render = nullptr;
        m_lib->terminate_destroy(m_mpv);
        m_mpv = nullptr;
    }
}

bool Player::ensureMpv()
{
    if (m_mpv)
        return true;
    QString error;
    m_lib = MpvLibrary::get(&error);
    if (!m_lib) {
        failWith(error);
        return false;
    }
    // libmpv parses numbers with the C locale and refuses to start under any other.
    std::setlocale(LC_NUMERIC, "C");
    m_mpv = m_lib->create();
    if (!m_mpv) {
        failWith(tr("The player could not be started"));
        return false;
    }
    const QList<QPair<QString, QString>> base = {
        {QStringLiteral("config"), QStringLiteral("no")},
        {QStringLiteral("terminal"), QStringLiteral("no")},
        {QStringLiteral("idle"), QStringLiteral("yes")},
        {QStringLiteral("ytdl"), QStringLiteral("no")},
        {QStringLiteral("load-scripts"), QStringLiteral("no")},
        {QStringLiteral("input-default-bindings"), QStringLiteral("no")},
        {QStringLiteral("input-vo-keyboard"), QStringLiteral("no")},
        {QStringLiteral("osc"), QStringLiteral("no")},
        // mpv's own on-screen statistics, console and conditional profiles are for its window and
        // keyboard, which an embedded player has not; each would be a script with a thread.
        {QStringLiteral("load-stats-overlay"), QStringLiteral("no")},
        {QStringLiteral("load-osd-console"), QStringLiteral("no")},
        {QStringLiteral("load-auto-profiles"), QStringLiteral("no")},
        {QStringLiteral("vo"), QStringLiteral("libmpv")},
        {QStringLiteral("audio-display"), QStringLiteral("no")},
        // Without a usable sound device a stream still plays (silently) instead of ending at
        // once and being retried as if the connection had dropped.
        {QStringLiteral("audio-fallback-to-null"), QStringLiteral("yes")},
        {QStringLiteral("keep-open"), QStringLiteral("no")},
        {QStringLiteral("network-timeout"), QString::number(MetafileResolver::kNetworkTimeoutMs / 1000)},
        {QStringLiteral("demuxer-lavf-analyzeduration"), QStringLiteral("0.1")},
        // The stream's parameters (such as its sample rate) are read from its first 0.1 s: a
        // recording's file cannot be begun without them.
        {QStringLiteral("demuxer-lavf-probe-info"), QStringLiteral("auto")},
        {QStringLiteral("cache-pause"), QStringLiteral("yes")},
        // A live stream is never sought back in: keep little of what has played, or the cache
        // grows by the stream's rate for the first hour of listening. Nor may what has played
        // take the room the stream never fills ahead (a live stream's read-ahead is a second or
        // two): that room is 150 MiB, and the cache grew into it by 2.6 MiB a minute.
        {QStringLiteral("demuxer-max-back-bytes"), QStringLiteral("1MiB")},
        {QStringLiteral("demuxer-donate-buffer"), QStringLiteral("no")},
        // Half a second of sound in the sound server's buffer: the audio thread and the core
        // wake a few times a second instead of about a hundred, which halves what playing costs
        // (a volume change is heard that much later).
        {QStringLiteral("pulse-buffer"), QStringLiteral("500")},
        {QStringLiteral("audio-client-name"), App::title()},
        {QStringLiteral("user-agent"), App::title() + QLatin1Char('/') + App::version()},
        {QStringLiteral("volume"), QString::number(m_volume)},
        {QStringLiteral("mute"), m_muted ? QStringLiteral("yes") : QStringLiteral("no")},
    };
    QString vo = QStringLiteral("libmpv");
    auto apply = [this, &vo](const QString &name, const QString &value) {
        if (name == QLatin1String("vo"))
            vo = value;
        const int rc = m_lib->set_option_string(m_mpv, name.toUtf8().constData(), value.toUtf8().constData());
        if (rc < 0)
            qWarning("player option %s=%s: %s", qPrintable(name), qPrintable(value), m_lib->error_string(rc));
    };
    for (const auto &option : base)
        apply(option.first, option.second);
    for (const auto &option : std::as_const(registry().options))
        apply(option.first, option.second);

    if (m_lib->initialize(m_mpv) < 0) {
        m_lib->terminate_destroy(m_mpv);
        m_mpv = nullptr;
        failWith(tr("The player could not be started"));
        return false;
    }
    m_lib->request_log_messages(m_mpv, "warn");
    const auto observe = [this](MpvEvents::Property property, const char *name, mpv_format format) {
        m_lib->observe_property(m_mpv, quint64(property), name, format);
    };
    observe(MpvEvents::Property::Metadata, "metadata", MPV_FORMAT_NODE);
    observe(MpvEvents::Property::PausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
    observe(MpvEvents::Property::BufferingState, "cache-buffering-state", MPV_FORMAT_INT64);
    observe(MpvEvents::Property::Volume, "volume", MPV_FORMAT_DOUBLE);
    observe(MpvEvents::Property::Mute, "mute", MPV_FORMAT_FLAG);
    observe(MpvEvents::Property::VoConfigured, "vo-configured", MPV_FORMAT_FLAG);

    if (vo == QLatin1String("libmpv"))
        createSoftwareRenderer();

    // libmpv calls this from its own threads; the events are read on this object's thread.
    m_lib->set_wakeup_callback(
        m_mpv,
        [](void *ctx) {
            auto *self = static_cast<Player *>(ctx);
            if (!self->m_drainQueued.exchange(true))
                QMetaObject::invokeMethod(
                    self, [self] { self->drainEvents(); }, Qt::QueuedConnection);
        },
        this);
    return true;
}

// ---- the three calls ----------------------------------------------------------------------------

void Player::setSource(const QString &source)
{
    m_source = source.trimmed();
    emit sourceChanged(m_source);
    // The old stream goes, whether or not the new one starts now.
    m_resolver->clear();
    m_reconnectTimer.stop();
    m_policy.cancel();
    if (m_autoStart && !m_source.isEmpty()) {
        startSource();
        return;
    }
    stopMpv();
    m_currentEntry.clear();
    clearIcy();
    m_elapsedValid = false;
    setState(m_source.isEmpty() ? State::Idle : State::Stopped);
}

void Player::setAutoStart(bool on)
{
    m_autoStart = on;
}

void Player::play()
{
    emit playRequested();
    if (m_source.isEmpty())
        return;
    switch (m_state) {
    case State::Resolving:
    case State::Connecting:
    case State::Buffering:
    case State::Playing:
    case State::Reconnecting:
        return; // this source is already on its way
    default:
        startSource();
    }
}

void Player::stop()
{
    m_resolver->clear();
    m_reconnectTimer.stop();
    m_policy.cancel();
    stopMpv();
    m_elapsedValid = false;
    setState(State::Stopped);
}

void Player::startSource()
{
    m_reconnectTimer.stop();
    m_policy.newSource();
    m_elapsedValid = false;
    clearIcy();
    m_resolver->start(m_source);
}

void Player::entryFailed(const QString &text)
{
    m_reconnectTimer.stop();
    m_policy.cancel();
    m_resolver->entryFailed(text);
}

void Player::showError(const QString &text)
{
    // Shown while the next entry is looked at; the last one stays when none is left.
    m_statusText = text;
    emit statusChanged(text);
}

void Player::clearIcy()
{
    m_icyEarlier.clear();
    if (m_icyName.isEmpty() && m_icyTitle.isEmpty())
        return;
    m_icyName.clear();
    m_icyTitle.clear();
    emit icyChanged(m_icyName, m_icyTitle);
}

void Player::failWith(const QString &text)
{
    m_failText = text;
    m_state = State::Failed; // set directly so the text below is the one shown
    emit stateChanged(m_state);
    refreshStatus();
}

// ---- libmpv -------------------------------------------------------------------------------------

quint64 Player::request(Request::Kind kind)
{
    if (++m_lastRequest == 0)
        ++m_lastRequest; // 0 is the reply id of requests whose answer does not matter
    m_requests.insert(m_lastRequest, Request{kind, m_loadSerial});
    return m_lastRequest;
}

bool Player::useAudioEngine(const Entry &entry)
{
    // HALCYRIX_AUDIO=libmpv plays everything in libmpv, as when the audio engine is missing.
    static const bool mpvAsked = qEnvironmentVariable("HALCYRIX_AUDIO") == QLatin1String("libmpv");
    if (mpvAsked)
        return false;
    if (m_recordingWanted || !registry().options.isEmpty() || m_mpvOnly.contains(entry.address) ||
        !AudioEngine::mayPlay(entry.address) || !AudioEngine::available())
        return false;
    if (!m_audio) {
        m_audio = new AudioEngine(this);
        m_audio->setVolume(m_volume);
        m_audio->setMuted(m_muted);
        m_audio->setReport([this](const MpvEvents::Event &event) { takeEngineEvent(event); });
        m_audio->setRefusal([this](const QString &) {
            // libmpv tries the entry anew, as a reconnect when this one was.
            m_mpvOnly.insert(m_entry.address);
            loadInMpv(m_entry);
        });
    }
    return true;
}

void Player::takeEngineEvent(const MpvEvents::Event &event)
{
    if (!m_onAudio)
        return;
    std::visit([this](const auto &e) { handle(e); }, event);
    endPending();
}

void Player::loadInMpv(const Entry &entry)
{
    const bool audio = useAudioEngine(entry);
    if (!audio && !ensureMpv())
        return;
    // The other engine lets go of what it played.
    if (audio && m_mpv) {
        const char *cmd[] = {"stop", nullptr};
        m_lib->command_async(m_mpv, 0, cmd);
    } else if (!audio && m_audio) {
        m_audio->stop();
    }
    m_onAudio = audio;
    m_entry = entry;
    m_currentEntry = entry.address;
    m_policy.loading();
    m_lastLogError.clear();
    m_attemptLog.clear();
    m_pausedForCache = false;
    m_bufferPercent = 0;
    m_icyFromEntry = false;
    m_burstReplay = false;
    m_awaitingLoad = true;
    m_redirectFrom = -1;
    m_pendingEnd.reset();
    ++m_loadSerial;
    prepareLevelling(audio);
    if (audio) {
        // The engine's reports are about this entry only: its entry is number 0.
        m_awaitingLoad = false;
        m_minEntryId = 0;
        setState(m_policy.reconnecting() ? State::Reconnecting : State::Connecting);
        if (!m_audio->play(entry.address, App::title() + QLatin1Char('/') + App::version(),
                           MetafileResolver::kNetworkTimeoutMs / 1000)) {
            m_mpvOnly.insert(entry.address);
            loadInMpv(entry);
        }
        return;
    }
    const QByteArray address =
        (Metafile::isLocal(entry.address) ? Metafile::localPath(entry.address) : entry.address).toUtf8();
    const char *cmd[] = {"loadfile", address.constData(), "replace", nullptr};
    const int rc = m_lib->command_async(m_mpv, request(Request::Load), cmd);
    setState(m_policy.reconnecting() ? State::Reconnecting : State::Connecting);
    if (rc < 0) {
        m_awaitingLoad = false;
        entryFailed(StatusText::cannotConnect(entry.address));
    }
}

void Player::stopMpv()
{
    if (m_audio)
        m_audio->stop();
    m_onAudio = false;
    if (m_mpv) {
        const char *cmd[] = {"stop", nullptr};
        m_lib->command_async(m_mpv, 0, cmd);
    }
    // Whatever libmpv still reports about the entry stopped is no longer of interest.
    m_awaitingLoad = false;
    m_pendingEnd.reset();
    m_minEntryId = kNoEntry;
}

// ---- state and texts ----------------------------------------------------------------------------

void Player::setState(State state)
{
    const bool changed = state != m_state;
    m_state = state;
    if (changed)
        emit stateChanged(state);
    refreshStatus();
}

void Player::refreshStatus()
{
    QString text;
    switch (m_state) {
    case State::Idle:
        text = tr("Ready");
        break;
    case State::Resolving:
    case State::Connecting:
        text = StatusText::connecting(m_currentEntry);
        break;
    case State::Buffering:
        text = StatusText::buffering(m_pausedForCache || !m_policy.isStarted() ? m_bufferPercent : 100);
        break;
    case State::Playing:
        text = StatusText::playing(m_icyName, m_icyTitle);
        break;
    case State::Reconnecting:
        text = StatusText::reconnecting();
        break;
    case State::Stopped:
        text = StatusText::stopped();
        break;
    case State::Failed:
        text = m_failText;
        break;
    }
    if (text == m_statusText)
        return;
    m_statusText = text;
    emit statusChanged(text);
}

qint64 Player::elapsedSeconds() const
{
    if (!m_elapsedValid || (m_state != State::Playing && m_state != State::Buffering && m_state != State::Reconnecting))
        return 0;
    return m_elapsed.elapsed() / 1000;
}

void Player::setVolume(int volume)
{
    volume = qBound(0, volume, 100);
    if (volume == m_volume)
        return;
    m_volume = volume;
    if (m_audio)
        m_audio->setVolume(volume);
    if (m_mpv) {
        double v = volume;
        setInMpv("volume", MPV_FORMAT_DOUBLE, &v);
    }
    emit volumeChanged(volume);
}

void Player::setMuted(bool muted)
{
    if (muted == m_muted)
        return;
    m_muted = muted;
    if (m_audio)
        m_audio->setMuted(muted);
    if (m_mpv) {
        int flag = muted ? 1 : 0;
        setInMpv("mute", MPV_FORMAT_FLAG, &flag);
    }
    emit mutedChanged(muted);
}

void Player::setInMpv(const char *name, int format, void *value)
{
    // Answered by a reply of its own: what libmpv reports of the property meanwhile may be older.
    const quint64 id = request(Request::Setting);
    if (m_lib->set_property_async(m_mpv, id, name, mpv_format(format), value) >= 0)
        ++m_settingsInFlight;
    else
        m_requests.remove(id);
}

QString Player::mpvProperty(const QString &name) const
{
    if (!m_mpv)
        return QString();
    char *value = m_lib->get_property_string(m_mpv, name.toUtf8().constData());
    if (!value)
        return QString();
    const QString text = QString::fromUtf8(value);
    m_lib->free(value);
    return text;
}

bool Player::setRecordingWanted(bool wanted, const QString &firstFile)
{
    m_recordingWanted = wanted;
    if (!wanted || !m_onAudio || (m_state != State::Playing && m_state != State::Buffering))
        return false;
    if (m_audio->canRecord()) {
        m_recordingWanted = false; // the engine records it where it plays
        return false;
    }
    if (!ensureMpv())
        return false;
    // Set before the stream opens, the file begins with the first packet libmpv reads.
    setRecordFile(firstFile);
    loadInMpv(m_entry);
    m_burstReplay = true;
    return true;
}

QString Player::audioCodec() const
{
    if (m_onAudio)
        return m_audio->codec();
    return mpvProperty(QStringLiteral("audio-codec-name"));
}

bool Player::setRecordFile(const QString &path)
{
    // The engine records what plays in it, unless the stream moved to libmpv to be recorded; an
    // empty path ends the file of either.
    if (m_audio && path.isEmpty())
        m_audio->setRecordFile(path);
    else if (m_audio && m_onAudio && !m_recordingWanted)
        return m_audio->setRecordFile(path);
    if (!m_mpv)
        return path.isEmpty();
    // libmpv writes what it reads, and reads a live stream as far ahead as it has come (the
    // server's burst on connecting: seconds), while a title changes when it is decoded. While
    // recording it reads at most a second ahead, so a file changes within a second of its
    // title; the rest waits in the connection.
    if (m_cacheSecs.isEmpty())
        m_cacheSecs = mpvProperty(QStringLiteral("cache-secs")).toUtf8();
    const QByteArray ahead = path.isEmpty() ? m_cacheSecs : QByteArray("1");
    const char *secs = ahead.constData();
    if (!ahead.isEmpty())
        m_lib->set_property_async(m_mpv, 0, "cache-secs", MPV_FORMAT_STRING, &secs);
    const QByteArray file = path.toUtf8();
    const char *value = file.constData();
    return m_lib->set_property_async(m_mpv, 0, "stream-record", MPV_FORMAT_STRING, &value) >= 0;
}
