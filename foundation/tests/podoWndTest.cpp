#include "foundation/podoWnd.h"

#include "foundation/podoLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Shown {
    podoWnd *owner;
    std::string caption, text;
    int32_t flags;
};
std::vector<Shown> shown;
int32_t scriptedAnswer = podo::idOk;

int32_t scriptedBox(podoWnd *owner, const podoStr &caption, const podoStr &text, int32_t flags)
{
    shown.push_back({owner, caption.getNarrow(), text.getNarrow(), flags});
    return scriptedAnswer;
}

std::vector<std::string> lines;
void captureLine(const char16_t *piece) { lines.emplace_back(podoStr(piece).getNarrow()); }

class ErrorReports : public ::testing::Test
{
protected:
    void SetUp() override
    {
        shown.clear();
        lines.clear();
        previousSink = podo::setDebugSink(captureLine);
        previousBox = podo::setMessageBoxHook(scriptedBox);
    }
    void TearDown() override
    {
        podo::setDebugSink(previousSink);
        podo::setMessageBoxHook(previousBox);
    }
    podo::DebugSink previousSink = nullptr;
    podo::MessageBoxHook previousBox = nullptr;
};

bool loggedLine(const std::string &text)
{
    for (const auto &l : lines)
        if (l.find(text) != std::string::npos)
            return true;
    return false;
}

} // namespace

TEST_F(ErrorReports, JoinMessageAndDetailInTheLogAndInTheBox)
{
    struct Case {
        const char *message, *detail, *logLine, *boxText;
    };
    const Case cases[] = {
        {"Too many channels in a patch.", "/banks/user.usr", "[ERROR] Too many channels in a patch. - /banks/user.usr",
         "Too many channels in a patch.\n\n/banks/user.usr"},
        {"", "/banks/user.usr", "[ERROR] /banks/user.usr", "/banks/user.usr"},
        {"Only a message", "", "[ERROR] Only a message", "Only a message"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.boxText);
        shown.clear();
        lines.clear();
        EXPECT_EQ(podo::showError(podoStr(c.message), podoStr(c.detail), podoStr("Kestrane Quorix"), nullptr), podo::idOk);
        EXPECT_TRUE(loggedLine(c.logLine));
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].caption, "Kestrane Quorix");
        EXPECT_EQ(shown[0].text, c.boxText);
        EXPECT_EQ(shown[0].flags, podo::mbIconHand | podo::mbTopmost | podo::mbTaskModal);
    }
}

TEST_F(ErrorReports, AHiddenOwnerIsIgnoredAndAVisibleOneIsUsed)
{
    podoWnd window(reinterpret_cast<void *>(intptr_t(0x42)));
    podo::showError(podoStr("m"), podoStr("d"), podoStr("c"), &window);
    window.show(true);
    podo::showError(podoStr("m"), podoStr("d"), podoStr("c"), &window);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].owner, nullptr);
    EXPECT_TRUE(shown[0].flags & podo::mbTaskModal);
    EXPECT_EQ(shown[1].owner, &window);
    EXPECT_FALSE(shown[1].flags & podo::mbTaskModal);

    podoWnd none;
    none.hide();
    none.show(true);
    EXPECT_FALSE(none.isVisible()) << "showing a wrapper without a window changes nothing";
}

TEST_F(ErrorReports, AskErrorIsTrueOnlyForOk)
{
    scriptedAnswer = podo::idCancel;
    EXPECT_FALSE(podo::askError(podoStr("Overwrite?"), podoStr("/a/file"), podoStr("Kestrane Quorix")));
    scriptedAnswer = podo::idOk;
    EXPECT_TRUE(podo::askError(podoStr("Overwrite?"), podoStr("/a/file"), podoStr("Kestrane Quorix")));
    EXPECT_EQ(shown.back().flags, podo::mbOkCancel | podo::mbIconHand | podo::mbTopmost | podo::mbTaskModal);
    EXPECT_TRUE(loggedLine("[ERROR] Overwrite? - /a/file"));
}

TEST_F(ErrorReports, WithoutAWindowLayerNothingBlocks)
{
    podo::setMessageBoxHook(nullptr);
    EXPECT_EQ(podo::showError(podoStr("m"), podoStr("d"), podoStr("c"), nullptr), podo::idOk);
    EXPECT_FALSE(podo::askError(podoStr("m"), podoStr("d"), podoStr("c"))) << "unanswerable: Cancel";
    EXPECT_TRUE(loggedLine("[ERROR] m - d")) << "the log line is still written";
}
