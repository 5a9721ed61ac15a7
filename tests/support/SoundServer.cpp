#include "SoundServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

namespace {

void stop(QProcess &p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

} // namespace

SoundServer::~SoundServer()
{
    stop(m_parec);
    stop(m_pulse);
}

bool SoundServer::available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty();
}

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
                   QStringLiteral("-L"), QStringLiteral("module-null-sink sink_name=hxsink rate=48000")});
    QDeadlineTimer deadline(15000);
    m_pulse.waitForStarted(5000);
    while (!QFile::exists(socket()) && !deadline.hasExpired() && !m_pulse.waitForFinished(100)) {
    }
    // The socket exists a moment before the server takes connections on it: ask it until it answers.
    while (QFile::exists(socket()) && !deadline.hasExpired()) {
        QProcess info;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("PULSE_SERVER"), address());
        info.setProcessEnvironment(e);
        info.start(QStringLiteral("pactl"), {QStringLiteral("info")});
        if (info.waitForFinished(5000) && info.exitCode() == 0)
            return m_pulse.state() == QProcess::Running;
        QThread::msleep(100);
    }
    return false;
}

bool SoundServer::startRecording(const QString &wavFile, double *recorded)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"), address());
    m_parec.setProcessEnvironment(env);
    m_parec.start(QStringLiteral("parec"),
                  {QStringLiteral("-d"), QStringLiteral("hxsink.monitor"), QStringLiteral("--format=s16le"),
                   QStringLiteral("--rate=48000"), QStringLiteral("--channels=2"), QStringLiteral("--file-format=wav"),
                   QStringLiteral("--latency-msec=50"), wavFile});
    if (!m_parec.waitForStarted(5000))
        return false;
    // The sink's monitor sends silence while nothing plays: the file grows from the moment parec
    // has connected, which may be a while after it started.
    constexpr qint64 kHeader = 44;
    constexpr double kBytesPerSecond = 48000.0 * 4;
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired() && m_parec.state() == QProcess::Running) {
        const qint64 size = QFileInfo(wavFile).size();
        if (size > kHeader) {
            if (recorded)
                *recorded = double(size - kHeader) / kBytesPerSecond;
            return true;
        }
        QThread::msleep(5);
    }
    return false;
}

void SoundServer::stopRecording()
{
    // parec writes the WAV header's sizes when it is asked to end (SIGTERM), not when killed.
    stop(m_parec);
}

std::optional<StreamTools::LoudnessFigures> StreamTools::measureLoudness(const QString &file, double fromSeconds,
                                                                         double seconds)
{
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-nostdin"), QStringLiteral("-hide_banner"), QStringLiteral("-ss"),
                  QString::number(fromSeconds, 'f', 3), QStringLiteral("-t"), QString::number(seconds, 'f', 3),
                  QStringLiteral("-i"), file, QStringLiteral("-af"),
                  QStringLiteral("ebur128=peak=true:framelog=verbose"), QStringLiteral("-f"), QStringLiteral("null"),
                  QStringLiteral("-")});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        return std::nullopt;
    // The summary at the end: "I:         -18.2 LUFS" and, under "True peak:", "Peak:  -3.1 dBFS".
    const QString out = QString::fromUtf8(ffmpeg.readAll());
    const qsizetype summary = out.lastIndexOf(QLatin1String("Summary:"));
    if (summary < 0)
        return std::nullopt;
    static const QRegularExpression integrated(QStringLiteral("I:\\s+(-?[0-9.]+|-inf) LUFS"));
    static const QRegularExpression peak(QStringLiteral("Peak:\\s+(-?[0-9.]+|-inf) dBFS"));
    const auto i = integrated.match(out, summary);
    const auto p = peak.match(out, summary);
    if (!i.hasMatch() || !p.hasMatch())
        return std::nullopt;
    return LoudnessFigures{i.captured(1).toDouble(), p.captured(1).toDouble()};
}

bool StreamTools::makeProgramme(const QString &fileName, double seconds, double gainDb)
{
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    // Pushed into a soft clipper, as a station mastered loud is, before the gain.
    const QString filters = QStringLiteral("lowpass=f=5000,volume=eval=frame:volume='0.3+0.7*pow(abs(sin(4*PI*t)),2)',"
                                           "volume=20dB,asoftclip=type=tanh,volume=%1dB")
                                .arg(gainDb - 1.0, 0, 'f', 2);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-nostdin"), QStringLiteral("-y"), QStringLiteral("-loglevel"),
                  QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("anoisesrc=color=pink:amplitude=0.5:sample_rate=44100:seed=7:duration=") +
                      QString::number(seconds),
                  QStringLiteral("-af"), filters, QStringLiteral("-ac"), QStringLiteral("2"), QStringLiteral("-c:a"),
                  QStringLiteral("libmp3lame"), QStringLiteral("-b:a"), QStringLiteral("128k"), fileName});
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0;
}
