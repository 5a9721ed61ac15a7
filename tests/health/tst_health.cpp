// The station check: how each kind of dead or live address is judged, and the window's commands.

#include "../tuner/TunerFixture.h"
#include "DirectoryStub.h"
#include "HostServer.h"
#include "StreamServers.h"

#include "data/Database.h"
#include "data/StationLinks.h"
#include "health/AddressCheck.h"
#include "health/StationVerdicts.h"
#include "health/frmCheckStations.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProgressBar>
#include <QRadioButton>
#include <QTcpServer>
#include <QTreeWidget>

using Failure = AddressCheck::Failure;

class TestHealth : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void outcomes_data();
    void outcomes();
    void runAsksEachServerOnceAndKeepsToTheHostLimit();
    void windowMovesAndDeletesExactlyTheChosenStations();
    void windowKeepsTheLastCheck();
    void updateAddressTakesTheDirectorysAddress();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<LocalHttpServer> m_http;
    std::unique_ptr<IcecastServer> m_icecast;
    QTcpServer m_silent; // takes connections and never answers
    quint16 m_deadPort = 0;
    DirectoryStub m_directory;
};

void TestHealth::initTestCase()
{
    startTests();
    qputenv("HALCYRIX_DIRECTORY", m_directory.base().toUtf8());
    QVERIFY2(IcecastServer::available(), "icecast2 and ffmpeg are needed for the stream tests");
    const QString tone = m_dir.filePath(QStringLiteral("tone.mp3"));
    QVERIFY(StreamTools::makeTone(tone, 440, 2));
    m_http = std::make_unique<LocalHttpServer>();
    QVERIFY(m_http->isListening());
    m_http->serveFile(QStringLiteral("/tone.mp3"), tone, "audio/mpeg");
    m_http->serve(QStringLiteral("/page.html"), "<html><body>Welcome to our station</body></html>", "text/html");
    m_http->redirect(QStringLiteral("/moved"), m_http->url(QStringLiteral("/tone.mp3")));
    m_deadPort = StreamTools::freePort();
    m_http->serve(
        QStringLiteral("/dead.pls"),
        QStringLiteral("[playlist]\nFile1=http://127.0.0.1:%1/gone.mp3\nNumberOfEntries=1\n").arg(m_deadPort).toUtf8(),
        "audio/x-scpls");
    QVERIFY(m_silent.listen(QHostAddress::LocalHost));
    m_icecast = std::make_unique<IcecastServer>();
    QVERIFY2(m_icecast->start(), qPrintable(m_icecast->errorText()));
}

void TestHealth::outcomes_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<int>("failure");
    QTest::addColumn<int>("status");
    const auto row = [](const char *name, const QString &address, bool answers, Failure failure = Failure::Other,
                        int status = 0) { QTest::newRow(name) << address << answers << int(failure) << status; };
    row("icecast stream", m_icecast->streamUrl(), true);
    row("redirect to a live stream", m_http->url(QStringLiteral("/moved")), true);
    row("404", m_http->url(QStringLiteral("/missing.mp3")), false, Failure::HttpError, 404);
    row("nobody listens", QStringLiteral("http://127.0.0.1:%1/stream").arg(m_deadPort), false, Failure::Refused);
    row("never answers", QStringLiteral("http://127.0.0.1:%1/stream").arg(m_silent.serverPort()), false,
        Failure::TimedOut);
    row("metafile of a dead address", m_http->url(QStringLiteral("/dead.pls")), false, Failure::Refused);
    row("html page", m_http->url(QStringLiteral("/page.html")), false, Failure::NotAStream);
}

void TestHealth::outcomes()
{
    QFETCH(QString, address);
    QFETCH(bool, answers);
    QFETCH(int, failure);
    QFETCH(int, status);
    QNetworkAccessManager net;
    AddressCheck check(&net);
    QSignalSpy done(&check, &AddressCheck::finished);
    QElapsedTimer clock;
    clock.start();
    check.start(address, 1500);
    QVERIFY(done.wait(5000));
    QVERIFY2(clock.elapsed() < 4000, "the time limit holds");
    const auto outcome = done.first().first().value<AddressCheck::Outcome>();
    QVERIFY2(outcome.answers == answers, qPrintable(outcome.detail));
    if (!answers) {
        QCOMPARE(int(outcome.failure), failure);
        QCOMPARE(outcome.httpStatus, status);
        QVERIFY(!outcome.reason.isEmpty());
    }
    QCOMPARE(done.size(), 1);
}

