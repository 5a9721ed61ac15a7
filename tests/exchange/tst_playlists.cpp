// Playlists of other players as station lists: read, imported through the dialog in both
// modes, exported and opened again by a real other player.

#include "StreamServers.h"
#include "TestAppDir.h"
#include "app/Application.h"
#include "app/CommonDialog.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "exchange/Playlist.h"
#include "exchange/frmExport.h"
#include "exchange/frmImport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QtTest>

namespace {

QStringList namesOf(const Playlist::Stations &read)
{
    QStringList out;
    for (const auto &s : read.stations)
        out << s.SName + " -> " + s.RAMFile;
    return out;
}

// Name, type, metafile and category of every station, in stored order.
QStringList rows(const TestAppDir &dir)
{
    QStringList out;
    for (const QVariantList &r :
         dir.query("select SName, Type, RAMFile, Category, Location from Station order by rowid"))
        out << QStringList{r[0].toString(), r[1].toString(), r[2].toString(), r[3].toString(), r[4].toString()}.join(
            '|');
    return out;
}

frmImport::Counts importPlaylist(const QString &fileName, const QString &category = QString(), bool replace = false)
{
    frmImport dlg;
    dlg.show();
    dlg.txtFile->setText(fileName);
    QTest::mouseClick(dlg.optFileType[2], Qt::LeftButton);
    if (!category.isEmpty())
        dlg.cboCategory->setCurrentText(category);
    if (replace)
        QTest::mouseClick(dlg.optAction[1], Qt::LeftButton);
    QTest::mouseClick(dlg.Command3, Qt::LeftButton);
    return dlg.lastCounts();
}

} // namespace

class TestPlaylists : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        MsgBox::setRecording(true);
        MsgBox::takeShown();
        CommonDialog::clearPresets();
    }

    void readsEachKind();
    void namesAndAddressesThatDoNotFit();
    void exportAndImportThroughTheDialogs();
    void anotherPlayerOpensTheExport();
};

void TestPlaylists::readsEachKind()
{
    // Extended m3u: titles after the first comma outside quoted attributes; an entry without
    // #EXTINF is named by its host; relative entries are made absolute against the file.
    const QByteArray m3u = "\xEF\xBB\xBF#EXTM3U\r\n"
                           "#EXTINF:-1 tvg-logo=\"a,b.png\",Radio Ünïcode, Vienna\r\n"
                           "http://one.example:8000/live\r\n"
                           "# a comment\r\n"
                           "https://two.example/stream.mp3\r\n"
                           "local/station.pls\r\n";
    QCOMPARE(
        namesOf(Playlist::read(m3u, "/music/lists/mine.m3u8", "Pop")),
        QStringList({"Radio Ünïcode, Vienna -> http://one.example:8000/live",
                     "two.example -> https://two.example/stream.mp3", "station -> /music/lists/local/station.pls"}));
    // A UTF-8 list that holds one Windows-1252 title: that line alone is read as Windows-1252.
    const QByteArray mixed = "#EXTM3U\n#EXTINF:-1,\xF0\x9F\x8E\xB6 Music\nhttp://m.example/\n"
                             "#EXTINF:-1,Caf\xE9 Ol\xE9\nhttp://c.example/\n";
    QCOMPARE(namesOf(Playlist::read(mixed, "/x.m3u8", "Pop")),
             QStringList({"🎶 Music -> http://m.example/", "Café Olé -> http://c.example/"}));
    const auto one = Playlist::read(m3u, "/x.m3u", "Pop").stations.front();
    QCOMPARE(one.Type, QString("NET"));
    QCOMPARE(one.Category, QString("Pop"));

    // pls: TitleN names FileN, in the order of N.
    const QByteArray pls = "[playlist]\nFile2=http://b.example/\nTitle2=Bee FM\nFile1=http://a.example/\n"
                           "NumberOfEntries=2\nVersion=2\n";
    QCOMPARE(namesOf(Playlist::read(pls, "/x.pls", "Pop")),
             QStringList({"a.example -> http://a.example/", "Bee FM -> http://b.example/"}));

    // xspf: the title may follow the location.
    const QByteArray xspf = "<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
                            "<trackList><track><location>http://x.example/a</location><title>Ex &amp; Why</title>"
                            "</track><track><location>http://y.example/b</location></track></trackList></playlist>";
    QCOMPARE(namesOf(Playlist::read(xspf, "/x.xspf", "Pop")),
             QStringList({"Ex & Why -> http://x.example/a", "y.example -> http://y.example/b"}));

    // A list without its header is read by its name; an HLS stream or audio data is no station list.
    QCOMPARE(Playlist::read("http://plain.example/s\n", "/x.m3u", "Pop").stations.size(), size_t(1));
    QVERIFY(!Playlist::read("#EXTM3U\n#EXT-X-TARGETDURATION:6\nseg1.ts\n", "/x.m3u8", "Pop").isList);
    QVERIFY(!Playlist::read(QByteArray("ID3\x03\0\0\0", 8), "/x.m3u", "Pop").isList);
}

