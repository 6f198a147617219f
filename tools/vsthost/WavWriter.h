// Stereo WAV files through libsndfile.
#pragma once

#include <cstdint>
#include <string>

namespace qhost {

enum class SampleFormat { Pcm16, Pcm24, Float32 };

class WavWriter {
public:
  WavWriter() = default;
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Creates (or replaces) the file; false with error() when it cannot be written.
  bool open(const std::string& path, int sampleRate, SampleFormat format);
  // Appends frames of a stereo pair.
  bool write(const float* left, const float* right, int32_t frames);
  // Finishes the header; false when the file could not be completed.
  bool close();
  const std::string& error() const { return error_; }
  bool isOpen() const { return file_ != nullptr; }

private:
  void* file_ = nullptr;  // SNDFILE*
  std::string error_;
  float interleaved_[2 * 1024];
};

}  // namespace qhost
