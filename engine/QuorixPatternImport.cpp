#include "editor/PatternMidiImport.h"
#include "engine/Quorix.h"

int32_t Quorix::importPatternMidiFile(const podoStr &path, int32_t channel, int32_t lane)
{
    if (channel < 0 || channel >= engine::kChannelCount)
        return 1;
    // No block renders while the steps change.
    podoSyncCriticalBlock lock(&instanceLock);
    return importPatternMidi(path, state.target.channels[channel], lane);
}
