#pragma once

#include <QString>

#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>

// Recording in the audio engine. The stream's encoded sound as it goes into the decoder (what the
// server sent, its ICY data taken out) is written into a file, on GStreamer's streaming thread,
// as it passes; the engine's thread names the file and changes it. One target serves every
// pipeline of a station's reconnects. Only streams whose encoded sound is a file by itself are
// recorded this way: MP3, and AAC in ADTS frames.
class RecordTarget
{
public:
    RecordTarget() = default;
    RecordTarget(const RecordTarget &) = delete;
    RecordTarget &operator=(const RecordTarget &) = delete;
    ~RecordTarget();

    // Writes into path from now on (a new file, made or emptied); an empty path ends the file.
    // A file that cannot be made, or the last one not finished, is a failure, told as a failed
    // write is.
    void setFile(const QString &path);
    bool isRecording() const;

    // Whether the stream now playing can be recorded (its format seen by the probe).
    bool recordable() const;
    void setRecordable(bool recordable);
    // Streaming thread: the bytes go into the file, if one is open. A failed write closes it and
    // is kept for the engine's thread.
    void write(const void *data, std::size_t size);
    // What went wrong since last asked; empty when nothing did. The notice is called on each
    // failure (on the streaming thread for a write).
    QString takeError();
    void setFailureNotice(std::function<void()> notice) { m_notice = std::move(notice); }

private:
    bool close();
    void fail();

    mutable std::mutex m_mutex;
    std::FILE *m_file = nullptr;
    QString m_error;
    bool m_recordable = false;
    std::function<void()> m_notice;
};

namespace RecordProbe {

// Puts the target on the pad (a GstPad*, the audio decoder's input; GStreamer is open). False
// when the pad takes no probe.
bool attach(void *pad, std::shared_ptr<RecordTarget> target);

} // namespace RecordProbe
