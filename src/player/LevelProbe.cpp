#include "player/LevelProbe.h"

#include "player/Loudness.h"
#include "player/ProbeFunctions.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using ProbeFunctions::gst;

enum class Format { None, S16, S32, F32, F64 };

struct Probe
{
    Leveller *leveller = nullptr;
    // The stream's format, read from its caps as they come (not again for every buffer).
    Format format = Format::None;
    int rate = 0;
    int channels = 0;
    std::vector<float> scratch; // integer or double samples as floats, on the streaming thread
};

// Real is the precision the conversion needs: float holds every 16-bit sample exactly, and the
// compiler then converts several at once; 32-bit samples need double.
template <typename Real, typename T> void toFloat(const T *in, float *out, std::size_t n, Real scale)
{
    for (std::size_t i = 0; i < n; ++i)
        out[i] = float(Real(in[i]) * scale);
}

// The nearest, within the type's range (halves away from zero), written so that the compiler
// converts several at once.
template <typename Real, typename T>
void fromFloat(const float *in, T *out, std::size_t n, Real scale, Real lowest, Real highest)
{
    for (std::size_t i = 0; i < n; ++i) {
        Real v = Real(in[i]) * scale;
        v = v < lowest ? lowest : v;
        v = v > highest ? highest : v;
        out[i] = T(v + std::copysign(Real(0.5), v));
    }
}

void readCaps(Probe *probe, const GstCaps *caps)
{
    const ProbeFunctions::Functions &g = gst();
    probe->format = Format::None;
    const GstStructure *s = caps ? g.gst_caps_get_structure(caps, 0) : nullptr;
    if (!s || !g.gst_structure_get_int(s, "rate", &probe->rate) ||
        !g.gst_structure_get_int(s, "channels", &probe->channels) || probe->channels < 1)
        return;
    const char *name = g.gst_structure_get_string(s, "format");
    const char *layout = g.gst_structure_get_string(s, "layout");
    if (!name || (layout && std::strcmp(layout, "interleaved") != 0))
        return;
    if (std::strcmp(name, "S16LE") == 0)
        probe->format = Format::S16;
    else if (std::strcmp(name, "S32LE") == 0)
        probe->format = Format::S32;
    else if (std::strcmp(name, "F32LE") == 0)
        probe->format = Format::F32;
    else if (std::strcmp(name, "F64LE") == 0)
        probe->format = Format::F64;
}

void levelBuffer(Probe *probe, GstPadProbeInfo *info)
{
    const Leveller::Busy busy(*probe->leveller);
    const ProbeFunctions::Functions &g = gst();
    const Format format = probe->format;
    const int channels = probe->channels;
    auto *buffer =
        GST_BUFFER_CAST(g.gst_mini_object_make_writable(GST_MINI_OBJECT_CAST(GST_PAD_PROBE_INFO_BUFFER(info))));
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    GstMapInfo map;
    if (!g.gst_buffer_map(buffer, &map, GST_MAP_READWRITE))
        return;
    const std::size_t width = format == Format::S16 ? 2 : format == Format::F64 ? 8 : 4;
    const std::size_t samples = map.size / width;
    const std::size_t frames = samples / std::size_t(channels);
    if (format == Format::F32) {
        probe->leveller->process(reinterpret_cast<float *>(map.data), frames, channels, probe->rate);
    } else {
        probe->scratch.resize(samples);
        float *f = probe->scratch.data();
        switch (format) {
        case Format::S16:
            toFloat(reinterpret_cast<const qint16 *>(map.data), f, samples, 1.0f / 32768.0f);
            break;
        case Format::S32:
            toFloat(reinterpret_cast<const qint32 *>(map.data), f, samples, 1.0 / 2147483648.0);
            break;
        default:
            toFloat(reinterpret_cast<const double *>(map.data), f, samples, 1.0);
            break;
        }
        if (probe->leveller->process(f, frames, channels, probe->rate)) {
            switch (format) {
            case Format::S16:
                fromFloat(f, reinterpret_cast<qint16 *>(map.data), samples, 32768.0f, -32768.0f, 32767.0f);
                break;
            case Format::S32:
                fromFloat(f, reinterpret_cast<qint32 *>(map.data), samples, 2147483648.0, -2147483648.0, 2147483647.0);
                break;
            default:
                for (std::size_t i = 0; i < samples; ++i)
                    reinterpret_cast<double *>(map.data)[i] = f[i];
                break;
            }
        }
    }
    g.gst_buffer_unmap(buffer, &map);
}

GstPadProbeReturn passing(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *probe = static_cast<Probe *>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        auto *event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
            GstCaps *caps = nullptr;
            gst().gst_event_parse_caps(event, &caps);
            readCaps(probe, caps);
        }
        return GST_PAD_PROBE_OK;
    }
    // Off: the sound as it comes, bit for bit.
    if (probe->leveller->enabled() && probe->format != Format::None)
        levelBuffer(probe, info);
    return GST_PAD_PROBE_OK;
}

} // namespace

bool LevelProbe::attach(void *pad, Leveller *leveller)
{
    const ProbeFunctions::Functions &g = gst();
    if (!g.ok || !pad || !leveller)
        return false;
    auto *probe = new Probe;
    probe->leveller = leveller;
    return g.gst_pad_add_probe(static_cast<GstPad *>(pad),
                               GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                               passing, probe, [](gpointer p) { delete static_cast<Probe *>(p); }) != 0;
}
