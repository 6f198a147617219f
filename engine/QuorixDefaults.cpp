// The default program and the General MIDI and GS resets.
#include "engine/Quorix.h"

#include "banks/PatchBanks.h"
#include "engine/DefaultProgram.h"

#include <cstddef>
#include <cstring>

using namespace engine;

namespace {

constexpr int32_t kDrumChannel = 9;

// The program's values live at odd offsets of the packed block: copy them as bytes.
uint8_t *valueBytes(ProgramBlock &block, int32_t index)
{
    return reinterpret_cast<uint8_t *>(&block) + offsetof(ProgramBlock, values) + sizeof(float) * index;
}

} // namespace

bool Quorix::buildDefaultProgram()
{
    fillDefaultProgram(defaultProgram);
    return true;
}

void Quorix::buildDefaultChannel(int32_t channel)
{
    fillDefaultChannel(defaultProgram, channel < 0 ? getCurrentChannel() : channel);
}

void Quorix::loadDefaultProgram(int32_t)
{
    // One program: every program number names the current one.
    podoSyncCriticalBlock lock(&instanceLock);
    std::memcpy(static_cast<void *>(&programBlock), &defaultProgram, sizeof programBlock);
}

void Quorix::loadDefaultChannel(int32_t channel, int32_t)
{
    podoSyncCriticalBlock lock(&instanceLock);
    if (channel < 0)
        channel = getCurrentChannel();
    if (channel >= kChannelCount)
        return;
    ChannelSlot &slot = programBlock.channels[channel];
    std::memset(slot.name, 0, sizeof slot.name);
    slot.sourceCategory = 0;
    slot.sourcePatch = -1;
    const int32_t first = parameterIndex(channel, kFirstLocalId);
    std::memcpy(valueBytes(programBlock, first), valueBytes(defaultProgram, first),
                sizeof(float) * kChannelParameterCount);
}

void Quorix::resetToGmDefault()
{
    // Held for the whole reset: no block renders a half-reset program.
    podoSyncCriticalBlock lock(&instanceLock);
    resetControllers(-1, 0);
    loadDefaultProgram(-1);
    // Volume, tune, transpose, voice limit and the switches keep their running values.
    storeEngineState(-1, false);
    applyProgram(true);
    // The first patch of category 0 on every melody channel, of category 1 (the kits) on the
    // drum channel, found by number: the user banks follow the factory categories in the table,
    // so a library without one of them must not hand the channel a user bank's patch. A missing
    // or empty category leaves the channel as the default program made it.
    for (int32_t c = 0; c < kChannelCount; ++c) {
        state.controllers[c].rhythmPart = c == kDrumChannel ? 1 : 0;
        recallPatch(c, patchCategoryIndex[c == kDrumChannel ? 1 : 0], 0);
    }
    changeProgramName("GM Default");
}

void Quorix::resetToGsDefault()
{
    podoSyncCriticalBlock lock(&instanceLock);
    const float volume = getParameterValue(master::Volume);
    resetToGmDefault();
    setParameterValue(master::Volume, volume);
}
