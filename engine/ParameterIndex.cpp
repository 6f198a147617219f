#include "engine/ParameterIndex.h"

namespace engine {

namespace {

constexpr int kFirstEditorTag = kParameterCount; // 28,641

const char* const kMasterNames[kMasterParameterCount] = {
    "Master.Volume", "Master.Tune", "Master.Transpose", "Master.Voice Limit",
    "Master.IFX.On/off", "Priority Mode", "", "SFX.Chorus.On/off", "SFX.Reverb.On/off",
    "SFX.Chorus.Rate", "SFX.Chorus.Width", "SFX.Chorus.Spread", "SFX.Chorus.Level",
    "SFX.Reverb.Pre-delay", "SFX.Reverb.Time", "SFX.Reverb.Tone", "SFX.Reverb.Level",
};

// Locals 17..47.
const char* const kChannelNames[] = {
    "Chan.Mode", "Chan.On/off", "Chan.Link", "Chan.Volume", "Chan.Pan", "Chan.Voice Limit",
    "Chan.Transpose", "Chan.Output Bus", "Chan.SFX.Chorus", "Chan.SFX.Reverb", "IFX.1.On/off",
    "IFX.2.On/off", "IFX.1.Type", "IFX.2.Type", "IFX.1.Param.1", "IFX.1.Param.2",
    "IFX.1.Param.3", "IFX.2.Param.1", "IFX.2.Param.2", "IFX.2.Param.3",
    "Seq.On", "Seq.Note Order", "Seq.Rate", "Seq.Triplet", "Seq.Swing", "Seq.Length",
    "Seq.Part", "Seq.Sync", "Seq.Latch", "Seq.Root Pitch", "Seq.Vel.Amount",
};
static_assert(sizeof(kChannelNames) / sizeof(kChannelNames[0]) == local::FirstLane - local::Mode);

// Locals 698..743 of a melody channel.
const char* const kMelodyNames[] = {
    "Key Range.Low", "Key Range.High", "Velocity Range.Low", "Velocity Range.High",
    "Glide.Time", "Glide.Auto", "Pitch Bend Range", "LFO.Wave", "LFO.Rate", "LFO.Key Sync",
    "LFO.BPM Sync", "LFO.Level", "LFO.Delay Time", "LFO.Attack Time", "Osc.1.Wave",
    "Osc.2.Wave", "Osc.1.Semitone", "Osc.2.Semitone", "Osc.1.Finetone", "Osc.2.Finetone",
    "Osc.Mix", "Osc.LFO Amount", "Filter.Slope", "Filter.Cutoff", "Filter.Resonance",
    "Filter.Mix", "Filter.Env.A", "Filter.Env.D", "Filter.Env.S", "Filter.Env.R",
    "Filter.Env.Amount", "Filter.Env.Vel.Amount", "Filter.LFO Amount", "Filter.Kbd.Tracking",
    "Amp.Env.A", "Amp.Env.D", "Amp.Env.S", "Amp.Env.R", "Amp.Env.Vel.Amount", "Arp.On/off",
    "Arp.KeySync", "Arp.GateTime", "Arp.Latch", "Arp.Pattern", "Arp.Rate", "Arp.Octave",
};
static_assert(sizeof(kMelodyNames) / sizeof(kMelodyNames[0]) == local::LastMelody - local::FirstInstrument + 1);

// Bases 698..714 of a drum key.
const char* const kDrumKeyNames[kDrumKeyValues] = {
    "Osc.Wave", "Osc.Reverse", "Osc.Semitone", "Osc.Finetone", "Filter.Cutoff",
    "Filter.Resonance", "Filter.Vel.Amount", "Amp.Volume", "Amp.Pan", "Amp.Env.A",
    "Amp.Env.R", "Amp.Env.Hold", "Amp.Env.Vel.Amount", "Mute Group", "To IFX", "SFX.Chorus",
    "SFX.Reverb",
};

const char* const kKitNames[3] = {"Key Range.Low", "Key Range.High", "MIDI Select"};

} // namespace

Classified classifyParameter(int32_t index, int32_t currentChannel) {
    if (index < kMasterParameterCount)
        return {kindMaster, 0, index};
    if (index < kFirstEditorTag) {
        const int32_t channel = (index - kFirstLocalId) / kChannelParameterCount;
        const int32_t localId = (index - kFirstLocalId) % kChannelParameterCount + kFirstLocalId;
        ParameterKind kind = kindInstrument;
        if (localId < local::SeqOn)
            kind = kindChannelSetting;
        else if (localId < local::FirstLane)
            kind = kindSequencerSetting;
        else if (localId < local::FirstInstrument)
            kind = kindLane;
        return {kind, channel, localId};
    }
    if (index <= 28645)
        return {kindEditorSpecial, 0, index};
    if (index <= 28773)
        return {kindEditorList, index - 28646, 28646};
    if (index <= 28901)
        return {kindEditorList, index - 28774, 28774};
    if (index <= 28933)
        return {kindChannelStrip, (index - 28902) % kChannelCount, index < 28918 ? 28902 : 28918};
    if (index <= 28949)
        return {kindEditorGroupA, currentChannel, index};
    if (index <= 28957)
        return {kindEditorGroupB, currentChannel, index};
    if (index <= 28965)
        return {kindEditorGroupC, currentChannel, index};
    return {kindNone, 0, index};
}

SequencerId decodeSequencerParameter(int32_t localId) {
    if (localId < local::FirstLane || localId > local::LastLane)
        return {kindNone, 0, 0, localId};
    const int32_t lane = (localId - local::FirstLane) / local::LaneSpan;
    const int32_t r = (localId - local::FirstLane) % local::LaneSpan;
    if (r < 2 * kSequencerSteps)
        return {kindStep, lane, r / 2, local::StepNote + r % 2};
    return {kindLane, lane, 0, local::FirstLane + r};
}

DrumId decodeDrumParameter(int32_t localId) {
    if (localId >= local::FirstInstrument && localId <= local::LastDrumKeyValue)
        return {kindDrumKey, (localId - local::FirstInstrument) / kDrumKeyValues,
                local::FirstInstrument + (localId - local::FirstInstrument) % kDrumKeyValues};
    if (localId >= local::KitKeyRangeLow && localId <= local::KitMidiSelect)
        return {kindInstrument, 0, localId};
    return {kindNone, 0, localId};
}

const char* parameterBaseName(int32_t index, int32_t mode) {
    if (index < 0 || index > kLastParameterIndex)
        return "";
    const Classified c = classifyParameter(index, 0);
    switch (c.kind) {
    case kindMaster:
        return kMasterNames[index];
    case kindChannelSetting:
    case kindSequencerSetting:
        return kChannelNames[c.second - local::Mode];
    case kindLane: {
        const SequencerId s = decodeSequencerParameter(c.second);
        if (s.base == local::StepNote) return "Note";
        if (s.base == local::StepVolume) return "Volume";
        return s.base == local::LaneOn ? "On" : "Base";
    }
    case kindInstrument:
        if (mode == 0)
            return c.second <= local::LastMelody ? kMelodyNames[c.second - local::FirstInstrument] : "";
        if (mode == 1) {
            const DrumId d = decodeDrumParameter(c.second);
            if (d.kind == kindDrumKey) return kDrumKeyNames[d.base - local::FirstInstrument];
            return kKitNames[c.second - local::KitKeyRangeLow];
        }
        return "";
    default:
        return "";
    }
}

} // namespace engine
