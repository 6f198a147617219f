// Stereo WAV files through libsndfile.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qhost {

enum class SampleFormat { Pcm16, Pcm24, Float32 };

// Writes into a temporary file beside the destination and renames it over the destination only when
// the whole file is finished, so a failed or interrupted render never harms an existing file.
class WavWriter {
public:
  WavWriter() = default;
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Creates the temporary file; false with error() when the destination's folder cannot be written.
  bool open(const std::string& path, int sampleRate, SampleFormat format);
  // Appends frames of a stereo pair. Samples beyond full scale are counted in a 16- or 24-bit file.
  // Frames are gathered and reach the file in large writes: one per host block would cost a
  // long render more than the plug-in playing silence.
  bool write(const float* left, const float* right, int32_t frames);
  // Writes what write() gathered; false with error() when the file refuses it.
  bool flush();
  // Finishes the file and puts it in place of the destination; false when it could not be completed
  // (the destination is then untouched).
  bool close();
  // Throws the temporary file away; the destination is untouched.
  void discard();
  const std::string& error() const { return error_; }
  bool isOpen() const { return file_ != nullptr; }
  int64_t clippedSamples() const { return clipped_; }
  const std::string& temporaryPath() const { return temporary_; }

private:
  static constexpr int32_t bufferFrames = 8192;

  void* file_ = nullptr;  // SNDFILE*
  std::string path_, temporary_;
  std::string error_;
  bool integer_ = false;
  int64_t clipped_ = 0;
  std::vector<float> interleaved_;  // bufferFrames stereo frames
  int32_t buffered_ = 0;            // frames in interleaved_ not yet written
};

}  // namespace qhost
