#include "timers/Timers.h"

#include "app/AppInfo.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "data/Collation.h"
#include "data/Database.h"
#include "data/Recordset.h"
#include "listening/Listening.h"
#include "listening/NowPlaying.h"
#include "listening/Recorder.h"
#include "player/Player.h"
#include "timers/TimerClock.h"
#include "timers/TimerFile.h"
#include "timers/frmTimer.h"
#include "timers/frmTimers.h"
#include "tuner/StatusBar.h"
#include "tuner/frmMain.h"

#include <QDir>
#include <QLabel>

namespace {

// How long the question before a recording takes over waits for an answer.
constexpr int kQuestionSeconds = 30;

const QString kAlarm = QStringLiteral("\u23F0");

QString clockText(const QDateTime &time)
{
    return time.toString(QStringLiteral("HH:mm"));
}

// The stored stations' names and addresses.
QList<QPair<QString, QString>> storedStations()
{
    QList<QPair<QString, QString>> stations;
    if (Module1::DatabasePath.isEmpty())
        return stations;
    try {
        const RecordsetPtr rs = Recordset::open(Database::open(Module1::DatabasePath),
                                                QStringLiteral("select SName, RAMFile from Station"), true);
        const QStringList names = rs->columnTexts(QStringLiteral("SName"));
        const QStringList addresses = rs->columnTexts(QStringLiteral("RAMFile"));
        for (qsizetype i = 0; i < names.size() && i < addresses.size(); ++i)
            stations.append({names[i], addresses[i]});
    } catch (const std::exception &) {
        // No stations to offer.
    }
    return stations;
}

} // namespace

Timers::Timers(frmMain &window) : QObject(&window), m_window(window), m_clock(new TimerClock({}, this))
{
    lblTimer = new QLabel(&window);
    lblTimer->setObjectName(QStringLiteral("lblTimer"));
    lblTimer->setAccessibleDescription(tr("Next timer"));
    // Beside the recording and sleep marks, before the date and the time.
    window.StatusBar1->insertPermanentWidget(3, lblTimer);
    lblTimer->hide();

    connect(m_clock, &TimerClock::changed, this, [this] {
        write();
        showNext();
    });
    connect(m_clock, &TimerClock::started, this, &Timers::started);
    connect(m_clock, &TimerClock::ended, this, &Timers::ended);
    connect(m_clock, &TimerClock::wakeVolume, this, &Timers::wakeVolume);
    connect(m_clock, &TimerClock::missed, this, [this](const QStringList &texts) {
        for (const QString &text : texts)
            emit notice(App::title(), text);
        // After what reported it returns: the clock goes on while the box is open.
        QTimer::singleShot(0, this, [this, texts] { MsgBox::show(texts.join(QLatin1Char('\n')), &m_window); });
    });
    if (Player *player = m_window.listening().nowPlaying().player()) {
        connect(player, &Player::stateChanged, this, [this](Player::State state) {
            if (!m_awaitingPlay)
                return;
            if (state == Player::State::Playing) {
                beginRecording();
            } else if (state == Player::State::Failed) {
                m_awaitingPlay = false;
                const Timer *t = m_clock->running();
                const QString text =
                    tr("Recording cannot start: %1").arg(m_window.listening().nowPlaying().player()->statusText());
                emit notice(t ? t->label() : App::title(), text);
                MsgBox::show(text, &m_window);
            }
        });
    }
    // "Tue 07:00" becomes "07:00" when Tuesday comes.
    m_refresh.setInterval(30000);
    connect(&m_refresh, &QTimer::timeout, this, &Timers::showNext);
    m_refresh.start();
    QTimer::singleShot(0, this, &Timers::load);
}

Timers::~Timers() = default;

void Timers::load()
{
    if (m_loaded || Module1::DatabasePath.isEmpty())
        return;
    m_loaded = true;
    m_path = TimerFile::pathBeside(Module1::DatabasePath);
    QList<Timer> timers;
    if (!TimerFile::load(m_path, timers))
        MsgBox::show(
            tr("The timers could not be read from \"%1\". The file was set aside as \"%2\"; no timers are set.")
                .arg(QDir::toNativeSeparators(m_path), QDir::toNativeSeparators(m_path + QStringLiteral(".bad"))),
            &m_window);
    m_clock->setTimers(timers);
    showNext();
    m_clock->tick(); // what was missed while the program did not run
}

