// One melody channel for one sub-block: LFO, envelopes, glide, two sample layers through the
// low-pass (morphing to high-pass), the insert effects, volume, pan and sends.
//
// The channel's parameters become plain per-sub-block numbers (MelodyBlock) first; each voice
// then turns them into start values and per-step increments and runs a tight loop over at most
// 16 x oversampling steps with its state in locals. Nothing in the loop calls a transcendental
// function or reads the parameter model.
#include "engine/Quorix.h"

#include "banks/SampleBanks.h"
#include "engine/VoiceRender.h"
#include "engine/dsp/denormals.h"
#include "engine/dsp/noteLengths.h"
#include "engine/dsp/pitchTables.h"
#include "engine/dsp/slewParameter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <emmintrin.h>
#include <immintrin.h>
#include <xmmintrin.h>

using namespace engine;

namespace {

constexpr uint8_t kKeyHeld = kVoiceKeyHeld, kGliding = kVoiceGliding;
// Below this an envelope output counts as silent (a decay to a sustain of 0 lands on it only
// approximately, after many small float steps).
constexpr float kSilentOutput = 1e-6f;
// 127 x 8192: key tracking pivots at key 63.5.
constexpr float kKeyTrackingSpan = 1040384.0f;
// Sample steps per output sample at most (the configuration's largest factor).
constexpr int kMaxOversampling = 16;

float clamp01(float x) { return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f; }

// Every value the melody chain slews already at its target: a sub-block would change none.
bool melodySettled(const MelodyState &t, const MelodyState &s)
{
    auto same = [](const EnvelopeTimes &a, const EnvelopeTimes &b) {
        return a.attack == b.attack && a.decay == b.decay && a.sustain == b.sustain && a.release == b.release;
    };
    return s.glideTime == t.glideTime && s.lfoLevel == t.lfoLevel && s.oscMix == t.oscMix &&
           s.oscLfoAmount == t.oscLfoAmount && s.filterCutoff == t.filterCutoff && s.filterResonance == t.filterResonance &&
           s.filterMix == t.filterMix && s.filterEnvAmount == t.filterEnvAmount && s.filterLfoAmount == t.filterLfoAmount &&
           s.filterKeyTracking == t.filterKeyTracking && s.filterEnvVelocityAmount == t.filterEnvVelocityAmount &&
           s.ampEnvVelocityAmount == t.ampEnvVelocityAmount && same(s.filterEnvelope, t.filterEnvelope) &&
           same(s.ampEnvelope, t.ampEnvelope);
}

// Everything a voice needs of its channel for one sub-block, in plain numbers.
struct MelodyBlock {
    int32_t n;
    float rate;
    // Envelopes: smoothed times, rates in level units per sub-block.
    EnvelopeTimes ampTimes, filterTimes;
    EnvelopeRates ampRates, filterRates;
    float velocityAmount, velocityAmountEnd; // amplitude velocity response, smoothed and its next value
    bool damperHolds;                        // every released voice stays in its sustain
    bool sostenutoHolds;                     // voices marked by the pedal stay in their sustain
    // Filter: the target settings the cutoff is made of.
    float cutoff, envelopeAmount, envelopeVelocity, lfoAmountSquared, keyTracking;
    float resonance, resonanceEnd;
    int32_t slope;
    float mStart, mEnd;                      // LFO output scaled by its level at the sub-block's ends
    float glideTime;                         // smoothed
    float pitchDivisor, levelDivisor;        // glide: span / divisor per sample
    // Pitch: units of 1/8192 semitone.
    float pitchModulation;                   // LFO and master tune
    float bendOffset;
    float layerOffset[2];
    bool keyFollow[2];
    float tuningRatio[12];                   // by pitch class
    float mixStart, mixEnd, filterMixStart, filterMixEnd;
};

[[gnu::always_inline]] inline float cutoffFor(const MelodyBlock &b, const VoiceRecord &v, float pitch, float lfo)
{
    const float v3 = v.level * v.level * v.level;
    return clamp01(b.cutoff + (2.0f * b.envelopeAmount - 1.0f) * v.filterEnv.output * ((v3 - 1.0f) * b.envelopeVelocity + 1.0f) +
                   b.lfoAmountSquared * lfo + (2.0f * b.keyTracking - 1.0f) * (pitch / kKeyTrackingSpan - 0.5f));
}

// One sub-block of an envelope; the sustain of a held note, where most voices spend their time,
// without the call.
void envelopeStep(float attackTime, float sustain, EnvelopeState &e, const EnvelopeRates &rates, int n)
{
    if (e.state == kEnvSustain)
        e.step = (sustain - e.output) * (1.0f / static_cast<float>(n > 0 ? n : 1));
    else
        adsrStep(attackTime, sustain, e, rates, n);
}

// The voice's sections for a cutoff and resonance at the voice's filter rate; reused when the
// inputs are those of the coefficients it holds.
void designFilter(VoiceRecord &v, float cutoff, float resonance, float rate, int32_t slope, FilterSection out[2])
{
    if (v.designSlope == slope && v.designCutoff == cutoff && v.designResonance == resonance && v.designRate == rate) {
        out[0] = v.filterCoefficients[0];
        out[1] = v.filterCoefficients[1];
        return;
    }
    lowPassCoefficients(cutoff, resonance, rate, slope, out);
}

// One sample layer while a voice renders.
struct LayerRun {
    const int16_t *data;
    int32_t size;
    int32_t loopStart;  // 0: one-shot
    int32_t index;      // the last position read
    float accumulator;  // fraction plus the step still to be applied
    float step;
    int32_t stoppedAt;  // step at which a one-shot reached its end in this sub-block, else -1
};

// Eight steps at once where the processor has AVX2: two gathers fetch each step's four
// neighbours as pairs of 16-bit values. Starts at step k; returns the step it stopped at (k plus
// a multiple of 8) and the whole offset of the last step read.
[[gnu::target("avx2,fma")]] int readEightAtOnce(const int16_t *base, float start, float step, float *__restrict out,
                                                int k, int steps, int32_t &lastWhole)
{
    const __m256 startVector = _mm256_set1_ps(start), stepVector = _mm256_set1_ps(step);
    __m256 lanes = _mm256_add_ps(_mm256_setr_ps(0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f),
                                 _mm256_set1_ps(static_cast<float>(k)));
    const __m256 eight = _mm256_set1_ps(8.0f);
    const __m256 two = _mm256_set1_ps(2.0f), three = _mm256_set1_ps(3.0f), four = _mm256_set1_ps(4.0f);
    const __m256 five = _mm256_set1_ps(5.0f), half = _mm256_set1_ps(0.5f);
    const int *pairs = reinterpret_cast<const int *>(base);
    const int *nextPairs = reinterpret_cast<const int *>(base + 2);
    __m256i whole = _mm256_setzero_si256();
    const int first = k;
    for (; k + 8 <= steps; k += 8) {
        const __m256 offset = _mm256_add_ps(startVector, _mm256_mul_ps(lanes, stepVector));
        whole = _mm256_cvttps_epi32(offset);
        const __m256 fraction = _mm256_sub_ps(offset, _mm256_cvtepi32_ps(whole));
        const __m256i low = _mm256_i32gather_epi32(pairs, whole, 2);
        const __m256i high = _mm256_i32gather_epi32(nextPairs, whole, 2);
        const __m256 p0 = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(low, 16), 16));
        const __m256 p1 = _mm256_cvtepi32_ps(_mm256_srai_epi32(low, 16));
        const __m256 p2 = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(high, 16), 16));
        const __m256 p3 = _mm256_cvtepi32_ps(_mm256_srai_epi32(high, 16));
        const __m256 c3 = _mm256_sub_ps(_mm256_add_ps(_mm256_mul_ps(three, _mm256_sub_ps(p1, p2)), p3), p0);
        const __m256 c2 = _mm256_sub_ps(
            _mm256_add_ps(_mm256_sub_ps(_mm256_mul_ps(two, p0), _mm256_mul_ps(five, p1)), _mm256_mul_ps(four, p2)), p3);
        const __m256 c1 = _mm256_sub_ps(p2, p0);
        const __m256 inner = _mm256_add_ps(c1, _mm256_mul_ps(fraction, _mm256_add_ps(c2, _mm256_mul_ps(fraction, c3))));
        _mm256_storeu_ps(out + k, _mm256_add_ps(p1, _mm256_mul_ps(_mm256_mul_ps(half, fraction), inner)));
        lanes = _mm256_add_ps(lanes, eight);
    }
    if (k > first)
        lastWhole = _mm256_extract_epi32(whole, 7);
    return k;
}