void TestHealth::runAsksEachServerOnceAndKeepsToTheHostLimit()
{
    // A server that takes one connection at a time (503 beside another), one that takes
    // connections and never answers, one that takes none, an address nobody listens on, a name
    // that does not resolve.
    HostServer limited(HostServer::Mode::Limited);
    HostServer silent(HostServer::Mode::Silent);
    HostServer unreachable(HostServer::Mode::Unreachable);
    QVERIFY(limited.listen(QHostAddress(QStringLiteral("127.0.0.2"))));
    QVERIFY(silent.listen(QHostAddress(QStringLiteral("127.0.0.3"))));
    QVERIFY(unreachable.listen(QHostAddress(QStringLiteral("127.0.0.5"))));
    const QString refused = QStringLiteral("http://127.0.0.4:%1").arg(limited.port());
    QList<StationCheck::Station> stations;
    QHash<QString, QString> expected; // name: reason, empty when it answers
    const auto add = [&](const QString &kind, int i, const QString &address, const QString &reason) {
        const QString name = kind + QString::number(i);
        stations.append({i, name, address, QStringLiteral("Test")});
        expected.insert(name, reason);
    };
    for (int i = 0; i < 6; ++i) {
        add(QStringLiteral("limited"), i, limited.url(QStringLiteral("/s%1").arg(i)), QString());
        add(QStringLiteral("silent"), i, silent.url(QStringLiteral("/s%1").arg(i)), QStringLiteral("Timed out"));
        add(QStringLiteral("unreachable"), i, unreachable.url(QStringLiteral("/s%1").arg(i)),
            QStringLiteral("Timed out"));
        add(QStringLiteral("refused"), i, refused + QStringLiteral("/s%1").arg(i), QStringLiteral("Refused"));
        add(QStringLiteral("nohost"), i, QStringLiteral("http://nohost.halcyrix-test.invalid/s%1").arg(i),
            QStringLiteral("No such host"));
    }
    StationCheck check(StationCheck::Limits{16, 1500, 2, 1000});
    QHash<QString, QString> got;
    connect(&check, &StationCheck::checked, this, [&](const StationCheck::Result &r) {
        QVERIFY2(!got.contains(r.station.name), qPrintable(r.station.name));
        got.insert(r.station.name, r.outcome.answers ? QString() : r.outcome.reason);
    });
    QSignalSpy finished(&check, &StationCheck::finished);
    check.start(stations);
    QVERIFY(finished.wait(30000));
    QCOMPARE(got, expected);
    // Never more than two at once on a host; the silent server was tried once and then given
    // two checks, whose silence answered for the other four.
    QCOMPARE(check.mostAtOnceOnOneHost(), 2);
    QVERIFY(limited.mostAtOnce() <= 2);
    QCOMPARE(silent.accepted(), 3);
}

namespace {
QStringList rows(const frmCheckStations &w)
{
    QStringList names;
    for (int i = 0; i < w.lstFailed->topLevelItemCount(); ++i)
        names << w.lstFailed->topLevelItem(i)->text(frmCheckStations::StationColumn);
    return names;
}

void choose(frmCheckStations &w, const QStringList &names)
{
    w.lstFailed->clearSelection();
    for (int i = 0; i < w.lstFailed->topLevelItemCount(); ++i)
        if (names.contains(w.lstFailed->topLevelItem(i)->text(frmCheckStations::StationColumn)))
            w.lstFailed->topLevelItem(i)->setSelected(true);
}
} // namespace

