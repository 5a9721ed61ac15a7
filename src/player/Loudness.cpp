#include "player/Loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>

using namespace Loudness;

namespace {

double toLinear(double dB)
{
    return std::pow(10.0, dB / 20.0);
}

// A number as a reader sees it: one decimal, a real minus sign, and a plus before a gain above 0.
QString signedText(double value, bool plus)
{
    const double rounded = std::round(value * 10.0) / 10.0;
    QString text = QString::number(std::abs(rounded), 'f', 1);
    if (rounded < 0)
        text.prepend(QChar(0x2212));
    else if (plus && rounded > 0)
        text.prepend(QLatin1Char('+'));
    return text;
}

// The gain follows fast while a station is new (its first seconds, nothing remembered), then
// slowly, coming down faster than it goes up: a time constant in seconds and the most the gain
// may move per second.
constexpr double kLearningSeconds = 1.0;
constexpr double kLearningSlewDb = 6.0;
constexpr double kSettledSeconds = 6.0;
constexpr double kSettledSlewDb = 1.0;
constexpr double kCutSeconds = 3.0;
constexpr double kCutSlewDb = 3.0;
constexpr double kRelativeGateLu = -10.0; // BS.1770's relative gate
constexpr std::size_t kCycleSteps = 12;   // once settled, a block is measured every 1.2 s
constexpr double kFewestSeconds = 0.95;   // about 1.3 s of audio above the gate before any estimate

// The limiter's look-ahead and recovery, and how far under the ceiling it aims (its estimate
// of the peaks between samples is close, not exact).
constexpr double kLookaheadSeconds = 0.005;
constexpr double kReleaseSeconds = 0.2;
constexpr double kMarginDb = 0.3;

// The interpolator of the peaks between samples: a windowed sinc (Lanczos, a = 4) at the
// quarter, half and three quarters between two samples.
struct Interpolator
{
    float taps[3][8];
    Interpolator()
    {
        const double pi = std::acos(-1.0);
        for (int phase = 0; phase < 3; ++phase) {
            const double f = (phase + 1) / 4.0;
            for (int j = -3; j <= 4; ++j) {
                const double x = f - j;
                const double sinc = std::sin(pi * x) / (pi * x);
                const double window = std::sin(pi * x / 4) / (pi * x / 4);
                taps[phase][j + 3] = float(sinc * window);
            }
        }
    }
};

const Interpolator &interpolator()
{
    static const Interpolator i;
    return i;
}

} // namespace

QString Loudness::readingText(const Reading &reading)
{
    const QString gain = signedText(reading.gain, true) + QStringLiteral(" dB");
    if (!reading.loudness)
        return gain;
    return signedText(*reading.loudness, false) + QStringLiteral(" LUFS, ") + gain;
}

// ---- the rule ------------------------------------------------------------------------------------

void LoudnessRule::reset(std::optional<double> rememberedGain)
{
    m_blocks.clear();
    m_remembered = rememberedGain.has_value();
    m_gain = std::clamp(rememberedGain.value_or(0.0), kMaxCutDb, kMaxBoostDb);
    m_lastSeconds = -1;
    m_heardSeconds = 0;
}

std::optional<double> LoudnessRule::loudness() const
{
    double sum = 0;
    double covered = 0;
    for (const Block &b : m_blocks) {
        sum += b.energy;
        covered += b.covers;
    }
    if (covered < kFewestSeconds)
        return std::nullopt;
    const double gate = sum / double(m_blocks.size()) * std::pow(10.0, kRelativeGateLu / 10.0);
    double gated = 0;
    int n = 0;
    for (const Block &b : m_blocks) {
        if (b.energy >= gate) {
            gated += b.energy;
            ++n;
        }
    }
    return -0.691 + 10.0 * std::log10(gated / n);
}

