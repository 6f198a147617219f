// Writes a planned library as bank files: the sample banks, the wavetable categories and the
// patch categories, with a notice of where the sounds came from. Nothing in the folder changes
// unless every file was written: the files go to a staging folder first and replace the old
// library together.
#pragma once

#include "tools/soundfont/LibraryPlan.h"
#include "tools/soundfont/SoundFont.h"

#include <functional>
#include <string>

namespace sfconv {

// Reads a parameter's display text as a normalised value (the engine's reading); false when
// the parameter reads no text.
using TextReader = std::function<bool(int local, bool drum, const std::string &text, float &value)>;

struct WriteSummary {
  int sampleBanks = 0;
  int samples = 0;
  int wavetables = 0;
  int patches = 0;
  int defaultsKept = 0; // texts the reader did not take: those parameters keep their default
};

// The stored values of a planned channel (local ids 17..1,805): the default channel of its
// kind, then its settings. Counts in defaultsKept the texts the reader did not take.
void channelValues(const PlannedChannel &channel, const TextReader &reader, float (&values)[kChannelValues],
                   int &defaultsKept);

// The library's files of one kind carry these names (number, blank, name, extension).
std::string sampleBankName(int bank);

// Writes the library into folder, replacing the bank files (".smp", ".wvt", ".pth") already
// there. notice is the text of the notice file written beside them.
bool writeLibrary(const sf2::SoundFont &sf, const LibraryPlan &plan, const std::string &folder, const TextReader &reader,
                  const std::string &notice, WriteSummary &summary, std::string &error);

// The name of the notice file.
inline constexpr const char *kNoticeFileName = "Factory Library.txt";

} // namespace sfconv
