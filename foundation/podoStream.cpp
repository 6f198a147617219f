#include "foundation/podoStream.h"

#include "foundation/podoLog.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

// ---- podoAudioFormat ----------------------------------------------------------------

void podoAudioFormat::set(int32_t newRate, int32_t newBytesPerSample, int32_t newChannels, int32_t newLayout,
                          int32_t newFormatTag)
{
    rate = newRate;
    bytesPerSample = newBytesPerSample;
    channels = newChannels;
    layout = newLayout;
    formatTag = newFormatTag;
}

void podoAudioFormat::copy(const podoAudioFormat &other)
{
    set(other.rate, other.bytesPerSample, other.channels, other.layout, other.formatTag);
}

bool podoAudioFormat::equals(const podoAudioFormat &other) const
{
    return rate == other.rate && bytesPerSample == other.bytesPerSample && channels == other.channels &&
           layout == other.layout && formatTag == other.formatTag;
}

// ---- helpers ------------------------------------------------------------------------

namespace podo {

void interleaveCopy(void *destination, const void *source, size_t count, size_t sampleBytes, size_t channels)
{
    auto *to = static_cast<unsigned char *>(destination);
    const auto *from = static_cast<const unsigned char *>(source);
    const size_t step = sampleBytes * channels;
    for (size_t i = 0; i < count; ++i)
        std::memcpy(to + i * step, from + i * sampleBytes, sampleBytes);
}

void deinterleaveCopy(void *destination, const void *source, size_t count, size_t sampleBytes, size_t channels)
{
    auto *to = static_cast<unsigned char *>(destination);
    const auto *from = static_cast<const unsigned char *>(source);
    const size_t step = sampleBytes * channels;
    for (size_t i = 0; i < count; ++i)
        std::memcpy(to + i * sampleBytes, from + i * step, sampleBytes);
}

const uint32_t *silenceNoiseTable()
{
    struct Table {
        uint32_t values[kSilenceNoiseTableSize];
        Table()
        {
            uint32_t x = 1;
            for (uint32_t &v : values) {
                x = x * 1234567u + 890123u;
                v = (x & 0x9E7F0000u) | 0x1E000000u;
            }
        }
    };
    static const Table table; // built once, thread-safe
    return table.values;
}

} // namespace podo

// ---- podoStream ---------------------------------------------------------------------

podoStream::~podoStream()
{
    release();
}

podoStream::Channel *podoStream::record(int channel)
{
    if (!validChannel(channel))
        return nullptr;
    return &channels_[isInterleaved() ? 0 : channel];
}

const podoStream::Channel *podoStream::record(int channel) const
{
    if (!validChannel(channel))
        return nullptr;
    return &channels_[isInterleaved() ? 0 : channel];
}

void podoStream::share(const Channel &from)
{
    if (!isInterleaved())
        return;
    for (Channel &c : channels_) {
        c.numFrames = from.numFrames;
        c.readIndex = from.readIndex;
        c.writeIndex = from.writeIndex;
    }
}

void podoStream::setPointers(unsigned char *start)
{
    const size_t sampleBytes = static_cast<size_t>(std::max(format_.bytesPerSample, 0));
    for (int i = 0; i < kMaxChannels; ++i) {
        unsigned char *data = nullptr;
        if (start && i < format_.channels)
            data = isInterleaved() ? start + i * sampleBytes : start + i * capacity_ * sampleBytes;
        channels_[i].data = data;
        pointers_[i] = data;
    }
}

void podoStream::getFormat(int32_t *rate, int32_t *bytesPerSample, int32_t *channels, int32_t *layout,
                           int32_t *formatTag) const
{
    if (rate)
        *rate = format_.rate;
    if (bytesPerSample)
        *bytesPerSample = format_.bytesPerSample;
    if (channels)
        *channels = format_.channels;
    if (layout)
        *layout = format_.layout;
    if (formatTag)
        *formatTag = format_.formatTag;
}

