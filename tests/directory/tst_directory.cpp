// The directory client without a window: its requests as the server sees them, failover, the
// limits on replies, discovery of servers from given DNS records, and the station link table.
#include "DirectoryStub.h"
#include "TestAppDir.h"

#include "app/AppInfo.h"
#include "data/Database.h"
#include "data/StationLinks.h"
#include "directory/DirectoryClient.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Answers the DNS questions with given records, at once.
class GivenDns : public DnsSource
{
public:
    QList<SrvRecord> records;
    QStringList names;
    QStringList asked;
    void lookupService(const QString &name, std::function<void(QList<SrvRecord>)> done) override
    {
        asked << name;
        done(records);
    }
    void lookupHostNames(const QString &name, std::function<void(QStringList)> done) override
    {
        asked << name;
        done(names);
    }
};

// Runs a request to its end; true when finished() came.
bool finish(DirectoryRequest *request, QString *error = nullptr, QList<DirectoryStation> *stations = nullptr)
{
    QSignalSpy spy(request, &DirectoryRequest::finished);
    QObject::connect(request, &DirectoryRequest::finished, request, [=] {
        if (error)
            *error = request->errorText();
        if (stations)
            *stations = request->stations();
    });
    return spy.wait(20000);
}

} // namespace

class TestDirectory : public QObject
{
    Q_OBJECT
private slots:
    void searchSendsItsQueryAndName();
    void failedServerIsRetriedOnTheNextAndMovesBack_data();
    void failedServerIsRetriedOnTheNextAndMovesBack();
    void largeEndlessAndFailedRepliesEndWithAMessage();
    void lookupByIdAsksInBatches();
    void serversAreFoundFromDnsRecords();
    void linksFollowTheirStation();
};

void TestDirectory::searchSendsItsQueryAndName()
{
    DirectoryStub stub;
    stub.serve(QStringLiteral("/json/stations/search"),
               DirectoryStub::stations(QStringLiteral("Jazz"), 3, "http://x/s"));
    DirectoryClient client(std::make_shared<DirectoryServers>(QStringList{stub.base()}));
    DirectorySearch search;
    search.name = QStringLiteral("  jazz & blues ");
    search.tag = QStringLiteral("smooth");
    search.country = QStringLiteral("de");
    search.order = DirectorySearch::Order::Name;
    search.offset = 200;
    QString error;
    QList<DirectoryStation> stations;
    QVERIFY(finish(client.search(search), &error, &stations));
    QCOMPARE(error, QString());
    QCOMPARE(stations.size(), 3);
    QCOMPARE(stations[1].name, QStringLiteral("Jazz 2"));
    QCOMPARE(stations[1].uuid, QStringLiteral("Jazz-2"));
    QCOMPARE(stations[1].bitrate, 128);

    const DirectoryStub::Request r = stub.requests().value(0);
    QCOMPARE(r.path, QStringLiteral("/json/stations/search"));
    QCOMPARE(r.userAgent, QByteArray("Halcyrix/") + App::version().toUtf8());
    const auto item = [&](const char *key) { return r.query.queryItemValue(QLatin1String(key), QUrl::FullyDecoded); };
    QCOMPARE(item("name"), QStringLiteral("jazz & blues"));
    QCOMPARE(item("tag"), QStringLiteral("smooth"));
    QCOMPARE(item("countrycode"), QStringLiteral("DE"));
    QCOMPARE(item("order"), QStringLiteral("name"));
    QCOMPARE(item("reverse"), QStringLiteral("false"));
    QCOMPARE(item("offset"), QStringLiteral("200"));
    QCOMPARE(item("limit"), QStringLiteral("100"));
    QCOMPARE(item("hidebroken"), QStringLiteral("true"));

    // A country's name goes as a name; the most voted come first.
    search.country = QStringLiteral("Germany");
    search.order = DirectorySearch::Order::Votes;
    search.hideBroken = false;
    const QUrlQuery q = search.query();
    QCOMPARE(q.queryItemValue("country"), QStringLiteral("Germany"));
    QVERIFY(!q.hasQueryItem("countrycode"));
    QCOMPARE(q.queryItemValue("order"), QStringLiteral("votes"));
    QCOMPARE(q.queryItemValue("reverse"), QStringLiteral("true"));
    QCOMPARE(q.queryItemValue("hidebroken"), QStringLiteral("false"));
}

