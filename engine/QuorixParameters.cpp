// The one road of a parameter value: stored in the program, applied to the running state,
// posted to the editor; and the operations that push many stored values at once.
#include "engine/Quorix.h"

#include "editor/Quorix_Editor.h"
#include "engine/HostAutomationMap.h"
#include "engine/ParameterDecode.h"
#include "foundation/podoWnd.h"

#include <algorithm>
#include <cstring>

using namespace engine;

namespace {

constexpr const char *kErrorCaption = "Kestrane Quorix";

bool isChannel(int32_t channel) { return channel >= 0 && channel < kChannelCount; }

} // namespace

ParameterKind Quorix::classifyParameter(int32_t index, int32_t *first, int32_t *second)
{
    int32_t current = 0;
    if (index > kLastParameterIndex)
        current = getCurrentChannel();
    const Classified c = engine::classifyParameter(index, current);
    if (first)
        *first = c.first;
    if (second)
        *second = c.second;
    return c.kind;
}

ParameterKind Quorix::decodeSequencerParameter(int32_t localId, int32_t *lane, int32_t *step, int32_t *base)
{
    const SequencerId s = engine::decodeSequencerParameter(localId);
    if (lane)
        *lane = s.lane;
    if (step)
        *step = s.step;
    if (base)
        *base = s.base;
    return s.kind;
}

ParameterKind Quorix::decodeDrumParameter(int32_t localId, int32_t *key, int32_t *base)
{
    const DrumId d = engine::decodeDrumParameter(localId);
    if (key)
        *key = d.key;
    if (base)
        *base = d.base;
    return d.kind;
}

podoStr Quorix::getChannelName(int32_t channel)
{
    if (!isChannel(channel))
        return podoStr();
    char text[sizeof(ChannelSlot::name)];
    {
        podoSyncCriticalBlock lock(&instanceLock);
        copyName(text, sizeof text, programBlock.channels[channel].name);
    }
    return podoStr(text);
}

void Quorix::setChannelName(int32_t channel, const podoStr &text) { nameChannel(channel, text.getNarrow()); }

void Quorix::nameChannel(int32_t channel, const char *name)
{
    if (!isChannel(channel))
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    copyName(programBlock.channels[channel].name, sizeof(ChannelSlot::name), name);
    postEditorFloat(tag::ChannelStrip + channel, 1.0f);
}

void Quorix::markByteOrder(uint8_t *mark)
{
    if (mark) {
        *mark = getByteOrderMark();
        return;
    }
    podoSyncCriticalBlock lock(&instanceLock);
    programBlock.byteOrder = getByteOrderMark();
}

void Quorix::swapProgramByteOrder(ProgramBlock *blocks, int32_t count)
{
    if (count <= 0)
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    engine::swapProgramByteOrder(blocks ? blocks : &programBlock, blocks ? count : 1);
}

void Quorix::orderMelodyRanges(int32_t channel, const int32_t *ranges)
{
    if (!isChannel(channel) || !ranges)
        return;
    // Read all four first: the first correction writes through to the state ranges may point at.
    const int32_t keyLow = ranges[0], keyHigh = ranges[1];
    const int32_t velocityLow = ranges[2], velocityHigh = ranges[3];
    podoSyncCriticalBlock lock(&instanceLock);
    if (keyLow > keyHigh) {
        setParameterValue(parameterIndex(channel, local::KeyRangeLow), keyHigh / 127.0f);
        setParameterValue(parameterIndex(channel, local::KeyRangeHigh), keyLow / 127.0f);
    }
    if (velocityLow > velocityHigh) {
        setParameterValue(parameterIndex(channel, local::VelocityRangeLow), velocityHigh / 127.0f);
        setParameterValue(parameterIndex(channel, local::VelocityRangeHigh), velocityLow / 127.0f);
    }
}

