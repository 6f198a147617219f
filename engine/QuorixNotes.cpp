// Starting, releasing and stealing voices; the held-key stacks and the instance's list of
// started voices that enforces the master voice limit.
//
// Everything here runs under instanceLock (note-on also holds engineSharedLock shared), on the
// audio thread from the MIDI handler, the sequencer and the arpeggiator, or on the editor's
// thread from its keyboard: fixed arrays and linear scans only, no allocation.
#include "engine/Quorix.h"

#include "banks/SampleBanks.h"
#include "banks/Wavetables.h"
#include "engine/Arpeggiator.h"
#include "engine/PatternClock.h"
#include "engine/VoiceRender.h"
#include "engine/dsp/pitchTables.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace engine;

namespace {

constexpr int32_t kLowestDrumKey = 24; // drum key k answers MIDI key 24 + k
constexpr uint8_t kKeyHeld = kVoiceKeyHeld, kGliding = kVoiceGliding, kFadeRequested = kVoiceFadeRequested;

bool isChannel(int32_t channel) { return channel >= 0 && channel < kChannelCount; }

// Ratio of a normalised fine tune (0.5 = none): up to one semitone either way.
float fineTuneRatio(float f)
{
    if (f > 0.5f)
        return fineRatio[std::min(static_cast<int32_t>((f - 0.5f) * 16382.0f + 0.5f), kPitchUnitsPerSemitone - 1)];
    if (f < 0.5f)
        return 1.0f / fineRatio[std::min(static_cast<int32_t>((0.5f - f) * 16382.0f + 0.5f), kPitchUnitsPerSemitone - 1)];
    return 1.0f;
}

// Where a pattern player that takes a key stands: the step of the song position, the offset
// its pattern starts from (sync 0: none; 1: set when the player starts; 2: set on every key)
// and, when it does not run yet, no last step unless the host plays from inside a step.
void placePatternStep(double position, bool hostPlaying, bool running, double stepLength, int32_t length,
                      int32_t sync, int32_t &lastStep, int32_t &syncOffset)
{
    const StepClock clock = stepClock(position, stepLength, 0.0);
    const int32_t step = wrapStep(clock.step, length);
    lastStep = step;
    if (sync == 0)
        syncOffset = 0;
    else if (!running)
        syncOffset = hostPlaying ? (step + 1) % length : step;
    else if (sync == 2)
        syncOffset = (step + 1) % length;
    const bool onBoundary = clock.phase == 0.0;
    if (!running && !(hostPlaying && !onBoundary))
        lastStep = -1;
}

} // namespace

// ---- held keys and displays ----

void Quorix::showKey(int32_t channel, int32_t key, uint8_t on)
{
    if (key >= 21 && key <= 108)
        postEditorBytes(tag::Key + key, static_cast<uint8_t>(channel), on, 0, 0);
}

void Quorix::showDrumKey(int32_t channel, int32_t drumKey, uint8_t on)
{
    if (drumKey >= 0 && drumKey < kDrumKeys)
        postEditorBytes(tag::DrumKey + drumKey, static_cast<uint8_t>(channel), on, 0, 0);
}

void Quorix::pushHeldKey(int32_t channel, int32_t key)
{
    if (!isChannel(channel))
        return;
    ChannelPlayState &play = state.play[channel];
    int32_t count = std::clamp(play.heldKeyCount, 0, kHeldKeysPerChannel);
    if (count == kHeldKeysPerChannel) {
        std::memmove(play.heldKeys, play.heldKeys + 1, sizeof(int32_t) * (kHeldKeysPerChannel - 1));
        --count;
    }
    play.heldKeys[count] = key;
    play.heldKeyCount = count + 1;
    showKey(channel, key, 1);
}

