#pragma once

#include "player/Loudness.h"
#include "player/MetafileResolver.h"
#include "player/MpvEvents.h"
#include "player/ReconnectPolicy.h"

#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>

#include <atomic>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

class GlPicture;
class QWindow;
struct mpv_handle;
struct mpv_render_context;
struct MpvLibrary;
class AudioEngine;
class MpvLeveller;

// One stream player, shared by every element widget with the same console name.
//
// The player takes a stream source (a direct stream address, a local file, or a metafile such as
// a .ram, .m3u, .pls, .asx or .xspf list), resolves metafiles into a queue of entries and plays the
// first entry that works, trying the next one when an entry fails. A live stream that drops while
// playing is reconnected a few times with growing pauses. Nothing here blocks the user-interface
// thread: metafiles are fetched asynchronously and libmpv runs on its own threads, reporting back
// through a queued call. libmpv itself is opened when the first entry is played (MpvLibrary);
// until then a player costs no more than a few objects.
//
// The parts: MetafileResolver turns the source into entries, MpvEvents decodes what libmpv
// reports, ReconnectPolicy decides what an end of an entry means; the player wires them to libmpv
// and keeps the state and status text (its event handlers are in PlayerEvents.cpp).
//
// A radio stream (http or https) is played by the lighter AudioEngine when GStreamer is installed;
// it reports in libmpv's terms, so the same handlers follow it. A stream it cannot play (one with
// a picture, a format or playlist it does not know) goes to libmpv, as does every other address.
// Options given through setDefaultOption() are libmpv's, so with any of them libmpv plays all.
class Player : public QObject
{
    Q_OBJECT
public:
    enum class State {
        Idle,       // no source yet
        Resolving,  // reading a metafile
        Connecting, // the stream is being opened
        Buffering,  // opened, filling the cache
        Playing,
        Reconnecting, // a live stream dropped; waiting to try again
        Stopped,      // the stream ended
        Failed        // no entry could be played
    };
    Q_ENUM(State)

    // The player of a console; made on first use and kept until the application object goes
    // (or destroyAll()). Needs a QCoreApplication.
    static Player *forConsole(const QString &console);
    // Destroys every player (libmpv is shut down cleanly); later forConsole() calls make new ones.
    static void destroyAll();

    // An option for every libmpv instance made afterwards, e.g. ("ao", "null"), ("vo", "null"),
    // ("ao", "pcm") with ("ao-pcm-file", path). Tests call it before the first player is made.
    static void setDefaultOption(const QString &name, const QString &value);
    static void clearDefaultOptions();

    QString console() const { return m_console; }

    // The stream source. A new source replaces the stream playing; with autoStart() it starts.
    void setSource(const QString &source);
    QString source() const { return m_source; }
    void setAutoStart(bool on);
    bool autoStart() const { return m_autoStart; }
    // Starts the current source; does nothing while that source is already starting or playing.
    void play();
    // Stops playback (the source is kept).
    void stop();

    int volume() const { return m_volume; } // 0..100
    void setVolume(int volume);
    bool muted() const { return m_muted; }
    void setMuted(bool muted);

    State state() const { return m_state; }
    QString statusText() const { return m_statusText; }
    QString icyName() const { return m_icyName; }
    QString icyTitle() const { return m_icyTitle; }
    int bufferingPercent() const { return m_bufferPercent; }
    // The entry being played (after metafile resolving), empty when none.
    QString currentEntry() const { return m_currentEntry; }
    // Seconds since the current stream began to play; 0 when not playing.
    qint64 elapsedSeconds() const;
    // True while the stream has a picture (television stations).
    bool hasVideo() const { return m_hasVideo; }

