// The timers' rules against a clock of the test's, in Berlin's time zone (summer time begins on
// 2026-03-29 and ends on 2026-10-25): repeats, missed starts, overlaps, the wake-up's fade, the
// clock that starts and ends timers, and their file.

#include "timers/TimerClock.h"
#include "timers/TimerFile.h"
#include "timers/TimerRules.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kWeekdays = 0x1f; // Monday to Friday
constexpr int kEveryDay = 0x7f;

Timer repeating(Timer::Kind kind, QTime time, int days, int minutes, const QString &name = QString())
{
    Timer t;
    t.kind = kind;
    t.name = name;
    t.station = QStringLiteral("Jazz FM");
    t.time = time;
    t.days = days;
    t.minutes = minutes;
    return t;
}

Timer once(Timer::Kind kind, QDate date, QTime time, int minutes, const QString &name = QString())
{
    Timer t = repeating(kind, time, 0, minutes, name);
    t.date = date;
    return t;
}

QDateTime at(int y, int m, int d, int h, int min, int s = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min, s));
}

} // namespace

class TestTimerRules : public QObject
{
    Q_OBJECT
private slots:
    void repeatsByTheWallClockAcrossSummerTime();
    void missedStartsAndTheRestOfARecording();
    void overlapsAreRefusedNamingTheFirst();
    void clockStartsFadesAndEnds();
    void fileKeepsTimersAndSetsADamagedOneAside();
};

void TestTimerRules::repeatsByTheWallClockAcrossSummerTime()
{
    QCOMPARE(at(2026, 3, 30, 7, 0).offsetFromUtc(), 7200); // the zone is the test's

    // Weekdays at 07:00, from a Friday morning over the weekend summer time begins.
    const Timer weekdays = repeating(Timer::Kind::WakeUp, QTime(7, 0), kWeekdays, 0);
    QCOMPARE(TimerRules::nextStart(weekdays, at(2026, 3, 27, 8, 0)), at(2026, 3, 30, 7, 0));
    QCOMPARE(TimerRules::nextStart(weekdays, at(2026, 3, 30, 7, 0)), at(2026, 3, 31, 7, 0)); // not itself
    QCOMPARE(TimerRules::startsBetween(weekdays, at(2026, 3, 26, 12, 0), at(2026, 4, 3, 12, 0)).size(), 6);

    // Every day at 07:00: the day summer time begins is 23 hours long, the day it ends 25.
    const Timer daily = repeating(Timer::Kind::WakeUp, QTime(7, 0), kEveryDay, 0);
    const QList<QDateTime> spring = TimerRules::startsBetween(daily, at(2026, 3, 28, 0, 0), at(2026, 3, 30, 0, 0));
    QCOMPARE(spring.size(), 2);
    QCOMPARE(spring[0].secsTo(spring[1]), 23 * 3600);
    const QList<QDateTime> autumn = TimerRules::startsBetween(daily, at(2026, 10, 24, 0, 0), at(2026, 10, 26, 0, 0));
    QCOMPARE(autumn[0].secsTo(autumn[1]), 25 * 3600);
    QCOMPARE(autumn[1].time(), QTime(7, 0));

    // 02:30 does not exist on the spring day: the timer starts as the clock passes it, at 03:30.
    const Timer night = repeating(Timer::Kind::Record, QTime(2, 30), kEveryDay, 30);
    const auto skipped = TimerRules::nextStart(night, at(2026, 3, 29, 0, 0));
    QVERIFY(skipped && skipped->isValid());
    QCOMPARE(*skipped, at(2026, 3, 29, 3, 30));
    QCOMPARE(TimerRules::nextStart(night, *skipped), at(2026, 3, 30, 2, 30));

    // A timer on a date starts once.
    const Timer single = once(Timer::Kind::Record, QDate(2026, 5, 1), QTime(20, 0), 60);
    QCOMPARE(TimerRules::nextStart(single, at(2026, 4, 1, 0, 0)), at(2026, 5, 1, 20, 0));
    QVERIFY(!TimerRules::nextStart(single, at(2026, 5, 1, 20, 0)));
    QCOMPARE(TimerRules::startText(weekdays).count(' '), 5);
    QCOMPARE(TimerRules::startText(single), QString("2026-05-01 20:00"));
}

