// The player with the real libmpv, playing streams served by the test itself on 127.0.0.1: files
// over a small HTTP server and a live stream from icecast2 fed by ffmpeg.
#include "StreamServers.h"
#include "app/PlainText.h"
#include "player/PictureWindow.h"
#include "player/Player.h"
#include "player/RealAudio.h"
#include "player/StatusText.h"

#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <cstring>
#include <link.h>
#include <memory>

namespace {
constexpr int kStart = 20000; // ms allowed for a stream to start
const QString kConsole = QStringLiteral("Radio");

// True when libmpv is mapped into this process.
bool libmpvMapped()
{
    return dl_iterate_phdr([](dl_phdr_info *info, size_t,
                              void *) { return info->dlpi_name && std::strstr(info->dlpi_name, "libmpv.so") ? 1 : 0; },
                           nullptr) != 0;
}
} // namespace

class TestPlayer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void libmpvIsLoadedAtTheFirstTuning(); // first: no other test may have loaded it
    void directAddressesAndMetafilesPlay_data();
    void directAddressesAndMetafilesPlay();
    void decodedAudioIsTheServedTone();
    void fileThatDropsIsPlayedToTheEnd();
    void icyNameAndTitleFollowTheServer();
    void failedEntriesAreShownAndTheNextIsTried();
    void nothingPlayableEndsWithItsError_data();
    void nothingPlayableEndsWithItsError();
    void droppedLiveStreamIsReconnected();
    void volumeAndMuteReachThePlayer();
    void sourceFlagAndPlayCommand();
    void pictureElementShowsVideoOrTheStationMark();
    void playersCloseCleanlyWhileConnecting();

private:
    static void useOptions(const QString &ao, const QString &vo, const QString &pcmFile = QString());
    QString writeFile(const QString &name, const QByteArray &content);

    QTemporaryDir m_dir;
    QString m_tone; // 440 Hz MP3 file, also served over HTTP
    std::unique_ptr<LocalHttpServer> m_http;
    std::unique_ptr<IcecastServer> m_icecast;
    quint16 m_deadPort = 0; // nothing listens here
};

void TestPlayer::useOptions(const QString &ao, const QString &vo, const QString &pcmFile)
{
    Player::destroyAll();
    Player::clearDefaultOptions();
    Player::setDefaultOption(QStringLiteral("ao"), ao);
    Player::setDefaultOption(QStringLiteral("vo"), vo);
    if (!pcmFile.isEmpty())
        Player::setDefaultOption(QStringLiteral("ao-pcm-file"), pcmFile);
}

QString TestPlayer::writeFile(const QString &name, const QByteArray &content)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(name));
    file.write(content);
    return file.fileName();
}

void TestPlayer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(IcecastServer::available(), "icecast2 and ffmpeg are needed for the stream tests");
    m_tone = m_dir.filePath(QStringLiteral("tone.mp3"));
    QVERIFY(StreamTools::makeTone(m_tone, 440, 30));
    m_http = std::make_unique<LocalHttpServer>();
    QVERIFY(m_http->isListening());
    m_http->serveFile(QStringLiteral("/tone.mp3"), m_tone, "audio/mpeg");
    m_icecast = std::make_unique<IcecastServer>();
    QVERIFY2(m_icecast->start(), qPrintable(m_icecast->errorText()));
    m_deadPort = StreamTools::freePort();
}

void TestPlayer::cleanupTestCase()
{
    // A stream is left playing: the players are closed when the application object goes,
    // which must neither hang nor crash.
    if (!m_icecast)
        return;
    Player *player = Player::forConsole(kConsole);
    QSignalSpy started(player, &Player::playbackStarted);
    player->setAutoStart(true);
    player->setSource(m_icecast->streamUrl());
    QTRY_VERIFY_WITH_TIMEOUT(started.count() > 0, kStart);
}

void TestPlayer::init()
{
    useOptions(QStringLiteral("null"), QStringLiteral("null"));
}

