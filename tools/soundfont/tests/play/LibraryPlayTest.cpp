// The factory library as a musician hears it: converted from a SoundFont, loaded by the plug-in
// in our host, and played note by note through the host's own calls.
#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"
#include "host/KestraneVST.h"
#include "host/tests/TestHome.h"
#include "tools/soundfont/EngineText.h"
#include "tools/soundfont/GmLibrary.h"
#include "tools/soundfont/LibraryWriter.h"
#include "tools/soundfont/tests/Sf2Fixture.h"
#include "tools/tests/TestSupport.h"
#include "tools/vsthost/MidiFile.h"
#include "tools/vsthost/VstPlugin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace local = engine::local;
using namespace sftest;

constexpr int32_t kBlock = 256;

// Converts a SoundFont into a library folder of the test's home and points the plug-in at it.
void makeLibrary(const sf2::SoundFont &sf)
{
  const std::string folder = qtest::testHome() + "/library/";
  sfconv::LibraryPlan plan = sfconv::planGmLibrary(sf);
  sfconv::WriteSummary summary;
  std::string error;
  ASSERT_TRUE(sfconv::writeLibrary(sf, plan, folder, sfconv::engineValueFromText, "", summary, error)) << error;
  ASSERT_EQ(summary.defaultsKept, 0);
  KestraneVST registry;
  ASSERT_TRUE(registry.writeMachineRegistryString(podoStr("Path"), podoStr(folder.c_str())));
}

void makeLibrary(const Sf2Fixture &fixture)
{
  std::vector<uint8_t> bytes = fixture.bytes();
  sf2::SoundFont sf;
  std::string error;
  ASSERT_TRUE(sf2::readSoundFont(bytes.data(), bytes.size(), sf, error)) << error;
  makeLibrary(sf);
}

// One instance, resumed at a rate; MIDI messages sent reach it at the start of the next block.
class Instrument
{
public:
  explicit Instrument(double rate) : rate(rate)
  {
    loaded = plugin.load(QUORIX_PLUGIN);
    if (!loaded) return;
    plugin.setSampleRate(rate);
    plugin.setBlockSize(kBlock);
    plugin.dispatch(effMainsChanged, 0, 1);
  }
  ~Instrument()
  {
    if (loaded) plugin.dispatch(effMainsChanged, 0, 0);
  }

  void send(int status, int data1, int data2 = 0)
  {
    pending.push_back(VstMidiEvent{kVstMidiType, sizeof(VstMidiEvent), 0, 0, 0, 0,
                                   {char(status), char(data1), char(data2), 0}, 0, 0, 0, 0});
  }

  // A System Exclusive message, sent before the MIDI messages of the same block.
  void sendSysex(const std::vector<uint8_t> &bytes)
  {
    dump.assign(bytes.begin(), bytes.end());
    sysex = VstMidiSysexEvent{};
    sysex.type = kVstSysExType;
    sysex.byteSize = sizeof sysex;
    sysex.dumpBytes = int32_t(dump.size());
    sysex.sysexDump = dump.data();
    sysexPending = true;
  }

  // The mono sum of the main pair over `seconds`; the side signal (half the difference) too
  // when asked for.
  std::vector<float> play(double seconds, std::vector<float> *side = nullptr)
  {
    std::vector<float> out(size_t(seconds * rate));
    if (side) side->assign(out.size(), 0.0f);
    std::vector<float> left(kBlock), right(kBlock), subLeft(kBlock), subRight(kBlock);
    for (size_t done = 0; done < out.size(); done += kBlock) {
      if (!pending.empty() || sysexPending) {
        const size_t count = pending.size() + (sysexPending ? 1 : 0);
        std::vector<char> listBytes(sizeof(VstEvents) + count * sizeof(VstEvent *));
        auto *list = reinterpret_cast<VstEvents *>(listBytes.data());
        list->numEvents = int32_t(count);
        size_t at = 0;
        if (sysexPending) list->events[at++] = reinterpret_cast<VstEvent *>(&sysex);
        for (size_t i = 0; i < pending.size(); ++i) list->events[at++] = reinterpret_cast<VstEvent *>(&pending[i]);
        plugin.dispatch(effProcessEvents, 0, 0, list);
        pending.clear();
        sysexPending = false;
      }
      const int32_t n = int32_t(std::min<size_t>(kBlock, out.size() - done));
      float *outputs[4] = {left.data(), right.data(), subLeft.data(), subRight.data()};
      std::fill(left.begin(), left.end(), 0.0f);
      std::fill(right.begin(), right.end(), 0.0f);
      plugin.effect()->processReplacing(plugin.effect(), nullptr, outputs, n);
      for (int32_t i = 0; i < n; ++i) out[done + i] = 0.5f * (left[i] + right[i]);
      if (side)
        for (int32_t i = 0; i < n; ++i) (*side)[done + i] = 0.5f * (left[i] - right[i]);
    }
    return out;
  }

