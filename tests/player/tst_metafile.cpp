// The metafile readers: what each list format yields, and how a list is recognised.
#include "player/Metafile.h"

#include <QtTest>

using Metafile::Kind;

class TestMetafile : public QObject
{
    Q_OBJECT
private slots:
    void ramSkipsBlankAndCommentLines();
    void m3uAndRelativeEntries();
    void plsInNumberOrder();
    void asxAsFoundInTheWild();
    void xspfLocations();
    void kindByName_data();
    void kindByName();
    void kindByContent_data();
    void kindByContent();
    void whatMayBePlayed();
};

void TestMetafile::ramSkipsBlankAndCommentLines()
{
    const QByteArray ram = "\xEF\xBB\xBF# station\r\n\r\n  rtsp://a.example/live.rm  \r\n"
                           "http://b.example/live\r\n--stop--\r\nhttp://c.example/after-stop\r\n";
    QCOMPARE(Metafile::parseRam(ram), QStringList({"rtsp://a.example/live.rm", "http://b.example/live"}));
    QCOMPARE(Metafile::parseRam("pnm://old.example/x.ra\rhttp://d.example/y"),
             QStringList({"pnm://old.example/x.ra", "http://d.example/y"}));
    QVERIFY(Metafile::parseRam("\n# only comments\n\n").isEmpty());
}

void TestMetafile::m3uAndRelativeEntries()
{
    const QByteArray m3u = "#EXTM3U\n#EXTINF:-1,Radio One\nhttp://a.example/one.mp3\n#EXTINF:-1,Two\n"
                           "two/stream.aac\n/abs/three.ogg\n";
    QCOMPARE(Metafile::parse(Kind::M3u, m3u, "http://host.example/lists/radio.m3u?x=1"),
             QStringList({"http://a.example/one.mp3", "http://host.example/lists/two/stream.aac",
                          "http://host.example/abs/three.ogg"}));
    QCOMPARE(Metafile::parse(Kind::M3u, m3u, "/home/u/lists/radio.m3u"),
             QStringList({"http://a.example/one.mp3", "/home/u/lists/two/stream.aac", "/abs/three.ogg"}));
    QCOMPARE(Metafile::parse(Kind::Ram, "../up.mp3\n", "file:///home/u/lists/a.ram"), QStringList({"/home/u/up.mp3"}));
    // Windows-1252 titles and addresses do not break the reading.
    QCOMPARE(Metafile::parseM3u("#EXTINF:-1,Caf\xE9\nhttp://a.example/caf\xE9.mp3\n"),
             QStringList({QString::fromUtf8("http://a.example/caf\u00e9.mp3")}));
    // One such line among UTF-8 ones is read alone: the others stay UTF-8.
    QCOMPARE(Metafile::parseRam("\xEF\xBB\xBF/music/\xC3\xA9t\xC3\xA9.mp3\n/music/Caf\xE9.mp3\n"),
             QStringList({QString::fromUtf8("/music/\u00e9t\u00e9.mp3"), QString::fromUtf8("/music/Caf\u00e9.mp3")}));
}

void TestMetafile::plsInNumberOrder()
{
    const QByteArray pls = "[playlist]\r\nnumberofentries=3\r\nFile2=http://b.example/\r\nTitle2=B\r\n"
                           "file10=http://j.example/\r\nFILE1 = http://a.example/ \r\nFile3=\r\nLength1=-1\r\n";
    QCOMPARE(Metafile::parsePls(pls), QStringList({"http://a.example/", "http://b.example/", "http://j.example/"}));
    QCOMPARE(Metafile::parsePls("[Reference]\nRef1=http://r.example/live?MSWMExt=.asf\n"),
             QStringList({"http://r.example/live?MSWMExt=.asf"}));
    QVERIFY(Metafile::parsePls("[playlist]\nNumberOfEntries=0\n").isEmpty());
}

void TestMetafile::asxAsFoundInTheWild()
{
    // Mixed letter case, a bare "&", single quotes, an entity, a comment and a reference to
    // another list: all in document order; other tags with addresses are not entries.
    const QByteArray asx = "<ASX version=\"3.0\">\n<!-- <ref href=\"http://commented.example/\"/> -->\n"
                           "<MoreInfo href=\"http://info.example/\"/>\n"
                           "<Entry><REF HREF=\"mms://a.example/live?x=1&y=2\"/>\n"
                           "<Ref href='http://b.example/live&amp;z=3'/></Entry>\n"
                           "<entry><ref href=http://c.example/bare /></entry>\n"
                           "<ENTRYREF HREF=\"http://d.example/more.asx\"/>\n</ASX>";
    QCOMPARE(Metafile::parseAsx(asx), QStringList({"mms://a.example/live?x=1&y=2", "http://b.example/live&z=3",
                                                   "http://c.example/bare", "http://d.example/more.asx"}));
    QVERIFY(Metafile::parseAsx("<asx><entry><ref/></entry></asx>").isEmpty());
}

