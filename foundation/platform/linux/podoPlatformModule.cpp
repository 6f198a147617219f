#include "foundation/platform/podoPlatform.h"

#include "foundation/podoStr.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>

namespace podo::platform {

const char *systemErrorText(int code)
{
    // Unlike strerror, this gives null for a code the system does not know.
    return strerrordesc_np(code);
}

void initCommonControls()
{
    // The toolkit here needs no process-wide initialisation.
}

ModuleHandle currentModule()
{
    // The load address of the executable or shared object holding this function.
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&currentModule), &info))
        return nullptr;
    return info.dli_fbase;
}

bool moduleFileName(ModuleHandle module, podoStr &path)
{
    if (!module)
        return false;
    // The mapping that starts at the module's load address names its file
    // with an absolute path, whatever path the module was loaded by.
    if (FILE *maps = fopen("/proc/self/maps", "re")) {
        char line[4096 + 128];
        bool found = false;
        while (!found && fgets(line, sizeof line, maps)) {
            unsigned long long start = 0, end = 0;
            int pathAt = 0;
            if (sscanf(line, "%llx-%llx %*s %*s %*s %*s %n", &start, &end, &pathAt) < 2 || !pathAt)
                continue;
            if (start != reinterpret_cast<uintptr_t>(module) || line[pathAt] != '/')
                continue;
            line[strcspn(line, "\n")] = 0;
            path.setNarrow(line + pathAt, -1);
            found = true;
        }
        fclose(maps);
        if (found)
            return true;
    }
    Dl_info info{};
    if (!dladdr(module, &info) || !info.dli_fname || !*info.dli_fname)
        return false;
    path.setNarrow(info.dli_fname, -1);
    return true;
}

} // namespace podo::platform