void TestPlayer::libmpvIsLoadedAtTheFirstTuning()
{
    // The elements the main window makes, with a volume set, do not load the player's library.
    RealAudio picture(QStringLiteral("ImageWindow"), kConsole);
    RealAudio volume(QStringLiteral("VolumeSlider"), kConsole);
    RealAudio status(QStringLiteral("StatusBar"), kConsole);
    Player *player = picture.player();
    player->setVolume(60);
    picture.setAutoStart(false);
    picture.setSource(m_http->url(QStringLiteral("/tone.mp3")));
    QVERIFY(!libmpvMapped());
    QSignalSpy started(player, &Player::playbackStarted);
    picture.DoPlay();
    QVERIFY(libmpvMapped());
    QTRY_VERIFY_WITH_TIMEOUT(started.count() > 0, kStart);
    QCOMPARE(player->mpvProperty(QStringLiteral("volume")).toDouble(), 60.0);
}

void TestPlayer::directAddressesAndMetafilesPlay_data()
{
    QTest::addColumn<QString>("path");       // served path, or a local file when it has no "/"
    QTest::addColumn<QByteArray>("content"); // served content; empty = the path is a stream itself
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QString>("plays"); // "file" or "icecast"

    const QByteArray file = "%FILE%";
    const QByteArray live = "%LIVE%";
    QTest::newRow("direct file") << "/tone.mp3" << QByteArray() << QByteArray() << "file";
    QTest::newRow("direct icecast") << "%LIVE%" << QByteArray() << QByteArray() << "icecast";
    QTest::newRow("ram") << "/station.ram"
                         << "# our station\r\n\r\n" + live + "\r\n"
                         << QByteArray("audio/x-pn-realaudio") << "icecast";
    QTest::newRow("rpm, relative entry") << "/sub/station.rpm" << QByteArray("../tone.mp3\n")
                                         << QByteArray("audio/x-pn-realaudio-plugin") << "file";
    QTest::newRow("m3u") << "/list.m3u"
                         << "#EXTM3U\n#EXTINF:-1,Test\n" + file + "\n"
                         << QByteArray("audio/x-mpegurl") << "file";
    QTest::newRow("m3u8") << "/list.m3u8"
                          << "#EXTM3U\n" + live + "\n"
                          << QByteArray("application/vnd.apple.mpegurl") << "icecast";
    QTest::newRow("pls") << "/list.pls"
                         << "[playlist]\nNumberOfEntries=1\nFile1=" + live + "\nTitle1=Test\nLength1=-1\nVersion=2\n"
                         << QByteArray("audio/x-scpls") << "icecast";
    QTest::newRow("asx") << "/list.asx"
                         << "<ASX version=\"3.0\"><Title>Test</Title><Entry><Ref href=\"" + live +
                                "\"/></Entry></ASX>\n"
                         << QByteArray("video/x-ms-asf") << "icecast";
    QTest::newRow("xspf") << "/list.xspf"
                          << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<playlist version=\"1\" "
                             "xmlns=\"http://xspf.org/ns/0/\"><trackList><track><location>" +
                                 file + "</location></track></trackList></playlist>\n"
                          << QByteArray("application/xspf+xml") << "file";
    QTest::newRow("pls by content") << "/listen"
                                    << "[playlist]\nFile1=" + file + "\n"
                                    << QByteArray("text/plain") << "file";
    QTest::newRow("ram by content") << "/tune" << file + "\n" << QByteArray("text/plain") << "file";
    QTest::newRow("local ram") << "local.ram"
                               << "# local\n" + live + "\n"
                               << QByteArray() << "icecast";
    QTest::newRow("local file") << "tone.mp3" << QByteArray() << QByteArray() << "file";
    QTest::newRow("metafile naming a metafile")
        << "/outer.m3u" << QByteArray("list.pls\n") << QByteArray("audio/x-mpegurl") << "icecast";
}