uint64_t podoStream::setFormat(int32_t rate, int32_t bytesPerSample, int32_t channels, int32_t layout,
                               int32_t formatTag)
{
    // Formats also come from files: a count or layout the stream cannot hold changes nothing.
    if (channels < 1 || channels > kMaxChannels)
        return 0;
    if (layout != podoStreamLayout::planar && layout != podoStreamLayout::interleaved)
        return 0;
    if (bytesPerSample < 1 || bytesPerSample > kMaxBytesPerSample)
        return 0;
    format_.set(rate, bytesPerSample, channels, layout, formatTag);
    stride_ = layout == podoStreamLayout::planar ? bytesPerSample : channels * bytesPerSample;
    return allocate(capacity_);
}

const podoAudioFormat &podoStream::format() const
{
    return format_;
}

uint64_t podoStream::setFormatFrom(const podoAudioFormat &format)
{
    return setFormat(format.rate, format.bytesPerSample, format.channels, format.layout, format.formatTag);
}

int32_t podoStream::getRate() const
{
    return format_.rate;
}

int32_t podoStream::getBytesPerSample() const
{
    return format_.bytesPerSample;
}

int32_t podoStream::getChannels() const
{
    return format_.channels;
}

int32_t podoStream::getLayout() const
{
    return format_.layout;
}

int32_t podoStream::getFormatTag() const
{
    return format_.formatTag;
}

uint64_t podoStream::allocate(uint64_t frames)
{
    if (external_)
        return 0;
    std::free(buffer_);
    buffer_ = nullptr;
    capacity_ = 0;
    setPointers(nullptr);
    const uint64_t frameBytes = static_cast<uint64_t>(std::max(format_.channels, 0)) *
                                static_cast<uint64_t>(std::max(format_.bytesPerSample, 0));
    if (frames > 0 && frameBytes > 0 && frames <= SIZE_MAX / frameBytes) {
        // Zeroed, so that frames counted but never written read as silence.
        buffer_ = static_cast<unsigned char *>(std::calloc(frames, frameBytes));
        if (buffer_) {
            capacity_ = frames;
            setPointers(buffer_);
        }
    }
    reset();
    return capacity_;
}

void podoStream::release()
{
    allocate(0);
}

void podoStream::reset()
{
    for (Channel &c : channels_)
        c.numFrames = c.readIndex = c.writeIndex = 0;
}

void podoStream::clear()
{
    const int rings = isInterleaved() ? 1 : format_.channels;
    for (int i = 0; i < rings; ++i)
        if (channels_[i].data)
            std::memset(channels_[i].data, 0, capacity_ * stride_);
}

void podoStream::fillSilence()
{
    if (format_.bytesPerSample != 4) {
        clear();
        return;
    }
    const uint32_t *table = podo::silenceNoiseTable();
    const int rings = isInterleaved() ? 1 : format_.channels;
    const uint64_t samples = capacity_ * static_cast<uint64_t>(stride_) / 4;
    for (int i = 0; i < rings; ++i) {
        unsigned char *data = channels_[i].data;
        if (!data)
            continue;
        for (uint64_t at = 0; at < samples; at += podo::kSilenceNoiseTableSize) {
            const uint64_t n = std::min<uint64_t>(podo::kSilenceNoiseTableSize, samples - at);
            std::memcpy(data + at * 4, table, n * 4);
        }
    }
}

int32_t podoStream::getStride() const
{
    return stride_;
}

uint64_t podoStream::getCapacity() const
{
    return capacity_;
}

uint64_t podoStream::getNumFrames(int channel) const
{
    const Channel *c = record(channel);
    return c ? c->numFrames : 0;
}

uint64_t podoStream::setNumFrames(uint64_t frames, int channel)
{
    Channel *c = record(channel);
    if (!c)
        return 0;
    c->numFrames = std::min(frames, capacity_);
    share(*c);
    return c->numFrames;
}

uint64_t podoStream::getCapacityBytes() const
{
    return capacity_ * stride_;
}

uint64_t podoStream::getNumBytes(int channel) const
{
    return getNumFrames(channel) * stride_;
}

uint64_t podoStream::setNumBytes(uint64_t bytes, int channel)
{
    if (stride_ <= 0)
        return 0;
    setNumFrames(bytes / static_cast<uint64_t>(stride_), channel);
    return getNumBytes(channel);
}

void *podoStream::channelData(int channel) const
{
    return validChannel(channel) ? channels_[channel].data : nullptr;
}

