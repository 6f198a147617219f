// MIDI channel messages: routing to the linked span, notes, controllers, pedals, RPN and NRPN,
// pitch bend, pressure and program change. Runs on the audio thread from the block render (or
// on the thread of a "load" host command) under instanceLock and engineSharedLock.
#include "engine/Quorix.h"

#include "banks/PatchBanks.h"
#include "engine/ParameterIndex.h"
#include "engine/VoiceRender.h"

#include <algorithm>
#include <cmath>
#include <iterator>

using namespace engine;

namespace {

constexpr int32_t kNoParameterNumber = 0x7F7F;

// The GS NRPNs (MSB 1) whose data is an offset from the patch's setting, 64 meaning none, and
// the melody parameter each moves. Vibrato depth is offset in its parameter's square-root scale.
struct RelativeNrpn {
    int32_t number;
    int32_t localId;
};
constexpr RelativeNrpn kRelativeNrpnTable[] = {
    {0x0108, local::LfoRate},       {0x0109, local::OscLfoAmount},       {0x010A, local::LfoDelayTime},
    {0x0120, local::FilterCutoff},  {0x0121, local::FilterResonance},    {0x0163, local::AmpEnvelope},
    {0x0164, local::AmpEnvelope + 1}, {0x0166, local::AmpEnvelope + 3},
};

// What the sound controllers 71..78 drive in the factory set: resonance, release, attack, cutoff,
// decay, vibrato rate, depth and delay.
constexpr int32_t kSoundControllerTargets[] = {
    local::FilterResonance, local::AmpEnvelope + 3, local::AmpEnvelope, local::FilterCutoff,
    local::AmpEnvelope + 1, local::LfoRate,         local::OscLfoAmount, local::LfoDelayTime,
};

} // namespace

void Quorix::dispatchMidiBytes(const uint8_t *bytes)
{
    if (!bytes)
        return;
    handleMidiMessage(bytes[0] & 0x0F, bytes[0] & 0xF0, static_cast<int8_t>(bytes[1]), static_cast<int8_t>(bytes[2]));
}

void Quorix::handleMidiMessage(int32_t channel, int32_t type, int32_t d1, int32_t d2)
{
    // Data bytes index tables below: anything but 7 bits is taken as its low 7 bits. Status
    // 0xF0 and above are system messages, not channel messages.
    channel &= 0x0F;
    type &= 0xF0;
    if (type < 0x80 || type >= 0xF0)
        return;
    d1 &= 0x7F;
    d2 &= 0x7F;

    podoSyncCriticalBlock lock(&instanceLock);
    EngineReadBlock shared(engineSharedLock());
    const int32_t midiChannel = channel;
    if (state.target.master.priorityMode)
        channel = getCurrentChannel();
    int32_t first = channel, last = channel;
    getLinkedChannelSpan(channel, &first, &last);
    if (type == 0xB0 && state.controllers[channel].channelOnly && d1 != 126 && d1 != 127)
        first = last = channel;
    for (int32_t c = first; c <= last; ++c)
        postEditorValue(tag::ChannelActivity + c, 0);

    const int32_t current = getCurrentChannel();
    int32_t source = -1;
    float value = 0.0f;
    switch (type) {
    case 0x90:
        if (d2 >= 1) {
            noteOn(first, last, d1, d2, 0, 0, 0, -1);
            noteSpans[midiChannel][d1] = static_cast<uint16_t>(first * 16 + last + 1);
            notedChannels[midiChannel] |= static_cast<uint16_t>(((2u << last) - 1) & ~((1u << first) - 1));
            source = kSourceNoteOnVelocity;
            value = d2 / 127.0f;
            break;
        }
        [[fallthrough]];
    case 0x80: {
        // A note stops where its note-on sent it, whatever Priority Mode or the edited channel
        // has become since.
        int32_t from = first, to = last;
        if (const int32_t span = noteSpans[midiChannel][d1]) {
            from = (span - 1) / 16;
            to = (span - 1) % 16;
            noteSpans[midiChannel][d1] = 0;
        }
        noteOff(from, to, d1, 0);
        source = kSourceNoteOffVelocity;
        value = d2 / 127.0f;
        break;
    }
    case 0xA0:
        source = kSourceAftertouch;
        value = d2 / 127.0f;
        break;
    case 0xD0:
        source = kSourceAftertouch;
        value = d1 / 127.0f;
        break;
    case 0xE0: {
        const int32_t bend = d2 * 128 + d1;
        for (int32_t c = first; c <= last; ++c)
            state.controllers[c].pitchBend = bend;
        if (current >= first && current <= last)
            postEditorFloat(tag::PitchWheel, bend / 16384.0f);
        source = kSourcePitchBend;
        value = bend / 16384.0f;
        break;
    }
    case 0xC0: {
        if (!sharedConfiguration().programChangeOn)
            return;
        const ControllerState &controller = state.controllers[channel];
        int32_t number = 0;
        int32_t program = d1;
        if (controller.bankMsb == 127) {
            number = controller.bankLsb;
        } else if (controller.rhythmPart) {
            number = 1;
            program = drumKitSlotOfProgram(program);
        }
        recallProgram(channel, number, program);
        return; // program changes are not learned or assigned
    }
    case 0xB0:
        if (d1 == 120 || d1 == 123)
            stopNotesOf(midiChannel, first, last, d1);
        else
            controlChange(channel, first, last, d1, d2);
        // Bank select and the channel mode messages are not learned or assigned; Local (122) does
        // nothing here of its own, so it stays free for learning.
        if (d1 == 0 || d1 == 32 || (d1 >= 120 && d1 != 122))
            return;
        source = d1;
        value = d1 == 64 ? (d2 >= 64 ? 1.0f : 0.0f) : d2 / 127.0f;
        break;
    default:
        return;
    }
    if (source >= 0)
        applyControllerAssignments(source, value, first, last);
}

