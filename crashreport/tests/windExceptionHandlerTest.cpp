#include "crashreport/windExceptionHandler.h"

#include "foundation/podoLog.h"
#include "foundation/tests/podoTestFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace wind_exception_handler_test {

namespace {

constexpr uint32_t versionWord = 0x01040601;

std::string executablePath()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return std::string(path, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string executableName()
{
    const std::string path = executablePath();
    return path.substr(path.rfind('/') + 1);
}

// The lines of a log file, each checked for the logger's form: "[yyyy/mm/dd hh:mm:ss] " and CR LF,
// which are removed; a line without them is marked.
std::vector<std::string> logLines(const std::string &text)
{
    std::vector<std::string> lines;
    const std::string shape = "[0000/00/00 00:00:00] ";
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back("<no line end>" + text.substr(at));
            break;
        }
        std::string line = text.substr(at, end - at);
        bool stamped = line.size() >= shape.size();
        for (size_t i = 0; stamped && i < shape.size(); ++i)
            stamped = shape[i] == '0' ? std::isdigit(static_cast<unsigned char>(line[i])) != 0 : line[i] == shape[i];
        lines.push_back(stamped ? line.substr(shape.size()) : "<no stamp>" + line);
        at = end + 2;
    }
    return lines;
}

void discard(const char16_t *) {}

// Keeps the logger pointed at a log file in a fresh folder for one test (the debugger output is
// dropped).
class LogFile
{
public:
    LogFile() : path(folder.path("Quorix.log"))
    {
        podoStr text(path.c_str());
        podo::setLogFile(text);
        previousSink = podo::setDebugSink(&discard);
    }
    ~LogFile()
    {
        podo::setDebugSink(previousSink);
        podo::closeLog();
    }
    std::vector<std::string> lines() const { return logLines(folder.read("Quorix.log")); }

    podoTestFolder folder;
    std::string path;
    podo::DebugSink previousSink;
};

void copyWide(char16_t *into, const char *text)
{
    size_t i = 0;
    for (; text[i]; ++i)
        into[i] = static_cast<char16_t>(text[i]);
    into[i] = 0;
}

// Whole 64-bit addresses; values that fit in 32 bits keep the eight-digit form.
TEST(windExceptionHandlerTest, WritesTheReportSectionBySection)
{
    StackFrameRecord frames[2];
    frames[0].programCounter = 0x00007FF612345678;
    frames[0].framePointer = 0x00007FFD00001000;
    frames[0].section = 2;
    frames[0].offset = 0x12345678;
    copyWide(frames[0].module, "/opt/kestrane/Quorix.so");
    frames[1].programCounter = 0x401234;
    frames[1].framePointer = 0x00007FFD00001040;
    frames[1].section = 1;
    frames[1].offset = 0x1234;
    copyWide(frames[1].module, "/usr/bin/host");

    ExceptionReport report;
    report.code = 11;
    report.codeText = u"SIGSEGV: address not mapped \u00fc";
    report.faultAddress = 0x00007FF612345678;
    report.faultSection = 2;
    report.faultOffset = 0x123456789A;
    copyWide(report.faultModule, "/opt/kestrane/Quorix.so");
    for (int i = 0; i < windRegister::count; ++i)
        report.registers[i] = 0x1111111100000000ULL * (i % 2) + 0x100 + i;
    report.registers[windRegister::cs] = 0x33;
    report.registers[windRegister::ss] = 0x2B;
    report.registers[windRegister::ds] = 0;
    report.registers[windRegister::es] = 0;
    report.registers[windRegister::fs] = 0;
    report.registers[windRegister::gs] = 0;
    report.registers[windRegister::eip] = 0x00007FF612345678;
    report.registers[windRegister::esp] = 0x00007FFD00000FF8;

    const std::vector<std::string> head = {
        "[ERROR] === Unhandled Exception Report ===",
        "[ERROR] Version: 1.4.6.1",
        "[ERROR] Exception Code: 0000000B - SIGSEGV: address not mapped \xc3\xbc",
        "[ERROR] Fault Address: 7FF612345678 0002:123456789A /opt/kestrane/Quorix.so",
        "[ERROR] Callstack:",
    };
    const std::vector<std::string> frameLines = {
        "[ERROR] \t7FF612345678 - 7FFD00001000 0002:12345678 /opt/kestrane/Quorix.so",
        "[ERROR] \t00401234 - 7FFD00001040 0001:00001234 /usr/bin/host",
    };
    const std::vector<std::string> tail = {
        "[ERROR] Executable: " + executableName(),
        "[ERROR] Registers:",
        "[ERROR] \tEAX = 00000100\tEBX = 1111111100000101\tECX = 00000102\tEDX = 1111111100000103",
        "[ERROR] \tESI = 00000104\tEDI = 1111111100000105\tFlags = 00000106",
        "[ERROR] \tDS = 0000\tES = 0000\tFS = 0000\tGS = 0000",
        "[ERROR] \tCS:EIP = 0033:7FF612345678\tSS:ESP = 002B:7FFD00000FF8\tEBP = 111111110000010B",
        "[ERROR] ==================================",
    };
    for (const uint32_t frameCount : {2u, 0u}) {
        SCOPED_TRACE(frameCount);
        LogFile log;
        report.frames = frameCount ? frames : nullptr;
        report.frameCount = frameCount;
        windExceptionHandler handler;
        handler.writeReport(versionWord, report);
        std::vector<std::string> expected = head;
        if (frameCount)
            expected.insert(expected.end(), frameLines.begin(), frameLines.end());
        expected.insert(expected.end(), tail.begin(), tail.end());
        EXPECT_EQ(log.lines(), expected);
    }
}

