// The foundation's menus, message boxes, windows and clipboard on X11, under a private Xvfb: xdotool
// plays the user, xclip another program that holds the clipboard.
#include <gtest/gtest.h>
// gtest comes first: the X11 headers define macros that clash with it.
#include "foundation/podoClipboard.h"
#include "foundation/podoDesktop.h"
#include "foundation/podoMenu.h"
#include "foundation/podoWnd.h"
#include "gui/desktop/x11Desktop.h"
#include "gui/desktop/x11MessageBox.h"
#include "xvfbEnvironment.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <cairo.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>

using namespace qgui;
using namespace qgui::test;

namespace {

// A top-level window of the test's own connection, as a host's window would be.
struct Host {
    Display* dpy = XOpenDisplay(nullptr);
    Window window = 0;

    Host() {
        if (!dpy) return;
        window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 50, 40, 600, 400, 0, 0, WhitePixel(dpy, 0));
        XSelectInput(dpy, window, ButtonPressMask);
        XMapWindow(dpy, window);
        XSync(dpy, False);
        pumpUntil([] {}, [&] {
            XWindowAttributes a;
            return XGetWindowAttributes(dpy, window, &a) && a.map_state == IsViewable;
        });
    }
    ~Host() {
        if (!dpy) return;
        XDestroyWindow(dpy, window);
        XCloseDisplay(dpy);
    }
    void* handle() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }
    std::string id() const { return std::to_string(window); }
    // The next button press on the window, in its coordinates.
    bool waitForPress(int& x, int& y) {
        XEvent ev;
        bool pressed = pumpUntil([] {}, [&] { return XCheckTypedWindowEvent(dpy, window, ButtonPress, &ev) == True; }, 10);
        if (pressed) {
            x = ev.xbutton.x;
            y = ev.xbutton.y;
        }
        return pressed;
    }
};

// Ends a case that went wrong instead of hanging: after a while it runs the rescue (Escape).
class Watchdog {
public:
    explicit Watchdog(std::vector<std::string> rescue = {"xdotool", "key", "Escape"}, int seconds = 15)
        : thread([this, rescue, seconds] {
              std::unique_lock<std::mutex> hold(lock);
              if (!wake.wait_for(hold, std::chrono::seconds(seconds), [this] { return done; })) runProgram(rescue);
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> hold(lock);
            done = true;
        }
        wake.notify_all();
        thread.join();
    }

private:
    std::mutex lock;
    std::condition_variable wake;
    bool done = false;
    std::thread thread;
};

// Plays the user with xdotool runs, one after another, on a thread of its own while the test waits in
// a menu or a box. Keys and clicks go in runs of their own, without a window: xdotool then sends real
// (XTEST) input, never half a key to a window that closed in between.
// A run of just kGrabbed waits until someone (the popup) holds the keyboard, so no key is sent too soon.
const std::string kGrabbed = "(keyboard grabbed)";

bool keyboardGrabbed() {
    Display* dpy = XOpenDisplay(nullptr);
    bool grabbed = pumpUntil([] {}, [&] {
        int r = XGrabKeyboard(dpy, DefaultRootWindow(dpy), False, GrabModeAsync, GrabModeAsync, CurrentTime);
        if (r == GrabSuccess) XUngrabKeyboard(dpy, CurrentTime);
        XSync(dpy, False);
        return r == AlreadyGrabbed;
    });
    XCloseDisplay(dpy);
    return grabbed;
}

class Player {
public:
    explicit Player(std::vector<std::vector<std::string>> runs)
        : thread([runs] {
              for (auto run : runs) {
                  if (run == std::vector<std::string>{kGrabbed}) {
                      keyboardGrabbed();
                      continue;
                  }
                  run.insert(run.begin(), "xdotool");
                  runProgram(run);
              }
          }) {}
    ~Player() { thread.join(); }

private:
    std::thread thread;
};

