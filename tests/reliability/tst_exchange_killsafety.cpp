#include "TestAppDir.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <csignal>

// An import or export killed at any moment leaves everything whole: the database passes its
// integrity check and holds all of the import or none of it, with the earlier stations as they
// were; an earlier file of the exported name holds its old or its complete new content.
class TestExchangeKillSafety : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void importKilledKeepsDatabaseWhole();
    void exportKilledKeepsEarlierFileWhole();

private:
    // Starts the worker and waits until its work is under way; returns the process.
    std::unique_ptr<QProcess> startWorker(const QStringList &args);
    // Kills the worker after delayMs; true when it had finished by itself before.
    bool killAfter(QProcess &proc, int delayMs);

    QString m_worker;
};

namespace {

constexpr int kEarlier = 300;
constexpr int kImported = 40000;

QByteArray importFile(int round)
{
    QByteArray text;
    text.reserve(kImported * 80);
    for (int i = 0; i < kImported; ++i)
        text += "R" + QByteArray::number(round) + " Station " + QByteArray::number(i) + "\tSome Town\tK" +
                QByteArray::number(i % 1000) + "\t" + QByteArray::number(88 + i % 20) + ".1\tFM\thttp://127.0.0.1:9/" +
                QByteArray::number(i) + ".mp3\tJazz\r\n";
    return text;
}

QString integrity(const TestAppDir &dir)
{
    const auto rows = dir.query(QStringLiteral("PRAGMA integrity_check"));
    return rows.isEmpty() ? QStringLiteral("no answer") : rows.first().first().toString();
}

int countLike(const TestAppDir &dir, const QString &prefix)
{
    return dir.query(QStringLiteral("SELECT count(*) FROM Station WHERE SName LIKE '%1%'").arg(prefix))
        .first()
        .first()
        .toInt();
}

QList<QVariantList> earlierRows(const TestAppDir &dir)
{
    return dir.query(QStringLiteral("SELECT rowid, * FROM Station WHERE SName LIKE 'Earlier %' ORDER BY rowid"));
}

} // namespace

void TestExchangeKillSafety::initTestCase()
{
    m_worker = QCoreApplication::applicationDirPath() + QStringLiteral("/hx_exchange_worker");
    QVERIFY(QFile::exists(m_worker));
}

std::unique_ptr<QProcess> TestExchangeKillSafety::startWorker(const QStringList &args)
{
    auto proc = std::make_unique<QProcess>();
    proc->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proc->start(m_worker, args);
    if (!proc->waitForStarted())
        return nullptr;
    QElapsedTimer clock;
    clock.start();
    while (!proc->canReadLine() && proc->state() == QProcess::Running && clock.elapsed() < 60000)
        proc->waitForReadyRead(100);
    return proc;
}

bool TestExchangeKillSafety::killAfter(QProcess &proc, int delayMs)
{
    if (proc.waitForFinished(delayMs))
        return true;
    ::kill(static_cast<pid_t>(proc.processId()), SIGKILL);
    proc.waitForFinished();
    return false;
}