int32_t Quorix::removeHeldKey(int32_t channel, int32_t key)
{
    if (!isChannel(channel))
        return -1;
    ChannelPlayState &play = state.play[channel];
    const int32_t count = std::clamp(play.heldKeyCount, 0, kHeldKeysPerChannel);
    if (key < 0)
        return play.heldKeys[std::max(count - 1, 0)];
    for (int32_t i = 0; i < count; ++i) {
        if (play.heldKeys[i] == key) {
            std::memmove(play.heldKeys + i, play.heldKeys + i + 1, sizeof(int32_t) * static_cast<size_t>(count - i - 1));
            play.heldKeyCount = count - 1;
            showKey(channel, key, 0);
            return key;
        }
    }
    return -1;
}

// ---- voice bookkeeping ----

int32_t Quorix::findVoice(int32_t channel, int32_t noteId)
{
    if (!isChannel(channel))
        return -1;
    const ChannelPlayState &play = state.play[channel];
    for (int32_t i = 0; i < play.voiceCount; ++i)
        if (play.voices[i].noteId == noteId)
            return i;
    return -1;
}

void Quorix::releaseKey(int32_t channel, int32_t noteId)
{
    podoSyncCriticalBlock lock(&instanceLock);
    const int32_t i = findVoice(channel, noteId);
    if (i >= 0)
        state.play[channel].voices[i].flags &= static_cast<uint8_t>(~kKeyHeld);
}

bool Quorix::stealVoice(int32_t channel)
{
    if (!isChannel(channel))
        return false;
    ChannelPlayState &play = state.play[channel];
    for (int32_t i = 0; i < play.voiceCount; ++i) {
        VoiceRecord &v = play.voices[i];
        if (!isFading(v)) {
            requestFade(v);
            return true;
        }
    }
    return false;
}

// The voices stay in start order (the oldest first), so the oldest is dropped from the front:
// stealing and the master limit then always find the oldest voice first.
void Quorix::dropOldestVoice(int32_t channel)
{
    if (!isChannel(channel))
        return;
    ChannelPlayState &play = state.play[channel];
    if (play.voiceCount <= 0)
        return;
    const VoiceRecord &oldest = play.voices[0];
    play.extraLayerCount -= std::max(oldest.oversampling - 1, 0);
    removeHeldNote(channel, oldest.noteId);
    std::memmove(static_cast<void *>(play.voices), play.voices + 1,
                 sizeof(VoiceRecord) * static_cast<size_t>(play.voiceCount - 1));
    --play.voiceCount;
}

int32_t Quorix::allocateVoice(int32_t channel, bool forMelody)
{
    ChannelPlayState &play = state.play[channel];
    const int32_t n = play.voiceCount;
    int32_t index = n;
    if (n >= kVoicesPerChannel) {
        // A dropped voice's key display or held key goes with it.
        const VoiceRecord dropped = play.voices[0];
        dropOldestVoice(channel);
        if (forMelody)
            removeHeldKey(channel, dropped.key);
        else
            showDrumKey(channel, dropped.glideKey, 0);
        index = play.voiceCount;
    } else if (n >= state.target.channels[channel].voiceLimit) {
        stealVoice(channel);
    }
    play.voiceRingIndex = index;
    return index;
}

void Quorix::finishVoiceStart(int32_t channel, int32_t noteId)
{
    ++state.play[channel].voiceCount;
    HeldNoteList &list = state.heldNotes;
    list.count = std::clamp(list.count, 0, kHeldNoteCapacity);
    if (list.count < kHeldNoteCapacity)
        list.notes[list.count++] = HeldNote{channel, noteId};
    const int32_t limit = state.target.master.voiceLimit;
    if (list.count <= limit)
        return;
    // Over the instance's limit: the oldest listed voice not already fading fades; pairs whose
    // voice is gone are cleaned out on the way.
    int32_t i = 0;
    while (i < list.count) {
        const HeldNote pair = list.notes[i];
        const int32_t v = findVoice(pair.channel, pair.noteId);
        if (v < 0) {
            std::memmove(list.notes + i, list.notes + i + 1, sizeof(HeldNote) * static_cast<size_t>(list.count - i - 1));
            --list.count;
            continue;
        }
        VoiceRecord &voice = state.play[pair.channel].voices[v];
        if (isFading(voice)) {
            ++i;
            continue;
        }
        if (list.count > limit) {
            requestFade(voice);
        }
        break;
    }
}

