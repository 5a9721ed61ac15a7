#pragma once

#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QNetworkAccessManager;

// Turns a stream source into the entries to play: a local file or web address of a metafile is
// read (over the network without blocking) and its entries are queued in its place, depth first,
// until an entry that is a stream comes up; that one is handed to the player. Metafiles may name
// metafiles up to four levels deep, and only the first 512 KiB of an answer are looked at: a longer
// or endless answer is a stream, not a list.
class MetafileResolver : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxDepth = 4;
    static constexpr qint64 kMaxBytes = 512 * 1024;
    static constexpr int kNetworkTimeoutMs = 10000;

    // What went wrong with an entry, for callers that tell failures apart (the station check).
    enum class Failure { Other, NoSuchFile, NoSuchHost, Refused, TimedOut, HttpError, NotAStream, EmptyMetafile };

    struct Entry
    {
        QString address;
        int depth = 0;        // metafile nesting depth
        bool remote = false;  // came from a metafile fetched over the network
        bool sniffed = false; // content already looked at
    };

    explicit MetafileResolver(QObject *parent = nullptr);

    // Fetches through net (which must outlive the resolver) instead of a network access of its
    // own: many resolvers at once then share one pool of connections.
    void setNetworkAccess(QNetworkAccessManager *net) { m_net = net; }

    // Starts over with the source as the only entry and tries it.
    void start(const QString &source);
    // The entry last handed out cannot be played: its error is recorded and the next entry tried.
    void entryFailed(const QString &text, Failure failure = Failure::Other, int httpStatus = 0);
    // Looks at the content behind an entry the player could not recognise: perhaps a metafile
    // behind an address that does not say so.
    void sniff(const Entry &entry);
    // Entries the player found in a list of its own, to be tried in the entry's place.
    void expand(const QStringList &entries, const Entry &entry);
    // Drops the queue and any fetch under way.
    void clear();

    // The failure of the last entry that failed (EmptyMetafile when none did), and its HTTP
    // status when the server answered with an error.
    Failure lastFailure() const { return m_lastFailure; }
    int lastHttpStatus() const { return m_lastHttpStatus; }
    // The failure a network error stands for.
    static Failure failureOf(QNetworkReply::NetworkError error);

signals:
    void resolving(const QString &address);              // a metafile is being read
    void playable(const MetafileResolver::Entry &entry); // an entry for the player
    void failed(const QString &text);                    // an entry failed; the next is tried
    void exhausted(const QString &text);                 // nothing left; the last error

private:
    void next();
    void fetch(const Entry &entry);
    void fetchProgress(QNetworkReply *reply, const Entry &entry);
    void fetchFinished(QNetworkReply *reply, const Entry &entry);
    void read(const QByteArray &data, const QString &contentType, const QString &base, const Entry &entry);
    void fail(const QString &text, Failure failure, int httpStatus = 0);
    void abortFetch();

    QString m_source;
    QList<Entry> m_queue;
    QStringList m_errors; // errors of the entries tried for this source
    Failure m_lastFailure = Failure::EmptyMetafile;
    int m_lastHttpStatus = 0;
    QNetworkAccessManager *m_net = nullptr;
    QPointer<QNetworkReply> m_fetch;
};
