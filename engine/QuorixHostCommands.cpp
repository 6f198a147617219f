// The host's vendor-specific "host" commands. The frame calls this after its own handling, with
// its lock released; the commands take instanceLock and then engineSharedLock themselves.
#include "engine/Quorix.h"

#include "engine/ParameterIndex.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace engine;

namespace {

constexpr int32_t code(const char (&text)[5])
{
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(text[0])) << 24) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 16) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 8) |
                                static_cast<uint32_t>(static_cast<uint8_t>(text[3])));
}

constexpr int32_t kMaxPolyphony = kMasterVoiceLimitMax;

// The edit page shows the current channel in its own mode: the host's page command selects a channel
// that already has the page's mode (the current one, else the first) and tells the editor, so no
// channel's sound changes. Only when no channel has that mode does the current one take it.
void showChannelOfMode(Quorix &synth, int32_t mode)
{
    const int32_t current = synth.getCurrentChannel();
    if (synth.getChannelMode(current) == mode)
        return;
    for (int32_t channel = 0; channel < kChannelCount; ++channel) {
        if (synth.getChannelMode(channel) == mode) {
            synth.setCurrentChannel(channel);
            synth.postEditorFloat(tag::ChannelStrip + channel, -1.0f);
            return;
        }
    }
    synth.setParameterValue(current * kChannelParameterCount + local::Mode, float(mode));
}

} // namespace

int64_t Quorix::onVendorSpecific(int32_t index, int32_t value, void *ptr, float opt)
{
    if (index != code("host"))
        return 0;
    // The editor's zoom and page, for a host that shows (or photographs) one page at one zoom. The zoom
    // reaches the editor through its queue, like the zoom menu's choice.
    if (value == code("Zoom")) {
        if (std::isfinite(opt) && opt >= 100.0f && opt <= 300.0f)
            changeSkin(podoStr(), int32_t(opt));
        return 0;
    }
    if (value == code("Page")) {
        // 0 mixer, 1 browser, 2 sequencer, 3 melody edit, 4 drum edit, 5 setup.
        if (!std::isfinite(opt) || opt < 0.0f || opt > 5.0f)
            return 0;
        const int32_t page = int32_t(opt);
        if (page == 3 || page == 4)
            showChannelOfMode(*this, page == 4 ? 1 : 0);
        setParameterValue(master::Page, float(page <= 3 ? page : page - 1) * 0.25f);
        return 0;
    }
    if (value == code("load")) {
        // A MIDI message takes the locks it needs itself: holding the shared lock exclusively
        // here would stop every instance's render for the whole program change. A running
        // render takes it at its next block start, so that it never waits for a recall.
        if (ptr) {
            uint8_t bytes[3];
            std::memcpy(bytes, ptr, sizeof bytes);
            BlockStartJob job{[](Quorix &q, void *context) { q.dispatchMidiBytes(static_cast<const uint8_t *>(context)); },
                              bytes};
            runAtBlockStart(job);
        }
        return 0;
    }
    podoSyncCriticalBlock lock(&instanceLock);
    EngineWriteBlock shared(engineSharedLock());
    switch (value) {
    case code("Dtct"):
        state.runtime.flushEffectTails = opt >= 0.5f ? 1 : 0;
        break;
    case code("GMrs"):
        resetToGmDefault();
        break;
    case code("GSrs"):
        resetToGsDefault();
        break;
    case code("RAMs"):
        sharedConfiguration().ramOption = 1;
        break;
    case code("SetV"):
        setParameterValue(master::Volume, opt);
        break;
    case code("anof"):
        allSoundOff(-1, 0.0f);
        break;
    case code("bMtO"):
        state.runtime.foldSubOutputs = opt == 0.0f ? 1 : 0;
        break;
    case code("free"):
        // Every render reads a sample's data through the shared record, holding the shared lock
        // that this command holds exclusively: a voice whose data is gone goes silent instead of
        // reading freed memory.
        freeSamples(false);
        break;
    case code("poly"): {
        // A polyphony outside 1..1024 (or not a number) is held to it.
        const float voices = std::isfinite(opt) ? std::clamp(std::trunc(opt), 1.0f, float(kMaxPolyphony)) : 1.0f;
        setParameterValue(master::VoiceLimit, (voices - 1.0f) / float(kMaxPolyphony - 1));
        break;
    }
    default:
        break;
    }
    return 0;
}
