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

#include <csignal>
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

        // Ctrl+C and Ctrl+X in an opened field put its selection (the whole text, selected on entry, or
        // what Ctrl+A selects) on the X CLIPBOARD, where another client reads it while the editor's
        // window answers; Ctrl+X also takes it out of the field.
        if (runProgram({"sh", "-c", "command -v xclip >/dev/null"}) == 0) {
            const Atom clipboard = XInternAtom(dpy, "CLIPBOARD", False);
            auto readClipboard = [&]() -> std::string {
                const std::string pasted = (std::filesystem::temp_directory_path() / "quorix-x11-clipboard.txt").string();
                std::filesystem::remove(pasted);
                const int reader = qgui::test::startProgram({"sh", "-c", "xclip -o -selection clipboard > " + pasted});
                if (reader <= 0)
                    return "(xclip did not start)";
                int status = -1;
                const bool ended = pumpUntil([&] { editor.idle(); }, [&] {
                    int s = 0;
                    if (waitpid(reader, &s, WNOHANG) != reader)
                        return false;
                    status = s;
                    return true;
                });
                if (!ended) {
                    kill(reader, SIGKILL);
                    waitpid(reader, nullptr, 0);
                    return "(xclip got no answer)";
                }
                std::ifstream in(pasted);
                std::string copied((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
                std::filesystem::remove(pasted);
                return status == 0 ? copied : "(xclip failed)";
            };
            // Another client owns the clipboard first, so only the field's own copy can make it ours.
            XSetSelectionOwner(dpy, clipboard, host, CurrentTime);
            XSync(dpy, False);
            ASSERT_NE(XGetSelectionOwner(dpy, clipboard), window);

            EXPECT_EQ(runProgram({"xdotool", "mousemove", "--window", win, "60", "147", "click", "1"}), 0);
            EXPECT_TRUE(pumpUntil([&] { editor.idle(); }, [&] { return field->isEntryOpen(); }));
            EXPECT_EQ(runProgram({"xdotool", "key", "--window", win, "ctrl+c"}), 0);
            EXPECT_TRUE(pumpUntil([&] { editor.idle(); }, [&] { return XGetSelectionOwner(dpy, clipboard) == window; }));
            EXPECT_EQ(readClipboard(), "42");

            // Typing replaces the selection; Ctrl+A selects it again and Ctrl+X cuts it.
            EXPECT_EQ(runProgram({"xdotool", "type", "--window", win, "57"}), 0);
            EXPECT_EQ(runProgram({"xdotool", "key", "--window", win, "ctrl+a", "ctrl+x"}), 0);
            EXPECT_TRUE(pumpUntil([&] { editor.idle(); }, [&] { return readClipboard() == "57"; }));
            EXPECT_EQ(readClipboard(), "57");
            EXPECT_EQ(runProgram({"xdotool", "key", "--window", win, "Return"}), 0);
            EXPECT_TRUE(pumpUntil([&] { editor.idle(); }, [&] { return !field->isEntryOpen(); }));
            EXPECT_EQ(field->getText(), "") << "the cut text left the field";
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
