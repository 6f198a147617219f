#include "tools/soundfont/GmLibrary.h"

#include "engine/ParameterIndex.h"

#include "tools/soundfont/tests/Sf2FixtureRead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace {

using namespace sftest;
using namespace sfconv;
using sf2::Generator;
namespace local = engine::local;

// A SoundFont whose program 0 is one instrument with the given zones.
sf2::SoundFont melodic(const std::vector<FixtureSample> &samples, const std::vector<FixtureZone> &zones, int program = 0)
{
  Sf2Fixture f;
  for (const auto &s : samples) f.addSample(s);
  f.addInstrument({"inst", zones});
  f.addPreset({"Lead", program, 0, {Sf2Fixture::instrumentZone(0)}});
  return read(f);
}

const PlannedChannel &program(const LibraryPlan &plan, int p) { return plan.patchCategories[0].patches[p].channels[0]; }

// The wavetable an oscillator of a melodic channel plays.
const PlannedWavetable *oscillator(const LibraryPlan &plan, const PlannedChannel &c, int osc)
{
  const Setting *s = c.find(local::OscWave + osc);
  if (!s || s->value == 0) return nullptr;
  int number = int(std::lround(s->value * 16384.0)) - 1;
  for (const auto &cat : plan.wavetableCategories)
    if (cat.number == number / 128 && size_t(number % 128) < cat.wavetables.size()) return &cat.wavetables[number % 128];
  return nullptr;
}

std::string textOf(const PlannedChannel &c, int id)
{
  const Setting *s = c.find(id);
  return s ? s->text : "<none>";
}

TEST(GmLibrary, LibraryLayout)
{
  sf2::SoundFont sf = melodic({{"s", ramp(100)}}, {Sf2Fixture::sampleZone(0, 0, 127)});
  LibraryPlan plan = planGmLibrary(sf);

  ASSERT_EQ(plan.patchCategories.size(), 3u);
  EXPECT_EQ(plan.patchCategories[0].number, 0);
  EXPECT_EQ(plan.patchCategories[0].patches.size(), 128u);
  EXPECT_EQ(plan.patchCategories[1].number, 1);
  EXPECT_EQ(plan.patchCategories[1].patches.size(), 16u);
  EXPECT_EQ(plan.patchCategories[2].number, 50);
  ASSERT_EQ(plan.patchCategories[2].patches.size(), 1u);

  // Every program is a switched-on melodic channel; the missing ones play program 0's sound.
  for (int p = 0; p < 128; ++p) {
    const PlannedChannel &c = program(plan, p);
    EXPECT_FALSE(c.drum);
    ASSERT_NE(c.find(local::On), nullptr);
    EXPECT_EQ(c.find(local::On)->value, 1.0f);
    EXPECT_NE(oscillator(plan, c, 0), nullptr) << p;
  }
  EXPECT_EQ(std::count_if(plan.notes.begin(), plan.notes.end(),
                          [](const std::string &n) { return n.find("plays program 0") != std::string::npos; }),
            127);

  // Melodic wavetables sit in the category of their program's family.
  for (const auto &cat : plan.wavetableCategories) EXPECT_LT(cat.number, 128);
  const Setting *wave = program(plan, 17).find(local::OscWave);
  EXPECT_EQ((int(std::lround(wave->value * 16384.0)) - 1) / 128, 17 / 8);

  // The setup: sixteen channels, the standard kit on channel 10 and program 0 on the others.
  const PlannedPatch &setup = plan.patchCategories[2].patches[0];
  ASSERT_EQ(setup.channels.size(), 16u);
  for (int c = 0; c < 16; ++c) {
    EXPECT_EQ(setup.channels[c].drum, c == 9);
    EXPECT_EQ(setup.channels[c].find(local::On)->value, 1.0f);
  }
  EXPECT_EQ(setup.channels[0].settings.size(), program(plan, 0).settings.size());
}

TEST(GmLibrary, StereoHalvesBecomeOneMonoSample)
{
  using namespace sf2;
  // The halves name no partner (a broken link, as in some published SoundFonts).
  FixtureSample left{"L", ramp(200, 10), 50, 150, 32000, 60, 0, 0, leftSample};
  FixtureSample right{"R", ramp(200, -10), 50, 150, 32000, 60, 0, 0, rightSample};
  sf2::SoundFont sf = melodic({left, right}, {Sf2Fixture::sampleZone(0, 0, 127, {gen(pan, -500), gen(sampleModes, 1)}),
                                              Sf2Fixture::sampleZone(1, 0, 127, {gen(pan, 500), gen(sampleModes, 1)})});
  LibraryPlan plan = planGmLibrary(sf);
  const PlannedChannel &c = program(plan, 0);
  const PlannedWavetable *osc = oscillator(plan, c, 0);
  ASSERT_NE(osc, nullptr);
  EXPECT_EQ(oscillator(plan, c, 1), nullptr);
  ASSERT_EQ(osc->zones.size(), 1u);
  const Take &take = plan.takes[osc->zones[0].take];
  EXPECT_EQ(take.sample, 0);
  EXPECT_EQ(take.partner, 1);
  EXPECT_EQ(textOf(c, local::Pan), "C00");
  // The mid signal played in the centre is 3 dB quieter than the halves played apart (and the
  // library plays 13.98 dB below the SoundFont, 1.46 dB less for the default reverb).
  EXPECT_EQ(textOf(c, local::Volume), "-12.44");

  TakeData data = renderTake(sf, take);
  ASSERT_EQ(data.values.size(), 150u); // cut after the loop
  // The halves are out of phase: their sum would cancel, so one goes in upside down.
  EXPECT_TRUE(take.partnerInverted);
  for (size_t i = 0; i < data.values.size(); ++i) ASSERT_EQ(data.values[i], int(10 * i)) << i;
  EXPECT_EQ(data.loopStart, 51);
  EXPECT_EQ(data.rate, 32000);
}

