#pragma once

#include "foundation/davalArray.h"
#include "foundation/podoFileRIFF.h"
#include "foundation/podoStr.h"

#include <cstdint>

// One text tag of a LIST/INFO chunk ("INAM", "ICMT"...). size: the text's bytes in
// the file with its NUL (set when written).
struct WaveInfoEntry {
    uint32_t id = 0;
    uint32_t size = 0;
    podoStr text;
};

// The "LIST" chunk: body size, list type ("INFO") and the entries in file order.
struct WaveListRecord {
    uint32_t size = 0;
    uint32_t listType = 0;
    davalArray<WaveInfoEntry> entries;
};

// The "inst" chunk, passed through: the seven bytes of the published instrument
// chunk (unshifted note, fine tune, gain, low and high note, low and high velocity)
// and one more.
struct WaveInstrumentRecord {
    uint32_t size = 0;
    uint8_t bytes[8] = {};
};

struct WaveSampleLoop {
    uint32_t cuePointId = 0;
    uint32_t type = 0; // 0 forward, 1 alternating, 2 backward
    uint32_t start = 0; // sample frames
    uint32_t end = 0;   // the last frame of the loop
    uint32_t fraction = 0;
    uint32_t playCount = 0; // 0 endless
};

// The "smpl" chunk: body size, the nine header fields and the loops.
struct WaveSamplerRecord {
    uint32_t size = 0;
    uint32_t manufacturer = 0;
    uint32_t product = 0;
    uint32_t samplePeriod = 0; // nanoseconds per frame
    uint32_t midiUnityNote = 0;
    uint32_t midiPitchFraction = 0;
    uint32_t smpteFormat = 0;
    uint32_t smpteOffset = 0;
    uint32_t numLoops = 0;
    uint32_t samplerDataBytes = 0;
    davalArray<WaveSampleLoop> loops;
};

// A WAVE file: "fmt ", "data", and the "LIST" (INFO), "inst" and "smpl" chunks.
//
// Writing: open writes the header, a format placeholder and the data chunk's
// header; setFormat fills the format; samples go through accessData or
// transferFrames; LIST, inst and smpl follow the data (after them the data cannot
// grow); flush or close patches the sizes and adds the data's pad byte.
//
// Reading: open indexes the chunks and reads the format. INFO texts are taken as
// UTF-8, the form they are written in; text that is not valid UTF-8 is read as code
// page 949.
class podoFileWAV : public podoFileRIFF
{
public:
    podoFileWAV();
    ~podoFileWAV() override;

    uint32_t open(const podoStr &path, uint32_t flags, bool stream = false) override;
    uint32_t flush(bool commit = false) override;
    int32_t onChunk(int32_t id, int64_t size) override;

    // Each reads when the file has read access and writes when it has write access
    // only; bytes moved, 0 when the chunk is missing or the direction is wrong.
    int64_t format(WaveFormatRecord &record) override;
    // Reading only: the data chunk's bytes, up to the record's capacity.
    virtual int64_t data(RiffSizedRecord &record);
    // Reading: the entries of the LIST/INFO chunk; 4 for a list of another type.
    // Writing: the entries' sizes are set and the chunk written. Returns the bytes
    // after the list's size field (reading) or after its id (writing).
    virtual int64_t list(WaveListRecord &record);
    virtual int64_t instrument(WaveInstrumentRecord &record);
    // Writing takes the number of loops from the loop array.
    virtual int64_t sampler(WaveSamplerRecord &record);

protected:
    void readHeader() override;

private:
    int64_t readList(WaveListRecord &record);
    int64_t writeList(WaveListRecord &record);
    int64_t readSampler(WaveSamplerRecord &record);
    int64_t writeSampler(WaveSamplerRecord &record);
    // Logged when a chunk is written before the sample data; the data offset moves
    // past it.
    void chunkBeforeData(const char *operation, int64_t bytes);
};
