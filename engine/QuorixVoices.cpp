// Stopping and resetting channels, the voice count and the held-note list: what the parameter
// model needs of the voice side.
#include "engine/Quorix.h"

#include "banks/Wavetables.h"
#include "engine/VoiceRender.h"
#include "editor/Quorix_Editor.h"

#include <algorithm>
#include <cstring>

using namespace engine;

namespace {

bool isChannel(int32_t channel) { return channel >= 0 && channel < kChannelCount; }

} // namespace

void Quorix::allSoundOff(int32_t channel, float meterLevel)
{
    int32_t first = 0, last = 0;
    if (!namedChannels(channel, first, last))
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    for (int32_t c = first; c <= last; ++c) {
        state.runtime.channelMeters[c] = meterLevel;
        postEditorValue(tag::ChannelActivity + c, 0);
        postEditorBytes(tag::KeyboardClear, static_cast<uint8_t>(c), 0, 1, 0);
        ChannelPlayState &play = state.play[c];
        play.voiceRingIndex = 0;
        for (int32_t v = 0; v < play.voiceCount; ++v) {
            requestFade(play.voices[v]);
        }
        play.heldKeyCount = 0;
        play.heldKeys[0] = -1;
        play.seqCurrentStep = -1;
        play.seqLastStep = -1;
        play.seqSyncOffset = 0;
        play.seqHeldCount = 0;
        play.seqOrderValid = 0;
        for (SequencerLane &lane : state.target.channels[c].lanes) {
            lane.tied = 0;
            lane.lastKey = -1;
            lane.noteId = -1;
        }
        if (state.target.channels[c].mode == 0) {
            play.lfoPhase = 0;
            play.lfoPhaseFraction = 0.0f;
            play.lfoDelayProgress = 0.0;
            play.lfoRateRamp = 0.0;
            play.lfoAttackProgress = 0.0;
            play.lfoDisplayScaled = 0.0f;
            play.lfoHeldRandom = 0.0f;
            play.lfoLastIndex = 0;
        }
        // Also for a drum channel: a bulk load may have made it one while its arpeggiator
        // played, and note ids restart after a reset.
        play.arpCurrentStep = -1;
        play.arpLastStep = -1;
        play.arpSyncOffset = 0;
        play.arpHeldCount = 0;
        play.arpOrderValid = 0;
        play.arpLength = 0;
        play.arpNoteId = -1;
    }
    updateVoiceCount(1);
    updatePatternsRunning();
    std::fill(std::begin(state.runtime.outputMeters), std::end(state.runtime.outputMeters), 0.0f);
    std::fill(std::begin(state.runtime.outputClipped), std::end(state.runtime.outputClipped), uint8_t{0});
}

// A reset of one channel touches that channel only; a reset of all channels (at initialisation,
// suspend or a new sample rate) also silences the system effects and restarts the note ids.
void Quorix::resetChannel(int32_t channel, uint8_t keepInsertEffects)
{
    int32_t first = 0, last = 0;
    if (!namedChannels(channel, first, last))
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    for (int32_t c = first; c <= last; ++c) {
        dropHeldNotesOf(c);
        state.play[c].voiceCount = 0;
        state.play[c].extraLayerCount = 0;
        if (!keepInsertEffects)
            for (InsertEffectSlot &slot : state.target.channels[c].insertEffects)
                clearInsertEffect(slot);
        allSoundOff(c, 0.0f);
    }
    if (channel < 0) {
        if (CSFX *chorus = state.target.master.chorus.effect)
            chorus->clear();
        if (CSFX *reverb = state.target.master.reverb.effect)
            reverb->clear();
        state.noteCounter = 0;
    }
    updateVoiceCount(1);
    updatePatternsRunning();
    postEditorBytes(tag::DrumKey, 0, 0, 1, 0);
}

void Quorix::dropVoices(int32_t channel)
{
    if (!isChannel(channel))
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    ChannelPlayState &play = state.play[channel];
    dropHeldNotesOf(channel);
    play.voiceCount = 0;
    play.voiceRingIndex = 0;
    play.extraLayerCount = 0;
    updateVoiceCount(0);
}

void Quorix::dropHeldNotesOf(int32_t channel)
{
    HeldNoteList &list = state.heldNotes;
    const int32_t count = std::clamp(list.count, 0, kHeldNoteCapacity);
    int32_t kept = 0;
    for (int32_t i = 0; i < count; ++i)
        if (list.notes[i].channel != channel)
            list.notes[kept++] = list.notes[i];
    list.count = kept;
}

