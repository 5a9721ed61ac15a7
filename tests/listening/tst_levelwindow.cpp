// Levelling in the real window (libmpv, as the tests' sound options make it): the Play menu's
// item and its preference, the reading in the status bar, and the gain kept beside the station
// it was learned for and given back when the station is tuned again.
#include "SoundServer.h"
#include "StreamServers.h"
#include "TunerFixture.h"

#include "app/Preferences.h"
#include "listening/Levelling.h"
#include "tuner/StatusBar.h"

#include <QAccessible>
#include <QLabel>

class TestLevelWindow : public QObject
{
    Q_OBJECT
private slots:
    void gainsAreLearnedShownAndKept();
};

void TestLevelWindow::gainsAreLearnedShownAndKept()
{
    startTests();
    QTemporaryDir files;
    const QString loudFile = files.filePath(QStringLiteral("loud.mp3"));
    const QString quietFile = files.filePath(QStringLiteral("quiet.mp3"));
    QVERIFY(StreamTools::makeProgramme(loudFile, 60, 0));
    QVERIFY(StreamTools::makeProgramme(quietFile, 60, -20));
    LocalHttpServer http;
    http.serveFile(QStringLiteral("/loud.mp3"), loudFile, "audio/mpeg");
    http.serveFile(QStringLiteral("/quiet.mp3"), quietFile, "audio/mpeg");
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Pop"));
    dir.addStation(QStringLiteral("Loud"), QStringLiteral("Pop"), http.url(QStringLiteral("/loud.mp3")));
    dir.addStation(QStringLiteral("Quiet"), QStringLiteral("Pop"), http.url(QStringLiteral("/quiet.mp3")));
    std::unique_ptr<frmMain> w = openWindow();
    auto *level = w->findChild<QAction *>(QStringLiteral("mnuPlayLevel"));
    auto *shown = w->findChild<QLabel *>(QStringLiteral("lblLoudness"));
    QVERIFY(level && shown);
    QVERIFY(level->isCheckable() && level->isChecked()); // on at first
    QCOMPARE(level->text(), QStringLiteral("Level &Loudness"));

    // Learned while it plays, shown as a reader hears it, and kept for this station only.
    doubleClickEntry(*w, QStringLiteral("Loud"));
    QTRY_VERIFY_WITH_TIMEOUT(player()->levelReading().learned, 40000);
    QTRY_VERIFY2_WITH_TIMEOUT(shown->isVisible() && shown->text().contains(QStringLiteral(" LUFS, \u2212")),
                              qPrintable(shown->text()), 5000);
    QCOMPARE(QAccessible::queryAccessibleInterface(shown)->text(QAccessible::Name), shown->text());
    doubleClickEntry(*w, QStringLiteral("Quiet"));
    QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Player::State::Playing, 30000);
    const auto kept = dir.query(QStringLiteral("select SName, Gain from StationGain"));
    QCOMPARE(kept.size(), 1);
    QCOMPARE(kept[0][0].toString(), QStringLiteral("Loud"));
    const double gain = kept[0][1].toDouble();
    QVERIFY2(std::abs(gain - (Loudness::kTargetLufs + 9)) < 1.5, qPrintable(QString::number(gain)));

    // Tuned again, the station starts at its gain.
    doubleClickEntry(*w, QStringLiteral("Loud"));
    QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Player::State::Playing, 30000);
    QVERIFY(std::abs(player()->levelReading().gain - gain) < 0.5);

    // Off: kept in the preferences, nothing shown, and libmpv's audio passes no filter.
    level->trigger();
    QCOMPARE(Preferences::value(QStringLiteral("Playback/LevelLoudness")).toBool(), false);
    QVERIFY(!shown->isVisible());
    QCOMPARE(player()->mpvProperty(QStringLiteral("af")), QString());
    player()->stop();
}

QTEST_MAIN(TestLevelWindow)
#include "tst_levelwindow.moc"
