#pragma once

#include "player/Loudness.h"
#include "player/MpvEvents.h"
#include "player/RecordProbe.h"

#include <QObject>
#include <QString>

#include <QList>
#include <QPair>

#include <functional>
#include <memory>
#include <optional>

// The audio engine of stations without picture: a small GStreamer pipeline (the stream's source
// and decoder, then conversion, volume and the desktop's sound output) that costs a fraction of
// libmpv's memory and wakes up as rarely. GStreamer is opened when it is first needed, as libmpv
// is; the program does not link it.
//
// It reports in the same plain values as libmpv's events, so the player follows both engines
// through one set of handlers: FileLoaded once the stream's audio is found, PlaybackRestart at the
// first sound, Metadata for the station's ICY name and title, an Answer to a question about the
// stream's duration or size, LogLine then EndFile when the stream ends or fails. A stream this
// engine cannot play (a picture, a format it has no decoder for, a playlist, a page) is handed
// back through cannotPlay(), and the player gives it to libmpv.
class AudioEngine : public QObject
{
    Q_OBJECT
public:
    using Report = std::function<void(const MpvEvents::Event &event)>;
    using Refusal = std::function<void(const QString &why)>;

    explicit AudioEngine(QObject *parent = nullptr);
    ~AudioEngine() override;

    // True when GStreamer and the elements the engine needs are installed (asked once; the
    // library stays open to the end of the process). Otherwise *error says why.
    static bool available(QString *error = nullptr);
    // True for an address this engine may try: an http or https stream.
    static bool mayPlay(const QString &address);

    void setReport(Report report) { m_report = std::move(report); }
    void setRefusal(Refusal refusal) { m_refusal = std::move(refusal); }

    // Starts playing the address; an earlier stream stops. False when no pipeline could be made.
    bool play(const QString &address, const QString &userAgent, int timeoutSeconds);
    void stop();
    bool isActive() const { return m_pipeline != nullptr; }
    // The pipeline playing (a GstElement), null when none: for tests that post to its bus.
    void *pipeline() const { return m_pipeline; }

    // Volume 0..100 on the same cubic curve as libmpv's, so a slider position sounds the same.
    // The stream's audio codec as libmpv names it ("mp3", "aac", "vorbis", ...) once its audio
    // is found; empty before, or for a codec libmpv names otherwise.
    QString codec() const { return m_codec; }

    void setVolume(int volume);
    void setMuted(bool muted);

    // Levelling, on or off at once (off: the sound as it comes). A stream begins at the gain
    // given (its station's, when known), else learns it; the reading may be taken at any time.
    void setLevelling(bool on) { m_leveller->setEnabled(on); }
    void setLevelStart(std::optional<double> gain) { m_levelStart = gain; }
    Loudness::Reading levelReading() const { return m_leveller->reading(); }

    // Recording: the stream's encoded sound into a file, from now on, without a moment's gap (an
    // empty path ends the file). Only while a stream plays whose sound makes a file by itself
    // (MP3, AAC in ADTS frames): canRecord() says so. A file that cannot be made or written is
    // told as libmpv's recorder tells it, by a LogLine of "recorder" at the "error" level.
    bool canRecord() const;
    bool setRecordFile(const QString &path);

    // Asks for the stream's "duration" (seconds) or "file-size" (bytes); answered by an Answer
    // with this request id once the first sound is out, without a number when unknown.
    void ask(quint64 request, const char *property);

    struct Message; // what GStreamer's threads saw, on its way to this object's thread
    struct Callbacks;

private:
    void readBus(int serial);
    void handle(const Message &message);
    void answer(quint64 request, const QByteArray &property);
    void refuse(const QString &why);
    void applyVolume();

    Report m_report;
    Refusal m_refusal;
    void *m_pipeline = nullptr; // GstElement*
    void *m_volume = nullptr;   // the volume element of the pipeline
    void *m_context = nullptr;  // what the pipeline's callbacks see
    int m_serialNumber = 0;     // the pipeline's number: what older ones posted is ignored
    bool m_linked = false;
    bool m_started = false;
    QString m_name; // ICY name and title as sent so far
    QString m_title;
    QString m_codec;
    QList<QPair<quint64, QByteArray>> m_questions; // asked before the first sound
    int m_volumeLevel = 100;
    bool m_muted = false;
    std::unique_ptr<Leveller> m_leveller = std::make_unique<Leveller>(); // used by every pipeline
    std::optional<double> m_levelStart;
    std::shared_ptr<RecordTarget> m_record = std::make_shared<RecordTarget>(); // used by every pipeline
};