#define QUORIX_AVX512 "avx512f,avx512bw,avx512vl,avx2,fma"
// GCC 12's AVX-512 headers start some vectors from an undefined value it then warns about.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
// Sixteen interpolated values at once where the processor has AVX-512BW and the step is short
// enough that the sixteen offsets and their neighbours lie within 32 values: one load of those
// values, then two in-register permutes fetch each step's neighbours as the gathers above do.
// available is how many values from base may be read; whole receives the offsets' whole parts.
[[gnu::target(QUORIX_AVX512), gnu::always_inline]] inline __m512 catmullSixteen(const int16_t *base, int32_t available,
                                                                               __m512 offset, __m512i &whole)
{
    whole = _mm512_cvttps_epi32(offset);
    const __m512 fraction = _mm512_sub_ps(offset, _mm512_cvtepi32_ps(whole));
    const int32_t first = _mm_cvtsi128_si32(_mm512_castsi512_si128(whole));
    const int32_t left = available - first;
    const __mmask32 mask = left >= 32 ? ~__mmask32{0} : (left > 0 ? (__mmask32{1} << left) - 1 : 0);
    const __m512i window = _mm512_maskz_loadu_epi16(mask, base + first);
    // Each 32-bit lane asks for values rel and rel + 1 (then rel + 2 and rel + 3).
    const __m512i rel = _mm512_sub_epi32(whole, _mm512_set1_epi32(first));
    const __m512i lowIndex = _mm512_or_si512(rel, _mm512_slli_epi32(_mm512_add_epi32(rel, _mm512_set1_epi32(1)), 16));
    const __m512i low = _mm512_permutexvar_epi16(lowIndex, window);
    const __m512i high = _mm512_permutexvar_epi16(_mm512_add_epi32(lowIndex, _mm512_set1_epi32(0x00020002)), window);
    const __m512 p0 = _mm512_cvtepi32_ps(_mm512_srai_epi32(_mm512_slli_epi32(low, 16), 16));
    const __m512 p1 = _mm512_cvtepi32_ps(_mm512_srai_epi32(low, 16));
    const __m512 p2 = _mm512_cvtepi32_ps(_mm512_srai_epi32(_mm512_slli_epi32(high, 16), 16));
    const __m512 p3 = _mm512_cvtepi32_ps(_mm512_srai_epi32(high, 16));
    const __m512 two = _mm512_set1_ps(2.0f), three = _mm512_set1_ps(3.0f), four = _mm512_set1_ps(4.0f);
    const __m512 five = _mm512_set1_ps(5.0f), half = _mm512_set1_ps(0.5f);
    const __m512 c3 = _mm512_sub_ps(_mm512_add_ps(_mm512_mul_ps(three, _mm512_sub_ps(p1, p2)), p3), p0);
    const __m512 c2 = _mm512_sub_ps(
        _mm512_add_ps(_mm512_sub_ps(_mm512_mul_ps(two, p0), _mm512_mul_ps(five, p1)), _mm512_mul_ps(four, p2)), p3);
    const __m512 c1 = _mm512_sub_ps(p2, p0);
    const __m512 inner = _mm512_add_ps(c1, _mm512_mul_ps(fraction, _mm512_add_ps(c2, _mm512_mul_ps(fraction, c3))));
    return _mm512_add_ps(p1, _mm512_mul_ps(_mm512_mul_ps(half, fraction), inner));
}

// Sixteen steps of a layer at once (see catmullSixteen). Returns the steps read (a multiple of
// 16) and the whole offset of the last of them.
[[gnu::target(QUORIX_AVX512)]] int readSixteenAtOnce(const int16_t *base, int32_t available, float start, float step,
                                                     float *__restrict out, int steps, int32_t &lastWhole)
{
    const __m512 startVector = _mm512_set1_ps(start), stepVector = _mm512_set1_ps(step);
    __m512 lanes = _mm512_setr_ps(0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f, 11.0f, 12.0f,
                                  13.0f, 14.0f, 15.0f);
    __m512i whole = _mm512_setzero_si512();
    int k = 0;
    for (; k + 16 <= steps; k += 16) {
        const __m512 offset = _mm512_add_ps(startVector, _mm512_mul_ps(lanes, stepVector));
        _mm512_storeu_ps(out + k, catmullSixteen(base, available, offset, whole));
        lanes = _mm512_add_ps(lanes, _mm512_set1_ps(16.0f));
    }
    if (k > 0)
        lastWhole = _mm_extract_epi32(_mm512_extracti32x4_epi32(whole, 3), 3);
    return k;
}

// A product kept apart from the sum it feeds, so that it rounds as the SSE code's does instead of
// fusing into one multiply-add.
[[gnu::target(QUORIX_AVX512), gnu::always_inline]] inline __m512 unfused(__m512 product)
{
    asm("" : "+v"(product));
    return product;
}

// Both layers of a voice sixteen steps at a time, crossfaded as they are read: the first plus
// (second - first) x (mixFirst + k x mixStep), as the two reads and the crossfade after them
// give. steps is a multiple of 16; lastWhole receives each layer's last whole offset.
[[gnu::target(QUORIX_AVX512)]] void readTwoSixteenAtOnce(const int16_t *const base[2], const int32_t available[2],
                                                         const float start[2], const float step[2], float mixFirst,
                                                         float mixStep, float *__restrict out, int steps,
                                                         int32_t lastWhole[2])
{
    const __m512 start0 = _mm512_set1_ps(start[0]), step0 = _mm512_set1_ps(step[0]);
    const __m512 start1 = _mm512_set1_ps(start[1]), step1 = _mm512_set1_ps(step[1]);
    const __m512 first = _mm512_set1_ps(mixFirst), mixStepVector = _mm512_set1_ps(mixStep);
    __m512 lanes = _mm512_setr_ps(0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f, 11.0f, 12.0f,
                                  13.0f, 14.0f, 15.0f);
    __m512i whole0 = _mm512_setzero_si512(), whole1 = _mm512_setzero_si512();
    for (int k = 0; k < steps; k += 16) {
        const __m512 a = catmullSixteen(base[0], available[0], _mm512_add_ps(start0, _mm512_mul_ps(lanes, step0)), whole0);
        const __m512 b = catmullSixteen(base[1], available[1], _mm512_add_ps(start1, _mm512_mul_ps(lanes, step1)), whole1);
        const __m512 mix = _mm512_add_ps(first, unfused(_mm512_mul_ps(lanes, mixStepVector)));
        _mm512_storeu_ps(out + k, _mm512_add_ps(a, unfused(_mm512_mul_ps(_mm512_sub_ps(b, a), mix))));
        lanes = _mm512_add_ps(lanes, _mm512_set1_ps(16.0f));
    }
    lastWhole[0] = _mm_extract_epi32(_mm512_extracti32x4_epi32(whole0, 3), 3);
    lastWhole[1] = _mm_extract_epi32(_mm512_extracti32x4_epi32(whole1, 3), 3);
}
#pragma GCC diagnostic pop

const bool cpuHasAvx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
const bool cpuHasAvx512 = cpuHasAvx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                          __builtin_cpu_supports("avx512vl");
bool hasAvx2 = cpuHasAvx2;
bool hasAvx512 = cpuHasAvx512;
// The longest step whose sixteen reads and their neighbours stay within 32 values.
constexpr float kShortStep = 1.75f;

