#include "TestAppDir.h"
#include "app/IniFile.h"
#include "app/Module1.h"
#include "app/Preferences.h"
#include "app/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using Module1::vbReadIni;
using Module1::vbWriteIni;

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void readsLastMatchingLineByPrefix();
    void readTrimsBlanksAndKeepsInnerEquals();
    void keysAreCaseSensitiveAndLinesStartingWithBlankMatchNothing();
    void rewriteKeepsEverythingBeforeTheEqualsSign();
    void rewriteReplacesEveryDuplicate();
    void rewriteDoesNotAddAnUnknownKey();
    void eachLineKeepsItsOwnBytes();
    void emptyFileStaysEmpty();
    void lfOnlyAndCrOnlyFilesReadLineByLine();
    void truthValues();
    void missingFileNamesThePath();
    void failedRewriteLeavesTheOldFileWhole();
    void aPreferenceReadsTheSameAfterAnotherChanges();
};

void TestSettings::readsLastMatchingLineByPrefix()
{
    TestAppDir dir(TestAppDir::EmptyTables,
                   "[Tuner]\r\nCategories=Jazz\r\nDataBaseFile=other.db\r\nCategories=Rock, Pop\r\n");
    QCOMPARE(vbReadIni("Categories").value(), QString("Rock, Pop"));
    // A prefix test: "DataBaseFile" belongs to key DataBase.
    QCOMPARE(vbReadIni("DataBase").value(), QString("other.db"));
    QVERIFY(!vbReadIni("ShowBanner").has_value());
}

void TestSettings::readTrimsBlanksAndKeepsInnerEquals()
{
    TestAppDir dir(TestAppDir::EmptyTables, "Categories =   Jazz ,  Rock   \r\nDataBase= a=b.db\r\nShowBanner\r\n");
    QCOMPARE(vbReadIni("Categories").value(), QString("Jazz ,  Rock"));
    QCOMPARE(vbReadIni("DataBase").value(), QString("a=b.db"));
    // A matching line without '=' is its own value.
    QCOMPARE(vbReadIni("ShowBanner").value(), QString("ShowBanner"));
}

void TestSettings::keysAreCaseSensitiveAndLinesStartingWithBlankMatchNothing()
{
    TestAppDir dir(TestAppDir::EmptyTables, "showbanner=True\r\n ShowBanner=True\r\n");
    QVERIFY(!vbReadIni("ShowBanner").has_value());
    vbWriteIni("ShowBanner", "False");
    QCOMPARE(dir.readFile("Tuner.ini"), QByteArray("showbanner=True\r\n ShowBanner=True\r\n"));
}

void TestSettings::rewriteKeepsEverythingBeforeTheEqualsSign()
{
    TestAppDir dir(TestAppDir::EmptyTables, "; note\r\nCategories  =Jazz\r\nShowBanner\r\n\r\n");
    vbWriteIni("Categories", " Rock, Pop ");
    vbWriteIni("ShowBanner", "True");
    QCOMPARE(dir.readFile("Tuner.ini"), QByteArray("; note\r\nCategories  = Rock, Pop \r\nTrue\r\n\r\n"));
    QVERIFY(!QFile::exists(dir.filePath("Tuner.tmp")));
}

void TestSettings::rewriteReplacesEveryDuplicate()
{
    TestAppDir dir(TestAppDir::EmptyTables, "Categories=A\r\nDataBase=x.db\r\nCategories=B\r\n");
    vbWriteIni("Categories", "C=D");
    QCOMPARE(dir.readFile("Tuner.ini"), QByteArray("Categories=C=D\r\nDataBase=x.db\r\nCategories=C=D\r\n"));
    QCOMPARE(vbReadIni("Categories").value(), QString("C=D"));
}

void TestSettings::rewriteDoesNotAddAnUnknownKey()
{
    TestAppDir dir(TestAppDir::EmptyTables, "DataBase=Halcyrix.db\nCategories=Jazz");
    vbWriteIni("ShowBanner", "True");
    QCOMPARE(dir.readFile("Tuner.ini"), QByteArray("DataBase=Halcyrix.db\r\nCategories=Jazz\r\n"));
}

void TestSettings::emptyFileStaysEmpty()
{
    TestAppDir dir(TestAppDir::EmptyTables, "");
    QVERIFY(!vbReadIni("DataBase").has_value());
    vbWriteIni("Categories", "Jazz");
    QCOMPARE(dir.readFile("Tuner.ini"), QByteArray());
}

