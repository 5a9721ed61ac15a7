// Logos fetched and decoded as outside data, against the tests' own HTTP server: the good ones
// decoded and cached as small PNG files, the hostile ones refused; their addresses kept beside
// the stations.

#include "LogoSamples.h"
#include "StreamServers.h"
#include "TestAppDir.h"

#include "data/Database.h"
#include "directory/DirectoryStations.h"
#include "pictures/LogoCache.h"
#include "pictures/LogoDecoder.h"
#include "pictures/LogoFetcher.h"
#include "pictures/StationLogos.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace LogoSamples;

class TestLogos : public QObject
{
    Q_OBJECT
private slots:
    void fetchShowsGoodLogosAndRefusesTheRest();
    void failuresWaitADayAndLogosAreRefreshedAfterAWeek();
    void cacheKeepsToItsSize();
    void addressesBesideTheStations();

private:
    // Asks for the address and waits for the one answer: the image, or a null image and *why.
    QImage fetch(LogoFetcher &fetcher, const QString &address, QString *why = nullptr, QString *file = nullptr);
};

QImage TestLogos::fetch(LogoFetcher &fetcher, const QString &address, QString *why, QString *file)
{
    QSignalSpy ready(&fetcher, &LogoFetcher::ready);
    QSignalSpy failed(&fetcher, &LogoFetcher::failed);
    fetcher.request(address, QSize(64, 64));
    // Generous: the endless reply is cut by its size, the silent one by the 10 s limit.
    if (!QTest::qWaitFor([&] { return ready.size() + failed.size() > 0; }, 30000))
        return {};
    if (!failed.isEmpty()) {
        if (why)
            *why = failed.first().at(1).toString();
        return {};
    }
    if (file)
        *file = ready.first().at(2).toString();
    return ready.first().at(3).value<QImage>();
}

void TestLogos::fetchShowsGoodLogosAndRefusesTheRest()
{
    QTemporaryDir cache;
    LogoFetcher fetcher(cache.path());
    LocalHttpServer http;
    const QByteArray png = encoded(filled(400, 200, Qt::red), "png");
    http.serve("/good.png", png, "image/png");
    // A JPEG and an icon served under a wrong type: the bytes decide.
    http.serve("/photo", encoded(filled(80, 60, Qt::blue), "jpeg"), "text/plain");
    http.serve("/favicon.ico", encoded(filled(32, 32, Qt::green), "ico"), "image/x-icon");
    // Four red pixels as a GIF; WebP where its plugin is installed.
    http.serve(
        "/dot.gif",
        QByteArray::fromHex("47494638396102000200f00000ff000000000021f90400000000002c00000000020002000002028451003b"),
        "image/gif");
    const bool webp = QImageReader::supportedImageFormats().contains("webp");
    if (webp)
        http.serve("/logo.webp", encoded(filled(30, 30, Qt::blue), "webp"), "image/webp");
    http.serve("/huge.png", claimingPng(40000, 40000), "image/png");
    http.serve("/truncated.png", truncatedPng(), "image/png");
    http.serve("/page.png", "<!DOCTYPE html><html><body>Not here</body></html>", "image/png");
    http.serve("/logo.svg",
               R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"><rect width="10" height="10"/></svg>)",
               "image/svg+xml");
    http.serve("/big.png", QByteArray(LogoFetcher::MaxBytes + 1, 'x'), "image/png");
    http.serveEndless("/endless.png", "image/png");
    QTemporaryDir local;
    const QString goodFile = local.filePath("good.png");
    QVERIFY(QImage(filled(50, 50, Qt::yellow)).save(goodFile));
    http.redirect("/to-file", QUrl::fromLocalFile(goodFile).toString());
    http.redirect("/moved", http.url("/good.png"));

    QString file;
    QImage image = fetch(fetcher, http.url("/good.png"), nullptr, &file);
    QCOMPARE(image.size(), QSize(64, 32)); // fits the size asked for
    QCOMPARE(image.pixelColor(10, 10), QColor(Qt::red));
    // Cached as a small PNG, named under the cache folder.
    QCOMPARE(QFileInfo(file).absolutePath(), QDir(cache.path()).absolutePath());
    QImageReader stored(file);
    QCOMPARE(stored.format(), QByteArray("png"));
    QCOMPARE(stored.size(), QSize(LogoDecoder::StoredSide, LogoDecoder::StoredSide / 2));

    QCOMPARE(fetch(fetcher, http.url("/photo")).size(), QSize(64, 48));
    QCOMPARE(fetch(fetcher, http.url("/favicon.ico")).pixelColor(5, 5), QColor(Qt::green));
    QCOMPARE(fetch(fetcher, goodFile).pixelColor(5, 5), QColor(Qt::yellow));
    QCOMPARE(fetch(fetcher, http.url("/dot.gif")).pixelColor(0, 0), QColor(Qt::red));
    if (webp)
        QCOMPARE(fetch(fetcher, http.url("/logo.webp")).size(), QSize(30, 30));
    QCOMPARE(fetch(fetcher, http.url("/moved")).size(), QSize(64, 32)); // http to http is followed

    const struct
    {
        QString address;
        QString why;
    } refused[] = {
        {http.url("/huge.png"), "claims 40000 x 40000 pixels"},
        {http.url("/truncated.png"), "cannot be decoded"},
        {http.url("/page.png"), "not a picture"},
        {http.url("/logo.svg"), ""}, // not decoded, with or without an SVG plugin
        {http.url("/big.png"), "larger than 512 KiB"},
        {http.url("/endless.png"), "larger than 512 KiB"},
        {http.url("/missing.png"), "answered 404"},
        {http.url("/to-file"), ""},
        {"ftp://127.0.0.1/logo.png", "neither"},
        {local.filePath("none.png"), "cannot be read"},
    };
    for (const auto &r : refused) {
        QString why;
        QVERIFY2(fetch(fetcher, r.address, &why).isNull(), qPrintable(r.address));
        QVERIFY2(!why.isEmpty() && why.contains(r.why), qPrintable(r.address + ": " + why));
        QVERIFY(!QFileInfo::exists(LogoCache(cache.path()).fileFor(r.address)));
    }
    // The redirect to a file was not followed (the file would have been a good logo).
    QCOMPARE(http.hits("/to-file"), 1);
}