// Halves are mixed as their sum unless it keeps less than half of their power apart.
TEST(GmLibrary, StereoHalvesOutOfPhaseMixUpsideDown)
{
  using namespace sf2;
  struct Case {
    int rightStep; // the right half's ramp against the left's 10
    bool inverted;
    int mixStep; // the mix's ramp
  };
  for (const Case k : {Case{10, false, 10}, Case{-2, false, 4}, Case{-4, true, 7}, Case{-10, true, 10}}) {
    FixtureSample left{"L", ramp(200, 10), 50, 150, 32000, 60, 0, 0, leftSample};
    FixtureSample right{"R", ramp(200, k.rightStep), 50, 150, 32000, 60, 0, 0, rightSample};
    sf2::SoundFont sf = melodic({left, right}, {Sf2Fixture::sampleZone(0, 0, 127, {gen(pan, -500), gen(sampleModes, 1)}),
                                                Sf2Fixture::sampleZone(1, 0, 127, {gen(pan, 500), gen(sampleModes, 1)})});
    LibraryPlan plan = planGmLibrary(sf);
    const PlannedWavetable *osc = oscillator(plan, program(plan, 0), 0);
    ASSERT_NE(osc, nullptr);
    const Take &take = plan.takes[osc->zones[0].take];
    ASSERT_EQ(take.partner, 1) << k.rightStep;
    EXPECT_EQ(take.partnerInverted, k.inverted) << k.rightStep;
    TakeData data = renderTake(sf, take);
    ASSERT_EQ(data.values.size(), 150u);
    for (size_t i = 0; i < data.values.size(); ++i) ASSERT_NEAR(data.values[i], k.mixStep * double(i), 1.0) << k.rightStep << " at " << i;
  }
}

// Halves recorded a few cents apart, filtered differently or with loops a few values apart are
// still one stereo sound: they mix into one take at the middle of their tunings. Halves further
// apart in pitch or level stay two sounds on the two oscillators.
TEST(GmLibrary, StereoHalvesAFewCentsApartArePaired)
{
  using namespace sf2;
  struct Case {
    const char *what;
    std::vector<Gen> leftGens, rightGens;
    uint32_t rightLoopStart;
    int rightStep; // the right half's ramp: its level against the left's 10
    bool paired;
    double cents; // a pair's tuning against its recordings
    const char *cutoff;
    const char *pan; // the mix leans to the louder half
  };
  const Case cases[] = {
      {"equal", {}, {}, 50, -10, true, 0.0, "<none>", "C00"},
      {"5 cents apart", {gen(fineTune, -5)}, {}, 50, -10, true, -2.5, "<none>", "C00"},
      {"a filter on one half", {gen(fineTune, -5), gen(initialFilterFc, 11900)}, {gen(initialFilterFc, 10900)}, 50, -10,
       true, -2.5, "5919.9", "C00"},  // 11,400 cents
      {"loops two values apart", {}, {}, 52, -10, true, 0.0, "<none>", "R01"},
      {"right half 6 dB quieter", {}, {}, 50, -5, true, 0.0, "<none>", "L33"},
      {"6 cents apart", {gen(fineTune, -6)}, {}, 50, -10, false, 0.0, "<none>", ""},
      {"a semitone apart", {gen(coarseTune, -1)}, {}, 50, -10, false, 0.0, "<none>", ""},
      {"levels 6 dB apart", {gen(initialAttenuation, 150)}, {}, 50, -10, false, 0.0, "<none>", ""},
      {"loops ten values apart", {}, {}, 60, -10, false, 0.0, "<none>", ""},
  };
  for (const Case &k : cases) {
    SCOPED_TRACE(k.what);
    FixtureSample left{"L", ramp(200, 10), 50, 150, 32000, 60, 0, 0, leftSample};
    FixtureSample right{"R", ramp(200, k.rightStep), k.rightLoopStart, k.rightLoopStart + 100, 32000, 60, 0, 0,
                        rightSample};
    std::vector<Gen> l = {gen(pan, -500), gen(sampleModes, 1)}, r = {gen(pan, 500), gen(sampleModes, 1)};
    l.insert(l.end(), k.leftGens.begin(), k.leftGens.end());
    r.insert(r.end(), k.rightGens.begin(), k.rightGens.end());
    sf2::SoundFont sf =
        melodic({left, right}, {Sf2Fixture::sampleZone(0, 0, 127, l), Sf2Fixture::sampleZone(1, 0, 127, r)});
    LibraryPlan plan = planGmLibrary(sf);
    const PlannedChannel &c = program(plan, 0);
    const PlannedWavetable *first = oscillator(plan, c, 0);
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(first->zones.size(), 1u);
    const Take &take = plan.takes[first->zones[0].take];
    EXPECT_EQ(take.partner >= 0, k.paired);
    EXPECT_EQ(oscillator(plan, c, 1) == nullptr, k.paired);
    EXPECT_EQ(textOf(c, local::FilterCutoff), k.cutoff);
    if (!k.paired) continue;
    EXPECT_NEAR(1200.0 * std::log2(take.rate / 32000.0), k.cents, 0.1);
    EXPECT_EQ(textOf(c, local::Pan), k.pan);
    // The loops line up: the mix loops where both halves do.
    EXPECT_EQ(int64_t(take.partnerStart) - int64_t(sf.samples[1].start), int64_t(k.rightLoopStart) - 50);
    TakeData data = renderTake(sf, take);
    ASSERT_EQ(data.values.size(), 150u);
    EXPECT_EQ(data.loopStart, 51);
  }
}

// The toms of a common General MIDI SoundFont: halves 5 cents apart, one of them filtered. The key
// plays both, in the middle.
TEST(GmLibrary, DrumKeysPairTheirHalvesInTheMiddle)
{
  using namespace sf2;
  Sf2Fixture f;
  f.addSample({"tom L", ramp(300, 10), 0, 0, 44100, 60, 0, 0, leftSample});
  f.addSample({"tom R", ramp(300, -10), 0, 0, 44100, 60, 0, 0, rightSample});
  f.addInstrument({"kit",
                   {Sf2Fixture::sampleZone(0, 45, 45, {gen(pan, -500), gen(fineTune, -5), gen(initialFilterFc, 11900)}),
                    Sf2Fixture::sampleZone(1, 45, 45, {gen(pan, 500), gen(initialFilterFc, 10900)})}});
  f.addPreset({"Standard", 0, 128, {Sf2Fixture::instrumentZone(0)}});
  LibraryPlan plan = planGmLibrary(read(f));
  const PlannedChannel &kit = plan.patchCategories[1].patches[0].channels[0];
  auto at = [](int key, int base) { return base + 17 * (key - 24); };
  EXPECT_EQ(textOf(kit, at(45, local::DrumPan)), "0.0");
  EXPECT_EQ(textOf(kit, at(45, local::DrumFinetone)), "-2.5");
  ASSERT_EQ(plan.takes.size(), 1u);
  EXPECT_EQ(plan.takes[0].partner, 1);
}

