#include "guide/GuideStatus.h"

#include "app/Module1.h"
#include "data/Database.h"
#include "guide/GuideLoader.h"
#include "guide/GuideText.h"
#include "player/RealAudio.h"

#include <QFile>

GuideStatus::GuideStatus(RealAudio *statusLine, RealAudio *picture, QObject *parent)
    : QObject(parent), m_statusLine(statusLine), m_picture(picture)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &GuideStatus::show);
    connect(&GuideLoader::instance(), &GuideLoader::finished, this, [this] {
        findChannel();
        show();
    });
}

void GuideStatus::tuned(const QString &stationName)
{
    m_station = stationName;
    findChannel();
    show();
}

void GuideStatus::findChannel()
{
    m_channel.clear();
    // Without a guide database there is no guide (and none is made here).
    if (m_station.isEmpty() || !QFile::exists(GuideLoader::instance().databasePath()))
        return;
    try {
        auto db = Database::open(Module1::DatabasePath);
        QList<ChannelMatch::Station> stations;
        for (const ChannelMatch::Station &s : ChannelMatch::televisionStations(*db))
            if (s.name.compare(m_station, Qt::CaseInsensitive) == 0)
                stations << s;
        if (stations.isEmpty())
            return; // no TV station: no guide
        GuideDatabase guide(GuideLoader::instance().databasePath());
        m_channel = ChannelMatch::link(stations, guide.channels()).value(stations.front().name);
    } catch (const std::exception &) {
        // No station database to read: no guide line.
    }
}

void GuideStatus::show()
{
    m_timer.stop();
    QString text;
    if (!m_channel.isEmpty()) {
        GuideDatabase guide(GuideLoader::instance().databasePath());
        const qint64 now = GuideClock::now();
        const auto [on, next] = guide.nowNext(m_channel, now);
        text = GuideText::nowNext(on, next);
        // Moves on when the programme ends (or the next one starts).
        const qint64 change = on ? on->stop : next ? next->start : 0;
        if (change > now)
            m_timer.start(int(qMin<qint64>(change - now, 3600) * 1000));
    }
    m_text = text;
    for (RealAudio *element : {m_statusLine, m_picture})
        if (element)
            element->setProgrammeText(text);
}
