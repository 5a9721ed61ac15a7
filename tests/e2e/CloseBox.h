#pragma once

#include <QByteArray>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

// Asks a window to close as a window manager's close box does (WM_DELETE_WINDOW).
inline bool sendCloseBox(const QByteArray &display, quint32 window)
{
    xcb_connection_t *c = xcb_connect(display.constData(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    auto atom = [c](const char *name) {
        xcb_intern_atom_reply_t *reply =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return a;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    const bool ok = xcb_flush(c) > 0;
    xcb_disconnect(c);
    return ok;
}
