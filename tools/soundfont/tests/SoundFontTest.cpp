#include "tools/soundfont/SoundFont.h"

#include "tools/soundfont/tests/Sf2Fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace sftest;

// A piano preset with a global zone over an instrument of two zones (the first a global zone).
Sf2Fixture pianoFixture()
{
  Sf2Fixture f;
  f.title = "Odd";
  FixtureSample a{"low", ramp(100), 10, 90, 22050, 48, -5};
  FixtureSample b{"high", ramp(50, -3), 0, 0, 44100, 72, 0};
  f.addSample(a);
  f.addSample(b);
  FixtureInstrument inst{"Grand", {}};
  inst.zones.push_back({{gen(sf2::initialAttenuation, 30)}}); // global: no sampleID
  inst.zones.push_back(Sf2Fixture::sampleZone(0, 0, 59, {gen(sf2::fineTune, -7)}));
  FixtureZone high = Sf2Fixture::sampleZone(1, 60, 127);
  high.gens.push_back(gen(sf2::pan, 400)); // after the terminal generator: ignored
  inst.zones.push_back(high);
  inst.zones.push_back({{gen(sf2::coarseTune, 3)}}); // no sampleID and not first: ignored
  f.addInstrument(inst);
  FixturePreset p{"Piano", 0, 0, {}};
  p.zones.push_back({{gen(sf2::reverbEffectsSend, 200), gen(99, 5)}}); // global; 99 is no generator
  p.zones.push_back(Sf2Fixture::instrumentZone(0, {range(sf2::keyRange, 21, 108)}));
  f.addPreset(p);
  f.addPreset({"Kit", 0, 128, {Sf2Fixture::instrumentZone(0)}});
  return f;
}

TEST(SoundFontReader, ReadsPresetsInstrumentsSamplesAndTheirZones)
{
  auto bytes = pianoFixture().bytes();
  sf2::SoundFont sf;
  std::string error;
  ASSERT_TRUE(sf2::readSoundFont(bytes.data(), bytes.size(), sf, error)) << error;

  EXPECT_EQ(sf.info.name, "Odd");
  EXPECT_EQ(sf.info.copyright, "Public Domain");
  EXPECT_EQ(sf.info.versionMajor, 2);

  ASSERT_EQ(sf.samples.size(), 2u);
  const sf2::SampleHeader &low = sf.samples[0], &high = sf.samples[1];
  EXPECT_EQ(low.name, "low");
  EXPECT_EQ(low.end - low.start, 100u);
  EXPECT_EQ(low.loopStart - low.start, 10u);
  EXPECT_EQ(low.loopEnd - low.start, 90u);
  EXPECT_EQ(low.sampleRate, 22050u);
  EXPECT_EQ(low.originalPitch, 48);
  EXPECT_EQ(low.pitchCorrection, -5);
  EXPECT_EQ(high.start, low.end + 46);
  EXPECT_EQ(sf.sampleData[high.start + 2], -6);
  EXPECT_EQ(sf.sampleData[low.start + 99], 9900);

  ASSERT_EQ(sf.instruments.size(), 1u);
  const sf2::Instrument &inst = sf.instruments[0];
  EXPECT_TRUE(inst.global.has(sf2::initialAttenuation));
  ASSERT_EQ(inst.zones.size(), 2u);
  EXPECT_EQ(inst.zones[0].target, 0);
  EXPECT_EQ(inst.zones[0].generators.value(sf2::fineTune), -7);
  EXPECT_EQ(inst.zones[1].generators.low(sf2::keyRange), 60);
  EXPECT_EQ(inst.zones[1].generators.high(sf2::keyRange), 127);
  EXPECT_FALSE(inst.zones[1].generators.has(sf2::pan));

  ASSERT_EQ(sf.presets.size(), 2u);
  EXPECT_EQ(sf.presets[0].name, "Piano");
  EXPECT_EQ(sf.presets[0].global.value(sf2::reverbEffectsSend), 200);
  ASSERT_EQ(sf.presets[0].zones.size(), 1u);
  EXPECT_EQ(sf.presets[0].zones[0].target, 0);
  EXPECT_EQ(sf.presets[1].bank, 128);
}

