#include "engine/ParameterApply.h"

#include "engine/ParameterDecode.h"
#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"

namespace engine {

namespace {

ApplyOutcome none() {
    return {};
}

ApplyOutcome onChannel(SideEffect effect, int32_t channel, int32_t slot = 0, int32_t number = 0) {
    ApplyOutcome o;
    o.effect = effect;
    o.channel = channel;
    o.slot = slot;
    o.number = number;
    return o;
}

bool sounding(const EngineState& s, int32_t c) {
    return s.play[c].heldKeyCount != 0 || s.play[c].voiceCount != 0;
}

// "Stop if sounding": a single change that would leave notes under the old setting.
ApplyOutcome stopIfSounding(const EngineState& s, int32_t c) {
    if (sounding(s, c) && !s.bulkLoading)
        return onChannel(SideEffect::StopChannel, c);
    return none();
}

// A pattern player's switch: a single change stops a sounding channel; where nothing stops (under
// bulk loading) a change still settles the notes it leaves without an owner, and switching off
// always forgets the pattern's keys.
ApplyOutcome switchPattern(const EngineState& s, int32_t c, bool wasOn, bool on, int32_t which) {
    const ApplyOutcome stop = stopIfSounding(s, c);
    if (stop.effect != SideEffect::None || wasOn == on || (on && !sounding(s, c)))
        return stop;
    return onChannel(SideEffect::SwitchPattern, c, which, on ? 1 : 0);
}

ApplyOutcome applyMaster(EngineState& s, int32_t index, const DecodedValue& d) {
    MasterState& m = s.target.master;
    switch (index) {
    case master::Volume: m.volume = d.value; break;
    case master::Tune: m.tune = d.value; break;
    case master::Transpose:
    case master::VoiceLimit:
        if (index == master::Transpose)
            m.transpose = d.integer;
        else
            m.voiceLimit = d.integer;
        if (s.heldNotes.count != 0 && !s.bulkLoading)
            return onChannel(SideEffect::StopAll, -1);
        break;
    case master::InsertEffectsOn: {
        // Cleared when the switch turns on, not when "on" is written again: a host re-sending
        // its automation must not cut the tails.
        const bool wasOn = m.insertEffectsOn != 0;
        m.insertEffectsOn = d.boolean;
        if (d.boolean && !wasOn)
            return onChannel(SideEffect::ClearAllInserts, -1);
        break;
    }
    case master::PriorityMode: m.priorityMode = d.boolean; break;
    case master::Page: m.page = d.integer; break;
    case master::ChorusOn:
    case master::ReverbOn: {
        SystemEffectSlot& slot = index == master::ChorusOn ? m.chorus : m.reverb;
        const bool wasOn = slot.on != 0;
        slot.on = d.boolean;
        if (d.boolean && !wasOn)
            return onChannel(SideEffect::ClearSystemEffect, -1, index - master::ChorusOn);
        break;
    }
    default:
        if (index >= master::ChorusFirst && index < master::ReverbFirst)
            m.chorus.params[index - master::ChorusFirst] = d.value;
        else if (index >= master::ReverbFirst && index < kMasterParameterCount)
            m.reverb.params[index - master::ReverbFirst] = d.value;
        break;
    }
    return none();
}

ApplyOutcome applyChannelSetting(EngineState& s, int32_t c, int32_t id, const DecodedValue& d) {
    ChannelState& ch = s.target.channels[c];
    switch (id) {
    case local::Mode:
        if (d.integer != ch.mode) {
            ch.mode = d.integer;
            // A voice started under one layout must never be rendered under the other, not
            // even while a program loads.
            return onChannel(s.bulkLoading ? SideEffect::DropVoices : SideEffect::ResetChannel, c);
        }
        break;
    case local::On:
        if (d.boolean != (ch.on != 0)) {
            ch.on = d.boolean;
            if (!d.boolean && !s.bulkLoading)
                return onChannel(SideEffect::ResetChannel, c);
        }
        break;
    case local::Link:
        if (d.boolean) {
            ch.link = 1;
        } else {
            ApplyOutcome o = none();
            if (sounding(s, c)) {
                o = onChannel(SideEffect::StopSpan, c);
                linkedChannelSpan(s.target, c, &o.first, &o.last);
            }
            ch.link = 0;
            return o;
        }
        break;
    case local::Volume: ch.volume = d.value; break;
    case local::Pan: ch.pan = d.value; break;
    case local::VoiceLimit:
    case local::Transpose:
        if (id == local::VoiceLimit)
            ch.voiceLimit = d.integer;
        else
            ch.transpose = d.integer;
        if (s.play[c].voiceCount != 0 && !s.bulkLoading)
            return onChannel(SideEffect::StopChannel, c);
        break;
    case local::OutputBus: ch.outputBus = d.integer; break;
    case local::ChorusSend: ch.chorusSend = d.value; break;
    case local::ReverbSend: ch.reverbSend = d.value; break;
    case local::InsertOn:
    case local::InsertOn + 1: {
        const int32_t n = id - local::InsertOn;
        InsertEffectSlot& slot = ch.insertEffects[n];
        const bool wasOn = slot.on != 0;
        slot.on = d.boolean;
        if (d.boolean && !wasOn)
            return onChannel(SideEffect::ClearInsert, c, n);
        break;
    }
    case local::InsertType:
    case local::InsertType + 1:
        return onChannel(SideEffect::SetInsertType, c, id - local::InsertType, d.integer);
    default:
        if (id >= local::InsertParams && id <= local::LastChannelSetting) {
            const int32_t n = (id - local::InsertParams) / 3;
            ch.insertEffects[n].params[(id - local::InsertParams) % 3] = d.value;
        }
        break;
    }
    return none();
}

ApplyOutcome applySequencerSetting(EngineState& s, int32_t c, int32_t id, const DecodedValue& d) {
    ChannelState& ch = s.target.channels[c];
    switch (id) {
    case local::SeqOn: {
        const bool wasOn = ch.seqOn != 0;
        ch.seqOn = d.boolean;
        return switchPattern(s, c, wasOn, d.boolean, 0);
    }
    case local::SeqNoteOrder:
        // The keys already held take the new order at the next step.
        ch.seqNoteOrder = d.integer;
        s.play[c].seqOrderValid = 0;
        break;
    case local::SeqRate: ch.seqRate = d.integer; break;
    case local::SeqTriplet: ch.seqTriplet = d.boolean; break;
    case local::SeqSwing: ch.seqSwing = d.value; break;
    case local::SeqLength: ch.seqLength = d.integer; break;
    case local::SeqPart: ch.seqPart = d.integer; break;
    case local::SeqSync: ch.seqSync = d.integer; break;
    case local::SeqLatch:
        ch.seqLatch = d.boolean;
        if (!d.boolean)
            return stopIfSounding(s, c);
        break;
    case local::SeqRootPitch: ch.seqRootPitch = d.integer; break;
    case local::SeqVelocityAmount: ch.seqVelocityAmount = d.value; break;
    default: break;
    }
    return none();
}

void applyLane(EngineState& s, int32_t c, int32_t id, const DecodedValue& d) {
    const SequencerId q = decodeSequencerParameter(id);
    SequencerLane& lane = s.target.channels[c].lanes[q.lane];
    switch (q.base) {
    case local::LaneOn: lane.on = d.boolean; break;
    case local::LaneBase: lane.base = d.integer; break;
    case local::StepNote: lane.steps[q.step].note = d.integer; break;
    case local::StepVolume: lane.steps[q.step].velocity = d.value; break;
    default: break;
    }
}

ApplyOutcome applyMelody(EngineState& s, int32_t c, int32_t id, const DecodedValue& d) {
    MelodyState& m = s.target.channels[c].melody;
    ChannelPlayState& play = s.play[c];
    switch (id) {
    case local::KeyRangeLow: m.keyRangeLow = d.integer; break;
    case local::KeyRangeHigh: m.keyRangeHigh = d.integer; break;
    case local::VelocityRangeLow: m.velocityRangeLow = d.integer; break;
    case local::VelocityRangeHigh: m.velocityRangeHigh = d.integer; break;
    case local::GlideTime: m.glideTime = d.value; break;
    case local::GlideAuto: m.glideAuto = d.boolean; break;
    case local::PitchBendRange: m.pitchBendRange = d.integer; break;
    case local::LfoWave:
        m.lfoWave = d.integer;
        play.lfoDisplay = 0.0f;
        play.lfoDisplayScaled = 0.0f;
        play.lfoHeldRandom = 0.0f;
        break;
    case local::LfoRate: m.lfoRate = d.value; break;
    case local::LfoKeySync: m.lfoKeySync = d.boolean; break;
    case local::LfoBpmSync: m.lfoBpmSync = d.boolean; break;
    case local::LfoLevel: m.lfoLevel = d.value; break;
    case local::LfoDelayTime: m.lfoDelayTime = d.value; break;
    case local::LfoAttackTime: m.lfoAttackTime = d.value; break;
    case local::OscWave:
    case local::OscWave + 1:
        return onChannel(SideEffect::AssignWave, c, id - local::OscWave, d.integer);
    case local::OscSemitone:
    case local::OscSemitone + 1: m.oscillators[id - local::OscSemitone].semitone = d.integer; break;
    case local::OscFinetone:
    case local::OscFinetone + 1: m.oscillators[id - local::OscFinetone].finetone = d.value; break;
    case local::OscMix: m.oscMix = d.value; break;
    case local::OscLfoAmount: m.oscLfoAmount = d.value; break;
    case local::FilterSlope: m.filterSlope = d.integer; break;
    case local::FilterCutoff: m.filterCutoff = d.value; break;
    case local::FilterResonance: m.filterResonance = d.value; break;
    case local::FilterMix: m.filterMix = d.value; break;
    case local::FilterEnvelope: m.filterEnvelope.attack = d.value; break;
    case local::FilterEnvelope + 1: m.filterEnvelope.decay = d.value; break;
    case local::FilterEnvelope + 2: m.filterEnvelope.sustain = d.value; break;
    case local::FilterEnvelope + 3: m.filterEnvelope.release = d.value; break;
    case local::FilterEnvAmount: m.filterEnvAmount = d.value; break;
    case local::FilterEnvVelocityAmount: m.filterEnvVelocityAmount = d.value; break;
    case local::FilterLfoAmount: m.filterLfoAmount = d.value; break;
    case local::FilterKeyTracking: m.filterKeyTracking = d.value; break;
    case local::AmpEnvelope: m.ampEnvelope.attack = d.value; break;
    case local::AmpEnvelope + 1: m.ampEnvelope.decay = d.value; break;
    case local::AmpEnvelope + 2: m.ampEnvelope.sustain = d.value; break;
    case local::AmpEnvelope + 3: m.ampEnvelope.release = d.value; break;
    case local::AmpEnvVelocityAmount: m.ampEnvVelocityAmount = d.value; break;
    case local::ArpOn: {
        const bool wasOn = m.arpOn != 0;
        m.arpOn = d.boolean;
        return switchPattern(s, c, wasOn, d.boolean, 1);
    }
    case local::ArpKeySync: m.arpKeySync = d.boolean; break;
    case local::ArpGateTime: m.arpGateTime = d.value; break;
    case local::ArpLatch:
        m.arpLatch = d.boolean;
        if (!d.boolean)
            return stopIfSounding(s, c);
        break;
    case local::ArpPattern:
        m.arpPattern = d.integer;
        play.arpOrderValid = 0;
        break;
    case local::ArpRate: m.arpRate = d.integer; break;
    case local::ArpOctave:
        m.arpOctave = d.integer;
        play.arpOrderValid = 0;
        break;
    default:
        return none(); // locals 744..1,805 are stored and ignored
    }
    if (id >= local::KeyRangeLow && id <= local::VelocityRangeHigh && !s.bulkLoading)
        return onChannel(SideEffect::OrderMelodyRanges, c);
    return none();
}

ApplyOutcome applyDrum(EngineState& s, int32_t c, int32_t id, const DecodedValue& d) {
    DrumKitState& kit = s.target.channels[c].drum;
    const DrumId q = decodeDrumParameter(id);
    if (q.kind == kindInstrument) {
        if (id == local::KitMidiSelect) {
            kit.midiSelect = d.boolean;
            return none();
        }
        if (id == local::KitKeyRangeLow)
            kit.keyRangeLow = d.integer;
        else
            kit.keyRangeHigh = d.integer;
        // While a program loads, the other end may still hold the previous program's value:
        // ordering then would overwrite the value about to be loaded. Bulk writers order
        // the ranges once everything is in.
        if (!s.bulkLoading)
            return onChannel(SideEffect::OrderDrumRange, c);
        return none();
    }
    if (q.kind != kindDrumKey)
        return none();
    DrumKeyState& key = kit.drumKeys[q.key];
    switch (q.base) {
    case local::DrumWave: return onChannel(SideEffect::AssignWave, c, q.key, d.integer);
    case local::DrumReverse: key.reverse = d.boolean; break;
    case local::DrumSemitone: key.semitone = d.integer; break;
    case local::DrumFinetone: key.finetone = d.value; break;
    case local::DrumFilterCutoff: key.filterCutoff = d.value; break;
    case local::DrumFilterResonance: key.filterResonance = d.value; break;
    case local::DrumFilterVelocityAmount: key.filterVelocityAmount = d.value; break;
    case local::DrumVolume: key.volume = d.value; break;
    case local::DrumPan: key.pan = d.value; break;
    case local::DrumAttack: key.attack = d.value; break;
    case local::DrumRelease: key.release = d.value; break;
    case local::DrumHold: key.hold = d.boolean; break;
    case local::DrumAmpEnvVelocityAmount: key.ampEnvVelocityAmount = d.value; break;
    case local::DrumMuteGroup: key.muteGroup = d.integer; break;
    case local::DrumInsertBus: key.insertBus = d.integer; break;
    case local::DrumChorusSend: key.chorusSend = d.value; break;
    case local::DrumReverbSend: key.reverbSend = d.value; break;
    default: break;
    }
    return none();
}

} // namespace

void applyLaneValues(EngineState& state, int32_t channel, int32_t lane, float* values) {
    // The scales decodeParameter gives these ids: notes 100 steps from -48, bases 132.
    SequencerLane& l = state.target.channels[channel].lanes[lane];
    for (int32_t s = 0; s < kSequencerSteps; ++s) {
        const float note = values[2 * s] = sanitizeParameterValue(values[2 * s]);
        const float velocity = values[2 * s + 1] = sanitizeParameterValue(values[2 * s + 1]);
        l.steps[s].note = roundHalfAway(static_cast<double>(note) * 100) - 48;
        l.steps[s].velocity = velocity;
    }
    const float on = values[2 * kSequencerSteps] = sanitizeParameterValue(values[2 * kSequencerSteps]);
    const float base = values[2 * kSequencerSteps + 1] = sanitizeParameterValue(values[2 * kSequencerSteps + 1]);
    l.on = on >= 0.5f;
    l.base = roundHalfAway(static_cast<double>(base) * 132);
}

int32_t applyDrumKeyValues(EngineState& state, int32_t channel, int32_t key, float* values) {
    for (int32_t v = 0; v < kDrumKeyValues; ++v)
        values[v] = sanitizeParameterValue(values[v]);
    auto at = [values](int32_t base) { return values[base - local::FirstInstrument]; };
    auto scaled = [&at](int32_t base, int32_t scale, int32_t offset) {
        return roundHalfAway(static_cast<double>(at(base)) * scale) + offset;
    };
    // The scales decodeParameter gives a drum key's ids.
    DrumKeyState& k = state.target.channels[channel].drum.drumKeys[key];
    k.reverse = at(local::DrumReverse) >= 0.5f;
    k.semitone = scaled(local::DrumSemitone, 96, -48);
    k.finetone = at(local::DrumFinetone);
    k.filterCutoff = at(local::DrumFilterCutoff);
    k.filterResonance = at(local::DrumFilterResonance);
    k.filterVelocityAmount = at(local::DrumFilterVelocityAmount);
    k.volume = at(local::DrumVolume);
    k.pan = at(local::DrumPan);
    k.attack = at(local::DrumAttack);
    k.release = at(local::DrumRelease);
    k.hold = at(local::DrumHold) >= 0.5f;
    k.ampEnvVelocityAmount = at(local::DrumAmpEnvVelocityAmount);
    k.muteGroup = scaled(local::DrumMuteGroup, 2, 0);
    k.insertBus = scaled(local::DrumInsertBus, 2, 0);
    k.chorusSend = at(local::DrumChorusSend);
    k.reverbSend = at(local::DrumReverbSend);
    return scaled(local::DrumWave, 16384, 0);
}

ApplyOutcome applyParameterValue(EngineState& state, int32_t index, float x) {
    if (!isStoredParameter(index))
        return none();
    const Classified c = classifyParameter(index, 0);
    if (c.kind == kindMaster)
        return applyMaster(state, index, decodeParameter(index, x, 0));

    // Instrument values follow the channel's running mode, not its stored one.
    const int32_t mode = state.target.channels[c.first].mode;
    const DecodedValue d = decodeParameter(index, x, mode);
    switch (c.kind) {
    case kindChannelSetting: return applyChannelSetting(state, c.first, c.second, d);
    case kindSequencerSetting: return applySequencerSetting(state, c.first, c.second, d);
    case kindLane: applyLane(state, c.first, c.second, d); return none();
    case kindInstrument:
        if (mode == 0) return applyMelody(state, c.first, c.second, d);
        if (mode == 1) return applyDrum(state, c.first, c.second, d);
        return none();
    default: return none();
    }
}

} // namespace engine
