#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

struct mpv_event;

// What libmpv reports, decoded into plain values: the player's handlers read fields instead of
// casting libmpv's pointers, and tests can drive them with events made by hand.
namespace MpvEvents {

// The properties the player observes; the number is the observation's reply id.
enum class Property : quint64 { Metadata = 1, PausedForCache, BufferingState, Volume, Mute, VoConfigured };

// A command (a load), or a property set given a reply id, has been answered; entryId is the
// playlist entry a load made, -1 when unknown.
struct CommandDone
{
    quint64 request = 0;
    bool ok = false;
    qint64 entryId = -1;
};

// A property asked for has been answered: a number, or the items of the playlist.
struct Answer
{
    struct Item
    {
        qint64 id = -1;
        QString file;
    };
    quint64 request = 0;
    bool ok = false;
    std::optional<double> number;
    QList<Item> playlist;
};

struct FileLoaded
{
};

// The first audio (or picture) of an entry is out.
struct PlaybackRestart
{
};

struct EndFile
{
    enum class Reason { Eof, Stop, Quit, Error, Redirect };
    qint64 entryId = 0;
    Reason reason = Reason::Stop;
    int error = 0;       // a libmpv error code when reason is Error
    qint64 insertId = 0; // Redirect: the first of the entries libmpv added
    int insertCount = 0;
};

struct LogLine
{
    QString prefix;
    QString level;
    QString text;
};

// The stream's ICY name and title (empty when it sent none).
struct Metadata
{
    QString name;
    QString title;
};

// An observed property changed. Flags are 0 or 1; no value when it is unset or of another type.
struct Changed
{
    Property property = Property::Metadata;
    std::optional<double> value;
};

// libmpv waits at a point the player asked to hear of (a hook) until the player goes on.
struct Hook
{
    QByteArray name;
    quint64 id = 0;
};

using Event = std::variant<std::monostate, CommandDone, Answer, FileLoaded, PlaybackRestart, EndFile, LogLine, Metadata,
                           Changed, Hook>;

// The event as plain values; std::monostate for events the player has no use for.
Event decode(const mpv_event &event);

} // namespace MpvEvents
