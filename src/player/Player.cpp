#include "player/Player.h"

#include "app/AppInfo.h"
#include "player/Metafile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QUrl>

#include <mpv/client.h>
#include <mpv/render.h>

#include <clocale>
#include <cmath>
#include <limits>

Q_LOGGING_CATEGORY(lcPlayer, "halcyrix.player", QtWarningMsg)

namespace {

constexpr int kNetworkTimeoutMs = 10000;
constexpr qint64 kMaxMetafileBytes = 512 * 1024;   // a longer "metafile" is a stream
constexpr int kMaxMetafileDepth = 4;                // metafiles naming metafiles
constexpr int kMaxReconnects = 5;                   // 1, 2, 4, 8, 16 s apart
constexpr qint64 kStableStreamMs = 30000;           // a drop after this long starts the count anew

// Reply numbers of the asynchronous requests other than loads (loads count up from 1).
constexpr quint64 kPlaylistReply = std::numeric_limits<quint64>::max();
// Answers about the entry of one load: this bit, the load's number shifted by one, and 0 for the
// length or 1 for the size.
constexpr quint64 kPropertyReply = quint64(1) << 62;

enum ObservedProperty : quint64 {
    PropMetadata = 1,
    PropPausedForCache,
    PropBufferingState,
    PropVolume,
    PropMute,
    PropVoConfigured,
};

struct Registry {
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

QString hostOf(const QString &address)
{
    if (Metafile::isLocal(address))
        return QFileInfo(Metafile::localPath(address)).fileName();
    const QUrl url(address);
    return url.host().isEmpty() ? address : url.host();
}

QString nodeString(const mpv_node &node)
{
    switch (node.format) {
    case MPV_FORMAT_STRING: return QString::fromUtf8(node.u.string);
    case MPV_FORMAT_FLAG: return node.u.flag ? QStringLiteral("yes") : QStringLiteral("no");
    case MPV_FORMAT_INT64: return QString::number(node.u.int64);
    case MPV_FORMAT_DOUBLE: return QString::number(node.u.double_);
    default: return QString();
    }
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

Player::Player(const QString &console) : m_console(console)
{
    setObjectName(QStringLiteral("Player:") + console);
    m_net = new QNetworkAccessManager(this);
    m_reconnectTimer.setSingleShot(true);
    connect(&m_reconnectTimer, &QTimer::timeout, this, [this] {
        m_reconnecting = true;
        loadInMpv(m_entry);
    });
    ensureMpv();
    refreshStatus();
}

Player::~Player()
{
    registry().players.remove(m_console);
    abortFetch();
    m_reconnectTimer.stop();
    if (m_mpv) {
        // No callback runs once these return; then libmpv stops its threads and frees itself.
        mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
        if (m_render)
            mpv_render_context_free(m_render);
        m_render = nullptr;
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
    }
}

void Player::ensureMpv()
{
    if (m_mpv)
        return;
    // libmpv parses numbers with the C locale and refuses to start under any other.
    std::setlocale(LC_NUMERIC, "C");
    m_mpv = mpv_create();
    if (!m_mpv) {
        failWith(tr("The player could not be started"));
        return;
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
        {QStringLiteral("vo"), QStringLiteral("libmpv")},
        {QStringLiteral("audio-display"), QStringLiteral("no")},
        // Without a usable sound device a stream still plays (silently) instead of ending at
        // once and being retried as if the connection had dropped.
        {QStringLiteral("audio-fallback-to-null"), QStringLiteral("yes")},
        {QStringLiteral("keep-open"), QStringLiteral("no")},
        {QStringLiteral("network-timeout"), QString::number(kNetworkTimeoutMs / 1000)},
        {QStringLiteral("demuxer-lavf-analyzeduration"), QStringLiteral("0.1")},
        {QStringLiteral("demuxer-lavf-probe-info"), QStringLiteral("nostreams")},
        {QStringLiteral("cache-pause"), QStringLiteral("yes")},
        {QStringLiteral("audio-client-name"), App::title()},
        {QStringLiteral("user-agent"), App::title() + QLatin1Char('/') + App::version()},
        {QStringLiteral("volume"), QString::number(m_volume)},
        {QStringLiteral("mute"), m_muted ? QStringLiteral("yes") : QStringLiteral("no")},
    };
    QString vo = QStringLiteral("libmpv");
    auto apply = [this, &vo](const QString &name, const QString &value) {
        if (name == QLatin1String("vo"))
            vo = value;
        const int rc = mpv_set_option_string(m_mpv, name.toUtf8().constData(), value.toUtf8().constData());
        if (rc < 0)
            qWarning("player option %s=%s: %s", qPrintable(name), qPrintable(value), mpv_error_string(rc));
    };
    for (const auto &option : base)
        apply(option.first, option.second);
    for (const auto &option : std::as_const(registry().options))
        apply(option.first, option.second);

    if (mpv_initialize(m_mpv) < 0) {
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
        failWith(tr("The player could not be started"));
        return;
    }
    mpv_request_log_messages(m_mpv, "warn");
    mpv_observe_property(m_mpv, PropMetadata, "metadata", MPV_FORMAT_NODE);
    mpv_observe_property(m_mpv, PropPausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, PropBufferingState, "cache-buffering-state", MPV_FORMAT_INT64);
    mpv_observe_property(m_mpv, PropVolume, "volume", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, PropMute, "mute", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, PropVoConfigured, "vo-configured", MPV_FORMAT_FLAG);

    if (vo == QLatin1String("libmpv")) {
        // Pictures are drawn by the picture element itself, in software, on any Qt platform.
        char apiType[] = MPV_RENDER_API_TYPE_SW;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        if (mpv_render_context_create(&m_render, m_mpv, params) < 0) {
            m_render = nullptr;
            qWarning("player: the picture cannot be drawn");
        } else {
            mpv_render_context_set_update_callback(m_render, [](void *ctx) {
                auto *self = static_cast<Player *>(ctx);
                QMetaObject::invokeMethod(self, [self] { emit self->frameReady(); }, Qt::QueuedConnection);
            }, this);
        }
    }

    // libmpv calls this from its own threads; the events are read on this object's thread.
    mpv_set_wakeup_callback(m_mpv, [](void *ctx) {
        auto *self = static_cast<Player *>(ctx);
        if (!self->m_drainQueued.exchange(true))
            QMetaObject::invokeMethod(self, [self] { self->drainEvents(); }, Qt::QueuedConnection);
    }, this);
}

// ---- the three calls ----------------------------------------------------------------------------

void Player::setSource(const QString &source)
{
    m_source = source.trimmed();
    emit sourceChanged(m_source);
    // The old stream goes, whether or not the new one starts now.
    abortFetch();
    m_reconnectTimer.stop();
    m_queue.clear();
    m_reconnecting = false;
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
        return;   // this source is already on its way
    default:
        startSource();
    }
}

void Player::stop()
{
    abortFetch();
    m_reconnectTimer.stop();
    m_queue.clear();
    m_reconnecting = false;
    stopMpv();
    m_elapsedValid = false;
    setState(State::Stopped);
}

void Player::startSource()
{
    m_queue = {Entry{m_source}};
    m_errors.clear();
    m_reconnectTries = 0;
    m_reconnecting = false;
    m_elapsedValid = false;
    clearIcy();
    tryNext();
}

// ---- resolving ----------------------------------------------------------------------------------

void Player::tryNext()
{
    abortFetch();
    m_reconnectTimer.stop();
    m_reconnecting = false;
    while (!m_queue.isEmpty()) {
        const Entry entry = m_queue.takeFirst();
        m_entry = entry;
        if (!Metafile::isPlayableAddress(entry.address, entry.remote)) {
            m_errors << textUnsupported(entry.address);
            showError(m_errors.last());
            continue;
        }
        const Metafile::Kind kind = Metafile::kindFromName(entry.address);
        if (!Metafile::isLocal(entry.address)) {
            if (kind != Metafile::Kind::None) {
                fetchMetafile(entry);
                return;
            }
            loadInMpv(entry);
            return;
        }
        // A local file: read its head here (small and quick) to know what it is.
        QFile file(Metafile::localPath(entry.address));
        if (!file.open(QIODevice::ReadOnly)) {
            m_errors << (file.exists() ? textCannotConnect(entry.address) : textNotFound(entry.address));
            showError(m_errors.last());
            continue;
        }
        const QByteArray head = file.read(kMaxMetafileBytes);
        const Metafile::Kind byContent = Metafile::kindFromContent(head);
        const bool small = file.size() <= kMaxMetafileBytes;
        if (byContent == Metafile::Kind::Hls || Metafile::looksLikeMedia(head) || !small
            || (byContent == Metafile::Kind::None && kind == Metafile::Kind::None)) {
            loadInMpv(entry);
            return;
        }
        metafileRead(head, QString(), entry.address, entry);
        return;
    }
    // Nothing left: the last error stays on the status line.
    stopMpv();
    m_currentEntry.clear();
    failWith(m_errors.isEmpty() ? textNoEntries(m_source) : m_errors.last());
}

void Player::fetchMetafile(const Entry &entry)
{
    m_currentEntry = entry.address;
    setState(State::Resolving);
    QNetworkRequest request{QUrl(entry.address)};
    request.setTransferTimeout(kNetworkTimeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, App::title() + QLatin1Char('/') + App::version());
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = m_net->get(request);
    m_fetch = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply, entry] { fetchProgress(reply, entry); });
    connect(reply, &QNetworkReply::finished, this, [this, reply, entry] { fetchFinished(reply, entry); });
}

