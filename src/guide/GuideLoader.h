#pragma once

#include "guide/ChannelMatch.h"
#include "guide/XmltvReader.h"

#include <QObject>
#include <QStringList>
#include <atomic>
#include <memory>

class QThread;

// The guide's idea of now (UTC seconds); tests fix it.
namespace GuideClock {
qint64 now();
void setFixed(qint64 secondsSinceEpoch); // 0: the real clock again
} // namespace GuideClock

// Loads guide sources into the guide database off the window thread, one after another: a web
// address through HTTP(S), a local file from disk, each read as a stream within GuideLimits.
// What a source gave before stays until its new load is complete; a stopped or failed load
// changes nothing but the source's message. Signals arrive on the thread that made the loader.
class GuideLoader : public QObject
{
    Q_OBJECT
public:
    // The program's one loader (made on first use, on the window thread).
    static GuideLoader &instance();

    explicit GuideLoader(QObject *parent = nullptr);
    ~GuideLoader() override; // stops a load and waits for it

    void setLimits(const GuideLimits &limits) { m_limits = limits; }
    void setDatabasePath(const QString &path) { m_path = path; }
    QString databasePath() const { return m_path; }

    // Loads the sources for these stations. Ignored while a load runs (false).
    bool load(const QStringList &sources, const QList<ChannelMatch::Station> &stations);
    // Those of the listed sources not loaded in the last day.
    QStringList stale(const QStringList &sources);
    void stop();
    bool isRunning() const;

    struct Result
    {
        bool ok = false;
        bool stopped = false;
        QString message;
        GuideDatabase::SourceState state;
    };
    // Loads one source on the calling thread (the worker's part; also for the benchmark).
    static Result loadSource(const QString &source, const QString &databasePath,
                             const QList<ChannelMatch::Station> &stations, const GuideLimits &limits,
                             const std::atomic_bool &stopFlag,
                             const std::function<void(qint64 done, qint64 total)> &progress);

signals:
    void progress(const QString &source, qint64 done, qint64 total);
    void sourceDone(const QString &source, bool ok, const QString &message);
    void finished();

private:
    GuideLimits m_limits;
    QString m_path;
    QThread *m_thread = nullptr;
    std::shared_ptr<std::atomic_bool> m_stop;
};
