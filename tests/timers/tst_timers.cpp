// Timers in the real window, set through the Timers window as a user sets them, against a local
// Icecast station and a clock of the test's: a recording makes one playable file, a wake-up starts
// low and fades in, and what was missed or damaged is reported at start.

#include "StreamServers.h"
#include "TunerFixture.h"

#include "app/Preferences.h"
#include "listening/Listening.h"
#include "listening/NowPlaying.h"
#include "listening/Recorder.h"
#include "timers/TimerClock.h"
#include "timers/TimerFile.h"
#include "timers/Timers.h"
#include "timers/frmTimer.h"
#include "timers/frmTimers.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTreeWidget>

namespace {

const QDate kDay(2030, 1, 7);

} // namespace

class TestTimers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { MsgBox::takeShown(); }

    void recordTimerMakesOneFile();
    void wakeUpStartsLowAndFadesIn();
    void missedAndDamagedAreReportedAtStart();

private:
    // The window over the local station (and one more on the same stream), timers on the test's clock.
    void open(TestAppDir &dir, std::unique_ptr<frmMain> &window);
    // Fills the Add dialog of the Timers window and presses OK.
    void add(frmMain &w, bool record, const QString &name, QTime time, int minutes, int volume = 50);

    std::unique_ptr<IcecastServer> m_icecast;
    QDateTime m_now;
};

void TestTimers::initTestCase()
{
    startTests();
    QVERIFY2(IcecastServer::available(), "icecast2 and ffmpeg are needed");
    m_icecast = std::make_unique<IcecastServer>();
    QVERIFY2(m_icecast->start(), qPrintable(m_icecast->errorText()));
}

void TestTimers::open(TestAppDir &dir, std::unique_ptr<frmMain> &window)
{
    dir.addStation("Test Station", "Jazz", m_icecast->streamUrl());
    dir.addStation("Other Station", "Jazz", m_icecast->streamUrl() + "?other");
    window = openWindow();
    m_now = QDateTime(kDay, QTime(6, 50));
    window->timers().clock().setClock([this] { return m_now; });
}

void TestTimers::add(frmMain &w, bool record, const QString &name, QTime time, int minutes, int volume)
{
    frmTimers *list = w.timers().timersWindow();
    QVERIFY(list && list->isVisible());
    bool filled = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<frmTimer *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QString("Add Timer"));
        QCOMPARE(dialog->dtpDate->date(), kDay);
        dialog->cboKind->setCurrentIndex(record ? 1 : 0);
        QTest::keyClicks(dialog->txtName, name);
        dialog->cboStation->setCurrentText("Test Station");
        dialog->tmeTime->setTime(time);
        dialog->txtMinutes->setValue(minutes);
        dialog->txtVolume->setValue(volume);
        dialog->cmdOK->click();
        filled = true;
        if (dialog->isVisible())
            dialog->reject(); // refused: the reason is among the messages
    });
    list->cmdAdd->click();
    QVERIFY(filled);
}

void TestTimers::recordTimerMakesOneFile()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz"));
    QTemporaryDir music;
    Preferences::setValue("Recording/Folder", music.path());
    std::unique_ptr<frmMain> window;
    open(dir, window);
    frmMain &w = *window;
    Timers &timers = w.timers();

    // After the menu's own items.
    const QList<QAction *> items = w.mnuPlay->actions();
    QVERIFY(items.indexOf(w.mnuPlayTimers) > items.indexOf(w.mnuPlayTray));
    QCOMPARE(w.mnuPlayTimers->text(), QString("&Timers..."));
    w.mnuPlayTimers->trigger();
    QCOMPARE(timers.timersWindow()->windowTitle(), QString("Timers"));
    add(w, true, "Morning show", QTime(7, 0), 1);
    QCOMPARE(MsgBox::takeShown(), QStringList());
    QTreeWidget *list = timers.timersWindow()->lstTimers;
    QCOMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(0), QString("Morning show"));
    QCOMPARE(list->topLevelItem(0)->checkState(0), Qt::Checked);
    // In the status bar, read by its words; in its own file.
    QVERIFY(timers.lblTimer->isVisibleTo(&w));
    QCOMPARE(timers.lblTimer->text(), QString("\u23F0 07:00"));
    QCOMPARE(timers.lblTimer->accessibleName(), QString("Next timer 07:00, Morning show"));
    QList<Timer> stored;
    QVERIFY(TimerFile::load(timers.filePath(), stored));
    QCOMPARE(stored.size(), 1);

    // One that overlaps is refused, naming the first.
    add(w, false, "Wake", QTime(7, 0), 0);
    QCOMPARE(MsgBox::takeShown(), QStringList{"This timer overlaps \"Morning show\" (Record, 2030-01-07 07:00)."});
    QCOMPARE(list->topLevelItemCount(), 1);

    // Listening to another station when it starts: asked once, records by default.
    doubleClickEntry(w, "Other Station");
    QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Player::State::Playing, 30000);
    m_now = QDateTime(kDay, QTime(7, 0));
    timers.clock().tick();
    const QStringList asked = MsgBox::takeShown();
    QCOMPARE(asked.size(), 1);
    QVERIFY2(asked[0].startsWith("It is time to record \"Morning show\" from Test Station until 07:01."),
             qPrintable(asked[0]));
    Recorder &recorder = w.listening().recorder();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.isRecording(), 40000);
    QCOMPARE(w.listening().nowPlaying().station().name, QString("Test Station"));
    QVERIFY(w.mnuPlayRecord->isChecked());
    QVERIFY(timers.trayText().contains("Recording: Morning show until 07:01"));
    // A new title goes into the same file.
    QVERIFY(m_icecast->setTitle("Next Song"));
    QTRY_COMPARE_WITH_TIMEOUT(player()->icyTitle(), QString("Next Song"), 40000);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(recorder.currentFile()).size() > 40000, 30000);

    m_now = QDateTime(kDay, QTime(7, 1));
    timers.clock().tick();
    QVERIFY(!recorder.isRecording());
    QCOMPARE(player()->state(), Player::State::Stopped);
    QCOMPARE(QDir(music.path()).entryList(QDir::Files), QStringList{"Test Station - 2030-01-07 07-00.mp3"});
    QVERIFY(StreamTools::probedSeconds(music.filePath("Test Station - 2030-01-07 07-00.mp3")) > 2.0);
    QVERIFY(!timers.lblTimer->isVisibleTo(&w)); // nothing more to come

    // Deleted after a question.
    MsgBox::presetAnswer(MsgBox::Answer::Yes);
    timers.timersWindow()->cmdDelete->click();
    QCOMPARE(list->topLevelItemCount(), 0);
    QVERIFY(TimerFile::load(timers.filePath(), stored) && stored.isEmpty());
}

