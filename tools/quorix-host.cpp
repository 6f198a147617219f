// quorix-host: renders a Standard MIDI File through a VST 2.4 plug-in into WAV files.
#include "tools/vsthost/EditorSession.h"
#include "tools/vsthost/MidiFile.h"
#include "tools/vsthost/Renderer.h"
#include "tools/vsthost/VstPlugin.h"
#include "tools/vsthost/WavWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

enum ExitCode { exitOk = 0, exitUsage = 1, exitPlugin = 2, exitMidi = 3, exitOutput = 4, exitRender = 5 };

const char* usageText =
    "usage: quorix-host [options] PLUGIN.so SONG.mid OUT.wav\n"
    "       quorix-host --info PLUGIN.so\n"
    "       quorix-host --editor SECONDS [--page NAME] [--zoom PERCENT] [--screenshot FILE.png] PLUGIN.so\n"
    "Renders SONG.mid through the VST 2.4 plug-in into OUT.wav (outputs 1 and 2).\n"
    "  -r, --rate HZ          sample rate: 44100, 48000 or 96000 (default 44100)\n"
    "  -b, --block FRAMES     frames per processing call, 1..8192 (default 512)\n"
    "  -s, --sub FILE         also write outputs 3 and 4 to FILE\n"
    "  -t, --tail SECONDS     keep rendering this long after the last event (default 2)\n"
    "  -l, --max-length SECONDS  refuse songs longer than this (default 3600)\n"
    "  -f, --format FMT       16, 24 or float (default float)\n"
    "  -q, --quiet            no progress bar and no summary\n"
    "  -p, --progress         show the progress bar even when stderr is not a terminal\n"
    "      --info             print the plug-in's identity, pins and parameters, then exit\n"
    "      --editor SECONDS   show the plug-in's editor in a window for this long (needs an X display)\n"
    "      --screenshot FILE  with --editor: write the window as a PNG before closing the editor\n"
    "      --page NAME        with --editor: the page to show: mixer, melody, drum, sequencer, browser, setup\n"
    "                         (melody and drum show the current channel, or else the first, of that mode)\n"
    "      --zoom PERCENT     with --editor: the editor's zoom, 100 to 300\n"
    "  -h, --help             this text\n";

int usage(const char* problem)
{
  if (problem) std::fprintf(stderr, "quorix-host: %s\n", problem);
  std::fputs(usageText, problem ? stderr : stdout);
  return problem ? exitUsage : exitOk;
}

