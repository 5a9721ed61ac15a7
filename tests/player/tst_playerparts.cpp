// The player's parts without libmpv: the reconnect policy driven by hand-made events and a clock
// of the test's own, and the metafile resolver against the test's own HTTP server.
#include "StreamServers.h"
#include "player/MetafileResolver.h"
#include "player/Player.h"
#include "player/ReconnectPolicy.h"
#include "player/StatusText.h"

#include <QTemporaryDir>
#include <QtTest>

using MpvEvents::EndFile;
using Verdict = ReconnectPolicy::Verdict;

namespace {

const EndFile kEof{1, EndFile::Reason::Eof};
const EndFile kError{1, EndFile::Reason::Error, -13};

// What a resolver ended with: the entry handed to the player, or the error when none was left.
struct Outcome
{
    bool done = false;
    MetafileResolver::Entry entry;
    QString error;
};

Outcome resolve(const QString &source)
{
    MetafileResolver resolver;
    Outcome out;
    QObject::connect(&resolver, &MetafileResolver::playable, [&](const MetafileResolver::Entry &e) {
        out = {true, e, QString()};
    });
    QObject::connect(&resolver, &MetafileResolver::exhausted, [&](const QString &text) { out = {true, {}, text}; });
    resolver.start(source);
    if (!QTest::qWaitFor([&] { return out.done; }, 20000))
        qWarning("the resolver gave no answer for %s", qPrintable(source));
    return out;
}

} // namespace

class TestPlayerParts : public QObject
{
    Q_OBJECT
private slots:
    void liveDropIsRetriedFiveTimesThenGivenUp();
    void stablePlayStartsTheCountAnew();
    void endOfFileAgainstDroppedConnection();
    void metafilesNestFourDeepAtMost();
    void onlyTheHeadOfALongAnswerIsRead();
};

void TestPlayerParts::liveDropIsRetriedFiveTimesThenGivenUp()
{
    qint64 now = 0;
    ReconnectPolicy policy([&] { return now; });
    policy.newSource();
    policy.loading();
    policy.setLive(true);
    QVERIFY(policy.started({}));
    now += 5000;
    QCOMPARE(policy.ended(kEof), Verdict::Reconnect); // the connection dropped
    QVERIFY(policy.reconnecting());
    QList<int> delays{policy.delayMs()};
    // Every attempt finds no stream.
    for (int attempt = 2; attempt <= 5; ++attempt) {
        now += policy.delayMs();
        policy.retrying();
        policy.loading();
        QCOMPARE(policy.ended(kError), Verdict::Reconnect);
        delays << policy.delayMs();
    }
    QCOMPARE(delays, QList<int>({1000, 2000, 4000, 8000, 16000}));
    policy.retrying();
    policy.loading();
    QCOMPARE(policy.ended(kError), Verdict::GiveUp);
    QVERIFY(!policy.reconnecting());
    // A new source has its own five tries.
    policy.newSource();
    policy.loading();
    policy.setLive(true);
    QVERIFY(policy.started({}));
    QCOMPARE(policy.ended(kEof), Verdict::Reconnect);
    QCOMPARE(policy.delayMs(), 1000);
}

void TestPlayerParts::stablePlayStartsTheCountAnew()
{
    qint64 now = 0;
    ReconnectPolicy policy([&] { return now; });
    policy.newSource();
    auto playFor = [&](qint64 ms) {
        policy.loading();
        policy.setLive(true);
        QVERIFY(policy.started({}));
        QVERIFY(!policy.started({})); // later restarts (seeks, cache) are not new connections
        now += ms;
    };
    playFor(40000);
    QCOMPARE(policy.ended(kEof), Verdict::Reconnect);
    QCOMPARE(policy.delayMs(), 1000);
    // A reconnect that plays only briefly before dropping again goes on counting ...
    policy.retrying();
    playFor(ReconnectPolicy::kStableMs - 1000);
    QCOMPARE(policy.ended(kEof), Verdict::Reconnect);
    QCOMPARE(policy.delayMs(), 2000);
    policy.retrying();
    playFor(1000);
    QCOMPARE(policy.ended(kError), Verdict::Reconnect);
    QCOMPARE(policy.delayMs(), 4000);
    // ... one that played steadily starts it anew.
    policy.retrying();
    playFor(ReconnectPolicy::kStableMs + 1000);
    QCOMPARE(policy.ended(kEof), Verdict::Reconnect);
    QCOMPARE(policy.delayMs(), 1000);
    QCOMPARE(policy.tries(), 1);
}

