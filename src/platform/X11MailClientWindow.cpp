// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/X11MailClientWindow.h"

#ifdef PARCELO_HAVE_XCB

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdlib>
#include <vector>
#include <xcb/xcb.h>

namespace parcelo {

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

class X11MailClientWindow : public MailClientWindow {
public:
    X11MailClientWindow(xcb_connection_t* connection, const QString& windowClass)
        : connection_(connection), windowClass_(windowClass) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        clientList_ = internAtom(connection_, "_NET_CLIENT_LIST");
    }
    ~X11MailClientWindow() override { xcb_disconnect(connection_); }

    bool Find() override {
        if (found_ != XCB_WINDOW_NONE)
            return true;
        for (xcb_window_t window : topLevelWindows())
            if (hasClass(window)) {
                found_ = window;
                return true;
            }
        return false;
    }

    void Hide() override {
        if (found_ == XCB_WINDOW_NONE)
            return;
        xcb_unmap_window(connection_, found_);
        // A managed window is withdrawn by a synthetic UnmapNotify to the root as well.
        xcb_unmap_notify_event_t event{};
        event.response_type = XCB_UNMAP_NOTIFY;
        event.event = root_;
        event.window = found_;
        xcb_send_event(connection_, 0, root_,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(connection_);
    }

    void Show() override {
        if (found_ == XCB_WINDOW_NONE)
            return;
        xcb_map_window(connection_, found_);
        xcb_flush(connection_);
    }

private:
    // The window manager's client list when there is one, else the root's children.
    std::vector<xcb_window_t> topLevelWindows() {
        std::vector<xcb_window_t> windows;
        if (clientList_ != XCB_ATOM_NONE) {
            xcb_get_property_reply_t* reply = xcb_get_property_reply(
                connection_,
                xcb_get_property(connection_, 0, root_, clientList_, XCB_ATOM_WINDOW, 0, 4096),
                nullptr);
            if (reply && reply->format == 32) {
                auto* ids = static_cast<xcb_window_t*>(xcb_get_property_value(reply));
                windows.assign(ids, ids + xcb_get_property_value_length(reply) / 4);
            }
            std::free(reply);
        }
        if (!windows.empty())
            return windows;
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr);
        if (tree) {
            xcb_window_t* children = xcb_query_tree_children(tree);
            windows.assign(children, children + xcb_query_tree_children_length(tree));
            std::free(tree);
        }
        return windows;
    }

    // WM_CLASS holds the instance name and the class name, each ending with a NUL.
    bool hasClass(xcb_window_t window) {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            connection_,
            xcb_get_property(connection_, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
            nullptr);
        bool match = false;
        if (reply) {
            const QByteArray value(static_cast<const char*>(xcb_get_property_value(reply)),
                                   xcb_get_property_value_length(reply));
            const QList<QByteArray> parts = value.split('\0');
            match = parts.size() >= 2 && QString::fromLocal8Bit(parts[1]).compare(
                                             windowClass_, Qt::CaseInsensitive) == 0;
            std::free(reply);
        }
        return match;
    }

    xcb_connection_t* connection_;
    QString windowClass_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t clientList_ = XCB_ATOM_NONE;
    xcb_window_t found_ = XCB_WINDOW_NONE;
};

} // namespace

std::unique_ptr<MailClientWindow> CreateX11MailClientWindow(const QString& windowClass) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::make_unique<X11MailClientWindow>(connection, windowClass);
}

} // namespace parcelo

#endif
