#include "engine/EngineState.h"

#include <cstring>

namespace engine {

void clearEngineState(EngineState& state) {
    std::memset(static_cast<void*>(&state), 0, sizeof state);
    for (ChannelState& channel : state.target.channels) {
        channel.melody.pitchBendRange = 2;
        channel.melody.oscKeyFollow[0] = 1;
        channel.melody.oscKeyFollow[1] = 1;
    }
}

void settleSmoothedImage(EngineState& state) {
    EngineImage& smoothed = state.smoothed;
    const EngineImage& target = state.target;
    CSFX* const chorus = smoothed.master.chorus.effect;
    CSFX* const reverb = smoothed.master.reverb.effect;
    smoothed.master = target.master;
    smoothed.master.chorus.effect = chorus;
    smoothed.master.reverb.effect = reverb;
    for (int32_t c = 0; c < kChannelCount; ++c) {
        ChannelState& channel = smoothed.channels[c];
        CIFX* effects[kInsertSlotsPerChannel];
        for (int32_t i = 0; i < kInsertSlotsPerChannel; ++i)
            effects[i] = channel.insertEffects[i].effect;
        channel = target.channels[c];
        for (int32_t i = 0; i < kInsertSlotsPerChannel; ++i)
            channel.insertEffects[i].effect = effects[i];
        ControllerState& controllers = state.controllers[c];
        controllers.volumeCurrent = controllers.volumeTarget;
        controllers.panCurrent = controllers.panTarget;
        controllers.expressionCurrent = controllers.expressionTarget;
    }
    state.runtime.smoothedSettled = 1;
}

void linkedChannelSpan(const EngineImage& image, int32_t channel, int32_t* first, int32_t* last) {
    if (channel < 0 || channel >= kChannelCount) {
        if (first) *first = 0;
        if (last) *last = -1;
        return;
    }
    int32_t low = channel;
    while (low > 0 && image.channels[low].link)
        --low;
    int32_t high = channel;
    while (high < kChannelCount - 1 && image.channels[high + 1].link)
        ++high;
    if (first) *first = low;
    if (last) *last = high;
}

} // namespace engine
