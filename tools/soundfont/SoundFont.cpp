#include "tools/soundfont/SoundFont.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace sf2 {
namespace {

constexpr uint32_t fourcc(const char (&s)[5])
{
  return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 | uint32_t(uint8_t(s[2])) << 8 |
         uint32_t(uint8_t(s[3]));
}

uint16_t le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint32_t be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]); }

std::string idText(uint32_t id)
{
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) {
    char c = char((id >> shift) & 0xFF);
    s += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return s;
}

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *fmt, ...)
{
  char buffer[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buffer, sizeof buffer, fmt, args);
  va_end(args);
  return buffer;
}

// A fixed text field or a text chunk: up to the first NUL, never past size.
std::string fixedText(const uint8_t *p, size_t size)
{
  size_t n = 0;
  while (n < size && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char *>(p), n);
}

struct Chunk {
  uint32_t id = 0;
  const uint8_t *data = nullptr;
  size_t size = 0;
};

bool printableId(const uint8_t *p)
{
  for (int i = 0; i < 4; ++i)
    if (p[i] < 0x20 || p[i] > 0x7E) return false;
  return true;
}

// Walks the chunks inside one parent. A chunk of odd size is followed by a pad byte, but some
// writers leave it out: when the byte after the chunk starts a plausible chunk id and the byte
// after that does not, the pad is taken as missing.
class ChunkWalker
{
public:
  ChunkWalker(const uint8_t *data, size_t size, const char *parent) : base(data), end(size), parent(parent) {}

  // False at the end; false with error set on a damaged chunk.
  bool next(Chunk &chunk, std::string &error)
  {
    if (pos >= end) return false;
    if (end - pos < 8) {
      error = format("%zu stray bytes at the end of '%s'", end - pos, parent);
      return false;
    }
    const uint8_t *head = base + pos;
    uint32_t size = le32(head + 4);
    if (size > end - pos - 8) {
      error = format("chunk '%s' of %u bytes runs past the end of '%s'", idText(be32(head)).c_str(), size, parent);
      return false;
    }
    chunk.id = be32(head);
    chunk.data = head + 8;
    chunk.size = size;
    size_t after = pos + 8 + size;
    if ((size & 1) && after < end) {
      bool padMissing = end - after >= 5 && printableId(base + after) && !printableId(base + after + 1);
      if (!padMissing) ++after;
    }
    pos = after;
    return true;
  }

private:
  const uint8_t *base;
  size_t end;
  size_t pos = 0;
  const char *parent;
};

// The records of one table chunk of the preset data.
struct Table {
  const uint8_t *data = nullptr;
  size_t count = 0;
  const uint8_t *at(size_t i) const { return data + i * recordSize; }
  size_t recordSize = 0;
};

bool table(const Chunk &chunk, size_t recordSize, size_t minimum, const char *name, Table &out, std::string &error)
{
  if (chunk.data == nullptr) {
    error = format("the preset data has no '%s' chunk", name);
    return false;
  }
  if (chunk.size % recordSize != 0) {
    error = format("'%s' holds %zu bytes, not a whole number of %zu-byte records", name, chunk.size, recordSize);
    return false;
  }
  out.data = chunk.data;
  out.recordSize = recordSize;
  out.count = chunk.size / recordSize;
  if (out.count < minimum) {
    error = format("'%s' holds %zu records; it needs at least %zu", name, out.count, minimum);
    return false;
  }
  return true;
}

// Zones of presets or instruments: the header table names a run of bags, each bag a run of
// generators and modulators. Every run is checked to lie within its table before it is used.
struct ZoneTables {
  Table headers;
  size_t bagOffset = 0; // offset of the bag index within a header record
  Table bags;
  Table mods;
  Table gens;
  const char *kind = "";
  int terminal = 0;     // instrument or sampleID
  size_t targetCount = 0;
};

bool checkRuns(const ZoneTables &t, std::string &error)
{
  for (size_t i = 0; i + 1 < t.headers.count; ++i) {
    size_t first = le16(t.headers.at(i) + t.bagOffset), next = le16(t.headers.at(i + 1) + t.bagOffset);
    if (next < first) {
      error = format("%s %zu: its zone list runs backwards (%zu after %zu)", t.kind, i, next, first);
      return false;
    }
  }
  size_t lastBag = le16(t.headers.at(t.headers.count - 1) + t.bagOffset);
  if (lastBag >= t.bags.count) {
    error = format("%s zones end at bag %zu of %zu", t.kind, lastBag, t.bags.count);
    return false;
  }
  for (size_t b = 0; b + 1 < t.bags.count; ++b) {
    const uint8_t *bag = t.bags.at(b), *nextBag = t.bags.at(b + 1);
    if (le16(nextBag) < le16(bag) || le16(nextBag + 2) < le16(bag + 2)) {
      error = format("%s bag %zu: its generator or modulator list runs backwards", t.kind, b);
      return false;
    }
  }
  const uint8_t *lastEntry = t.bags.at(t.bags.count - 1);
  if (le16(lastEntry) > t.gens.count || le16(lastEntry + 2) > t.mods.count) {
    error = format("%s bags name generators up to %u of %zu and modulators up to %u of %zu", t.kind, le16(lastEntry),
                   t.gens.count, le16(lastEntry + 2), t.mods.count);
    return false;
  }
  return true;
}

