// What a SoundFont preset plays: each pair of a preset zone and an instrument zone becomes a
// region with its key and velocity ranges and the generator values a voice of it would use
// (instrument value, else the instrument's global value, else the default; plus the preset's
// offset), every value held to the range the file format allows.
#pragma once

#include "tools/soundfont/SoundFont.h"

#include <array>
#include <vector>

namespace sf2 {

struct GeneratorLimits {
  int defaultValue;
  int minimum;
  int maximum;
};

// Default and allowed range of a generator; ranges and unused numbers give {0, 0, 0}.
GeneratorLimits generatorLimits(int generator);

// A value held to its generator's range.
int clampGenerator(int generator, int value);

struct Region {
  int preset = -1;     // index into SoundFont::presets
  int instrument = -1; // index into SoundFont::instruments
  int sample = -1;     // index into SoundFont::samples
  int keyLow = 0, keyHigh = 127;
  int velocityLow = 0, velocityHigh = 127;
  std::array<int, generatorCount> value{}; // effective and clamped; address offsets unclamped

  bool covers(int key, int vel) const { return key >= keyLow && key <= keyHigh && vel >= velocityLow && vel <= velocityHigh; }
};

// Every region of a preset, in zone order (preset zones, then their instrument's zones).
// Regions whose ranges do not meet are left out.
std::vector<Region> presetRegions(const SoundFont &sf, int presetIndex);

// Where a region reads its sample: positions in SoundFont::sampleData after the address
// offsets, held within the data, with start <= end. A loop that does not lie within
// start..end with at least one value in it is no loop.
struct SampleSpan {
  uint32_t start = 0;
  uint32_t end = 0;
  uint32_t loopStart = 0;
  uint32_t loopEnd = 0;
  bool looped = false; // the region's sample mode loops and the loop is usable
};

SampleSpan regionSpan(const SoundFont &sf, const Region &region);

// Times given in timecents as seconds.
double timecentsToSeconds(int timecents);

} // namespace sf2
