#pragma once

#include <cstddef>

class podoStr;

// The operating-system services the foundation's strings and process-wide
// objects need. Each platform implements these in its own folder
// (platform/linux/ here); nothing else in the foundation calls the system for them.
namespace podo::platform {

// Conversions between UTF-16 and a code page other than UTF-8. Each converts
// the whole input and returns the number of units (or bytes) it gives, writing
// them while they fit in `capacity` (out may be null to measure); -1 when the
// code page is unknown. Bytes the code page cannot decode become U+FFFD;
// characters it cannot encode become '?'.
long codePageToUtf16(int codePage, const char *in, size_t length, char16_t *out, size_t capacity);
long utf16ToCodePage(int codePage, const char16_t *in, size_t length, char *out, size_t capacity);

// True for the code pages whose text is UTF-8 on this platform (65001 and the
// "current code page" numbers).
bool isUtf8CodePage(int codePage);

// snprintf and strtod in the "C" locale, whatever locale the host has set:
// numbers always print with '.' and never with grouping.
int printC(char *buffer, size_t size, const char *format, ...);
double parseDoubleC(const char *text, char **end);

// The message the system gives for an error code, or null when it has none.
const char *systemErrorText(int code);

// Initialises the toolkit's common controls where the platform has them.
void initCommonControls();

// An opaque handle of the loaded module that contains this code.
using ModuleHandle = void *;
ModuleHandle currentModule();
// The module's file path (UTF-8); false when the system cannot tell.
bool moduleFileName(ModuleHandle module, podoStr &path);

} // namespace podo::platform
