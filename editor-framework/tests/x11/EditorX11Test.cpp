// The editor in a host's X11 window under a private Xvfb: the screen limits the zoom and the frame's
// window follows it, a real click reaches the host procedure through the editor, and real keys go to a
// text field being edited instead of the editor.
#include <gtest/gtest.h>
// gtest comes first: the X11 headers define macros that clash with it.
#include "editor-framework/controls/vgcControl.h"
#include "editor-framework/controls/vgcTextLabel.h"
#include "editor-framework/podoVSTEditor.h"
#include "gui/CFrame.h"
#include "gui/tests/x11/xvfbEnvironment.h"
#include "host/podoVST.h"

#include <X11/Xlib.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace qgui;
using qgui::test::pumpUntil;
using qgui::test::runProgram;

namespace {

intptr_t quietHost(AEffect *, int32_t opcode, int32_t, intptr_t, void *ptr, float)
{
    if (opcode == audioMasterVersion)
        return 2400;
    return opcode == audioMasterCanDo && ptr && std::strcmp(static_cast<const char *>(ptr), "sizeWindow") == 0;
}

struct Instrument : podoVSTInstrument {
    Instrument() : podoVSTInstrument(quietHost, 1, 128) {}
};

std::vector<std::pair<int64_t, float>> hostCalls;
intptr_t hostProcedure(void *, int64_t tag, int64_t bits, int64_t)
{
    uint32_t b = uint32_t(bits);
    float v;
    std::memcpy(&v, &b, sizeof v);
    hostCalls.push_back({tag, v});
    return 0;
}

class KeyEditor : public podoVSTEditor
{
public:
    using podoVSTEditor::podoVSTEditor;
    bool onOpen(void *) override { return true; }
    bool onKeyDown(VstKeyCode key, bool, bool, bool, bool) override
    {
        keys.push_back(key.virt);
        return true;
    }
    std::vector<int32_t> keys;
};

} // namespace

TEST(EditorX11, TheEditorFollowsTheScreenTheMouseAndTheKeyboardOfARealWindow)
{
    Display *dpy = XOpenDisplay(nullptr);
    ASSERT_NE(dpy, nullptr);
    Window host = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 800, 600, 0, 0, 0);
    XMapWindow(dpy, host);
    XSync(dpy, False);
    hostCalls.clear();
    {
        Instrument fx;
        fx.dispatcher(effVendorSpecific, vstFourCC("host"), vstFourCC("pSPr"),
                      reinterpret_cast<void *>(&hostProcedure), 0.0f);
        KeyEditor editor(&fx);
        vgcArea *area = editor.addArea(20, 20, 40, 40, 7, kBlueCColor);
        vgcTextEdit *field = editor.addTextEdit(20, 100, 200, 20, nullptr, 8, 0);
        ASSERT_TRUE(editor.open(reinterpret_cast<void *>(host)));
        CFrame *frame = editor.getFrame();
        ASSERT_EQ(frame->getPlatformFrame()->getType(), PlatformType::kX11);
        frame->addView(area);
        frame->addView(field);
        const Window window = reinterpret_cast<Window>(frame->getSystemWindow());
        const std::string win = std::to_string(window);

        // The Xvfb screen is 1280 × 800: 800 / 595 limits the zoom.
        EXPECT_EQ(editor.getMaxZoom(), 134);
        EXPECT_EQ(editor.setZoom(150, 0, 0), 797);
        EXPECT_TRUE(pumpUntil([&] { editor.idle(); }, [&] {
            XWindowAttributes a;
            return XGetWindowAttributes(dpy, window, &a) && a.width == 999 && a.height == 798 &&
                   a.map_state == IsViewable;
        }));

        // A click on the area (zoomed window pixels) reports its value 3 to the host procedure.
        EXPECT_EQ(runProgram({"xdotool", "mousemove", "--window", win, "53", "53", "click", "1"}), 0);
        EXPECT_TRUE(pumpUntil([&] { editor.idle(); }, [&] { return !hostCalls.empty(); }));
        ASSERT_FALSE(hostCalls.empty());
        EXPECT_EQ(hostCalls[0].first, 7);
        EXPECT_FLOAT_EQ(hostCalls[0].second, 3.0f);

        // While the field is edited the keys are its own; afterwards they reach the editor again.
        EXPECT_EQ(runProgram({"xdotool", "mousemove", "--window", win, "60", "147", "click", "1"}), 0);
        EXPECT_TRUE(pumpUntil([&] { editor.idle(); }, [&] { return field->isEntryOpen(); }));
        EXPECT_EQ(runProgram({"xdotool", "type", "--window", win, "42"}), 0);
        EXPECT_EQ(runProgram({"xdotool", "key", "--window", win, "F5", "Return"}), 0);
        EXPECT_TRUE(pumpUntil([&] { editor.idle(); }, [&] { return !field->isEntryOpen(); }));
        EXPECT_EQ(field->getText(), "42");
        EXPECT_TRUE(editor.keys.empty());
        EXPECT_EQ(runProgram({"xdotool", "key", "--window", win, "F5"}), 0);
        EXPECT_TRUE(pumpUntil([&] { editor.idle(); }, [&] { return !editor.keys.empty(); }));
        EXPECT_EQ(editor.keys, std::vector<int32_t>{VKEY_F5});

        // Ctrl+C in an opened field puts its selection (the whole text, selected on entry) on the X
        // CLIPBOARD, where another client reads it while the editor's window answers.
        if (runProgram({"sh", "-c", "command -v xclip >/dev/null"}) == 0) {
            EXPECT_EQ(runProgram({"xdotool", "mousemove", "--window", win, "60", "147", "click", "1"}), 0);
            EXPECT_TRUE(pumpUntil([&] { editor.idle(); }, [&] { return field->isEntryOpen(); }));
            EXPECT_EQ(runProgram({"xdotool", "key", "--window", win, "ctrl+c"}), 0);
            EXPECT_TRUE(pumpUntil([&] { editor.idle(); }, [&] {
                return XGetSelectionOwner(dpy, XInternAtom(dpy, "CLIPBOARD", False)) == window;
            }));
            const std::string pasted = (std::filesystem::temp_directory_path() / "quorix-x11-clipboard.txt").string();
            const int reader = qgui::test::startProgram({"sh", "-c", "xclip -o -selection clipboard > " + pasted});
            ASSERT_GT(reader, 0);
            int status = -1;
            EXPECT_TRUE(pumpUntil([&] { editor.idle(); }, [&] {
                int s = 0;
                if (waitpid(reader, &s, WNOHANG) != reader)
                    return false;
                status = s;
                return true;
            }));
            EXPECT_EQ(status, 0);
            std::ifstream in(pasted);
            std::string copied((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(copied, "42");
            std::filesystem::remove(pasted);
            EXPECT_EQ(runProgram({"xdotool", "key", "--window", win, "Escape"}), 0);
            EXPECT_TRUE(pumpUntil([&] { editor.idle(); }, [&] { return !field->isEntryOpen(); }));
        } else {
            std::printf("xclip is not installed: the clipboard is not checked\n");
        }

        frame->removeView(area, false);
        frame->removeView(field, false);
        editor.close();
        area->forget();
        field->forget();
    }
    XDestroyWindow(dpy, host);
    XCloseDisplay(dpy);
}