void TestPlayer::directAddressesAndMetafilesPlay()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, type);
    QFETCH(QString, plays);

    const QString fileUrl = m_http->url(QStringLiteral("/tone.mp3"));
    const QString liveUrl = m_icecast->streamUrl();
    content.replace("%FILE%", fileUrl.toUtf8()).replace("%LIVE%", liveUrl.toUtf8());
    // The nested row refers to the pls row's list.
    m_http->serve(QStringLiteral("/list.pls"), "[playlist]\nNumberOfEntries=1\nFile1=" + liveUrl.toUtf8() + "\n",
                  "audio/x-scpls");

    QString source;
    if (path == QLatin1String("%LIVE%"))
        source = liveUrl;
    else if (!path.startsWith(QLatin1Char('/')))
        source = content.isEmpty() ? m_tone : writeFile(path, content);
    else {
        if (!content.isEmpty())
            m_http->serve(path, content, type);
        source = m_http->url(path);
    }

    RealAudio picture(QStringLiteral("ImageWindow"), kConsole);
    RealAudio status(QStringLiteral("StatusBar"), kConsole);
    Player *player = picture.player();
    QCOMPARE(status.player(), player); // one player per console
    QSignalSpy started(player, &Player::playbackStarted);
    picture.setAutoStart(true);
    picture.setSource(source);
    picture.DoPlay();
    QCOMPARE(picture.Source(), source);
    QTRY_VERIFY_WITH_TIMEOUT(started.count() > 0, kStart);
    QCOMPARE(player->currentEntry(), plays == QLatin1String("file") && !content.isEmpty() ? fileUrl
                                     : plays == QLatin1String("file")                     ? source
                                                                                          : liveUrl);
    QTRY_COMPARE(player->state(), Player::State::Playing);
    auto *line = status.findChild<QLabel *>(QStringLiteral("lblStatus"));
    QVERIFY(line);
    QVERIFY2(line->text().startsWith(QStringLiteral("Playing")), qPrintable(line->text()));
    QCOMPARE(started.count(), 1); // the play command after the source did not start it twice
}

void TestPlayer::decodedAudioIsTheServedTone()
{
    const QString wav = m_dir.filePath(QStringLiteral("out.wav"));
    QFile::remove(wav);
    useOptions(QStringLiteral("pcm"), QStringLiteral("null"), wav);
    Player *player = Player::forConsole(kConsole);
    QSignalSpy started(player, &Player::playbackStarted);
    player->setAutoStart(true);
    player->setSource(m_icecast->streamUrl());
    QTRY_VERIFY_WITH_TIMEOUT(started.count() > 0, kStart);
    QTest::qWait(3000);
    Player::destroyAll(); // closes the output file

    int rate = 0;
    const QVector<float> samples = StreamTools::readWavChannel(wav, &rate);
    QVERIFY(rate > 0);
    QVERIFY2(samples.size() > rate, qPrintable(QString::number(samples.size()))); // more than a second
    const double hz = StreamTools::toneFrequency(samples, rate);
    QVERIFY2(qAbs(hz - 440.0) < 3.0, qPrintable(QString::number(hz)));
    float peak = 0;
    for (float s : samples)
        peak = qMax(peak, qAbs(s));
    QVERIFY2(peak > 0.05f, "the tone is audible");
}

void TestPlayer::fileThatDropsIsPlayedToTheEnd()
{
    // The connection breaks twice in the middle of a file; the file still plays whole, once.
    m_http->serveFile(QStringLiteral("/drops.mp3"), m_tone, "audio/mpeg");
    m_http->dropAfter(QStringLiteral("/drops.mp3"), 100000, 2);
    const QString wav = m_dir.filePath(QStringLiteral("drops.wav"));
    QFile::remove(wav);
    useOptions(QStringLiteral("pcm"), QStringLiteral("null"), wav); // decodes as fast as it can
    Player *player = Player::forConsole(kConsole);
    QSignalSpy started(player, &Player::playbackStarted);
    player->setAutoStart(true);
    player->setSource(m_http->url(QStringLiteral("/drops.mp3")));
    QTRY_COMPARE_WITH_TIMEOUT(player->state(), Player::State::Stopped, kStart * 2);
    QCOMPARE(started.count(), 1);
    QCOMPARE(player->statusText(), StatusText::stopped());
    QVERIFY(m_http->hits(QStringLiteral("/drops.mp3")) >= 3);
    Player::destroyAll();
    int rate = 0;
    const QVector<float> samples = StreamTools::readWavChannel(wav, &rate);
    QVERIFY(rate > 0);
    const double seconds = double(samples.size()) / rate;
    QVERIFY2(qAbs(seconds - 30.0) < 0.5, qPrintable(QString::number(seconds)));
    QVERIFY(qAbs(StreamTools::toneFrequency(samples, rate) - 440.0) < 3.0);
}

