// Levelling on its own, fed generated audio: programme-like sound at known loudness, silence and
// a sudden loud passage, measured afterwards by libebur128 as a listener's meter would.
#include "player/LevelPlugin.h"
#include "player/Loudness.h"
#include "player/MpvLeveller.h"

#include <ebur128.h>
#include <ladspa.h>

#include <dlfcn.h>

#include <QtTest>

#include <cmath>
#include <random>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kBuffer = kRate / 5; // 200 ms, as the audio engine hands them on

// Speech-like or music-like sound: noise through a gentle low-pass, in syllables of four a
// second, with a little stereo difference. The same seed gives the same sound.
class Programme
{
public:
    explicit Programme(unsigned seed = 7) : m_random(seed) {}
    std::vector<float> next(int frames, double gain)
    {
        std::vector<float> out(std::size_t(frames) * kChannels);
        std::normal_distribution<float> noise(0.0f, 1.0f);
        for (int i = 0; i < frames; ++i, ++m_n) {
            const double t = double(m_n) / kRate;
            const double envelope = 0.25 + 0.75 * std::pow(std::abs(std::sin(M_PI * 4 * t)), 2);
            m_left = 0.8f * m_left + 0.2f * noise(m_random);
            m_right = 0.8f * m_right + 0.2f * noise(m_random);
            const float common = 0.7f * m_left + 0.3f * m_right;
            out[std::size_t(i) * 2] = float(gain * envelope * common);
            out[std::size_t(i) * 2 + 1] = float(gain * envelope * (0.3f * m_left + 0.7f * m_right));
        }
        return out;
    }

private:
    std::mt19937 m_random;
    long m_n = 0;
    float m_left = 0, m_right = 0;
};

// The linear factor that puts the programme at the loudness asked for.
double scaleFor(double lufs)
{
    Programme p(99);
    const std::vector<float> probe = p.next(kRate * 10, 1.0);
    ebur128_state *m = ebur128_init(kChannels, kRate, EBUR128_MODE_I);
    ebur128_add_frames_float(m, probe.data(), probe.size() / kChannels);
    double measured = 0;
    ebur128_loudness_global(m, &measured);
    ebur128_destroy(&m);
    return std::pow(10.0, (lufs - measured) / 20.0);
}

// A meter on the leveller's output: integrated loudness and true peak of what it was given.
struct Meter
{
    ebur128_state *state = ebur128_init(kChannels, kRate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    ~Meter() { ebur128_destroy(&state); }
    void add(const std::vector<float> &audio) { ebur128_add_frames_float(state, audio.data(), audio.size() / 2); }
    double loudness()
    {
        double l = 0;
        ebur128_loudness_global(state, &l);
        return l;
    }
    double truePeakDb()
    {
        double peak = 0;
        for (unsigned c = 0; c < kChannels; ++c) {
            double p = 0;
            ebur128_true_peak(state, c, &p);
            peak = std::max(peak, p);
        }
        return 20 * std::log10(peak);
    }
};

// Plays seconds of the programme at a loudness through the leveller; the output from `from`
// seconds on goes to the meter. Returns the highest gain seen.
double play(Leveller &leveller, Programme &programme, double lufs, double seconds, Meter *meter = nullptr,
            double from = 0, float *loudestSample = nullptr)
{
    const double scale = lufs <= -200 ? 0.0 : scaleFor(lufs);
    double highest = -100;
    for (int done = 0; done < int(seconds * kRate); done += kBuffer) {
        std::vector<float> audio = programme.next(kBuffer, scale);
        leveller.process(audio.data(), kBuffer, kChannels, kRate);
        highest = std::max(highest, leveller.reading().gain);
        if (meter && done >= from * kRate)
            meter->add(audio);
        if (loudestSample)
            for (float s : audio)
                *loudestSample = std::max(*loudestSample, std::abs(s));
    }
    return highest;
}

} // namespace

