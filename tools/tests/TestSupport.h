// Helpers shared by the host's tests: temporary folders, running programs, reading WAV files.
#pragma once

#include <sndfile.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qtest {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
  TempDir()
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorix-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (mkdtemp(buffer.data())) path_ = buffer.data();
  }
  ~TempDir()
  {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string readFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::vector<std::string> readLines(const std::string& path)
{
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Runs a program with arguments (no shell), capturing its output; extra "NAME=value" entries are added
// to the environment; a non-empty folder becomes the program's working folder.
inline RunResult run(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                     const std::string& folder = {})
{
  RunResult r;
  TempDir scratch;
  std::string outPath = scratch / "out", errPath = scratch / "err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // An extra entry replaces the variable of its name (getenv takes the first).
  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    if (std::none_of(env.begin(), env.end(), [&](const std::string& x) { return x.compare(0, name.size(), name) == 0; }))
      envStrings.push_back(entry);
  }
  envStrings.insert(envStrings.end(), env.begin(), env.end());
  std::vector<char*> envp;
  for (auto& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  r.out = readFile(outPath);
  r.err = readFile(errPath);
  return r;
}

struct Wav {
  bool ok = false;
  int rate = 0;
  int channels = 0;
  int format = 0;
  std::vector<float> left, right;
};

inline Wav readWav(const std::string& path)
{
  Wav w;
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) return w;
  w.rate = info.samplerate;
  w.channels = info.channels;
  w.format = info.format;
  std::vector<float> data(size_t(info.frames) * size_t(info.channels));
  sf_count_t got = sf_readf_float(f, data.data(), info.frames);
  sf_close(f);
  for (sf_count_t i = 0; i < got; ++i) {
    w.left.push_back(data[size_t(i) * size_t(info.channels)]);
    w.right.push_back(data[size_t(i) * size_t(info.channels) + (info.channels > 1 ? 1 : 0)]);
  }
  w.ok = got == info.frames;
  return w;
}

}  // namespace qtest
