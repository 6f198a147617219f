// One host block: the host's events at their sample offsets, interleaved with sub-blocks of at
// most 16 samples that run every switched-on channel, the system chorus and reverb, the master
// gain and the four outputs; meters, LFO displays and the beat indicator at the end.
//
// Runs on the host's audio thread under instanceLock (the frame's) and engineSharedLock held
// shared (taken here), so other instances render at the same time. No allocation and no file access: every buffer is a local array of 16 samples.
#include "engine/Quorix.h"

#include "editor/Quorix_Editor.h"
#include "engine/ParameterIndex.h"
#include "engine/dsp/denormals.h"
#include "engine/dsp/slewParameter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace engine;

namespace {

namespace blockTag {
constexpr int32_t OutputMeters = 29172;  // + 0..3: main L, main R, sub L, sub R
constexpr int32_t MainClipped = 29176;
constexpr int32_t SubClipped = 29177;
constexpr int32_t ChannelMeter = 28969;  // + channel
constexpr int32_t LfoDisplay = 28985;    // + 2 x channel, and + 1 for the scaled form
} // namespace blockTag

constexpr int kTailFlushRounds = 5;
// -160 dB: far below anything audible, far above the denormal guard.
constexpr float kSilence = 1e-8f;

float peakOf(const float *l, const float *r, int32_t n)
{
    float peak = 0.0f;
    for (int32_t i = 0; i < n; ++i)
        peak = std::max(peak, std::max(std::fabs(l[i]), std::fabs(r[i])));
    return peak;
}

void fillNoise(float *buffer, int32_t n) { std::memcpy(buffer, denormalNoise, sizeof(float) * static_cast<size_t>(n)); }

// A song position that is not finite becomes 0; a negative one (a host reporting a position
// before the song start) becomes its place within the beat, so the engine's own position
// recovers instead of staying below 0.
double keepPositionInRange(double position)
{
    if (!std::isfinite(position))
        return 0.0;
    if (position < 0.0)
        return position - std::floor(position);
    return position;
}

bool isMidi(const VstEvent *event) { return event && event->type == kVstMidiType; }

uint8_t statusOf(const VstEvent *event) { return static_cast<uint8_t>(reinterpret_cast<const VstMidiEvent *>(event)->midiData[0]); }

uint8_t data1Of(const VstEvent *event) { return static_cast<uint8_t>(reinterpret_cast<const VstMidiEvent *>(event)->midiData[1]); }

} // namespace

void Quorix::onProcessReplacing(float **, float **outputs, int32_t frames) { renderBlock(outputs, frames, true); }

void Quorix::onProcessAccumulating(float **, float **outputs, int32_t frames) { renderBlock(outputs, frames, false); }

void Quorix::dispatchEvent(const VstEvent *event)
{
    if (!event)
        return;
    if (event->type == kVstMidiType) {
        const auto *midi = reinterpret_cast<const VstMidiEvent *>(event);
        const uint8_t status = static_cast<uint8_t>(midi->midiData[0]);
        // Only channel messages: a data byte without status and system messages go nowhere.
        if (status < 0x80 || status >= 0xF0)
            return;
        handleMidiMessage(status & 0x0F, status & 0xF0, static_cast<uint8_t>(midi->midiData[1]),
                          static_cast<uint8_t>(midi->midiData[2]));
    } else if (event->type == kVstSysExType) {
        handleSysEx(reinterpret_cast<const VstMidiSysexEvent *>(event));
    }
}

