// What a melody voice sounds like: its pitch, its envelope, its filter and its layers, measured
// on the rendered output.
#include "engine/tests/PlaySupport.h"

#include "engine/ParameterIndex.h"
#include "engine/VoiceRender.h"
#include "engine/dsp/voicePrimitives.h"

#include <gtest/gtest.h>

#include <cmath>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace melody_render_test {

using namespace engine;
using namespace enginetest;

namespace {

double cents(double measured, double wanted) { return 1200.0 * std::log2(measured / wanted); }

double keyFrequency(double key) { return 440.0 * std::exp2((key - 69.0) / 12.0); }

class MelodyRender : public Player
{
};

TEST_F(MelodyRender, NotesSoundAtTheirEqualTemperedPitchIncludingBend)
{
    struct Case {
        float rate;
        int key;
        int bend;      // 14-bit, 8192 centre
        int rpnRange;  // -1: the channel's range of 2 semitones; else set through RPN 0
        double semitonesOff;
    };
    const Case cases[] = {
        {44100.0f, 69, 8192, -1, 0.0},
        {44100.0f, 60, 8192, -1, 0.0},
        {44100.0f, 100, 8192, -1, 0.0},  // oversampled: more than one sample step per output sample
        {44100.0f, 33, 8192, -1, 0.0},
        {96000.0f, 69, 8192, -1, 0.0},
        {96000.0f, 108, 8192, -1, 0.0},
        {44100.0f, 69, 16383, -1, 2.0 * 8191.0 / 8192.0},
        {44100.0f, 69, 0, -1, -2.0},
        {96000.0f, 64, 12288, -1, 1.0},
        {44100.0f, 60, 16383, 12, 12.0 * 8191.0 / 8192.0},
        {96000.0f, 72, 4096, 7, -3.5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, key " << c.key << ", bend " << c.bend << ", range "
                                        << c.rpnRange);
        start(c.rate);
        melody(0);
        if (c.rpnRange >= 0) {
            midi(0xB0, 101, 0);
            midi(0xB0, 100, 0);
            midi(0xB0, 6, c.rpnRange);
            EXPECT_EQ(q->state.target.channels[0].melody.pitchBendRange, c.rpnRange);
        }
        midi(0xE0, c.bend & 0x7F, c.bend >> 7);
        midi(0x90, c.key, 100);
        const Audio a = render(int32_t(c.rate));
        const double wanted = keyFrequency(c.key + c.semitonesOff);
        EXPECT_NEAR(cents(measureFrequency(a.left, c.rate, size_t(c.rate) / 10), wanted), 0.0, 1.0);
        EXPECT_TRUE(cleanSignal(a.left));
    }
}

TEST_F(MelodyRender, AnOscillatorThatDoesNotFollowTheKeyPlaysAtItsRootWhateverTheKey)
{
    melody(0, MelodySetup{.wave1 = waveFixedSine});
    midi(0x90, 40, 100);
    const Audio a = render(44100);
    EXPECT_NEAR(cents(measureFrequency(a.left, 44100.0, 4410), 440.0), 0.0, 1.0);
}

TEST_F(MelodyRender, TheTemperamentMovesEachPitchClassByItsCents)
{
    melody(0);
    q->setTuningOffset(9, -30); // A
    midi(0x90, 69, 100);
    const Audio a = render(44100);
    EXPECT_NEAR(cents(measureFrequency(a.left, 44100.0, 4410), 440.0), -30.0, 1.0);
}

TEST_F(MelodyRender, TuningOffsetsBeyondTheCentTableStayInIt)
{
    melody(0);
    q->programBlock.tuning.offsets[9] = 5000; // as if written behind the setter's back
    midi(0x90, 69, 100);
    const Audio a = render(22050);
    EXPECT_NEAR(cents(measureFrequency(a.left, 44100.0, 4410), 440.0), 99.0, 1.0);
}

// Level of the output in windows of one sub-block, from its peak.
std::vector<float> envelopeOf(const std::vector<float> &s, size_t window)
{
    std::vector<float> e;
    for (size_t i = 0; i + window <= s.size(); i += window)
        e.push_back(peak(s, i, i + window));
    return e;
}

TEST_F(MelodyRender, AttackDecaySustainAndReleaseTakeTheirTimes)
{
    // attack = A^3 x 10 s, decay = (D^3 x 29.99 + 0.01) s, release = (R^3 x 19.99 + 0.01) s.
    const float attack = std::cbrt(0.1f / 10.0f);            // 100 ms
    const float decay = std::cbrt((0.2f - 0.01f) / 29.99f);  // 200 ms
    const float release = std::cbrt((0.3f - 0.01f) / 19.99f); // 300 ms
    melody(0, MelodySetup{.attack = attack, .decay = decay, .sustain = 0.5f, .release = release});
    midi(0x90, 69, 127);
    const Audio held = render(44100);
    const float full = 0.25f; // sine 0.5 of full scale, half of it on each side at the centre
    const std::vector<float> e = envelopeOf(held.left, 441);  // 10 ms windows
    EXPECT_NEAR(e[4], full * 0.5f, 0.02f);   // half-way up at 50 ms
    EXPECT_NEAR(e[9], full, 0.01f);          // the top at 100 ms
    EXPECT_LT(e[19], full * 0.95f);          // falling along the curve
    EXPECT_GT(e[19], full * 0.5f);
    EXPECT_NEAR(e[32], full * 0.5f, 0.01f);  // sustained after 300 ms
    EXPECT_NEAR(e[90], full * 0.5f, 0.01f);

    midi(0x80, 69, 0);
    EXPECT_EQ(play(0).voiceCount, 1);
    const Audio after = render(44100);
    const std::vector<float> r = envelopeOf(after.left, 441);
    EXPECT_GT(r[10], 0.01f);
    EXPECT_LT(r[10], full * 0.5f);
    EXPECT_LT(r[31], 0.001f);
    // The voice is gone once its release has ended.
    EXPECT_EQ(play(0).voiceCount, 0);
}

TEST_F(MelodyRender, ASustainOfZeroEndsTheVoiceAfterItsDecayWhileTheKeyIsHeld)
{
    melody(0, MelodySetup{.decay = 0.3f, .sustain = 0.0f}); // 0.82 s
    midi(0x90, 69, 100);
    render(4410);
    EXPECT_EQ(play(0).voiceCount, 1);
    render(44100);
    EXPECT_EQ(play(0).voiceCount, 0);
    EXPECT_EQ(q->state.heldNotes.count, 0);
}

TEST_F(MelodyRender, TheFilterIsThreeDecibelsDownAtItsCutoffAndMorphsToHighPass)
{
    // A sine of 440 Hz through a low-pass set to 440 Hz: 2^(14.28634 x) + 19 = 440.
    const float atPitch = float(std::log2(421.0) / 14.28634);
    struct Case {
        float cutoff;
        bool fourPole;
        float filterMix;
        float wantDb;
    };
    const Case cases[] = {
        {1.0f, false, 0.0f, 0.0f},
        {atPitch, false, 0.0f, -3.0f},
        {atPitch, true, 0.0f, -3.0f},
        {0.3f, true, 0.0f, -84.6f},     // 4-pole at 38.5 Hz, 3.5 octaves below: 1 / (1 + (f / fc)^8)
        {atPitch, false, 0.5f, -6.02f}, // half the unfiltered signal, nothing of the filtered
        {0.3f, false, 1.0f, 0.0f},      // high-pass: unfiltered minus low-pass
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "cutoff " << c.cutoff << (c.fourPole ? " 4-pole" : " 2-pole") << " mix "
                                        << c.filterMix);
        start(44100.0f);
        melody(0, MelodySetup{.cutoff = c.cutoff, .fourPole = c.fourPole, .filterMix = c.filterMix});
        midi(0x90, 69, 100);
        const Audio a = render(22050);
        const float level = peak(a.left, 11025, 22050);
        EXPECT_NEAR(20.0f * std::log10(level / 0.25f), c.wantDb, c.wantDb < -20.0f ? 3.0f : 0.15f);
    }
}