void LoudnessRule::addBlock(double seconds, double lufs)
{
    const double dt = m_lastSeconds < 0 ? 0.1 : std::clamp(seconds - m_lastSeconds, 0.0, 1.0);
    m_lastSeconds = seconds;
    while (!m_blocks.empty() && m_blocks.front().seconds <= seconds - kWindowSeconds)
        m_blocks.pop_front();
    // A pause or near-silence holds the gain where it is.
    if (!(lufs >= kSilenceGateLufs))
        return;
    m_blocks.push_back({seconds, std::pow(10.0, (lufs + 0.691) / 10.0), dt});
    m_heardSeconds += dt;
    const std::optional<double> measured = loudness();
    if (!measured)
        return;
    // Towards what the station needs; the cap holds the gain itself, so a station that needs more
    // reaches the cap rather than creeping towards it.
    const double wanted = kTargetLufs - *measured;
    const bool fast = !m_remembered && !learned();
    const bool cut = wanted < m_gain;
    const double tau = fast ? kLearningSeconds : cut ? kCutSeconds : kSettledSeconds;
    const double slew = (fast ? kLearningSlewDb : cut ? kCutSlewDb : kSettledSlewDb) * dt;
    const double step = (wanted - m_gain) * (1.0 - std::exp(-dt / tau));
    m_gain = std::clamp(m_gain + std::clamp(step, -slew, slew), kMaxCutDb, kMaxBoostDb);
}

// ---- the limiter ---------------------------------------------------------------------------------

void PeakLimiter::reset(int channels, int rate, double ceilingDbtp)
{
    m_channels = std::max(1, channels);
    m_lookahead = std::max(1, int(std::lround(rate * kLookaheadSeconds)));
    m_ceiling = float(toLinear(ceilingDbtp - kMarginDb));
    m_release = float(1.0 - std::exp(-1.0 / (kReleaseSeconds * std::max(1, rate))));
    std::size_t size = 1;
    while (size < std::size_t(m_lookahead + 2 * kHalfTaps + 2) + kChunk)
        size *= 2;
    m_mask = size - 1;
    m_ring.assign(size * m_channels, 0.0f);
    // Counting starts one ring ahead, so the frames "before" the first read as silence.
    m_in = size;
    m_minima.clear();
    m_held.assign(m_lookahead, 1.0f);
    m_heldSum = m_lookahead;
    m_recovering = 1;
    m_quietFrames = size;
    m_restFrames = m_lookahead;
}

float PeakLimiter::peakAt(std::size_t k) const
{
    const Interpolator &ip = interpolator();
    float peak = 0;
    for (int c = 0; c < m_channels; ++c) {
        float x[8];
        for (int j = 0; j < 8; ++j)
            x[j] = m_ring[((k + j - 3) & m_mask) * m_channels + c];
        peak = std::max(peak, std::abs(x[3]));
        for (const auto &taps : ip.taps) {
            float v = 0;
            for (int j = 0; j < 8; ++j)
                v += taps[j] * x[j];
            peak = std::max(peak, std::abs(v));
        }
    }
    return peak;
}

namespace {

// The largest magnitude among n samples, eight at a time (the compiler keeps them in one
// register).
float loudestOf(const float *samples, std::size_t n)
{
    float lanes[8] = {};
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8)
        for (std::size_t j = 0; j < 8; ++j)
            lanes[j] = std::max(lanes[j], std::abs(samples[i + j]));
    for (; i < n; ++i)
        lanes[0] = std::max(lanes[0], std::abs(samples[i]));
    return *std::max_element(lanes, lanes + 8);
}

} // namespace

void PeakLimiter::process(float *frames, std::size_t count)
{
    const std::size_t channels = std::size_t(m_channels);
    const float near = m_ceiling * 0.5f; // below this no peak between samples reaches the ceiling
    const std::size_t quiet = std::size_t(m_lookahead + 2 * kHalfTaps + 2);
    for (std::size_t at = 0; at < count; at += kChunk) {
        float *chunk = frames + at * channels;
        const std::size_t n = std::min(kChunk, count - at);
        if (loudestOf(chunk, n * channels) < near && m_quietFrames >= quiet &&
            m_restFrames >= std::size_t(m_lookahead)) {
            pass(chunk, n); // at rest, and nothing near the ceiling: only the delay
            continue;
        }
        limit(chunk, n);
    }
}

// Through the delay unchanged: the chunk into the ring, the frames latency() earlier out of it.
void PeakLimiter::pass(float *frames, std::size_t count)
{
    const std::size_t channels = std::size_t(m_channels);
    const std::size_t size = m_mask + 1;
    const auto copy = [&](std::size_t index, std::size_t n, const auto &move) {
        for (std::size_t done = 0; done < n;) {
            const std::size_t slot = (index + done) & m_mask;
            const std::size_t run = std::min(n - done, size - slot);
            move(slot * channels, done * channels, run * channels);
            done += run;
        }
    };
    copy(m_in, count, [&](std::size_t ring, std::size_t frame, std::size_t n) {
        std::copy_n(frames + frame, n, m_ring.begin() + std::ptrdiff_t(ring));
    });
    copy(m_in - std::size_t(latency()), count, [&](std::size_t ring, std::size_t frame, std::size_t n) {
        std::copy_n(m_ring.begin() + std::ptrdiff_t(ring), n, frames + frame);
    });
    m_in += count;
    m_quietFrames += count;
    m_restFrames += count;
}