// Whether steps reads of a layer stay inside its data, so need no test for its end. The margin
// keeps the single-precision offsets of the vector reads inside the data's guards.
bool readsWithin(const LayerRun &l, int steps)
{
    const double start = static_cast<double>(l.accumulator), step = l.step;
    return steps > 0 &&
           static_cast<double>(l.index) + start + static_cast<double>(steps - 1) * step < static_cast<double>(l.size) + 0.99 &&
           start >= 0.0 && step >= 0.0;
}

// Where a layer stands after steps reads that stayed inside its data, the last at whole offset
// lastWhole from its index.
void finishReads(LayerRun &l, int steps, int32_t lastWhole)
{
    const double end = static_cast<double>(l.accumulator) + static_cast<double>(steps) * static_cast<double>(l.step);
    l.index += lastWhole;
    l.accumulator = static_cast<float>(end - static_cast<double>(lastWhole));
}

// Reads steps interpolated values of a layer into out. Each step's position is the start plus
// k steps, so no step waits on the one before; only a sub-block that may pass the end (where a
// loop wraps or a one-shot stops) takes the careful walk that tests every step.
void readLayer(LayerRun &l, float *__restrict out, int steps)
{
    const int16_t *__restrict data = l.data;
    const int32_t size = l.size;
    const double start = static_cast<double>(l.accumulator);
    const double step = l.step;
    const int32_t index0 = l.index;
    if (readsWithin(l, steps)) {
        int32_t index = index0;
        int k = 0;
        // Four steps at once: each step's four neighbours are one 64-bit load, turned into one
        // lane-per-step vector for each neighbour. Offsets within a sub-block stay small, so
        // single precision from the block's start holds them to far below a cent.
        const __m128 startVector = _mm_set1_ps(static_cast<float>(start));
        const __m128 stepVector = _mm_set1_ps(static_cast<float>(step));
        __m128 lanes = _mm_set_ps(3.0f, 2.0f, 1.0f, 0.0f);
        const __m128 four = _mm_set1_ps(4.0f);
        const int16_t *base = data + index0 - 1;
        if (hasAvx512 && step <= kShortStep) {
            int32_t lastWhole = 0;
            k = readSixteenAtOnce(base, size - index0 + 4, static_cast<float>(start), static_cast<float>(step), out, steps,
                                  lastWhole);
            if (k > 0)
                index = index0 + lastWhole;
        }
        if (hasAvx2 && k + 8 <= steps) {
            int32_t lastWhole = 0;
            const int done = k;
            k = readEightAtOnce(base, static_cast<float>(start), static_cast<float>(step), out, done, steps, lastWhole);
            if (k > done)
                index = index0 + lastWhole;
        }
        if (k > 0)
            lanes = _mm_add_ps(lanes, _mm_set1_ps(static_cast<float>(k)));
        alignas(16) int32_t whole[4];
        for (; k + 4 <= steps; k += 4) {
            const __m128 offset = _mm_add_ps(startVector, _mm_mul_ps(lanes, stepVector));
            const __m128i wholeVector = _mm_cvttps_epi32(offset);
            const __m128 fraction = _mm_sub_ps(offset, _mm_cvtepi32_ps(wholeVector));
            _mm_store_si128(reinterpret_cast<__m128i *>(whole), wholeVector);
            auto load = [base](int32_t w) {
                const __m128i raw = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(base + w));
                return _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(raw, raw), 16));
            };
            __m128 p0 = load(whole[0]), p1 = load(whole[1]), p2 = load(whole[2]), p3 = load(whole[3]);
            _MM_TRANSPOSE4_PS(p0, p1, p2, p3);
            // Catmull-Rom, as catmullRom() writes it.
            const __m128 two = _mm_set1_ps(2.0f), three = _mm_set1_ps(3.0f);
            const __m128 c3 = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(three, _mm_sub_ps(p1, p2)), p3), p0);
            const __m128 c2 = _mm_sub_ps(_mm_add_ps(_mm_sub_ps(_mm_mul_ps(two, p0), _mm_mul_ps(_mm_set1_ps(5.0f), p1)),
                                                    _mm_mul_ps(_mm_set1_ps(4.0f), p2)),
                                         p3);
            const __m128 c1 = _mm_sub_ps(p2, p0);
            const __m128 inner = _mm_add_ps(c1, _mm_mul_ps(fraction, _mm_add_ps(c2, _mm_mul_ps(fraction, c3))));
            _mm_storeu_ps(out + k, _mm_add_ps(p1, _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(0.5f), fraction), inner)));
            index = index0 + whole[3];
            lanes = _mm_add_ps(lanes, four);
        }
        for (; k < steps; ++k) {
            const double offset = start + static_cast<double>(k) * step;
            const int32_t whole = static_cast<int32_t>(offset);
            index = index0 + whole;
            out[k] = cubicSample(data, index, static_cast<float>(offset - static_cast<double>(whole)));
        }
        finishReads(l, steps, index - index0);
        return;
    }
    double position = static_cast<double>(index0) + start;
    double walk = step;
    int32_t index = index0;
    for (int k = 0; k < steps; ++k) {
        index = static_cast<int32_t>(position);
        if (index > size) {
            const double fraction = position - static_cast<double>(index);
            bool stopped = false;
            advanceReadPosition(index, 0.0f, size, l.loopStart, stopped);
            if (stopped) {
                position = static_cast<double>(size);
                walk = 0.0;
                if (l.stoppedAt < 0)
                    l.stoppedAt = k;
            } else {
                position = static_cast<double>(index) + fraction;
            }
        }
        out[k] = cubicSample(data, index, static_cast<float>(position - static_cast<double>(index)));
        position += walk;
    }
    l.index = index;
    l.accumulator = static_cast<float>(position - static_cast<double>(index));
    l.step = static_cast<float>(walk);
}

// What the filtered voice loop moves across a sub-block.
struct VoiceRamps {
    FilterSection c[2], d[2];         // coefficients and their change per step
    float filterMix, filterMixStep;   // per step
    float amp, ampStep, gain, gainStep; // per output sample
    int endSample;                    // the output sample at which the voice falls silent, or n
};

// The filter over a sub-block's steps, its coefficients moving linearly by their step each sample
// step (Moving) or held, and each output sample from the last of its steps: filter mix, envelope
// and velocity gain. Sections is 1 (2-pole) or 2 (4-pole). Moving coefficients are laid out per
// step first, so the recurrence keeps its state in registers.
template <int Sections, bool Moving>
void filterVoice(const float *__restrict x, float *__restrict out, int n, int oversampling, VoiceRamps &r, float *memory)
{
    constexpr int kMaxSteps = kMaxSubBlock * kMaxOversampling;
    const int steps = n * oversampling;
    float coefficients[Moving ? 6 : 1][Moving ? kMaxSteps : 1];
    if constexpr (Moving) {
        for (int s = 0; s < Sections; ++s) {
            const FilterSection c = r.c[s], d = r.d[s];
            float *a1 = coefficients[3 * s], *a2 = coefficients[3 * s + 1], *g = coefficients[3 * s + 2];
            for (int k = 0; k < steps; ++k) {
                const float at = static_cast<float>(k + 1);
                a1[k] = c.a1 + at * d.a1;
                a2[k] = c.a2 + at * d.a2;
                g[k] = c.gain + at * d.gain;
            }
        }
    }
    const FilterSection c0 = r.c[0], c1 = r.c[1];
    float w1 = memory[0], w2 = memory[1], w3 = memory[2], w4 = memory[3];
    float amp = r.amp, ampStep = r.ampStep, gain = r.gain;
    const float gainStep = r.gainStep;
    float filterMix = r.filterMix;
    const float filterMixLast = r.filterMixStep * static_cast<float>(oversampling);
    int k = 0;
    for (int j = 0; j < n; ++j) {
        float input = 0.0f, y = 0.0f;
        for (int s = 0; s < oversampling; ++s, ++k) {
            input = x[k];
            const float a1 = Moving ? coefficients[0][k] : c0.a1, a2 = Moving ? coefficients[1][k] : c0.a2;
            const float g = Moving ? coefficients[2][k] : c0.gain;
            // The older state first: only the a1 product waits on the step before.
            float w = (input - a2 * w2) - a1 * w1;
            y = g * (w + 2.0f * w1 + w2);
            w2 = w1;
            w1 = w;
            if constexpr (Sections == 2) {
                const float b1 = Moving ? coefficients[3][k] : c1.a1, b2 = Moving ? coefficients[4][k] : c1.a2;
                const float h = Moving ? coefficients[5][k] : c1.gain;
                w = (y - b2 * w4) - b1 * w3;
                y = h * (w + 2.0f * w3 + w4);
                w4 = w3;
                w3 = w;
            }
        }
        filterMix += filterMixLast;
        const float o = y + filterMix * (input - 2.0f * y);
        if (j == r.endSample) {
            amp = 0.0f;
            ampStep = 0.0f;
        }
        amp = std::max(amp + ampStep, 0.0f);
        gain += gainStep;
        out[j] += amp * gain * o;
    }
    memory[0] = w1;
    memory[1] = w2;
    memory[2] = w3;
    memory[3] = w4;
    r.amp = amp;
}

