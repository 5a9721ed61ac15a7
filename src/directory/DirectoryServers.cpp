#include "directory/DirectoryServers.h"

#include <QCoreApplication>
#include <QDnsLookup>
#include <QHostAddress>
#include <QHostInfo>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {

// Calls done once: with the first answer, or with nothing when the time is up.
template <typename T> class Once
{
public:
    explicit Once(std::function<void(T)> done) : m_done(std::move(done)) {}
    void operator()(T value)
    {
        if (auto done = std::exchange(m_done, nullptr))
            done(std::move(value));
    }

private:
    std::function<void(T)> m_done;
};

class SystemDns : public DnsSource
{
public:
    void lookupService(const QString &name, std::function<void(QList<SrvRecord>)> done) override
    {
        auto once = std::make_shared<Once<QList<SrvRecord>>>(std::move(done));
        auto *lookup = new QDnsLookup(QDnsLookup::SRV, name, &m_context);
        QObject::connect(lookup, &QDnsLookup::finished, lookup, [lookup, once] {
            QList<SrvRecord> records;
            if (lookup->error() == QDnsLookup::NoError)
                for (const QDnsServiceRecord &r : lookup->serviceRecords())
                    records.append({r.target(), r.port(), r.priority(), r.weight()});
            lookup->deleteLater();
            (*once)(records);
        });
        QTimer::singleShot(DirectoryServers::kLookupTimeoutMs, lookup, [lookup, once] {
            lookup->abort();
            (*once)({});
        });
        lookup->lookup();
    }

    void lookupHostNames(const QString &name, std::function<void(QStringList)> done) override
    {
        auto once = std::make_shared<Once<QStringList>>(std::move(done));
        QTimer::singleShot(DirectoryServers::kLookupTimeoutMs, &m_context, [once] { (*once)({}); });
        QHostInfo::lookupHost(name, &m_context, [this, once](const QHostInfo &info) {
            const QList<QHostAddress> addresses = info.addresses();
            if (addresses.isEmpty()) {
                (*once)({});
                return;
            }
            // Each address's own name; the list is complete when every address answered.
            auto names = std::make_shared<QStringList>();
            auto left = std::make_shared<int>(int(addresses.size()));
            for (const QHostAddress &address : addresses) {
                QHostInfo::lookupHost(address.toString(), &m_context, [names, left, once, address](const QHostInfo &r) {
                    const QString host = r.hostName();
                    if (r.error() == QHostInfo::NoError && !host.isEmpty() && QHostAddress(host).isNull() &&
                        !names->contains(host))
                        names->append(host);
                    if (--*left == 0)
                        (*once)(*names);
                });
            }
        });
    }

private:
    QObject m_context; // look-ups end with the resolver
};

} // namespace

std::unique_ptr<DnsSource> systemDns()
{
    return std::make_unique<SystemDns>();
}

QString DirectoryServers::serviceName()
{
    return QStringLiteral("_api._tcp.radio-browser.info");
}

QString DirectoryServers::sharedName()
{
    return QStringLiteral("all.api.radio-browser.info");
}

QStringList DirectoryServers::builtIn()
{
    return {QStringLiteral("https://de1.api.radio-browser.info"), QStringLiteral("https://nl1.api.radio-browser.info"),
            QStringLiteral("https://at1.api.radio-browser.info"), QStringLiteral("https://fi1.api.radio-browser.info")};
}

QStringList DirectoryServers::fromEnvironment()
{
    QStringList bases;
    const QString value = qEnvironmentVariable("HALCYRIX_DIRECTORY");
    for (QString base : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        base = base.trimmed();
        while (base.endsWith(QLatin1Char('/')))
            base.chop(1);
        const QUrl url(base);
        const QString scheme = url.scheme().toLower();
        if (url.isValid() && !url.host().isEmpty() &&
            (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !bases.contains(base))
            bases.append(base);
    }
    return bases;
}

QString DirectoryServers::baseFor(const SrvRecord &record)
{
    QString host = record.target;
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    if (record.port == 443 || record.port == 0)
        return QStringLiteral("https://") + host;
    return QStringLiteral("https://%1:%2").arg(host).arg(record.port);
}

DirectoryServers::DirectoryServers(std::unique_ptr<DnsSource> dns) : m_dns(std::move(dns))
{
    m_dns->lookupService(serviceName(), [this](const QList<SrvRecord> &records) {
        QStringList bases;
        for (const SrvRecord &record : records)
            if (!record.target.isEmpty() && !bases.contains(baseFor(record)))
                bases.append(baseFor(record));
        if (!bases.isEmpty()) {
            found(bases);
            return;
        }
        m_dns->lookupHostNames(sharedName(), [this](const QStringList &names) {
            QStringList bases;
            for (const QString &name : names)
                bases.append(QStringLiteral("https://") + name);
            found(bases.isEmpty() ? builtIn() : bases);
        });
    });
}

DirectoryServers::DirectoryServers(const QStringList &bases) : m_order(bases), m_known(true) {}

DirectoryServers::~DirectoryServers() = default;

namespace {
std::shared_ptr<DirectoryServers> &sessionList()
{
    static std::shared_ptr<DirectoryServers> list;
    return list;
}
} // namespace

std::shared_ptr<DirectoryServers> DirectoryServers::session()
{
    auto &list = sessionList();
    if (!list) {
        // Dropped with the application, while its look-ups can still end cleanly.
        qAddPostRoutine([] { sessionList().reset(); });
        const QStringList given = fromEnvironment();
        list = given.isEmpty() ? std::make_shared<DirectoryServers>(systemDns())
                               : std::make_shared<DirectoryServers>(given);
    }
    return list;
}

void DirectoryServers::found(QStringList bases)
{
    std::shuffle(bases.begin(), bases.end(), *QRandomGenerator::global());
    m_order = bases;
    m_known = true;
    const auto waiting = std::exchange(m_waiting, {});
    for (const auto &[context, ready] : waiting)
        if (context)
            ready();
}

void DirectoryServers::whenKnown(QObject *context, std::function<void()> ready)
{
    if (m_known)
        ready();
    else
        m_waiting.append({QPointer<QObject>(context), std::move(ready)});
}

void DirectoryServers::failed(const QString &base)
{
    if (m_order.removeAll(base) > 0)
        m_order.append(base);
}
