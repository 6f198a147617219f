#include "foundation/podoLog.h"

#include "foundation/podoGlobals.h"
#include "podoTestFolder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
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

// Removes every "[yyyy/mm/dd hh:mm:ss] " at the start of a line, or marks the line
// that lacks one with "<no stamp>".
std::string unstamped(const std::string &text)
{
    const std::string shape = "[0000/00/00 00:00:00] ";
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        bool stamped = text.size() - at >= shape.size();
        for (size_t i = 0; stamped && i < shape.size(); ++i)
            stamped = shape[i] == '0' ? std::isdigit(static_cast<unsigned char>(text[at + i])) != 0
                                      : text[at + i] == shape[i];
        if (stamped)
            at += shape.size();
        else
            out += "<no stamp>";
        const size_t end = text.find('\n', at);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        out += text.substr(at, next - at);
        at = next;
    }
    return out;
}

std::string narrow(const std::u16string &text)
{
    return std::string(text.begin(), text.end()); // ASCII only
}

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
    EXPECT_EQ(unstamped(folder.read("Quorix.log")), "[ERROR] failed bank\r\n");
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(unstamped(narrow(pieces[0])), "[ERROR] failed bank\n");
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
    EXPECT_EQ(unstamped(folder.read("Quorix.log")), "still logged\r\n");
}

TEST_F(podoLogTest, AnUnwritableFileStillReachesTheDebuggerOutput)
{
    const podoStr nowhere(folder.path("missing/folder/Quorix.log").c_str());
    podo::setLogFile(nowhere);
    podo::logMessage(3, true, "lost folder");
    podo::closeLog();
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(unstamped(narrow(pieces[0])), "(warning) lost folder\n");
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
    EXPECT_EQ(unstamped(folder.read("Quorix.log")), "(warning) LOG: too long data\r\nafter\r\n");
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

    // Every line whole: "thread t line i" and 300 of the thread's own letter.
    std::istringstream file(unstamped(folder.read("Quorix.log")));
    std::string text;
    std::vector<int> perThread(4);
    while (std::getline(file, text)) {
        int t = -1, i = -1;
        char tail[400] = {};
        ASSERT_EQ(std::sscanf(text.c_str(), "thread %d line %d %399s", &t, &i, tail), 3) << text.substr(0, 80);
        ASSERT_TRUE(t >= 0 && t < 4);
        EXPECT_EQ(std::string(tail), std::string(300, char('a' + t)));
        EXPECT_EQ(text.back(), '\r');
        EXPECT_EQ(i, perThread[t]++); // each thread's lines in its own order
    }
    EXPECT_EQ(perThread, (std::vector<int>{20, 20, 20, 20}));
    EXPECT_EQ(pieces.size(), 80u);
}

// The debugger's channel is standard error only when someone listens (QUORIX_DEBUG, or a debugger):
// a host's console stays quiet. The other case runs the host with QUORIX_DEBUG set.
TEST(podoLogOutput, StaysOffStandardErrorUnlessAsked)
{
    if (std::getenv("QUORIX_DEBUG"))
        GTEST_SKIP() << "QUORIX_DEBUG is set";
    const podo::DebugSink previous = podo::setDebugSink(nullptr);
    testing::internal::CaptureStderr();
    podo::logMessage(1, false, "%s", "to stderr");
    const std::string err = testing::internal::GetCapturedStderr();
    podo::setDebugSink(previous);
    EXPECT_EQ(err, "");
}

} // namespace