// ---- note-on ----

int32_t Quorix::noteOn(int32_t first, int32_t last, int32_t key, int32_t velocity, uint8_t fromArpeggiator,
                       uint8_t fromSequencer, int32_t shift, int32_t curve)
{
    podoSyncCriticalBlock lock(&instanceLock);
    EngineReadBlock shared(engineSharedLock());
    if (curve < 0)
        curve = sharedConfiguration().velocityCurve;
    velocity = std::min(velocity, 127);
    const bool internal = fromArpeggiator || fromSequencer;
    bool sequencerRunning = state.runtime.patternsRunning != 0;
    bool arpeggiatorRunning = sequencerRunning;
    while (state.noteCounter > kHeldNoteCapacity)
        state.noteCounter = static_cast<int16_t>(state.noteCounter - kHeldNoteCapacity);
    if (state.noteCounter < 0)
        state.noteCounter = 0;
    const int32_t id = state.noteCounter;

    first = std::max(first, 0);
    last = std::min(last, kChannelCount - 1);
    for (int32_t c = last; c >= first; --c) {
        const ChannelState &ch = state.target.channels[c];
        if (!ch.on)
            continue;
        if (ch.seqOn && !internal)
            captureBySequencer(c, key, velocity, sequencerRunning);
        else if (ch.mode == 1)
            startDrumVoice(c, key, velocity, internal, fromSequencer, shift, curve, id);
        else if (ch.mode == 0)
            startMelodyVoice(c, key, velocity, fromArpeggiator, fromSequencer, curve, id, arpeggiatorRunning);
    }
    updateVoiceCount(0);
    state.noteCounter = static_cast<int16_t>(state.noteCounter + 1);
    return id;
}

void Quorix::captureBySequencer(int32_t c, int32_t key, int32_t velocity, bool &running)
{
    const ChannelState &ch = state.target.channels[c];
    ChannelPlayState &play = state.play[c];
    if (ch.mode == 1) {
        if (key < ch.drum.keyRangeLow || key > ch.drum.keyRangeHigh)
            return;
    } else {
        const MelodyState &m = ch.melody;
        if (key < m.keyRangeLow || key > m.keyRangeHigh)
            return;
        if (velocity >= 0 && (velocity < m.velocityRangeLow || velocity > m.velocityRangeHigh))
            return;
    }
    play.seqHeldCount = std::clamp(play.seqHeldCount, 0, kSequencerHeldKeys);
    if (play.heldKeyCount == 0) {
        play.seqHeldCount = 0; // a new chord
    } else if (play.seqHeldCount == kSequencerHeldKeys) {
        std::memmove(play.seqHeldKeys, play.seqHeldKeys + 1, sizeof(SequencerHeldKey) * (kSequencerHeldKeys - 1));
        play.seqHeldCount = kSequencerHeldKeys - 1;
    }
    play.seqHeldKeys[play.seqHeldCount++] = SequencerHeldKey{static_cast<int16_t>(key), static_cast<int16_t>(velocity)};
    play.seqOrderValid = 0;
    play.seqLastKey = key;
    play.seqLastVelocity = velocity;

    if (!running)
        running = patternsPlaying(false);
    placePatternStep(hostPosition, hostPlaying, running, sequencerStepLength(ch.seqRate, ch.seqTriplet != 0),
                     std::max(ch.seqLength, 1), ch.seqSync, play.seqLastStep, play.seqSyncOffset);
    pushHeldKey(c, key);
}

