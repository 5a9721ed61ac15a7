#include "exchange/StationFormats.h"

#include <QtTest>

using StationList::Station;

namespace {

Station station(const QString &name, const QString &location, const QString &call, const QString &freq,
                const QString &type, const QString &ram, const QString &category, const QString &web = {})
{
    Station s;
    s.SName = name;
    s.Location = location;
    s.CallLetters = call;
    s.Frequency = freq;
    s.Type = type;
    s.RAMFile = ram;
    s.Category = category;
    s.WebPage = web;
    return s;
}

// A Corvane record: texts padded with spaces to their field lengths, band little-endian.
QByteArray corvaneRecord(const QByteArray &name, const QByteArray &ram, const QByteArray &location,
                         const QByteArray &category, const QByteArray &call, const QByteArray &freq, qint16 band)
{
    QByteArray r;
    auto put = [&r](const QByteArray &text, int length) { r += text.leftJustified(length, ' ', true); };
    put(name, 30);
    put(ram, 40);
    put(location, 30);
    put(category, 20);
    put(call, 4);
    put(freq, 5);
    r += char(quint16(band) & 0xFF);
    r += char(quint16(band) >> 8);
    r += '\0';
    return r;
}

int count(const QByteArray &text, const char *what)
{
    return int(text.count(what));
}

} // namespace

class TestStationFormats : public QObject
{
    Q_OBJECT
private slots:
    void stationFileKeepsOrderAndFields();
    void emptyStationIsSixTabs();
    void linesOfAnyFieldCount_data();
    void linesOfAnyFieldCount();
    void tabInsideAValueShiftsTheLaterFields();
    void stationFileTextAndLineEnds();
    void webPageRowsAndLiveLink();
    void webPageEscapesEveryValue();
    void webPageLinksOnlyWebAndStreamAddresses();
    void corvaneRecords();
    void fileNameRules();
};

void TestStationFormats::stationFileKeepsOrderAndFields()
{
    const std::vector<Station> stations = {station("KEXP", "Seattle, WA", "KEXP", "90.3", "FM",
                                                   "https://kexp.example/s.pls", "Eclectic", "https://kexp.example/"),
                                           station("Café Jazz", "Montréal", "", "", "NET", "", "Jazz"),
                                           station("Ω radio", "", "", "1400", "AM", "", "News"),
                                           // a name that begins with a zero-width no-break space
                                           station("\uFEFFZed", "", "", "", "NET", "", "Pop")};
    QByteArray file;
    for (const Station &s : stations)
        StationList::appendStationLine(file, s);

    QCOMPARE(count(file, "\r\n"), 4);
    QVERIFY(file.endsWith("\r\n"));
    QVERIFY(file.startsWith("KEXP\tSeattle, WA\tKEXP\t90.3\tFM\thttps://kexp.example/s.pls\tEclectic\r\n"));
    QVERIFY(!file.contains("https://kexp.example/\t")); // no web page in the station file
    QVERIFY(file.contains("Caf\xc3\xa9 Jazz"));         // written as UTF-8

    const std::vector<Station> back = StationList::readStationFile(file);
    QCOMPARE(back.size(), size_t(4));
    for (size_t i = 0; i < back.size(); ++i) {
        Station expected = stations[i];
        expected.WebPage.clear();
        expected.supplied = StationList::HasAll & ~StationList::HasWebPage;
        QCOMPARE(back[i], expected);
    }
}

void TestStationFormats::emptyStationIsSixTabs()
{
    QByteArray line;
    StationList::appendStationLine(line, Station());
    QCOMPARE(line, QByteArray("\t\t\t\t\t\t\r\n"));
    const std::vector<Station> back = StationList::readStationFile(line);
    QCOMPARE(back.size(), size_t(1));
    QCOMPARE(back[0].SName, QString(""));
    QCOMPARE(back[0].Category, QString(""));
    QCOMPARE(back[0].supplied, unsigned(StationList::HasAll & ~StationList::HasWebPage));
}

