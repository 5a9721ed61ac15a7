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
    // Not gone before the server has read it: the X server drops the requests still unread of a
    // client that has hung up, so a close box sent and disconnected at once was at times never
    // delivered (on a busy machine, the server looks at the socket after the hang-up). A reply
    // to a later request is the server's word that it has carried out this one.
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    const bool ok = !xcb_connection_has_error(c);
    xcb_disconnect(c);
    return ok;
}
