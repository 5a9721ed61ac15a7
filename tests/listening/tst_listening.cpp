// Everyday listening in the real window: the titles heard and their file, recording a local
// Icecast stream into files that ffprobe reads, and the sleep timer against a clock of the test's.

#include "StreamServers.h"
#include "TunerFixture.h"

#include "app/Preferences.h"
#include "listening/Listening.h"
#include "listening/Recorder.h"
#include "listening/RecordingName.h"
#include "listening/SleepTimer.h"
#include "listening/TitleHistory.h"
#include "listening/frmRecentlyPlayed.h"
#include "listening/frmSleepTimer.h"

#include <QApplication>
#include <QClipboard>
#include <QScopeGuard>
#include <QSlider>
#include <QTreeWidget>

#include <unistd.h>

#include <cmath>

class TestListening : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { MsgBox::takeShown(); }

    void historyKeepsTheLastTitlesInItsFile();
    void recordingNamesStaySafe();
    void recordsEachTitleIntoAFileOfItsOwn();
    void recordingFromTheAudioEngineKeepsEveryTitle();
    void sleepTimerFadesThenStops();

private:
    // The window over one station that plays the local Icecast stream, playing it.
    void tuneLocalStream(TestAppDir &dir, std::unique_ptr<frmMain> &window);

    std::unique_ptr<IcecastServer> m_icecast;
};

void TestListening::initTestCase()
{
    startTests();
    QVERIFY2(IcecastServer::available(), "icecast2 and ffmpeg are needed");
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty(), "ffprobe is needed");
    m_icecast = std::make_unique<IcecastServer>();
    QVERIFY2(m_icecast->start(), qPrintable(m_icecast->errorText()));
}

void TestListening::tuneLocalStream(TestAppDir &dir, std::unique_ptr<frmMain> &window)
{
    dir.addStation("Test Station", "Jazz", m_icecast->streamUrl());
    window = openWindow();
    doubleClickEntry(*window, "Test Station");
    QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Player::State::Playing, 30000);
}