void TestStationFormats::linesOfAnyFieldCount_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("fields"); // SName Location CallLetters Frequency Type RAMFile Category
    QTest::addColumn<unsigned>("supplied");
    using namespace StationList;
    QTest::newRow("1 field") << "Jazz" << QStringList{"", "", "", "", "", "", "Jazz"} << unsigned(HasCategory);
    QTest::newRow("empty line") << "" << QStringList{"", "", "", "", "", "", ""} << unsigned(HasCategory);
    QTest::newRow("2 fields") << "WFMU\tEclectic" << QStringList{"WFMU", "", "", "", "", "", "Eclectic"}
                              << unsigned(HasSName | HasCategory);
    QTest::newRow("3 fields") << "WFMU\tJersey City\tEclectic"
                              << QStringList{"WFMU", "Jersey City", "", "", "", "", "Eclectic"}
                              << unsigned(HasSName | HasLocation | HasCategory);
    QTest::newRow("7 fields") << "A\tB\tC\tD\tE\tF\tG" << QStringList{"A", "B", "C", "D", "E", "F", "G"}
                              << unsigned(HasAll & ~HasWebPage);
    QTest::newRow("8 fields") << "A\tB\tC\tD\tE\tF\tdropped\tH" << QStringList{"A", "B", "C", "D", "E", "F", "H"}
                              << unsigned(HasAll & ~HasWebPage);
    QTest::newRow("9 fields") << "A\tB\tC\tD\tE\tF\tdropped\tH\tI" << QStringList{"A", "B", "C", "D", "E", "F", "H\tI"}
                              << unsigned(HasAll & ~HasWebPage);
}

void TestStationFormats::linesOfAnyFieldCount()
{
    QFETCH(QString, line);
    QFETCH(QStringList, fields);
    QFETCH(unsigned, supplied);
    const Station s = StationList::readStationLine(line);
    QCOMPARE((QStringList{s.SName, s.Location, s.CallLetters, s.Frequency, s.Type, s.RAMFile, s.Category}), fields);
    QCOMPARE(s.supplied, supplied);
}

void TestStationFormats::tabInsideAValueShiftsTheLaterFields()
{
    QByteArray line;
    StationList::appendStationLine(line, station("Two\tWords", "Here", "CALL", "1", "FM", "ram", "Pop"));
    QCOMPARE(count(line, "\t"), 7);
    const Station s = StationList::readStationFile(line).at(0);
    QCOMPARE(s.SName, QString("Two"));
    QCOMPARE(s.Location, QString("Words"));
    QCOMPARE(s.CallLetters, QString("Here"));
    QCOMPARE(s.RAMFile, QString("FM"));
    QCOMPARE(s.Category, QString("Pop")); // "ram" fell on the dropped seventh field

    // A line break inside a value breaks the station in two.
    QByteArray broken;
    StationList::appendStationLine(broken, station("A\nB", "", "", "", "", "", "Pop"));
    QCOMPARE(StationList::readStationFile(broken).size(), size_t(2));
}

void TestStationFormats::stationFileTextAndLineEnds()
{
    // Windows-1252 from older installations; UTF-8 with or without a byte order mark.
    QCOMPARE(StationList::readStationFile("Caf\xe9 \x80\tJazz\r\n").at(0).SName, QString::fromUtf8("Café €"));
    QCOMPARE(StationList::readStationFile("Caf\xc3\xa9\tJazz").at(0).SName, QString::fromUtf8("Café"));
    QCOMPARE(StationList::readStationFile("\xef\xbb\xbf"
                                          "Caf\xc3\xa9\tJazz")
                 .at(0)
                 .SName,
             QString::fromUtf8("Café"));

    // CR LF, LF or CR end a line; the last line needs no end; an empty file has no lines.
    const std::vector<Station> mixed = StationList::readStationFile("A\tX\r\nB\tY\nC\tZ\rD\tW");
    QCOMPARE(mixed.size(), size_t(4));
    QCOMPARE(mixed[3].SName + mixed[3].Category, QString("DW"));
    QCOMPARE(StationList::readStationFile("").size(), size_t(0));
    QCOMPARE(StationList::readStationFile("\r\n\r\n").size(), size_t(2)); // two empty lines
}