void Quorix::orderDrumKeyRange(int32_t channel, const int32_t *range)
{
    if (!isChannel(channel) || !range)
        return;
    const int32_t low = range[0], high = range[1];
    podoSyncCriticalBlock lock(&instanceLock);
    if (low > high) {
        setParameterValue(parameterIndex(channel, local::KitKeyRangeLow), high / 127.0f);
        setParameterValue(parameterIndex(channel, local::KitKeyRangeHigh), low / 127.0f);
    }
}

void Quorix::orderChannelRanges(int32_t channel)
{
    podoSyncCriticalBlock lock(&instanceLock);
    const ChannelState &c = state.target.channels[channel];
    if (c.mode == 0) {
        const int32_t ranges[4] = {c.melody.keyRangeLow, c.melody.keyRangeHigh, c.melody.velocityRangeLow,
                                   c.melody.velocityRangeHigh};
        orderMelodyRanges(channel, ranges);
    } else if (c.mode == 1) {
        const int32_t range[2] = {c.drum.keyRangeLow, c.drum.keyRangeHigh};
        orderDrumKeyRange(channel, range);
    }
}

ProgramBlock *Quorix::getProgramBlock()
{
    podoSyncCriticalBlock lock(&instanceLock);
    return &programBlock;
}

int32_t Quorix::getCurrentChannel()
{
    podoSyncCriticalBlock lock(&instanceLock);
    const int32_t channel = programBlock.currentChannel;
    return isChannel(channel) ? channel : 0;
}

void Quorix::setCurrentChannel(int32_t channel)
{
    if (!isChannel(channel))
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    programBlock.currentChannel = channel;
}

float Quorix::getTempo()
{
    podoSyncCriticalBlock lock(&instanceLock);
    return programBlock.tempo;
}

bool Quorix::getUseHostTempo()
{
    podoSyncCriticalBlock lock(&instanceLock);
    return programBlock.useHostTempo != 0;
}

void Quorix::setParameterValue(int32_t index, float value)
{
    if (index < 0)
        return;
    if (isStoredParameter(index)) {
        // Values from outside may be anything; what is stored and applied is always 0..1.
        value = sanitizeParameterValue(value);
        podoSyncCriticalBlock lock(&instanceLock);
        programBlock.values[index] = value;
        performSideEffect(applyParameterValue(state, index, value), index);
        drumKeysStale = true; // the render compares the drum keys again
    }
    postEditorFloat(index, value);
}

void Quorix::setParameterValueAutomated(int32_t index, float value)
{
    if (isStoredParameter(index))
        value = sanitizeParameterValue(value);
    const int32_t slot = hostSlotOf(index);
    if (slot < 0) {
        setParameterValue(index, value);
        return;
    }
    // The frame's set maps the slot back to this parameter; then the host records the change.
    setParameterAutomated(slot, value);
}

float Quorix::getParameterValue(int32_t index)
{
    if (!isStoredParameter(index))
        return 0.0f;
    podoSyncCriticalBlock lock(&instanceLock);
    return programBlock.values[index];
}

void Quorix::decodeParameter(int32_t index, float value, float *asFloat, int32_t *asInteger, bool *asBoolean)
{
    int32_t mode = 0;
    if (index >= kMasterParameterCount && isStoredParameter(index)) {
        podoSyncCriticalBlock lock(&instanceLock);
        mode = state.target.channels[engine::classifyParameter(index, 0).first].mode;
    }
    const DecodedValue d = engine::decodeParameter(index, value, mode);
    if (asFloat)
        *asFloat = d.value;
    if (asInteger)
        *asInteger = d.integer;
    if (asBoolean)
        *asBoolean = d.boolean;
}

bool Quorix::setBulkLoading(bool flag)
{
    bool previous;
    {
        podoSyncCriticalBlock lock(&instanceLock);
        previous = state.bulkLoading != 0;
        state.bulkLoading = flag ? 1 : 0;
    }
    postEditorFloat(tag::BulkLoading, flag ? 1.0f : 0.0f);
    return previous;
}

