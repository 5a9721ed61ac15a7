// Levelling through the real player: two local stations serve the same programme 20 dB apart and
// play one after the other into a PulseAudio server of the test's own; what its null sink plays
// is recorded from its monitor and measured by ffmpeg's ebur128 filter.
#include "SoundServer.h"
#include "StreamServers.h"
#include "player/AudioEngine.h"
#include "player/Player.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr int kStart = 20000; // ms allowed for a stream to start
}

class TestLevelling : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void stationsFarApartPlayAlike_data();
    void stationsFarApartPlayAlike();

private:
    // Plays the address for the seconds given; returns when it began, on the recording's clock.
    double playFor(const QString &address, double seconds);
    // Integrated loudness and true peak of the recording from `from` seconds on.
    StreamTools::LoudnessFigures heard(double from, double seconds);

    QTemporaryDir m_dir;
    SoundServer m_sound;
    std::unique_ptr<LocalHttpServer> m_http;
    Player *m_player = nullptr;
    QHash<QString, double> m_learned; // the gains a station table would keep
    QString m_heard;                  // the recording of what was heard
    QElapsedTimer m_recording;
    double m_recordedBefore = 0; // seconds in the recording when the clock above started
};

void TestLevelling::initTestCase()
{
    QVERIFY2(SoundServer::available(), "pulseaudio and parec are needed");
    QString why;
    if (!AudioEngine::available(&why))
        QSKIP(qPrintable("GStreamer cannot be used: " + why));
    QVERIFY(m_sound.start());
    qputenv("PULSE_SERVER", m_sound.address().toUtf8());
    const QString loud = m_dir.filePath(QStringLiteral("loud.mp3"));
    const QString quiet = m_dir.filePath(QStringLiteral("quiet.mp3"));
    QVERIFY(StreamTools::makeProgramme(loud, 60, 0));
    QVERIFY(StreamTools::makeProgramme(quiet, 60, -20));
    m_http = std::make_unique<LocalHttpServer>();
    m_http->serveFile(QStringLiteral("/loud.mp3"), loud, "audio/mpeg");
    m_http->serveFile(QStringLiteral("/quiet.mp3"), quiet, "audio/mpeg");
    Player::clearDefaultOptions();
    m_player = Player::forConsole(QStringLiteral("Radio"));
    m_player->setAutoStart(true);
    m_player->setGainMemory([this](const QString &source) -> std::optional<double> {
        if (!m_learned.contains(source))
            return std::nullopt;
        return m_learned.value(source);
    });
}

double TestLevelling::playFor(const QString &address, double seconds)
{
    m_player->setSource(address);
    if (!QTest::qWaitFor([this] { return m_player->state() == Player::State::Playing; }, kStart))
        return -1;
    const double began = m_recordedBefore + m_recording.elapsed() / 1000.0;
    QTest::qWait(int(seconds * 1000)); // the time the station is listened to
    const Loudness::Reading reading = m_player->levelReading();
    if (reading.learned)
        m_learned.insert(address, reading.gain);
    return began;
}

StreamTools::LoudnessFigures TestLevelling::heard(double from, double seconds)
{
    const auto figures = StreamTools::measureLoudness(m_heard, from, seconds);
    if (!figures)
        qWarning("ffmpeg could not measure the recording");
    return figures.value_or(StreamTools::LoudnessFigures{100, 100});
}

void TestLevelling::stationsFarApartPlayAlike_data()
{
    QTest::addColumn<bool>("libmpv");
    QTest::newRow("audio engine") << false;
    QTest::newRow("libmpv") << true;
}

// In each engine: after 10 s of each, the loud and the quiet station are within 1 LU of the
// target and of each other, with no peak over -1 dBTP; the loud one heard again is at the target
// from its first second; with levelling off it plays as loud as it was sent.
void TestLevelling::stationsFarApartPlayAlike()
{
    QFETCH(bool, libmpv);
    // Any option of libmpv's own plays the stations there.
    Player::clearDefaultOptions();
    if (libmpv)
        Player::setDefaultOption(QStringLiteral("audio-client-name"), QStringLiteral("tst_levelling"));
    m_learned.clear();
    m_player->setLevelling(true);
    const QString loud = m_http->url(QStringLiteral("/loud.mp3"));
    const QString quiet = m_http->url(QStringLiteral("/quiet.mp3"));
    m_heard =
        m_dir.filePath(QStringLiteral("heard-%1.wav").arg(libmpv ? QStringLiteral("mpv") : QStringLiteral("gst")));
    QVERIFY(m_sound.startRecording(m_heard, &m_recordedBefore));
    m_recording.start();
    const double loudBegan = playFor(loud, 12);
    const double quietBegan = playFor(quiet, 12);
    const double againBegan = playFor(loud, 4);
    m_player->setLevelling(false);
    const double offBegan = playFor(quiet, 4);
    m_player->stop();
    QTest::qWait(600); // what the sound output still held
    m_sound.stopRecording();
    QVERIFY(loudBegan >= 0 && quietBegan >= 0 && againBegan >= 0 && offBegan >= 0);
    QVERIFY(m_learned.contains(loud) && m_learned.contains(quiet));

    const auto first = heard(loudBegan + 8.5, 3);
    const auto second = heard(quietBegan + 8.5, 3);
    const auto again = heard(againBegan + 1, 2.5);
    const auto off = heard(offBegan + 1, 2.5);
    const QString figures =
        QStringLiteral("loud %1 LUFS %2 dBTP, quiet %3 LUFS %4 dBTP, loud again %5 LUFS, off %6 LUFS")
            .arg(first.integrated)
            .arg(first.truePeak)
            .arg(second.integrated)
            .arg(second.truePeak)
            .arg(again.integrated)
            .arg(off.integrated);
    qInfo("%s", qPrintable(figures));
    for (const auto &levelled : {first, second, again}) {
        QVERIFY2(std::abs(levelled.integrated - Loudness::kTargetLufs) <= 1.0, qPrintable(figures));
        QVERIFY2(levelled.truePeak <= Loudness::kCeilingDbtp, qPrintable(figures));
    }
    QVERIFY2(std::abs(first.integrated - second.integrated) <= 1.0, qPrintable(figures));
    QVERIFY2(std::abs(off.integrated - (-29)) <= 1.0, qPrintable(figures));
}

QTEST_MAIN(TestLevelling)
#include "tst_levelling.moc"
