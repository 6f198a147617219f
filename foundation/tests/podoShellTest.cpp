#include "foundation/podoShell.h"

#include "foundation/tests/podoTestFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace podo_shell_test {

namespace fs = std::filesystem;

namespace {

podoStr str(const std::string &s) { return podoStr(s.c_str()); }

} // namespace

TEST(PathOperations, MakeFolderCreatesEveryMissingLevelOnce)
{
    podoTestFolder folder;
    std::string deep = folder.path("a/b/c");
    EXPECT_TRUE(podo::makeFolder(str(deep)));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_FALSE(podo::makeFolder(str(deep))) << "it exists now";
    EXPECT_TRUE(podo::pathExists(str(deep)));
    EXPECT_FALSE(podo::makeFolder(str(folder.path("x/y/")))) << "a trailing separator: made by the parent step";
    EXPECT_TRUE(fs::is_directory(folder.path("x/y")));
}

TEST(PathOperations, WritableFolderTestCreatesTheFolderAndLeavesNoTrace)
{
    podoTestFolder folder;
    std::string missing = folder.path("new/folder");
    EXPECT_TRUE(podo::isFolderWritable(str(missing)));
    EXPECT_TRUE(fs::is_directory(missing));
    EXPECT_TRUE(fs::is_empty(missing));
    folder.write("file", "x");
    EXPECT_FALSE(podo::isFolderWritable(str(folder.path("file/below")))) << "nothing can live under a file";
}

TEST(PathOperations, DeleteFileLeavesFoldersReadOnlyFilesAndLinkTargetsAlone)
{
    podoTestFolder folder;
    folder.write("plain", "x");
    folder.write("locked", "x");
    chmod(folder.path("locked").c_str(), 0444);
    folder.write("target", "x");
    fs::create_symlink(folder.path("target"), folder.path("link"));
    fs::create_directory(folder.path("dir"));
    EXPECT_TRUE(podo::deleteFile(str(folder.path("plain"))));
    EXPECT_FALSE(podo::deleteFile(str(folder.path("locked"))));
    EXPECT_FALSE(podo::deleteFile(str(folder.path("dir"))));
    EXPECT_FALSE(podo::deleteFile(str(folder.path("nothing"))));
    EXPECT_TRUE(podo::deleteFile(str(folder.path("link"))));
    EXPECT_TRUE(fs::exists(folder.path("target")));
    EXPECT_TRUE(fs::exists(folder.path("locked")));
}

TEST(PathOperations, MoveReplacesTheTargetAtomicallyAndNeedsASource)
{
    podoTestFolder folder;
    folder.write("new", "new contents");
    folder.write("old", "old contents");
    EXPECT_TRUE(podo::moveFile(str(folder.path("new")), str(folder.path("old"))));
    EXPECT_EQ(folder.read("old"), "new contents");
    EXPECT_FALSE(fs::exists(folder.path("new")));
    EXPECT_FALSE(podo::moveFile(str(folder.path("new")), str(folder.path("old"))));
    EXPECT_EQ(folder.read("old"), "new contents") << "a failed move deletes nothing";
    EXPECT_TRUE(podo::moveFile(str(folder.path("old")), str(folder.path("old"))));
    EXPECT_EQ(folder.read("old"), "new contents") << "a move onto its own name keeps the file";
}

TEST(PathOperations, DeletingContentsKeepsSubfoldersUnlessAskedAndNeverFollowsLinks)
{
    podoTestFolder outside;
    outside.write("precious", "keep me");
    podoTestFolder folder;
    folder.write("one", "1");
    folder.write("two", "2");
    fs::create_directories(folder.path("sub/deeper"));
    folder.write("sub/deeper/three", "3");
    fs::create_directory_symlink(outside.root, folder.path("link-to-outside"));

    EXPECT_TRUE(podo::deleteFolderContents(str(folder.root.string()), false));
    EXPECT_FALSE(fs::exists(folder.path("one")));
    EXPECT_FALSE(fs::exists(folder.path("two")));
    EXPECT_TRUE(fs::exists(folder.path("sub/deeper/three")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder.path("link-to-outside")))) << "the link itself goes";
    EXPECT_EQ(outside.read("precious"), "keep me");

    fs::create_directory_symlink(outside.root, folder.path("sub/link"));
    EXPECT_TRUE(podo::deleteFolderContents(str(folder.root.string()), true));
    EXPECT_TRUE(fs::is_empty(folder.root));
    EXPECT_EQ(outside.read("precious"), "keep me");

    // A link given as the folder itself is not entered.
    fs::create_directory_symlink(outside.root, folder.path("alias"));
    EXPECT_FALSE(podo::removeFolder(str(folder.path("alias")), false, true, true));
    EXPECT_EQ(outside.read("precious"), "keep me");
}

TEST(PathOperations, RemoveFolderClimbsThroughEmptiedParentsAndStillAnswersTrue)
{
    podoTestFolder folder;
    fs::create_directories(folder.path("keep/empty/leaf/tree"));
    folder.write("keep/sibling", "x");
    folder.write("keep/empty/leaf/tree/file", "x");

    EXPECT_FALSE(podo::removeFolder(str(folder.path("keep/empty/leaf")), true, false, false))
        << "not empty and contents not deleted: nothing happens";
    EXPECT_TRUE(fs::exists(folder.path("keep/empty/leaf/tree/file")));

    EXPECT_TRUE(podo::removeFolder(str(folder.path("keep/empty/leaf")), true, true, true))
        << "the folder itself was removed; the climb stopping at a parent is no failure";
    EXPECT_FALSE(fs::exists(folder.path("keep/empty")));
    EXPECT_TRUE(fs::exists(folder.path("keep/sibling")));
    EXPECT_FALSE(podo::removeFolder(str(folder.path("gone")), false, false, false));
}

