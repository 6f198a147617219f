#include "crashreport/windExceptionHandler.h"

#include "foundation/podoGlobals.h"
#include "foundation/podoLog.h"
#include "foundation/podoUtf.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>
#include <unwind.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <string>

namespace {

constexpr int handledSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int signalCount = sizeof handledSignals / sizeof handledSignals[0];
constexpr size_t lineSize = 2048;   // one report line; longer lines are cut
constexpr size_t pathSize = 4096;   // a path read from the system
constexpr size_t extraFrames = 32;  // frames of the signal handler itself, walked past

// Process-wide state of the registered handler. Written by install and the destructor only, read by
// the signal handler.
std::atomic<windExceptionHandler *> registeredHandler{nullptr};
struct sigaction previousActions[signalCount];
int logFile = -1;           // opened by install for the signal handler's lines
long utcOffsetSeconds = 0;  // local time minus UTC when installed
stack_t previousStack;
bool stackReplaced = false;
char *alternateStack = nullptr; // kept when it cannot be taken back (see the destructor)
// The thread writing a report from a signal handler, 0 when none.
std::atomic<long> reportingThread{0};

long currentThread()
{
    return syscall(SYS_gettid);
}

int signalIndex(int signal)
{
    for (int i = 0; i < signalCount; ++i)
        if (handledSignals[i] == signal)
            return i;
    return -1;
}

// ---- Formatting without allocation -------------------------------------------------------------

class LineWriter
{
public:
    LineWriter(char *buffer, size_t size) : out(buffer), room(size ? size - 1 : 0) { out[0] = 0; }
    void put(char c)
    {
        if (length < room) {
            out[length++] = c;
            out[length] = 0;
        }
    }
    void put(const char *text)
    {
        while (*text)
            put(*text++);
    }
    size_t size() const { return length; }

private:
    char *out;
    size_t room;
    size_t length = 0;
};

void putPadded(LineWriter &w, const char *text, size_t length, int width, bool left, char pad)
{
    int fill = width - static_cast<int>(length);
    if (!left)
        for (; fill > 0; --fill)
            w.put(pad);
    for (size_t i = 0; i < length; ++i)
        w.put(text[i]);
    for (; fill > 0; --fill)
        w.put(' ');
}

void formatLine(LineWriter &w, const char *format, va_list args)
{
    for (const char *p = format; *p; ++p) {
        if (*p != '%') {
            w.put(*p);
            continue;
        }
        ++p;
        bool left = false, zero = false;
        for (;; ++p) {
            if (*p == '-')
                left = true;
            else if (*p == '0')
                zero = true;
            else
                break;
        }
        int width = 0;
        while (*p >= '0' && *p <= '9')
            width = width * 10 + (*p++ - '0');
        int size = 0; // 0 int, 1 long, 2 long long, 3 size_t, 4 intmax_t (h and hh read an int)
        while (*p == 'h' || *p == 'l' || *p == 'z' || *p == 'j') {
            if (*p == 'l')
                ++size;
            else if (*p == 'z')
                size = 3;
            else if (*p == 'j')
                size = 4;
            ++p;
        }
        const char conversion = *p;
        if (!conversion)
            return;
        char digits[32];
        size_t n = 0;
        switch (conversion) {
        case 'd':
        case 'i': {
            long long value = size == 0 ? va_arg(args, int)
                              : size == 1 ? va_arg(args, long)
                              : size == 3 ? static_cast<long long>(va_arg(args, ssize_t))
                              : size == 4 ? static_cast<long long>(va_arg(args, intmax_t))
                                          : va_arg(args, long long);
            const bool negative = value < 0;
            unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value) : value;
            do {
                digits[sizeof digits - 1 - n++] = static_cast<char>('0' + magnitude % 10);
                magnitude /= 10;
            } while (magnitude);
            if (negative) {
                if (zero && !left) {
                    w.put('-');
                    --width;
                } else {
                    digits[sizeof digits - 1 - n++] = '-';
                }
            }
            putPadded(w, digits + sizeof digits - n, n, width, left, zero && !left ? '0' : ' ');
            break;
        }
        case 'u':
        case 'x':
        case 'X':
        case 'p': {
            unsigned long long value = conversion == 'p' ? reinterpret_cast<uintptr_t>(va_arg(args, void *))
                                       : size == 0       ? va_arg(args, unsigned)
                                       : size == 1       ? va_arg(args, unsigned long)
                                       : size == 3       ? va_arg(args, size_t)
                                       : size == 4       ? static_cast<unsigned long long>(va_arg(args, uintmax_t))
                                                         : va_arg(args, unsigned long long);
            const unsigned base = conversion == 'u' ? 10 : 16;
            const char *set = conversion == 'x' || conversion == 'p' ? "0123456789abcdef" : "0123456789ABCDEF";
            do {
                digits[sizeof digits - 1 - n++] = set[value % base];
                value /= base;
            } while (value);
            if (conversion == 'p') {
                digits[sizeof digits - 1 - n++] = 'x';
                digits[sizeof digits - 1 - n++] = '0';
            }
            putPadded(w, digits + sizeof digits - n, n, width, left, zero && !left ? '0' : ' ');
            break;
        }
        case 's': {
            const char *text = va_arg(args, const char *);
            if (!text)
                text = "(null)";
            putPadded(w, text, std::strlen(text), width, left, ' ');
            break;
        }
        case 'c': {
            const char c = static_cast<char>(va_arg(args, int));
            putPadded(w, &c, 1, width, left, ' ');
            break;
        }
        case '%': w.put('%'); break;
        default:
            w.put('%');
            w.put(conversion);
            break;
        }
    }
}