// The sections are called through the object, so a derived handler can replace one.
TEST(windExceptionHandlerTest, DerivedHandlerReplacesASection)
{
    class Quiet : public windExceptionHandler
    {
    public:
        void logRegisters(const ExceptionReport &) override { logLine("Registers: %s (%d)", "withheld", -5); }
    };
    LogFile log;
    ExceptionReport report;
    report.codeText = u"SIGABRT: abort";
    report.code = 6;
    Quiet handler;
    handler.writeReport(0x02000000, report);
    const std::vector<std::string> lines = log.lines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1], "[ERROR] Version: 2.0");
    EXPECT_EQ(lines[2], "[ERROR] Exception Code: 00000006 - SIGABRT: abort");
    EXPECT_EQ(lines[3], "[ERROR] Fault Address: 00000000 0000:00000000 ");
    EXPECT_EQ(lines[6], "[ERROR] Registers: withheld (-5)");
}

struct Answering : windExceptionHandler {
    explicit Answering(bool answer) : answer(answer) {}
    bool handle(const windExceptionPointers &) override { return answer; }
    bool answer;
};

bool sameAction(const struct sigaction &a, const struct sigaction &b)
{
    return (a.sa_flags & SA_SIGINFO) == (b.sa_flags & SA_SIGINFO) &&
           ((a.sa_flags & SA_SIGINFO) ? a.sa_sigaction == b.sa_sigaction : a.sa_handler == b.sa_handler);
}

