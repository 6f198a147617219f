#include "foundation/podoLog.h"

#include "foundation/podoGlobals.h"
#include "podoTestFolder.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::u16string> pieces;

void capture(const char16_t *piece)
{
    pieces.emplace_back(piece);
}

std::u16string joined()
{
    std::u16string all;
    for (const std::u16string &piece : pieces)
        all += piece;
    return all;
}

// Captures the debugger output; every test leaves the log path as it found it.
class podoLogTest : public testing::Test
{
protected:
    void SetUp() override
    {
        pieces.clear();
        previous = podo::setDebugSink(&capture);
        logPath = podoStr(folder.path("Quorix.log").c_str());
    }
    void TearDown() override { podo::setDebugSink(previous); }

    podoTestFolder folder;
    podoStr logPath;
    podo::DebugSink previous = nullptr;
};

const std::string stamp = R"(\[\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\] )";

TEST_F(podoLogTest, LevelsAndPrefixes)
{
    struct Case {
        int level;
        std::u16string line; // empty: nothing at all
    };
    const Case cases[] = {
        {0, u"? note 7\n"}, {1, u"- note 7\n"},           {2, u"note 7\n"},
        {3, u"(warning) note 7\n"}, {4, u"[ERROR] note 7\n"}, {5, u"[!!!FATAL!!!] note 7\n"},
        {6, u""},           {8, u""},                     {-1, u""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.level);
        pieces.clear();
        podo::logMessage(c.level, false, "note %d", 7);
        EXPECT_EQ(joined(), c.line);
    }
    pieces.clear();
    podo::logMessage(2, false, "");
    podo::logMessage(2, false, nullptr);
    { podoTraceFunc trace("scope"); }
    EXPECT_TRUE(pieces.empty());
}

TEST_F(podoLogTest, UserTextIsNeverAFormat)
{
    podo::logMessage(2, false, "%s", "100% %s %n %d");
    podo::logMessage(2, false, "%s", "Gr\xC3\xBC\xC3\x9F" "e");
    EXPECT_EQ(joined(), u"100% %s %n %d\nGrüße\n");
}

TEST_F(podoLogTest, FileLinesCarryATimestamp)
{
    podo::setLogFile(logPath);
    podo::logMessage(4, true, "failed %s", "bank");
    podo::logMessage(1, false, "debugger only");
    podo::closeLog();
    podo::logMessage(4, true, "no file any more");

    // The file is a text file: its lines end with CR LF.
    EXPECT_TRUE(std::regex_match(folder.read("Quorix.log"), std::regex(stamp + R"(\[ERROR\] failed bank\r\n)")));
    ASSERT_EQ(pieces.size(), 3u);
    const std::string first(pieces[0].begin(), pieces[0].end()); // ASCII only
    EXPECT_TRUE(std::regex_match(first, std::regex(stamp + R"(\[ERROR\] failed bank\n)")));
    EXPECT_EQ(first.size(), 22u + 20u);
    EXPECT_EQ(pieces[1], u"- debugger only\n");
    EXPECT_EQ(pieces[2], u"[ERROR] no file any more\n");
}

TEST_F(podoLogTest, PathStaysWhileAnyOwnerRemains)
{
    podo::setLogFile(logPath); // first instance
    podo::setLogFile(logPath); // second instance
    podo::setLogFile(nullptr); // changes nothing, owns nothing
    podo::closeLog();          // the first goes
    podo::logMessage(2, true, "still logged");
    EXPECT_STREQ(podo::logFilePath.getNarrow(), logPath.getNarrow());
    podo::closeLog(); // the last goes
    podo::logMessage(2, true, "not in the file");
    EXPECT_TRUE(podo::logFilePath.isEmpty());
    EXPECT_TRUE(std::regex_match(folder.read("Quorix.log"), std::regex(stamp + "still logged\r\n")));
}

TEST_F(podoLogTest, AnUnwritableFileStillReachesTheDebuggerOutput)
{
    const podoStr nowhere(folder.path("missing/folder/Quorix.log").c_str());
    podo::setLogFile(nowhere);
    podo::logMessage(3, true, "lost folder");
    podo::closeLog();
    ASSERT_EQ(pieces.size(), 1u);
    const std::string line(pieces[0].begin(), pieces[0].end());
    EXPECT_TRUE(std::regex_match(line, std::regex(stamp + R"(\(warning\) lost folder\n)")));
}

TEST_F(podoLogTest, LongLinesGoOutInPiecesOf1024)
{
    struct Case {
        size_t messageLength; // the line adds "\n"
        std::vector<size_t> pieceLengths;
    };
    const Case cases[] = {
        {1023, {1024}},
        {1024, {1024, 1}},
        {3000, {1024, 1024, 953}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.messageLength);
        pieces.clear();
        const std::string message(c.messageLength, 'm');
        podo::logMessage(2, false, "%s", message.c_str());
        std::vector<size_t> lengths;
        for (const std::u16string &piece : pieces)
            lengths.push_back(piece.size());
        EXPECT_EQ(lengths, c.pieceLengths);
        EXPECT_EQ(joined(), std::u16string(c.messageLength, u'm') + u"\n");
    }
    pieces.clear();
    podo::debugOutput(u"");
    EXPECT_EQ(pieces, std::vector<std::u16string>{u""});
}

TEST_F(podoLogTest, OverlongMessagesAreReplaced)
{
    podo::setLogFile(logPath);
    const std::string huge(1100000, 'h');
    podo::logMessage(3, true, "%s", huge.c_str());
    podo::logMessage(2, true, "%s", "after");
    podo::closeLog();
    EXPECT_TRUE(std::regex_match(folder.read("Quorix.log"),
                                 std::regex(stamp + R"(\(warning\) LOG: too long data\r\n)" + stamp + "after\r\n")));
}

TEST_F(podoLogTest, FlushSendsTheLastLineAgain)
{
    podo::setLogFile(logPath);
    podo::logMessage(2, false, "again");
    podo::flushLogLine(true);
    podo::closeLog(); // frees the line
    podo::flushLogLine(false);
    EXPECT_EQ(pieces, (std::vector<std::u16string>{u"again\n", u"again\n"}));
    EXPECT_EQ(folder.read("Quorix.log"), "again\r\n");
}

TEST_F(podoLogTest, LinesFromManyThreadsNeverMix)
{
    podo::setLogFile(logPath);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 20; ++i)
                podo::logMessage(2, true, "thread %d line %d %s", t, i, std::string(300, char('a' + t)).c_str());
        });
    for (std::thread &thread : threads)
        thread.join();
    podo::closeLog();

    std::istringstream file(folder.read("Quorix.log"));
    const std::regex line(stamp + R"(thread (\d) line \d+ (a+|b+|c+|d+)\r)");
    std::string text;
    int count = 0;
    while (std::getline(file, text)) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(text, match, line)) << text.substr(0, 80);
        EXPECT_EQ(match[2].str(), std::string(300, char('a' + std::stoi(match[1].str()))));
        ++count;
    }
    EXPECT_EQ(count, 80);
    EXPECT_EQ(pieces.size(), 80u);
}

TEST(podoLogOutput, GoesToStandardErrorByDefault)
{
    const podo::DebugSink previous = podo::setDebugSink(nullptr);
    testing::internal::CaptureStderr();
    podo::logMessage(1, false, "%s", "to stderr");
    const std::string err = testing::internal::GetCapturedStderr();
    podo::setDebugSink(previous);
    EXPECT_EQ(err, "- to stderr\n");
}

} // namespace
