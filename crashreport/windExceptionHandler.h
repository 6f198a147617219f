#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>

// Module paths in a report hold at most this many UTF-16 units with their terminator.
constexpr size_t exceptionModulePathSize = 260;

struct StackFrameRecord {
    uint64_t programCounter = 0; // the fault address in the innermost frame, a return address above it
    uint64_t framePointer = 0;   // the frame's canonical frame address
    uint64_t section = 0;        // 1-based mapping of the module that holds the address
    uint64_t offset = 0;         // the address's position in the module's file
    char16_t module[exceptionModulePathSize] = {};
};

// Indexes of ExceptionReport::registers. On x86-64 they hold the 64-bit registers of the same roles
// (RAX for EAX and so on).
namespace windRegister {
enum : int { eax, ebx, ecx, edx, esi, edi, flags, cs, eip, ss, esp, ebp, ds, es, fs, gs, count };
}

// What a report says about one crash.
struct ExceptionReport {
    uint32_t code = 0;                  // the signal number
    const char16_t *codeText = nullptr; // its description (static text)
    uint64_t faultAddress = 0;          // the faulting instruction
    uint64_t faultSection = 0;
    uint64_t faultOffset = 0;
    char16_t faultModule[exceptionModulePathSize] = {};
    StackFrameRecord *frames = nullptr; // innermost first
    uint32_t frameCount = 0;
    uint64_t registers[windRegister::count] = {};
};

// What the platform hands a crash handler: the arguments of a SA_SIGINFO signal handler.
struct windExceptionPointers {
    int signal = 0;
    siginfo_t *info = nullptr;
    void *context = nullptr; // ucontext_t
};

// Writes the report of a crash into the log, section by section, each line at the error level.
//
// install() makes a handler the process's one registered handler and puts signal handlers for SIGSEGV,
// SIGBUS, SIGFPE, SIGILL and SIGABRT in place (on an alternate stack for the installing thread, so a
// stack overflow can be reported too); destroying the registered handler puts the previous handlers
// and stack back. A handler that never installed changes nothing when destroyed. Install and destroy
// on the same thread, outside any signal handler.
//
// On a crash, filter() asks the registered handler's handle(); then, when it answered false, the
// previous handler runs, and otherwise (or without a previous handler) the signal's default action
// ends the process, as it would have without us.
//
// Inside the signal handler nothing allocates: report lines are formatted into stack buffers and
// written with write() to the log file that install() opened (stamped and prefixed as the logger
// does) and to the standard error. Elsewhere they go through podo::logMessage.
class windExceptionHandler
{
public:
    windExceptionHandler() = default;
    windExceptionHandler(const windExceptionHandler &) = delete;
    windExceptionHandler &operator=(const windExceptionHandler &) = delete;
    virtual ~windExceptionHandler();

    // Whether the handler took care of the crash. Base: false.
    virtual bool handle(const windExceptionPointers &pointers);
    virtual void logExceptionCode(const ExceptionReport &report);
    virtual void logFaultAddress(const ExceptionReport &report);
    virtual void logCallStack(const ExceptionReport &report);
    virtual void logRegisters(const ExceptionReport &report);
    virtual void writeReport(uint32_t version, const ExceptionReport &report);

    // False when another handler is registered or the signal handlers cannot be set.
    bool install();
    bool isInstalled() const;

    // The process-wide filter: 1 when the registered handler took care of the crash, 0 otherwise and
    // without a registered handler.
    static int filter(const windExceptionPointers &pointers);

    // Fills a report from what a signal handler received: code, description, fault address with its
    // module, the call stack (up to `capacity` frames into `frames`) and the registers. Safe inside a
    // signal handler.
    static void describe(const windExceptionPointers &pointers, ExceptionReport &report, StackFrameRecord *frames,
                         uint32_t capacity);

protected:
    // One report line (printf-like: %d %i %u %x %X %p %s %c %%, flags '-' and '0', a width, and the
    // length modifiers hh h l ll z j), formatted without allocation.
    void logLine(const char *format, ...) __attribute__((format(printf, 2, 3)));
};

// The handler an owner installs to get crash reports: it describes the crash, writes the report with
// the product's version word and leaves the rest to the previous handler or the default action.
class windCrashReporter : public windExceptionHandler
{
public:
    static constexpr uint32_t mostFrames = 64;

    explicit windCrashReporter(uint32_t versionWord) : version(versionWord) {}
    bool handle(const windExceptionPointers &pointers) override;

private:
    uint32_t version;
};