void TestStationFormats::webPageRowsAndLiveLink()
{
    QCOMPARE(StationList::webPageHeader(),
             QByteArray("<HTML><TITLE>Station List</TITLE><BODY><CENTER><H2>Station List</H2><TABLE Border=1>\r\n"));
    QCOMPARE(StationList::webPageFooter("Halcyrix", 3, 0, "http://h.example/"),
             QByteArray("</TABLE></CENTER><BR><FONT SIZE=-1>Exported by <A HREF='http://h.example/'>Halcyrix 3.0"
                        "</a></FONT></BODY></HTML>\r\n"));

    const Station both = station("K", "L", "C", "F", "FM", "r.ram", "Pop", "w.html");
    const Station webOnly = station("K", "L", "C", "F", "FM", "", "Pop", "w.html");
    const Station ramOnly = station("K", "L", "C", "F", "FM", "r.ram", "Pop");
    auto row = [](const Station &s, bool live) {
        QByteArray out;
        StationList::appendWebPageRow(out, s, live);
        return out;
    };
    QCOMPARE(row(both, true), QByteArray("<TR><TD><A HREF='w.html'>K</A></TD><TD>L</TD><TD>C</TD><TD>F</TD><TD>FM"
                                         "</TD><TD><A HREF='r.ram'>*LIVE*</a></TD><TD>Pop</TD></TR>\r\n"));
    QCOMPARE(row(both, false), QByteArray("<TR><TD><A HREF='w.html'>K</A></TD><TD>L</TD><TD>C</TD><TD>F</TD><TD>FM"
                                          "</TD><TD>Pop</TD></TR>\r\n"));
    // A web page without a metafile: linked name, six cells even with the live link asked for.
    QCOMPARE(count(row(webOnly, true), "<TD>"), 6);
    QVERIFY(row(webOnly, true).startsWith("<TR><TD><A HREF='w.html'>K</A>"));
    // A metafile without a web page: plain name, seven cells.
    QCOMPARE(count(row(ramOnly, true), "<TD>"), 7);
    QVERIFY(row(ramOnly, true).startsWith("<TR><TD>K</TD>"));
}

void TestStationFormats::webPageEscapesEveryValue()
{
    const Station s = station("Rock & <Roll> \"Hits\"", "Zürich", "", "", "FM", "http://x.example/it's.ram",
                              QString::fromUtf8("Ünïcode 🎵"), "http://x.example/?a=1&b='2'");
    QByteArray out;
    StationList::appendWebPageRow(out, s, true);
    QCOMPARE(out, QByteArray("<TR><TD><A HREF='http://x.example/?a=1&amp;b=&#39;2&#39;'>"
                             "Rock &amp; &lt;Roll&gt; &quot;Hits&quot;</A></TD><TD>Z&#252;rich</TD><TD></TD><TD></TD>"
                             "<TD>FM</TD><TD><A HREF='http://x.example/it&#39;s.ram'>*LIVE*</a></TD>"
                             "<TD>&#220;n&#239;code &#127925;</TD></TR>\r\n"));

    // One station stays one line; half a surrogate pair becomes the replacement character.
    QByteArray odd;
    StationList::appendHtmlText(odd, QString("a\r\nb") + QChar(0xD800));
    QCOMPARE(odd, QByteArray("a&#13;&#10;b&#65533;"));
}

