#include "effects/pado.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "foundation/podoLog.h"
#include "foundation/podoStream.h"

pado::~pado() = default;

const char* pado::className() const { return "pado"; }

bool pado::producesOutput() const { return true; }

bool pado::acceptsLayout(const void*) const { return true; }

bool pado::acceptsInterleaved(const void* buffers) const {
  return acceptsLayout(buffers) && processesChannelsSeparately();
}

bool pado::processesChannelsSeparately() const { return true; }

bool pado::processesPlanarFrames() const { return true; }

bool pado::needsScratchBuffers() const { return false; }

void pado::reset() {
  reconfiguring = true;
  setSampleRate(sampleRate);
  setChannelCount(channelCount);
  reconfiguring = false;
  setBlockSize(blockSize);
}

int pado::getSampleRate() const { return sampleRate; }

void pado::setSampleRate(int rate) { sampleRate = rate; }

int pado::getChannelCount() const { return channelCount; }

bool pado::setChannelCount(int channels) {
  if (channels < 1 || channels > kMaxChannels) return false;
  freeBuffers();
  channelCount = channels;
  allocateBuffers();
  return true;
}

int pado::getBlockSize() const { return blockSize; }

void pado::setBlockSize(int frames) {
  freeBuffers();
  blockSize = std::max(frames, 0);
  allocateBuffers();
}

void pado::clearState() {}

void pado::allocateBuffers() {
  if (!needsScratchBuffers() || blockSize <= 0 || channelCount <= 0) return;
  const size_t n = static_cast<size_t>(blockSize);
  for (int c = 0; c < channelCount; ++c) {
    scratchA[c].reset(new (std::nothrow) float[n]());
    if (producesOutput()) scratchB[c].reset(new (std::nothrow) float[n]());
  }
  for (auto& buffer : interleaveBuffers)
    buffer.reset(new (std::nothrow) float[n * static_cast<size_t>(channelCount)]());
}

void pado::freeBuffers() {
  for (auto& b : scratchA) b.reset();
  for (auto& b : scratchB) b.reset();
  for (auto& b : interleaveBuffers) b.reset();
}

// ---- streams --------------------------------------------------------------------------------

int64_t pado::checkStream(podoStream& stream, int channel) {
  if (stream.getBytesPerSample() != 4 || channelCount <= 0) return 0;
  const int32_t layout = stream.getLayout();
  if (layout != 1 && layout != 2) return 0;
  // Interleaved frames are walked with a stride of channelCount samples.
  if (layout == 2 && stream.getChannels() != channelCount) return 0;
  if (channel == kAllChannels) {
    if (stream.getChannels() != channelCount) return 0;
    if (layout == 2) return static_cast<int64_t>(stream.getNumFrames(0));
    uint64_t frames = stream.getNumFrames(0);
    for (int c = 1; c < channelCount; ++c) frames = std::min(frames, stream.getNumFrames(c));
    return static_cast<int64_t>(frames);
  }
  if (!validChannel(channel) || channel >= stream.getChannels()) return 0;
  return static_cast<int64_t>(stream.getNumFrames(channel));
}

int64_t pado::checkStreams(podoStream& input, podoStream& output, int channel) {
  const int64_t frames = checkStream(input, channel);
  if (frames <= 0 || output.getLayout() != input.getLayout()) return 0;
  if (output.getBytesPerSample() != 4 || output.getChannels() != input.getChannels()) return 0;
  const int first = channel == kAllChannels ? 0 : channel;
  const int last = channel == kAllChannels ? channelCount - 1 : channel;
  for (int c = first; c <= last; ++c) {
    const uint64_t room = output.getCapacity() - output.getNumFrames(c);
    if (room < static_cast<uint64_t>(frames)) return 0;
  }
  return frames;
}

// ---- per-sample and per-frame operations -----------------------------------------------------

float pado::processSample(float x, int64_t, int) { return x; }

void pado::processFrame(float* frame, int64_t index) { processFrame(frame, frame, index); }

void pado::processFrame(float* const* planar, int64_t offset, int64_t index) {
  processFrame(planar, planar, offset, index);
}

void pado::processFrame(const float* input, float* output, int64_t) {
  if (input != output) std::copy(input, input + channelCount, output);
}

void pado::processFrame(const float* const* input, float* const* output, int64_t offset,
                        int64_t) {
  for (int c = 0; c < channelCount; ++c) output[c][offset] = input[c][offset];
}

void pado::advancePhase(padoPhase& phase, float increment, int period) {
  if (!std::isfinite(phase.fraction)) phase.fraction = 0.0f;
  // x - remainder(x, 1) is x rounded to the nearest whole, halves to even, in any rounding mode.
  const float whole = phase.fraction - std::remainder(phase.fraction, 1.0f);
  if (period > 0) {
    const long long step = (static_cast<long long>(phase.step) +
                            static_cast<long long>(std::fmod(whole, static_cast<float>(period)))) %
                           period;
    phase.step = static_cast<int>(step < 0 ? step + period : step);
  }
  phase.fraction = phase.fraction - whole + increment;
}