TEST_F(MelodyRender, AOneShotLayerEndsAndTheOtherLayerKeepsSounding)
{
    // Layer 1 is the 2,000-value noise burst, layer 2 the looped sine, half of each.
    melody(0, MelodySetup{.wave1 = waveNoiseBurst, .wave2 = waveSine, .oscMix = 0.5f});
    midi(0x90, 69, 100);
    const Audio a = render(8820);
    ASSERT_EQ(play(0).voiceCount, 1);
    const VoiceRecord &v = play(0).voices[0];
    EXPECT_EQ(v.layerGains[0], 0.0f);
    EXPECT_NE(v.layerGains[1], 0.0f);
    // Once the burst has ended only half of the sine sounds, at its own pitch.
    EXPECT_NEAR(cents(measureFrequency(a.left, 44100.0, 4410), 440.0), 0.0, 1.0);

    // The burst alone ends the voice.
    melody(1, MelodySetup{.wave1 = waveNoiseBurst});
    midi(0x91, 69, 100);
    render(4410);
    EXPECT_EQ(play(1).voiceCount, 0);
}

TEST_F(MelodyRender, ASplitWavetablePlaysTheZoneOfTheKey)
{
    melody(0, MelodySetup{.wave1 = waveSplit});
    midi(0x90, 50, 100);
    midi(0x90, 64, 100);
    ASSERT_EQ(play(0).voiceCount, 2);
    EXPECT_EQ(play(0).voices[0].layerSamples[0], &library->noiseBurst());
    EXPECT_EQ(play(0).voices[0].layerRootKeys[0], 48);
    EXPECT_EQ(play(0).voices[1].layerSamples[0], &library->sine());
    EXPECT_EQ(play(0).voices[1].layerRootKeys[0], 69);
    // The shared record is not written: its root key is the voice's.
    EXPECT_EQ(library->sine().rate, kSineRate);
}