// Whether a channel's step sequencer (or, with arpeggiators, a melody channel's arpeggiator)
// plays a pattern; when none does and the host stands still, the engine's song starts again.
bool Quorix::patternsPlaying(bool arpeggiators)
{
    for (int32_t c = 0; c < kChannelCount; ++c) {
        const ChannelState &ch = state.target.channels[c];
        const ChannelPlayState &play = state.play[c];
        const bool playing = arpeggiators ? ch.on && ch.mode == 0 && ch.melody.arpOn && play.arpHeldCount > 0 &&
                                                play.arpLastStep != -1 && (ch.melody.arpLatch || play.heldKeyCount > 0)
                                          : ch.on && ch.seqOn && play.seqHeldCount > 0 && play.seqLastStep != -1 &&
                                                (ch.seqLatch || play.heldKeyCount > 0);
        if (playing)
            return true;
    }
    if (!hostPlaying) {
        hostPosition = 0.0;
        state.runtime.ownSongPosition = 0.0;
    }
    return false;
}

void Quorix::startDrumVoice(int32_t c, int32_t key, int32_t velocity, bool internal, uint8_t fromSequencer,
                            int32_t shift, int32_t curve, int32_t noteId)
{
    const ChannelState &ch = state.target.channels[c];
    const DrumKitState &kit = ch.drum;
    ChannelPlayState &play = state.play[c];
    if (!internal && (key < kit.keyRangeLow || key > kit.keyRangeHigh))
        return;
    int32_t drumKey = key + ch.transpose;
    if (sharedConfiguration().drumsFollowMasterTranspose)
        drumKey += state.target.master.transpose;
    if (drumKey < kLowestDrumKey || drumKey >= kLowestDrumKey + kDrumKeys)
        return;
    const int32_t d = drumKey - kLowestDrumKey;
    const DrumKeyState &dk = kit.drumKeys[d];

    if (dk.muteGroup != 0) {
        for (int32_t i = 0; i < play.voiceCount; ++i) {
            VoiceRecord &v = play.voices[i];
            if (v.glideKey >= 0 && v.glideKey < kDrumKeys && kit.drumKeys[v.glideKey].muteGroup == dk.muteGroup &&
                !isFading(v)) {
                requestFade(v);
            }
        }
    }

    const int32_t index = allocateVoice(c, false);
    VoiceRecord &v = play.voices[index];
    std::memset(static_cast<void *>(&v), 0, sizeof v);
    v.startPending = 1;
    v.flags = kKeyHeld;
    v.glideKey = static_cast<int16_t>(d);
    v.noteId = static_cast<int16_t>(noteId);
    v.key = static_cast<int16_t>(drumKey);
    v.targetLevel = velocityLevel(curve, velocity) / 127.0f;
    v.oversampling = 1;
    v.layerSamples[0] = &emptySample;
    v.layerSamples[1] = &emptySample;
    if (const KeyZone *zone = findZone(dk.wave, drumKey)) {
        v.layerSamples[0] = &banks::findSample(*zone);
        v.layerRootKeys[0] = zone->rootKey;
    }
    const float rate = frameSampleRate > 0.0f ? frameSampleRate : 44100.0f;
    float step = static_cast<float>(v.layerSamples[0]->rate) / rate;
    step *= semitoneOffsetRatio(dk.semitone);
    step *= fineTuneRatio(dk.finetone);
    if (sharedConfiguration().drumsFollowMasterTune)
        step *= fineTuneRatio(state.target.master.tune);
    if (fromSequencer)
        step *= semitoneOffsetRatio(std::clamp(shift, -48, 48));
    v.layerGains[0] = step;
    v.layerPositions[0] = SampleLayerPosition{1, 0.0f};
    v.ampEnv.state = kEnvAttack;
    if (!internal)
        showKey(c, key, 1);
    showDrumKey(c, d, 1);
    finishVoiceStart(c, noteId);
}

