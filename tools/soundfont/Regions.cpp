#include "tools/soundfont/Regions.h"

#include <algorithm>
#include <cmath>

namespace sf2 {
namespace {

bool isAddressOffset(int g)
{
  switch (g) {
  case startAddrsOffset:
  case endAddrsOffset:
  case startloopAddrsOffset:
  case endloopAddrsOffset:
  case startAddrsCoarseOffset:
  case endAddrsCoarseOffset:
  case startloopAddrsCoarseOffset:
  case endloopAddrsCoarseOffset:
    return true;
  default:
    return false;
  }
}

// Generators a preset zone may not offset: they describe the sample or the key itself.
bool instrumentOnly(int g)
{
  return isAddressOffset(g) || g == keynum || g == velocity || g == sampleModes || g == exclusiveClass ||
         g == overridingRootKey || g == sampleID || g == instrument || g == keyRange || g == velRange;
}

// -1 means "not set" for these; any value outside the key range reads as not set.
bool keyOrNone(int g) { return g == keynum || g == velocity || g == overridingRootKey; }

struct Range {
  int low = 0, high = 127;
  void meet(const GeneratorSet &set, int g)
  {
    if (!set.has(g)) return;
    low = std::max(low, std::min(set.low(g), 127));
    high = std::min(high, std::min(set.high(g), 127));
  }
};

} // namespace

GeneratorLimits generatorLimits(int g)
{
  switch (g) {
  case modLfoToPitch:
  case vibLfoToPitch:
  case modEnvToPitch:
  case modLfoToFilterFc:
  case modEnvToFilterFc: return {0, -12000, 12000};
  case initialFilterFc: return {13500, 1500, 13500};
  case initialFilterQ: return {0, 0, 960};
  case modLfoToVolume: return {0, -960, 960};
  case chorusEffectsSend:
  case reverbEffectsSend: return {0, 0, 1000};
  case pan: return {0, -500, 500};
  case delayModLFO:
  case delayVibLFO:
  case delayModEnv:
  case holdModEnv:
  case delayVolEnv:
  case holdVolEnv: return {-12000, -12000, 5000};
  case freqModLFO:
  case freqVibLFO: return {0, -16000, 4500};
  case attackModEnv:
  case decayModEnv:
  case releaseModEnv:
  case attackVolEnv:
  case decayVolEnv:
  case releaseVolEnv: return {-12000, -12000, 8000};
  case sustainModEnv: return {0, 0, 1000};
  case sustainVolEnv: return {0, 0, 1440};
  case keynumToModEnvHold:
  case keynumToModEnvDecay:
  case keynumToVolEnvHold:
  case keynumToVolEnvDecay: return {0, -1200, 1200};
  case keynum:
  case velocity:
  case overridingRootKey: return {-1, 0, 127};
  case initialAttenuation: return {0, 0, 1440};
  case coarseTune: return {0, -120, 120};
  case fineTune: return {0, -99, 99};
  case sampleModes: return {0, 0, 3};
  case scaleTuning: return {100, 0, 1200};
  case exclusiveClass: return {0, 0, 127};
  default: return {0, 0, 0};
  }
}

int clampGenerator(int g, int value)
{
  if (g < 0 || g >= generatorCount || isAddressOffset(g)) return value;
  GeneratorLimits limits = generatorLimits(g);
  if (keyOrNone(g)) return value < limits.minimum || value > limits.maximum ? -1 : value;
  return std::clamp(value, limits.minimum, limits.maximum);
}

std::vector<Region> presetRegions(const SoundFont &sf, int presetIndex)
{
  std::vector<Region> regions;
  if (presetIndex < 0 || size_t(presetIndex) >= sf.presets.size()) return regions;
  const Preset &preset = sf.presets[presetIndex];
  for (const Zone &pz : preset.zones) {
    if (pz.target < 0 || size_t(pz.target) >= sf.instruments.size()) continue;
    const Instrument &inst = sf.instruments[pz.target];
    Range presetKeys, presetVelocities;
    presetKeys.meet(preset.global, keyRange);
    presetKeys.meet(pz.generators, keyRange);
    presetVelocities.meet(preset.global, velRange);
    presetVelocities.meet(pz.generators, velRange);
    for (const Zone &iz : inst.zones) {
      if (iz.target < 0 || size_t(iz.target) >= sf.samples.size()) continue;
      Range keys = presetKeys, velocities = presetVelocities;
      // A zone's own range replaces the global one; the preset's range is met with it.
      const GeneratorSet &keySource = iz.generators.has(keyRange) ? iz.generators : inst.global;
      const GeneratorSet &velSource = iz.generators.has(velRange) ? iz.generators : inst.global;
      keys.meet(keySource, keyRange);
      velocities.meet(velSource, velRange);
      if (keys.low > keys.high || velocities.low > velocities.high) continue;

      Region r;
      r.preset = presetIndex;
      r.instrument = pz.target;
      r.sample = iz.target;
      r.keyLow = keys.low;
      r.keyHigh = keys.high;
      r.velocityLow = velocities.low;
      r.velocityHigh = velocities.high;
      for (int g = 0; g < generatorCount; ++g) {
        if (g == keyRange || g == velRange || g == instrument || g == sampleID) continue;
        int value = generatorLimits(g).defaultValue;
        if (iz.generators.has(g))
          value = iz.generators.value(g);
        else if (inst.global.has(g))
          value = inst.global.value(g);
        if (!instrumentOnly(g)) {
          if (pz.generators.has(g))
            value += pz.generators.value(g);
          else if (preset.global.has(g))
            value += preset.global.value(g);
        }
        r.value[g] = clampGenerator(g, value);
      }
      regions.push_back(r);
    }
  }
  return regions;
}

SampleSpan regionSpan(const SoundFont &sf, const Region &region)
{
  SampleSpan span;
  if (region.sample < 0 || size_t(region.sample) >= sf.samples.size()) return span;
  const SampleHeader &s = sf.samples[region.sample];
  const int64_t limit = int64_t(sf.sampleData.size());
  auto at = [&](uint32_t base, int fine, int coarse) {
    return std::clamp<int64_t>(int64_t(base) + fine + int64_t(coarse) * 32768, 0, limit);
  };
  const auto &v = region.value;
  int64_t start = at(s.start, v[startAddrsOffset], v[startAddrsCoarseOffset]);
  int64_t end = at(s.end, v[endAddrsOffset], v[endAddrsCoarseOffset]);
  if (s.inRom() || end < start) end = start;
  int64_t loopStart = at(s.loopStart, v[startloopAddrsOffset], v[startloopAddrsCoarseOffset]);
  int64_t loopEnd = at(s.loopEnd, v[endloopAddrsOffset], v[endloopAddrsCoarseOffset]);
  loopStart = std::clamp(loopStart, start, end);
  loopEnd = std::clamp(loopEnd, start, end);
  span.start = uint32_t(start);
  span.end = uint32_t(end);
  int mode = v[sampleModes];
  if ((mode == 1 || mode == 3) && loopEnd > loopStart) {
    span.looped = true;
    span.loopStart = uint32_t(loopStart);
    span.loopEnd = uint32_t(loopEnd);
  }
  return span;
}

double timecentsToSeconds(int timecents) { return std::exp2(timecents / 1200.0); }

} // namespace sf2