void TestPlayer::icyNameAndTitleFollowTheServer()
{
    RealAudio status(QStringLiteral("StatusBar"), kConsole);
    auto *line = status.findChild<QLabel *>(QStringLiteral("lblStatus"));
    auto *clock = status.findChild<QLabel *>(QStringLiteral("lblElapsed"));
    Player *player = status.player();
    player->setAutoStart(true);
    QVERIFY(m_icecast->setTitle(QStringLiteral("First Song")));
    player->setSource(m_icecast->streamUrl());
    QTRY_COMPARE_WITH_TIMEOUT(line->text(), QStringLiteral("Playing: Test Radio – First Song"), kStart);
    QCOMPARE(player->icyName(), QStringLiteral("Test Radio"));
    QVERIFY(m_icecast->setTitle(QStringLiteral("Second Song – Ünïcode")));
    QTRY_COMPARE_WITH_TIMEOUT(player->icyTitle(), QStringLiteral("Second Song – Ünïcode"), kStart);
    QCOMPARE(line->text(), QStringLiteral("Playing: Test Radio – Second Song – Ünïcode"));
    QTRY_VERIFY_WITH_TIMEOUT(clock->text().startsWith(QStringLiteral("0:0")) && clock->text() != QStringLiteral("0:00"),
                             5000);
    // Any station on the internet may send markup as its title: it is shown as sent, and
    // changes nothing but the text (no image read from a device that never ends).
    const QString hostile = QStringLiteral("<img src=/dev/zero> <b>x</b> &amp;");
    QVERIFY(m_icecast->setTitle(hostile));
    QTRY_COMPARE_WITH_TIMEOUT(player->icyTitle(), hostile, kStart);
    QTRY_COMPARE(line->text(), QStringLiteral("Playing: Test Radio – ") + hostile);
    status.grab();
    QCOMPARE(line->textFormat(), Qt::PlainText);
    QCOMPARE(PlainText::fromToolTip(line->toolTip()), line->text());
}

void TestPlayer::failedEntriesAreShownAndTheNextIsTried()
{
    const QString dead = QStringLiteral("http://127.0.0.1:%1/gone.mp3").arg(m_deadPort);
    const QString missing = m_http->url(QStringLiteral("/missing.mp3"));
    const QString text = m_http->url(QStringLiteral("/page.html"));
    m_http->serve(QStringLiteral("/page.html"), "<html><body>Welcome</body></html>", "text/html");
    m_http->serve(
        QStringLiteral("/tries.pls"),
        QStringLiteral("[playlist]\nFile1=%1\nFile2=%2\nFile3=%3\nFile4=%4\nFile5=file:///etc/passwd\nFile6=%5\n")
            .arg(dead, missing, text, QStringLiteral("memory://fake"), m_icecast->streamUrl())
            .toUtf8(),
        "audio/x-scpls");
    RealAudio picture(QStringLiteral("ImageWindow"), kConsole);
    Player *player = picture.player();
    QSignalSpy texts(player, &Player::statusChanged);
    QSignalSpy started(player, &Player::playbackStarted);
    picture.setAutoStart(true);
    picture.setSource(m_http->url(QStringLiteral("/tries.pls")));
    QTRY_VERIFY_WITH_TIMEOUT(started.count() > 0, kStart * 2);
    QCOMPARE(player->currentEntry(), m_icecast->streamUrl());
    QStringList shown;
    for (const auto &args : texts)
        shown << args.at(0).toString();
    // Every failed entry showed its own error, in the order tried.
    const QStringList errors = {StatusText::cannotConnect(dead), StatusText::notFound(missing),
                                StatusText::notAStream(text), StatusText::unsupported(QStringLiteral("memory://fake")),
                                StatusText::unsupported(QStringLiteral("file:///etc/passwd"))};
    qsizetype at = 0;
    for (const QString &error : errors) {
        const qsizetype found = shown.indexOf(error, at);
        QVERIFY2(found >= 0, qPrintable(error + QStringLiteral(" not in: ") + shown.join(QStringLiteral(" | "))));
        at = found + 1;
    }
    QCOMPARE(m_http->hits(QStringLiteral("/missing.mp3")) > 0, true);
}

