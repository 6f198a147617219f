// Makes the factory sound library from a SoundFont 2 file: the General MIDI programs, drum kits
// and setup as patch categories, with their wavetables and sample banks.
// Usage: quorix-sf2 [--notice FILE] SOUNDFONT.sf2 FOLDER
// A SoundFont that does not read writes nothing; FILE (a licence text) is copied into the
// notice that goes with the library.
#include "tools/soundfont/EngineText.h"
#include "tools/soundfont/GmLibrary.h"
#include "tools/soundfont/LibraryWriter.h"
#include "tools/soundfont/SoundFont.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

int usage()
{
  std::fprintf(stderr, "usage: quorix-sf2 [--notice FILE] SOUNDFONT.sf2 FOLDER\n");
  return 2;
}

std::string noticeText(const sf2::SoundFont &sf, const std::string &path, const std::string &licence)
{
  std::ostringstream out;
  out << "Factory sound library\n\n";
  out << "Made by quorix-sf2 from the SoundFont \"" << sf.info.name << "\" ("
      << std::filesystem::path(path).filename().string() << ").\n";
  if (!sf.info.copyright.empty()) out << "Copyright: " << sf.info.copyright << "\n";
  if (!sf.info.engineers.empty()) out << "Sound designers: " << sf.info.engineers << "\n";
  if (!sf.info.comment.empty()) out << "\n" << sf.info.comment << "\n";
  if (!licence.empty()) out << "\n" << licence << (licence.back() == '\n' ? "" : "\n");
  return out.str();
}

} // namespace

int main(int argc, char **argv)
{
  std::string noticeFile;
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "--notice") == 0) {
    noticeFile = argv[2];
    first = 3;
  }
  if (argc - first != 2) return usage();
  const std::string source = argv[first], folder = argv[first + 1];

  std::string licence;
  if (!noticeFile.empty()) {
    std::ifstream in(noticeFile);
    if (!in) {
      std::fprintf(stderr, "quorix-sf2: %s: cannot be read\n", noticeFile.c_str());
      return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    licence = text.str();
  }

  sf2::SoundFont sf;
  std::string error;
  if (!sf2::loadSoundFont(source, sf, error)) {
    std::fprintf(stderr, "quorix-sf2: %s\n", error.c_str());
    return 1;
  }
  sfconv::LibraryPlan plan = sfconv::planGmLibrary(sf);
  for (const std::string &note : plan.notes) std::printf("quorix-sf2: %s\n", note.c_str());

  sfconv::WriteSummary summary;
  if (!sfconv::writeLibrary(sf, plan, folder, sfconv::engineValueFromText, noticeText(sf, source, licence), summary,
                            error)) {
    std::fprintf(stderr, "quorix-sf2: %s\n", error.c_str());
    return 1;
  }
  std::printf("quorix-sf2: %d samples in %d banks, %d wavetables and %d patches written to %s\n", summary.samples,
              summary.sampleBanks, summary.wavetables, summary.patches, folder.c_str());
  if (summary.defaultsKept > 0)
    std::printf("quorix-sf2: %d values keep their defaults: the engine read no value from their text\n",
                summary.defaultsKept);
  return 0;
}