void Quorix::controlChange(int32_t channel, int32_t first, int32_t last, int32_t controller, int32_t x)
{
    switch (controller) {
    case 0:
        state.controllers[channel].bankMsb = x;
        return;
    case 32:
        state.controllers[channel].bankLsb = x;
        return;
    case 1: {
        const float v = x / 127.0f;
        for (int32_t c = first; c <= last; ++c)
            state.controllers[c].modulation = static_cast<int32_t>(v);
        const int32_t current = getCurrentChannel();
        if (current >= first && current <= last)
            postEditorFloat(tag::ModulationWheel, v);
        return;
    }
    case 6:
        for (int32_t c = first; c <= last; ++c)
            state.controllers[c].dataEntryMsb = x;
        dataEntry(first, last, 0);
        return;
    case 38:
        dataEntry(first, last, x);
        return;
    case 7:
        for (int32_t c = first; c <= last; ++c)
            state.controllers[c].volumeTarget = static_cast<float>(x);
        return;
    case 10:
        for (int32_t c = first; c <= last; ++c)
            state.controllers[c].panTarget = static_cast<float>(x);
        return;
    case 11:
        for (int32_t c = first; c <= last; ++c)
            state.controllers[c].expressionTarget = static_cast<float>(x);
        return;
    case 64:
        for (int32_t c = first; c <= last; ++c)
            state.controllers[c].damper = x >= 64 ? 1 : 0;
        return;
    case 66:
        // Pressing the pedal holds the notes whose keys are down at that moment; releasing it
        // lets them all go.
        for (int32_t c = first; c <= last; ++c) {
            ControllerState &cs = state.controllers[c];
            if (cs.sostenuto == x)
                continue;
            if ((cs.sostenuto == 0 || x == 0) && state.target.channels[c].on) {
                ChannelPlayState &play = state.play[c];
                for (int32_t i = 0; i < play.voiceCount; ++i) {
                    VoiceRecord &v = play.voices[i];
                    if (x == 0)
                        v.sostenutoHeld = 0;
                    else if ((v.flags & kVoiceKeyHeld) && !isFading(v))
                        v.sostenutoHeld = 1;
                }
            }
            cs.sostenuto = x;
        }
        return;
    case 98:
    case 99:
    case 100:
    case 101:
        for (int32_t c = first; c <= last; ++c) {
            ControllerState &cs = state.controllers[c];
            if (controller == 98)
                cs.nrpn = (cs.nrpn & 0x7F00) + x;
            else if (controller == 99)
                cs.nrpn = (cs.nrpn & 0x7F) + x * 256;
            else if (controller == 100)
                cs.rpn = (cs.rpn & 0x7F00) + x;
            else
                cs.rpn = (cs.rpn & 0x7F) + x * 256;
            if (controller <= 99)
                cs.rpn = kNoParameterNumber;
            else
                cs.nrpn = kNoParameterNumber;
            cs.dataEntryMsb = 0;
        }
        return;
    case 120:
    case 123:
        stopNotesOf(channel, first, last, controller);
        return;
    case 121:
        for (int32_t c = first; c <= last; ++c)
            resetControllers(c, 1);
        return;
    case 124:
    case 125:
        if (sharedConfiguration().omniOn)
            setParameterValue(master::PriorityMode, controller == 124 ? 1.0f : 0.0f);
        return;
    case 126:
    case 127:
        for (int32_t c = first; c <= last; ++c)
            state.controllers[c].channelOnly = controller == 127 ? 1 : 0;
        return;
    default:
        return;
    }
}