std::string fourCC(int32_t code)
{
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) {
    char c = char((uint32_t(code) >> shift) & 0xFF);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

int printInfo(qhost::VstPlugin& plugin)
{
  AEffect* e = plugin.effect();
  std::printf("name: %s\n", plugin.effectName().c_str());
  std::printf("vendor: %s\n", plugin.vendorString().c_str());
  std::printf("product: %s\n", plugin.productString().c_str());
  std::printf("vendor version: %ld\n", long(plugin.dispatch(effGetVendorVersion)));
  std::printf("vst version: %ld\n", long(plugin.dispatch(effGetVstVersion)));
  std::printf("unique id: %s\n", fourCC(e->uniqueID).c_str());
  std::printf("version: %d\n", e->version);
  std::printf("category: %ld\n", long(plugin.dispatch(effGetPlugCategory)));
  std::printf("flags: 0x%x\n", unsigned(e->flags));
  std::printf("inputs: %d\noutputs: %d\nprograms: %d\nparameters: %d\n", e->numInputs, e->numOutputs,
              e->numPrograms, e->numParams);
  for (const char* what : {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo"})
    std::printf("canDo %s: %ld\n", what, long(plugin.canDo(what)));
  for (int32_t i = 0; i < e->numOutputs; ++i) {
    VstPinProperties pin{};
    if (plugin.dispatch(effGetOutputProperties, i, 0, &pin)) {
      pin.label[sizeof pin.label - 1] = 0;
      pin.shortLabel[sizeof pin.shortLabel - 1] = 0;
      if (pin.shortLabel[0])
        std::printf("output %d: %s (%s) flags 0x%x\n", i, pin.label, pin.shortLabel, unsigned(pin.flags));
      else
        std::printf("output %d: %s flags 0x%x\n", i, pin.label, unsigned(pin.flags));
    }
  }
  int32_t unassigned = 0;
  for (int32_t i = 0; i < e->numParams; ++i) {
    std::string name = plugin.parameterName(i);
    unassigned += name.find("<not assigned>") != std::string::npos;
    std::printf("parameter %d: %s = %s %s\n", i, name.c_str(), plugin.parameterDisplay(i).c_str(),
                plugin.parameterLabel(i).c_str());
  }
  if (unassigned > 0)
    std::printf("(%d of the %d parameters are automation slots that no plug-in setting is assigned to yet; the\n"
                " plug-in's own editor assigns them)\n",
                int(unassigned), int(e->numParams));
  return exitOk;
}

class FileSink : public qhost::AudioSink {
public:
  qhost::WavWriter main, sub;
  bool withSub = false;
  bool write(const float* const* c, int32_t frames) override
  {
    return main.write(c[0], c[1], frames) && (!withSub || sub.write(c[2], c[3], frames));
  }
  bool flush() { return main.flush() && (!withSub || sub.flush()); }
  void discard()
  {
    main.discard();
    sub.discard();
  }
};

// The same file, whether or not it exists yet (names are compared once made absolute and normal).
bool sameFile(const std::string& a, const std::string& b)
{
  std::error_code error;
  if (std::filesystem::equivalent(a, b, error)) return true;
  auto ca = std::filesystem::weakly_canonical(a, error);
  if (error) return false;
  auto cb = std::filesystem::weakly_canonical(b, error);
  return !error && ca == cb;
}

std::string minutesAndSeconds(double seconds)
{
  char text[64];
  long long whole = (long long)std::ceil(seconds);
  std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  return text;
}

void drawProgress(int64_t done, int64_t total)
{
  static int shown = -1;
  int percent = total > 0 ? int(done * 100 / total) : 100;
  if (percent == shown) return;
  shown = percent;
  char bar[41];
  int filled = percent * 40 / 100;
  for (int i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
  bar[40] = 0;
  std::fprintf(stderr, "\rrendering [%s] %3d%%", bar, percent);
  if (done >= total) std::fputc('\n', stderr);
  std::fflush(stderr);
}

bool parseNumber(const char* text, double& out)
{
  char* end = nullptr;
  errno = 0;
  out = std::strtod(text, &end);
  return end != text && *end == 0 && errno == 0;
}

}  // namespace

int main(int argc, char** argv)
{
  qhost::RenderOptions options;
  std::string subPath;
  qhost::SampleFormat format = qhost::SampleFormat::Float32;
  bool quiet = false, forceProgress = false, info = false;
  double editorSeconds = -1;
  double maxSongSeconds = 3600;
  std::string screenshotPath;
  qhost::EditorView view;
  std::vector<std::string> positional;

  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "quorix-host: %s needs a value\n", name);
        return nullptr;
      }
      return argv[++i];
    };
    if (a == "-h" || a == "--help") return usage(nullptr);
    if (a == "-q" || a == "--quiet") { quiet = true; continue; }
    if (a == "-p" || a == "--progress") { forceProgress = true; continue; }
    if (a == "--info") { info = true; continue; }
    if (a == "--editor") {
      const char* v = value(a.c_str());
      double number;
      if (!v) return exitUsage;
      if (!parseNumber(v, number) || !(number >= 0 && number <= 3600))
        return usage("the editor time must be 0 to 3600 seconds");
      editorSeconds = number;
      continue;
    }
    if (a == "--page") {
      const char* v = value(a.c_str());
      if (!v) return exitUsage;
      view.page = qhost::editorPageNumber(v);
      if (view.page < 0) return usage("the page must be mixer, melody, drum, sequencer, browser or setup");
      continue;
    }
    if (a == "--zoom") {
      const char* v = value(a.c_str());
      double number;
      if (!v) return exitUsage;
      if (!parseNumber(v, number) || !(number >= 100 && number <= 300))
        return usage("the zoom must be 100 to 300 percent");
      view.zoomPercent = int(number);
      continue;
    }
    if (a == "--screenshot") {
      const char* v = value(a.c_str());
      if (!v) return exitUsage;
      screenshotPath = v;
      continue;
    }
    if (a == "-r" || a == "--rate" || a == "-b" || a == "--block" || a == "-t" || a == "--tail") {
      const char* v = value(a.c_str());
      double number;
      if (!v) return exitUsage;
      if (!parseNumber(v, number)) return usage(("not a number: " + std::string(v)).c_str());
      if (a == "-r" || a == "--rate") {
        if (!qhost::isSupportedSampleRate(number)) return usage("the sample rate must be 44100, 48000 or 96000");
        options.sampleRate = number;
      } else if (a == "-b" || a == "--block") {
        if (number != double(int32_t(number)) || number < qhost::minBlockSize || number > qhost::maxBlockSize)
          return usage("the block size must be a whole number from 1 to 8192");
        options.blockSize = int32_t(number);
      } else {
        if (!(number >= 0 && number <= 600)) return usage("the tail must be 0 to 600 seconds");
        options.tailSeconds = number;
      }
      continue;
    }
    if (a == "-l" || a == "--max-length") {
      const char* v = value(a.c_str());
      double number;
      if (!v) return exitUsage;
      if (!parseNumber(v, number) || !(number > 0)) return usage("the maximum length must be a positive number of seconds");
      maxSongSeconds = number;
      continue;
    }
    if (a == "-s" || a == "--sub") {
      const char* v = value(a.c_str());
      if (!v) return exitUsage;
      subPath = v;
      continue;
    }
    if (a == "-f" || a == "--format") {
      const char* v = value(a.c_str());
      if (!v) return exitUsage;
      std::string f = v;
      if (f == "16") format = qhost::SampleFormat::Pcm16;
      else if (f == "24") format = qhost::SampleFormat::Pcm24;
      else if (f == "float" || f == "32") format = qhost::SampleFormat::Float32;
      else return usage("the format must be 16, 24 or float");
      continue;
    }
    if (a.size() > 1 && a[0] == '-') return usage(("unknown option: " + a).c_str());
    positional.push_back(a);
  }
  bool editor = editorSeconds >= 0;
  if (!screenshotPath.empty() && !editor) return usage("--screenshot needs --editor");
  if ((view.page >= 0 || view.zoomPercent > 0) && !editor) return usage("--page and --zoom need --editor");
  if (info || editor ? positional.size() != 1 : positional.size() != 3) return usage("wrong number of arguments");
  if (info && editor) return usage("--info and --editor do not go together");

  // dlopen searches the library path for a name without a slash; a plug-in named on the command line
  // is a file, wherever it lies.
  std::string pluginPath = positional[0];
  if (pluginPath.find('/') == std::string::npos) pluginPath = "./" + pluginPath;
  struct stat st{};
  if (stat(pluginPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    std::fprintf(stderr, "quorix-host: plug-in not found: %s\n", positional[0].c_str());
    return exitPlugin;
  }

  const bool rendering = !info && !editor;
  if (rendering) {
    const std::string& out = positional[2];
    for (const std::string* input : {&positional[0], &positional[1]}) {
      if (sameFile(out, *input) || (!subPath.empty() && sameFile(subPath, *input)))
        return usage(("the output would overwrite the input " + *input).c_str());
    }
    if (!subPath.empty() && sameFile(out, subPath)) return usage("the two outputs must be different files");
  }

  qhost::MidiSong song;
  if (rendering && !song.load(positional[1])) {
    std::fprintf(stderr, "quorix-host: %s: %s\n", positional[1].c_str(), song.error().c_str());
    return exitMidi;
  }
  if (rendering) {
    double seconds = song.secondsAt(song.lastTick());
    if (seconds > maxSongSeconds) {
      std::fprintf(stderr, "quorix-host: %s lasts %s, longer than %s; --max-length raises the limit\n",
                   positional[1].c_str(), minutesAndSeconds(seconds).c_str(),
                   minutesAndSeconds(maxSongSeconds).c_str());
      return exitMidi;
    }
    if (!quiet)
      std::fprintf(stderr, "%s: %s plus %.1f s of tail\n", positional[1].c_str(), minutesAndSeconds(seconds).c_str(),
                   options.tailSeconds);
  }

  // The outputs are opened (as temporary files beside them) before the plug-in is loaded, so an
  // unwritable folder fails fast; the files themselves are replaced only after a complete render.
  FileSink sink;
  if (rendering) {
    // A full disk or a file size limit fails the write instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    if (!sink.main.open(positional[2], int(options.sampleRate), format)) {
      std::fprintf(stderr, "quorix-host: cannot write %s: %s\n", positional[2].c_str(), sink.main.error().c_str());
      return exitOutput;
    }
    if (!subPath.empty()) {
      if (!sink.sub.open(subPath, int(options.sampleRate), format)) {
        std::fprintf(stderr, "quorix-host: cannot write %s: %s\n", subPath.c_str(), sink.sub.error().c_str());
        sink.discard();
        return exitOutput;
      }
      sink.withSub = true;
    }
  }

  qhost::VstPlugin plugin;
  if (!plugin.load(pluginPath)) {
    std::fprintf(stderr, "quorix-host: cannot load %s: %s\n", positional[0].c_str(), plugin.error().c_str());
    sink.discard();
    return exitPlugin;
  }
  if (info) return printInfo(plugin);
  if (editor) {
    std::string why;
    bool shown = qhost::runEditorSession(plugin, editorSeconds, screenshotPath, why, view);
    plugin.unload();
    if (!shown) {
      std::fprintf(stderr, "quorix-host: editor: %s\n", why.c_str());
      return exitPlugin;
    }
    return exitOk;
  }

  bool showProgress = !quiet && (forceProgress || isatty(STDERR_FILENO));
  if (showProgress) options.progress = drawProgress;
  qhost::RenderReport report = qhost::renderSong(plugin, song, options, sink);
  plugin.unload();

  if (!report.sinkFailed && !sink.flush()) report.sinkFailed = true;
  if (report.sinkFailed) {
    const std::string& why = !sink.main.error().empty() ? sink.main.error() : sink.sub.error();
    std::fprintf(stderr, "\nquorix-host: cannot write the output (nothing was replaced): %s\n", why.c_str());
    sink.discard();
    return exitOutput;
  }
  bool closed = sink.sub.close() && sink.main.close();
  if (!closed) {
    std::fprintf(stderr, "quorix-host: cannot finish the output: %s\n",
                 (!sink.main.error().empty() ? sink.main.error() : sink.sub.error()).c_str());
    sink.discard();
    return exitOutput;
  }
  int64_t clipped = sink.main.clippedSamples() + sink.sub.clippedSamples();
  if (clipped > 0)
    std::fprintf(stderr, "quorix-host: warning: %lld samples clipped at full scale (a float output keeps them)\n",
                 (long long)clipped);
  if (report.nonFiniteSamples > 0)
    std::fprintf(stderr, "quorix-host: warning: the plug-in produced %lld non-finite samples (written as 0)\n",
                 (long long)report.nonFiniteSamples);
  if (!quiet)
    std::fprintf(stderr, "wrote %s: %.1f s at %d Hz, %lld events\n", positional[2].c_str(),
                 double(report.frames) / options.sampleRate, int(options.sampleRate), (long long)report.eventsSent);
  return exitOk;
}
