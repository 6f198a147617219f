#include "foundation/podoFileAudio.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// A RIFF container's sizes are 32-bit: no file may grow past this.
constexpr int64_t largestFile = 0xFFFFFFFFLL;

} // namespace

uint32_t podoFileAudio::open(const podoStr &path, uint32_t flags, bool stream)
{
    const uint32_t code = podoFile::open(path, flags, stream);
    if (code != 0 || !isOpen())
        return code;
    audioFormat.set(0, 0, 0, 0, 1);
    writtenFormat = WaveFormatRecord();
    region = AudioDataRegion();
    dataClosed = false;
    onOpened();
    return code;
}

int64_t podoFileAudio::format(WaveFormatRecord &)
{
    return 0;
}

int64_t podoFileAudio::setFormat(int32_t rate, int32_t bitsPerSample, int32_t channels, int32_t formatTag)
{
    const int32_t bytesPerSample = bitsPerSample / 8;
    WaveFormatRecord record;
    record.size = 16;
    record.formatTag = static_cast<uint16_t>(formatTag);
    record.channels = static_cast<uint16_t>(channels);
    record.rate = static_cast<uint32_t>(rate);
    record.avgBytesPerSec = static_cast<uint32_t>(rate) * static_cast<uint32_t>(bytesPerSample * channels);
    record.blockAlign = static_cast<uint16_t>(channels * bytesPerSample);
    record.bitsPerSample = static_cast<uint16_t>(bitsPerSample);
    return format(record);
}

int64_t podoFileAudio::getFormat(int32_t *rate, int32_t *bitsPerSample, int32_t *channels, int32_t *formatTag)
{
    WaveFormatRecord record;
    int64_t moved = 0;
    if (isReading()) {
        moved = format(record);
    } else if (writtenFormat.size != 0) {
        // Asking must not write: the chunk written last is the answer.
        record = writtenFormat;
        moved = 20;
    }
    if (moved == 20) {
        if (rate)
            *rate = static_cast<int32_t>(record.rate);
        if (bitsPerSample)
            *bitsPerSample = record.bitsPerSample;
        if (channels)
            *channels = record.channels;
        if (formatTag)
            *formatTag = record.formatTag;
    }
    return moved;
}

podoAudioFormat podoFileAudio::formatRecord()
{
    if (isReading()) {
        WaveFormatRecord record;
        format(record);
    }
    return audioFormat;
}

int64_t podoFileAudio::setFormatFrom(const podoAudioFormat &from)
{
    audioFormat.copy(from);
    return setFormat(from.rate, from.bytesPerSample * 8, from.channels, from.formatTag != 0 ? from.formatTag : 1);
}

int64_t podoFileAudio::accessData(AudioDataRegion *given, void *buffer, int64_t bytes)
{
    AudioDataRegion &r = given ? *given : region;
    if (!buffer || bytes <= 0)
        return 0;
    if (isReading()) {
        const int64_t left = r.size - r.position;
        if (left <= 0)
            return 0;
        seek(r.offset + r.position, 0);
        const int64_t got = static_cast<int64_t>(read(buffer, 1, static_cast<size_t>(std::min(bytes, left))));
        r.position += got;
        return got;
    }
    if (isWriting()) {
        if (dataClosed || r.offset + r.size + bytes > largestFile)
            return 0;
        seek(r.offset + r.size, 0);
        const int64_t put = static_cast<int64_t>(write(buffer, 1, static_cast<size_t>(bytes)));
        r.size += put;
        return put;
    }
    return 0;
}

void podoFileAudio::rewindData(AudioDataRegion *given)
{
    AudioDataRegion &r = given ? *given : region;
    if (isReading())
        r.position = dataHeaderLength;
    else if (isWriting())
        r.size = dataHeaderLength;
}

int64_t podoFileAudio::transferFrames(AudioDataRegion *given, podoStream &stream, uint64_t frames)
{
    AudioDataRegion &r = given ? *given : region;
    if (!stream.format().equals(audioFormat) || audioFormat.layout != podoStreamLayout::interleaved)
        return 0;
    const int64_t frameBytes = static_cast<int64_t>(audioFormat.channels) * audioFormat.bytesPerSample;
    if (frameBytes <= 0)
        return 0;
    auto *ringStart = static_cast<uint8_t *>(stream.channelData(0));
    uint64_t first = 0, second = 0;

    if (isReading()) {
        if (frames == 0)
            frames = stream.getCapacity();
        frames = std::min<uint64_t>(frames, static_cast<uint64_t>(std::max<int64_t>(r.size - r.position, 0) / frameBytes));
        if (frames == 0)
            return 0;
        if (stream.getCapacity() < frames) {
            if (stream.allocate(frames) < frames)
                return 0;
            ringStart = static_cast<uint8_t *>(stream.channelData(0));
        }
        auto *at = static_cast<uint8_t *>(stream.writableRuns(&first, &second, 0));
        if (!at)
            return 0;
        const uint64_t head = std::min(first, frames);
        const uint64_t tail = std::min(second, frames - head);
        int64_t got = accessData(&r, at, static_cast<int64_t>(head) * frameBytes);
        if (tail > 0 && got == static_cast<int64_t>(head) * frameBytes)
            got += accessData(&r, ringStart, static_cast<int64_t>(tail) * frameBytes);
        if (got / frameBytes > 0)
            stream.markAsWritten(static_cast<uint64_t>(got / frameBytes), -1);
        return got;
    }
    if (isWriting()) {
        auto *at = static_cast<uint8_t *>(stream.readableRuns(&first, &second, 0));
        if (!at || first + second == 0)
            return 0;
        int64_t put = accessData(&r, at, static_cast<int64_t>(first) * frameBytes);
        if (second > 0 && put == static_cast<int64_t>(first) * frameBytes)
            put += accessData(&r, ringStart, static_cast<int64_t>(second) * frameBytes);
        // Only the frames that reached the file leave the stream.
        if (put / frameBytes > 0)
            stream.markAsRead(static_cast<uint64_t>(put / frameBytes), -1);
        return put;
    }
    return 0;
}

podoFileAudioBuffered::~podoFileAudioBuffered()
{
    releaseWork();
}

uint32_t podoFileAudioBuffered::open(const podoStr &path, uint32_t flags, bool stream)
{
    const uint32_t code = podoFileAudio::open(path, flags, stream);
    releaseWork();
    return code;
}

uint32_t podoFileAudioBuffered::close(bool commit)
{
    releaseWork();
    return podoFileBase::close(commit);
}

uint8_t *podoFileAudioBuffered::reserveWork(size_t bytes)
{
    if (bytes <= workCount)
        return workBuffer;
    auto *grown = static_cast<uint8_t *>(std::realloc(workBuffer, bytes));
    if (!grown)
        return nullptr;
    workBuffer = grown;
    workCount = bytes;
    return workBuffer;
}

void podoFileAudioBuffered::releaseWork()
{
    std::free(workBuffer);
    workBuffer = nullptr;
    workCount = 0;
}
