// Standard MIDI File reading (formats 0 and 1) and a small writer for making files.
//
// The reader parses from (pointer, size), walks every chunk with a cursor and the bytes that remain,
// and checks each declared length against them before using it; counts in the file are never used
// to size anything.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qhost {

// One event that reaches a plug-in: a channel message of 1..3 bytes or a whole System Exclusive
// message (F0 ... F7).
struct MidiEvent {
  uint64_t tick = 0;
  int64_t sample = 0;    // set by MidiSong::placeEvents
  bool sysex = false;
  uint8_t size = 0;      // bytes of a channel message
  uint8_t bytes[3] = {0, 0, 0};
  std::vector<uint8_t> dump;  // System Exclusive bytes, F0 first
};

struct TempoChange {
  uint64_t tick;
  uint32_t microsPerQuarter;
};

struct TimeSignatureChange {
  uint64_t tick;
  int numerator;
  int denominator;
};

class MidiSong {
public:
  // Reads a file; false with a message in error() when it cannot be read or is malformed.
  bool load(const std::string& path);
  bool parse(const uint8_t* data, size_t size);
  const std::string& error() const { return error_; }

  int format() const { return format_; }
  int trackCount() const { return tracks_; }
  // Ticks per quarter note; with an SMPTE time base, ticks per second (tempo is then ignored).
  int ticksPerQuarter() const { return ticksPerQuarter_; }
  double smpteTicksPerSecond() const { return smpteTicksPerSecond_; }

  // Events of all tracks merged in time order (stable within a tick).
  const std::vector<MidiEvent>& events() const { return events_; }
  const std::vector<TempoChange>& tempoMap() const { return tempos_; }
  const std::vector<TimeSignatureChange>& timeSignatures() const { return timeSigs_; }
  uint64_t lastTick() const { return lastTick_; }

  // Seconds and quarter notes at a tick, following the tempo map.
  double secondsAt(uint64_t tick) const;
  double quartersAt(uint64_t tick) const;
  // Inverse: the tick (fractional) reached after a number of seconds.
  double tickAtSeconds(double seconds) const;
  // Tempo in effect at a time in seconds, in beats per minute.
  double tempoAtSeconds(double seconds) const;
  TimeSignatureChange timeSignatureAtTick(double tick) const;

  // Gives every event its sample position at a sample rate; returns the song length in samples.
  int64_t placeEvents(double sampleRate);

  // Files larger than this are refused before reading.
  static constexpr size_t maxFileBytes = 64u << 20;

private:
  bool fail(const std::string& message);
  bool parseTrack(const uint8_t* data, size_t size, int track);

  std::string error_;
  int format_ = 0;
  int tracks_ = 0;
  int ticksPerQuarter_ = 0;
  double smpteTicksPerSecond_ = 0.0;
  uint64_t lastTick_ = 0;
  std::vector<MidiEvent> events_;
  std::vector<TempoChange> tempos_;
  std::vector<TimeSignatureChange> timeSigs_;
  std::vector<double> tempoSeconds_;  // start of each tempo segment in seconds
};

// Builds a Standard MIDI File in memory, one track at a time. Times are absolute ticks; events of a
// track must be added in time order.
class MidiFileWriter {
public:
  explicit MidiFileWriter(int format = 1, int ticksPerQuarter = 480);
  void beginTrack();
  void channel(uint64_t tick, uint8_t status, uint8_t data1, uint8_t data2 = 0);
  void tempo(uint64_t tick, double bpm);
  void timeSignature(uint64_t tick, int numerator, int denominator);
  void trackName(uint64_t tick, const std::string& name);
  // data without the leading F0 (ending in F7 for a complete message)
  void sysex(uint64_t tick, const std::vector<uint8_t>& data);
  void endTrack(uint64_t tick);
  std::vector<uint8_t> bytes() const;
  bool save(const std::string& path) const;

  static void appendVarLen(std::vector<uint8_t>& out, uint32_t value);

private:
  void delta(uint64_t tick);
  int format_;
  int division_;
  int trackCount_ = 0;
  uint64_t lastTick_ = 0;
  std::vector<uint8_t> track_;
  std::vector<uint8_t> body_;
};

}  // namespace qhost