void Player::fetchProgress(QNetworkReply *reply, const Entry &entry)
{
    // A stream behind a metafile-like address, or an endless answer: look at its head only.
    const QByteArray head = reply->peek(4096);
    const bool media = Metafile::looksLikeMedia(head);
    if (!media && reply->bytesAvailable() <= kMaxMetafileBytes)
        return;
    const QByteArray data = reply->readAll();
    const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    const QString base = reply->url().toString();
    abortFetch();
    if (media) {
        if (entry.sniffed)
            entryFailed(textNotAStream(entry.address));
        else
            loadInMpv(entry);
        return;
    }
    metafileRead(data, type, base, entry);
}

void Player::fetchFinished(QNetworkReply *reply, const Entry &entry)
{
    if (reply != m_fetch)
        return;
    m_fetch = nullptr;
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) {
        entryFailed(textHttpError(entry.address, status));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        entryFailed(textCannotConnect(entry.address));
        return;
    }
    metafileRead(reply->readAll(), reply->header(QNetworkRequest::ContentTypeHeader).toString(),
                 reply->url().toString(), entry);
}

void Player::metafileRead(const QByteArray &data, const QString &contentType, const QString &base,
                          const Entry &entry)
{
    const Metafile::Kind byContent = Metafile::kindFromContent(data, contentType);
    if (byContent == Metafile::Kind::Hls) {
        loadInMpv(entry);   // the player reads HLS itself
        return;
    }
    if (Metafile::looksLikeMedia(data)) {
        if (entry.sniffed)
            entryFailed(textNotAStream(entry.address));
        else
            loadInMpv(entry);
        return;
    }
    Metafile::Kind kind = byContent;
    if (kind == Metafile::Kind::None)
        kind = Metafile::kindFromName(entry.address);
    if (kind == Metafile::Kind::None) {
        entryFailed(textNotAStream(entry.address));
        return;
    }
    const QStringList entries = Metafile::parse(kind, data, base);
    if (entries.isEmpty()) {
        entryFailed(textNoEntries(entry.address));
        return;
    }
    if (entry.depth >= kMaxMetafileDepth) {
        entryFailed(textNotAStream(entry.address));
        return;
    }
    queueEntries(entries, Entry{base, entry.depth, !Metafile::isLocal(base) || entry.remote, true});
    tryNext();
}

