#include "foundation/podoGlobals.h"

#include <atomic>
#include <cstdio>
#include <iterator>

// Every process-wide object of the foundation is defined here, so their order
// is this file's order; the priorities put them before the process-wide
// objects of other files, which may use them while they are built.
#if defined(__GNUC__)
#define PODO_LOAD_ORDER(n) __attribute__((init_priority(200 + (n))))
#else
#define PODO_LOAD_ORDER(n)
#endif

namespace {

// Builds the form a constant was not made in, so that no reader ever has to.
struct BothForms
{
    explicit BothForms(const podoStr &s)
    {
        s.getNarrow(podo::codePageUtf8);
        s.getWide(podo::codePageUtf8);
    }
};

podo::initializer theInitializer PODO_LOAD_ORDER(1);

} // namespace

namespace podo {

initializer::initializer()
{
    platform::initCommonControls();
}

initializer::~initializer() = default;

podoStr logFilePath PODO_LOAD_ORDER(2);
podoSyncCritical logLock PODO_LOAD_ORDER(3);

namespace {
constexpr char16_t pathSeparatorsText[] = u"/\\";
constexpr char16_t driveSeparatorText[] = u":";
} // namespace

const podoStr emptyString PODO_LOAD_ORDER(4)("");
const podoStr pathSeparators PODO_LOAD_ORDER(5)(pathSeparatorsText);
const podoStr driveSeparator PODO_LOAD_ORDER(6)(driveSeparatorText);
// Constant-initialised, so they are right even before any constructor runs.
const int32_t pathSeparatorsLength = std::size(pathSeparatorsText) - 1;
const int32_t driveSeparatorLength = std::size(driveSeparatorText) - 1;

} // namespace podo

namespace {

BothForms emptyStringForms PODO_LOAD_ORDER(7)(podo::emptyString);
BothForms pathSeparatorsForms PODO_LOAD_ORDER(8)(podo::pathSeparators);
BothForms driveSeparatorForms PODO_LOAD_ORDER(9)(podo::driveSeparator);

struct ModuleRecord
{
    podo::ModuleHandle handle = podo::platform::currentModule();
};

ModuleRecord recordedModule PODO_LOAD_ORDER(10);

} // namespace

namespace podo {

ModuleHandle moduleInstance = nullptr;

bool isPathSeparator(char16_t c)
{
    const char16_t *separators = pathSeparators.getWide(codePageUtf8);
    for (int32_t i = 0; i < pathSeparatorsLength; ++i)
        if (c == separators[i])
            return true;
    return false;
}

bool isDriveSeparator(char16_t c)
{
    const char16_t *separators = driveSeparator.getWide(codePageUtf8);
    for (int32_t i = 0; i < driveSeparatorLength; ++i)
        if (c == separators[i])
            return true;
    return false;
}

char16_t preferredSeparator()
{
    return pathSeparators.getWide(codePageUtf8)[0];
}

// Every new instance sets it while others may read it: the accesses are atomic.
ModuleHandle setModuleInstance()
{
    std::atomic_ref<ModuleHandle>(moduleInstance).store(recordedModule.handle);
    return recordedModule.handle;
}

ModuleHandle getModuleInstance()
{
    return std::atomic_ref<ModuleHandle>(moduleInstance).load();
}

const char *versionToText(uint32_t version)
{
    // Four parts of up to three digits, three dots and the terminator.
    static char text[16];
    const unsigned parts[4] = {version >> 24, version >> 16 & 0xFF, version >> 8 & 0xFF, version & 0xFF};
    int significant = 0;
    for (int i = 1; i < 4; ++i)
        if (parts[i])
            significant = i + 1;
    const int least = significant > 2 ? significant : 2;
    int written = 0, at = 0;
    for (int i = 0; i < 4; ++i) {
        if (!parts[i] && written >= least)
            break;
        at += snprintf(text + at, sizeof text - size_t(at), i ? ".%u" : "%u", parts[i]);
        ++written;
    }
    return text;
}

} // namespace podo