void Quorix::stopNotesOf(int32_t midiChannel, int32_t first, int32_t last, int32_t controller)
{
    // The span the message is routed to, and every channel a note of this MIDI channel went to.
    uint32_t channels = notedChannels[midiChannel];
    for (int32_t c = first; c <= last; ++c)
        channels |= 1u << c;
    notedChannels[midiChannel] = 0;
    std::fill(std::begin(noteSpans[midiChannel]), std::end(noteSpans[midiChannel]), uint16_t{0});
    for (int32_t c = 0; c < kChannelCount; ++c) {
        if (!(channels & (1u << c)))
            continue;
        if (controller == 120)
            resetChannel(c, 0);
        else
            allSoundOff(c, 0.0f);
    }
}

void Quorix::dataEntry(int32_t first, int32_t last, int32_t lsb)
{
    const ConfigurationBlock &configuration = sharedConfiguration();
    for (int32_t c = first; c <= last; ++c) {
        const ControllerState &cs = state.controllers[c];
        const bool melody = state.target.channels[c].mode == 0;
        const bool drum = state.target.channels[c].mode == 1;
        const int32_t msb = cs.dataEntryMsb;
        int32_t target = -1;
        float value = 0.0f;
        if (configuration.rpnOn) {
            switch (cs.rpn) {
            case 0: // pitch bend sensitivity
                if (melody) {
                    target = local::PitchBendRange;
                    value = msb / 24.0f;
                }
                break;
            case 2: // coarse tuning
                target = local::Transpose;
                value = (msb - 16) / 96.0f;
                break;
            case 5: // modulation depth range
                if (melody) {
                    target = local::OscLfoAmount;
                    value = std::sqrt((msb * 128 + lsb) / 4096.0f);
                }
                break;
            default:
                break;
            }
        }
        if (configuration.nrpnOn) {
            const int32_t n = cs.nrpn;
            if (melody) {
                if (n == 0x0165) {
                    target = local::AmpEnvelope + 2;
                    value = msb / 127.0f;
                }
                for (int32_t slot = 0; slot < kRelativeNrpns; ++slot) {
                    if (kRelativeNrpnTable[slot].number == n) {
                        target = kRelativeNrpnTable[slot].localId;
                        value = relativeNrpnValue(c, slot, msb);
                    }
                }
            } else if (drum) {
                const int32_t key = (n & 0x7F) - 24;
                if (key >= 0 && key < kDrumKeys) {
                    const int32_t keyBase = kDrumKeyValues * key;
                    switch (n >> 8) {
                    case 0x18: target = local::DrumSemitone + keyBase; value = (msb - 16) / 96.0f; break;
                    case 0x19: target = local::DrumFinetone + keyBase; value = msb / 127.0f; break;
                    case 0x14: target = local::DrumFilterCutoff + keyBase; value = msb / 127.0f; break;
                    case 0x15: target = local::DrumFilterResonance + keyBase; value = msb / 127.0f; break;
                    case 0x1A: target = local::DrumVolume + keyBase; value = msb / 127.0f; break;
                    case 0x1C: target = local::DrumPan + keyBase; value = msb / 127.0f; break;
                    case 0x16: target = local::DrumAttack + keyBase; value = msb / 127.0f; break;
                    case 0x17: target = local::DrumRelease + keyBase; value = msb / 127.0f; break;
                    case 0x1E: target = local::DrumChorusSend + keyBase; value = msb / 127.0f; break;
                    case 0x1D: target = local::DrumReverbSend + keyBase; value = msb / 127.0f; break;
                    default: break;
                    }
                }
            }
        }
        if (target >= 0)
            setParameterValue(parameterIndex(c, target), std::clamp(value, 0.0f, 1.0f));
    }
}