void TestTimerRules::missedStartsAndTheRestOfARecording()
{
    // Recorded every day 07:00-08:00, last handled three days ago: today's is still on (the rest
    // is recorded), the two before were missed.
    Timer show = repeating(Timer::Kind::Record, QTime(7, 0), kEveryDay, 60, "Morning show");
    show.handled = at(2026, 6, 7, 9, 0);
    TimerRules::Due due = TimerRules::due(show, at(2026, 6, 10, 7, 20));
    QCOMPARE(due.start, at(2026, 6, 10, 7, 0));
    QCOMPARE(due.missed, (QList<QDateTime>{at(2026, 6, 8, 7, 0), at(2026, 6, 9, 7, 0)}));
    QVERIFY(!TimerRules::due(show, at(2026, 6, 10, 8, 0)).start); // its end: over

    // A wake-up starts late only within its grace; later it was missed.
    Timer wake = repeating(Timer::Kind::WakeUp, QTime(7, 0), kEveryDay, 0, "Morning show");
    wake.handled = at(2026, 6, 10, 6, 0);
    QCOMPARE(TimerRules::due(wake, at(2026, 6, 10, 7, 0, 30)).start, at(2026, 6, 10, 7, 0));
    due = TimerRules::due(wake, at(2026, 6, 10, 7, 30));
    QVERIFY(!due.start);
    QCOMPARE(TimerRules::missedText(wake, due.missed.value(0), at(2026, 6, 10, 7, 30)),
             QString("Missed: Morning show, 07:00"));
    wake.enabled = false;
    QVERIFY(TimerRules::due(wake, at(2026, 6, 10, 7, 30)).missed.isEmpty());

    // The clock reports what was missed while the program did not run, once.
    QDateTime now = at(2026, 6, 10, 7, 30);
    TimerClock clock([&now] { return now; });
    QSignalSpy missed(&clock, &TimerClock::missed);
    QSignalSpy started(&clock, &TimerClock::started);
    wake.enabled = true;
    wake.handled = at(2026, 6, 8, 6, 0);
    clock.setTimers({wake, show});
    clock.tick();
    QCOMPARE(missed.size(), 1);
    QCOMPARE(missed[0][0].toStringList(), (QStringList{"Missed: Morning show, 07:00 (3 missed in all)",
                                                       "Missed: Morning show, 2026-06-09 07:00 (2 missed in all)"}));
    QCOMPARE(started.size(), 1); // the recording's rest
    QCOMPARE(started[0][1].toDateTime(), at(2026, 6, 10, 7, 0));
    clock.tick();
    QCOMPARE(missed.size(), 1);
    QCOMPARE(started.size(), 1);
}

void TestTimerRules::overlapsAreRefusedNamingTheFirst()
{
    const QDateTime now = at(2026, 6, 1, 12, 0);                                        // a Monday
    Timer show = repeating(Timer::Kind::Record, QTime(7, 0), 0x01, 60, "Morning show"); // Mondays 07-08
    show.id = 1;
    Timer news = once(Timer::Kind::Record, QDate(2026, 6, 3), QTime(18, 0), 30, "News");
    news.id = 2;
    const QList<Timer> kept{show, news};

    Timer wake = repeating(Timer::Kind::WakeUp, QTime(7, 30), kEveryDay, 0);
    QCOMPARE(TimerRules::problem(wake, kept, now),
             QString("This timer overlaps \"Morning show\" (Record, %1).").arg(TimerRules::startText(show)));
    wake.time = QTime(8, 0); // as the recording ends
    QVERIFY(TimerRules::problem(wake, kept, now).isEmpty());
    wake.time = QTime(6, 59); // a wake-up that plays on takes a minute
    QVERIFY(TimerRules::problem(wake, kept, now).isEmpty());
    // Next Monday's date against the weekly recording; a date far ahead too.
    Timer later = once(Timer::Kind::Record, QDate(2026, 6, 8), QTime(6, 30), 45);
    QVERIFY(TimerRules::problem(later, kept, now).contains("Morning show"));
    later.date = QDate(2027, 2, 1);
    QVERIFY(TimerRules::problem(later, kept, now).contains("Morning show"));
    // Overlapping both: the first is named. Switched off, a timer overlaps nothing.
    Timer both = repeating(Timer::Kind::Record, QTime(7, 0), kEveryDay, 720);
    QVERIFY(TimerRules::problem(both, kept, now).contains("Morning show"));
    show.enabled = false;
    QVERIFY(TimerRules::problem(both, {show, news}, now).contains("\"News\""));
    // Changing a timer does not overlap itself.
    Timer moved = news;
    moved.time = QTime(18, 10);
    QVERIFY(TimerRules::problem(moved, kept, now).isEmpty());

    // A programme of the guide: from the whole minute two minutes before to two minutes after.
    const Timer programme =
        TimerRules::forProgramme("Jazz FM", "  Late\nJazz ", at(2026, 6, 1, 23, 59).addSecs(30), at(2026, 6, 2, 1, 0));
    QCOMPARE(programme.label(), QString("Late Jazz"));
    QCOMPARE(QDateTime(programme.date, programme.time), at(2026, 6, 1, 23, 57));
    QCOMPARE(programme.minutes, 65);
    QVERIFY(TimerRules::problem(programme, kept, now).isEmpty());
    const QString emoji = QString(Timer::MaxNameLength - 1, 'x') + QString::fromUtf8("\xF0\x9F\x8E\xB5");
    QCOMPARE(TimerRules::forProgramme("Jazz FM", emoji, now, now.addSecs(60)).name,
             emoji.left(Timer::MaxNameLength - 1));

    QCOMPARE(TimerRules::problem(once(Timer::Kind::Record, QDate(2026, 6, 1), QTime(11, 0), 30), {}, now),
             QString("That time has passed."));
    QCOMPARE(TimerRules::problem(repeating(Timer::Kind::Record, QTime(9, 0), kEveryDay, 0), {}, now),
             QString("A recording needs a length."));
}

