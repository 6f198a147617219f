// Our host program shows a plug-in's editor built on the toolkit: a click sent to the host's window
// reaches the editor's control, the editor's zoom resizes the window, and the screenshot shows it all.
#include <gtest/gtest.h>
// gtest comes first: the X11 headers define macros that clash with it.
#include "gui/CBitmap.h"
#include "../guiTestSupport.h"
#include "xvfbEnvironment.h"

using namespace qgui;
using namespace qgui::test;

TEST(HostEditor, ClickReachesTheEditorAndTheScreenshotShowsIt) {
    TempDir dir;
    std::string shot = dir.file("editor.png");
    // Long enough for the click to land on a loaded machine; the window closes on its own after it.
    int host = startProgram({QUORIX_HOST_EXE, "--editor", "6", "--screenshot", shot, QGUI_EDITOR_TEST_PLUGIN});
    ASSERT_GT(host, 0);
    // The lamp covers (20, 20)-(80, 60) unzoomed; at 150 % its middle is at (75, 60) in the window.
    EXPECT_EQ(runProgram({"xdotool", "search", "--sync", "--onlyvisible", "--name", "^quorix-host$", "mousemove",
                          "--window", "%1", "75", "60", "click", "1"}),
              0);
    ASSERT_EQ(waitProgram(host), 0);
    CBitmap picture(shot);
    ASSERT_TRUE(picture.isLoaded());
    EXPECT_EQ(picture.getWidth(), 300);  // the host followed the editor's resize request
    EXPECT_EQ(picture.getHeight(), 150);
    cairo_surface_t* s = picture.getPlatformBitmap()->getSurface();
    auto at = [&](int x, int y) {
        auto* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
        return reinterpret_cast<uint32_t*>(row)[x] & 0xFFFFFF;
    };
    EXPECT_EQ(at(75, 60), 0x0000FFu);   // clicked: blue
    EXPECT_EQ(at(10, 10), 0x00003Cu);   // the frame's background
    EXPECT_EQ(at(290, 140), 0x00003Cu);
}
