#include "tools/soundfont/Regions.h"

#include "tools/soundfont/tests/Sf2FixtureRead.h"

#include <gtest/gtest.h>

namespace {

using namespace sftest;

// One preset over one instrument zone, with generators on each level.
sf2::SoundFont oneRegion(std::vector<Gen> instrumentGens, std::vector<Gen> presetGens, std::vector<Gen> instrumentGlobal = {},
                         std::vector<Gen> presetGlobal = {})
{
  Sf2Fixture f;
  f.addSample({"s", ramp(1000), 100, 900});
  FixtureInstrument inst;
  if (!instrumentGlobal.empty()) inst.zones.push_back({instrumentGlobal});
  inst.zones.push_back(Sf2Fixture::sampleZone(0, 0, 127, instrumentGens));
  f.addInstrument(inst);
  FixturePreset p;
  if (!presetGlobal.empty()) p.zones.push_back({presetGlobal});
  p.zones.push_back(Sf2Fixture::instrumentZone(0, presetGens));
  f.addPreset(p);
  return read(f);
}

TEST(SoundFontRegions, InstrumentValuesWithPresetOffsetsHeldToTheirRanges)
{
  struct Case {
    const char *what;
    int generator;
    std::vector<Gen> instrument, preset, instrumentGlobal, presetGlobal;
    int expected;
  };
  using namespace sf2;
  const Case cases[] = {
      {"default", initialFilterFc, {}, {}, {}, {}, 13500},
      {"instrument value", decayVolEnv, {gen(decayVolEnv, 1200)}, {}, {}, {}, 1200},
      {"global when the zone has none", decayVolEnv, {}, {}, {gen(decayVolEnv, -600)}, {}, -600},
      {"zone over global", decayVolEnv, {gen(decayVolEnv, 300)}, {}, {gen(decayVolEnv, -600)}, {}, 300},
      {"preset offset adds", coarseTune, {gen(coarseTune, 5)}, {gen(coarseTune, -2)}, {}, {}, 3},
      {"preset global offset", fineTune, {gen(fineTune, 10)}, {}, {}, {gen(fineTune, 20)}, 30},
      {"preset cannot move the root key", overridingRootKey, {gen(overridingRootKey, 50)}, {gen(overridingRootKey, 7)}, {}, {}, 50},
      {"fine tune above 99", fineTune, {gen(fineTune, 500)}, {}, {}, {}, 99},
      {"attenuation beyond 144 dB", initialAttenuation, {gen(initialAttenuation, 1000)}, {gen(initialAttenuation, 1000)}, {}, {}, 1440},
      {"negative attenuation", initialAttenuation, {gen(initialAttenuation, -50)}, {}, {}, {}, 0},
      {"pan beyond full left", pan, {gen(pan, -900)}, {}, {}, {}, -500},
      {"cutoff above its range", initialFilterFc, {gen(initialFilterFc, 20000)}, {}, {}, {}, 13500},
      {"sustain beyond silence", sustainVolEnv, {gen(sustainVolEnv, 2000)}, {}, {}, {}, 1440},
      {"attack beyond 100 s", attackVolEnv, {gen(attackVolEnv, 9000)}, {}, {}, {}, 8000},
      {"root key 200 means none", overridingRootKey, {gen(overridingRootKey, 200)}, {}, {}, {}, -1},
      {"scale tuning negative", scaleTuning, {gen(scaleTuning, -100)}, {}, {}, {}, 0},
      {"sample mode 7", sampleModes, {gen(sampleModes, 7)}, {}, {}, {}, 3},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    sf2::SoundFont sf = oneRegion(c.instrument, c.preset, c.instrumentGlobal, c.presetGlobal);
    auto regions = sf2::presetRegions(sf, 0);
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_EQ(regions[0].value[c.generator], c.expected);
  }
}

TEST(SoundFontRegions, KeyAndVelocityRangesMeet)
{
  using namespace sf2;
  Sf2Fixture f;
  f.addSample({"s", ramp(100)});
  FixtureInstrument inst;
  inst.zones.push_back({{range(velRange, 0, 90)}}); // global velocity range
  inst.zones.push_back(Sf2Fixture::sampleZone(0, 0, 59));
  inst.zones.push_back(Sf2Fixture::sampleZone(0, 60, 127, {range(velRange, 64, 127)}));
  inst.zones.push_back(Sf2Fixture::sampleZone(0, 100, 200)); // beyond 127: held to 127
  f.addInstrument(inst);
  f.addPreset({"p", 0, 0, {Sf2Fixture::instrumentZone(0, {range(keyRange, 40, 110), range(velRange, 80, 127)})}});
  auto regions = sf2::presetRegions(read(f), 0);
  ASSERT_EQ(regions.size(), 3u);
  EXPECT_EQ(regions[0].keyLow, 40);
  EXPECT_EQ(regions[0].keyHigh, 59);
  EXPECT_EQ(regions[0].velocityLow, 80);
  EXPECT_EQ(regions[0].velocityHigh, 90);
  EXPECT_EQ(regions[1].keyLow, 60);
  EXPECT_EQ(regions[1].velocityLow, 80); // the zone's own range replaces the global one
  EXPECT_EQ(regions[1].velocityHigh, 127);
  EXPECT_EQ(regions[2].keyLow, 100);
  EXPECT_EQ(regions[2].keyHigh, 110);
  EXPECT_TRUE(regions[0].covers(50, 85));
  EXPECT_FALSE(regions[0].covers(50, 100));
}

TEST(SoundFontRegions, SpansFollowTheAddressOffsetsWithinTheSample)
{
  using namespace sf2;
  struct Case {
    const char *what;
    std::vector<Gen> gens;
    uint32_t start, end, loopStart, loopEnd;
    bool looped;
  };
  // The sample: 1000 values, loop 100..900.
  const Case cases[] = {
      {"no loop mode", {}, 0, 1000, 0, 0, false},
      {"continuous loop", {gen(sampleModes, 1)}, 0, 1000, 100, 900, true},
      {"loop until release", {gen(sampleModes, 3)}, 0, 1000, 100, 900, true},
      {"mode 2 plays once", {gen(sampleModes, 2)}, 0, 1000, 0, 0, false},
      {"fine offsets", {gen(sampleModes, 1), gen(startAddrsOffset, 10), gen(endAddrsOffset, -20), gen(startloopAddrsOffset, 5), gen(endloopAddrsOffset, -5)},
       10, 980, 105, 895, true},
      {"loop moved past the end is cut to it", {gen(sampleModes, 1), gen(endloopAddrsOffset, 500)}, 0, 1000, 100, 1000, true},
      {"loop of no length", {gen(sampleModes, 1), gen(startloopAddrsOffset, 800)}, 0, 1000, 0, 0, false},
      {"start beyond the data", {gen(startAddrsCoarseOffset, 5)}, 1046, 1046, 0, 0, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    sf2::SoundFont sf = oneRegion(c.gens, {});
    uint32_t base = sf.samples[0].start;
    SampleSpan s = regionSpan(sf, sf2::presetRegions(sf, 0)[0]);
    EXPECT_EQ(s.start - base, c.start);
    EXPECT_EQ(s.end - base, c.end);
    EXPECT_EQ(s.looped, c.looped);
    if (c.looped) {
      EXPECT_EQ(s.loopStart - base, c.loopStart);
      EXPECT_EQ(s.loopEnd - base, c.loopEnd);
    }
  }
}

} // namespace