void TestLogos::failuresWaitADayAndLogosAreRefreshedAfterAWeek()
{
    QTemporaryDir cache;
    LogoFetcher fetcher(cache.path());
    LogoCache files(cache.path());
    LocalHttpServer http;
    const QString missing = http.url("/later.png");
    QString why;
    QVERIFY(fetch(fetcher, missing, &why).isNull());
    QVERIFY(fetch(fetcher, missing, &why).isNull());
    QVERIFY(why.contains("not tried again"));
    QCOMPARE(http.hits("/later.png"), 1);
    // A day later it is tried again, and now it answers.
    http.serve("/later.png", encoded(filled(20, 20, Qt::red), "png"), "image/png");
    QFile marker(cache.filePath(QFileInfo(files.fileFor(missing)).completeBaseName() + ".failed"));
    QVERIFY(marker.open(QIODevice::ReadWrite));
    QVERIFY(marker.setFileTime(QDateTime::currentDateTime().addSecs(-LogoCache::RetrySeconds - 60),
                               QFileDevice::FileModificationTime));
    marker.close();
    QCOMPARE(fetch(fetcher, missing).pixelColor(1, 1), QColor(Qt::red));
    QCOMPARE(http.hits("/later.png"), 2);
    // Cached: no request within the week.
    QVERIFY(!fetch(fetcher, missing).isNull());
    QCOMPARE(http.hits("/later.png"), 2);

    // After a week the logo is fetched again; a server that then fails leaves the old copy.
    auto age = [&](qint64 seconds) {
        QFile png(files.fileFor(missing));
        QVERIFY(png.open(QIODevice::ReadWrite));
        QVERIFY(png.setFileTime(QDateTime::currentDateTime().addSecs(-seconds), QFileDevice::FileModificationTime));
    };
    age(LogoCache::FreshSeconds + 60);
    http.serve("/later.png", encoded(filled(20, 20, Qt::blue), "png"), "image/png");
    QCOMPARE(fetch(fetcher, missing).pixelColor(1, 1), QColor(Qt::blue));
    QCOMPARE(http.hits("/later.png"), 3);
    age(LogoCache::FreshSeconds + 60);
    http.serveStatus("/later.png", 500);
    QCOMPARE(fetch(fetcher, missing).pixelColor(1, 1), QColor(Qt::blue));
    QCOMPARE(http.hits("/later.png"), 4);

    // Chosen anew by the user, an address is tried at once.
    fetcher.forget(missing);
    QVERIFY(fetch(fetcher, missing).isNull());
    QCOMPARE(http.hits("/later.png"), 5);
}

