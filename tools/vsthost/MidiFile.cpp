#include "tools/vsthost/MidiFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace qhost {

namespace {

// Ticks past this are refused: they would take years to play and lose precision in a double.
constexpr uint64_t maxTick = uint64_t(1) << 40;
constexpr uint32_t defaultMicrosPerQuarter = 500000;  // 120 beats per minute

uint32_t be32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }
uint16_t be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }

// A cursor over one chunk that never reads past its end.
struct Cursor {
  const uint8_t* p;
  size_t left;

  bool byte(uint8_t& out)
  {
    if (left == 0) return false;
    out = *p++;
    --left;
    return true;
  }
  // Variable-length quantity of at most four bytes (28 bits).
  bool varLen(uint32_t& out, bool& tooLong)
  {
    out = 0;
    tooLong = false;
    for (int i = 0; i < 4; ++i) {
      uint8_t b;
      if (!byte(b)) return false;
      out = (out << 7) | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    tooLong = true;
    return false;
  }
};

int dataBytesOf(uint8_t status)
{
  switch (status & 0xF0) {
    case 0xC0:
    case 0xD0: return 1;
    default: return 2;
  }
}

}  // namespace

bool MidiSong::fail(const std::string& message)
{
  error_ = message;
  events_.clear();
  tempos_.clear();
  timeSigs_.clear();
  tempoSeconds_.clear();
  return false;
}

bool MidiSong::load(const std::string& path)
{
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return fail("cannot open: " + std::string(std::strerror(errno)));
  std::vector<uint8_t> data;
  uint8_t buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    if (data.size() + got > maxFileBytes) {
      std::fclose(f);
      return fail("file too large");
    }
    data.insert(data.end(), buffer, buffer + got);
  }
  bool readError = std::ferror(f) != 0;
  std::fclose(f);
  if (readError) return fail("read error");
  return parse(data.data(), data.size());
}