  // A dry note on channel 1 (or the drum channel): held for `held` seconds, then released.
  std::vector<float> note(int channel, int key, double held = 0.5, double after = 0.1)
  {
    send(0xB0 | channel, 91, 0);
    send(0xB0 | channel, 93, 0);
    return noteAsSet(channel, key, held, after);
  }

  // A note with the channel's sends as they are.
  std::vector<float> noteAsSet(int channel, int key, double held = 0.5, double after = 0.1,
                               std::vector<float> *side = nullptr)
  {
    send(0x90 | channel, key, 100);
    std::vector<float> sound = play(held, side);
    send(0x80 | channel, key, 0);
    std::vector<float> tailSide;
    std::vector<float> tail = play(after, side ? &tailSide : nullptr);
    sound.insert(sound.end(), tail.begin(), tail.end());
    if (side) side->insert(side->end(), tailSide.begin(), tailSide.end());
    send(0xB0 | channel, 120, 0);
    play(0.05);
    return sound;
  }

  // A channel parameter as the program chunk holds it.
  float parameter(int channel, int localId)
  {
    void *data = nullptr;
    if (plugin.dispatch(effGetChunk, 0, 0, &data) != intptr_t(sizeof(ProgramBlock)) || !data) return -1.0f;
    return static_cast<const ProgramBlock *>(data)->values[engine::parameterIndex(channel, localId)];
  }

  qhost::VstPlugin plugin;
  bool loaded = false;
  double rate;
  std::vector<VstMidiEvent> pending;
  std::vector<char> dump;
  VstMidiSysexEvent sysex{};
  bool sysexPending = false;
};

