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
