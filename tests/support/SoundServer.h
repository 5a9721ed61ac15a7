#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <optional>

// A PulseAudio server of the test's own whose only sink is a null sink: it takes sound at the
// pace of a real card, and what reaches it can be recorded from its monitor (parec) and measured.
class SoundServer
{
public:
    ~SoundServer();
    // True when pulseaudio and parec are installed.
    static bool available();
    bool start(); // waits until the server answers on its socket
    QString address() const { return QStringLiteral("unix:") + socket(); } // for PULSE_SERVER
    QString socket() const { return m_dir.filePath(QStringLiteral("native")); }

    // Records what the sink plays (16-bit stereo WAV at 48 kHz) until stopRecording(). Returns
    // once sound is being written, *recorded saying how many seconds of it are in already (the
    // recording's clock is then that far ahead of one started on return).
    bool startRecording(const QString &wavFile, double *recorded = nullptr);
    void stopRecording();

private:
    QTemporaryDir m_dir;
    QProcess m_pulse;
    QProcess m_parec;
};

namespace StreamTools {

// What `ffmpeg -af ebur128=peak=true` says of seconds of a sound file: its integrated loudness
// (LUFS) and true peak (dBTP). None when ffmpeg fails.
struct LoudnessFigures
{
    double integrated = 0;
    double truePeak = 0;
};
std::optional<LoudnessFigures> measureLoudness(const QString &file, double fromSeconds, double seconds);

// Programme-like sound (pink noise through a gentle low-pass, in syllables four a second, mastered
// loud) as a 128 kbit/s MP3 file; gainDb 0 gives about -9 LUFS, -20 about -29 LUFS.
bool makeProgramme(const QString &fileName, double seconds, double gainDb);

} // namespace StreamTools