// The zones of header i. The first zone without its terminal generator is the global zone;
// any later one is ignored, as are generators after the terminal one.
bool readZones(const ZoneTables &t, size_t i, const char *owner, GeneratorSet &global, std::vector<Zone> &zones,
               std::string &error)
{
  size_t first = le16(t.headers.at(i) + t.bagOffset), next = le16(t.headers.at(i + 1) + t.bagOffset);
  for (size_t b = first; b < next; ++b) {
    Zone zone;
    bool terminated = false;
    size_t g0 = le16(t.bags.at(b)), g1 = le16(t.bags.at(b + 1));
    for (size_t g = g0; g < g1 && !terminated; ++g) {
      uint16_t oper = le16(t.gens.at(g)), amount = le16(t.gens.at(g) + 2);
      if (oper >= generatorCount) continue;
      if (oper == t.terminal) {
        if (amount >= t.targetCount) {
          error = format("%s '%s' zone %zu names %s %u of %zu", t.kind, owner, b - first,
                         t.terminal == instrument ? "instrument" : "sample", amount, t.targetCount);
          return false;
        }
        zone.target = amount;
        terminated = true;
      } else {
        zone.generators.set(oper, amount);
      }
    }
    if (terminated)
      zones.push_back(zone);
    else if (b == first)
      global = zone.generators;
  }
  return true;
}

bool readInfo(const Chunk &list, InfoTexts &info, std::string &error)
{
  ChunkWalker walker(list.data + 4, list.size - 4, "INFO");
  Chunk c;
  while (walker.next(c, error)) {
    size_t size = std::min<size_t>(c.size, 65536);
    switch (c.id) {
    case fourcc("ifil"):
      if (c.size < 4) {
        error = "the version chunk 'ifil' is shorter than 4 bytes";
        return false;
      }
      info.versionMajor = le16(c.data);
      info.versionMinor = le16(c.data + 2);
      break;
    case fourcc("INAM"): info.name = fixedText(c.data, size); break;
    case fourcc("isng"): info.engine = fixedText(c.data, size); break;
    case fourcc("ICOP"): info.copyright = fixedText(c.data, size); break;
    case fourcc("ICMT"): info.comment = fixedText(c.data, size); break;
    case fourcc("IENG"): info.engineers = fixedText(c.data, size); break;
    case fourcc("IPRD"): info.product = fixedText(c.data, size); break;
    case fourcc("ICRD"): info.date = fixedText(c.data, size); break;
    case fourcc("ISFT"): info.software = fixedText(c.data, size); break;
    default: break;
    }
  }
  return error.empty();
}

bool readSamples(const Chunk &list, SoundFont &sf, std::string &error)
{
  ChunkWalker walker(list.data + 4, list.size - 4, "sdta");
  Chunk c;
  bool found = false;
  while (walker.next(c, error)) {
    if (c.id != fourcc("smpl") || found) continue;
    found = true;
    size_t count = c.size / 2; // an odd last byte is no sample
    sf.sampleData.resize(count);
    for (size_t i = 0; i < count; ++i) sf.sampleData[i] = int16_t(le16(c.data + 2 * i));
  }
  if (!error.empty()) return false;
  if (!found) {
    error = "the sample data has no 'smpl' chunk";
    return false;
  }
  return true;
}

