#include "listening/Listening.h"

#include "app/Module1.h"
#include "app/MsgBox.h"
#include "app/Preferences.h"
#include "listening/NowPlaying.h"
#include "listening/Recorder.h"
#include "listening/SleepTimer.h"
#include "listening/frmRecentlyPlayed.h"
#include "listening/frmSleepTimer.h"
#include "player/Player.h"
#include "tuner/StatusBar.h"
#include "tuner/frmMain.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>

namespace {

const QString kFolderKey = QStringLiteral("Recording/Folder");
const QString kMinutesKey = QStringLiteral("SleepTimer/Minutes");

QString clockText(qint64 seconds)
{
    const QString ms = QStringLiteral("%1:%2").arg((seconds / 60) % 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return seconds >= 3600 ? QStringLiteral("%1:%2").arg(seconds / 3600).arg(ms.rightJustified(5, QLatin1Char('0')))
                           : ms;
}

} // namespace

Listening::Listening(frmMain &window)
    : QObject(&window), m_window(window), m_now(new NowPlaying(window, this)), m_recorder(new Recorder(*m_now, this)),
      m_sleep(new SleepTimer({}, this))
{
    lblRecording = new QLabel(&window);
    lblRecording->setObjectName(QStringLiteral("lblRecording"));
    lblRecording->setAccessibleDescription(tr("Recording"));
    QPalette red = lblRecording->palette();
    red.setColor(QPalette::WindowText, QColor(220, 0, 0));
    lblRecording->setPalette(red);
    QFont bold = lblRecording->font();
    bold.setBold(true);
    lblRecording->setFont(bold);
    lblSleep = new QLabel(&window);
    lblSleep->setObjectName(QStringLiteral("lblSleep"));
    lblSleep->setAccessibleDescription(tr("Sleep timer"));
    // Before the date and the time.
    window.StatusBar1->insertPermanentWidget(1, lblRecording);
    window.StatusBar1->insertPermanentWidget(2, lblSleep);
    lblRecording->hide();
    lblSleep->hide();

    connect(m_now, &NowPlaying::newTitle, this, &Listening::titleHeard);
    connect(m_recorder, &Recorder::recordingChanged, this, &Listening::showRecording);
    connect(m_recorder, &Recorder::tick, this, &Listening::showRecording);
    connect(m_recorder, &Recorder::failed, this, [this](const QString &message) { MsgBox::show(message, &m_window); });
    if (Player *player = m_now->player())
        connect(player, &Player::stateChanged, this, &Listening::updateRecordItem);

    connect(m_sleep, &SleepTimer::remainingChanged, this, [this](int minutes) {
        const QString text = tr("Sleep: %n min", nullptr, minutes);
        lblSleep->setText(text);
        lblSleep->setAccessibleName(text);
        lblSleep->setVisible(m_sleep->isActive());
    });
    connect(m_sleep, &SleepTimer::fading, this, &Listening::fade);
    connect(m_sleep, &SleepTimer::expired, this, [this] {
        if (Player *player = m_now->player())
            player->stop();
        fade(1.0); // the volume (and its slider) back where it was
    });
    updateRecordItem();
}

Listening::~Listening() = default;

// ---- recently played ---------------------------------------------------------------------------

TitleHistory &Listening::history()
{
    // The file lies beside the database, which is known once the window has loaded; until then
    // the titles are kept for this run only.
    const QString path = Module1::DatabasePath.isEmpty() ? QString() : TitleHistory::pathBeside(Module1::DatabasePath);
    if (path != m_historyPath) {
        m_historyPath = path;
        m_history.load(path);
    }
    return m_history;
}

void Listening::titleHeard(const QString &station, const QString &title)
{
    TitleHistory &titles = history();
    if (!titles.add(title, station, QDateTime::currentDateTime()))
        return;
    if (!m_historyPath.isEmpty())
        titles.save(m_historyPath); // a folder that cannot be written keeps the titles for this run
    emit historyChanged();
    if (m_recent)
        m_recent->refill();
}

void Listening::showRecentlyPlayed()
{
    if (!m_recent) {
        m_recent = new frmRecentlyPlayed(history(), &m_window);
        m_recent->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        m_recent->refill();
    }
    m_recent->show();
    m_recent->raise();
    m_recent->activateWindow();
}

// ---- recording ---------------------------------------------------------------------------------

QString Listening::recordingFolder()
{
    const QString chosen = Preferences::value(kFolderKey).toString();
    if (!chosen.isEmpty())
        return chosen;
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty())
        music = QDir::home().filePath(QStringLiteral("Music"));
    return QDir(music).filePath(QStringLiteral("Halcyrix"));
}

void Listening::record(bool on)
{
    if (!on) {
        m_recorder->stop();
        return;
    }
    QString error;
    if (!m_recorder->start(recordingFolder(), &error)) {
        showRecording();
        MsgBox::show(tr("Recording cannot start: %1").arg(error), &m_window);
    }
}

void Listening::chooseRecordingFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(&m_window, tr("Recording Folder"), recordingFolder());
    if (!folder.isEmpty())
        Preferences::setValue(kFolderKey, folder);
}

void Listening::showRecording()
{
    const bool on = m_recorder->isRecording();
    const QString text = QStringLiteral("REC %1").arg(clockText(m_recorder->elapsedSeconds()));
    lblRecording->setText(text);
    lblRecording->setAccessibleName(text);
    lblRecording->setVisible(on);
    m_window.mnuPlayRecord->setChecked(on);
    updateRecordItem();
}

void Listening::updateRecordItem()
{
    m_window.mnuPlayRecord->setEnabled(m_recorder->isRecording() || m_recorder->canRecord());
}

// ---- sleep timer -------------------------------------------------------------------------------

void Listening::showSleepTimer()
{
    frmSleepTimer dialog(&m_window);
    dialog.txtMinutes->setValue(m_sleep->isActive() ? m_sleep->remainingMinutes()
                                                    : Preferences::value(kMinutesKey, 30).toInt());
    dialog.cmdOff->setEnabled(m_sleep->isActive());
    dialog.txtMinutes->selectAll(); // a number typed replaces the one shown
    const int result = m_window.runModal(dialog);
    if (result == QDialog::Accepted) {
        Preferences::setValue(kMinutesKey, dialog.txtMinutes->value());
        m_sleep->start(dialog.txtMinutes->value());
    } else if (result == frmSleepTimer::Off) {
        m_sleep->cancel();
    }
}

void Listening::fade(double share)
{
    Player *player = m_now->player();
    if (!player)
        return;
    if (share >= 1.0) {
        if (m_volumeBeforeFade >= 0)
            player->setVolume(m_volumeBeforeFade);
        m_volumeBeforeFade = -1;
        return;
    }
    if (m_volumeBeforeFade < 0)
        m_volumeBeforeFade = player->volume();
    player->setVolume(int(std::lround(m_volumeBeforeFade * share)));
}
