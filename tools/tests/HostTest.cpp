// The command-line host against our probe plug-in (which writes down every call) and against an
// independent plug-in from the distribution.
#include "tools/tests/TestSupport.h"
#include "tools/vsthost/MidiFile.h"
#include "tools/vsthost/Renderer.h"
#include "tools/vsthost/VstPlugin.h"
#include "tools/vsthost/WavWriter.h"

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

using qtest::run;
using qtest::TempDir;

namespace {

const std::string hostExe = QUORIX_HOST_EXE;
const std::string probePlugin = QUORIX_PROBE_PLUGIN;
const std::string independentPlugin = "/usr/lib/vst/Kars-vst.so";  // dpf-plugins-vst: a synth exporting only main

struct Note {
  uint64_t tick;
  int key;
  int velocity;
};

// 480 ticks per quarter at 120 bpm: one tick is 1/960 s.
std::string writeNotes(const TempDir& dir, const std::vector<Note>& notes, uint64_t endTick)
{
  qhost::MidiFileWriter w(0, 480);
  w.beginTrack();
  w.tempo(0, 120.0);
  for (const auto& n : notes) w.channel(n.tick, 0x90, uint8_t(n.key), uint8_t(n.velocity));
  w.endTrack(endTick);
  std::string path = dir / "notes.mid";
  EXPECT_TRUE(w.save(path));
  return path;
}

std::vector<std::string> linesStartingWith(const std::vector<std::string>& lines, const std::string& prefix)
{
  std::vector<std::string> out;
  for (const auto& l : lines)
    if (l.rfind(prefix, 0) == 0) out.push_back(l);
  return out;
}

class MemorySink : public qhost::AudioSink {
public:
  std::vector<float> channels[4];
  bool write(const float* const* c, int32_t frames) override
  {
    for (int i = 0; i < 4; ++i) channels[i].insert(channels[i].end(), c[i], c[i] + frames);
    return true;
  }
};

}  // namespace

TEST(Host, DeliversEveryEventAtItsSampleOffsetForEachRateAndBlockSize)
{
  const std::vector<Note> notes = {{0, 60, 127}, {1, 61, 100}, {9, 62, 90}, {10, 63, 80}, {11, 64, 70}, {479, 65, 60}};
  struct Case {
    int rate;
    int block;
  };
  for (Case c : {Case{44100, 64}, Case{48000, 100}, Case{96000, 7}, Case{48000, 8192}}) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz, block " << c.block);
    TempDir dir;
    std::string song = writeNotes(dir, notes, 480);
    std::string log = dir / "probe.log";
    auto r = run({hostExe, "-q", "-r", std::to_string(c.rate), "-b", std::to_string(c.block), "-t", "0.1", "-s",
                  dir / "sub.wav", probePlugin, song, dir / "main.wav"},
                 {"QUORIX_PROBE_LOG=" + log});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    auto lines = qtest::readLines(log);
    auto events = linesStartingWith(lines, "event ");
    ASSERT_EQ(events.size(), notes.size());
    std::vector<long> expected;
    for (size_t i = 0; i < notes.size(); ++i) {
      long at = std::lround(double(notes[i].tick) / 960.0 * c.rate);
      expected.push_back(at);
      long absolute = -1, delta = -1;
      ASSERT_EQ(std::sscanf(events[i].c_str(), "event %ld %ld", &absolute, &delta), 2) << events[i];
      EXPECT_EQ(absolute, at) << events[i];
      EXPECT_GE(delta, 0);
      EXPECT_LT(delta, c.block);
      EXPECT_EQ((absolute - delta) % c.block, 0) << "the event is not in the block that holds it";
    }
    EXPECT_TRUE(linesStartingWith(lines, "offset ").empty());

    // The probe turns each note into one impulse: velocity on the main pair, key on the sub pair.
    auto main = qtest::readWav(dir / "main.wav");
    auto sub = qtest::readWav(dir / "sub.wav");
    ASSERT_TRUE(main.ok && sub.ok);
    EXPECT_EQ(main.rate, c.rate);
    EXPECT_EQ(long(main.left.size()), std::lround(0.5 * c.rate) + std::lround(0.1 * c.rate));
    EXPECT_EQ(sub.left.size(), main.left.size());
    for (size_t i = 0; i < main.left.size(); ++i) {
      auto hit = std::find(expected.begin(), expected.end(), long(i));
      if (hit == expected.end()) {
        ASSERT_EQ(main.left[i], 0.0f) << "stray sample at " << i;
        ASSERT_EQ(sub.right[i], 0.0f) << "stray sample at " << i;
      } else {
        const Note& n = notes[size_t(hit - expected.begin())];
        EXPECT_FLOAT_EQ(main.left[i], n.velocity / 127.0f);
        EXPECT_FLOAT_EQ(main.right[i], n.velocity / 127.0f);
        EXPECT_FLOAT_EQ(sub.left[i], n.key / 127.0f);
      }
    }
  }
}

