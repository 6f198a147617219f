// What a drum kit sounds like: each key's sample, tuning, level, pan, envelope and filter,
// the mute groups, the insert buses, the sends and the channel meter, measured on the output.
#include "engine/tests/PlaySupport.h"

#include "engine/ParameterIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace engine;
using namespace enginetest;

namespace {

constexpr int kKit = 9;
constexpr float kHalf = 0.70710678f; // squared gains give 0.5: key volume, channel volume

// Level of the output in windows, from its peak.
std::vector<float> envelopeOf(const std::vector<float> &s, size_t window)
{
    std::vector<float> e;
    for (size_t i = 0; i + window <= s.size(); i += window)
        e.push_back(peak(s, i, i + window));
    return e;
}

double sumOfMagnitudes(const float *s, size_t n)
{
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i)
        sum += std::fabs(s[i]);
    return sum;
}

// An insert effect that silences what it is given and counts its calls.
class Silence : public CIFX
{
public:
    void process(float *left, float *right, int frames) override
    {
        ++calls;
        std::fill(left, left + frames, 0.0f);
        std::fill(right, right + frames, 0.0f);
    }
    int calls = 0;
};

class DrumRender : public Player
{
protected:
    // A kit on channel 9 whose every key plays the looped sine, untuned, unfiltered, at half
    // gain, centred, with an instant attack, hold and an instant release: a held key sounds
    // 0.25 on each side, like the plain melody voice.
    void kit()
    {
        setLocal(kKit, local::Mode, 1.0f);
        setLocal(kKit, local::On, 1.0f);
        setLocal(kKit, local::Volume, kHalf);
        setLocal(kKit, local::Pan, 0.5f);
        setLocal(kKit, local::VoiceLimit, 16.0f / 64.0f);
        setLocal(kKit, local::Transpose, 0.5f);
        setLocal(kKit, local::KitKeyRangeLow, 0.0f);
        setLocal(kKit, local::KitKeyRangeHigh, 1.0f);
        for (int k = 24; k < 24 + kDrumKeys; ++k) {
            key(k, local::DrumWave, float(waveSine) / 16384.0f);
            key(k, local::DrumSemitone, 0.5f);
            key(k, local::DrumFinetone, 0.5f);
            key(k, local::DrumFilterCutoff, 1.0f);
            key(k, local::DrumVolume, kHalf);
            key(k, local::DrumPan, 0.5f);
            key(k, local::DrumHold, 1.0f);
        }
        settle();
    }
    // One value of the drum key answering MIDI key k.
    void key(int k, int base, float value) { setLocal(kKit, base + 17 * (k - 24), value); }
    void hit(int k, int velocity = 127) { midi(0x90 | kKit, k, velocity); }
    void lift(int k) { midi(0x80 | kKit, k, 0); }
    float meter() const { return q->state.runtime.channelMeters[kKit]; }
};