void PeakLimiter::limit(float *frames, std::size_t count)
{
    const int channels = m_channels;
    const float near = m_ceiling * 0.5f;
    const std::size_t lookahead = m_lookahead;
    const std::size_t quiet = lookahead + 2 * kHalfTaps + 2;
    for (std::size_t i = 0; i < count; ++i) {
        float *frame = frames + i * channels;
        const std::size_t n = m_in++;
        float *slot = &m_ring[(n & m_mask) * channels];
        float loudest = 0;
        for (int c = 0; c < channels; ++c) {
            slot[c] = frame[c];
            loudest = std::max(loudest, std::abs(frame[c]));
        }
        m_quietFrames = loudest >= near ? 0 : m_quietFrames + 1;
        const std::size_t out = n - kHalfTaps - (lookahead - 1);
        const float *delayed = &m_ring[(out & m_mask) * channels];
        if (m_quietFrames > quiet && m_restFrames >= lookahead) {
            // At rest: nothing near the ceiling in the frames still to leave.
            for (int c = 0; c < channels; ++c)
                frame[c] = delayed[c];
            continue;
        }
        // The frame whose peak is known now (its neighbours up to kHalfTaps later are in).
        const std::size_t k = n - kHalfTaps;
        const float peak = peakAt(k);
        const float needed = peak > m_ceiling ? m_ceiling / peak : 1.0f;
        while (!m_minima.empty() && m_minima.back().second >= needed)
            m_minima.pop_back();
        if (needed < 1.0f)
            m_minima.emplace_back(k, needed);
        while (!m_minima.empty() && m_minima.front().first + lookahead <= k)
            m_minima.pop_front();
        const float held = m_minima.empty() ? 1.0f : m_minima.front().second;
        m_recovering = std::min(held, m_recovering + (1.0f - m_recovering) * m_release);
        if (m_recovering > 0.99999f && held >= 1.0f)
            m_recovering = 1.0f;
        float &oldest = m_held[k % lookahead];
        m_heldSum += double(m_recovering) - double(oldest);
        oldest = m_recovering;
        // Once every held gain is 1 again the sum is exact: no rounding carried on.
        m_restFrames = m_recovering >= 1.0f && m_minima.empty() ? m_restFrames + 1 : 0;
        if (m_restFrames >= lookahead)
            m_heldSum = double(lookahead);
        const float gain = std::min(1.0f, float(m_heldSum / double(lookahead)));
        for (int c = 0; c < channels; ++c)
            frame[c] = delayed[c] * gain;
    }
}

// ---- the leveller --------------------------------------------------------------------------------

Leveller::Leveller() = default;

Leveller::~Leveller()
{
    if (m_meter)
        ebur128_destroy(&m_meter);
}

void Leveller::start(std::optional<double> rememberedGain)
{
    m_rule.reset(rememberedGain);
    m_appliedGain = toLinear(m_rule.gain());
    m_channels = 0; // measured anew from the stream's first audio
    m_fresh = true;
    m_frames = 0;
    m_measured = false;
    m_learned = false;
    m_gain = m_rule.gain();
    m_busy = 0;
}

bool Leveller::configure(int channels, int rate)
{
    if (channels == m_channels && rate == m_rate && m_meter)
        return true;
    if (m_meter)
        ebur128_destroy(&m_meter);
    m_channels = channels;
    m_rate = rate;
    if (channels < 1 || channels > 8 || rate < 8000 || rate > 384000)
        return false;
    // Above 32 kHz the meter hears every other frame, at half the rate: sampling keeps a sound's
    // power, and what lies above the new Nyquist frequency comes back below it, where the
    // K-weighting is the same +4 dB shelf it would have had (only the top 1.5 kHz of 22 kHz come
    // back under the shelf, where programme audio has next to no power). Half the work.
    m_every = rate >= 32000 ? 2 : 1;
    m_skip = 0;
    m_sampled.assign((std::size_t(rate / 10) / m_every + 1) * std::size_t(channels), 0.0f);
    m_meter = ebur128_init(unsigned(channels), unsigned(rate / int(m_every)), EBUR128_MODE_M);
    if (!m_meter)
        return false;
    // A mono station is heard from both speakers: as loud as the same sound in stereo.
    if (channels == 1)
        ebur128_set_channel(m_meter, 0, EBUR128_DUAL_MONO);
    m_limiter.reset(channels, rate, kCeilingDbtp);
    m_untilBlock = std::size_t(rate / 10);
    m_step = 0;
    return true;
}