void *podoStream::attachBuffer(uint64_t frames, void *pointer, int channel)
{
    if (!pointer || !validChannel(channel))
        return nullptr;
    release();
    external_ = true;
    // The caller's buffer holds exactly `frames`: never more, whatever the stream held.
    capacity_ = frames;
    if (isInterleaved()) {
        setPointers(static_cast<unsigned char *>(pointer));
    } else {
        channels_[channel].data = static_cast<unsigned char *>(pointer);
        pointers_[channel] = pointer;
    }
    for (Channel &c : channels_) {
        c.numFrames = std::min(c.numFrames, capacity_);
        c.readIndex = capacity_ ? c.readIndex % capacity_ : 0;
        c.writeIndex = capacity_ ? c.writeIndex % capacity_ : 0;
    }
    Channel &c = *record(channel);
    c.numFrames = frames;
    c.readIndex = 0;
    c.writeIndex = 0;
    share(c);
    return pointer;
}

void *const *podoStream::channelPointers() const
{
    return pointers_;
}

uint64_t podoStream::getReadIndex(int channel) const
{
    const Channel *c = record(channel);
    return c ? c->readIndex : 0;
}

void podoStream::setReadIndex(uint64_t position, int channel)
{
    const uint64_t p = capacity_ ? (position > capacity_ ? position % capacity_ : position) : 0;
    if (channel == -1) {
        for (Channel &c : channels_)
            c.readIndex = p;
        return;
    }
    if (Channel *c = record(channel)) {
        c->readIndex = p;
        share(*c);
    }
}

uint64_t podoStream::getWriteIndex(int channel) const
{
    const Channel *c = record(channel);
    return c ? c->writeIndex : 0;
}

void podoStream::setWriteIndex(uint64_t position, int channel)
{
    const uint64_t p = capacity_ ? (position > capacity_ ? position % capacity_ : position) : 0;
    if (channel == -1) {
        for (Channel &c : channels_)
            c.writeIndex = p;
        return;
    }
    if (Channel *c = record(channel)) {
        c->writeIndex = p;
        share(*c);
    }
}

void *podoStream::readableRuns(uint64_t *first, uint64_t *second, int channel)
{
    uint64_t a = 0, b = 0;
    void *run = nullptr;
    Channel *c = record(channel);
    if (c && capacity_ > 0 && channels_[channel].data) {
        const uint64_t r = c->readIndex % capacity_;
        c->readIndex = r;
        share(*c);
        a = r == 0 ? c->numFrames : std::min(c->numFrames, capacity_ - r);
        b = c->numFrames - a;
        run = channels_[channel].data + r * stride_;
    }
    if (first)
        *first = a;
    if (second)
        *second = b;
    return run;
}

void *podoStream::writableRuns(uint64_t *first, uint64_t *second, int channel)
{
    uint64_t a = 0, b = 0;
    void *run = nullptr;
    Channel *c = record(channel);
    if (c && capacity_ > 0 && channels_[channel].data) {
        const uint64_t w = c->writeIndex % capacity_;
        c->writeIndex = w;
        share(*c);
        a = w == 0 ? capacity_ : capacity_ - w;
        b = w == 0 ? 0 : w;
        run = channels_[channel].data + w * stride_;
    }
    if (first)
        *first = a;
    if (second)
        *second = b;
    return run;
}

uint64_t podoStream::writeCore(uint64_t frames, const void *source, int channel, bool logOverflow)
{
    if (frames == 0 || !source || !record(channel))
        return 0;
    if (frames > capacity_ && allocate(frames) == 0)
        return 0; // an attached buffer cannot grow; memory may be exhausted
    Channel &c = *record(channel);
    if (!c.data)
        return 0;
    const auto *from = static_cast<const unsigned char *>(source);
    if (frames == capacity_) {
        std::memcpy(c.data, from, frames * stride_);
        c.readIndex = 0;
        c.writeIndex = 0;
        c.numFrames = capacity_;
    } else {
        const uint64_t w = c.writeIndex % capacity_;
        const uint64_t first = std::min(frames, capacity_ - w);
        std::memcpy(c.data + w * stride_, from, first * stride_);
        const uint64_t rest = frames - first;
        if (rest > 0) {
            std::memcpy(c.data, from + first * stride_, rest * stride_);
            c.writeIndex = rest;
        } else {
            c.writeIndex = w + frames == capacity_ ? 0 : w + frames;
        }
        uint64_t stored = c.numFrames + frames;
        if (stored > capacity_) {
            if (logOverflow)
                podo::logMessage(3, true, "podoStream:write - numFrames(%lu) > maxNumFrames(%lu)",
                                 static_cast<unsigned long>(stored), static_cast<unsigned long>(capacity_));
            stored = capacity_;
        }
        c.numFrames = stored;
    }
    share(c);
    return frames;
}