// 0, 1, 2, ... as floats: ramps written as start + k x step vectorise.
const struct StepRamp {
    float k[kMaxSubBlock * kMaxOversampling];
    StepRamp()
    {
        for (int i = 0; i < kMaxSubBlock * kMaxOversampling; ++i)
            k[i] = static_cast<float>(i);
    }
} stepRamp;

// A voice whose held filter waits to run beside others: one recurrence per voice is bound by its
// latency, four side by side in one vector cost about the same as one.
struct FilterJob {
    VoiceRecord *voice;
    bool ends; // the voice falls silent in this sub-block
    alignas(16) float x[kMaxSubBlock * kMaxOversampling + 4];
};

// What the batched filters read of each voice, one voice per column so that a row loads as a
// vector with one lane per voice: the coefficients, the filter memory and the gains.
enum FilterRow { kA1, kA2, kG, kB1, kB2, kH, kW1, kW2, kW3, kW4, kAmp, kAmpStep, kGain, kGainStep, kFilterRows };

void finishFilterJob(FilterJob &job, float amp)
{
    job.voice->ampEnv.output = amp;
    if (job.ends)
        endVoice(*job.voice);
}

// Held filters of one channel's sub-block gathered sixteen at a time, run as wide as the
// processor allows.
struct FilterBatch {
    static constexpr int kSize = 16;
    FilterJob slots[kSize];
    FilterJob *pending[kSize];
    alignas(64) float rows[kFilterRows][kSize];
    alignas(64) int32_t endSamples[kSize];
    float filterMix = 0.0f, filterMixStep = 0.0f; // the channel's, per step
    int count = 0;
    int oversampling = 0;
    int sections = 2;
    int n = 0;
    float *out = nullptr;

    FilterJob &next() { return slots[count]; }
    // The voice whose input was written into next().x joins the batch with its ramps; a full
    // batch runs now.
    void add(VoiceRecord &v, const VoiceRamps &r, bool ends)
    {
        FilterJob &job = slots[count];
        job.voice = &v;
        job.ends = ends;
        const float values[kFilterRows] = {r.c[0].a1,       r.c[0].a2,       r.c[0].gain, r.c[1].a1, r.c[1].a2,
                                           r.c[1].gain,     v.filterMemory[0], v.filterMemory[1], v.filterMemory[2],
                                           v.filterMemory[3], r.amp,         r.ampStep,   r.gain,    r.gainStep};
        for (int i = 0; i < kFilterRows; ++i)
            rows[i][count] = values[i];
        endSamples[count] = r.endSample;
        filterMix = r.filterMix;
        filterMixStep = r.filterMixStep;
        pending[count] = &job;
        if (++count == kSize)
            flush();
    }
    void flush();
};

// A vector of Lanes floats (or 32-bit integers) with the plain arithmetic operators: the filter
// below is written once and compiled at each width inside a function for the matching processor.
template <int Lanes>
struct LaneVectors {
    typedef float Floats __attribute__((vector_size(4 * Lanes)));
    typedef int32_t Ints __attribute__((vector_size(4 * Lanes)));
};

// Up to Lanes held filters with the same steps per output sample, one voice per vector lane: the
// recurrence's latency is shared by every voice in the vector, and each lane computes what
// filterVoice would for its voice. The voices' outputs are added in groups of four, the order of
// the four-lane filter, so every width gives the same sum.
template <int Lanes, int Sections>
[[gnu::always_inline]] inline void filterLanes(FilterBatch &batch, int first, int count)
{
    FilterJob *const *jobs = batch.pending + first;
    float *__restrict out = batch.out;
    const int n = batch.n, oversampling = batch.oversampling;
    using F = typename LaneVectors<Lanes>::Floats;
    using I = typename LaneVectors<Lanes>::Ints;
    alignas(64) static const float silence[kMaxSubBlock * kMaxOversampling + 4] = {};
    const int steps = n * oversampling;
    const float *x[Lanes];
    for (int l = 0; l < Lanes; ++l)
        x[l] = l < count ? jobs[l]->x : silence;
    for (int l = 0; l < count; ++l)
        for (int k = steps; k < ((steps + 3) & ~3); ++k)
            jobs[l]->x[k] = 0.0f;
    alignas(64) float lanes[kMaxSubBlock * kMaxOversampling][Lanes];
    for (int quarter = 0; quarter < Lanes / 4; ++quarter) {
        const float *const *q = x + 4 * quarter;
        for (int k = 0; k < steps; k += 4) {
            __m128 r0 = _mm_load_ps(q[0] + k), r1 = _mm_load_ps(q[1] + k), r2 = _mm_load_ps(q[2] + k),
                   r3 = _mm_load_ps(q[3] + k);
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            _mm_store_ps(lanes[k] + 4 * quarter, r0);
            _mm_store_ps(lanes[k + 1] + 4 * quarter, r1);
            _mm_store_ps(lanes[k + 2] + 4 * quarter, r2);
            _mm_store_ps(lanes[k + 3] + 4 * quarter, r3);
        }
    }
    // The arrays are aligned to the vector and first is a multiple of Lanes: read them as vectors.
    auto load = [](const float *p) -> const F & { return *reinterpret_cast<const F *>(p); };
    float(&v)[kFilterRows][FilterBatch::kSize] = batch.rows;
    const F a1 = load(v[kA1] + first), a2 = load(v[kA2] + first), g = load(v[kG] + first);
    const F b1 = load(v[kB1] + first), b2 = load(v[kB2] + first), h = load(v[kH] + first);
    F w1 = load(v[kW1] + first), w2 = load(v[kW2] + first), w3 = load(v[kW3] + first), w4 = load(v[kW4] + first);
    F amp = load(v[kAmp] + first), ampStep = load(v[kAmpStep] + first), gain = load(v[kGain] + first);
    const F gainStep = load(v[kGainStep] + first);
    const I endSample = *reinterpret_cast<const I *>(batch.endSamples + first);
    const float filterMixLast = batch.filterMixStep * static_cast<float>(oversampling);
    float filterMix = batch.filterMix;
    alignas(64) float sums[kMaxSubBlock][Lanes];
    int k = 0;
    for (int j = 0; j < n; ++j) {
        F input = {}, y = {};
        for (int s = 0; s < oversampling; ++s, ++k) {
            input = load(lanes[k]);
            F w = (input - a2 * w2) - a1 * w1;
            y = g * ((w + 2.0f * w1) + w2);
            w2 = w1;
            w1 = w;
            if constexpr (Sections == 2) {
                w = (y - b2 * w4) - b1 * w3;
                y = h * ((w + 2.0f * w3) + w4);
                w4 = w3;
                w3 = w;
            }
        }
        filterMix += filterMixLast;
        const F o = y + filterMix * (input - 2.0f * y);
        const I silent = endSample == j;
        amp = reinterpret_cast<F>(reinterpret_cast<I>(amp) & ~silent);
        ampStep = reinterpret_cast<F>(reinterpret_cast<I>(ampStep) & ~silent);
        amp = amp + ampStep;
        amp = amp > 0.0f ? amp : F{};
        gain = gain + gainStep;
        const F sum = (amp * gain) * o;
        std::memcpy(sums[j], &sum, sizeof sum);
    }
    const int groups = (count + 3) / 4;
    for (int j = 0; j < n; ++j)
        for (int q = 0; q < groups; ++q) {
            const float *s = sums[j] + 4 * q;
            out[j] += (s[0] + s[1]) + (s[2] + s[3]);
        }
    alignas(64) float memory[4][Lanes];
    std::memcpy(memory[0], &w1, sizeof w1);
    std::memcpy(memory[1], &w2, sizeof w2);
    std::memcpy(memory[2], &w3, sizeof w3);
    std::memcpy(memory[3], &w4, sizeof w4);
    alignas(64) float amps[Lanes];
    std::memcpy(amps, &amp, sizeof amp);
    for (int l = 0; l < count; ++l) {
        float *m = jobs[l]->voice->filterMemory;
        m[0] = memory[0][l];
        m[1] = memory[1][l];
        m[2] = memory[2][l];
        m[3] = memory[3][l];
        finishFilterJob(*jobs[l], amps[l]);
    }
}