TEST(Host, DrivesThePluginThroughItsLifeInOrder)
{
  TempDir dir;
  std::string song = writeNotes(dir, {{0, 60, 100}}, 960);
  std::string log = dir / "probe.log";
  auto r = run({hostExe, "-q", "-r", "48000", "-b", "256", probePlugin, song, dir / "out.wav"},
               {"QUORIX_PROBE_LOG=" + log});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto lines = qtest::readLines(log);
  std::vector<std::string> lifecycle;
  for (const auto& l : lines)
    if (l.rfind("process", 0) != 0 && l.rfind("event", 0) != 0) lifecycle.push_back(l);
  EXPECT_EQ(lifecycle, (std::vector<std::string>{"host vendor Quorix Project", "open", "rate 48000", "block 256",
                                                 "resume", "start", "stop", "suspend", "close"}));
  // Every processing call lies between resume and suspend and asks for at most one block.
  auto resume = std::find(lines.begin(), lines.end(), "resume");
  auto suspend = std::find(lines.begin(), lines.end(), "suspend");
  for (auto it = lines.begin(); it != lines.end(); ++it)
    if (it->rfind("process", 0) == 0) {
      EXPECT_TRUE(it > resume && it < suspend);
      long pos;
      int frames;
      ASSERT_EQ(std::sscanf(it->c_str(), "process %ld %d", &pos, &frames), 2);
      EXPECT_LE(frames, 256);
    }
}

TEST(Host, AnswersTimeInfoFollowingTheTempoMapAndMetre)
{
  TempDir dir;
  qhost::MidiFileWriter w(1, 480);
  w.beginTrack();
  w.tempo(0, 120.0);
  w.timeSignature(0, 3, 4);
  w.tempo(480, 60.0);  // after one quarter note (0.5 s)
  w.endTrack(480 * 7);
  w.beginTrack();
  w.channel(0, 0x90, 60, 100);
  w.sysex(0, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});
  w.channel(100, 0xE0, 0x00, 0x50);
  w.endTrack(480);
  std::string song = dir / "time.mid";
  ASSERT_TRUE(w.save(song));
  std::string log = dir / "probe.log";
  auto r = run({hostExe, "-q", "-r", "48000", "-b", "6000", "-t", "0", probePlugin, song, dir / "out.wav"},
               {"QUORIX_PROBE_LOG=" + log});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto process = linesStartingWith(qtest::readLines(log), "process ");
  // 0.5 s at 120 bpm, then 60 bpm: 1 + 6 quarters = 6.5 s = 52 blocks of 0.125 s.
  ASSERT_EQ(process.size(), 52u);
  EXPECT_EQ(process[0], "process 0 6000 tempo=120.000 ppq=0.0000 playing=1 sig=3/4 bar=0.0000");
  EXPECT_EQ(process[2], "process 12000 6000 tempo=120.000 ppq=0.5000 playing=1 sig=3/4 bar=0.0000");
  EXPECT_EQ(process[4], "process 24000 6000 tempo=60.000 ppq=1.0000 playing=1 sig=3/4 bar=0.0000");
  EXPECT_EQ(process[6], "process 36000 6000 tempo=60.000 ppq=1.2500 playing=1 sig=3/4 bar=0.0000");
  EXPECT_EQ(process[20], "process 120000 6000 tempo=60.000 ppq=3.0000 playing=1 sig=3/4 bar=3.0000");

  auto lines = qtest::readLines(log);
  auto sysex = linesStartingWith(lines, "sysex ");
  ASSERT_EQ(sysex.size(), 1u);
  EXPECT_EQ(sysex[0], "sysex 0 f04110421240007f0041f7");
  auto events = linesStartingWith(lines, "event ");
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1], "event 5000 5000 e0 00 50");  // tick 100 at 120 bpm: 100/960 s
}