// The middle value (the upper one of an even count).
double median(std::vector<double> values)
{
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

double rms(const std::vector<float> &x, size_t from = 0, size_t to = SIZE_MAX)
{
  to = std::min(to, x.size());
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double(x[i]) * x[i];
  return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

// How far in cents the sound's period near `hz` lies from it, and how periodic it is (0: a
// perfect repeat, 1: none). Compares the sound with itself a few periods later, for precision.
struct Pitch {
  double cents = 0;
  double aperiodicity = 1;
};
Pitch pitchNear(const std::vector<float> &x, size_t from, size_t to, double rate, double hz)
{
  const double period = rate / hz;
  const double periods = std::max(1.0, std::round(600.0 / period));
  auto difference = [&](int lag) {
    double d = 0, e = 0;
    for (size_t i = from; i + size_t(lag) < to; ++i) {
      const double a = x[i], b = x[i + size_t(lag)];
      d += (a - b) * (a - b);
      e += a * a + b * b;
    }
    return e > 0 ? d / e : 1.0;
  };
  const double expected = period * periods;
  const int low = int(std::floor(expected * std::exp2(-40.0 / 1200.0)));
  const int high = int(std::ceil(expected * std::exp2(40.0 / 1200.0)));
  int best = low;
  double bestValue = 2.0;
  std::vector<double> values;
  for (int lag = low - 1; lag <= high + 1; ++lag) values.push_back(difference(lag));
  for (int lag = low; lag <= high; ++lag)
    if (values[size_t(lag - low + 1)] < bestValue) bestValue = values[size_t(lag - low + 1)], best = lag;
  // The minimum between samples, from the parabola through its neighbours.
  const double a = values[size_t(best - low)], b = values[size_t(best - low + 1)], c = values[size_t(best - low + 2)];
  const double shift = a - 2 * b + c > 0 ? std::clamp(0.5 * (a - c) / (a - 2 * b + c), -0.5, 0.5) : 0.0;
  return {1200.0 * std::log2(expected / (best + shift)), bestValue};
}

// The worst jump between neighbouring values, against the largest a sine of this level and
// frequency makes: a loop that does not join shows as a click far above 1.
double worstStep(const std::vector<float> &x, size_t from, size_t to, double rate, double hz)
{
  double peak = 0, step = 0;
  for (size_t i = from; i < to; ++i) {
    peak = std::max(peak, double(std::abs(x[i])));
    step = std::max(step, double(std::abs(x[i] - x[i - 1])));
  }
  return step / (peak * 2.0 * std::numbers::pi * hz / rate);
}

bool allFinite(const std::vector<float> &x)
{
  return std::all_of(x.begin(), x.end(), [](float v) { return std::isfinite(v) && std::fpclassify(v) != FP_SUBNORMAL; });
}

// A looped sine recorded at 22,000 Hz; program 1 plays it at the key it is in tune at, program
// 2 names the wrong key and mends it with the zone's fine tune and the sample's correction;
// the kit has a decaying noise burst on the snare key.
Sf2Fixture sineSoundFont()
{
  using namespace sf2;
  Sf2Fixture f;
  std::vector<int16_t> sine(2200);
  for (size_t i = 0; i < sine.size(); ++i)
    sine[i] = int16_t(std::lround(12000.0 * std::sin(2.0 * std::numbers::pi * double(i) / 50.0)));
  FixtureSample inTune{"sine", sine, 200, 250, 22000, 69};
  FixtureSample mended = inTune;
  mended.name = "sine 415";
  mended.pitch = 68;
  mended.correction = -40; // with the zone's -60: 100 cents down
  std::vector<int16_t> noise(8000);
  uint32_t seed = 1;
  for (size_t i = 0; i < noise.size(); ++i) {
    seed = seed * 1664525u + 1013904223u;
    noise[i] = int16_t(double(int32_t(seed) >> 17) * (1.0 - double(i) / double(noise.size())));
  }
  f.addSample(inTune);
  f.addSample(mended);
  f.addSample({"snare", noise, 0, 0, 32000, 60});
  f.addInstrument({"sine", {Sf2Fixture::sampleZone(0, 0, 127, {gen(sampleModes, 1)})}});
  f.addInstrument({"mended", {Sf2Fixture::sampleZone(1, 0, 127, {gen(sampleModes, 1), gen(fineTune, -60)})}});
  f.addInstrument({"kit", {Sf2Fixture::sampleZone(2, 38, 38)}});
  f.addPreset({"Sine", 0, 0, {Sf2Fixture::instrumentZone(0)}});
  f.addPreset({"Mended Sine", 1, 0, {Sf2Fixture::instrumentZone(1)}});
  f.addPreset({"Standard", 0, 128, {Sf2Fixture::instrumentZone(2)}});
  return f;
}

TEST(LibraryPlay, NotesSoundAtTheirPitchAtEveryRateAndLoopWithoutClicks)
{
  makeLibrary(sineSoundFont());
  for (double rate : {44100.0, 48000.0, 96000.0}) {
    SCOPED_TRACE(rate);
    Instrument instrument(rate);
    ASSERT_TRUE(instrument.loaded) << instrument.plugin.error();
    for (int program : {0, 1}) {
      SCOPED_TRACE(program);
      instrument.send(0xC0, program);
      // A loop of one period shows any error in its length as a wrong pitch.
      std::vector<float> sound = instrument.note(0, 69, 1.0);
      ASSERT_TRUE(allFinite(sound));
      const size_t from = size_t(0.2 * rate), to = size_t(0.9 * rate);
      ASSERT_GT(rms(sound, from, to), 0.01);
      const Pitch pitch = pitchNear(sound, from, to, rate, 440.0);
      EXPECT_LT(pitch.aperiodicity, 0.01);
      EXPECT_NEAR(pitch.cents, 0.0, 2.0);
      EXPECT_LT(worstStep(sound, from, to, rate, 440.0), 1.5);
      // An octave up plays the same loop twice as fast.
      std::vector<float> octave = instrument.note(0, 81, 0.5);
      EXPECT_NEAR(pitchNear(octave, size_t(0.2 * rate), size_t(0.45 * rate), rate, 880.0).cents, 0.0, 2.0);
    }
  }
}

// Program change and bank select as a host sends them recall the library's patches.
TEST(LibraryPlay, ProgramChangesAndBankSelectsRecallTheirPatches)
{
  makeLibrary(sineSoundFont());
  Instrument instrument(44100.0);
  ASSERT_TRUE(instrument.loaded) << instrument.plugin.error();
  instrument.play(0.05);
  // The setup the plug-in opens with: channels on, drums on channel 10.
  EXPECT_EQ(instrument.parameter(0, local::On), 1.0f);
  EXPECT_EQ(instrument.parameter(9, local::Mode), 1.0f);
  EXPECT_EQ(instrument.parameter(15, local::On), 1.0f);

  const float sine = instrument.parameter(0, local::OscWave);
  instrument.send(0xC0, 1);
  instrument.play(0.05);
  const float mended = instrument.parameter(0, local::OscWave);
  EXPECT_NE(mended, sine);
  EXPECT_EQ(instrument.parameter(0, local::Mode), 0.0f);

  // Bank 127/1 reaches the drum kits from a melodic channel; bank 0 goes back.
  instrument.send(0xB0, 0, 127);
  instrument.send(0xB0, 32, 1);
  instrument.send(0xC0, 0);
  instrument.play(0.05);
  EXPECT_EQ(instrument.parameter(0, local::Mode), 1.0f);
  instrument.send(0xB0, 0, 0);
  instrument.send(0xC0, 1);
  instrument.play(0.05);
  EXPECT_EQ(instrument.parameter(0, local::Mode), 0.0f);
  EXPECT_EQ(instrument.parameter(0, local::OscWave), mended);
  instrument.send(0xC0, 0);
  instrument.play(0.05);
  EXPECT_EQ(instrument.parameter(0, local::OscWave), sine);
}

TEST(LibraryPlay, TheDrumChannelPlaysItsKit)
{
  makeLibrary(sineSoundFont());
  Instrument instrument(48000.0);
  ASSERT_TRUE(instrument.loaded) << instrument.plugin.error();
  std::vector<float> snare = instrument.note(9, 38, 0.2);
  ASSERT_TRUE(allFinite(snare));
  EXPECT_GT(rms(snare, 0, size_t(0.1 * 48000)), 0.01);
  // A key the kit leaves empty stays silent.
  EXPECT_LT(rms(instrument.note(9, 40, 0.2)), 1e-4);
}

// Looped noise (broadband, so the chorus's comb averages out): program 0 without sends,
// program 1 with the SoundFont's full chorus send.
Sf2Fixture chorusSoundFont()
{
  using namespace sf2;
  Sf2Fixture f;
  std::vector<int16_t> noise(22050);
  uint32_t seed = 7;
  for (int16_t &v : noise) {
    seed = seed * 1664525u + 1013904223u;
    v = int16_t(int32_t(seed) >> 18);
  }
  f.addSample({"noise", noise, 0, uint32_t(noise.size()), 22050, 60});
  f.addInstrument({"noise", {Sf2Fixture::sampleZone(0, 0, 127, {gen(sampleModes, 1)})}});
  f.addPreset({"Plain", 0, 0, {Sf2Fixture::instrumentZone(0)}});
  f.addPreset({"Chorused", 1, 0, {Sf2Fixture::instrumentZone(0, {gen(chorusEffectsSend, 1000)})}});
  return f;
}

// A preset's chorus goes into its patch's level, not its sends: the chorused preset plays as dry
// and as wide as the plain one (the channel's default reverb), louder by the level made up for
// the chorus a player returns. Controller 93 brings the engine's chorus in, and a later program
// change keeps what it set.
TEST(LibraryPlay, APresetsChorusPlaysInItsLevelAndTheFileSetsTheSend)
{
  makeLibrary(chorusSoundFont());
  const double rate = 44100.0;
  Instrument instrument(rate);
  ASSERT_TRUE(instrument.loaded) << instrument.plugin.error();
  const size_t from = size_t(0.2 * rate), to = size_t(0.6 * rate);
  struct Heard {
    double level; // of both outputs
    double width; // side against mid
  };
  auto play = [&](int program) {
    if (program >= 0) instrument.send(0xC0, program);
    instrument.play(0.2); // the sends and level slew to the patch's
    std::vector<float> side;
    const std::vector<float> mid = instrument.noteAsSet(0, 60, 0.6, 0.1, &side);
    EXPECT_TRUE(allFinite(mid));
    const double m = rms(mid, from, to), d = rms(side, from, to);
    return Heard{std::hypot(m, d), d / std::max(m, 1e-9)};
  };
  const Heard plain = play(0);
  ASSERT_GT(plain.level, 0.001);
  const Heard chorused = play(1);
  EXPECT_NEAR(chorused.width, plain.width, 0.01) << "no chorus from the patch";
  // A player returns the chorus at about 7 times the send (+17 dB); the level makes up at most
  // 7 dB above the library level, where the plain preset plays 1.46 dB below it for the
  // engine's default reverb.
  EXPECT_NEAR(20.0 * std::log10(chorused.level / plain.level), 8.46, 0.5);

  instrument.send(0xB0, 93, 127);
  EXPECT_GT(play(-1).width, plain.width + 0.2) << "controller 93 sets the send";
  EXPECT_GT(play(0).width, plain.width + 0.2) << "a program change keeps the controller's send";
}

} // namespace

namespace {

constexpr double kNoteSeconds = 0.5;
constexpr double kGapSeconds = 0.2;
constexpr double kMiddleC = 261.6256;

// Notes (program and key on one channel, each held `held` seconds and followed by `gap`
// seconds) as FluidSynth plays them from the same SoundFont, dry or with its default chorus and
// reverb: their levels over the held part and their pitches near middle C. Empty when
// FluidSynth is not installed.
struct Reference {
  double level = 0; // with effects, of both outputs; dry, of their sum
  Pitch pitch;
};
struct Note {
  int program;
  int key;
};
std::vector<Reference> referenceNotes(const std::string &soundFont, int channel, const std::vector<Note> &list,
                                      double held, double gap, bool effects = false)
{
  std::vector<Reference> notes;
  if (!fs::exists("/usr/bin/fluidsynth")) return notes;
  qtest::TempDir scratch;
  qhost::MidiFileWriter w(0, 480);
  w.beginTrack();
  w.tempo(0, 120.0); // 960 ticks a second
  const uint64_t length = uint64_t(held * 960), slot = uint64_t((held + gap) * 960);
  for (size_t i = 0; i < list.size(); ++i) {
    const uint64_t at = 96 + uint64_t(i) * slot;
    w.channel(at - 10, uint8_t(0xC0 | channel), uint8_t(list[i].program));
    w.channel(at, uint8_t(0x90 | channel), uint8_t(list[i].key), 100);
    w.channel(at + length, uint8_t(0x80 | channel), uint8_t(list[i].key), 0);
    w.channel(at + slot - 20, uint8_t(0xB0 | channel), 120, 0); // nothing of it left for the next note
  }
  w.endTrack(96 + list.size() * slot);
  w.save(scratch / "notes.mid");
  std::vector<std::string> command = {"/usr/bin/fluidsynth", "-ni", "-q", "-r", "44100", "-g", "0.2"};
  if (!effects) command.insert(command.end(), {"-o", "synth.reverb.active=0", "-o", "synth.chorus.active=0"});
  command.insert(command.end(), {"-F", scratch / "notes.wav", soundFont, scratch / "notes.mid"});
  qtest::RunResult r = qtest::run(command);
  qtest::Wav wav = qtest::readWav(scratch / "notes.wav");
  if (r.exitCode != 0 || !wav.ok) return notes;
  std::vector<float> mono(wav.left.size()), side(wav.left.size());
  for (size_t i = 0; i < mono.size(); ++i) {
    mono[i] = 0.5f * (wav.left[i] + wav.right[i]);
    side[i] = 0.5f * (wav.left[i] - wav.right[i]);
  }
  for (size_t i = 0; i < list.size(); ++i) {
    const size_t at = size_t((0.1 + double(i) * (held + gap)) * 44100);
    const size_t from = at + 2205, to = at + size_t(held * 44100);
    notes.push_back({effects ? std::hypot(rms(mono, from, to), rms(side, from, to)) : rms(mono, from, to),
                     pitchNear(mono, at + 13230, at + 22050, 44100, kMiddleC)});
  }
  return notes;
}

// The factory library the build ships beside the plug-in, made from the SoundFont named at
// configuration: the very library a user plays, compared with FluidSynth playing that SoundFont.
class GeneralMidiLibrary : public testing::Test
{
protected:
  void SetUp() override
  {
    const fs::path folder = fs::path(QUORIX_PLUGIN).parent_path();
    if (!fs::exists(folder / ".factory-library.made")) GTEST_SKIP() << "no factory library beside the plug-in";
    std::string error;
    ASSERT_TRUE(sf2::loadSoundFont(QUORIX_SHIPPED_SOUNDFONT, sf, error)) << error;
    KestraneVST registry;
    ASSERT_TRUE(registry.writeMachineRegistryString(podoStr("Path"), podoStr((folder.string() + "/").c_str())));
  }
  sf2::SoundFont sf;
};

// Every program sounds for a middle C; a pitched one plays in tune (as the SoundFont tunes it:
// where the reference is, within 10 cents of the note, both dry) and near the reference's level
// (both with their default chorus and reverb, which carry much of some programs' sound).
TEST_F(GeneralMidiLibrary, EveryProgramSoundsInTuneAtTheReferenceLevel)
{
  const double rate = 44100.0;
  Instrument instrument(rate);
  ASSERT_TRUE(instrument.loaded) << instrument.plugin.error();
  instrument.play(0.05);
  std::vector<Note> middleCs;
  for (int p = 0; p < 128; ++p) middleCs.push_back({p, 60});
  const std::vector<Reference> reference = referenceNotes(QUORIX_SHIPPED_SOUNDFONT, 0, middleCs, kNoteSeconds, kGapSeconds);
  const std::vector<Reference> heard =
      referenceNotes(QUORIX_SHIPPED_SOUNDFONT, 0, middleCs, kNoteSeconds, kGapSeconds, true);
  if (reference.empty() || heard.empty()) std::printf("FluidSynth is not installed: levels and pitches are not compared\n");
  std::vector<std::pair<int, double>> differences;
  int pitched = 0, detuned = 0;
  for (int p = 0; p < 128; ++p) {
    SCOPED_TRACE(testing::Message() << "program " << p << " " << sf.presets[sfconv::findMelodyPreset(sf, p)].name);
    // A reset first: the dry note's controllers 91 and 93 would stay through program changes.
    instrument.sendSysex({0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7});
    instrument.play(0.05);
    instrument.send(0xC0, p);
    instrument.play(0.2); // the new patch's values settle
    std::vector<float> side;
    const std::vector<float> withEffects = instrument.noteAsSet(0, 60, kNoteSeconds, kGapSeconds, &side);
    const std::vector<float> sound = instrument.note(0, 60, kNoteSeconds, kGapSeconds);
    ASSERT_TRUE(allFinite(sound));
    ASSERT_TRUE(allFinite(withEffects));
    // Both outputs count: a chorus is much of the difference between them.
    const size_t from = 2205, to = size_t(kNoteSeconds * rate);
    const double level = std::hypot(rms(withEffects, from, to), rms(side, from, to));
    EXPECT_GT(rms(sound, 2205, size_t(kNoteSeconds * rate)), 0.0002);
    if (reference.empty() || heard.empty()) continue;
    const Pitch pitch = pitchNear(sound, size_t(0.3 * rate), size_t(0.5 * rate), rate, kMiddleC);
    // Where the reference is clearly pitched: the SoundFont's own tuning, which is within a
    // few cents of the note for nearly every program. Layers tuned apart (synth strings and
    // leads of detuned saws) measure as their balance lies, and the library keeps two of them
    // at most: a few may stray further.
    if (reference[p].pitch.aperiodicity < 0.05) {
      EXPECT_NEAR(pitch.cents, reference[p].pitch.cents, 15.0);
      if (std::abs(pitch.cents - reference[p].pitch.cents) > 8.0) {
        ++detuned;
        std::printf("program %d: %+.1f cents against the reference\n", p, pitch.cents - reference[p].pitch.cents);
      }
      if (std::abs(reference[p].pitch.cents) < 10.0) {
        EXPECT_NEAR(pitch.cents, 0.0, 10.0);
      }
      ++pitched;
    }
    // Sound effects and drums vary with what the envelopes and filters leave of them; a key the
    // SoundFont leaves out (the library plays its neighbour there) has no reference level.
    if (p < 112 && reference[p].level > 0) differences.push_back({p, 20.0 * std::log10(level / heard[p].level)});
  }
  EXPECT_GT(pitched, 64);
  EXPECT_LE(detuned, 3);
  if (differences.empty()) return;
  std::vector<double> levels;
  for (const auto &d : differences) levels.push_back(d.second);
  // The two instruments' overall levels may differ a little; the programs' spread must not.
  const double offset = median(levels);
  EXPECT_NEAR(offset, 0.0, 3.0);
  // Both oscillators share one amplitude envelope, so a program whose two layers fade
  // differently cannot follow both; the level made up for a strong chorus stops at a limit, so
  // pads and leads heard mostly through their chorus stay below: these may stray further.
  int astray = 0;
  for (const auto &[p, difference] : differences) {
    EXPECT_NEAR(difference, offset, 15.0) << "program " << p;
    if (std::abs(difference - offset) > 6.0) {
      ++astray;
      std::printf("program %d: %+.1f dB against the reference\n", p, difference - offset);
    }
  }
  EXPECT_LE(astray, 12);
}

// A note in the very first block, on a program chosen in that block, sounds as a later one does: the
// program's levels and filter are there at once, not slewed in from nothing.
TEST_F(GeneralMidiLibrary, ANoteAtTheVeryStartSoundsAsLoudAsLater)
{
  const double rate = 44100.0;
  for (int program : {0, 19, 48}) {
    SCOPED_TRACE(testing::Message() << "program " << program);
    Instrument instrument(rate);
    ASSERT_TRUE(instrument.loaded) << instrument.plugin.error();
    instrument.send(0xC0, program);
    const std::vector<float> first = instrument.note(0, 69, 0.3, 0.0);
    instrument.play(0.5);
    const std::vector<float> later = instrument.note(0, 69, 0.3, 0.0);
    const double a = rms(first, 0, size_t(0.1 * rate)), b = rms(later, 0, size_t(0.1 * rate));
    ASSERT_GT(b, 0.001);
    EXPECT_NEAR(20.0 * std::log10(a / b), 0.0, 1.0);
  }
}

// Every General MIDI percussion key of the standard kit sounds, near the reference's level.
TEST_F(GeneralMidiLibrary, EveryPercussionKeyOfTheStandardKitSounds)
{
  const double rate = 44100.0, held = 0.3, gap = 0.2;
  Instrument instrument(rate);
  ASSERT_TRUE(instrument.loaded) << instrument.plugin.error();
  instrument.play(0.05);
  std::vector<Note> keys;
  for (int key = 35; key <= 81; ++key) keys.push_back({0, key});
  const std::vector<Reference> reference = referenceNotes(QUORIX_SHIPPED_SOUNDFONT, 9, keys, held, gap);
  instrument.send(0xC9, 0);
  instrument.play(0.1);
  std::vector<double> differences;
  for (size_t i = 0; i < keys.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "key " << keys[i].key);
    const std::vector<float> sound = instrument.note(9, keys[i].key, held, gap);
    ASSERT_TRUE(allFinite(sound));
    const double level = rms(sound, 2205, size_t(held * rate));
    EXPECT_GT(level, 0.00005);
    if (!reference.empty() && reference[i].level > 0) differences.push_back(20.0 * std::log10(level / reference[i].level));
  }
  if (differences.empty()) return;
  const double offset = median(differences);
  EXPECT_NEAR(offset, 0.0, 3.0);
  for (size_t i = 0; i < differences.size(); ++i) EXPECT_NEAR(differences[i], offset, 10.0) << "key " << keys[i].key;
}

// A rhythm part's program plays its own kit at the reference's level: program 25 is a kit apart
// from program 24's, and its keys, each laid twice in the SoundFont, sound as loud as both.
TEST_F(GeneralMidiLibrary, RhythmProgramsPlayTheirOwnKitsAtTheReferenceLevel)
{
  const double rate = 44100.0, held = 0.3, gap = 0.2;
  Instrument instrument(rate);
  ASSERT_TRUE(instrument.loaded) << instrument.plugin.error();
  instrument.play(0.05);
  std::vector<Note> notes;
  for (int program : {0, 24, 25})
    for (int key : {36, 38, 39}) notes.push_back({program, key});
  const std::vector<Reference> reference = referenceNotes(QUORIX_SHIPPED_SOUNDFONT, 9, notes, held, gap);
  if (reference.empty()) GTEST_SKIP() << "FluidSynth is not installed";
  std::vector<double> differences;
  for (size_t i = 0; i < notes.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "program " << notes[i].program << " key " << notes[i].key);
    instrument.send(0xC9, notes[i].program);
    instrument.play(0.1);
    const std::vector<float> sound = instrument.note(9, notes[i].key, held, gap);
    ASSERT_TRUE(allFinite(sound));
    ASSERT_GT(reference[i].level, 0.0);
    differences.push_back(20.0 * std::log10(rms(sound, 2205, size_t(held * rate)) / reference[i].level));
  }
  // Every kit as far from the reference as the others (the standard kit's own offset is checked
  // beside the percussion keys).
  const double offset = median(differences);
  for (size_t i = 0; i < notes.size(); ++i)
    EXPECT_NEAR(differences[i], offset, 2.0) << "program " << notes[i].program << " key " << notes[i].key;
}

