#include "TestAppDir.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <csignal>

// A settings rewrite killed at any moment leaves a complete settings file: the old or the new.
class TestKillSafety : public QObject
{
    Q_OBJECT
private slots:
    void settingsSurviveAKillDuringRewrite();
};

static QByteArray settingsWith(const QByteArray &categories)
{
    QByteArray text = "DataBase=Halcyrix.db\r\nShowBanner=True\r\nCategories=" + categories + "\r\n";
    // Enough lines that a rewrite takes long enough to be interrupted in the middle.
    for (int i = 0; i < 200000; ++i)
        text += "; line " + QByteArray::number(i) + " of a long note kept on every rewrite\r\n";
    return text;
}

void TestKillSafety::settingsSurviveAKillDuringRewrite()
{
    TestAppDir dir(TestAppDir::EmptyTables, settingsWith("Start"));
    const QByteArray even = settingsWith("Even"), odd = settingsWith("Odd");
    const QString writer = QCoreApplication::applicationDirPath() + "/hx_ini_writer";
    int kills = 0;
    for (int round = 0; round < 20; ++round) {
        QProcess proc;
        proc.start(writer);
        QVERIFY2(proc.waitForStarted(), qPrintable(proc.errorString()));
        QVERIFY(proc.waitForReadyRead(10000));
        QTest::qWait(QRandomGenerator::global()->bounded(60));
        ::kill(static_cast<pid_t>(proc.processId()), SIGKILL);
        proc.waitForFinished();
        ++kills;
        const QByteArray now = dir.readFile("Tuner.ini");
        QVERIFY2(now == even || now == odd,
                 qPrintable(QString("incomplete file after kill %1: %2 bytes").arg(kills).arg(now.size())));
    }
}

QTEST_GUILESS_MAIN(TestKillSafety)
#include "tst_killsafety.moc"