// UTF-16 text of at most `most` units as UTF-8 into a buffer of `size` bytes, terminated.
const char *utf8Of(const char16_t *text, size_t most, char *buffer, size_t size)
{
    std::memset(buffer, 0, size);
    if (!text)
        return buffer;
    size_t length = 0;
    while (length < most && text[length])
        ++length;
    podo::utf16ToUtf8(text, length, buffer, size - 1);
    return buffer;
}

void putNumber(LineWriter &w, unsigned value, int width)
{
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    for (int i = n; i < width; ++i)
        w.put('0');
    while (n)
        w.put(digits[--n]);
}

// "[yyyy/mm/dd hh:mm:ss] " of the local time, from the clock and the offset measured at install.
void putTimestamp(LineWriter &w)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const long long local = static_cast<long long>(now.tv_sec) + utcOffsetSeconds;
    long long days = local / 86400;
    long long seconds = local % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    // Civil date of a day count from 1970-01-01.
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const unsigned year = static_cast<unsigned>(yearOfEra + era * 400 + (month <= 2));
    w.put('[');
    putNumber(w, year, 4);
    w.put('/');
    putNumber(w, month, 2);
    w.put('/');
    putNumber(w, day, 2);
    w.put(' ');
    putNumber(w, static_cast<unsigned>(seconds / 3600), 2);
    w.put(':');
    putNumber(w, static_cast<unsigned>(seconds / 60 % 60), 2);
    w.put(':');
    putNumber(w, static_cast<unsigned>(seconds % 60), 2);
    w.put("] ");
}

void writeAll(int fd, const char *data, size_t n)
{
    while (n > 0) {
        const ssize_t written = write(fd, data, n);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        data += written;
        n -= static_cast<size_t>(written);
    }
}

// The logger's line form, written with write() only: the log file gets the timestamp and CR LF as
// the logger's text mode writes them, the standard error the line without them.
void writeSignalLine(const char *message)
{
    const int savedErrno = errno;
    char buffer[lineSize + 64];
    if (logFile >= 0) {
        LineWriter w(buffer, sizeof buffer);
        putTimestamp(w);
        w.put("[ERROR] ");
        w.put(message);
        w.put("\r\n");
        writeAll(logFile, buffer, w.size());
    }
    LineWriter w(buffer, sizeof buffer);
    w.put("[ERROR] ");
    w.put(message);
    w.put('\n');
    writeAll(STDERR_FILENO, buffer, w.size());
    errno = savedErrno;
}

// The file name of the running executable, "" when it cannot be read.
const char *executableName(char *buffer, size_t size)
{
    const ssize_t n = readlink("/proc/self/exe", buffer, size - 1);
    buffer[n > 0 ? n : 0] = 0;
    const char *name = buffer;
    for (const char *p = buffer; *p; ++p)
        if (*p == '/')
            name = p + 1;
    return name;
}

// ---- Describing a crash --------------------------------------------------------------------------

struct SignalText {
    int signal;
    int code; // 0: any code
    const char16_t *text;
};

