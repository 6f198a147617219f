// Renders one General MIDI song twice, one after the other: with our host through the plug-in
// (which plays the factory library beside it) and with FluidSynth from the SoundFont that
// library was made from. Reports each one's time and peak memory, and the ratio of the times.
// Usage: quorix-render-bench [--runs N] [SONG.mid [SOUNDFONT.sf2]]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char **environ;

namespace {

struct Run {
  bool ok = false;
  double seconds = 0;
  long peakKilobytes = 0;
};

// Runs a program with its output to /dev/null; its wall time and its peak resident memory.
Run run(const std::vector<std::string> &args)
{
  Run r;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char *> argv;
  for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) == pid) {
      r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      r.peakKilobytes = usage.ru_maxrss;
      r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
  }
  posix_spawn_file_actions_destroy(&actions);
  return r;
}

// The fastest of `runs` runs (the first warms the file cache), with the largest peak memory.
Run best(const std::vector<std::string> &args, int runs)
{
  Run out;
  for (int i = 0; i < runs; ++i) {
    Run r = run(args);
    if (!r.ok) return r;
    out.seconds = out.ok ? std::min(out.seconds, r.seconds) : r.seconds;
    out.peakKilobytes = std::max(out.peakKilobytes, r.peakKilobytes);
    out.ok = true;
  }
  return out;
}

double wavSeconds(const std::string &path)
{
  // 44-byte header, float stereo at 44.1 kHz as both renders write it here: only a rough
  // length for the real-time factor.
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? 0.0 : double(size) / (44100.0 * 2 * 4);
}

void report(const char *name, const Run &r, double audio)
{
  std::printf("%-34s %7.2f s  %6.1fx real time  peak memory %6.1f MB\n", name, r.seconds,
              r.seconds > 0 ? audio / r.seconds : 0.0, double(r.peakKilobytes) / 1024.0);
}

} // namespace

int main(int argc, char **argv)
{
  int runs = 3;
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "--runs") == 0) {
    runs = std::max(1, std::atoi(argv[2]));
    first = 3;
  }
  const std::string song = argc > first ? argv[first] : QUORIX_DEMO_SONG;
  const std::string soundFont = argc > first + 1 ? argv[first + 1] : QUORIX_SOUNDFONT;
  const char *fluidsynth = "/usr/bin/fluidsynth";
  for (const std::string &need : {song, soundFont, std::string(fluidsynth)})
    if (!std::filesystem::exists(need)) {
      std::fprintf(stderr, "quorix-render-bench: %s is missing\n", need.c_str());
      return 1;
    }

  char folder[] = "/tmp/quorix-render-bench-XXXXXX";
  if (!mkdtemp(folder)) {
    std::perror("quorix-render-bench");
    return 1;
  }
  const std::string ours = std::string(folder) + "/quorix.wav", theirs = std::string(folder) + "/fluidsynth.wav";
  std::printf("song %s\nsoundfont %s\n", song.c_str(), soundFont.c_str());
  const Run a = best({QUORIX_HOST_EXE, "-q", "-f", "float", QUORIX_PLUGIN, song, ours}, runs);
  const Run b = best({fluidsynth, "-ni", "-q", "-r", "44100", "-T", "wav", "-O", "float", "-F", theirs, soundFont, song}, runs);
  const double audio = wavSeconds(ours);
  std::filesystem::remove_all(folder);
  if (!a.ok || !b.ok) {
    std::fprintf(stderr, "quorix-render-bench: the %s render failed\n", a.ok ? "FluidSynth" : "plug-in");
    return 1;
  }
  report("quorix-host with the plug-in", a, audio);
  report("FluidSynth", b, audio);
  std::printf("time ratio (ours / FluidSynth) %.2f: %s\n", a.seconds / b.seconds,
              a.seconds < b.seconds ? "faster" : "slower");
  return 0;
}
