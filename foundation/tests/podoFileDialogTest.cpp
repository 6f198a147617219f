// The file dialogs through the desktop's chooser, with a scripted zenity first on PATH.
#include "foundation/podoShell.h"
#include "foundation/podoWnd.h"

#include "foundation/tests/podoTestFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A zenity that writes each call's arguments (one per line, then "--") and answers from a list of
// "exit status|output" lines, one per call.
class ScriptedZenity
{
public:
    explicit ScriptedZenity(const std::vector<std::string> &answers)
    {
        std::ofstream list(folder.path("answers"));
        for (const auto &a : answers)
            list << a << "\n";
        list.close();
        std::string script = folder.path("zenity");
        std::ofstream(script) << "#!/bin/sh\n"
                                 "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '" << folder.path("calls") << "'; done\n"
                              << "echo -- >> '" << folder.path("calls") << "'\n"
                              << "line=$(head -n 1 '" << folder.path("answers") << "')\n"
                              << "sed -i 1d '" << folder.path("answers") << "'\n"
                              << "[ -n \"${line#*|}\" ] && printf '%s\\n' \"${line#*|}\"\n"
                              << "exit ${line%%|*}\n";
        chmod(script.c_str(), 0755);
        const char *path = std::getenv("PATH");
        previous = path ? path : "";
        setenv("PATH", (folder.root.string() + ":" + previous).c_str(), 1);
    }
    ~ScriptedZenity() { setenv("PATH", previous.c_str(), 1); }
    // Each call's arguments.
    std::vector<std::vector<std::string>> calls() const
    {
        std::vector<std::vector<std::string>> out(1);
        std::ifstream in(folder.path("calls"));
        for (std::string line; std::getline(in, line);) {
            if (line == "--")
                out.emplace_back();
            else
                out.back().push_back(line);
        }
        out.pop_back();
        return out;
    }
    podoTestFolder folder;
    std::string previous;
};

bool exportPatterns(podoStr &path, podoWnd *owner = nullptr)
{
    return podo::fileDialog(true, path, podoStr("/home/me/patterns/last.ptn"), podoStr(".ptn"), podoStr("Patterns"),
                            podoStr(""), owner);
}

} // namespace

TEST(DesktopFileDialog, PassesTitleNameFolderAndFiltersAndAddsTheExtension)
{
    ScriptedZenity zenity({"0|/music/groove", "0|/music/Groove.PTN", "1|"});
    podoWnd owner(reinterpret_cast<void *>(uintptr_t(0x2a00001)));
    podoStr path("start.ptn");
    EXPECT_TRUE(exportPatterns(path, &owner));
    EXPECT_STREQ(path.getNarrow(), "/music/groove.ptn");
    EXPECT_TRUE(podo::fileDialog(false, path, podoStr("/home/me/patterns/"), podoStr(".ptn"), podoStr("Patterns"),
                                 podoStr("Lane"), nullptr));
    EXPECT_STREQ(path.getNarrow(), "/music/Groove.PTN");
    EXPECT_FALSE(exportPatterns(path)) << "cancelled";
    EXPECT_STREQ(path.getNarrow(), "/music/Groove.PTN") << "left as it was";

    auto calls = zenity.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], (std::vector<std::string>{"--file-selection", "--save", "--title=Export Patterns",
                                                  "--filename=/home/me/patterns/start.ptn",
                                                  "--file-filter=Patterns (*.ptn) | *.[pP][tT][nN]",
                                                  "--file-filter=Any Type (*.*) | *", "--attach=44040193", "--modal"}));
    EXPECT_EQ(calls[1], (std::vector<std::string>{"--file-selection", "--title=Import Lane Patterns",
                                                  "--filename=/music/groove.ptn",
                                                  "--file-filter=Lane Patterns (*.ptn) | *.[pP][tT][nN]",
                                                  "--file-filter=Any Type (*.*) | *"}))
        << "a name with its own folder starts there";
}

TEST(DesktopFileDialog, SaveAsAsksBeforeReplacingTheNameWithItsExtension)
{
    podoTestFolder music;
    music.write("groove.ptn", "old");
    std::string typed = music.path("groove"), existing = music.path("groove.ptn");
    // Chosen without extension, the name with it exists: asked; "no" shows the chooser again with that
    // name; the second choice is new; then the same name again, and "yes".
    ScriptedZenity zenity({"0|" + typed, "1|", "0|" + music.path("fresh"), "0|" + existing, "0|"});
    podoStr path("start.ptn");
    EXPECT_TRUE(exportPatterns(path));
    EXPECT_EQ(std::string(path.getNarrow()), music.path("fresh.ptn"));
    EXPECT_TRUE(exportPatterns(path));
    EXPECT_EQ(std::string(path.getNarrow()), existing);
    EXPECT_EQ(music.read("groove.ptn"), "old") << "the dialog only chooses";

    auto calls = zenity.calls();
    ASSERT_EQ(calls.size(), 5u);
    // The question's line break splits its text over two recorded lines.
    ASSERT_EQ(calls[1].size(), 6u);
    EXPECT_EQ(calls[1][0], "--question");
    EXPECT_EQ(calls[1][1], "--title=Export Patterns");
    EXPECT_EQ(calls[1][2] + "\n" + calls[1][3], "--text=groove.ptn already exists.\nDo you want to replace it?");
    EXPECT_EQ(calls[2][3], "--filename=" + existing) << "shown again with the name";
    EXPECT_EQ(calls[4][0], "--question");
}

std::vector<std::string> boxes;
int32_t recordBox(podoWnd *, const podoStr &, const podoStr &text, int32_t)
{
    boxes.push_back(text.getNarrow());
    return podo::idOk;
}

// Without the chooser nothing is chosen, and the user is told why once, not at every click.
TEST(DesktopFileDialog, WithoutAChooserNothingIsChosenAndTheUserIsToldOnce)
{
    podoTestFolder empty;
    const char *path = std::getenv("PATH");
    std::string previous = path ? path : "";
    setenv("PATH", empty.root.c_str(), 1);
    boxes.clear();
    podo::MessageBoxHook before = podo::setMessageBoxHook(recordBox);
    podoStr chosen("start.ptn");
    EXPECT_FALSE(exportPatterns(chosen));
    EXPECT_STREQ(chosen.getNarrow(), "start.ptn");
    EXPECT_FALSE(exportPatterns(chosen));
    podo::setMessageBoxHook(before);
    setenv("PATH", previous.c_str(), 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("zenity"), std::string::npos) << boxes[0];
}