std::string windowName(Display* dpy, Window w) {
    XTextProperty p;
    std::string name;
    if (XGetWMName(dpy, w, &p) && p.value) {
        name.assign(reinterpret_cast<char*>(p.value), p.nitems);
        XFree(p.value);
    }
    return name;
}

// Viewable top-level windows with that name, bottom first, in root coordinates.
std::vector<std::pair<Window, CRect>> windowsNamed(Display* dpy, const std::string& name) {
    std::vector<std::pair<Window, CRect>> found;
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count)) return found;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(dpy, children[i], &a) && a.map_state == IsViewable && windowName(dpy, children[i]) == name)
            found.push_back({children[i], CRect(a.x, a.y, a.x + a.width, a.y + a.height)});
    }
    if (children) XFree(children);
    return found;
}

// The popup menu used by the menu tests.
//  top:  &Learn\tCtrl+L 1201 | &Forget 1202 | --- | Disabled 1203 | Grayed 1204 | &More > | new column:
//        Second &column 1205 | &Twin 1207 (default) | &Twin 1208 | Rock && &Roll 1209
//  More: Sub &one 2001 (checked) | Sub &two 2002 | Sub t&hree 2003
struct TestMenu {
    podoWnd owner;
    podoMenu menu;
    explicit TestMenu(void* window) : owner(window), menu(&owner) {
        menu.addItem(0, 1201, podoStr("&Learn\tCtrl+L"));
        menu.addItem(0, 1202, podoStr("&Forget"));
        menu.appendSeparator();
        menu.addItem(podo::menuDisabled, 1203, podoStr("Disabled"));
        menu.addItem(podo::menuGrayed, 1204, podoStr("Grayed"));
        auto* more = new podoMenu(&owner);
        more->addItem(podo::menuChecked, 2001, podoStr("Sub &one"));
        more->addItem(0, 2002, podoStr("Sub &two"));
        more->addItem(0, 2003, podoStr("Sub t&hree"));
        menu.appendSubmenu(0, more, podoStr("&More"));
        menu.addItem(podo::menuNewColumn, 1205, podoStr("Second &column"));
        menu.addItem(podo::menuDefault, 1207, podoStr("&Twin"));
        menu.addItem(0, 1208, podoStr("&Twin"));
        menu.addItem(0, 1209, podoStr("Rock && &Roll"));
    }
};

// Item rows of the menu at scale 1: 20 pixels, separators 7, below a 1-pixel border.
constexpr int kRow = 20;
int rowCentre(int rowsAbove, int separatorsAbove) { return 1 + rowsAbove * kRow + separatorsAbove * 7 + kRow / 2; }

// Clicks at (40, 50) in the host window, waits until the popup holds the keyboard, then plays `input`
// (xdotool commands, "%H" for the host window).
std::vector<std::vector<std::string>> menuInput(const Host& host, const std::vector<std::string>& input) {
    std::vector<std::string> played;
    for (const auto& a : input) played.push_back(a == "%H" ? host.id() : a);
    return {{"mousemove", "--window", host.id(), "40", "50", "click", "3"}, {kGrabbed}, played};
}

}  // namespace