void TestTimerRules::clockStartsFadesAndEnds()
{
    QCOMPARE(TimerRules::fadeVolume(80, 0), 1); // low, not silent
    QCOMPARE(TimerRules::fadeVolume(80, 30000), 40);
    QCOMPARE(TimerRules::fadeVolume(80, 90000), 80);

    QDateTime now = at(2026, 6, 1, 6, 0);
    TimerClock clock([&now] { return now; });
    QSignalSpy started(&clock, &TimerClock::started);
    QSignalSpy ended(&clock, &TimerClock::ended);
    QSignalSpy volume(&clock, &TimerClock::wakeVolume);
    clock.setTimers({});
    Timer wake = repeating(Timer::Kind::WakeUp, QTime(7, 0), kEveryDay, 0, "Wake");
    wake.volume = 60;
    QVERIFY(clock.save(wake).isEmpty());
    QCOMPARE(clock.next()->start, at(2026, 6, 1, 7, 0));
    QVERIFY(!clock.save(repeating(Timer::Kind::Record, QTime(7, 0), 0x01, 30)).isEmpty());
    QVERIFY(clock.save(once(Timer::Kind::Record, QDate(2026, 6, 1), QTime(9, 0), 30, "Show")).isEmpty());

    now = at(2026, 6, 1, 7, 0);
    clock.tick();
    QCOMPARE(started.size(), 1);
    QCOMPARE(clock.running()->label(), QString("Wake"));
    QCOMPARE(volume.last()[0].toInt(), 1);
    now = now.addSecs(30);
    clock.tick();
    QCOMPARE(volume.last()[0].toInt(), 30);
    now = now.addSecs(30);
    clock.tick();
    QCOMPARE(volume.last()[0].toInt(), 60);
    QCOMPARE(ended.size(), 1); // a wake-up that plays on is done once it has faded in
    const int volumes = int(volume.size());
    QCOMPARE(clock.next()->timer.label(), QString("Show"));

    // Saved while its time runs, a recording starts at once and ends at its end.
    now = at(2026, 6, 1, 9, 10);
    clock.tick();
    QCOMPARE(started.size(), 2);
    QCOMPARE(clock.running()->label(), QString("Show"));
    now = at(2026, 6, 1, 9, 29, 59);
    clock.tick();
    QVERIFY(clock.running());
    now = at(2026, 6, 1, 9, 30);
    clock.tick();
    QVERIFY(!clock.running());
    QCOMPARE(ended.size(), 2);
    QCOMPARE(volume.size(), volumes);
    QCOMPARE(clock.next()->start, at(2026, 6, 2, 7, 0));
    // Switching off or deleting the timer that runs ends it.
    QVERIFY(clock.save(once(Timer::Kind::Record, QDate(2026, 6, 1), QTime(9, 30), 30, "Late")).isEmpty());
    clock.tick();
    QCOMPARE(clock.running()->label(), QString("Late"));
    clock.remove(clock.running()->id);
    QCOMPARE(ended.size(), 3);
}

void TestTimerRules::fileKeepsTimersAndSetsADamagedOneAside()
{
    QTemporaryDir dir;
    const QString path = TimerFile::pathBeside(dir.filePath("Halcyrix.db"));
    QCOMPARE(QFileInfo(path).dir(), QDir(dir.path()));
    QList<Timer> read;
    QVERIFY(TimerFile::load(path, read) && read.isEmpty()); // no file yet

    Timer show = repeating(Timer::Kind::Record, QTime(7, 0), kWeekdays, 60, "Morning show");
    show.splitByTitle = true;
    show.handled = at(2026, 3, 29, 1, 0);
    Timer wake = once(Timer::Kind::WakeUp, QDate(2026, 5, 1), QTime(6, 45), 0);
    wake.volume = 35;
    wake.enabled = false;
    wake.handled = at(2026, 10, 25, 2, 30).addSecs(3600); // the second 02:30 of the autumn night
    show.id = 1;
    wake.id = 2;
    QVERIFY(TimerFile::save(path, {show, wake}));
    QVERIFY(TimerFile::load(path, read));
    QCOMPARE(read, (QList<Timer>{show, wake}));

    // Entries damaged by hand are left out; a damaged file is set aside, not overwritten.
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"([{"kind": "record", "station": "A", "time": "07:00", "days": 1, "minutes": 0},
                   {"kind": "wake-up", "station": "", "time": "07:00", "days": 1},
                   {"kind": "wake-up", "station": "B", "time": "25:00", "days": 1},
                   {"kind": "wake-up", "station": "C", "time": "06:00", "days": 1}])");
    file.close();
    QVERIFY(TimerFile::load(path, read));
    QCOMPARE(read.size(), 1);
    QCOMPARE(read[0].station, QString("C"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[{\"kind\": \"rec");
    file.close();
    QVERIFY(!TimerFile::load(path, read));
    QVERIFY(read.isEmpty());
    QVERIFY(QFile::exists(path + ".bad") && !QFile::exists(path));
}

QTEST_GUILESS_MAIN(TestTimerRules)
#include "tst_timer_rules.moc"
