// Writes small SoundFont files for the tests: samples, instruments and presets with their zones
// and generators, laid out as the file format lays them out. Tests damage the bytes afterwards
// through chunkOffset.
#pragma once

#include "tools/soundfont/SoundFont.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace sftest {

struct Gen {
  uint16_t oper;
  uint16_t amount;
};
inline Gen gen(int oper, int amount) { return {uint16_t(oper), uint16_t(int16_t(amount))}; }
inline Gen range(int oper, int low, int high) { return {uint16_t(oper), uint16_t(low | high << 8)}; }

struct FixtureSample {
  std::string name = "sample";
  std::vector<int16_t> data;
  uint32_t loopStart = 0; // relative to the sample's first value
  uint32_t loopEnd = 0;
  uint32_t rate = 44100;
  uint8_t pitch = 60;
  int8_t correction = 0;
  uint16_t link = 0;
  uint16_t type = sf2::monoSample;
};

// A zone lists its generators as they stand in the file, the terminal one included.
struct FixtureZone {
  std::vector<Gen> gens;
};

struct FixtureInstrument {
  std::string name = "instrument";
  std::vector<FixtureZone> zones;
};

struct FixturePreset {
  std::string name = "preset";
  int program = 0;
  int bank = 0;
  std::vector<FixtureZone> zones;
};

class Sf2Fixture
{
public:
  std::string title = "Fixture";
  std::string copyright = "Public Domain";
  uint16_t versionMajor = 2;
  bool padOddChunks = true;
  std::string strayBytesIn; // a chunk that gets two more bytes than its records fill
  std::vector<FixtureSample> samples;
  std::vector<FixtureInstrument> instruments;
  std::vector<FixturePreset> presets;

  int addSample(FixtureSample s)
  {
    samples.push_back(std::move(s));
    return int(samples.size() - 1);
  }
  int addInstrument(FixtureInstrument i)
  {
    instruments.push_back(std::move(i));
    return int(instruments.size() - 1);
  }
  void addPreset(FixturePreset p) { presets.push_back(std::move(p)); }

  // One instrument zone playing a sample over keys, with extra generators before the sampleID.
  static FixtureZone sampleZone(int sample, int low, int high, std::vector<Gen> extra = {})
  {
    FixtureZone z;
    z.gens.push_back(range(sf2::keyRange, low, high));
    z.gens.insert(z.gens.end(), extra.begin(), extra.end());
    z.gens.push_back(gen(sf2::sampleID, sample));
    return z;
  }
  static FixtureZone instrumentZone(int instrument, std::vector<Gen> extra = {})
  {
    FixtureZone z = {extra};
    z.gens.push_back(gen(sf2::instrument, instrument));
    return z;
  }