void TestExchangeKillSafety::importKilledKeepsDatabaseWhole()
{
    TestAppDir dir;
    dir.exec(QStringLiteral("INSERT INTO Station (SName, Location, Category) WITH RECURSIVE n(i) AS "
                            "(SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                            "SELECT 'Earlier ' || i, 'Town ' || i, 'Talk' FROM n")
                 .arg(kEarlier - 1));
    const auto before = earlierRows(dir);
    QCOMPARE(before.size(), kEarlier);

    // A first import runs to its end: it shows how long an import takes, so that the kills
    // below can land anywhere in it.
    dir.writeFile(QStringLiteral("r0.hcs"), importFile(0));
    QElapsedTimer clock;
    auto proc = startWorker({QStringLiteral("import"), dir.filePath(QStringLiteral("r0.hcs"))});
    QVERIFY(proc);
    clock.start();
    QVERIFY(proc->waitForFinished(120000));
    QCOMPARE(proc->exitCode(), 0);
    const int importMs = int(clock.elapsed());
    QCOMPARE(countLike(dir, QStringLiteral("R0 ")), kImported);
    int committedRows = kEarlier + kImported;

    int rolledBack = 0, whole = 0;
    for (int round = 1; round <= 8; ++round) {
        const QString name = QStringLiteral("r%1.hcs").arg(round);
        dir.writeFile(name, importFile(round));
        proc = startWorker({QStringLiteral("import"), dir.filePath(name)});
        QVERIFY(proc);
        killAfter(*proc, QRandomGenerator::global()->bounded(std::max(1, importMs)));

        QCOMPARE(integrity(dir), QStringLiteral("ok"));
        const int got = countLike(dir, QStringLiteral("R%1 ").arg(round));
        QVERIFY2(got == 0 || got == kImported,
                 qPrintable(QStringLiteral("round %1: %2 of %3 stations stored").arg(round).arg(got).arg(kImported)));
        (got == 0 ? rolledBack : whole) += 1;
        committedRows += got;
        QCOMPARE(dir.query(QStringLiteral("SELECT count(*) FROM Station")).first().first().toInt(), committedRows);
        QCOMPARE(earlierRows(dir), before);
    }
    // At least one kill landed while the import was writing.
    QVERIFY2(rolledBack > 0, qPrintable(QStringLiteral("every import finished before its kill (%1 ms)").arg(importMs)));
    qInfo("import of %d stations: %d ms; %d kills rolled back, %d found it complete", kImported, importMs, rolledBack,
          whole);
}

void TestExchangeKillSafety::exportKilledKeepsEarlierFileWhole()
{
    TestAppDir dir;
    dir.exec(QStringLiteral("INSERT INTO Station (SName, Location, RAMFile, Category) WITH RECURSIVE n(i) AS "
                            "(SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                            "SELECT 'Export ' || i, 'Town ' || i, 'http://127.0.0.1:9/' || i, 'News' FROM n")
                 .arg(kImported - 1));
    const QString reference = dir.filePath(QStringLiteral("reference.hcs"));
    QElapsedTimer clock;
    auto proc = startWorker({QStringLiteral("export"), reference});
    QVERIFY(proc);
    clock.start();
    QVERIFY(proc->waitForFinished(120000));
    QCOMPARE(proc->exitCode(), 0);
    const int exportMs = int(clock.elapsed());
    const QByteArray complete = dir.readFile(QStringLiteral("reference.hcs"));
    QCOMPARE(complete.count('\n'), kImported);

    QByteArray old;
    for (int i = 0; i < 2000; ++i)
        old += "Old station " + QByteArray::number(i) + "\tHere\t\t\t\t\tOld\r\n";
    int keptOld = 0, replaced = 0;
    for (int round = 0; round < 8; ++round) {
        dir.writeFile(QStringLiteral("stations.hcs"), old);
        proc = startWorker({QStringLiteral("export"), dir.filePath(QStringLiteral("stations.hcs"))});
        QVERIFY(proc);
        killAfter(*proc, QRandomGenerator::global()->bounded(std::max(1, exportMs)));
        const QByteArray now = dir.readFile(QStringLiteral("stations.hcs"));
        QVERIFY2(now == old || now == complete,
                 qPrintable(QStringLiteral("round %1: a file of %2 bytes, neither the old nor the new one")
                                .arg(round)
                                .arg(now.size())));
        (now == old ? keptOld : replaced) += 1;
    }
    QVERIFY2(keptOld > 0, qPrintable(QStringLiteral("every export finished before its kill (%1 ms)").arg(exportMs)));
    qInfo("export of %d stations: %d ms; %d kills kept the old file, %d found the new one", kImported, exportMs,
          keptOld, replaced);
}

QTEST_GUILESS_MAIN(TestExchangeKillSafety)
#include "tst_exchange_killsafety.moc"
