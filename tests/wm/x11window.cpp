#include "x11window.h"

#include <QGuiApplication>
#include <QTest>
#include <QWidget>
#include <cstdlib>

namespace wm {

xcb_connection_t* x11() {
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_atom_t atom(const char* name) {
    auto cookie = xcb_intern_atom(x11(), 0, quint16(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(x11(), cookie, nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return value;
}

QStringList allowedActions(const QWidget& page) {
    auto cookie = xcb_get_property(x11(), 0, xcb_window_t(page.winId()),
                                   atom("_NET_WM_ALLOWED_ACTIONS"), XCB_ATOM_ATOM, 0, 64);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(x11(), cookie, nullptr);
    QStringList names;
    if (reply) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        for (int i = 0; i < xcb_get_property_value_length(reply) / 4; ++i) {
            auto nameCookie = xcb_get_atom_name(x11(), atoms[i]);
            xcb_get_atom_name_reply_t* name = xcb_get_atom_name_reply(x11(), nameCookie, nullptr);
            if (name)
                names << QString::fromLatin1(xcb_get_atom_name_name(name),
                                             xcb_get_atom_name_name_length(name))
                             .remove(QStringLiteral("_NET_WM_ACTION_"));
            free(name);
        }
        free(reply);
    }
    return names;
}

void closeThroughWindowManager(const QWidget& page) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(page.winId());
    event.type = atom("_NET_CLOSE_WINDOW");
    event.data.data32[0] = XCB_CURRENT_TIME;
    event.data.data32[1] = 2; // from a pager, as a user's action
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x11())).data->root;
    xcb_send_event(x11(), 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(x11());
}

void setState(const QWidget& page, bool add, const char* first, const char* second) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(page.winId());
    event.type = atom("_NET_WM_STATE");
    event.data.data32[0] = add ? 1 : 0;
    event.data.data32[1] = atom(first);
    event.data.data32[2] = second ? atom(second) : 0;
    event.data.data32[3] = 2;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x11())).data->root;
    xcb_send_event(x11(), 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(x11());
}

void setUndecorated(const QWidget& page, bool undecorated) {
    setState(page, undecorated, "_OB_WM_STATE_UNDECORATED");
}

bool managed(const QWidget& page) {
    return QTest::qWaitFor(
        [&] {
            return page.isVisible() && page.frameGeometry().height() > page.height() &&
                   !allowedActions(page).isEmpty();
        },
        10000);
}

} // namespace wm
