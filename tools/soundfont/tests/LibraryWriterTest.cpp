#include "tools/soundfont/LibraryWriter.h"

#include "banks/PatchBanks.h"
#include "banks/SampleBanks.h"
#include "banks/Wavetables.h"
#include "engine/DefaultProgram.h"
#include "engine/ParameterIndex.h"
#include "foundation/tests/podoTestFolder.h"
#include "engine/ParameterText.h"
#include "tools/soundfont/EngineText.h"
#include "tools/soundfont/GmLibrary.h"
#include "tools/soundfont/tests/Sf2FixtureRead.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

namespace {

using namespace sftest;
using namespace sfconv;
namespace local = engine::local;
namespace fs = std::filesystem;

// Program 0 with two oscillators, and a standard kit with a hi-hat.
Sf2Fixture smallSoundFont()
{
  using namespace sf2;
  Sf2Fixture f;
  f.addSample({"pad", ramp(400, 50), 100, 300});
  f.addSample({"hat", ramp(200, -20)});
  f.addInstrument({"pad", {Sf2Fixture::sampleZone(0, 0, 127, {gen(sampleModes, 1), gen(initialAttenuation, 50)}),
                           Sf2Fixture::sampleZone(1, 60, 127, {gen(fineTune, 30)})}});
  f.addInstrument({"kit", {Sf2Fixture::sampleZone(1, 42, 46, {gen(exclusiveClass, 1)}), Sf2Fixture::sampleZone(0, 36, 36)}});
  f.addPreset({"Warm Pad", 0, 0, {Sf2Fixture::instrumentZone(0)}});
  f.addPreset({"Standard", 0, 128, {Sf2Fixture::instrumentZone(1)}});
  return f;
}

// Reads every text as its leading number over 1000 (negative numbers as their size), so a test
// sees which text went where.
bool thousandths(int, bool, const std::string &text, float &value)
{
  value = std::abs(std::strtof(text.c_str(), nullptr)) / 1000.0f;
  return true;
}

struct LoadedLibrary {
  explicit LoadedLibrary(const std::string &folder)
  {
    setup.folder = (folder + "/").c_str();
    samples = banks::loadSampleBanks(setup);
    wavetables = banks::loadWavetables(setup);
    patches = banks::loadPatches(setup);
  }
  ~LoadedLibrary()
  {
    banks::freePatches(setup);
    banks::freeWavetables(setup);
    banks::freeSamples(true, setup);
  }
  // The sample a wave number plays at a key, or null.
  const SampleRecord *play(float waveValue, int key) const
  {
    WaveLocation where;
    banks::waveLocation(int(std::lround(waveValue * 16384.0)), &where);
    const KeyZone *zone = banks::findZone(where, key);
    if (!zone) return nullptr;
    const SampleRecord &s = banks::findSample(*zone);
    return s.data ? &s : nullptr;
  }
  banks::BankLoadSetup setup;
  bool samples = false, wavetables = false, patches = false;
};

TEST(LibraryWriter, WritesALibraryTheBankLoadersRead)
{
  podoTestFolder folder;
  sf2::SoundFont sf = read(smallSoundFont());
  LibraryPlan plan = planGmLibrary(sf);
  WriteSummary summary;
  std::string error;
  ASSERT_TRUE(writeLibrary(sf, plan, folder.path("app"), thousandths, "Made from a fixture\n", summary, error)) << error;
  EXPECT_EQ(summary.patches, 128 + 16 + 1);
  EXPECT_EQ(summary.defaultsKept, 0);
  EXPECT_EQ(folder.read("app/Factory Library.txt"), "Made from a fixture\n");
  EXPECT_FALSE(fs::exists(folder.path("app/.factory-library.new")));

  LoadedLibrary lib(folder.path("app"));
  ASSERT_TRUE(lib.samples && lib.wavetables && lib.patches);
  ASSERT_EQ(numPatchCategories, 3);
  // The general reset takes category indexes 0 and 1; the initial preset is category 50.
  EXPECT_EQ(patchCategories[0].number, 0);
  EXPECT_EQ(patchCategories[1].number, 1);
  EXPECT_EQ(patchCategoryIndex[50], 2);
  ASSERT_EQ(patchCategories[0].numPatches, 128);
  ASSERT_EQ(patchCategories[1].numPatches, 16);
  ASSERT_EQ(patchCategories[2].numPatches, 1);
  EXPECT_EQ(patchCategories[2].patches[0].numChannels, 16);

  const PatchRecord &pad = patchCategories[0].patches[0];
  EXPECT_STREQ(pad.name, "Warm Pad");
  ASSERT_EQ(pad.numChannels, 1);
  ASSERT_EQ(pad.numGlobalValues, 9);
  EXPECT_EQ(pad.globals[8], 0.0f); // no tempo
  EXPECT_EQ(pad.channels[0].numValues, kChannelValues);
  const float *values = pad.channels[0].values;
  auto at = [&](int id) { return values[id - kFirstLocal]; };
  EXPECT_EQ(at(local::Mode), 0.0f);
  EXPECT_EQ(at(local::On), 1.0f);
  // Two oscillators, the loudest at the library level less the default reverb.
  EXPECT_FLOAT_EQ(at(local::Volume), 9.42f / 1000.0f);
  EXPECT_EQ(at(local::SeqLength), 5.0f / 21.0f);      // untouched: the default channel's
  const SampleRecord *low = lib.play(at(local::OscWave), 40), *high = lib.play(at(local::OscWave), 80);
  ASSERT_TRUE(low && high);
  EXPECT_EQ(low->size, 300); // the pad, cut after its loop
  EXPECT_EQ(low->loopStart, 101);
  EXPECT_EQ(high->size, 200); // the hat is the louder sound from 60 up
  EXPECT_EQ(high->rate, int(std::lround(44100 * std::exp2(30 / 1200.0))));
  const SampleRecord *second = lib.play(at(local::OscWave + 1), 80);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->size, 300);