void TestPlaylists::namesAndAddressesThatDoNotFit()
{
    QCOMPARE(Playlist::shortenName("The Very Long Name Of A Station Somewhere"), QString("The Very Long Name Of A"));
    QCOMPARE(Playlist::shortenName("Exactly thirty characters long"), QString("Exactly thirty characters long"));
    QCOMPARE(Playlist::shortenName("Supercalifragilisticexpialidocious FM"), QString("Supercalifragilisticexpialidoc"));
    QCOMPARE(Playlist::shortenName(QString(29, 'a') + "\U0001F4FB"), QString(29, 'a')); // no half character

    const QString longAddress = "http://long.example/" + QString(81, 'x');
    // Only what a player opens becomes a station: script and data addresses are left out.
    const QByteArray m3u = "#EXTM3U\n#EXTINF:-1,A Name That Is Far Too Long For The Field\nhttp://a.example/\n"
                           "#EXTINF:-1,Too Long Address\n" +
                           longAddress.toUtf8() +
                           "\njavascript:alert(1)\ndata:text/html,x\nmms://m.example/s\nrtsp://r.example/s\n"
                           "file:///srv/a.mp3\n";
    const Playlist::Stations read = Playlist::read(m3u, "/x.m3u", "Pop");
    QCOMPARE(namesOf(read),
             QStringList({"A Name That Is Far Too Long -> http://a.example/", "m.example -> mms://m.example/s",
                          "r.example -> rtsp://r.example/s", "a -> file:///srv/a.mp3"}));
    QCOMPARE(read.shortened, 1);
    QCOMPARE(read.leftOut, 1);
    QCOMPARE(read.notStreams, 2);

    // The import reports both at the end.
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    dir.exec("insert into Category (Name) values ('Pop')");
    dir.writeFile("long.m3u", m3u);
    const frmImport::Counts counts = importPlaylist(dir.filePath("long.m3u"));
    QCOMPARE(counts.added, 4);
    const QStringList shown = MsgBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].contains("1 station names were longer than 30 characters"));
    QVERIFY(shown[0].contains("1 entries were left out: their address is longer"));
    QVERIFY(shown[0].contains("2 entries were left out: their address is no stream"));
}