void TestListening::historyKeepsTheLastTitlesInItsFile()
{
    QTemporaryDir dir;
    const QString path = TitleHistory::pathBeside(dir.filePath("Halcyrix.db"));
    QCOMPARE(QFileInfo(path).dir(), QDir(dir.path()));
    TitleHistory history;
    QVERIFY(history.load(path)); // no file yet: empty
    QVERIFY(history.titles().isEmpty());

    const QDateTime start(QDate(2026, 5, 1), QTime(20, 0));
    QVERIFY(history.add(" Song A ", "One", start));
    QVERIFY(!history.add("Song A", "One", start.addSecs(60))); // the same again, back to back
    QVERIFY(history.add("Song A", "Two", start.addSecs(60)));  // another station's
    QVERIFY(history.add("Song A", "One", start.addSecs(120))); // no longer back to back
    QVERIFY(!history.add("  ", "One", start));
    // Long texts are shortened, a character beyond the basic plane kept whole or left out, and
    // no blank left at the end (the next read would take it off).
    const QString longest(TitleHistory::MaxTextLength - 1, 'x');
    QVERIFY(history.add(longest + QString::fromUtf8("\xF0\x9F\x8E\xB5"), longest + "  more", start));
    QCOMPARE(history.titles().first().title, longest);
    QCOMPARE(history.titles().first().station, longest);
    for (int i = 0; i < TitleHistory::Limit; ++i)
        history.add(QStringLiteral("Title %1").arg(i), "One", start.addSecs(180 + i));
    QCOMPARE(history.titles().size(), TitleHistory::Limit);
    QCOMPARE(history.titles().first().title, QString("Title 999"));
    QCOMPARE(history.titles().last().title, QString("Title 0"));

    // A restart reads what was saved, in the same order.
    QVERIFY(history.save(path));
    TitleHistory again;
    QVERIFY(again.load(path));
    QCOMPARE(again.titles().size(), TitleHistory::Limit);
    QCOMPARE(again.titles().first().title, QString("Title 999"));
    QCOMPARE(again.titles().first().time, start.addSecs(180 + 999));
    QCOMPARE(again.titles().last().station, QString("One"));

    // A damaged file starts an empty list and is set aside, not overwritten by the next save.
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[{\"title\": \"cut off");
    file.close();
    QVERIFY(!again.load(path));
    QVERIFY(again.titles().isEmpty());
    QVERIFY(QFile::exists(path + ".bad"));
    QVERIFY(!QFile::exists(path));
}

void TestListening::recordingNamesStaySafe()
{
    const QDateTime when(QDate(2026, 5, 1), QTime(21, 5, 9));
    QCOMPARE(RecordingName::fileName("Jazz FM", "Miles - So What", "mp3", when),
             QString("Jazz FM - Miles - So What.mp3"));
    QCOMPARE(RecordingName::fileName("Jazz FM", "", "aac", when), QString("Jazz FM - 2026-05-01 21-05-09.aac"));
    QCOMPARE(RecordingName::fileName("..", "", "ogg", when), QString("- 2026-05-01 21-05-09.ogg"));

    QTemporaryDir dir;
    const QString hostile[] = {"../../x", "/etc/passwd", QString("a") + QChar(0) + "b\nc\x1b",
                               QString(300, QChar(0x00e9)), QString(150, QChar(0x1f3b5))};
    for (const QString &title : hostile) {
        const QString name = RecordingName::fileName(".hidden/station", title, "mp3", when);
        QVERIFY2(!name.contains('/') && !name.startsWith('.'), qPrintable(name));
        QVERIFY(std::none_of(name.begin(), name.end(), [](QChar c) { return c.category() == QChar::Other_Control; }));
        QVERIFY(name.toUtf8().size() <= RecordingName::MaxBytes);
        QVERIFY(name.endsWith(".mp3") && name.isValidUtf16());
        // Made twice: two files, never one overwritten, both directly in the folder.
        QString error;
        const QString first = RecordingName::createUnique(dir.path(), name, &error);
        const QString second = RecordingName::createUnique(dir.path(), name, &error);
        QVERIFY2(!first.isEmpty() && !second.isEmpty() && first != second, qPrintable(error));
        QCOMPARE(QFileInfo(second).dir(), QDir(dir.path()));
        QVERIFY(QFileInfo(second).fileName().toUtf8().size() <= RecordingName::MaxBytes);
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 10);
    QCOMPARE(RecordingName::extensionFor("vorbis", false), QString("ogg"));
    QCOMPARE(RecordingName::extensionFor("aac", true), QString("mkv"));
}

void TestListening::recordsEachTitleIntoAFileOfItsOwn()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz"));
    QTemporaryDir music;
    const QString folder = music.filePath("Recordings/Radio"); // made when missing
    Preferences::setValue("Recording/Folder", folder);
    QVERIFY(m_icecast->setTitle("First Song"));
    std::unique_ptr<frmMain> window;
    tuneLocalStream(dir, window);
    if (QTest::currentTestFailed())
        return;
    frmMain &w = *window;
    Listening &listening = w.listening();
    QTRY_COMPARE_WITH_TIMEOUT(player()->icyTitle(), QString("First Song"), 40000);

    QVERIFY(w.mnuPlayRecord->isEnabled());
    w.mnuPlayRecord->trigger();
    QVERIFY(listening.recorder().isRecording() && w.mnuPlayRecord->isChecked());
    QVERIFY(listening.lblRecording->isVisibleTo(&w));
    QTRY_COMPARE_WITH_TIMEOUT(listening.lblRecording->text(), QString("REC 0:02"), 5000);
    QVERIFY(m_icecast->setTitle("../../x"));
    QTRY_COMPARE_WITH_TIMEOUT(player()->icyTitle(), QString("../../x"), 40000);
    QTest::qWait(3000);
    w.mnuPlayRecord->trigger();
    QVERIFY(!listening.recorder().isRecording() && !listening.lblRecording->isVisibleTo(&w));
    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
             QStringList({"Test Station - ..-..-x.mp3", "Test Station - First Song.mp3"}));
    for (const QString &file : listening.recorder().files())
        QTRY_VERIFY2_WITH_TIMEOUT(StreamTools::probedSeconds(file) > 1.0, qPrintable(file), 10000);

    // The titles heard, newest first, in the window and in the file beside the database.
    QCOMPARE(listening.history().titles().size(), 2);
    w.mnuPlayRecent->trigger();
    frmRecentlyPlayed *recent = listening.recentlyPlayedWindow();
    QVERIFY(recent && recent->isVisible());
    QCOMPARE(recent->windowTitle(), QString("Recently Played"));
    QCOMPARE(recent->lstTitles->topLevelItem(0)->text(0), QString("../../x"));
    QCOMPARE(recent->lstTitles->topLevelItem(0)->text(1), QString("Test Station"));
    QCOMPARE(recent->lstTitles->topLevelItem(1)->text(0), QString("First Song"));
    recent->cmdCopy->click();
    QCOMPARE(QApplication::clipboard()->text(), QString("../../x"));
    recent->cmdSearch->click();
    QCOMPARE(Shell::opened(), QStringList{"https://duckduckgo.com/?q=..%2F..%2Fx"});
    TitleHistory stored;
    QVERIFY(stored.load(TitleHistory::pathBeside(dir.dbPath())));
    QCOMPARE(stored.titles().size(), 2);
    recent->close();

    // Started again on the same title: a new file beside the first. The folder then fails (made
    // read-only; the superuser writes anyway, so for it the folder goes): recording stops with a
    // message, what was written stays, the stream plays on.
    w.mnuPlayRecord->trigger();
    QVERIFY(listening.recorder().currentFile().endsWith("/Test Station - ..-..-x (2).mp3"));
    QTest::qWait(2000);
    const bool superuser = geteuid() == 0;
    const QString moved = music.filePath("Moved");
    if (superuser)
        QVERIFY(QDir().rename(folder, moved));
    else
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QVERIFY(m_icecast->setTitle("Third Song"));
    QTRY_VERIFY_WITH_TIMEOUT(!listening.recorder().isRecording(), 40000);
    QVERIFY(!w.mnuPlayRecord->isChecked());
    const QStringList shown = MsgBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().startsWith("Recording stopped: "), qPrintable(shown.first()));
    QCOMPARE(player()->state(), Player::State::Playing);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(QDir(superuser ? moved : folder).entryList(QDir::Files).size(), 3);
    player()->stop();
}