// Two stereo pairs detuned against each other (a honky-tonk piano) stay two sounds: each half
// pairs with the half tuned as it is.
TEST(GmLibrary, DetunedPairsStayApart)
{
  using namespace sf2;
  FixtureSample left{"L", ramp(200, 10), 50, 150, 32000, 60, 0, 0, leftSample};
  FixtureSample right{"R", ramp(200, -10), 50, 150, 32000, 60, 0, 0, rightSample};
  const std::vector<Gen> l = {gen(pan, -500), gen(sampleModes, 1)}, r = {gen(pan, 500), gen(sampleModes, 1)};
  std::vector<Gen> lowL = l, lowR = r;
  lowL.push_back(gen(fineTune, -5));
  lowR.push_back(gen(fineTune, -5));
  // In an order where the first half that fits is the wrong one.
  sf2::SoundFont sf = melodic({left, right}, {Sf2Fixture::sampleZone(0, 0, 127, l), Sf2Fixture::sampleZone(1, 0, 127, lowR),
                                              Sf2Fixture::sampleZone(1, 0, 127, r), Sf2Fixture::sampleZone(0, 0, 127, lowL)});
  LibraryPlan plan = planGmLibrary(sf);
  const PlannedChannel &c = program(plan, 0);
  const PlannedWavetable *first = oscillator(plan, c, 0), *second = oscillator(plan, c, 1);
  ASSERT_TRUE(first && second);
  const Take &a = plan.takes[first->zones[0].take], &b = plan.takes[second->zones[0].take];
  EXPECT_GE(a.partner, 0);
  EXPECT_GE(b.partner, 0);
  const int32_t low = int32_t(std::lround(32000 * std::exp2(-5 / 1200.0)));
  EXPECT_EQ(std::set<int32_t>({a.rate, b.rate}), std::set<int32_t>({32000, low}));
}

TEST(GmLibrary, TheLoudestSoundOfEachKeyGoesToTheFirstOscillator)
{
  using namespace sf2;
  std::vector<FixtureSample> samples = {{"pad", ramp(100)}, {"click", ramp(80)}};
  // A pad over the whole keyboard and a louder click over 48..72.
  sf2::SoundFont sf = melodic(samples, {Sf2Fixture::sampleZone(0, 0, 127, {gen(initialAttenuation, 60)}),
                                        Sf2Fixture::sampleZone(1, 48, 72, {gen(initialAttenuation, 20)})});
  LibraryPlan plan = planGmLibrary(sf);
  const PlannedChannel &c = program(plan, 0);
  const PlannedWavetable *first = oscillator(plan, c, 0), *second = oscillator(plan, c, 1);
  ASSERT_TRUE(first && second);

  ASSERT_EQ(first->zones.size(), 3u);
  EXPECT_EQ(first->zones[0].upperKey, 47);
  EXPECT_EQ(first->zones[1].upperKey, 72);
  EXPECT_EQ(first->zones[2].upperKey, 127);
  EXPECT_EQ(plan.takes[first->zones[1].take].sample, 1);
  EXPECT_EQ(plan.takes[first->zones[1].take].cutCentibels, 0);
  EXPECT_EQ(plan.takes[first->zones[0].take].cutCentibels, 16); // 40 cB heard at 0.4

  // The second oscillator plays the pad under the click and is silent elsewhere.
  ASSERT_EQ(second->zones.size(), 3u);
  EXPECT_EQ(plan.takes[second->zones[0].take].sample, -1);
  EXPECT_EQ(plan.takes[second->zones[1].take].sample, 0);
  EXPECT_EQ(plan.takes[second->zones[2].take].sample, -1);
  EXPECT_EQ(renderTake(sf, plan.takes[second->zones[0].take]).values.size(), 1u);

  // The channel carries the loudest level (20 cB heard at 0.4), and 6 dB for the mix of two
  // oscillators.
  EXPECT_EQ(textOf(c, local::Volume), "-10.22");
}

TEST(GmLibrary, OnlyTheVelocityLayerOf100IsKept)
{
  using namespace sf2;
  std::vector<FixtureSample> samples = {{"soft", ramp(100)}, {"hard", ramp(90)}};
  sf2::SoundFont sf = melodic(samples, {Sf2Fixture::sampleZone(0, 0, 127, {range(velRange, 0, 99)}),
                                        Sf2Fixture::sampleZone(1, 0, 127, {range(velRange, 100, 127)})});
  LibraryPlan plan = planGmLibrary(sf);
  const PlannedWavetable *osc = oscillator(plan, program(plan, 0), 0);
  ASSERT_NE(osc, nullptr);
  ASSERT_EQ(osc->zones.size(), 1u);
  EXPECT_EQ(plan.takes[osc->zones[0].take].sample, 1);
  EXPECT_EQ(oscillator(plan, program(plan, 0), 1), nullptr);
}

TEST(GmLibrary, AtMostSixteenZonesCoverEveryKey)
{
  std::vector<FixtureSample> samples;
  std::vector<FixtureZone> zones;
  for (int i = 0; i < 40; ++i) {
    samples.push_back({"z" + std::to_string(i), ramp(50 + i)});
    int low = 20 + 2 * i; // zones of two keys over 20..99, gaps below and above
    zones.push_back(Sf2Fixture::sampleZone(i, low, low + 1, {gen(sf2::overridingRootKey, low)}));
  }
  sf2::SoundFont sf = melodic(samples, zones);
  LibraryPlan plan = planGmLibrary(sf);
  const PlannedWavetable *osc = oscillator(plan, program(plan, 0), 0);
  ASSERT_NE(osc, nullptr);
  ASSERT_EQ(osc->zones.size(), 16u);
  for (size_t i = 1; i < osc->zones.size(); ++i) EXPECT_LT(osc->zones[i - 1].upperKey, osc->zones[i].upperKey);
  EXPECT_EQ(osc->zones.back().upperKey, 127);
  for (const PlannedZone &z : osc->zones) EXPECT_GE(plan.takes[z.take].sample, 0); // no silent key
}

TEST(GmLibrary, TuningGoesIntoTheRootKeyAndTheRate)
{
  using namespace sf2;
  FixtureSample s{"s", ramp(100), 0, 0, 44100, 60, 7}; // recorded 7 cents sharp of its pitch
  // One sample in two zones tuned apart: it is stored twice.
  sf2::SoundFont sf = melodic({s}, {Sf2Fixture::sampleZone(0, 0, 63, {gen(fineTune, -19), gen(coarseTune, 2)}),
                                    Sf2Fixture::sampleZone(0, 64, 127, {gen(fineTune, 12), gen(overridingRootKey, 70)})});
  LibraryPlan plan = planGmLibrary(sf);
  const PlannedWavetable *osc = oscillator(plan, program(plan, 0), 0);
  ASSERT_NE(osc, nullptr);
  ASSERT_EQ(osc->zones.size(), 2u);
  EXPECT_TRUE(osc->keyFollow);
  EXPECT_EQ(osc->zones[0].rootKey, 58); // two semitones up: the sample's pitch sits two keys lower
  EXPECT_EQ(osc->zones[1].rootKey, 70);
  const Take &low = plan.takes[osc->zones[0].take], &high = plan.takes[osc->zones[1].take];
  EXPECT_EQ(low.sample, high.sample);
  EXPECT_NE(osc->zones[0].take, osc->zones[1].take);
  EXPECT_EQ(low.rate, int(std::lround(44100 * std::exp2(-12 / 1200.0))));
  EXPECT_EQ(high.rate, int(std::lround(44100 * std::exp2(19 / 1200.0))));
}

