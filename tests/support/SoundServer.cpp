#include "SoundServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QThread>

bool SoundServer::start()
{
    m_pulse.setProcessChannelMode(QProcess::MergedChannels);
    m_pulse.setStandardOutputFile(m_dir.filePath(QStringLiteral("pulseaudio.log")));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    env.insert(QStringLiteral("HOME"), m_dir.path());
    m_pulse.setProcessEnvironment(env);
    m_pulse.start(QStringLiteral("pulseaudio"),
                  {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--use-pid-file=no"),
                   QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--disallow-exit"), QStringLiteral("-L"),
                   QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") + socket(),
                   QStringLiteral("-L"), QStringLiteral("module-null-sink sink_name=bench")});
    QDeadlineTimer deadline(15000);
    m_pulse.waitForStarted(5000);
    while (!QFile::exists(socket()) && !deadline.hasExpired() && !m_pulse.waitForFinished(100)) {
    }
    QThread::msleep(300);
    return QFile::exists(socket()) && m_pulse.state() == QProcess::Running;
}

SoundServer::~SoundServer()
{
    if (m_pulse.state() == QProcess::NotRunning)
        return;
    m_pulse.terminate();
    if (!m_pulse.waitForFinished(5000)) {
        m_pulse.kill();
        m_pulse.waitForFinished(5000);
    }
}
