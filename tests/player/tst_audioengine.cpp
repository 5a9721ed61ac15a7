// The player as the program uses it, with no libmpv options given: radio streams play in the
// GStreamer audio engine, streams with a picture and what the engine cannot read go to libmpv.
// Without a sound server the engine plays to a silent output, paced as a sound card would.
#include "StreamServers.h"
#include "player/AudioEngine.h"
#include "player/Player.h"
#include "player/StatusText.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <gst/gst.h>

#include <atomic>
#include <cstring>
#include <link.h>
#include <random>
#include <sys/resource.h>
#include <thread>

namespace {
constexpr int kStart = 20000; // ms allowed for a stream to start

bool mapped(const char *library)
{
    return dl_iterate_phdr(
               [](dl_phdr_info *info, size_t, void *name) {
                   return info->dlpi_name && std::strstr(info->dlpi_name, static_cast<const char *>(name)) ? 1 : 0;
               },
               const_cast<char *>(library)) != 0;
}
} // namespace

class TestAudioEngine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void radioPlaysWithoutLibmpv(); // first: no other test may have loaded libmpv
    void failuresAreWordedAsBefore();
    void picturesAndPagesGoToLibmpv();
    void recordingStaysInTheEngine();
    void everyTitleArrivesInOrder();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<LocalHttpServer> m_http;
    std::unique_ptr<IcecastServer> m_icecast;
    Player *m_player = nullptr;
};

void TestAudioEngine::initTestCase()
{
    QVERIFY2(IcecastServer::available(), "icecast2 and ffmpeg are needed for the stream tests");
    QString why;
    if (!AudioEngine::available(&why))
        QSKIP(qPrintable("GStreamer cannot be used: " + why));
    const QString tone = m_dir.filePath(QStringLiteral("short.mp3"));
    QVERIFY(StreamTools::makeTone(tone, 440, 3));
    m_http = std::make_unique<LocalHttpServer>();
    m_http->serveFile(QStringLiteral("/short.mp3"), tone, "audio/mpeg");
    m_icecast = std::make_unique<IcecastServer>();
    QVERIFY2(m_icecast->start(), qPrintable(m_icecast->errorText()));
    Player::clearDefaultOptions();
    m_player = Player::forConsole(QStringLiteral("Radio"));
    m_player->setAutoStart(true);
}

