#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

#include <ebur128.h>

// Every station at the same loudness. A station's loudness is measured as it is heard (ITU-R
// BS.1770: K-weighted, in blocks of 400 ms every 100 ms, gated) over the last ten seconds, and a
// gain brings it to the target. The gain follows the station's programme loudness, not each beat:
// the window is long, the gain moves slowly once it is learned, and a block quieter than the
// silence gate (a pause, near-silence) neither counts nor moves it. Boost is capped; a true-peak
// limiter keeps every boosted sample under the ceiling.
//
// Three pieces, each usable alone: LoudnessRule turns block loudness into a gain;
// PeakLimiter keeps interleaved float audio under the ceiling; Leveller measures, applies the
// rule's gain and limits, in place, on an engine's streaming thread.
namespace Loudness {

constexpr double kTargetLufs = -18.0;      // the ReplayGain 2.0 reference
constexpr double kMaxBoostDb = 12.0;       // never more boost than this
constexpr double kMaxCutDb = -30.0;        // nor more cut
constexpr double kCeilingDbtp = -1.0;      // the output's true peak stays at or below this
constexpr double kSilenceGateLufs = -50.0; // blocks below are pauses: never counted, never boosted
constexpr double kWindowSeconds = 10.0;    // the programme loudness is that of the last 10 s

// What a reader is shown: the station's measured loudness (none until enough is heard) and the
// gain applied now.
struct Reading
{
    std::optional<double> loudness;
    double gain = 0;
    bool learned = false;   // enough heard to be remembered for the station
    double busySeconds = 0; // time the levelling has worked on this stream (what it costs)
};

// "−9.8 LUFS, −8.2 dB" (with real minus signs); "+3.0 dB" alone while nothing is measured.
QString readingText(const Reading &reading);

} // namespace Loudness

// From the loudness of blocks to a smoothed gain in dB. The clock is the caller's: each block
// carries its time in seconds (the audio's own time in the audio engine, so tests feed generated
// audio at any speed).
class LoudnessRule
{
public:
    // A new station: the gain starts at the one remembered for it, else at 0 dB and learns fast.
    void reset(std::optional<double> rememberedGain);
    // A 400 ms block's loudness in LUFS (minus infinity for digital silence) at that time.
    void addBlock(double seconds, double lufs);

    double gain() const { return m_gain; }
    // The gated loudness of the window; none before enough blocks above the gate were heard.
    std::optional<double> loudness() const;
    bool learned() const { return m_heardSeconds >= kLearnedSeconds; }

    static constexpr double kLearnedSeconds = 5.0; // gated audio before a gain is settled

private:
    struct Block
    {
        double seconds;
        double energy; // mean square, K-weighted
        double covers; // seconds since the block before
    };
    std::deque<Block> m_blocks; // above the silence gate, within the window
    double m_gain = 0;
    bool m_remembered = false;
    double m_lastSeconds = -1;
    double m_heardSeconds = 0; // time covered by blocks above the gate
};

// A look-ahead limiter on interleaved float audio, all channels together. The gain each frame
// needs is found from its samples and its inter-sample peaks (4 times oversampled); the gain
// applied falls smoothly before a peak arrives (a minimum held over the look-ahead, then
// averaged over it, which is never above what the peak needs) and recovers slowly after. The
// output is late by latency() frames.
class PeakLimiter
{
public:
    void reset(int channels, int rate, double ceilingDbtp);
    // Limits the frames in place (each leaves latency() frames later than it came).
    void process(float *frames, std::size_t count);
    int latency() const { return m_lookahead + kHalfTaps; }

private:
    static constexpr int kHalfTaps = 4;        // the interpolator sees 4 samples each side
    static constexpr std::size_t kChunk = 256; // frames looked at together
    float peakAt(std::size_t index) const;
    void pass(float *frames, std::size_t count);
    void limit(float *frames, std::size_t count);

    int m_channels = 0;
    int m_lookahead = 0;
    float m_ceiling = 1;
    float m_release = 0;       // share of the way back to 1 per frame
    std::vector<float> m_ring; // input frames, m_mask + 1 of them
    std::size_t m_mask = 0;
    std::size_t m_in = 0;                               // frames taken so far
    std::deque<std::pair<std::size_t, float>> m_minima; // held minimum of the needed gain
    std::vector<float> m_held;                          // the smoothed held gain of the last frames
    double m_heldSum = 0;
    float m_recovering = 1;
    std::size_t m_quietFrames = 0; // frames since one came near the ceiling
    std::size_t m_restFrames = 0;  // frames since the limiter last held a gain under 1
};

// Measures, levels and limits interleaved float audio in place. The engine's streaming thread
// calls process(); another thread may switch it and read it at any time.
class Leveller
{
public:
    Leveller();
    ~Leveller();
    Leveller(const Leveller &) = delete;
    Leveller &operator=(const Leveller &) = delete;

    // A new stream (before its first audio): the gain starts at the one remembered, if any.
    void start(std::optional<double> rememberedGain);
    // Off: process() leaves the audio untouched. On again: levelling goes on where it was.
    void setEnabled(bool on) { m_enabled = on; }
    bool enabled() const { return m_enabled; }

    // False (audio untouched) when off or the format cannot be measured.
    bool process(float *frames, std::size_t count, int channels, int rate);

    Loudness::Reading reading() const;

    // Times the levelling work it spans, conversions included, as the leveller's own.
    class Busy
    {
    public:
        explicit Busy(Leveller &leveller) : m_leveller(leveller) {}
        ~Busy()
        {
            m_leveller.m_busy.store(m_leveller.m_busy.load(std::memory_order_relaxed) +
                                        (std::chrono::steady_clock::now() - m_start).count(),
                                    std::memory_order_relaxed);
        }
        Busy(const Busy &) = delete;
        Busy &operator=(const Busy &) = delete;

    private:
        Leveller &m_leveller;
        const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    };

private:
    bool configure(int channels, int rate);
    void measure(const float *frames, std::size_t count);

    std::atomic<bool> m_enabled{true};
    ebur128_state *m_meter = nullptr;
    int m_channels = 0;
    int m_rate = 0;
    std::size_t m_every = 1;      // the meter hears every m_every-th frame
    std::size_t m_skip = 0;       // frames before the next one it hears
    std::vector<float> m_sampled; // the frames it hears of one piece
    LoudnessRule m_rule;
    PeakLimiter m_limiter;
    bool m_fresh = true;          // nothing processed since start()
    bool m_wasOn = false;         // the last buffer was processed
    std::size_t m_frames = 0;     // frames measured since start()
    std::size_t m_untilBlock = 0; // frames to the next 100 ms step
    std::size_t m_step = 0;       // 100 ms steps since the stream's first audio
    double m_appliedGain = 1;     // linear, at the end of the last buffer
    std::atomic<double> m_loudness{0};
    std::atomic<bool> m_measured{false};
    std::atomic<double> m_gain{0};
    std::atomic<bool> m_learned{false};
    std::atomic<std::chrono::steady_clock::rep> m_busy{0}; // written by one thread, the streaming one
};
