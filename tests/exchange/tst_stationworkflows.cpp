// The import and export workflows run without any window: what a run that is stopped, asked or
// failed leaves behind.
#include "TestAppDir.h"
#include "data/Database.h"
#include "data/Recordset.h"
#include "exchange/StationExport.h"
#include "exchange/StationImport.h"

#include <QtTest>

namespace {

QStringList names(const TestAppDir &dir)
{
    QStringList out;
    for (const QVariantList &row : dir.query("select SName || '=' || Category from Station order by rowid"))
        out << row.at(0).toString();
    return out;
}

StationImport::Choices importOf(const QString &fileName, bool replace = false)
{
    StationImport::Choices choices;
    choices.fileName = fileName;
    choices.replace = replace;
    choices.prompt = replace;
    return choices;
}

// A cancel check that stops the work once it has been asked `stations` times.
std::function<bool()> cancelAfter(int stations)
{
    return [asked = 0, stations]() mutable { return asked++ >= stations; };
}

} // namespace

class TestStationWorkflows : public QObject
{
    Q_OBJECT
private slots:
    void cancelStopsAtTheStationAsked();
    void replaceQuestionIsAskedForStoredNamesOnly();
    void failuresAreReportedAndKeepNothing();
};

void TestStationWorkflows::cancelStopsAtTheStationAsked()
{
    TestAppDir dir;
    dir.addStation("Earlier", "Talk");
    dir.writeFile("five.hcs", "S1\t\t\t\t\t\tPop\r\nS2\t\t\t\t\t\tPop\r\nS3\t\t\t\t\t\tPop\r\n"
                              "S4\t\t\t\t\t\tPop\r\nS5\t\t\t\t\t\tPop\r\n");
    const auto db = Database::open(dir.dbPath());

    // The import keeps the stations stored before the cancel, and nothing after it.
    StationImport::Callbacks callbacks;
    callbacks.cancelled = cancelAfter(2);
    StationImport import(importOf(dir.filePath("five.hcs")), callbacks);
    QVERIFY(import.store(db));
    QVERIFY(import.counts().cancelled);
    QCOMPARE(import.counts().added, 2);
    QCOMPARE(names(dir), (QStringList{"Earlier=Talk", "S1=Pop", "S2=Pop"}));

    // The export leaves the earlier file whole and no scratch file beside it.
    dir.writeFile("out.hcs", "earlier\r\n");
    ExchangeCallbacks exportCallbacks;
    exportCallbacks.cancelled = cancelAfter(1);
    StationExport::Choices choices;
    choices.fileName = dir.filePath("out.hcs");
    const StationExport::Result result =
        StationExport::run(choices, Recordset::open(db, "Station", true), exportCallbacks);
    QVERIFY(result.cancelled);
    QVERIFY(!result.written);
    QCOMPARE(dir.readFile("out.hcs"), QByteArray("earlier\r\n"));
    QCOMPARE(QDir(dir.path()).entryList({"out*"}, QDir::Files), QStringList{"out.hcs"});
}

void TestStationWorkflows::replaceQuestionIsAskedForStoredNamesOnly()
{
    TestAppDir dir;
    for (const char *name : {"Alpha", "Beta", "Gamma", "Delta"})
        dir.addStation(name, "Old");
    dir.writeFile("new.hcs", "ALPHA\t\t\t\t\t\tNew\r\nFresh\t\t\t\t\t\tNew\r\nbeta\t\t\t\t\t\tNew\r\n"
                             "Gamma\t\t\t\t\t\tNew\r\nDelta\t\t\t\t\t\tNew\r\n");
    // Yes, No, Yes to all: the question names the station as the file spells it, comes only
    // for names stored already (in any letter case), and stops after Yes to all.
    QStringList asked;
    const QList<StationImport::Answer> answers = {StationImport::Answer::Yes, StationImport::Answer::No,
                                                  StationImport::Answer::YesToAll};
    StationImport::Callbacks callbacks;
    callbacks.replace = [&](const QString &name) {
        asked << name;
        return answers.value(asked.size() - 1, StationImport::Answer::Cancel);
    };
    StationImport import(importOf(dir.filePath("new.hcs"), true), callbacks);
    QVERIFY(import.store(Database::open(dir.dbPath())));
    QCOMPARE(asked, (QStringList{"ALPHA", "beta", "Gamma"}));
    QCOMPARE(import.counts().replaced, 3);
    QCOMPARE(import.counts().passedOver, 1);
    QCOMPARE(import.counts().added, 1);
    QCOMPARE(names(dir), (QStringList{"ALPHA=New", "Beta=Old", "Gamma=New", "Delta=New", "Fresh=New"}));
}

void TestStationWorkflows::failuresAreReportedAndKeepNothing()
{
    TestAppDir dir;
    dir.addStation("Earlier", "Talk");
    dir.writeFile("list.hcs", "S1\t\t\t\t\t\tPop\r\nS2\t\t\t\t\t\tPop\r\nBoom\t\t\t\t\t\tPop\r\nS4\t\t\t\t\t\tPop\r\n");
    // The engine fails at the third station (not a refusal of that one station): the
    // stations before it go too, and the counts say nothing was imported.
    dir.exec("create trigger boom before insert on Station when new.SName = 'Boom' "
             "begin select raise(abort, 'the disk is full'); end");
    StationImport import(importOf(dir.filePath("list.hcs")));
    QVERIFY(!import.store(Database::open(dir.dbPath())));
    QVERIFY2(import.error().startsWith("The stations could not be stored, so nothing was imported:"),
             qPrintable(import.error()));
    QVERIFY2(import.error().contains("the disk is full"), qPrintable(import.error()));
    QCOMPARE(import.counts().added, 0);
    QCOMPARE(names(dir), QStringList{"Earlier=Talk"});

    // No database at all: both say so, and no file is written.
    StationImport noDatabase(importOf(dir.filePath("list.hcs")));
    QVERIFY(!noDatabase.store(nullptr));
    QCOMPARE(noDatabase.error(), QString("The station database could not be opened, so nothing was imported."));
    StationExport::Choices choices;
    choices.fileName = dir.filePath("out.hcs");
    QCOMPARE(StationExport::run(choices, nullptr).error,
             QString("The station database could not be opened, so nothing was exported."));
    QVERIFY(!QFile::exists(choices.fileName));
}

QTEST_GUILESS_MAIN(TestStationWorkflows)
#include "tst_stationworkflows.moc"
