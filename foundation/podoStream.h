#pragma once

#include <cstddef>
#include <cstdint>

// podoStreamLayout: how a stream keeps its channels.
namespace podoStreamLayout {
constexpr int32_t planar = 1;      // one ring per channel, positions per channel
constexpr int32_t interleaved = 2; // one ring of whole frames, positions shared
} // namespace podoStreamLayout

// The format of a stream or an audio file.
class podoAudioFormat
{
public:
    virtual ~podoAudioFormat() = default;

    virtual void set(int32_t rate, int32_t bytesPerSample, int32_t channels, int32_t layout, int32_t formatTag);
    virtual void copy(const podoAudioFormat &other);
    // True when all five values are the same.
    virtual bool equals(const podoAudioFormat &other) const;

    int32_t rate = 0;           // frames per second
    int32_t bytesPerSample = 0; // of one channel; 4 means 32-bit floats
    int32_t channels = 0;       // 1..16
    int32_t layout = 0;         // podoStreamLayout
    int32_t formatTag = 0;      // sample encoding (1 = integer PCM)
};

// A first-in first-out store of audio frames for up to 16 channels in a ring of fixed
// capacity. A producer appends frames (copied, silent, or counted after writing into
// the ring through writableRuns) and a consumer takes them (copied, or counted after
// reading through readableRuns).
//
// Invariants: every channel's numFrames is at most the capacity and its positions lie
// in 0..capacity; a capacity above 0 always has a buffer behind it (or an attached
// one). On an interleaved stream all channel records show the same positions, and the
// copying operations move whole frames whatever channel they are given. Operations
// given a channel outside the stream's channels (or -1 where -1 is not allowed) do
// nothing and return 0 or null.
//
// Overflow and underflow are not errors: they are logged at the warning level and
// clamped. No lock: a producer and a consumer on different threads must be
// serialised by their owner. Reads, writes and marks never allocate, except when one
// write or mark exceeds the capacity: the stream then grows to exactly that many
// frames and holds only them.
class podoStream
{
public:
    static constexpr int kMaxChannels = 16;
    // Largest sample size a format may give (bytes of one channel's sample).
    static constexpr int32_t kMaxBytesPerSample = 8;

    podoStream() = default;
    podoStream(const podoStream &) = delete;
    podoStream &operator=(const podoStream &) = delete;
    virtual ~podoStream();

    // Each output may be null.
    virtual void getFormat(int32_t *rate, int32_t *bytesPerSample, int32_t *channels, int32_t *layout,
                           int32_t *formatTag) const;
    // Sets the format and reallocates the present capacity (contents lost); returns the
    // capacity. A channel count outside 1..16, a layout other than planar or interleaved
    // or a sample size outside 1..kMaxBytesPerSample is refused: nothing changes and
    // the result is 0.
    virtual uint64_t setFormat(int32_t rate, int32_t bytesPerSample, int32_t channels, int32_t layout,
                               int32_t formatTag);
    virtual const podoAudioFormat &format() const;
    virtual uint64_t setFormatFrom(const podoAudioFormat &format);
    virtual int32_t getRate() const;
    virtual int32_t getBytesPerSample() const;
    virtual int32_t getChannels() const;
    virtual int32_t getLayout() const;
    virtual int32_t getFormatTag() const;

    // Frees the buffer and allocates a zeroed one of the given frames for every channel;
    // positions reset. Returns the capacity: 0 for an attached buffer (left alone),
    // without a format, or when memory is exhausted (then there is no buffer at all).
    virtual uint64_t allocate(uint64_t frames);
    virtual void release();
    // Empties every channel (positions 0); the contents stay.
    virtual void reset();
    // Zero bytes over the whole buffer; positions untouched.
    virtual void clear();
    // 4-byte samples: copies of silenceNoiseTable over the whole buffer; other sizes
    // as clear.
    virtual void fillSilence();

    virtual int32_t getStride() const;
    virtual uint64_t getCapacity() const;
    virtual uint64_t getNumFrames(int channel) const;
    // Stores the count, held to the capacity; returns getNumFrames.
    virtual uint64_t setNumFrames(uint64_t frames, int channel);
    virtual uint64_t getCapacityBytes() const;
    virtual uint64_t getNumBytes(int channel) const;
    virtual uint64_t setNumBytes(uint64_t bytes, int channel);
    virtual void *channelData(int channel) const;
    // Uses the caller's buffer of `frames` frames for the channel (an interleaved
    // stream: for all channels, as whole frames) from now on; the stream never frees it
    // and never allocates again. The capacity becomes `frames` and the buffer counts as
    // full. Returns the pointer (null when refused).
    virtual void *attachBuffer(uint64_t frames, void *pointer, int channel);
    // The channels' data pointers, for callers that want an array.
    virtual void *const *channelPointers() const;