void TestPlayer::nothingPlayableEndsWithItsError_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("error");
    const QString dead = QStringLiteral("http://127.0.0.1:%1/x.pls").arg(m_deadPort);
    QTest::newRow("dead metafile address") << dead << StatusText::cannotConnect(dead);
    QTest::newRow("missing metafile") << m_http->url(QStringLiteral("/nothing.ram"))
                                      << StatusText::notFound(m_http->url(QStringLiteral("/nothing.ram")));
    QTest::newRow("missing stream") << m_http->url(QStringLiteral("/nothing.mp3"))
                                    << StatusText::notFound(m_http->url(QStringLiteral("/nothing.mp3")));
    QTest::newRow("server error") << m_http->url(QStringLiteral("/broken.mp3"))
                                  << StatusText::httpError(m_http->url(QStringLiteral("/broken.mp3")), 500);
    QTest::newRow("empty metafile") << m_http->url(QStringLiteral("/empty.m3u"))
                                    << StatusText::noEntries(m_http->url(QStringLiteral("/empty.m3u")));
    QTest::newRow("web page") << m_http->url(QStringLiteral("/about"))
                              << StatusText::notAStream(m_http->url(QStringLiteral("/about")));
    QTest::newRow("missing local file") << "/nonexistent/station.ram"
                                        << StatusText::notFound("/nonexistent/station.ram");
}