// Some writers leave out the pad byte after a chunk of odd size; the reader takes both forms.
TEST(SoundFontReader, TakesOddChunksWithAndWithoutTheirPadByte)
{
  for (bool pad : {true, false}) {
    SCOPED_TRACE(pad ? "padded" : "pad left out");
    Sf2Fixture f = pianoFixture();
    f.padOddChunks = pad; // "Odd" and its terminator make a 4-byte name; the copyright is odd
    f.copyright = "PD";
    auto bytes = f.bytes();
    sf2::SoundFont sf;
    std::string error;
    ASSERT_TRUE(sf2::readSoundFont(bytes.data(), bytes.size(), sf, error)) << error;
    EXPECT_EQ(sf.info.copyright, "PD");
    EXPECT_EQ(sf.presets.size(), 2u);
    EXPECT_EQ(sf.samples.size(), 2u);
  }
}

struct Damage {
  const char *what;
  std::function<void(std::vector<uint8_t> &)> apply;
  const char *message; // a part of the error text
  const char *strayBytesIn = "";
};

TEST(SoundFontReader, RefusesDamagedFilesWithAClearMessage)
{
  const Damage cases[] = {
      {"not a RIFF file", [](auto &b) { b[0] = 'X'; }, "no RIFF 'sfbk' header"},
      {"another RIFF form", [](auto &b) { b[8] = 'W'; }, "no RIFF 'sfbk' header"},
      {"cut short", [](auto &b) { b.erase(b.end() - 30, b.end()); }, "runs past the end"},
      {"no shdr", [](auto &b) { std::memcpy(b.data() + chunkOffset(b, "shdr"), "xhdr", 4); }, "no 'shdr' chunk"},
      {"phdr not whole records", [](auto &) {}, "'phdr' holds 116 bytes", "phdr"},
      {"shdr not whole records", [](auto &) {}, "'shdr' holds 140 bytes", "shdr"},
      {"zone list runs backwards", [](auto &b) { putLe16(b, chunkOffset(b, "phdr") + 8 + 2 * 38 + 24, 1); }, "runs backwards"},
      {"bags beyond the generators", [](auto &b) { putLe16(b, chunkOffset(b, "pbag") + 8 + 4 * 3, 60); }, "generators up to"},
      {"instrument index out of range",
       [](auto &b) {
         size_t at = chunkOffset(b, "pgen") + 8;
         for (size_t g = at;; g += 4)
           if (b[g] == sf2::instrument && b[g + 1] == 0) return putLe16(b, g + 2, 7);
       },
       "names instrument 7 of 1"},
      {"sample index out of range",
       [](auto &b) {
         size_t at = chunkOffset(b, "igen") + 8;
         for (size_t g = at;; g += 4)
           if (b[g] == sf2::sampleID && b[g + 1] == 0) return putLe16(b, g + 2, 2);
       },
       "names sample 2 of 2"},
      {"sample beyond the data", [](auto &b) { putLe32(b, chunkOffset(b, "shdr") + 8 + 24, 100000); }, "outside the"},
      {"compressed samples", [](auto &b) { putLe16(b, chunkOffset(b, "ifil") + 8, 3); }, "version 3"},
  };
  for (const Damage &d : cases) {
    SCOPED_TRACE(d.what);
    Sf2Fixture f = pianoFixture();
    f.strayBytesIn = d.strayBytesIn;
    auto bytes = f.bytes();
    d.apply(bytes);
    sf2::SoundFont sf;
    sf.presets.resize(3); // must come back empty
    std::string error;
    EXPECT_FALSE(sf2::readSoundFont(bytes.data(), bytes.size(), sf, error));
    EXPECT_NE(error.find(d.message), std::string::npos) << error;
    EXPECT_TRUE(sf.presets.empty() && sf.samples.empty() && sf.sampleData.empty());
  }
}

// Every prefix of a valid file is refused or read without reading past its end (the sanitized
// build checks the reads).
TEST(SoundFontReader, EveryTruncationFailsCleanly)
{
  auto bytes = pianoFixture().bytes();
  for (size_t n = 0; n < bytes.size(); ++n) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);
    sf2::SoundFont sf;
    std::string error;
    if (!sf2::readSoundFont(cut.data(), cut.size(), sf, error)) {
      EXPECT_FALSE(error.empty()) << n;
    }
  }
}

} // namespace
