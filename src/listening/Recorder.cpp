#include "listening/Recorder.h"

#include "listening/NowPlaying.h"
#include "listening/RecordingName.h"
#include "player/Player.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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
        case Player::State::Resolving:
        case Player::State::Connecting:
        case Player::State::Reconnecting:
            // The next connection would begin the same file again, from its start.
            m_waiting = true;
            m_player->setRecordFile(QString());
            return;
        case Player::State::Idle:
        case Player::State::Stopped:
        case Player::State::Failed:
            stop();
            return;
        }
    });
    connect(m_player, &Player::playbackStarted, this, [this] {
        if (!m_recording || !m_waiting)
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
    // A stream in the audio engine moves to libmpv, which records; its file begins when the
    // stream plays there.
    m_waiting = m_player->setRecordingWanted(true);
    if (!m_waiting && !openFile(error)) {
        m_player->setRecordingWanted(false);
        return false;
    }
    m_recording = true;
    m_elapsed.start();
    m_clock.start();
    emit recordingChanged(true);
    return true;
}

bool Recorder::openFile(QString *error)
{
    const QString extension =
        RecordingName::extensionFor(m_player->mpvProperty(QStringLiteral("audio-codec-name")), m_player->hasVideo());
    const QString name =
        RecordingName::fileName(m_now.station().name, m_oneFileTitle.isEmpty() ? m_now.title() : m_oneFileTitle,
                                extension, QDateTime::currentDateTime());
    QString why;
    const QString path = RecordingName::createUnique(m_folder, name, &why);
    if (path.isEmpty()) {
        *error = tr("No file can be made in \"%1\": %2").arg(QDir::toNativeSeparators(m_folder), why);
        return false;
    }
    if (!m_player->setRecordFile(path)) {
        QFile::remove(path);
        *error = tr("Nothing is playing.");
        return false;
    }
    m_file = path;
    m_files << path;
    return true;
}

void Recorder::stop()
{
    if (!m_recording)
        return;
    m_recording = false;
    m_waiting = false;
    m_clock.stop();
    if (m_player) {
        m_player->setRecordFile(QString());
        m_player->setRecordingWanted(false);
    }
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