void TestPlaylists::exportAndImportThroughTheDialogs()
{
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    dir.addStation("Öko FM", "Jazz", "http://oeko.example/live.mp3", "FM", "88.1", "Graz");
    dir.addStation("No Stream", "Jazz");
    dir.addStation("Line\nBreak", "Pop", "http://lb.example/");

    // Browsing to a .m3u name picks the playlist; the file dialog then offers playlists first.
    {
        frmExport dlg;
        dlg.show();
        QCOMPARE(dlg.optFileType[2]->text(), QString("Playlist (.m3u)"));
        CommonDialog::presetNextFileName(dir.filePath("out.m3u"));
        QTest::mouseClick(dlg.Command1, Qt::LeftButton);
        QVERIFY(dlg.optFileType[2]->isChecked());
        CommonDialog::presetNextFileName(dir.filePath("out.m3u"));
        QTest::mouseClick(dlg.Command1, Qt::LeftButton);
        QVERIFY(CommonDialog::lastFilter().startsWith("Playlists (*.m3u)|*.m3u|Halcyrix Station Files"));
        QTest::mouseClick(dlg.Command3, Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
    }
    QCOMPARE(dir.readFile("out.m3u"), QString("#EXTM3U\n#EXTINF:-1,Öko FM\nhttp://oeko.example/live.mp3\n"
                                              "#EXTINF:-1,Line Break\nhttp://lb.example/\n")
                                          .toUtf8());

    // Into another database: the playlist type below the two others, the category from the
    // existing ones, the first viewed one chosen.
    TestAppDir other;
    Module1::DatabasePath = other.dbPath();
    Module1::ViewCategories = "talk, Jazz";
    other.exec("insert into Category (Name) values ('Jazz'), ('Rock'), ('Talk')");
    other.addStation("Öko FM", "Rock", "http://old.example/", "FM", "", "Graz");
    {
        frmImport dlg;
        dlg.show();
        QCOMPARE(dlg.optFileType[2]->text(), QString("Playlist (.m3u, .m3u8, .pls, .xspf)"));
        QVERIFY(!dlg.cboCategory->isEnabled());
        QCOMPARE(dlg.cboCategory->currentText(), QString("Talk"));
        CommonDialog::presetNextFileName(dir.filePath("out.m3u"));
        QTest::mouseClick(dlg.Command1, Qt::LeftButton);
        QVERIFY(dlg.optFileType[2]->isChecked());
        QVERIFY(dlg.cboCategory->isEnabled());
        QCOMPARE(dlg.cboCategory->count(), 3);
        QTest::mouseClick(dlg.Command3, Qt::LeftButton);
        // Keep mode: the station already there is passed over, and the user is told.
        QCOMPARE(dlg.lastCounts().added, 1);
        QCOMPARE(dlg.lastCounts().passedOver, 1);
        QVERIFY(MsgBox::takeShown().value(0).contains("1 entries were passed over"));
    }
    QCOMPARE(rows(other),
             QStringList({"Öko FM|FM|http://old.example/|Rock|Graz", "Line Break|NET|http://lb.example/|Talk|"}));

    // Replace mode: name, type, metafile and category come from the playlist; the rest stays.
    const frmImport::Counts counts = importPlaylist(dir.filePath("out.m3u"), "Jazz", true);
    QCOMPARE(counts.replaced, 2);
    QCOMPARE(rows(other), QStringList({"Öko FM|NET|http://oeko.example/live.mp3|Jazz|Graz",
                                       "Line Break|NET|http://lb.example/|Jazz|"}));
    QVERIFY(MsgBox::takeShown().isEmpty());

    // No category at all: the import says so and adds nothing.
    TestAppDir empty;
    Module1::DatabasePath = empty.dbPath();
    QCOMPARE(importPlaylist(dir.filePath("out.m3u")).added, 0);
    QVERIFY(MsgBox::takeShown().value(0).contains("no category"));
    Module1::ViewCategories.clear();
}

void TestPlaylists::anotherPlayerOpensTheExport()
{
    if (QStandardPaths::findExecutable("mpv").isEmpty())
        QFAIL("mpv is needed (scripts/deps.sh installs it)");
    LocalHttpServer server;
    QTemporaryDir tmp;
    QVERIFY(StreamTools::makeTone(tmp.filePath("tone.mp3"), 440, 0.5));
    server.serveFile("/a.mp3", tmp.filePath("tone.mp3"), "audio/mpeg");
    server.serveFile("/b.mp3", tmp.filePath("tone.mp3"), "audio/mpeg");

    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    dir.addStation("Ärger Radio", "Jazz", server.url("/a.mp3"));
    dir.addStation("Bee, FM", "Jazz", server.url("/b.mp3"));
    {
        frmExport dlg;
        dlg.show();
        dlg.txtFile->setText(dir.filePath("list.m3u"));
        dlg.optFileType[2]->setChecked(true);
        QTest::mouseClick(dlg.Command3, Qt::LeftButton);
    }

    // mpv plays the list through, naming each entry by its title.
    QProcess mpv;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C.UTF-8");
    mpv.setProcessEnvironment(env);
    mpv.setProcessChannelMode(QProcess::MergedChannels);
    mpv.start("mpv", {"--no-config", "--ao=null", "--vo=null", "--length=0.1",
                      "--term-playing-msg=ENTRY ${playlist-pos-1}/${playlist-count} ${media-title}",
                      "--playlist=" + dir.filePath("list.m3u")});
    QDeadlineTimer deadline(60000);
    while (mpv.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(20); // the event loop serves the streams meanwhile
    const QString out = QString::fromUtf8(mpv.readAll());
    QVERIFY2(out.contains("ENTRY 1/2 Ärger Radio"), qPrintable(out));
    QVERIFY2(out.contains("ENTRY 2/2 Bee, FM"), qPrintable(out));
    QCOMPARE(server.hits("/a.mp3") > 0 && server.hits("/b.mp3") > 0, true);
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestPlaylists test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_playlists.moc"