void TestLogos::cacheKeepsToItsSize()
{
    QTemporaryDir dir;
    const QImage sample = filled(100, 100, Qt::red);
    const qint64 one = LogoDecoder::encodePng(sample).size();
    LogoCache cache(dir.path(), one * 3);
    QStringList files;
    for (int i = 0; i < 5; ++i) {
        files << cache.store(QStringLiteral("https://example.org/%1.png").arg(i), sample);
        QVERIFY(!files.last().isEmpty());
        // Each one written later than the one before.
        QFile f(files.last());
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(i - 10), QFileDevice::FileModificationTime));
        f.close();
    }
    cache.trim();
    QVERIFY(!QFileInfo::exists(files[0]) && !QFileInfo::exists(files[1]));
    QVERIFY(QFileInfo::exists(files[2]) && QFileInfo::exists(files[3]) && QFileInfo::exists(files[4]));
    // The program's own folder is the user's cache folder.
    qputenv("XDG_CACHE_HOME", dir.path().toUtf8());
    QCOMPARE(LogoCache::defaultFolder(), dir.path() + "/halcyrix/logos");
    qunsetenv("XDG_CACHE_HOME");
}

void TestLogos::addressesBesideTheStations()
{
    TestAppDir dir;
    dir.addStation("Alpha", "Jazz", "http://127.0.0.1:9/a.mp3");
    auto db = Database::open(dir.dbPath());
    // Outside sources give web addresses only; the user may also choose a file.
    QVERIFY(!StationLogos::setAddress(*db, "Alpha", "file:///etc/passwd"));
    QVERIFY(!StationLogos::setAddress(*db, "Alpha", "/home/me/logo.png"));
    QVERIFY(!StationLogos::setAddress(*db, "Alpha", "data:image/png;base64,AAAA"));
    QVERIFY(StationLogos::setAddress(*db, "Alpha", " https://example.org/a.png "));
    QCOMPARE(StationLogos::addressFor(*db, "ALPHA"), QString("https://example.org/a.png"));
    QVERIFY(!StationLogos::setUserAddress(*db, "Alpha", "logo.png"));
    QVERIFY(StationLogos::setUserAddress(*db, "Alpha", "file:///home/me/a%20b.png"));
    QCOMPARE(StationLogos::addressFor(*db, "Alpha"), QString("/home/me/a b.png"));
    // Carried through a rename, dropped with the station.
    dir.exec("update Station set SName = 'Alpha Two' where SName = 'Alpha'");
    QCOMPARE(StationLogos::addressFor(*db, "Alpha Two"), QString("/home/me/a b.png"));
    dir.exec("delete from Station");
    QCOMPARE(dir.query("select count(*) from StationLogo").value(0).value(0).toInt(), 0);

    // A station from the directory comes with its logo when it has a web one.
    DirectoryStation withLogo;
    withLogo.uuid = "u1";
    withLogo.name = "Logo FM";
    withLogo.url = "http://127.0.0.1:9/l.mp3";
    withLogo.favicon = "https://example.org/logo.png";
    DirectoryStation localLogo = withLogo;
    localLogo.uuid = "u2";
    localLogo.name = "Local FM";
    localLogo.favicon = "file:///etc/hostname";
    const auto outcomes = DirectoryStations::add(db, {withLogo, localLogo}, "Jazz");
    QVERIFY(outcomes[0].added && outcomes[1].added);
    QCOMPARE(StationLogos::addressFor(*db, "Logo FM"), withLogo.favicon);
    QCOMPARE(StationLogos::addressFor(*db, "Local FM"), QString());
}

QTEST_MAIN(TestLogos)
#include "tst_logos.moc"