void TestHealth::windowMovesAndDeletesExactlyTheChosenStations()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz, Pop"));
    const QString live = m_http->url(QStringLiteral("/tone.mp3"));
    dir.addStation("Alpha Live", "Jazz", live);
    dir.addStation("Zulu Gone", "Jazz", m_http->url(QStringLiteral("/missing.mp3")));
    dir.addStation("Echo Page", "Jazz", m_http->url(QStringLiteral("/page.html")));
    dir.addStation("Delta Live", "Pop", live);
    dir.addStation("beta refused", "Pop", QStringLiteral("http://127.0.0.1:%1/").arg(m_deadPort));
    dir.addStation("Talk Gone", "Talk", m_http->url(QStringLiteral("/missing.mp3")));
    auto main = openWindow();

    // The window opens beside the main window, which stays usable.
    main->mnuEditCheckStations->trigger();
    auto *w = main->findChild<frmCheckStations *>();
    QVERIFY(w && w->isVisible() && !w->isModal());
    QVERIFY(!QApplication::activeModalWidget());

    // Only the viewed categories: the dead stations in name order, with their reasons.
    w->optViewed->setChecked(true);
    w->cmdCheck->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w->check().running(), 15000);
    QCOMPARE(w->prgChecked->value(), 5);
    QCOMPARE(rows(*w), QStringList({"beta refused", "Echo Page", "Zulu Gone"}));
    QCOMPARE(w->lstFailed->topLevelItem(2)->text(frmCheckStations::ReasonColumn), QString("HTTP error 404"));

    // Two chosen ones go to a new category; nothing else changes, and the main list follows.
    choose(*w, {"beta refused", "Zulu Gone"});
    QCOMPARE(w->cboCategory->currentText(), QString("Not answering"));
    w->cmdMove->click();
    QCOMPARE(dir.query("SELECT SName, Category FROM Station ORDER BY rowid"),
             QList<QVariantList>({{"Alpha Live", "Jazz"},
                                  {"Zulu Gone", "Not answering"},
                                  {"Echo Page", "Jazz"},
                                  {"Delta Live", "Pop"},
                                  {"beta refused", "Not answering"},
                                  {"Talk Gone", "Talk"}}));
    QCOMPARE(dir.query("SELECT count(*) FROM Category WHERE Name = 'Not answering'").value(0).value(0).toInt(), 1);
    QCOMPARE(listed(*main), QStringList({"Alpha Live", "Delta Live", "Echo Page"}));

    // Delete asks once; No keeps everything, Yes deletes the chosen station alone.
    choose(*w, {"Echo Page"});
    w->cmdDelete->click();
    QCOMPARE(MsgBox::takeShown(), QStringList({"Delete the station \"Echo Page\"?"}));
    QCOMPARE(dir.query("SELECT count(*) FROM Station").value(0).value(0).toInt(), 6);
    MsgBox::presetAnswer(MsgBox::Answer::Yes);
    w->cmdDelete->click();
    QCOMPARE(MsgBox::takeShown().size(), 1);
    QCOMPARE(dir.query("SELECT SName FROM Station ORDER BY rowid"),
             QList<QVariantList>({{"Alpha Live"}, {"Zulu Gone"}, {"Delta Live"}, {"beta refused"}, {"Talk Gone"}}));
    QCOMPARE(rows(*w), QStringList({"beta refused", "Zulu Gone"}));
    QCOMPARE(listed(*main), QStringList({"Alpha Live", "Delta Live"}));

    // Closing the window ends a run at once.
    dir.addStation("Silent", "Jazz", QStringLiteral("http://127.0.0.1:%1/").arg(m_silent.serverPort()));
    w->optAll->setChecked(true);
    w->cmdCheck->click();
    QVERIFY(w->check().running());
    w->close();
    QVERIFY(!w->check().running());
    QVERIFY(MsgBox::takeShown().isEmpty());
}