void Timers::write()
{
    // A folder that cannot be written keeps the timers for this run; that is said once.
    if (m_path.isEmpty() || TimerFile::save(m_path, m_clock->timers())) {
        m_writeFailed = false;
        return;
    }
    if (!m_writeFailed)
        QTimer::singleShot(0, this, [this] {
            MsgBox::show(tr("The timers cannot be saved in \"%1\". They are kept until Halcyrix ends.")
                             .arg(QDir::toNativeSeparators(m_path)),
                         &m_window);
        });
    m_writeFailed = true;
}

void Timers::showTimers()
{
    load();
    if (!m_list) {
        m_list = new frmTimers(*this, &m_window);
        m_list->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        m_list->refill();
    }
    m_list->show();
    m_list->raise();
    m_list->activateWindow();
}

frmTimers *Timers::timersWindow() const
{
    return m_list;
}

bool Timers::edit(const Timer &timer, QWidget *parent)
{
    Timer shown = timer;
    if (shown.station.isEmpty() && m_window.listening().nowPlaying().player())
        shown.station = m_window.listening().nowPlaying().station().name;
    frmTimer dialog(
        shown, stationNames(), [this](const Timer &t) { return m_clock->save(t); }, parent);
    return dialog.exec() == QDialog::Accepted;
}

QStringList Timers::stationNames()
{
    QStringList names;
    for (const auto &station : storedStations())
        names << station.first;
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return Collation::compare(a, b) < 0; });
    return names;
}

QString Timers::trayText() const
{
    if (const Timer *t = m_clock->running()) {
        const QString what = t->kind == Timer::Kind::Record ? tr("Recording") : tr("Wake up");
        if (t->minutes > 0)
            return tr("%1 %2: %3 until %4").arg(kAlarm, what, t->label(), clockText(m_clock->runningEnd()));
        return tr("%1 %2: %3").arg(kAlarm, what, t->label());
    }
    if (const auto next = m_clock->next())
        return tr("%1 %2 %3").arg(kAlarm, TimerRules::whenText(next->start, m_clock->now()), next->timer.label());
    return QString();
}

void Timers::showNext()
{
    const auto next = m_clock->next();
    lblTimer->setVisible(next.has_value());
    if (next) {
        const QString when = TimerRules::whenText(next->start, m_clock->now());
        lblTimer->setText(kAlarm + QLatin1Char(' ') + when);
        // Read by a screen reader as words, not as the clock sign.
        lblTimer->setAccessibleName(tr("Next timer %1, %2").arg(when, next->timer.label()));
        lblTimer->setToolTip(
            tr("Next timer: %1 (%2, %3), %4")
                .arg(next->timer.label(), TimerRules::kindText(next->timer.kind), next->timer.station, when));
    }
    emit changed();
}

// ---- a timer starts and ends -----------------------------------------------------------------

bool Timers::playerBusy() const
{
    const Player *player = m_window.listening().nowPlaying().player();
    if (!player)
        return false;
    switch (player->state()) {
    case Player::State::Idle:
    case Player::State::Stopped:
    case Player::State::Failed:
        return false;
    default:
        return true;
    }
}

bool Timers::playing(const QString &station) const
{
    return playerBusy() && Collation::sameName(m_window.listening().nowPlaying().station().name, station);
}

void Timers::tune(const QString &station)
{
    QString address;
    for (const auto &stored : storedStations()) {
        if (Collation::sameName(stored.first, station))
            address = stored.second;
    }
    m_tuned = true;
    m_window.tuneStation(station, address);
}

void Timers::started(const Timer &timer, const QDateTime &start)
{
    m_tuned = m_awaitingPlay = m_recording = false;
    m_fadeVolume = -1;
    if (timer.kind == Timer::Kind::WakeUp)
        startWakeUp(timer);
    else
        startRecording(timer, start);
    showNext();
}