void Quorix::renderBlock(float **outputs, int32_t frames, bool replace)
{
    if (!outputs || frames <= 0)
        return;
    EngineReadBlock shared(engineSharedLock());
    ScopedFlushDenormals flush;
    // A chunk load or patch recall of another thread goes in before this block's events.
    takeBlockStartJob();
    // Values may have changed between blocks. The drum keys, many, are compared again when a
    // parameter or an event may have moved them, and every 16th block whatever changed them.
    idleStale = true;
    if ((++idleBlockCount & 15) == 0)
        drumKeysStale = true;
    if (!state.runtime.smoothedSettled)
        engine::settleSmoothedImage(state);
    const float rate = frameSampleRate > 0.0f ? frameSampleRate : 44100.0f;

    if (!getUseHostTempo()) {
        const float tempo = getTempo();
        hostTempo = std::isfinite(tempo) && tempo > 0.0f ? tempo : 120.0;
        hostPosition = state.runtime.ownSongPosition;
        hostPlaying = false;
    }
    if (!(hostTempo > 0.0) || !std::isfinite(hostTempo))
        hostTempo = 120.0;
    hostPosition = keepPositionInRange(hostPosition);

    const bool fold = sharedConfiguration().mixSubIntoMain || state.runtime.foldSubOutputs;
    if (fold && replace)
        for (int32_t i = 2; i < 4; ++i)
            if (outputs[i] && isOutputConnected(i))
                std::memset(outputs[i], 0, sizeof(float) * static_cast<size_t>(frames));

    // Meters decay once per block; a peak above full scale marks its pair as clipped.
    EngineRuntime &runtime = state.runtime;
    const float decay = 20.0f * static_cast<float>(frames) / rate;
    for (int32_t i = 0; i < 4; ++i) {
        float &meter = runtime.outputMeters[i];
        if (meter > 1.0f)
            runtime.outputClipped[i / 2] = 1;
        meter -= meter * decay;
        if (meter < 1e-6f)
            meter = 0.0f;
    }
    for (float &meter : runtime.channelMeters) {
        meter -= meter * decay;
        if (meter < 1e-6f)
            meter = 0.0f;
    }

    // Walk the events in order. Marks of what the look-ahead has dispatched are kept here, never
    // in the host's list.
    const VstEvents *events = pendingEvents;
    const int32_t count = events ? std::clamp(events->numEvents, 0, static_cast<int32_t>(eventQueueCapacity)) : 0;
    // The host's list runs past the two entries the record declares.
    VstEvent *const *list = events ? events->events : nullptr;
    std::memset(eventDispatched, 0, static_cast<size_t>(count));
    int32_t p = 0;
    for (int32_t e = 0; e <= count; ++e) {
        const VstEvent *event = e < count ? list[e] : nullptr;
        int32_t start = p;
        if (e < count) {
            const int32_t at = event ? event->deltaFrames : p;
            if (at >= frames)
                p = frames;
            else if (at >= p)
                p = at;
        } else {
            p = frames;
        }
        // A bank select or program change at the same instant as a controller of its channel
        // comes first, before the controller and before the audio leading up to it.
        if (isMidi(event) && !eventDispatched[e] && (statusOf(event) & 0xF0) == 0xB0) {
            const uint8_t channel = statusOf(event) & 0x0F;
            for (int32_t j = e; j < count; ++j) {
                const VstEvent *candidate = list[j];
                if (!candidate || candidate->deltaFrames != p)
                    break;
                if (!isMidi(candidate) || eventDispatched[j])
                    continue;
                const uint8_t status = statusOf(candidate);
                const bool program = status == (0xC0 | channel);
                if (program || (status == (0xB0 | channel) && (data1Of(candidate) & 0xDF) == 0)) {
                    dispatchEvent(candidate);
                    eventDispatched[j] = 1;
                    idleStale = drumKeysStale = true;
                    if (program)
                        break;
                }
            }
        }
        while (start < p)
            start += renderSubBlock(outputs, start, p - start, replace, fold);
        if (e < count) {
            if (!eventDispatched[e])
                dispatchEvent(event);
            idleStale = drumKeysStale = true;
        }
    }

    runtime.ownSongPosition = hostPosition;
    postBlockEnd();
}