template <int Sections>
void filterFour(FilterBatch &batch, int first, int count)
{
    filterLanes<4, Sections>(batch, first, count);
}

bool hasAvx = __builtin_cpu_supports("avx2");

template <int Sections>
[[gnu::target("avx2")]] void filterEight(FilterBatch &batch, int first, int count)
{
    filterLanes<8, Sections>(batch, first, count);
}

// AVX-512 brings fused multiply-adds, which would round differently from the narrower filters.
template <int Sections>
[[gnu::target("avx512f,avx512vl"), gnu::optimize("fp-contract=off")]] void filterSixteen(FilterBatch &batch, int first,
                                                                                         int count)
{
    filterLanes<16, Sections>(batch, first, count);
}

template <int Sections>
void runBatch(FilterBatch &batch)
{
    const int count = batch.count;
    if (count == 1) {
        // One voice alone: the plain loop, from its column.
        const float(&v)[kFilterRows][FilterBatch::kSize] = batch.rows;
        VoiceRamps r;
        r.c[0] = FilterSection{v[kA1][0], v[kA2][0], v[kG][0]};
        r.c[1] = FilterSection{v[kB1][0], v[kB2][0], v[kH][0]};
        r.filterMix = batch.filterMix;
        r.filterMixStep = batch.filterMixStep;
        r.amp = v[kAmp][0];
        r.ampStep = v[kAmpStep][0];
        r.gain = v[kGain][0];
        r.gainStep = v[kGainStep][0];
        r.endSample = batch.endSamples[0];
        FilterJob &job = *batch.pending[0];
        filterVoice<Sections, false>(job.x, batch.out, batch.n, batch.oversampling, r, job.voice->filterMemory);
        finishFilterJob(job, r.amp);
        return;
    }
    // Lanes past the last voice hold zeros and never fall silent.
    for (int l = count; l < FilterBatch::kSize; ++l) {
        for (int i = 0; i < kFilterRows; ++i)
            batch.rows[i][l] = 0.0f;
        batch.endSamples[l] = -1;
    }
    if (count > 8 && hasAvx512) {
        filterSixteen<Sections>(batch, 0, count);
        return;
    }
    const int width = hasAvx ? 8 : 4;
    for (int first = 0; first < count; first += width) {
        const int lanes = std::min(count - first, width);
        if (lanes > 4)
            filterEight<Sections>(batch, first, lanes);
        else
            filterFour<Sections>(batch, first, lanes);
    }
}

void FilterBatch::flush()
{
    if (count > 0) {
        if (sections == 1)
            runBatch<1>(*this);
        else
            runBatch<2>(*this);
    }
    count = 0;
}


