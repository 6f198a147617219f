// Writes the demo song: about a minute of General MIDI for five channels and drums, with a GS reset,
// programs, controllers, sustain pedal and pitch bend, so that one render touches most of the
// instrument. Usage: make-demo-song OUT.mid
#include "tools/vsthost/MidiFile.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int tpq = 480;          // ticks per quarter note
constexpr int bar = 4 * tpq;      // 4/4
constexpr double bpm = 112.0;
constexpr int bars = 28;          // 28 bars of 4/4 at 112 bpm: 60 seconds

// I - vi - IV - V in C, one chord per bar: root (bass octave) and three chord tones.
struct Chord {
  int root;
  int tones[3];
};
constexpr Chord progression[4] = {{36, {60, 64, 67}}, {33, {57, 60, 64}}, {41, {57, 60, 65}}, {43, {55, 59, 62}}};

uint8_t status(int kind, int channel) { return uint8_t(kind | (channel - 1)); }

// Events of one track must go in time order; collect, then sort, then write.
struct Pending {
  uint64_t tick;
  int order;
  uint8_t s, d1, d2;
};

void flush(qhost::MidiFileWriter& w, std::vector<Pending>& list)
{
  std::stable_sort(list.begin(), list.end(), [](const Pending& a, const Pending& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  for (const auto& p : list) w.channel(p.tick, p.s, p.d1, p.d2);
  list.clear();
}

struct TrackBuilder {
  explicit TrackBuilder(int midiChannel) : channel(midiChannel) {}
  int channel;
  std::vector<Pending> list;
  int order = 0;
  void add(uint64_t tick, int kind, int d1, int d2 = 0)
  {
    list.push_back({tick, order++, status(kind, channel), uint8_t(d1), uint8_t(d2)});
  }
  void play(uint64_t at, int length, int key, int velocity)
  {
    add(at, 0x90, key, velocity);
    // A note-off sorts before a note-on of the same tick, so repeated keys are not cut short.
    list.push_back({at + uint64_t(length), -1, status(0x80, channel), uint8_t(key), 64});
  }
  void setup(int program, int volume, int pan, int reverb, int chorus)
  {
    add(0, 0xB0, 0, 0);  // bank select: capital tones
    add(0, 0xC0, program);
    add(0, 0xB0, 7, volume);
    add(0, 0xB0, 10, pan);
    add(0, 0xB0, 91, reverb);
    add(0, 0xB0, 93, chorus);
  }
};

}  // namespace

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-demo-song OUT.mid\n");
    return 1;
  }
  const uint64_t end = uint64_t(bars) * bar;
  const uint64_t songStart = bar / 2;  // half a bar after the resets
  qhost::MidiFileWriter w(1, tpq);

  // Conductor track: resets, tempo and metre.
  w.beginTrack();
  w.trackName(0, "Quorix demo");
  w.sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7});                                // GM System On
  w.sysex(tpq / 4, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});  // GS reset
  w.tempo(0, bpm);
  w.timeSignature(0, 4, 4);
  w.tempo(songStart + uint64_t(24) * bar, bpm * 0.94);  // a slight slowing for the last bars
  w.endTrack(end + songStart);

  auto chordAt = [](int b) { return progression[b % 4]; };

  // Piano: chords on the beat with the sustain pedal changed every bar.
  {
    TrackBuilder t{1};
    t.setup(0, 100, 54, 40, 0);
    for (int b = 0; b < bars; ++b) {
      uint64_t at = songStart + uint64_t(b) * bar;
      Chord c = chordAt(b);
      t.add(at, 0xB0, 64, 0);
      t.add(at + 10, 0xB0, 64, 127);
      for (int beat = 0; beat < 4; ++beat)
        for (int k : c.tones) t.play(at + uint64_t(beat) * tpq, tpq - 40, k, beat == 0 ? 88 : 70);
    }
    t.add(songStart + end - bar, 0xB0, 64, 0);
    w.beginTrack();
    w.trackName(0, "Piano");
    flush(w, t.list);
    w.endTrack(end + songStart);
  }

  // Bass: eighth notes on the root with an octave jump at the end of each bar.
  {
    TrackBuilder t{2};
    t.setup(33, 110, 64, 10, 0);
    for (int b = 0; b < bars; ++b) {
      uint64_t at = songStart + uint64_t(b) * bar;
      int root = chordAt(b).root;
      for (int e = 0; e < 8; ++e) t.play(at + uint64_t(e) * (tpq / 2), tpq / 2 - 30, e == 7 ? root + 12 : root, e % 2 ? 80 : 100);
    }
    w.beginTrack();
    w.trackName(0, "Bass");
    flush(w, t.list);
    w.endTrack(end + songStart);
  }

  // Strings: held chords from bar 8 with expression swells.
  {
    TrackBuilder t{3};
    t.setup(48, 90, 80, 70, 30);
    for (int b = 8; b < bars; ++b) {
      uint64_t at = songStart + uint64_t(b) * bar;
      for (int k : chordAt(b).tones) t.play(at, bar - 20, k + 12, 70);
      for (int step = 0; step < 8; ++step) t.add(at + uint64_t(step) * (bar / 8), 0xB0, 11, 60 + step * 8);
    }
    w.beginTrack();
    w.trackName(0, "Strings");
    flush(w, t.list);
    w.endTrack(end + songStart);
  }

  // Lead: a pentatonic line from bar 12 with bends up into phrase starts and vibrato on long notes.
  {
    TrackBuilder t{4};
    t.setup(80, 85, 40, 50, 40);
    t.add(0, 0xB0, 101, 0);  // pitch-bend range: RPN 0, two semitones
    t.add(0, 0xB0, 100, 0);
    t.add(0, 0xB0, 6, 2);
    t.add(0, 0xB0, 38, 0);
    const int scale[] = {72, 74, 76, 79, 81, 84};
    uint32_t seed = 12345;  // fixed, so the file is the same on every build
    auto next = [&]() {
      seed = seed * 1664525u + 1013904223u;
      return seed >> 16;
    };
    for (int b = 12; b < bars; ++b) {
      uint64_t at = songStart + uint64_t(b) * bar;
      if (b % 2 == 0) {  // a phrase starts with a bend from a whole tone below
        t.add(at, 0xE0, 0, 0);
        for (int s = 1; s <= 8; ++s) {
          int value = 0x2000 - 0x2000 * (8 - s) / 8;
          t.add(at + uint64_t(s) * 20, 0xE0, value & 0x7F, value >> 7);
        }
      }
      uint64_t pos = 0;
      while (pos < uint64_t(bar)) {
        int length = (next() % 3 == 0) ? tpq : tpq / 2;
        int key = scale[next() % 6];
        t.play(at + pos, length - 20, key, 90 + int(next() % 20));
        if (length == tpq) {
          t.add(at + pos + tpq / 3, 0xB0, 1, 70);
          t.add(at + pos + tpq - 20, 0xB0, 1, 0);
        }
        pos += uint64_t(length);
      }
      t.add(at + bar - 1, 0xE0, 0, 0x40);  // bend back to centre
    }
    w.beginTrack();
    w.trackName(0, "Lead");
    flush(w, t.list);
    w.endTrack(end + songStart);
  }

  // Drums on channel 10: kick, snare, hats, a crash at every fourth bar, a fill before the lead.
  {
    TrackBuilder t{10};
    t.setup(0, 110, 64, 30, 0);
    for (int b = 4; b < bars; ++b) {
      uint64_t at = songStart + uint64_t(b) * bar;
      if (b % 4 == 0) t.play(at, tpq, 49, 100);
      for (int e = 0; e < 8; ++e) {
        uint64_t p = at + uint64_t(e) * (tpq / 2);
        t.play(p, 60, e == 7 ? 46 : 42, e % 2 ? 60 : 80);
        if (e == 0 || e == 3 || e == 4) t.play(p, 60, 36, 110);
        if (e == 2 || e == 6) t.play(p, 60, 38, 100);
      }
      if (b == 11)
        for (int s = 0; s < 4; ++s) t.play(at + uint64_t(3 * tpq + s * tpq / 4), 50, 45 - s * 2, 90 + s * 8);
    }
    t.play(songStart + end, tpq, 49, 110);
    t.play(songStart + end, tpq, 36, 110);
    w.beginTrack();
    w.trackName(0, "Drums");
    flush(w, t.list);
    w.endTrack(end + songStart + tpq);
  }

  if (!w.save(argv[1])) {
    std::fprintf(stderr, "make-demo-song: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
