// The TV guide: IPTV playlists imported with their attributes, XMLTV guides read from the
// test's own HTTP server (plain, gzip, hostile), channels matched to stations, and the window.

#include "StreamServers.h"
#include "TestAppDir.h"
#include "TunerFixture.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "app/Preferences.h"
#include "data/Database.h"
#include "exchange/Playlist.h"
#include "exchange/frmImport.h"
#include "guide/GuideLoader.h"
#include "guide/GuideSources.h"
#include "guide/IptvAttributes.h"
#include "guide/frmGuide.h"
#include "pictures/StationLogos.h"
#include "player/RealAudio.h"
#include "timers/TimerClock.h"
#include "timers/Timers.h"
#include "timers/frmTimer.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTreeWidget>
#include <QtTest>
#include <zlib.h>

namespace {

// 2026-12-09 20:30 UTC: the tests' now.
constexpr qint64 kNow = 1796848200;

QByteArray gzip(const QByteArray &data)
{
    z_stream z{};
    deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&z, uLong(data.size()))) + 64, Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

QByteArray xmltvTime(qint64 t, const char *zone = "+0000")
{
    const int offset = QByteArray(zone) == "" ? 0 : QByteArray(zone).mid(1, 2).toInt() * 3600;
    return QDateTime::fromSecsSinceEpoch(t + offset, Qt::UTC).toString("yyyyMMddhhmmss").toLatin1() +
           (QByteArray(zone).isEmpty() ? "" : " " + QByteArray(zone));
}

// A guide of three channels around kNow: news.one in zone +0100, "Sport  Two" without zones,
// and a channel no station uses; with one programme too old to keep and two malformed ones.
QByteArray guide()
{
    QByteArray x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n<tv>\n"
                   "<channel id=\"News.One\"><display-name>News 1</display-name></channel>\n"
                   "<channel id=\"s2\"><display-name lang=\"en\">Sport  TWO</display-name></channel>\n"
                   "<channel id=\"nobody\"><display-name>Nobody TV</display-name></channel>\n";
    auto programme = [&](const char *channel, qint64 start, qint64 stop, const QByteArray &title, const char *zone) {
        x += "<programme start=\"" + xmltvTime(start, zone) + "\" stop=\"" + xmltvTime(stop, zone) + "\" channel=\"" +
             channel + "\"><title lang=\"en\">" + title +
             "</title><sub-title>Part &amp; parcel</sub-title>"
             "<desc>About &lt;it&gt;</desc></programme>\n";
    };
    programme("News.One", kNow - 9 * 3600, kNow - 8 * 3600, "Too old", "+0100");
    programme("News.One", kNow - 1800, kNow + 1800, "Evening News", "+0100");
    programme("News.One", kNow + 1800, kNow + 3600, "Weather &amp; Sea", "+0100");
    programme("s2", kNow - 600, kNow + 600, "Match Live", "");
    programme("s2", kNow + 600, kNow + 7200, "Highlights", "");
    programme("nobody", kNow - 600, kNow + 600, "Unseen", "");
    x += "<programme start=\"tomorrow\" channel=\"s2\"><title>Bad start</title></programme>\n"
         "<programme start=\"" +
         xmltvTime(kNow) + "\" channel=\"s2\"></programme>\n</tv>\n";
    return x;
}

// Loads the sources and waits; the messages of each, in order.
QStringList load(GuideLoader &loader, const QStringList &sources, Database &db)
{
    QStringList messages;
    QObject::connect(&loader, &GuideLoader::sourceDone, &loader, [&](const QString &, bool ok, const QString &message) {
        messages << (ok ? "ok: " : "failed: ") + message;
    });
    QSignalSpy done(&loader, &GuideLoader::finished);
    loader.load(sources, ChannelMatch::televisionStations(db));
    [&] { QTRY_VERIFY_WITH_TIMEOUT(done.count() == 1, 60000); }();
    loader.disconnect(&loader);
    return messages;
}

} // namespace

class TestGuide : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The guide's times in a zone of the test's, its cache in a folder of the test's.
        qputenv("TZ", "UTC");
        qputenv("XDG_CACHE_HOME", m_cache.path().toUtf8());
        startTests();
    }
    void init()
    {
        MsgBox::setRecording(true);
        MsgBox::takeShown();
    }
    void iptvPlaylistImportKeepsItsAttributes();
    void xmltvTimes();
    void guidesLoadForTheLinkedChannels();
    void hostileGuidesStopWithAMessage();
    void throughTheRealWindow();