void Quorix::startMelodyVoice(int32_t c, int32_t key, int32_t velocity, uint8_t fromArpeggiator,
                              uint8_t fromSequencer, int32_t curve, int32_t noteId, bool &arpRunning)
{
    ChannelState &ch = state.target.channels[c];
    MelodyState &m = ch.melody;
    ChannelPlayState &play = state.play[c];
    const bool internal = fromArpeggiator || fromSequencer;
    if (!internal) {
        if (key < m.keyRangeLow || key > m.keyRangeHigh)
            return;
        if (velocity >= 0 && (velocity < m.velocityRangeLow || velocity > m.velocityRangeHigh))
            return;
    }
    const int32_t transpose = state.target.master.transpose + ch.transpose;
    const int32_t k = transpose + key;
    if (k < 0 || k > 127)
        return;

    if (m.arpOn && !internal) {
        play.arpHeldCount = std::clamp(play.arpHeldCount, 0, kArpHeldKeys);
        if (play.heldKeyCount == 0) {
            play.arpHeldCount = 0;
        } else if (play.arpHeldCount == kArpHeldKeys) {
            std::memmove(play.arpHeldKeys, play.arpHeldKeys + 1, sizeof(HeldKey) * (kArpHeldKeys - 1));
            play.arpHeldCount = kArpHeldKeys - 1;
        }
        play.arpHeldKeys[play.arpHeldCount++] = HeldKey{key, velocity};
        play.arpOrderValid = 0;
        play.arpLength = arpeggioLength(m.arpPattern, m.arpOctave, play.arpHeldCount);
        if (!arpRunning)
            arpRunning = patternsPlaying(true);
        placePatternStep(hostPosition, hostPlaying, arpRunning, arpeggiatorStepLength(m.arpRate),
                         std::max(play.arpLength, 1), m.arpKeySync ? 2 : 0, play.arpLastStep, play.arpSyncOffset);
        pushHeldKey(c, key);
        return;
    }

    // The newest held key, as received; a glide from it starts at its transposed pitch.
    const int32_t newestHeld = play.heldKeys[std::max(std::clamp(play.heldKeyCount, 0, kHeldKeysPerChannel) - 1, 0)];
    auto glideFromHeld = [&]() -> int32_t {
        if (newestHeld >= 0 && (m.glideAuto || (play.heldKeyCount > 0 && !internal)))
            return std::clamp(newestHeld + transpose, 0, 127);
        return k;
    };

    int32_t index = 0;
    bool fresh = true;
    bool startFromKey = true;
    bool mono = ch.voiceLimit <= 1;
    if (mono) {
        VoiceRecord newest{};
        const bool hasNewest = play.voiceCount > 0;
        if (hasNewest)
            newest = play.voices[play.voiceCount - 1];
        fresh = !hasNewest || ch.voiceLimit == 1 || (fromArpeggiator && m.arpGateTime < 1.0f) ||
                (velocity >= 0 && play.heldKeyCount == 0 && !internal) || (fromSequencer && !(newest.flags & kKeyHeld));
        if (!fresh) {
            // Legato: the newest voice carries on with its samples, positions and envelopes.
            removeHeldNote(c, newest.noteId);
            --play.voiceCount;
            play.voiceRingIndex = play.voiceCount;
            index = play.voiceCount;
            startFromKey = false;
        } else if (hasNewest) {
            index = allocateVoice(c, true);
            VoiceRecord &v = play.voices[index];
            if (!(newest.flags & kKeyHeld) && !m.glideAuto) {
                startFromKey = true;
            } else {
                startFromKey = false;
                v.glideKey = newest.glideKey;
                v.pitch = newest.pitch;
                v.level = newest.level;
                v.filterStart = newest.filterStart;
            }
            if (velocity < 0) {
                // A retrigger keeps the level of the voice it replaces.
                v.level = newest.level;
                v.targetLevel = newest.targetLevel;
            }
        } else {
            index = 0;
            play.voiceRingIndex = 0;
            // With auto glide the pitch and level left in the first slot are where it glides from.
            startFromKey = !(m.glideAuto && newestHeld >= 0);
        }
    } else {
        index = allocateVoice(c, true);
        velocity = std::max(velocity, 0);
    }

    VoiceRecord &v = play.voices[index];
    v.flags = kKeyHeld;
    v.key = static_cast<int16_t>(k);
    if (fresh) {
        for (int layer = 0; layer < 2; ++layer) {
            const SampleRecord *sample = &emptySample;
            int32_t rootKey = 0;
            if (const KeyZone *zone = findZone(m.oscillators[layer].wave, k)) {
                sample = &banks::findSample(*zone);
                rootKey = std::clamp<int32_t>(zone->rootKey, 0, 127);
                if (const WavetableRecord *wavetable = banks::findWavetable(m.oscillators[layer].wave))
                    m.oscKeyFollow[layer] = wavetable->keyFollow;
            }
            v.layerSamples[layer] = sample;
            v.layerRootKeys[layer] = rootKey;
            const float rate = frameSampleRate > 0.0f ? frameSampleRate : 44100.0f;
            v.layerSteps[layer] = static_cast<float>(sample->rate) / (noteFrequency[rootKey] * rate);
            v.layerGains[layer] = samplePlayable(sample) ? 1.0f : 0.0f;
            v.layerPositions[layer] = SampleLayerPosition{1, 0.0f};
        }
        std::memset(v.filterMemory, 0, sizeof v.filterMemory);
        v.designSlope = 0;
        v.filterEnv = EnvelopeState{kEnvAttack, 0.0, 0.0f, 0.0f, 0.0f};
        v.ampEnv = EnvelopeState{kEnvAttack, 0.0, 0.0f, 0.0f, 0.0f};
    }
    if (velocity >= 0) {
        if (startFromKey)
            v.glideKey = static_cast<int16_t>(glideFromHeld());
        v.targetLevel = velocityLevel(curve, velocity) / 127.0f;
        if (startFromKey)
            v.level = v.targetLevel;
        if (!ch.seqOn && !m.arpOn)
            pushHeldKey(c, key);
    } else if (startFromKey) {
        v.glideKey = static_cast<int16_t>(k);
    }
    v.targetPitch = static_cast<float>(k * kPitchUnitsPerSemitone);
    if (startFromKey)
        v.pitch = static_cast<float>(v.glideKey * kPitchUnitsPerSemitone);
    if (fresh) {
        // Oversampling: enough sample steps per output sample that no step skips samples.
        v.oversampling = 1;
        const int32_t most = static_cast<int8_t>(sharedConfiguration().maxOversampling);
        if (most > 1) {
            const float x = std::max(v.layerSteps[0], v.layerSteps[1]) * noteFrequency[std::max<int32_t>(v.glideKey, k)];
            int32_t n = static_cast<int32_t>(std::ceil(x));
            n = std::clamp(n, 1, most);
            v.oversampling = n;
            if (n > 1) {
                v.layerSteps[0] /= static_cast<float>(n);
                v.layerSteps[1] /= static_cast<float>(n);
                play.extraLayerCount += n - 1;
            }
        }
    }
    const bool restartLfo = mono ? (play.voiceCount == 0 && startFromKey) : play.voiceCount == 0;
    if (restartLfo || m.lfoKeySync) {
        catchUpLfo(c); // the phase runs on from where the skipped stretch left it
        play.lfoDelayProgress = 0.0;
        play.lfoRateRamp = 0.0;
        play.lfoAttackProgress = 0.0;
        if (m.lfoKeySync) {
            play.lfoPhase = 0;
            play.lfoPhaseFraction = 0.0f;
            play.lfoLastIndex = 0;
        }
    }
    v.startPending = startFromKey ? 1 : 0;
    v.noteId = static_cast<int16_t>(noteId);
    v.sostenutoHeld = 0;
    v.pitchSpan = std::fabs(v.targetPitch - v.pitch);
    v.levelSpan = std::fabs(v.targetLevel - v.level);
    if (v.pitchSpan + v.levelSpan > 0.0f)
        v.flags |= kGliding;
    finishVoiceStart(c, noteId);
}

