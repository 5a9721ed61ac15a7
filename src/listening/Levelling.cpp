#include "listening/Levelling.h"

#include "app/Accessibility.h"
#include "app/Module1.h"
#include "app/Preferences.h"
#include "app/RuntimeError.h"
#include "data/Database.h"
#include "data/StationGains.h"
#include "listening/NowPlaying.h"
#include "player/Player.h"
#include "player/RealAudio.h"
#include "tuner/StatusBar.h"
#include "tuner/frmMain.h"

#include <QAction>
#include <QLabel>

namespace {

const QString kKey = QStringLiteral("Playback/LevelLoudness");

} // namespace

bool Levelling::wanted()
{
    return Preferences::value(kKey, true).toBool();
}

Levelling::Levelling(frmMain &window)
    : QObject(&window), m_window(window),
      m_player(window.RealAudio1[frmMain::Picture] ? window.RealAudio1[frmMain::Picture]->player() : nullptr)
{
    lblLoudness = new QLabel(&window);
    lblLoudness->setObjectName(QStringLiteral("lblLoudness"));
    Accessibility::readAsShown(lblLoudness, tr("Loudness of the station and the gain levelling applies"));
    lblLoudness->setToolTip(tr("The station's loudness as measured, and the gain that brings it to %1 LUFS")
                                .arg(QString::number(Loudness::kTargetLufs).replace(QLatin1Char('-'), QChar(0x2212))));
    window.StatusBar1->insertPermanentWidget(1, lblLoudness);
    lblLoudness->hide();

    window.mnuPlayLevel->setChecked(wanted());
    connect(window.mnuPlayLevel, &QAction::triggered, this, [this](bool on) {
        Preferences::setValue(kKey, on);
        setOn(on);
    });
    m_reading.setInterval(1000);
    connect(&m_reading, &QTimer::timeout, this, &Levelling::showReading);

    Player *player = m_player;
    if (!player)
        return;
    player->setLevelling(wanted());
    player->setGainMemory([this](const QString &source) -> std::optional<double> {
        try {
            return StationGains::gainFor(*Database::open(Module1::DatabasePath),
                                         NowPlaying::stationFor(m_window, source).name);
        } catch (const RuntimeError &) {
            return std::nullopt; // no database to ask: the station learns its gain anew
        }
    });
    // Sent before the stream changes: what the station before taught is still there to keep.
    connect(player, &Player::sourceChanged, this, &Levelling::sourceChanged);
    connect(player, &Player::stateChanged, this, [this](Player::State state) {
        const bool playing = state == Player::State::Playing || state == Player::State::Buffering;
        m_heard = m_heard || playing;
        if (playing && !m_reading.isActive())
            m_reading.start();
        if (!playing && state != Player::State::Reconnecting) {
            keep();
            m_reading.stop();
        }
        showReading();
    });
}

Levelling::~Levelling()
{
    keep();
}

void Levelling::setOn(bool on)
{
    if (Player *player = m_player.data())
        player->setLevelling(on);
    showReading();
}

void Levelling::sourceChanged()
{
    keep();
    if (Player *player = m_player.data())
        m_station = NowPlaying::stationFor(m_window, player->source()).name;
    m_learned = {};
    m_heard = false;
    showReading();
}

void Levelling::showReading()
{
    Player *player = m_player.data();
    const bool playing =
        player && (player->state() == Player::State::Playing || player->state() == Player::State::Buffering);
    if (!player || !player->levelling() || !playing) {
        lblLoudness->hide();
        return;
    }
    const Loudness::Reading reading = player->levelReading();
    if (m_heard && reading.learned && reading.loudness)
        m_learned = reading;
    const QString text = Loudness::readingText(reading);
    if (text != lblLoudness->text())
        lblLoudness->setText(text);
    lblLoudness->show();
}

// The gain the station playing has settled on, beside the station.
void Levelling::keep()
{
    // The player's reading is this station's only once it has played (until then it may still be
    // that of a station before).
    Player *player = m_player.data();
    if (player && player->levelling() && m_heard) {
        const Loudness::Reading now = player->levelReading();
        if (now.learned && now.loudness)
            m_learned = now;
    }
    if (m_station.isEmpty() || !m_learned.learned || !m_learned.loudness)
        return;
    try {
        StationGains::keep(*Database::open(Module1::DatabasePath), m_station, m_learned.gain, *m_learned.loudness);
    } catch (const RuntimeError &) {
        // A database that cannot be written: the station learns its gain again next time.
    }
    m_learned = {};
}
