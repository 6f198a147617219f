#include "tools/vsthost/WavWriter.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace qhost {

WavWriter::~WavWriter() { discard(); }

bool WavWriter::open(const std::string& path, int sampleRate, SampleFormat format)
{
  discard();
  error_.clear();
  clipped_ = 0;
  integer_ = format != SampleFormat::Float32;
  // A hidden name in the destination's own folder, so the final rename never crosses file systems.
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string pattern = folder + "." + name + ".XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back(0);
  int fd = mkstemp(buffer.data());
  if (fd < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  // mkstemp makes the file private; give it the permissions a newly created file would have.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | (format == SampleFormat::Pcm16   ? SF_FORMAT_PCM_16
                                 : format == SampleFormat::Pcm24 ? SF_FORMAT_PCM_24
                                                                 : SF_FORMAT_FLOAT);
  SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (!file) {
    error_ = sf_strerror(nullptr);
    ::close(fd);
    unlink(buffer.data());
    return false;
  }
  if (integer_) sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  interleaved_.assign(2 * size_t(bufferFrames), 0.0f);
  buffered_ = 0;
  file_ = file;
  path_ = path;
  temporary_ = buffer.data();
  return true;
}

bool WavWriter::write(const float* left, const float* right, int32_t frames)
{
  if (!file_) return false;
  while (frames > 0) {
    int32_t n = std::min(frames, bufferFrames - buffered_);
    float* out = interleaved_.data() + 2 * size_t(buffered_);
    for (int32_t i = 0; i < n; ++i) {
      out[2 * i] = left[i];
      out[2 * i + 1] = right[i];
    }
    if (integer_)
      for (int32_t i = 0; i < 2 * n; ++i) clipped_ += std::fabs(out[i]) > 1.0f;
    buffered_ += n;
    if (buffered_ == bufferFrames && !flush()) return false;
    left += n;
    right += n;
    frames -= n;
  }
  return true;
}

bool WavWriter::flush()
{
  auto* file = static_cast<SNDFILE*>(file_);
  if (!file) return false;
  const int32_t n = buffered_;
  buffered_ = 0;
  if (n > 0 && sf_writef_float(file, interleaved_.data(), n) != n) {
    error_ = sf_strerror(file);
    return false;
  }
  return true;
}

bool WavWriter::close()
{
  auto* file = static_cast<SNDFILE*>(file_);
  if (!file) return true;
  if (!flush()) {
    discard();
    return false;
  }
  file_ = nullptr;
  sf_write_sync(file);
  int rc = sf_close(file);
  if (rc != 0) {
    error_ = sf_error_number(rc);
    unlink(temporary_.c_str());
    temporary_.clear();
    return false;
  }
  if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
    error_ = std::strerror(errno);
    unlink(temporary_.c_str());
    temporary_.clear();
    return false;
  }
  temporary_.clear();
  return true;
}

void WavWriter::discard()
{
  if (auto* file = static_cast<SNDFILE*>(file_)) sf_close(file);
  file_ = nullptr;
  buffered_ = 0;
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace qhost