void TestAudioEngine::radioPlaysWithoutLibmpv()
{
    // A live station: its name and titles as the server sends them, and a drop is reconnected.
    QSignalSpy started(m_player, &Player::playbackStarted);
    m_player->setVolume(30);
    m_player->setMuted(true);
    QVERIFY(m_icecast->setTitle(QStringLiteral("First Song")));
    m_player->setSource(m_icecast->streamUrl());
    QTRY_COMPARE_WITH_TIMEOUT(m_player->statusText(), QStringLiteral("Playing: Test Radio – First Song"), kStart);
    QCOMPARE(started.count(), 1);
    QVERIFY(mapped("libgstreamer-1.0.so"));
    QVERIFY(!mapped("libmpv.so"));
    QVERIFY(m_icecast->setTitle(QStringLiteral("Second Song – Ünïcode")));
    QTRY_COMPARE_WITH_TIMEOUT(m_player->icyTitle(), QStringLiteral("Second Song – Ünïcode"), kStart);
    m_player->setMuted(false);

    m_icecast->stopSource();
    QTRY_COMPARE_WITH_TIMEOUT(m_player->statusText(), StatusText::reconnecting(), kStart);
    QVERIFY2(m_icecast->startSource(), qPrintable(m_icecast->errorText()));
    QTRY_VERIFY_WITH_TIMEOUT(started.count() == 2, 40000);
    QTRY_COMPARE(m_player->state(), Player::State::Playing);

    // A file over HTTP (known length and size) plays to its end and stops there.
    m_player->setSource(m_http->url(QStringLiteral("/short.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(started.count() == 3, kStart);
    QTRY_COMPARE_WITH_TIMEOUT(m_player->state(), Player::State::Stopped, kStart);
    QCOMPARE(m_player->statusText(), StatusText::stopped());
    QVERIFY(!mapped("libmpv.so"));
}

void TestAudioEngine::failuresAreWordedAsBefore()
{
    m_http->serveStatus(QStringLiteral("/broken.mp3"), 500);
    const QString dead = QStringLiteral("http://127.0.0.1:%1/live").arg(StreamTools::freePort());
    const QList<QPair<QString, QString>> cases = {
        {m_http->url(QStringLiteral("/nothing.mp3")),
         StatusText::notFound(m_http->url(QStringLiteral("/nothing.mp3")))},
        {m_http->url(QStringLiteral("/broken.mp3")),
         StatusText::httpError(m_http->url(QStringLiteral("/broken.mp3")), 500)},
        {dead, StatusText::cannotConnect(dead)}};
    for (const auto &c : cases) {
        m_player->setSource(c.first);
        QTRY_COMPARE_WITH_TIMEOUT(m_player->state(), Player::State::Failed, kStart);
        QCOMPARE(m_player->statusText(), c.second);
    }
    QVERIFY(!mapped("libmpv.so"));
}

void TestAudioEngine::picturesAndPagesGoToLibmpv()
{
    m_http->serve(QStringLiteral("/about"), "<!DOCTYPE html><html><body>About us</body></html>", "text/html");
    m_player->setSource(m_http->url(QStringLiteral("/about")));
    QTRY_COMPARE_WITH_TIMEOUT(m_player->state(), Player::State::Failed, kStart);
    QCOMPARE(m_player->statusText(), StatusText::notAStream(m_http->url(QStringLiteral("/about"))));

    const QString video = m_dir.filePath(QStringLiteral("tv.mkv"));
    QVERIFY(StreamTools::makeTestPicture(video, 20));
    m_http->serveFile(QStringLiteral("/tv.mkv"), video, "video/x-matroska");
    m_player->setSource(m_http->url(QStringLiteral("/tv.mkv")));
    QTRY_VERIFY_WITH_TIMEOUT(m_player->hasVideo(), kStart);
    QVERIFY(mapped("libmpv.so"));
    QTRY_COMPARE_WITH_TIMEOUT(m_player->state(), Player::State::Playing, kStart);
}

void TestAudioEngine::recordingStaysInTheEngine()
{
    // An MP3 station is recorded where it plays: no move to libmpv, no second start, and the
    // file holds the stream's frames, growing while it plays and no more once it ends.
    QSignalSpy started(m_player, &Player::playbackStarted);
    m_player->setSource(m_icecast->streamUrl());
    QTRY_VERIFY_WITH_TIMEOUT(started.count() == 1, kStart);
    QVERIFY(!m_player->setRecordingWanted(true));
    const QString file = m_dir.filePath(QStringLiteral("kept.mp3"));
    QVERIFY(m_player->setRecordFile(file));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file).size() > 32000, kStart); // two seconds at 128 kbit/s
    QVERIFY(m_player->setRecordFile(QString()));
    const qint64 kept = QFileInfo(file).size();
    QTest::qWait(1500);
    QCOMPARE(QFileInfo(file).size(), kept);
    QVERIFY(StreamTools::probedSeconds(file) > 1.5);
    QCOMPARE(started.count(), 1);
    QCOMPARE(m_player->mpvProperty(QStringLiteral("path")), QString());
    QVERIFY(!m_player->setRecordingWanted(false));
    m_player->stop();
}

void TestAudioEngine::everyTitleArrivesInOrder()
{
    // Titles are posted from other threads at random moments, one at a time, each the last for a
    // while (as a steady station's next title is), while the engine's thread is kept busy and both
    // cores are loaded. Every one must arrive at once and in order: a title that waits on the bus
    // until the next one comes is lost to the listener.
    AudioEngine engine;
    QStringList titles;
    bool playing = false;
    engine.setReport([&](const MpvEvents::Event &event) {
        if (std::holds_alternative<MpvEvents::PlaybackRestart>(event))
            playing = true;
        if (const auto *metadata = std::get_if<MpvEvents::Metadata>(&event))
            titles << metadata->title;
    });
    QVERIFY(engine.play(m_icecast->streamUrl(), QStringLiteral("test"), 10));
    QTRY_VERIFY_WITH_TIMEOUT(playing, kStart);
    auto *pipeline = static_cast<GstElement *>(engine.pipeline());

    std::atomic<bool> done{false};
    std::vector<std::thread> load;
    for (int i = 0; i < 2; ++i)
        load.emplace_back([&done] {
            while (!done)
                ;
        });
    QTimer busy; // the window thread: short bursts of work between its events
    connect(&busy, &QTimer::timeout, this, [] {
        QElapsedTimer t;
        t.start();
        while (t.nsecsElapsed() < 200000)
            ;
    });
    busy.start(0);

    constexpr int kTitles = 600;
    std::mt19937 random(20261209);
    int lost = 0;
    for (int i = 0; i < kTitles && lost == 0; ++i) {
        const QString title = QStringLiteral("Title %1").arg(i);
        const int pause = std::uniform_int_distribution<int>(0, 300)(random);
        std::thread poster([pipeline, title, pause] {
            setpriority(PRIO_PROCESS, 0, 19); // often set aside midway, as a busy machine does
            std::this_thread::sleep_for(std::chrono::microseconds(pause));
            GstTagList *tags = gst_tag_list_new(GST_TAG_TITLE, title.toUtf8().constData(), nullptr);
            gst_element_post_message(pipeline, gst_message_new_tag(GST_OBJECT(pipeline), tags));
        });
        QElapsedTimer waited;
        waited.start();
        while (!titles.contains(title) && waited.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        poster.join();
        if (!titles.contains(title))
            ++lost;
    }
    busy.stop();
    done = true;
    for (auto &t : load)
        t.join();
    engine.stop();

    QCOMPARE(lost, 0);
    QStringList ours = titles.filter(QRegularExpression(QStringLiteral("^Title \\d+$")));
    QCOMPARE(ours.size(), kTitles);
    for (int i = 0; i < kTitles; ++i)
        QCOMPARE(ours.at(i), QStringLiteral("Title %1").arg(i));
}

QTEST_MAIN(TestAudioEngine)
#include "tst_audioengine.moc"