  std::vector<uint8_t> bytes() const
  {
    std::vector<uint8_t> info;
    chunk(info, "ifil", [&](auto &b) { le16(b, versionMajor), le16(b, 1); });
    chunk(info, "INAM", [&](auto &b) { text(b, title); });
    chunk(info, "ICOP", [&](auto &b) { text(b, copyright); });

    std::vector<uint32_t> starts;
    std::vector<uint8_t> sdta;
    chunk(sdta, "smpl", [&](auto &b) {
      uint32_t at = 0;
      for (const auto &s : samples) {
        starts.push_back(at);
        for (int16_t v : s.data) le16(b, uint16_t(v));
        for (int i = 0; i < 46; ++i) le16(b, 0); // the gap the format asks between samples
        at += uint32_t(s.data.size()) + 46;
      }
    });

    std::vector<uint8_t> pdta;
    std::vector<std::pair<uint16_t, uint16_t>> pbags, ibags;
    std::vector<Gen> pgens, igens;
    auto zones = [](const std::vector<FixtureZone> &list, std::vector<std::pair<uint16_t, uint16_t>> &bags,
                    std::vector<Gen> &gens) {
      for (const auto &z : list) {
        bags.push_back({uint16_t(gens.size()), 0});
        gens.insert(gens.end(), z.gens.begin(), z.gens.end());
      }
    };
    std::vector<uint16_t> presetBags, instrumentBags;
    for (const auto &p : presets) presetBags.push_back(uint16_t(pbags.size())), zones(p.zones, pbags, pgens);
    for (const auto &i : instruments) instrumentBags.push_back(uint16_t(ibags.size())), zones(i.zones, ibags, igens);

    chunk(pdta, "phdr", [&](auto &b) {
      for (size_t i = 0; i <= presets.size(); ++i) {
        bool end = i == presets.size();
        name(b, end ? "EOP" : presets[i].name);
        le16(b, end ? 0 : presets[i].program);
        le16(b, end ? 0 : presets[i].bank);
        le16(b, end ? uint16_t(pbags.size()) : presetBags[i]);
        for (int k = 0; k < 3; ++k) le32(b, 0);
      }
    });
    bagChunk(pdta, "pbag", pbags, pgens.size());
    chunk(pdta, "pmod", [&](auto &b) { b.resize(b.size() + 10, 0); });
    genChunk(pdta, "pgen", pgens);
    chunk(pdta, "inst", [&](auto &b) {
      for (size_t i = 0; i <= instruments.size(); ++i) {
        bool end = i == instruments.size();
        name(b, end ? "EOI" : instruments[i].name);
        le16(b, end ? uint16_t(ibags.size()) : instrumentBags[i]);
      }
    });
    bagChunk(pdta, "ibag", ibags, igens.size());
    chunk(pdta, "imod", [&](auto &b) { b.resize(b.size() + 10, 0); });
    genChunk(pdta, "igen", igens);
    chunk(pdta, "shdr", [&](auto &b) {
      for (size_t i = 0; i <= samples.size(); ++i) {
        bool end = i == samples.size();
        FixtureSample s;
        if (end)
          s.name = "EOS";
        else
          s = samples[i];
        uint32_t at = end ? 0 : starts[i];
        name(b, s.name);
        le32(b, at);
        le32(b, end ? 0 : at + uint32_t(s.data.size()));
        le32(b, end ? 0 : at + s.loopStart);
        le32(b, end ? 0 : at + s.loopEnd);
        le32(b, end ? 0 : s.rate);
        b.push_back(s.pitch);
        b.push_back(uint8_t(s.correction));
        le16(b, s.link);
        le16(b, end ? 0 : s.type);
      }
    });

    std::vector<uint8_t> body;
    for (char c : std::string("sfbk")) body.push_back(uint8_t(c));
    list(body, "INFO", info);
    list(body, "sdta", sdta);
    list(body, "pdta", pdta);
    std::vector<uint8_t> file;
    for (char c : std::string("RIFF")) file.push_back(uint8_t(c));
    le32(file, uint32_t(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
  }

private:
  static void le16(std::vector<uint8_t> &b, uint16_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
  static void le32(std::vector<uint8_t> &b, uint32_t v) { le16(b, uint16_t(v)), le16(b, uint16_t(v >> 16)); }
  static void name(std::vector<uint8_t> &b, const std::string &s)
  {
    for (size_t i = 0; i < 20; ++i) b.push_back(i < s.size() ? uint8_t(s[i]) : 0);
  }
  static void text(std::vector<uint8_t> &b, const std::string &s)
  {
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
  }
  template <class F> void chunk(std::vector<uint8_t> &out, const char *id, F fill) const
  {
    std::vector<uint8_t> body;
    fill(body);
    if (strayBytesIn == id) body.resize(body.size() + 2, 0);
    out.insert(out.end(), id, id + 4);
    le32(out, uint32_t(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if ((body.size() & 1) && padOddChunks) out.push_back(0);
  }
  void list(std::vector<uint8_t> &out, const char *type, const std::vector<uint8_t> &content) const
  {
    chunk(out, "LIST", [&](auto &b) {
      b.insert(b.end(), type, type + 4);
      b.insert(b.end(), content.begin(), content.end());
    });
  }
  void bagChunk(std::vector<uint8_t> &out, const char *id, const std::vector<std::pair<uint16_t, uint16_t>> &bags,
                size_t genCount) const
  {
    chunk(out, id, [&](auto &b) {
      for (auto [g, m] : bags) le16(b, g), le16(b, m);
      le16(b, uint16_t(genCount)), le16(b, 0);
    });
  }
  void genChunk(std::vector<uint8_t> &out, const char *id, const std::vector<Gen> &gens) const
  {
    chunk(out, id, [&](auto &b) {
      for (Gen g : gens) le16(b, g.oper), le16(b, g.amount);
      le32(b, 0);
    });
  }
};

// Offset of the first chunk with this id (its id bytes), or npos.
inline size_t chunkOffset(const std::vector<uint8_t> &bytes, const char *id)
{
  for (size_t i = 12; i + 8 <= bytes.size(); ++i)
    if (std::memcmp(bytes.data() + i, id, 4) == 0) return i;
  return std::string::npos;
}

inline void putLe16(std::vector<uint8_t> &bytes, size_t at, uint16_t v) { bytes[at] = uint8_t(v), bytes[at + 1] = uint8_t(v >> 8); }
inline void putLe32(std::vector<uint8_t> &bytes, size_t at, uint32_t v)
{
  putLe16(bytes, at, uint16_t(v)), putLe16(bytes, at + 2, uint16_t(v >> 16));
}

// A ramp of n values.
inline std::vector<int16_t> ramp(int n, int step = 100)
{
  std::vector<int16_t> v(n);
  for (int i = 0; i < n; ++i) v[i] = int16_t(i * step);
  return v;
}

} // namespace sftest
