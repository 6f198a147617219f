#pragma once
// A generic multi-channel signal processor: a sample rate, one or two channels and a block size,
// and one per-sample (or per-frame) operation applied to many buffer forms: interleaved or
// planar blocks, in place or from an input to an output, and audio frame streams. Subclasses
// (the filters of padoFilter.h) override the operation; the buffer handling lives here. The
// instrument's own effects compute their filters inline; this family stands beside them.
//
// Invariants: channelCount is 0 (not configured), 1 or 2; scratch and interleave buffers exist
// only when needsScratchBuffers() and blockSize > 0. Nothing here is thread-safe; process
// allocates nothing.

#include <cstdint>
#include <memory>

class podoStream;

// The channel argument that stands for every channel.
inline constexpr int kAllChannels = -1;

// A phase counted in whole steps of a period plus a fraction (see pado::advancePhase).
struct padoPhase {
  int step = 0;
  float fraction = 0.0f;
};

class pado {
 public:
  // Per-channel state exists for this many channels; more are refused.
  static constexpr int kMaxChannels = 2;

  pado() = default;
  pado(const pado&) = delete;
  pado& operator=(const pado&) = delete;
  virtual ~pado();

  virtual const char* className() const;
  // False for an analyser: converted buffers are not written back, scratch B not allocated.
  virtual bool producesOutput() const;
  // Whether the processor can work on the caller's buffers channel by channel.
  virtual bool acceptsLayout(const void* buffers) const;
  // acceptsLayout and processesChannelsSeparately.
  virtual bool acceptsInterleaved(const void* buffers) const;
  virtual bool processesChannelsSeparately() const;
  virtual bool processesPlanarFrames() const;
  // True when the converting paths need scratch buffers; false in this family.
  virtual bool needsScratchBuffers() const;

  // Applies the present rate, channel count and block size again.
  virtual void reset();
  virtual int getSampleRate() const;
  virtual void setSampleRate(int rate);
  virtual int getChannelCount() const;
  // 1..kMaxChannels; any other count is refused (false) and nothing changes.
  virtual bool setChannelCount(int channels);
  virtual int getBlockSize() const;
  virtual void setBlockSize(int frames);
  // Brings the processing state to silence; the base has none.
  virtual void clearState();

  // Frames the stream can give for the channel (kAllChannels: for every channel, and the
  // stream's channel count must equal channelCount); 0 when the stream is incompatible
  // (not 32-bit floats, channel out of range).
  virtual int64_t checkStream(podoStream& stream, int channel);
  // As checkStream for the input; both streams must have the same layout and the output room
  // for those frames; 0 otherwise.
  virtual int64_t checkStreams(podoStream& input, podoStream& output, int channel);

  // The processed sample; the base returns x.
  virtual float processSample(float x, int64_t frame, int channel);
  // One whole frame, in place: interleaved (channelCount samples) or planar (a pointer per
  // channel, sample at `offset`).
  virtual void processFrame(float* frame, int64_t index);
  virtual void processFrame(float* const* planar, int64_t offset, int64_t index);
  // One whole frame from input to output; the base copies it.
  virtual void processFrame(const float* input, float* output, int64_t index);
  virtual void processFrame(const float* const* input, float* const* output, int64_t offset,
                            int64_t index);

  // Six forms, one per buffer form: `frames` frames, the first of which has index `first`
  // (handed to processSample / processFrame), for one channel or kAllChannels. Returns the
  // frames processed. A form the processor does not accept is converted for kAllChannels;
  // for a single channel nothing is processed, 0 returned and an error logged.
  virtual int64_t process(float* interleaved, int64_t frames, int64_t first, int channel);
  virtual int64_t process(float* const* planar, int64_t frames, int64_t first, int channel);
  // A stream in place: its stored frames are processed where they are and stay stored.
  virtual int64_t process(podoStream& stream, int64_t frames, int64_t first, int channel);
  virtual int64_t process(const float* input, float* output, int64_t frames, int64_t first,
                          int channel);
  virtual int64_t process(const float* const* input, float* const* output, int64_t frames,
                          int64_t first, int channel);
  // Stream to stream: frames are taken from the input (markAsRead) and appended to the
  // output (markAsWritten).
  virtual int64_t process(podoStream& input, podoStream& output, int64_t frames, int64_t first,
                          int channel);

  // step += the fraction rounded to the nearest whole (halves to even), modulo period;
  // fraction := what is left plus increment.
  virtual void advancePhase(padoPhase& phase, float increment, int period);

 protected:
  bool validChannel(int channel) const { return channel >= 0 && channel < channelCount; }

  virtual void allocateBuffers();
  virtual void freeBuffers();

  // Block loops. Per channel through processSample; per frame through processFrame.
  void channelLoop(const float* const* input, float* const* output, int64_t offset,
                   int64_t frames, int64_t first, int channel);
  void channelLoopInterleaved(const float* input, float* output, int64_t frames, int64_t first,
                              int channel);
  void frameLoop(const float* const* input, float* const* output, int64_t offset,
                 int64_t frames, int64_t first);
  void frameLoopInterleaved(const float* input, float* output, int64_t frames, int64_t first);

  // The converting paths: whole frames, converted through the scratch buffers where the
  // processor does not take the layout. False when it would need buffers it does not have.
  bool convertInterleaved(const float* input, float* output, int64_t frames, int64_t first);
  bool convertPlanar(const float* const* input, float* const* output, int64_t offset,
                     int64_t frames, int64_t first);

  void deinterleave(const float* source, float* const* destinations, int64_t frames) const;
  void interleave(const float* const* sources, float* destination, int64_t frames) const;

  // Logs the refusal of a single channel on a form the processor cannot take alone.
  static void logSingleChannelRefused();

  bool reconfiguring = false;  // set while reset runs
  int sampleRate = 0;          // Hz; 0 until set
  int channelCount = 0;        // 0 until set, then 1..kMaxChannels
  int blockSize = 0;           // frames per scratch block
  std::unique_ptr<float[]> scratchA[kMaxChannels];
  std::unique_ptr<float[]> scratchB[kMaxChannels];
  std::unique_ptr<float[]> interleaveBuffers[2];

 private:
  int64_t processStream(podoStream* input, podoStream& output, int64_t frames, int64_t first,
                        int channel);
};
