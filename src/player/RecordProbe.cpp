#include "player/RecordProbe.h"

#include "player/ProbeFunctions.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <utility>

namespace {

using ProbeFunctions::gst;

// MP3 frames, and AAC in ADTS frames, make a file as they come; other encoded sound (raw AAC,
// Vorbis or Opus packets out of their Ogg pages) does not.
bool recordableCaps(GstCaps *caps)
{
    const ProbeFunctions::Functions &g = gst();
    const GstStructure *s = caps ? g.gst_caps_get_structure(caps, 0) : nullptr;
    if (!s || std::strcmp(g.gst_structure_get_name(s), "audio/mpeg") != 0)
        return false;
    int version = 0;
    g.gst_structure_get_int(s, "mpegversion", &version);
    if (version == 1)
        return true;
    const char *format = g.gst_structure_get_string(s, "stream-format");
    return format && std::strcmp(format, "adts") == 0;
}

GstPadProbeReturn recordData(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto &target = *static_cast<std::shared_ptr<RecordTarget> *>(data);
    const ProbeFunctions::Functions &g = gst();
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
            GstCaps *caps = nullptr;
            g.gst_event_parse_caps(event, &caps);
            target->setRecordable(recordableCaps(caps));
        }
        return GST_PAD_PROBE_OK;
    }
    if (!target->isRecording())
        return GST_PAD_PROBE_OK;
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstMapInfo map;
    if (!buffer || !g.gst_buffer_map(buffer, &map, GST_MAP_READ))
        return GST_PAD_PROBE_OK;
    target->write(map.data, map.size);
    g.gst_buffer_unmap(buffer, &map);
    return GST_PAD_PROBE_OK;
}

} // namespace

RecordTarget::~RecordTarget()
{
    std::lock_guard lock(m_mutex);
    close();
}

// Called locked. False, with errno set, when what was written could not be finished.
bool RecordTarget::close()
{
    if (!m_file)
        return true;
    const bool ok = std::fclose(m_file) == 0;
    m_file = nullptr;
    return ok;
}

// Called locked: keeps errno's reason.
void RecordTarget::fail()
{
    m_error = QString::fromLocal8Bit(std::strerror(errno));
}

void RecordTarget::setFile(const QString &path)
{
    bool failed = false;
    {
        std::lock_guard lock(m_mutex);
        if (!close())
            failed = true; // the last file is not whole: no new one begins
        else if (!path.isEmpty())
            failed = !(m_file = std::fopen(QFile::encodeName(path).constData(), "wb"));
        if (failed)
            fail();
    }
    if (failed && m_notice)
        m_notice();
}

bool RecordTarget::isRecording() const
{
    std::lock_guard lock(m_mutex);
    return m_file != nullptr;
}

bool RecordTarget::recordable() const
{
    std::lock_guard lock(m_mutex);
    return m_recordable;
}

void RecordTarget::setRecordable(bool recordable)
{
    std::lock_guard lock(m_mutex);
    m_recordable = recordable;
}

void RecordTarget::write(const void *data, std::size_t size)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_file || !m_recordable)
            return;
        if (std::fwrite(data, 1, size, m_file) == size)
            return;
        fail();
        close();
    }
    if (m_notice)
        m_notice();
}

QString RecordTarget::takeError()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_error, QString());
}

bool RecordProbe::attach(void *pad, std::shared_ptr<RecordTarget> target)
{
    const ProbeFunctions::Functions &g = gst();
    if (!g.ok || !pad || !target)
        return false;
    auto *held = new std::shared_ptr<RecordTarget>(std::move(target));
    return g.gst_pad_add_probe(static_cast<GstPad *>(pad),
                               GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                               recordData, held,
                               [](gpointer p) { delete static_cast<std::shared_ptr<RecordTarget> *>(p); }) != 0;
}
