#pragma once

#include "foundation/davalArray.h"
#include "foundation/podoFileAudio.h"

#include <cstdint>

// A four-character id as a number whose most significant byte is the first
// character; it stands in the file in character order.
constexpr int32_t riffId(const char (&text)[5])
{
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(text[0])) << 24) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 16) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 8) |
                                static_cast<uint32_t>(static_cast<uint8_t>(text[3])));
}

// One chunk of the file: offset of its size field, and its size (4 + body bytes,
// cut to what the file holds).
struct RiffChunkEntry {
    int32_t id = 0;
    int64_t offset = 0;
    int64_t size = 0;

    bool operator==(const RiffChunkEntry &other) const { return id == other.id; }
    bool operator>(const RiffChunkEntry &other) const { return id > other.id; }
};

// A chunk body in the caller's memory: the body size (as in the file's size field)
// and room for `capacity` bytes of body.
struct RiffSizedRecord {
    uint32_t size = 0;
    void *body = nullptr;
    uint32_t capacity = 0;
};

// The RIFF container: the 12-byte header, an index of every chunk sorted by id,
// chunk reads and writes, and the container size.
//
// Reading: the chunks are indexed at open. A chunk size larger than what the file
// holds is cut to the file's end (and ends the index); the byte after an odd-sized
// chunk is skipped when it is 0 (the pad byte; files without pad bytes still read);
// at most maxIndexedChunks chunks are indexed.
//
// Writing: new chunks are appended at the end of the file; an odd-sized chunk is
// followed by a pad byte that the container size counts and the chunk's does not.
// A chunk already in the file is rewritten in place only with its old size, so that
// it never runs over the next one. The container size is the number of bytes after
// its own field, patched at flush and close.
class podoFileRIFF : public podoFileAudio
{
public:
    static constexpr int32_t maxIndexedChunks = 65536;

    podoFileRIFF() = default;
    // Closes while the container's own flush still runs.
    ~podoFileRIFF() override;

    uint32_t open(const podoStr &path, uint32_t flags, bool stream = false) override;
    uint32_t flush(bool commit = false) override;
    size_t write(const void *data, size_t size, size_t count) override;

    // With resort the index is sorted again and the entry found anew; otherwise the
    // appended entry.
    virtual RiffChunkEntry *addChunk(int32_t id, int64_t offset, int64_t size, bool resort);
    // With two chunks of one id, either may be found.
    virtual RiffChunkEntry *findChunk(int32_t id);
    // Called for the container and for every chunk while a file is indexed, with the
    // position just after the chunk's size field. Returns 0.
    virtual int32_t onChunk(int32_t id, int64_t size);
    // The chunk's size field and body into the record (at most its capacity, at most
    // what the file holds); the record's size becomes the bytes placed. Returns them
    // + 4, or 0 when the chunk is missing.
    virtual int64_t readChunk(int32_t id, RiffSizedRecord &record);
    // bytes read + 4
    virtual int64_t readChunkBody(void *buffer, int64_t bytes);
    virtual int64_t readSizedRecord(RiffSizedRecord &record);
    // At the current position: the id (unless 0), the size and the data. Returns data
    // bytes + 4.
    virtual int64_t writeChunk(int32_t id, const void *data, int64_t bytes);
    // Rewrites an indexed chunk of the same size in place, or appends a new one.
    // Returns the record's size + 4, 0 when refused.
    virtual int64_t putChunk(int32_t id, const RiffSizedRecord &record);
    // Writes bytes that the container size counts (all writes are counted once).
    virtual int64_t writeCounted(const void *data, int64_t bytes);

    const davalSortableArray<RiffChunkEntry> &chunkIndex() const { return index; }
    int64_t getContainerSize() const { return containerSize; }
    int32_t getFormType() const { return formType; }

protected:
    // Positions the file where the next chunk goes: the end of the file, or the end of
    // the sample data when it is last (with its pad byte when it is odd).
    void seekToAppend();
    bool readU32(uint32_t &value);
    bool writeU32(uint32_t value);
    bool writeId(int32_t id);

    int64_t sizeOffset = 0;    // where the container size is written
    int64_t containerSize = 0; // bytes after the size field
    int32_t formType = 0;      // written after the container size
    davalSortableArray<RiffChunkEntry> index;

private:
    uint32_t indexFile();
};