const SignalText signalTexts[] = {
    {SIGSEGV, SEGV_MAPERR, u"SIGSEGV: address not mapped"},
    {SIGSEGV, SEGV_ACCERR, u"SIGSEGV: access not permitted"},
    {SIGSEGV, 0, u"SIGSEGV: segmentation fault"},
    {SIGBUS, BUS_ADRALN, u"SIGBUS: misaligned address"},
    {SIGBUS, BUS_ADRERR, u"SIGBUS: nonexistent physical address"},
    {SIGBUS, BUS_OBJERR, u"SIGBUS: object-specific hardware error"},
    {SIGBUS, 0, u"SIGBUS: bus error"},
    {SIGFPE, FPE_INTDIV, u"SIGFPE: integer divide by zero"},
    {SIGFPE, FPE_INTOVF, u"SIGFPE: integer overflow"},
    {SIGFPE, FPE_FLTDIV, u"SIGFPE: floating-point divide by zero"},
    {SIGFPE, FPE_FLTOVF, u"SIGFPE: floating-point overflow"},
    {SIGFPE, FPE_FLTUND, u"SIGFPE: floating-point underflow"},
    {SIGFPE, FPE_FLTRES, u"SIGFPE: floating-point inexact result"},
    {SIGFPE, FPE_FLTINV, u"SIGFPE: invalid floating-point operation"},
    {SIGFPE, 0, u"SIGFPE: arithmetic exception"},
    {SIGILL, ILL_ILLOPC, u"SIGILL: illegal opcode"},
    {SIGILL, ILL_ILLOPN, u"SIGILL: illegal operand"},
    {SIGILL, ILL_PRVOPC, u"SIGILL: privileged opcode"},
    {SIGILL, 0, u"SIGILL: illegal instruction"},
    {SIGABRT, 0, u"SIGABRT: abort"},
};

const char16_t *describeSignal(int signal, int code)
{
    for (const SignalText &entry : signalTexts)
        if (entry.signal == signal && (entry.code == 0 || (code > 0 && entry.code == code)))
            return entry.text;
    return u"signal";
}

bool parseHex(const char *&p, uint64_t &value)
{
    value = 0;
    const char *start = p;
    for (;; ++p) {
        const char c = *p;
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0)
            break;
        value = value << 4 | static_cast<uint64_t>(digit);
    }
    return p != start;
}

// Finds the mapping that holds an address in /proc/self/maps: the module's path, the 1-based number
// of that mapping among the module's consecutive mappings, and the address's position in the file.
// Reads with read() into stack buffers only.
bool findModule(uint64_t address, char16_t *module, uint64_t &section, uint64_t &offset)
{
    const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char chunk[1024];
    char line[pathSize + 128];
    size_t lineLength = 0;
    char lastPath[pathSize] = {};
    uint64_t index = 0;
    bool found = false;
    ssize_t n;
    while (!found && (n = read(fd, chunk, sizeof chunk)) > 0) {
        for (ssize_t i = 0; i < n && !found; ++i) {
            if (chunk[i] != '\n') {
                if (lineLength < sizeof line - 1)
                    line[lineLength++] = chunk[i];
                continue;
            }
            line[lineLength] = 0;
            lineLength = 0;
            // start-end perms offset dev inode path
            const char *p = line;
            const auto skipSpaces = [&p] {
                while (*p == ' ')
                    ++p;
            };
            const auto skipWord = [&p] {
                while (*p && *p != ' ')
                    ++p;
            };
            uint64_t start = 0, end = 0, fileOffset = 0;
            if (!parseHex(p, start) || *p++ != '-' || !parseHex(p, end))
                continue;
            skipSpaces();
            skipWord(); // permissions
            skipSpaces();
            parseHex(p, fileOffset);
            skipSpaces();
            skipWord(); // device
            skipSpaces();
            skipWord(); // inode
            skipSpaces();
            const char *path = p;
            index = std::strcmp(path, lastPath) == 0 ? index + 1 : 1;
            std::strncpy(lastPath, path, sizeof lastPath - 1);
            if (address >= start && address < end) {
                found = true;
                section = index;
                offset = address - start + fileOffset;
                std::memset(module, 0, exceptionModulePathSize * sizeof(char16_t));
                podo::utf8ToUtf16(path, std::strlen(path), module, exceptionModulePathSize - 1);
            }
        }
    }
    close(fd);
    return found;
}

