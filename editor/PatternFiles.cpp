#include "editor/PatternFiles.h"

#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"
#include "engine/Quorix.h"
#include "foundation/podoFile.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace patternFiles {

namespace {

bool validChannel(int32_t channel) { return channel >= 0 && channel < engine::kChannelCount; }
bool validLane(int32_t lane) { return lane >= 0 && lane < engine::kSequencerLanes; }

int32_t parameterIndex(int32_t channel, int32_t local) { return channel * engine::kChannelParameterCount + local; }
int32_t laneFirst(int32_t channel, int32_t lane)
{
    return parameterIndex(channel, engine::local::FirstLane + engine::local::LaneSpan * lane);
}
int32_t patternFirst(int32_t channel) { return parameterIndex(channel, engine::local::SeqOn); }

// The program block is packed: its values are reached byte-wise.
uint8_t *valueBytes(Quorix *engine, int32_t index)
{
    return reinterpret_cast<uint8_t *>(engine->getProgramBlock()) + offsetof(ProgramBlock, values) +
           sizeof(float) * size_t(index);
}

int32_t writeValues(Quorix *engine, const podoStr &path, int32_t first, int32_t count)
{
    podoFile file;
    if (file.open(path, podoFileFlags::write | podoFileFlags::create) != 0)
        return 3;
    const uint8_t mark = engine->getByteOrderMark();
    const size_t bytes = sizeof(float) * size_t(count);
    const bool whole = file.write(&mark, 1, 1) == 1 && file.write(valueBytes(engine, first), 1, bytes) == bytes;
    // A file cut short (a full disk) is not reported as saved.
    return file.close() == 0 && whole ? 0 : 3;
}

int32_t readValues(Quorix *engine, const podoStr &path, int32_t first, int32_t count)
{
    podoFile file;
    if (file.open(path, podoFileFlags::read) != 0)
        return 3;
    uint8_t mark = 0;
    if (file.read(&mark, 1, 1) != 1) {
        file.close();
        return 0;
    }
    float read[patternValueCount];
    const size_t got = file.read(read, sizeof(float), size_t(count)) / sizeof(float);
    file.close();
    const bool swap = mark != engine->getByteOrderMark();
    for (size_t i = 0; i < got; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &read[i], sizeof bits);
        if (swap)
            bits = __builtin_bswap32(bits);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        // The file is not trusted: the engine decodes these values into indexes and levels.
        if (std::isfinite(value)) {
            value = std::clamp(value, 0.0f, 1.0f);
            std::memcpy(valueBytes(engine, first + int32_t(i)), &value, sizeof value);
        }
    }
    return 0;
}

} // namespace

int32_t writeLaneFile(Quorix *engine, const podoStr &path, int32_t channel, int32_t lane)
{
    if (!engine || !validChannel(channel) || !validLane(lane))
        return 3;
    return writeValues(engine, path, laneFirst(channel, lane), laneValueCount);
}

int32_t writePatternFile(Quorix *engine, const podoStr &path, int32_t channel)
{
    if (!engine || !validChannel(channel))
        return 3;
    return writeValues(engine, path, patternFirst(channel), patternValueCount);
}

int32_t readLaneFile(Quorix *engine, const podoStr &path, int32_t channel, int32_t lane)
{
    if (!engine || !validChannel(channel) || !validLane(lane))
        return 3;
    return readValues(engine, path, laneFirst(channel, lane), laneValueCount);
}

int32_t readPatternFile(Quorix *engine, const podoStr &path, int32_t channel)
{
    if (!engine || !validChannel(channel))
        return 3;
    const int32_t result = readValues(engine, path, patternFirst(channel), patternValueCount);
    if (result == 0) {
        const float firstPart = 0.0f;
        std::memcpy(valueBytes(engine, parameterIndex(channel, engine::local::SeqPart)), &firstPart, sizeof firstPart);
    }
    return result;
}

} // namespace patternFiles