void TestPlayer::nothingPlayableEndsWithItsError()
{
    QFETCH(QString, source);
    QFETCH(QString, error);
    m_http->serveStatus(QStringLiteral("/broken.mp3"), 500);
    m_http->serve(QStringLiteral("/empty.m3u"), "#EXTM3U\n# nothing here\n", "audio/x-mpegurl");
    m_http->serve(QStringLiteral("/about"), "<!DOCTYPE html><html><body>About us</body></html>", "text/html");
    RealAudio picture(QStringLiteral("ImageWindow"), kConsole);
    RealAudio status(QStringLiteral("StatusBar"), kConsole);
    Player *player = picture.player();
    picture.setAutoStart(true);
    picture.setSource(source);
    QTRY_COMPARE_WITH_TIMEOUT(player->state(), Player::State::Failed, kStart);
    QCOMPARE(player->statusText(), error);
    QCOMPARE(status.findChild<QLabel *>(QStringLiteral("lblStatus"))->text(), error);
    // The player is still usable afterwards.
    QSignalSpy started(player, &Player::playbackStarted);
    picture.setSource(m_http->url(QStringLiteral("/tone.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(started.count() > 0, kStart);
}

void TestPlayer::droppedLiveStreamIsReconnected()
{
    RealAudio status(QStringLiteral("StatusBar"), kConsole);
    auto *line = status.findChild<QLabel *>(QStringLiteral("lblStatus"));
    Player *player = status.player();
    QSignalSpy started(player, &Player::playbackStarted);
    player->setAutoStart(true);
    player->setSource(m_icecast->streamUrl());
    QTRY_VERIFY_WITH_TIMEOUT(started.count() == 1, kStart);
    QTRY_COMPARE(player->state(), Player::State::Playing);

    m_icecast->stopSource();
    QTRY_COMPARE_WITH_TIMEOUT(line->text(), StatusText::reconnecting(), kStart);
    QTest::qWait(1500); // at least one attempt finds no stream
    QCOMPARE(player->state(), Player::State::Reconnecting);
    QVERIFY2(m_icecast->startSource(), qPrintable(m_icecast->errorText()));
    QTRY_VERIFY_WITH_TIMEOUT(started.count() == 2, 40000);
    QTRY_VERIFY(line->text().startsWith(QStringLiteral("Playing")));
    QCOMPARE(player->currentEntry(), m_icecast->streamUrl());
}

void TestPlayer::volumeAndMuteReachThePlayer()
{
    RealAudio volume(QStringLiteral("VolumeSlider"), kConsole);
    RealAudio picture(QStringLiteral("ImageWindow"), kConsole);
    auto *slider = volume.findChild<QSlider *>(QStringLiteral("sldVolume"));
    auto *mute = volume.findChild<QToolButton *>(QStringLiteral("cmdMute"));
    QVERIFY(slider && mute);
    QCOMPARE(slider->orientation(), Qt::Vertical);
    QCOMPARE(slider->maximum(), 100);
    Player *player = picture.player();
    picture.setAutoStart(true);
    picture.setSource(m_http->url(QStringLiteral("/tone.mp3")));

    slider->setValue(40);
    QCOMPARE(player->volume(), 40);
    QTRY_COMPARE(player->mpvProperty(QStringLiteral("volume")).toDouble(), 40.0);
    QTest::keyClick(slider, Qt::Key_Up); // the keyboard moves it too
    QTRY_COMPARE(player->mpvProperty(QStringLiteral("volume")).toDouble(), 41.0);

    QTest::mouseClick(mute, Qt::LeftButton);
    QVERIFY(player->muted());
    QTRY_COMPARE(player->mpvProperty(QStringLiteral("mute")), QStringLiteral("yes"));
    QTest::keyClick(slider, Qt::Key_M);
    QVERIFY(!player->muted());
    QVERIFY(!mute->isChecked());
    QTRY_COMPARE(player->mpvProperty(QStringLiteral("mute")), QStringLiteral("no"));

    // Changes made on the player show on every volume element of its console.
    RealAudio second(QStringLiteral("VolumeSlider"), kConsole);
    player->setVolume(250);
    QCOMPARE(player->volume(), 100);
    QCOMPARE(slider->value(), 100);
    QCOMPARE(second.findChild<QSlider *>(QStringLiteral("sldVolume"))->value(), 100);
    QTRY_COMPARE(player->mpvProperty(QStringLiteral("volume")).toDouble(), 100.0);
}

void TestPlayer::sourceFlagAndPlayCommand()
{
    RealAudio picture(QStringLiteral("ImageWindow"), kConsole);
    RealAudio other(QStringLiteral("ImageWindow"), QStringLiteral("Other"));
    Player *player = picture.player();
    QVERIFY(other.player() != player);
    QSignalSpy started(player, &Player::playbackStarted);
    QSignalSpy sources(player, &Player::sourceChanged);

    // Without the flag a new source waits for the play command.
    picture.setAutoStart(false);
    QVERIFY(!picture.AutoStart());
    picture.setSource(m_http->url(QStringLiteral("/tone.mp3")));
    QCOMPARE(sources.count(), 1);
    QCOMPARE(player->state(), Player::State::Stopped);
    QTest::qWait(300);
    QCOMPARE(started.count(), 0);
    picture.DoPlay();
    QTRY_VERIFY_WITH_TIMEOUT(started.count() == 1, kStart);

    // With it, a new source replaces the stream playing and starts by itself.
    picture.setAutoStart(true);
    picture.setSource(m_icecast->streamUrl());
    QTRY_VERIFY_WITH_TIMEOUT(started.count() == 2, kStart);
    QCOMPARE(player->currentEntry(), m_icecast->streamUrl());

    // Quick changes: only the last source plays.
    picture.setSource(m_http->url(QStringLiteral("/tone.mp3")));
    picture.setSource(QStringLiteral("http://127.0.0.1:%1/none.ram").arg(m_deadPort));
    picture.setSource(m_icecast->streamUrl());
    QTRY_VERIFY_WITH_TIMEOUT(started.count() >= 3, kStart);
    QTRY_COMPARE(player->state(), Player::State::Playing);
    QCOMPARE(player->currentEntry(), m_icecast->streamUrl());
    QCOMPARE(player->source(), m_icecast->streamUrl());

    // An empty source stops the stream.
    picture.setSource(QString());
    QCOMPARE(player->state(), Player::State::Idle);
    QVERIFY(other.player()->source().isEmpty());
}

void TestPlayer::pictureElementShowsVideoOrTheStationMark()
{
    // Audio only: a black panel.
    {
        RealAudio picture(QStringLiteral("ImageWindow"), kConsole);
        picture.resize(167, 135);
        const QImage shot = picture.grab().toImage();
        QCOMPARE(shot.pixelColor(2, 2), QColor(Qt::black));
        QCOMPARE(shot.pixelColor(160, 130), QColor(Qt::black));
    }
    // A television stream: the picture is drawn by the element itself.
    const QString video = m_dir.filePath(QStringLiteral("tv.mkv"));
    QVERIFY(StreamTools::makeTestPicture(video, 20));
    m_http->serveFile(QStringLiteral("/tv.mkv"), video, "video/x-matroska");

    Player::destroyAll();
    Player::clearDefaultOptions();
    Player::setDefaultOption(QStringLiteral("ao"), QStringLiteral("null"));
    RealAudio picture(QStringLiteral("ImageWindow"), kConsole);
    picture.resize(167, 135);
    picture.show();
    Player *player = picture.player();
    picture.setAutoStart(true);
    picture.setSource(m_http->url(QStringLiteral("/tv.mkv")));
    QTRY_VERIFY_WITH_TIMEOUT(player->hasVideo(), kStart);
    // The test picture has coloured bars: some pixels are far from black and grey.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const QImage shot = picture.grab().toImage();
            int coloured = 0;
            for (int y = 0; y < shot.height(); y += 4)
                for (int x = 0; x < shot.width(); x += 4) {
                    const QColor c = shot.pixelColor(x, y);
                    if (c.saturation() > 150 && c.value() > 100)
                        ++coloured;
                }
            return coloured > 20;
        }(),
        kStart);

    // Full screen: the picture alone on its window's screen, the pointer hidden after a while,
    // until the stream stops; without a picture it is not offered.
    picture.setFullScreen(true);
    QVERIFY(picture.isFullScreen());
    QCOMPARE(picture.fullScreenWindow()->geometry(), picture.screen()->geometry());
    QVERIFY(!picture.fullScreenWindow()->pointerHidden());
    QTRY_VERIFY(picture.fullScreenWindow()->pointerHidden());
    player->stop();
    QVERIFY(!picture.isFullScreen());
    QTRY_VERIFY_WITH_TIMEOUT(!picture.canShowFullScreen(), kStart);
    picture.setFullScreen(true);
    QVERIFY(!picture.isFullScreen());
}

void TestPlayer::playersCloseCleanlyWhileConnecting()
{
    // A server that accepts and never answers keeps libmpv and the metafile fetch waiting.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    QList<QTcpSocket *> held;
    connect(&silent, &QTcpServer::newConnection, &silent, [&] {
        while (QTcpSocket *s = silent.nextPendingConnection())
            held << s;
    });
    Player *a = Player::forConsole(kConsole);
    Player *b = Player::forConsole(QStringLiteral("Second"));
    a->setAutoStart(true);
    b->setAutoStart(true);
    a->setSource(QStringLiteral("http://127.0.0.1:%1/stream").arg(silent.serverPort()));
    b->setSource(QStringLiteral("http://127.0.0.1:%1/list.pls").arg(silent.serverPort()));
    QTRY_VERIFY(held.size() >= 2);
    QCOMPARE(a->state(), Player::State::Connecting);
    QCOMPARE(b->state(), Player::State::Resolving);
    QPointer<Player> pa(a), pb(b);
    Player::destroyAll();
    QVERIFY(!pa && !pb);
    // Players made afterwards work as before.
    Player *again = Player::forConsole(kConsole);
    QVERIFY(again);
    QSignalSpy started(again, &Player::playbackStarted);
    again->setAutoStart(true);
    again->setSource(m_http->url(QStringLiteral("/tone.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(started.count() == 1, kStart);
}

QTEST_MAIN(TestPlayer)
#include "tst_player.moc"
