// The Find Stations window over the real main window, against local directory servers (the first
// of them answers 503) and a real Icecast stream.
#include "../tuner/TunerFixture.h"
#include "DirectoryStub.h"
#include "StreamServers.h"

#include "directory/frmFindStations.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableWidget>

namespace {

const QString kSearch = QStringLiteral("/json/stations/search");

// Opens the window from the File menu as a user does, runs the steps in it, then closes it.
void inFinder(frmMain &w, const std::function<void(frmFindStations &)> &steps)
{
    QTimer::singleShot(0, &w, [&] {
        auto *finder = qobject_cast<frmFindStations *>(QApplication::activeModalWidget());
        if (finder) {
            steps(*finder);
            QTest::keyClick(finder, Qt::Key_Escape);
        } else {
            QFAIL("Find Stations did not open modally");
        }
    });
    w.mnuFileFindStations->trigger();
}

void searchFor(frmFindStations &f, const QString &text)
{
    f.txtSearch->setFocus();
    f.txtSearch->setText(text);
    QTest::keyClick(f.txtSearch, Qt::Key_Return);
}

} // namespace

class TestFindStations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void searchPagesFailsOverAndKeepsItsLimits();
    void listenPlaysTheStreamAndCountsOneClick();
    void addStoresResultsWithTheirLinks();

private:
    DirectoryStub m_down; // answers 503
    DirectoryStub m_directory;
    std::unique_ptr<IcecastServer> m_icecast;
};

void TestFindStations::initTestCase()
{
    startTests();
    m_down.setMode(DirectoryStub::Mode::Status, 503);
    qputenv("HALCYRIX_DIRECTORY", (m_down.base() + QLatin1Char(',') + m_directory.base()).toUtf8());
    QVERIFY2(IcecastServer::available(), "icecast2 and ffmpeg are needed for the stream tests");
    m_icecast = std::make_unique<IcecastServer>();
    QVERIFY2(m_icecast->start(), qPrintable(m_icecast->errorText()));
}

void TestFindStations::searchPagesFailsOverAndKeepsItsLimits()
{
    const QString url = m_icecast->streamUrl();
    m_directory.serve(kSearch, DirectoryStub::stations(QStringLiteral("Jazz"), 100, url), 0);
    m_directory.serve(kSearch, DirectoryStub::stations(QStringLiteral("Jazz"), 100, url, 101), 100);
    m_directory.serve(kSearch, DirectoryStub::stations(QStringLiteral("Jazz"), 7, url, 201), 200);
    Radio radio;
    inFinder(*radio.window, [&](frmFindStations &f) {
        QVERIFY(f.chkHideBroken->isChecked());
        searchFor(f, QStringLiteral("jazz"));
        QTRY_COMPARE(f.lblCount->text(), QStringLiteral("100 stations"));
        QCOMPARE(f.grdResults->rowCount(), 100);
        QCOMPARE(f.grdResults->item(2, frmFindStations::ColName)->text(), QStringLiteral("Jazz 3"));
        QCOMPARE(f.grdResults->item(2, frmFindStations::ColFormat)->text(), QStringLiteral("MP3 128 kbit/s"));
        // The first server answered 503; the search went on to the next at once.
        QCOMPARE(m_down.hits(kSearch), 1);
        const DirectoryStub::Request asked = m_directory.requests().last();
        QCOMPARE(asked.query.queryItemValue("name"), QStringLiteral("jazz"));
        QCOMPARE(asked.query.queryItemValue("limit"), QStringLiteral("100"));
        QCOMPARE(asked.query.queryItemValue("hidebroken"), QStringLiteral("true"));
        QVERIFY(asked.userAgent.startsWith("Halcyrix/"));

        // Scrolling to the end fetches the next page, the More button the one after.
        QScrollBar *bar = f.grdResults->verticalScrollBar();
        bar->setValue(bar->maximum());
        QTRY_COMPARE(f.lblCount->text(), QStringLiteral("200 stations"));
        QTest::mouseClick(f.cmdMore, Qt::LeftButton);
        QTRY_COMPARE(f.lblCount->text(), QStringLiteral("207 stations"));
        QVERIFY(!f.cmdMore->isEnabled());  // a short page is the last
        QCOMPARE(m_down.hits(kSearch), 1); // the failed server is not tried first again

        // Nothing found, then a reply too large: each says so in the window, which stays usable.
        m_directory.serve(kSearch, "[]", 0);
        searchFor(f, QStringLiteral("nothing"));
        QTRY_COMPARE(f.lblCount->text(), QStringLiteral("No station found"));
        m_down.setMode(DirectoryStub::Mode::Normal);
        m_down.serve(kSearch, QByteArray(DirectoryClient::kMaxReplyBytes + 1, ' '));
        m_directory.serve(kSearch, QByteArray(DirectoryClient::kMaxReplyBytes + 1, ' '), 0);
        searchFor(f, QStringLiteral("huge"));
        QTRY_VERIFY(f.lblMessage->text().contains(QStringLiteral("larger than 4 MiB")));
        QVERIFY(f.lblMessage->isVisible() && f.cmdSearch->isEnabled());
        m_down.setMode(DirectoryStub::Mode::Status, 503);
    });
    QVERIFY(!QTest::currentTestFailed());
}