bool readPresetData(const Chunk &list, SoundFont &sf, std::string &error)
{
  Chunk phdr, pbag, pmod, pgen, inst, ibag, imod, igen, shdr;
  ChunkWalker walker(list.data + 4, list.size - 4, "pdta");
  Chunk c;
  while (walker.next(c, error)) {
    Chunk *slot = nullptr;
    switch (c.id) {
    case fourcc("phdr"): slot = &phdr; break;
    case fourcc("pbag"): slot = &pbag; break;
    case fourcc("pmod"): slot = &pmod; break;
    case fourcc("pgen"): slot = &pgen; break;
    case fourcc("inst"): slot = &inst; break;
    case fourcc("ibag"): slot = &ibag; break;
    case fourcc("imod"): slot = &imod; break;
    case fourcc("igen"): slot = &igen; break;
    case fourcc("shdr"): slot = &shdr; break;
    default: break;
    }
    if (slot && !slot->data) *slot = c;
  }
  if (!error.empty()) return false;

  ZoneTables presets, instruments;
  Table samples;
  // Each table ends with a terminal record; the bag tables need it to close the last zone.
  if (!table(phdr, 38, 2, "phdr", presets.headers, error) || !table(pbag, 4, 1, "pbag", presets.bags, error) ||
      !table(pmod, 10, 0, "pmod", presets.mods, error) || !table(pgen, 4, 0, "pgen", presets.gens, error) ||
      !table(inst, 22, 2, "inst", instruments.headers, error) || !table(ibag, 4, 1, "ibag", instruments.bags, error) ||
      !table(imod, 10, 0, "imod", instruments.mods, error) || !table(igen, 4, 0, "igen", instruments.gens, error) ||
      !table(shdr, 46, 1, "shdr", samples, error))
    return false;

  presets.bagOffset = 24;
  presets.kind = "preset";
  presets.terminal = instrument;
  presets.targetCount = instruments.headers.count - 1;
  instruments.bagOffset = 20;
  instruments.kind = "instrument";
  instruments.terminal = sampleID;
  instruments.targetCount = samples.count - 1;
  if (!checkRuns(presets, error) || !checkRuns(instruments, error)) return false;

  for (size_t i = 0; i + 1 < samples.count; ++i) {
    const uint8_t *r = samples.at(i);
    SampleHeader s;
    s.name = fixedText(r, 20);
    s.start = le32(r + 20);
    s.end = le32(r + 24);
    s.loopStart = le32(r + 28);
    s.loopEnd = le32(r + 32);
    s.sampleRate = le32(r + 36);
    s.originalPitch = r[40];
    s.pitchCorrection = int8_t(r[41]);
    s.sampleLink = le16(r + 42);
    s.sampleType = le16(r + 44);
    if (!s.inRom() && (s.start > s.end || s.end > sf.sampleData.size())) {
      error = format("sample %zu '%s' spans %u..%u, outside the %zu values of sample data", i, s.name.c_str(), s.start,
                     s.end, sf.sampleData.size());
      return false;
    }
    // A link to no sample leaves a stereo half alone.
    if (s.sampleLink >= int(samples.count - 1)) s.sampleLink = int(i);
    sf.samples.push_back(std::move(s));
  }

  for (size_t i = 0; i + 1 < instruments.headers.count; ++i) {
    Instrument in;
    in.name = fixedText(instruments.headers.at(i), 20);
    if (!readZones(instruments, i, in.name.c_str(), in.global, in.zones, error)) return false;
    sf.instruments.push_back(std::move(in));
  }
  for (size_t i = 0; i + 1 < presets.headers.count; ++i) {
    const uint8_t *r = presets.headers.at(i);
    Preset p;
    p.name = fixedText(r, 20);
    p.program = le16(r + 20);
    p.bank = le16(r + 22);
    if (!readZones(presets, i, p.name.c_str(), p.global, p.zones, error)) return false;
    sf.presets.push_back(std::move(p));
  }
  return true;
}

} // namespace

bool readSoundFont(const uint8_t *data, size_t size, SoundFont &out, std::string &error)
{
  out = SoundFont();
  error.clear();
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "sfbk", 4) != 0) {
    error = "not a SoundFont file (no RIFF 'sfbk' header)";
    return false;
  }
  // A RIFF size beyond the file is read as far as the file goes; the chunks must still fit.
  size_t body = std::min<size_t>(le32(data + 4), size - 8);
  if (body < 4) {
    error = "the RIFF form is empty";
    return false;
  }
  ChunkWalker walker(data + 12, body - 4, "sfbk");
  Chunk c, info, sdta, pdta;
  while (walker.next(c, error)) {
    if (c.id != fourcc("LIST") || c.size < 4) continue;
    uint32_t type = be32(c.data);
    if (type == fourcc("INFO") && !info.data) info = c;
    if (type == fourcc("sdta") && !sdta.data) sdta = c;
    if (type == fourcc("pdta") && !pdta.data) pdta = c;
  }
  SoundFont sf;
  bool ok = error.empty();
  if (ok && (!sdta.data || !pdta.data)) {
    error = !sdta.data ? "the file has no sample data list 'sdta'" : "the file has no preset data list 'pdta'";
    ok = false;
  }
  if (ok && info.data) ok = readInfo(info, sf.info, error);
  if (ok && sf.info.versionMajor == 3) {
    error = "compressed samples (SoundFont version 3) are not supported";
    ok = false;
  }
  if (ok && info.data && sf.info.versionMajor != 2) {
    error = format("SoundFont version %d.%d is not supported", sf.info.versionMajor, sf.info.versionMinor);
    ok = false;
  }
  ok = ok && readSamples(sdta, sf, error) && readPresetData(pdta, sf, error);
  if (!ok) return false;
  out = std::move(sf);
  return true;
}

bool loadSoundFont(const std::string &path, SoundFont &out, std::string &error)
{
  out = SoundFont();
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    error = path + ": cannot be opened";
    return false;
  }
  std::streamoff length = in.tellg();
  if (length < 0 || uint64_t(length) > kMaxFileSize) {
    error = path + ": too large to read";
    return false;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char *>(bytes.data()), length)) {
    error = path + ": cannot be read";
    return false;
  }
  if (!readSoundFont(bytes.data(), bytes.size(), out, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

} // namespace sf2