int32_t Quorix::renderSubBlock(float **outputs, int32_t offset, int32_t frames, bool replace, bool fold)
{
    MasterState &master = state.target.master;
    const bool chorusOn = master.chorus.on != 0;
    const bool reverbOn = master.reverb.on != 0;
    const double rate = frameSampleRate > 0.0f ? frameSampleRate : 44100.0f;
    const double beatsPerSample = hostTempo / rate / 60.0;
    // A system effect whose input and output have been silent for a second has no tail left:
    // it sleeps until a send reaches it again.
    const int32_t quietEnough = static_cast<int32_t>(rate);

    if (idleStale)
        markIdleChannels();
    // Every switched-on channel skipped, the system effects asleep, the master gain at rest and
    // no tail flush: nothing would reach the outputs but the denormal guard's noise.
    auto silent = [&] {
        const EngineRuntime &runtime = state.runtime;
        if (runtime.flushEffectTails || state.smoothed.master.volume != master.volume)
            return false;
        if (chorusOn && master.chorus.effect && runtime.chorusQuietSamples < quietEnough)
            return false;
        if (reverbOn && master.reverb.effect && runtime.reverbQuietSamples < quietEnough)
            return false;
        for (int32_t c = 0; c < kChannelCount; ++c)
            if (state.target.channels[c].on && !channelIdle[c])
                return false;
        return true;
    };
    if (silent()) {
        // Nothing changes that until the next event: the whole stretch at once. The outputs get
        // silence; only the skipped channels' LFOs and the song position move on, the position
        // by the sub-blocks it would have moved by.
        for (int32_t c = 0; c < kChannelCount; ++c)
            if (state.target.channels[c].on && (state.play[c].lfoIdleSamples += frames) >= (1 << 24))
                catchUpLfo(c);
        if (replace)
            for (int32_t i = 0; i < 4; ++i)
                if (outputs[i] && (i < 2 || !fold))
                    std::memset(outputs[i] + offset, 0, sizeof(float) * static_cast<size_t>(frames));
        for (int32_t done = 0; done < frames; done += kMaxSubBlock)
            hostPosition = keepPositionInRange(hostPosition + std::min(frames - done, static_cast<int32_t>(kMaxSubBlock)) * beatsPerSample);
        return frames;
    }
    const int32_t n = std::min(frames, static_cast<int32_t>(kMaxSubBlock));

    float mainLeft[kMaxSubBlock], mainRight[kMaxSubBlock], subLeft[kMaxSubBlock], subRight[kMaxSubBlock];
    float chorusLeft[kMaxSubBlock], chorusRight[kMaxSubBlock], reverbLeft[kMaxSubBlock], reverbRight[kMaxSubBlock];
    fillNoise(mainLeft, n);
    fillNoise(mainRight, n);
    fillNoise(subLeft, n);
    fillNoise(subRight, n);
    fillNoise(chorusLeft, n);
    fillNoise(chorusRight, n);
    fillNoise(reverbLeft, n);
    fillNoise(reverbRight, n);
    for (int32_t c = 0; c < kChannelCount; ++c) {
        const ChannelState &channel = state.target.channels[c];
        if (!channel.on)
            continue;
        if (channelIdle[c]) {
            if ((state.play[c].lfoIdleSamples += n) >= (1 << 24))
                catchUpLfo(c);
            continue;
        }
        sequencerTick(c, n);
        const bool main = channel.outputBus == 0;
        float *left = main ? mainLeft : subLeft;
        float *right = main ? mainRight : subRight;
        float *cl = main && chorusOn ? chorusLeft : nullptr;
        float *cr = main && chorusOn ? chorusRight : nullptr;
        float *rl = main && reverbOn ? reverbLeft : nullptr;
        float *rr = main && reverbOn ? reverbRight : nullptr;
        if (channel.mode == 0)
            renderMelodyChannel(c, left, right, n, cl, cr, rl, rr);
        else if (channel.mode == 1)
            renderDrumChannel(c, left, right, n, cl, cr, rl, rr);

        ChannelPlayState &play = state.play[c];
        for (int32_t i = play.voiceCount - 1; i >= 0; --i) {
            const EnvelopeState &amp = play.voices[i].ampEnv;
            if (amp.state == kEnvRelease && amp.level <= 0.0)
                removeVoice(c, i);
        }

        ChannelState &smoothed = state.smoothed.channels[c];
        slewParameter(&smoothed.volume, channel.volume, n);
        slewParameter(&smoothed.pan, channel.pan, n);
        slewParameter(&smoothed.chorusSend, channel.chorusSend, n);
        slewParameter(&smoothed.reverbSend, channel.reverbSend, n);
        ControllerState &controller = state.controllers[c];
        slewParameter(&controller.volumeCurrent, controller.volumeTarget, n * 127);
        slewParameter(&controller.panCurrent, controller.panTarget, n * 127);
        slewParameter(&controller.expressionCurrent, controller.expressionTarget, n * 127);
    }

    auto runSystemEffect = [&](SystemEffectSlot &slot, float *l, float *r, int32_t &quiet) {
        const bool silentIn = peakOf(l, r, n) <= kSilence;
        if (silentIn && quiet >= quietEnough)
            return;
        slot.effect->setParameters(slot.params);
        slot.effect->process(l, r, n);
        quiet = silentIn && peakOf(l, r, n) <= kSilence ? quiet + n : 0;
    };
    if (chorusOn && master.chorus.effect)
        runSystemEffect(master.chorus, chorusLeft, chorusRight, state.runtime.chorusQuietSamples);
    if (reverbOn && master.reverb.effect)
        runSystemEffect(master.reverb, reverbLeft, reverbRight, state.runtime.reverbQuietSamples);

    // Master gain: volume squared times 2, ramped across the sub-block.
    float &volume = state.smoothed.master.volume;
    const float g0 = volume * volume * 2.0f;
    slewParameter(&volume, master.volume, n);
    const float g1 = volume * volume * 2.0f;
    const float step = (g1 - g0) / static_cast<float>(n);
    float *meters = state.runtime.outputMeters;

    float gain = g0;
    for (int32_t i = 0; i < n; ++i) {
        gain += step;
        float l = mainLeft[i], r = mainRight[i];
        if (chorusOn) {
            l += chorusLeft[i];
            r += chorusRight[i];
        }
        if (reverbOn) {
            l += reverbLeft[i];
            r += reverbRight[i];
        }
        mainLeft[i] = l * gain;
        mainRight[i] = r * gain;
        meters[0] = std::max(meters[0], std::fabs(mainLeft[i]));
        meters[1] = std::max(meters[1], std::fabs(mainRight[i]));
    }
    gain = g0;
    for (int32_t i = 0; i < n; ++i) {
        gain += step;
        subLeft[i] *= gain;
        subRight[i] *= gain;
        meters[2] = std::max(meters[2], std::fabs(subLeft[i]));
        meters[3] = std::max(meters[3], std::fabs(subRight[i]));
    }

    float *out[4] = {outputs[0], outputs[1], outputs[2], outputs[3]};
    for (int32_t side = 0; side < 2; ++side) {
        float *mainOut = out[side] ? out[side] + offset : nullptr;
        float *subOut = out[side + 2] ? out[side + 2] + offset : nullptr;
        const float *m = side == 0 ? mainLeft : mainRight;
        const float *s = side == 0 ? subLeft : subRight;
        for (int32_t i = 0; i < n; ++i) {
            if (fold) {
                if (mainOut)
                    mainOut[i] = replace ? m[i] + s[i] : mainOut[i] + m[i] + s[i];
            } else {
                if (mainOut)
                    mainOut[i] = replace ? m[i] : mainOut[i] + m[i];
                if (subOut)
                    subOut[i] = replace ? s[i] : subOut[i] + s[i];
            }
        }
    }

    hostPosition = keepPositionInRange(hostPosition + n * beatsPerSample);

    if (state.runtime.flushEffectTails) {
        // Runs the system effects on silence so that their tails empty; the result is dropped.
        float scratchLeft[kMaxSubBlock], scratchRight[kMaxSubBlock];
        for (int round = 0; round < kTailFlushRounds; ++round) {
            for (SystemEffectSlot *slot : {&master.chorus, &master.reverb}) {
                std::memset(scratchLeft, 0, sizeof scratchLeft);
                std::memset(scratchRight, 0, sizeof scratchRight);
                if (slot->effect) {
                    slot->effect->setParameters(slot->params);
                    slot->effect->process(scratchLeft, scratchRight, n);
                }
            }
        }
    }
    return n;
}

