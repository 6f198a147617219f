// The tempo-synchronised LFOs of the phaser, the tremolo, the auto pan and the auto wah: rate
// from tempo and note length, the tempo floor, and the lock of the phase to the song position.

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "effects/CIFXAutoWah.h"
#include "effects/CIFXPhaser.h"
#include "effects/CIFXTremolo.h"

namespace {

// One LFO effect with its RATE parameter index and its view of the LFO.
struct LfoEffect {
  const char* name;
  std::function<std::unique_ptr<CIFX>()> make;
  int rateIndex;
  std::function<float(const CIFX&)> increment;
  std::function<double(const CIFX&)> noteBeats;
  std::function<LfoPhase(const CIFX&, int channel)> phase;
};

template <class T>
LfoEffect lfoEffect(const char* name, int rateIndex) {
  return {name,
          [] { return std::make_unique<T>(); },
          rateIndex,
          [](const CIFX& fx) { return static_cast<const T&>(fx).getLfoIncrement(); },
          [](const CIFX& fx) { return static_cast<const T&>(fx).getNoteBeats(); },
          [](const CIFX& fx, int channel) {
            if constexpr (std::is_base_of_v<CIFXVibratoPr, T>) {
              (void)channel;
              return static_cast<const T&>(fx).getLfoPhase();
            } else {
              return static_cast<const T&>(fx).getLfoPhase(channel);
            }
          }};
}

const LfoEffect kEffects[] = {
    lfoEffect<CIFXPhaser>("phaser", 0),
    lfoEffect<CIFXTremolo>("tremolo", 1),
    lfoEffect<CIFXAutoPan>("auto pan", 1),
    lfoEffect<CIFXAutoWah>("auto wah", 0),
};

// The normalised RATE that selects entry `index` of the LFO note lengths.
float rateFor(int index) { return static_cast<float>(index) / 26.0f; }

void setRate(CIFX& fx, const LfoEffect& e, float rate) {
  float params[3] = {0.5f, 0.5f, 0.5f};
  params[e.rateIndex] = rate;
  fx.setParameters(params);
}

TEST(TempoSyncedLfo, AdvancesByTempoOverNoteLengthWithATempoFloor) {
  struct Case {
    float sampleRate;
    double tempo;
    int note;            // index into the LFO note lengths
    float stepsPerFrame;
  } const cases[] = {
      {44100.0f, 120.0, 15, 512.0f / 44100.0f},            // "1/4" at 120 BPM: 2 Hz
      {48000.0f, 120.0, 15, 512.0f / 48000.0f},
      {44100.0f, 20.0, 15, 256.0f / 44100.0f * 40.0f / 60.0f},  // below 40 BPM runs at 40
      {44100.0f, 90.0, 0, 256.0f / 44100.0f * 90.0f / 60.0f / 32.0f},  // "8/1"
      {48000.0f, 180.0, 26, 256.0f / 48000.0f * 180.0f / 60.0f * 12.0f},  // "1/32T"
  };
  for (const LfoEffect& e : kEffects) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << e.name << " " << c.sampleRate << " Hz " << c.tempo
                                      << " BPM note " << c.note);
      auto fx = e.make();
      fx->setSampleRate(c.sampleRate);
      fx->setTempo(c.tempo);
      setRate(*fx, e, rateFor(c.note));
      EXPECT_NEAR(e.increment(*fx), c.stepsPerFrame, c.stepsPerFrame * 1e-5f);
      EXPECT_DOUBLE_EQ(e.noteBeats(*fx), lfoSyncNoteLengths[c.note].beats);
    }
    // The order of the calls does not matter: tempo and rate after the parameters.
    auto fx = e.make();
    setRate(*fx, e, rateFor(15));
    fx->setTempo(120.0);
    fx->setSampleRate(44100.0f);
    EXPECT_NEAR(e.increment(*fx), 512.0f / 44100.0f, 1e-7f) << e.name;
  }
}

TEST(TempoSyncedLfo, LocksThePhaseToTheSongPosition) {
  struct Case {
    double position;  // beats, with a cycle of 1 beat
    int step;
    float fraction;
  } const cases[] = {
      {2.5, 128, 0.0f},     {0.0, 0, 0.0f},         {3.25, 64, 0.0f},
      {-0.3, 179, 0.2f},    {-1e-17, 0, 0.0f},      {1.0 + 1.0 / 512.0, 0, 0.5f},
  };
  for (const LfoEffect& e : kEffects) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << e.name << " at " << c.position);
      auto fx = e.make();
      fx->setSampleRate(44100.0f);
      fx->setTempo(120.0);
      setRate(*fx, e, rateFor(15));  // "1/4": one beat
      fx->setSongPosition(c.position);
      const LfoPhase left = e.phase(*fx, 0);
      EXPECT_EQ(left.step, c.step);
      EXPECT_NEAR(left.fraction, c.fraction, 1e-4f);
    }
  }
}

TEST(TempoSyncedLfo, TheRightChannelRunsAtItsOffset) {
  // The phaser's right LFO is half a cycle behind at the start of every block, the auto wah's
  // four steps ahead from every lock.
  CIFXPhaser phaser;
  phaser.setSampleRate(44100.0f);
  phaser.setTempo(120.0);
  setRate(phaser, kEffects[0], rateFor(15));
  phaser.setSongPosition(2.5);
  phaser.process(nullptr, nullptr, 0);
  EXPECT_EQ(phaser.getLfoPhase(0).step, 128);
  EXPECT_EQ(phaser.getLfoPhase(1).step, 0);

  CIFXAutoWah wah;
  wah.setSampleRate(44100.0f);
  wah.setTempo(120.0);
  setRate(wah, kEffects[3], rateFor(15));
  wah.setSongPosition(0.99);  // step 253
  EXPECT_EQ(wah.getLfoPhase(0).step, 253);
  EXPECT_EQ(wah.getLfoPhase(1).step, 1);
  EXPECT_FLOAT_EQ(wah.getLfoPhase(0).fraction, wah.getLfoPhase(1).fraction);
}

TEST(TempoSyncedLfo, RatesAndPositionsThatAreNotUsableLeaveTheLfoSane) {
  for (const LfoEffect& e : kEffects) {
    SCOPED_TRACE(e.name);
    auto fx = e.make();
    fx->setSampleRate(44100.0f);
    for (double tempo : {double(NAN), -120.0, 0.0, 1e300}) {
      fx->setTempo(tempo);
      const float inc = e.increment(*fx);
      EXPECT_TRUE(inc >= 0.0f && inc <= 128.0f) << tempo << " -> " << inc;
    }
    fx->setTempo(120.0);
    fx->setSongPosition(0.5);
    for (double position : {double(NAN), double(INFINITY), -1e300}) {
      fx->setSongPosition(position);
      const LfoPhase p = e.phase(*fx, 0);
      EXPECT_TRUE(p.step >= 0 && p.step <= 255) << position;
    }
  }
}

}  // namespace