bool Leveller::process(float *frames, std::size_t count, int channels, int rate)
{
    if (!m_enabled || count == 0) {
        m_wasOn = m_wasOn && m_enabled;
        return false;
    }
    const bool sameFormat = channels == m_channels && rate == m_rate && m_meter;
    if (!configure(channels, rate))
        return false;
    if (!m_wasOn && !m_fresh && sameFormat)
        m_limiter.reset(channels, rate, kCeilingDbtp); // on again: its look-ahead begins anew
    m_wasOn = true;
    m_fresh = false;

    // Measured before the gain: the station's own loudness. While the station is learned, every
    // 100 ms ends a block (they overlap, as BS.1770's do); once its gain is settled, 400 ms of
    // every 1.2 s is measured, a block of its own, which costs a third and still follows the
    // programme over the window (eight blocks in ten seconds).
    const std::size_t stepFrames = std::size_t(rate / 10);
    bool blockAdded = false;
    for (std::size_t done = 0; done < count;) {
        const std::size_t piece = std::min(count - done, m_untilBlock);
        const bool resting = m_rule.learned() && m_step % kCycleSteps >= 4;
        if (!resting)
            measure(frames + done * std::size_t(channels), piece);
        done += piece;
        m_frames += piece;
        m_untilBlock -= piece;
        if (m_untilBlock > 0)
            continue;
        m_untilBlock = stepFrames;
        ++m_step;
        const bool blockEnds = m_rule.learned() ? m_step % kCycleSteps == 4 : m_step >= 4; // whole after 400 ms
        double momentary = -HUGE_VAL;
        if (blockEnds && ebur128_loudness_momentary(m_meter, &momentary) == 0) {
            m_rule.addBlock(double(m_frames) / rate, momentary);
            blockAdded = true;
        }
    }

    // The gain moves from where it was to the rule's over the buffer: no step.
    const float from = float(m_appliedGain);
    const float to = float(toLinear(m_rule.gain()));
    const float step = (to - from) / float(count);
    if (channels == 2) {
        for (std::size_t i = 0; i < count; ++i) {
            const float g = from + step * float(i + 1);
            frames[2 * i] *= g;
            frames[2 * i + 1] *= g;
        }
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            const float g = from + step * float(i + 1);
            for (int c = 0; c < channels; ++c)
                frames[i * channels + c] *= g;
        }
    }
    m_appliedGain = to;
    m_limiter.process(frames, count);

    // What a reader sees changes only with a block.
    if (blockAdded) {
        const std::optional<double> loudness = m_rule.loudness();
        if (loudness)
            m_loudness.store(*loudness, std::memory_order_relaxed);
        m_measured.store(loudness.has_value(), std::memory_order_relaxed);
        m_gain.store(m_rule.gain(), std::memory_order_relaxed);
        m_learned.store(m_rule.learned(), std::memory_order_relaxed);
    }
    return true;
}

// Up to 100 ms of frames to the meter, as many of them as it hears.
void Leveller::measure(const float *frames, std::size_t count)
{
    if (m_every == 1) {
        ebur128_add_frames_float(m_meter, frames, count);
        return;
    }
    const std::size_t channels = std::size_t(m_channels);
    std::size_t n = 0;
    std::size_t i = m_skip;
    for (; i < count; i += m_every, ++n)
        std::copy_n(frames + i * channels, channels, m_sampled.data() + n * channels);
    m_skip = i - count;
    if (n > 0)
        ebur128_add_frames_float(m_meter, m_sampled.data(), n);
}

Loudness::Reading Leveller::reading() const
{
    Reading r;
    if (m_measured)
        r.loudness = m_loudness.load();
    r.gain = m_gain;
    r.learned = m_learned;
    r.busySeconds = std::chrono::duration<double>(std::chrono::steady_clock::duration(m_busy.load())).count();
    return r;
}
