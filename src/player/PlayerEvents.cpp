// How the player follows what libmpv reports: the events, decoded into plain values, move the
// player through its states; the ends of entries go to the reconnect policy and the resolver.
#include "player/Player.h"
#include "player/StatusText.h"

#include "player/AudioEngine.h"
#include "player/Metafile.h"
#include "player/MpvLibrary.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

using namespace MpvEvents;

void Player::drainEvents()
{
    m_drainQueued = false;
    for (int n = 0; m_mpv && n < 1000; ++n) {
        mpv_event *event = m_lib->wait_event(m_mpv, 0);
        if (!event || event->event_id == MPV_EVENT_NONE) {
            endPending();
            return;
        }
        if (m_onAudio)
            continue; // what libmpv still says about an entry it no longer plays
        std::visit([this](const auto &e) { handle(e); }, decode(*event));
    }
    // Many events at once: read the rest on the next turn of the event loop.
    if (m_mpv && !m_drainQueued.exchange(true))
        QMetaObject::invokeMethod(
            this, [this] { drainEvents(); }, Qt::QueuedConnection);
}

// An end of entry waits for the log lines that explain it; they are in once the events are read.
void Player::endPending()
{
    if (!m_pendingEnd)
        return;
    const EndFile end = *m_pendingEnd;
    m_pendingEnd.reset();
    handleEndFile(end);
}

void Player::handle(const CommandDone &done)
{
    if (done.request == 0)
        return;
    const Request req = m_requests.take(done.request);
    if (req.kind == Request::Setting) {
        m_settingsInFlight = std::max(0, m_settingsInFlight - 1);
        return;
    }
    if (req.kind != Request::Load || req.load != m_loadSerial || !m_awaitingLoad)
        return;
    m_awaitingLoad = false;
    if (!done.ok) {
        entryFailed(StatusText::cannotConnect(m_entry.address));
        return;
    }
    m_minEntryId = done.entryId;
}

void Player::handle(const Answer &answer)
{
    const Request req = m_requests.take(answer.request);
    if (req.load != m_loadSerial)
        return; // about an earlier entry
    switch (req.kind) {
    case Request::Duration:
    case Request::FileSize: {
        const bool known = answer.ok && answer.number.value_or(0) > 0;
        (req.kind == Request::FileSize ? m_sizeKnown : m_durationKnown) = known;
        if (m_sizeKnown.has_value() && m_durationKnown.has_value())
            m_policy.setLive(!Metafile::isLocal(m_entry.address) && !(*m_sizeKnown && *m_durationKnown));
        qCDebug(lcPlayer) << "  size known" << m_sizeKnown.value_or(false) << "duration known"
                          << m_durationKnown.value_or(false) << "live" << m_policy.isLive();
        return;
    }
    case Request::Playlist:
        takePlaylist(answer);
        return;
    case Request::Load:
    case Request::Setting:
        return;
    }
}

void Player::takePlaylist(const Answer &answer)
{
    if (m_redirectFrom <= 0 || m_redirectSerial != m_loadSerial || m_awaitingLoad)
        return;
    const qint64 from = m_redirectFrom;
    const qint64 to = m_redirectFrom + m_redirectCount;
    m_redirectFrom = -1;
    if (!answer.ok) {
        entryFailed(StatusText::noEntries(m_entry.address));
        return;
    }
    // The entries libmpv found in a playlist of its own: they join the queue like any
    // metafile's entries, so the same checks and fallbacks apply to them.
    QStringList entries;
    for (const auto &item : answer.playlist) {
        if (!item.file.isEmpty() && item.id >= from && item.id < to)
            entries << item.file;
    }
    m_reconnectTimer.stop();
    m_policy.cancel();
    m_resolver->expand(entries, m_entry);
}