void TestListening::recordingFromTheAudioEngineKeepsEveryTitle()
{
    // Without libmpv options the station plays in the audio engine, which records an MP3 stream
    // where it plays, without a gap: the title heard at Record names the first file, every later
    // title has a file of its own, and no file is left empty. An Ogg stream, whose sound is no
    // file by itself, moves to libmpv to be recorded.
    Player::clearDefaultOptions();
    auto restore = qScopeGuard([] { startTests(); });
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz"));
    QTemporaryDir music;
    Preferences::setValue("Recording/Folder", music.path());
    QVERIFY(m_icecast->setTitle("One"));
    std::unique_ptr<frmMain> window;
    tuneLocalStream(dir, window);
    if (QTest::currentTestFailed())
        return;
    frmMain &w = *window;
    QTRY_COMPARE_WITH_TIMEOUT(player()->icyTitle(), QString("One"), 40000);
    QCOMPARE(player()->audioCodec(), QString("mp3"));

    QSignalSpy started(player(), &Player::playbackStarted);
    QSignalSpy titles(player(), &Player::icyChanged);
    QElapsedTimer recording;
    recording.start();
    w.mnuPlayRecord->trigger();
    QVERIFY(w.listening().recorder().isRecording());
    double firstSpan = 0; // seconds from Record to the second title heard
    for (const QString &title : {QString("Two"), QString("Three")}) {
        QTest::qWait(3000);
        QVERIFY(m_icecast->setTitle(title));
        QTRY_COMPARE_WITH_TIMEOUT(player()->icyTitle(), title, 40000);
        if (firstSpan == 0)
            firstSpan = double(recording.elapsed()) / 1000;
    }
    QTest::qWait(3000);
    QCOMPARE(player()->mpvProperty("path"), QString()); // still the engine's, never reopened
    QCOMPARE(started.count(), 0);
    w.mnuPlayRecord->trigger();
    for (const QList<QVariant> &change : std::as_const(titles))
        QVERIFY2(!change.at(1).toString().isEmpty(), "a title was lost");
    const QStringList expected{"Test Station - One.mp3", "Test Station - Three.mp3", "Test Station - Two.mp3"};
    QTRY_COMPARE_WITH_TIMEOUT(QDir(music.path()).entryList(QDir::Files, QDir::Name), expected, 10000);
    for (const QString &file : expected)
        QTRY_VERIFY2_WITH_TIMEOUT(StreamTools::probedSeconds(music.filePath(file)) > 1.0, qPrintable(file), 10000);
    // The first file holds what played from Record to the second title, within a second: the
    // engine writes the stream as it goes into the decoder, just before it is heard.
    const double first = StreamTools::probedSeconds(music.filePath(expected.first()));
    QVERIFY2(std::abs(first - firstSpan) < 1.0,
             qPrintable(QString("%1 s recorded, %2 s played").arg(first).arg(firstSpan)));
    // A file the engine cannot make (its folder gone) stops the recording with a message, and
    // the stream plays on.
    w.mnuPlayRecord->trigger();
    QVERIFY(w.listening().recorder().isRecording());
    QVERIFY(QDir().rename(music.path(), music.path() + "-gone"));
    QVERIFY(m_icecast->setTitle("Four"));
    QTRY_VERIFY_WITH_TIMEOUT(!w.listening().recorder().isRecording(), 40000);
    const QStringList shown = MsgBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().startsWith("Recording stopped: "), qPrintable(shown.first()));
    QCOMPARE(player()->state(), Player::State::Playing);
    QDir(music.path() + "-gone").removeRecursively();
    player()->stop();

    IcecastServer::Options ogg;
    ogg.mount = "/radio.ogg";
    ogg.vorbis = true;
    IcecastServer vorbis(ogg);
    QVERIFY2(vorbis.start(), qPrintable(vorbis.errorText()));
    QTemporaryDir oggMusic;
    Preferences::setValue("Recording/Folder", oggMusic.path());
    dir.addStation("Ogg Station", "Jazz", vorbis.streamUrl());
    window = openWindow();
    doubleClickEntry(*window, "Ogg Station");
    QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Player::State::Playing, 30000);
    QCOMPARE(player()->mpvProperty("path"), QString());
    QSignalSpy moved(player(), &Player::playbackStarted);
    window->mnuPlayRecord->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(moved.count() == 1, 30000); // opened again, in libmpv
    QTest::qWait(3000);
    window->mnuPlayRecord->trigger();
    const QStringList files = QDir(oggMusic.path()).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QVERIFY2(files.first().endsWith(".ogg"), qPrintable(files.first()));
    QTRY_VERIFY2_WITH_TIMEOUT(StreamTools::probedSeconds(oggMusic.filePath(files.first())) > 1.0,
                              qPrintable(files.first()), 10000);
    player()->stop();
}