  const PatchRecord &kit = patchCategories[1].patches[0];
  EXPECT_STREQ(kit.name, "Standard");
  const float *kv = kit.channels[0].values;
  auto key = [&](int k, int base) { return kv[base + 17 * (k - 24) - kFirstLocal]; };
  EXPECT_EQ(kv[local::Mode - kFirstLocal], 1.0f);
  ASSERT_NE(lib.play(key(42, local::DrumWave), 42), nullptr);
  EXPECT_EQ(lib.play(key(42, local::DrumWave), 42)->size, 200);
  EXPECT_EQ(lib.play(key(36, local::DrumWave), 36)->size, 400); // drums play the whole sample
  EXPECT_EQ(key(44, local::DrumMuteGroup), 0.5f);
  EXPECT_EQ(key(40, local::DrumWave), 0.0f);
  EXPECT_EQ(key(40, local::DrumVolume), 0.7071068f); // a key without a sound keeps its default
}

TEST(LibraryWriter, ChannelValuesStartFromTheDefaultsAndTakeWhatTheEngineReads)
{
  auto defaults = std::make_unique<ProgramBlock>();
  engine::fillDefaultProgram(*defaults);
  PlannedChannel c;
  c.settings.push_back({Setting::Kind::value, local::OscWave, 0.25f, {}, {}});
  c.settings.push_back({Setting::Kind::text, local::Volume, 0.0f, "-3.50", {}});
  c.settings.push_back({Setting::Kind::cutoffSpan, local::FilterEnvAmount, 0.0f, "440.0", "1760.0"});
  c.settings.push_back({Setting::Kind::value, local::OscMix, 7.0f, {}, {}}); // held to 1

  // The engine reads a cutoff as log2(Hz) / 16 and a centred amount as 0.5 + c / 200.
  std::vector<std::pair<int, std::string>> asked;
  TextReader reader = [&](int id, bool drum, const std::string &text, float &v) {
    EXPECT_FALSE(drum);
    asked.push_back({id, text});
    if (id == local::FilterCutoff) return v = float(std::log2(std::strtod(text.c_str(), nullptr)) / 16.0), true;
    if (id == local::FilterEnvAmount) return v = float(0.5 + std::strtod(text.c_str(), nullptr) / 200.0), true;
    return false;
  };
  float values[kChannelValues];
  int kept = 0;
  channelValues(c, reader, values, kept);
  EXPECT_EQ(kept, 1); // the volume's text was not read
  EXPECT_EQ(values[local::OscWave - kFirstLocal], 0.25f);
  EXPECT_EQ(values[local::OscMix - kFirstLocal], 1.0f);
  EXPECT_EQ(values[local::Volume - kFirstLocal], 0.7071068f);
  // Two octaves on that scale are 0.125: the amount's text is 12.5.
  EXPECT_NEAR(values[local::FilterEnvAmount - kFirstLocal], 0.5625f, 1e-6);
  EXPECT_EQ(asked.back(), (std::pair<int, std::string>{local::FilterEnvAmount, "12.5"}));
  for (int id = kFirstLocal; id < kFirstLocal + kChannelValues; ++id) {
    bool planned = id == local::OscWave || id == local::OscMix || id == local::FilterEnvAmount;
    EXPECT_TRUE(planned || values[id - kFirstLocal] == defaults->values[id]) << id;
  }

  // A drum kit starts from the default drum channel.
  PlannedChannel kit;
  kit.drum = true;
  channelValues(kit, nullptr, values, kept);
  EXPECT_EQ(values[local::Mode - kFirstLocal], 1.0f);
  EXPECT_EQ(values[local::DrumAmpEnvVelocityAmount - kFirstLocal], 0.95f);
}