void renderVoice(VoiceRecord &v, const MelodyBlock &b, float *out, FilterBatch &batch)
{
    const int n = b.n;
    // Layers whose sample (still) has data.
    const bool present[2] = {samplePlayable(v.layerSamples[0]), samplePlayable(v.layerSamples[1])};
    if (!present[0] && !present[1]) {
        v.ampEnv.state = kEnvRelease;
        v.ampEnv.level = 0.0;
        return;
    }

    // Amplitude envelope, with the fast fade of a stolen or stopped voice.
    if (isFading(v)) {
        advanceFade(v, n);
    } else {
        if (!(v.flags & kKeyHeld) && v.ampEnv.state != kEnvRelease) {
            const bool held = b.damperHolds || (b.sostenutoHolds && v.sostenutoHeld);
            if (!held) {
                v.ampEnv.releaseFrom = v.ampEnv.output;
                v.filterEnv.releaseFrom = v.filterEnv.output;
                v.ampEnv.state = v.filterEnv.state = kEnvRelease;
                v.ampEnv.level = v.filterEnv.level = 255.0;
            }
        }
        if (v.ampEnv.state == kEnvSustain && v.ampEnv.output <= kSilentOutput) {
            v.ampEnv.state = kEnvRelease;
            v.ampEnv.level = 0.0;
        } else {
            envelopeStep(b.ampTimes.attack, b.ampTimes.sustain, v.ampEnv, b.ampRates, n);
        }
    }
    envelopeStep(b.filterTimes.attack, b.filterTimes.sustain, v.filterEnv, b.filterRates, n);

    float level3 = v.level * v.level * v.level;
    const float gain0 = ((level3 - 1.0f) * b.velocityAmount + 1.0f) / 32768.0f;

    const float filterRate = b.rate * static_cast<float>(v.oversampling);
    if (v.startPending) {
        v.filterEnv.output = clamp01(v.filterEnv.output);
        v.filterStart = cutoffFor(b, v, b.glideTime <= 0.0f ? v.targetPitch : v.pitch, b.mStart);
        v.startPending = 0;
    }
    FilterSection start[2] = {};
    designFilter(v, v.filterStart, b.resonance, filterRate, b.slope, start);

    if (v.flags & kGliding) {
        const float pitchMove = v.pitchSpan / b.pitchDivisor * static_cast<float>(n);
        const float levelMove = v.levelSpan / b.levelDivisor * static_cast<float>(n);
        v.pitch = v.pitch < v.targetPitch ? std::min(v.pitch + pitchMove, v.targetPitch)
                                          : std::max(v.pitch - pitchMove, v.targetPitch);
        v.level = v.level < v.targetLevel ? std::min(v.level + levelMove, v.targetLevel)
                                          : std::max(v.level - levelMove, v.targetLevel);
        if (v.pitch == v.targetPitch && v.level == v.targetLevel) {
            v.flags &= static_cast<uint8_t>(~kGliding);
            v.glideKey = v.key;
        }
    }
    level3 = v.level * v.level * v.level;
    const float gain1 = ((level3 - 1.0f) * b.velocityAmountEnd + 1.0f) / 32768.0f;

    v.filterEnv.output = clamp01(v.filterEnv.output + static_cast<float>(n) * v.filterEnv.step);
    const float startCutoff = v.filterStart;
    slewParameter(&v.filterStart, cutoffFor(b, v, v.pitch, b.mEnd), n);
    FilterSection end[2] = {};
    designFilter(v, v.filterStart, b.resonanceEnd, filterRate, b.slope, end);

    // Layer steps from the pitch, the note and fine tables and the temperament.
    const float tuning = b.tuningRatio[((v.key % 12) + 12) % 12];
    LayerRun runs[2];
    int count = 0;
    for (int layer = 0; layer < 2; ++layer) {
        if (!present[layer])
            continue;
        const SampleRecord &sample = *v.layerSamples[layer];
        if (v.layerGains[layer] != 0.0f) {
            const float base = b.keyFollow[layer] ? v.pitch + b.bendOffset
                                                  : static_cast<float>(v.layerRootKeys[layer] * kPitchUnitsPerSemitone);
            const float p = b.layerOffset[layer] + b.pitchModulation + base;
            const int32_t units = static_cast<int32_t>(p);
            v.layerGains[layer] = pitchFrequency(units < 0 ? -1 : units) * v.layerSteps[layer] * tuning;
        }
        // A loop start outside the data plays as a one-shot.
        const int32_t loopStart = sample.loopStart >= 1 && sample.loopStart <= sample.size ? sample.loopStart : 0;
        const SampleLayerPosition &position = v.layerPositions[layer];
        runs[count++] = LayerRun{sample.data, sample.size, loopStart, std::clamp(position.index, 1, sample.size),
                                 position.fraction, v.layerGains[layer], -1};
    }

    const int oversampling = std::clamp(v.oversampling, 1, kMaxOversampling);
    const int steps = n * oversampling;
    const float perStep = 1.0f / static_cast<float>(steps);

    // A fully open low-pass without resonance, unmixed, passes the audible band unchanged: the
    // voice skips it and, as only the last step of each output sample is kept, reads just those.
    const bool open = v.filterStart >= 1.0f && startCutoff >= 1.0f && b.resonance == 0.0f && b.resonanceEnd == 0.0f &&
                      b.filterMixStart == 0.0f && b.filterMixEnd == 0.0f;
    const int stride = open ? oversampling : 1; // steps between the values read
    const int reads = steps / stride;
    if (stride > 1)
        for (int r = 0; r < count; ++r) {
            runs[r].accumulator += static_cast<float>(stride - 1) * runs[r].step;
            runs[r].step *= static_cast<float>(stride);
        }

    // The filter held for the whole sub-block runs in the batch, four voices at once.
    const int sections = b.slope == 1 ? 1 : 2;
    const bool moving = std::memcmp(start, end, sizeof start) != 0;
    const bool batched = !open && !moving;
    if (batched && batch.count > 0 && batch.oversampling != oversampling)
        batch.flush();
    float own[kMaxSubBlock * kMaxOversampling];
    float *__restrict x = batched ? batch.next().x : own;

    // Both layers (or the one with data), crossfaded.
    const float mixStep = (b.mixEnd - b.mixStart) * perStep * static_cast<float>(stride);
    const float mixFirst = b.mixStart + static_cast<float>(stride - 1) * (b.mixEnd - b.mixStart) * perStep;
    const bool together = count == 2 && hasAvx512 && reads % 16 == 0 && runs[0].step <= kShortStep &&
                          runs[1].step <= kShortStep && readsWithin(runs[0], reads) && readsWithin(runs[1], reads);
    if (together) {
        // In one pass, as the two reads and the crossfade below would give.
        const int16_t *base[2];
        int32_t available[2], lastWhole[2];
        float starts[2], stepSizes[2];
        for (int r = 0; r < 2; ++r) {
            base[r] = runs[r].data + runs[r].index - 1;
            available[r] = runs[r].size - runs[r].index + 4;
            starts[r] = runs[r].accumulator;
            stepSizes[r] = runs[r].step;
        }
        readTwoSixteenAtOnce(base, available, starts, stepSizes, mixFirst, mixStep, x, reads, lastWhole);
        for (int r = 0; r < 2; ++r)
            finishReads(runs[r], reads, lastWhole[r]);
    } else {
        readLayer(runs[0], x, reads);
    }
    if (count == 2 && !together) {
        float second[kMaxSubBlock * kMaxOversampling];
        readLayer(runs[1], second, reads);
        int k = 0;
        const __m128 first = _mm_set1_ps(mixFirst), step = _mm_set1_ps(mixStep);
        for (; k + 4 <= reads; k += 4) {
            const __m128 a = _mm_loadu_ps(x + k);
            const __m128 mix = _mm_add_ps(first, _mm_mul_ps(_mm_loadu_ps(stepRamp.k + k), step));
            _mm_storeu_ps(x + k, _mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(_mm_loadu_ps(second + k), a), mix)));
        }
        for (; k < reads; ++k)
            x[k] += (second[k] - x[k]) * (mixFirst + stepRamp.k[k] * mixStep);
    }
    if (stride > 1)
        for (int r = 0; r < count; ++r) {
            runs[r].step /= static_cast<float>(stride);
            runs[r].accumulator -= static_cast<float>(stride - 1) * runs[r].step;
        }

    // The read at which no layer moves any more: the voice ends there.
    int endStep = reads;
    {
        int k = 0;
        bool stillMoving = false;
        for (int layer = 0, r = 0; layer < 2; ++layer) {
            if (!present[layer]) {
                continue;
            }
            const LayerRun &run = runs[r++];
            if (run.stoppedAt >= 0)
                k = std::max(k, run.stoppedAt);
            else if (run.step != 0.0f)
                stillMoving = true;
        }
        const bool anyStopped = runs[0].stoppedAt >= 0 || (count == 2 && runs[1].stoppedAt >= 0);
        if (anyStopped && !stillMoving)
            endStep = k;
    }

    const float gainStep = (gain1 - gain0) / static_cast<float>(n);
    float amp = v.ampEnv.output;
    float ampStep = v.ampEnv.step;
    float gain = gain0;
    const int endSample = endStep < reads ? endStep * stride / oversampling : n;
    bool finished = true; // the amplitude envelope's output is known now
    if (open) {
        // The filter's memory follows the input as a steady state, so a filter that closes
        // again starts from where the sound is.
        for (int s = 0; s < sections; ++s) {
            const float w = end[s].gain > 0.0f ? x[reads - 1] * 0.25f / end[s].gain : 0.0f;
            v.filterMemory[2 * s] = v.filterMemory[2 * s + 1] = w;
        }
        for (int j = 0; j < n; ++j) {
            if (j == endSample) {
                amp = 0.0f;
                ampStep = 0.0f;
            }
            amp = std::max(amp + ampStep, 0.0f);
            gain += gainStep;
            out[j] += amp * gain * x[j];
        }
    } else {
        // The low-pass, its coefficients moving from start to end across the steps.
        VoiceRamps r;
        for (int s = 0; s < 2; ++s) {
            r.c[s] = start[s];
            r.d[s] = FilterSection{(end[s].a1 - start[s].a1) * perStep, (end[s].a2 - start[s].a2) * perStep,
                                   (end[s].gain - start[s].gain) * perStep};
        }
        r.filterMix = b.filterMixStart;
        r.filterMixStep = (b.filterMixEnd - b.filterMixStart) * perStep;
        r.amp = amp;
        r.ampStep = ampStep;
        r.gain = gain;
        r.gainStep = gainStep;
        r.endSample = endSample;
        if (batched) {
            batch.oversampling = oversampling;
            batch.sections = sections;
            batch.n = n;
            batch.out = out;
            // A full batch runs now and sets the envelope's output (and ends the voice).
            batch.add(v, r, endStep < reads);
            finished = false;
        } else if (sections == 1) {
            filterVoice<1, true>(x, out, n, oversampling, r, v.filterMemory);
        } else {
            filterVoice<2, true>(x, out, n, oversampling, r, v.filterMemory);
        }
        amp = r.amp;
    }

    // Write the layers back; a layer whose step fell to 0 has stopped for good.
    for (int layer = 0, r = 0; layer < 2; ++layer) {
        if (!present[layer])
            continue;
        const LayerRun &run = runs[r++];
        v.layerPositions[layer] = SampleLayerPosition{run.index, run.accumulator};
        if (run.step == 0.0f)
            v.layerGains[layer] = 0.0f;
    }
    v.filterCoefficients[0] = end[0];
    v.filterCoefficients[1] = end[1];
    v.designCutoff = v.filterStart;
    v.designResonance = b.resonanceEnd;
    v.designRate = filterRate;
    v.designSlope = b.slope;
    if (!finished)
        return;
    v.ampEnv.output = amp;
    if (endStep < reads)
        endVoice(v);
}