namespace {

podoStr lastTitle, lastInitialFolder, lastFileName;
std::string lastFilter;
const char *answer = nullptr;

bool scriptedDialog(const podo::FileDialogRequest &request, podoStr &chosen)
{
    lastTitle = request.title;
    lastFilter.assign(request.filter.getNarrow(), size_t(request.filterLength));
    lastInitialFolder = request.initialFolder;
    lastFileName = request.fileName;
    if (!answer)
        return false;
    chosen = answer;
    return true;
}

} // namespace

TEST(FileDialog, BuildsTitleAndFilterAndAddsTheExtensionToASavedName)
{
    podo::FileDialogHook previous = podo::setFileDialogHook(scriptedDialog);
    struct Case {
        bool save;
        const char *qualifier;
        const char *answer;
        const char *title;
        const char *result;
    };
    const Case cases[] = {
        {true, "", "/music/groove", "Export Patterns", "/music/groove.ptn"},
        {true, "Lane", "/music/groove.old", "Export Lane Patterns", "/music/groove.old"},
        {false, "", "/music/groove", "Import Patterns", "/music/groove"},
        {true, "", nullptr, "Export Patterns", "start.ptn"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        answer = c.answer;
        podoStr path("start.ptn");
        bool chosen = podo::fileDialog(c.save, path, podoStr("/home/me/patterns/last.ptn"), podoStr(".ptn"),
                                       podoStr("Patterns"), podoStr(c.qualifier), nullptr);
        EXPECT_EQ(chosen, c.answer != nullptr);
        EXPECT_STREQ(lastTitle.getNarrow(), c.title);
        EXPECT_STREQ(path.getNarrow(), c.result);
        EXPECT_STREQ(lastInitialFolder.getNarrow(), "/home/me/patterns/");
        EXPECT_STREQ(lastFileName.getNarrow(), "start.ptn");
    }
    EXPECT_EQ(lastFilter, std::string("Patterns (*.ptn)\0*.ptn\0Any Type (*.*)\0*.*\0\0", 43));

    podo::setFileDialogHook(nullptr);
    podoTestFolder noPrograms;
    const char *programs = std::getenv("PATH");
    std::string previousPrograms = programs ? programs : "";
    setenv("PATH", noPrograms.root.c_str(), 1);
    podoStr path("start.ptn");
    EXPECT_FALSE(podo::fileDialog(true, path, podoStr(""), podoStr(".ptn"), podoStr("Patterns"), podoStr(""), nullptr))
        << "no dialog can be shown: nothing chosen, nothing blocks";
    setenv("PATH", previousPrograms.c_str(), 1);
    podo::setFileDialogHook(previous);
}

namespace {

// Puts a fake xdg-open first on PATH that records its arguments.
class FakeOpener
{
public:
    explicit FakeOpener(int exitCode = 0)
    {
        std::string script = folder.path("xdg-open");
        std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" << folder.path("calls") << "'\nexit " << exitCode
                              << "\n";
        chmod(script.c_str(), 0755);
        const char *path = std::getenv("PATH");
        previous = path ? path : "";
        setenv("PATH", (folder.root.string() + ":" + previous).c_str(), 1);
    }
    ~FakeOpener() { setenv("PATH", previous.c_str(), 1); }
    std::string calls() const { return folder.read("calls"); }
    podoTestFolder folder;
    std::string previous;
};

} // namespace

TEST(ShellOpen, HandsAddressesAndExistingFilesToTheDesktopAsOneArgument)
{
    FakeOpener opener;
    podoTestFolder files;
    files.write("manual; rm -rf ~.pdf", "%PDF");
    EXPECT_TRUE(podo::shellOpen(podoStr("HTTPS://example.org/quorix?a=1&b=2")));
    EXPECT_TRUE(podo::shellOpen(str(files.path("manual; rm -rf ~.pdf"))));
    EXPECT_FALSE(podo::shellOpen(str(files.path("missing/manual.pdf")))) << "nothing is started for a missing file";
    EXPECT_TRUE(podo::shellOpen(podoStr("bare-name.pdf"))) << "a bare name is passed on unchecked";
    EXPECT_EQ(opener.calls(), "HTTPS://example.org/quorix?a=1&b=2\n" + files.path("manual; rm -rf ~.pdf") +
                                  "\nbare-name.pdf\n");
}

TEST(ShellOpen, ReportsTheOpenersFailureAndAMissingOpener)
{
    {
        FakeOpener failing(3);
        EXPECT_FALSE(podo::shellOpen(podoStr("https://example.org")));
    }
    podoTestFolder empty;
    const char *path = std::getenv("PATH");
    std::string previous = path ? path : "";
    setenv("PATH", empty.root.c_str(), 1);
    EXPECT_FALSE(podo::shellOpen(podoStr("https://example.org")));
    setenv("PATH", previous.c_str(), 1);
}

} // namespace podo_shell_test
