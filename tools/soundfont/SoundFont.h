// A SoundFont 2 file read into memory: its texts, its 16-bit sample data and the preset,
// instrument and sample records with their zones and generators. The reader walks the RIFF
// layout from (pointer, size), checks every size and every index before it is used, and fails
// with a clear message on a malformed file. Modulators are checked for their layout and not kept.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sf2 {

// Generator operators, numbered as the file format numbers them.
enum Generator : uint16_t {
  startAddrsOffset = 0,
  endAddrsOffset = 1,
  startloopAddrsOffset = 2,
  endloopAddrsOffset = 3,
  startAddrsCoarseOffset = 4,
  modLfoToPitch = 5,
  vibLfoToPitch = 6,
  modEnvToPitch = 7,
  initialFilterFc = 8,
  initialFilterQ = 9,
  modLfoToFilterFc = 10,
  modEnvToFilterFc = 11,
  endAddrsCoarseOffset = 12,
  modLfoToVolume = 13,
  chorusEffectsSend = 15,
  reverbEffectsSend = 16,
  pan = 17,
  delayModLFO = 21,
  freqModLFO = 22,
  delayVibLFO = 23,
  freqVibLFO = 24,
  delayModEnv = 25,
  attackModEnv = 26,
  holdModEnv = 27,
  decayModEnv = 28,
  sustainModEnv = 29,
  releaseModEnv = 30,
  keynumToModEnvHold = 31,
  keynumToModEnvDecay = 32,
  delayVolEnv = 33,
  attackVolEnv = 34,
  holdVolEnv = 35,
  decayVolEnv = 36,
  sustainVolEnv = 37,
  releaseVolEnv = 38,
  keynumToVolEnvHold = 39,
  keynumToVolEnvDecay = 40,
  instrument = 41,
  keyRange = 43,
  velRange = 44,
  startloopAddrsCoarseOffset = 45,
  keynum = 46,
  velocity = 47,
  initialAttenuation = 48,
  endloopAddrsCoarseOffset = 50,
  coarseTune = 51,
  fineTune = 52,
  sampleID = 53,
  sampleModes = 54,
  scaleTuning = 56,
  exclusiveClass = 57,
  overridingRootKey = 58,
  generatorCount = 61,
};

// The generators a zone sets, as the file holds them (no defaults, no clamping).
struct GeneratorSet {
  std::array<uint16_t, generatorCount> amount{};
  uint64_t present = 0;

  bool has(int g) const { return (present >> g) & 1u; }
  int16_t value(int g) const { return static_cast<int16_t>(amount[g]); }
  uint16_t word(int g) const { return amount[g]; }
  int low(int g) const { return amount[g] & 0xFF; }   // ranges: lowest key or velocity
  int high(int g) const { return amount[g] >> 8; }    // ranges: highest
  void set(int g, uint16_t a)
  {
    amount[g] = a;
    present |= uint64_t(1) << g;
  }
};

// A zone of a preset (target: an instrument) or of an instrument (target: a sample).
struct Zone {
  GeneratorSet generators;
  int target = -1; // index into instruments or samples
};

struct Instrument {
  std::string name;
  GeneratorSet global;
  std::vector<Zone> zones;
};

struct Preset {
  std::string name;
  int program = 0;
  int bank = 0;
  GeneratorSet global;
  std::vector<Zone> zones;
};

// Sample types of the file format; bit 15 marks a sample held in a sound ROM.
enum SampleType : uint16_t { monoSample = 1, rightSample = 2, leftSample = 4, linkedSample = 8, romSample = 0x8000 };

struct SampleHeader {
  std::string name;
  uint32_t start = 0; // positions in sampleData
  uint32_t end = 0;   // one past the last sample
  uint32_t loopStart = 0;
  uint32_t loopEnd = 0; // the first position after the loop
  uint32_t sampleRate = 0;
  int originalPitch = 60;
  int pitchCorrection = 0; // cents
  int sampleLink = 0;      // the other half of a stereo pair
  uint16_t sampleType = monoSample;

  bool inRom() const { return (sampleType & romSample) != 0; }
};

struct InfoTexts {
  int versionMajor = 0;
  int versionMinor = 0;
  std::string name;      // INAM
  std::string engine;    // isng
  std::string copyright; // ICOP
  std::string comment;   // ICMT
  std::string engineers; // IENG
  std::string product;   // IPRD
  std::string date;      // ICRD
  std::string software;  // ISFT
};

struct SoundFont {
  InfoTexts info;
  std::vector<int16_t> sampleData;
  std::vector<SampleHeader> samples;
  std::vector<Instrument> instruments;
  std::vector<Preset> presets;
};

// Whole files above this size are refused before they are read.
inline constexpr uint64_t kMaxFileSize = uint64_t(2) << 30;

// Reads a whole file image. False, with a message in error and out left empty, when the
// image is not a well-formed SoundFont 2 file.
bool readSoundFont(const uint8_t *data, size_t size, SoundFont &out, std::string &error);

// Loads the file at path and reads it; the message names the file.
bool loadSoundFont(const std::string &path, SoundFont &out, std::string &error);

} // namespace sf2
