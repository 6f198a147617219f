// What each control does to the sound, measured on the output: level, pitch, brightness and
// balance. Every case plays the same note twice, with the control at rest and moved, and the
// measured change must be there and go the right way; an engine that ignores the control
// renders the two alike.
#include "engine/tests/PlaySupport.h"

#include "engine/ParameterIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace sound_control_test {

using namespace engine;
using namespace enginetest;

namespace {

constexpr int kMelody = 0;
constexpr int kKit = 9;
constexpr int kSnare = 38;
constexpr double kRate = 44100.0;
// A sine of 440 Hz through a low-pass set to 440 Hz: 2^(14.28634 x) + 19 = 440.
const float kCutoffAtA = float(std::log2(421.0) / 14.28634);

enum class Measure {
    level,       // dB of the left and right together
    balance,     // dB of left over right
    pitchSpread, // cents between the highest and the lowest pitch of 50 ms windows
    levelSpread, // dB between the loudest and the quietest 20 ms window
    difference,  // dB of the difference to the render at rest, against that render
};

double rmsOf(const std::vector<float> &s, size_t from, size_t to)
{
    double sum = 0.0;
    to = std::min(to, s.size());
    for (size_t i = from; i < to; ++i)
        sum += double(s[i]) * s[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

double dB(double x) { return 20.0 * std::log10(std::max(x, 1e-12)); }

double measure(Measure m, const Audio &a, size_t from, size_t to)
{
    switch (m) {
    case Measure::level: {
        std::vector<float> sum(a.left.size());
        for (size_t i = 0; i < sum.size(); ++i)
            sum[i] = a.left[i] + a.right[i];
        return dB(rmsOf(sum, from, to));
    }
    case Measure::balance:
        return dB(rmsOf(a.left, from, to)) - dB(rmsOf(a.right, from, to));
    case Measure::pitchSpread: {
        double low = 1e9, high = 0.0;
        const size_t window = 2205;
        for (size_t at = from; at + window <= to; at += window) {
            std::vector<float> part(a.left.begin() + long(at), a.left.begin() + long(at + window));
            const double f = measureFrequency(part, kRate);
            low = std::min(low, f);
            high = std::max(high, f);
        }
        return low > 0.0 ? 1200.0 * std::log2(high / low) : 0.0;
    }
    case Measure::levelSpread: {
        double low = 1e9, high = 0.0;
        const size_t window = 882;
        for (size_t at = from; at + window <= to; at += window) {
            const double r = rmsOf(a.left, at, at + window);
            low = std::min(low, r);
            high = std::max(high, r);
        }
        return dB(high) - dB(low);
    }
    case Measure::difference:
        break;
    }
    return 0.0;
}

class SoundControls : public Player
{
public:
    using Player::midi;
    using Player::setLocal;

    // A plain sine voice with the LFO at full level, 2.5 Hz, sending nowhere yet.
    void melodyVoice()
    {
        melody(kMelody);
        setLocal(kMelody, local::LfoWave, 0.0f);
        setLocal(kMelody, local::LfoRate, 0.36817f);
        setLocal(kMelody, local::LfoLevel, 1.0f);
        setLocal(kMelody, local::LfoDelayTime, 0.0f);
        setLocal(kMelody, local::LfoAttackTime, 0.0f);
        setLocal(kMelody, local::OscLfoAmount, 0.0f);
        setLocal(kMelody, local::FilterLfoAmount, 0.0f);
        setLocal(kMelody, local::FilterEnvVelocityAmount, 0.0f);
        setLocal(kMelody, local::ChorusSend, 0.0f);
        setLocal(kMelody, local::ReverbSend, 0.0f);
    }
    // A kit whose snare plays the looped sine, held, centred, without sends.
    void kitVoice()
    {
        setLocal(kKit, local::Mode, 1.0f);
        setLocal(kKit, local::On, 1.0f);
        setLocal(kKit, local::Volume, 0.70710678f);
        setLocal(kKit, local::Pan, 0.5f);
        setLocal(kKit, local::VoiceLimit, 16.0f / 64.0f);
        setLocal(kKit, local::Transpose, 0.5f);
        setLocal(kKit, local::KitKeyRangeLow, 0.0f);
        setLocal(kKit, local::KitKeyRangeHigh, 1.0f);
        setLocal(kKit, local::ChorusSend, 0.0f);
        setLocal(kKit, local::ReverbSend, 0.0f);
        snare(local::DrumWave, float(waveSine) / 16384.0f);
        snare(local::DrumSemitone, 0.5f);
        snare(local::DrumFinetone, 0.5f);
        snare(local::DrumFilterCutoff, 1.0f);
        snare(local::DrumVolume, 0.70710678f);
        snare(local::DrumPan, 0.5f);
        snare(local::DrumHold, 1.0f);
        snare(local::DrumAmpEnvVelocityAmount, 0.0f);
        snare(local::DrumChorusSend, 0.0f);
        snare(local::DrumReverbSend, 0.0f);
    }
    void snare(int base, float value) { setLocal(kKit, base + kDrumKeyValues * (kSnare - 24), value); }

};

struct Case {
    const char *name;
    bool drum;
    // Sets the control: at rest (false) or moved (true), before the note.
    std::function<void(SoundControls &, bool moved)> control;
    int key, velocity;
    Measure what;
    double from, to;   // seconds of the render measured
    double lowest;     // the moved render's value minus the resting one's is at least this
    double highest;    // and at most this
};

} // namespace

// Each control moves what it acts on by a clear amount in its own direction.
TEST_F(SoundControls, EachControlChangesTheSoundItActsOn)
{
    auto local = [](int id, float rest, float moved) {
        return [=](SoundControls &t, bool m) { t.setLocal(kMelody, id, m ? moved : rest); };
    };
    auto drumKey = [](int base, float rest, float moved) {
        return [=](SoundControls &t, bool m) { t.snare(base, m ? moved : rest); };
    };
    auto controller = [](int channel, int number, int rest, int moved) {
        return [=](SoundControls &t, bool m) { t.midi(0xB0 | channel, number, m ? moved : rest); };
    };
    const Case cases[] = {
        // Velocity 40 against full: the amplitude velocity amount makes it quieter.
        {"melody velocity to loudness", false, local(local::AmpEnvVelocityAmount, 0.0f, 1.0f), 69, 40,
         Measure::level, 0.1, 0.5, -60.0, -6.0},
        {"drum velocity to loudness", true, drumKey(local::DrumAmpEnvVelocityAmount, 0.0f, 1.0f), kSnare, 40,
         Measure::level, 0.1, 0.5, -60.0, -6.0},
        // Vibrato: the LFO bends the pitch by about a semitone and back.
        {"LFO to pitch", false, local(local::OscLfoAmount, 0.0f, 0.2f), 69, 100, Measure::pitchSpread, 0.0, 1.0,
         50.0, 400.0},
        // The LFO moves the cutoff about the sine's pitch, so the level swings.
        {"LFO to filter", false,
         [](SoundControls &t, bool m) {
             t.setLocal(kMelody, local::FilterCutoff, kCutoffAtA);
             t.setLocal(kMelody, local::FilterLfoAmount, m ? 0.6f : 0.0f);
         },
         69, 100, Measure::levelSpread, 0.1, 1.0, 6.0, 100.0},
        // With a delay of over a second the vibrato has not begun within the first second.
        {"LFO delay", false,
         [](SoundControls &t, bool m) {
             t.setLocal(kMelody, local::OscLfoAmount, 0.2f);
             t.setLocal(kMelody, local::LfoDelayTime, m ? 0.5f : 0.0f);
         },
         69, 100, Measure::pitchSpread, 0.0, 1.0, -400.0, -50.0},
        // Key 93 (1,760 Hz) under a cutoff at 440 Hz: tracking the key opens the filter.
        {"filter key tracking", false,
         [](SoundControls &t, bool m) {
             t.setLocal(kMelody, local::FilterCutoff, kCutoffAtA);
             t.setLocal(kMelody, local::FilterKeyTracking, m ? 1.0f : 0.5f);
         },
         93, 100, Measure::level, 0.1, 0.5, 6.0, 60.0},
        // A closed filter that the (sustained) filter envelope opens.
        {"filter envelope amount", false,
         [](SoundControls &t, bool m) {
             t.setLocal(kMelody, local::FilterCutoff, 0.3f);
             t.setLocal(kMelody, local::FilterEnvAmount, m ? 1.0f : 0.5f);
         },
         69, 100, Measure::level, 0.1, 0.5, 20.0, 200.0},
        // Resonance at the sine's pitch lifts it.
        {"resonance", false,
         [](SoundControls &t, bool m) {
             t.setLocal(kMelody, local::FilterCutoff, kCutoffAtA);
             t.setLocal(kMelody, local::FilterResonance, m ? 0.8f : 0.0f);
         },
         69, 100, Measure::level, 0.1, 0.5, 3.0, 60.0},
        // Volume and expression are linear in their value: 32 of 127 is -12 dB.
        {"CC 7 on a melody channel", false, controller(kMelody, 7, 127, 32), 69, 100, Measure::level, 0.1, 0.5, -13.0, -11.0},
        {"CC 7 on a drum channel", true, controller(kKit, 7, 127, 32), kSnare, 100, Measure::level, 0.1, 0.5, -13.0, -11.0},
        {"CC 11 on a melody channel", false, controller(kMelody, 11, 127, 32), 69, 100, Measure::level, 0.1, 0.5, -13.0, -11.0},
        {"CC 11 on a drum channel", true, controller(kKit, 11, 127, 32), kSnare, 100, Measure::level, 0.1, 0.5, -13.0, -11.0},
        // Pan to the left: the right side falls away.
        {"CC 10 on a melody channel", false, controller(kMelody, 10, 64, 0), 69, 100, Measure::balance, 0.1, 0.5, 20.0, 400.0},
        {"CC 10 on a drum channel", true, controller(kKit, 10, 64, 0), kSnare, 100, Measure::balance, 0.1, 0.5, 20.0, 400.0},
        // The channel's chorus send adds the chorus to what is heard.
        {"melody chorus send", false, local(local::ChorusSend, 0.0f, 1.0f), 69, 100, Measure::difference, 0.1, 1.0, -20.0,
         20.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Audio renders[2];
        for (const bool moved : {false, true}) {
            start(float(kRate));
            sharedConfiguration().volumeOn = 1;
            sharedConfiguration().panOn = 1;
            sharedConfiguration().expressionOn = 1;
            set(master::ChorusOn, 1.0f);
            for (int i = 0; i < 4; ++i)
                set(master::ChorusFirst + i, 0.5f);
            if (c.drum)
                kitVoice();
            else
                melodyVoice();
            c.control(*this, moved);
            settle();
            midi(0x90 | (c.drum ? kKit : kMelody), c.key, c.velocity);
            renders[moved] = render(int(kRate * c.to));
        }
        const size_t from = size_t(c.from * kRate), to = size_t(c.to * kRate);
        double change = 0.0;
        if (c.what == Measure::difference) {
            std::vector<float> d(renders[0].size());
            for (size_t i = 0; i < d.size(); ++i)
                d[i] = renders[1].left[i] - renders[0].left[i];
            change = dB(rmsOf(d, from, to)) - dB(rmsOf(renders[0].left, from, to));
        } else {
            change = measure(c.what, renders[1], from, to) - measure(c.what, renders[0], from, to);
        }
        EXPECT_GE(change, c.lowest);
        EXPECT_LE(change, c.highest);
        EXPECT_TRUE(cleanSignal(renders[1].left));
    }
}

} // namespace sound_control_test
