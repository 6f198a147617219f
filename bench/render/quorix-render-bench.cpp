// Renders General MIDI through our plug-in (with the command-line host and the factory library
// beside the plug-in) and through FluidSynth from the SoundFont that library was made from, and
// compares the two: loudness and peaks of songs, the level, velocity curve, pitch, balance and
// ring time of every program and drum kit, and the CPU time of each side.
#include "bench/render/Measures.h"
#include "tools/vsthost/MidiFile.h"

#include <fcntl.h>
#include <fluidsynth.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char **environ;

namespace {

using qbench::Stereo;
namespace fs = std::filesystem;

const char *usageText =
    "usage: quorix-render-bench [--runs N] [SONG.mid [SOUNDFONT.sf2]]\n"
    "       quorix-render-bench compare [options] [SONG.mid ...]\n"
    "       quorix-render-bench programs [options]\n"
    "       quorix-render-bench speed [options] [SONG.mid ...]\n"
    "Renders through the plug-in (quorix-host, factory library beside the plug-in, a scratch HOME)\n"
    "and through FluidSynth at its defaults (gain 0.2, reverb and chorus on, 44.1 kHz, 4-point\n"
    "interpolation) from the same SoundFont.\n"
    "Modes:\n"
    "  (none)     the old timing: wall time and memory of one song on each side (default: demo song)\n"
    "  compare    per song: integrated loudness (EBU R128) of each side and the difference, peaks and\n"
    "             samples above 1.0 (float output), side/mid ratio, FluidSynth's average voice count\n"
    "  programs   generated test files for the 128 programs and the drum kits: level at velocity 127,\n"
    "             velocity curve (20..100 against 127, without chorus), pitch at keys 36..96, ring\n"
    "             time at key 96, drum left/right balance; summary and the rows outside the goals\n"
    "  speed      CPU time (user+sys) per song, runs alternating between the sides, median per side,\n"
    "             a one-note file's start-up cost, ratios raw and minus start-up\n"
    "Options:\n"
    "  --list FILE        songs, one path a line ('#' starts a comment); adds to songs given\n"
    "  --runs N           speed and old timing: runs per side (default 3)\n"
    "  --soundfont FILE   the SoundFont for FluidSynth (default " QUORIX_SOUNDFONT ")\n"
    "  --rows             programs: also print every program and drum key row\n"
    "  --csv              comma-separated tables instead of aligned text\n"
    "  --keep DIR         write the scratch files (test files, HOME) into DIR and keep them\n"
    "  -h, --help         this text\n"
    "Songs for the measured set (bench/render/songs.txt) come from Debian packages:\n"
    "  apt-get install openttd-openmsx simutrans-data planetblupi-music-midi freedink-data\n";

struct Options {
  std::string mode;
  std::vector<std::string> songs;
  std::string soundFont = QUORIX_SOUNDFONT;
  int runs = 3;
  bool csv = false;
  bool rows = false;
  std::string keep; // a folder for the scratch files, kept afterwards
};

// ---------------------------------------------------------------------------------------------
// Tables

std::string number(double v, int decimals = 1)
{
  if (std::isnan(v)) return "-";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

class Table {
public:
  explicit Table(std::string title, std::vector<std::string> headers)
      : title_(std::move(title)), headers_(std::move(headers)) {}
  void add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
  bool empty() const { return rows_.empty(); }
  void print(bool csv) const
  {
    std::printf("\n%s\n", title_.c_str());
    if (csv) {
      for (const auto *row : all()) {
        for (size_t i = 0; i < row->size(); ++i) std::printf("%s%s", i ? "," : "", quoted((*row)[i]).c_str());
        std::printf("\n");
      }
      return;
    }
    std::vector<size_t> width(headers_.size(), 0);
    for (const auto *row : all())
      for (size_t i = 0; i < row->size() && i < width.size(); ++i) width[i] = std::max(width[i], (*row)[i].size());
    auto line = [&](const std::vector<std::string> &row) {
      std::string out;
      for (size_t i = 0; i < row.size(); ++i) {
        const std::string &cell = row[i];
        const std::string pad(width[i] - std::min(width[i], cell.size()), ' ');
        // The first column reads left to right; numbers line up on the right.
        out += i == 0 ? cell + pad : pad + cell;
        if (i + 1 < row.size()) out += "  ";
      }
      std::printf("%s\n", out.c_str());
    };
    line(headers_);
    size_t total = 0;
    for (size_t w : width) total += w + 2;
    std::printf("%s\n", std::string(total > 2 ? total - 2 : 0, '-').c_str());
    for (const auto &row : rows_) line(row);
  }

private:
  std::vector<const std::vector<std::string> *> all() const
  {
    std::vector<const std::vector<std::string> *> out{&headers_};
    for (const auto &row : rows_) out.push_back(&row);
    return out;
  }
  static std::string quoted(const std::string &cell)
  {
    if (cell.find_first_of(",\"") == std::string::npos) return cell;
    std::string out = "\"";
    for (char c : cell) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
  }
  std::string title_;
  std::vector<std::string> headers_;
  std::vector<std::vector<std::string>> rows_;
};

// ---------------------------------------------------------------------------------------------
// Processes

// A temporary folder that also serves as the plug-in's HOME, so user files do not interfere.
class Scratch {
public:
  // Into `keep` when given (left in place afterwards), else a new folder under /tmp.
  explicit Scratch(const std::string &keep)
  {
    char folder[] = "/tmp/quorix-render-bench-XXXXXX";
    std::error_code ec;
    if (!keep.empty()) {
      if (fs::create_directories(keep, ec) || fs::is_directory(keep)) path_ = fs::absolute(keep).string();
      kept_ = true;
    } else if (mkdtemp(folder))
      path_ = folder;
    if (!path_.empty()) fs::create_directories(home());
    for (char **e = environ; *e; ++e) {
      const std::string entry = *e;
      if (entry.rfind("HOME=", 0) == 0 || entry.rfind("XDG_", 0) == 0) continue;
      environment_.push_back(entry);
    }
    environment_.push_back("HOME=" + home());
  }
  ~Scratch()
  {
    std::error_code ec;
    if (!path_.empty() && !kept_) fs::remove_all(path_, ec);
  }
  bool ok() const { return !path_.empty(); }
  bool kept() const { return kept_; }
  std::string file(const std::string &name) const { return path_ + "/" + name; }
  std::string home() const { return path_ + "/home"; }
  const std::vector<std::string> &environment() const { return environment_; }

private:
  std::string path_;
  bool kept_ = false;
  std::vector<std::string> environment_;
};

struct Run {
  bool ok = false;
  double seconds = 0;    // wall time
  double cpuSeconds = 0; // user + system
  long peakKilobytes = 0;
  std::string failure; // how it ended when not ok
};

class Child {
public:
  // Starts a program with its output to /dev/null.
  Child(const std::vector<std::string> &args, const std::vector<std::string> &environment)
  {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char *> argv, envp;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string &e : environment) envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);
    start_ = std::chrono::steady_clock::now();
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  Run wait()
  {
    Run r;
    int status = 0;
    rusage usage{};
    if (pid_ > 0 && wait4(pid_, &status, 0, &usage) == pid_) {
      r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
      r.cpuSeconds = double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) * 1e-6 +
                     double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) * 1e-6;
      r.peakKilobytes = usage.ru_maxrss;
      r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
      if (WIFEXITED(status)) r.failure = "exit status " + std::to_string(WEXITSTATUS(status));
      if (WIFSIGNALED(status)) r.failure = "signal " + std::to_string(WTERMSIG(status));
    } else
      r.failure = "not started";
    pid_ = -1;
    return r;
  }
  ~Child()
  {
    if (pid_ > 0) wait();
  }