void Player::queueEntries(const QStringList &entries, const Entry &parent)
{
    QList<Entry> fresh;
    for (const QString &address : entries)
        fresh.append(Entry{address, parent.depth + 1, parent.remote, false});
    m_queue = fresh + m_queue;   // a metafile's entries come before the entries after it
}

void Player::entryFailed(const QString &text)
{
    m_errors << text;
    showError(text);
    tryNext();
}

void Player::showError(const QString &text)
{
    // Shown while the next entry is looked at; the last one stays when none is left.
    m_statusText = text;
    emit statusChanged(text);
}

void Player::clearIcy()
{
    if (m_icyName.isEmpty() && m_icyTitle.isEmpty())
        return;
    m_icyName.clear();
    m_icyTitle.clear();
    emit icyChanged(m_icyName, m_icyTitle);
}

void Player::failWith(const QString &text)
{
    m_failText = text;
    m_state = State::Failed;   // set directly so the text below is the one shown
    emit stateChanged(m_state);
    refreshStatus();
}

void Player::abortFetch()
{
    if (!m_fetch)
        return;
    QNetworkReply *reply = m_fetch;
    m_fetch = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

// ---- libmpv -------------------------------------------------------------------------------------

void Player::loadInMpv(const Entry &entry)
{
    if (!m_mpv) {
        failWith(tr("The player could not be started"));
        return;
    }
    m_entry = entry;
    m_currentEntry = entry.address;
    m_started = false;
    m_live = false;
    m_lastLogError.clear();
    m_attemptLog.clear();
    m_pausedForCache = false;
    m_bufferPercent = 0;
    m_awaitingLoad = true;
    m_redirectFrom = -1;
    m_pendingEnd = PendingEnd();
    ++m_loadSerial;
    if (m_loadSerial == kPlaylistReply || m_loadSerial == 0)
        m_loadSerial = 1;
    const QByteArray address =
        (Metafile::isLocal(entry.address) ? Metafile::localPath(entry.address) : entry.address).toUtf8();
    const char *cmd[] = {"loadfile", address.constData(), "replace", nullptr};
    const int rc = mpv_command_async(m_mpv, m_loadSerial, cmd);
    setState(m_reconnecting ? State::Reconnecting : State::Connecting);
    if (rc < 0) {
        m_awaitingLoad = false;
        entryFailed(textCannotConnect(entry.address));
    }
}

void Player::stopMpv()
{
    if (m_mpv) {
        const char *cmd[] = {"stop", nullptr};
        mpv_command_async(m_mpv, 0, cmd);
    }
    // Whatever libmpv still reports about the entry stopped is no longer of interest.
    m_awaitingLoad = false;
    m_pendingEnd = PendingEnd();
    m_minEntryId = std::numeric_limits<qint64>::max();
}

void Player::scheduleReconnect()
{
    if (m_started && m_playingFor.isValid() && m_playingFor.elapsed() > kStableStreamMs)
        m_reconnectTries = 0;
    m_started = false;
    if (m_reconnectTries >= kMaxReconnects) {
        m_reconnecting = false;
        failWith(m_lastLogError.contains(QLatin1String("404")) ? textNotFound(m_entry.address)
                                                                : textCannotConnect(m_entry.address));
        return;
    }
    const int delay = 1000 << m_reconnectTries;
    ++m_reconnectTries;
    m_reconnecting = true;
    m_awaitingLoad = false;
    m_pendingEnd = PendingEnd();
    m_minEntryId = std::numeric_limits<qint64>::max();
    setState(State::Reconnecting);
    m_reconnectTimer.start(delay);
}

void Player::drainEvents()
{
    m_drainQueued = false;
    for (int n = 0; m_mpv && n < 1000; ++n) {
        mpv_event *event = mpv_wait_event(m_mpv, 0);
        if (!event || event->event_id == MPV_EVENT_NONE) {
            if (m_pendingEnd.valid) {
                const PendingEnd end = m_pendingEnd;
                m_pendingEnd = PendingEnd();
                handleEndFile(end.reason, end.error, 0, 0);
            }
            return;
        }
        handleEvent(*event);
    }
    // Many events at once: read the rest on the next turn of the event loop.
    if (m_mpv && !m_drainQueued.exchange(true))
        QMetaObject::invokeMethod(this, [this] { drainEvents(); }, Qt::QueuedConnection);
}

void Player::handleEvent(const mpv_event &event)
{
    if (event.event_id != MPV_EVENT_LOG_MESSAGE)
        qCDebug(lcPlayer) << m_console << mpv_event_name(event.event_id) << "awaiting" << m_awaitingLoad << "min id"
                          << m_minEntryId << "reply" << event.reply_userdata << "error" << event.error;
    if (event.event_id == MPV_EVENT_END_FILE) {
        const auto *end = static_cast<const mpv_event_end_file *>(event.data);
        qCDebug(lcPlayer) << "  end of entry" << end->playlist_entry_id << "reason" << end->reason << "error"
                          << end->error << "started" << m_started << "live" << m_live;
    }
    switch (event.event_id) {
    case MPV_EVENT_COMMAND_REPLY: {
        if (event.reply_userdata != m_loadSerial || !m_awaitingLoad)
            return;
        m_awaitingLoad = false;
        if (event.error < 0) {
            entryFailed(textCannotConnect(m_entry.address));
            return;
        }
        m_minEntryId = -1;
        const auto *result = static_cast<const mpv_event_command *>(event.data);
        if (result && result->result.format == MPV_FORMAT_NODE_MAP) {
            const mpv_node_list *map = result->result.u.list;
            for (int i = 0; i < map->num; ++i) {
                if (qstrcmp(map->keys[i], "playlist_entry_id") == 0 && map->values[i].format == MPV_FORMAT_INT64)
                    m_minEntryId = map->values[i].u.int64;
            }
        }
        return;
    }
    case MPV_EVENT_GET_PROPERTY_REPLY: {
        if (event.reply_userdata != kPlaylistReply && (event.reply_userdata & kPropertyReply)) {
            if (((event.reply_userdata & ~kPropertyReply) >> 1) != m_loadSerial)
                return;   // about an earlier entry
            const auto *prop = static_cast<const mpv_event_property *>(event.data);
            bool known = false;
            if (event.error >= 0 && prop && prop->format == MPV_FORMAT_DOUBLE)
                known = *static_cast<double *>(prop->data) > 0;
            else if (event.error >= 0 && prop && prop->format == MPV_FORMAT_INT64)
                known = *static_cast<int64_t *>(prop->data) > 0;
            (event.reply_userdata & 1 ? m_sizeKnown : m_durationKnown) = known ? 1 : 0;
            if (m_sizeKnown >= 0 && m_durationKnown >= 0)
                m_live = !Metafile::isLocal(m_entry.address) && !(m_sizeKnown && m_durationKnown);
            qCDebug(lcPlayer) << "  size known" << m_sizeKnown << "duration known" << m_durationKnown << "live" << m_live;
            return;
        }
        if (event.reply_userdata != kPlaylistReply || m_redirectFrom <= 0 || m_redirectSerial != m_loadSerial
            || m_awaitingLoad)
            return;
        const qint64 from = m_redirectFrom;
        const qint64 to = m_redirectFrom + m_redirectCount;
        m_redirectFrom = -1;
        if (event.error < 0) {
            entryFailed(textNoEntries(m_entry.address));
            return;
        }
        // The entries libmpv found in a playlist of its own: they join the queue like any
        // metafile's entries, so the same checks and fallbacks apply to them.
        const auto *prop = static_cast<const mpv_event_property *>(event.data);
        if (!prop || prop->format != MPV_FORMAT_NODE)
            return;
        const auto *node = static_cast<const mpv_node *>(prop->data);
        if (node->format != MPV_FORMAT_NODE_ARRAY)
            return;
        QStringList entries;
        for (int i = 0; i < node->u.list->num; ++i) {
            const mpv_node &item = node->u.list->values[i];
            if (item.format != MPV_FORMAT_NODE_MAP)
                continue;
            QString file;
            qint64 id = -1;
            for (int k = 0; k < item.u.list->num; ++k) {
                if (qstrcmp(item.u.list->keys[k], "filename") == 0)
                    file = nodeString(item.u.list->values[k]);
                else if (qstrcmp(item.u.list->keys[k], "id") == 0 && item.u.list->values[k].format == MPV_FORMAT_INT64)
                    id = item.u.list->values[k].u.int64;
            }
            if (!file.isEmpty() && id >= from && id < to)
                entries << file;
        }
        if (entries.isEmpty() || m_entry.depth >= kMaxMetafileDepth) {
            entryFailed(textNoEntries(m_entry.address));
            return;
        }
        queueEntries(entries, Entry{m_entry.address, m_entry.depth, !Metafile::isLocal(m_entry.address) || m_entry.remote, true});
        tryNext();
        return;
    }
    case MPV_EVENT_FILE_LOADED: {
        if (m_awaitingLoad || m_minEntryId == std::numeric_limits<qint64>::max())
            return;
        // A live stream has no known size (or no length); it is reconnected when it drops.
        // Both are asked for without waiting; the answers come back as events.
        m_live = false;
        m_sizeKnown = m_durationKnown = -1;
        mpv_get_property_async(m_mpv, kPropertyReply | (m_loadSerial << 1), "duration", MPV_FORMAT_DOUBLE);
        mpv_get_property_async(m_mpv, kPropertyReply | (m_loadSerial << 1) | 1, "file-size", MPV_FORMAT_INT64);
        if (!m_reconnecting)
            setState(State::Buffering);
        return;
    }
    case MPV_EVENT_PLAYBACK_RESTART: {
        if (m_awaitingLoad || m_minEntryId == std::numeric_limits<qint64>::max())
            return;
        if (!m_started) {
            m_started = true;
            m_playingFor.start();
            m_reconnecting = false;
            if (!m_elapsedValid) {
                m_elapsed.start();
                m_elapsedValid = true;
            }
            setState(m_pausedForCache ? State::Buffering : State::Playing);
            emit playbackStarted();
        }
        return;
    }
    case MPV_EVENT_END_FILE: {
        const auto *end = static_cast<const mpv_event_end_file *>(event.data);
        if (m_awaitingLoad || !end || end->playlist_entry_id < m_minEntryId)
            return;
        if (end->reason == MPV_END_FILE_REASON_EOF || end->reason == MPV_END_FILE_REASON_ERROR) {
            // The log lines that explain it are read after the events: decide once they are in.
            m_pendingEnd = PendingEnd{true, end->reason, end->error};
            return;
        }
        handleEndFile(end->reason, end->error, end->playlist_insert_id, end->playlist_insert_num_entries);
        return;
    }
    case MPV_EVENT_LOG_MESSAGE: {
        const auto *log = static_cast<const mpv_event_log_message *>(event.data);
        handleLogLine(QString::fromUtf8(log->prefix), QString::fromUtf8(log->level),
                      QString::fromUtf8(log->text).trimmed());
        return;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto *prop = static_cast<const mpv_event_property *>(event.data);
        switch (event.reply_userdata) {
        case PropMetadata:
            updateMetadata(prop->format == MPV_FORMAT_NODE ? static_cast<const mpv_node *>(prop->data) : nullptr);
            return;
        case PropPausedForCache:
            m_pausedForCache = prop->format == MPV_FORMAT_FLAG && *static_cast<int *>(prop->data);
            if (m_state == State::Playing && m_pausedForCache)
                setState(State::Buffering);
            else if (m_state == State::Buffering && !m_pausedForCache && m_started)
                setState(State::Playing);
            return;
        case PropBufferingState:
            if (prop->format == MPV_FORMAT_INT64) {
                m_bufferPercent = int(qBound(qint64(0), qint64(*static_cast<int64_t *>(prop->data)), qint64(100)));
                if (m_state == State::Buffering)
                    refreshStatus();
            }
            return;
        case PropVolume:
            if (prop->format == MPV_FORMAT_DOUBLE) {
                const int v = qBound(0, int(std::lround(*static_cast<double *>(prop->data))), 100);
                if (v != m_volume) {
                    m_volume = v;
                    emit volumeChanged(v);
                }
            }
            return;
        case PropMute:
            if (prop->format == MPV_FORMAT_FLAG) {
                const bool on = *static_cast<int *>(prop->data);
                if (on != m_muted) {
                    m_muted = on;
                    emit mutedChanged(on);
                }
            }
            return;
        case PropVoConfigured: {
            const bool on = prop->format == MPV_FORMAT_FLAG && *static_cast<int *>(prop->data);
            if (on != m_hasVideo) {
                m_hasVideo = on;
                emit videoChanged(on);
            }
            return;
        }
        default:
            return;
        }
    }
    default:
        return;
    }
}

void Player::handleEndFile(int reason, int error, qint64 insertId, int insertCount)
{
    qCDebug(lcPlayer) << "  end; reason" << reason << "error" << error << "log" << m_attemptLog;
    switch (reason) {
    case MPV_END_FILE_REASON_REDIRECT:
        // libmpv expanded a playlist it recognised; take its entries into the queue.
        // Events of the entries it goes on to play are not ours until the queue loads them.
        m_redirectFrom = insertId;
        m_redirectCount = insertCount;
        m_redirectSerial = m_loadSerial;
        m_minEntryId = std::numeric_limits<qint64>::max();
        if (m_redirectFrom > 0 && m_redirectCount > 0)
            mpv_get_property_async(m_mpv, kPlaylistReply, "playlist", MPV_FORMAT_NODE);
        else
            entryFailed(textNoEntries(m_entry.address));
        return;
    case MPV_END_FILE_REASON_EOF:
        if (m_reconnecting || (m_started && m_live)) {
            scheduleReconnect();
        } else if (m_started) {
            m_minEntryId = std::numeric_limits<qint64>::max();
            setState(State::Stopped);
        } else {
            entryFailed(textNotAStream(m_entry.address));
        }
        return;
    case MPV_END_FILE_REASON_ERROR:
        if (m_reconnecting || (m_started && m_live)) {
            scheduleReconnect();
            return;
        }
        if (error == MPV_ERROR_UNKNOWN_FORMAT && !m_entry.sniffed && !Metafile::isLocal(m_entry.address)) {
            // Perhaps a metafile behind an address that does not say so: look at its content.
            Entry sniff = m_entry;
            sniff.sniffed = true;
            m_minEntryId = std::numeric_limits<qint64>::max();
            fetchMetafile(sniff);
            return;
        }
        entryFailed(mpvErrorText(error));
        return;
    default:
        return;   // stopped or replaced by us
    }
}

void Player::handleLogLine(const QString &prefix, const QString &level, const QString &text)
{
    qCDebug(lcPlayer) << "  log" << prefix << level << text;
    if (level == QLatin1String("error") || level == QLatin1String("fatal") || level == QLatin1String("warn")) {
        m_lastLogError = text;
        if (m_attemptLog.size() < 100)
            m_attemptLog << text;
    }
}

void Player::updateMetadata(const mpv_node *node)
{
    QString name;
    QString title;
    if (node && node->format == MPV_FORMAT_NODE_MAP) {
        for (int i = 0; i < node->u.list->num; ++i) {
            const QByteArray key = QByteArray(node->u.list->keys[i]).toLower();
            if (key == "icy-name")
                name = nodeString(node->u.list->values[i]).trimmed();
            else if (key == "icy-title")
                title = nodeString(node->u.list->values[i]).trimmed();
        }
    }
    // A reconnect briefly has no metadata; keep what the station sent until it sends anew.
    if ((name.isEmpty() && title.isEmpty()) && (m_reconnecting || m_state == State::Reconnecting))
        return;
    if (name == m_icyName && title == m_icyTitle)
        return;
    m_icyName = name;
    m_icyTitle = title;
    emit icyChanged(name, title);
    refreshStatus();
}

QString Player::mpvErrorText(int mpvError) const
{
    const QString log = m_attemptLog.join(QLatin1Char('\n'));
    static const QRegularExpression httpError(QStringLiteral("HTTP error (\\d{3})"));
    const auto m = httpError.match(log);
    if (m.hasMatch())
        return textHttpError(m_entry.address, m.captured(1).toInt());
    if (Metafile::isLocal(m_entry.address) && !QFileInfo::exists(Metafile::localPath(m_entry.address)))
        return textNotFound(m_entry.address);
    if (mpvError == MPV_ERROR_UNKNOWN_FORMAT || mpvError == MPV_ERROR_NOTHING_TO_PLAY)
        return textNotAStream(m_entry.address);
    return textCannotConnect(m_entry.address);
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
    case State::Idle: text = tr("Ready"); break;
    case State::Resolving:
    case State::Connecting: text = textConnecting(m_currentEntry); break;
    case State::Buffering: text = textBuffering(m_pausedForCache || !m_started ? m_bufferPercent : 100); break;
    case State::Playing: text = textPlaying(m_icyName, m_icyTitle); break;
    case State::Reconnecting: text = textReconnecting(); break;
    case State::Stopped: text = textStopped(); break;
    case State::Failed: text = m_failText; break;
    }
    if (text == m_statusText)
        return;
    m_statusText = text;
    emit statusChanged(text);
}