void Quorix::performSideEffect(const ApplyOutcome &o, int32_t index)
{
    switch (o.effect) {
    case SideEffect::None:
        break;
    case SideEffect::StopAll:
        allSoundOff(-1, 0.0f);
        break;
    case SideEffect::StopChannel:
        allSoundOff(o.channel, 0.0f);
        break;
    case SideEffect::StopSpan:
        for (int32_t channel = o.first; channel <= o.last; ++channel)
            allSoundOff(channel, 0.0f);
        break;
    case SideEffect::ResetChannel:
        resetChannel(o.channel, 0);
        break;
    case SideEffect::DropVoices:
        dropVoices(o.channel);
        break;
    case SideEffect::ClearAllInserts:
        for (ChannelState &channel : state.target.channels)
            for (InsertEffectSlot &slot : channel.insertEffects)
                clearInsertEffect(slot);
        break;
    case SideEffect::ClearInsert:
        clearInsertEffect(state.target.channels[o.channel].insertEffects[o.slot]);
        break;
    case SideEffect::ClearSystemEffect: {
        SystemEffectSlot &slot = o.slot == 0 ? state.target.master.chorus : state.target.master.reverb;
        if (slot.effect)
            slot.effect->clear();
        break;
    }
    case SideEffect::SetInsertType: {
        InsertEffectSlot &slot = state.target.channels[o.channel].insertEffects[o.slot];
        if (slot.effect && slot.type == o.number) {
            // The type it has (a program change, a reset, a chunk): the effect stays, silenced,
            // so that nothing is made or freed on the audio thread.
            slot.effect->clear();
            break;
        }
        if (!setInsertEffectType(slot, o.number)) {
            // The slot stays empty (skipped by the renders); the program keeps the requested
            // type, so a saved song tries it again.
            slot.type = 0;
            podoStr detail;
            detail.format("%dch: IFX#%d", o.channel + 1, o.slot + 1);
            podo::showError("failed to initialize effect", detail, kErrorCaption, nullptr);
        }
        break;
    }
    case SideEffect::AssignWave:
        if (!assignWave(o.channel, o.slot, o.number))
            programBlock.values[index] = 0.0f;
        break;
    case SideEffect::OrderMelodyRanges:
    case SideEffect::OrderDrumRange:
        orderChannelRanges(o.channel);
        break;
    case SideEffect::SwitchPattern:
        switchPattern(o.channel, o.slot, o.number != 0);
        break;
    }
}

void Quorix::clearInsertEffect(InsertEffectSlot &slot)
{
    if (slot.effect)
        slot.effect->clear();
}

void Quorix::storeEngineState(int32_t, bool withSystemEffects)
{
    // One program: every program number names the current one.
    podoSyncCriticalBlock lock(&instanceLock);
    const MasterState &m = state.target.master;
    programBlock.values[master::Volume] = m.volume;
    programBlock.values[master::Tune] = m.tune;
    programBlock.values[master::Transpose] = (m.transpose + 48) / 96.0f;
    programBlock.values[master::VoiceLimit] = (m.voiceLimit - 1) / 1023.0f;
    programBlock.values[master::InsertEffectsOn] = m.insertEffectsOn ? 1.0f : 0.0f;
    programBlock.values[master::PriorityMode] = m.priorityMode ? 1.0f : 0.0f;
    programBlock.values[master::Page] = m.page * 0.25f;
    if (withSystemEffects) {
        programBlock.values[master::ChorusOn] = m.chorus.on ? 1.0f : 0.0f;
        programBlock.values[master::ReverbOn] = m.reverb.on ? 1.0f : 0.0f;
        for (int i = 0; i < CSFX::kParameterCount; ++i) {
            programBlock.values[master::ChorusFirst + i] = m.chorus.params[i];
            programBlock.values[master::ReverbFirst + i] = m.reverb.params[i];
        }
    }
}

void Quorix::pushStoredValue(int32_t index, bool force)
{
    const float value = programBlock.values[index];
    if (force)
        setParameterValue(index, value);
    else
        postEditorFloat(index, value);
}