// The small General MIDI SoundFont the checks use: every program sounds at middle C on its
// first oscillator, every percussion key of the standard kit has its sound.
TEST(LibraryWriter, TheSmallGeneralMidiSoundFontGivesAFullLibrary)
{
  sf2::SoundFont sf;
  std::string error;
  if (!fs::exists(QUORIX_TEST_SOUNDFONT)) GTEST_SKIP() << QUORIX_TEST_SOUNDFONT << " is not installed";
  ASSERT_TRUE(sf2::loadSoundFont(QUORIX_TEST_SOUNDFONT, sf, error)) << error;
  podoTestFolder folder;
  LibraryPlan plan = planGmLibrary(sf);
  WriteSummary summary;
  ASSERT_TRUE(writeLibrary(sf, plan, folder.path("app"), thousandths, "", summary, error)) << error;
  EXPECT_TRUE(plan.notes.empty()) << plan.notes.front();

  LoadedLibrary lib(folder.path("app"));
  ASSERT_TRUE(lib.samples && lib.wavetables && lib.patches);
  for (int p = 0; p < 128; ++p) {
    const ChannelProgram &c = patchCategories[0].patches[p].channels[0];
    EXPECT_NE(lib.play(c.values[local::OscWave - kFirstLocal], 60), nullptr) << "program " << p;
    EXPECT_GT(std::strlen(patchCategories[0].patches[p].name), 0u);
  }
  const ChannelProgram &standard = patchCategories[1].patches[0].channels[0];
  for (int key = 35; key <= 81; ++key)
    EXPECT_NE(lib.play(standard.values[local::DrumWave + 17 * (key - 24) - kFirstLocal], key), nullptr) << "key " << key;
}

