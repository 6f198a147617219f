#pragma once

#include "foundation/podoFile.h"
#include "foundation/podoStream.h"

#include <cstddef>
#include <cstdint>

namespace podoFileError {
constexpr uint32_t notRiff = 0x906078; // not a RIFF file, or its header is short
} // namespace podoFileError

// The "fmt " chunk: its body size (16) and the body's fields.
struct WaveFormatRecord {
    uint32_t size = 0;
    uint16_t formatTag = 0; // 1 integer PCM, 3 floats
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
};

// Where the sample data lies. offset: the data chunk's size field; size: the header
// length (4) plus the data bytes so far; position: the read position counted from
// the offset (the first data byte is at the header length).
struct AudioDataRegion {
    int64_t offset = 0;
    int64_t size = 0;
    int64_t position = 0;
};

// An audio file in general: a format, one data region and the transfer of whole
// frames between the data and a podoStream. A file is read when it was opened with
// read access, and written when it was opened with write access but not read access;
// an operation of the other direction gives 0 and touches nothing.
class podoFileAudio : public podoFile
{
public:
    podoFileAudio() = default;

    // podoFile's open; on success the format and the data region start empty and the
    // container's layers take over (indexing or writing headers).
    uint32_t open(const podoStr &path, uint32_t flags, bool stream = false) override;

    // The format chunk: read into the record, or written from it. Bytes moved (20 when
    // whole); the file's format follows a whole move. Without a container: 0.
    virtual int64_t format(WaveFormatRecord &record);
    // Writes a format of whole-byte samples (bitsPerSample / 8 bytes each).
    virtual int64_t setFormat(int32_t rate, int32_t bitsPerSample, int32_t channels, int32_t formatTag);
    // The file's format chunk (each output may be null): read from a file being read,
    // the one last written for a file being written (never rewritten by asking).
    // Bytes of the chunk, 0 when there is none.
    virtual int64_t getFormat(int32_t *rate, int32_t *bitsPerSample, int32_t *channels, int32_t *formatTag);
    virtual podoAudioFormat formatRecord();
    // Writes the given format; a format tag of 0 is written as PCM (1).
    virtual int64_t setFormatFrom(const podoAudioFormat &format);

    // Reading: up to `bytes` from the region's position, which advances. Writing:
    // appends to the region's end (refused once a chunk follows the data, which the
    // samples would overwrite, or when the file would outgrow 4 GB). Null region: the
    // file's own. Bytes moved.
    virtual int64_t accessData(AudioDataRegion *region, void *buffer, int64_t bytes);
    virtual void rewindData(AudioDataRegion *region);
    // Moves whole frames between the region and an interleaved stream of the file's
    // format (otherwise 0). Reading fills the stream with up to `frames` frames (0:
    // its capacity), growing it when it is smaller; writing appends every frame the
    // stream holds and takes them from it. Bytes moved.
    virtual int64_t transferFrames(AudioDataRegion *region, podoStream &stream, uint64_t frames);

    AudioDataRegion *dataRegion() { return &region; }

protected:
    // Runs after open has reset the format and the region.
    virtual void onOpened() {}
    // Runs once a file opened for reading is indexed: reads what the rest of the class
    // expects (the format).
    virtual void readHeader() {}

    bool isReading() const { return (openFlags() & podoFileFlags::read) != 0; }
    bool isWriting() const { return (openFlags() & (podoFileFlags::read | podoFileFlags::write)) == podoFileFlags::write; }

    podoAudioFormat audioFormat;
    WaveFormatRecord writtenFormat; // size 0 until a format chunk is written
    AudioDataRegion region;
    int64_t dataHeaderLength = 0;
    // Set once a chunk is written after the sample data: the data cannot grow any more.
    bool dataClosed = false;
};

// An audio file with a work buffer of its own, released by open and close.
class podoFileAudioBuffered : public podoFileAudio
{
public:
    podoFileAudioBuffered() = default;
    ~podoFileAudioBuffered() override;

    uint32_t open(const podoStr &path, uint32_t flags, bool stream = false) override;
    uint32_t close(bool commit = false) override;

    // A buffer of at least `bytes` (the contents are kept up to the old count); null
    // when it cannot be had.
    virtual uint8_t *reserveWork(size_t bytes);
    uint8_t *getWorkBuffer() const { return workBuffer; }
    size_t getWorkCount() const { return workCount; }

private:
    void releaseWork();

    uint8_t *workBuffer = nullptr;
    size_t workCount = 0;
};
