// Single-field reads and writes of the program and the running state for the editor and the
// other engine parts: each under instanceLock for the one access, none under the shared lock.
#include "engine/Quorix.h"

#include "engine/HostAutomationMap.h"

#include <algorithm>

using namespace engine;

namespace {

bool isChannel(int32_t channel) { return channel >= 0 && channel < kChannelCount; }
bool isLane(int32_t lane) { return lane >= 0 && lane < kSequencerLanes; }
bool isStep(int32_t step) { return step >= 0 && step < kSequencerSteps; }
bool isDrumKey(int32_t key) { return key >= 0 && key < kDrumKeys; }

} // namespace

void Quorix::setTempo(float tempo)
{
    podoSyncCriticalBlock lock(&instanceLock);
    programBlock.tempo = tempo;
}

void Quorix::setUseHostTempo(bool on)
{
    podoSyncCriticalBlock lock(&instanceLock);
    programBlock.useHostTempo = on ? 1 : 0;
}

int32_t Quorix::getReturnPage()
{
    podoSyncCriticalBlock lock(&instanceLock);
    return programBlock.returnPage;
}

void Quorix::setReturnPage(int32_t page)
{
    podoSyncCriticalBlock lock(&instanceLock);
    programBlock.returnPage = page;
}

int32_t Quorix::getSelectedDrumSlot(int32_t channel)
{
    if (!isChannel(channel))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return programBlock.selectedDrumSlot[channel];
}

void Quorix::setSelectedDrumSlot(int32_t channel, int32_t key)
{
    if (!isChannel(channel) || !isDrumKey(key))
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    programBlock.selectedDrumSlot[channel] = key;
}

uint8_t Quorix::getPriorityMode()
{
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.master.priorityMode;
}

uint8_t Quorix::getInsertEffectsEnabled()
{
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.master.insertEffectsOn;
}

uint8_t Quorix::getChannelOn(int32_t channel)
{
    if (!isChannel(channel))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.channels[channel].on;
}

int32_t Quorix::getChannelMode(int32_t channel)
{
    if (!isChannel(channel))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.channels[channel].mode;
}

int32_t Quorix::getChannelOutputBus(int32_t channel)
{
    if (!isChannel(channel))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.channels[channel].outputBus;
}

int32_t Quorix::getChannelTranspose(int32_t channel)
{
    if (!isChannel(channel))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.channels[channel].transpose;
}

int32_t Quorix::getChannelVoiceCount(int32_t channel)
{
    if (!isChannel(channel))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.play[channel].voiceCount;
}

int32_t Quorix::getInsertEffectType(int32_t channel, int32_t slot)
{
    if (!isChannel(channel) || slot < 0 || slot >= kInsertSlotsPerChannel)
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.channels[channel].insertEffects[slot].type;
}

int32_t Quorix::getDrumKeyMuteGroup(int32_t channel, int32_t key)
{
    if (!isChannel(channel) || !isDrumKey(key))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.channels[channel].drum.drumKeys[key].muteGroup;
}

uint8_t Quorix::getDrumMidiSelect(int32_t channel)
{
    if (!isChannel(channel))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.channels[channel].drum.midiSelect;
}

void Quorix::getOscillatorWave(int32_t channel, int32_t oscillator, WaveLocation *location)
{
    if (!location)
        return;
    *location = WaveLocation{0, 0};
    if (!isChannel(channel) || oscillator < 0 || oscillator > 1)
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    *location = state.target.channels[channel].melody.oscillators[oscillator].wave;
}

void Quorix::getDrumKeyWave(int32_t channel, int32_t key, WaveLocation *location)
{
    if (!location)
        return;
    *location = WaveLocation{0, 0};
    if (!isChannel(channel) || !isDrumKey(key))
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    *location = state.target.channels[channel].drum.drumKeys[key].wave;
}

void Quorix::resetOutputClips()
{
    podoSyncCriticalBlock lock(&instanceLock);
    std::fill(std::begin(state.runtime.outputMeters), std::end(state.runtime.outputMeters), 1.0f);
    std::fill(std::begin(state.runtime.outputClipped), std::end(state.runtime.outputClipped), uint8_t{0});
}

uint8_t Quorix::getSeqOn(int32_t channel)
{
    if (!isChannel(channel))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.channels[channel].seqOn;
}

int32_t Quorix::getSeqPart(int32_t channel)
{
    if (!isChannel(channel))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.channels[channel].seqPart;
}

uint8_t Quorix::getSeqTriplet(int32_t channel)
{
    if (!isChannel(channel))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.channels[channel].seqTriplet;
}

int32_t Quorix::getSeqLength(int32_t channel)
{
    if (!isChannel(channel))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.channels[channel].seqLength;
}

uint8_t Quorix::getLaneOn(int32_t channel, int32_t lane)
{
    if (!isChannel(channel) || !isLane(lane))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.channels[channel].lanes[lane].on;
}

int32_t Quorix::getLaneBase(int32_t channel, int32_t lane)
{
    if (!isChannel(channel) || !isLane(lane))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.channels[channel].lanes[lane].base;
}

int32_t Quorix::getStepNote(int32_t channel, int32_t lane, int32_t step)
{
    if (!isChannel(channel) || !isLane(lane) || !isStep(step))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.channels[channel].lanes[lane].steps[step].note;
}

float Quorix::getStepVelocity(int32_t channel, int32_t lane, int32_t step)
{
    if (!isChannel(channel) || !isLane(lane) || !isStep(step))
        return 0.0f;
    podoSyncCriticalBlock lock(&instanceLock);
    return state.target.channels[channel].lanes[lane].steps[step].velocity;
}

uint8_t Quorix::getVoicesActive()
{
    podoSyncCriticalBlock lock(&instanceLock);
    return state.runtime.patternsRunning;
}

uint8_t Quorix::getFoldSubOutputs()
{
    podoSyncCriticalBlock lock(&instanceLock);
    return state.runtime.foldSubOutputs;
}

void Quorix::decodeHostParameter(int32_t slot, float value, float *asFloat, int32_t *asInteger, bool *asBoolean)
{
    decodeParameter(parameterOfHostSlot(slot), value, asFloat, asInteger, asBoolean);
}
