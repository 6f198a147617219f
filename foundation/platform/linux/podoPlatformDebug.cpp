#include "foundation/platform/podoPlatformDebug.h"

#include <cerrno>
#include <unistd.h>

namespace podo::platform {

void writeDebugText(const char *text, size_t bytes)
{
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