void Player::handle(const FileLoaded &)
{
    if (m_awaitingLoad || m_minEntryId == kNoEntry)
        return;
    // A live stream has no known size (or no length); it is reconnected when it drops.
    // Both are asked for without waiting; the answers come back as events.
    m_policy.setLive(false);
    m_sizeKnown.reset();
    m_durationKnown.reset();
    if (m_onAudio) {
        m_audio->ask(request(Request::Duration), "duration");
        m_audio->ask(request(Request::FileSize), "file-size");
    } else {
        m_lib->get_property_async(m_mpv, request(Request::Duration), "duration", MPV_FORMAT_DOUBLE);
        m_lib->get_property_async(m_mpv, request(Request::FileSize), "file-size", MPV_FORMAT_INT64);
    }
    if (!m_policy.reconnecting())
        setState(State::Buffering);
}

void Player::handle(const PlaybackRestart &restart)
{
    if (m_awaitingLoad || m_minEntryId == kNoEntry)
        return;
    if (!m_policy.started(restart))
        return;
    if (!m_elapsedValid) {
        m_elapsed.start();
        m_elapsedValid = true;
    }
    setState(m_pausedForCache ? State::Buffering : State::Playing);
    emit playbackStarted();
}

void Player::handle(const EndFile &end)
{
    qCDebug(lcPlayer) << m_console << "end of entry" << end.entryId << "reason" << int(end.reason) << "error"
                      << end.error << "started" << m_policy.isStarted() << "live" << m_policy.isLive();
    if (m_awaitingLoad || end.entryId < m_minEntryId)
        return;
    if (end.reason == EndFile::Reason::Eof || end.reason == EndFile::Reason::Error) {
        // The log lines that explain it are read after the events: decide once they are in.
        m_pendingEnd = end;
        return;
    }
    handleEndFile(end);
}

void Player::handleEndFile(const EndFile &end)
{
    qCDebug(lcPlayer) << "  end; reason" << int(end.reason) << "error" << end.error << "log" << m_attemptLog;
    if (end.reason == EndFile::Reason::Redirect) {
        // libmpv expanded a playlist it recognised; take its entries into the queue.
        // Events of the entries it goes on to play are not ours until the queue loads them.
        m_redirectFrom = end.insertId;
        m_redirectCount = end.insertCount;
        m_redirectSerial = m_loadSerial;
        m_minEntryId = kNoEntry;
        if (m_redirectFrom > 0 && m_redirectCount > 0)
            m_lib->get_property_async(m_mpv, request(Request::Playlist), "playlist", MPV_FORMAT_NODE);
        else
            entryFailed(StatusText::noEntries(m_entry.address));
        return;
    }
    switch (m_policy.ended(end)) {
    case ReconnectPolicy::Verdict::Ignore:
        return; // stopped or replaced by us
    case ReconnectPolicy::Verdict::Reconnect:
        m_awaitingLoad = false;
        m_pendingEnd.reset();
        m_minEntryId = kNoEntry;
        setState(State::Reconnecting);
        m_reconnectTimer.start(m_policy.delayMs());
        return;
    case ReconnectPolicy::Verdict::GiveUp:
        failWith(m_lastLogError.contains(QLatin1String("404")) ? StatusText::notFound(m_entry.address)
                                                               : StatusText::cannotConnect(m_entry.address));
        return;
    case ReconnectPolicy::Verdict::Ended:
        m_minEntryId = kNoEntry;
        setState(State::Stopped);
        return;
    case ReconnectPolicy::Verdict::EntryFailed:
        break;
    }
    if (end.reason == EndFile::Reason::Eof) {
        entryFailed(StatusText::notAStream(m_entry.address));
    } else if (end.error == MPV_ERROR_UNKNOWN_FORMAT && !m_entry.sniffed && !Metafile::isLocal(m_entry.address)) {
        // Perhaps a metafile behind an address that does not say so: look at its content.
        m_minEntryId = kNoEntry;
        m_resolver->sniff(m_entry);
    } else {
        entryFailed(mpvErrorText(end.error));
    }
}

