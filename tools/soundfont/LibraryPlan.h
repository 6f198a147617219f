// What the converter will write, before a byte is written: the samples (as recipes over the
// SoundFont's data), the wavetable categories with their key zones, and the patch categories
// with, for each stored channel, the parameters that differ from the default channel. Physical
// values stay text in the engine's display formats until the writer converts them.
#pragma once

#include "tools/soundfont/Regions.h"
#include "tools/soundfont/SoundFont.h"

#include <compare>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sfconv {

inline constexpr int kSamplesPerBank = 1024;
inline constexpr int kWavetablesPerCategory = 128;
inline constexpr int kZonesPerWavetable = 16;
inline constexpr int kWaveCategories = 128; // category numbers a wave number reaches
inline constexpr int kChannelValues = 1789; // local ids 17..1,805
inline constexpr int kFirstLocal = 17;
inline constexpr int kFirstDrumKey = 24;    // MIDI key of drum key 0
inline constexpr int kDrumKeys = 65;
inline constexpr int kDrumKeyValues = 17;

// One stored sample: a stretch of the SoundFont's data (mixed with the other half of a
// stereo pair), cut after its loop, at a rate that carries the zone's fine tuning, with a
// level cut baked into the values. A fade carries a zone's own faster fall where the channel's
// one envelope cannot: a looped take is played out through the fade and then loops at the
// fade's last level, or ends when that is silence.
struct Take {
  int sample = -1;  // -1: the one-value silent sample that fills a layer's gaps
  int partner = -1; // the stereo half mixed in, or -1
  bool partnerInverted = false; // mixed in upside down: halves recorded out of phase
  uint32_t start = 0, end = 0;
  uint32_t partnerStart = 0, partnerEnd = 0;
  uint32_t loopStart = 0, loopEnd = 0;
  bool looped = false;
  int32_t rate = 44100;
  int cutCentibels = 0;
  uint32_t fadeStep = 0;          // values between the fade's points
  std::vector<int> fadeCentibels; // the extra fall at values 0, fadeStep, 2 fadeStep, ...

  auto operator<=>(const Take &) const = default;
  bool operator==(const Take &) const = default;
};

// The values of a take as they are stored: data[0..n), and loopStart counting from 1 (0 one-shot).
inline constexpr int kFadeSilentCentibels = 800; // a fade this deep ends the take

struct TakeData {
  std::vector<int16_t> values;
  int32_t rate = 44100;
  int32_t loopStart = 0;
};
TakeData renderTake(const sf2::SoundFont &sf, const Take &take);

struct PlannedZone {
  int take = 0; // index into LibraryPlan::takes
  int rootKey = 60;
  int upperKey = 127;
};

struct PlannedWavetable {
  std::string name;
  bool keyFollow = true;
  std::vector<PlannedZone> zones;
};

struct PlannedWavetableCategory {
  int number = 0;
  std::string name;
  bool drum = false;
  std::vector<PlannedWavetable> wavetables;
};

// One parameter of a stored channel, by local id.
struct Setting {
  enum class Kind {
    value,      // a normalised value written as it is (parameters that take no text)
    text,       // a display text, converted by the engine
    cutoffSpan, // the normalised distance between two cutoff texts, as a centred amount
  };
  Kind kind = Kind::value;
  int local = 0;
  float value = 0.0f;
  std::string text;   // text; cutoffSpan: the base cutoff
  std::string target; // cutoffSpan: the moved cutoff
};

struct PlannedChannel {
  std::string name;
  bool drum = false;
  std::vector<Setting> settings;

  const Setting *find(int local) const;
};

struct PlannedPatch {
  std::string name;
  std::vector<PlannedChannel> channels;
};

struct PlannedPatchCategory {
  int number = 0;
  std::string name;
  std::vector<PlannedPatch> patches;
};

struct LibraryPlan {
  std::vector<Take> takes; // take k lives in sample bank k / kSamplesPerBank at index k % kSamplesPerBank
  std::vector<PlannedWavetableCategory> wavetableCategories;
  std::vector<PlannedPatchCategory> patchCategories;
  std::vector<std::string> notes; // what the SoundFont lacked and what was used instead

  // The take's index, adding it when it is new.
  int addTake(const Take &take);
  int sampleBankCount() const { return int((takes.size() + kSamplesPerBank - 1) / kSamplesPerBank); }

private:
  std::map<Take, int> takeIndex;
};

// The wave number a parameter carries for a wavetable: category number x 128 + position + 1.
inline int waveNumber(int categoryNumber, int position) { return categoryNumber * kWavetablesPerCategory + position + 1; }

} // namespace sfconv
