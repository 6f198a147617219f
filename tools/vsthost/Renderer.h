// Drives a loaded plug-in through a song, block by block, the way a sequencer plays it back.
#pragma once

#include "tools/vsthost/MidiFile.h"
#include "tools/vsthost/VstPlugin.h"

#include <cstdint>
#include <functional>
#include <string>

namespace qhost {

// Receives the rendered audio: four planar channels (main left, main right, sub left, sub right).
class AudioSink {
public:
  virtual ~AudioSink() = default;
  virtual bool write(const float* const* channels, int32_t frames) = 0;
};

struct RenderOptions {
  double sampleRate = 44100.0;
  int32_t blockSize = 512;
  double tailSeconds = 2.0;  // rendered after the last event so that releases and reverbs ring out
  // Called after every block with the frames done and the total; may be empty.
  std::function<void(int64_t done, int64_t total)> progress;
};

struct RenderReport {
  int64_t frames = 0;
  int64_t eventsSent = 0;
  int64_t nonFiniteSamples = 0;  // NaN or infinity from the plug-in, written as 0
  bool sinkFailed = false;
};

// Sample rates and block sizes the host accepts.
bool isSupportedSampleRate(double rate);
constexpr int32_t minBlockSize = 1;
constexpr int32_t maxBlockSize = 8192;

// Sets the rate and block size, resumes, plays every event of the song at its sample offset in the
// block that holds it, suspends. The plug-in must be loaded and opened.
RenderReport renderSong(VstPlugin& plugin, MidiSong& song, const RenderOptions& options, AudioSink& sink);

}  // namespace qhost
