#include "platform/WindowTitles.h"

#include <QGuiApplication>

#include <cstdlib>
#include <cstring>
#include <vector>
#include <xcb/xcb.h>

namespace platform {

namespace {

template <typename T> struct Reply {
    T* p;
    explicit Reply(T* reply) : p(reply) {}
    ~Reply() { std::free(p); }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

class Display {
public:
    explicit Display(const QByteArray& name) {
        int screenNumber = 0;
        c_ = xcb_connect(name.constData(), &screenNumber);
        if (xcb_connection_has_error(c_))
            return;
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c_));
        for (int i = 0; i < screenNumber && it.rem; ++i)
            xcb_screen_next(&it);
        if (it.rem)
            root_ = it.data->root;
        netWmName_ = atom("_NET_WM_NAME");
        utf8String_ = atom("UTF8_STRING");
    }
    ~Display() { xcb_disconnect(c_); }
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    bool ok() const { return root_ != XCB_WINDOW_NONE; }
    xcb_window_t root() const { return root_; }

    std::vector<xcb_window_t> children(xcb_window_t window) const {
        Reply reply(xcb_query_tree_reply(c_, xcb_query_tree(c_, window), nullptr));
        if (!reply)
            return {};
        const xcb_window_t* first = xcb_query_tree_children(reply.p);
        return {first, first + xcb_query_tree_children_length(reply.p)};
    }

    // Asks for every window's attributes at once, then reads the answers.
    std::vector<bool> viewable(const std::vector<xcb_window_t>& windows) const {
        std::vector<xcb_get_window_attributes_cookie_t> cookies;
        for (xcb_window_t w : windows)
            cookies.push_back(xcb_get_window_attributes(c_, w));
        std::vector<bool> result;
        for (auto cookie : cookies) {
            Reply reply(xcb_get_window_attributes_reply(c_, cookie, nullptr));
            result.push_back(reply && reply->map_state == XCB_MAP_STATE_VIEWABLE);
        }
        return result;
    }

    // _NET_WM_NAME (UTF-8), else WM_NAME (Latin-1).
    QString title(xcb_window_t window) const {
        QString name = property(window, netWmName_, utf8String_, true);
        return name.isEmpty() ? property(window, XCB_ATOM_WM_NAME, XCB_ATOM_ANY, false) : name;
    }

    // The first title found in a window or, for a window manager's frame, the client
    // windows inside it.
    QString titleWithin(xcb_window_t window, int depth) const {
        QString name = title(window);
        if (!name.isEmpty() || depth == 0)
            return name;
        const std::vector<xcb_window_t> inner = children(window);
        const std::vector<bool> shown = viewable(inner);
        for (size_t i = inner.size(); i-- > 0;) {
            if (shown[i] && !(name = titleWithin(inner[i], depth - 1)).isEmpty())
                return name;
        }
        return {};
    }

private:
    xcb_atom_t atom(const char* name) const {
        Reply reply(xcb_intern_atom_reply(
            c_, xcb_intern_atom(c_, 1, static_cast<uint16_t>(strlen(name)), name), nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    QString property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type, bool utf8) const {
        if (name == XCB_ATOM_NONE)
            return {};
        // 1024 four-byte units: titles longer than 4 KiB are cut.
        Reply reply(xcb_get_property_reply(c_, xcb_get_property(c_, 0, window, name, type, 0, 1024),
                                           nullptr));
        if (!reply || reply->format != 8)
            return {};
        const char* bytes = static_cast<const char*>(xcb_get_property_value(reply.p));
        const int length = xcb_get_property_value_length(reply.p);
        return utf8 ? QString::fromUtf8(bytes, length) : QString::fromLatin1(bytes, length);
    }

    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t netWmName_ = XCB_ATOM_NONE;
    xcb_atom_t utf8String_ = XCB_ATOM_NONE;
};

bool headless() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    const QString platform = QGuiApplication::platformName();
    return platform == "offscreen" || platform == "minimal";
}

} // namespace

QStringList topLevelWindowTitles() {
    if (headless())
        return {};
    return topLevelWindowTitles(qgetenv("DISPLAY"));
}

QStringList topLevelWindowTitles(const QByteArray& name) {
    if (name.isEmpty())
        return {};
    Display display(name);
    if (!display.ok())
        return {};
    const std::vector<xcb_window_t> windows = display.children(display.root());
    const std::vector<bool> shown = display.viewable(windows);
    QStringList titles;
    for (size_t i = 0; i < windows.size(); ++i) {
        if (!shown[i])
            continue;
        // Frames of reparenting window managers nest the client two levels down at most.
        const QString title = display.titleWithin(windows[i], 2);
        if (!title.isEmpty())
            titles << title;
    }
    return titles;
}

} // namespace platform
