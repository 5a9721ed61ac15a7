#include "health/StationCheck.h"

#include <QNetworkAccessManager>

StationCheck::StationCheck(int parallel, int timeLimitMs, QObject *parent)
    : QObject(parent), m_net(new QNetworkAccessManager(this)), m_timeLimitMs(timeLimitMs)
{
    for (int i = 0; i < qMax(1, parallel); ++i) {
        auto slot = std::make_unique<Slot>();
        slot->check = std::make_unique<AddressCheck>(m_net);
        Slot *s = slot.get();
        connect(s->check.get(), &AddressCheck::finished, this,
                [this, s](const AddressCheck::Outcome &outcome) { slotFinished(*s, outcome); });
        m_checks.push_back(std::move(slot));
    }
}

StationCheck::~StationCheck()
{
    stop();
    m_checks.clear(); // the checks go before the network access they use
}

void StationCheck::start(QList<Station> stations)
{
    stop();
    m_waiting = std::move(stations);
    m_next = 0;
    m_done = 0;
    m_total = int(m_waiting.size());
    m_running = true;
    emit progress(m_done, m_total);
    fill();
}

void StationCheck::add(const Station &station)
{
    if (!m_running) {
        start({station});
        return;
    }
    m_waiting.append(station);
    ++m_total;
    emit progress(m_done, m_total);
    fill();
}

void StationCheck::stop()
{
    for (auto &slot : m_checks)
        slot->check->cancel();
    m_waiting.clear();
    m_waiting.squeeze();
    m_next = 0;
    m_running = false;
}

void StationCheck::fill()
{
    m_fillQueued = false;
    if (!m_running)
        return;
    bool busy = false;
    for (auto &slot : m_checks) {
        if (!slot->check->busy() && m_next < m_waiting.size()) {
            slot->station = std::move(m_waiting[m_next]);
            m_waiting[m_next] = Station();
            ++m_next;
            slot->check->start(slot->station.address, m_timeLimitMs);
        }
        busy = busy || slot->check->busy();
    }
    if (!busy && m_next >= m_waiting.size()) {
        m_running = false;
        m_waiting.clear();
        m_waiting.squeeze();
        m_next = 0;
        emit finished();
    }
}

void StationCheck::slotFinished(Slot &slot, const AddressCheck::Outcome &outcome)
{
    ++m_done;
    const Result result{std::move(slot.station), outcome};
    slot.station = Station();
    emit checked(result);
    emit progress(m_done, m_total);
    // The next station starts from the event loop: a check that ends at once (no address) must
    // not start the next one inside itself, list after list.
    if (!m_fillQueued) {
        m_fillQueued = true;
        QMetaObject::invokeMethod(this, &StationCheck::fill, Qt::QueuedConnection);
    }
}