// The LFO's values and depths at a sub-block's two ends.
struct LfoBlock {
    float depthStart, depthEnd, valueStart, valueEnd;
};

// Moves the channel's LFO by n samples: its delay, rate ramp and depth fade, and its phase.
LfoBlock advanceLfo(const MelodyState &tm, const MelodyState &sm, ChannelPlayState &play, int32_t n, float R,
                    double tempo, double position)
{
    // LFO rate in phase steps per sample (256 steps a cycle).
    double lfoSteps;
    if (tm.lfoBpmSync) {
        const int32_t i = std::clamp(static_cast<int32_t>(std::lround(tm.lfoRate * 26.0f)), 0, kLfoSyncNoteLengthCount - 1);
        const double beats = lfoSyncNoteLengths[i].beats;
        lfoSteps = tempo / 60.0 / beats * 256.0 / R;
        if (!tm.lfoKeySync && std::isfinite(position)) {
            const double cycles = position / beats;
            const double phase = (cycles - std::floor(cycles)) * 256.0;
            play.lfoPhase = std::clamp(static_cast<int32_t>(phase), 0, 255);
            play.lfoPhaseFraction = static_cast<float>(phase - play.lfoPhase);
        }
    } else {
        const double rate = tm.lfoRate;
        lfoSteps = (rate * rate * rate * 12797.44 + 2.56) / R;
    }
    if (tm.lfoWave == 8)
        lfoSteps *= 8.0;

    // Delay, then the rate and the depth fade in.
    auto timeStep = [&](float t) { return n / (static_cast<double>(t) * t * t * 10.0 * R + 1.0); };
    if (play.lfoDelayProgress < 1.0) {
        play.lfoRateRamp = 0.0;
        play.lfoAttackProgress = 0.0;
        play.lfoDelayProgress += timeStep(tm.lfoDelayTime);
    } else {
        if (play.lfoRateRamp < 1.0)
            play.lfoRateRamp = std::clamp(play.lfoRateRamp + timeStep(tm.lfoAttackTime), 0.0, 1.0);
        if (play.lfoAttackProgress < 1.0)
            play.lfoAttackProgress = std::clamp(play.lfoAttackProgress + timeStep(tm.lfoAttackTime), 0.0, 1.0);
    }

    LfoState phase{play.lfoPhase, play.lfoPhaseFraction, play.lfoLastIndex, play.lfoHeldRandom, play.lfoRandomSeed};
    const float fade = static_cast<float>(play.lfoAttackProgress * play.lfoAttackProgress);
    const float depthStart = fade * sm.lfoLevel;
    const float valueStart = lfoValue(tm.lfoWave, phase);
    float depthEnd = depthStart;
    slewParameter(&depthEnd, fade * tm.lfoLevel, n);
    // Whole cycles are dropped first: a long skipped stretch moves the phase by its remainder.
    double advance = static_cast<double>(n) * lfoSteps * play.lfoRateRamp;
    advance -= std::floor(advance / 256.0) * 256.0;
    phase.fraction += static_cast<float>(advance);
    const float valueEnd = lfoValue(tm.lfoWave, phase);
    play.lfoPhase = phase.index;
    play.lfoPhaseFraction = phase.fraction;
    play.lfoLastIndex = phase.lastIndex;
    play.lfoHeldRandom = phase.heldRandom;
    play.lfoRandomSeed = phase.randomSeed;
    play.lfoDisplay = valueEnd;
    play.lfoDisplayScaled = depthEnd * depthEnd * valueEnd;

    return LfoBlock{depthStart, depthEnd, valueStart, valueEnd};
}

} // namespace

int engine::readForward(const int16_t *data, int32_t size, int32_t loopStart, int32_t &index, float &fraction,
                        float &step, float *out, int steps)
{
    LayerRun run{data, size, loopStart, index, fraction, step, -1};
    readLayer(run, out, steps);
    index = run.index;
    fraction = run.accumulator;
    step = run.step;
    return run.stoppedAt;
}

VoiceVectors engine::widestVoiceVectors()
{
    return cpuHasAvx512 ? VoiceVectors::Avx512 : cpuHasAvx2 ? VoiceVectors::Avx2 : VoiceVectors::Sse2;
}

void engine::limitVoiceVectors(VoiceVectors widest)
{
    hasAvx2 = cpuHasAvx2 && widest >= VoiceVectors::Avx2;
    hasAvx512 = cpuHasAvx512 && widest >= VoiceVectors::Avx512;
    hasAvx = __builtin_cpu_supports("avx2") && widest >= VoiceVectors::Avx2;
}

void Quorix::catchUpLfo(int32_t channel)
{
    ChannelPlayState &play = state.play[channel];
    const int32_t samples = play.lfoIdleSamples;
    play.lfoIdleSamples = 0;
    if (samples <= 0 || state.target.channels[channel].mode != 0)
        return;
    const float R = frameSampleRate > 0.0f ? frameSampleRate : 44100.0f;
    const double tempo = hostTempo > 0.0 ? hostTempo : 120.0;
    const MelodyState &tm = state.target.channels[channel].melody, &sm = state.smoothed.channels[channel].melody;
    // The delay and the fades move stage by stage: in steps while they last, then the rest at once.
    int32_t left = samples;
    constexpr int32_t kStage = 256;
    while (left > kStage && (play.lfoDelayProgress < 1.0 || play.lfoRateRamp < 1.0 || play.lfoAttackProgress < 1.0)) {
        advanceLfo(tm, sm, play, kStage, R, tempo, hostPosition);
        left -= kStage;
    }
    advanceLfo(tm, sm, play, left, R, tempo, hostPosition);
}

bool Quorix::melodyChannelIdle(int32_t channel) const
{
    const ChannelState &T = state.target.channels[channel];
    const ChannelState &S = state.smoothed.channels[channel];
    return state.play[channel].voiceCount == 0 && !T.seqOn && !T.melody.arpOn && melodySettled(T.melody, S.melody) &&
           channelSettled(T, S, state.controllers[channel], sharedConfiguration()) &&
           !insertsActive(T, state.target.master);
}

