#include "editor/PatternMidiImport.h"

#include "engine/EngineState.h"
#include "foundation/podoFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr int32_t codeHeld = 49;    // "===": the note before goes on
constexpr int32_t codeHeldEnd = 50; // "==|": the note before ends here
constexpr int32_t codeOff = 52;
constexpr int32_t lastNoteCode = 48; // codes up to here are notes

uint32_t bigEndian32(const uint8_t *b) { return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]; }

// What one track has done to one lane so far.
struct LaneImport {
    int32_t lastNoteOnStep = -1;
    int32_t soundingNote = -1;
    int32_t firstNote = -1;
    float lastVelocity = 1.0f;
};

class TrackReader
{
public:
    TrackReader(const uint8_t *bytes, size_t size, ChannelState &channel, int32_t lane, double ticksPerStep)
        : bytes(bytes), size(size), channel(channel), targetLane(lane), ticksPerStep(ticksPerStep)
    {
    }

    // Events until the chunk ends; an event that would run past it ends the track.
    void run()
    {
        uint32_t ticks = 0;
        uint8_t status = 0;
        while (pos < size) {
            uint32_t delta;
            if (!readVarLen(delta))
                break;
            ticks += delta;
            if (pos >= size)
                break;
            if (bytes[pos] & 0x80)
                status = bytes[pos++];
            const int64_t step = int64_t(std::trunc(double(ticks) / ticksPerStep));
            if (!event(status, step))
                break;
        }
        if (channel.seqLength < highestStep)
            channel.seqLength = std::min<int32_t>(highestStep + 1, engine::kSequencerSteps);
    }

private:
    // Stops after a byte below 0x80 or once the value is beyond 28 bits; false at the chunk's end.
    bool readVarLen(uint32_t &value)
    {
        value = 0;
        for (;;) {
            if (pos >= size)
                return false;
            const uint8_t b = bytes[pos++];
            value = value * 128 + (b & 0x7F);
            if (b < 0x80 || value > 0x0FFFFFFF)
                return true;
        }
    }

    bool skip(uint64_t count)
    {
        if (count > size - pos)
            return false;
        pos += size_t(count);
        return true;
    }

    bool event(uint8_t status, int64_t step)
    {
        const int32_t type = status & 0xF0;
        switch (type) {
        case 0x80:
        case 0x90: {
            if (size - pos < 2)
                return false;
            // Data bytes are 7 bits; a stray high bit must not make a note above 127 (a held-key base).
            const int32_t note = bytes[pos] & 0x7F, velocity = bytes[pos + 1] & 0x7F;
            pos += 2;
            const int32_t lane = targetLane >= 0 ? targetLane : (status & 0x0F) % engine::kSequencerLanes;
            if (type == 0x90 && velocity > 0)
                noteOn(lane, note, velocity, step);
            else
                noteOff(lane, note, step);
            return true;
        }
        case 0xA0:
        case 0xB0:
        case 0xE0:
            return skip(2);
        case 0xC0:
        case 0xD0:
            return skip(1);
        case 0xF0: {
            if (status == 0xFF && !skip(1))
                return false;
            uint32_t length;
            return readVarLen(length) && skip(length);
        }
        default:
            return true; // no status yet: nothing is consumed
        }
    }

    // Steps after the lane's last note-on up to (not including) step that are still OFF tie it over.
    void fillHeld(int32_t lane, int32_t step)
    {
        LaneImport &state = lanes[lane];
        if (state.lastNoteOnStep < 0 || state.lastNoteOnStep + 1 >= step)
            return;
        for (int32_t s = state.lastNoteOnStep + 1; s < step; ++s) {
            SequencerStep &target = channel.lanes[lane].steps[s];
            if (target.note == codeOff) {
                target.note = codeHeld;
                target.velocity = state.lastVelocity;
            }
        }
    }