TEST_F(DrumRender, EachKeyPlaysItsSampleAtItsTuningLevelAndPan)
{
    struct Case {
        int semitone;
        float volume, pan, channelPan;
        int panController; // -1: none sent
        double wantHz;
        float wantLeft, wantRight;
    };
    const Case cases[] = {
        {0, kHalf, 0.5f, 0.5f, -1, 440.0, 0.25f, 0.25f},
        {12, kHalf, 0.5f, 0.5f, -1, 880.0, 0.25f, 0.25f},
        {-5, 1.0f, 0.5f, 0.5f, -1, 440.0 * std::exp2(-5.0 / 12.0), 0.5f, 0.5f},
        {0, 0.5f, 0.5f, 0.5f, -1, 440.0, 0.125f, 0.125f},
        {0, kHalf, 0.0f, 0.5f, -1, 440.0, 0.5f, 0.0f},
        {0, kHalf, 0.75f, 0.5f, -1, 440.0, 0.125f, 0.375f},
        // The channel's pan moves the key's pan toward its side ...
        {0, kHalf, 0.5f, 0.25f, -1, 440.0, 0.375f, 0.125f},
        {0, kHalf, 0.5f, 1.0f, -1, 440.0, 0.0f, 0.5f},
        // ... and the pan controller moves the result.
        {0, kHalf, 0.5f, 0.5f, 0, 440.0, 0.5f, 0.0f},
        {0, kHalf, 0.5f, 0.25f, 96, 440.0, 0.1875f, 0.3125f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "semitone " << c.semitone << ", volume " << c.volume << ", pan " << c.pan
                                        << ", channel pan " << c.channelPan << ", controller " << c.panController);
        start(44100.0f);
        kit();
        // Key 38 gets the case; key 40, which would sound a fifth up, stays silent.
        key(38, local::DrumSemitone, (c.semitone + 48) / 96.0f);
        key(38, local::DrumVolume, c.volume);
        key(38, local::DrumPan, c.pan);
        key(40, local::DrumSemitone, 55.0f / 96.0f);
        setLocal(kKit, local::Pan, c.channelPan);
        if (c.panController >= 0)
            midi(0xB0 | kKit, 10, c.panController);
        settle();
        hit(38);
        const Audio a = render(22050);
        const std::vector<float> &louder = c.wantLeft > c.wantRight ? a.left : a.right;
        EXPECT_NEAR(measureFrequency(louder, 44100.0, 2205), c.wantHz, c.wantHz * 0.001);
        EXPECT_NEAR(peak(a.left, 2205, 22050), c.wantLeft, 0.003f);
        EXPECT_NEAR(peak(a.right, 2205, 22050), c.wantRight, 0.003f);
        EXPECT_TRUE(cleanSignal(a.left) && cleanSignal(a.right));
    }
}

