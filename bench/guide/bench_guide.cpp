// The TV guide over a generated XMLTV guide, gzip-compressed as guides are served: how long the
// load takes, how much memory it needs above what the process had before, how long the event
// loop of the thread that started it (the window thread in the program) was kept waiting, how
// long now and next take per channel, and how long a large IPTV playlist takes to import.

#include "data/Database.h"
#include "exchange/StationImport.h"
#include "guide/GuideDatabase.h"
#include "guide/GuideLoader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <sqlite3.h>
#include <zlib.h>

namespace {

long memoryKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

double processorSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2)
                                          : QString();
}

// Resets the peak memory (VmHWM) to what is in use now.
void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

QByteArray xmltvTime(qint64 t)
{
    return QDateTime::fromSecsSinceEpoch(t, Qt::UTC).toString(QStringLiteral("yyyyMMddhhmmss")).toLatin1() + " +0000";
}

// Words for titles and descriptions, picked by a fixed pseudo-random sequence, so that the
// guide compresses about as real guides do.
const char *const kWords[] = {"the",     "news",   "weather", "match",   "live",      "from",    "studio", "city",
                              "night",   "world",  "history", "nature",  "series",    "episode", "season", "final",
                              "report",  "music",  "drama",   "comedy",  "film",      "kitchen", "garden", "travel",
                              "science", "sports", "review",  "morning", "evening",   "family",  "island", "mountain",
                              "river",   "ocean",  "journey", "secret",  "detective", "police",  "doctor", "school"};
struct Words
{
    quint32 state = 12345;
    QByteArray take(int count)
    {
        QByteArray out;
        for (int i = 0; i < count; ++i) {
            state = state * 1103515245u + 12345u;
            if (i)
                out += ' ';
            out += kWords[(state >> 16) % (sizeof kWords / sizeof *kWords)];
        }
        return out;
    }
};

struct Generated
{
    qint64 xmlBytes = 0;
    qint64 programmes = 0;
};

// channels x days of programmes from a day ago, 30 to 90 minutes each, written as gzip.
Generated generate(const QString &path, int channels, int days, qint64 now)
{
    Generated g;
    gzFile out = gzopen(QFile::encodeName(path).constData(), "wb1");
    auto put = [&](const QByteArray &bytes) {
        gzwrite(out, bytes.constData(), unsigned(bytes.size()));
        g.xmlBytes += bytes.size();
    };
    put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n<tv "
        "generator-info-name=\"bench\">\n");
    for (int c = 0; c < channels; ++c)
        put("<channel id=\"ch" + QByteArray::number(c) + ".tv\"><display-name lang=\"en\">Channel " +
            QByteArray::number(c) + "</display-name><icon src=\"http://logos.example/ch" + QByteArray::number(c) +
            ".png\"/></channel>\n");
    Words words;
    const int minutes[] = {30, 60, 90, 60, 90, 45, 90};
    const qint64 from = now - 24 * 3600 - now % 3600;
    for (int c = 0; c < channels; ++c) {
        const QByteArray id = "ch" + QByteArray::number(c) + ".tv";
        qint64 t = from;
        for (int i = 0; t < from + qint64(days) * 24 * 3600; ++i) {
            const qint64 stop = t + minutes[(i + c) % 7] * 60;
            put("<programme start=\"" + xmltvTime(t) + "\" stop=\"" + xmltvTime(stop) + "\" channel=\"" + id +
                "\">\n  <title lang=\"en\">" + words.take(3) + "</title>\n  <sub-title lang=\"en\">" + words.take(4) +
                "</sub-title>\n  <desc lang=\"en\">" + words.take(200) + "</desc>\n  <category lang=\"en\">" +
                words.take(1) + "</category>\n  <episode-num system=\"xmltv_ns\">" + QByteArray::number(i % 10) +
                ".12.</episode-num>\n</programme>\n");
            ++g.programmes;
            t = stop;
        }
    }
    put("</tv>\n");
    gzclose(out);
    return g;
}

