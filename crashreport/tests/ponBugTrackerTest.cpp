#include "crashreport/ponBugTracker.h"

#include "TestHttpServer.h"
#include "foundation/podoLog.h"
#include "foundation/tests/podoTestFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

using qtest::HttpReply;
using qtest::HttpRequest;
using qtest::TestHttpServer;

namespace {

std::string percentEncode(const std::string &text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// A bug tracker behind a path prefix: the search form keeps its text in a cookie and answers with a
// redirect to the list, the list shows the reports whose summary holds that text (a private report
// with the protected mark), and the report and add-file forms answer with a redirect to the report.
class FakeTracker
{
public:
    struct Report {
        int id = 0;
        std::string summary;
        bool isPrivate = true;
        std::map<std::string, std::string> fields;
        std::vector<std::string> fileNames;
        std::vector<std::string> files;
    };

    FakeTracker() : server([this](const HttpRequest &r) { return answer(r); }) {}

    std::string baseUrl() const { return server.url("/tracker"); }

    void addReport(int id, const std::string &summary, bool isPrivate)
    {
        std::lock_guard<std::mutex> guard(lock);
        Report report;
        report.id = id;
        report.summary = summary;
        report.isPrivate = isPrivate;
        reports.push_back(report);
        nextId = std::max(nextId, id + 1);
    }
    std::vector<Report> allReports()
    {
        std::lock_guard<std::mutex> guard(lock);
        return reports;
    }
    // The forms the client posted, in order, by their path after the prefix.
    std::vector<std::string> posted() const
    {
        std::vector<std::string> paths;
        for (const HttpRequest &r : server.requests())
            if (r.method == "POST")
                paths.push_back(r.path().substr(std::string("/tracker").size()));
        return paths;
    }

    TestHttpServer server;
    bool failSearch = false;
    int reportStatus = 200;      // the answer to a new report or an added file
    bool acceptWithBody = true;  // false: a success answer without a body

private:
    static HttpReply redirect(const std::string &to)
    {
        HttpReply reply;
        reply.status = 302;
        reply.headers = {{"Location", to}};
        return reply;
    }

    static std::string cookie(const HttpRequest &r, const std::string &name)
    {
        const std::string all = r.header("Cookie");
        const size_t at = all.find(name + "=");
        if (at == std::string::npos)
            return "";
        const size_t start = at + name.size() + 1;
        return qtest::percentDecode(all.substr(start, all.find(';', start) - start));
    }

    HttpReply answer(const HttpRequest &r)
    {
        std::lock_guard<std::mutex> guard(lock);
        const std::string path = r.path().substr(std::string("/tracker").size());
        HttpReply reply;
        if (path == "/view_all_set.php") {
            if (failSearch) {
                reply.status = 500;
                reply.body = "database error";
                return reply;
            }
            const auto form = qtest::parseUrlEncoded(r.body);
            reply = redirect("/tracker/view_all_bug_page.php");
            reply.headers.emplace_back("Set-Cookie", "search=" + percentEncode(form.count("search") ? form.at("search") : "") + "; Path=/");
            return reply;
        }
        if (path == "/view_all_bug_page.php") {
            const std::string search = cookie(r, "search");
            reply.body = "<html><body><table>\n";
            for (const Report &report : reports) {
                if (report.summary.find(search) == std::string::npos)
                    continue;
                const std::string id = std::string(7 - std::to_string(report.id).size(), '0') + std::to_string(report.id);
                reply.body += "<tr><td><a href=\"view.php?id=" + id + "\">" + id + "</a></td><td>" + report.summary + "</td>";
                if (report.isPrivate)
                    reply.body += "<td><img src=\"images/protected.gif\" alt=\"private\" /></td>";
                reply.body += "</tr>\n";
            }
            reply.body += "</table></body></html>\n";
            return reply;
        }
        if (path == "/bug_report.php" || path == "/bug_file_add.php") {
            if (reportStatus != 200 || !acceptWithBody) {
                reply.status = reportStatus;
                return reply;
            }
            const auto parts = qtest::parseMultipart(r.header("Content-Type"), r.body);
            Report *target = nullptr;
            std::map<std::string, std::string> fields;
            for (const auto &part : parts)
                if (!part.hasFileName)
                    fields[part.name] = part.data;
            if (path == "/bug_report.php") {
                Report report;
                report.id = nextId++;
                report.summary = fields["summary"];
                report.isPrivate = fields["view_state"] == "50";
                report.fields = fields;
                reports.push_back(report);
                target = &reports.back();
            } else {
                for (Report &report : reports)
                    if (std::to_string(report.id) == fields["bug_id"])
                        target = &report;
                if (!target) {
                    reply.status = 404;
                    return reply;
                }
                target->fields = fields;
            }
            for (const auto &part : parts) {
                if (part.hasFileName) {
                    target->fileNames.push_back(part.fileName);
                    target->files.push_back(part.data);
                }
            }
            return redirect("/tracker/view.php?id=" + std::to_string(target->id));
        }
        if (path == "/view.php") {
            reply.body = "<html><body>report " + r.target.substr(r.target.find('=') + 1) + "</body></html>";
            return reply;
        }
        reply.status = 404;
        return reply;
    }

    std::mutex lock;
    std::vector<Report> reports;
    int nextId = 1;
};

// A tracker whose clock stands at 2025-01-02 03:04:05.006.
class FixedClockTracker : public ponBugTracker
{
public:
    using ponBugTracker::ponBugTracker;

protected:
    podoTime localTime() override
    {
        podoTime t;
        t.year = 2025;
        t.month = 1;
        t.day = 2;
        t.hour = 3;
        t.minute = 4;
        t.second = 5;
        t.millisecond = 6;
        return t;
    }
};

void discard(const char16_t *) {}

class ponBugTrackerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        previousSink = podo::setDebugSink(&discard);
        for (char16_t &c : exception.faultModule)
            c = 0;
        const char16_t module[] = u"/opt/kestrane/Quorix.so";
        std::copy(std::begin(module), std::end(module), exception.faultModule);
        exception.code = 11;
        exception.codeText = u"SIGSEGV: address not mapped";
        exception.faultAddress = 0x00007FF612345678;
        exception.faultSection = 2;
        exception.faultOffset = 0x123489ABCDEF;
        folder.write("Quorix.log", logText);
    }
    void TearDown() override { podo::setDebugSink(previousSink); }