void Player::handle(const LogLine &line)
{
    qCDebug(lcPlayer) << "  log" << line.prefix << line.level << line.text;
    if (line.level == QLatin1String("error") || line.level == QLatin1String("fatal") ||
        line.level == QLatin1String("warn")) {
        m_lastLogError = line.text;
        if (m_attemptLog.size() < 100)
            m_attemptLog << line.text;
    }
    // The recorder's errors (the file cannot be opened or written), and the demuxer giving up on
    // recording; a stream whose packets queue up is not a write error.
    if ((line.level == QLatin1String("error") || line.level == QLatin1String("fatal")) &&
        (line.prefix.endsWith(QLatin1String("recorder")) || line.text.contains(QLatin1String("recording"))) &&
        !line.text.contains(QLatin1String("queued packets")))
        emit recordingFailed(line.text.trimmed());
}

void Player::handle(const Metadata &metadata)
{
    // A reconnect briefly has no metadata; keep what the station sent until it sends anew.
    if ((metadata.name.isEmpty() && metadata.title.isEmpty()) &&
        (m_policy.reconnecting() || m_state == State::Reconnecting))
        return;
    // A stream moved to libmpv is sent again the last seconds the server sent (its burst), with
    // their titles: the title before the one heard, coming first, is a replay, not a new title.
    if (m_burstReplay && !metadata.title.isEmpty()) {
        m_burstReplay = false;
        if (!m_icyFromEntry && metadata.title == m_icyEarlier)
            return;
    }
    // The same station opened again (a reconnect, a move to the other engine) tells its name
    // before its title: the title heard so far stands until the station sends one.
    const bool titleToCome = metadata.title.isEmpty() && !m_icyFromEntry;
    const QString name = metadata.name.isEmpty() && titleToCome ? m_icyName : metadata.name;
    const QString title = titleToCome ? m_icyTitle : metadata.title;
    m_icyFromEntry = m_icyFromEntry || !metadata.title.isEmpty();
    if (name == m_icyName && title == m_icyTitle)
        return;
    m_icyName = name;
    if (title != m_icyTitle)
        m_icyEarlier = m_icyTitle;
    m_icyTitle = title;
    emit icyChanged(m_icyName, m_icyTitle);
    refreshStatus();
}

void Player::handle(const Changed &changed)
{
    const bool flag = changed.value.value_or(0) != 0;
    switch (changed.property) {
    case Property::PausedForCache:
        m_pausedForCache = flag;
        if (m_state == State::Playing && m_pausedForCache)
            setState(State::Buffering);
        else if (m_state == State::Buffering && !m_pausedForCache && m_policy.isStarted())
            setState(State::Playing);
        return;
    case Property::BufferingState:
        if (changed.value) {
            m_bufferPercent = qBound(0, int(*changed.value), 100);
            if (m_state == State::Buffering)
                refreshStatus();
        }
        return;
    // While a volume or mute of the player's own is on its way, what libmpv reports may be older
    // than it (its first report of a new instance, say): taking it would undo the change.
    case Property::Volume:
        if (changed.value && m_settingsInFlight == 0) {
            const int v = qBound(0, int(std::lround(*changed.value)), 100);
            if (v != m_volume) {
                m_volume = v;
                emit volumeChanged(v);
            }
        }
        return;
    case Property::Mute:
        if (changed.value && m_settingsInFlight == 0 && flag != m_muted) {
            m_muted = flag;
            emit mutedChanged(flag);
        }
        return;
    case Property::VoConfigured:
        if (flag != m_hasVideo) {
            m_hasVideo = flag;
            emit videoChanged(flag);
        }
        return;
    case Property::Metadata:
        return;
    }
}

QString Player::mpvErrorText(int mpvError) const
{
    const QString log = m_attemptLog.join(QLatin1Char('\n'));
    static const QRegularExpression httpError(QStringLiteral("HTTP error (\\d{3})"));
    const auto m = httpError.match(log);
    if (m.hasMatch())
        return StatusText::httpError(m_entry.address, m.captured(1).toInt());
    if (Metafile::isLocal(m_entry.address) && !QFileInfo::exists(Metafile::localPath(m_entry.address)))
        return StatusText::notFound(m_entry.address);
    if (mpvError == MPV_ERROR_UNKNOWN_FORMAT || mpvError == MPV_ERROR_NOTHING_TO_PLAY)
        return StatusText::notAStream(m_entry.address);
    return StatusText::cannotConnect(m_entry.address);
}
