#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A PulseAudio server of the caller's own with a null sink as its only sink: it takes sound at
// the pace of a real card, so a player is measured as it plays to a desktop's sound server.
// Players reach it with PULSE_SERVER=address().
class SoundServer
{
public:
    SoundServer() = default;
    ~SoundServer();

    // Starts the server and waits until its socket is there. False when it did not start.
    bool start();
    QString socket() const { return m_dir.filePath(QStringLiteral("native")); }
    QString address() const { return QStringLiteral("unix:") + socket(); }

private:
    QTemporaryDir m_dir;
    QProcess m_pulse;
};