// ---- block loops ----------------------------------------------------------------------------

void pado::channelLoop(const float* const* input, float* const* output, int64_t offset,
                       int64_t frames, int64_t first, int channel) {
  const float* in = input[channel] + offset;
  float* out = output[channel] + offset;
  for (int64_t i = 0; i < frames; ++i) out[i] = processSample(in[i], first + i, channel);
}

void pado::channelLoopInterleaved(const float* input, float* output, int64_t frames,
                                  int64_t first, int channel) {
  const int64_t stride = channelCount;
  for (int64_t i = 0; i < frames; ++i)
    output[i * stride + channel] = processSample(input[i * stride + channel], first + i, channel);
}

void pado::frameLoop(const float* const* input, float* const* output, int64_t offset,
                     int64_t frames, int64_t first) {
  for (int64_t i = 0; i < frames; ++i) {
    if (input == output)
      processFrame(output, offset + i, first + i);
    else
      processFrame(input, output, offset + i, first + i);
  }
}

void pado::frameLoopInterleaved(const float* input, float* output, int64_t frames,
                                int64_t first) {
  const int64_t stride = channelCount;
  for (int64_t i = 0; i < frames; ++i) {
    if (input == output)
      processFrame(output + i * stride, first + i);
    else
      processFrame(input + i * stride, output + i * stride, first + i);
  }
}

void pado::deinterleave(const float* source, float* const* destinations, int64_t frames) const {
  for (int64_t i = 0; i < frames; ++i)
    for (int c = 0; c < channelCount; ++c) destinations[c][i] = source[i * channelCount + c];
}

void pado::interleave(const float* const* sources, float* destination, int64_t frames) const {
  for (int64_t i = 0; i < frames; ++i)
    for (int c = 0; c < channelCount; ++c) destination[i * channelCount + c] = sources[c][i];
}

bool pado::convertInterleaved(const float* input, float* output, int64_t frames, int64_t first) {
  if (processesChannelsSeparately()) {
    frameLoopInterleaved(input, output, frames, first);
    return true;
  }
  // Whole frames, through planar scratch blocks.
  if (blockSize <= 0 || !scratchA[0] || (producesOutput() && !scratchB[0])) return false;
  float* a[kMaxChannels] = {scratchA[0].get(), scratchA[1].get()};
  float* b[kMaxChannels] = {scratchB[0].get(), scratchB[1].get()};
  for (int64_t done = 0; done < frames;) {
    const int64_t n = std::min<int64_t>(blockSize, frames - done);
    deinterleave(input + done * channelCount, a, n);
    if (producesOutput()) {
      frameLoop(a, b, 0, n, first + done);
      interleave(b, output + done * channelCount, n);
    } else {
      frameLoop(a, a, 0, n, first + done);
    }
    done += n;
  }
  return true;
}

bool pado::convertPlanar(const float* const* input, float* const* output, int64_t offset,
                         int64_t frames, int64_t first) {
  if (processesPlanarFrames()) {
    frameLoop(input, output, offset, frames, first);
    return true;
  }
  // Whole frames, through interleaved scratch blocks.
  if (blockSize <= 0 || !interleaveBuffers[0] || !interleaveBuffers[1]) return false;
  float* packed = interleaveBuffers[0].get();
  float* result = interleaveBuffers[1].get();
  for (int64_t done = 0; done < frames;) {
    const int64_t n = std::min<int64_t>(blockSize, frames - done);
    const float* in[kMaxChannels] = {};
    for (int c = 0; c < channelCount; ++c) in[c] = input[c] + offset + done;
    interleave(in, packed, n);
    frameLoopInterleaved(packed, result, n, first + done);
    if (producesOutput()) {
      float* out[kMaxChannels] = {};
      for (int c = 0; c < channelCount; ++c) out[c] = output[c] + offset + done;
      deinterleave(result, out, n);
    }
    done += n;
  }
  return true;
}

void pado::logSingleChannelRefused() {
  podo::logMessage(4, true, "%s - should [ch == kAllChannels]", "pado::process");
}

// ---- the six forms --------------------------------------------------------------------------

int64_t pado::process(float* interleaved, int64_t frames, int64_t first, int channel) {
  return process(static_cast<const float*>(interleaved), interleaved, frames, first, channel);
}

int64_t pado::process(float* const* planar, int64_t frames, int64_t first, int channel) {
  return process(planar, planar, frames, first, channel);
}

int64_t pado::process(const float* input, float* output, int64_t frames, int64_t first,
                      int channel) {
  if (!input || !output || frames <= 0 || channelCount <= 0) return 0;
  if (channel != kAllChannels && !validChannel(channel)) return 0;
  if (acceptsInterleaved(input)) {
    if (channel != kAllChannels) {
      channelLoopInterleaved(input, output, frames, first, channel);
    } else {
      for (int c = 0; c < channelCount; ++c) channelLoopInterleaved(input, output, frames, first, c);
    }
    return frames;
  }
  if (channel != kAllChannels) {
    logSingleChannelRefused();
    return 0;
  }
  return convertInterleaved(input, output, frames, first) ? frames : 0;
}