    virtual uint64_t getReadIndex(int channel) const;
    // Channel -1: every channel. Positions are taken modulo the capacity.
    virtual void setReadIndex(uint64_t position, int channel);
    virtual uint64_t getWriteIndex(int channel) const;
    virtual void setWriteIndex(uint64_t position, int channel);

    // The frames stored, as up to two contiguous runs: first from the returned pointer,
    // second from the ring's start. Both 0 without a buffer.
    virtual void *readableRuns(uint64_t *first, uint64_t *second, int channel);
    // The whole ring from the write position, as up to two runs (whatever it holds).
    virtual void *writableRuns(uint64_t *first, uint64_t *second, int channel);

    // Frames copied into destination (fewer when fewer are stored; logged).
    virtual uint64_t read(uint64_t frames, void *destination, int channel);
    // Appends the source's stored frames of the channel (-1: all); the source keeps
    // them. The source must have the same sample size and layout (and for interleaved
    // streams the same channel count); otherwise 0.
    virtual uint64_t writeFrom(podoStream &source, int channel);
    virtual uint64_t write(uint64_t frames, const void *source, int channel);
    // Appends silence (channel -1: all channels).
    virtual uint64_t writeZero(uint64_t frames, int channel);
    // Counts frames taken through readableRuns (channel -1: all channels).
    virtual uint64_t markAsRead(uint64_t frames, int channel);
    // Counts frames written through writableRuns (channel -1: all channels).
    virtual uint64_t markAsWritten(uint64_t frames, int channel);
    // Moves the stored frames to the ring's start, in order (channel -1: all).
    virtual void linearize(int channel);
    // Makes this stream a copy of the source's stored frames, converting between the
    // layouts; the sample sizes must match (otherwise 0). Returns the frames copied.
    virtual uint64_t copyFrom(podoStream &source);

    // As their namesakes, but an overflow is clamped without a log line.
    uint64_t writeUnchecked(uint64_t frames, const void *source, int channel);
    uint64_t writeZeroUnchecked(uint64_t frames, int channel);
    uint64_t markAsWrittenUnchecked(uint64_t frames, int channel);
    // Take `frames` (at most the capacity) from the read position without checking
    // what is stored: numFrames becomes 0 when fewer were stored.
    uint64_t readUnchecked(uint64_t frames, void *destination, int channel);
    uint64_t markAsReadUnchecked(uint64_t frames, int channel);

private:
    struct Channel {
        unsigned char *data = nullptr; // first sample of the channel
        uint64_t numFrames = 0;
        uint64_t readIndex = 0;
        uint64_t writeIndex = 0;
    };

    bool validChannel(int channel) const { return channel >= 0 && channel < format_.channels; }
    bool isInterleaved() const { return format_.layout == podoStreamLayout::interleaved; }
    // The record an operation on `channel` works on: itself on a planar stream, channel
    // 0 (whole frames) on an interleaved one. Null when refused; -1 only when allowMinus.
    Channel *record(int channel);
    const Channel *record(int channel) const;
    // Copies one channel's positions into every other record of an interleaved stream.
    void share(const Channel &from);
    void setPointers(unsigned char *start);

    uint64_t writeCore(uint64_t frames, const void *source, int channel, bool logOverflow);
    uint64_t writeZeroCore(uint64_t frames, int channel, bool logOverflow);
    uint64_t markAsWrittenCore(uint64_t frames, int channel, bool logOverflow);
    uint64_t readCore(uint64_t frames, void *destination, int channel, bool checked);
    uint64_t markAsReadCore(uint64_t frames, int channel, bool checked);

    podoAudioFormat format_;
    int32_t stride_ = 0; // bytes from one frame of a channel to the next
    uint64_t capacity_ = 0;
    Channel channels_[kMaxChannels];
    void *pointers_[kMaxChannels] = {};
    unsigned char *buffer_ = nullptr; // owned unless external_
    bool external_ = false;
};

namespace podo {

// Copies `count` samples from a packed source into every channels-th sample place of
// the destination.
void interleaveCopy(void *destination, const void *source, size_t count, size_t sampleBytes, size_t channels);
// Copies every channels-th sample of the source into a packed destination.
void deinterleaveCopy(void *destination, const void *source, size_t count, size_t sampleBytes, size_t channels);

// 32,768 values that stand for silence in 4-byte streams: read as floats, magnitudes
// about 2^-67 with random signs. Built once, on first use.
const uint32_t *silenceNoiseTable();
constexpr size_t kSilenceNoiseTableSize = 32768;

} // namespace podo