uint64_t podoStream::write(uint64_t frames, const void *source, int channel)
{
    return writeCore(frames, source, channel, true);
}

uint64_t podoStream::writeUnchecked(uint64_t frames, const void *source, int channel)
{
    return writeCore(frames, source, channel, false);
}

uint64_t podoStream::writeZeroCore(uint64_t frames, int channel, bool logOverflow)
{
    if (frames == 0)
        return 0;
    if (channel == -1) {
        if (isInterleaved())
            return writeZeroCore(frames, 0, logOverflow);
        uint64_t count = format_.channels > 0 ? frames : 0;
        for (int i = 0; i < format_.channels; ++i)
            count = writeZeroCore(count, i, logOverflow);
        return count;
    }
    if (!record(channel))
        return 0;
    // More than the ring holds: grow first, as a write of that size would, so the silence
    // below goes in whole instead of overflowing piece by piece.
    if (frames > capacity_ && allocate(frames) == 0)
        return 0;
    Channel &c = *record(channel);
    if (!c.data)
        return 0;

    if (format_.bytesPerSample == 4) {
        const uint32_t *table = podo::silenceNoiseTable();
        const uint64_t piece = podo::kSilenceNoiseTableSize / static_cast<uint64_t>(format_.channels);
        for (uint64_t written = 0; written < frames;) {
            const uint64_t n = std::min(piece, frames - written);
            writeCore(n, table, channel, logOverflow);
            written += n;
        }
        return frames;
    }

    if (frames == capacity_) {
        // Only this channel's ring: a planar stream's other channels keep what they hold.
        std::memset(c.data, 0, capacity_ * stride_);
        c.readIndex = 0;
        c.writeIndex = 0;
        c.numFrames = capacity_;
    } else {
        const uint64_t w = c.writeIndex % capacity_;
        const uint64_t first = std::min(frames, capacity_ - w);
        std::memset(c.data + w * stride_, 0, first * stride_);
        const uint64_t rest = frames - first;
        if (rest > 0) {
            std::memset(c.data, 0, rest * stride_);
            c.writeIndex = rest;
        } else {
            c.writeIndex = w + frames == capacity_ ? 0 : w + frames;
        }
        uint64_t stored = c.numFrames + frames;
        if (stored > capacity_) {
            if (logOverflow)
                podo::logMessage(3, true, "podoStream:writeZero - numFrames(%lu) > maxNumFrames(%lu)",
                                 static_cast<unsigned long>(stored), static_cast<unsigned long>(capacity_));
            stored = capacity_;
        }
        c.numFrames = stored;
    }
    share(c);
    return frames;
}

uint64_t podoStream::writeZero(uint64_t frames, int channel)
{
    return writeZeroCore(frames, channel, true);
}

uint64_t podoStream::writeZeroUnchecked(uint64_t frames, int channel)
{
    return writeZeroCore(frames, channel, false);
}

uint64_t podoStream::readCore(uint64_t frames, void *destination, int channel, bool checked)
{
    if (frames == 0 || !destination)
        return 0;
    Channel *c = record(channel);
    if (!c || !c->data || capacity_ == 0)
        return 0;
    if (checked) {
        if (frames > c->numFrames) {
            podo::logMessage(3, true, "podoStream:read - [%d] frames(%lu) > numFrames(%lu)", channel,
                             static_cast<unsigned long>(frames), static_cast<unsigned long>(c->numFrames));
            frames = c->numFrames;
            if (frames == 0)
                return 0;
        }
    } else {
        frames = std::min(frames, capacity_); // more would run past the ring
    }
    auto *to = static_cast<unsigned char *>(destination);
    const uint64_t r = c->readIndex % capacity_;
    if (checked && frames == c->numFrames && r == 0) {
        std::memcpy(to, c->data, frames * stride_);
        c->readIndex = 0;
        c->writeIndex = 0;
        c->numFrames = 0;
    } else {
        const uint64_t first = std::min(frames, capacity_ - r);
        std::memcpy(to, c->data + r * stride_, first * stride_);
        const uint64_t rest = frames - first;
        if (rest > 0) {
            std::memcpy(to + first * stride_, c->data, rest * stride_);
            c->readIndex = rest;
        } else {
            c->readIndex = r + frames == capacity_ ? 0 : r + frames;
        }
        c->numFrames = c->numFrames > frames ? c->numFrames - frames : 0;
    }
    share(*c);
    return frames;
}