// The engine moves a semitone a key: a scale tuning of half a semitone a key is right at middle C
// and every half octave from it, within a semitone and a half between.
TEST(GmLibrary, OtherScaleTuningsAreRightEveryHalfOctave)
{
  using namespace sf2;
  struct Case {
    int root;
    int coarse;
  };
  for (const Case k : {Case{72, -3}, Case{71, 0}}) {
    sf2::SoundFont sf = melodic({{"s", ramp(100), 0, 0, 44100, uint8_t(k.root)}},
                                {Sf2Fixture::sampleZone(0, 0, 127, {gen(scaleTuning, 50), gen(coarseTune, k.coarse)})});
    LibraryPlan plan = planGmLibrary(sf);
    const PlannedWavetable *osc = oscillator(plan, program(plan, 0), 0);
    ASSERT_NE(osc, nullptr);
    EXPECT_TRUE(osc->keyFollow);
    EXPECT_LE(osc->zones.size(), size_t(kZonesPerWavetable));
    for (int key = 21; key <= 108; ++key) {
      size_t z = 0;
      while (z + 1 < osc->zones.size() && osc->zones[z].upperKey < key) ++z;
      // Semitones above the sample's own pitch as the engine plays the key.
      const double played = key - osc->zones[z].rootKey + std::log2(plan.takes[osc->zones[z].take].rate / 44100.0) * 12.0;
      const double wanted = (key - k.root) * 0.5 + k.coarse;
      if ((key - 60) % 6 == 0)
        EXPECT_NEAR(played, wanted, 0.001) << "root " << k.root << ", key " << key;
      else
        EXPECT_NEAR(played, wanted, 1.5) << "root " << k.root << ", key " << key;
    }
  }
}

TEST(GmLibrary, ScaleTuningZeroPlaysEveryKeyAtOnePitch)
{
  using namespace sf2;
  sf2::SoundFont sf = melodic({{"s", ramp(100), 0, 0, 22050}},
                              {Sf2Fixture::sampleZone(0, 0, 127, {gen(scaleTuning, 0), gen(coarseTune, -12)})});
  LibraryPlan plan = planGmLibrary(sf);
  const PlannedWavetable *osc = oscillator(plan, program(plan, 0), 0);
  ASSERT_NE(osc, nullptr);
  EXPECT_FALSE(osc->keyFollow);
  EXPECT_EQ(plan.takes[osc->zones[0].take].rate, 11025); // an octave down, in the rate
}

TEST(GmLibrary, MelodicChannelTextsInTheEngineFormats)
{
  using namespace sf2;
  sf2::SoundFont sf = melodic(
      {{"s", ramp(100)}},
      {Sf2Fixture::sampleZone(0, 0, 127,
                              {gen(initialAttenuation, 35), gen(pan, -250), gen(attackVolEnv, 0), gen(decayVolEnv, 1200),
                               gen(sustainVolEnv, 200), gen(releaseVolEnv, -1200), gen(initialFilterFc, 6900),
                               gen(modEnvToFilterFc, 2400), gen(sustainModEnv, 500), gen(vibLfoToPitch, 50),
                               gen(freqVibLFO, 1200), gen(delayVibLFO, -1200)})});
  LibraryPlan plan = planGmLibrary(sf);
  const PlannedChannel &c = program(plan, 0);
  struct Case {
    int id;
    const char *text;
  };
  const Case cases[] = {
      {local::Volume, "-16.84"},  // 35 cB heard at 0.4, below the library level and the default reverb
      {local::Pan, "L50"},     // half left
      {local::FilterCutoff, "440.0"},  // 6900 absolute cents
      {local::FilterResonance, "5.2"},    // no resonance: the two-pole filter's own peak
      {local::FilterEnvelope + 2, "50.0"},   // modulation sustain 50 %
      {local::AmpEnvelope, "1.000"},  // attack 1 s
      {local::AmpEnvelope + 1, "0.260"},  // 2 s for 96 dB: 0.417 s to the sustain, shortened for the curve
      {local::AmpEnvelope + 2, "10.0"},   // 20 dB down
      {local::AmpEnvelope + 3, "0.217"},  // release 0.5 s
      {local::AmpEnvVelocityAmount, "96.4"},   // nearest (v/127)^2 over velocities 20..127
      {local::LfoRate, "16.35"},  // vibrato at 1200 absolute cents
      {local::LfoLevel, "100.0"},  // static vibrato: full level
      {local::OscLfoAmount, "12.5"},   // 50 cents
      {local::LfoDelayTime, "0.500"},
  };
  for (const Case &k : cases) EXPECT_EQ(textOf(c, k.id), k.text) << k.id;
  const Setting *span = c.find(local::FilterEnvAmount);
  ASSERT_NE(span, nullptr);
  EXPECT_EQ(span->kind, Setting::Kind::cutoffSpan);
  EXPECT_EQ(span->text, "440.0");
  EXPECT_EQ(span->target, "1760.0");
}

// A preset's level carries what a player's dry sound, chorus (about 7.1 times its send) and
// reverb (about 0.89 times) have beyond the engine's dry sound and its default setup's effects
// (no chorus; a reverb adding 0.40 of the dry power), up to a limit; the channel's own sends
// stay as the default setup or the file's controllers leave them.
TEST(GmLibrary, PresetSendsGoIntoTheLevelAndLeaveTheChannelSends)
{
  using namespace sf2;
  auto plan = [](int chorus, int reverb, int layerChorus = -1) {
    std::vector<FixtureZone> zones = {
        Sf2Fixture::sampleZone(0, 0, 127, {gen(chorusEffectsSend, chorus), gen(reverbEffectsSend, reverb)})};
    // A second layer 6 dB (150 cB at 0.4) below the first.
    if (layerChorus >= 0)
      zones.push_back(Sf2Fixture::sampleZone(1, 0, 127, {gen(initialAttenuation, 150), gen(chorusEffectsSend, layerChorus)}));
    return planGmLibrary(melodic({{"s", ramp(100)}, {"t", ramp(90)}}, zones));
  };
  // Without sends a preset plays below the library level by the engine's default reverb.
  const double plainVolume = std::stod(textOf(program(plan(0, 0), 0), local::Volume));
  EXPECT_NEAR(plainVolume, -13.98 - 1.46, 0.005);
  const double plainTwoLayers = std::stod(textOf(program(plan(0, 0, 0), 0), local::Volume));
  struct Case {
    int chorus, reverb, layerChorus;
    double levelDb; // against the same sound without sends
  };
  const Case cases[] = {
      {50, 0, -1, 0.52},   // a chorus return of 0.36 adds its power
      {200, 0, -1, 4.79},  // 1.42: the engine's default setup has no chorus to match it
      {300, 0, -1, 7.43},  // 2.13
      {1000, 0, -1, 8.46}, // 7.1 would want 17.1 dB: the level made up stops 7 dB above the library level
      {1511, 0, -1, 8.46}, // beyond full, as full
      {0, 1000, -1, 2.53}, // a player's reverb at full, 0.89
      {0, 0, 500, 5.48},   // the quieter layer's chorus counts by its share of the power: as 224
  };
  for (const Case &k : cases) {
    SCOPED_TRACE(testing::Message() << k.chorus << " / " << k.reverb << " / " << k.layerChorus);
    const LibraryPlan p = plan(k.chorus, k.reverb, k.layerChorus);
    const PlannedChannel &c = program(p, 0);
    EXPECT_EQ(textOf(c, local::ChorusSend), "<none>");
    EXPECT_EQ(textOf(c, local::ReverbSend), "<none>");
    EXPECT_NEAR(std::stod(textOf(c, local::Volume)) - (k.layerChorus < 0 ? plainVolume : plainTwoLayers), k.levelDb, 0.05);
  }
}