private:
  pid_t pid_ = -1;
  std::chrono::steady_clock::time_point start_;
};

Run run(const std::vector<std::string> &args, const std::vector<std::string> &environment)
{
  return Child(args, environment).wait();
}

std::vector<std::string> oursCommand(const std::string &song, const std::string &out)
{
  return {QUORIX_HOST_EXE, "-q", "-f", "float", QUORIX_PLUGIN, song, out};
}

std::vector<std::string> fluidCommand(const Options &o, const std::string &song, const std::string &out)
{
  return {"/usr/bin/fluidsynth", "-ni", "-q", "-g", "0.2", "-r", "44100", "-T", "wav", "-O", "float",
          "-F", out, o.soundFont, song};
}

bool readWav(const std::string &path, Stereo &out)
{
  SF_INFO info{};
  SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return false;
  const int channels = info.channels;
  out.rate = info.samplerate;
  out.left.assign(size_t(info.frames), 0.0f);
  out.right.assign(size_t(info.frames), 0.0f);
  std::vector<float> block(size_t(4096 * channels));
  size_t at = 0;
  for (sf_count_t n; (n = sf_readf_float(file, block.data(), 4096)) > 0; at += size_t(n))
    for (sf_count_t i = 0; i < n && at + size_t(i) < out.left.size(); ++i) {
      out.left[at + size_t(i)] = block[size_t(i * channels)];
      out.right[at + size_t(i)] = block[size_t(i * channels + (channels > 1 ? 1 : 0))];
    }
  sf_close(file);
  return true;
}

// ---------------------------------------------------------------------------------------------
// FluidSynth in this process: the same player and defaults as its command line renders with.

struct FluidRender {
  bool ok = false;
  Stereo audio;
  double averageVoices = 0; // while the song plays
};

FluidRender renderFluid(const Options &o, const std::string &song, bool chorus = true, double tailSeconds = 2.0)
{
  FluidRender r;
  for (int level : {FLUID_WARN, FLUID_INFO, FLUID_DBG}) fluid_set_log_function(level, nullptr, nullptr);
  fluid_settings_t *settings = new_fluid_settings();
  // Drive the player from the rendered samples, as the command line's file renderer does.
  fluid_settings_setstr(settings, "player.timing-source", "sample");
  fluid_settings_setint(settings, "synth.lock-memory", 0);
  if (!chorus) fluid_settings_setint(settings, "synth.chorus.active", 0);
  fluid_synth_t *synth = new_fluid_synth(settings);
  fluid_player_t *player = synth ? new_fluid_player(synth) : nullptr;
  if (player && fluid_synth_sfload(synth, o.soundFont.c_str(), 1) != FLUID_FAILED &&
      fluid_player_add(player, song.c_str()) == FLUID_OK && fluid_player_play(player) == FLUID_OK) {
    r.audio.rate = 44100.0;
    constexpr int block = 512;
    std::vector<float> left(block), right(block);
    double voices = 0;
    long blocks = 0;
    auto write = [&] {
      fluid_synth_write_float(synth, block, left.data(), 0, 1, right.data(), 0, 1);
      r.audio.left.insert(r.audio.left.end(), left.begin(), left.end());
      r.audio.right.insert(r.audio.right.end(), right.begin(), right.end());
    };
    while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING) {
      write();
      voices += fluid_synth_get_active_voice_count(synth);
      ++blocks;
    }
    for (long n = long(tailSeconds * r.audio.rate / block); n > 0; --n) write();
    r.averageVoices = blocks ? voices / double(blocks) : 0;
    r.ok = true;
  }
  if (player) delete_fluid_player(player);
  if (synth) delete_fluid_synth(synth);
  delete_fluid_settings(settings);
  return r;
}