// One registered handler per process; destroying it puts back what was there before, and destroying
// one that never installed changes nothing.
TEST(windExceptionHandlerTest, InstallsOnceAndRestoresThePreviousHandlers)
{
    const int signals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
    struct sigaction before[5];
    for (int i = 0; i < 5; ++i)
        sigaction(signals[i], nullptr, &before[i]);
    stack_t stackBefore{};
    sigaltstack(nullptr, &stackBefore);

    windExceptionPointers pointers;
    pointers.signal = SIGSEGV;
    EXPECT_EQ(windExceptionHandler::filter(pointers), 0); // nothing registered
    {
        auto *first = new Answering(true);
        ASSERT_TRUE(first->install());
        EXPECT_TRUE(first->isInstalled());
        struct sigaction installed[5];
        for (int i = 0; i < 5; ++i) {
            sigaction(signals[i], nullptr, &installed[i]);
            EXPECT_FALSE(sameAction(installed[i], before[i])) << signals[i];
            EXPECT_TRUE(installed[i].sa_flags & SA_ONSTACK);
        }
        EXPECT_EQ(windExceptionHandler::filter(pointers), 1);
        first->answer = false;
        EXPECT_EQ(windExceptionHandler::filter(pointers), 0);

        auto *second = new Answering(true);
        EXPECT_FALSE(second->install());
        delete second;
        for (int i = 0; i < 5; ++i) {
            struct sigaction now;
            sigaction(signals[i], nullptr, &now);
            EXPECT_TRUE(sameAction(now, installed[i])) << signals[i];
        }
        delete first;
    }
    for (int i = 0; i < 5; ++i) {
        struct sigaction after;
        sigaction(signals[i], nullptr, &after);
        EXPECT_TRUE(sameAction(after, before[i])) << signals[i];
    }
    stack_t stackAfter{};
    sigaltstack(nullptr, &stackAfter);
    EXPECT_EQ(stackAfter.ss_sp, stackBefore.ss_sp);
    EXPECT_EQ(stackAfter.ss_flags, stackBefore.ss_flags);
    EXPECT_EQ(windExceptionHandler::filter(pointers), 0);

    // A new handler can be installed once the old one is gone.
    Answering again(false);
    EXPECT_TRUE(again.install());
}

// ---- Crashes, each in a child process --------------------------------------------------------

#if defined(__x86_64__)

std::string bytesFile; // the SIGBUS case maps it

volatile bool deeper = true;

[[gnu::noinline]] void stackOverflow(int depth)
{
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (deeper)
        stackOverflow(depth + 1);
    frame[1] = frame[0];
}

// Faults made with instructions of their own, so no sanitizer check stands in their way.
[[gnu::noinline]] void crashBy(int kind)
{
    switch (kind) {
    case 0: asm volatile("movl $1, (%0)" : : "r"(reinterpret_cast<int *>(16)) : "memory"); break;
    case 1: asm volatile("xorl %%edx, %%edx\n\tmovl $1, %%eax\n\tidivl %0" : : "r"(0) : "eax", "edx"); break;
    case 2: __builtin_trap();
    case 3: abort();
    case 4: {
        const int fd = open(bytesFile.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        auto *page = static_cast<char *>(mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
        asm volatile("movb $1, (%0)" : : "r"(page) : "memory"); // past the end of the empty file
        break;
    }
    case 5: stackOverflow(0); break;
    }
}

// The child: the default action as the previous handler, the reporter installed, then the crash.
void crashWithReporter(const std::string &logPath, int signal, int kind)
{
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    sigaction(signal, &plain, nullptr);
    podo::setLogFile(podoStr(logPath.c_str()));
    auto *reporter = new windCrashReporter(versionWord);
    if (!reporter->install())
        _exit(3);
    crashBy(kind);
    _exit(4); // not reached
}

std::string field(const std::string &line, const std::string &after)
{
    const size_t at = line.find(after);
    if (at == std::string::npos)
        return "";
    const size_t start = at + after.size();
    return line.substr(start, line.find_first_of(" \t", start) - start);
}

TEST(windExceptionHandlerDeathTest, CrashIsReportedAndEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "fast");
    struct Case {
        const char *title;
        int kind;
        int signal;
        const char *codeLine;
        bool inExecutable; // the faulting instruction is in this program (else in the C library)
    } cases[] = {
        {"null write", 0, SIGSEGV, "Exception Code: 0000000B - SIGSEGV: address not mapped", true},
        {"divide by zero", 1, SIGFPE, "Exception Code: 00000008 - SIGFPE: integer divide by zero", true},
        {"trap", 2, SIGILL, "Exception Code: 00000004 - SIGILL: ", true},
        {"abort", 3, SIGABRT, "Exception Code: 00000006 - SIGABRT: abort", false},
        {"mapped file gone", 4, SIGBUS, "Exception Code: 00000007 - SIGBUS: nonexistent physical address", true},
        {"stack overflow", 5, SIGSEGV, "Exception Code: 0000000B - SIGSEGV: ", true},
    };
    const std::string executable = executablePath();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title);
        podoTestFolder folder;
        const std::string logPath = folder.path("Quorix.log");
        bytesFile = folder.path("bytes.bin");
        EXPECT_EXIT(crashWithReporter(logPath, c.signal, c.kind), testing::KilledBySignal(c.signal), "");

        const std::vector<std::string> lines = logLines(folder.read("Quorix.log"));
        ASSERT_GE(lines.size(), 13u);
        EXPECT_EQ(lines[0], "[ERROR] === Unhandled Exception Report ===");
        EXPECT_EQ(lines[1], "[ERROR] Version: 1.4.6.1");
        EXPECT_EQ(lines[2].rfind(std::string("[ERROR] ") + c.codeLine, 0), 0u) << lines[2];
        const std::string &fault = lines[3];
        ASSERT_EQ(fault.rfind("[ERROR] Fault Address: ", 0), 0u);
        if (c.inExecutable)
            EXPECT_EQ(fault.substr(fault.rfind(' ') + 1), executable);
        else
            EXPECT_NE(fault.find("libc"), std::string::npos) << fault;
        EXPECT_EQ(lines[4], "[ERROR] Callstack:");
        // The stack starts at the faulting instruction and passes through this test.
        const std::string faultAddress = field(fault, "Fault Address: ");
        EXPECT_EQ(field(lines[5], "\t"), faultAddress);
        size_t at = 5;
        bool throughTest = false;
        while (at < lines.size() && lines[at].rfind("[ERROR] \t", 0) == 0) {
            throughTest = throughTest || lines[at].substr(lines[at].rfind(' ') + 1) == executable;
            ++at;
        }
        EXPECT_GE(at - 5, 2u);
        EXPECT_TRUE(throughTest);
        ASSERT_EQ(lines.size(), at + 7);
        EXPECT_EQ(lines[at], "[ERROR] Executable: " + executableName());
        EXPECT_EQ(lines[at + 1], "[ERROR] Registers:");
        EXPECT_EQ(field(lines[at + 5], "CS:EIP = ").substr(5), faultAddress);
        EXPECT_EQ(lines[at + 6], "[ERROR] ==================================");
    }
}

