#include "foundation/podoFileWAV.h"

#include "foundation/podoLog.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int32_t idFormat = riffId("fmt ");
constexpr int32_t idData = riffId("data");
constexpr int32_t idList = riffId("LIST");
constexpr int32_t idInfo = riffId("INFO");
constexpr int32_t idInstrument = riffId("inst");
constexpr int32_t idSampler = riffId("smpl");
constexpr int32_t idWave = riffId("WAVE");

constexpr uint32_t formatBodyBytes = 16;
constexpr uint32_t instrumentBodyBytes = 8;
constexpr uint32_t samplerHeaderBytes = 36;
constexpr uint32_t loopBytes = 24;
// Legacy writers stored INFO texts in this code page; it is used only for text that
// is not valid UTF-8.
constexpr int legacyInfoCodePage = 949;

uint32_t u32At(const uint8_t *bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint16_t u16At(const uint8_t *bytes)
{
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

void putU32(uint8_t *bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

void putU16(uint8_t *bytes, uint16_t value)
{
    bytes[0] = static_cast<uint8_t>(value);
    bytes[1] = static_cast<uint8_t>(value >> 8);
}

int32_t idAt(const uint8_t *bytes)
{
    return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
                                static_cast<uint32_t>(bytes[2]) << 8 | static_cast<uint32_t>(bytes[3]));
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isUtf8(const std::string &text)
{
    const auto *p = reinterpret_cast<const uint8_t *>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const uint8_t c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t length = 0;
        uint32_t low = 0x80, high = 0xBF; // the allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0;
            if (c == 0xED)
                high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90;
            if (c == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (n - i < length || p[i + 1] < low || p[i + 1] > high)
            return false;
        for (size_t k = 2; k < length; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return false;
        i += length;
    }
    return true;
}

} // namespace

podoFileWAV::podoFileWAV()
{
    dataHeaderLength = 4;
}

podoFileWAV::~podoFileWAV()
{
    // Closed here, so that the data size is still patched by this class's flush.
    if (isOpen())
        close(false);
}

uint32_t podoFileWAV::open(const podoStr &path, uint32_t flags, bool stream)
{
    dataHeaderLength = 4; // before indexing, which places the data region by it
    const uint32_t code = podoFileRIFF::open(path, flags, stream);
    if (code != 0 || !isOpen() || !isWriting())
        return code;
    formType = idWave;
    const uint8_t zeros[4 + formatBodyBytes] = {};
    writeId(idFormat);
    addChunk(idFormat, position, 4 + formatBodyBytes, true);
    writeCounted(zeros, sizeof zeros);
    writeId(idData);
    region.offset = position;
    region.size = dataHeaderLength;
    region.position = 0;
    writeU32(0);
    return getError();
}

uint32_t podoFileWAV::flush(bool commit)
{
    if (isOpen() && isWriting() && region.size != 0) {
        const int64_t dataBytes = region.size - dataHeaderLength;
        seek(region.offset, 0);
        writeU32(static_cast<uint32_t>(dataBytes));
        if (!dataClosed && (dataBytes & 1)) {
            // The pad byte after odd sample data; new samples write over it.
            const uint8_t pad = 0;
            seek(region.offset + region.size, 0);
            writeCounted(&pad, 1);
        }
    }
    return podoFileRIFF::flush(commit);
}

int32_t podoFileWAV::onChunk(int32_t id, int64_t size)
{
    if (isReading() && id == idData) {
        region.offset = position - 4;
        region.size = size;
        region.position = dataHeaderLength;
    }
    return podoFileRIFF::onChunk(id, size);
}

void podoFileWAV::readHeader()
{
    WaveFormatRecord record;
    format(record);
}

int64_t podoFileWAV::format(WaveFormatRecord &record)
{
    uint8_t body[formatBodyBytes] = {};
    RiffSizedRecord raw;
    raw.body = body;
    raw.capacity = formatBodyBytes;
    int64_t moved = 0;
    if (isReading()) {
        record.size = 0;
        moved = readChunk(idFormat, raw);
        if (moved != 4 + formatBodyBytes)
            return moved;
        record.size = formatBodyBytes;
        record.formatTag = u16At(body);
        record.channels = u16At(body + 2);
        record.rate = u32At(body + 4);
        record.avgBytesPerSec = u32At(body + 8);
        record.blockAlign = u16At(body + 12);
        record.bitsPerSample = u16At(body + 14);
    } else if (isWriting()) {
        record.size = formatBodyBytes;
        putU16(body, record.formatTag);
        putU16(body + 2, record.channels);
        putU32(body + 4, record.rate);
        putU32(body + 8, record.avgBytesPerSec);
        putU16(body + 12, record.blockAlign);
        putU16(body + 14, record.bitsPerSample);
        raw.size = formatBodyBytes;
        moved = putChunk(idFormat, raw);
        if (moved != 4 + formatBodyBytes)
            return moved;
        writtenFormat = record;
    } else {
        return 0;
    }
    audioFormat.set(static_cast<int32_t>(record.rate), record.bitsPerSample / 8, record.channels,
                    podoStreamLayout::interleaved, record.formatTag);
    return moved;
}

int64_t podoFileWAV::data(RiffSizedRecord &record)
{
    if (!isReading())
        return 0;
    record.size = 0;
    return readChunk(idData, record);
}

int64_t podoFileWAV::list(WaveListRecord &record)
{
    if (isReading())
        return readList(record);
    if (isWriting())
        return writeList(record);
    return 0;
}

int64_t podoFileWAV::readList(WaveListRecord &record)
{
    record.size = 0;
    record.entries.removeAll();
    // A file may hold several lists; the INFO one is wanted.
    const RiffChunkEntry *chosen = nullptr;
    for (int32_t i = 0; i < index.getCount(); ++i) {
        const RiffChunkEntry *entry = index.at(i);
        if (entry->id != idList || entry->size < 8)
            continue;
        uint8_t type[4];
        seek(entry->offset + 4, 0);
        if (read(type, 1, 4) != 4)
            continue;
        if (!chosen || idAt(type) == idInfo)
            chosen = entry;
        if (idAt(type) == idInfo)
            break;
    }
    if (!chosen)
        return 0;
    seek(chosen->offset, 0);
    uint8_t header[8];
    if (read(header, 1, 8) != 8)
        return 0;
    record.size = u32At(header);
    record.listType = static_cast<uint32_t>(idAt(header + 4));
    if (idAt(header + 4) != idInfo)
        return 4;

    // Entries never reach past the list, nor the list past the file.
    const int64_t body = std::min<int64_t>(record.size, chosen->size - 4);
    int64_t consumed = 4;
    std::string text;
    while (consumed + 8 <= body) {
        if (read(header, 1, 8) != 8)
            break;
        consumed += 8;
        const uint32_t size = u32At(header + 4);
        if (size > body - consumed)
            break;
        if (size > 0) {
            text.assign(size, '\0');
            if (read(text.data(), 1, size) != size)
                break;
            consumed += size;
            text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
            WaveInfoEntry entry;
            entry.id = static_cast<uint32_t>(idAt(header));
            entry.size = size;
            if (isUtf8(text))
                entry.text.setNarrow(text.c_str(), static_cast<int>(text.size()));
            else
                entry.text.setMultiByte(text.c_str(), legacyInfoCodePage);
            record.entries.add(entry);
        }
        if ((size & 1) && consumed < body) {
            uint8_t pad = 1;
            if (read(&pad, 1, 1) == 1 && pad == 0)
                ++consumed;
            else
                seek(-1, 1);
        }
    }
    return consumed;
}

int64_t podoFileWAV::writeList(WaveListRecord &record)
{
    int64_t size = 4;
    for (int32_t i = 0; i < record.entries.getCount(); ++i) {
        WaveInfoEntry *entry = record.entries.at(i);
        const int64_t bytes = static_cast<int64_t>(std::char_traits<char>::length(entry->text.getNarrow())) + 1;
        entry->size = static_cast<uint32_t>(bytes);
        size += 8 + bytes + (bytes & 1);
        if (size > 0xFFFFFF00LL)
            return 0;
    }
    record.size = static_cast<uint32_t>(size);
    record.listType = static_cast<uint32_t>(idInfo);
    if (region.size == 0)
        chunkBeforeData("podoFileWAV::list() : other chunk before data chunk", size);
    if (const RiffChunkEntry *entry = findChunk(idList)) {
        if (entry->size != size + 4)
            return 0; // a list of another length would run over what follows it
        seek(entry->offset, 0);
    } else {
        seekToAppend();
        writeId(idList);
        addChunk(idList, position, size + 4, true);
    }
    writeU32(static_cast<uint32_t>(size));
    writeId(idInfo);
    const uint8_t zero = 0;
    for (int32_t i = 0; i < record.entries.getCount(); ++i) {
        const WaveInfoEntry *entry = record.entries.at(i);
        writeId(static_cast<int32_t>(entry->id));
        writeU32(entry->size);
        writeCounted(entry->text.getNarrow(), entry->size - 1);
        writeCounted(&zero, 1);
        if (entry->size & 1)
            writeCounted(&zero, 1);
    }
    return size + 4;
}

int64_t podoFileWAV::instrument(WaveInstrumentRecord &record)
{
    RiffSizedRecord raw;
    raw.body = record.bytes;
    raw.capacity = instrumentBodyBytes;
    if (isReading()) {
        record.size = 0;
        const int64_t moved = readChunk(idInstrument, raw);
        record.size = raw.size;
        return moved;
    }
    if (!isWriting())
        return 0;
    record.size = instrumentBodyBytes;
    if (region.size == 0)
        chunkBeforeData("podoFileWAV::instrument() : other chunk before data chunk", instrumentBodyBytes);
    raw.size = instrumentBodyBytes;
    return putChunk(idInstrument, raw);
}

int64_t podoFileWAV::sampler(WaveSamplerRecord &record)
{
    if (isReading())
        return readSampler(record);
    if (isWriting())
        return writeSampler(record);
    return 0;
}

int64_t podoFileWAV::readSampler(WaveSamplerRecord &record)
{
    record.size = 0;
    record.numLoops = 0;
    record.loops.removeAll();
    const RiffChunkEntry *entry = findChunk(idSampler);
    if (!entry || entry->size <= 0)
        return 0;
    seek(entry->offset, 0);
    uint8_t bytes[4 + samplerHeaderBytes];
    if (read(bytes, 1, sizeof bytes) != sizeof bytes)
        return 0;
    const int64_t body = std::min<int64_t>(u32At(bytes), entry->size - 4);
    if (body < samplerHeaderBytes)
        return 0;
    uint32_t *fields[] = {&record.manufacturer,      &record.product,     &record.samplePeriod,
                          &record.midiUnityNote,     &record.midiPitchFraction, &record.smpteFormat,
                          &record.smpteOffset,       &record.numLoops,    &record.samplerDataBytes};
    for (size_t i = 0; i < 9; ++i)
        *fields[i] = u32At(bytes + 4 + 4 * i);
    // The stated loop count is held to the loops the chunk has room for.
    const uint32_t fit = static_cast<uint32_t>((body - samplerHeaderBytes) / loopBytes);
    const uint32_t count = std::min(record.numLoops, fit);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t raw[loopBytes];
        if (read(raw, 1, loopBytes) != loopBytes)
            break;
        WaveSampleLoop loop;
        loop.cuePointId = u32At(raw);
        loop.type = u32At(raw + 4);
        loop.start = u32At(raw + 8);
        loop.end = u32At(raw + 12);
        loop.fraction = u32At(raw + 16);
        loop.playCount = u32At(raw + 20);
        record.loops.add(loop);
    }
    record.numLoops = static_cast<uint32_t>(record.loops.getCount());
    record.size = samplerHeaderBytes + loopBytes * record.numLoops;
    return 4 + static_cast<int64_t>(record.size);
}

int64_t podoFileWAV::writeSampler(WaveSamplerRecord &record)
{
    const int64_t count = record.loops.getCount();
    const int64_t size = samplerHeaderBytes + loopBytes * count;
    record.numLoops = static_cast<uint32_t>(count);
    record.size = static_cast<uint32_t>(size);
    if (region.size == 0)
        chunkBeforeData("podoFileWAV::sampler() : other chunk before data chunk", size);
    std::vector<uint8_t> body(static_cast<size_t>(size));
    const uint32_t fields[] = {record.manufacturer, record.product,     record.samplePeriod,
                               record.midiUnityNote, record.midiPitchFraction, record.smpteFormat,
                               record.smpteOffset,   record.numLoops,   record.samplerDataBytes};
    for (size_t i = 0; i < 9; ++i)
        putU32(body.data() + 4 * i, fields[i]);
    for (int64_t i = 0; i < count; ++i) {
        const WaveSampleLoop *loop = record.loops.at(static_cast<int32_t>(i));
        uint8_t *at = body.data() + samplerHeaderBytes + loopBytes * i;
        putU32(at, loop->cuePointId);
        putU32(at + 4, loop->type);
        putU32(at + 8, loop->start);
        putU32(at + 12, loop->end);
        putU32(at + 16, loop->fraction);
        putU32(at + 20, loop->playCount);
    }
    RiffSizedRecord raw;
    raw.size = record.size;
    raw.body = body.data();
    raw.capacity = record.size;
    return putChunk(idSampler, raw);
}

void podoFileWAV::chunkBeforeData(const char *operation, int64_t bytes)
{
    podo::logMessage(3, true, "%s", operation);
    region.offset += bytes;
}