void Timers::startWakeUp(const Timer &timer)
{
    if (playing(timer.station)) {
        emit notice(timer.label(), tr("Wake up: %1 plays already.").arg(timer.station));
        return;
    }
    if (playerBusy()) {
        const QString text = tr("Wake up \"%1\" did not start: %2 plays.")
                                 .arg(timer.label(), m_window.listening().nowPlaying().station().name);
        emit notice(timer.label(), text);
        m_window.StatusBar1->showPrompt(text);
        return;
    }
    Player *player = m_window.listening().nowPlaying().player();
    if (!player)
        return;
    m_fadeVolume = TimerRules::fadeVolume(timer.volume, 0);
    player->setMuted(false); // a muted clock radio wakes nobody
    player->setVolume(m_fadeVolume);
    tune(timer.station);
    emit notice(timer.label(), tr("Wake up: %1").arg(timer.station));
}

void Timers::wakeVolume(int volume)
{
    Player *player = m_window.listening().nowPlaying().player();
    if (m_fadeVolume < 0 || !player)
        return;
    // Volume set by hand ends the fade where the user put it.
    if (player->volume() != m_fadeVolume) {
        m_fadeVolume = -1;
        m_clock->stopFade();
        return;
    }
    m_fadeVolume = volume;
    player->setVolume(volume);
    if (const Timer *t = m_clock->running(); t && volume >= t->volume)
        m_fadeVolume = -1;
}

void Timers::startRecording(const Timer &timer, const QDateTime &start)
{
    const int id = timer.id;
    const QDateTime end = start.addSecs(timer.lengthSeconds());
    Recorder &recorder = m_window.listening().recorder();
    const bool same = playing(timer.station);
    if (recorder.isRecording() || (playerBusy() && !same)) {
        const QString question = tr("It is time to record \"%1\" from %2 until %3. Stop what plays now and record it?")
                                     .arg(timer.label(), timer.station, clockText(end));
        const MsgBox::Answer answer = MsgBox::askYesNoUnattended(question, kQuestionSeconds, &m_window);
        const Timer *still = m_clock->running();
        if (!still || still->id != id)
            return; // ended (or changed) while the question waited
        if (answer == MsgBox::Answer::No) {
            emit notice(timer.label(), tr("Not recorded: you went on listening."));
            m_clock->endRunning();
            return;
        }
        recorder.stop();
    }
    m_oneFileTitle = timer.splitByTitle ? QString() : start.toString(QStringLiteral("yyyy-MM-dd HH-mm"));
    emit notice(timer.label(), tr("Recording %1 until %2").arg(timer.station, clockText(end)));
    m_awaitingPlay = true;
    if (same && recorder.canRecord()) {
        beginRecording();
        return;
    }
    tune(timer.station);
}

void Timers::beginRecording()
{
    m_awaitingPlay = false;
    QString error;
    if (!m_window.listening().recorder().start(Listening::recordingFolder(), &error, m_oneFileTitle)) {
        const QString text = tr("Recording cannot start: %1").arg(error);
        if (const Timer *t = m_clock->running())
            emit notice(t->label(), text);
        MsgBox::show(text, &m_window);
        return;
    }
    m_recording = true;
}

void Timers::ended(const Timer &timer)
{
    Recorder &recorder = m_window.listening().recorder();
    QString body = tr("Ended");
    if (m_recording && recorder.isRecording()) {
        recorder.stop();
        if (!recorder.files().isEmpty())
            body = tr("Recorded in \"%1\"").arg(QDir::toNativeSeparators(recorder.files().last()));
    }
    // What the timer tuned stops with it, unless the user tuned something else meanwhile or it is
    // a wake-up that plays on.
    Player *player = m_window.listening().nowPlaying().player();
    if (m_tuned && player && playing(timer.station) && (timer.kind == Timer::Kind::Record || timer.minutes > 0))
        player->stop();
    if ((m_tuned || m_recording) && (timer.kind == Timer::Kind::Record || timer.minutes > 0))
        emit notice(timer.label(), body);
    m_tuned = m_awaitingPlay = m_recording = false;
    m_fadeVolume = -1;
    showNext();
}