void TestSettings::lfOnlyAndCrOnlyFilesReadLineByLine()
{
    QCOMPARE(IniFile::splitLines(QString("a\nb\rc\r\n\nd")), QStringList({"a", "b", "c", "", "d"}));
    TestAppDir dir(TestAppDir::EmptyTables, "DataBase=Halcyrix.db\nCategories=Jazz\nShowBanner=True\n");
    QCOMPARE(vbReadIni("DataBase").value(), QString("Halcyrix.db"));
    QCOMPARE(vbReadIni("Categories").value(), QString("Jazz"));
    vbWriteIni("Categories", "Rock");
    QCOMPARE(dir.readFile("Tuner.ini"), QByteArray("DataBase=Halcyrix.db\r\nCategories=Rock\r\nShowBanner=True\r\n"));
    // A file from an older Windows installation (not UTF-8) reads as Windows-1252.
    dir.writeFile("Tuner.ini", "Categories=Caf\xe9 \x96 Jazz\r\n");
    QCOMPARE(vbReadIni("Categories").value(), QString::fromUtf8("Café – Jazz"));
}

void TestSettings::truthValues()
{
    QCOMPARE(IniFile::toBool(QString("True")), true);
    QCOMPARE(IniFile::toBool(QString("fALSE")), false);
    QCOMPARE(IniFile::toBool(QString("-1")), true);
    QCOMPARE(IniFile::toBool(QString("0")), false);
    QCOMPARE(IniFile::toBool(std::nullopt), false);
    try {
        IniFile::toBool(QString("Yes"));
        QFAIL("a word that is no truth value must be refused");
    } catch (const RuntimeError &e) {
        QCOMPARE(e.number(), 13);
    }
}

void TestSettings::missingFileNamesThePath()
{
    TestAppDir dir;
    QFile::remove(dir.filePath("Tuner.ini"));
    try {
        vbReadIni("DataBase");
        QFAIL("reading a missing settings file must fail");
    } catch (const RuntimeError &e) {
        QCOMPARE(e.number(), 53);
        QVERIFY2(e.text().contains(dir.filePath("Tuner.ini")), qPrintable(e.text()));
    }
}

void TestSettings::failedRewriteLeavesTheOldFileWhole()
{
    TestAppDir dir(TestAppDir::EmptyTables, "Categories=Jazz\r\n");
    // A folder in the way of the scratch file makes the write fail, even for root.
    QVERIFY(QDir(dir.path()).mkdir("Tuner.tmp"));
    try {
        vbWriteIni("Categories", "Rock");
        QFAIL("the rewrite must report that it failed");
    } catch (const RuntimeError &e) {
        QVERIFY2(e.text().contains("Tuner.tmp"), qPrintable(e.text()));
    }
    QCOMPARE(dir.readFile("Tuner.ini"), QByteArray("Categories=Jazz\r\n"));
}

void TestSettings::eachLineKeepsItsOwnBytes()
{
    // One stray Windows-1252 byte on a comment line leaves the UTF-8 lines as they are, and
    // the rewrite keeps every line it does not change byte for byte.
    TestAppDir dir(TestAppDir::EmptyTables,
                   "; caf\xe9 note\r\nDataBase=Halcyrix.db\r\nCategories=Caf\xc3\xa9\r\nShowBanner=True\r\n");
    QCOMPARE(vbReadIni("Categories").value(), QString::fromUtf8("Café"));
    vbWriteIni("ShowBanner", "False");
    QCOMPARE(dir.readFile("Tuner.ini"),
             QByteArray("; caf\xe9 note\r\nDataBase=Halcyrix.db\r\nCategories=Caf\xc3\xa9\r\nShowBanner=False\r\n"));
    // A changed line is written in UTF-8, also one that was Windows-1252.
    dir.writeFile("Tuner.ini", "; \xe9t\xe9\r\nCategories=Caf\xe9\r\nDataBase=Halcyrix.db\r\n");
    QCOMPARE(vbReadIni("Categories").value(), QString::fromUtf8("Café"));
    vbWriteIni("Categories", QString::fromUtf8("Über, Café"));
    QCOMPARE(dir.readFile("Tuner.ini"), QByteArray("; \xe9t\xe9\r\nCategories=\xc3\x9c"
                                                   "ber, Caf\xc3\xa9\r\nDataBase=Halcyrix.db\r\n"));
}

void TestSettings::aPreferenceReadsTheSameAfterAnotherChanges()
{
    // The folder written twice, in [General] and in its own section, reads the same before and
    // after another preference changes.
    TestAppDir dir;
    dir.writeFile("Preferences.ini", "[General]\nRecording%2FFolder=/tmp/a\n\n[Recording]\nFolder=/tmp/b\n");
    const QString folder = Preferences::value("Recording/Folder").toString();
    Preferences::setValue("SleepTimer/Minutes", 45);
    QCOMPARE(Preferences::value("Recording/Folder").toString(), folder);
    QCOMPARE(Preferences::value("SleepTimer/Minutes").toInt(), 45);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