std::string songName(const std::string &path) { return fs::path(path).filename().string(); }

// Both renders of one MIDI file: ours in a child process while FluidSynth renders here.
struct Pair {
  bool ok = false;
  Stereo ours;
  FluidRender theirs;
};

// Without `chorus`, FluidSynth renders with its chorus off; the file keeps ours off itself.
Pair renderBoth(const Options &o, const Scratch &scratch, const std::string &song, bool chorus = true)
{
  Pair p;
  const std::string wav = scratch.file(songName(song) + ".quorix.wav");
  Child child(oursCommand(song, wav), scratch.environment());
  p.theirs = renderFluid(o, song, chorus);
  const Run r = child.wait();
  p.ok = r.ok && p.theirs.ok && readWav(wav, p.ours);
  std::error_code ec;
  if (!scratch.kept()) fs::remove(wav, ec);
  if (!p.ok)
    std::fprintf(stderr, "quorix-render-bench: %s: the %s render failed%s%s\n", song.c_str(),
                 !r.ok ? "plug-in" : "FluidSynth", r.ok ? "" : ", ", r.failure.c_str());
  return p;
}

// ---------------------------------------------------------------------------------------------
// compare

int compareSongs(const Options &o, const Scratch &scratch)
{
  Table table("Songs: ours against FluidSynth (loudness EBU R128 integrated; peaks of float output)",
              {"song", "seconds", "FS voices", "LUFS ours", "LUFS FS", "diff dB", "peak ours", ">1.0 ours",
               "peak FS", ">1.0 FS", "S/M ours dB", "S/M FS dB"});
  std::vector<std::string> failing;
  std::vector<double> diffs;
  int failed = 0;
  for (const std::string &song : o.songs) {
    std::fprintf(stderr, "rendering %s\n", song.c_str());
    const Pair p = renderBoth(o, scratch, song);
    if (!p.ok) {
      ++failed;
      continue;
    }
    const double a = qbench::integratedLoudness(p.ours), b = qbench::integratedLoudness(p.theirs.audio);
    const qbench::Peaks pa = qbench::peaks(p.ours), pb = qbench::peaks(p.theirs.audio);
    const double diff = a - b;
    diffs.push_back(diff);
    const std::string name = songName(song);
    table.add({name, number(double(p.ours.frames()) / p.ours.rate, 0), number(p.theirs.averageVoices, 1),
               number(a), number(b), number(diff), number(pa.peak, 3), std::to_string(pa.overFullScale),
               number(pb.peak, 3), std::to_string(pb.overFullScale), number(qbench::sideMidDb(p.ours)),
               number(qbench::sideMidDb(p.theirs.audio))});
    if (!(std::fabs(diff) <= 3.0)) failing.push_back(name + ": loudness " + number(diff) + " dB (goal within 3 dB)");
    if (pa.overFullScale > 0)
      failing.push_back(name + ": " + std::to_string(pa.overFullScale) + " samples above 1.0, peak " + number(pa.peak, 3));
  }
  table.print(o.csv);
  if (!diffs.empty()) {
    std::vector<double> magnitudes;
    for (double d : diffs) magnitudes.push_back(std::fabs(d));
    std::printf("\nloudness difference: median %s dB, worst %s dB over %zu songs\n",
                number(qbench::median(diffs)).c_str(),
                number(*std::max_element(diffs.begin(), diffs.end(),
                                         [](double x, double y) { return std::fabs(x) < std::fabs(y); }))
                    .c_str(),
                diffs.size());
  }
  std::printf("outside the goals (loudness within 3 dB, no sample above 1.0): %zu\n", failing.size());
  for (const std::string &f : failing) std::printf("  %s\n", f.c_str());
  return failed ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// programs: generated test files

const char *const programNames[128] = {
    "Acoustic Grand", "Bright Acoustic", "Electric Grand", "Honky-tonk", "E.Piano 1", "E.Piano 2",
    "Harpsichord", "Clavi", "Celesta", "Glockenspiel", "Music Box", "Vibraphone", "Marimba", "Xylophone",
    "Tubular Bells", "Dulcimer", "Drawbar Organ", "Percussive Organ", "Rock Organ", "Church Organ",
    "Reed Organ", "Accordion", "Harmonica", "Tango Accordion", "Nylon Guitar", "Steel Guitar",
    "Jazz Guitar", "Clean Guitar", "Muted Guitar", "Overdriven Guitar", "Distortion Guitar",
    "Guitar Harmonics", "Acoustic Bass", "Finger Bass", "Pick Bass", "Fretless Bass", "Slap Bass 1",
    "Slap Bass 2", "Synth Bass 1", "Synth Bass 2", "Violin", "Viola", "Cello", "Contrabass",
    "Tremolo Strings", "Pizzicato Strings", "Orchestral Harp", "Timpani", "Strings 1", "Strings 2",
    "Synth Strings 1", "Synth Strings 2", "Choir Aahs", "Voice Oohs", "Synth Voice", "Orchestra Hit",
    "Trumpet", "Trombone", "Tuba", "Muted Trumpet", "French Horn", "Brass Section", "Synth Brass 1",
    "Synth Brass 2", "Soprano Sax", "Alto Sax", "Tenor Sax", "Baritone Sax", "Oboe", "English Horn",
    "Bassoon", "Clarinet", "Piccolo", "Flute", "Recorder", "Pan Flute", "Blown Bottle", "Shakuhachi",
    "Whistle", "Ocarina", "Square Lead", "Saw Lead", "Calliope Lead", "Chiff Lead", "Charang Lead",
    "Voice Lead", "Fifths Lead", "Bass+Lead", "New Age Pad", "Warm Pad", "Polysynth Pad", "Choir Pad",
    "Bowed Pad", "Metallic Pad", "Halo Pad", "Sweep Pad", "Rain", "Soundtrack", "Crystal", "Atmosphere",
    "Brightness", "Goblins", "Echoes", "Sci-fi", "Sitar", "Banjo", "Shamisen", "Koto", "Kalimba",
    "Bagpipe", "Fiddle", "Shanai", "Tinkle Bell", "Agogo", "Steel Drums", "Woodblock", "Taiko Drum",
    "Melodic Tom", "Synth Drum", "Reverse Cymbal", "Guitar Fret Noise", "Breath Noise", "Seashore",
    "Bird Tweet", "Telephone Ring", "Helicopter", "Applause", "Gunshot"};

constexpr std::array<int, 6> velocities = {127, 100, 80, 60, 40, 20};
constexpr std::array<int, 6> pitchKeys = {36, 48, 60, 72, 84, 96};
constexpr std::array<int, 9> kits = {0, 8, 16, 24, 25, 32, 40, 48, 56};
constexpr int ringKey = 96;

// One measured note: where it sits in the render (milliseconds; one tick is one millisecond).
// A level note (velocity 127) gives the level and balance as heard, effects and all. The velocity
// notes are played again in files of their own without chorus on either side: its free-running
// modulation moves one note's level from the next by a decibel or more.
struct Probe {
  enum Kind { level, velocity, pitch, ring } kind;
  int program; // drum kit number for drum files
  int key;
  int velocityValue;
  int start, length; // the span measured
};

struct TestFile {
  std::string path;
  bool drums;
  std::vector<Probe> probes;
  bool chorus = true;
};

// A file for a group of programs (channel 1) or one drum kit (channel 10), with its probes.
class TestFileWriter {
public:
  explicit TestFileWriter(int channel) : channel_(channel)
  {
    writer_.beginTrack();
    writer_.tempo(0, 60.0);                                 // 1,000 ticks a second
    writer_.sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7});       // GM System On
    at_ = 500;
  }
  void program(int number, bool chorus = true)
  {
    if (channel_ == 9) control(0, 0); // bank select as the files do
    event(0xC0, number, 0);
    if (!chorus) control(93, 0);
    at_ += 200;
  }
  void note(int key, int velocity, int hold, int span)
  {
    event(0x90, key, velocity, at_);
    pendingOffs_.push_back({at_ + hold, key});
    at_ += span;
  }
  int now() const { return at_; }
  bool save(const std::string &path)
  {
    flushOffs(uint64_t(-1));
    writer_.endTrack(uint64_t(at_ + 1000));
    return writer_.save(path);
  }