void Quorix::forgetRecalledValues(int32_t channel)
{
    if (channel < 0)
        recalledValid = 0;
    else if (channel < kChannelCount)
        recalledValid &= ~(1u << channel);
}

float Quorix::relativeNrpnValue(int32_t channel, int32_t slot, int32_t msb)
{
    static_assert(std::size(kRelativeNrpnTable) == kRelativeNrpns);
    const uint32_t bit = 1u << channel;
    if (!(recalledValid & bit)) {
        for (int32_t i = 0; i < kRelativeNrpns; ++i)
            recalledValues[channel][i] = programBlock.values[parameterIndex(channel, kRelativeNrpnTable[i].localId)];
        recalledValid |= bit;
    }
    return std::clamp(recalledValues[channel][slot] + (msb - 64) / 128.0f, 0.0f, 1.0f);
}

int32_t Quorix::soundControllerSlot(int32_t source, int32_t localId, const ControllerAssignment &entry)
{
    constexpr int32_t first = 71;
    if (source < first || source >= first + static_cast<int32_t>(std::size(kSoundControllerTargets)))
        return -1;
    if (kSoundControllerTargets[source - first] != localId || entry.min != 0.0f || entry.max != 1.0f ||
        entry.reversed)
        return -1;
    for (int32_t slot = 0; slot < kRelativeNrpns; ++slot)
        if (kRelativeNrpnTable[slot].localId == localId)
            return slot;
    return -1;
}

void Quorix::resetControllers(int32_t channel, uint8_t keepOthers)
{
    int32_t first = 0, last = 0;
    if (!namedChannels(channel, first, last))
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    for (int32_t c = first; c <= last; ++c) {
        ControllerState &cs = state.controllers[c];
        if (!keepOthers) {
            cs = ControllerState{};
            cs.rhythmPart = c == 9 ? 1 : 0;
            cs.channelOnly = 0;
            recalledSendsValid &= ~(1u << c);
        }
        cs.pitchBend = 8192;
        // Through the handler, so linked channels, the bend display and bend assignments follow.
        handleMidiMessage(c, 0xE0, 0, 64);
        cs.volumeCurrent = cs.volumeTarget = 100.0f;
        cs.panCurrent = cs.panTarget = 64.0f;
        cs.expressionCurrent = cs.expressionTarget = 127.0f;
        cs.sostenuto = 0;
        cs.damper = 0;
        cs.nrpn = kNoParameterNumber;
        cs.rpn = kNoParameterNumber;
        cs.dataEntryMsb = 0;
    }
}

void Quorix::recallProgram(int32_t channel, int32_t bankNumber, int32_t program)
{
    if (bankNumber < 0 || bankNumber >= banks::kBankNumberCount || !patchCategories)
        return;
    const int32_t category = patchCategoryIndex[bankNumber];
    if (category < 0 || category >= numPatchCategories)
        return;
    if (program < 0 || program >= patchCategories[category].numPatches)
        return;
    recallPatchHere(channel, category, program);
}
