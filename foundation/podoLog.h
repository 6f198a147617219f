#pragma once

#include "foundation/podoStr.h"

// The process-wide logger. A line is "[date time] " (only when it also goes to the
// log file), the level's prefix, the formatted message and "\n". Every line goes to
// the debugger output; with toFile and a log path set it is also appended to the
// log file, which is opened and closed for each line. Levels outside 0..5 are
// discarded. podo::logLock serialises everything here; nothing is locked under it.
namespace podo {

// Levels: 0 "? ", 1 "- ", 2 none, 3 "(warning) ", 4 "[ERROR] ", 5 "[!!!FATAL!!!] ".
// The format is the caller's own literal: pass other text as an argument ("%s").
void logMessage(int level, bool toFile, const char *format, ...);

// Each owner that sets the path keeps file logging on until it calls closeLog: the
// path stays set while any owner remains. A null path changes nothing.
bool setLogFile(const podoStr *path);
bool setLogFile(const podoStr &path);
// Ends one owner's use of the log file; the last one empties the path and frees
// the line buffer.
void closeLog();

// Writes the current contents of the line buffer again: to the file when a path is
// set and toFile, and to the debugger output.
void flushLogLine(bool toFile);

// Sends wide text to the debugger output in pieces of at most 1,024 units.
void debugOutput(const char16_t *text);

// The debugger output: stderr unless replaced. The sink receives each piece,
// terminated; null restores stderr. Returns the previous sink.
using DebugSink = void (*)(const char16_t *piece);
DebugSink setDebugSink(DebugSink sink);

} // namespace podo

// Logs "} name" when it goes out of scope, at a level the logger discards.
class podoTraceFunc
{
public:
    explicit podoTraceFunc(const char *name);
    virtual ~podoTraceFunc();

private:
    podoStr name;
};