// The channel's one filter is the first oscillator's. A preset layering a sample with itself
// through a darker filter would play both bright and in phase, 6 dB above a player's mix: the
// level carries the difference. Other layers add in power and keep their level.
TEST(GmLibrary, ASampleLayeredWithItselfDarkenedKeepsThePlayersLevel)
{
  using namespace sf2;
  std::vector<int16_t> saw(100); // 441 Hz at middle C, no offset for a low-pass to keep
  for (int i = 0; i < 100; ++i) saw[size_t(i)] = int16_t((i - 50) * 200);
  auto volume = [&](bool sameSample, int secondCutoff) {
    std::vector<Gen> second = {gen(sampleModes, 1)};
    if (secondCutoff > 0) second.push_back(gen(initialFilterFc, secondCutoff));
    sf2::SoundFont sf = melodic({{"s", saw, 0, 100}, {"t", saw, 0, 100}},
                                {Sf2Fixture::sampleZone(0, 0, 127, {gen(sampleModes, 1)}),
                                 Sf2Fixture::sampleZone(sameSample ? 0 : 1, 0, 127, second)});
    return std::stod(textOf(program(planGmLibrary(sf), 0), local::Volume));
  };
  struct Case {
    const char *name;
    bool sameSample;
    int secondCutoff; // absolute cents; 0: open
    double levelDb;   // against the same layers both open
    double within;
  };
  const Case cases[] = {
      // 100 Hz: for a player the darkened twin is all but silent (what is left of it, late in
      // phase, takes a little from the first), 6 dB down from both in phase.
      {"twin darkened far", true, 4335, -6.3, 0.2},
      {"twin darkened a little", true, 11500, -0.22, 0.1}, // 6 kHz keeps most of a sawtooth
      {"another sample darkened", false, 4335, 0.0, 0.005},
  };
  for (const Case &k : cases) {
    SCOPED_TRACE(k.name);
    EXPECT_NEAR(volume(k.sameSample, k.secondCutoff) - volume(k.sameSample, 0), k.levelDb, k.within);
  }
}

// A drum kit with a snare two keys above its root, a closed and an open hi-hat, and three keys
// in two other exclusive classes.
sf2::SoundFont drumKit(bool moreKits = false)
{
  using namespace sf2;
  Sf2Fixture f;
  f.addSample({"snare", ramp(100), 0, 0, 44100, 38, 5});
  f.addSample({"hat", ramp(60)});
  FixtureInstrument kit{"kit", {}};
  kit.zones.push_back(Sf2Fixture::sampleZone(0, 38, 40, {gen(fineTune, 25), gen(pan, 250), gen(initialAttenuation, 60),
                                                         gen(reverbEffectsSend, 300), gen(sustainVolEnv, 1440),
                                                         gen(decayVolEnv, 1200)}));
  kit.zones.push_back(Sf2Fixture::sampleZone(0, 35, 35, {gen(coarseTune, -5), gen(fineTune, -80)}));
  kit.zones.push_back(Sf2Fixture::sampleZone(1, 42, 42, {gen(exclusiveClass, 9), gen(scaleTuning, 0)}));
  kit.zones.push_back(Sf2Fixture::sampleZone(1, 46, 46, {gen(exclusiveClass, 9), gen(scaleTuning, 0)}));
  kit.zones.push_back(Sf2Fixture::sampleZone(1, 71, 72, {gen(exclusiveClass, 3)}));
  kit.zones.push_back(Sf2Fixture::sampleZone(1, 80, 80, {gen(exclusiveClass, 5)}));
  f.addInstrument(kit);
  f.addInstrument({"melody", {Sf2Fixture::sampleZone(1, 0, 127)}});
  f.addPreset({"Piano", 0, 0, {Sf2Fixture::instrumentZone(1)}});
  f.addPreset({"Standard", 0, 128, {Sf2Fixture::instrumentZone(0)}});
  f.addPreset({"Room", 8, 128, {Sf2Fixture::instrumentZone(0)}});
  if (moreKits) {
    f.addPreset({"CM-64/32", 127, 128, {Sf2Fixture::instrumentZone(0)}});
    f.addPreset({"Electronic", 24, 128, {Sf2Fixture::instrumentZone(0)}});
    f.addPreset({"Analog", 25, 128, {Sf2Fixture::instrumentZone(0)}});
  }
  return read(f);
}

