#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "platform/WindowTitles.h"

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

class Client {
public:
    explicit Client(const QByteArray& display) : c(xcb_connect(display.constData(), nullptr)) {
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    }
    ~Client() { xcb_disconnect(c); }

    xcb_window_t window(xcb_window_t parent, bool mapped) {
        const xcb_window_t w = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, parent, 0, 0, 50, 50, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        if (mapped)
            xcb_map_window(c, w);
        return w;
    }
    void name(xcb_window_t w, const char* property, const char* type, const QByteArray& text) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(property), atom(type), 8, text.size(),
                            text.constData());
    }
    // A round trip: everything sent before has been done by the server.
    void sync() { std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }

    xcb_connection_t* c;
    xcb_window_t root;

private:
    xcb_atom_t atom(const char* text) {
        auto* reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(text)), text), nullptr);
        const xcb_atom_t result = reply->atom;
        std::free(reply);
        return result;
    }
};

} // namespace

TEST(WindowTitles, MappedTopLevelTitlesInStackingOrderLookingIntoFramesAndNoneHeadless) {
    qbtest::XvfbDisplay display("320x240x24");
    ASSERT_TRUE(display.running()) << qPrintable(display.error());
    const QByteArray name = display.name().toLatin1();
    Client x(name);
    ASSERT_EQ(xcb_connection_has_error(x.c), 0);

    const xcb_window_t modern = x.window(x.root, true);
    x.name(modern, "_NET_WM_NAME", "UTF8_STRING", "Ünïcode — Mozilla Firefox");
    x.name(modern, "WM_NAME", "STRING", "not this one");
    const xcb_window_t legacy = x.window(x.root, true);
    x.name(legacy, "WM_NAME", "STRING", QByteArray("Caf\xe9 - Netscape"));
    const xcb_window_t hidden = x.window(x.root, false);
    x.name(hidden, "WM_NAME", "STRING", "Hidden");
    const xcb_window_t frame = x.window(x.root, true);
    x.name(x.window(frame, true), "WM_NAME", "STRING", "Inside a frame");
    x.window(x.root, true); // no title at all
    x.sync();

    EXPECT_EQ(platform::topLevelWindowTitles(name),
              QStringList({"Ünïcode — Mozilla Firefox", "Café - Netscape", "Inside a frame"}));

    // None on an unreachable display, and none for the program running headless, even with
    // a display there.
    EXPECT_TRUE(platform::topLevelWindowTitles(QByteArray()).isEmpty());
    EXPECT_TRUE(platform::topLevelWindowTitles(":9999").isEmpty());
    const QByteArray saved = qgetenv("DISPLAY");
    for (const QByteArray& display : {QByteArray(":9999"), name, QByteArray()}) {
        qputenv("DISPLAY", display);
        EXPECT_TRUE(platform::topLevelWindowTitles().isEmpty()) << display.constData();
    }
    if (saved.isNull())
        qunsetenv("DISPLAY");
    else
        qputenv("DISPLAY", saved);
}