void TestDirectory::failedServerIsRetriedOnTheNextAndMovesBack_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("503") << int(DirectoryStub::Mode::Status);
    QTest::newRow("no answer") << int(DirectoryStub::Mode::Silent);
    QTest::newRow("malformed") << int(DirectoryStub::Mode::Normal);
}

void TestDirectory::failedServerIsRetriedOnTheNextAndMovesBack()
{
    QFETCH(int, mode);
    DirectoryStub bad, good;
    bad.setMode(DirectoryStub::Mode(mode));
    bad.serve(QStringLiteral("/json/stations/search"), "[{\"stationuuid\": ");
    good.serve(QStringLiteral("/json/stations/search"), DirectoryStub::stations(QStringLiteral("A"), 2, "http://x/s"));
    auto servers = std::make_shared<DirectoryServers>(QStringList{bad.base(), good.base()});
    DirectoryClient client(servers);
    client.setTimeout(1000);

    for (int round = 0; round < 2; ++round) {
        QString error;
        QList<DirectoryStation> stations;
        QVERIFY(finish(client.search({}), &error, &stations));
        QCOMPARE(error, QString());
        QCOMPARE(stations.size(), 2);
    }
    // Tried once; the second search went to the good server first.
    QCOMPARE(bad.requests().size(), 1);
    QCOMPARE(good.requests().size(), 2);
    QCOMPARE(servers->order(), (QStringList{good.base(), bad.base()}));
}

void TestDirectory::largeEndlessAndFailedRepliesEndWithAMessage()
{
    DirectoryStub big, endless, unavailable, refused;
    big.serve(QStringLiteral("/json/stations/search"), QByteArray(DirectoryClient::kMaxReplyBytes + 10, ' '));
    endless.setMode(DirectoryStub::Mode::Endless);
    unavailable.setMode(DirectoryStub::Mode::Status, 503);
    refused.setMode(DirectoryStub::Mode::Status, 400);

    const struct
    {
        QStringList bases;
        QString error;
        int tries;
    } cases[] = {
        {{big.base()}, QStringLiteral("larger than 4 MiB"), 1},
        {{endless.base()}, QStringLiteral("larger than 4 MiB"), 1},
        {{unavailable.base(), big.base()}, QStringLiteral("larger than 4 MiB"), 2}, // the last error is told
        {{big.base(), unavailable.base()}, QStringLiteral("not available now (HTTP 503)"), 2},
        {{refused.base(), big.base()}, QStringLiteral("refused the request (HTTP 400)"), 1},
        {{QStringLiteral("http://127.0.0.1:1")}, QStringLiteral("could not be reached"), 1},
    };
    for (const auto &c : cases) {
        const int before = big.requests().size() + endless.requests().size() + unavailable.requests().size() +
                           refused.requests().size();
        DirectoryClient client(std::make_shared<DirectoryServers>(c.bases));
        QString error;
        QVERIFY(finish(client.search({}), &error));
        QVERIFY2(error.contains(c.error), qPrintable(error));
        const int after = big.requests().size() + endless.requests().size() + unavailable.requests().size() +
                          refused.requests().size();
        if (c.bases.first() != QStringLiteral("http://127.0.0.1:1"))
            QCOMPARE(after - before, c.tries);
    }
}