private:
    QTemporaryDir m_cache;
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
    // A radio list with logos and groups alone is no television list.
    const auto radio =
        Playlist::read("#EXTM3U\n#EXTINF:-1 tvg-logo=\"x.png\" group-title=\"Jazz\",R\nhttp://r.example/\n", "/x.m3u",
                       "Jazz", "Television");
    QCOMPARE(radio.stations.at(0).Category, "Jazz");
    QCOMPARE(radio.iptv.at(0).logo, "x.png");

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
    QCOMPARE(StationLogos::addressFor(*db, "News One HD"), "http://l/1.png"); // the station's logo
    // Carried through a rename by any writer, dropped with the station.
    dir.exec("update Station set SName = 'News 1' where SName = 'News One HD'");
    QCOMPARE(IptvAttributes::forStation(*db, "News 1").tvgId, "news.one");
    dir.exec("delete from Station where SName = 'Jazz'");
    QCOMPARE(dir.query("select SName from StationIptv order by SName"),
             QList<QVariantList>({{"News 1"}, {"Sport, Two"}}));
}

void TestGuide::xmltvTimes()
{
    const qint64 t = QDateTime(QDate(2026, 12, 9), QTime(20, 15, 30), Qt::UTC).toSecsSinceEpoch();
    QCOMPARE(parseXmltvTime(u"20261209201530"), t); // no zone: UTC
    QCOMPARE(parseXmltvTime(u"20261209211530 +0100"), t);
    QCOMPARE(parseXmltvTime(u"20261209144530 -0530"), t);
    QCOMPARE(parseXmltvTime(u"202612092015 Z"), t - 30);
    QCOMPARE(parseXmltvTime(u"20261209"), t - (20 * 3600 + 15 * 60 + 30));
    for (const char16_t *bad : {u"", u"2026120", u"20261309000000", u"20261209201530 +01", u"tomorrow"})
        QVERIFY2(!parseXmltvTime(bad), QString::fromUtf16(bad).toUtf8());
}

void TestGuide::guidesLoadForTheLinkedChannels()
{
    TestAppDir dir;
    QTemporaryDir cache;
    GuideClock::setFixed(kNow);
    dir.addStation("News One HD", "Television", "http://127.0.0.1:1/n.m3u8", "TV");
    dir.addStation("sport two", "Television", "http://127.0.0.1:1/s.m3u8", "TV");
    dir.addStation("Nobody TV", "News", "http://127.0.0.1:1/r.mp3"); // radio: not the TV band
    auto db = Database::open(dir.dbPath());
    IptvAttributes::store(*db, "News One HD", {"news.one", "", "", {}, false});

    LocalHttpServer server;
    server.serve("/plain.xml", guide(), "text/xml");
    server.serve("/guide.xml.gz", gzip(guide()), "application/gzip");
    GuideLoader loader;
    loader.setDatabasePath(cache.filePath("guide.db"));
    QCOMPARE(load(loader, {server.url("/plain.xml"), server.url("/guide.xml.gz")}, *db),
             QStringList({"ok: 3 channels, 4 programmes kept, 2 malformed programmes skipped.",
                          "ok: 3 channels, 4 programmes kept, 2 malformed programmes skipped."}));

    GuideDatabase guideDb(cache.filePath("guide.db"));
    const auto links = ChannelMatch::link(ChannelMatch::televisionStations(*db), guideDb.channels());
    QCOMPARE(links.value("News One HD"), "News.One"); // by id, case ignored
    QCOMPARE(links.value("sport two"), "s2");         // by name, case and blanks folded
    QVERIFY(!links.contains("Nobody TV"));
    const auto [now, next] = guideDb.nowNext("News.One", kNow);
    QVERIFY(now && next);
    QCOMPARE(now->title, "Evening News");
    QCOMPARE(now->start, kNow - 1800); // the zone taken into account
    QCOMPARE(now->subTitle, "Part & parcel");
    QCOMPARE(now->description, "About <it>");
    QCOMPARE(next->title, "Weather & Sea");
    QCOMPARE(guideDb.nowNext("s2", kNow).first->start, kNow - 600);
    QVERIFY(guideDb.programmes("nobody", 0, kNow * 2).isEmpty()); // no station uses it
    QCOMPARE(guideDb.search("match", kNow).size(), 2);            // one per source

    // A later failure keeps what the source gave before.
    server.serveStatus("/plain.xml", 404);
    QCOMPARE(load(loader, {server.url("/plain.xml")}, *db),
             QStringList({"failed: The server answered 404 Not Found."}));
    QCOMPARE(guideDb.search("match", kNow).size(), 2);
    QCOMPARE(guideDb.state(server.url("/plain.xml")).message, "The server answered 404 Not Found.");
    GuideClock::setFixed(0);
}

