#pragma once

#include <cstddef>

namespace podo::platform {

// The system's own place for diagnostic text (standard error here). UTF-8.
void writeDebugText(const char *text, size_t bytes);

} // namespace podo::platform