TEST_F(DrumRender, TheAttackRisesToFullAndHoldDecidesWhenTheReleaseBegins)
{
    // attack = A^3 x 10 s, release = (R^3 x 19.99 + 0.01) s
    const float attack100ms = std::cbrt(0.1f / 10.0f);
    const float release300ms = std::cbrt((0.3f - 0.01f) / 19.99f);
    struct Case {
        const char *what;
        float attack;
        bool hold;
        float atStart, at50ms, at100ms, at250ms; // window levels while the key is held
    };
    const Case cases[] = {
        {"instant attack, no hold: falls at once", 0.0f, false, 0.25f, -1.0f, -1.0f, -1.0f},
        {"100 ms attack, no hold: up, then down while held", attack100ms, false, 0.025f, 0.125f, 0.25f, -1.0f},
        {"100 ms attack, hold: up, then held", attack100ms, true, 0.025f, 0.125f, 0.25f, 0.25f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        start(44100.0f);
        kit();
        key(38, local::DrumAttack, c.attack);
        key(38, local::DrumRelease, release300ms);
        key(38, local::DrumHold, c.hold ? 1.0f : 0.0f);
        settle();
        hit(38);
        const Audio held = render(22050);
        const std::vector<float> e = envelopeOf(held.left, 441); // 10 ms windows
        EXPECT_NEAR(e[0], c.atStart, 0.02f);
        if (c.at50ms >= 0.0f) {
            EXPECT_NEAR(e[4], c.at50ms, 0.02f);
            EXPECT_NEAR(e[9], c.at100ms, 0.01f);
        }
        if (c.at250ms >= 0.0f) {
            EXPECT_NEAR(e[25], c.at250ms, 0.002f);
        } else {
            EXPECT_LT(e[45], 0.25f * 0.9f); // the release has run while the key was still down
        }
        // The output never rises above full level (but for the filter's ripple at the start).
        EXPECT_LE(peak(held.left, 0, held.size()), 0.2525f);

        lift(38);
        const Audio after = render(22050);
        EXPECT_LT(peak(after.left, 17640, 22050), 1e-4f);
        EXPECT_EQ(play(kKit).voiceCount, 0) << "the voice is gone once its release has ended";
    }
}

// A note-off at the very instant of its note-on: a key without hold still plays from attack to
// release; a held key sounds its release.
TEST_F(DrumRender, AHitReleasedAtTheSameInstantStillSounds)
{
    const float attack20ms = std::cbrt(0.02f / 10.0f);
    const float release300ms = std::cbrt((0.3f - 0.01f) / 19.99f);
    for (const bool hold : {false, true}) {
        for (const bool sameBlock : {true, false}) {
            SCOPED_TRACE(testing::Message() << (hold ? "hold" : "no hold") << (sameBlock ? ", one call" : ", the host's list"));
            start(44100.0f);
            kit();
            key(38, local::DrumAttack, attack20ms);
            key(38, local::DrumRelease, release300ms);
            key(38, local::DrumHold, hold ? 1.0f : 0.0f);
            settle();
            if (sameBlock) {
                hit(38);
                lift(38);
            } else {
                VstMidiEvent on{kVstMidiType, sizeof(VstMidiEvent), 100, 0, 0, 0, {char(0x99), 38, 127, 0}, 0, 0, 0, 0};
                VstMidiEvent off{kVstMidiType, sizeof(VstMidiEvent), 100, 0, 0, 0, {char(0x89), 38, 0, 0}, 0, 0, 0, 0};
                VstEvent *pointers[2] = {reinterpret_cast<VstEvent *>(&on), reinterpret_cast<VstEvent *>(&off)};
                alignas(VstEvents) char bytes[sizeof(VstEvents) + 2 * sizeof(VstEvent *)] = {};
                auto *list = reinterpret_cast<VstEvents *>(bytes);
                list->numEvents = 2;
                std::memcpy(list->events, pointers, sizeof pointers);
                q->dispatcher(effProcessEvents, 0, 0, list, 0.0f);
            }
            const Audio out = render(22050);
            EXPECT_GT(peak(out.left, 0, 22050), 0.1f);
            EXPECT_GT(peak(out.left, 2205, 4410), 0.05f) << "the release has begun but not ended at 50 ms";
            EXPECT_LT(peak(out.left, 17640, 22050), 1e-4f);
        }
    }
}

TEST_F(DrumRender, ALoopedSampleSoundsOnAndAReversedOnePlaysBackwardsOnce)
{
    kit();
    // Key 36 loops the sine while held; key 38 plays it reversed: 2,000 values, then the end.
    key(38, local::DrumReverse, 1.0f);
    settle();
    hit(36);
    hit(38);
    render(2205);
    ASSERT_EQ(play(kKit).voiceCount, 1);
    EXPECT_EQ(play(kKit).voices[0].key, 36);
    const Audio later = render(44100);
    EXPECT_NEAR(peak(later.left, 0, later.size()), 0.25f, 0.003f);

    // The noise burst fades out over its last 100 values: forward it starts loud and ends
    // quiet, reversed it starts quiet. It ends the voice either way, one-shot.
    for (const bool reverse : {false, true}) {
        SCOPED_TRACE(reverse ? "reversed" : "forward");
        start(44000.0f); // one sample value per output sample
        kit();
        key(42, local::DrumWave, float(waveNoiseBurst) / 16384.0f);
        key(42, local::DrumReverse, reverse ? 1.0f : 0.0f);
        settle();
        hit(42);
        const Audio a = render(2048, 16);
        const float head = peak(a.left, 6, 20), tail = peak(a.left, 1984, 1998);
        EXPECT_GT(reverse ? tail : head, 0.1f);
        EXPECT_LT(reverse ? head : tail, 0.06f);
        EXPECT_LT(peak(a.left, 2016, 2048), 1e-4f);
        EXPECT_EQ(play(kKit).voiceCount, 0);
    }
}

TEST_F(DrumRender, TheKeyFilterCutsAboveItsCutoffScaledByVelocity)
{
    // 2^(14.28634 x) + 19 = 440 puts the cutoff at the sine's pitch.
    const float atPitch = float(std::log2(421.0) / 14.28634);
    struct Case {
        float cutoff, velocityAmount;
        int velocity;
        float wantDb; // below -60: at most that
    };
    const Case cases[] = {
        {1.0f, 0.0f, 127, 0.0f},
        {atPitch, 0.0f, 127, -3.0f},
        {0.3f, 0.0f, 127, -60.0f},   // 4-pole at 38.5 Hz, 3.5 octaves below the sine
        {atPitch, 1.0f, 127, -3.0f}, // full velocity leaves the cutoff as it is
        {1.0f, 1.0f, 40, -60.0f},    // velocity 40 scales the cutoff to about 0.03
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "cutoff " << c.cutoff << ", velocity amount " << c.velocityAmount
                                        << ", velocity " << c.velocity);
        start(44100.0f);
        kit();
        key(38, local::DrumFilterCutoff, c.cutoff);
        key(38, local::DrumFilterVelocityAmount, c.velocityAmount);
        settle();
        hit(38, c.velocity);
        const Audio a = render(22050);
        const float level = peak(a.left, 11025, 22050);
        const float db = 20.0f * std::log10(level / 0.25f);
        if (c.wantDb < -20.0f) {
            EXPECT_LT(db, c.wantDb);
        } else {
            EXPECT_NEAR(db, c.wantDb, 0.15f);
        }
    }
}