class TestLoudness : public QObject
{
    Q_OBJECT
private slots:
    void stationsFarApartEndAtTheTarget();
    void boostIsCappedAndSilenceHolds();
    void aSuddenLoudPassageNeverPassesTheCeiling();
    void offLeavesTheAudioAlone();
    void thePluginLevelsAllChannelsTogether();
};

// A loud and a quiet station 20 LU apart are at the target within 10 s; heard again with the
// gain learned, the loud one is at the target from its first second.
void TestLoudness::stationsFarApartEndAtTheTarget()
{
    Leveller leveller;
    double learned = 0;
    for (double station : {-8.0, -28.0}) {
        Programme programme;
        Meter after10s;
        leveller.start(std::nullopt);
        play(leveller, programme, station, 20, &after10s, 10);
        QVERIFY2(std::abs(after10s.loudness() - Loudness::kTargetLufs) <= 1.0,
                 qPrintable(QStringLiteral("station at %1 LUFS plays at %2").arg(station).arg(after10s.loudness())));
        const Loudness::Reading r = leveller.reading();
        QVERIFY(r.learned);
        QVERIFY(r.loudness && std::abs(*r.loudness - station) < 1.0);
        QVERIFY(std::abs(r.gain - (Loudness::kTargetLufs - station)) < 1.0);
        if (station == -8.0)
            learned = r.gain;
    }
    Programme programme(3);
    Meter firstSecond;
    leveller.start(learned);
    play(leveller, programme, -8.0, 1.0, &firstSecond);
    QVERIFY2(std::abs(firstSecond.loudness() - Loudness::kTargetLufs) <= 1.0,
             qPrintable(QString::number(firstSecond.loudness())));

    Loudness::Reading shown;
    shown.loudness = -9.84;
    shown.gain = -8.16;
    QCOMPARE(Loudness::readingText(shown), QStringLiteral("\u22129.8 LUFS, \u22128.2 dB"));
    shown.loudness.reset();
    shown.gain = 3.04;
    QCOMPARE(Loudness::readingText(shown), QStringLiteral("+3.0 dB"));
}

// A very quiet station gets 12 dB and no more; a new station that starts silent or nearly so
// is not boosted, and a learned gain holds through a pause.
void TestLoudness::boostIsCappedAndSilenceHolds()
{
    Leveller leveller;
    Programme programme;
    leveller.start(std::nullopt);
    QCOMPARE(play(leveller, programme, -200, 5), 0.0);
    QCOMPARE(play(leveller, programme, -65, 5), 0.0);

    leveller.start(std::nullopt);
    Meter meter;
    const double highest = play(leveller, programme, -40, 20, &meter, 10);
    QVERIFY(highest <= Loudness::kMaxBoostDb);
    QVERIFY2(std::abs(leveller.reading().gain - Loudness::kMaxBoostDb) < 0.01,
             qPrintable(QString::number(leveller.reading().gain)));
    QVERIFY(std::abs(meter.loudness() - (-40 + Loudness::kMaxBoostDb)) < 1.0);

    const double before = leveller.reading().gain;
    play(leveller, programme, -200, 6);
    play(leveller, programme, -60, 6);
    QCOMPARE(leveller.reading().gain, before);
}

// A quiet station boosted by 12 dB meets a passage 30 dB louder: every sample, and every peak
// between samples, stays at or under -1 dBTP, and the gain comes down to the new loudness.
void TestLoudness::aSuddenLoudPassageNeverPassesTheCeiling()
{
    Leveller leveller;
    Programme programme;
    leveller.start(std::nullopt);
    Meter meter;
    float loudest = 0;
    play(leveller, programme, -33, 10, &meter, 0, &loudest);
    play(leveller, programme, -3, 20, &meter, 0, &loudest);
    QVERIFY2(meter.truePeakDb() <= Loudness::kCeilingDbtp, qPrintable(QString::number(meter.truePeakDb())));
    QVERIFY(20 * std::log10(loudest) <= Loudness::kCeilingDbtp);
    QVERIFY2(std::abs(leveller.reading().gain - (-15)) < 1.5, qPrintable(QString::number(leveller.reading().gain)));
}