std::shared_ptr<Database> stationDatabase(const QString &path)
{
    QFile schema(QStringLiteral(HX_SOURCE_DIR "/data/schema.sql"));
    if (!schema.open(QIODevice::ReadOnly))
        return nullptr;
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, schema.readAll().constData(), nullptr, nullptr, nullptr);
    sqlite3_exec(db, "insert into Category (Name) values ('Television'), ('Radio')", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return Database::open(path);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int channels = 2000, days = 14, linked = 300, playlist = 10000;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--channels"))
            channels = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--days"))
            days = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--linked"))
            linked = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--playlist"))
            playlist = args[i + 1].toInt();
    }
    QTemporaryDir dir;
    const qint64 now = QDateTime::currentSecsSinceEpoch();

    QElapsedTimer clock;
    clock.start();
    const Generated g = generate(dir.filePath(QStringLiteral("guide.xml.gz")), channels, days, now);
    const qint64 gzBytes = QFile(dir.filePath(QStringLiteral("guide.xml.gz"))).size();
    std::printf("generated: %d channels x %d days, %lld programmes, %.0f MB of XML, %.1f MB gzip (%.1f s)\n", channels,
                days, g.programmes, g.xmlBytes / 1e6, gzBytes / 1e6, clock.elapsed() / 1000.0);

    // The stations: two thirds linked by guide id, the rest by name.
    QList<ChannelMatch::Station> stations;
    for (int i = 0; i < linked; ++i) {
        const int c = int(qint64(i) * channels / qMax(1, linked));
        if (i % 3 == 2)
            stations.append({QStringLiteral("CHANNEL  %1").arg(c), {}, {}, {}});
        else
            stations.append({QStringLiteral("Station %1").arg(i), QStringLiteral("CH%1.tv").arg(c), {}, {}});
    }

    // The load off this thread, while this thread's event loop is timed.
    GuideLoader loader;
    loader.setDatabasePath(dir.filePath(QStringLiteral("guide.db")));
    const long before = memoryKiB("VmRSS:");
    resetPeak();
    QElapsedTimer tick;
    qint64 longestStall = 0;
    QTimer beat;
    beat.setInterval(5);
    QObject::connect(&beat, &QTimer::timeout, [&] { longestStall = std::max(longestStall, tick.restart() - 5); });
    QString message;
    QObject::connect(&loader, &GuideLoader::sourceDone, [&](const QString &, bool ok, const QString &text) {
        message = (ok ? QStringLiteral("ok: ") : QStringLiteral("failed: ")) + text;
    });
    QObject::connect(&loader, &GuideLoader::finished, &app, &QCoreApplication::quit);
    clock.restart();
    const double cpuBefore = processorSeconds();
    tick.start();
    beat.start();
    loader.load({dir.filePath(QStringLiteral("guide.xml.gz"))}, stations);
    app.exec();
    const double seconds = clock.elapsed() / 1000.0;
    const double cpu = processorSeconds() - cpuBefore;
    const long peak = memoryKiB("VmHWM:");
    std::printf("load: %.1f s wall (%.0f MB of XML/s), %.1f s of processor time, %s\n", seconds,
                g.xmlBytes / 1e6 / seconds, cpu, qPrintable(message));
    std::printf("machine load average at the end: %s\n", qPrintable(loadAverage()));
    std::printf("memory: %.1f MiB before, peak %.1f MiB during the load: %.1f MiB above\n", before / 1024.0,
                peak / 1024.0, (peak - before) / 1024.0);
    std::printf("event loop beside the load: longest stall %lld ms\n", longestStall);

    // Now and next of every linked channel, as the guide window reads them.
    GuideDatabase guide(dir.filePath(QStringLiteral("guide.db")));
    const auto links = ChannelMatch::link(stations, guide.channels());
    clock.restart();
    int found = 0;
    for (const QString &channel : links)
        found += guide.nowNext(channel, now).first.has_value();
    std::printf("now and next: %lld channels linked, %d on now, %.3f ms per channel\n", qint64(links.size()), found,
                clock.nsecsElapsed() / 1e6 / qMax<qsizetype>(1, links.size()));

    // An IPTV playlist of that many entries, imported with its attributes.
    QByteArray m3u = "#EXTM3U x-tvg-url=\"http://guide.example/guide.xml.gz\"\n";
    for (int i = 0; i < playlist; ++i)
        m3u += "#EXTINF:-1 tvg-id=\"ch" + QByteArray::number(i) + ".tv\" tvg-name=\"Channel " + QByteArray::number(i) +
               "\" tvg-logo=\"http://logos.example/" + QByteArray::number(i) +
               ".png\" group-title=\"News;World\",Channel " + QByteArray::number(i) + "\nhttp://streams.example/" +
               QByteArray::number(i) + ".m3u8\n";
    QFile file(dir.filePath(QStringLiteral("tv.m3u")));
    file.open(QIODevice::WriteOnly);
    file.write(m3u);
    file.close();
    auto db = stationDatabase(dir.filePath(QStringLiteral("stations.db")));
    StationImport::Choices choices;
    choices.fileName = file.fileName();
    choices.format = StationImport::Format::Playlist;
    choices.category = QStringLiteral("Radio");
    choices.tvCategory = QStringLiteral("Television");
    StationImport import(choices);
    clock.restart();
    const bool ok = import.store(db);
    std::printf("playlist import: %d entries, %d added (%d to television), %.2f s%s\n", playlist, import.counts().added,
                import.counts().television, clock.elapsed() / 1000.0,
                ok ? "" : qPrintable(QStringLiteral(", failed: ") + import.error()));
    return 0;
}