    void noteOn(int32_t lane, int32_t note, int32_t velocity, int64_t step)
    {
        if (step > engine::kSequencerSteps - 1)
            return;
        const int32_t e = int32_t(step);
        LaneImport &state = lanes[lane];
        fillHeld(lane, e);
        if (state.firstNote < 0) {
            state.firstNote = note;
            if (targetLane < 0)
                channel.lanes[lane].base = note;
        }
        SequencerStep &target = channel.lanes[lane].steps[e];
        if (target.note > lastNoteCode) {
            target.note = std::clamp(note - state.firstNote, -48, 48);
            target.velocity = float(velocity) * 0.007874016f;
            state.soundingNote = note;
            state.lastVelocity = target.velocity;
        }
        state.lastNoteOnStep = e;
        highestStep = std::max(highestStep, e);
    }

    void noteOff(int32_t lane, int32_t note, int64_t step)
    {
        if (step > engine::kSequencerSteps - 1)
            return;
        const int32_t e = int32_t(step);
        LaneImport &state = lanes[lane];
        if (note == state.soundingNote) {
            fillHeld(lane, e);
            SequencerStep &target = channel.lanes[lane].steps[e];
            if (target.note > lastNoteCode) {
                target.note = codeHeldEnd;
                target.velocity = state.lastVelocity;
            }
            state.soundingNote = -1;
            state.lastNoteOnStep = -1;
        }
        highestStep = std::max(highestStep, e);
    }

    const uint8_t *bytes;
    size_t size;
    size_t pos = 0;
    ChannelState &channel;
    int32_t targetLane;
    double ticksPerStep;
    LaneImport lanes[engine::kSequencerLanes];
    int32_t highestStep = 0;
};

} // namespace

int32_t importPatternMidi(const podoStr &path, ChannelState &channel, int32_t lane)
{
    if (lane < -1 || lane >= engine::kSequencerLanes)
        return 1;
    podoFile file;
    if (file.open(path, podoFileFlags::read) != 0)
        return 3;
    const int64_t fileSize = file.size();
    double ticksPerStep = 1.0;
    int32_t result = 0;
    uint8_t id[4];
    bool haveId = file.read(id, 1, 4) == 4;
    while (haveId && file.tell() < fileSize) {
        uint8_t lengthBytes[4];
        if (file.read(lengthBytes, 1, 4) != 4)
            break;
        const uint64_t length = bigEndian32(lengthBytes);
        // A length beyond the file ends the file after what is there.
        const uint64_t present = uint64_t(std::max<int64_t>(0, fileSize - file.tell()));
        const uint64_t available = std::min(length, present);
        if (std::memcmp(id, "MThd", 4) == 0) {
            uint8_t header[6];
            if (available >= 6 && file.read(header, 1, 6) == 6) {
                const uint32_t division = uint32_t(header[4]) << 8 | header[5];
                // No ticks at all gives no timing: the previous grid stays.
                if (division > 0) {
                    const int32_t rate = std::clamp(channel.seqRate, 0, 7);
                    ticksPerStep = std::ldexp(double(division), 2 - rate);
                }
                file.seek(int64_t(available - 6), 1);
            } else {
                file.seek(int64_t(available), 1); // too short for a division: the previous grid stays
            }
        } else if (std::memcmp(id, "MTrk", 4) == 0) {
            std::unique_ptr<uint8_t[]> bytes;
            if (available > 0) {
                bytes.reset(new (std::nothrow) uint8_t[size_t(available)]);
                if (!bytes) {
                    result = 2;
                    break;
                }
            }
            const size_t got = available > 0 ? file.read(bytes.get(), 1, size_t(available)) : 0;
            TrackReader(bytes.get(), got, channel, lane, ticksPerStep).run();
        } else {
            file.seek(int64_t(available), 1);
        }
        if (available < length)
            break;
        haveId = file.read(id, 1, 4) == 4;
    }
    file.close();
    return result;
}