// A GS or General MIDI reset gives the drum channel the same kit, as loud, as a program change to
// the standard kit does after it.
TEST_F(GeneralMidiLibrary, AResetAndAProgramChangeGiveTheSameKit)
{
  const double rate = 44100.0;
  const std::vector<uint8_t> gsReset = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
  const std::vector<uint8_t> gmOn = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  for (const auto &reset : {gsReset, gmOn}) {
    SCOPED_TRACE(reset.size() == gmOn.size() ? "General MIDI System On" : "GS reset");
    Instrument instrument(rate);
    ASSERT_TRUE(instrument.loaded) << instrument.plugin.error();
    instrument.sendSysex(reset);
    instrument.play(0.1);
    std::vector<float> kit(engine::kChannelParameterCount);
    for (int id = 0; id < engine::kChannelParameterCount; ++id) kit[size_t(id)] = instrument.parameter(9, 17 + id);
    const double afterReset = rms(instrument.note(9, 38, 0.3), 0, size_t(0.3 * rate));
    instrument.send(0xC9, 0);
    instrument.play(0.1);
    // The sends belong to controllers 91 and 93 (which the note sets) as much as to the patch.
    for (int id = 0; id < engine::kChannelParameterCount; ++id)
      if (17 + id != local::ChorusSend && 17 + id != local::ReverbSend) {
        EXPECT_EQ(instrument.parameter(9, 17 + id), kit[size_t(id)]) << "local " << 17 + id;
      }
    const double afterProgram = rms(instrument.note(9, 38, 0.3), 0, size_t(0.3 * rate));
    ASSERT_GT(afterProgram, 0.001);
    EXPECT_NEAR(20.0 * std::log10(afterReset / afterProgram), 0.0, 0.5);
  }
}