private:
  void control(int number, int value) { event(0xB0, number, value); }
  void event(int kind, int d1, int d2, int when = -1)
  {
    if (when < 0) when = at_;
    flushOffs(uint64_t(when));
    writer_.channel(uint64_t(when), uint8_t(kind | channel_), uint8_t(d1), uint8_t(d2));
  }
  void flushOffs(uint64_t upTo)
  {
    std::stable_sort(pendingOffs_.begin(), pendingOffs_.end());
    size_t done = 0;
    for (; done < pendingOffs_.size() && uint64_t(pendingOffs_[done].first) <= upTo; ++done)
      writer_.channel(uint64_t(pendingOffs_[done].first), uint8_t(0x80 | channel_),
                      uint8_t(pendingOffs_[done].second), 64);
    pendingOffs_.erase(pendingOffs_.begin(), pendingOffs_.begin() + long(done));
  }
  qhost::MidiFileWriter writer_{0, 1000};
  int channel_;
  int at_ = 0;
  std::vector<std::pair<int, int>> pendingOffs_;
};

std::vector<TestFile> writeTestFiles(const Scratch &scratch)
{
  std::vector<TestFile> files;
  auto save = [&](TestFile &f, TestFileWriter &w) {
    if (w.save(f.path)) files.push_back(std::move(f));
  };
  constexpr int programsPerFile = 16;
  // A velocity note starts once the release and reverb of the louder one before have died away,
  // so how long a sound rings (measured apart) does not read as its soft notes' level.
  constexpr int dryNoteSpan = 4000;
  for (int first = 0; first < 128; first += programsPerFile) {
    TestFile f{scratch.file("programs-" + std::to_string(first) + ".mid"), false, {}};
    TestFile dry{scratch.file("velocity-" + std::to_string(first) + ".mid"), false, {}, false};
    TestFileWriter w(0), d(0);
    for (int p = first; p < first + programsPerFile; ++p) {
      w.program(p);
      d.program(p, false);
      for (int v : velocities) {
        if (v == 127) f.probes.push_back({Probe::level, p, 60, v, w.now(), 2000});
        dry.probes.push_back({Probe::velocity, p, 60, v, d.now(), 2000});
        w.note(60, v, 1000, 2000);
        d.note(60, v, 1000, dryNoteSpan);
      }
      for (int key : pitchKeys) {
        // The held note after the attack, up to the note-off.
        f.probes.push_back({Probe::pitch, p, key, 100, w.now() + 400, 590});
        w.note(key, 100, 1000, 1600);
      }
      f.probes.push_back({Probe::ring, p, ringKey, 127, w.now(), 4500});
      w.note(ringKey, 127, 2500, 4500);
    }
    save(f, w);
    save(dry, d);
  }
  for (int kit : kits) {
    TestFile f{scratch.file("kit-" + std::to_string(kit) + ".mid"), true, {}};
    TestFile dry{scratch.file("kit-velocity-" + std::to_string(kit) + ".mid"), true, {}, false};
    TestFileWriter w(9), d(9);
    w.program(kit);
    d.program(kit, false);
    for (int key = 35; key <= 81; ++key)
      for (int v : velocities) {
        if (v == 127) f.probes.push_back({Probe::level, kit, key, v, w.now(), 1000});
        dry.probes.push_back({Probe::velocity, kit, key, v, d.now(), 1000});
        w.note(key, v, 200, 1000);
        d.note(key, v, 200, 1000);
      }
    save(f, w);
    save(dry, d);
  }
  return files;
}

