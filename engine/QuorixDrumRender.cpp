// One drum-kit channel for one sub-block: every voice plays one sample of its drum key, forward
// and looped or reversed, through a fixed 4-pole low-pass with an attack-(hold)-release envelope,
// panned, onto one of three buses (dry, insert effect 1, insert effect 2) and into the sends;
// the insert effects process their buses and the buses are summed with the channel gain.
//
// Each voice's settings become start values and per-sample increments once per sub-block; the
// sample loop then runs on locals and calls no transcendental function.
#include "engine/Quorix.h"

#include "banks/SampleBanks.h"
#include "engine/VoiceRender.h"
#include "engine/dsp/slewParameter.h"
#include "engine/dsp/voicePrimitives.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace engine;

namespace {

constexpr int kBuses = 3; // dry, insert slot 1, insert slot 2
constexpr int kFourPole = 2;

float clamp01(float x) { return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f; }

// A drum key's pan p moved by the channel's pan c (0.5 centre) and then by the pan controller.
float keyPan(float p, float c, float controller)
{
    if (c < 0.5f)
        p = p * 2.0f * c;
    else if (c > 0.5f)
        p = p + (1.0f - p) * 2.0f * (c - 0.5f);
    return panMap(p, controller);
}

// The cutoff a voice's filter heads for: the key's cutoff scaled by its velocity response.
float drumCutoff(float velocity3, float velocityAmount, float cutoff)
{
    return clamp01(((velocity3 - 1.0f) * velocityAmount + 1.0f) * cutoff);
}

// What the channel gives every voice of this sub-block.
struct DrumBlock {
    int n;
    float rate;
    // Channel gain (volume, volume and expression controllers) at the sub-block's ends, and the
    // channel's part of the sends.
    float channelGain0, channelGain1;
    float chorus0, chorus1, reverb0, reverb1; // smoothed send squared, and its next value squared
    float channelPan;                         // smoothed, 0.5 centre
    float panController0, panController1;    // 0..127, 64 centre
    bool chorusOn, reverbOn;
};

struct Buses {
    float left[kBuses][kMaxSubBlock];
    float right[kBuses][kMaxSubBlock];
};

// The sections for a cutoff and resonance; reused when they are what the voice's last sub-block
// ended on, so a steady filter is designed once.
void designFilter(const VoiceRecord &v, float cutoff, float resonance, float rate, FilterSection out[2])
{
    if (v.designSlope == kFourPole && v.designCutoff == cutoff && v.designResonance == resonance && v.designRate == rate) {
        out[0] = v.filterCoefficients[0];
        out[1] = v.filterCoefficients[1];
        return;
    }
    lowPassCoefficients(cutoff, resonance, rate, kFourPole, out);
}

void renderDrumVoice(VoiceRecord &v, DrumKeyState &sk, const DrumKeyState &tk, const DrumBlock &b, Buses &buses,
                     float *chorusLeft, float *chorusRight, float *reverbLeft, float *reverbRight)
{
    const int n = b.n;
    const float fn = static_cast<float>(n);
    const SampleRecord &sample = *v.layerSamples[0];

    // Envelope: attack, hold while the key is down (when the key holds), release.
    if (isFading(v)) {
        advanceFade(v, n);
    } else {
        if (!(v.flags & kVoiceKeyHeld) && v.ampEnv.state == kEnvHold) {
            v.ampEnv.state = kEnvRelease;
            v.ampEnv.level = 255.0;
        }
        sk.hold = tk.hold;
        const double attack3 = static_cast<double>(sk.attack) * sk.attack * sk.attack;
        const double release3 = static_cast<double>(sk.release) * sk.release * sk.release;
        const double attackRate = 256.0 * n / (attack3 * 10.0 * b.rate + 1.0);
        const double releaseRate = 256.0 * n / ((release3 * 19.99 + 0.01) * b.rate);
        arStep(sk.hold != 0, sk.attack, v.ampEnv, attackRate, releaseRate, n);
    }

    // Gains and pan at the sub-block's start and end. The key's volume moves, not its squared
    // gain: the end value is where the next sub-block starts, so a gliding volume never steps.
    const float v3 = v.targetLevel * v.targetLevel * v.targetLevel;
    const float keyGain0 = sk.volume * sk.volume / 16384.0f;
    const float gain0 = ((v3 - 1.0f) * sk.ampEnvVelocityAmount + 1.0f) * keyGain0;
    const float keyVolume1 = rampValue(sk.volume, tk.volume, n);
    const float gain1 =
        ((v3 - 1.0f) * rampValue(sk.ampEnvVelocityAmount, tk.ampEnvVelocityAmount, n) + 1.0f) * keyVolume1 * keyVolume1 /
        16384.0f;
    const float pan0 = keyPan(sk.pan, b.channelPan, b.panController0);
    const float pan1 = keyPan(rampValue(sk.pan, tk.pan, n), b.channelPan, b.panController1);
    const float keyChorus1 = rampValue(sk.chorusSend, tk.chorusSend, n);
    const float keyReverb1 = rampValue(sk.reverbSend, tk.reverbSend, n);
    const float chorus0 = b.chorus0 * sk.chorusSend * sk.chorusSend * b.channelGain0;
    const float chorus1 = b.chorus1 * keyChorus1 * keyChorus1 * b.channelGain1;
    const float reverb0 = b.reverb0 * sk.reverbSend * sk.reverbSend * b.channelGain0;
    const float reverb1 = b.reverb1 * keyReverb1 * keyReverb1 * b.channelGain1;

    // The filter: its start cutoff at the voice's first sub-block, then toward the target.
    if (v.startPending) {
        v.filterStart = drumCutoff(v3, sk.filterVelocityAmount, sk.filterCutoff);
        v.startPending = 0;
    }
    FilterSection c[2] = {}, end[2] = {};
    const float startCutoff = v.filterStart, endResonance = rampValue(sk.filterResonance, tk.filterResonance, n);
    designFilter(v, startCutoff, sk.filterResonance, b.rate, c);
    slewParameter(&v.filterStart, drumCutoff(v3, tk.filterVelocityAmount, tk.filterCutoff), n);
    if (v.filterStart == startCutoff && endResonance == sk.filterResonance) {
        end[0] = c[0];
        end[1] = c[1];
    } else {
        designFilter(v, v.filterStart, endResonance, b.rate, end);
    }
    v.filterCoefficients[0] = end[0];
    v.filterCoefficients[1] = end[1];
    v.designCutoff = v.filterStart;
    v.designResonance = endResonance;
    v.designRate = b.rate;
    v.designSlope = kFourPole;
    FilterSection d[2];
    for (int s = 0; s < 2; ++s)
        d[s] = FilterSection{(end[s].a1 - c[s].a1) / fn, (end[s].a2 - c[s].a2) / fn, (end[s].gain - c[s].gain) / fn};

    const int bus = std::clamp(tk.insertBus, 0, kBuses - 1);
    float *__restrict busLeft = buses.left[bus];
    float *__restrict busRight = buses.right[bus];
    const bool reverse = tk.reverse != 0;
    const int16_t *data = sample.data;
    const int32_t size = sample.size;
    // A loop start outside the data plays as a one-shot; a reversed sample never loops.
    const int32_t loopStart = !reverse && sample.loopStart >= 1 && sample.loopStart <= size ? sample.loopStart : 0;
    int32_t index = std::clamp(v.layerPositions[0].index, 1, size);
    float accumulator = v.layerPositions[0].fraction;
    float step = v.layerGains[0];
    float *memory = v.filterMemory;

    // The sample's values first, then the filter and the mix: the reads wait on no filter step.
    float x[kMaxSubBlock];
    int endAt = n; // the sample at which a one-shot (or the reversed sample) ran out
    if (!reverse) {
        const int stoppedAt = readForward(data, size, loopStart, index, accumulator, step, x, n);
        if (stoppedAt >= 0)
            endAt = stoppedAt;
    } else {
        for (int j = 0; j < n; ++j) {
            bool stopped = false;
            const float f = advanceReadPosition(index, accumulator, size, loopStart, stopped);
            if (stopped && endAt == n) {
                endAt = j;
                step = 0.0f;
            }
            x[j] = cubicSampleReverse(data, size, size - index + 2, f);
            accumulator = f + step;
        }
    }

    const float gainStep = (gain1 - gain0) / fn, panStep = (pan1 - pan0) / fn;
    const float chorusStep = (chorus1 - chorus0) / fn, reverbStep = (reverb1 - reverb0) / fn;
    float gain = gain0, pan = pan0, chorus = chorus0, reverb = reverb0;
    float amp = v.ampEnv.output;
    float ampStep = v.ampEnv.step;
    const bool ended = endAt < n;
    // The filter's memory in locals: the bus writes below could alias the voice's own.
    float w[4] = {memory[0], memory[1], memory[2], memory[3]};
    for (int j = 0; j < n; ++j) {
        gain += gainStep;
        pan += panStep;
        chorus += chorusStep;
        reverb += reverbStep;
        for (int s = 0; s < 2; ++s) {
            c[s].a1 += d[s].a1;
            c[s].a2 += d[s].a2;
            c[s].gain += d[s].gain;
        }
        if (j == endAt) {
            // The sample has played out: the voice is silent from here and ends.
            amp = 0.0f;
            ampStep = 0.0f;
        }
        const float y = biquadFourPole(c, w, x[j]);
        amp = std::max(amp + ampStep, 0.0f);
        const float m = y * gain * amp;
        const float r = pan * m;
        const float l = m - r;
        busLeft[j] += l;
        busRight[j] += r;
        if (b.chorusOn) {
            chorusLeft[j] += chorus * l;
            chorusRight[j] += chorus * r;
        }
        if (b.reverbOn) {
            reverbLeft[j] += reverb * l;
            reverbRight[j] += reverb * r;
        }
    }
    for (int i = 0; i < 4; ++i)
        memory[i] = w[i];
    v.layerPositions[0] = SampleLayerPosition{index, accumulator};
    v.layerGains[0] = step;
    v.ampEnv.output = amp;
    if (ended)
        endVoice(v);
}

// Moves a key's settings toward their targets; returns whether they have reached them.
bool slewKey(DrumKeyState &s, const DrumKeyState &t, int n)
{
    slewParameter(&s.filterCutoff, t.filterCutoff, n);
    slewParameter(&s.filterResonance, t.filterResonance, n);
    slewParameter(&s.filterVelocityAmount, t.filterVelocityAmount, n);
    slewParameter(&s.volume, t.volume, n);
    slewParameter(&s.pan, t.pan, n);
    slewParameter(&s.attack, t.attack, n);
    slewParameter(&s.release, t.release, n);
    slewParameter(&s.ampEnvVelocityAmount, t.ampEnvVelocityAmount, n);
    slewParameter(&s.chorusSend, t.chorusSend, n);
    slewParameter(&s.reverbSend, t.reverbSend, n);
    return s.filterCutoff == t.filterCutoff && s.filterResonance == t.filterResonance &&
           s.filterVelocityAmount == t.filterVelocityAmount && s.volume == t.volume && s.pan == t.pan &&
           s.attack == t.attack && s.release == t.release && s.ampEnvVelocityAmount == t.ampEnvVelocityAmount &&
           s.chorusSend == t.chorusSend && s.reverbSend == t.reverbSend;
}

} // namespace