void TestGuide::hostileGuidesStopWithAMessage()
{
    TestAppDir dir;
    QTemporaryDir cache;
    dir.addStation("News 1", "Television", "http://127.0.0.1:1/n.m3u8", "TV");
    auto db = Database::open(dir.dbPath());
    LocalHttpServer server;
    server.serve("/bomb.gz", gzip("<tv>" + QByteArray(64 << 20, ' ') + "</tv>"));
    server.serve("/entities.xml", "<?xml version=\"1.0\"?><!DOCTYPE tv [<!ENTITY a \"aaaaaaaaaa\">"
                                  "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]><tv><channel id=\"x\">"
                                  "<display-name>&b;</display-name></channel></tv>");
    server.serve("/cut.xml", "<tv><channel id=\"x\"><display-name>News 1");
    // A server that never stops sending.
    QTcpServer endless;
    QVERIFY(endless.listen(QHostAddress::LocalHost));
    connect(&endless, &QTcpServer::newConnection, &endless, [&] {
        QTcpSocket *socket = endless.nextPendingConnection();
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n\r\n<tv>");
        auto more = [socket] {
            if (socket->bytesToWrite() < (1 << 20))
                socket->write(QByteArray(256 << 10, ' '));
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, more);
        more();
    });
    GuideLoader loader;
    loader.setDatabasePath(cache.filePath("guide.db"));
    GuideLimits limits;
    limits.downloadBytes = 8 << 20;
    limits.ratio = 50;
    limits.ratioFrom = 1 << 20;
    loader.setLimits(limits);
    const QString endlessUrl = QStringLiteral("http://127.0.0.1:%1/guide.xml").arg(endless.serverPort());
    QCOMPARE(
        load(loader,
             {server.url("/bomb.gz"), server.url("/entities.xml"), server.url("/cut.xml"), endlessUrl,
              server.url("/missing.xml.gz")},
             *db),
        QStringList({"failed: The guide unpacks to more than 50 times its size (a \"gzip bomb\"), so it was not read.",
                     "failed: The guide declares XML entities, which are not read.", "failed: The guide is cut short.",
                     "failed: The guide is larger than 8 MB, more than a guide may be.",
                     "failed: The server answered 404 Not Found."}));
    QVERIFY(GuideDatabase(cache.filePath("guide.db")).channels().isEmpty());
}