TEST(DesktopMenu, OpenedByAClickAndChosenWithKeysOrThePointer) {
    const int x = 40 + 40;  // inside the first column, right of the check marks
    struct Case {
        const char* name;
        std::vector<std::string> input;
        uint32_t id;
    } cases[] = {
        {"arrows skip disabled items and enter the submenu",
         {"key", "Down", "key", "Down", "key", "Down", "key", "Right", "key", "Down", "key", "Return"}, 2002},
        {"the submenu's mnemonic opens it, its item's chooses", {"key", "m", "key", "h"}, 2003},
        {"a mnemonic two items share moves between them", {"key", "t", "key", "t", "key", "Return"}, 1208},
        {"\"&&\" is a plain \"&\" before the mnemonic", {"key", "r"}, 1209},
        {"a click on an item",
         {"mousemove", "--window", "%H", std::to_string(x), std::to_string(50 + rowCentre(1, 0)), "click", "1"}, 1202},
        {"a click on a disabled item does nothing; Escape dismisses",
         {"mousemove", "--window", "%H", std::to_string(x), std::to_string(50 + rowCentre(2, 1)), "click", "1", "key",
          "Escape"},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        ASSERT_TRUE(host.dpy);
        TestMenu t(host.handle());
        Watchdog watchdog;
        Player player(menuInput(host, c.input));
        int px = 0, py = 0;
        ASSERT_TRUE(host.waitForPress(px, py));
        EXPECT_EQ(t.menu.track(px, py, false), c.id);
    }
}

namespace {

// A picture of the screen with easy pixel reads.
struct Screenshot {
    cairo_surface_t* surface = nullptr;
    explicit Screenshot(Display* dpy) {
        int w = DisplayWidth(dpy, 0), h = DisplayHeight(dpy, 0);
        XImage* image = XGetImage(dpy, DefaultRootWindow(dpy), 0, 0, w, h, AllPlanes, ZPixmap);
        if (!image) return;
        surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
        cairo_surface_flush(surface);
        unsigned char* data = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                *reinterpret_cast<uint32_t*>(data + y * stride + x * 4) = static_cast<uint32_t>(XGetPixel(image, x, y));
        cairo_surface_mark_dirty(surface);
        XDestroyImage(image);
    }
    ~Screenshot() {
        if (surface) cairo_surface_destroy(surface);
    }
    uint32_t at(int x, int y) const {
        return *reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface) + x * 4) & 0xFFFFFF;
    }
    // The darkest channel: 0 for black ink, 255 for white paper.
    int ink(int x, int y) const {
        uint32_t p = at(x, y);
        return static_cast<int>(std::min({(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF}));
    }
    int darkest(const CRect& r) const {
        int d = 255;
        for (int y = static_cast<int>(r.top); y < r.bottom; ++y)
            for (int x = static_cast<int>(r.left); x < r.right; ++x) d = std::min(d, ink(x, y));
        return d;
    }
    int inkCount(const CRect& r, int below = 100) const {
        int n = 0;
        for (int y = static_cast<int>(r.top); y < r.bottom; ++y)
            for (int x = static_cast<int>(r.left); x < r.right; ++x) n += ink(x, y) < below;
        return n;
    }
};

}  // namespace

