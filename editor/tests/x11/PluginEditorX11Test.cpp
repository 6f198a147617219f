// The plug-in's editor in our host's window under a private X server: a click on a channel's number
// button travels through the frame, the dispatch and the engine, and the channel's row looks switched
// off after the next idle.
#include <gtest/gtest.h>
// gtest comes first: the X11 headers define macros that clash with it.
#include "gui/CBitmap.h"
#include "gui/tests/x11/xvfbEnvironment.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace qgui;
using namespace qgui::test;

namespace {

struct Home {
    std::filesystem::path path;
    Home()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorix-editor-x11-XXXXXX").string();
        path = mkdtemp(pattern.data());
        setenv("HOME", path.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (path / "config").c_str(), 1);
        setenv("QUORIX_REGISTRY", (path / "registry").c_str(), 1);
        setenv("QUORIX_REGISTRY_SYSTEM", (path / "registry-system").c_str(), 1);
    }
    ~Home() { std::filesystem::remove_all(path); }
};

} // namespace

TEST(PluginEditor, AClickOnAChannelButtonSwitchesTheChannelOffAndItsRowShowsIt)
{
    Home home;
    const std::string shot = (home.path / "editor.png").string();
    const int host = startProgram({QUORIX_HOST_EXE, "--editor", "4", "--screenshot", shot, QUORIX_PLUGIN});
    ASSERT_GT(host, 0);
    // Without Xft.dpi the editor takes 96 dpi whatever size the screen reports (this server says 120):
    // it opens at 100 %, in a window of the editor's own width.
    const std::string geometry = (home.path / "geometry.txt").string();
    ASSERT_EQ(runProgram({"sh", "-c",
                          "w=$(xdotool search --sync --onlyvisible --name '^quorix-host$' getwindowgeometry --shell "
                          "| sed -n 's/^WIDTH=//p'); sleep 0.5; echo WIDTH=$w > " +
                              geometry}),
              0);
    int windowWidth = 0;
    {
        std::ifstream in(geometry);
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("WIDTH=", 0) == 0)
                windowWidth = std::atoi(line.c_str() + 6);
    }
    EXPECT_EQ(windowWidth, 745);
    ASSERT_GT(windowWidth, 0);
    const double zoom = windowWidth / 745.0;
    const auto at = [zoom](double x) { return int(std::lround(x * zoom)); };
    // The number button of channel 2 lies at (31, 52), 14 × 18; its mode button at (57, 55), 10 × 13.
    EXPECT_EQ(runProgram({"xdotool", "search", "--sync", "--onlyvisible", "--name", "^quorix-host$", "mousemove",
                          "--window", "%1", std::to_string(at(38)), std::to_string(at(61)), "click", "1"}),
              0);
    ASSERT_EQ(waitProgram(host), 0);
    CBitmap picture(shot);
    ASSERT_TRUE(picture.isLoaded());
    ASSERT_EQ(picture.getWidth(), windowWidth);
    cairo_surface_t *s = picture.getPlatformBitmap()->getSurface();
    const auto pixel = [s](int x, int y) {
        auto *row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
        return reinterpret_cast<uint32_t *>(row)[x] & 0xFFFFFF;
    };
    // Scaled drawing blurs edges a little: colours count as different beyond this per channel.
    const auto distance = [](uint32_t a, uint32_t b) {
        int most = 0;
        for (int shift : {0, 8, 16})
            most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
        return most;
    };
    constexpr int blur = 12;
    // Channel 2 against channel 3 (26 pixels lower), which stays on: the number button the click
    // toggled, and the mode button that only the engine's answer redraws.
    EXPECT_GT(distance(pixel(at(33), at(54)), pixel(at(33), at(80))), blur);
    EXPECT_GT(distance(pixel(at(59), at(57)), pixel(at(59), at(83))), blur);
    // Channels 3 and 4 look alike.
    EXPECT_LE(distance(pixel(at(59), at(83)), pixel(at(59), at(109))), blur);
}