// Keeps, in their order, the pairs whose voice still sounds on a switched-on channel.
void Quorix::resyncHeldNotes()
{
    HeldNoteList &list = state.heldNotes;
    const int32_t count = std::clamp(list.count, 0, kHeldNoteCapacity);
    int32_t kept = 0;
    for (int32_t i = 0; i < count; ++i) {
        const HeldNote pair = list.notes[i];
        if (isChannel(pair.channel) && state.target.channels[pair.channel].on && findVoice(pair.channel, pair.noteId) >= 0)
            list.notes[kept++] = pair;
    }
    list.count = kept;
}

void Quorix::removeVoice(int32_t channel, int32_t index)
{
    if (!isChannel(channel))
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    EngineReadBlock shared(engineSharedLock());
    ChannelPlayState &play = state.play[channel];
    if (index < 0 || index >= play.voiceCount)
        return;
    const VoiceRecord &v = play.voices[index];
    if (state.target.channels[channel].mode == 1)
        showDrumKey(channel, v.glideKey, 0);
    removeHeldNote(channel, v.noteId);
    play.extraLayerCount -= std::max(v.oversampling - 1, 0);
    std::memmove(static_cast<void *>(play.voices + index), play.voices + index + 1,
                 sizeof(VoiceRecord) * static_cast<size_t>(play.voiceCount - index - 1));
    --play.voiceCount;
    updateVoiceCount(0);
}

int32_t Quorix::allNotesOff()
{
    podoSyncCriticalBlock lock(&instanceLock);
    allSoundOff(-1, 1.0f);
    for (ControllerState &controller : state.controllers) {
        controller.sostenuto = 0;
        controller.damper = 0;
    }
    return 0;
}

void Quorix::updateVoiceCount(uint8_t resync)
{
    int32_t counted = 0;
    int32_t extra = 0;
    {
        podoSyncCriticalBlock lock(&instanceLock);
        if (resync)
            resyncHeldNotes();
        for (int32_t c = 0; c < kChannelCount; ++c) {
            if (!state.target.channels[c].on)
                continue;
            const ChannelPlayState &play = state.play[c];
            counted += std::min(play.voiceCount, std::max(state.target.channels[c].voiceLimit, 1));
            extra += play.extraLayerCount;
        }
    }
    postEditorInt(tag::VoiceCount, extra * 65536 + counted);
}

void Quorix::updatePatternsRunning()
{
    podoSyncCriticalBlock lock(&instanceLock);
    uint8_t running = 0;
    for (int32_t c = 0; c < kChannelCount && !running; ++c) {
        const ChannelState &channel = state.target.channels[c];
        const ChannelPlayState &play = state.play[c];
        if (!channel.on)
            continue;
        if (channel.seqOn && play.seqHeldCount > 0)
            running = 1;
        else if (channel.mode == 0 && channel.melody.arpOn && play.arpHeldCount > 0)
            running = 1;
    }
    state.runtime.patternsRunning = running;
}

bool Quorix::removeHeldNote(int32_t channel, int32_t noteId)
{
    podoSyncCriticalBlock lock(&instanceLock);
    HeldNoteList &list = state.heldNotes;
    const int32_t count = std::clamp(list.count, 0, kHeldNoteCapacity);
    for (int32_t i = 0; i < count; ++i) {
        if (list.notes[i].channel == channel && list.notes[i].noteId == noteId) {
            std::copy(list.notes + i + 1, list.notes + count, list.notes + i);
            list.count = count - 1;
            return true;
        }
    }
    return false;
}

void Quorix::getLinkedChannelSpan(int32_t channel, int32_t *first, int32_t *last)
{
    podoSyncCriticalBlock lock(&instanceLock);
    linkedChannelSpan(state.target, channel, first, last);
}

bool Quorix::assignWave(int32_t channel, int32_t slot, int32_t waveNumber)
{
    if (!isChannel(channel))
        return false;
    podoSyncCriticalBlock lock(&instanceLock);
    EngineReadBlock shared(engineSharedLock());
    ChannelState &c = state.target.channels[channel];
    WaveLocation *target = nullptr;
    if (c.mode == 1 && slot >= 0 && slot < kDrumKeys)
        target = &c.drum.drumKeys[slot].wave;
    else if (c.mode != 1 && slot >= 0 && slot < 2)
        target = &c.melody.oscillators[slot].wave;
    if (!target)
        return false;
    if (target->index != 0 && state.play[channel].voiceCount != 0)
        resetChannel(channel, 0);
    WaveLocation location{};
    waveLocation(waveNumber, &location);
    *target = location;
    return location.index != 0 || waveNumber == 0;
}

void Quorix::waveLocation(int32_t waveNumber, WaveLocation *location) { banks::waveLocation(waveNumber, location); }