void Quorix::pushStoredValues(int32_t first, int32_t last, bool force)
{
    const bool previous = setBulkLoading(true);
    if (force) {
        applyStoredValues(first, last);
    } else {
        for (int32_t index = first; index <= last; ++index)
            pushStoredValue(index, force);
    }
    setBulkLoading(previous);
}

void Quorix::applyStoredValues(int32_t first, int32_t last)
{
    // setParameterValue's road for a run of stored values under one hold of the lock: a program
    // change runs it on the audio thread for a whole channel.
    podoSyncCriticalBlock lock(&instanceLock);
    const bool posting = instrumentEditor != nullptr;
    drumKeysStale = true; // the render compares the drum keys again
    last = std::min(last, kLastParameterIndex);
    for (int32_t index = std::max(first, 0); index <= last; ++index) {
        // Whole sequencer lanes and drum keys at once: most of a patch's values are theirs.
        if (index >= kFirstLocalId) {
            const int32_t channel = (index - kFirstLocalId) / kChannelParameterCount;
            const int32_t localId = (index - kFirstLocalId) % kChannelParameterCount + kFirstLocalId;
            const int32_t lanePlace = localId - local::FirstLane;
            const int32_t keyPlace = localId - local::FirstInstrument;
            float values[kLaneValueCount];
            int32_t count = 0;
            if (lanePlace >= 0 && lanePlace < kSequencerLanes * local::LaneSpan && lanePlace % local::LaneSpan == 0 &&
                last - index + 1 >= kLaneValueCount) {
                count = kLaneValueCount;
                std::memcpy(values, &programBlock.values[index], sizeof(float) * kLaneValueCount);
                applyLaneValues(state, channel, lanePlace / local::LaneSpan, values);
                std::memcpy(&programBlock.values[index], values, sizeof(float) * kLaneValueCount);
            } else if (state.target.channels[channel].mode == 1 && keyPlace >= 0 &&
                       localId <= local::LastDrumKeyValue && keyPlace % kDrumKeyValues == 0 &&
                       last - index + 1 >= kDrumKeyValues) {
                count = kDrumKeyValues;
                std::memcpy(values, &programBlock.values[index], sizeof(float) * kDrumKeyValues);
                ApplyOutcome wave;
                wave.effect = SideEffect::AssignWave;
                wave.channel = channel;
                wave.slot = keyPlace / kDrumKeyValues;
                wave.number = applyDrumKeyValues(state, channel, wave.slot, values);
                std::memcpy(&programBlock.values[index], values, sizeof(float) * kDrumKeyValues);
                performSideEffect(wave, index);
            }
            if (count > 0) {
                if (posting)
                    for (int32_t v = 0; v < count; ++v)
                        postEditorFloat(index + v, values[v]);
                index += count - 1;
                continue;
            }
        }
        const float value = sanitizeParameterValue(programBlock.values[index]);
        programBlock.values[index] = value;
        const ApplyOutcome outcome = applyParameterValue(state, index, value);
        if (outcome.effect != SideEffect::None)
            performSideEffect(outcome, index);
        if (posting)
            postEditorFloat(index, value);
    }
}

void Quorix::applyProgram(bool force)
{
    podoSyncCriticalBlock lock(&instanceLock);
    if (state.bulkLoading && !force)
        return;
    applyMasterParameters(force);
    applyChannelParameters(-1, force, false);
}

void Quorix::applyMasterParameters(bool force)
{
    podoSyncCriticalBlock lock(&instanceLock);
    if (state.bulkLoading && !force)
        return;
    if (instrumentEditor)
        instrumentEditor->refreshTempoControls();
    pushStoredValues(0, kMasterParameterCount - 1, force);
}

void Quorix::applySystemEffectParameters(bool force)
{
    podoSyncCriticalBlock lock(&instanceLock);
    if (state.bulkLoading && !force)
        return;
    pushStoredValues(master::ChorusFirst, kMasterParameterCount - 1, force);
}