// A GS song's set-up NRPNs for vibrato, filter and envelope at 64 mean "no change": the piano
// sounds as it did. Moved ones are offsets from the patch, undone by the next program change.
TEST_F(GeneralMidiLibrary, GsNrpnsAtNoChangeLeaveThePianoAsItWas)
{
  const double rate = 44100.0;
  Instrument instrument(rate);
  ASSERT_TRUE(instrument.loaded) << instrument.plugin.error();
  instrument.send(0xC0, 0);
  instrument.play(0.1);
  const std::vector<float> plain = instrument.note(0, 60, 0.4);
  auto nrpns = [&](int value) {
    for (int lsb : {0x08, 0x09, 0x0A, 0x20, 0x21, 0x63, 0x64, 0x66}) {
      instrument.send(0xB0, 99, 1);
      instrument.send(0xB0, 98, lsb);
      instrument.send(0xB0, 6, value);
    }
    instrument.play(0.1);
  };
  nrpns(64);
  nrpns(64);
  const std::vector<float> unchanged = instrument.note(0, 60, 0.4);
  const double level = rms(plain, 0, size_t(0.4 * rate));
  ASSERT_GT(level, 0.001);
  EXPECT_NEAR(20.0 * std::log10(rms(unchanged, 0, size_t(0.4 * rate)) / level), 0.0, 0.5);
  EXPECT_NEAR(20.0 * std::log10(rms(unchanged, 0, size_t(0.05 * rate)) / rms(plain, 0, size_t(0.05 * rate))), 0.0, 0.5)
      << "the attack stays as quick";
  nrpns(0); // the filter shut, the attack quickest
  EXPECT_LT(rms(instrument.note(0, 60, 0.4), 0, size_t(0.4 * rate)), level * 0.5);
  instrument.send(0xC0, 0);
  instrument.play(0.1);
  const std::vector<float> recalled = instrument.note(0, 60, 0.4);
  EXPECT_NEAR(20.0 * std::log10(rms(recalled, 0, size_t(0.4 * rate)) / level), 0.0, 0.5);
}