bool Quorix::drumChannelIdle(int32_t channel)
{
    const ChannelState &T = state.target.channels[channel];
    const ChannelState &S = state.smoothed.channels[channel];
    if (state.play[channel].voiceCount != 0 || T.seqOn ||
        !channelSettled(T, S, state.controllers[channel], sharedConfiguration()) || insertsActive(T, state.target.master))
        return false;
    if (drumKeysSettled[channel] && !drumKeysStale)
        return true;
    drumKeysSettled[channel] = 0;
    for (int k = 0; k < kDrumKeys; ++k) {
        const DrumKeyState &s = S.drum.drumKeys[k], &t = T.drum.drumKeys[k];
        if (s.filterCutoff != t.filterCutoff || s.filterResonance != t.filterResonance ||
            s.filterVelocityAmount != t.filterVelocityAmount || s.volume != t.volume || s.pan != t.pan ||
            s.attack != t.attack || s.release != t.release || s.ampEnvVelocityAmount != t.ampEnvVelocityAmount ||
            s.chorusSend != t.chorusSend || s.reverbSend != t.reverbSend)
            return false;
    }
    drumKeysSettled[channel] = 1;
    return true;
}

void Quorix::renderDrumChannel(int32_t channel, float *left, float *right, int32_t n, float *chorusLeft,
                               float *chorusRight, float *reverbLeft, float *reverbRight)
{
    if (channel < 0 || channel >= kChannelCount || n <= 0 || !left || !right)
        return;
    n = std::min(n, static_cast<int32_t>(kMaxSubBlock));
    const ChannelState &T = state.target.channels[channel];
    ChannelState &S = state.smoothed.channels[channel];
    ChannelPlayState &play = state.play[channel];
    const ControllerState &controller = state.controllers[channel];
    const ConfigurationBlock &configuration = sharedConfiguration();
    const float fn = static_cast<float>(n);

    // With no voice, no insert effect and the channel's values at their targets only the keys'
    // own settings have anything left to do.
    if (play.voiceCount == 0 && channelSettled(T, S, controller, configuration) && !insertsActive(T, state.target.master)) {
        slewKeys(channel, n);
        return;
    }

    Buses buses;
    for (int bus = 0; bus < kBuses; ++bus) {
        std::memcpy(buses.left[bus], denormalNoise, sizeof(float) * static_cast<size_t>(n));
        std::memcpy(buses.right[bus], denormalNoise, sizeof(float) * static_cast<size_t>(n));
    }

    // The channel's volume with the volume and expression controllers, and the pan controller,
    // each moving toward its target only when the configuration lets it act.
    float vol = configuration.volumeOn ? controller.volumeCurrent : 100.0f;
    float expr = configuration.expressionOn ? controller.expressionCurrent : 127.0f;
    float pc = configuration.panOn ? controller.panCurrent : 64.0f;
    DrumBlock b;
    b.n = n;
    b.rate = frameSampleRate > 0.0f ? frameSampleRate : 44100.0f;
    b.channelGain0 = S.volume * S.volume * 2.0f * vol / 100.0f * expr / 127.0f;
    b.panController0 = pc;
    if (configuration.volumeOn)
        slewParameter(&vol, controller.volumeTarget, n * 127);
    if (configuration.expressionOn)
        slewParameter(&expr, controller.expressionTarget, n * 127);
    if (configuration.panOn)
        slewParameter(&pc, controller.panTarget, n * 127);
    const float volumeEnd = rampValue(S.volume, T.volume, n);
    b.channelGain1 = volumeEnd * volumeEnd * 2.0f * vol / 100.0f * expr / 127.0f;
    b.panController1 = pc;
    b.channelPan = S.pan;
    const float chorusEnd = rampValue(S.chorusSend, T.chorusSend, n);
    const float reverbEnd = rampValue(S.reverbSend, T.reverbSend, n);
    b.chorus0 = S.chorusSend * S.chorusSend;
    b.chorus1 = chorusEnd * chorusEnd;
    b.reverb0 = S.reverbSend * S.reverbSend;
    b.reverb1 = reverbEnd * reverbEnd;
    b.chorusOn = chorusLeft && chorusRight;
    b.reverbOn = reverbLeft && reverbRight;

    for (int32_t i = 0; i < play.voiceCount; ++i) {
        VoiceRecord &v = play.voices[i];
        // A voice whose key found no sample stays silent and keeps its place until it is stopped.
        // One whose data was freed while it sounded may be stopped with its level still up:
        // at level 0 the next removal pass takes it, as it takes a voice that never had data.
        if (!samplePlayable(v.layerSamples[0]) || v.glideKey < 0 || v.glideKey >= kDrumKeys) {
            if (v.ampEnv.state == kEnvRelease)
                v.ampEnv.level = 0.0;
            continue;
        }
        renderDrumVoice(v, S.drum.drumKeys[v.glideKey], T.drum.drumKeys[v.glideKey], b, buses, chorusLeft, chorusRight,
                        reverbLeft, reverbRight);
    }

    if (state.target.master.insertEffectsOn) {
        const float rate = b.rate;
        const double tempo = hostTempo > 0.0 ? hostTempo : 120.0;
        for (int slot = 0; slot < kInsertSlotsPerChannel; ++slot) {
            const InsertEffectSlot &effect = T.insertEffects[slot];
            if (!effect.on || !effect.effect)
                continue;
            effect.effect->setSampleRate(rate);
            effect.effect->setTempo(tempo);
            effect.effect->setSongPosition(hostPosition);
            effect.effect->setParameters(effect.params);
            effect.effect->process(buses.left[slot + 1], buses.right[slot + 1], n);
        }
    }

    // The buses summed with the channel gain; the meter takes the buses' level before it, as a
    // magnitude, so negative peaks count as the melody channels' do.
    const float gainStep = (b.channelGain1 - b.channelGain0) / fn;
    float gain = b.channelGain0;
    float meter = state.runtime.channelMeters[channel];
    for (int32_t j = 0; j < n; ++j) {
        gain += gainStep;
        const float l = buses.left[0][j] + buses.left[1][j] + buses.left[2][j];
        const float r = buses.right[0][j] + buses.right[1][j] + buses.right[2][j];
        meter = std::max(meter, std::fabs(l + r));
        left[j] += l * gain;
        right[j] += r * gain;
    }
    state.runtime.channelMeters[channel] = meter;

    slewKeys(channel, n);
}

void Quorix::slewKeys(int32_t channel, int32_t n)
{
    // Keys found at their targets stay there until a parameter, an event or the periodic check
    // marks them stale.
    if (drumKeysSettled[channel] && !drumKeysStale)
        return;
    const ChannelState &T = state.target.channels[channel];
    ChannelState &S = state.smoothed.channels[channel];
    bool settled = true;
    for (int k = 0; k < kDrumKeys; ++k)
        settled &= slewKey(S.drum.drumKeys[k], T.drum.drumKeys[k], n);
    drumKeysSettled[channel] = settled && !drumKeysStale ? 1 : 0;
}
