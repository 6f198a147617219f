#include "foundation/platform/podoPlatformDebug.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace podo::platform {

namespace {

// The debugger's channel: on a plain run (a host's console) it stays quiet; it speaks when a
// debugger is attached or QUORIX_DEBUG is set.
bool debuggerListens()
{
    if (const char *wanted = std::getenv("QUORIX_DEBUG"))
        return *wanted && std::strcmp(wanted, "0") != 0;
    std::FILE *status = std::fopen("/proc/self/status", "r");
    if (!status)
        return false;
    char line[256];
    long tracer = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "TracerPid: %ld", &tracer) == 1)
            break;
    std::fclose(status);
    return tracer != 0;
}

} // namespace

void writeDebugText(const char *text, size_t bytes)
{
    static const bool listening = debuggerListens();
    if (!listening)
        return;
    while (bytes > 0) {
        const ssize_t n = ::write(STDERR_FILENO, text, bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // nowhere to report a failure of the diagnostic channel
        text += n;
        bytes -= static_cast<size_t>(n);
    }
}

} // namespace podo::platform
