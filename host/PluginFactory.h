// The one seam between the module entry and the instrument behind it.
#pragma once

#include "host/vst24abi.h"

class podoVST;

// Allocates and constructs one instrument with the host callback; the entry checks the instance's
// construction flag afterwards. Defined once, by the instrument's side of the build.
podoVST *createPluginInstance(audioMasterCallback audioMaster);

// The module entry's work: ask the host's version, build one instance, hand out its record or, when
// construction failed, destroy it and answer null. Exported under two names by the module.
AEffect *pluginEntry(audioMasterCallback audioMaster);