TEST_F(DrumRender, AKeyCutsTheSoundingKeysOfItsMuteGroupOnly)
{
    // Key 46 (open hi-hat) rings on; key 42 (closed) is silent itself, so whatever sounds after
    // it is what is left of 46.
    struct Case {
        float openGroup, closedGroup; // 0 none, 0.5 group A, 1 group B
        bool cut;
    };
    const Case cases[] = {{0.5f, 0.5f, true}, {1.0f, 1.0f, true}, {0.5f, 1.0f, false}, {0.0f, 0.0f, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "groups " << c.openGroup << " and " << c.closedGroup);
        start(44100.0f);
        kit();
        key(46, local::DrumMuteGroup, c.openGroup);
        key(42, local::DrumMuteGroup, c.closedGroup);
        key(42, local::DrumVolume, 0.0f);
        settle();
        hit(46);
        render(1000);
        hit(42);
        const Audio a = render(4410, 64);
        if (c.cut) {
            EXPECT_LT(peak(a.left, 0, 16), 0.26f);
            EXPECT_LT(peak(a.left, 32, a.size()), 1e-6f);
            EXPECT_EQ(play(kKit).voiceCount, 1);
        } else {
            EXPECT_NEAR(peak(a.left, 32, a.size()), 0.25f, 0.003f);
            EXPECT_EQ(play(kKit).voiceCount, 2);
        }
    }
}

TEST_F(DrumRender, KeysPassOnlyThroughTheInsertEffectOfTheirBus)
{
    struct Case {
        int bus;             // of the key
        int silencedSlot;    // 0 or 1; -1 none
        bool insertsOn;      // the master switch
        bool audible;
    };
    const Case cases[] = {
        {0, 0, true, true},  {0, 1, true, true},   {1, 0, true, false}, {1, 1, true, true},
        {2, 1, true, false}, {2, 0, true, true},   {2, 1, false, true}, {1, -1, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "bus " << c.bus << ", silenced slot " << c.silencedSlot
                                        << (c.insertsOn ? "" : ", inserts off"));
        start(44100.0f);
        kit();
        key(38, local::DrumInsertBus, c.bus / 2.0f);
        set(master::InsertEffectsOn, c.insertsOn ? 1.0f : 0.0f);
        settle();
        Silence *silence = nullptr;
        if (c.silencedSlot >= 0) {
            InsertEffectSlot &slot = q->state.target.channels[kKit].insertEffects[c.silencedSlot];
            delete slot.effect; // the slot owns its effect
            slot.effect = silence = new Silence;
            slot.on = 1;
        }
        hit(38);
        const Audio a = render(2205);
        EXPECT_EQ(peak(a.left, 64, a.size()) > 0.2f, c.audible);
        if (silence) {
            EXPECT_EQ(silence->calls > 0, c.insertsOn);
        }
    }
}