TEST_F(MelodyRender, AVoiceWithoutSamplesIsSilentAndEnds)
{
    melody(0, MelodySetup{.wave1 = waveNone});
    midi(0x90, 60, 100);
    EXPECT_EQ(play(0).voiceCount, 1);
    const Audio a = render(512);
    EXPECT_LT(peak(a.left, 0, 512), 1e-9f);
    EXPECT_EQ(play(0).voiceCount, 0);
}

TEST_F(MelodyRender, AGlideMovesThePitchFromThePreviousKey)
{
    // Mono legato with a glide of about 0.6 s from key 57 to key 69 (one octave).
    melody(0, MelodySetup{.voiceLimit = 0, .glide = 0.5f});
    midi(0x90, 57, 100);
    render(4410);
    midi(0x90, 69, 100);
    ASSERT_EQ(play(0).voiceCount, 1);
    const Audio a = render(44100);
    const double early = measureFrequency(std::vector<float>(a.left.begin(), a.left.begin() + 8820), 44100.0);
    EXPECT_GT(early, 220.0 * 1.02);
    EXPECT_LT(early, 440.0 * 0.9);
    EXPECT_NEAR(cents(measureFrequency(a.left, 44100.0, 35280), 440.0), 0.0, 1.0);
    EXPECT_EQ(play(0).voices[0].flags & 2, 0);
}

TEST_F(MelodyRender, FreedSampleDataSilencesTheVoicesThatReadIt)
{
    melody(0);
    midi(0x90, 69, 100);
    render(1024);
    // The host's "free" releases the shared data while the voice sounds.
    q->vendorSpecific(vstFourCC("host"), vstFourCC("free"), nullptr, 0.0f);
    EXPECT_EQ(library->sine().data, nullptr);
    const Audio a = render(1024);
    EXPECT_LT(peak(a.left, 16, 1024), 1e-9f);
    EXPECT_EQ(play(0).voiceCount, 0);
}

TEST_F(MelodyRender, EveryVectorPathPlaysWhatTheWidestPlays)
{
    // The machine's widest reads and filters against each narrower path: slow and oversampled
    // reads, a one-shot layer that runs out inside a block, and enough voices at one step rate
    // through a closed filter to need the widest vector of filters.
    struct Restore {
        ~Restore() { limitVoiceVectors(widestVoiceVectors()); }
    } restore;
    const float cutoffs[] = {1.0f, 0.6f};
    for (const float cutoff : cutoffs) {
        auto scene = [&] {
            start(44100.0f);
            melody(0, MelodySetup{.wave1 = waveSine, .wave2 = waveNoiseBurst, .cutoff = cutoff, .resonance = 0.3f,
                                  .oscMix = 0.5f});
            for (int key : {33, 36, 40, 43, 45, 48, 52, 55, 57, 60, 64, 69, 76, 88, 100, 112})
                midi(0x90, key, 100);
            return render(8192, 200);
        };
        limitVoiceVectors(widestVoiceVectors());
        const Audio widest = scene();
        ASSERT_GT(peak(widest.left, 0, widest.size()), 0.1f);
        for (const VoiceVectors narrower : {VoiceVectors::Sse2, VoiceVectors::Avx2}) {
            if (narrower >= widestVoiceVectors())
                continue;
            SCOPED_TRACE(testing::Message() << "cutoff " << cutoff << ", vectors " << int(narrower));
            limitVoiceVectors(narrower);
            const Audio a = scene();
            float worst = 0.0f;
            for (size_t i = 0; i < a.size(); ++i)
                worst = std::max({worst, std::fabs(a.left[i] - widest.left[i]), std::fabs(a.right[i] - widest.right[i])});
            EXPECT_LT(worst, 1e-4f);
        }
    }
}

} // namespace

} // namespace melody_render_test