TEST(Host, FailsClearlyWithoutLeavingOutputBehind)
{
  TempDir dir;
  std::string song = writeNotes(dir, {{0, 60, 100}}, 480);
  std::string garbage = dir / "garbage.mid";
  {
    FILE* f = std::fopen(garbage.c_str(), "wb");
    std::fputs("MThd this is not really a MIDI file", f);
    std::fclose(f);
  }
  std::string notAPlugin = dir / "not-a-plugin.so";
  std::filesystem::copy_file(garbage, notAPlugin);
  std::string out = dir / "out.wav";

  struct Case {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"no arguments", {hostExe}, 1, "wrong number of arguments"},
      {"unknown option", {hostExe, "--loud", probePlugin, song, out}, 1, "unknown option"},
      {"unsupported rate", {hostExe, "-r", "22050", probePlugin, song, out}, 1, "44100, 48000 or 96000"},
      {"block size zero", {hostExe, "-b", "0", probePlugin, song, out}, 1, "block size"},
      {"missing plug-in", {hostExe, dir / "nothing.so", song, out}, 2, "plug-in not found"},
      {"not a plug-in", {hostExe, notAPlugin, song, out}, 2, "cannot load"},
      {"missing song", {hostExe, probePlugin, dir / "nothing.mid", out}, 3, "cannot open"},
      {"malformed song", {hostExe, probePlugin, garbage, out}, 3, "bad header length"},
      {"unwritable output", {hostExe, probePlugin, song, dir / "no/such/folder/out.wav"}, 4, "cannot write"},
      {"unwritable sub output", {hostExe, "-s", dir / "no/such/sub.wav", probePlugin, song, out}, 4, "cannot write"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = run(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

// Every failure, and every output that names an input, leaves the files already there as they were.
TEST(Host, NeverHarmsTheUsersFiles)
{
  TempDir dir;
  std::string song = writeNotes(dir, {{0, 60, 100}}, 4800);  // five seconds
  const std::string songBytes = qtest::readFile(song);
  std::string out = dir / "mix.wav", sub = dir / "sub.wav";
  const std::string previous = "the previous mix";
  std::filesystem::copy_file(probePlugin, dir / "probe.so");

  struct Case {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"missing plug-in", {hostExe, dir / "nothing.so", song, out}, 2, "plug-in not found"},
      {"missing song", {hostExe, probePlugin, dir / "nothing.mid", out}, 3, "cannot open"},
      {"unwritable sub output", {hostExe, "-s", dir / "no/such/sub.wav", probePlugin, song, out}, 4, "cannot write"},
      {"output is the song", {hostExe, probePlugin, song, song}, 1, "overwrite the input"},
      {"output is the plug-in", {hostExe, dir / "probe.so", song, dir / "probe.so"}, 1, "overwrite the input"},
      {"sub output is the song", {hostExe, "-s", dir / "../" + std::filesystem::path(dir.path()).filename().string() + "/notes.mid", probePlugin, song, out}, 1, "overwrite the input"},
      {"both outputs the same", {hostExe, "-s", dir / "./mix.wav", probePlugin, song, out}, 1, "must be different"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    {
      std::ofstream f(out, std::ios::binary | std::ios::trunc);
      f << previous;
    }
    auto r = run(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(qtest::readFile(out), previous);
    EXPECT_EQ(qtest::readFile(song), songBytes);
    EXPECT_GT(std::filesystem::file_size(dir / "probe.so"), 1000u);
    EXPECT_FALSE(std::filesystem::exists(sub));
  }

  // A file size limit (as a full disk) fails the write: the previous file stays and no temporary is left.
  {
    std::ofstream f(out, std::ios::binary | std::ios::trunc);
    f << previous;
  }
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  rlimit small = before;
  small.rlim_cur = 100000;
  setrlimit(RLIMIT_FSIZE, &small);
  auto full = run({hostExe, probePlugin, song, out});
  setrlimit(RLIMIT_FSIZE, &before);
  EXPECT_EQ(full.exitCode, 4) << full.err;
  EXPECT_NE(full.err.find("cannot write the output"), std::string::npos) << full.err;
  EXPECT_EQ(qtest::readFile(out), previous);

  // A plug-in named without a folder is the file in the working folder; success replaces the output.
  auto relative = run({hostExe, "-q", "probe.so", "notes.mid", "mix.wav"}, {}, dir.path());
  EXPECT_EQ(relative.exitCode, 0) << relative.err;
  EXPECT_TRUE(qtest::readWav(out).ok);

  size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    ++entries;
    EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
  }
  EXPECT_EQ(entries, 3u);  // the song, the plug-in and the mix
}

// A song's length is told before rendering, and a runaway length is refused unless allowed.
TEST(Host, TellsTheSongsLengthAndRefusesARunawayOne)
{
  TempDir dir;
  std::string song = writeNotes(dir, {{0, 60, 100}}, 57600);  // one minute
  auto r = run({hostExe, probePlugin, song, dir / "out.wav"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("notes.mid: 1:00 plus 2.0 s of tail"), std::string::npos) << r.err;

  // One delta of 0x0FFFFFFF ticks at 120 beats a minute and 96 ticks a quarter: about 388 hours.
  const unsigned char runaway[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,
                                   'M', 'T', 'r', 'k', 0, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x2F, 0x00};
  std::string longSong = dir / "long.mid";
  {
    std::ofstream f(longSong, std::ios::binary);
    f.write(reinterpret_cast<const char*>(runaway), sizeof runaway);
  }
  auto refused = run({hostExe, probePlugin, longSong, dir / "long.wav"});
  EXPECT_EQ(refused.exitCode, 3);
  EXPECT_NE(refused.err.find("longer than 60:00; --max-length raises the limit"), std::string::npos) << refused.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "long.wav"));

  auto shortLimit = run({hostExe, "--max-length", "30", probePlugin, song, dir / "out.wav"});
  EXPECT_EQ(shortLimit.exitCode, 3);
  EXPECT_NE(shortLimit.err.find("lasts 1:00, longer than 0:30"), std::string::npos) << shortLimit.err;
}

// Integer formats clip at full scale, and the writer counts what it clipped; float keeps everything.
TEST(WavWriter, CountsSamplesClippedInIntegerFormats)
{
  TempDir dir;
  const float left[4] = {0.5f, 1.5f, -2.0f, 1.0f}, right[4] = {-1.0f, 0.0f, 1.01f, 0.0f};
  for (auto [format, clipped] : {std::pair{qhost::SampleFormat::Pcm16, 3}, std::pair{qhost::SampleFormat::Pcm24, 3},
                                 std::pair{qhost::SampleFormat::Float32, 0}}) {
    qhost::WavWriter w;
    ASSERT_TRUE(w.open(dir / "x.wav", 44100, format));
    ASSERT_TRUE(w.write(left, right, 4));
    EXPECT_EQ(w.clippedSamples(), clipped);
    ASSERT_TRUE(w.close());
    EXPECT_EQ(qtest::readWav(dir / "x.wav").left.size(), 4u);
  }
}

// Writes of any size, gathered into larger ones, reach the file whole and in order, also a last
// part smaller than what the writer gathers; a discarded file leaves nothing behind.
TEST(WavWriter, KeepsEveryFrameInOrderAcrossItsWrites)
{
  TempDir dir;
  const int32_t sizes[] = {1, 511, 512, 8192, 5000, 20000, 3};
  std::vector<float> left, right;
  qhost::WavWriter w;
  ASSERT_TRUE(w.open(dir / "x.wav", 44100, qhost::SampleFormat::Float32));
  for (int32_t n : sizes) {
    std::vector<float> l(static_cast<size_t>(n)), r(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
      l[size_t(i)] = float(left.size() + size_t(i)) * 1e-5f;
      r[size_t(i)] = -l[size_t(i)];
    }
    ASSERT_TRUE(w.write(l.data(), r.data(), n));
    left.insert(left.end(), l.begin(), l.end());
    right.insert(right.end(), r.begin(), r.end());
  }
  ASSERT_TRUE(w.close());
  const auto wav = qtest::readWav(dir / "x.wav");
  EXPECT_EQ(wav.left, left);
  EXPECT_EQ(wav.right, right);

  qhost::WavWriter dropped;
  ASSERT_TRUE(dropped.open(dir / "y.wav", 44100, qhost::SampleFormat::Float32));
  ASSERT_TRUE(dropped.write(left.data(), right.data(), 100));
  dropped.discard();
  size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    ++entries;
    EXPECT_EQ(e.path().filename(), "x.wav");
  }
  EXPECT_EQ(entries, 1u);
}

TEST(Host, ShowsProgressAndDescribesAPlugin)
{
  TempDir dir;
  std::string song = writeNotes(dir, {{0, 60, 100}}, 480);
  auto r = run({hostExe, "--progress", probePlugin, song, dir / "out.wav"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("rendering ["), std::string::npos);
  EXPECT_NE(r.err.find("100%"), std::string::npos);

  auto info = run({hostExe, "--info", probePlugin});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("name: Probe\n"), std::string::npos);
  EXPECT_NE(info.out.find("unique id: Prob\n"), std::string::npos);
  EXPECT_NE(info.out.find("outputs: 4\n"), std::string::npos);
  EXPECT_NE(info.out.find("canDo receiveVstMidiEvent: 1\n"), std::string::npos);
  EXPECT_NE(info.out.find("parameter 1: Param1"), std::string::npos);
}

TEST(Host, PlaysAnIndependentPluginFromTheDistribution)
{
  ASSERT_TRUE(std::filesystem::exists(independentPlugin)) << "install the package dpf-plugins-vst";
  qhost::VstPlugin plugin;
  ASSERT_TRUE(plugin.load(independentPlugin)) << plugin.error();
  AEffect* e = plugin.effect();
  EXPECT_GE(e->numOutputs, 1);
  EXPECT_EQ(plugin.dispatch(effGetPlugCategory), kPlugCategSynth);
  EXPECT_FALSE(plugin.effectName().empty());
  for (int32_t i = 0; i < e->numParams; ++i) EXPECT_LT(plugin.parameterDisplay(i).size(), qhost::VstPlugin::textBufferBytes);

  qhost::MidiFileWriter w(0, 480);
  w.beginTrack();
  w.channel(0, 0x90, 57, 110);
  w.channel(480, 0x80, 57, 0);
  w.endTrack(960);
  auto bytes = w.bytes();
  qhost::MidiSong song;
  ASSERT_TRUE(song.parse(bytes.data(), bytes.size()));
  MemorySink sink;
  qhost::RenderOptions options;
  options.sampleRate = 48000;
  options.blockSize = 256;
  options.tailSeconds = 0.5;
  auto report = qhost::renderSong(plugin, song, options, sink);
  EXPECT_EQ(report.frames, 48000 + 24000);
  EXPECT_EQ(report.eventsSent, 2);
  EXPECT_EQ(report.nonFiniteSamples, 0);
  float peak = 0;
  for (float v : sink.channels[0]) peak = std::max(peak, std::fabs(v));
  EXPECT_GT(peak, 0.01f) << "the note made no sound";
  plugin.unload();
  EXPECT_FALSE(plugin.loaded());

  // The same through the program, into a file.
  TempDir dir;
  std::string songPath = dir / "a.mid";
  ASSERT_TRUE(w.save(songPath));
  auto r = run({hostExe, "-q", "-f", "24", independentPlugin, songPath, dir / "out.wav"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto wav = qtest::readWav(dir / "out.wav");
  ASSERT_TRUE(wav.ok);
  EXPECT_EQ(wav.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  EXPECT_GT(*std::max_element(wav.left.begin(), wav.left.end()), 0.01f);
}

TEST(DemoSong, IsAMinuteOfGeneralMidiWithDrumsBendsControllersAndAReset)
{
  qhost::MidiSong song;
  ASSERT_TRUE(song.load(QUORIX_DEMO_SONG)) << song.error();
  EXPECT_EQ(song.format(), 1);
  double seconds = song.secondsAt(song.lastTick());
  EXPECT_GT(seconds, 50.0);
  EXPECT_LT(seconds, 75.0);
  const std::vector<uint8_t> gsReset = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
  bool reset = false;
  int programs = 0, drumNotes = 0, bends = 0, controllers = 0;
  for (const auto& e : song.events()) {
    if (e.sysex) reset = reset || e.dump == gsReset;
    else if ((e.bytes[0] & 0xF0) == 0xC0 && (e.bytes[0] & 0x0F) != 9) ++programs;
    else if (e.bytes[0] == 0x99 && e.bytes[2] > 0) ++drumNotes;
    else if ((e.bytes[0] & 0xF0) == 0xE0) ++bends;
    else if ((e.bytes[0] & 0xF0) == 0xB0) ++controllers;
  }
  EXPECT_TRUE(reset);
  EXPECT_GE(programs, 4);
  EXPECT_GT(drumNotes, 100);
  EXPECT_GT(bends, 10);
  EXPECT_GT(controllers, 50);
}
