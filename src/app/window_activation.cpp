// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window_activation.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstring>

namespace tamro::app {
namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return a;
}

// The startup notification's "remove" message, which ends the launch feedback (the busy cursor, the task bar's
// "starting"), sent to the root window in 20-byte pieces as the protocol has it.
void sendStartupRemove(xcb_connection_t* c, xcb_window_t root, xcb_window_t from, const std::string& id)
{
    std::string message = "remove: ID=" + id;
    message += '\0';
    const xcb_atom_t begin = atom(c, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(c, "_NET_STARTUP_INFO");
    for (std::size_t at = 0; at < message.size(); at += 20) {
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = from;
        event.type = at == 0 ? begin : more;
        std::memcpy(event.data.data8, message.data() + at, std::min<std::size_t>(20, message.size() - at));
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char*>(&event));
    }
}

// What a desktop's X11 launcher asks of the program it started: the id on the window, the activation with the
// time of the user's click (the id's _TIME), so that focus-stealing prevention lets it through, and the end of
// the launch feedback.
void activateWithStartupId(QWidget& widget, const std::string& id)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    QWindow* window = widget.windowHandle();
    if (!x11 || !window)
        return;
    xcb_connection_t* c = x11->connection();
    const auto win = static_cast<xcb_window_t>(window->winId());
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!c || !screen)
        return;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, atom(c, "_NET_STARTUP_ID"), atom(c, "UTF8_STRING"), 8,
                        static_cast<std::uint32_t>(id.size()), id.data());
    if (const std::uint32_t time = startupIdTime(id)) {
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = win;
        event.type = atom(c, "_NET_ACTIVE_WINDOW");
        event.data.data32[0] = 1;  // from an application
        event.data.data32[1] = time;
        xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    }
    sendStartupRemove(c, screen->root, win, id);
    xcb_flush(c);
}

}  // namespace

std::uint32_t startupIdTime(std::string_view id)
{
    const std::size_t at = id.rfind("_TIME");
    if (at == std::string_view::npos)
        return 0;
    std::uint64_t time = 0;
    std::size_t i = at + 5;
    for (; i < id.size() && id[i] >= '0' && id[i] <= '9' && time <= 0xFFFFFFFFu; ++i)
        time = time * 10 + static_cast<std::uint64_t>(id[i] - '0');
    return i == at + 5 || time > 0xFFFFFFFFu ? 0 : static_cast<std::uint32_t>(time);
}

void raiseWindow(QWidget& window, const desktop::ActivationToken& token)
{
    using Kind = desktop::ActivationToken::Kind;
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    const QString platform = QGuiApplication::platformName();
    // Qt's Wayland plugin activates with this variable's token, once, and clears it.
    if (token.kind == Kind::Wayland && platform.startsWith(QLatin1String("wayland")))
        qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(token.text));
    window.raise();
    window.activateWindow();
    // After Qt's own request, which carries the time of this program's last input event: the later one counts.
    if (token.kind == Kind::X11 && platform == QLatin1String("xcb"))
        activateWithStartupId(window, token.text);
}

}  // namespace tamro::app