void TestFindStations::listenPlaysTheStreamAndCountsOneClick()
{
    m_directory.serve(kSearch, DirectoryStub::stations(QStringLiteral("Live"), 2, m_icecast->streamUrl()), 0);
    m_directory.serve(QStringLiteral("/json/url/Live-2"), R"({"ok": true})");
    Radio radio;
    inFinder(*radio.window, [&](frmFindStations &f) {
        searchFor(f, QStringLiteral("live"));
        QTRY_COMPARE(f.grdResults->rowCount(), 2);
        f.grdResults->selectRow(1);
        QTest::mouseClick(f.cmdListen, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Player::State::Playing, 20000);
        QCOMPARE(player()->source(), m_icecast->streamUrl());
        QTRY_COMPARE(m_directory.hits(QStringLiteral("/json/url/Live-2")), 1);
    });
    QVERIFY(!QTest::currentTestFailed());
    QCOMPARE(radio.window->windowTitle(), frmMain::startCaption() + QStringLiteral(" [Live 2]"));
    // Nothing was stored; the one play counted once.
    QCOMPARE(radio.dir.query("select count(*) from Station where SName like 'Live%'").value(0).value(0).toInt(), 0);
    QTest::qWait(300);
    QCOMPARE(m_directory.hits(QStringLiteral("/json/url/Live-2")), 1);
}

void TestFindStations::addStoresResultsWithTheirLinks()
{
    const QString url = m_icecast->streamUrl();
    const QJsonArray rows = {QJsonObject{{"stationuuid", "u-long"},
                                         {"name", "The Very Long Name Of A Jazz Station In Town"},
                                         {"url", "http://x/" + QString(120, 'a')},
                                         {"url_resolved", url},
                                         {"country", "Germany"},
                                         {"state", "Berlin"},
                                         {"homepage", "javascript:alert(1)"}},
                             QJsonObject{{"stationuuid", "u-far"},
                                         {"name", "Far Away"},
                                         {"url", "http://x/" + QString(120, 'b')},
                                         {"country", "Japan"}},
                             QJsonObject{{"stationuuid", "u-blue"}, {"name", "WJZZ"}, {"url", url}},
                             QJsonObject{{"stationuuid", "u-jazz"},
                                         {"name", "Jazz <b>Plain</b>"},
                                         {"url", url},
                                         {"homepage", "https://jazz.example/"},
                                         {"countrycode", "FR"}}};
    m_directory.serve(kSearch, QJsonDocument(rows).toJson(), 0);
    Radio radio(iniText("Pop, Jazz"), 10,
                QStringLiteral("insert into Category (Name) values ('Jazz'), ('Pop'), ('Talk')"));
    inFinder(*radio.window, [&](frmFindStations &f) {
        QCOMPARE(f.cboCategory->currentText(), QStringLiteral("Pop")); // the first viewed category
        searchFor(f, QStringLiteral("jazz"));
        QTRY_COMPARE(f.grdResults->rowCount(), 4);
        f.cboCategory->setCurrentText(QStringLiteral("Jazz"));
        f.grdResults->selectAll();
        QTest::mouseClick(f.cmdAdd, Qt::LeftButton);
        const QString report = MsgBox::takeShown().value(0);
        QVERIFY2(report.startsWith("2 stations were added to Jazz: The Very Long Name Of A Jazz, Jazz <b>Plain</b>."),
                 qPrintable(report));
        QVERIFY2(report.contains("Far Away: its address is longer than the RAMFile field allows (100 characters)."),
                 qPrintable(report));
        QVERIFY2(report.contains("WJZZ: a station of that name is stored already."), qPrintable(report));
    });
    QVERIFY(!QTest::currentTestFailed());
    QCOMPARE(radio.dir.query("select SName, Frequency, Type, CallLetters, Location, RAMFile, Category, WebPage "
                             "from Station where SName in ('The Very Long Name Of A Jazz', 'Jazz <b>Plain</b>') "
                             "order by SName"),
             (QList<QVariantList>{
                 {"Jazz <b>Plain</b>", {}, "NET", {}, "FR", url, "Jazz", "https://jazz.example/"},
                 {"The Very Long Name Of A Jazz", {}, "NET", {}, "Berlin, Germany", url, "Jazz", {}},
             }));
    QCOMPARE(radio.dir.query("select SName, StationUuid from StationLink order by SName"),
             (QList<QVariantList>{{"Jazz <b>Plain</b>", "u-jazz"}, {"The Very Long Name Of A Jazz", "u-long"}}));
    // The main list shows them at once.
    QVERIFY(listed(*radio.window).contains("The Very Long Name Of A Jazz"));
    QVERIFY(listed(*radio.window).contains("Jazz <b>Plain</b>"));
    // Tuning an added station counts one click for it.
    doubleClickEntry(*radio.window, QStringLiteral("Jazz <b>Plain</b>"));
    QTRY_COMPARE(m_directory.hits(QStringLiteral("/json/url/u-jazz")), 1);
}

QTEST_MAIN(TestFindStations)
#include "tst_findstations.moc"
