#include "listening/Recorder.h"

#include "listening/NowPlaying.h"
#include "listening/RecordingName.h"
#include "player/Player.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// libmpv lets go of a file it recorded into a moment after it is told to: a file is judged once
// that time has passed. A file holding less than this is empty or a container's header at most,
// with no sound worth keeping (a title that changed again at once, a stream that failed).
constexpr int kSettleMs = 3000;
constexpr qint64 kLeastBytes = 1024;

} // namespace

Recorder::Recorder(NowPlaying &now, QObject *parent) : QObject(parent), m_now(now), m_player(now.player())
{
    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, [this] {
        // A folder removed (or a drive unplugged) under a file still open takes the file with
        // it, though writing goes on without an error: that ends the recording too.
        if (m_recording && !m_waiting && !QFileInfo::exists(m_file)) {
            fail(tr("The file \"%1\" is gone.").arg(QDir::toNativeSeparators(m_file)));
            return;
        }
        sweep();
        emit tick();
    });
    connect(&m_now, &NowPlaying::newTitle, this, [this] {
        if (!m_recording || m_waiting || !m_oneFileTitle.isEmpty())
            return;
        QString error;
        if (!openFile(&error))
            fail(error);
    });
    if (!m_player)
        return;
    connect(m_player, &Player::sourceChanged, this, &Recorder::stop);
    connect(m_player, &Player::recordingFailed, this, [this](const QString &text) {
        if (m_recording)
            fail(text);
    });
    connect(m_player, &Player::stateChanged, this, [this](Player::State state) {
        if (!m_recording)
            return;
        switch (state) {
        case Player::State::Playing:
        case Player::State::Buffering:
            return;
        case Player::State::Connecting:
            if (m_moving)
                return; // libmpv opens the stream, and records it into the file already given
            [[fallthrough]];
        case Player::State::Resolving:
        case Player::State::Reconnecting:
            // The next connection would begin the same file again, from its start.
            m_moving = false;
            m_waiting = true;
            m_player->setRecordFile(QString());
            retire(m_file);
            return;
        case Player::State::Idle:
        case Player::State::Stopped:
        case Player::State::Failed:
            stop();
            return;
        }
    });
    connect(m_player, &Player::playbackStarted, this, [this] {
        if (!m_recording)
            return;
        m_moving = false;
        if (!m_waiting)
            return;
        m_waiting = false;
        QString error;
        if (!openFile(&error))
            fail(error);
    });
}

Recorder::~Recorder()
{
    stop();
    sweep(true);
}

bool Recorder::canRecord() const
{
    return m_player && (m_player->state() == Player::State::Playing || m_player->state() == Player::State::Buffering);
}

bool Recorder::start(const QString &folder, QString *error, const QString &oneFileTitle)
{
    if (m_recording)
        return true;
    if (!canRecord()) {
        *error = tr("Nothing is playing.");
        return false;
    }
    if (!QDir().mkpath(folder)) {
        *error = tr("The folder \"%1\" cannot be made.").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    m_folder = folder;
    m_oneFileTitle = oneFileTitle;
    m_files.clear();
    const QString path = newFile(error);
    if (path.isEmpty())
        return false;
    // A stream the audio engine cannot record moves to libmpv, which records it into the file
    // from the first packet it reads; any other records from now on where it plays.
    m_moving = m_player->setRecordingWanted(true, path);
    if (!m_moving && !m_player->setRecordFile(path)) {
        m_player->setRecordingWanted(false);
        QFile::remove(path);
        *error = tr("Nothing is playing.");
        return false;
    }
    m_file = path;
    m_files << path;
    m_waiting = false;
    m_recording = true;
    m_elapsed.start();
    m_clock.start();
    emit recordingChanged(true);
    return true;
}

QString Recorder::newFile(QString *error) const
{
    const QString extension = RecordingName::extensionFor(m_player->audioCodec(), m_player->hasVideo());
    const QString name =
        RecordingName::fileName(m_now.station().name, m_oneFileTitle.isEmpty() ? m_now.title() : m_oneFileTitle,
                                extension, QDateTime::currentDateTime());
    QString why;
    const QString path = RecordingName::createUnique(m_folder, name, &why);
    if (path.isEmpty())
        *error = tr("No file can be made in \"%1\": %2").arg(QDir::toNativeSeparators(m_folder), why);
    return path;
}

bool Recorder::openFile(QString *error)
{
    const QString path = newFile(error);
    if (path.isEmpty())
        return false;
    if (!m_player->setRecordFile(path)) {
        QFile::remove(path);
        *error = tr("Nothing is playing.");
        return false;
    }
    retire(m_file);
    m_file = path;
    m_files << path;
    return true;
}

void Recorder::retire(const QString &file)
{
    if (!file.isEmpty() && !m_retired.contains(file)) {
        m_retired.append(file);
        m_retiredAt.append(QDateTime::currentMSecsSinceEpoch());
    }
}

void Recorder::sweep(bool now)
{
    const qint64 settled = QDateTime::currentMSecsSinceEpoch() - kSettleMs;
    for (qsizetype i = m_retired.size() - 1; i >= 0; --i) {
        if (!now && m_retiredAt.at(i) > settled)
            continue;
        const QString file = m_retired.takeAt(i);
        m_retiredAt.removeAt(i);
        const QFileInfo info(file);
        if (info.exists() && info.size() < kLeastBytes && QFile::remove(file))
            m_files.removeAll(file);
    }
}

void Recorder::stop()
{
    if (!m_recording)
        return;
    m_recording = false;
    m_waiting = false;
    m_moving = false;
    m_clock.stop();
    if (m_player) {
        m_player->setRecordFile(QString());
        m_player->setRecordingWanted(false);
    }
    retire(m_file);
    QTimer::singleShot(kSettleMs, this, [this] { sweep(); });
    emit recordingChanged(false);
}

void Recorder::fail(const QString &why)
{
    if (!m_recording)
        return;
    // A file the player could not even begin holds nothing worth keeping.
    if (QFileInfo(m_file).size() == 0 && QFile::remove(m_file))
        m_files.removeAll(m_file);
    stop();
    QString message = tr("Recording stopped: %1").arg(why);
    if (!m_files.isEmpty())
        message +=
            QStringLiteral("\n\n") + tr("What was recorded is kept in \"%1\".").arg(QDir::toNativeSeparators(m_folder));
    emit failed(message);
}