void previousHandler(int, siginfo_t *, void *)
{
    const int fd = open(getenv("QUORIX_TEST_LOG"), O_WRONLY | O_APPEND);
    const char marker[] = "previous handler ran\r\n";
    write(fd, marker, sizeof marker - 1);
    _exit(42);
}

struct Reporting : windCrashReporter {
    explicit Reporting(bool takesCare) : windCrashReporter(versionWord), takesCare(takesCare) {}
    bool handle(const windExceptionPointers &pointers) override
    {
        windCrashReporter::handle(pointers);
        return takesCare;
    }
    bool takesCare;
};

void crashOverPreviousHandler(const std::string &logPath, bool takesCare)
{
    setenv("QUORIX_TEST_LOG", logPath.c_str(), 1);
    struct sigaction previous {};
    previous.sa_sigaction = &previousHandler;
    previous.sa_flags = SA_SIGINFO;
    sigaction(SIGSEGV, &previous, nullptr);
    podo::setLogFile(podoStr(logPath.c_str()));
    auto *reporter = new Reporting(takesCare);
    if (!reporter->install())
        _exit(3);
    crashBy(0);
    _exit(4);
}

// After the report the previous handler runs, unless the handler took care of the crash.
TEST(windExceptionHandlerDeathTest, PreviousHandlerRunsAfterTheReport)
{
    GTEST_FLAG_SET(death_test_style, "fast");
    for (const bool takesCare : {false, true}) {
        SCOPED_TRACE(takesCare);
        podoTestFolder folder;
        const std::string logPath = folder.path("Quorix.log");
        if (takesCare)
            EXPECT_EXIT(crashOverPreviousHandler(logPath, true), testing::KilledBySignal(SIGSEGV), "");
        else
            EXPECT_EXIT(crashOverPreviousHandler(logPath, false), testing::ExitedWithCode(42), "");
        const std::vector<std::string> lines = logLines(folder.read("Quorix.log"));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), "[ERROR] === Unhandled Exception Report ===");
        EXPECT_EQ(lines.back() == "<no stamp>previous handler ran", !takesCare);
    }
}

#endif

} // namespace

} // namespace wind_exception_handler_test