struct Walk {
    uint64_t pc[windCrashReporter::mostFrames + extraFrames];
    uint64_t cfa[windCrashReporter::mostFrames + extraFrames];
    uint32_t count = 0;
};

_Unwind_Reason_Code walkStep(_Unwind_Context *context, void *argument)
{
    Walk &walk = *static_cast<Walk *>(argument);
    if (walk.count >= sizeof walk.pc / sizeof walk.pc[0])
        return _URC_END_OF_STACK;
    int beforeInstruction = 0;
    const uintptr_t pc = _Unwind_GetIPInfo(context, &beforeInstruction);
    if (pc == 0)
        return _URC_END_OF_STACK;
    walk.pc[walk.count] = pc;
    walk.cfa[walk.count] = _Unwind_GetCFA(context);
    ++walk.count;
    return _URC_NO_REASON;
}

// One report's call stack walk at a time; kept out of the (alternate) stack.
Walk crashWalk;

uint64_t faultingInstruction(const windExceptionPointers &pointers)
{
    const auto *context = static_cast<const ucontext_t *>(pointers.context);
#if defined(__x86_64__)
    if (context)
        return static_cast<uint64_t>(context->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    if (context)
        return context->uc_mcontext.pc;
#else
    (void)context;
#endif
    return pointers.info ? reinterpret_cast<uintptr_t>(pointers.info->si_addr) : 0;
}

void fillRegisters(const windExceptionPointers &pointers, uint64_t *registers)
{
    std::memset(registers, 0, windRegister::count * sizeof(uint64_t));
    const auto *context = static_cast<const ucontext_t *>(pointers.context);
    if (!context)
        return;
#if defined(__x86_64__)
    const greg_t *g = context->uc_mcontext.gregs;
    const auto value = [g](int index) { return static_cast<uint64_t>(g[index]); };
    registers[windRegister::eax] = value(REG_RAX);
    registers[windRegister::ebx] = value(REG_RBX);
    registers[windRegister::ecx] = value(REG_RCX);
    registers[windRegister::edx] = value(REG_RDX);
    registers[windRegister::esi] = value(REG_RSI);
    registers[windRegister::edi] = value(REG_RDI);
    registers[windRegister::flags] = value(REG_EFL);
    registers[windRegister::eip] = value(REG_RIP);
    registers[windRegister::esp] = value(REG_RSP);
    registers[windRegister::ebp] = value(REG_RBP);
    const uint64_t segments = value(REG_CSGSFS); // cs, gs, fs, then padding, 16 bits each
    registers[windRegister::cs] = segments & 0xFFFF;
    registers[windRegister::gs] = segments >> 16 & 0xFFFF;
    registers[windRegister::fs] = segments >> 32 & 0xFFFF;
    // The data segments are not saved in the context; in a 64-bit process they never change.
    uint16_t ss = 0, ds = 0, es = 0;
    asm volatile("mov %%ss, %0" : "=r"(ss));
    asm volatile("mov %%ds, %0" : "=r"(ds));
    asm volatile("mov %%es, %0" : "=r"(es));
    registers[windRegister::ss] = ss;
    registers[windRegister::ds] = ds;
    registers[windRegister::es] = es;
#elif defined(__aarch64__)
    registers[windRegister::eip] = context->uc_mcontext.pc;
    registers[windRegister::esp] = context->uc_mcontext.sp;
    registers[windRegister::ebp] = context->uc_mcontext.regs[29];
#endif
}

// The signal's way on after the report: the previous handler when the registered one did not take
// care of the crash, else (or without one) the default action, which ends the process as it would
// have ended without us.
void passOn(int signal, siginfo_t *info, void *context, bool handled)
{
    const int index = signalIndex(signal);
    if (!handled && index >= 0) {
        const struct sigaction &previous = previousActions[index];
        if ((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction) {
            previous.sa_sigaction(signal, info, context);
            return;
        }
        if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
            previous.sa_handler(signal);
            return;
        }
        // A signal that was sent (not a fault) to a process that ignores it stays ignored.
        if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == SIG_IGN && info && info->si_code <= 0)
            return;
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    // Blocked while this handler runs: delivered, with the default action, as it returns.
    raise(signal);
}

void onSignal(int signal, siginfo_t *info, void *context)
{
    const long self = currentThread();
    long idle = 0;
    while (!reportingThread.compare_exchange_strong(idle, self)) {
        if (idle == self) {
            // A fault inside the report itself: end without another report.
            passOn(signal, info, context, true);
            return;
        }
        // Another thread is reporting its own crash; wait for it.
        idle = 0;
        const timespec pause{0, 1000000};
        nanosleep(&pause, nullptr);
    }
    windExceptionPointers pointers;
    pointers.signal = signal;
    pointers.info = info;
    pointers.context = context;
    const bool handled = windExceptionHandler::filter(pointers) != 0;
    reportingThread = 0;
    passOn(signal, info, context, handled);
}

// Loads and warms the unwinder while it is still safe to, so a crash does not do it first.
void primeUnwinder()
{
    Walk walk;
    _Unwind_Backtrace(&walkStep, &walk);
}

} // namespace