TEST(GmLibrary, DrumKeysCarryTheirOwnPitchLevelPanAndSends)
{
  LibraryPlan plan = planGmLibrary(drumKit());
  const PlannedChannel &kit = plan.patchCategories[1].patches[0].channels[0];
  EXPECT_TRUE(kit.drum);
  EXPECT_EQ(kit.find(local::Mode)->value, 1.0f);
  auto at = [](int key, int base) { return base + 17 * (key - 24); };
  auto wave = [&](int key) {
    const Setting *s = kit.find(at(key, local::DrumWave));
    return s ? int(std::lround(s->value * 16384.0)) : 0;
  };

  // Key 40 plays the snare two semitones and 30 cents above its recording.
  EXPECT_EQ(textOf(kit, at(40, local::DrumSemitone)), "+2");
  EXPECT_EQ(textOf(kit, at(40, local::DrumFinetone)), "30.0");
  EXPECT_EQ(textOf(kit, at(38, local::DrumSemitone)), "0");
  // Key 35: three keys below the root, five semitones and 80 cents down, 5 cents up.
  EXPECT_EQ(textOf(kit, at(35, local::DrumSemitone)), "-9");
  EXPECT_EQ(textOf(kit, at(35, local::DrumFinetone)), "25.0");
  EXPECT_EQ(textOf(kit, at(38, local::DrumVolume)), "-16.38");
  EXPECT_EQ(textOf(kit, at(38, local::DrumPan)), "50.0");
  // A 30 % reverb send, as the engine's reverb returns it through the kit's 30 % channel send.
  EXPECT_EQ(textOf(kit, at(38, local::DrumReverbSend)), "99.8");
  EXPECT_EQ(textOf(kit, local::ReverbSend), "30.0");
  // The snare decays to silence: no hold, the decay becomes the release.
  EXPECT_EQ(kit.find(at(38, local::DrumHold))->value, 0.0f);
  EXPECT_EQ(textOf(kit, at(38, local::DrumRelease)), "0.869");

  // Keys of one sample share one drum wavetable of one zone; keys without a sound stay empty.
  EXPECT_EQ(wave(38), wave(40));
  EXPECT_NE(wave(38), wave(42));
  EXPECT_EQ(wave(36), 0);
  EXPECT_EQ((wave(42) - 1) / 128, kFirstDrumWaveCategory);
  const PlannedWavetableCategory *drums = nullptr;
  for (const auto &c : plan.wavetableCategories)
    if (c.drum) drums = &c;
  ASSERT_NE(drums, nullptr);
  EXPECT_EQ(drums->wavetables.size(), 2u);
  for (const auto &t : drums->wavetables) EXPECT_EQ(t.zones.size(), 1u);

  // Mute groups: the hi-hats in A, the larger other class in B, the single key in none.
  struct Group {
    int key;
    float value;
  };
  for (Group g : {Group{42, 0.5f}, Group{46, 0.5f}, Group{71, 1.0f}, Group{72, 1.0f}, Group{80, 0.0f}, Group{38, 0.0f}})
    EXPECT_EQ(kit.find(at(g.key, local::DrumMuteGroup))->value, g.value) << g.key;
}

// A key laid twice with the same sound plays it 6 dB louder (three times, 9.5 dB), as the copies
// play in phase; a second
// sound that differs in anything is no copy and leaves the level alone.
TEST(GmLibrary, DrumKeysLaidTwiceWithOneSoundPlayItTwiceAsLoud)
{
  using namespace sf2;
  struct Case {
    const char *what;
    std::vector<std::vector<Gen>> others; // further zones of key 42 besides the plain one
    int otherSample;
    const char *volume;
  };
  const Case cases[] = {
      {"alone", {}, 0, "-13.98"},
      {"one copy", {{}}, 0, "-7.94"},
      {"two copies", {{}, {}}, 0, "-4.42"},
      {"panned aside", {{gen(pan, 100)}}, 0, "-13.98"},
      {"tuned apart", {{gen(fineTune, 30)}}, 0, "-13.98"},
      {"another sample", {{}}, 1, "-13.98"},
  };
  for (const Case &c : cases) {
    Sf2Fixture f;
    f.addSample({"hat", ramp(200, 30)});
    f.addSample({"shaker", ramp(200, 30)});
    FixtureInstrument kit{"kit", {Sf2Fixture::sampleZone(0, 42, 42, {})}};
    for (const auto &gens : c.others) kit.zones.push_back(Sf2Fixture::sampleZone(c.otherSample, 42, 42, gens));
    f.addInstrument(kit);
    f.addPreset({"Standard", 0, 128, {Sf2Fixture::instrumentZone(0)}});
    LibraryPlan plan = planGmLibrary(read(f));
    const PlannedChannel &channel = plan.patchCategories[1].patches[0].channels[0];
    EXPECT_EQ(textOf(channel, local::DrumVolume + 17 * (42 - 24)), c.volume) << c.what;
  }
}

// A drum key's cutoff: where the modulation envelope holds the filter over a hit, an octave up
// for the steeper drum filter; open past the SoundFont's highest cutoff.
TEST(GmLibrary, DrumCutoffsFollowTheModulationEnvelopeOverAHit)
{
  using namespace sf2;
  struct Case {
    std::vector<Gen> gens;
    const char *cutoff;
  };
  const Case cases[] = {
      {{gen(initialFilterFc, 6000)}, "523.3"}, // 7,200 cents
      {{gen(initialFilterFc, 13500)}, "<none>"},
      // Held open by the envelope: the hi-hat of a small General MIDI SoundFont.
      {{gen(initialFilterFc, 9381), gen(modEnvToFilterFc, 3375)}, "<none>"},
      // An envelope that falls at once to nothing leaves the cutoff where it was.
      {{gen(initialFilterFc, 6000), gen(modEnvToFilterFc, 2400), gen(decayModEnv, -12000), gen(sustainModEnv, 1000)},
       "523.3"},
      // Held at half for the whole hit: half the amount.
      {{gen(initialFilterFc, 6000), gen(modEnvToFilterFc, 2400), gen(sustainModEnv, 500), gen(decayModEnv, -12000)},
       "1046.5"},
  };
  for (const Case &c : cases) {
    Sf2Fixture f;
    f.addSample({"hat", ramp(200, 30)});
    f.addInstrument({"kit", {Sf2Fixture::sampleZone(0, 42, 42, c.gens)}});
    f.addPreset({"Standard", 0, 128, {Sf2Fixture::instrumentZone(0)}});
    LibraryPlan plan = planGmLibrary(read(f));
    const PlannedChannel &kit = plan.patchCategories[1].patches[0].channels[0];
    EXPECT_EQ(textOf(kit, local::DrumFilterCutoff + 17 * (42 - 24)), c.cutoff) << c.gens[0].amount << " " << c.gens.size();
  }
}

TEST(GmLibrary, KitSlotsHoldTheKitsRhythmProgramsSelect)
{
  for (bool moreKits : {false, true}) {
    SCOPED_TRACE(moreKits ? "with more kits" : "Standard and Room only");
    LibraryPlan plan = planGmLibrary(drumKit(moreKits));
    const auto &kits = plan.patchCategories[1].patches;
    ASSERT_EQ(kits.size(), 16u);
    EXPECT_EQ(kits[0].name, "Standard");
    EXPECT_EQ(kits[1].name, "Room");
    for (int slot : {2, 7, 9, 14}) EXPECT_EQ(kits[slot].name, "Standard") << slot;
    EXPECT_EQ(kits[15].name, moreKits ? "CM-64/32" : "Standard");
    // Program 25 is a kit of its own, kept in the ninth slot; without it that slot plays Standard.
    EXPECT_EQ(kits[3].name, moreKits ? "Electronic" : "Standard");
    EXPECT_EQ(kits[8].name, moreKits ? "Analog" : "Standard");
    EXPECT_EQ(plan.patchCategories[2].patches[0].channels[9].name, "Standard");
  }
  // Each program's slot holds that program's kit.
  for (int program : {0, 8, 24, 25, 56, 127})
    EXPECT_EQ(drumProgramOfSlot(engine::drumKitSlotOfProgram(program)), program) << program;
  EXPECT_EQ(drumProgramOfSlot(9), 0);
}

