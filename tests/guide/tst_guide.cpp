// The TV guide: IPTV playlists imported with their attributes, XMLTV guides read from the
// test's own HTTP server (plain, gzip, hostile), channels matched to stations, and the window.

#include "StreamServers.h"
#include "TestAppDir.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "app/Preferences.h"
#include "data/Database.h"
#include "exchange/frmImport.h"
#include "guide/GuideSources.h"
#include "guide/IptvAttributes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

class TestGuide : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        MsgBox::setRecording(true);
        MsgBox::takeShown();
    }
    void iptvPlaylistImportKeepsItsAttributes();
};

void TestGuide::iptvPlaylistImportKeepsItsAttributes()
{
    TestAppDir dir(TestAppDir::SeedStations);
    const QByteArray m3u = "#EXTM3U x-tvg-url=\"http://127.0.0.1:1/a.xml.gz, http://127.0.0.1:1/b.xml "
                           "javascript:x\" url-tvg=\"http://127.0.0.1:1/a.xml.gz\"\r\n"
                           "#EXTINF:-1 tvg-id=\"news.one\" tvg-name=\"News, One\" tvg-logo=\"http://l/1.png\" "
                           "group-title=\"News;World ; News\",News One HD\r\n"
                           "http://127.0.0.1:1/news.m3u8\r\n"
                           "#EXTINF:-1 tvg-id='sport.two' group-title=Sport,Sport, Two\r\n"
                           "http://127.0.0.1:1/sport.m3u8\r\n"
                           "#EXTINF:-1 radio=\"true\" tvg-name=\"Jazz Radio\",Jazz\r\n"
                           "http://127.0.0.1:1/jazz.mp3\r\n";
    dir.writeFile("tv.m3u", m3u);
    Module1::DatabasePath = dir.dbPath();

    const auto parsed = IptvAttributes::parse(m3u);
    QCOMPARE(parsed.guideAddresses, QStringList({"http://127.0.0.1:1/a.xml.gz", "http://127.0.0.1:1/b.xml"}));
    QCOMPARE(parsed.entries.size(), 3);
    QCOMPARE(parsed.entries[0].tvgName, "News, One"); // a quoted comma is no title
    QCOMPARE(parsed.entries[0].groups, QStringList({"News", "World"}));
    QCOMPARE(parsed.entries[1].tvgId, "sport.two");
    QCOMPARE(parsed.entries[1].groups, QStringList({"Sport"}));
    QVERIFY(parsed.entries[2].radio);

    {
        frmImport dlg;
        dlg.show();
        dlg.txtFile->setText(dir.filePath("tv.m3u"));
        QTest::mouseClick(dlg.optFileType[2], Qt::LeftButton);
        QVERIFY(dlg.chkTelevision->isEnabled() && dlg.chkTelevision->isChecked());
        dlg.cboCategory->setCurrentText("Jazz");
        MsgBox::presetAnswer(MsgBox::Answer::Yes); // take the guides
        QTest::mouseClick(dlg.Command3, Qt::LeftButton);
        QVERIFY2(dlg.lastCounts().added == 3, qPrintable(MsgBox::shown().join('|')));
        QCOMPARE(dlg.lastCounts().television, 2);
    }
    QCOMPARE(GuideSources::list(), parsed.guideAddresses);
    QCOMPARE(dir.query("select SName, Type, Category from Station where RAMFile like 'http://127.0.0.1:1/%'"
                       " order by rowid"),
             QList<QVariantList>(
                 {{"News One HD", "TV", "Television"}, {"Sport, Two", "TV", "Television"}, {"Jazz", "NET", "Jazz"}}));

    auto db = Database::open(dir.dbPath());
    QCOMPARE(IptvAttributes::logoFor(*db, "news one hd"), "http://l/1.png");
    // Carried through a rename by any writer, dropped with the station.
    dir.exec("update Station set SName = 'News 1' where SName = 'News One HD'");
    QCOMPARE(IptvAttributes::forStation(*db, "News 1").tvgId, "news.one");
    dir.exec("delete from Station where SName = 'Jazz'");
    QCOMPARE(dir.query("select SName from StationIptv order by SName"),
             QList<QVariantList>({{"News 1"}, {"Sport, Two"}}));
}

QTEST_MAIN(TestGuide)
#include "tst_guide.moc"