qint64 Player::elapsedSeconds() const
{
    if (!m_elapsedValid || (m_state != State::Playing && m_state != State::Buffering
                            && m_state != State::Reconnecting))
        return 0;
    return m_elapsed.elapsed() / 1000;
}

void Player::setVolume(int volume)
{
    volume = qBound(0, volume, 100);
    if (volume == m_volume)
        return;
    m_volume = volume;
    if (m_mpv) {
        double v = volume;
        mpv_set_property_async(m_mpv, 0, "volume", MPV_FORMAT_DOUBLE, &v);
    }
    emit volumeChanged(volume);
}

void Player::setMuted(bool muted)
{
    if (muted == m_muted)
        return;
    m_muted = muted;
    if (m_mpv) {
        int flag = muted ? 1 : 0;
        mpv_set_property_async(m_mpv, 0, "mute", MPV_FORMAT_FLAG, &flag);
    }
    emit mutedChanged(muted);
}

bool Player::renderFrame(QImage &image)
{
    if (!m_render || !m_hasVideo || image.isNull() || image.format() != QImage::Format_RGB32)
        return false;
    mpv_render_context_update(m_render);
    int size[2] = {image.width(), image.height()};
    size_t stride = size_t(image.bytesPerLine());
    char format[] = "bgr0";   // QImage::Format_RGB32 in memory on little-endian machines
    if (QSysInfo::ByteOrder == QSysInfo::BigEndian)
        format[0] = '0', format[1] = 'r', format[2] = 'g', format[3] = 'b';
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                                 {MPV_RENDER_PARAM_SW_FORMAT, format},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                 {MPV_RENDER_PARAM_SW_POINTER, image.bits()},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    return mpv_render_context_render(m_render, params) >= 0;
}

