// Levelling in the player: the audio engine measures and levels on its streaming thread; libmpv
// passes its audio through filters of its own (a loudness meter, a volume, a limiter), whose
// meter the player reads a few times a second and whose volume it moves by the same rule. Both
// start a station at the gain remembered for it.
#include "player/Player.h"

#include "player/AudioEngine.h"
#include "player/MpvLibrary.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

// libmpv's filters, found again by their label: the meter reports every 100 ms in its frames'
// metadata; the limiter (which sees samples, not the peaks between them) aims 1 dB under the
// ceiling to keep those at or below it too.
constexpr const char *kLabel = "hxlevel";
constexpr int kMpvReadMs = 200;
// At or under this gain nothing a station sends (up to +5 dBTP of its own) comes near the
// ceiling: the limiter is left out, and put in (its delay made good, so no step is heard) before
// the gain rises past it. Once in, it stays while the station plays.
constexpr double kLimiterFreeDb = -6.0;

QString mpvMeter(double gainDb)
{
    return QStringLiteral("@%1:lavfi=[ebur128=metadata=1,volume=volume=%2:precision=float]")
        .arg(QLatin1String(kLabel))
        .arg(std::pow(10.0, gainDb / 20.0), 0, 'f', 6);
}

QString mpvLimiter()
{
    const double limit = std::pow(10.0, (Loudness::kCeilingDbtp - 1.0) / 20.0);
    return QStringLiteral(",lavfi=[alimiter=limit=%1:attack=5:release=100:level=0:latency=1]").arg(limit, 0, 'f', 6);
}

} // namespace

void Player::setLevelling(bool on)
{
    if (on == m_levelling)
        return;
    m_levelling = on;
    if (m_audio)
        m_audio->setLevelling(on);
    if (m_mpv && !m_onAudio)
        setMpvFilters();
}

Loudness::Reading Player::levelReading() const
{
    if (!m_levelling)
        return {};
    if (m_onAudio && m_audio)
        return m_audio->levelReading();
    if (!m_mpvFilters)
        return {};
    return {m_mpvLevel.loudness(), m_mpvLevel.gain(), m_mpvLevel.learned()};
}

void Player::prepareLevelling(bool audioEngine)
{
    std::optional<double> start;
    if (m_levelSource == m_source && !m_levelSource.isEmpty()) {
        // The same station again (a reconnect, the other engine): on from where it was.
        const Loudness::Reading audio = m_audio ? m_audio->levelReading() : Loudness::Reading{};
        if (audio.learned)
            start = audio.gain;
        else if (m_mpvLevel.learned())
            start = m_mpvLevel.gain();
        else
            start = m_rememberedGain;
    } else {
        m_levelSource = m_source;
        m_rememberedGain = m_gainMemory ? m_gainMemory(m_source) : std::nullopt;
        start = m_rememberedGain;
    }
    if (audioEngine) {
        m_audio->setLevelling(m_levelling);
        m_audio->setLevelStart(start);
        return;
    }
    m_mpvLevel.reset(start);
    m_levelClock.start();
    setMpvFilters();
}

// libmpv's audio passes the filters while levelling is on; off, it has none, as before.
void Player::setMpvFilters()
{
    if (m_levelling) {
        m_mpvGainSent = m_mpvLevel.gain();
        m_mpvMeter = mpvMeter(m_mpvGainSent);
        m_mpvLimiting = m_mpvGainSent > kLimiterFreeDb;
        const QString filters = m_mpvLimiting ? m_mpvMeter + mpvLimiter() : m_mpvMeter;
        m_lib->set_property_string(m_mpv, "af", filters.toUtf8().constData());
        m_mpvFilters = true;
        if (!m_levelTimer) {
            m_levelTimer = new QTimer(this);
            m_levelTimer->setInterval(kMpvReadMs);
            connect(m_levelTimer, &QTimer::timeout, this, &Player::levelMpv);
        }
        m_levelTimer->start();
    } else if (m_mpvFilters) {
        m_lib->set_property_string(m_mpv, "af", "");
        m_mpvFilters = false;
    }
}

void Player::levelMpv()
{
    if (!m_mpv || m_onAudio || !m_mpvFilters || m_state == State::Stopped || m_state == State::Failed ||
        m_state == State::Idle) {
        m_levelTimer->stop();
        return;
    }
    if (m_state != State::Playing)
        return;
    // The meter's last frame's metadata, as {"lavfi.r128.M":"-8.4", ...} (a sub-path to the one
    // key is not to be asked for: libmpv 0.35 fails on it).
    const QJsonObject metadata =
        QJsonDocument::fromJson(mpvProperty(QStringLiteral("af-metadata/%1").arg(QLatin1String(kLabel))).toUtf8())
            .object();
    bool ok = false;
    const double lufs = metadata.value(QStringLiteral("lavfi.r128.M")).toString().toDouble(&ok);
    if (!ok)
        return;
    m_mpvLevel.addBlock(m_levelClock.elapsed() / 1000.0, lufs);
    const double gain = m_mpvLevel.gain();
    if (std::abs(gain - m_mpvGainSent) < 0.05)
        return;
    m_mpvGainSent = gain;
    if (!m_mpvLimiting && gain > kLimiterFreeDb) {
        // The limiter in before the louder gain (libmpv runs its commands in the order sent); the
        // meter and volume, given as before, are kept as they are.
        m_mpvLimiting = true;
        const QByteArray filters = (m_mpvMeter + mpvLimiter()).toUtf8();
        const char *set[] = {"set", "af", filters.constData(), nullptr};
        m_lib->command_async(m_mpv, 0, set);
    }
    const QByteArray value = QByteArray::number(std::pow(10.0, gain / 20.0), 'f', 6);
    const char *cmd[] = {"af-command", kLabel, "volume", value.constData(), nullptr};
    m_lib->command_async(m_mpv, 0, cmd);
}