int64_t pado::process(const float* const* input, float* const* output, int64_t frames,
                      int64_t first, int channel) {
  if (!input || !output || frames <= 0 || channelCount <= 0) return 0;
  if (channel != kAllChannels && !validChannel(channel)) return 0;
  const int from = channel == kAllChannels ? 0 : channel;
  const int to = channel == kAllChannels ? channelCount - 1 : channel;
  for (int c = from; c <= to; ++c)
    if (!input[c] || !output[c]) return 0;
  if (acceptsLayout(input)) {
    for (int c = from; c <= to; ++c) channelLoop(input, output, 0, frames, first, c);
    return frames;
  }
  if (channel != kAllChannels) {
    logSingleChannelRefused();
    return 0;
  }
  return convertPlanar(input, output, 0, frames, first) ? frames : 0;
}

int64_t pado::process(podoStream& stream, int64_t frames, int64_t first, int channel) {
  return processStream(nullptr, stream, frames, first, channel);
}

int64_t pado::process(podoStream& input, podoStream& output, int64_t frames, int64_t first,
                      int channel) {
  if (&input == &output) return processStream(nullptr, output, frames, first, channel);
  return processStream(&input, output, frames, first, channel);
}

// One stream in place (input null) or input to output, in passes over contiguous runs: in
// place the stored frames are processed where they lie and stay stored; input to output they
// are taken from the input and appended to the output.
int64_t pado::processStream(podoStream* input, podoStream& output, int64_t frames,
                            int64_t first, int channel) {
  if (frames <= 0 || channelCount <= 0) return 0;
  if (channel != kAllChannels && !validChannel(channel)) return 0;
  podoStream& source = input ? *input : output;
  const bool interleaved = source.getLayout() == 2;
  const bool accepted = interleaved ? acceptsInterleaved(&source) : acceptsLayout(&source);
  if (!accepted && channel != kAllChannels) {
    logSingleChannelRefused();
    return 0;
  }
  const int64_t available = input ? checkStreams(*input, output, channel)
                                  : checkStream(output, channel);
  const int64_t todo = std::min(frames, available);
  if (todo <= 0) return 0;

  // The rings concerned: one of whole frames, or one per planar channel.
  const int from = channel == kAllChannels ? 0 : channel;
  const int to = channel == kAllChannels ? channelCount - 1 : channel;
  const int firstRing = interleaved ? 0 : from;
  const int lastRing = interleaved ? 0 : to;
  const int64_t step = interleaved ? channelCount : 1;  // floats per frame in a ring

  // In place the positions never move: the two readable runs of each ring, fetched once.
  float* runStart[kMaxChannels][2] = {};
  int64_t runLength[kMaxChannels][2] = {};
  if (!input) {
    for (int c = firstRing; c <= lastRing; ++c) {
      uint64_t a = 0, b = 0;
      runStart[c][0] = static_cast<float*>(output.readableRuns(&a, &b, c));
      runStart[c][1] = static_cast<float*>(output.channelData(c));
      runLength[c][0] = static_cast<int64_t>(a);
      runLength[c][1] = static_cast<int64_t>(b);
    }
  }

  int64_t done = 0;
  while (done < todo) {
    const float* in[kMaxChannels] = {};
    float* out[kMaxChannels] = {};
    int64_t piece = todo - done;
    for (int c = firstRing; c <= lastRing; ++c) {
      if (input) {
        uint64_t a = 0, b = 0, w = 0, v = 0;
        in[c] = static_cast<const float*>(input->readableRuns(&a, &b, c));
        out[c] = static_cast<float*>(output.writableRuns(&w, &v, c));
        piece = std::min<int64_t>(piece, static_cast<int64_t>(std::min(a, w)));
      } else {
        const bool second = done >= runLength[c][0];
        const int64_t at = second ? done - runLength[c][0] : done;
        out[c] = runStart[c][second ? 1 : 0] + at * step;
        in[c] = out[c];
        piece = std::min(piece, runLength[c][second ? 1 : 0] - at);
      }
      if (!in[c] || !out[c]) piece = 0;
    }
    if (piece <= 0) break;
    const int64_t index = first + done;
    bool processed = true;
    if (interleaved) {
      if (accepted) {
        // One channel of whole frames: the frames appended carry the other channels along.
        if (input && channel != kAllChannels) std::copy(in[0], in[0] + piece * step, out[0]);
        for (int c = from; c <= to; ++c) channelLoopInterleaved(in[0], out[0], piece, index, c);
      } else {
        processed = convertInterleaved(in[0], out[0], piece, index);
      }
    } else {
      if (accepted) {
        for (int c = from; c <= to; ++c) channelLoop(in, out, 0, piece, index, c);
      } else {
        processed = convertPlanar(in, out, 0, piece, index);
      }
    }
    if (!processed) break;
    if (input) {
      input->markAsRead(static_cast<uint64_t>(piece), channel);
      output.markAsWritten(static_cast<uint64_t>(piece), channel);
    }
    done += piece;
  }
  return done;
}