void TestTimers::wakeUpStartsLowAndFadesIn()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz"));
    std::unique_ptr<frmMain> window;
    open(dir, window);
    frmMain &w = *window;
    Timers &timers = w.timers();
    auto *slider = w.RealAudio1[frmMain::Volume]->findChild<QSlider *>("sldVolume");
    slider->setValue(100);
    w.mnuPlayTimers->trigger();
    add(w, false, "", QTime(7, 0), 0, 80);
    QCOMPARE(timers.timersWindow()->lstTimers->topLevelItem(0)->text(0), QString("Test Station"));
    // Every day, from the Edit dialog.
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<frmTimer *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        for (QCheckBox *day : dialog->chkDay)
            day->setChecked(true);
        dialog->cmdOK->click();
    });
    timers.timersWindow()->cmdEdit->click();
    QCOMPARE(timers.clock().timers().first().days, 0x7f);

    m_now = QDateTime(kDay, QTime(7, 0));
    timers.clock().tick();
    QCOMPARE(player()->volume(), 1);
    QCOMPARE(slider->value(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Player::State::Playing, 30000);
    m_now = m_now.addSecs(30);
    timers.clock().tick();
    QCOMPARE(player()->volume(), 40);
    m_now = m_now.addSecs(30);
    timers.clock().tick();
    QCOMPARE(player()->volume(), 80);
    QCOMPARE(slider->value(), 80);
    QVERIFY(!timers.clock().running());
    QCOMPARE(player()->state(), Player::State::Playing); // plays on

    // The next day another station plays: the wake-up says so and leaves it as it is.
    doubleClickEntry(w, "Other Station");
    QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Player::State::Playing, 30000);
    m_now = QDateTime(kDay.addDays(1), QTime(7, 0));
    timers.clock().tick();
    QCOMPARE(w.StatusBar1->text(), QString("Wake up \"Test Station\" did not start: Other Station plays."));
    QCOMPARE(player()->volume(), 80);
    QCOMPARE(w.listening().nowPlaying().station().name, QString("Other Station"));

    // Switched off by its tick, it does not come again.
    timers.timersWindow()->lstTimers->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    QVERIFY(!timers.clock().timers().first().enabled);
    QVERIFY(!timers.lblTimer->isVisibleTo(&w));
    player()->stop();
}

void TestTimers::missedAndDamagedAreReportedAtStart()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz"));
    dir.addStation("Test Station", "Jazz", m_icecast->streamUrl());
    // A wake-up every day ten minutes ago, last handled a day before that: missed at start.
    const QDateTime now = QDateTime::currentDateTime();
    Timer missed;
    missed.name = "Morning show";
    missed.station = "Test Station";
    missed.time = QTime(now.addSecs(-600).time().hour(), now.addSecs(-600).time().minute());
    missed.days = 0x7f;
    missed.handled = now.addDays(-1);
    const QString path = TimerFile::pathBeside(dir.dbPath());
    QVERIFY(TimerFile::save(path, {missed}));
    {
        const std::unique_ptr<frmMain> w = openWindow();
        QTRY_COMPARE_WITH_TIMEOUT(MsgBox::shown().size(), 1, 10000);
        QVERIFY2(MsgBox::takeShown()[0].startsWith("Missed: Morning show, "), "");
        QVERIFY(player()->state() == Player::State::Idle || player()->state() == Player::State::Stopped);
    }
    // Reported once: handled now.
    {
        const std::unique_ptr<frmMain> w = openWindow();
        QTest::qWait(100);
        QCOMPARE(MsgBox::takeShown(), QStringList());
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{ not timers");
    file.close();
    const std::unique_ptr<frmMain> w = openWindow();
    QTRY_COMPARE_WITH_TIMEOUT(MsgBox::shown().size(), 1, 10000);
    QVERIFY(MsgBox::takeShown()[0].startsWith("The timers could not be read from"));
    QVERIFY(QFile::exists(path + ".bad"));
    QVERIFY(w->timers().clock().timers().isEmpty());
}

QTEST_MAIN(TestTimers)
#include "tst_timers.moc"
