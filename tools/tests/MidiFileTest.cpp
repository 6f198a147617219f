#include "tools/vsthost/MidiFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using qhost::MidiSong;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes header(int format, int tracks, int division)
{
  return {'M', 'T', 'h', 'd', 0, 0, 0, 6, uint8_t(format >> 8), uint8_t(format), uint8_t(tracks >> 8),
          uint8_t(tracks), uint8_t(division >> 8), uint8_t(division)};
}

Bytes chunk(const char* id, const Bytes& body)
{
  uint32_t n = uint32_t(body.size());
  Bytes out = {uint8_t(id[0]), uint8_t(id[1]), uint8_t(id[2]), uint8_t(id[3]),
               uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes file(Bytes head, const std::vector<Bytes>& chunks)
{
  for (const auto& c : chunks) head.insert(head.end(), c.begin(), c.end());
  return head;
}

const Bytes endOfTrack = {0x00, 0xFF, 0x2F, 0x00};

Bytes track(Bytes events, bool withEnd = true)
{
  if (withEnd) events.insert(events.end(), endOfTrack.begin(), endOfTrack.end());
  return chunk("MTrk", events);
}

}  // namespace

TEST(MidiFile, RefusesMalformedFilesWithAReason)
{
  struct Case {
    const char* name;
    Bytes data;
    const char* reason;
  };
  const Bytes note = {0x00, 0x90, 0x40, 0x64};
  Bytes shortHeader = header(0, 1, 96);
  shortHeader[7] = 4;
  Bytes overlong = file(header(0, 1, 96), {chunk("MTrk", note)});
  overlong[14 + 7] = 200;  // track length far past the end
  const std::vector<Case> cases = {
      {"empty", {}, "not a Standard MIDI File"},
      {"other format", {'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, "not a Standard MIDI File"},
      {"header length below 6", file(shortHeader, {track(note)}), "bad header length"},
      {"format 2", file(header(2, 1, 96), {track(note)}), "unsupported format 2"},
      {"no tracks", file(header(1, 0, 96), {}), "no tracks"},
      {"format 0 with two tracks", file(header(0, 2, 96), {track(note), track(note)}), "format 0 with more"},
      {"zero division", file(header(0, 1, 0), {track(note)}), "bad time division"},
      {"bad frame rate", file(header(0, 1, 0xE500 | 40), {track(note)}), "bad SMPTE frame rate"},
      {"track length past the end", overlong, "chunk length beyond the end"},
      {"fewer tracks than declared", file(header(1, 3, 96), {track(note), track(note)}), "holds 2 of 3 tracks"},
      {"running status without a status", file(header(0, 1, 96), {track({0x00, 0x40, 0x40})}), "data byte without a status"},
      {"event cut by the track end", file(header(0, 1, 96), {track({0x00, 0x90, 0x40}, false)}), "truncated event"},
      {"status where data belongs", file(header(0, 1, 96), {track({0x00, 0x90, 0x40, 0x90})}), "status byte where a data byte"},
      {"five-byte delta", file(header(0, 1, 96), {track({0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x40, 0x40})}), "bad variable-length"},
      {"meta text past the track", file(header(0, 1, 96), {track({0x00, 0xFF, 0x01, 0x10, 'a'}, false)}), "event length beyond"},
      {"sysex past the track", file(header(0, 1, 96), {track({0x00, 0xF0, 0x7F, 0x01}, false)}), "event length beyond"},
      {"tempo of zero", file(header(0, 1, 96), {track({0x00, 0xFF, 0x51, 0x03, 0, 0, 0})}), "tempo of zero"},
      {"system common status in a track", file(header(0, 1, 96), {track({0x00, 0xF2, 0x00, 0x00})}), "unexpected status"},
      {"running status after a meta event", file(header(0, 1, 96), {track({0x00, 0x90, 0x40, 0x40, 0x00, 0xFF, 0x01, 0x00, 0x00, 0x41, 0x40})}), "data byte without a status"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MidiSong song;
    EXPECT_FALSE(song.parse(c.data.data(), c.data.size()));
    EXPECT_NE(song.error().find(c.reason), std::string::npos) << song.error();
    EXPECT_TRUE(song.events().empty());
  }
}

TEST(MidiFile, MergesTracksAndPlacesEventsOnTheTempoMap)
{
  // 96 ticks per quarter: 120 bpm for two quarters (1 s), then 60 bpm.
  Bytes conductor = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,    // 500000 us
                     0x81, 0x40, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40};  // +192: 1000000 us
  Bytes notes = {0x00, 0x90, 0x3C, 0x64,  // tick 0
                 0x60, 0x3E, 0x64,        // tick 96, running status
                 0x81, 0x40, 0x40, 0x64,  // tick 288 (1 s + one quarter at 60 bpm = 2 s)
                 0x00, 0x3C, 0x00};       // note-on with velocity 0 stays as it is
  Bytes second = {0x00, 0xC1, 0x05};     // tick 0 on another track
  Bytes data = file(header(1, 3, 96), {track(conductor), chunk("XTRA", {1, 2, 3}), track(notes), track(second)});
  MidiSong song;
  ASSERT_TRUE(song.parse(data.data(), data.size())) << song.error();
  ASSERT_EQ(song.events().size(), 5u);
  EXPECT_DOUBLE_EQ(song.secondsAt(96), 0.5);
  EXPECT_DOUBLE_EQ(song.secondsAt(288), 2.0);
  EXPECT_DOUBLE_EQ(song.tickAtSeconds(2.0), 288.0);
  EXPECT_DOUBLE_EQ(song.tempoAtSeconds(0.99), 120.0);
  EXPECT_DOUBLE_EQ(song.tempoAtSeconds(1.0), 60.0);

  for (double rate : {44100.0, 48000.0, 96000.0}) {
    SCOPED_TRACE(rate);
    int64_t length = song.placeEvents(rate);
    const auto& e = song.events();
    // Same tick: the earlier track comes first.
    EXPECT_EQ(e[0].bytes[0], 0x90);
    EXPECT_EQ(e[1].bytes[0], 0xC1);
    EXPECT_EQ(e[1].size, 2);
    EXPECT_EQ(e[2].sample, std::llround(0.5 * rate));
    EXPECT_EQ(e[2].bytes[1], 0x3E);
    EXPECT_EQ(e[3].sample, std::llround(2.0 * rate));
    EXPECT_EQ(e[4].bytes[2], 0x00);
    EXPECT_EQ(length, std::llround(2.0 * rate));
  }
}

TEST(MidiFile, GathersSystemExclusiveMessagesWholeIncludingDividedOnes)
{
  Bytes t = {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,   // complete
             0x10, 0xF0, 0x03, 0x41, 0x10, 0x42,               // first packet of a divided message
             0x10, 0xF7, 0x02, 0x12, 0xF7,                     // continuation that ends it
             0x00, 0xF7, 0x01, 0xFA};                          // an escape carrying a real-time byte
  Bytes data = file(header(0, 1, 96), {track(t)});
  MidiSong song;
  ASSERT_TRUE(song.parse(data.data(), data.size())) << song.error();
  ASSERT_EQ(song.events().size(), 3u);
  EXPECT_TRUE(song.events()[0].sysex);
  EXPECT_EQ(song.events()[0].dump, (Bytes{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
  EXPECT_EQ(song.events()[1].dump, (Bytes{0xF0, 0x41, 0x10, 0x42, 0x12, 0xF7}));
  EXPECT_EQ(song.events()[1].tick, 32u);
  EXPECT_FALSE(song.events()[2].sysex);
  EXPECT_EQ(song.events()[2].bytes[0], 0xFA);
}

TEST(MidiFile, ReadsTimeCodeDivisionAndToleratesAMissingEndOfTrack)
{
  // 25 frames per second, 40 ticks per frame: 1000 ticks a second; no end-of-track event.
  Bytes data = file(header(0, 1, 0xE700 | 40), {track({0x83, 0x74, 0x90, 0x40, 0x40}, false)});
  MidiSong song;
  ASSERT_TRUE(song.parse(data.data(), data.size())) << song.error();
  song.placeEvents(48000.0);
  ASSERT_EQ(song.events().size(), 1u);
  EXPECT_EQ(song.events()[0].sample, 24000);  // tick 500 = 0.5 s
}

TEST(MidiFile, IgnoresWhatFollowsTheEndOfATrack)
{
  Bytes t = {0x00, 0x90, 0x40, 0x40, 0x00, 0xFF, 0x2F, 0x00, 0x00, 0x90, 0x41, 0x40};
  Bytes data = file(header(0, 1, 96), {chunk("MTrk", t)});
  MidiSong song;
  ASSERT_TRUE(song.parse(data.data(), data.size())) << song.error();
  EXPECT_EQ(song.events().size(), 1u);
}

TEST(MidiFile, WriterOutputReadsBack)
{
  qhost::MidiFileWriter w(1, 480);
  w.beginTrack();
  w.tempo(0, 100.0);
  w.timeSignature(0, 3, 4);
  w.endTrack(0);
  w.beginTrack();
  w.channel(0, 0xB9, 7, 100);
  w.channel(200000, 0x99, 36, 127);  // a delta that needs three bytes
  w.sysex(200000, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});
  w.endTrack(200480);
  Bytes data = w.bytes();
  MidiSong song;
  ASSERT_TRUE(song.parse(data.data(), data.size())) << song.error();
  ASSERT_EQ(song.events().size(), 3u);
  EXPECT_EQ(song.events()[1].tick, 200000u);
  EXPECT_EQ(song.events()[2].dump.size(), 11u);
  EXPECT_EQ(song.timeSignatureAtTick(10).numerator, 3);
  EXPECT_NEAR(song.tempoAtSeconds(1.0), 100.0, 1e-3);
  EXPECT_EQ(song.lastTick(), 200480u);
}