TEST_F(DrumRender, SendsTakeThePannedVoiceWithTheKeyAndChannelSendsSquared)
{
    kit();
    key(38, local::DrumPan, 0.75f);
    key(38, local::DrumChorusSend, 0.5f);
    key(38, local::DrumReverbSend, 1.0f);
    setLocal(kKit, local::ChorusSend, 0.8f);
    setLocal(kKit, local::ReverbSend, 0.5f);
    settle();
    hit(38);
    float left[16] = {}, right[16] = {}, chorusLeft[16] = {}, chorusRight[16] = {}, reverbLeft[16] = {},
          reverbRight[16] = {};
    for (int block = 0; block < 64; ++block)
        q->renderDrumChannel(kKit, left, right, 16, chorusLeft, chorusRight, reverbLeft, reverbRight);
    const double l = sumOfMagnitudes(left, 16), r = sumOfMagnitudes(right, 16);
    EXPECT_NEAR(r / l, 3.0, 0.01);
    EXPECT_NEAR(sumOfMagnitudes(chorusLeft, 16) / l, 0.8 * 0.8 * 0.5 * 0.5, 0.001);
    EXPECT_NEAR(sumOfMagnitudes(chorusRight, 16) / r, 0.8 * 0.8 * 0.5 * 0.5, 0.001);
    EXPECT_NEAR(sumOfMagnitudes(reverbLeft, 16) / l, 0.5 * 0.5, 0.001);
    EXPECT_NEAR(sumOfMagnitudes(reverbRight, 16) / r, 0.5 * 0.5, 0.001);
}

TEST_F(DrumRender, TheChannelMeterCountsNegativePeaks)
{
    kit();
    SampleRecord &burst = library->noiseBurst();
    std::fill(burst.data, burst.data + burst.size + 3, int16_t(-8192));
    key(38, local::DrumWave, float(waveNoiseBurst) / 16384.0f);
    settle();
    hit(38);
    const Audio a = render(512);
    // -8192 x 0.5 / 16384, before the channel gain (1 here)
    EXPECT_NEAR(meter(), 0.25f, 0.03f);
    EXPECT_LT(a.left[256], -0.1f);
}

TEST_F(DrumRender, AVoiceWithNothingToPlayIsSilentAndGoesOnceStopped)
{
    kit();
    key(38, local::DrumWave, float(waveNone) / 16384.0f);
    key(36, local::DrumMuteGroup, 0.5f);
    key(40, local::DrumMuteGroup, 0.5f);
    settle();
    hit(38);
    hit(36);
    Audio a = render(2048);
    ASSERT_EQ(play(kKit).voiceCount, 2);
    // The host frees the shared data while 36 sounds: it falls silent too.
    q->vendorSpecific(vstFourCC("host"), vstFourCC("free"), nullptr, 0.0f);
    a = render(2048);
    EXPECT_LT(peak(a.left, 16, a.size()), 1e-6f);
    EXPECT_EQ(play(kKit).voiceCount, 2);
    // Each keeps its place until it is stopped, then goes at once: 40 stops 36 through their
    // mute group; 40 has nothing to play either and stays, as 38 does.
    hit(40);
    render(64);
    ASSERT_EQ(play(kKit).voiceCount, 2);
    EXPECT_EQ(play(kKit).voices[0].key, 38);
    EXPECT_EQ(play(kKit).voices[1].key, 40);
}

} // namespace
