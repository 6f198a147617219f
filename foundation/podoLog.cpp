#include "foundation/podoLog.h"

#include "foundation/platform/podoPlatformDebug.h"
#include "foundation/podoFile.h"
#include "foundation/podoGlobals.h"
#include "foundation/podoPrintf.h"
#include "foundation/podoTime.h"

#include <atomic>
#include <cstdarg>
#include <cstring>
#include <string>

namespace {

constexpr size_t firstLineSize = 1024;      // bytes of the line buffer at load
constexpr size_t largestLineSize = 1048576; // a message that needs more is replaced
constexpr size_t debugPiece = 1024;         // units per call to the debugger output
constexpr char tooLong[] = "LOG: too long data";

const char *const prefixes[] = {"? ", "- ", "", "(warning) ", "[ERROR] ", "[!!!FATAL!!!] "};

// The logger's own state; every field is guarded by podo::logLock. Constant-
// initialised and never destroyed, so that logging works from any constructor or
// destructor of a process-wide object; closeLog frees the line.
struct LogState {
    char *line = nullptr;        // the last line, terminated; allocated on the first message
    size_t size = firstLineSize; // grows by doubling and stays grown
    size_t length = 0;           // bytes of the last line
    int owners = 0;              // setLogFile calls not yet matched by closeLog
};

constinit LogState logState;

LogState &state()
{
    return logState;
}

void freeLine(LogState &s)
{
    delete[] s.line;
    s.line = nullptr;
    s.length = 0;
}

void toStandardError(const char16_t *piece)
{
    const podoStr text(piece);
    const char *narrow = text.getNarrow();
    podo::platform::writeDebugText(narrow, std::strlen(narrow));
}

std::atomic<podo::DebugSink> debugSink{nullptr};

// "[yyyy/mm/dd hh:mm:ss] " of the local time now: 22 characters.
std::string timestamp()
{
    podoTime now;
    now.setNow();
    podoStr stamp;
    now.appendText(stamp, '/', ':');
    podoStr head;
    head.format("[%s] ", stamp.getNarrow());
    return head.getNarrow();
}

bool hasLogFile()
{
    return !podo::logFilePath.isEmpty();
}

// Appends the line to the log file; a file that cannot be opened is skipped.
void appendToFile(const char *line, size_t length)
{
    podoFile file;
    if (file.open(podo::logFilePath, podoFileFlags::write | podoFileFlags::textStream) != 0)
        return;
    file.write(line, 1, length);
    file.close(true);
}

void sendLine(bool toFile)
{
    LogState &s = state();
    if (!s.line)
        return;
    if (toFile && hasLogFile())
        appendToFile(s.line, s.length);
    podoStr text;
    text.setNarrow(s.line, static_cast<int>(s.length));
    podo::debugOutput(text.getWide());
}

} // namespace

namespace podo {

void logMessage(int level, bool toFile, const char *format, ...)
{
    podoSyncCriticalBlock guard(&logLock);
    LogState &s = state();
    if (!s.line) {
        s.line = new char[s.size];
        s.line[0] = 0;
        s.length = 0;
    }
    if (level < 0 || level > 5 || !format || !*format)
        return;

    // The head: a timestamp exactly when the line also goes to the file, then the
    // level's prefix.
    const bool withFile = toFile && hasLogFile();
    std::string head = withFile ? timestamp() : std::string();
    head += prefixes[level];

    TextSink<char> message;
    va_list args;
    va_start(args, format);
    formatText(message, format, args);
    va_end(args);

    // Room for the head, the message, "\n" and the terminator, as the buffer grows.
    const char *text = message.text();
    size_t textLength = message.size();
    size_t size = s.size;
    while (head.size() + textLength + 3 > size && size < largestLineSize)
        size *= 2;
    if (head.size() + textLength + 3 > size) {
        text = tooLong;
        textLength = sizeof tooLong - 1;
    }
    if (size != s.size) {
        freeLine(s);
        s.line = new char[size];
        s.size = size;
    }
    char *line = s.line;
    std::memcpy(line, head.data(), head.size());
    std::memcpy(line + head.size(), text, textLength);
    s.length = head.size() + textLength;
    line[s.length++] = '\n';
    line[s.length] = 0;
    sendLine(withFile);
}

bool setLogFile(const podoStr *path)
{
    podoSyncCriticalBlock guard(&logLock);
    if (path) {
        logFilePath = *path;
        ++state().owners;
    }
    return true;
}

bool setLogFile(const podoStr &path)
{
    return setLogFile(&path);
}

void closeLog()
{
    podoSyncCriticalBlock guard(&logLock);
    LogState &s = state();
    if (s.owners > 0)
        --s.owners;
    if (s.owners > 0)
        return;
    logFilePath.clear();
    freeLine(s);
}

void flushLogLine(bool toFile)
{
    podoSyncCriticalBlock guard(&logLock);
    sendLine(toFile);
}

void debugOutput(const char16_t *text)
{
    if (!text)
        return;
    const DebugSink sink = debugSink.load();
    const DebugSink send = sink ? sink : &toStandardError;
    size_t remaining = std::char_traits<char16_t>::length(text);
    char16_t piece[debugPiece + 1];
    while (remaining > debugPiece) {
        std::memcpy(piece, text, debugPiece * sizeof(char16_t));
        piece[debugPiece] = 0;
        send(piece);
        text += debugPiece;
        remaining -= debugPiece;
    }
    send(text);
}

DebugSink setDebugSink(DebugSink sink)
{
    const DebugSink previous = debugSink.exchange(sink);
    return previous ? previous : &toStandardError;
}

} // namespace podo

podoTraceFunc::podoTraceFunc(const char *traceName) : name(traceName) {}

podoTraceFunc::~podoTraceFunc()
{
    podo::logMessage(8, false, "} %s", name.getNarrow());
}
