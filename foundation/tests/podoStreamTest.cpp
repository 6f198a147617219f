#include "foundation/podoStream.h"

#include "foundation/podoLog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace podo_stream_test {

namespace {

std::u16string logged;

void capture(const char16_t *piece)
{
    logged += piece;
}

// Captures the log lines of each test (no log file is set, so they reach only the sink).
class podoStreamTest : public testing::Test
{
protected:
    void SetUp() override
    {
        logged.clear();
        previous = podo::setDebugSink(&capture);
    }
    void TearDown() override { podo::setDebugSink(previous); }

    // A planar float stream of `channels` channels and `capacity` frames.
    static void makeFloat(podoStream &s, int channels, int32_t layout, uint64_t capacity)
    {
        s.setFormat(44100, 4, channels, layout, 3);
        s.allocate(capacity);
    }

    podo::DebugSink previous = nullptr;
};

std::vector<float> ramp(float from, size_t count)
{
    std::vector<float> v(count);
    for (size_t i = 0; i < count; ++i)
        v[i] = from + static_cast<float>(i);
    return v;
}

std::vector<float> readAll(podoStream &s, int channel)
{
    std::vector<float> out(s.getNumFrames(channel) * (s.getStride() / 4));
    const uint64_t frames = s.read(s.getNumFrames(channel), out.data(), channel);
    out.resize(frames * (s.getStride() / 4));
    return out;
}

TEST_F(podoStreamTest, WritesAndReadsWrapAroundTheRing)
{
    podoStream s;
    makeFloat(s, 1, podoStreamLayout::planar, 8);
    EXPECT_EQ(s.write(5, ramp(0, 5).data(), 0), 5u);
    std::vector<float> three(3);
    EXPECT_EQ(s.read(3, three.data(), 0), 3u);
    EXPECT_EQ(three, ramp(0, 3));
    EXPECT_EQ(s.write(5, ramp(5, 5).data(), 0), 5u); // 3 frames at 5..7, 2 at 0..1
    EXPECT_EQ(s.getNumFrames(0), 7u);
    EXPECT_EQ(s.getReadIndex(0), 3u);
    EXPECT_EQ(s.getWriteIndex(0), 2u);

    uint64_t first = 0, second = 0;
    const auto *run = static_cast<const float *>(s.readableRuns(&first, &second, 0));
    EXPECT_EQ(first, 5u);
    EXPECT_EQ(second, 2u);
    EXPECT_EQ(run[0], 3.0f);
    s.writableRuns(&first, &second, 0);
    EXPECT_EQ(first, 6u); // from position 2 to the end, then 0..1: the whole ring
    EXPECT_EQ(second, 2u);

    EXPECT_EQ(readAll(s, 0), ramp(3, 7));
    EXPECT_EQ(s.getNumFrames(0), 0u);
    EXPECT_TRUE(logged.empty());
}

TEST_F(podoStreamTest, OverflowAndUnderflowAreLoggedAndClamped)
{
    podoStream s;
    makeFloat(s, 1, podoStreamLayout::planar, 8);
    s.write(6, ramp(0, 6).data(), 0);
    EXPECT_EQ(s.write(4, ramp(6, 4).data(), 0), 4u);
    EXPECT_EQ(logged, u"(warning) podoStream:write - numFrames(10) > maxNumFrames(8)\n");
    EXPECT_EQ(s.getNumFrames(0), 8u);
    EXPECT_EQ(s.getReadIndex(0), 0u); // the oldest frames are overwritten in place

    logged.clear();
    podoStream t;
    makeFloat(t, 1, podoStreamLayout::planar, 8);
    t.write(4, ramp(0, 4).data(), 0);
    std::vector<float> out(10);
    EXPECT_EQ(t.read(10, out.data(), 0), 4u);
    EXPECT_EQ(logged, u"(warning) podoStream:read - [0] frames(10) > numFrames(4)\n");

    logged.clear();
    t.write(4, ramp(0, 4).data(), 0);
    EXPECT_EQ(t.markAsRead(6, 0), 4u);
    t.write(6, ramp(0, 6).data(), 0);
    EXPECT_EQ(t.markAsWritten(5, 0), 5u);
    EXPECT_EQ(t.getNumFrames(0), 8u);
    EXPECT_EQ(t.writeZero(1, 0), 1u);
    EXPECT_EQ(logged, u"(warning) podoStream:markAsRead - [0] frames(6) > numFrames(4)\n"
                      u"(warning) podoStream:markAsWritten - numFrames(11) > maxNumFrames(8)\n"
                      u"(warning) podoStream:write - numFrames(9) > maxNumFrames(8)\n");

    // The unchecked forms clamp without a word.
    logged.clear();
    t.writeUnchecked(3, ramp(0, 3).data(), 0);
    t.markAsWrittenUnchecked(3, 0);
    t.writeZeroUnchecked(3, 0);
    EXPECT_EQ(t.readUnchecked(7, out.data(), 0), 7u);
    EXPECT_EQ(t.getNumFrames(0), 1u);
    EXPECT_EQ(t.markAsReadUnchecked(5, 0), 5u);
    EXPECT_EQ(t.getNumFrames(0), 0u);
    EXPECT_TRUE(logged.empty());
}

TEST_F(podoStreamTest, WritingTheCapacityFillsItAndMoreGrowsToExactlyThat)
{
    podoStream s;
    makeFloat(s, 1, podoStreamLayout::planar, 8);
    s.write(3, ramp(0, 3).data(), 0);
    std::vector<float> out(3);
    s.read(2, out.data(), 0);
    EXPECT_EQ(s.write(8, ramp(10, 8).data(), 0), 8u);
    EXPECT_EQ(s.getReadIndex(0), 0u);
    EXPECT_EQ(s.getWriteIndex(0), 0u);
    EXPECT_EQ(s.getNumFrames(0), 8u);
    EXPECT_EQ(readAll(s, 0), ramp(10, 8));

    s.write(2, ramp(0, 2).data(), 0);
    EXPECT_EQ(s.write(12, ramp(100, 12).data(), 0), 12u);
    EXPECT_EQ(s.getCapacity(), 12u);
    EXPECT_EQ(readAll(s, 0), ramp(100, 12)); // only the newest frames
    EXPECT_TRUE(logged.empty());

    // Silence and marks larger than the ring grow it the same way.
    EXPECT_EQ(s.writeZero(20, 0), 20u);
    EXPECT_EQ(s.getCapacity(), 20u);
    EXPECT_EQ(s.getNumFrames(0), 20u);
    EXPECT_EQ(s.markAsWritten(30, 0), 30u);
    EXPECT_EQ(s.getCapacity(), 30u);
    EXPECT_EQ(s.getNumFrames(0), 30u);
    EXPECT_TRUE(logged.empty());
}

TEST_F(podoStreamTest, SilenceIsTheNoiseTableInFloatStreamsAndZerosOtherwise)
{
    const uint32_t *table = podo::silenceNoiseTable();
    bool positive = false, negative = false;
    for (size_t i = 0; i < podo::kSilenceNoiseTableSize; ++i) {
        float v;
        std::memcpy(&v, &table[i], 4);
        ASSERT_GE(std::fabs(v), std::ldexp(1.0f, -67)) << i;
        ASSERT_LT(std::fabs(v), std::ldexp(1.0f, -66)) << i;
        (v > 0 ? positive : negative) = true;
    }
    EXPECT_TRUE(positive && negative);

    podoStream f;
    makeFloat(f, 2, podoStreamLayout::interleaved, 64);
    f.write(3, ramp(1, 6).data(), 0);
    EXPECT_EQ(f.writeZero(5, -1), 5u);
    std::vector<uint32_t> bits(16);
    f.read(8, bits.data(), 0);
    EXPECT_EQ(std::memcmp(bits.data() + 6, table, 10 * 4), 0);

    podoStream pcm;
    pcm.setFormat(44100, 2, 1, podoStreamLayout::planar, 1);
    pcm.allocate(8);
    const int16_t some[3] = {5, -5, 7};
    pcm.write(3, some, 0);
    pcm.writeZero(4, 0);
    int16_t out[7];
    pcm.read(7, out, 0);
    EXPECT_EQ(out[2], 7);
    for (int i = 3; i < 7; ++i)
        EXPECT_EQ(out[i], 0) << i;

    // fillSilence writes the table over the whole buffer of a float stream.
    podoStream g;
    makeFloat(g, 1, podoStreamLayout::planar, 40000);
    g.fillSilence();
    const auto *data = static_cast<const uint32_t *>(g.channelData(0));
    EXPECT_EQ(data[0], table[0]);
    EXPECT_EQ(data[32768], table[0]);
    EXPECT_EQ(data[39999], table[39999 - 32768]);
}

TEST_F(podoStreamTest, InterleavedChannelsShareTheirPositionsAndMoveWholeFrames)
{
    podoStream s;
    makeFloat(s, 2, podoStreamLayout::interleaved, 8);
    EXPECT_EQ(s.getStride(), 8);
    const float frames[6] = {1, -1, 2, -2, 3, -3};
    s.write(3, frames, 0);
    EXPECT_EQ(s.getNumFrames(1), 3u);
    EXPECT_EQ(s.getWriteIndex(1), 3u);
    // Reads and writes through channel 1 also move whole frames, from the frame's start.
    float one[2];
    EXPECT_EQ(s.read(1, one, 1), 1u);
    EXPECT_EQ(one[0], 1.0f);
    EXPECT_EQ(one[1], -1.0f);
    const float more[4] = {4, -4, 5, -5};
    s.write(2, more, 1);
    EXPECT_EQ(s.getNumFrames(0), 4u);
    EXPECT_EQ(s.getReadIndex(0), 1u);
    uint64_t first = 0, second = 0;
    const auto *right = static_cast<const float *>(s.readableRuns(&first, &second, 1));
    EXPECT_EQ(first + second, 4u);
    EXPECT_EQ(right[0], -2.0f); // channel 1's sample of the oldest frame
    EXPECT_EQ(right[2], -3.0f); // a stride of one frame
    std::vector<float> out(8);
    EXPECT_EQ(s.read(4, out.data(), 1), 4u);
    EXPECT_EQ(out, (std::vector<float>{2, -2, 3, -3, 4, -4, 5, -5}));
    EXPECT_EQ(s.getReadIndex(0), s.getReadIndex(1));
}

TEST_F(podoStreamTest, CopyFromConvertsBetweenLayouts)
{
    podoStream planar;
    makeFloat(planar, 2, podoStreamLayout::planar, 8);
    planar.write(3, ramp(0, 3).data(), 0);
    planar.write(3, ramp(10, 3).data(), 1);

    podoStream interleaved;
    interleaved.setFormat(48000, 4, 2, podoStreamLayout::interleaved, 3);
    EXPECT_EQ(interleaved.copyFrom(planar), 3u);
    EXPECT_EQ(readAll(interleaved, 0), (std::vector<float>{0, 10, 1, 11, 2, 12}));
    EXPECT_EQ(planar.getNumFrames(0), 3u); // the source keeps its frames

    // Back to planar, from a source whose frames wrap around its ring.
    podoStream wrapped;
    makeFloat(wrapped, 2, podoStreamLayout::interleaved, 4);
    const float frames[6] = {9, 9, 9, 9, 9, 9};
    wrapped.write(3, frames, 0);
    wrapped.markAsRead(2, 0);
    wrapped.markAsRead(1, 0); // empty, read position 3
    const float now[6] = {1, 2, 3, 4, 5, 6};
    wrapped.write(3, now, 0);
    podoStream back;
    back.setFormat(48000, 4, 2, podoStreamLayout::planar, 3);
    EXPECT_EQ(back.copyFrom(wrapped), 3u);
    EXPECT_EQ(readAll(back, 0), (std::vector<float>{1, 3, 5}));
    EXPECT_EQ(readAll(back, 1), (std::vector<float>{2, 4, 6}));

    // Interleaved to interleaved with fewer channels keeps the shared ones.
    podoStream mono;
    mono.setFormat(48000, 4, 1, podoStreamLayout::interleaved, 3);
    EXPECT_EQ(mono.copyFrom(interleaved), 0u); // interleaved was read empty above
    interleaved.write(2, now, 0);
    EXPECT_EQ(mono.copyFrom(interleaved), 2u);
    EXPECT_EQ(readAll(mono, 0), (std::vector<float>{1, 3}));

    podoStream pcm;
    pcm.setFormat(48000, 2, 2, podoStreamLayout::planar, 1);
    EXPECT_EQ(pcm.copyFrom(planar), 0u); // sample sizes differ
}

TEST_F(podoStreamTest, WriteFromAppendsTheSourcesFramesWithoutTakingThem)
{
    podoStream source, sink;
    makeFloat(source, 2, podoStreamLayout::planar, 4);
    makeFloat(sink, 2, podoStreamLayout::planar, 16);
    source.write(3, ramp(0, 3).data(), 0);
    source.markAsRead(2, 0);
    source.write(3, ramp(3, 3).data(), 0); // wraps: frames 2..5
    source.write(2, ramp(20, 2).data(), 1);
    EXPECT_EQ(sink.writeFrom(source, 0), 4u);
    EXPECT_EQ(sink.writeFrom(source, -1), 2u); // the last channel's count
    EXPECT_EQ(readAll(sink, 0), (std::vector<float>{2, 3, 4, 5, 2, 3, 4, 5}));
    EXPECT_EQ(readAll(sink, 1), (std::vector<float>{20, 21}));
    EXPECT_EQ(source.getNumFrames(0), 4u);

    podoStream other;
    makeFloat(other, 2, podoStreamLayout::interleaved, 16);
    EXPECT_EQ(other.writeFrom(source, 0), 0u); // frames stored differently
    EXPECT_EQ(source.writeFrom(source, 0), 0u);
}

TEST_F(podoStreamTest, LinearizeMovesTheFramesToTheStartInOrder)
{
    for (int32_t layout : {podoStreamLayout::planar, podoStreamLayout::interleaved}) {
        SCOPED_TRACE(layout);
        podoStream s;
        makeFloat(s, 1, layout, 8);
        s.write(6, ramp(0, 6).data(), 0);
        s.markAsRead(5, 0);
        s.write(6, ramp(6, 6).data(), 0); // frames 5..11 at positions 5..7, 0..3
        s.linearize(-1);
        EXPECT_EQ(s.getReadIndex(0), 0u);
        EXPECT_EQ(s.getWriteIndex(0), 7u);
        const auto *data = static_cast<const float *>(s.channelData(0));
        EXPECT_EQ(std::vector<float>(data, data + 7), ramp(5, 7));
        EXPECT_EQ(readAll(s, 0), ramp(5, 7));
    }
}

TEST_F(podoStreamTest, RunsAndMarksServeAProducerAndAConsumerWithoutCopies)
{
    podoStream s;
    makeFloat(s, 1, podoStreamLayout::planar, 8);
    float next = 0, expected = 0;
    for (int round = 0; round < 10; ++round) {
        // Write up to 5 into the free space, read up to 3: the positions keep wrapping.
        uint64_t first = 0, second = 0;
        auto *w = static_cast<float *>(s.writableRuns(&first, &second, 0));
        const uint64_t n = std::min<uint64_t>({5, first, s.getCapacity() - s.getNumFrames(0)});
        for (uint64_t i = 0; i < n; ++i)
            w[i] = next++;
        s.markAsWritten(n, 0);
        const auto *r = static_cast<const float *>(s.readableRuns(&first, &second, 0));
        const uint64_t m = std::min<uint64_t>(3, first);
        for (uint64_t i = 0; i < m; ++i)
            ASSERT_EQ(r[i], expected++);
        s.markAsRead(m, 0);
    }
    EXPECT_GE(expected, 25.0f);
    EXPECT_TRUE(logged.empty());
}

TEST_F(podoStreamTest, AStreamWithoutFormatOrBufferAnswersWithNothing)
{
    podoStream s; // no format, no buffer: nothing may divide by zero or touch memory
    uint64_t first = 7, second = 7;
    EXPECT_EQ(s.readableRuns(&first, &second, 0), nullptr);
    EXPECT_EQ(first + second, 0u);
    first = second = 7;
    EXPECT_EQ(s.writableRuns(&first, &second, 0), nullptr);
    EXPECT_EQ(first + second, 0u);
    EXPECT_EQ(s.setNumBytes(100, 0), 0u);
    EXPECT_EQ(s.allocate(100), 0u);
    const float x[4] = {};
    EXPECT_EQ(s.write(4, x, 0), 0u);
    EXPECT_EQ(s.writeZero(4, -1), 0u);

    podoStream empty;
    makeFloat(empty, 2, podoStreamLayout::planar, 0);
    EXPECT_EQ(empty.readableRuns(&first, &second, 1), nullptr);
    EXPECT_EQ(empty.markAsRead(1, -1), 0u);
    EXPECT_EQ(empty.setNumBytes(64, 0), 0u);
    empty.linearize(-1);
    EXPECT_EQ(empty.write(2, x, 1), 2u); // a first write gives it a ring
    EXPECT_EQ(empty.getCapacity(), 2u);
}

TEST_F(podoStreamTest, FormatsAndChannelsOutsideTheLimitsAreRefused)
{
    podoStream s;
    makeFloat(s, 2, podoStreamLayout::planar, 8);
    struct Case {
        int32_t bytes, channels, layout;
    } const refused[] = {{4, 0, 1}, {4, 17, 1}, {4, -3, 2}, {4, 2, 0}, {4, 2, 3}, {0, 2, 1}, {-4, 2, 1}, {64, 2, 1}};
    for (const Case &c : refused) {
        SCOPED_TRACE(testing::Message() << c.bytes << " " << c.channels << " " << c.layout);
        EXPECT_EQ(s.setFormat(22050, c.bytes, c.channels, c.layout, 1), 0u);
        EXPECT_EQ(s.getChannels(), 2);
        EXPECT_EQ(s.getLayout(), podoStreamLayout::planar);
        EXPECT_EQ(s.getCapacity(), 8u);
    }
    EXPECT_EQ(s.setFormat(22050, 2, 16, podoStreamLayout::interleaved, 1), 8u);
    EXPECT_EQ(s.getStride(), 32);

    podoAudioFormat f;
    f.set(48000, 4, 2, podoStreamLayout::planar, 3);
    EXPECT_EQ(s.setFormatFrom(f), 8u);
    EXPECT_TRUE(s.format().equals(f));
    podoAudioFormat g;
    g.copy(f);
    g.rate = 44100;
    EXPECT_FALSE(g.equals(f));

    // Channel indexes outside the stream's channels.
    const float x[4] = {1, 2, 3, 4};
    float out[4];
    for (int channel : {2, 16, -2, 1000}) {
        SCOPED_TRACE(channel);
        EXPECT_EQ(s.write(2, x, channel), 0u);
        EXPECT_EQ(s.read(2, out, channel), 0u);
        EXPECT_EQ(s.writeZero(2, channel), 0u);
        EXPECT_EQ(s.markAsWritten(2, channel), 0u);
        EXPECT_EQ(s.markAsRead(2, channel), 0u);
        EXPECT_EQ(s.setNumFrames(2, channel), 0u);
        EXPECT_EQ(s.channelData(channel), nullptr);
        EXPECT_EQ(s.readableRuns(nullptr, nullptr, channel), nullptr);
        EXPECT_EQ(s.attachBuffer(4, out, channel), nullptr);
        s.linearize(channel);
    }
    EXPECT_EQ(s.write(2, x, -1), 0u); // -1 is not a channel for a copy
    EXPECT_EQ(s.getNumFrames(0), 0u);
    EXPECT_EQ(s.getNumFrames(1), 0u);
}

TEST_F(podoStreamTest, AnAttachedBufferIsNeverOverrunOrFreed)
{
    podoStream s;
    makeFloat(s, 1, podoStreamLayout::planar, 64);
    std::vector<float> mine = ramp(0, 4);
    mine.push_back(-99.0f); // guard just past the attached frames
    EXPECT_EQ(s.attachBuffer(4, mine.data(), 0), mine.data());
    EXPECT_EQ(s.getCapacity(), 4u); // not the 64 it had
    EXPECT_EQ(s.getNumFrames(0), 4u);
    EXPECT_EQ(readAll(s, 0), ramp(0, 4));

    const std::vector<float> six = ramp(10, 6);
    EXPECT_EQ(s.write(6, six.data(), 0), 0u); // cannot grow
    EXPECT_EQ(s.write(3, six.data(), 0), 3u);
    EXPECT_EQ(s.write(3, six.data() + 3, 0), 3u); // overflows into the oldest frames
    EXPECT_EQ(s.writeZero(3, 0), 3u);
    EXPECT_EQ(mine[4], -99.0f);
    EXPECT_EQ(s.allocate(100), 0u);
    EXPECT_EQ(s.setNumFrames(50, 0), 4u);
    EXPECT_EQ(s.channelPointers()[0], mine.data());
    // The stream is destroyed here without freeing `mine`.
}

TEST_F(podoStreamTest, CopyHelpersInterleaveAndDeinterleave)
{
    const int16_t packed[3] = {1, 2, 3};
    int16_t frames[9] = {};
    podo::interleaveCopy(frames + 1, packed, 3, 2, 3);
    EXPECT_EQ(std::vector<int16_t>(frames, frames + 9), (std::vector<int16_t>{0, 1, 0, 0, 2, 0, 0, 3, 0}));
    int16_t back[3] = {};
    podo::deinterleaveCopy(back, frames + 1, 3, 2, 3);
    EXPECT_EQ(std::vector<int16_t>(back, back + 3), (std::vector<int16_t>{1, 2, 3}));
}

} // namespace

} // namespace podo_stream_test