void TestListening::sleepTimerFadesThenStops()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz"));
    std::unique_ptr<frmMain> window;
    tuneLocalStream(dir, window);
    if (QTest::currentTestFailed())
        return;
    frmMain &w = *window;
    SleepTimer &timer = w.listening().sleepTimer();
    qint64 now = 0;
    timer.setClock([&now] { return now; });
    auto *slider = w.RealAudio1[8]->findChild<QSlider *>("sldVolume");
    slider->setValue(80);

    // The dialog: arrows step through the usual lengths, any minute count can be typed.
    auto answer = [&](const QString &typed, const char *button, bool stepFirst = false) {
        QTimer::singleShot(0, [=] {
            auto *dialog = qobject_cast<frmSleepTimer *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QString("Sleep Timer"));
            if (!stepFirst) {
                dialog->txtMinutes->selectAll();
                QTest::keyClicks(dialog->txtMinutes, typed);
                dialog->findChild<QPushButton *>(button)->click();
                return;
            }
            dialog->txtMinutes->stepBy(1);
            QCOMPARE(dialog->txtMinutes->value(), 45); // from 30
            dialog->txtMinutes->setValue(90);
            dialog->txtMinutes->stepBy(1);
            QCOMPARE(dialog->txtMinutes->value(), 120);
            dialog->txtMinutes->selectAll();
            QTest::keyClicks(dialog->txtMinutes, typed);
            dialog->findChild<QPushButton *>(button)->click();
        });
        w.mnuPlaySleep->trigger();
    };
    Preferences::setValue("SleepTimer/Minutes", 30);
    answer("1", "cmdOK", true);
    QVERIFY(timer.isActive());
    QCOMPARE(w.listening().lblSleep->text(), QString("Sleep: 1 min"));

    now = 20000;
    timer.tick();
    QCOMPARE(slider->value(), 80); // the fade has not begun
    now = 45000;
    timer.tick();
    QCOMPARE(slider->value(), 40);
    QCOMPARE(player()->volume(), 40);
    now = 60000;
    timer.tick();
    QCOMPARE(player()->state(), Player::State::Stopped);
    QCOMPARE(slider->value(), 80); // back where it was
    QVERIFY(!timer.isActive() && !w.listening().lblSleep->isVisibleTo(&w));
    QVERIFY(w.isVisible());

    // Switched off in the middle of a fade: the volume comes back, nothing stops.
    w.vbTuneIn();
    QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Player::State::Playing, 30000);
    answer("2", "cmdOK");
    now += 100000;
    timer.tick();
    QVERIFY(slider->value() < 80);
    answer("2", "cmdOff");
    QVERIFY(!timer.isActive());
    QCOMPARE(slider->value(), 80);
    QCOMPARE(player()->state(), Player::State::Playing);
    player()->stop();
}

QTEST_MAIN(TestListening)
#include "tst_listening.moc"
