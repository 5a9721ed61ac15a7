// The tuner as the desktop's media controls see it: the real playerctl client on a private
// session bus the test starts, against the real window playing a local Icecast stream.

#include "DesktopSession.h"
#include "StreamServers.h"
#include "TunerFixture.h"

#include "app/Application.h"
#include "desktop/Mpris.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QProcess>
#include <QSlider>
#include <QStandardPaths>

// Collects the PropertiesChanged signals a client receives.
class ChangeRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QVariantMap> seen;
public slots:
    void changed(const QString &, const QVariantMap &properties, const QStringList &) { seen << properties; }
};

class TestMpris : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init() { MsgBox::takeShown(); }

    void playerctlControlsTheWindow();
    void televisionBandStepsChannels();
    void changesAreSignalled();
    void secondCopyAndQuit();
    void runsWithoutSessionBus();

private:
    // Runs playerctl for the tuner's player; the event loop spins meanwhile, so the service
    // in this process answers. Returns its standard output without the line end.
    QString playerctl(const QStringList &args);
    QDBusConnection bus(const QString &name) { return QDBusConnection::connectToBus(m_address, name); }

    QProcess m_daemon;
    QString m_address;
    std::unique_ptr<IcecastServer> m_icecast;
};

void TestMpris::initTestCase()
{
    startTests();
    if (QStandardPaths::findExecutable(QStringLiteral("playerctl")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        QFAIL("playerctl and dbus-daemon are needed (scripts/deps.sh installs them)");
    m_address = DesktopSession::startSessionBus(m_daemon);
    QVERIFY2(!m_address.isEmpty(), "the private session bus did not start");
    QVERIFY(bus(QStringLiteral("probe")).isConnected());

    QVERIFY2(IcecastServer::available(), "icecast2 and ffmpeg are needed");
    m_icecast = std::make_unique<IcecastServer>();
    QVERIFY2(m_icecast->start(), qPrintable(m_icecast->errorText()));
}

void TestMpris::cleanupTestCase()
{
    m_icecast.reset();
    m_daemon.terminate();
    m_daemon.waitForFinished();
}

QString TestMpris::playerctl(const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("playerctl"), QStringList{QStringLiteral("--player=halcyrix")} + args);
    if (!p.waitForStarted())
        return QStringLiteral("<not started>");
    QDeadlineTimer deadline(30000);
    while (p.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(10);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

void TestMpris::playerctlControlsTheWindow()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz"));
    const QString live = m_icecast->streamUrl();
    dir.addStation("Alpha", "Jazz", live);
    dir.addStation("Bravo", "Jazz", live + "?b");
    dir.addStation("Charlie", "Jazz", live + "?c");
    dir.addStation("Delta", "Talk", live + "?d");
    // The icon an installed program has beside it, shown by the desktop as the station's art.
    QVERIFY(QFile::copy(TestAppDir::sourceDir() + "/data/halcyrix.png", dir.filePath("halcyrix.png")));
    auto window = openWindow();
    frmMain &w = *window;
    MprisService service(w, bus(QStringLiteral("tuner")));
    QCOMPARE(service.serviceName(), QString("org.mpris.MediaPlayer2.halcyrix"));

    QCOMPARE(playerctl({"status"}), QString("Stopped"));
    // Play with nothing tuned tunes the station the list stands on.
    playerctl({"play"});
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Alpha]"));
    QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Player::State::Playing, 30000);
    QCOMPARE(playerctl({"status"}), QString("Playing"));
    QCOMPARE(playerctl({"metadata", "--format", "{{xesam:artist}}|{{xesam:title}}|{{xesam:url}}"}),
             "Alpha|Alpha|" + live);
    QCOMPARE(playerctl({"metadata", "mpris:artUrl"}), QUrl::fromLocalFile(dir.filePath("halcyrix.png")).toString());

    // The stream's own title, once the server sends it; the station stays the artist.
    QVERIFY(m_icecast->setTitle(QStringLiteral("Song Ünü")));
    QTRY_COMPARE_WITH_TIMEOUT(playerctl({"metadata", "title"}), QString("Song Ünü"), 40000);
    QCOMPARE(playerctl({"metadata", "artist"}), QString("Alpha"));

    // Next and previous are the station stepper, ends included: no wrapping, the end station again.
    const QString trackAlpha = playerctl({"metadata", "mpris:trackid"});
    playerctl({"next"});
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Bravo]"));
    QCOMPARE(playerctl({"metadata", "title"}), QString("Bravo"));
    QVERIFY(playerctl({"metadata", "mpris:trackid"}) != trackAlpha);
    playerctl({"next"});
    playerctl({"next"});
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Charlie]"));
    QCOMPARE(w.DBList1->Text(), QString("Charlie"));
    QCOMPARE(player()->source(), live + "?c");
    playerctl({"previous"});
    playerctl({"previous"});
    playerctl({"previous"});
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Alpha]"));
    QCOMPARE(playerctl({"metadata", "mpris:trackid"}), trackAlpha);

    // The volume is the slider's; no volume is the mute button.
    auto *slider = w.RealAudio1[8]->findChild<QSlider *>("sldVolume");
    auto *mute = w.RealAudio1[8]->findChild<QToolButton *>("cmdMute");
    playerctl({"volume", "0.3"});
    QCOMPARE(slider->value(), 30);
    QCOMPARE(player()->volume(), 30);
    slider->setValue(80);
    QCOMPARE(playerctl({"volume"}).toDouble(), 0.8);
    mute->click();
    QCOMPARE(playerctl({"volume"}).toDouble(), 0.0);
    playerctl({"volume", "0.5"});
    QVERIFY(!mute->isChecked());
    QCOMPARE(slider->value(), 50);

    // Play-pause stops the live stream and starts it again.
    QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Player::State::Playing, 30000);
    playerctl({"play-pause"});
    QCOMPARE(player()->state(), Player::State::Stopped);
    QCOMPARE(playerctl({"status"}), QString("Paused"));
    playerctl({"play-pause"});
    QCOMPARE(playerctl({"status"}), QString("Playing"));
    QCOMPARE(player()->source(), live);
    QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Player::State::Playing, 30000);
    playerctl({"stop"});
    QCOMPARE(playerctl({"status"}), QString("Stopped"));

    // A modal window owns the list meanwhile: stepping waits, the sound still answers.
    QDialog dialog(&w);
    dialog.setModal(true);
    dialog.show();
    playerctl({"next"});
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Alpha]"));
    playerctl({"volume", "0.2"});
    QCOMPARE(slider->value(), 20);
    dialog.close();
    QVERIFY(MsgBox::takeShown().isEmpty());
}