windExceptionHandler::~windExceptionHandler()
{
    windExceptionHandler *self = this;
    if (registeredHandler.load() != this)
        return;
    for (int i = 0; i < signalCount; ++i)
        sigaction(handledSignals[i], &previousActions[i], nullptr);
    if (stackReplaced) {
        // The alternate stack belongs to the installing thread; only that thread can take it back.
        stack_t current{};
        if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == alternateStack) {
            sigaltstack(&previousStack, nullptr);
            delete[] alternateStack;
            alternateStack = nullptr;
        }
        stackReplaced = false;
    }
    if (logFile >= 0) {
        close(logFile);
        logFile = -1;
    }
    registeredHandler.compare_exchange_strong(self, nullptr);
}

bool windExceptionHandler::handle(const windExceptionPointers &)
{
    return false;
}

void windExceptionHandler::logExceptionCode(const ExceptionReport &report)
{
    char text[lineSize];
    logLine("Exception Code: %08X - %s", report.code, utf8Of(report.codeText, lineSize / 3, text, sizeof text));
}

void windExceptionHandler::logFaultAddress(const ExceptionReport &report)
{
    char module[lineSize];
    logLine("Fault Address: %08llX %04llX:%08llX %s", static_cast<unsigned long long>(report.faultAddress),
            static_cast<unsigned long long>(report.faultSection), static_cast<unsigned long long>(report.faultOffset),
            utf8Of(report.faultModule, exceptionModulePathSize, module, sizeof module));
}

void windExceptionHandler::logCallStack(const ExceptionReport &report)
{
    logLine("Callstack:");
    char module[lineSize];
    for (uint32_t i = 0; i < report.frameCount && report.frames; ++i) {
        const StackFrameRecord &frame = report.frames[i];
        logLine("\t%08llX - %08llX %04llX:%08llX %s", static_cast<unsigned long long>(frame.programCounter),
                static_cast<unsigned long long>(frame.framePointer), static_cast<unsigned long long>(frame.section),
                static_cast<unsigned long long>(frame.offset),
                utf8Of(frame.module, exceptionModulePathSize, module, sizeof module));
    }
    char path[pathSize];
    logLine("Executable: %s", executableName(path, sizeof path));
}

void windExceptionHandler::logRegisters(const ExceptionReport &report)
{
    const auto r = [&report](int index) { return static_cast<unsigned long long>(report.registers[index]); };
    using namespace windRegister;
    logLine("Registers:");
    logLine("\tEAX = %08llX\tEBX = %08llX\tECX = %08llX\tEDX = %08llX", r(eax), r(ebx), r(ecx), r(edx));
    logLine("\tESI = %08llX\tEDI = %08llX\tFlags = %08llX", r(esi), r(edi), r(flags));
    logLine("\tDS = %04llX\tES = %04llX\tFS = %04llX\tGS = %04llX", r(ds), r(es), r(fs), r(gs));
    logLine("\tCS:EIP = %04llX:%08llX\tSS:ESP = %04llX:%08llX\tEBP = %08llX", r(cs), r(eip), r(ss), r(esp), r(ebp));
}

void windExceptionHandler::writeReport(uint32_t version, const ExceptionReport &report)
{
    logLine("=== Unhandled Exception Report ===");
    logLine("Version: %s", podo::versionToText(version));
    logExceptionCode(report);
    logFaultAddress(report);
    logCallStack(report);
    logRegisters(report);
    logLine("==================================");
}

void windExceptionHandler::logLine(const char *format, ...)
{
    char line[lineSize];
    LineWriter writer(line, sizeof line);
    va_list args;
    va_start(args, format);
    formatLine(writer, format, args);
    va_end(args);
    if (reportingThread.load() == currentThread())
        writeSignalLine(line);
    else
        podo::logMessage(4, true, "%s", line);
}