struct NoteMeasures {
  double loud = std::nan("");    // level at velocity 127, effects and all
  double balance = std::nan(""); // of that note
  std::map<int, double> level;   // by velocity, without chorus
  std::map<int, qbench::Pitch> pitch; // by key
  double ring = std::nan("");
};

double keyHz(int key) { return 440.0 * std::exp2((key - 69) / 12.0); }

void measure(const Stereo &audio, const Probe &p, NoteMeasures &m)
{
  const size_t begin = size_t(p.start * audio.rate / 1000.0), end = size_t((p.start + p.length) * audio.rate / 1000.0);
  switch (p.kind) {
  case Probe::level:
    m.loud = qbench::levelDb(audio, begin, end);
    m.balance = qbench::balanceDb(audio, begin, end);
    break;
  case Probe::velocity:
    m.level[p.velocityValue] = qbench::levelDb(audio, begin, end);
    break;
  case Probe::pitch: {
    std::vector<float> mid;
    for (size_t i = begin; i < end && i < audio.frames(); ++i) mid.push_back(0.5f * (audio.left[i] + audio.right[i]));
    const double hz = keyHz(p.key);
    qbench::Pitch pitch = qbench::heldPitch(mid.data(), mid.size(), audio.rate, hz / 2.5, hz * 2.5, size_t(0.19 * audio.rate));
    // A note too quiet to judge is not a pitch.
    if (qbench::levelDb(audio, begin, end) < -70.0) pitch.periodic = false;
    m.pitch[p.key] = pitch;
    break;
  }
  case Probe::ring:
    // A key the preset leaves silent has no ring to compare.
    if (qbench::levelDb(audio, begin, end) >= -80.0) m.ring = qbench::ringSeconds(audio, begin, end);
    break;
  }
}

struct Summary {
  std::string name;
  std::vector<double> values;
  std::string worstRow;
  double worst = std::nan("");
  int outside = 0; // rows outside the goal
  void add(double v, const std::string &row)
  {
    if (!std::isfinite(v)) return;
    values.push_back(v);
    if (std::isnan(worst) || std::fabs(v) > std::fabs(worst)) {
      worst = v;
      worstRow = row;
    }
  }
};

constexpr double silentDb = -80.0;