void TestMpris::televisionBandStepsChannels()
{
    Radio radio;
    frmMain &w = *radio.window;
    MprisService service(w, bus(QStringLiteral("tv")));
    w.optTV->click();
    // Channel 2, Channel 5: next is the channel stepper's down arrow, previous its up arrow.
    playerctl({"next"});
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Channel 5]"));
    playerctl({"next"});
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Channel 5]"));
    QCOMPARE(player()->source(), stream("ch5"));
    playerctl({"previous"});
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Channel 2]"));
    playerctl({"stop"});
}

void TestMpris::changesAreSignalled()
{
    Radio radio;
    frmMain &w = *radio.window;
    MprisService service(w, bus(QStringLiteral("signals")));
    QDBusConnection listener = bus(QStringLiteral("listener"));
    ChangeRecorder receiver;
    const QList<QVariantMap> &seen = receiver.seen;
    QVERIFY(listener.connect(service.serviceName(), MprisService::ObjectPath, "org.freedesktop.DBus.Properties",
                             "PropertiesChanged", &receiver, SLOT(changed(QString, QVariantMap, QStringList))));
    auto seenKey = [&](const QString &key, const QVariant &value) {
        for (const QVariantMap &m : std::as_const(seen))
            if (m.contains(key) && (!value.isValid() || m.value(key) == value))
                return true;
        return false;
    };
    w.RealAudio1[8]->findChild<QSlider *>("sldVolume")->setValue(55);
    QTRY_VERIFY(seenKey("Volume", 0.55));
    w.DBList1_DblClick(); // Blue Note, the list's first station, from the window itself
    QTRY_VERIFY(seenKey("PlaybackStatus", "Playing"));
    QTRY_VERIFY(seenKey("Metadata", QVariant()));
    w.Preset_Click(3); // a preset names its own row
    QTRY_COMPARE(playerctl({"metadata", "title"}), QString("P3"));
    player()->stop();
    QTRY_VERIFY(seenKey("PlaybackStatus", "Stopped"));
}

void TestMpris::secondCopyAndQuit()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz", "0"));
    dir.addStation("Alpha", "Jazz", stream("alpha"));
    auto window = openWindow();
    MprisService first(*window, bus(QStringLiteral("first")));
    MprisService second(*window, bus(QStringLiteral("second")));
    QCOMPARE(first.serviceName(), QString("org.mpris.MediaPlayer2.halcyrix"));
    QCOMPARE(second.serviceName(),
             QString("org.mpris.MediaPlayer2.halcyrix.instance%1").arg(QCoreApplication::applicationPid()));

    // Identity and desktop entry, read as any client reads them.
    QDBusConnection client = bus(QStringLiteral("client"));
    auto get = [&](const QString &property) {
        QDBusMessage m = QDBusMessage::createMethodCall(first.serviceName(), MprisService::ObjectPath,
                                                        "org.freedesktop.DBus.Properties", "Get");
        m << QStringLiteral("org.mpris.MediaPlayer2") << property;
        QDBusPendingCall call = client.asyncCall(m);
        QDeadlineTimer deadline(10000);
        while (!call.isFinished() && !deadline.hasExpired())
            QTest::qWait(10);
        return call.reply().arguments().value(0).value<QDBusVariant>().variant();
    };
    QCOMPARE(get("Identity").toString(), QString("Halcyrix"));
    QCOMPARE(get("DesktopEntry").toString(), QString("halcyrix"));

    // Quit is the close box: the window closes and saves its settings.
    client.asyncCall(QDBusMessage::createMethodCall(first.serviceName(), MprisService::ObjectPath,
                                                    "org.mpris.MediaPlayer2", "Quit"));
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 10000);
    QVERIFY(dir.readFile("Tuner.ini").contains("ShowBanner=False"));
}

void TestMpris::runsWithoutSessionBus()
{
    // The real program, with a session bus address that leads nowhere: it starts, shows its
    // window and keeps running.
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz"));
    dir.addStation("Alpha", "Jazz", stream("alpha"));
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.filePath("no-bus"));
    env.insert("HALCYRIX_HOME", dir.path());
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(QStringLiteral(HALCYRIX_PROGRAM), {});
    QVERIFY(program.waitForStarted());
    QTest::qWait(8000);
    QVERIFY2(program.state() == QProcess::Running, program.readAll().constData());
    program.terminate();
    QVERIFY(program.waitForFinished(20000));
    QVERIFY(MsgBox::takeShown().isEmpty());
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestMpris test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mpris.moc"
