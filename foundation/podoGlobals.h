#pragma once

#include "foundation/platform/podoPlatform.h"
#include "foundation/podoStr.h"
#include "foundation/podoSyncCritical.h"

#include <cstdint>

// The foundation's process-wide objects. They are built when the module is
// loaded, before any other process-wide object of the system (so others may
// use them in their own constructors), in the order declared here, and
// destroyed in the reverse order when it is unloaded.
namespace podo {

// Its construction initialises the platform's common controls.
class initializer
{
public:
    initializer();
    virtual ~initializer();
};

// The log file's path; empty means no log file. Guarded by logLock, which
// also serialises the logger.
extern podoStr logFilePath;
extern podoSyncCritical logLock;

// Constants, never changed after load. Both forms of each are built at load,
// so reading them from any thread without a lock writes nothing.
extern const podoStr emptyString;
// The path separators; the first is the one the system adds ('/').
extern const podoStr pathSeparators;
extern const podoStr driveSeparator;
extern const int32_t pathSeparatorsLength;
extern const int32_t driveSeparatorLength;

bool isPathSeparator(char16_t c);
bool isDriveSeparator(char16_t c);
// The separator the system adds.
char16_t preferredSeparator();

// The module's handle, recorded at load; moduleInstance is the foundation's
// copy, refreshed by setModuleInstance (each plug-in instance's construction).
using ModuleHandle = platform::ModuleHandle;
extern ModuleHandle moduleInstance;
ModuleHandle setModuleInstance();
ModuleHandle getModuleInstance();

// A packed version (one part per byte, the most significant first) as dotted
// decimals: trailing zero parts dropped, at least two parts ("1.4.6", "1.0").
// The text lives in one shared buffer that each call overwrites.
const char *versionToText(uint32_t version);

} // namespace podo