uint64_t podoStream::read(uint64_t frames, void *destination, int channel)
{
    return readCore(frames, destination, channel, true);
}

uint64_t podoStream::readUnchecked(uint64_t frames, void *destination, int channel)
{
    return readCore(frames, destination, channel, false);
}

uint64_t podoStream::markAsWrittenCore(uint64_t frames, int channel, bool logOverflow)
{
    if (frames == 0)
        return 0;
    if (channel == -1) {
        if (isInterleaved())
            return markAsWrittenCore(frames, 0, logOverflow);
        for (int i = 0; i < format_.channels; ++i)
            if (markAsWrittenCore(frames, i, logOverflow) == 0)
                return 0;
        return frames;
    }
    if (!record(channel))
        return 0;
    if (frames > capacity_ && allocate(frames) == 0)
        return 0;
    Channel &c = *record(channel);
    if (frames == capacity_) {
        c.readIndex = 0;
        c.writeIndex = 0;
        c.numFrames = capacity_;
    } else {
        const uint64_t w = c.writeIndex % capacity_ + frames;
        c.writeIndex = w >= capacity_ ? w - capacity_ : w;
        uint64_t stored = c.numFrames + frames;
        if (stored > capacity_) {
            if (logOverflow)
                podo::logMessage(3, true, "podoStream:markAsWritten - numFrames(%lu) > maxNumFrames(%lu)",
                                 static_cast<unsigned long>(stored), static_cast<unsigned long>(capacity_));
            stored = capacity_;
        }
        c.numFrames = stored;
    }
    share(c);
    return frames;
}

uint64_t podoStream::markAsWritten(uint64_t frames, int channel)
{
    return markAsWrittenCore(frames, channel, true);
}

uint64_t podoStream::markAsWrittenUnchecked(uint64_t frames, int channel)
{
    return markAsWrittenCore(frames, channel, false);
}

uint64_t podoStream::markAsReadCore(uint64_t frames, int channel, bool checked)
{
    if (channel == -1) {
        if (isInterleaved())
            return markAsReadCore(frames, 0, checked);
        uint64_t last = 0;
        for (int i = 0; i < format_.channels; ++i)
            last = markAsReadCore(frames, i, checked);
        return last;
    }
    Channel *c = record(channel);
    if (!c || frames == 0 || capacity_ == 0)
        return 0;
    if (checked && frames > c->numFrames) {
        podo::logMessage(3, true, "podoStream:markAsRead - [%d] frames(%lu) > numFrames(%lu)", channel,
                         static_cast<unsigned long>(frames), static_cast<unsigned long>(c->numFrames));
        frames = c->numFrames;
    }
    if (!checked)
        frames = std::min(frames, capacity_);
    if (checked && frames == c->numFrames && c->readIndex % capacity_ == 0) {
        c->readIndex = 0;
        c->writeIndex = 0;
        c->numFrames = 0;
    } else {
        const uint64_t r = c->readIndex % capacity_ + frames;
        c->readIndex = r >= capacity_ ? r - capacity_ : r;
        c->numFrames = c->numFrames > frames ? c->numFrames - frames : 0;
    }
    share(*c);
    return frames;
}

uint64_t podoStream::markAsRead(uint64_t frames, int channel)
{
    return markAsReadCore(frames, channel, true);
}

uint64_t podoStream::markAsReadUnchecked(uint64_t frames, int channel)
{
    return markAsReadCore(frames, channel, false);
}

