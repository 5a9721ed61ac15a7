#include "player/MpvEvents.h"

#include <mpv/client.h>

#include <QByteArray>

namespace MpvEvents {

namespace {

QString nodeString(const mpv_node &node)
{
    switch (node.format) {
    case MPV_FORMAT_STRING:
        return QString::fromUtf8(node.u.string);
    case MPV_FORMAT_FLAG:
        return node.u.flag ? QStringLiteral("yes") : QStringLiteral("no");
    case MPV_FORMAT_INT64:
        return QString::number(node.u.int64);
    case MPV_FORMAT_DOUBLE:
        return QString::number(node.u.double_);
    default:
        return QString();
    }
}

std::optional<double> number(const mpv_event_property &prop)
{
    switch (prop.format) {
    case MPV_FORMAT_FLAG:
        return *static_cast<const int *>(prop.data) ? 1.0 : 0.0;
    case MPV_FORMAT_INT64:
        return double(*static_cast<const int64_t *>(prop.data));
    case MPV_FORMAT_DOUBLE:
        return *static_cast<const double *>(prop.data);
    default:
        return std::nullopt;
    }
}

// The values of a map node by key, as the callback sees them.
template <typename F> void forEachKey(const mpv_node &map, F &&f)
{
    if (map.format != MPV_FORMAT_NODE_MAP)
        return;
    for (int i = 0; i < map.u.list->num; ++i)
        f(QByteArray(map.u.list->keys[i]), map.u.list->values[i]);
}

Metadata metadata(const mpv_event_property &prop)
{
    Metadata m;
    if (prop.format != MPV_FORMAT_NODE)
        return m;
    forEachKey(*static_cast<const mpv_node *>(prop.data), [&m](const QByteArray &key, const mpv_node &value) {
        if (key.compare("icy-name", Qt::CaseInsensitive) == 0)
            m.name = nodeString(value).trimmed();
        else if (key.compare("icy-title", Qt::CaseInsensitive) == 0)
            m.title = nodeString(value).trimmed();
    });
    return m;
}

Answer answer(const mpv_event &event)
{
    Answer a{event.reply_userdata, event.error >= 0, std::nullopt, {}};
    const auto *prop = static_cast<const mpv_event_property *>(event.data);
    if (!a.ok || !prop)
        return a;
    a.number = number(*prop);
    if (prop->format != MPV_FORMAT_NODE)
        return a;
    const auto *list = static_cast<const mpv_node *>(prop->data);
    if (list->format != MPV_FORMAT_NODE_ARRAY)
        return a;
    for (int i = 0; i < list->u.list->num; ++i) {
        Answer::Item item;
        forEachKey(list->u.list->values[i], [&item](const QByteArray &key, const mpv_node &value) {
            if (key == "filename")
                item.file = nodeString(value);
            else if (key == "id" && value.format == MPV_FORMAT_INT64)
                item.id = value.u.int64;
        });
        a.playlist.append(item);
    }
    return a;
}

} // namespace

Event decode(const mpv_event &event)
{
    switch (event.event_id) {
    case MPV_EVENT_COMMAND_REPLY: {
        CommandDone done{event.reply_userdata, event.error >= 0, -1};
        if (const auto *result = static_cast<const mpv_event_command *>(event.data))
            forEachKey(result->result, [&done](const QByteArray &key, const mpv_node &value) {
                if (key == "playlist_entry_id" && value.format == MPV_FORMAT_INT64)
                    done.entryId = value.u.int64;
            });
        return done;
    }
    case MPV_EVENT_GET_PROPERTY_REPLY:
        return answer(event);
    case MPV_EVENT_SET_PROPERTY_REPLY: // a property set with a reply id is answered as a command is
        return CommandDone{event.reply_userdata, event.error >= 0, -1};
    case MPV_EVENT_FILE_LOADED:
        return FileLoaded{};
    case MPV_EVENT_PLAYBACK_RESTART:
        return PlaybackRestart{};
    case MPV_EVENT_END_FILE: {
        const auto *end = static_cast<const mpv_event_end_file *>(event.data);
        if (!end)
            return std::monostate{};
        using R = EndFile::Reason;
        const R reason = end->reason == MPV_END_FILE_REASON_EOF        ? R::Eof
                         : end->reason == MPV_END_FILE_REASON_ERROR    ? R::Error
                         : end->reason == MPV_END_FILE_REASON_REDIRECT ? R::Redirect
                         : end->reason == MPV_END_FILE_REASON_QUIT     ? R::Quit
                                                                       : R::Stop;
        return EndFile{end->playlist_entry_id, reason, end->error, end->playlist_insert_id,
                       end->playlist_insert_num_entries};
    }
    case MPV_EVENT_LOG_MESSAGE: {
        const auto *log = static_cast<const mpv_event_log_message *>(event.data);
        return LogLine{QString::fromUtf8(log->prefix), QString::fromUtf8(log->level),
                       QString::fromUtf8(log->text).trimmed()};
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto *prop = static_cast<const mpv_event_property *>(event.data);
        const auto property = Property(event.reply_userdata);
        if (property == Property::Metadata)
            return metadata(*prop);
        if (event.reply_userdata < quint64(Property::PausedForCache) ||
            event.reply_userdata > quint64(Property::VoConfigured))
            return std::monostate{};
        return Changed{property, number(*prop)};
    }
    case MPV_EVENT_HOOK: {
        const auto *hook = static_cast<const mpv_event_hook *>(event.data);
        if (!hook)
            return std::monostate{};
        return Hook{QByteArray(hook->name), hook->id};
    }
    default:
        return std::monostate{};
    }
}

} // namespace MpvEvents