void TestGuide::throughTheRealWindow()
{
    GuideClock::setFixed(kNow);
    LocalHttpServer server;
    QTemporaryDir tmp;
    QVERIFY(StreamTools::makeTone(tmp.filePath("tone.mp3"), 440, 120));
    server.serveFile("/tone.mp3", tmp.filePath("tone.mp3"), "audio/mpeg");
    server.serve("/guide.xml.gz", gzip(guide()), "application/gzip");
    TestAppDir dir(TestAppDir::EmptyTables, iniText());
    dir.exec("insert into Category (Name) values ('Television'), ('Jazz')");
    dir.addStation("Nobody Station", "Television", server.url("/tone.mp3"), "TV");
    dir.writeFile("tv.m3u", "#EXTM3U x-tvg-url=\"" + server.url("/guide.xml.gz").toUtf8() +
                                "\"\n#EXTINF:-1 tvg-id=\"news.one\",News One HD\n" + server.url("/tone.mp3").toUtf8() +
                                "\n#EXTINF:-1 tvg-name=\"Sport Two\",Sport Two\n" + server.url("/tone.mp3?2").toUtf8() +
                                "\n");
    auto window = openWindow();
    frmMain &w = *window;

    // File, Import the playlist and take its guide, as a user does.
    QSignalSpy loaded(&GuideLoader::instance(), &GuideLoader::finished);
    QTimer::singleShot(0, [&] {
        auto *dlg = qobject_cast<frmImport *>(QApplication::activeModalWidget());
        QVERIFY(dlg);
        dlg->txtFile->setText(dir.filePath("tv.m3u"));
        QTest::mouseClick(dlg->optFileType[2], Qt::LeftButton);
        MsgBox::presetAnswer(MsgBox::Answer::Yes);
        QTest::mouseClick(dlg->Command3, Qt::LeftButton);
    });
    w.mnuFileImport->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 60000);
    QCOMPARE(GuideSources::list(), QStringList({server.url("/guide.xml.gz")}));

    // Tune the channel: now and next on the status line.
    QTest::mouseClick(w.optTV, Qt::LeftButton);
    doubleClickEntry(w, "News One HD");
    QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Player::State::Playing, 30000);
    auto *line = w.RealAudio1[frmMain::StatusLine]->findChild<QLabel *>("lblStatus");
    QTRY_COMPARE_WITH_TIMEOUT(line->text(), QString("Now: Evening News (20:00–21:00) · Next: Weather & Sea"), 10000);

    // The guide window: a row read as "channel, now title, time", a search, tuning from it.
    w.mnuViewGuide->trigger();
    auto *guideWindow = w.findChild<frmGuide *>();
    QVERIFY(guideWindow && guideWindow->isVisible());
    QTreeWidgetItem *row = guideWindow->lstNowNext->findItems("News One HD", Qt::MatchExactly).value(0);
    QVERIFY(row);
    QCOMPARE(row->data(0, Qt::AccessibleTextRole).toString(), QString("News One HD, Evening News, 20:00–21:00"));
    guideWindow->tabGuide->setCurrentIndex(2);
    QTest::keyClicks(guideWindow->txtSearch, "highl");
    QCOMPARE(guideWindow->lstResults->topLevelItemCount(), 1);
    guideWindow->lstResults->setFocus();
    guideWindow->lstResults->setCurrentItem(guideWindow->lstResults->topLevelItem(0));
    QTest::keyClick(guideWindow->lstResults, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(w.windowTitle().endsWith("[Sport Two]"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(line->text(), QString("Now: Match Live (20:20–20:40) · Next: Highlights"), 30000);

    // Record the programme found: a record timer two minutes either side, kept once confirmed.
    w.timers().clock().setClock([] { return QDateTime::fromSecsSinceEpoch(kNow); });
    QVERIFY(guideWindow->cmdRecordFound->isEnabled());
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<frmTimer *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
    });
    QTest::mouseClick(guideWindow->cmdRecordFound, Qt::LeftButton);
    QCOMPARE(w.timers().clock().timers().size(), 1);
    const Timer recording = w.timers().clock().timers().first();
    QCOMPARE(recording.kind, Timer::Kind::Record);
    QCOMPARE(recording.station, QString("Sport Two"));
    QCOMPARE(recording.label(), QString("Highlights"));
    QCOMPARE(QDateTime(recording.date, recording.time), QDateTime::fromSecsSinceEpoch(kNow + 600 - 120));
    QCOMPARE(recording.minutes, (7200 - 600 + 240) / 60);

    // A station without a guide, linked by hand to a channel found by name.
    QCOMPARE(guideWindow->lstUnlinked->count(), 1);
    guideWindow->lstUnlinked->setCurrentRow(0);
    QTest::keyClicks(guideWindow->txtFindChannel, "nobody");
    QCOMPARE(guideWindow->lstChannels->count(), 1);
    QTest::mouseClick(guideWindow->cmdLink, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 2, 60000);
    QTRY_COMPARE_WITH_TIMEOUT(guideWindow->lstUnlinked->count(), 0, 10000);
    row = guideWindow->lstNowNext->findItems("Nobody Station", Qt::MatchExactly).value(0);
    QVERIFY(row);
    QCOMPARE(row->text(1), QString("Unseen"));
    GuideClock::setFixed(0);
}

QTEST_MAIN(TestGuide)
#include "tst_guide.moc"