void Quorix::applyChannelParameters(int32_t channel, bool force, bool allDrumKeys)
{
    podoSyncCriticalBlock lock(&instanceLock);
    if (state.bulkLoading && !force)
        return;
    // A patch recall or a reset: the relative NRPNs offset from what it sets.
    if (force)
        forgetRecalledValues(channel);
    applyChannelSettings(channel, force);
    applySequencerParameters(channel, force);
    applyInstrumentParameters(channel, force, allDrumKeys);
}

void Quorix::applyChannelSettings(int32_t channel, bool force)
{
    podoSyncCriticalBlock lock(&instanceLock);
    if (state.bulkLoading && !force)
        return;
    const bool previous = setBulkLoading(true);
    for (int32_t c = 0; c < kChannelCount; ++c) {
        if (channel >= 0 && c != channel)
            continue;
        postEditorFloat(tag::ChannelStrip + c, 1.0f);
        const int32_t first = parameterIndex(c, local::Mode), last = parameterIndex(c, local::LastChannelSetting);
        if (force)
            applyStoredValues(first, last);
        else
            for (int32_t index = first; index <= last; ++index)
                pushStoredValue(index, false);
    }
    setBulkLoading(previous);
}

void Quorix::applySequencerParameters(int32_t channel, bool force)
{
    podoSyncCriticalBlock lock(&instanceLock);
    if (state.bulkLoading && !force)
        return;
    const bool previous = setBulkLoading(true);
    for (int32_t c = 0; c < kChannelCount; ++c) {
        if (channel >= 0 && c != channel)
            continue;
        const int32_t first = parameterIndex(c, local::SeqOn), last = parameterIndex(c, local::LastLane);
        if (force)
            applyStoredValues(first, last);
        else
            for (int32_t index = first; index <= last; ++index)
                pushStoredValue(index, false);
    }
    setBulkLoading(previous);
}

void Quorix::applyInstrumentParameters(int32_t channel, bool force, bool allDrumKeys)
{
    podoSyncCriticalBlock lock(&instanceLock);
    if (state.bulkLoading && !force)
        return;
    const int32_t current = getCurrentChannel();
    for (int32_t c = 0; c < kChannelCount; ++c) {
        if (channel >= 0 && c != channel)
            continue;
        const int32_t mode = state.target.channels[c].mode;
        const bool previous = setBulkLoading(true);
        if (mode == 0) {
            pushStoredValues(parameterIndex(c, local::FirstInstrument), parameterIndex(c, local::LastMelody), force);
        } else if (mode == 1) {
            if (c != current || allDrumKeys) {
                pushStoredValues(parameterIndex(c, local::FirstInstrument), parameterIndex(c, kLastLocalId), force);
            } else {
                int32_t key = programBlock.selectedDrumSlot[c];
                if (key < 0 || key >= kDrumKeys)
                    key = 0;
                postEditorBytes(tag::DrumKey + key, static_cast<uint8_t>(c), 0, 1, 0);
                const int32_t first = parameterIndex(c, local::FirstInstrument + kDrumKeyValues * key);
                pushStoredValues(first, first + kDrumKeyValues - 1, force);
                pushStoredValues(parameterIndex(c, local::KitKeyRangeLow), parameterIndex(c, local::KitMidiSelect),
                                 force);
            }
        }
        setBulkLoading(previous);
        orderChannelRanges(c);
    }
}

void Quorix::applyDrumSlots(int32_t key, bool force)
{
    podoSyncCriticalBlock lock(&instanceLock);
    if (state.bulkLoading && !force)
        return;
    const int32_t c = getCurrentChannel();
    const int32_t firstKey = key < 0 ? 0 : key;
    const int32_t lastKey = key < 0 ? kDrumKeys - 1 : key;
    if (firstKey >= kDrumKeys)
        return;
    pushStoredValues(parameterIndex(c, local::FirstInstrument + kDrumKeyValues * firstKey),
                     parameterIndex(c, local::FirstInstrument + kDrumKeyValues * (lastKey + 1)) - 1, force);
}
