#include "SoakRun.h"
#include "player/StatusText.h"

#include "app/Application.h"

#include <QtTest>

// Freed memory is handed back soon under AddressSanitizer too, so that memory measured between
// tunings shows what the program keeps, not what the sanitizer holds back.
extern "C" const char *__asan_default_options()
{
    return "quarantine_size_mb=4:allocator_release_to_os_interval_ms=100";
}

// Three hundred tunings at a fast user's pace leave the program playing, with no message box,
// and holding no more memory, threads or open files than after its first twenty tunings.
class TestSoak : public QObject
{
    Q_OBJECT
private slots:
    void threeHundredTuningsLeakNothing();
};

void TestSoak::threeHundredTuningsLeakNothing()
{
    Soak::Run run;
    QVERIFY2(IcecastServer::available(), "icecast2 and ffmpeg are needed for the soak");
    QVERIFY2(run.start(), qPrintable(run.errorText()));

    Soak::Sample early, last;
    int missed = 0;
    for (int n = 0; n < 300; ++n) {
        if (!run.tune(n))
            ++missed;
        if (n == 19) {
            Soak::spin(500);
            early = Soak::sample(n + 1);
        }
    }
    QCOMPARE(missed, 0); // every double click tuned its station
    QVERIFY2(run.playsLive(), qPrintable(run.player()->statusText()));
    Soak::spin(500);
    last = Soak::sample(300);
    qInfo("after 20 tunings: %lld kB, %d threads, %d files; after 300: %lld kB, %d threads, %d files", early.rssKb,
          early.threads, early.files, last.rssKb, last.threads, last.files);

    // Errors of the failed stations showed in the status line only, and the last tuning's
    // status has replaced them.
    QCOMPARE(MsgBox::shown(), QStringList());
    QCOMPARE(run.player()->statusText(), StatusText::playing(run.player()->icyName(), run.player()->icyTitle()));
    QVERIFY2(last.rssKb - early.rssKb < 20 * 1024,
             qPrintable(QStringLiteral("memory grew by %1 kB").arg(last.rssKb - early.rssKb)));
    QVERIFY2(last.threads <= early.threads + 4,
             qPrintable(QStringLiteral("threads: %1 then %2").arg(early.threads).arg(last.threads)));
    QVERIFY2(last.files <= early.files + 8,
             qPrintable(QStringLiteral("open files: %1 then %2").arg(early.files).arg(last.files)));
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestSoak test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_soak.moc"
