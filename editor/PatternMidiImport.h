// Standard MIDI File import into a channel's step sequencer: note-ons become step notes relative to the
// first note of each track, held notes become continuation steps, timing is quantised to the channel's
// step rate. The engine runs it on its running sequencer state under its instance lock
// (Quorix::importPatternMidiFile); the sequencer page's load command clears the target steps first.
#pragma once

#include "foundation/podoStr.h"

#include <cstdint>

struct ChannelState;

// lane 0..4: every note goes to that lane (its base is kept); -1: a note's lane is its MIDI channel
// modulo 5, and each track sets the base of the lanes it reaches to its first note there.
// 0 read (malformed data ends the track or the file quietly), 1 no such lane, 2 no memory for a track,
// 3 not opened.
int32_t importPatternMidi(const podoStr &path, ChannelState &channel, int32_t lane);