uint64_t podoStream::writeFrom(podoStream &source, int channel)
{
    if (&source == this || source.getNumFrames(0) == 0)
        return 0;
    // Frames are copied as they are stored: the two streams must store them alike.
    if (source.format_.bytesPerSample != format_.bytesPerSample || source.format_.layout != format_.layout)
        return 0;
    if (isInterleaved() && source.format_.channels != format_.channels)
        return 0;
    if (channel == -1) {
        if (isInterleaved())
            return writeFrom(source, 0);
        uint64_t last = 0;
        for (int i = 0; i < std::min(format_.channels, source.format_.channels); ++i)
            last = writeFrom(source, i);
        return last;
    }
    if (!validChannel(channel) || !source.validChannel(channel))
        return 0;
    const int ring = isInterleaved() ? 0 : channel; // whole frames from the frame start
    uint64_t first = 0, second = 0;
    const void *run = source.readableRuns(&first, &second, ring);
    uint64_t total = write(first, run, channel);
    if (second > 0)
        total += write(second, source.channelData(ring), channel);
    return total;
}

void podoStream::linearize(int channel)
{
    if (channel == -1) {
        if (isInterleaved()) {
            linearize(0);
            return;
        }
        for (int i = 0; i < format_.channels; ++i)
            linearize(i);
        return;
    }
    Channel *c = record(channel);
    if (!c || !c->data || capacity_ == 0)
        return;
    const uint64_t r = c->readIndex % capacity_;
    if (r != 0) {
        // Rotating the whole ring keeps every frame and needs no second buffer.
        unsigned char *begin = c->data;
        std::rotate(begin, begin + r * stride_, begin + capacity_ * stride_);
        c->readIndex = 0;
    }
    c->writeIndex = c->numFrames;
    share(*c);
}

uint64_t podoStream::copyFrom(podoStream &source)
{
    if (&source == this || source.format_.bytesPerSample != format_.bytesPerSample)
        return 0;
    const uint64_t n = source.getNumFrames(0);
    allocate(n);
    if (n == 0)
        return 0;
    const size_t sampleBytes = static_cast<size_t>(format_.bytesPerSample);
    const int shared = std::min(format_.channels, source.format_.channels);
    const bool fromInterleaved = source.isInterleaved();

    if (!fromInterleaved && !isInterleaved()) {
        for (int i = 0; i < shared; ++i) {
            uint64_t first = 0, second = 0;
            const void *run = source.readableRuns(&first, &second, i);
            write(first, run, i);
            if (second > 0)
                write(second, source.channelData(i), i);
        }
        return n;
    }
    if (fromInterleaved && isInterleaved() && source.format_.channels == format_.channels) {
        uint64_t first = 0, second = 0;
        const void *run = source.readableRuns(&first, &second, 0);
        write(first, run, 0);
        if (second > 0)
            write(second, source.channelData(0), 0);
        return n;
    }

    // A layout (or frame size) changes: one channel at a time through a packed buffer.
    std::unique_ptr<unsigned char[]> packed(new (std::nothrow) unsigned char[n * sampleBytes]);
    std::unique_ptr<unsigned char[]> frames;
    if (isInterleaved())
        frames.reset(new (std::nothrow) unsigned char[n * stride_]());
    if (!packed || (isInterleaved() && !frames))
        return 0;
    for (int i = 0; i < shared; ++i) {
        uint64_t first = 0, second = 0;
        const int ring = fromInterleaved ? 0 : i;
        const auto *run = static_cast<const unsigned char *>(source.readableRuns(&first, &second, ring));
        first = std::min(first, n);
        second = std::min(second, n - first);
        const auto *start = static_cast<const unsigned char *>(source.channelData(ring));
        if (!run)
            continue;
        if (fromInterleaved) {
            const size_t others = static_cast<size_t>(source.format_.channels);
            podo::deinterleaveCopy(packed.get(), run + i * sampleBytes, first, sampleBytes, others);
            podo::deinterleaveCopy(packed.get() + first * sampleBytes, start + i * sampleBytes, second,
                                   sampleBytes, others);
        } else {
            std::memcpy(packed.get(), run, first * sampleBytes);
            if (second > 0)
                std::memcpy(packed.get() + first * sampleBytes, start, second * sampleBytes);
        }
        const uint64_t count = first + second;
        if (isInterleaved())
            podo::interleaveCopy(frames.get() + i * sampleBytes, packed.get(), count, sampleBytes,
                                 static_cast<size_t>(format_.channels));
        else
            write(count, packed.get(), i);
    }
    if (isInterleaved())
        write(n, frames.get(), 0);
    return n;
}
