#pragma once

#include <gst/gst.h>

// The few GStreamer functions the audio engine's pad probes call (levelling, recording), looked
// up in the library the engine opened.
// clang-format off
#define HX_PROBE_FUNCTIONS(X)                                                                        \
    X(gst_pad_add_probe) X(gst_event_parse_caps) X(gst_caps_get_structure) X(gst_structure_get_name) \
    X(gst_structure_get_int) X(gst_structure_get_string) X(gst_mini_object_make_writable)            \
    X(gst_buffer_map) X(gst_buffer_unmap)
// clang-format on

namespace ProbeFunctions {

struct Functions
{
#define HX_PROBE_MEMBER(name) decltype(&::name) name = nullptr;
    HX_PROBE_FUNCTIONS(HX_PROBE_MEMBER)
#undef HX_PROBE_MEMBER
    bool ok = false; // GStreamer is open and has them all
};

const Functions &gst();

} // namespace ProbeFunctions