    std::string logPath() const { return folder.path("Quorix.log"); }
    std::string renamedPath() const { return folder.path("[3]2025-01-02_03.04.05.006.log"); }
    bool exists(const std::string &path) const { return std::filesystem::exists(path); }

    bool submit(bool rename)
    {
        FixedClockTracker submitter(tracker.baseUrl().c_str());
        return ponBugTracker::submitCrash(submitter, 3, 0x01040601, exception, logPath().c_str(), rename);
    }

    // The summary keeps the 32-bit forms of section, offset and code: it is the key of the fault.
    const std::string summary = "[!] Quorix.so v1.4.6.1 <0002:89ABCDEF> 0000000B";
    const std::string logText = "[2025/01/02 03:04:05] [ERROR] === Unhandled Exception Report ===\r\n";
    podoTestFolder folder;
    ExceptionReport exception;
    FakeTracker tracker;
    podo::DebugSink previousSink = nullptr;
};

TEST_F(ponBugTrackerTest, FirstCrashMakesANewReportWithTheRenamedLog)
{
    ASSERT_TRUE(submit(true));
    const std::vector<std::string> posted = {"/view_all_set.php", "/view_all_bug_page.php", "/view_all_set.php",
                                             "/bug_report.php"};
    EXPECT_EQ(tracker.posted(), posted);
    const auto reports = tracker.allReports();
    ASSERT_EQ(reports.size(), 1u);
    const std::map<std::string, std::string> fields = {
        {"project_id", "3"},
        {"summary", summary},
        {"description", "exception: SIGSEGV: address not mapped (7FF612345678)"},
        {"additional_info", ""},
        {"reproducibility", "70"},
        {"severity", "70"},
        {"view_state", "50"},
    };
    EXPECT_EQ(reports[0].fields, fields);
    EXPECT_EQ(reports[0].fileNames, std::vector<std::string>{"[3]2025-01-02_03.04.05.006.log"});
    EXPECT_EQ(reports[0].files, std::vector<std::string>{logText});
    // Accepted: the log is gone under both names.
    EXPECT_FALSE(exists(logPath()));
    EXPECT_FALSE(exists(renamedPath()));

    // The search text went out url-encoded and came back from the cookie for the list; then the
    // search was reset.
    const std::vector<HttpRequest> requests = tracker.server.requests();
    EXPECT_EQ(qtest::parseUrlEncoded(requests[0].body), (std::map<std::string, std::string>{{"type", "1"}, {"search", summary}}));
    EXPECT_EQ(requests[2].path(), "/tracker/view_all_bug_page.php");
    EXPECT_NE(requests[2].header("Cookie").find("search="), std::string::npos);
    EXPECT_EQ(qtest::parseUrlEncoded(requests[3].body), (std::map<std::string, std::string>{{"type", "1"}, {"search", ""}}));
}