TEST(DesktopMenu, ScreenshotOfAnOpenMenuWithASubmenuChecksAndASecondColumn) {
    Host host;
    ASSERT_TRUE(host.dpy);
    TestMenu t(host.handle());
    Watchdog watchdog;
    // The pointer rests on "More": its submenu opens, nothing in it is highlighted.
    int more = rowCentre(4, 1);
    Player player(menuInput(host, {"mousemove", "--window", "%H", "80", std::to_string(50 + more)}));
    std::vector<std::pair<Window, CRect>> popups;
    std::unique_ptr<Screenshot> shot;
    std::thread photographer([&] {
        Display* dpy = XOpenDisplay(nullptr);
        if (pumpUntil([] {}, [&] { return windowsNamed(dpy, "qgui-popup").size() == 2; }, 10)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            popups = windowsNamed(dpy, "qgui-popup");
            shot = std::make_unique<Screenshot>(dpy);
        }
        XCloseDisplay(dpy);
        runProgram({"xdotool", "key", "Escape"});
    });
    int px = 0, py = 0;
    ASSERT_TRUE(host.waitForPress(px, py));
    EXPECT_EQ(t.menu.track(px, py, false), 0u);
    photographer.join();
    ASSERT_EQ(popups.size(), 2u);
    ASSERT_TRUE(shot && shot->surface);
    cairo_surface_write_to_png(shot->surface, QUORIX_MENU_SCREENSHOT);
    const CRect top = popups[0].second, sub = popups[1].second;
    // The top menu opens at the click; its submenu to the right of "More", level with it.
    EXPECT_EQ(top.getTopLeft(), CPoint(50 + px, 40 + py));
    EXPECT_EQ(sub.top, top.top + more - kRow / 2 - 1);
    EXPECT_GT(sub.left, top.left + 40);

    // The second column: a dividing line from the top to the bottom of the menu.
    int divider = -1;
    for (int x = static_cast<int>(top.left) + 40; x < top.right - 40 && divider < 0; ++x) {
        bool line = true;
        // Down to where the submenu covers it.
        for (int y = static_cast<int>(top.top) + 2; y < sub.top && line; ++y) line = shot->at(x, y) == 0xBFBFCC;
        if (line) divider = x;
    }
    ASSERT_GT(divider, 0) << "no column line";
    auto row = [&](double left, double right, int rowsAbove, int separatorsAbove) {
        double y = top.top + rowCentre(rowsAbove, separatorsAbove) - kRow / 2;
        return CRect(left, y + 2, right, y + kRow - 2);
    };
    const double text1 = top.left + 21, end1 = divider, text2 = divider + 21, end2 = top.right - 1;
    // Grayed text is grey; a disabled item that is not grayed looks like the others.
    EXPECT_LT(shot->darkest(row(text1, end1, 1, 0)), 80) << "Forget";
    EXPECT_LT(shot->darkest(row(text1, end1, 2, 1)), 80) << "Disabled";
    EXPECT_GT(shot->darkest(row(text1, end1, 3, 1)), 120) << "Grayed";
    // The text after the tab stands on the right of its column; other rows have nothing there.
    double rightPart = end1 - (end1 - text1) / 3;
    EXPECT_GT(shot->inkCount(row(rightPart, end1 - 16, 0, 0)), 10) << "Ctrl+L";
    EXPECT_EQ(shot->inkCount(row(rightPart, end1 - 16, 1, 0)), 0) << "Forget";
    // The default item is bold: the same word with more ink.
    int bold = shot->inkCount(row(text2, end2, 1, 0)), plain = shot->inkCount(row(text2, end2, 2, 0));
    EXPECT_GT(bold, plain + plain / 5) << bold << " against " << plain;
    // The check mark stands before the checked item of the submenu only.
    CRect mark0(sub.left + 2, sub.top + 3, sub.left + 20, sub.top + kRow - 1);
    CRect mark1 = mark0;
    mark1.offset(0, kRow);
    EXPECT_GT(shot->inkCount(mark0), 5);
    EXPECT_EQ(shot->inkCount(mark1), 0);
}

TEST(DesktopMenu, AMenuTallerThanTheScreenGoesOnInAnotherColumn) {
    Host host;
    ASSERT_TRUE(host.dpy);
    podoWnd owner(host.handle());
    podoMenu menu(&owner);
    for (uint32_t i = 1; i <= 70; ++i) menu.addItem(0, i, podoStr(("Item " + std::to_string(i)).c_str()));
    Watchdog watchdog;
    std::vector<std::pair<Window, CRect>> popups;
    std::thread observer([&] {
        Display* dpy = XOpenDisplay(nullptr);
        pumpUntil([] {}, [&] { return !(popups = windowsNamed(dpy, "qgui-popup")).empty(); }, 10);
        XCloseDisplay(dpy);
    });
    // Up from nothing reaches the last item, in the last column.
    Player player(menuInput(host, {"key", "Up", "key", "Return"}));
    int px = 0, py = 0;
    ASSERT_TRUE(host.waitForPress(px, py));
    EXPECT_EQ(menu.track(px, py, false), 70u);
    observer.join();
    ASSERT_EQ(popups.size(), 1u);
    const CRect r = popups[0].second;
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.bottom, 800) << "kept on the screen";
    EXPECT_GT(r.getHeight(), 700) << "the first column fills the screen's height";
    EXPECT_GT(r.getWidth(), 2 * 60) << "two columns";
}