int comparePrograms(const Options &o, const Scratch &scratch)
{
  const std::vector<TestFile> files = writeTestFiles(scratch);
  // ours and FluidSynth, keyed by (drums, program, key)
  std::map<std::tuple<bool, int, int>, std::array<NoteMeasures, 2>> notes;
  int failed = 0;
  for (const TestFile &f : files) {
    std::fprintf(stderr, "rendering %s\n", songName(f.path).c_str());
    const Pair p = renderBoth(o, scratch, f.path, f.chorus);
    if (!p.ok) {
      ++failed;
      continue;
    }
    for (const Probe &probe : f.probes) {
      const bool atKey = f.drums || probe.kind == Probe::velocity || probe.kind == Probe::level;
      const int key = atKey ? probe.key : (probe.kind == Probe::ring ? -1 : -2);
      auto &both = notes[{f.drums, probe.program, key}];
      measure(p.ours, probe, both[0]);
      measure(p.theirs.audio, probe, both[1]);
    }
  }

  Summary level{"program level at velocity 127 (dB, ours - FS)", {}, {}, std::nan("")};
  Summary velocity{"program velocity curve (dB, ours - FS, relative to velocity 127)", {}, {}, std::nan("")};
  Summary pitch{"program pitch (cents, ours - FS)", {}, {}, std::nan("")};
  Summary ring{"ring time at key 96 (ours / FS, shown as factor)", {}, {}, std::nan("")};
  Summary drumLevel{"drum key level at velocity 127 (dB, ours - FS)", {}, {}, std::nan("")};
  Summary drumVelocity{"drum velocity curve (dB, ours - FS, relative to velocity 127)", {}, {}, std::nan("")};
  Summary drumBalance{"drum left/right balance (dB, ours - FS)", {}, {}, std::nan("")};
  std::vector<std::string> failing;
  std::map<int, std::array<std::vector<double>, 2>> curveMelodic, curveDrums; // by velocity: ours, FS

  Table programRows("Programs (key 60 for level and velocity; ring at key 96)",
                    {"program", "level dB", "vel 20", "vel 40", "vel 60", "vel 80", "vel 100", "worst vel",
                     "c36", "c48", "c60", "c72", "c84", "c96", "ring ours s", "ring FS s"});
  Table drumRows("Drum keys (level and balance at velocity 127)",
                 {"kit/key", "level dB", "worst vel", "bal ours", "bal FS", "bal diff"});

  for (int program = 0; program < 128; ++program) {
    const std::string row = std::to_string(program) + " " + programNames[program];
    auto v = notes.find({false, program, 60});
    if (v == notes.end()) continue;
    const NoteMeasures &a = v->second[0], &b = v->second[1];
    std::vector<std::string> cells{row};
    const double top = a.loud - b.loud;
    if (!(b.loud >= silentDb) || a.level.empty() || b.level.empty()) continue;
    level.add(top, row);
    cells.push_back(number(top));
    if (!(std::fabs(top) <= 4.0) && ++level.outside) failing.push_back(row + ": level " + number(top) + " dB (goal within 4 dB)");
    double worstVel = 0;
    for (int vel : {20, 40, 60, 80, 100}) {
      const double ra = a.level.at(vel) - a.level.at(127), rb = b.level.at(vel) - b.level.at(127);
      curveMelodic[vel][0].push_back(ra);
      curveMelodic[vel][1].push_back(rb);
      const double d = ra - rb;
      velocity.add(d, row + " v" + std::to_string(vel));
      cells.push_back(number(d));
      if (std::fabs(d) > std::fabs(worstVel)) worstVel = d;
      if (!(std::fabs(d) <= 4.5) && ++velocity.outside)
        failing.push_back(row + ": velocity " + std::to_string(vel) + " " + number(d) + " dB (goal within 4.5 dB)");
    }
    cells.push_back(number(worstVel));
    const auto pitches = notes.find({false, program, -2});
    for (int key : pitchKeys) {
      double c = std::nan("");
      if (pitches != notes.end()) {
        const qbench::Pitch pa = pitches->second[0].pitch.at(key), pb = pitches->second[1].pitch.at(key);
        if (pa.periodic && pb.periodic) c = qbench::cents(pa.hz, pb.hz);
      }
      pitch.add(c, row + " key " + std::to_string(key));
      cells.push_back(number(c, 0));
      if (std::isfinite(c) && std::fabs(c) > 5.0 && ++pitch.outside)
        failing.push_back(row + ": pitch key " + std::to_string(key) + " " + number(c, 1) + " cents (goal within 5)" +
                          (std::fabs(std::fabs(c) - 1200.0) < 50.0 ? ", an octave: check by ear" : ""));
    }
    const auto rings = notes.find({false, program, -1});
    double ra = std::nan(""), rb = std::nan("");
    if (rings != notes.end()) {
      ra = rings->second[0].ring;
      rb = rings->second[1].ring;
    }
    cells.push_back(number(ra, 2));
    cells.push_back(number(rb, 2));
    if (ra > 0 && rb > 0) {
      const double factor = ra / rb;
      // Kept as a signed log so the worst is the furthest either way.
      ring.add(std::log2(factor), row);
      if ((factor > 2.0 || factor < 0.5) && ++ring.outside)
        failing.push_back(row + ": ring at key 96 " + number(ra, 2) + " s, FluidSynth " + number(rb, 2) +
                          " s (goal within a factor of 2)");
    }
    programRows.add(cells);
  }

  for (int kit : kits)
    for (int key = 35; key <= 81; ++key) {
      auto n = notes.find({true, kit, key});
      if (n == notes.end()) continue;
      const NoteMeasures &a = n->second[0], &b = n->second[1];
      if (!(b.loud >= silentDb) || a.level.empty() || b.level.empty()) continue; // no sound in the reference's kit
      const std::string row = "kit " + std::to_string(kit) + " key " + std::to_string(key);
      const double top = a.loud - b.loud;
      drumLevel.add(top, row);
      double worstVel = 0;
      for (int vel : {20, 40, 60, 80, 100}) {
        if (b.level.at(vel) < silentDb) continue;
        const double ra = a.level.at(vel) - a.level.at(127), rb = b.level.at(vel) - b.level.at(127);
        curveDrums[vel][0].push_back(ra);
        curveDrums[vel][1].push_back(rb);
        const double d = ra - rb;
        drumVelocity.add(d, row + " v" + std::to_string(vel));
        if (std::fabs(d) > std::fabs(worstVel)) worstVel = d;
        if (!(std::fabs(d) <= 4.5) && ++drumVelocity.outside)
          failing.push_back(row + ": velocity " + std::to_string(vel) + " " + number(d) + " dB (goal within 4.5 dB)");
      }
      const double ba = a.balance, bb = b.balance, bd = ba - bb;
      drumBalance.add(bd, row);
      if (!(std::fabs(bd) <= 3.0) && ++drumBalance.outside)
        failing.push_back(row + ": balance " + number(ba) + " dB, FluidSynth " + number(bb) + " dB (goal within 3 dB)");
      drumRows.add({row, number(top), number(worstVel), number(ba), number(bb), number(bd)});
    }

  if (o.rows) {
    programRows.print(o.csv);
    drumRows.print(o.csv);
  }

  Table curve("Velocity curve: median level relative to velocity 127 (dB)",
              {"velocity", "programs ours", "programs FS", "drums ours", "drums FS"});
  for (int vel : {20, 40, 60, 80, 100})
    curve.add({std::to_string(vel), number(qbench::median(curveMelodic[vel][0])),
               number(qbench::median(curveMelodic[vel][1])), number(qbench::median(curveDrums[vel][0])),
               number(qbench::median(curveDrums[vel][1]))});
  curve.print(o.csv);

  Table summary("Summary (median and worst of each measure)", {"measure", "rows", "outside goal", "median", "worst", "worst row"});
  for (Summary *s : {&level, &velocity, &pitch, &ring, &drumLevel, &drumVelocity, &drumBalance}) {
    const bool factor = s == &ring;
    auto show = [&](double v) { return factor ? number(std::exp2(v), 2) : number(v); };
    const bool hasGoal = s != &drumLevel;
    summary.add({s->name, std::to_string(s->values.size()), hasGoal ? std::to_string(s->outside) : "-", show(qbench::median(s->values)), show(s->worst), s->worstRow});
  }
  summary.print(o.csv);
  const double levelMedian = qbench::median(level.values);
  if (!(std::fabs(levelMedian) <= 1.0))
    failing.insert(failing.begin(), "program level median " + number(levelMedian) + " dB (goal within 1 dB)");
  std::printf("\noutside the goals (level 4 dB, median 1 dB; velocity 4.5 dB; balance 3 dB; pitch 5 cents; ring "
              "factor 2): %zu\n",
              failing.size());
  for (const std::string &f : failing) std::printf("  %s\n", f.c_str());
  return failed ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// speed

int speed(const Options &o, const Scratch &scratch)
{
  const std::string oneNote = scratch.file("one-note.mid");
  {
    TestFileWriter w(0);
    w.program(0);
    w.note(60, 100, 500, 1000);
    if (!w.save(oneNote)) return 1;
  }
  std::vector<std::string> songs{oneNote};
  songs.insert(songs.end(), o.songs.begin(), o.songs.end());
  struct Times {
    double ours = 0, theirs = 0, voices = 0, seconds = 0;
  };
  std::vector<Times> times;
  for (const std::string &song : songs) {
    std::fprintf(stderr, "timing %s\n", song.c_str());
    std::vector<double> ours, theirs;
    const std::string a = scratch.file("quorix.wav"), b = scratch.file("fluidsynth.wav");
    // Alternating run by run, so a change in machine load falls on both sides.
    for (int i = 0; i < o.runs; ++i) {
      const Run ra = run(oursCommand(song, a), scratch.environment());
      const Run rb = run(fluidCommand(o, song, b), scratch.environment());
      if (!ra.ok || !rb.ok) {
        std::fprintf(stderr, "quorix-render-bench: %s: the %s render failed, %s\n", song.c_str(),
                     ra.ok ? "FluidSynth" : "plug-in", (ra.ok ? rb : ra).failure.c_str());
        return 1;
      }
      ours.push_back(ra.cpuSeconds);
      theirs.push_back(rb.cpuSeconds);
    }
    Times t{qbench::median(ours), qbench::median(theirs), 0, 0};
    Stereo audio;
    if (readWav(a, audio)) t.seconds = double(audio.frames()) / audio.rate;
    if (song != oneNote) t.voices = renderFluid(o, song).averageVoices;
    times.push_back(t);
  }
  const Times &start = times[0];
  Table table("CPU time (user+sys), median of " + std::to_string(o.runs) +
                  " alternating runs; 'net' is minus the one-note file's start-up",
              {"song", "seconds", "FS voices", "ours s", "FS s", "ours/FS", "ours net s", "FS net s", "net ours/FS"});
  table.add({"one-note file (start-up)", number(start.seconds, 1), "-", number(start.ours, 3), number(start.theirs, 3),
             number(start.ours / start.theirs, 2), "-", "-", "-"});
  for (size_t i = 1; i < times.size(); ++i) {
    const Times &t = times[i];
    const double netOurs = t.ours - start.ours, netTheirs = t.theirs - start.theirs;
    table.add({songName(songs[i]), number(t.seconds, 0), number(t.voices, 1), number(t.ours, 3), number(t.theirs, 3),
               number(t.ours / t.theirs, 2), number(netOurs, 3), number(netTheirs, 3),
               number(netTheirs > 0 ? netOurs / netTheirs : std::nan(""), 2)});
  }
  table.print(o.csv);
  return 0;
}

// ---------------------------------------------------------------------------------------------
// The old timing: wall time and peak memory of one song on each side.

void report(const char *name, const Run &r, double audio)
{
  std::printf("%-34s %7.2f s  %6.1fx real time  peak memory %6.1f MB\n", name, r.seconds,
              r.seconds > 0 ? audio / r.seconds : 0.0, double(r.peakKilobytes) / 1024.0);
}

// The fastest of `runs` runs (the first warms the file cache), with the largest peak memory.
Run best(const std::vector<std::string> &args, const Scratch &scratch, int runs)
{
  Run out;
  for (int i = 0; i < runs; ++i) {
    Run r = run(args, scratch.environment());
    if (!r.ok) return r;
    out.seconds = out.ok ? std::min(out.seconds, r.seconds) : r.seconds;
    out.peakKilobytes = std::max(out.peakKilobytes, r.peakKilobytes);
    out.ok = true;
  }
  return out;
}

int timeOneSong(const Options &o, const Scratch &scratch)
{
  const std::string song = o.songs.empty() ? QUORIX_DEMO_SONG : o.songs[0];
  const std::string ours = scratch.file("quorix.wav"), theirs = scratch.file("fluidsynth.wav");
  std::printf("song %s\nsoundfont %s\n", song.c_str(), o.soundFont.c_str());
  const Run a = best(oursCommand(song, ours), scratch, o.runs);
  const Run b = best(fluidCommand(o, song, theirs), scratch, o.runs);
  Stereo audio;
  const double seconds = readWav(ours, audio) ? double(audio.frames()) / audio.rate : 0.0;
  if (!a.ok || !b.ok) {
    std::fprintf(stderr, "quorix-render-bench: the %s render failed\n", a.ok ? "FluidSynth" : "plug-in");
    return 1;
  }
  report("quorix-host with the plug-in", a, seconds);
  report("FluidSynth", b, seconds);
  std::printf("time ratio (ours / FluidSynth) %.2f: %s\n", a.seconds / b.seconds,
              a.seconds < b.seconds ? "faster" : "slower");
  return 0;
}

bool readList(const std::string &path, std::vector<std::string> &songs)
{
  std::ifstream in(path);
  if (!in) return false;
  for (std::string line; std::getline(in, line);) {
    line = line.substr(0, line.find('#'));
    const size_t a = line.find_first_not_of(" \t\r"), b = line.find_last_not_of(" \t\r");
    if (a != std::string::npos) songs.push_back(line.substr(a, b - a + 1));
  }
  return true;
}

int usage(const char *problem)
{
  if (problem) std::fprintf(stderr, "quorix-render-bench: %s\n", problem);
  std::fputs(usageText, problem ? stderr : stdout);
  return problem ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
  Options o;
  std::vector<std::string> positional;
  int first = 1;
  if (argc > 1 && (!std::strcmp(argv[1], "compare") || !std::strcmp(argv[1], "programs") || !std::strcmp(argv[1], "speed"))) {
    o.mode = argv[1];
    first = 2;
  }
  for (int i = first; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
    if (a == "-h" || a == "--help") return usage(nullptr);
    if (a == "--csv") o.csv = true;
    else if (a == "--rows") o.rows = true;
    else if (a == "--runs" || a == "--list" || a == "--soundfont" || a == "--keep") {
      const char *v = value();
      if (!v) return usage((a + " needs a value").c_str());
      if (a == "--runs") o.runs = std::max(1, std::atoi(v));
      else if (a == "--soundfont") o.soundFont = v;
      else if (a == "--keep") o.keep = v;
      else if (!readList(v, positional)) return usage(("cannot read " + std::string(v)).c_str());
    } else if (!a.empty() && a[0] == '-')
      return usage(("unknown option " + a).c_str());
    else
      positional.push_back(a);
  }
  if (o.mode.empty()) {
    // The old form: [SONG.mid [SOUNDFONT.sf2]]
    if (positional.size() > 1) o.soundFont = positional[1];
    if (!positional.empty()) o.songs.push_back(positional[0]);
  } else {
    o.songs = positional;
    if (o.songs.empty() && o.mode != "programs") o.songs.push_back(QUORIX_DEMO_SONG);
  }
  for (const std::string &need : {o.soundFont, std::string("/usr/bin/fluidsynth")})
    if (!fs::exists(need)) return usage((need + " is missing").c_str());
  for (const std::string &song : o.songs)
    if (!fs::exists(song)) return usage((song + " is missing").c_str());

  Scratch scratch(o.keep);
  if (!scratch.ok()) {
    std::perror("quorix-render-bench");
    return 1;
  }
  if (o.mode == "compare") return compareSongs(o, scratch);
  if (o.mode == "programs") return comparePrograms(o, scratch);
  if (o.mode == "speed") return speed(o, scratch);
  return timeOneSong(o, scratch);
}
