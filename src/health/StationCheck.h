#pragma once

#include "health/AddressCheck.h"

#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class QNetworkAccessManager;

// A run of checks over a list of stations: a small fixed number of addresses are checked at
// once, each with its own time limit, so a long list takes minutes and no server sees more than
// a few connections of ours. Only the stations still waiting are kept; each outcome is handed
// out as it comes and not kept here.
class StationCheck : public QObject
{
    Q_OBJECT
public:
    static constexpr int kParallel = 8;
    static constexpr int kTimeLimitMs = 10000;

    struct Station
    {
        qint64 rowid = -1;
        QString name;
        QString address;
        QString category;
    };
    struct Result
    {
        Station station;
        AddressCheck::Outcome outcome;
    };

    explicit StationCheck(int parallel = kParallel, int timeLimitMs = kTimeLimitMs, QObject *parent = nullptr);
    ~StationCheck() override;

    // Checks the stations in their order; a run under way is stopped first.
    void start(QList<Station> stations);
    // Checks one more station: in the run under way, or in a run of its own.
    void add(const Station &station);
    // Ends the run at once; the outcomes handed out so far stand.
    void stop();

    bool running() const { return m_running; }
    int done() const { return m_done; }
    int total() const { return m_total; }
    int parallel() const { return int(m_checks.size()); }
    int timeLimitMs() const { return m_timeLimitMs; }

signals:
    void checked(const StationCheck::Result &result);
    void progress(int done, int total);
    void finished(); // every station was checked (not after stop())

private:
    struct Slot
    {
        std::unique_ptr<AddressCheck> check;
        Station station;
    };
    void fill();
    void slotFinished(Slot &slot, const AddressCheck::Outcome &outcome);

    QNetworkAccessManager *m_net;
    std::vector<std::unique_ptr<Slot>> m_checks;
    QList<Station> m_waiting;
    qsizetype m_next = 0; // the first station of m_waiting not yet started
    int m_timeLimitMs;
    int m_done = 0;
    int m_total = 0;
    bool m_running = false;
    bool m_fillQueued = false;
};