    // Draws the current video frame into the image (its size and format Format_RGB32 decide the
    // picture). Returns false when there is no picture to draw.
    bool renderFrame(QImage &image);
    // True once pictures are drawn with OpenGL (chosen when the first stream with a picture
    // opens, where the platform offers OpenGL); the software path otherwise.
    bool drawsWithOpenGL() const { return m_gl != nullptr; }
    // With OpenGL: prepares a window (before it is shown) to be drawn on by renderFrame(window).
    void prepareWindow(QWindow *window) const;
    // With OpenGL: draws the current frame straight onto the whole window, black bars keeping
    // the picture's shape, black without a picture. False when the picture is not drawn so.
    bool renderFrame(QWindow *window);
    // Shows a short text over the picture for a while (the station and title in full screen).
    void showOnPicture(const QString &text, int milliseconds);

    // Keeps what the stream sends, as it arrives and without re-encoding, in the file (its ending
    // chooses the container); another name starts another file, an empty one ends the recording.
    // False when neither engine can record it (nothing has played yet).
    bool setRecordFile(const QString &path);
    // The audio engine records streams whose sound makes a file by itself (MP3, AAC in ADTS
    // frames), without a gap; libmpv records the others. While wanted for one of those, every
    // entry plays in libmpv; a stream playing in the audio engine is opened again in libmpv (a
    // short gap, then playbackStarted() once more), which keeps it in firstFile from its first
    // packet on, and the station's name and title stay as they were. True when the stream had to
    // move; otherwise the recording's file is given with setRecordFile().
    bool setRecordingWanted(bool wanted, const QString &firstFile = QString());
    // The stream's audio codec as libmpv names it ("mp3", "aac", "vorbis", ...), from whichever
    // engine plays it; empty when unknown.
    QString audioCodec() const;

    // Levelling: every station at the same loudness, in both engines; on unless turned off. Off,
    // the sound is as it comes. The volume and mute act on the levelled sound.
    void setLevelling(bool on);
    bool levelling() const { return m_levelling; }
    // Finds the gain learned for a source (its station's), asked when that source begins.
    using GainMemory = std::function<std::optional<double>(const QString &source)>;
    void setGainMemory(GainMemory memory) { m_gainMemory = std::move(memory); }
    // The loudness measured of what plays and the gain applied now.
    Loudness::Reading levelReading() const;

    // Reads a libmpv property as text (diagnostics and tests), empty when unavailable.
    QString mpvProperty(const QString &name) const;

    ~Player() override;

signals:
    void sourceChanged(const QString &source);
    void playRequested();
    void statusChanged(const QString &text);
    void stateChanged(Player::State state);
    void volumeChanged(int volume);
    void mutedChanged(bool muted);
    void icyChanged(const QString &name, const QString &title);
    void videoChanged(bool hasVideo);
    void frameReady();
    // Emitted once each time a stream's first audio is played (tests and benchmarks).
    void playbackStarted();
    // libmpv could not open or write the recording's file; text is what it reported.
    void recordingFailed(const QString &text);

private:
    explicit Player(const QString &console);

    using Entry = MetafileResolver::Entry;
    static constexpr qint64 kNoEntry = std::numeric_limits<qint64>::max(); // no libmpv entry is ours
    // What an asynchronous libmpv request was for; its reply id is the key of m_requests.
    struct Request
    {
        enum Kind { Load, Duration, FileSize, Playlist, Setting } kind = Load; // Setting: volume or mute
        quint64 load = 0; // the load it concerns; loads count from 1, so 0 is none
    };

