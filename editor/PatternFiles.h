// The sequencer's own files: a lane pattern (".lan": one lane's 64 steps, on state and base) and a
// sequencer pattern (".ptn": a channel's eleven sequencer settings and its five lanes). Both are the
// byte-order byte of the writer and then the channel's normalised values as raw float32, straight
// from and into the current program block; neither names its channel or lane.
#pragma once

#include "foundation/podoStr.h"

#include <cstdint>

class Quorix;

namespace patternFiles {

constexpr int32_t laneValueCount = 130;    // locals 48 + 130 x lane ..
constexpr int32_t patternValueCount = 661; // locals 37..697
constexpr int32_t laneFileSize = 1 + 4 * laneValueCount;
constexpr int32_t patternFileSize = 1 + 4 * patternValueCount;

// 0 written; 3 not created or not written whole (also for a channel or lane out of range).
int32_t writeLaneFile(Quorix *engine, const podoStr &path, int32_t channel, int32_t lane);
int32_t writePatternFile(Quorix *engine, const podoStr &path, int32_t channel);
// 0 read; 3 not opened. The values land in the program block only (the caller applies them); a file
// of the other byte order is swapped; a short file leaves the rest as it was; a value that is not a
// number leaves its parameter as it was, others are held to 0..1. A pattern read shows part 0.
int32_t readLaneFile(Quorix *engine, const podoStr &path, int32_t channel, int32_t lane);
int32_t readPatternFile(Quorix *engine, const podoStr &path, int32_t channel);

} // namespace patternFiles
