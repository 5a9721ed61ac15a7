#include "player/AudioEngine.h"
#include "player/LevelProbe.h"
#include "player/RecordProbe.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QUrl>

#include <gst/gst.h>
#include <mpv/client.h>

#include <dlfcn.h>

#include <atomic>
#include <cmath>
#include <optional>

Q_LOGGING_CATEGORY(lcAudio, "halcyrix.player.audio", QtWarningMsg)

namespace {

// The GStreamer (and GLib object) functions the engine calls, looked up when it is first needed.
// Only real functions: GStreamer's inline helpers (gst_caps_unref and the like) would tie the
// program to the library at link time, so their plain forms are called instead.
// clang-format off
#define HX_GST_FUNCTIONS(X)                                                                          \
    X(gst_init_check) X(gst_element_factory_find) X(gst_element_factory_make) X(gst_pipeline_new)  \
    X(gst_parse_bin_from_description) X(gst_bin_add) X(gst_bin_get_by_name) X(gst_element_link)                         \
    X(gst_element_set_state) X(gst_element_get_static_pad) X(gst_element_query_duration)           \
    X(gst_pad_link) X(gst_pad_is_linked) X(gst_pad_get_current_caps) X(gst_pad_query_caps)         \
    X(gst_caps_get_size) X(gst_caps_get_structure) X(gst_structure_get_name) X(gst_structure_get_int) \
    X(gst_ghost_pad_get_target) X(gst_pad_get_parent_element)                       \
    X(gst_pipeline_get_bus) X(gst_bus_get_pollfd) X(gst_bus_pop) X(gst_object_unref) X(gst_mini_object_unref) \
    X(gst_message_parse_error) X(gst_message_parse_tag) X(gst_message_parse_state_changed)         \
    X(gst_tag_list_get_string) X(gst_resource_error_quark)                                          \
    X(g_object_set) X(g_object_class_find_property) X(g_signal_connect_data) X(g_free)              \
    X(g_error_free)
// clang-format on

struct GstLibrary
{
#define HX_GST_MEMBER(name) decltype(&::name) name = nullptr;
    HX_GST_FUNCTIONS(HX_GST_MEMBER)
#undef HX_GST_MEMBER
};

struct Loaded
{
    GstLibrary lib;
    bool tried = false;
    QString error; // empty when usable
};

Loaded &loaded()
{
    static Loaded l;
    return l;
}

const GstLibrary &gst()
{
    return loaded().lib;
}

QString open(GstLibrary &lib)
{
    // Kept open to the end of the process, as libmpv is: its threads may outlive any point at
    // which closing it would look safe.
    void *handle = dlopen("libgstreamer-1.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return QString::fromLocal8Bit(dlerror());
#define HX_GST_LOOKUP(name)                                                                                            \
    lib.name = reinterpret_cast<decltype(lib.name)>(dlsym(handle, #name));                                             \
    if (!lib.name)                                                                                                     \
        return QStringLiteral("libgstreamer-1.0.so.0 lacks " #name);
    HX_GST_FUNCTIONS(HX_GST_LOOKUP)
#undef HX_GST_LOOKUP
    GError *error = nullptr;
    if (!lib.gst_init_check(nullptr, nullptr, &error)) {
        const QString text = error ? QString::fromUtf8(error->message) : QStringLiteral("GStreamer did not start");
        if (error)
            lib.g_error_free(error);
        return text;
    }
    for (const char *element :
         {"souphttpsrc", "decodebin", "audioconvert", "audioresample", "volume", "autoaudiosink"}) {
        GstElementFactory *factory = lib.gst_element_factory_find(element);
        if (!factory)
            return QStringLiteral("GStreamer has no %1").arg(QLatin1String(element));
        lib.gst_object_unref(factory);
    }
    return QString();
}

// Audio passes in pieces of a few tenths of a second rather than in the stream's frames of 26 ms:
// the decoder hands on 200 ms at a time, and the sound output holds half a second (as libmpv's does)
// and asks for a quarter of one at a time. Writing to the sound server, and the wake-ups of its
// client thread and of the stream's thread, then happen about eight times a second instead of some
// sixty, which roughly halves what playing costs. A new volume is heard within the half second.
constexpr gint64 kDecoderBatchNs = 200 * GST_MSECOND;
constexpr gint64 kOutputBufferUs = 500000;
constexpr gint64 kOutputPeriodUs = 250000;

// The pipeline's callbacks run on GStreamer's threads; they reach the engine through this, which
// lives as long as the pipeline (the engine ends the pipeline, and with it every callback, before
// it deletes this or goes itself).
struct Context
{
    AudioEngine *engine = nullptr;
    GstBus *bus = nullptr;
    GstElement *pipeline = nullptr;
    GstElement *output = nullptr;        // from conversion to the sound output; its sink takes the audio
    QSocketNotifier *busReady = nullptr; // the bus's descriptor, readable while messages wait
    int serial = 0;
    std::atomic<bool> soundOutput{false}; // a sound device or server takes the audio (not a stand-in)
    std::shared_ptr<RecordTarget> record; // where the decoder's input is recorded
};

// The codec of a decoder's input as libmpv names it ("mp3", "aac", ...); empty for others.
QString codecOf(const GstStructure *input)
{
    const QByteArray kind = gst().gst_structure_get_name(input);
    int version = 0;
    int layer = 3;
    if (kind == "audio/mpeg" && gst().gst_structure_get_int(input, "mpegversion", &version)) {
        gst().gst_structure_get_int(input, "layer", &layer);
        if (version == 1 && layer == 3)
            return QStringLiteral("mp3");
        if (version == 2 || version == 4)
            return QStringLiteral("aac");
        return QStringLiteral("mp%1").arg(layer);
    }
    for (const auto &[caps, codec] :
         {std::pair{"audio/x-vorbis", "vorbis"}, std::pair{"audio/x-opus", "opus"}, std::pair{"audio/x-flac", "flac"}})
        if (kind == caps)
            return QLatin1String(codec);
    return QString();
}

// The codec of the stream that the decoder behind one of decodebin's pads decodes.
QString codecBehind(GstPad *pad)
{
    const GstLibrary &g = gst();
    QString codec;
    GstPad *target = g.gst_ghost_pad_get_target(reinterpret_cast<GstGhostPad *>(pad));
    GstElement *decoder = target ? g.gst_pad_get_parent_element(target) : nullptr;
    GstPad *input = decoder ? g.gst_element_get_static_pad(decoder, "sink") : nullptr;
    GstCaps *caps = input ? g.gst_pad_get_current_caps(input) : nullptr;
    if (caps && g.gst_caps_get_size(caps) > 0)
        codec = codecOf(g.gst_caps_get_structure(caps, 0));
    if (caps)
        g.gst_mini_object_unref(GST_MINI_OBJECT_CAST(caps));
    for (void *object : {static_cast<void *>(input), static_cast<void *>(decoder), static_cast<void *>(target)})
        if (object)
            g.gst_object_unref(object);
    return codec;
}

QString takeString(const GstTagList *tags, const char *tag, bool *found)
{
    gchar *value = nullptr;
    *found = gst().gst_tag_list_get_string(tags, tag, &value);
    const QString text = *found ? QString::fromUtf8(value).trimmed() : QString();
    gst().g_free(value);
    return text;
}

} // namespace

struct AudioEngine::Message
{
    enum Kind { Playing, Tags, End, Error, Audio, NoAudio, Picture } kind = Playing;
    int serial = 0;
    bool hasName = false;
    bool hasTitle = false;
    QString name;
    QString title;
    bool resource = false; // a failure to reach or read the stream, not one of its content
    QString text;          // an error's words; the codec of the audio found
};

// The callbacks GStreamer calls; each hands what it saw to the engine's thread.
struct AudioEngine::Callbacks
{
    static void post(const Context *context, Message message)
    {
        message.serial = context->serial;
        AudioEngine *engine = context->engine;
        QMetaObject::invokeMethod(
            engine, [engine, message] { engine->handle(message); }, Qt::QueuedConnection);
    }

    // A bus message as plain values; nothing when it is of no interest.
    static std::optional<Message> parse(GstMessage *gstMessage, const Context *context)
    {
        const GstLibrary &g = gst();
        Message message;
        switch (GST_MESSAGE_TYPE(gstMessage)) {
        case GST_MESSAGE_ERROR: {
            GError *error = nullptr;
            gchar *debug = nullptr;
            g.gst_message_parse_error(gstMessage, &error, &debug);
            message.kind = Message::Error;
            message.resource = error && error->domain == g.gst_resource_error_quark();
            message.text = error ? QString::fromUtf8(error->message) : QString();
            // The HTTP source names the server's answer in its details: "Not Found (404), URL: …".
            static const QRegularExpression status(QStringLiteral("\\((\\d{3})\\), URL"));
            const auto m = status.match(QString::fromUtf8(debug));
            if (m.hasMatch())
                message.text = QStringLiteral("HTTP error ") + m.captured(1) + QStringLiteral(": ") + message.text;
            if (error)
                g.g_error_free(error);
            g.g_free(debug);
            break;
        }
        case GST_MESSAGE_EOS:
            message.kind = Message::End;
            break;
        case GST_MESSAGE_TAG: {
            GstTagList *tags = nullptr;
            g.gst_message_parse_tag(gstMessage, &tags);
            message.kind = Message::Tags;
            message.name = takeString(tags, GST_TAG_ORGANIZATION, &message.hasName); // the ICY name
            message.title = takeString(tags, GST_TAG_TITLE, &message.hasTitle);
            g.gst_mini_object_unref(GST_MINI_OBJECT_CAST(tags));
            if (!message.hasName && !message.hasTitle)
                return std::nullopt;
            break;
        }
        case GST_MESSAGE_STATE_CHANGED: {
            if (GST_MESSAGE_SRC(gstMessage) != reinterpret_cast<GstObject *>(context->pipeline))
                return std::nullopt;
            GstState newState = GST_STATE_NULL;
            g.gst_message_parse_state_changed(gstMessage, nullptr, &newState, nullptr);
            if (newState != GST_STATE_PLAYING)
                return std::nullopt;
            message.kind = Message::Playing;
            break;
        }
        default:
            return std::nullopt;
        }
        message.serial = context->serial;
        return message;
    }

    // Every element that joins the pipeline, also inside the decoder and the sound output (which
    // choose theirs as the stream and the desktop are found). It runs before the element handles
    // any data. The sound output is chosen first (as the pipeline starts), then the decoder (once
    // the stream's first bytes are read); both are given the engine's larger pieces when there is
    // a sound device or server to spare the wake-ups of. Without one, the stand-in output that
    // takes the audio is left as it comes.
    static void elementAdded(GstBin *, GstBin *, GstElement *element, gpointer data)
    {
        auto *context = static_cast<Context *>(data);
        const GstLibrary &g = gst();
        auto *type = G_OBJECT_GET_CLASS(element);
        const GParamSpec *buffer = g.g_object_class_find_property(type, "buffer-time"); // a sound output's
        const GParamSpec *period = g.g_object_class_find_property(type, "latency-time");
        if (buffer && period && buffer->value_type == G_TYPE_INT64 && period->value_type == G_TYPE_INT64) {
            g.g_object_set(element, "buffer-time", kOutputBufferUs, "latency-time", kOutputPeriodUs, nullptr);
            context->soundOutput = true;
        }
        const GParamSpec *batch = g.g_object_class_find_property(type, "min-latency"); // an audio decoder's
        if (batch && batch->value_type == G_TYPE_INT64) {
            if (context->soundOutput)
                g.g_object_set(element, "min-latency", kDecoderBatchNs, nullptr);
            if (GstPad *input = g.gst_element_get_static_pad(element, "sink")) {
                RecordProbe::attach(input, context->record);
                g.gst_object_unref(input);
            }
        }
    }

    // The decoder found a stream: audio goes to the output, a picture is for libmpv.
    static void padAdded(GstElement *, GstPad *pad, gpointer data)
    {
        const auto *context = static_cast<const Context *>(data);
        const GstLibrary &g = gst();
        GstCaps *caps = g.gst_pad_get_current_caps(pad);
        if (!caps)
            caps = g.gst_pad_query_caps(pad, nullptr);
        const QByteArray kind = caps && g.gst_caps_get_size(caps) > 0
                                    ? QByteArray(g.gst_structure_get_name(g.gst_caps_get_structure(caps, 0)))
                                    : QByteArray();
        if (caps)
            g.gst_mini_object_unref(GST_MINI_OBJECT_CAST(caps));
        Message message;
        if (kind.startsWith("audio/x-raw")) {
            GstPad *sink = g.gst_element_get_static_pad(context->output, "sink");
            const bool linked = !g.gst_pad_is_linked(sink) && g.gst_pad_link(pad, sink) == GST_PAD_LINK_OK;
            g.gst_object_unref(sink);
            if (!linked)
                return; // a second audio stream: the first one plays
            message.kind = Message::Audio;
            message.text = codecBehind(pad);
        } else if (kind.startsWith("video/") || kind.startsWith("image/")) {
            message.kind = Message::Picture;
        } else {
            return;
        }
        post(context, message);
    }

    static void noMorePads(GstElement *, gpointer data)
    {
        const auto *context = static_cast<const Context *>(data);
        GstPad *sink = gst().gst_element_get_static_pad(context->output, "sink");
        const bool linked = gst().gst_pad_is_linked(sink);
        gst().gst_object_unref(sink);
        if (!linked) {
            Message message;
            message.kind = Message::NoAudio;
            post(context, message);
        }
    }
};

AudioEngine::AudioEngine(QObject *parent) : QObject(parent)
{
    // A file that could not be made or written is told here, as libmpv's recorder tells its.
    m_record->setFailureNotice([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                const QString error = m_record->takeError();
                if (!error.isEmpty() && m_report)
                    m_report(MpvEvents::LogLine{QStringLiteral("recorder"), QStringLiteral("error"), error});
            },
            Qt::QueuedConnection);
    });
}

bool AudioEngine::canRecord() const
{
    return m_pipeline && m_started && m_record->recordable();
}

bool AudioEngine::setRecordFile(const QString &path)
{
    if (!path.isEmpty() && !canRecord())
        return false;
    m_record->setFile(path); // a failure is told later, once the caller has taken the file as its own
    return true;
}

AudioEngine::~AudioEngine()
{
    stop();
}

bool AudioEngine::available(QString *error)
{
    Loaded &l = loaded();
    if (!l.tried) {
        l.tried = true;
        l.error = open(l.lib);
        if (!l.error.isEmpty())
            qCInfo(lcAudio) << "the audio engine is not available:" << l.error;
    }
    if (error)
        *error = l.error;
    return l.error.isEmpty();
}

bool AudioEngine::mayPlay(const QString &address)
{
    const QString scheme = QUrl(address).scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool AudioEngine::play(const QString &address, const QString &userAgent, int timeoutSeconds)
{
    stop();
    if (!available())
        return false;
    const GstLibrary &g = gst();
    GError *error = nullptr;
    GstElement *output = g.gst_parse_bin_from_description(
        "audioconvert ! audioresample ! volume name=volume ! autoaudiosink", TRUE, &error);
    if (error) {
        qCWarning(lcAudio) << "audio engine:" << error->message;
        g.g_error_free(error);
    }
    // The source feeds the decoder on its own thread: no queue and no thread between them, as the
    // sound output paces the stream anyway. It names the program and gives up after the timeout.
    GstElement *source = g.gst_element_factory_make("souphttpsrc", nullptr);
    GstElement *decoder = g.gst_element_factory_make("decodebin", nullptr);
    auto *pipeline = g.gst_pipeline_new(nullptr);
    for (GstElement *element : {output, source, decoder})
        if (element)
            g.gst_bin_add(reinterpret_cast<GstBin *>(pipeline), element);
    if (!output || !source || !decoder || !g.gst_element_link(source, decoder)) {
        g.gst_object_unref(pipeline);
        return false;
    }
    g.g_object_set(source, "location", address.toUtf8().constData(), "user-agent", userAgent.toUtf8().constData(),
                   "timeout", guint(timeoutSeconds), nullptr);
    m_volume = g.gst_bin_get_by_name(reinterpret_cast<GstBin *>(output), "volume");
    // Levelled before the volume, so the volume and mute act on the levelled sound.
    m_leveller->start(m_levelStart);
    if (GstPad *levelled =
            m_volume ? g.gst_element_get_static_pad(static_cast<GstElement *>(m_volume), "sink") : nullptr) {
        LevelProbe::attach(levelled, m_leveller.get());
        g.gst_object_unref(levelled);
    }

    auto *context = new Context;
    context->engine = this;
    context->pipeline = pipeline;
    context->output = output;
    context->serial = ++m_serialNumber;
    context->record = m_record;
    m_context = context;
    m_pipeline = pipeline;
    g.g_signal_connect_data(pipeline, "deep-element-added", G_CALLBACK(Callbacks::elementAdded), context, nullptr,
                            GConnectFlags(0));
    g.g_signal_connect_data(decoder, "pad-added", G_CALLBACK(Callbacks::padAdded), context, nullptr, GConnectFlags(0));
    g.g_signal_connect_data(decoder, "no-more-pads", G_CALLBACK(Callbacks::noMorePads), context, nullptr,
                            GConnectFlags(0));
    // The bus keeps what the pipeline's threads post, and its descriptor is readable for as long
    // as a message waits there: the engine's thread reads the bus whenever that is so. (Being
    // woken from the thread that posts is too early: the message reaches the bus only after the
    // posting thread's handler returns, and a read in between would find nothing and miss it.)
    context->bus = g.gst_pipeline_get_bus(reinterpret_cast<GstPipeline *>(pipeline));
    GPollFD descriptor{};
    g.gst_bus_get_pollfd(context->bus, &descriptor);
    context->busReady = new QSocketNotifier(descriptor.fd, QSocketNotifier::Read, this);
    connect(context->busReady, &QSocketNotifier::activated, this,
            [this, serial = context->serial] { readBus(serial); });
    applyVolume();
    if (g.gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        stop();
        return false;
    }
    return true;
}

void AudioEngine::stop()
{
    m_linked = false;
    m_started = false;
    m_name.clear();
    m_title.clear();
    m_codec.clear();
    m_questions.clear();
    if (!m_pipeline)
        return;
    m_record->setRecordable(false); // the next stream's format is not known yet
    const GstLibrary &g = gst();
    auto *pipeline = static_cast<GstElement *>(m_pipeline);
    // Returns once GStreamer's threads of this pipeline are gone: no callback comes after it, and
    // what they posted before carries an old number.
    g.gst_element_set_state(pipeline, GST_STATE_NULL);
    auto *context = static_cast<Context *>(m_context);
    // The descriptor goes with the bus; the notifier, which may be reporting just now, first.
    context->busReady->setEnabled(false);
    context->busReady->deleteLater();
    g.gst_object_unref(context->bus);
    if (m_volume)
        g.gst_object_unref(m_volume);
    g.gst_object_unref(pipeline);
    delete context;
    m_volume = nullptr;
    m_pipeline = nullptr;
    m_context = nullptr;
}

void AudioEngine::readBus(int serial)
{
    auto *context = static_cast<Context *>(m_context);
    if (!context || serial != m_serialNumber)
        return;
    // Every message waiting is read, in the order posted. Handling one may end this pipeline (and
    // its context): read on only while it stands.
    while (m_context == context) {
        GstMessage *gstMessage = gst().gst_bus_pop(context->bus);
        if (!gstMessage)
            return;
        const std::optional<Message> message = Callbacks::parse(gstMessage, context);
        gst().gst_mini_object_unref(GST_MINI_OBJECT_CAST(gstMessage));
        if (message)
            handle(*message);
    }
}

void AudioEngine::handle(const Message &message)
{
    if (!m_pipeline || message.serial != m_serialNumber)
        return; // about a pipeline that has gone
    switch (message.kind) {
    case Message::Audio:
        m_codec = message.text;
        if (!m_linked) {
            m_linked = true;
            m_report(MpvEvents::FileLoaded{});
        }
        return;
    case Message::Picture:
        refuse(QStringLiteral("the stream has a picture"));
        return;
    case Message::NoAudio:
        refuse(QStringLiteral("the stream has no audio this engine can decode"));
        return;
    case Message::Playing:
        if (m_started)
            return;
        // The bus may be read before the decoder's report of its audio arrives; the pipeline
        // cannot play without it, so the audio was found.
        if (!m_linked) {
            m_linked = true;
            m_report(MpvEvents::FileLoaded{});
            if (!m_pipeline)
                return;
        }
        m_started = true;
        m_report(MpvEvents::PlaybackRestart{});
        for (const auto &question : std::exchange(m_questions, {}))
            answer(question.first, question.second);
        return;
    case Message::Tags: {
        const QString name = message.hasName ? message.name : m_name;
        const QString title = message.hasTitle ? message.title : m_title;
        if (name == m_name && title == m_title)
            return;
        m_name = name;
        m_title = title;
        m_report(MpvEvents::Metadata{m_name, m_title});
        return;
    }
    case Message::End:
        stop(); // the sound output and the connection are let go while a reconnect waits
        m_report(MpvEvents::EndFile{0, MpvEvents::EndFile::Reason::Eof, 0, 0, 0});
        return;
    case Message::Error:
        qCDebug(lcAudio) << "audio engine error" << message.resource << message.text;
        // What the stream holds was not understood before it played: libmpv knows more formats,
        // playlists and pages. Failing to reach the stream, or a failure while it played, is the
        // stream's end, as libmpv would report it.
        if (!message.resource && !m_started) {
            refuse(message.text);
            return;
        }
        stop();
        m_report(MpvEvents::LogLine{QStringLiteral("audio"), QStringLiteral("error"), message.text});
        m_report(MpvEvents::EndFile{0, MpvEvents::EndFile::Reason::Error, MPV_ERROR_LOADING_FAILED, 0, 0});
        return;
    }
}

void AudioEngine::refuse(const QString &why)
{
    qCInfo(lcAudio) << "the audio engine hands the stream to libmpv:" << why;
    stop();
    if (m_refusal)
        m_refusal(why);
}

void AudioEngine::ask(quint64 request, const char *property)
{
    if (!m_started) {
        m_questions.append({request, QByteArray(property)});
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, request, name = QByteArray(property)] { answer(request, name); }, Qt::QueuedConnection);
}

void AudioEngine::answer(quint64 request, const QByteArray &property)
{
    if (!m_pipeline)
        return;
    const bool seconds = property == "duration";
    gint64 value = -1;
    const bool ok = gst().gst_element_query_duration(static_cast<GstElement *>(m_pipeline),
                                                     seconds ? GST_FORMAT_TIME : GST_FORMAT_BYTES, &value) &&
                    value >= 0;
    MpvEvents::Answer a;
    a.request = request;
    a.ok = ok;
    if (ok)
        a.number = seconds ? double(value) / GST_SECOND : double(value);
    m_report(a);
}

void AudioEngine::setVolume(int volume)
{
    m_volumeLevel = qBound(0, volume, 100);
    applyVolume();
}

void AudioEngine::setMuted(bool muted)
{
    m_muted = muted;
    applyVolume();
}

void AudioEngine::applyVolume()
{
    if (!m_volume)
        return;
    const gdouble gain = std::pow(m_volumeLevel / 100.0, 3.0);
    gst().g_object_set(m_volume, "volume", gain, "mute", gboolean(m_muted), nullptr);
}
