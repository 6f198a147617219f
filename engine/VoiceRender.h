#pragma once
// What the melody and the drum renders do alike to a voice: the fast fade of a voice whose stop
// was asked for (stealing, mute groups, the instance limit, all sound off), whether a layer's
// sample can be read at all, and the pan of the pan controller.

#include "banks/SampleBanks.h"
#include "engine/ConfigurationBlock.h"
#include "engine/EngineState.h"

#include <algorithm>

namespace engine {

// The vector instructions the voice render reads and filters with: the widest the processor has,
// chosen at load. Tests narrow them so that every path plays on a machine that has the wider ones.
enum class VoiceVectors { Sse2, Avx2, Avx512 };
VoiceVectors widestVoiceVectors();
void limitVoiceVectors(VoiceVectors widest);

// Reads steps interpolated values of a sample played forward into out, from index (1..size) and
// fraction (plus the step still to be applied), step apart; each read's position comes from the
// first, so no read waits on the one before. A loop start of 1..size loops; 0 plays once, and
// there the step becomes 0 and the return value is the read at which the sample ran out (else -1).
int readForward(const int16_t *data, int32_t size, int32_t loopStart, int32_t &index, float &fraction, float &step,
                float *out, int steps);

inline constexpr uint8_t kVoiceKeyHeld = 1;
inline constexpr uint8_t kVoiceGliding = 2;
inline constexpr uint8_t kVoiceFadeRequested = 4;
inline constexpr uint8_t kVoiceFading = 8;

inline bool isFading(const VoiceRecord &v) { return (v.flags & (kVoiceFadeRequested | kVoiceFading)) != 0; }

// Asks the render for the fast fade: the voice is silent within 16 samples, then removed.
inline void requestFade(VoiceRecord &v)
{
    v.flags |= kVoiceFadeRequested;
    v.ampEnv.state = kEnvRelease;
}

// One sub-block of n samples of a fade: output and level both reach 0 within 16 samples.
inline void advanceFade(VoiceRecord &v, int n)
{
    if ((v.flags & kVoiceFadeRequested) && !(v.flags & kVoiceFading)) {
        v.flags |= kVoiceFading;
        v.ampEnv.step = -v.ampEnv.output / 16.0f;
        v.ampEnv.level = 255.0;
    }
    v.ampEnv.level = std::max(v.ampEnv.level - 16.0 * n, 0.0);
}

// A voice whose sample ran out in this sub-block: silent now, removed by the next sweep.
inline void endVoice(VoiceRecord &v)
{
    v.flags |= kVoiceFadeRequested;
    v.level = 0.0f;
    v.ampEnv.state = kEnvRelease;
    v.ampEnv.level = 0.0;
    v.ampEnv.output = 0.0f;
    v.ampEnv.step = 0.0f;
}

// A sample a voice may read in this sub-block: the shared data can be released at any time
// between sub-blocks (the host's "free"), so this is asked every sub-block.
inline bool samplePlayable(const SampleRecord *sample) { return sample && sample->data && sample->size > 0; }

// The channel's own volume, pan and sends and its volume, expression and pan controllers at
// their targets (a controller the configuration ignores counts as settled).
inline bool channelSettled(const ChannelState &t, const ChannelState &s, const ControllerState &c,
                           const ConfigurationBlock &configuration)
{
    return s.volume == t.volume && s.pan == t.pan && s.chorusSend == t.chorusSend && s.reverbSend == t.reverbSend &&
           (!configuration.volumeOn || c.volumeCurrent == c.volumeTarget) &&
           (!configuration.expressionOn || c.expressionCurrent == c.expressionTarget) &&
           (!configuration.panOn || c.panCurrent == c.panTarget);
}

// Whether any insert effect of the channel runs (and so may still ring).
inline bool insertsActive(const ChannelState &t, const MasterState &master)
{
    if (!master.insertEffectsOn)
        return false;
    for (const InsertEffectSlot &slot : t.insertEffects)
        if (slot.on && slot.effect)
            return true;
    return false;
}

// Pan p (0..1) moved by the pan controller c (0..127, 64 centre).
inline float panMap(float p, float c)
{
    if (c < 64.0f)
        p = p * c / 64.0f;
    else if (c > 64.0f)
        p = p + (1.0f - p) * (c - 64.0f) / 64.0f;
    return p > 0.0f ? (p < 1.0f ? p : 1.0f) : 0.0f;
}

} // namespace engine
