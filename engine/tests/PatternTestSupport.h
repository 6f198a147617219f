// Drives a pattern player sub-block by sub-block and records what it asks of the voices.
#pragma once

#include "engine/PatternClock.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace patterntest {

// 120 beats per minute at 32,768 Hz: a sample is 1/16,384 beat, a 16-sample sub-block 1/1,024
// beat and a quarter-beat step 4,096 samples, all exact in binary, so a position the test reaches
// is exactly the one it names.
constexpr double kTempo = 120.0;
constexpr double kRate = 32768.0;
constexpr int32_t kSubBlock = 16;
constexpr double kSubBlockBeats = kSubBlock * kTempo / 60.0 / kRate;

// A step's note starts in the sub-block whose end reaches the step's boundary: at most one
// sub-block early, never late.
inline bool startsOnTime(double at, double boundary)
{
    constexpr double rounding = 1e-9;
    return at <= boundary + rounding && at >= boundary - kSubBlockBeats - rounding;
}

struct VoiceCall {
    enum Kind { Start, Release, Glide } kind;
    int32_t key;      // Start
    int32_t velocity; // Start, Glide
    int32_t shift;    // Start
    int32_t noteId;   // the id Start returned, or the one released or glided
    double at;        // song position of the sub-block's start
};

class RecordingVoices : public engine::PatternVoices
{
public:
    int32_t startNote(int32_t key, int32_t velocity, int32_t shift) override
    {
        calls.push_back({VoiceCall::Start, key, velocity, shift, nextId, now});
        return nextId++;
    }
    void releaseNote(int32_t noteId) override { calls.push_back({VoiceCall::Release, 0, 0, 0, noteId, now}); }
    void glideNoteLevel(int32_t noteId, int32_t velocity) override
    {
        calls.push_back({VoiceCall::Glide, 0, velocity, 0, noteId, now});
    }

    std::vector<VoiceCall> of(VoiceCall::Kind kind) const
    {
        std::vector<VoiceCall> picked;
        for (const VoiceCall &c : calls)
            if (c.kind == kind)
                picked.push_back(c);
        return picked;
    }
    std::vector<int32_t> startedKeys() const
    {
        std::vector<int32_t> keys;
        for (const VoiceCall &c : of(VoiceCall::Start))
            keys.push_back(c.key);
        return keys;
    }
    // "start 60", "release 100", "glide 100 64" in the order asked.
    std::vector<std::string> script() const
    {
        std::vector<std::string> lines;
        for (const VoiceCall &c : calls) {
            if (c.kind == VoiceCall::Start)
                lines.push_back("start " + std::to_string(c.key));
            else if (c.kind == VoiceCall::Release)
                lines.push_back("release " + std::to_string(c.noteId));
            else
                lines.push_back("glide " + std::to_string(c.noteId) + " " + std::to_string(c.velocity));
        }
        return lines;
    }

    std::vector<VoiceCall> calls;
    int32_t nextId = 100;
    double now = 0.0;
};

// Runs tick from position `from` for `beats` beats (rounded to whole samples) in host blocks of
// blockSize samples, each in sub-blocks of at most 16 samples, the position advancing as the
// block render advances it. reportedStart, when given, replaces the position each block starts
// at (a host counting its own position). Returns the position reached.
inline double drive(double from, double beats, int32_t blockSize, RecordingVoices &voices,
                    const std::function<void(const engine::PatternTime &)> &tick,
                    const std::function<double(double)> &reportedStart = nullptr)
{
    const double perSample = kTempo / 60.0 / kRate;
    const int64_t total = std::llround(beats / perSample);
    for (int64_t done = 0; done < total;) {
        // Each block starts where the host says; within it the position advances by sub-blocks.
        double position = from + static_cast<double>(done) * perSample;
        if (reportedStart)
            position = reportedStart(position);
        const int32_t block = static_cast<int32_t>(std::min<int64_t>(blockSize, total - done));
        for (int32_t i = 0; i < block;) {
            const int32_t n = std::min(kSubBlock, block - i);
            voices.now = position;
            tick(engine::PatternTime{position, engine::subBlockBeats(n, kTempo, kRate)});
            position += n * perSample;
            i += n;
        }
        done += block;
    }
    return from + static_cast<double>(total) * perSample;
}

// A host whose count puts a block that starts on a quarter-beat boundary a rounding error
// before it, after the previous block's last sub-block has reached that boundary exactly.
inline double reportedJustBeforeBoundaries(double position)
{
    const double quarters = position / 0.25;
    return quarters == std::floor(quarters) ? position - 1e-12 : position;
}

} // namespace patterntest