// The demo song through our host program plays music: sound all through, nothing at full scale, nothing
// that is not a number.
TEST_F(GeneralMidiLibrary, TheDemoSongRendersAsMusic)
{
  qtest::TempDir scratch;
  qtest::RunResult r = qtest::run({QUORIX_HOST_EXE, "-q", QUORIX_PLUGIN, QUORIX_DEMO_SONG, scratch / "demo.wav"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err.find("non-finite"), std::string::npos) << r.err;
  qtest::Wav wav = qtest::readWav(scratch / "demo.wav");
  ASSERT_TRUE(wav.ok);
  ASSERT_GT(wav.left.size(), size_t(50 * wav.rate));
  float peak = 0;
  for (size_t i = 0; i < wav.left.size(); ++i) peak = std::max({peak, std::abs(wav.left[i]), std::abs(wav.right[i])});
  EXPECT_LT(peak, 1.0f); // full scale clips in a fixed-point file
  EXPECT_GT(peak, 0.05f);
  // Every two seconds of the song hold sound, in both outputs.
  const size_t step = size_t(2 * wav.rate);
  for (size_t at = size_t(wav.rate); at + step < size_t(58 * wav.rate); at += step) {
    EXPECT_GT(rms(wav.left, at, at + step), 0.005) << "at " << at / wav.rate << " s";
    EXPECT_GT(rms(wav.right, at, at + step), 0.005) << "at " << at / wav.rate << " s";
  }
}

} // namespace