void TestStationFormats::webPageLinksOnlyWebAndStreamAddresses()
{
    for (const char *address : {"http://a.example/", "HTTPS://a.example/", "mms://a.example/s", "mmsh://a/s",
                                "rtsp://a/s", "rtmp://a/s", "live/r.ram", "//a.example/x"})
        QVERIFY2(StationList::isLinkAddress(QString(address)), address);
    for (const char *address : {"javascript:alert(1)", " JavaScript:alert(1)", "java\nscript:alert(1)",
                                "data:text/html,<b>x</b>", "file:///etc/passwd", "vbscript:x", "C:\\radio\\x.ram"})
        QVERIFY2(!StationList::isLinkAddress(QString(address)), address);

    const Station s =
        station("K", "L", "C", "F", "FM", "data:text/html,<script>x</script>", "Pop", "java\tscript:alert('x')");
    QByteArray out;
    StationList::appendWebPageRow(out, s, true);
    QCOMPARE(out,
             QByteArray("<TR><TD>K (java&#9;script:alert(&#39;x&#39;))</TD><TD>L</TD><TD>C</TD><TD>F</TD><TD>FM</TD>"
                        "<TD>data:text/html,&lt;script&gt;x&lt;/script&gt;</TD><TD>Pop</TD></TR>\r\n"));
}

void TestStationFormats::corvaneRecords()
{
    QByteArray file = corvaneRecord("  WXYZ Radio", "http://w.example/live.ram", "Detroit ", "News", "WXYZ", "1270", 1);
    file += corvaneRecord("FM Station", "", "", "Pop", "", "", 0);
    file += corvaneRecord("Negative", "", "", "Pop", "", "", -1);
    file += corvaneRecord("Two", "", "", "Pop", "", "", 2);
    file += corvaneRecord("Caf\xe9", "", "", "Pop", "", "", 0).left(129) + QByteArray("\0\0\0", 3);
    QCOMPARE(file.size(), 5 * StationList::CorvaneRecordLength);

    std::vector<Station> stations = StationList::readCorvaneFile(file);
    QCOMPARE(stations.size(), size_t(5));
    const Station &first = stations[0];
    QCOMPARE(first.SName, QString("WXYZ Radio"));
    QCOMPARE(first.RAMFile, QString("http://w.example/live.ram"));
    QCOMPARE(first.Location, QString("Detroit"));
    QCOMPARE(first.Category, QString("News"));
    QCOMPARE(first.CallLetters, QString("WXYZ"));
    QCOMPARE(first.Frequency, QString("1270"));
    QCOMPARE(first.Type, QString("AM"));
    QCOMPARE(first.WebPage, QString());
    QCOMPARE(stations[1].Type, QString("FM"));
    QCOMPARE(stations[2].Type, QString("AM"));
    QCOMPARE(stations[3].Type, QString("AM"));
    QCOMPARE(stations[4].SName, QString::fromUtf8("Café"));

    // Texts padded with NULs end at the first NUL; bytes after the last whole record are ignored.
    QByteArray nulPadded = corvaneRecord("Name", "", "", "Pop", "", "", 0);
    nulPadded.replace(4, 26, QByteArray(26, '\0'));
    nulPadded += "partial record";
    stations = StationList::readCorvaneFile(nulPadded);
    QCOMPARE(stations.size(), size_t(1));
    QCOMPARE(stations[0].SName, QString("Name"));
    QCOMPARE(StationList::readCorvaneFile(QByteArray(131, 'x')).size(), size_t(0));
}

void TestStationFormats::fileNameRules()
{
    QVERIFY(StationList::exportNameIsWebPage("list.html"));
    QVERIFY(StationList::exportNameIsWebPage("/tmp/LIST.HTML"));
    QVERIFY(!StationList::exportNameIsWebPage("list.htm"));
    QVERIFY(!StationList::exportNameIsWebPage("stations.hcs"));
    QVERIFY(StationList::importNameIsCorvane("stations.LsT"));
    QVERIFY(!StationList::importNameIsCorvane("stations.lst.hcs"));
    QVERIFY(!StationList::importNameIsCorvane(""));
}

QTEST_GUILESS_MAIN(TestStationFormats)
#include "tst_stationformats.moc"