void TestPlayerParts::endOfFileAgainstDroppedConnection()
{
    ReconnectPolicy policy;
    policy.newSource();
    // A file (known length and size) that played to its end has ended; it is not reconnected.
    policy.loading();
    policy.setLive(false);
    QVERIFY(policy.started({}));
    QCOMPARE(policy.ended(kEof), Verdict::Ended);
    // A file whose connection broke for good is an error of that entry.
    policy.loading();
    QVERIFY(policy.started({}));
    QCOMPARE(policy.ended(kError), Verdict::EntryFailed);
    // The same end of a live stream is a dropped connection.
    policy.loading();
    policy.setLive(true);
    QVERIFY(policy.started({}));
    QCOMPARE(policy.ended(kEof), Verdict::Reconnect);
    // An entry that never played is not a stream to reconnect.
    policy.newSource();
    policy.loading();
    policy.setLive(true);
    QCOMPARE(policy.ended(kEof), Verdict::EntryFailed);
    QCOMPARE(policy.ended(kError), Verdict::EntryFailed);
    // Entries stopped or replaced by the player, and lists libmpv expanded, are not ends.
    QVERIFY(policy.started({}));
    QCOMPARE(policy.ended(EndFile{1, EndFile::Reason::Stop}), Verdict::Ignore);
    QCOMPARE(policy.ended(EndFile{1, EndFile::Reason::Redirect}), Verdict::Ignore);
    QCOMPARE(policy.tries(), 0);
}

void TestPlayerParts::metafilesNestFourDeepAtMost()
{
    LocalHttpServer http;
    QVERIFY(http.isListening());
    http.serve(QStringLiteral("/tone.mp3"), QByteArray(4096, '\xff'), "audio/mpeg");
    // a0.m3u names a1.m3u names ... names the stream; each chain is as deep as its number of lists.
    for (const int lists : {4, 5}) {
        const QString chain = QStringLiteral("/c%1/").arg(lists);
        for (int i = 0; i < lists; ++i) {
            const QByteArray next = i + 1 < lists ? "a" + QByteArray::number(i + 1) + ".m3u" : "../tone.mp3";
            http.serve(chain + QStringLiteral("a%1.m3u").arg(i), "#EXTM3U\n" + next + "\n", "audio/x-mpegurl");
        }
    }
    const Outcome four = resolve(http.url(QStringLiteral("/c4/a0.m3u")));
    QCOMPARE(four.error, QString());
    QCOMPARE(four.entry.address, http.url(QStringLiteral("/tone.mp3")));
    QCOMPARE(four.entry.depth, 4);
    QVERIFY(four.entry.remote);

    const Outcome five = resolve(http.url(QStringLiteral("/c5/a0.m3u")));
    QCOMPARE(five.error, StatusText::notAStream(http.url(QStringLiteral("/c5/a4.m3u"))));
    QCOMPARE(http.hits(QStringLiteral("/c5/a4.m3u")), 1);
}

void TestPlayerParts::onlyTheHeadOfALongAnswerIsRead()
{
    LocalHttpServer http;
    QVERIFY(http.isListening());
    const QByteArray stream = http.url(QStringLiteral("/live")).toUtf8();
    const QByteArray line = "# a comment line that pads the list out\n";
    auto list = [&](qint64 bytes) { return line.repeated(int(bytes / line.size())) + stream + "\n"; };
    // A list well inside the limit is read whole; past the limit only the head counts, so a
    // list that names its stream only after many megabytes names none.
    http.serve(QStringLiteral("/short.m3u"), list(MetafileResolver::kMaxBytes / 2), "audio/x-mpegurl");
    http.serve(QStringLiteral("/long.m3u"), list(16 * MetafileResolver::kMaxBytes), "audio/x-mpegurl");
    QCOMPARE(resolve(http.url(QStringLiteral("/short.m3u"))).entry.address, QString::fromUtf8(stream));
    QCOMPARE(resolve(http.url(QStringLiteral("/long.m3u"))).error,
             StatusText::noEntries(http.url(QStringLiteral("/long.m3u"))));

    // A local file with a list's name but longer than the limit goes to the player as it is.
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.m3u"));
    QFile file(big);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(list(2 * MetafileResolver::kMaxBytes));
    file.close();
    const Outcome local = resolve(big);
    QCOMPARE(local.entry.address, big);
    QCOMPARE(local.entry.depth, 0);
}

QTEST_MAIN(TestPlayerParts)
#include "tst_playerparts.moc"