QString Player::mpvProperty(const QString &name) const
{
    if (!m_mpv)
        return QString();
    char *value = mpv_get_property_string(m_mpv, name.toUtf8().constData());
    if (!value)
        return QString();
    const QString text = QString::fromUtf8(value);
    mpv_free(value);
    return text;
}

QString Player::textConnecting(const QString &address)
{
    return address.isEmpty() ? tr("Connecting…") : tr("Connecting to %1…").arg(hostOf(address));
}

QString Player::textBuffering(int percent)
{
    return tr("Buffering %1%").arg(percent);
}

QString Player::textPlaying(const QString &name, const QString &title)
{
    if (!name.isEmpty() && !title.isEmpty())
        return tr("Playing: %1 – %2").arg(name, title);
    if (!name.isEmpty() || !title.isEmpty())
        return tr("Playing: %1").arg(name.isEmpty() ? title : name);
    return tr("Playing");
}

QString Player::textStopped() { return tr("Stopped"); }
QString Player::textReconnecting() { return tr("Reconnecting…"); }
QString Player::textCannotConnect(const QString &address) { return tr("Cannot connect to %1").arg(address); }
QString Player::textNotAStream(const QString &address) { return tr("Not a stream: %1").arg(address); }
QString Player::textNotFound(const QString &address) { return tr("Not found: %1").arg(address); }
QString Player::textUnsupported(const QString &address) { return tr("Cannot play this kind of address: %1").arg(address); }
QString Player::textNoEntries(const QString &address) { return tr("No stream listed in %1").arg(address); }

QString Player::textHttpError(const QString &address, int status)
{
    if (status == 404 || status == 410)
        return textNotFound(address);
    return tr("The server refused %1 (HTTP %2)").arg(address).arg(status);
}
