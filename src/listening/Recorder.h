#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

class NowPlaying;
class Player;

// Keeps what the main window's player plays, as the stream sends it (no re-encoding), in files
// of a folder: a new file each time the title changes, named after the station and the title
// (see RecordingName). A file that ends up holding no sound is removed. Tuning another station, stopping, or the stream
// failing ends the recording; a write error ends it with failed(), and what was written stays. While the player
// reconnects, recording waits and goes on in a new file once the stream plays again.
class Recorder : public QObject
{
    Q_OBJECT
public:
    explicit Recorder(NowPlaying &now, QObject *parent = nullptr);
    ~Recorder() override;

    // Starts recording into the folder, which is made when missing. False, with *error saying
    // why, when it cannot start: nothing playing, the folder or file cannot be made. Given a
    // oneFileTitle, the recording goes into one file named with it in place of the stream's
    // titles, not a file per title.
    bool start(const QString &folder, QString *error, const QString &oneFileTitle = QString());
    void stop();
    bool isRecording() const { return m_recording; }
    // Whether the player plays something that can be recorded.
    bool canRecord() const;

    qint64 elapsedSeconds() const { return m_recording ? m_elapsed.elapsed() / 1000 : 0; }
    QString currentFile() const { return m_file; }
    // The files of the recording under way (or of the last one).
    QStringList files() const { return m_files; }

signals:
    void recordingChanged(bool on);
    // Once a second while recording.
    void tick();
    // The recording ended by an error; message says what happened and where the files are.
    void failed(const QString &message);

private:
    // A new file named by the station and the title now, made in the folder; empty (and *error
    // saying why) when none can be made.
    QString newFile(QString *error) const;
    bool openFile(QString *error);
    // The file is no longer written to; once libmpv has let go of it, it is removed when it
    // holds no sound (sweep).
    void retire(const QString &file);
    void sweep(bool now = false);
    void fail(const QString &why);

    NowPlaying &m_now;
    QPointer<Player> m_player;
    QString m_folder;
    QString m_oneFileTitle;
    QString m_file;
    QStringList m_files;
    bool m_recording = false;
    bool m_waiting = false; // the stream is reconnecting: a new file when it plays again
    bool m_moving = false;  // the stream moves to libmpv, which records into the file given
    QStringList m_retired;  // files no longer written, not yet judged, and when they were let go
    QList<qint64> m_retiredAt;
    QElapsedTimer m_elapsed;
    QTimer m_clock;
};
