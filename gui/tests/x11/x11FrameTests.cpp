// The X11 backend under a private Xvfb: real clicks and keys sent with xdotool reach the right views,
// the window shows what the frame drew, the popup menu runs on its own, a lost grab cancels the press.
#include <gtest/gtest.h>
// gtest comes first: the X11 headers define macros that clash with it.
#include "gui/gui.h"
#include "xvfbEnvironment.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <sys/wait.h>

using namespace qgui;
using namespace qgui::test;

namespace {

struct Listener : IControlListener {
    std::vector<std::pair<int32_t, float>> values;
    void valueChanged(CControl* c) override { values.push_back({c->getTag(), c->getValue()}); }
};

struct KeyRecorder : IKeyboardHook {
    std::vector<VstKeyCode> keys;
    int32_t onKeyDown(const VstKeyCode& k, CFrame*) override {
        keys.push_back(k);
        return -1;
    }
    int32_t onKeyUp(const VstKeyCode&, CFrame*) override { return -1; }
};

// A top-level window of the test's own connection, like a host's, with a frame opened in it.
struct X11Fixture {
    Display* dpy = XOpenDisplay(nullptr);
    Window host = 0;
    CFrame* frame = nullptr;
    Window frameWindow = 0;

    explicit X11Fixture(double zoom = 1.0, CCoord w = 200, CCoord h = 100) {
        if (!dpy) return;
        host = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 50, 40, 600, 400, 0, 0, 0);
        XMapWindow(dpy, host);
        XSync(dpy, False);
        frame = new CFrame(CRect(0, 0, w, h), nullptr);
        frame->setZoom(zoom);
        frame->setBackgroundColor(MakeCColor(0, 0, 60));
    }
    bool open() {
        if (!frame->open(reinterpret_cast<void*>(host), PlatformType::kX11)) return false;
        frameWindow = reinterpret_cast<Window>(frame->getSystemWindow());
        return pumpUntil([&] { frame->idle(); }, [&] {
            XWindowAttributes a;
            return XGetWindowAttributes(dpy, frameWindow, &a) && a.map_state == IsViewable;
        });
    }
    ~X11Fixture() {
        if (frame) frame->close();
        if (dpy) {
            if (host) XDestroyWindow(dpy, host);
            XCloseDisplay(dpy);
        }
    }
    void idle() { frame->idle(); }
    // The window's pixel as the screen shows it.
    CColor screenPixel(int x, int y) {
        XSync(dpy, False);
        XImage* image = XGetImage(dpy, frameWindow, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return kTransparentCColor;
        unsigned long p = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return MakeCColor((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    std::string win() const { return std::to_string(frameWindow); }
};

// A filled control that shows its value as its colour.
struct Lamp : CControl {
    using CControl::CControl;
    void draw(CDrawContext* context) override {
        context->setFillColor(value > 0.5f ? kGreenCColor : kRedCColor);
        context->drawRect(size, kDrawFilled);
        setDirty(false);
    }
};

struct LampButton : Lamp {
    using Lamp::Lamp;
    CMouseEventResult onMouseDown(CPoint&, const CButtonState& buttons) override {
        if (!(buttons & kLButton)) return kMouseEventNotHandled;
        value = 1.f - value;
        valueChanged();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
};

}  // namespace

TEST(X11Frame, AClickReachesTheRightControlAndTheWindowShowsIt) {
    X11Fixture x(1.5);
    ASSERT_TRUE(x.dpy);
    Listener l;
    auto* left = new LampButton(CRect(10, 10, 50, 40), &l, 1);
    auto* right = new LampButton(CRect(60, 10, 100, 40), &l, 2);
    x.frame->addView(left);
    x.frame->addView(right);
    ASSERT_TRUE(x.open());
    // The window shows the frame once the server exposed it.
    EXPECT_TRUE(pumpUntil([&] { x.idle(); }, [&] { return x.screenPixel(120, 35) == kRedCColor; }));
    // Device (120, 35) is unzoomed (80, 23.3): the right lamp.
    ASSERT_EQ(runProgram({"xdotool", "mousemove", "--window", x.win(), "120", "35", "click", "1"}), 0);
    ASSERT_TRUE(pumpUntil([&] { x.idle(); }, [&] { return !l.values.empty(); }));
    EXPECT_EQ(l.values, (std::vector<std::pair<int32_t, float>>{{2, 1.f}}));
    EXPECT_TRUE(pumpUntil([&] { x.idle(); }, [&] { return x.screenPixel(120, 35) == kGreenCColor; }));
    EXPECT_EQ(x.screenPixel(45, 35), kRedCColor);
    EXPECT_EQ(x.screenPixel(5, 5), MakeCColor(0, 0, 60));
    CPoint where;
    EXPECT_EQ(x.frame->getCurrentMouseLocation(where), CPoint(80, 35 / 1.5));
}

TEST(X11Frame, KeysArriveAsVstCodesAndTypedTextReachesTheTextField) {
    X11Fixture x;
    ASSERT_TRUE(x.dpy);
    KeyRecorder hook;
    x.frame->registerKeyboardHook(&hook);
    auto* edit = new CTextEdit(CRect(10, 10, 190, 30), nullptr, 1, "x");
    x.frame->addView(edit);
    ASSERT_TRUE(x.open());
    ASSERT_EQ(runProgram({"xdotool", "mousemove", "--window", x.win(), "150", "20", "click", "1"}), 0);
    ASSERT_TRUE(pumpUntil([&] { x.idle(); }, [&] { return edit->isEntryOpen(); }));
    ASSERT_EQ(runProgram({"xdotool", "type", "--delay", "20", "Ab1"}), 0);
    ASSERT_EQ(runProgram({"xdotool", "key", "KP_Enter"}), 0);
    ASSERT_TRUE(pumpUntil([&] { x.idle(); }, [&] { return !edit->isEntryOpen(); }));
    EXPECT_EQ(edit->getText(), "Ab1");  // the entry opened with "x" selected: typing replaced it
    // The hook saw every key first: 'a' with Shift (unshifted character), 'b', '1', then keypad Enter.
    std::vector<std::pair<int32_t, uint8_t>> seen;
    for (const auto& k : hook.keys)
        if (k.virt != VKEY_SHIFT) seen.push_back({k.character, k.virt});
    EXPECT_EQ(seen, (std::vector<std::pair<int32_t, uint8_t>>{{'a', 0}, {'b', 0}, {'1', 0}, {0, VKEY_ENTER}}));
    hook.keys.clear();
    // Keypad digits are keypad keys, never characters (NumLock on).
    ASSERT_EQ(runProgram({"xdotool", "key", "Num_Lock", "KP_7", "Num_Lock"}), 0);
    ASSERT_TRUE(pumpUntil([&] { x.idle(); }, [&] {
        for (const auto& k : hook.keys)
            if (k.virt == VKEY_NUMPAD7) return true;
        return false;
    }));
    for (const auto& k : hook.keys) EXPECT_EQ(k.character, 0);
    x.frame->unregisterKeyboardHook(&hook);
}

TEST(X11Frame, LosingThePointerGrabCancelsThePress) {
    X11Fixture x;
    ASSERT_TRUE(x.dpy);
    Listener l;
    auto* key = new CKickButton(CRect(10, 10, 60, 60), &l, 5, nullptr);
    x.frame->addView(key);
    ASSERT_TRUE(x.open());
    ASSERT_EQ(runProgram({"xdotool", "mousemove", "--window", x.win(), "30", "30", "mousedown", "1"}), 0);
    ASSERT_TRUE(pumpUntil([&] { x.idle(); }, [&] { return key->isEditing(); }));
    // The host hides the editor while the button is held: the release never reaches the frame.
    XUnmapWindow(x.dpy, x.host);
    XSync(x.dpy, False);
    ASSERT_TRUE(pumpUntil([&] { x.idle(); }, [&] { return !key->isEditing(); }));
    EXPECT_EQ(l.values, (std::vector<std::pair<int32_t, float>>{{5, 0.f}}));  // released, never reported pressed
    runProgram({"xdotool", "mouseup", "1"});
    XMapWindow(x.dpy, x.host);
    XSync(x.dpy, False);
    for (int i = 0; i < 20; ++i) x.idle();
    EXPECT_EQ(l.values.size(), 1u);
}

TEST(X11Popup, KeyboardAndMouseChooseAndEscapeDismisses) {
    struct Case {
        const char* name;
        std::vector<std::string> after;  // xdotool commands once the menu is open
        std::vector<float> reported;
    } cases[] = {
        {"down, down, return", {"key", "Down", "key", "Down", "key", "Return"}, {1.f}},
        {"escape", {"key", "Escape"}, {}},
        // A choice in a submenu sets the submenu; the top menu reports its own (unchanged) value.
        {"submenu with right", {"key", "Up", "key", "Right", "key", "Down", "key", "Return"}, {0.f}},
        // Zoom 1.5: the menu sits below the control's bottom (y 30 → 45) with items 30 pixels tall.
        {"mouse on the third entry", {"mousemove", "--window", "%W", "30", "121", "click", "1"}, {2.f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        X11Fixture x(1.5);
        ASSERT_TRUE(x.dpy);
        Listener l;
        auto* menu = new COptionMenu(CRect(10, 10, 110, 30), &l, 9);
        for (const char* e : {"zero", "one", "two"}) menu->addEntry(e);
        auto* sub = new COptionMenu();
        sub->addEntry("s0");
        sub->addEntry("s1");
        menu->addEntry(sub, "more");
        sub->forget();
        x.frame->addView(menu);
        ASSERT_TRUE(x.open());
        // Input goes on once the menu's window is on screen.
        std::vector<std::string> args{"xdotool", "mousemove", "--window", x.win(), "30", "30", "click", "1",
                                      "search", "--sync", "--onlyvisible", "--name", "^qgui-popup$"};
        for (auto a : c.after) args.push_back(a == "%W" ? x.win() : a);
        int pid = startProgram(args);
        ASSERT_GT(pid, 0);
        // The popup runs inside this idle until the scripted input ends it.
        ASSERT_TRUE(pumpUntil([&] { x.idle(); }, [&] { return waitpid(pid, nullptr, WNOHANG) == pid; }, 10));
        for (int i = 0; i < 10; ++i) x.idle();
        std::vector<float> reported;
        for (const auto& v : l.values) reported.push_back(v.second);
        EXPECT_EQ(reported, c.reported);
        if (c.name == std::string("submenu with right")) {
            int idx = -1;
            EXPECT_EQ(menu->getLastItemMenu(idx), sub);
            EXPECT_EQ(idx, 1);
        }
    }
}

TEST(X11Frame, ScreenAndMonitorQueries) {
    X11Fixture x;
    ASSERT_TRUE(x.dpy);
    ASSERT_TRUE(x.open());
    CRect monitor;
    ASSERT_TRUE(x.frame->getMonitorRect(monitor));
    EXPECT_EQ(monitor, CRect(0, 0, 1280, 800));
    // The server reports 120 dpi from its screen size; only the desktop's Xft.dpi overrides 96.
    EXPECT_DOUBLE_EQ(x.frame->getScreenDPI(), 96.0) << "no Xft.dpi: 96, whatever size the screen reports";
    Window root = DefaultRootWindow(x.dpy);
    const std::string resources = "Xft.dpi:\t144\n";
    XChangeProperty(x.dpy, root, XInternAtom(x.dpy, "RESOURCE_MANAGER", False), XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.data()), static_cast<int>(resources.size()));
    XSync(x.dpy, False);
    EXPECT_DOUBLE_EQ(x.frame->getScreenDPI(), 144.0);
    XDeleteProperty(x.dpy, root, XInternAtom(x.dpy, "RESOURCE_MANAGER", False));
    XSync(x.dpy, False);
    // A parent window id that does not exist: the frame does not open on X11.
    auto* orphan = new CFrame(CRect(0, 0, 10, 10), nullptr);
    EXPECT_FALSE(orphan->open(reinterpret_cast<void*>(0x7fffff), PlatformType::kX11));
    orphan->forget();
}
