#include "tools/soundfont/LibraryWriter.h"

#include "banks/PatchBanks.h"
#include "banks/SampleBanks.h"
#include "banks/Wavetables.h"
#include "engine/DefaultProgram.h"
#include "engine/ParameterIndex.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace sfconv {
namespace {

namespace fs = std::filesystem;

constexpr const char *kBankExtensions[] = {".smp", ".wvt", ".pth"};

// The default program, built once: its channel 1 is the default melody channel, its channel
// 10 the default drum kit, and its values 9..16 the system effects a patch carries.
const ProgramBlock &defaultProgram()
{
  static const std::unique_ptr<ProgramBlock> block = [] {
    auto b = std::make_unique<ProgramBlock>();
    engine::fillDefaultProgram(*b);
    return b;
  }();
  return *block;
}

float readText(const TextReader &reader, int local, bool drum, const std::string &text, bool &read)
{
  float v = 0.0f;
  read = reader && reader(local, drum, text, v) && std::isfinite(v);
  return std::clamp(v, 0.0f, 1.0f);
}

void copyName(char (&field)[banks::kNameSize], const std::string &name)
{
  std::memset(field, 0, sizeof field);
  std::memcpy(field, name.data(), std::min(name.size(), sizeof field - 1));
}

std::string stem(int number, const std::string &name)
{
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%03d %s", number, name.c_str());
  return buffer;
}

} // namespace

void channelValues(const PlannedChannel &channel, const TextReader &reader, float (&values)[kChannelValues],
                   int &defaultsKept)
{
  const ProgramBlock &defaults = defaultProgram();
  const int source = channel.drum ? 9 : 0;
  for (int i = 0; i < kChannelValues; ++i) values[i] = defaults.values[engine::parameterIndex(source, kFirstLocal + i)];
  for (const Setting &s : channel.settings) {
    if (s.local < kFirstLocal || s.local >= kFirstLocal + kChannelValues) continue;
    float &slot = values[s.local - kFirstLocal];
    bool read = true;
    float v = slot;
    switch (s.kind) {
    case Setting::Kind::value:
      v = std::clamp(s.value, 0.0f, 1.0f);
      break;
    case Setting::Kind::text:
      v = readText(reader, s.local, channel.drum, s.text, read);
      break;
    case Setting::Kind::cutoffSpan: {
      // The distance between two cutoffs on the engine's own cutoff scale, as a centred amount.
      bool baseRead = false, movedRead = false;
      float base = readText(reader, engine::local::FilterCutoff, channel.drum, s.text, baseRead);
      float moved = readText(reader, engine::local::FilterCutoff, channel.drum, s.target, movedRead);
      char amount[32];
      std::snprintf(amount, sizeof amount, "%.1f", (moved - base) * 100.0);
      v = readText(reader, s.local, channel.drum, amount, read);
      read = read && baseRead && movedRead;
      break;
    }
    }
    if (read)
      slot = v;
    else
      ++defaultsKept;
  }
}

std::string sampleBankName(int bank) { return bank == 0 ? "GM Samples" : "GM Samples " + std::to_string(bank + 1); }