void Quorix::markIdleChannels()
{
    idleStale = false;
    if (drumKeysStale)
        std::memset(drumKeysSettled, 0, sizeof drumKeysSettled);
    for (int32_t c = 0; c < kChannelCount; ++c) {
        const ChannelState &channel = state.target.channels[c];
        const ControllerState &controller = state.controllers[c];
        // The render moves these whether or not the configuration lets them act.
        const bool controllersSettled = controller.volumeCurrent == controller.volumeTarget &&
                                        controller.panCurrent == controller.panTarget &&
                                        controller.expressionCurrent == controller.expressionTarget;
        channelIdle[c] = channel.on && controllersSettled &&
                         (channel.mode == 0 ? melodyChannelIdle(c) : channel.mode == 1 && drumChannelIdle(c));
    }
    drumKeysStale = false;
}

void Quorix::postBlockEnd()
{
    // A closed editor drops every post: the catch-up and the posts would cost each block for
    // nothing (a skipped channel's LFO catches up when it plays again).
    if (!instrumentEditor || !instrumentEditor->getWindow())
        return;
    // The LFO displays of skipped channels keep moving.
    for (int32_t c = 0; c < kChannelCount; ++c)
        if (state.play[c].lfoIdleSamples > 0)
            catchUpLfo(c);
    const EngineRuntime &runtime = state.runtime;
    for (int32_t i = 0; i < 4; ++i)
        postEditorFloat(blockTag::OutputMeters + i, std::sqrt(runtime.outputMeters[i]));
    postEditorFloat(blockTag::MainClipped, runtime.outputClipped[0] ? 1.0f : 0.0f);
    postEditorFloat(blockTag::SubClipped, runtime.outputClipped[1] ? 1.0f : 0.0f);
    for (int32_t c = 0; c < kChannelCount; ++c) {
        postEditorFloat(blockTag::ChannelMeter + c, std::sqrt(runtime.channelMeters[c]));
        if (state.target.channels[c].mode == 0) {
            const ChannelPlayState &play = state.play[c];
            postEditorFloat(blockTag::LfoDisplay + 2 * c, std::clamp(0.5f * play.lfoDisplay + 0.5f, 0.0f, 1.0f));
            postEditorFloat(blockTag::LfoDisplay + 2 * c + 1, std::clamp(0.5f * play.lfoDisplayScaled + 0.5f, 0.0f, 1.0f));
        }
    }
    float beat = 0.0f;
    if (hostPlaying || runtime.patternsRunning) {
        // The host's position may be anything; far out of range it shows no beat rather than overflow.
        const double half = std::isfinite(hostPosition) ? std::clamp(hostPosition * 2.0, -9.0e15, 9.0e15) : 0.0;
        const int64_t q = static_cast<int64_t>(std::trunc(half));
        const int64_t bar = 2 * std::max<int64_t>(hostTimeSignature[0], 1);
        beat = q % bar == 0 ? 1.0f : (q % 2 == 0 ? 0.67f : 0.0f);
    }
    postEditorFloat(tag::BeatIndicator, beat);
}
