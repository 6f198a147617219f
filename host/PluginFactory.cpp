#include "host/PluginFactory.h"

#include "foundation/podoDesktop.h"
#include "host/podoVST.h"

#include <new>

AEffect *pluginEntry(audioMasterCallback audioMaster)
{
    // Without a callback there is no host to ask, and nothing to hand an instance to.
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    // The host constructs instances and opens editors on its user-interface thread: message boxes
    // wait for the user there only.
    podo::setUserInterfaceThread();
    podoVST *instance = nullptr;
    try {
        instance = createPluginInstance(audioMaster);
    } catch (const std::bad_alloc &) {
        return nullptr; // no memory for an instance: no instance
    }
    if (!instance)
        return nullptr;
    if (instance->hasConstructionFailed()) {
        delete instance;
        return nullptr;
    }
    return instance->getAeffect();
}