namespace {

// Asks on this (the interface) thread while xdotool finds the box, focuses it, points at `at` (when
// given) and plays `input`.
bool runAsk(const std::string& caption, const std::vector<std::string>& at, const std::vector<std::string>& input) {
    std::vector<std::string> find{"search", "--sync", "--onlyvisible", "--name", "^" + caption + "$",
                                  "windowfocus", "--sync", "%1"};
    if (!at.empty()) find.insert(find.end(), {"mousemove", "--window", "%1", at[0], at[1]});
    Watchdog watchdog({"xdotool", "key", "Escape"});
    Player player({find, input});
    return podo::askError(podoStr("Replace the bank?"), podoStr("/banks/user.usr"), podoStr(caption.c_str()));
}

}  // namespace

TEST(DesktopMessageBox, ClosedByKeysOrAClickOnItsButtons) {
    podo::setUserInterfaceThread();
    MessageBoxLayout layout = messageBoxLayout("Replace the bank?\n\n/banks/user.usr", 0x11, 1.0);
    ASSERT_EQ(layout.buttons.size(), 2u);
    auto centre = [](const CRect& r) {
        return std::vector<std::string>{std::to_string(static_cast<int>(r.getCenter().x)),
                                        std::to_string(static_cast<int>(r.getCenter().y))};
    };
    const struct {
        const char* name;
        std::vector<std::string> at, input;
        bool ok;
    } cases[] = {
        {"Return takes OK", {}, {"key", "Return"}, true},
        {"Escape takes Cancel", {}, {"key", "Escape"}, false},
        {"Tab moves to Cancel", {}, {"key", "Tab", "key", "space"}, false},
        {"a click on OK", centre(layout.buttons[0]), {"click", "1"}, true},
        {"a click on Cancel", centre(layout.buttons[1]), {"click", "1"}, false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(runAsk("Box " + std::to_string(++n), c.at, c.input), c.ok);
    }
}

TEST(DesktopMessageBox, TransientForAVisibleOwnerElseKeptAbove) {
    podo::setUserInterfaceThread();
    Host host;
    ASSERT_TRUE(host.dpy);
    podoWnd owner(host.handle());
    for (bool visible : {true, false}) {
        SCOPED_TRACE(visible ? "visible owner" : "hidden owner");
        if (!visible) {
            XUnmapWindow(host.dpy, host.window);
            XSync(host.dpy, False);
        }
        Window transientFor = 0;
        std::vector<std::string> states;
        std::thread inspector([&] {
            Display* dpy = XOpenDisplay(nullptr);
            std::vector<std::pair<Window, CRect>> boxes;
            if (pumpUntil([] {}, [&] { return !(boxes = windowsNamed(dpy, "Kestrane Quorix")).empty(); }, 10)) {
                XGetTransientForHint(dpy, boxes[0].first, &transientFor);
                Atom type;
                int format;
                unsigned long count, after;
                unsigned char* data = nullptr;
                if (XGetWindowProperty(dpy, boxes[0].first, XInternAtom(dpy, "_NET_WM_STATE", False), 0, 16, False, XA_ATOM,
                                       &type, &format, &count, &after, &data) == Success && data) {
                    for (unsigned long i = 0; i < count; ++i) {
                        char* name = XGetAtomName(dpy, reinterpret_cast<Atom*>(data)[i]);
                        states.push_back(name);
                        XFree(name);
                    }
                    XFree(data);
                }
            }
            XCloseDisplay(dpy);
            runProgram({"xdotool", "search", "--name", "^Kestrane Quorix$", "windowfocus", "--sync", "%1"});
            runProgram({"xdotool", "key", "Return"});
        });
        Watchdog watchdog({"xdotool", "key", "Escape"});
        EXPECT_EQ(podo::showError(podoStr("Too many channels in a patch."), podoStr(""), podoStr("Kestrane Quorix"), &owner),
                  podo::idOk);
        inspector.join();
        EXPECT_EQ(transientFor, visible ? host.window : 0);
        EXPECT_EQ(states, std::vector<std::string>{visible ? "_NET_WM_STATE_MODAL" : "_NET_WM_STATE_ABOVE"});
    }
}

TEST(DesktopMessageBox, NeverWaitsOffTheInterfaceThreadOrWithoutADisplay) {
    podo::setUserInterfaceThread();
    bool asked = true;
    std::thread audio([&] { asked = podo::askError(podoStr("m"), podoStr("d"), podoStr("Off thread")); });
    audio.join();
    EXPECT_FALSE(asked);
    Display* dpy = XOpenDisplay(nullptr);
    EXPECT_TRUE(windowsNamed(dpy, "Off thread").empty());
    XCloseDisplay(dpy);

    std::string display = std::getenv("DISPLAY");
    setenv("DISPLAY", ":9999", 1);
    EXPECT_FALSE(podo::askError(podoStr("m"), podoStr("d"), podoStr("No display")));
    EXPECT_EQ(podo::showError(podoStr("m"), podoStr("d"), podoStr("No display"), nullptr), podo::idOk);
    setenv("DISPLAY", display.c_str(), 1);
}

namespace {

// Another program holding text on the clipboard: xclip in the foreground, ended with the object.
struct Xclip {
    int pid = -1;
    bool offered = false;
    Xclip(const std::string& bytes, const std::vector<std::string>& options) {
        std::string file = "clip-" + std::to_string(getpid()) + ".txt";
        std::ofstream(file, std::ios::binary) << bytes;
        std::string command = "exec xclip -quiet -selection clipboard";
        for (const auto& o : options) command += " " + o;
        pid = startProgram({"sh", "-c", command + " -i '" + file + "' >/dev/null 2>&1"});
        Display* dpy = XOpenDisplay(nullptr);
        Atom clipboard = XInternAtom(dpy, "CLIPBOARD", False);
        offered = pid > 0 && pumpUntil([] {}, [&] { return XGetSelectionOwner(dpy, clipboard) != None; });
        XCloseDisplay(dpy);
        std::remove(file.c_str());
    }
    ~Xclip() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitProgram(pid);
        }
    }
};

}  // namespace