bool MidiSong::parse(const uint8_t* data, size_t size)
{
  error_.clear();
  events_.clear();
  tempos_.clear();
  timeSigs_.clear();
  tempoSeconds_.clear();
  lastTick_ = 0;
  if (size < 14 || std::memcmp(data, "MThd", 4) != 0) return fail("not a Standard MIDI File");
  uint32_t headerLength = be32(data + 4);
  if (headerLength < 6 || headerLength > size - 8) return fail("bad header length");
  format_ = be16(data + 8);
  int declaredTracks = be16(data + 10);
  uint16_t division = be16(data + 12);
  if (format_ > 1) return fail("unsupported format " + std::to_string(format_) + " (only 0 and 1)");
  if (declaredTracks == 0) return fail("no tracks");
  if (format_ == 0 && declaredTracks != 1) return fail("format 0 with more than one track");
  if (division & 0x8000) {
    int framesPerSecond = -static_cast<int8_t>(division >> 8);
    int ticksPerFrame = division & 0xFF;
    if (framesPerSecond != 24 && framesPerSecond != 25 && framesPerSecond != 29 && framesPerSecond != 30)
      return fail("bad SMPTE frame rate");
    if (ticksPerFrame == 0) return fail("bad time division");
    smpteTicksPerSecond_ = (framesPerSecond == 29 ? 29.97 : framesPerSecond) * ticksPerFrame;
    ticksPerQuarter_ = 0;
  } else {
    if (division == 0) return fail("bad time division");
    ticksPerQuarter_ = division;
    smpteTicksPerSecond_ = 0.0;
  }

  size_t pos = 8 + size_t(headerLength);
  tracks_ = 0;
  while (tracks_ < declaredTracks && size - pos >= 8) {
    uint32_t length = be32(data + pos + 4);
    bool isTrack = std::memcmp(data + pos, "MTrk", 4) == 0;
    pos += 8;
    if (length > size - pos) return fail("chunk length beyond the end of the file");
    if (isTrack) {
      if (!parseTrack(data + pos, length, tracks_)) return false;
      ++tracks_;
    }
    pos += length;
  }
  if (tracks_ < declaredTracks)
    return fail("file holds " + std::to_string(tracks_) + " of " + std::to_string(declaredTracks) + " tracks");

  // Tracks were appended one after the other; a stable sort keeps track order within a tick.
  std::stable_sort(events_.begin(), events_.end(),
                   [](const MidiEvent& a, const MidiEvent& b) { return a.tick < b.tick; });
  std::stable_sort(tempos_.begin(), tempos_.end(),
                   [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  std::stable_sort(timeSigs_.begin(), timeSigs_.end(),
                   [](const TimeSignatureChange& a, const TimeSignatureChange& b) { return a.tick < b.tick; });
  if (tempos_.empty() || tempos_.front().tick != 0) tempos_.insert(tempos_.begin(), {0, defaultMicrosPerQuarter});
  tempoSeconds_.resize(tempos_.size());
  tempoSeconds_[0] = 0.0;
  for (size_t i = 1; i < tempos_.size(); ++i)
    tempoSeconds_[i] = tempoSeconds_[i - 1] + double(tempos_[i].tick - tempos_[i - 1].tick) *
                                                  tempos_[i - 1].microsPerQuarter / 1e6 / ticksPerQuarter_;
  return true;
}

bool MidiSong::parseTrack(const uint8_t* data, size_t size, int track)
{
  Cursor c{data, size};
  uint64_t tick = 0;
  uint8_t running = 0;
  bool sysexOpen = false;  // a System Exclusive message divided into packets is being gathered
  std::vector<uint8_t> sysexBytes;
  std::string where = "track " + std::to_string(track + 1) + ": ";
  auto bad = [&](const char* what) { return fail(where + what); };

  while (c.left > 0) {
    uint32_t delta;
    bool tooLong;
    if (!c.varLen(delta, tooLong)) return bad(tooLong ? "bad variable-length number" : "truncated event");
    tick += delta;
    if (tick > maxTick) return bad("event time out of range");
    uint8_t b;
    if (!c.byte(b)) return bad("truncated event");

    if (b == 0xFF || b == 0xF0 || b == 0xF7) {
      uint8_t metaType = 0;
      if (b == 0xFF && !c.byte(metaType)) return bad("truncated meta event");
      uint32_t length;
      if (!c.varLen(length, tooLong)) return bad(tooLong ? "bad variable-length number" : "truncated event");
      if (length > c.left) return bad("event length beyond the end of the track");
      const uint8_t* body = c.p;
      c.p += length;
      c.left -= length;
      running = 0;  // meta and System Exclusive events cancel running status
      lastTick_ = std::max(lastTick_, tick);

      if (b == 0xFF) {
        if (metaType == 0x2F) break;  // end of track: anything after it is ignored
        if (metaType == 0x51 && length >= 3) {
          uint32_t micros = (uint32_t(body[0]) << 16) | (uint32_t(body[1]) << 8) | body[2];
          if (micros == 0) return bad("tempo of zero");
          tempos_.push_back({tick, micros});
        } else if (metaType == 0x58 && length >= 2) {
          if (body[0] > 0 && body[1] <= 7) timeSigs_.push_back({tick, body[0], 1 << body[1]});
        }
        continue;
      }
      if (b == 0xF0) {
        sysexBytes.assign(1, 0xF0);
        sysexBytes.insert(sysexBytes.end(), body, body + length);
        sysexOpen = true;
      } else if (sysexOpen) {
        sysexBytes.insert(sysexBytes.end(), body, body + length);  // continuation packet
      } else {
        // An escape: the bytes go out as they are.
        if (length > 0 && body[0] == 0xF0) {
          sysexBytes.assign(body, body + length);
          sysexOpen = true;
        } else {
          if (length >= 1 && length <= 3 && (body[0] & 0x80)) {
            MidiEvent e;
            e.tick = tick;
            e.size = uint8_t(length);
            std::memcpy(e.bytes, body, length);
            events_.push_back(std::move(e));
          }
          continue;
        }
      }
      if (sysexOpen && sysexBytes.back() == 0xF7 && sysexBytes.size() >= 2) {
        MidiEvent e;
        e.tick = tick;
        e.sysex = true;
        e.dump = std::move(sysexBytes);
        sysexBytes.clear();
        sysexOpen = false;
        events_.push_back(std::move(e));
      }
      continue;
    }

    MidiEvent e;
    e.tick = tick;
    int first = 0;
    if (b & 0x80) {
      if (b >= 0xF0) return bad("unexpected status byte");
      running = b;
    } else {
      if (running == 0) return bad("data byte without a status");
      e.bytes[1] = b;
      first = 1;
    }
    e.bytes[0] = running;
    int need = dataBytesOf(running);
    for (int i = first; i < need; ++i) {
      uint8_t d;
      if (!c.byte(d)) return bad("truncated event");
      if (d & 0x80) return bad("status byte where a data byte belongs");
      e.bytes[1 + i] = d;
    }
    e.size = uint8_t(1 + need);
    events_.push_back(std::move(e));
    lastTick_ = std::max(lastTick_, tick);
  }
  lastTick_ = std::max(lastTick_, tick);
  return true;
}

double MidiSong::secondsAt(uint64_t tick) const
{
  if (ticksPerQuarter_ == 0) return smpteTicksPerSecond_ > 0 ? double(tick) / smpteTicksPerSecond_ : 0.0;
  if (tempos_.empty()) return double(tick) * defaultMicrosPerQuarter / 1e6 / ticksPerQuarter_;
  auto it = std::upper_bound(tempos_.begin(), tempos_.end(), tick,
                             [](uint64_t t, const TempoChange& c) { return t < c.tick; });
  size_t i = size_t(it - tempos_.begin()) - 1;
  return tempoSeconds_[i] + double(tick - tempos_[i].tick) * tempos_[i].microsPerQuarter / 1e6 / ticksPerQuarter_;
}

double MidiSong::quartersAt(uint64_t tick) const
{
  if (ticksPerQuarter_ == 0) return secondsAt(tick) * 2.0;  // a time code file plays at 120 beats per minute
  return double(tick) / ticksPerQuarter_;
}

double MidiSong::tickAtSeconds(double seconds) const
{
  if (seconds <= 0) return 0.0;
  if (ticksPerQuarter_ == 0) return seconds * smpteTicksPerSecond_;
  if (tempos_.empty()) return seconds * 1e6 / defaultMicrosPerQuarter * ticksPerQuarter_;
  auto it = std::upper_bound(tempoSeconds_.begin(), tempoSeconds_.end(), seconds);
  size_t i = size_t(it - tempoSeconds_.begin()) - 1;
  return double(tempos_[i].tick) + (seconds - tempoSeconds_[i]) * 1e6 / tempos_[i].microsPerQuarter * ticksPerQuarter_;
}

double MidiSong::tempoAtSeconds(double seconds) const
{
  if (ticksPerQuarter_ == 0 || tempos_.empty()) return 120.0;
  auto it = std::upper_bound(tempoSeconds_.begin(), tempoSeconds_.end(), std::max(seconds, 0.0));
  size_t i = size_t(it - tempoSeconds_.begin()) - 1;
  return 60e6 / tempos_[i].microsPerQuarter;
}

TimeSignatureChange MidiSong::timeSignatureAtTick(double tick) const
{
  TimeSignatureChange current{0, 4, 4};
  for (const auto& t : timeSigs_) {
    if (double(t.tick) > tick) break;
    current = t;
  }
  return current;
}

int64_t MidiSong::placeEvents(double sampleRate)
{
  for (auto& e : events_) e.sample = std::llround(secondsAt(e.tick) * sampleRate);
  return std::llround(secondsAt(lastTick_) * sampleRate);
}

// ---- writer ----

MidiFileWriter::MidiFileWriter(int format, int ticksPerQuarter) : format_(format), division_(ticksPerQuarter) {}

void MidiFileWriter::appendVarLen(std::vector<uint8_t>& out, uint32_t value)
{
  uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = value & 0x7F;
    value >>= 7;
  } while (value && n < 4);
  while (n-- > 0) out.push_back(uint8_t(groups[n] | (n > 0 ? 0x80 : 0)));
}

void MidiFileWriter::beginTrack()
{
  track_.clear();
  lastTick_ = 0;
}

void MidiFileWriter::delta(uint64_t tick)
{
  uint64_t d = tick >= lastTick_ ? tick - lastTick_ : 0;
  appendVarLen(track_, uint32_t(std::min<uint64_t>(d, 0x0FFFFFFF)));
  lastTick_ = std::max(lastTick_, tick);
}

void MidiFileWriter::channel(uint64_t tick, uint8_t status, uint8_t data1, uint8_t data2)
{
  delta(tick);
  track_.push_back(status);
  track_.push_back(data1 & 0x7F);
  if (dataBytesOf(status) == 2) track_.push_back(data2 & 0x7F);
}

void MidiFileWriter::tempo(uint64_t tick, double bpm)
{
  uint32_t micros = uint32_t(std::lround(60e6 / bpm));
  delta(tick);
  track_.insert(track_.end(), {0xFF, 0x51, 0x03, uint8_t(micros >> 16), uint8_t(micros >> 8), uint8_t(micros)});
}

void MidiFileWriter::timeSignature(uint64_t tick, int numerator, int denominator)
{
  uint8_t power = 0;
  while ((1 << power) < denominator && power < 7) ++power;
  delta(tick);
  track_.insert(track_.end(), {0xFF, 0x58, 0x04, uint8_t(numerator), power, 24, 8});
}

void MidiFileWriter::trackName(uint64_t tick, const std::string& name)
{
  delta(tick);
  track_.push_back(0xFF);
  track_.push_back(0x03);
  appendVarLen(track_, uint32_t(name.size()));
  track_.insert(track_.end(), name.begin(), name.end());
}

void MidiFileWriter::sysex(uint64_t tick, const std::vector<uint8_t>& data)
{
  delta(tick);
  track_.push_back(0xF0);
  appendVarLen(track_, uint32_t(data.size()));
  track_.insert(track_.end(), data.begin(), data.end());
}

void MidiFileWriter::endTrack(uint64_t tick)
{
  delta(tick);
  track_.insert(track_.end(), {0xFF, 0x2F, 0x00});
  uint32_t n = uint32_t(track_.size());
  body_.insert(body_.end(), {'M', 'T', 'r', 'k', uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
  body_.insert(body_.end(), track_.begin(), track_.end());
  track_.clear();
  ++trackCount_;
}

std::vector<uint8_t> MidiFileWriter::bytes() const
{
  std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6,
                              uint8_t(format_ >> 8), uint8_t(format_),
                              uint8_t(trackCount_ >> 8), uint8_t(trackCount_),
                              uint8_t(division_ >> 8), uint8_t(division_)};
  out.insert(out.end(), body_.begin(), body_.end());
  return out;
}

bool MidiFileWriter::save(const std::string& path) const
{
  std::vector<uint8_t> data = bytes();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = (std::fclose(f) == 0) && ok;
  return ok;
}

}  // namespace qhost
