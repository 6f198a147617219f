#include "foundation/platform/podoPlatform.h"

#include "foundation/podoStr.h"

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
    Dl_info info{};
    if (!module || !dladdr(module, &info) || !info.dli_fname || !*info.dli_fname)
        return false;
    path.setNarrow(info.dli_fname, -1);
    return true;
}

} // namespace podo::platform