// ---- note-off ----

void Quorix::noteOff(int32_t first, int32_t last, int32_t key, uint8_t audition)
{
    podoSyncCriticalBlock lock(&instanceLock);
    first = std::max(first, 0);
    last = std::min(last, kChannelCount - 1);
    for (int32_t c = first; c <= last; ++c) {
        const ChannelState &ch = state.target.channels[c];
        ChannelPlayState &play = state.play[c];
        if (!audition && key >= 0)
            removeHeldKey(c, key);
        if (ch.seqOn && !audition) {
            if (ch.seqLatch)
                continue;
            const int32_t count = std::clamp(play.seqHeldCount, 0, kSequencerHeldKeys);
            for (int32_t i = 0; i < count; ++i) {
                if (play.seqHeldKeys[i].key != key)
                    continue;
                if (count == 1 && play.heldKeyCount > 0) {
                    play.seqHeldKeys[0].key = static_cast<int16_t>(removeHeldKey(c, -1));
                } else {
                    std::memmove(play.seqHeldKeys + i, play.seqHeldKeys + i + 1,
                                 sizeof(SequencerHeldKey) * static_cast<size_t>(count - i - 1));
                    play.seqHeldCount = count - 1;
                    play.seqOrderValid = 0;
                    updatePatternsRunning();
                }
                break;
            }
            continue;
        }
        int32_t k = key + ch.transpose;
        if (ch.mode == 0 || sharedConfiguration().drumsFollowMasterTranspose)
            k += state.target.master.transpose;
        if (k < 0 || k > 127)
            continue;
        if (ch.mode == 1) {
            showKey(c, key, 0);
            for (int32_t i = 0; i < play.voiceCount; ++i) {
                VoiceRecord &v = play.voices[i];
                if (v.key == k && (v.flags & kKeyHeld) && !isFading(v)) {
                    v.flags &= static_cast<uint8_t>(~kKeyHeld);
                    break;
                }
            }
            continue;
        }
        if (ch.mode != 0)
            continue;
        const MelodyState &m = ch.melody;
        if (m.arpOn) {
            if (m.arpLatch)
                continue;
            const int32_t count = std::clamp(play.arpHeldCount, 0, kArpHeldKeys);
            for (int32_t i = 0; i < count; ++i) {
                if (play.arpHeldKeys[i].key == key) {
                    std::memmove(play.arpHeldKeys + i, play.arpHeldKeys + i + 1,
                                 sizeof(HeldKey) * static_cast<size_t>(count - i - 1));
                    play.arpHeldCount = count - 1;
                    break;
                }
            }
            play.arpLength = arpeggioLength(m.arpPattern, m.arpOctave, play.arpHeldCount);
            play.arpOrderValid = 0;
            if (play.arpLength > 0)
                play.arpLastStep = patternStep(hostPosition, arpeggiatorStepLength(m.arpRate), play.arpLength);
            updatePatternsRunning();
            continue;
        }
        bool released = false;
        for (int32_t i = 0; i < play.voiceCount; ++i) {
            VoiceRecord &v = play.voices[i];
            if (v.key == k && (v.flags & kKeyHeld) && !(v.flags & kFadeRequested)) {
                v.flags &= static_cast<uint8_t>(~kKeyHeld);
                released = true;
                break;
            }
        }
        // Mono: the newest key still held sounds again.
        if (released && ch.voiceLimit <= 1 && play.heldKeyCount > 0)
            noteOn(c, c, removeHeldKey(c, -1), -1, 0, 0, 0, -1);
    }
}
