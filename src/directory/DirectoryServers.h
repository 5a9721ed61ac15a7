#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// One server record of a DNS service (SRV).
struct SrvRecord
{
    QString target;
    quint16 port = 443;
    quint16 priority = 0;
    quint16 weight = 0;
};

// The DNS questions the station directory's servers are found with, behind an interface so that
// the search for servers can be tried with given records. Each look-up calls done exactly once,
// with what was found (nothing when the look-up failed or took too long), on the caller's thread.
class DnsSource
{
public:
    virtual ~DnsSource() = default;
    // The SRV records of a service name ("_api._tcp.example.org").
    virtual void lookupService(const QString &name, std::function<void(QList<SrvRecord>)> done) = 0;
    // The host names behind the addresses of a name: its addresses are looked up, and each
    // address's own name (a server's certificate is made out to that name, not to the address).
    virtual void lookupHostNames(const QString &name, std::function<void(QStringList)> done) = 0;
};

// The system's resolver through QDnsLookup and QHostInfo, each look-up limited in time.
std::unique_ptr<DnsSource> systemDns();

// The base addresses ("https://host") of the station directory's servers, in the order they are
// tried. The list is found once: from the environment variable HALCYRIX_DIRECTORY (base addresses
// separated by commas, kept in the order given), else from the SRV records of the directory's
// service name, else from the host names behind the addresses of its shared name, else from a
// short built-in list; a found list is put in random order, so that users spread over the
// servers. A server that failed moves to the end, so it is not tried first again while this list
// lives (the program keeps one list for its whole run: session()).
class DirectoryServers
{
public:
    static constexpr int kLookupTimeoutMs = 5000;
    static QString serviceName(); // "_api._tcp.radio-browser.info"
    static QString sharedName();  // "all.api.radio-browser.info"
    static QStringList builtIn();

    // The base addresses named by HALCYRIX_DIRECTORY (empty when it is not set or names none).
    static QStringList fromEnvironment();
    // A base address for a server record: https, with the port unless it is 443.
    static QString baseFor(const SrvRecord &record);

    // A list found through dns (started at once).
    explicit DirectoryServers(std::unique_ptr<DnsSource> dns);
    // A list given as it is (no look-up, no shuffling).
    explicit DirectoryServers(const QStringList &bases);
    ~DirectoryServers();
    DirectoryServers(const DirectoryServers &) = delete;
    DirectoryServers &operator=(const DirectoryServers &) = delete;

    // The program's list: from the environment when HALCYRIX_DIRECTORY is set, else found through
    // the system's DNS. Made on first use and kept for the whole run.
    static std::shared_ptr<DirectoryServers> session();

    bool known() const { return m_known; }
    // Calls ready once the list is known: at once when it is, otherwise when the look-up ends.
    // Nothing is called when context is gone by then.
    void whenKnown(QObject *context, std::function<void()> ready);
    // The servers, the one to try first at the front.
    QStringList order() const { return m_order; }
    // A request to base failed: it goes to the end of the order.
    void failed(const QString &base);

private:
    void found(QStringList bases);

    std::unique_ptr<DnsSource> m_dns;
    QStringList m_order;
    bool m_known = false;
    QList<QPair<QPointer<QObject>, std::function<void()>>> m_waiting;
};
