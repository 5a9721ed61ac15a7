// Levelling in the player, by one Leveller in each engine: the audio engine's levels on its
// streaming thread; libmpv's is reached through an audio filter that runs the levelling plugin
// on libmpv's filter thread. Both start a station at the gain remembered for it.
#include "player/Player.h"

#include "player/AudioEngine.h"
#include "player/MpvLeveller.h"
#include "player/MpvLibrary.h"

namespace {

// libmpv's levelling filter, found again by its label.
constexpr const char *kLabel = "hxlevel";

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
    if (!m_mpvFilters || !m_mpvLeveller)
        return {};
    return m_mpvLeveller->reading();
}

void Player::prepareLevelling(bool audioEngine)
{
    std::optional<double> start;
    if (m_levelSource == m_source && !m_levelSource.isEmpty()) {
        // The same station again (a reconnect, the other engine): on from where it was.
        const Loudness::Reading audio = m_audio ? m_audio->levelReading() : Loudness::Reading{};
        const Loudness::Reading mpv = m_mpvLeveller ? m_mpvLeveller->reading() : Loudness::Reading{};
        if (audio.learned)
            start = audio.gain;
        else if (mpv.learned)
            start = mpv.gain;
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
    if (!m_mpvLeveller)
        m_mpvLeveller = std::make_unique<MpvLeveller>();
    m_mpvLeveller->start(start);
    setMpvFilters();
}

// libmpv's audio passes the levelling filter while levelling is on; off, it has none, as before.
void Player::setMpvFilters()
{
    const QString filter = m_levelling && m_mpvLeveller ? m_mpvLeveller->filter(QLatin1String(kLabel)) : QString();
    if (!filter.isEmpty()) {
        m_lib->set_property_string(m_mpv, "af", filter.toUtf8().constData());
        m_mpvFilters = true;
    } else if (m_mpvFilters) {
        m_lib->set_property_string(m_mpv, "af", "");
        m_mpvFilters = false;
    }
}