bool writeLibrary(const sf2::SoundFont &sf, const LibraryPlan &plan, const std::string &folder, const TextReader &reader,
                  const std::string &notice, WriteSummary &summary, std::string &error)
{
  summary = WriteSummary();
  std::error_code ec;
  const fs::path target(folder);
  fs::create_directories(target, ec);
  const fs::path staging = target / ".factory-library.new";
  fs::remove_all(staging, ec);
  if (!fs::create_directories(staging, ec)) {
    error = "cannot create " + staging.string();
    return false;
  }
  auto fail = [&](const std::string &what) {
    error = what;
    fs::remove_all(staging, ec);
    return false;
  };
  const podoStr stagingText((staging.string() + "/").c_str());
  const uint8_t mark = banks::machineByteOrderMark();

  // Sample banks of at most 1,024 samples.
  for (int bank = 0; bank < plan.sampleBankCount(); ++bank) {
    size_t first = size_t(bank) * kSamplesPerBank, last = std::min(plan.takes.size(), first + kSamplesPerBank);
    std::vector<TakeData> data;
    std::vector<banks::SampleSource> sources;
    data.reserve(last - first);
    for (size_t t = first; t < last; ++t) data.push_back(renderTake(sf, plan.takes[t]));
    for (const TakeData &d : data) sources.push_back({d.rate, d.loopStart, d.values.data(), int32_t(d.values.size())});
    if (!banks::writeSampleBank(stagingText, bank, sampleBankName(bank).c_str(), sources.data(), int32_t(sources.size()), mark))
      return fail("cannot write the sample bank " + sampleBankName(bank));
    ++summary.sampleBanks;
    summary.samples += int(sources.size());
  }

  // Wavetable categories; a zone names its sample by bank number and index.
  for (const PlannedWavetableCategory &category : plan.wavetableCategories) {
    std::vector<std::vector<KeyZone>> zones;
    std::vector<banks::WavetableSource> sources;
    for (const PlannedWavetable &table : category.wavetables) {
      std::vector<KeyZone> list;
      for (const PlannedZone &z : table.zones)
        list.push_back({int16_t(z.take / kSamplesPerBank), int16_t(z.take % kSamplesPerBank), int16_t(z.rootKey),
                        int16_t(z.upperKey)});
      zones.push_back(std::move(list));
    }
    for (size_t i = 0; i < category.wavetables.size(); ++i)
      sources.push_back({category.wavetables[i].name.c_str(), category.wavetables[i].keyFollow, zones[i].data(),
                         int16_t(zones[i].size())});
    if (!banks::writeWavetableCategory(stagingText, category.number, category.name.c_str(), category.drum,
                                       sources.data(), int32_t(sources.size()), mark))
      return fail("cannot write the wavetable category " + stem(category.number, category.name));
    summary.wavetables += int(sources.size());
  }

  // Patch categories: every channel starts from the default channel of its kind; every patch
  // carries the default system effects and no tempo.
  const ProgramBlock &defaults = defaultProgram();
  for (const PlannedPatchCategory &planned : plan.patchCategories) {
    std::vector<std::vector<ChannelProgram>> channels;
    std::vector<std::vector<float>> globals;
    std::vector<PatchRecord> patches;
    for (const PlannedPatch &p : planned.patches) {
      std::vector<ChannelProgram> list(p.channels.size());
      for (size_t c = 0; c < p.channels.size(); ++c) {
        copyName(list[c].name, p.channels[c].name);
        list[c].numValues = kChannelValues;
        channelValues(p.channels[c], reader, list[c].values, summary.defaultsKept);
      }
      channels.push_back(std::move(list));
      std::vector<float> g;
      for (int i = engine::master::ChorusFirst; i < engine::master::ChorusFirst + 8; ++i) {
        const float v = defaults.values[i]; // a packed field: copied, never referenced
        g.push_back(v);
      }
      g.push_back(0.0f);
      globals.push_back(std::move(g));
    }
    for (size_t i = 0; i < planned.patches.size(); ++i) {
      PatchRecord r{};
      copyName(r.name, planned.patches[i].name);
      r.colour = channels[i].size() > 1 ? 2 : 1;
      r.numChannels = int16_t(channels[i].size());
      r.channels = channels[i].data();
      r.numGlobalValues = int32_t(globals[i].size());
      r.globals = globals[i].data();
      patches.push_back(r);
    }
    PatchCategory category{};
    category.number = planned.number;
    copyName(category.name, planned.name);
    category.type = banks::factoryCategoryType(planned.number);
    category.numPatches = int32_t(patches.size());
    category.patchCapacity = int32_t(patches.size());
    category.patches = patches.data();
    if (!banks::writePatchFile(stagingText, category, mark))
      return fail("cannot write the patch category " + stem(planned.number, planned.name));
    summary.patches += int(patches.size());
  }

  {
    std::ofstream out(staging / kNoticeFileName);
    out << notice;
    if (!out.good()) return fail(std::string("cannot write ") + kNoticeFileName);
  }

  // Every file is in place: the old library goes and the new one takes its place.
  std::vector<fs::path> old, fresh;
  for (const auto &entry : fs::directory_iterator(target, ec)) {
    std::string ext = entry.path().extension().string();
    if (entry.is_regular_file() && std::find(std::begin(kBankExtensions), std::end(kBankExtensions), ext) != std::end(kBankExtensions))
      old.push_back(entry.path());
  }
  for (const auto &entry : fs::directory_iterator(staging, ec)) fresh.push_back(entry.path());
  for (const fs::path &p : old) fs::remove(p, ec);
  for (const fs::path &p : fresh) {
    fs::rename(p, target / p.filename(), ec);
    if (ec) return fail("cannot move " + p.filename().string() + " into " + target.string());
  }
  fs::remove_all(staging, ec);
  return true;
}

} // namespace sfconv