void TestDirectory::lookupByIdAsksInBatches()
{
    DirectoryStub stub;
    stub.serve(QStringLiteral("/json/stations/byuuid"), DirectoryStub::stations(QStringLiteral("U"), 1, "http://x/s"));
    stub.serve(QStringLiteral("/json/url/U-1"), R"({"ok": true, "message": "retrieved station url"})");
    DirectoryClient client(std::make_shared<DirectoryServers>(QStringList{stub.base()}));
    QStringList ids;
    for (int i = 0; i < DirectoryClient::kUuidsPerRequest + 5; ++i)
        ids << QStringLiteral("id-%1").arg(i);
    QList<DirectoryStation> stations;
    QVERIFY(finish(client.stationsByUuid(ids), nullptr, &stations));
    QCOMPARE(stations.size(), 2); // one from each request, joined
    const auto requests = stub.requests();
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests[1].query.queryItemValue("uuids"), ids.mid(DirectoryClient::kUuidsPerRequest).join(','));

    QString error = QStringLiteral("unset");
    QVERIFY(finish(client.countClick(QStringLiteral("U-1")), &error));
    QCOMPARE(error, QString());
    QCOMPARE(stub.hits(QStringLiteral("/json/url/U-1")), 1);
    QVERIFY(finish(client.stationsByUuid({}), &error));
    QCOMPARE(stub.requests().size(), 3); // no id, no request
}

void TestDirectory::serversAreFoundFromDnsRecords()
{
    auto dns = std::make_unique<GivenDns>();
    dns->records = {{QStringLiteral("de1.api.example.org."), 443, 1, 1},
                    {QStringLiteral("nl1.api.example.org"), 8443, 1, 1}};
    DirectoryServers fromSrv(std::move(dns));
    QVERIFY(fromSrv.known());
    QStringList order = fromSrv.order();
    order.sort();
    QCOMPARE(order, (QStringList{"https://de1.api.example.org", "https://nl1.api.example.org:8443"}));

    dns = std::make_unique<GivenDns>();
    dns->names = {QStringLiteral("at1.api.example.org")};
    GivenDns *asked = dns.get();
    DirectoryServers fromHosts(std::move(dns));
    QCOMPARE(fromHosts.order(), QStringList{"https://at1.api.example.org"});
    QCOMPARE(asked->asked, (QStringList{DirectoryServers::serviceName(), DirectoryServers::sharedName()}));

    DirectoryServers fromNothing(std::make_unique<GivenDns>());
    order = fromNothing.order();
    order.sort();
    QStringList builtIn = DirectoryServers::builtIn();
    builtIn.sort();
    QCOMPARE(order, builtIn);

    qputenv("HALCYRIX_DIRECTORY", " http://127.0.0.1:8080/ ,ftp://x, https://mirror.example.org,,");
    QCOMPARE(DirectoryServers::fromEnvironment(), (QStringList{"http://127.0.0.1:8080", "https://mirror.example.org"}));
    qunsetenv("HALCYRIX_DIRECTORY");
}

void TestDirectory::linksFollowTheirStation()
{
    TestAppDir dir;
    dir.addStation(QStringLiteral("Jazz One"), QStringLiteral("Music"));
    dir.addStation(QStringLiteral("Other"), QStringLiteral("Music"));
    {
        auto db = Database::open(dir.dbPath()); // a file without the table gets it
        StationLinks::link(*db, QStringLiteral("Jazz One"), QStringLiteral("uuid-1"));
        StationLinks::link(*db, QStringLiteral("Ghost"), QStringLiteral("stale"));
        QCOMPARE(StationLinks::uuidFor(*db, QStringLiteral("jazz one")), QStringLiteral("uuid-1"));
    }
    // Another SQLite tool renames and deletes: the links follow.
    dir.exec(QStringLiteral("update Station set SName = 'Ghost' where SName = 'Jazz One'"));
    QCOMPARE(dir.query("select SName, StationUuid from StationLink"),
             (QList<QVariantList>{{QStringLiteral("Ghost"), QStringLiteral("uuid-1")}}));
    dir.exec(QStringLiteral("delete from Station where SName = 'Ghost'"));
    QCOMPARE(dir.query("select count(*) from StationLink").value(0).value(0).toInt(), 0);
    // The three tables are as they were.
    QCOMPARE(dir.query("select count(*) from Station").value(0).value(0).toInt(), 1);
}

QTEST_GUILESS_MAIN(TestDirectory)
#include "tst_directory.moc"