void TestHealth::updateAddressTakesTheDirectorysAddress()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz"));
    const QString dead = QStringLiteral("http://127.0.0.1:%1/old").arg(m_deadPort);
    dir.addStation("Found Radio", "Jazz", dead);
    dir.addStation("Typed Radio", "Jazz", dead);
    StationLinks::link(*Database::open(dir.dbPath()), QStringLiteral("Found Radio"), QStringLiteral("U-1"));
    const QString live = m_http->url(QStringLiteral("/tone.mp3"));
    // The directory's logo comes along.
    QJsonArray found = QJsonDocument::fromJson(DirectoryStub::stations(QStringLiteral("U"), 1, live)).array();
    QJsonObject station = found.first().toObject();
    station.insert("favicon", "https://example.org/found.png");
    found[0] = station;
    m_directory.serve(QStringLiteral("/json/stations/byuuid"), QJsonDocument(found).toJson());
    auto main = openWindow();
    main->mnuEditCheckStations->trigger();
    auto *w = main->findChild<frmCheckStations *>();
    w->cmdCheck->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w->check().running(), 15000);
    QCOMPARE(rows(*w), QStringList({"Found Radio", "Typed Radio"}));

    // Only a station added from the directory can ask it.
    choose(*w, {"Typed Radio"});
    QVERIFY(!w->cmdUpdateAddress->isEnabled());
    choose(*w, {"Found Radio"});
    QVERIFY(w->cmdUpdateAddress->isEnabled());

    // The directory's address is offered; taken, it is stored and checked again at once.
    MsgBox::presetAnswer(MsgBox::Answer::Yes);
    w->cmdUpdateAddress->click();
    QTRY_VERIFY(!MsgBox::shown().isEmpty());
    QVERIFY(MsgBox::takeShown().first().contains(live));
    QCOMPARE(m_directory.requests().last().query.queryItemValue("uuids"), QString("U-1"));
    QCOMPARE(dir.query("SELECT SName, RAMFile FROM Station ORDER BY rowid"),
             QList<QVariantList>({{"Found Radio", live}, {"Typed Radio", dead}}));
    QTRY_COMPARE(w->lblSummary->text(), QString("\"Found Radio\" answers now."));
    QCOMPARE(rows(*w), QStringList({"Typed Radio"}));
    QCOMPARE(dir.query("SELECT SName, Address FROM StationLogo"),
             QList<QVariantList>({{"Found Radio", "https://example.org/found.png"}}));
}

void TestHealth::windowKeepsTheLastCheck()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz"));
    const QString live = m_http->url(QStringLiteral("/tone.mp3"));
    const QString dead = QStringLiteral("http://127.0.0.1:%1/").arg(m_deadPort);
    dir.addStation("Alpha Live", "Jazz", live);
    dir.addStation("Bravo Dead", "Jazz", dead);
    dir.addStation("Charlie Dead", "Jazz", m_http->url(QStringLiteral("/missing.mp3")));
    auto main = openWindow();
    {
        frmCheckStations w(main.get());
        w.show();
        QVERIFY(!w.cmdCheckAgain->isEnabled()); // never checked
        w.cmdCheck->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.check().running(), 15000);
    }
    // Each verdict is stored beside its station; a new window opens with the failures.
    QCOMPARE(dir.query("SELECT SName, Verdict, Reason FROM StationVerdict ORDER BY SName"),
             QList<QVariantList>({{"Alpha Live", "answers", ""},
                                  {"Bravo Dead", "fails", "Refused"},
                                  {"Charlie Dead", "fails", "HTTP error 404"}}));
    frmCheckStations w(main.get());
    w.show();
    QCOMPARE(rows(w), QStringList({"Bravo Dead", "Charlie Dead"}));
    QCOMPARE(w.lstFailed->topLevelItem(0)->text(frmCheckStations::ReasonColumn), QString("Refused"));
    QVERIFY(w.lblSummary->text().startsWith("Last checked "));

    // Check again checks the failed ones alone; one mended since answers and leaves the list,
    // its last failure still known to the main window's tool tip.
    dir.exec(QStringLiteral("UPDATE Station SET RAMFile = '%1' WHERE SName = 'Bravo Dead'").arg(live));
    QVERIFY(w.cmdCheckAgain->isEnabled());
    w.cmdCheckAgain->click();
    QCOMPARE(w.check().total(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(!w.check().running(), 15000);
    QCOMPARE(rows(w), QStringList({"Charlie Dead"}));
    QCOMPARE(dir.query("SELECT Verdict, FailedReason FROM StationVerdict WHERE SName = 'Bravo Dead'"),
             QList<QVariantList>({{"answers", "Refused"}}));
    main->tuneStation(QStringLiteral("Bravo Dead"), live);
    QVERIFY2(main->DBList1->toolTip().contains("Last failed a check on"), qPrintable(main->DBList1->toolTip()));
    main->tuneStation(QStringLiteral("Alpha Live"), live);
    QVERIFY(main->DBList1->toolTip().isEmpty());
}

QTEST_MAIN(TestHealth)
#include "tst_health.moc"
