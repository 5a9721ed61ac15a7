#include "listening/NowPlaying.h"

#include "data/DataControl.h"
#include "player/Player.h"
#include "player/RealAudio.h"
#include "player/StatusText.h"
#include "tuner/StationRecord.h"
#include "tuner/frmMain.h"

NowPlaying::Station NowPlaying::stationFor(const frmMain &window, const QString &source)
{
    Station station;
    if (source.isEmpty())
        return station;
    if (window.databaseAvailable()) {
        for (Data *data : {window.Data1, window.Data2}) {
            try {
                const RecordsetPtr rs = data->Recordset();
                if (StationRecord::onRow(rs) && StationRecord::text(rs, StationColumn::RAMFile).trimmed() == source) {
                    station = {StationRecord::text(rs, StationColumn::SName),
                               StationRecord::text(rs, StationColumn::RAMFile)};
                    break;
                }
            } catch (const std::exception &) {
                // A set without a current row names no station; the next one is asked.
            }
        }
    }
    if (station.address.isEmpty())
        station.address = source;
    if (station.name.isEmpty())
        station.name = StatusText::hostOf(source);
    return station;
}

Player *NowPlaying::player() const
{
    return m_player;
}

NowPlaying::NowPlaying(frmMain &window, QObject *parent)
    : QObject(parent), m_window(window), m_player(window.RealAudio1[frmMain::Picture]->player())
{
    if (!m_player)
        return;
    connect(m_player, &Player::sourceChanged, this, [this](const QString &source) {
        m_station = stationFor(m_window, source);
        m_title.clear();
        emit changed();
    });
    connect(m_player, &Player::icyChanged, this, [this](const QString &, const QString &title) {
        const QString heard = title.trimmed();
        if (heard == m_title)
            return;
        m_title = heard;
        emit changed();
        if (!heard.isEmpty())
            emit newTitle(m_station.name, heard);
    });
    m_station = stationFor(m_window, m_player->source());
    m_title = m_player->icyTitle().trimmed();
}
