#include "foundation/podoFileRIFF.h"

#include <algorithm>

namespace {

constexpr int32_t idRiff = riffId("RIFF");

uint32_t littleU32(const uint8_t *bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

int32_t bigId(const uint8_t *bytes)
{
    return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
                                static_cast<uint32_t>(bytes[2]) << 8 | static_cast<uint32_t>(bytes[3]));
}

} // namespace

podoFileRIFF::~podoFileRIFF()
{
    if (isOpen())
        close(false);
}

uint32_t podoFileRIFF::open(const podoStr &path, uint32_t flags, bool stream)
{
    const uint32_t code = podoFileAudio::open(path, flags, stream);
    if (code != 0 || !isOpen())
        return code;
    index.removeAll();
    sizeOffset = 0;
    containerSize = 0;
    formType = 0;
    if (isWriting()) {
        // The header with placeholders: a size of 4 (the form type alone) and no form
        // type yet; flush writes both.
        writeId(idRiff);
        sizeOffset = 4;
        writeU32(4);
        writeU32(0);
        return getError();
    }
    if (isReading())
        return indexFile();
    return code;
}

uint32_t podoFileRIFF::indexFile()
{
    uint8_t header[8];
    if (read(header, 1, 4) != 4 || bigId(header) != idRiff || read(header, 1, 8) != 8) {
        setError(podoFileError::notRiff);
        return podoFileError::notRiff;
    }
    formType = bigId(header + 4);
    onChunk(idRiff, static_cast<int64_t>(littleU32(header)) + 4);

    const int64_t fileBytes = size();
    int64_t at = 12;
    while (at + 8 <= fileBytes && index.getCount() < maxIndexedChunks) {
        seek(at, 0);
        if (read(header, 1, 8) != 8)
            break;
        at += 8;
        const uint32_t stated = littleU32(header + 4);
        // A chunk cannot reach past the file's end; a cut one is the last.
        const int64_t body = std::min<int64_t>(stated, fileBytes - at);
        onChunk(bigId(header), body + 4);
        at += body;
        if (body < stated)
            break;
        if ((stated & 1) && at < fileBytes) {
            uint8_t pad = 1;
            seek(at, 0);
            if (read(&pad, 1, 1) == 1 && pad == 0)
                ++at;
        }
    }
    index.sort(true);
    readHeader();
    return getError();
}

uint32_t podoFileRIFF::flush(bool commit)
{
    if (isOpen() && isWriting() && containerSize > 0) {
        const int64_t end = position;
        seek(sizeOffset, 0);
        writeU32(static_cast<uint32_t>(containerSize));
        writeId(formType);
        seek(end, 0);
    }
    return podoFileBase::flush(commit);
}

size_t podoFileRIFF::write(const void *data, size_t size, size_t count)
{
    const size_t put = podoFile::write(data, size, count);
    if (isWriting())
        containerSize = std::max(containerSize, position - (sizeOffset + 4));
    return put;
}

RiffChunkEntry *podoFileRIFF::addChunk(int32_t id, int64_t offset, int64_t size, bool resort)
{
    RiffChunkEntry entry;
    entry.id = id;
    entry.offset = offset;
    entry.size = size;
    index.add(entry);
    if (!resort)
        return index.at(index.getCount() - 1);
    index.sort(true);
    const int32_t found = index.findSorted(entry);
    return found < 0 ? nullptr : index.at(found);
}

RiffChunkEntry *podoFileRIFF::findChunk(int32_t id)
{
    RiffChunkEntry wanted;
    wanted.id = id;
    const int32_t found = index.findSorted(wanted);
    return found < 0 ? nullptr : index.at(found);
}

int32_t podoFileRIFF::onChunk(int32_t id, int64_t size)
{
    if (!isReading())
        return 0;
    if (id == idRiff) {
        sizeOffset = 0;
        containerSize = size;
        return 0;
    }
    // Sorted once the whole file is indexed.
    addChunk(id, position - 4, size, false);
    return 0;
}

int64_t podoFileRIFF::readChunk(int32_t id, RiffSizedRecord &record)
{
    const RiffChunkEntry *entry = isReading() ? findChunk(id) : nullptr;
    if (!entry || entry->size <= 0)
        return 0;
    seek(entry->offset, 0);
    return readSizedRecord(record);
}

int64_t podoFileRIFF::readChunkBody(void *buffer, int64_t bytes)
{
    if (bytes <= 0)
        return 4;
    return static_cast<int64_t>(read(buffer, 1, static_cast<size_t>(bytes))) + 4;
}

int64_t podoFileRIFF::readSizedRecord(RiffSizedRecord &record)
{
    uint32_t stated = 0;
    if (!readU32(stated)) {
        record.size = 0;
        return 0;
    }
    // Never more than the record holds or the file has left.
    const int64_t left = std::max<int64_t>(size() - position, 0);
    const int64_t wanted = std::min<int64_t>({stated, record.capacity, left});
    const int64_t got = record.body ? readChunkBody(record.body, wanted) - 4 : 0;
    record.size = static_cast<uint32_t>(got);
    return got + 4;
}

int64_t podoFileRIFF::writeChunk(int32_t id, const void *data, int64_t bytes)
{
    if (!isWriting() || bytes < 0 || bytes > 0xFFFFFFFFLL)
        return 0;
    if (id != 0)
        writeId(id);
    writeU32(static_cast<uint32_t>(bytes));
    if (bytes > 0)
        writeCounted(data, bytes);
    return bytes + 4;
}

int64_t podoFileRIFF::putChunk(int32_t id, const RiffSizedRecord &record)
{
    if (!isWriting() || (record.size > 0 && !record.body))
        return 0;
    if (RiffChunkEntry *entry = findChunk(id)) {
        if (entry->size != static_cast<int64_t>(record.size) + 4)
            return 0;
        seek(entry->offset, 0);
        writeChunk(0, record.body, record.size);
        return static_cast<int64_t>(record.size) + 4;
    }
    seekToAppend();
    writeId(id);
    addChunk(id, position, static_cast<int64_t>(record.size) + 4, true);
    writeChunk(0, record.body, record.size);
    if (record.size & 1) {
        const uint8_t pad = 0;
        writeCounted(&pad, 1);
    }
    return static_cast<int64_t>(record.size) + 4;
}

int64_t podoFileRIFF::writeCounted(const void *data, int64_t bytes)
{
    if (!data || bytes <= 0)
        return 0;
    return static_cast<int64_t>(write(data, 1, static_cast<size_t>(bytes)));
}

void podoFileRIFF::seekToAppend()
{
    if (region.size > 0 && !dataClosed) {
        // The sample data is last: new chunks follow it, after its pad byte.
        seek(region.offset + region.size, 0);
        if ((region.size - dataHeaderLength) & 1) {
            const uint8_t pad = 0;
            writeCounted(&pad, 1);
        }
        dataClosed = true;
        return;
    }
    seek(0, 2);
}

bool podoFileRIFF::readU32(uint32_t &value)
{
    uint8_t bytes[4];
    if (read(bytes, 1, 4) != 4)
        return false;
    value = littleU32(bytes);
    return true;
}

bool podoFileRIFF::writeU32(uint32_t value)
{
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return write(bytes, 1, 4) == 4;
}

bool podoFileRIFF::writeId(int32_t id)
{
    const auto v = static_cast<uint32_t>(id);
    const uint8_t bytes[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                              static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    return write(bytes, 1, 4) == 4;
}