TEST(DesktopClipboard, TextFromAnotherProgramArrivesWhole) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> options;
        std::u16string text;
    } cases[] = {
        {"UTF-8", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x9C\x93 \xE2\x80\x94 a\nb", {}, u"Grüße ✓ — a\nb"},
        {"as Latin-1", "Gr\xFC\xDF" "e", {"-t", "STRING"}, u"Grüße"},
        {"empty", "", {}, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Xclip xclip(c.bytes, c.options);
        ASSERT_TRUE(xclip.offered);
        podoStr out("before");
        EXPECT_TRUE(podo::getClipboardText(&out));
        EXPECT_EQ(std::u16string(out.getWide()), c.text);
    }
}

TEST(DesktopClipboard, AnOwnerThatRefusesUtf8IsAskedForLatin1) {
    Display* dpy = XOpenDisplay(nullptr);
    ASSERT_TRUE(dpy);
    Atom clipboard = XInternAtom(dpy, "CLIPBOARD", False);
    Window owner = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(dpy, clipboard, owner, CurrentTime);
    XSync(dpy, False);
    std::vector<std::string> asked;
    std::atomic<bool> stop{false};
    std::thread serve([&] {
        while (!stop) {
            XEvent ev;
            if (!XCheckTypedWindowEvent(dpy, owner, SelectionRequest, &ev)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            XSelectionRequestEvent& r = ev.xselectionrequest;
            char* target = XGetAtomName(dpy, r.target);
            asked.push_back(target);
            XFree(target);
            XEvent reply{};
            reply.xselection = {SelectionNotify, 0, True, dpy, r.requestor, r.selection, r.target, None, r.time};
            if (r.target == XA_STRING) {
                const unsigned char latin1[] = {'G', 'r', 0xFC, 0xDF, 'e'};
                XChangeProperty(dpy, r.requestor, r.property, XA_STRING, 8, PropModeReplace, latin1, 5);
                reply.xselection.property = r.property;
            }
            XSendEvent(dpy, r.requestor, False, 0, &reply);
            XFlush(dpy);
        }
    });
    podoStr out;
    EXPECT_TRUE(podo::getClipboardText(&out));
    stop = true;
    serve.join();
    EXPECT_EQ(std::u16string(out.getWide()), u"Grüße");
    EXPECT_EQ(asked, (std::vector<std::string>{"UTF8_STRING", "STRING"}));
    XCloseDisplay(dpy);
}

TEST(DesktopClipboard, NoOwnerASilentOwnerOrNoDisplayLeaveTheOutputAlone) {
    Display* dpy = XOpenDisplay(nullptr);
    ASSERT_TRUE(dpy);
    Atom clipboard = XInternAtom(dpy, "CLIPBOARD", False);
    podoStr out("untouched");
    XSetSelectionOwner(dpy, clipboard, None, CurrentTime);
    XSync(dpy, False);
    EXPECT_FALSE(podo::getClipboardText(&out)) << "no owner";

    // An owner that never answers: this connection's window, whose events nobody reads.
    Window silent = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(dpy, clipboard, silent, CurrentTime);
    XSync(dpy, False);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(podo::getClipboardText(&out)) << "no answer";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << "a short wait";

    std::string display = std::getenv("DISPLAY");
    setenv("DISPLAY", ":9999", 1);
    EXPECT_FALSE(podo::getClipboardText(&out)) << "no display";
    setenv("DISPLAY", display.c_str(), 1);
    EXPECT_STREQ(out.getNarrow(), "untouched");
    XCloseDisplay(dpy);
}

namespace {

CRect geometry(Display* dpy, void* window) {
    Window root;
    int x = 0, y = 0;
    unsigned int w = 0, h = 0, border, depth;
    XGetGeometry(dpy, static_cast<Window>(reinterpret_cast<uintptr_t>(window)), &root, &x, &y, &w, &h, &border, &depth);
    return CRect(x, y, x + w, y + h);
}

bool viewable(Display* dpy, void* window) {
    XWindowAttributes a;
    return XGetWindowAttributes(dpy, static_cast<Window>(reinterpret_cast<uintptr_t>(window)), &a) &&
           a.map_state == IsViewable;
}

}  // namespace

TEST(DesktopWindow, CreateShowPlaceAndTitleWindows) {
    Host host;
    ASSERT_TRUE(host.dpy);
    podoWnd hostWnd(host.handle());
    podoWnd child;
    ASSERT_TRUE(child.create(&hostWnd, 5, 6, 70, 80));
    XSync(host.dpy, False);
    EXPECT_EQ(geometry(host.dpy, child.handle()), CRect(5, 6, 75, 86));
    EXPECT_TRUE(viewable(host.dpy, child.handle())) << "a child shows at once";

    podoWnd window;
    ASSERT_TRUE(window.create(nullptr, 0, 0, 50, 50));
    XSync(host.dpy, False);
    EXPECT_FALSE(viewable(host.dpy, window.handle())) << "a top-level window starts hidden";
    window.show(true);
    EXPECT_TRUE(pumpUntil([] {}, [&] { return viewable(host.dpy, window.handle()); }));
    EXPECT_TRUE(window.setText(podoStr("Quorix — Setup")));
    window.setBounds(100, 120, 300, 200);
    window.resize(320, 240);
    XSync(host.dpy, False);
    EXPECT_EQ(geometry(host.dpy, window.handle()), CRect(100, 120, 420, 360)) << "resize keeps the position";
    window.move(10, 20);
    XSync(host.dpy, False);
    EXPECT_EQ(geometry(host.dpy, window.handle()), CRect(10, 20, 330, 260)) << "move keeps the size";
    EXPECT_EQ(windowName(host.dpy, static_cast<Window>(reinterpret_cast<uintptr_t>(window.handle()))), "Quorix — Setup");

    // The last raised is on top; bringToFront puts the first back over it.
    podoWnd other;
    ASSERT_TRUE(other.create(nullptr, 0, 0, 50, 50));
    other.show(true);
    window.bringToFront();
    XSync(host.dpy, False);
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    ASSERT_TRUE(XQueryTree(host.dpy, DefaultRootWindow(host.dpy), &root, &parent, &children, &count));
    std::vector<Window> stack(children, children + count);
    XFree(children);
    auto position = [&](void* w) {
        return std::find(stack.begin(), stack.end(), static_cast<Window>(reinterpret_cast<uintptr_t>(w))) - stack.begin();
    };
    EXPECT_GT(position(window.handle()), position(other.handle()));

    window.hide();
    EXPECT_TRUE(pumpUntil([] {}, [&] { return !viewable(host.dpy, window.handle()); }));
    void* gone = window.handle();
    window.destroy(false);
    XSync(host.dpy, False);
    ASSERT_TRUE(XQueryTree(host.dpy, DefaultRootWindow(host.dpy), &root, &parent, &children, &count));
    stack.assign(children, children + count);
    XFree(children);
    EXPECT_EQ(position(gone), static_cast<long>(stack.size())) << "destroyed";
    // Forcing the end of a window it did not make leaves that window alone.
    hostWnd.destroy(true);
    EXPECT_TRUE(viewable(host.dpy, host.handle()));
}

TEST(DesktopWindow, MonitorsScaleAndCentring) {
    Host host;
    ASSERT_TRUE(host.dpy);
    podoWnd window;
    ASSERT_TRUE(window.create(nullptr, 700, 100, 300, 200));
    window.show(true);
    int32_t w = 0, h = 0, left = -1, top = -1;
    EXPECT_EQ(window.getMonitorRect(&w, &h, &left, &top), 1) << "the only monitor is the primary one";
    EXPECT_EQ(std::vector<int32_t>({w, h, left, top}), std::vector<int32_t>({1280, 800, 0, 0}));

    // Two monitors side by side, the right one primary.
    Window root = DefaultRootWindow(host.dpy);
    auto addMonitor = [&](const char* name, int x, bool primary) {
        XRRMonitorInfo* m = XRRAllocateMonitor(host.dpy, 0);
        m->name = XInternAtom(host.dpy, name, False);
        m->x = x;
        m->width = 640;
        m->height = 800;
        m->mwidth = 169;
        m->mheight = 211;
        m->primary = primary;
        XRRSetMonitor(host.dpy, root, m);
        XRRFreeMonitors(m);
    };
    addMonitor("LEFT", 0, false);
    addMonitor("RIGHT", 640, true);
    XSync(host.dpy, False);
    EXPECT_EQ(window.getMonitorRect(&w, &h, &left, &top), 1);
    EXPECT_EQ(std::vector<int32_t>({w, h, left, top}), std::vector<int32_t>({640, 800, 640, 0}));
    window.centerOnMonitor();
    XSync(host.dpy, False);
    EXPECT_EQ(geometry(host.dpy, window.handle()), CRect(810, 300, 1110, 500));
    window.move(100, 100);
    EXPECT_EQ(window.getMonitorRect(nullptr, nullptr, &left, nullptr), 0) << "the other monitor";
    EXPECT_EQ(left, 0);
    XRRDeleteMonitor(host.dpy, root, XInternAtom(host.dpy, "LEFT", False));
    XRRDeleteMonitor(host.dpy, root, XInternAtom(host.dpy, "RIGHT", False));

    // The desktop's font resolution, read when asked.
    EXPECT_FLOAT_EQ(window.dpiScale(), 1.0f) << "96 when the desktop sets none";
    const std::string resources = "Xft.antialias:\t1\nXft.dpi:\t144\n";
    XChangeProperty(host.dpy, root, XInternAtom(host.dpy, "RESOURCE_MANAGER", False), XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.data()), static_cast<int>(resources.size()));
    XSync(host.dpy, False);
    EXPECT_FLOAT_EQ(window.dpiScale(), 1.5f);
    XDeleteProperty(host.dpy, root, XInternAtom(host.dpy, "RESOURCE_MANAGER", False));
    XSync(host.dpy, False);
}