void TestMetafile::xspfLocations()
{
    const QByteArray xspf = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">\n"
                            "<location>http://not-a-track.example/</location>\n<trackList>\n"
                            "<track><title>A</title><location>http://a.example/a.ogg</location></track>\n"
                            "<track><location> http://b.example/b?x=1&amp;y=2 </location></track>\n"
                            "<track><location>http://c.example/cut"; // the file ends early
    QCOMPARE(Metafile::parseXspf(xspf), QStringList({"http://a.example/a.ogg", "http://b.example/b?x=1&y=2"}));
}

void TestMetafile::kindByName_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<Kind>("kind");
    QTest::newRow("ram") << "http://h.example/live.RAM" << Kind::Ram;
    QTest::newRow("rpm with query") << "http://h.example/live.rpm?id=3" << Kind::Ram;
    QTest::newRow("m3u8") << "https://h.example/hls/index.m3u8" << Kind::M3u;
    QTest::newRow("pls") << "C:\\Stations\\radio.pls" << Kind::Pls;
    QTest::newRow("local asx") << "/home/u/x.asx" << Kind::Asx;
    QTest::newRow("file url xspf") << "file:///home/u/list.xspf" << Kind::Xspf;
    QTest::newRow("stream") << "http://h.example:8000/live" << Kind::None;
    QTest::newRow("extension in query only") << "http://h.example/play?file=a.pls" << Kind::None;
    QTest::newRow("mp3") << "http://h.example/song.mp3" << Kind::None;
}

void TestMetafile::kindByName()
{
    QFETCH(QString, address);
    QFETCH(Kind, kind);
    QCOMPARE(Metafile::kindFromName(address), kind);
}

void TestMetafile::kindByContent_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QString>("type");
    QTest::addColumn<Kind>("kind");
    QTest::newRow("pls") << QByteArray("\n[Playlist]\nFile1=http://a/\n") << "" << Kind::Pls;
    QTest::newRow("m3u") << QByteArray("#EXTM3U\n#EXTINF:-1,A\nhttp://a/\n") << "" << Kind::M3u;
    QTest::newRow("hls media") << QByteArray("#EXTM3U\n#EXT-X-TARGETDURATION:6\n#EXTINF:6,\nseg1.ts\n") << ""
                               << Kind::Hls;
    QTest::newRow("hls master") << QByteArray("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\nlow.m3u8\n") << "" << Kind::Hls;
    QTest::newRow("asx") << QByteArray("<?xml version=\"1.0\"?>\n<asx version=\"3.0\">") << "" << Kind::Asx;
    QTest::newRow("xspf") << QByteArray("<?xml version=\"1.0\"?><playlist xmlns=\"http://xspf.org/ns/0/\">") << ""
                          << Kind::Xspf;
    QTest::newRow("plain list") << QByteArray("http://a.example/live\r\nrtsp://b.example/x\r\n") << "" << Kind::Ram;
    QTest::newRow("plain list as mpegurl")
        << QByteArray("http://a.example/live\n") << "audio/x-mpegurl; charset=utf-8" << Kind::M3u;
    QTest::newRow("html") << QByteArray("<!DOCTYPE html><html><body>http://x</body></html>") << "text/html"
                          << Kind::None;
    QTest::newRow("prose") << QByteArray("This station has moved.\n") << "text/plain" << Kind::None;
    QTest::newRow("mp3 frames") << QByteArray("\xFF\xFB\x90\x64\x00\x00\x00\x00http://", 16) << "audio/mpeg"
                                << Kind::None;
    QTest::newRow("id3 tag") << QByteArray("ID3\x03\x00\x00\x00\x00\x00\x21", 10) << "" << Kind::None;
    QTest::newRow("empty") << QByteArray() << "" << Kind::None;
}

void TestMetafile::kindByContent()
{
    QFETCH(QByteArray, head);
    QFETCH(QString, type);
    QFETCH(Kind, kind);
    QCOMPARE(Metafile::kindFromContent(head, type), kind);
}

void TestMetafile::whatMayBePlayed()
{
    for (const char *a : {"http://a/", "HTTPS://a/", "rtsp://a/x", "mms://a/x", "rtmp://a/x"})
        QVERIFY2(Metafile::isPlayableAddress(a, true), a);
    // Local files only from local lists; internal protocols never.
    QVERIFY(Metafile::isPlayableAddress("/home/u/a.mp3", false));
    QVERIFY(Metafile::isPlayableAddress("file:///home/u/a.mp3", false));
    QVERIFY(!Metafile::isPlayableAddress("/etc/passwd", true));
    QVERIFY(!Metafile::isPlayableAddress("file:///etc/passwd", true));
    for (const char *a : {"av://lavfi:sine", "memory://x", "edl://a;b", "ytdl://x", "lavf://x", ""})
        QVERIFY2(!Metafile::isPlayableAddress(a, false), a);
}

QTEST_MAIN(TestMetafile)
#include "tst_metafile.moc"