void Quorix::renderMelodyChannel(int32_t channel, float *left, float *right, int32_t n, float *chorusLeft,
                                 float *chorusRight, float *reverbLeft, float *reverbRight)
{
    if (channel < 0 || channel >= kChannelCount || n <= 0)
        return;
    n = std::min(n, static_cast<int32_t>(kMaxSubBlock));
    const ChannelState &T = state.target.channels[channel];
    ChannelState &S = state.smoothed.channels[channel];
    const MelodyState &tm = T.melody;
    MelodyState &sm = S.melody;
    ChannelPlayState &play = state.play[channel];
    const ControllerState &controller = state.controllers[channel];
    const ConfigurationBlock &configuration = sharedConfiguration();
    const float R = frameSampleRate > 0.0f ? frameSampleRate : 44100.0f;
    const double tempo = hostTempo > 0.0 ? hostTempo : 120.0;
    const double position = hostPosition;
    const float fn = static_cast<float>(n);

    float buffer[kMaxSubBlock];
    std::memcpy(buffer, denormalNoise, sizeof(float) * static_cast<size_t>(n));

    if (play.lfoIdleSamples > 0)
        catchUpLfo(channel);
    const LfoBlock lfo = advanceLfo(tm, sm, play, n, R, tempo, position);
    const float depthStart = lfo.depthStart, depthEnd = lfo.depthEnd;
    const float valueStart = lfo.valueStart, valueEnd = lfo.valueEnd;

    arpeggiatorStep(channel, n);

    // With no voice, no insert effect and every slewed value at its target the chain would add
    // nothing but the denormal guard: skip it. The LFO above keeps its phase.
    if (play.voiceCount == 0 && melodySettled(tm, sm) && channelSettled(T, S, controller, configuration) &&
        !insertsActive(T, state.target.master))
        return;

    MelodyBlock b;
    b.n = n;
    b.rate = R;
    b.ampTimes = sm.ampEnvelope;
    b.filterTimes = sm.filterEnvelope;
    auto rates = [&](const EnvelopeTimes &t) {
        const double a = t.attack, d = t.decay, r = t.release;
        return EnvelopeRates{256.0 * n / (a * a * a * 10.0 * R + 1.0), 256.0 * n / ((d * d * d * 29.99 + 0.01) * R),
                             256.0 * n / ((r * r * r * 19.99 + 0.01) * R)};
    };
    b.ampRates = rates(sm.ampEnvelope);
    b.filterRates = rates(sm.filterEnvelope);
    b.velocityAmount = sm.ampEnvVelocityAmount;
    b.velocityAmountEnd = rampValue(sm.ampEnvVelocityAmount, tm.ampEnvVelocityAmount, n);
    b.damperHolds = configuration.damperOn && controller.damper && !T.seqOn;
    b.sostenutoHolds = configuration.sostenutoOn && controller.sostenuto != 0 && !T.seqOn;
    b.cutoff = tm.filterCutoff;
    b.envelopeAmount = tm.filterEnvAmount;
    b.envelopeVelocity = tm.filterEnvVelocityAmount;
    b.lfoAmountSquared = tm.filterLfoAmount * tm.filterLfoAmount;
    b.keyTracking = tm.filterKeyTracking;
    b.resonance = sm.filterResonance;
    b.resonanceEnd = rampValue(sm.filterResonance, tm.filterResonance, n);
    b.slope = tm.filterSlope == 1 ? 1 : 2;
    b.mStart = depthStart * depthStart * valueStart;
    b.mEnd = depthEnd * depthEnd * valueEnd;
    b.glideTime = sm.glideTime;
    const float glide3 = sm.glideTime * sm.glideTime * sm.glideTime;
    b.pitchDivisor = glide3 * 5.0f * R + 0.0001f;
    b.levelDivisor = glide3 * 5.0f * R + 1.0f;
    const float tuneOffset = (state.target.master.tune - 0.5f) * 16384.0f;
    b.pitchModulation = sm.oscLfoAmount * sm.oscLfoAmount * b.mEnd * 262144.0f + tuneOffset;
    b.bendOffset = tm.pitchBendRange > 0 ? static_cast<float>(tm.pitchBendRange * (controller.pitchBend - 8192)) : 0.0f;
    for (int i = 0; i < 2; ++i) {
        b.layerOffset[i] = static_cast<float>(tm.oscillators[i].semitone * kPitchUnitsPerSemitone) +
                           (tm.oscillators[i].finetone - 0.5f) * 16384.0f;
        b.keyFollow[i] = tm.oscKeyFollow[i] != 0;
    }
    for (int p = 0; p < 12; ++p)
        b.tuningRatio[p] = centOffsetRatio(programBlock.tuning.offsets[p]);
    b.mixStart = crossfadeCurve(sm.oscMix);
    b.mixEnd = crossfadeCurve(rampValue(sm.oscMix, tm.oscMix, n));
    b.filterMixStart = crossfadeCurve(sm.filterMix);
    b.filterMixEnd = crossfadeCurve(rampValue(sm.filterMix, tm.filterMix, n));

    FilterBatch batch;
    for (int32_t i = 0; i < play.voiceCount; ++i)
        renderVoice(play.voices[i], b, buffer, batch);
    batch.flush();

    float other[kMaxSubBlock];
    std::memcpy(other, buffer, sizeof(float) * static_cast<size_t>(n));
    float *channelLeft = buffer;
    float *channelRight = other;

    if (state.target.master.insertEffectsOn) {
        for (const InsertEffectSlot &slot : T.insertEffects) {
            if (!slot.on || !slot.effect)
                continue;
            slot.effect->setSampleRate(R);
            slot.effect->setTempo(tempo);
            slot.effect->setSongPosition(position);
            slot.effect->setParameters(slot.params);
            slot.effect->process(channelLeft, channelRight, n);
        }
    }

    // Channel volume with the volume and expression controllers, pan with the pan controller.
    float vol = configuration.volumeOn ? controller.volumeCurrent : 100.0f;
    float expr = configuration.expressionOn ? controller.expressionCurrent : 127.0f;
    float pc = configuration.panOn ? controller.panCurrent : 64.0f;
    const float g0 = S.volume * S.volume * 2.0f * vol / 100.0f * expr / 127.0f;
    const float pan0 = panMap(S.pan, pc);
    float volumeEnd = S.volume;
    slewParameter(&volumeEnd, T.volume, n);
    if (configuration.volumeOn)
        slewParameter(&vol, controller.volumeTarget, n * 127);
    if (configuration.expressionOn)
        slewParameter(&expr, controller.expressionTarget, n * 127);
    if (configuration.panOn)
        slewParameter(&pc, controller.panTarget, n * 127);
    const float g1 = volumeEnd * volumeEnd * 2.0f * vol / 100.0f * expr / 127.0f;
    const float pan1 = panMap(rampValue(S.pan, T.pan, n), pc);
    const float gainStep = (g1 - g0) / fn;
    const float panStep = (pan1 - pan0) / fn;
    float gain = g0, pan = pan0;
    float meter = state.runtime.channelMeters[channel];
    for (int32_t j = 0; j < n; ++j) {
        gain += gainStep;
        pan += panStep;
        const float l = gain * channelLeft[j];
        const float r = gain * channelRight[j];
        meter = std::max(meter, std::fabs((l + r) * 0.5f));
        left[j] += (1.0f - pan) * l;
        right[j] += pan * r;
    }
    state.runtime.channelMeters[channel] = meter;

    auto send = [&](float smoothedSend, float targetSend, float *sendLeft, float *sendRight) {
        if (!sendLeft || !sendRight)
            return;
        float end = smoothedSend;
        slewParameter(&end, targetSend, n);
        const float s0 = smoothedSend * smoothedSend * g0;
        const float s1 = end * end * g1;
        const float step = (s1 - s0) / fn;
        float g = s0;
        for (int32_t j = 0; j < n; ++j) {
            g += step;
            sendLeft[j] += g * channelLeft[j];
            sendRight[j] += g * channelRight[j];
        }
    };
    send(S.chorusSend, T.chorusSend, chorusLeft, chorusRight);
    send(S.reverbSend, T.reverbSend, reverbLeft, reverbRight);

    // The continuous instrument settings move toward their targets.
    slewParameter(&sm.glideTime, tm.glideTime, n);
    slewParameter(&sm.lfoLevel, tm.lfoLevel, n);
    slewParameter(&sm.oscMix, tm.oscMix, n);
    slewParameter(&sm.oscLfoAmount, tm.oscLfoAmount, n);
    slewParameter(&sm.filterCutoff, tm.filterCutoff, n);
    slewParameter(&sm.filterResonance, tm.filterResonance, n);
    slewParameter(&sm.filterMix, tm.filterMix, n);
    slewParameter(&sm.filterEnvAmount, tm.filterEnvAmount, n);
    slewParameter(&sm.filterLfoAmount, tm.filterLfoAmount, n);
    slewParameter(&sm.filterKeyTracking, tm.filterKeyTracking, n);
    slewParameter(&sm.filterEnvelope.attack, tm.filterEnvelope.attack, n);
    slewParameter(&sm.filterEnvelope.decay, tm.filterEnvelope.decay, n);
    slewParameter(&sm.filterEnvelope.sustain, tm.filterEnvelope.sustain, n);
    slewParameter(&sm.filterEnvelope.release, tm.filterEnvelope.release, n);
    slewParameter(&sm.filterEnvVelocityAmount, tm.filterEnvVelocityAmount, n);
    slewParameter(&sm.ampEnvelope.attack, tm.ampEnvelope.attack, n);
    slewParameter(&sm.ampEnvelope.decay, tm.ampEnvelope.decay, n);
    slewParameter(&sm.ampEnvelope.sustain, tm.ampEnvelope.sustain, n);
    slewParameter(&sm.ampEnvelope.release, tm.ampEnvelope.release, n);
    slewParameter(&sm.ampEnvVelocityAmount, tm.ampEnvVelocityAmount, n);
}