// Every text the library writes is one the engine reads, and the engine shows the value it
// read as that text again (a time, rate or cutoff beyond its range as the nearest it has).
TEST(LibraryWriter, TheEngineReadsEveryTextTheLibraryWrites)
{
  sf2::SoundFont sf;
  std::string error;
  if (fs::exists(QUORIX_TEST_SOUNDFONT))
    ASSERT_TRUE(sf2::loadSoundFont(QUORIX_TEST_SOUNDFONT, sf, error)) << error;
  else
    sf = read(smallSoundFont());
  LibraryPlan plan = planGmLibrary(sf);
  int texts = 0;
  for (const auto &category : plan.patchCategories)
    for (const auto &patch : category.patches)
      for (const PlannedChannel &c : patch.channels)
        for (const Setting &s : c.settings) {
          if (s.kind == Setting::Kind::value) continue;
          for (const std::string &text : {s.text, s.target}) {
            if (text.empty()) continue;
            int id = s.kind == Setting::Kind::cutoffSpan ? local::FilterCutoff : s.local;
            float v = 0;
            ASSERT_TRUE(engineValueFromText(id, c.drum, text, v)) << c.name << " " << id << " '" << text << "'";
            char shown[engine::kParameterTextSize] = {};
            engine::parameterDisplayText(engine::parameterIndex(0, id), v, c.drum ? 1 : 0, false, shown);
            double a = std::strtod(text.c_str(), nullptr), b = std::strtod(shown, nullptr);
            bool same = text == shown || std::abs(a - b) <= 0.0015 * std::max(1.0, std::abs(a));
            for (double end : {0.01, 10.0, 20.0, 30.0, 20000.0}) // beyond the engine's ranges
              same = same || (b == end && (a < end) == (end < 1.0));
            EXPECT_TRUE(same) << c.name << " " << id << " '" << text << "' shows '" << shown << "'";
            ++texts;
          }
        }
  EXPECT_GT(texts, 1000);
}

// The program: a SoundFont that does not read leaves the folder as it was; one that reads
// replaces the old library and nothing else.
TEST(LibraryWriter, ConverterReplacesTheLibraryOnlyWhenTheSoundFontReads)
{
  podoTestFolder folder;
  auto bytes = smallSoundFont().bytes();
  folder.write("good.sf2", std::string(bytes.begin(), bytes.end()));
  bytes[chunkOffset(bytes, "pgen") + 4] ^= 0x40; // a table size that runs past its list
  folder.write("bad.sf2", std::string(bytes.begin(), bytes.end()));
  fs::create_directories(folder.path("app"));
  folder.write("app/007 Old.wvt", "old");
  folder.write("app/Quorix.so", "plug-in");

  auto run = [&](const std::string &sf2) {
    std::string command = std::string(QUORIX_SF2) + " " + folder.path(sf2) + " " + folder.path("app") + " > " +
                          folder.path("out.txt") + " 2>&1";
    return std::system(command.c_str());
  };
  auto names = [&] {
    std::set<std::string> all;
    for (const auto &e : fs::directory_iterator(folder.path("app"))) all.insert(e.path().filename().string());
    return all;
  };

  EXPECT_NE(run("bad.sf2"), 0);
  EXPECT_NE(folder.read("out.txt").find("bad.sf2: chunk"), std::string::npos) << folder.read("out.txt");
  EXPECT_EQ(names(), (std::set<std::string>{"007 Old.wvt", "Quorix.so"}));

  EXPECT_EQ(run("good.sf2"), 0) << folder.read("out.txt");
  std::set<std::string> now = names();
  EXPECT_FALSE(now.count("007 Old.wvt"));
  EXPECT_TRUE(now.count("Quorix.so"));
  EXPECT_TRUE(now.count("000 GM Samples.smp"));
  EXPECT_TRUE(now.count("000 General MIDI.pth"));
  EXPECT_TRUE(now.count("001 GM Drum Kits.pth"));
  EXPECT_TRUE(now.count("050 GM Setup.pth"));
  EXPECT_TRUE(now.count("016 Drums.wvt"));
  EXPECT_TRUE(now.count("Factory Library.txt"));
}

} // namespace