TEST_F(ponBugTrackerTest, SameCrashAddsItsLogToTheListedReport)
{
    tracker.addReport(5, "[!] Other.so v1.4.6.1 <0001:00000010> 0000000B", true);
    tracker.addReport(12, summary, true);
    ASSERT_TRUE(submit(true));
    EXPECT_EQ(tracker.posted().back(), "/bug_file_add.php");
    const auto reports = tracker.allReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].fields, (std::map<std::string, std::string>{{"bug_id", "12"}, {"max_file_size", "15728640"}}));
    EXPECT_EQ(reports[1].files, std::vector<std::string>{logText});
    EXPECT_FALSE(exists(renamedPath()));
}

// A listed report without the protected mark: nothing is sent, the answer is still a success, and the
// log stays (under its new name) because nobody took it.
TEST_F(ponBugTrackerTest, ListedPublicReportSendsNothingAndKeepsTheLog)
{
    tracker.addReport(12, summary, false);
    ASSERT_TRUE(submit(true));
    const std::vector<std::string> posted = {"/view_all_set.php", "/view_all_bug_page.php", "/view_all_set.php"};
    EXPECT_EQ(tracker.posted(), posted);
    EXPECT_FALSE(exists(logPath()));
    EXPECT_EQ(folder.read("[3]2025-01-02_03.04.05.006.log"), logText);
}

TEST_F(ponBugTrackerTest, RefusedReportKeepsTheLogForLater)
{
    struct Case {
        const char *title;
        int status;
        bool withBody;
    } cases[] = {{"server error", 500, true}, {"missing", 404, true}, {"accepted without a body", 200, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title);
        folder.write("Quorix.log", logText);
        tracker.reportStatus = c.status;
        tracker.acceptWithBody = c.withBody;
        EXPECT_FALSE(submit(true));
        EXPECT_EQ(tracker.posted().back(), "/bug_report.php");
        EXPECT_EQ(folder.read("[3]2025-01-02_03.04.05.006.log"), logText);
    }
}

TEST_F(ponBugTrackerTest, WithoutRenameTheLogKeepsItsNameAndStays)
{
    ASSERT_TRUE(submit(false));
    const auto reports = tracker.allReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].fileNames, std::vector<std::string>{"Quorix.log"});
    EXPECT_EQ(folder.read("Quorix.log"), logText);
    EXPECT_FALSE(exists(renamedPath()));
}

// Reading the list page: the first report link decides, the protected mark anywhere after it.
TEST(ponBugTrackerFindTest, ListPageDecidesTheNumber)
{
    struct Case {
        const char *title;
        std::string page;
        int32_t number;
    } cases[] = {
        {"empty page", "", 0},
        {"no links", "<html>No reports</html>", 0},
        {"link without mark", "<a href=\"view.php?id=0000012\">12</a>", -1},
        {"link then mark", "<a href=\"view.php?id=0000012\">12</a><img src=\"images/protected.gif\">", 12},
        {"mark under a later link", "<a href=\"view.php?id=7\">7</a> <a href=\"view.php?id=9\"><img src=\"images/protected.gif\">", 7},
        {"mark before the link only", "<img src=\"images/protected.gif\"><a href=\"view.php?id=3\">3</a>", -1},
    };
    std::string page;
    int failSearchAfter = 0;
    TestHttpServer server([&](const HttpRequest &r) {
        HttpReply reply;
        if (r.path() == "/view_all_set.php" && failSearchAfter-- == 0)
            reply.status = 500;
        reply.body = r.path() == "/view_all_bug_page.php" ? page : "ok";
        return reply;
    });
    podo::DebugSink previous = podo::setDebugSink(&discard);
    ponBugTracker tracker(server.url().c_str());
    BugReport report;
    report.summary = "crash";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title);
        page = c.page;
        failSearchAfter = -1;
        EXPECT_EQ(tracker.findReport(report), c.number);
    }

    // A failed search still resets it afterwards, and finds nothing.
    server.clearRequests();
    page = cases[3].page;
    failSearchAfter = 0;
    EXPECT_EQ(tracker.findReport(report), 0);
    const std::vector<HttpRequest> seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].path(), "/view_all_set.php");
    EXPECT_EQ(qtest::parseUrlEncoded(seen[1].body), (std::map<std::string, std::string>{{"type", "1"}, {"search", ""}}));
    podo::setDebugSink(previous);
}

} // namespace
