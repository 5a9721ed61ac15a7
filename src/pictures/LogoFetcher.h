#pragma once

#include "pictures/LogoCache.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThread>

class LogoWorker;

// Fetches, decodes and caches station logos on a thread of its own, so the window never waits
// for a server, a file or a decoder. A logo comes from an http or https address (at most
// MaxBytes, within TimeoutMs, redirected only to http or https) or from a local picture file.
// What arrives is decoded with limits (LogoDecoder), kept as a small PNG (LogoCache) and handed
// back scaled to the size asked for.
//
// Nothing is started before the first request: a program that shows no logo runs no thread,
// sends no request and loads no picture decoder.
class LogoFetcher : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 MaxBytes = 512 * 1024;
    static constexpr int TimeoutMs = 10000;
    static constexpr int MaxRedirects = 5;
    static constexpr int ParallelDownloads = 6;

    explicit LogoFetcher(const QString &cacheFolder = LogoCache::defaultFolder(), QObject *parent = nullptr);
    ~LogoFetcher() override;

    // The program's fetcher, made on first use (its cache in the user's cache folder).
    static LogoFetcher *instance();
    // True once instance() has been called.
    static bool started();

    // Asks for the logo at the address, scaled to fit size. One answer comes later, on the
    // thread that owns the fetcher: ready() or failed().
    void request(const QString &address, const QSize &size);
    // Forgets what is known of the address (its cached file and a failure), so the next request
    // fetches it again: the user chose it anew.
    void forget(const QString &address);

    QString cacheFolder() const { return m_cacheFolder; }

signals:
    // file is the cached PNG of the logo; image fits the size asked for.
    void ready(const QString &address, const QSize &size, const QString &file, const QImage &image);
    // reason says why, as the end of a sentence ("the server answered 404").
    void failed(const QString &address, const QString &reason);

private:
    void ensureThread();

    QString m_cacheFolder;
    QThread *m_thread = nullptr;
    LogoWorker *m_worker = nullptr;
};
