#pragma once

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <QString>

// The libmpv functions the player calls, looked up in libmpv.so.2 when a stream is first played.
// The program does not link libmpv: the library and the many libraries it pulls in (codecs,
// filters, TLS, …) would otherwise be mapped and relocated at every start, also when nothing is
// ever played.
// clang-format off
#define HX_MPV_FUNCTIONS(X)                                                                         \
    X(client_api_version) X(error_string) X(free) X(create) X(initialize) X(terminate_destroy)      \
    X(set_option_string) X(request_log_messages) X(observe_property) X(set_wakeup_callback)        \
    X(wait_event) X(command_async) X(get_property_async) X(set_property_async)                     \
    X(get_property_string) X(render_context_create) X(render_context_set_update_callback)          \
    X(render_context_update) X(render_context_render) X(render_context_free)                    \
    X(hook_add) X(hook_continue) X(set_property_string)
// clang-format on

struct MpvLibrary
{
#define HX_MPV_MEMBER(name) decltype(&::mpv_##name) name = nullptr;
    HX_MPV_FUNCTIONS(HX_MPV_MEMBER)
#undef HX_MPV_MEMBER

    // The library, opened on the first call and kept to the end of the process. Null when it
    // cannot be used; *error then says why, in words for the status line.
    static const MpvLibrary *get(QString *error = nullptr);
};
