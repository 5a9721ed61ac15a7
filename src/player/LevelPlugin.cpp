// The levelling plugin: a LADSPA module with one audio input, one audio output and one control
// (the number of the processor to use). It levels nothing itself: FFmpeg runs one handle per
// channel, one after the other, on each frame; the handles that share a number gather here, and
// when the last channel of a frame has run, the bound processor changes all the channels
// together, in place. Unbound, or should a host run the channels otherwise, the audio passes
// unchanged.
#include "player/LevelPlugin.h"

#include <ladspa.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#define HX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

enum Port : unsigned long { Input, Output, Number, PortCount };

struct Group
{
    HxLevelProcess process = nullptr;
    void *context = nullptr;
    int channels = 0; // handles active
    std::vector<float *> buffers;
    unsigned long frames = 0; // of the frame under way
    int ran = 0;              // its channels that have run; -1: out of order, passed unchanged
};

struct Handle
{
    unsigned long rate = 0;
    LADSPA_Data *ports[PortCount] = {};
    unsigned number = 0;
    int index = -1; // its channel within the group, while active
};

std::mutex &lock()
{
    static std::mutex m;
    return m;
}

std::map<unsigned, Group> &groups()
{
    static std::map<unsigned, Group> g;
    return g;
}

void forget(unsigned number)
{
    const auto it = groups().find(number);
    if (it != groups().end() && !it->second.process && it->second.channels == 0)
        groups().erase(it);
}

LADSPA_Handle instantiate(const LADSPA_Descriptor *, unsigned long rate)
{
    auto *h = new Handle;
    h->rate = rate;
    return h;
}

void connect(LADSPA_Handle handle, unsigned long port, LADSPA_Data *data)
{
    if (port < PortCount)
        static_cast<Handle *>(handle)->ports[port] = data;
}

void activate(LADSPA_Handle handle)
{
    auto *h = static_cast<Handle *>(handle);
    const std::lock_guard<std::mutex> guard(lock());
    h->number = h->ports[Number] ? unsigned(std::max(0.0f, *h->ports[Number])) : 0;
    Group &g = groups()[h->number];
    h->index = g.channels++;
    g.buffers.resize(std::size_t(g.channels));
    g.ran = 0;
}

void deactivate(LADSPA_Handle handle)
{
    auto *h = static_cast<Handle *>(handle);
    if (h->index < 0)
        return;
    const std::lock_guard<std::mutex> guard(lock());
    Group &g = groups()[h->number];
    g.channels = std::max(0, g.channels - 1);
    g.ran = 0;
    h->index = -1;
    forget(h->number);
}

void run(LADSPA_Handle handle, unsigned long frames)
{
    auto *h = static_cast<Handle *>(handle);
    float *in = h->ports[Input];
    float *out = h->ports[Output];
    if (!in || !out)
        return;
    if (out != in)
        std::memmove(out, in, frames * sizeof(float));
    if (h->index < 0)
        return;
    const std::lock_guard<std::mutex> guard(lock());
    Group &g = groups()[h->number];
    if (h->index == 0) {
        g.frames = frames;
        g.ran = 0;
    }
    if (g.ran != h->index || g.frames != frames || h->index >= g.channels) {
        g.ran = -1; // this frame stays as it came
        return;
    }
    g.buffers[std::size_t(h->index)] = out;
    if (++g.ran == g.channels && g.process)
        g.process(g.context, g.buffers.data(), g.channels, frames, h->rate);
}

void cleanup(LADSPA_Handle handle)
{
    deactivate(handle);
    delete static_cast<Handle *>(handle);
}

const LADSPA_PortDescriptor kPorts[PortCount] = {LADSPA_PORT_INPUT | LADSPA_PORT_AUDIO,
                                                 LADSPA_PORT_OUTPUT | LADSPA_PORT_AUDIO,
                                                 LADSPA_PORT_INPUT | LADSPA_PORT_CONTROL};
const char *const kPortNames[PortCount] = {"Input", "Output", "Processor"};
const LADSPA_PortRangeHint kHints[PortCount] = {
    {0, 0, 0}, {0, 0, 0}, {LADSPA_HINT_BOUNDED_BELOW | LADSPA_HINT_INTEGER | LADSPA_HINT_DEFAULT_0, 0, 0}};

const LADSPA_Descriptor kDescriptor = {
    .UniqueID = 0x4858,
    .Label = HX_LEVEL_PLUGIN_LABEL,
    .Properties = 0,
    .Name = "Halcyrix loudness levelling",
    .Maker = "Halcyrix",
    .Copyright = "Halcyrix developers",
    .PortCount = PortCount,
    .PortDescriptors = kPorts,
    .PortNames = kPortNames,
    .PortRangeHints = kHints,
    .ImplementationData = nullptr,
    .instantiate = instantiate,
    .connect_port = connect,
    .activate = activate,
    .run = run,
    .run_adding = nullptr,
    .set_run_adding_gain = nullptr,
    .deactivate = deactivate,
    .cleanup = cleanup,
};

} // namespace

HX_EXPORT const LADSPA_Descriptor *ladspa_descriptor(unsigned long index)
{
    return index == 0 ? &kDescriptor : nullptr;
}

HX_EXPORT void hx_level_bind(unsigned number, HxLevelProcess process, void *context)
{
    const std::lock_guard<std::mutex> guard(lock());
    Group &g = groups()[number];
    g.process = process;
    g.context = context;
}

HX_EXPORT void hx_level_unbind(unsigned number)
{
    const std::lock_guard<std::mutex> guard(lock());
    const auto it = groups().find(number);
    if (it == groups().end())
        return;
    it->second.process = nullptr;
    it->second.context = nullptr;
    forget(number);
}
