// Map notifications of top-level windows, read from the X server through xcb.
#include "x_map_watch.h"

#include <xcb/xcb.h>

#include <cstdlib>

struct XMapWatch::Connection {
    xcb_connection_t* c = nullptr;
    xcb_window_t root = 0;
};

XMapWatch::XMapWatch()
{
    auto* conn = new Connection;
    int screen_number = 0;
    conn->c = xcb_connect(nullptr, &screen_number);
    if (!conn->c || xcb_connection_has_error(conn->c)) {
        error_ = "cannot connect to the X display";
        if (conn->c)
            xcb_disconnect(conn->c);
        delete conn;
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn->c));
    for (int i = 0; i < screen_number && it.rem; ++i)
        xcb_screen_next(&it);
    conn->root = it.data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_generic_error_t* e =
        xcb_request_check(conn->c, xcb_change_window_attributes_checked(conn->c, conn->root, XCB_CW_EVENT_MASK, &mask));
    if (e) {
        std::free(e);
        error_ = "cannot watch the root window";
        xcb_disconnect(conn->c);
        delete conn;
        return;
    }
    connection_ = conn;
    fd_ = xcb_get_file_descriptor(conn->c);
}

XMapWatch::~XMapWatch()
{
    if (connection_) {
        xcb_disconnect(connection_->c);
        delete connection_;
    }
}

std::vector<std::string> XMapWatch::take_maps()
{
    std::vector<std::string> maps;
    if (!connection_)
        return maps;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_->c)) {
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (map->event == connection_->root && !map->override_redirect) {
                std::string text = std::to_string(map->window);
                xcb_get_geometry_reply_t* g =
                    xcb_get_geometry_reply(connection_->c, xcb_get_geometry(connection_->c, map->window), nullptr);
                if (g) {
                    text += ' ' + std::to_string(g->width) + 'x' + std::to_string(g->height);
                    std::free(g);
                }
                maps.push_back(text);
            }
        }
        std::free(event);
    }
    return maps;
}