bool windExceptionHandler::install()
{
    windExceptionHandler *none = nullptr;
    if (!registeredHandler.compare_exchange_strong(none, this))
        return false;

    {
        podoSyncCriticalBlock guard(&podo::logLock);
        if (!podo::logFilePath.isEmpty())
            logFile = open(podo::logFilePath.getNarrow(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    }
    const time_t now = time(nullptr);
    tm local{};
    if (localtime_r(&now, &local))
        utcOffsetSeconds = local.tm_gmtoff;
    primeUnwinder();

    const size_t stackSize = std::max<size_t>(SIGSTKSZ, 262144);
    alternateStack = new char[stackSize];
    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = stackSize;
    stackReplaced = sigaltstack(&stack, &previousStack) == 0;
    if (!stackReplaced) {
        delete[] alternateStack;
        alternateStack = nullptr;
    }

    struct sigaction action {};
    action.sa_sigaction = &onSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (const int signal : handledSignals)
        sigaddset(&action.sa_mask, signal);
    for (int i = 0; i < signalCount; ++i) {
        if (sigaction(handledSignals[i], &action, &previousActions[i]) != 0) {
            while (i-- > 0)
                sigaction(handledSignals[i], &previousActions[i], nullptr);
            if (stackReplaced) {
                sigaltstack(&previousStack, nullptr);
                delete[] alternateStack;
                alternateStack = nullptr;
                stackReplaced = false;
            }
            if (logFile >= 0)
                close(logFile);
            logFile = -1;
            registeredHandler = nullptr;
            return false;
        }
    }
    return true;
}

bool windExceptionHandler::isInstalled() const
{
    return registeredHandler.load() == this;
}

int windExceptionHandler::filter(const windExceptionPointers &pointers)
{
    windExceptionHandler *handler = registeredHandler.load();
    return handler && handler->handle(pointers) ? 1 : 0;
}

void windExceptionHandler::describe(const windExceptionPointers &pointers, ExceptionReport &report,
                                    StackFrameRecord *frames, uint32_t capacity)
{
    report.code = static_cast<uint32_t>(pointers.signal);
    report.codeText = describeSignal(pointers.signal, pointers.info ? pointers.info->si_code : 0);
    report.faultAddress = faultingInstruction(pointers);
    report.faultSection = 0;
    report.faultOffset = report.faultAddress;
    std::memset(report.faultModule, 0, sizeof report.faultModule);
    findModule(report.faultAddress, report.faultModule, report.faultSection, report.faultOffset);
    fillRegisters(pointers, report.registers);

    // Walk from here, then drop the frames of the signal handler: the stack proper starts at the
    // frame of the faulting instruction. When the walk does not reach it, that one frame is all.
    report.frames = frames;
    report.frameCount = 0;
    if (!frames || capacity == 0)
        return;
    crashWalk.count = 0;
    _Unwind_Backtrace(&walkStep, &crashWalk);
    uint32_t first = 0;
    while (first < crashWalk.count && crashWalk.pc[first] != report.faultAddress)
        ++first;
    uint32_t count = 0;
    if (first == crashWalk.count) {
        frames[0] = StackFrameRecord{};
        frames[0].programCounter = report.faultAddress;
        frames[0].framePointer = report.registers[windRegister::esp];
        count = 1;
    } else {
        for (uint32_t i = first; i < crashWalk.count && count < capacity; ++i, ++count) {
            frames[count] = StackFrameRecord{};
            frames[count].programCounter = crashWalk.pc[i];
            frames[count].framePointer = crashWalk.cfa[i];
        }
    }
    for (uint32_t i = 0; i < count; ++i) {
        StackFrameRecord &frame = frames[i];
        frame.offset = frame.programCounter;
        findModule(frame.programCounter, frame.module, frame.section, frame.offset);
    }
    report.frameCount = count;
}

namespace {
// The report of the one crash this process can have; out of the (alternate) stack.
ExceptionReport crashReport;
StackFrameRecord crashFrames[windCrashReporter::mostFrames];
} // namespace

bool windCrashReporter::handle(const windExceptionPointers &pointers)
{
    describe(pointers, crashReport, crashFrames, mostFrames);
    writeReport(version, crashReport);
    return false;
}