// The whole of the fixture's first sample, looped over its values 2..6.
Take loopedTake(const sf2::SoundFont &sf)
{
  Take take;
  take.sample = 0;
  take.start = sf.samples[0].start;
  take.end = sf.samples[0].end;
  take.looped = true;
  take.loopStart = take.start + 2;
  take.loopEnd = take.start + 6;
  return take;
}

TEST(GmLibrary, RenderedTakeIsCutAfterItsLoopAndLowered)
{
  using namespace sf2;
  std::vector<int16_t> values = {1000, -1000, 32767, -32768, 500, 600, 700, 800, 900, 1000};
  sf2::SoundFont sf = melodic({{"s", values, 2, 6}}, {Sf2Fixture::sampleZone(0, 0, 127, {gen(sampleModes, 1)})});
  Take take = loopedTake(sf);
  take.cutCentibels = 60; // 6 dB: x 0.50119
  TakeData d = renderTake(sf, take);
  EXPECT_EQ(d.values, (std::vector<int16_t>{501, -501, 16422, -16423, 251, 301}));
  EXPECT_EQ(d.loopStart, 3);
  take.looped = false;
  take.cutCentibels = 0;
  d = renderTake(sf, take);
  EXPECT_EQ(d.values.size(), 10u);
  EXPECT_EQ(d.loopStart, 0);
}

// The channel's volume envelope comes from the sound at middle C; a zone that falls faster, by
// its own decay or by its key's share of a key-tracked decay, carries the difference in its take.
TEST(GmLibrary, ZonesThatFallFasterCarryTheirFallInTheirTakes)
{
  using namespace sf2;
  struct Case {
    const char *name;
    std::vector<Gen> high;   // the zone of keys 64..127, besides its sample and root
    double centibelsAtOneSecond; // its fade one second in; 0: no fade
  };
  // The reference falls 96 dB in 4 s (24 dB a second).
  const Case cases[] = {
      {"same fall", {gen(decayVolEnv, 2400)}, 0.0},
      {"twice as fast", {gen(decayVolEnv, 1200)}, 240.0},
      // Key 86 (the middle of 64..108) is 26 keys above 60: 1300 timecents shorter.
      {"key-tracked decay", {gen(decayVolEnv, 2400), gen(keynumToVolEnvDecay, 50)}, 268.5},
      {"slower", {gen(decayVolEnv, 3600)}, 0.0},
      {"held for a second first", {gen(decayVolEnv, 2400), gen(holdVolEnv, 0)}, 0.0},
  };
  for (const Case &k : cases) {
    std::vector<Gen> high = k.high;
    high.push_back(gen(sustainVolEnv, 1000));
    high.push_back(gen(sampleModes, 1));
    high.push_back(gen(overridingRootKey, 86)); // played at its own rate in the middle of its keys
    sf2::SoundFont sf = melodic({{"low", ramp(100), 10, 90}, {"high", ramp(100), 10, 90}},
                                {Sf2Fixture::sampleZone(0, 0, 63, {gen(decayVolEnv, 2400), gen(sustainVolEnv, 1000),
                                                                   gen(sampleModes, 1)}),
                                 Sf2Fixture::sampleZone(1, 64, 127, high)});
    LibraryPlan plan = planGmLibrary(sf);
    const PlannedWavetable *osc = oscillator(plan, program(plan, 0), 0);
    ASSERT_NE(osc, nullptr) << k.name;
    ASSERT_EQ(osc->zones.size(), 2u) << k.name;
    EXPECT_TRUE(plan.takes[osc->zones[0].take].fadeCentibels.empty()) << k.name;
    const Take &take = plan.takes[osc->zones[1].take];
    if (k.centibelsAtOneSecond == 0.0) {
      EXPECT_TRUE(take.fadeCentibels.empty()) << k.name;
      continue;
    }
    ASSERT_EQ(take.fadeStep, 1103u) << k.name; // 25 ms at 44.1 kHz
    ASSERT_GT(take.fadeCentibels.size(), 40u) << k.name;
    EXPECT_EQ(take.fadeCentibels[0], 0) << k.name;
    EXPECT_NEAR(take.fadeCentibels[40], k.centibelsAtOneSecond * 40 * 1103 / 44100.0, 2.0) << k.name;
    EXPECT_EQ(take.fadeCentibels.back(), kFadeSilentCentibels) << k.name; // falls to silence within 4 s
  }
}

