#include "player/LevelProbe.h"

#include "player/Loudness.h"
#include "player/ProbeFunctions.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

using ProbeFunctions::gst;

enum class Format { None, S16, S32, F32, F64 };

struct Probe
{
    Leveller *leveller = nullptr;
    std::vector<float> scratch; // integer or double samples as floats, on the streaming thread
};

// Real is the precision the conversion needs: float holds every 16-bit sample exactly, and the
// compiler then converts several at once; 32-bit samples need double.
template <typename Real, typename T> void toFloat(const T *in, float *out, std::size_t n, Real scale)
{
    for (std::size_t i = 0; i < n; ++i)
        out[i] = float(Real(in[i]) * scale);
}

template <typename Real, typename T>
void fromFloat(const float *in, T *out, std::size_t n, Real scale, Real lowest, Real highest)
{
    for (std::size_t i = 0; i < n; ++i) {
        const Real v = std::clamp(Real(in[i]) * scale, lowest, highest);
        out[i] = T(v >= 0 ? v + Real(0.5) : v - Real(0.5)); // the nearest, within the type's range
    }
}

GstPadProbeReturn levelBuffer(GstPad *pad, GstPadProbeInfo *info, gpointer data)
{
    auto *probe = static_cast<Probe *>(data);
    if (!probe->leveller->enabled())
        return GST_PAD_PROBE_OK; // off: the sound as it comes, bit for bit
    const ProbeFunctions::Functions &g = gst();
    GstCaps *caps = g.gst_pad_get_current_caps(pad);
    if (!caps)
        return GST_PAD_PROBE_OK;
    const GstStructure *s = g.gst_caps_get_structure(caps, 0);
    int rate = 0;
    int channels = 0;
    Format format = Format::None;
    if (s && g.gst_structure_get_int(s, "rate", &rate) && g.gst_structure_get_int(s, "channels", &channels)) {
        const char *name = g.gst_structure_get_string(s, "format");
        const char *layout = g.gst_structure_get_string(s, "layout");
        if (name && (!layout || std::strcmp(layout, "interleaved") == 0)) {
            if (std::strcmp(name, "S16LE") == 0)
                format = Format::S16;
            else if (std::strcmp(name, "S32LE") == 0)
                format = Format::S32;
            else if (std::strcmp(name, "F32LE") == 0)
                format = Format::F32;
            else if (std::strcmp(name, "F64LE") == 0)
                format = Format::F64;
        }
    }
    g.gst_mini_object_unref(GST_MINI_OBJECT_CAST(caps));
    if (format == Format::None || channels < 1)
        return GST_PAD_PROBE_OK;

    auto *buffer =
        GST_BUFFER_CAST(g.gst_mini_object_make_writable(GST_MINI_OBJECT_CAST(GST_PAD_PROBE_INFO_BUFFER(info))));
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    GstMapInfo map;
    if (!g.gst_buffer_map(buffer, &map, GST_MAP_READWRITE))
        return GST_PAD_PROBE_OK;
    const std::size_t width = format == Format::S16 ? 2 : format == Format::F64 ? 8 : 4;
    const std::size_t samples = map.size / width;
    const std::size_t frames = samples / std::size_t(channels);
    if (format == Format::F32) {
        probe->leveller->process(reinterpret_cast<float *>(map.data), frames, channels, rate);
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
        if (probe->leveller->process(f, frames, channels, rate)) {
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
    return GST_PAD_PROBE_OK;
}

} // namespace

bool LevelProbe::attach(void *pad, Leveller *leveller)
{
    const ProbeFunctions::Functions &g = gst();
    if (!g.ok || !pad || !leveller)
        return false;
    auto *probe = new Probe{leveller, {}};
    return g.gst_pad_add_probe(static_cast<GstPad *>(pad), GST_PAD_PROBE_TYPE_BUFFER, levelBuffer, probe,
                               [](gpointer p) { delete static_cast<Probe *>(p); }) != 0;
}