// Off, the audio passes unchanged, bit for bit.
void TestLoudness::offLeavesTheAudioAlone()
{
    Leveller leveller;
    leveller.start(std::nullopt);
    leveller.setEnabled(false);
    Programme programme;
    std::vector<float> audio = programme.next(kBuffer, scaleFor(-30));
    const std::vector<float> original = audio;
    QVERIFY(!leveller.process(audio.data(), kBuffer, kChannels, kRate));
    QVERIFY(audio == original);
}

// The plugin driven as FFmpeg drives it in libmpv (a handle per channel, run one after the
// other on each frame of planar audio): the channels reach the leveller together, so a loud
// station ends at the target; a frame whose channels come out of turn, or any frame once the
// leveller has gone, passes unchanged.
void TestLoudness::thePluginLevelsAllChannelsTogether()
{
    auto leveller = std::make_unique<MpvLeveller>();
    QVERIFY(leveller->available());
    const QString filter = leveller->filter(QStringLiteral("x"));
    const unsigned number = filter.section(QStringLiteral("c0="), 1).section(QLatin1Char(']'), 0, 0).toUInt();
    QVERIFY2(number > 0, qPrintable(filter));
    void *library = dlopen(MpvLeveller::pluginPath().toUtf8().constData(), RTLD_NOW | RTLD_LOCAL);
    QVERIFY(library);
    const auto descriptorAt = reinterpret_cast<LADSPA_Descriptor_Function>(dlsym(library, "ladspa_descriptor"));
    const LADSPA_Descriptor *d = descriptorAt ? descriptorAt(0) : nullptr;
    QVERIFY(d && QByteArray(d->Label) == HX_LEVEL_PLUGIN_LABEL && !descriptorAt(1));

    constexpr int kFrame = 1152;
    LADSPA_Data control = LADSPA_Data(number);
    std::vector<float> planar[kChannels];
    LADSPA_Handle handles[kChannels];
    for (int c = 0; c < kChannels; ++c) {
        planar[c].resize(kFrame);
        handles[c] = d->instantiate(d, kRate);
        d->connect_port(handles[c], 0, planar[c].data());
        d->connect_port(handles[c], 1, planar[c].data());
        d->connect_port(handles[c], 2, &control);
        d->activate(handles[c]);
    }
    Programme programme;
    Meter meter;
    const double scale = scaleFor(-8);
    const auto frameThrough = [&](int firstHandle, bool keep) {
        const std::vector<float> audio = programme.next(kFrame, scale);
        for (int c = 0; c < kChannels; ++c)
            for (int i = 0; i < kFrame; ++i)
                planar[c][std::size_t(i)] = audio[std::size_t(i) * kChannels + std::size_t(c)];
        for (int c = firstHandle; c < kChannels; ++c)
            d->run(handles[c], kFrame);
        std::vector<float> out(audio.size());
        for (int c = 0; c < kChannels; ++c)
            for (int i = 0; i < kFrame; ++i)
                out[std::size_t(i) * kChannels + std::size_t(c)] = planar[c][std::size_t(i)];
        if (keep)
            meter.add(out);
        return out == audio;
    };
    for (int n = 0; n < 12 * kRate / kFrame; ++n)
        frameThrough(0, n >= 8 * kRate / kFrame);
    QVERIFY2(std::abs(meter.loudness() - Loudness::kTargetLufs) <= 1.0, qPrintable(QString::number(meter.loudness())));
    QVERIFY(leveller->reading().learned);
    QVERIFY(frameThrough(1, false)); // the second channel alone: out of turn
    QVERIFY(!frameThrough(0, false));
    leveller.reset();
    QVERIFY(frameThrough(0, false));
    for (LADSPA_Handle h : handles)
        d->cleanup(h);
    dlclose(library);
}

QTEST_GUILESS_MAIN(TestLoudness)
#include "tst_loudness.moc"
