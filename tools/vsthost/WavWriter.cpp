#include "tools/vsthost/WavWriter.h"

#include <sndfile.h>

#include <algorithm>

namespace qhost {

WavWriter::~WavWriter() { close(); }

bool WavWriter::open(const std::string& path, int sampleRate, SampleFormat format)
{
  close();
  error_.clear();
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | (format == SampleFormat::Pcm16   ? SF_FORMAT_PCM_16
                                 : format == SampleFormat::Pcm24 ? SF_FORMAT_PCM_24
                                                                 : SF_FORMAT_FLOAT);
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) {
    error_ = sf_strerror(nullptr);
    return false;
  }
  if (format != SampleFormat::Float32) sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  file_ = file;
  return true;
}

bool WavWriter::write(const float* left, const float* right, int32_t frames)
{
  auto* file = static_cast<SNDFILE*>(file_);
  if (!file) return false;
  while (frames > 0) {
    int32_t n = std::min<int32_t>(frames, 1024);
    for (int32_t i = 0; i < n; ++i) {
      interleaved_[2 * i] = left[i];
      interleaved_[2 * i + 1] = right[i];
    }
    if (sf_writef_float(file, interleaved_, n) != n) {
      error_ = sf_strerror(file);
      return false;
    }
    left += n;
    right += n;
    frames -= n;
  }
  return true;
}

bool WavWriter::close()
{
  auto* file = static_cast<SNDFILE*>(file_);
  if (!file) return true;
  file_ = nullptr;
  sf_write_sync(file);
  int rc = sf_close(file);
  if (rc != 0) {
    error_ = sf_error_number(rc);
    return false;
  }
  return true;
}

}  // namespace qhost