    bool ensureMpv();
    bool useAudioEngine(const Entry &entry);
    void takeEngineEvent(const MpvEvents::Event &event);
    void endPending();
    void startSource();
    void loadInMpv(const Entry &entry);
    quint64 request(Request::Kind kind);
    void setInMpv(const char *name, int format, void *value); // a volume or mute setting (an mpv_format)
    void failWith(const QString &text);
    void showError(const QString &text);
    void clearIcy();
    void entryFailed(const QString &text);
    void stopMpv();
    void drainEvents();
    void handle(std::monostate) {}
    void handle(const MpvEvents::CommandDone &done);
    void handle(const MpvEvents::Answer &answer);
    void handle(const MpvEvents::FileLoaded &);
    void handle(const MpvEvents::PlaybackRestart &restart);
    void handle(const MpvEvents::EndFile &end);
    void handle(const MpvEvents::LogLine &line);
    void handle(const MpvEvents::Metadata &metadata);
    void handle(const MpvEvents::Changed &changed);
    void handle(const MpvEvents::Hook &hook);
    void createSoftwareRenderer();
    void useOpenGL();
    bool streamHasPicture() const;
    void watchRenderer();
    void handleEndFile(const MpvEvents::EndFile &end);
    void takePlaylist(const MpvEvents::Answer &answer);
    void setState(State state);
    void refreshStatus();
    QString mpvErrorText(int mpvError) const;
    void prepareLevelling(bool audioEngine); // before an entry plays (PlayerLevelling.cpp)
    void setMpvFilters();

    QString m_console;
    QString m_source;
    bool m_autoStart = false;
    int m_volume = 100;
    bool m_muted = false;

    const MpvLibrary *m_lib = nullptr;
    mpv_handle *m_mpv = nullptr;
    mpv_render_context *m_render = nullptr;
    std::unique_ptr<GlPicture> m_gl; // set while libmpv draws with OpenGL
    bool m_glTried = false;
    MetafileResolver *m_resolver = nullptr;
    ReconnectPolicy m_policy;
    AudioEngine *m_audio = nullptr; // made when a stream first may use it
    bool m_onAudio = false;         // the current entry plays in the audio engine
    bool m_recordingWanted = false; // every entry plays in libmpv, which can record what the engine cannot
    QSet<QString> m_mpvOnly;        // addresses the audio engine handed to libmpv

    Entry m_entry; // the entry being tried
    QString m_currentEntry;
    QString m_lastLogError;             // last error line libmpv logged for the current entry
    QStringList m_attemptLog;           // the warnings and errors logged for the current entry
    quint64 m_loadSerial = 0;           // number of the last load sent to libmpv
    quint64 m_lastRequest = 0;          // reply id of the last asynchronous request
    QHash<quint64, Request> m_requests; // requests not yet answered
    int m_settingsInFlight = 0;         // volume and mute sets libmpv has not answered yet
    qint64 m_minEntryId = -1;           // libmpv playlist ids below this belong to older loads
    bool m_awaitingLoad = false;
    std::optional<MpvEvents::EndFile> m_pendingEnd; // an end of entry waiting for its log lines
    qint64 m_redirectFrom = -1;                     // entries libmpv took from a playlist of its own
    int m_redirectCount = 0;
    quint64 m_redirectSerial = 0;
    std::optional<bool> m_sizeKnown; // whether the entry has a size; empty until the engine answers
    std::optional<bool> m_durationKnown;
    QTimer m_reconnectTimer;
    QElapsedTimer m_elapsed; // since the source first played

    State m_state = State::Idle;
    QString m_statusText;
    QString m_icyName;
    QString m_icyTitle;
    bool m_icyFromEntry = false; // the entry playing has sent a title of its own
    QString m_icyEarlier;        // the title before the one heard
    bool m_burstReplay = false;  // the stream moved to libmpv: its first title may be a replay
    QByteArray m_cacheSecs;      // how far libmpv reads ahead when not recording
    int m_bufferPercent = 0;
    bool m_pausedForCache = false;
    bool m_hasVideo = false;
    std::atomic<bool> m_drainQueued{false};
    bool m_elapsedValid = false;
    QString m_failText;

    bool m_levelling = true;
    GainMemory m_gainMemory;
    QString m_levelSource;                      // the source the gains below are for
    std::optional<double> m_rememberedGain;     // its station's, when it began
    std::unique_ptr<MpvLeveller> m_mpvLeveller; // levels libmpv's audio, once it has played
    bool m_mpvFilters = false;                  // libmpv's audio passes the levelling filter
};
