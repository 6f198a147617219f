// The module's only exports: VSTPluginMain, and the same function again as `main`, which many Linux
// hosts look for. Everything else in the module is hidden (see Quorix.map).
#include "host/PluginFactory.h"

extern "C" __attribute__((visibility("default"))) AEffect *VSTPluginMain(audioMasterCallback audioMaster)
{
    return pluginEntry(audioMaster);
}

// `main` cannot be declared as an ordinary function in C++; the asm label gives the symbol its name.
extern "C" __attribute__((visibility("default"))) AEffect *quorixMainEntry(audioMasterCallback audioMaster)
    __asm__("main");

AEffect *quorixMainEntry(audioMasterCallback audioMaster) { return pluginEntry(audioMaster); }