// A preset of three sounds at every key: the two loudest go to the oscillators, the third is
// heard through the kept one that falls most like it (its power added to that one's level, its
// fall mixed into that one's take), and the channel falls and releases as the sound that lasts
// longest, dropped or kept.
TEST(GmLibrary, AThirdSoundKeepsItsTailAndItsLoudness)
{
  using namespace sf2;
  struct Layer {
    int attenuation;
    bool quick; // falls 40 dB in 0.4 s and releases in 0.5 s; else held at full, released in 4 s
    bool once = false; // its sample plays once, for 2 ms, instead of looping
  };
  struct Case {
    const char *name;
    Layer layers[3];
    const char *volume, *sustain, *release;
    int cut[2];     // each oscillator's take against the loudest
    int settles[2]; // where each oscillator's fade comes to rest; 0: no fade
  };
  const Case cases[] = {
      // The slow sound is dropped: the first oscillator plays it too (+1.97 dB, 49 cB), and
      // its take settles 4.4 dB down, where the mix of the two holds, not 40 dB down.
      {"the dropped sound carries the tail", {{0, true}, {30, true}, {60, false}}, "-7.46", "100.0", "1.738", {0, 32}, {44, 400}},
      // Two slow sounds alike: the second oscillator plays both, 3 dB up.
      {"a kept sound carries the tail", {{0, true}, {60, false}, {60, false}}, "-8.82", "100.0", "1.738", {6, 0}, {400, 0}},
      {"three sounds alike", {{0, false}, {0, false}, {0, false}}, "-6.42", "100.0", "1.738", {0, 30}, {0, 0}},
      {"three quick sounds", {{0, true}, {30, true}, {60, true}}, "-7.46", "1.0", "0.217", {0, 32}, {0, 0}},
      // A dropped sound that plays out at once adds its power only while it plays: the first
      // oscillator then settles 2 dB below its raised level.
      {"the dropped sound plays out", {{0, true}, {30, true}, {60, false, true}}, "-7.46", "1.0", "0.217", {0, 32}, {20, 0}},
  };
  for (const Case &k : cases) {
    SCOPED_TRACE(k.name);
    std::vector<FixtureSample> samples;
    std::vector<FixtureZone> zones;
    for (int i = 0; i < 3; ++i) {
      samples.push_back({"s" + std::to_string(i), std::vector<int16_t>(100, 10000), 10, 90});
      std::vector<Gen> g = {gen(initialAttenuation, k.layers[i].attenuation), gen(sampleModes, k.layers[i].once ? 0 : 1)};
      if (k.layers[i].quick)
        g.insert(g.end(), {gen(decayVolEnv, 0), gen(sustainVolEnv, 400), gen(releaseVolEnv, -1200)});
      else
        g.push_back(gen(releaseVolEnv, 2400));
      zones.push_back(Sf2Fixture::sampleZone(i, 0, 127, g));
    }
    sf2::SoundFont sf = melodic(samples, zones);
    LibraryPlan plan = planGmLibrary(sf);
    const PlannedChannel &c = program(plan, 0);
    EXPECT_EQ(textOf(c, local::Volume), k.volume);
    EXPECT_EQ(textOf(c, local::AmpEnvelope + 2), k.sustain);
    EXPECT_EQ(textOf(c, local::AmpEnvelope + 3), k.release);
    for (int osc = 0; osc < 2; ++osc) {
      const PlannedWavetable *table = oscillator(plan, c, osc);
      ASSERT_NE(table, nullptr) << osc;
      ASSERT_EQ(table->zones.size(), 1u) << osc;
      const Take &take = plan.takes[table->zones[0].take];
      EXPECT_EQ(take.cutCentibels, k.cut[osc]) << osc;
      if (k.settles[osc] == 0) {
        EXPECT_TRUE(take.fadeCentibels.empty()) << osc;
        continue;
      }
      ASSERT_FALSE(take.fadeCentibels.empty()) << osc;
      EXPECT_NEAR(take.fadeCentibels.back(), k.settles[osc], 1) << osc;
    }
  }
}

TEST(GmLibrary, AFadedTakePlaysItsLoopOutThroughTheFade)
{
  sf2::SoundFont sf = melodic({{"s", std::vector<int16_t>(10, 10000), 2, 6}}, {Sf2Fixture::sampleZone(0, 0, 127)});
  Take take = loopedTake(sf);
  take.fadeStep = 4;
  take.fadeCentibels = {0, 60, 120}; // 12 dB over 8 values, then held
  TakeData d = renderTake(sf, take);
  // Eight values through the fade (the loop repeated), then one turn of the loop at its last level.
  EXPECT_EQ(d.values, (std::vector<int16_t>{10000, 8414, 7079, 5957, 5012, 4217, 3548, 2985, 2512, 2512, 2512, 2512}));
  EXPECT_EQ(d.loopStart, 9);
  // A fade that reaches silence ends the take there, loop or not.
  take.fadeCentibels = {0, 400, kFadeSilentCentibels};
  d = renderTake(sf, take);
  EXPECT_EQ(d.values.size(), 8u);
  EXPECT_EQ(d.loopStart, 0);
  EXPECT_EQ(d.values[4], 100); // 40 dB down
}

// The velocity amount follows the preset's level against velocity, its velocity layers included:
// their attenuation, and how loud a note of each plays under its envelope and through its
// filter (soft layers are often only shorter or darker).
TEST(GmLibrary, VelocityLayersShapeTheVelocityAmount)
{
  using namespace sf2;
  struct Case {
    const char *name;
    std::vector<Gen> soft; // the layer below velocity 64; the loud layer has none of these
    const char *amount;
  };
  const Case cases[] = {
      {"one level", {}, "96.4"}, // nearest (v/127)^2 over velocities 20..127
      {"soft layer quieter", {gen(initialAttenuation, 100)}, "97.7"},
      {"soft layer louder", {gen(initialAttenuation, -100)}, "92.3"},
      {"soft layer sustains lower", {gen(sustainVolEnv, 100)}, "98.9"},
      {"soft layer dies sooner", {gen(decayVolEnv, 2400), gen(sustainVolEnv, 1000)}, "98.5"},
      {"soft layer darker", {gen(initialFilterFc, 11000)}, "98.1"},
  };
  // A looped wave of about 5.5 kHz, so a cutoff below it takes level away.
  std::vector<int16_t> wave(64);
  for (size_t i = 0; i < wave.size(); ++i) wave[i] = int16_t(i % 8 < 4 ? 10000 : -10000);
  for (const Case &k : cases) {
    std::vector<Gen> soft = {range(velRange, 0, 63), gen(sampleModes, 1), gen(initialAttenuation, 100)};
    for (const Gen &g : k.soft)
      if (g.oper == initialAttenuation)
        soft[2].amount = uint16_t(100 + int16_t(g.amount));
      else
        soft.push_back(g);
    sf2::SoundFont sf = melodic({{"s", wave, 0, 64}},
                                {Sf2Fixture::sampleZone(0, 0, 127, soft),
                                 Sf2Fixture::sampleZone(0, 0, 127, {range(velRange, 64, 127), gen(sampleModes, 1),
                                                                    gen(initialAttenuation, 100)})});
    LibraryPlan plan = planGmLibrary(sf);
    EXPECT_EQ(textOf(program(plan, 0), local::AmpEnvVelocityAmount), k.amount) << k.name;
  }
}

// The vibrato is a triangle every note starts from zero, in the direction of the SoundFont's depth.
TEST(GmLibrary, VibratoStartsWithEachNoteInItsDirection)
{
  using namespace sf2;
  struct Case {
    int depth;
    float wave; // normalised: 2 rises first, 3 falls first, of 0..9
  };
  for (const Case &k : {Case{30, 2.0f / 9.0f}, Case{-30, 3.0f / 9.0f}}) {
    sf2::SoundFont sf = melodic({{"s", ramp(100)}}, {Sf2Fixture::sampleZone(0, 0, 127, {gen(vibLfoToPitch, k.depth)})});
    LibraryPlan plan = planGmLibrary(sf);
    const PlannedChannel &c = program(plan, 0);
    const Setting *wave = c.find(local::LfoWave), *sync = c.find(local::LfoKeySync);
    ASSERT_NE(wave, nullptr) << k.depth;
    ASSERT_NE(sync, nullptr) << k.depth;
    EXPECT_FLOAT_EQ(wave->value, k.wave) << k.depth;
    EXPECT_EQ(sync->value, 1.0f) << k.depth;
  }
}

} // namespace
