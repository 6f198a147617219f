#include "foundation/podoFileWAV.h"

#include "foundation/podoLog.h"
#include "podoTestFolder.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstring>
#include <string>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace podo_file_wav_test {

namespace {

constexpr uint32_t openRead = podoFileFlags::read;
constexpr uint32_t createNew = podoFileFlags::write | podoFileFlags::create;
constexpr int32_t rate = 22050;

uint32_t u32(const std::string &bytes, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<uint8_t>(bytes[at + i]);
    return v;
}

uint16_t u16(const std::string &bytes, size_t at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

std::string le32(uint32_t v)
{
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>(v >> (8 * i));
    return out;
}

std::string chunk(const std::string &id, const std::string &body, bool pad = true)
{
    std::string out = id + le32(static_cast<uint32_t>(body.size())) + body;
    if (pad && body.size() % 2)
        out += '\0';
    return out;
}

std::string riff(const std::string &chunks)
{
    return "RIFF" + le32(static_cast<uint32_t>(chunks.size() + 4)) + "WAVE" + chunks;
}

std::string le16(uint16_t v)
{
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

std::string pcmFormat(uint16_t channels, uint16_t bits)
{
    const uint16_t block = static_cast<uint16_t>(channels * bits / 8);
    return le16(1) + le16(channels) + le32(rate) + le32(rate * block) + le16(block) + le16(bits);
}

uint32_t idOf(const char *text)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 8 | static_cast<uint8_t>(text[3]);
}

std::vector<int16_t> ramp(size_t samples)
{
    std::vector<int16_t> out(samples);
    for (size_t i = 0; i < samples; ++i)
        out[i] = static_cast<int16_t>(i * 37 - 9000);
    return out;
}

WaveInfoEntry info(const char *id, const char *text)
{
    WaveInfoEntry entry;
    entry.id = idOf(id);
    entry.text = text;
    return entry;
}

WaveSampleLoop loop(uint32_t start, uint32_t end, uint32_t type = 0)
{
    WaveSampleLoop l;
    l.cuePointId = 1;
    l.type = type;
    l.start = start;
    l.end = end;
    return l;
}

class podoFileWAVTest : public testing::Test
{
protected:
    podoStr at(const std::string &name) const { return podoStr(folder.path(name).c_str()); }

    // A stereo 16-bit file of `frames` ramp frames, with the given tags and loops.
    void writeStereo(const std::string &name, size_t frames, const std::vector<WaveInfoEntry> &tags = {},
                     const std::vector<WaveSampleLoop> &loops = {})
    {
        podoFileWAV file;
        ASSERT_EQ(file.open(at(name), createNew), 0u);
        ASSERT_EQ(file.setFormat(rate, 16, 2, 1), 20);
        const std::vector<int16_t> samples = ramp(frames * 2);
        ASSERT_EQ(file.accessData(nullptr, const_cast<int16_t *>(samples.data()), int64_t(frames * 4)),
                  int64_t(frames * 4));
        if (!tags.empty()) {
            WaveListRecord list;
            for (const WaveInfoEntry &tag : tags)
                list.entries.add(tag);
            EXPECT_GT(file.list(list), 0);
        }
        if (!loops.empty()) {
            WaveSamplerRecord sampler;
            sampler.midiUnityNote = 60;
            for (const WaveSampleLoop &l : loops)
                sampler.loops.add(l);
            EXPECT_EQ(file.sampler(sampler), int64_t(4 + 36 + 24 * loops.size()));
        }
        EXPECT_EQ(file.close(), 0u);
    }

    podoTestFolder folder;
};

TEST_F(podoFileWAVTest, WrittenFileHasTheCanonicalLayout)
{
    podoFileWAV file;
    ASSERT_EQ(file.open(at("two.wav"), createNew), 0u);
    int32_t r = 0, bits = 0, channels = 0, tag = 0;
    EXPECT_EQ(file.getFormat(&r, &bits, &channels, &tag), 0); // nothing written yet
    ASSERT_EQ(file.setFormat(rate, 16, 2, 1), 20);
    // Asking for the format of a file being written answers without writing.
    EXPECT_EQ(file.getFormat(&r, &bits, &channels, &tag), 20);
    EXPECT_EQ(r, rate);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(tag, 1);
    const std::vector<int16_t> samples = ramp(2000);
    EXPECT_EQ(file.accessData(nullptr, const_cast<int16_t *>(samples.data()), 4000), 4000);
    EXPECT_EQ(file.close(), 0u);

    const std::string bytes = folder.read("two.wav");
    ASSERT_EQ(bytes.size(), 44u + 4000u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(u32(bytes, 4), 4036u);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(u32(bytes, 16), 16u);
    EXPECT_EQ(u16(bytes, 20), 1u);          // PCM
    EXPECT_EQ(u16(bytes, 22), 2u);          // channels
    EXPECT_EQ(u32(bytes, 24), uint32_t(rate));
    EXPECT_EQ(u32(bytes, 28), uint32_t(4 * rate));
    EXPECT_EQ(u16(bytes, 32), 4u);          // block align
    EXPECT_EQ(u16(bytes, 34), 16u);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(u32(bytes, 40), 4000u);
    EXPECT_EQ(std::memcmp(bytes.data() + 44, samples.data(), 4000), 0);
}

TEST_F(podoFileWAVTest, ReadingIndexesChunksAndMovesFramesIntoAStream)
{
    writeStereo("in.wav", 1000);
    podoFileWAV file;
    ASSERT_EQ(file.open(at("in.wav"), openRead), 0u);
    const auto &index = file.chunkIndex();
    ASSERT_EQ(index.getCount(), 2);
    EXPECT_EQ(index.at(0)->id, riffId("data"));
    EXPECT_EQ(index.at(1)->id, riffId("fmt "));
    EXPECT_EQ(file.getFormType(), riffId("WAVE"));

    podoAudioFormat expected;
    expected.set(rate, 2, 2, podoStreamLayout::interleaved, 1);
    EXPECT_TRUE(file.formatRecord().equals(expected));
    const AudioDataRegion *region = file.dataRegion();
    EXPECT_EQ(region->offset, 40);
    EXPECT_EQ(region->size, 4004);
    EXPECT_EQ(region->position, 4);

    // A stream of another layout or size takes nothing.
    const std::vector<int16_t> samples = ramp(2000);
    podoStream planar;
    planar.setFormat(rate, 2, 2, podoStreamLayout::planar, 1);
    planar.allocate(100);
    EXPECT_EQ(file.transferFrames(nullptr, planar, 0), 0);

    // Frames come in pieces of the stream's capacity, then the rest; the stream
    // grows when asked for more than it holds.
    podoStream stream;
    stream.setFormatFrom(expected);
    stream.allocate(300);
    std::vector<int16_t> got(2000);
    EXPECT_EQ(file.transferFrames(nullptr, stream, 0), 1200);
    EXPECT_EQ(stream.read(300, got.data(), 0), 300u);
    EXPECT_EQ(file.transferFrames(nullptr, stream, 5000), 2800);
    EXPECT_EQ(stream.getCapacity(), 700u);
    EXPECT_EQ(stream.read(700, got.data() + 600, 0), 700u);
    EXPECT_EQ(got, samples);
    EXPECT_EQ(file.transferFrames(nullptr, stream, 0), 0); // the data is used up

    file.rewindData(nullptr);
    int16_t first[2] = {};
    EXPECT_EQ(file.accessData(nullptr, first, 4), 4);
    EXPECT_EQ(first[1], samples[1]);
}

TEST_F(podoFileWAVTest, FramesWrittenFromAStreamWrapAroundTheRing)
{
    podoFileWAV file;
    ASSERT_EQ(file.open(at("ring.wav"), createNew), 0u);
    podoAudioFormat format;
    format.set(rate, 2, 2, podoStreamLayout::interleaved, 1);
    ASSERT_EQ(file.setFormatFrom(format), 20);
    podoStream stream;
    stream.setFormatFrom(format);
    stream.allocate(8);
    const std::vector<int16_t> samples = ramp(24);
    stream.write(6, samples.data(), 0);
    std::vector<int16_t> drop(12);
    stream.read(5, drop.data(), 0);
    stream.write(6, samples.data() + 12, 0); // wraps: the ring holds frames 5..11
    EXPECT_EQ(file.transferFrames(nullptr, stream, 1), 7 * 4); // every stored frame
    EXPECT_EQ(stream.getNumFrames(0), 0u);
    file.close();

    podoFileWAV back;
    ASSERT_EQ(back.open(at("ring.wav"), openRead), 0u);
    std::vector<int16_t> got(14);
    EXPECT_EQ(back.accessData(nullptr, got.data(), 100), 28);
    EXPECT_EQ(got, std::vector<int16_t>(samples.begin() + 10, samples.begin() + 24));
}

TEST_F(podoFileWAVTest, TagsInstrumentAndLoopsReadBack)
{
    writeStereo("tags.wav", 10, {info("INAM", "Abc"), info("ICMT", "odd"), info("IART", "\xED\x95\x9C\xEA\xB8\x80 ok!")},
                {loop(2, 7), loop(3, 5, 1)});
    {
        podoFileWAV file;
        ASSERT_EQ(file.open(at("tags.wav"), openRead), 0u);
        WaveListRecord list;
        // Texts of 4, 4 and 11 bytes with their NULs, the last padded: 4 + 12 + 12 + 20.
        EXPECT_EQ(file.list(list), 48);
        EXPECT_EQ(list.size, 48u);
        ASSERT_EQ(list.entries.getCount(), 3);
        EXPECT_EQ(list.entries.at(0)->size, 4u);
        EXPECT_STREQ(list.entries.at(0)->text.getNarrow(), "Abc");
        EXPECT_EQ(list.entries.at(1)->id, uint32_t(riffId("ICMT")));
        EXPECT_STREQ(list.entries.at(2)->text.getNarrow(), "\xED\x95\x9C\xEA\xB8\x80 ok!");

        WaveSamplerRecord sampler;
        EXPECT_EQ(file.sampler(sampler), 4 + 84);
        EXPECT_EQ(sampler.size, 84u);
        EXPECT_EQ(sampler.midiUnityNote, 60u);
        ASSERT_EQ(sampler.numLoops, 2u);
        EXPECT_EQ(sampler.loops.at(1)->start, 3u);
        EXPECT_EQ(sampler.loops.at(1)->end, 5u);
        EXPECT_EQ(sampler.loops.at(1)->type, 1u);
    }

    // The instrument chunk passes its eight bytes through.
    {
        podoFileWAV file;
        ASSERT_EQ(file.open(at("inst.wav"), createNew), 0u);
        file.setFormat(rate, 16, 1, 1);
        WaveInstrumentRecord inst;
        const uint8_t bytes[8] = {60, 0xFE, 0, 0, 127, 1, 127, 9};
        std::memcpy(inst.bytes, bytes, 8);
        EXPECT_EQ(file.instrument(inst), 12);
    }
    podoFileWAV file;
    ASSERT_EQ(file.open(at("inst.wav"), openRead), 0u);
    WaveInstrumentRecord inst;
    EXPECT_EQ(file.instrument(inst), 12);
    EXPECT_EQ(inst.size, 8u);
    EXPECT_EQ(inst.bytes[1], 0xFE);
    EXPECT_EQ(inst.bytes[7], 9);
}

TEST_F(podoFileWAVTest, OurFilesReadInLibsndfile)
{
    writeStereo("ours.wav", 100, {info("INAM", "Bell"), info("ICMT", "soft")}, {loop(10, 49)});
    SF_INFO sfInfo{};
    SNDFILE *sf = sf_open(folder.path("ours.wav").c_str(), SFM_READ, &sfInfo);
    ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(sfInfo.frames, 100);
    EXPECT_EQ(sfInfo.channels, 2);
    EXPECT_EQ(sfInfo.samplerate, rate);
    std::vector<int16_t> got(200);
    EXPECT_EQ(sf_read_short(sf, got.data(), 200), 200);
    EXPECT_EQ(got, ramp(200));
    ASSERT_NE(sf_get_string(sf, SF_STR_TITLE), nullptr);
    EXPECT_STREQ(sf_get_string(sf, SF_STR_TITLE), "Bell");
    ASSERT_NE(sf_get_string(sf, SF_STR_COMMENT), nullptr);
    EXPECT_STREQ(sf_get_string(sf, SF_STR_COMMENT), "soft");
    SF_INSTRUMENT inst{};
    ASSERT_EQ(sf_command(sf, SFC_GET_INSTRUMENT, &inst, sizeof inst), SF_TRUE);
    EXPECT_EQ(inst.basenote, 60);
    ASSERT_EQ(inst.loop_count, 1);
    EXPECT_EQ(inst.loops[0].start, 10u);
    EXPECT_EQ(inst.loops[0].end, 50u); // the library counts the end one past the last frame
    sf_close(sf);
}

// Odd sample data is followed by a pad byte, at flush and before the next chunk.
TEST_F(podoFileWAVTest, OddDataIsPadded)
{
    const uint8_t samples[5] = {0x80, 0x90, 0xA0, 0xB0, 0xC0};
    {
        podoFileWAV file;
        ASSERT_EQ(file.open(at("odd.wav"), createNew), 0u);
        ASSERT_EQ(file.setFormat(rate, 8, 1, 1), 20);
        EXPECT_EQ(file.accessData(nullptr, const_cast<uint8_t *>(samples), 3), 3);
        EXPECT_EQ(file.flush(), 0u);
        std::string bytes = folder.read("odd.wav");
        ASSERT_EQ(bytes.size(), 48u);
        EXPECT_EQ(u32(bytes, 4), 40u);
        EXPECT_EQ(u32(bytes, 40), 3u);
        // More samples go over the pad byte.
        EXPECT_EQ(file.accessData(nullptr, const_cast<uint8_t *>(samples) + 3, 2), 2);
        WaveListRecord list;
        list.entries.add(info("INAM", "ab"));
        EXPECT_EQ(file.list(list), 4 + 4 + 8 + 4);
    }
    const std::string bytes = folder.read("odd.wav");
    ASSERT_EQ(bytes.size(), 44u + 5 + 1 + 8 + 4 + 8 + 3 + 1);
    EXPECT_EQ(u32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(u32(bytes, 40), 5u);
    EXPECT_EQ(bytes[49], '\0');
    EXPECT_EQ(bytes.substr(50, 4), "LIST");

    SF_INFO sfInfo{};
    SNDFILE *sf = sf_open(folder.path("odd.wav").c_str(), SFM_READ, &sfInfo);
    ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(sfInfo.frames, 5);
    ASSERT_NE(sf_get_string(sf, SF_STR_TITLE), nullptr);
    EXPECT_STREQ(sf_get_string(sf, SF_STR_TITLE), "ab");
    sf_close(sf);
}

TEST_F(podoFileWAVTest, LibsndfileFilesReadBack)
{
    struct Case {
        const char *name;
        int format;
        int32_t bytesPerSample;
        int32_t formatTag;
    } cases[] = {
        {"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 1},
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 4, 3},
    };
    const std::vector<int16_t> shorts = ramp(200);
    std::vector<float> floats(200);
    for (size_t i = 0; i < floats.size(); ++i)
        floats[i] = static_cast<float>(shorts[i]) / 32768.0f;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SF_INFO sfInfo{};
        sfInfo.samplerate = rate;
        sfInfo.channels = 2;
        sfInfo.format = c.format;
        SNDFILE *sf = sf_open(folder.path(c.name).c_str(), SFM_WRITE, &sfInfo);
        ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
        sf_set_string(sf, SF_STR_TITLE, "Odd");
        sf_set_string(sf, SF_STR_COMMENT, "Even");
        SF_INSTRUMENT inst{};
        inst.basenote = 62;
        inst.key_hi = 127;
        inst.velocity_hi = 127;
        inst.loop_count = 1;
        inst.loops[0].mode = SF_LOOP_FORWARD;
        inst.loops[0].start = 10;
        inst.loops[0].end = 50;
        ASSERT_EQ(sf_command(sf, SFC_SET_INSTRUMENT, &inst, sizeof inst), SF_TRUE);
        if (c.bytesPerSample == 2)
            ASSERT_EQ(sf_write_short(sf, shorts.data(), 200), 200);
        else
            ASSERT_EQ(sf_write_float(sf, floats.data(), 200), 200);
        sf_close(sf);

        podoFileWAV file;
        ASSERT_EQ(file.open(at(c.name), openRead), 0u);
        podoAudioFormat expected;
        expected.set(rate, c.bytesPerSample, 2, podoStreamLayout::interleaved, c.formatTag);
        EXPECT_TRUE(file.formatRecord().equals(expected));
        podoStream stream;
        stream.setFormatFrom(expected);
        EXPECT_EQ(file.transferFrames(nullptr, stream, 1000), 100 * 2 * c.bytesPerSample);
        ASSERT_EQ(stream.getNumFrames(0), 100u);
        if (c.bytesPerSample == 2) {
            std::vector<int16_t> got(200);
            stream.read(100, got.data(), 0);
            EXPECT_EQ(got, shorts);
        } else {
            std::vector<float> got(200);
            stream.read(100, got.data(), 0);
            EXPECT_EQ(got, floats);
        }

        WaveListRecord list;
        EXPECT_GT(file.list(list), 0);
        ASSERT_EQ(list.entries.getCount(), 2);
        EXPECT_STREQ(list.entries.at(0)->text.getNarrow(), "Odd");
        EXPECT_STREQ(list.entries.at(1)->text.getNarrow(), "Even");
        WaveSamplerRecord sampler;
        EXPECT_GT(file.sampler(sampler), 0);
        EXPECT_EQ(sampler.midiUnityNote, 62u);
        ASSERT_EQ(sampler.numLoops, 1u);
        EXPECT_EQ(sampler.loops.at(0)->start, 10u);
        EXPECT_EQ(sampler.loops.at(0)->end, 49u);
    }
}

// Hand-made files: pad bytes present or missing, sizes that lie, texts in the old
// code page.
TEST_F(podoFileWAVTest, ToleratesOtherWritersAndRepairsOrRefusesBadSizes)
{
    const std::string fmt = chunk("fmt ", pcmFormat(1, 8));
    const std::string infoOdd = "INAM" + le32(3) + std::string("ab\0", 3);
    const std::string infoEven = "ICMT" + le32(2) + std::string("c\0", 2);
    const std::string smplHeader = le32(0) + le32(0) + le32(0) + le32(64) + le32(0) + le32(0) + le32(0);
    const std::string oneLoop = le32(0) + le32(0) + le32(1) + le32(2) + le32(0) + le32(0);
    const std::string cp949 = "\xC7\xD1\xB1\xDB"; // two Korean syllables, not UTF-8

    struct Case {
        const char *why;
        std::string bytes;
        int64_t dataBytes;
        std::vector<std::string> texts;
        int32_t loops;
    } cases[] = {
        {"pad bytes everywhere",
         riff(fmt + chunk("data", "xyz") + chunk("LIST", "INFO" + infoOdd + '\0' + infoEven) +
              chunk("smpl", smplHeader + le32(1) + le32(0) + oneLoop)),
         3, {"ab", "c"}, 1},
        {"no pad bytes",
         riff(fmt + chunk("data", "xyz", false) + chunk("LIST", "INFO" + infoOdd + infoEven, false) +
              chunk("smpl", smplHeader + le32(1) + le32(0) + oneLoop)),
         3, {"ab", "c"}, 1},
        {"data size past the end of the file",
         riff(fmt) + "data" + le32(1000000) + "abcdef", 6, {}, 0},
        {"loop count far beyond the chunk",
         riff(fmt + chunk("data", "ab") + chunk("smpl", smplHeader + le32(0x7FFFFFFF) + le32(0) + oneLoop)),
         2, {}, 1},
        {"smpl header cut short", riff(fmt + chunk("data", "ab") + chunk("smpl", smplHeader)), 2, {}, 0},
        {"INFO entry larger than its list",
         riff(fmt + chunk("data", "ab") + chunk("LIST", "INFO" + infoEven + "INAM" + le32(500) + "abc")),
         2, {"c"}, 0},
        {"long INFO text and one in the old code page",
         riff(fmt + chunk("data", "ab") +
              chunk("LIST", "INFO" + chunk("INAM", std::string(1500, 'n') + '\0') + chunk("ICMT", cp949 + '\0'))),
         2, {std::string(1500, 'n'), "\xED\x95\x9C\xEA\xB8\x80"}, 0},
        {"another list before the INFO one",
         riff(fmt + chunk("data", "ab") + chunk("LIST", "adtl" + chunk("labl", le32(1) + "x")) +
              chunk("LIST", "INFO" + infoEven)),
         2, {"c"}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        folder.write("case.wav", c.bytes);
        podoFileWAV file;
        ASSERT_EQ(file.open(at("case.wav"), openRead), 0u);
        int32_t channels = 0;
        EXPECT_EQ(file.getFormat(nullptr, nullptr, &channels, nullptr), 20);
        EXPECT_EQ(channels, 1);
        std::vector<char> sampleBytes(64);
        EXPECT_EQ(file.accessData(nullptr, sampleBytes.data(), 64), c.dataBytes);

        WaveListRecord list;
        file.list(list);
        std::vector<std::string> texts;
        for (int32_t i = 0; i < list.entries.getCount(); ++i)
            texts.emplace_back(list.entries.at(i)->text.getNarrow());
        EXPECT_EQ(texts, c.texts);

        WaveSamplerRecord sampler;
        file.sampler(sampler);
        EXPECT_EQ(sampler.numLoops, uint32_t(c.loops));
        EXPECT_EQ(sampler.loops.getCount(), c.loops);
    }
}

TEST_F(podoFileWAVTest, FormatChunksOfOtherSizes)
{
    // A longer format chunk (as extensible formats have) gives its first 16 bytes;
    // a short one gives no format.
    folder.write("long.wav", riff(chunk("fmt ", pcmFormat(2, 16) + std::string(24, 'x')) + chunk("data", "abcd")));
    folder.write("short.wav", riff(chunk("fmt ", pcmFormat(2, 16).substr(0, 10)) + chunk("data", "abcd")));
    podoFileWAV file;
    ASSERT_EQ(file.open(at("long.wav"), openRead), 0u);
    int32_t bits = 0;
    EXPECT_EQ(file.getFormat(nullptr, &bits, nullptr, nullptr), 20);
    EXPECT_EQ(bits, 16);
    file.close();
    ASSERT_EQ(file.open(at("short.wav"), openRead), 0u);
    bits = 0;
    EXPECT_EQ(file.getFormat(nullptr, &bits, nullptr, nullptr), 14);
    EXPECT_EQ(bits, 0);
    EXPECT_EQ(file.formatRecord().channels, 0);
}

TEST_F(podoFileWAVTest, NotRiffAndWrongDirections)
{
    struct Case {
        const char *why;
        std::string bytes;
    } cases[] = {
        {"another magic", "RIFX" + le32(4) + "WAVE"},
        {"header cut short", "RIFF" + le32(4)},
        {"empty file", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        folder.write("bad.wav", c.bytes);
        podoFileWAV file;
        EXPECT_EQ(file.open(at("bad.wav"), openRead), podoFileError::notRiff);
        EXPECT_TRUE(file.isOpen());
        EXPECT_EQ(file.chunkIndex().getCount(), 0);
        WaveFormatRecord format;
        EXPECT_EQ(file.format(format), 0);
    }

    // A file being read neither writes a chunk nor takes data; a file being written
    // reads nothing.
    writeStereo("ok.wav", 4);
    const std::string before = folder.read("ok.wav");
    {
        podoFileWAV file;
        ASSERT_EQ(file.open(at("ok.wav"), openRead), 0u);
        WaveInstrumentRecord inst;
        EXPECT_EQ(file.instrument(inst), 0); // none to read
        EXPECT_EQ(file.putChunk(riffId("junk"), RiffSizedRecord{}), 0);
        EXPECT_EQ(file.writeChunk(riffId("junk"), "ab", 2), 0);
    }
    EXPECT_EQ(folder.read("ok.wav"), before);
    podoFileWAV file;
    ASSERT_EQ(file.open(at("new.wav"), createNew), 0u);
    char buffer[8];
    RiffSizedRecord record{0, buffer, sizeof buffer};
    EXPECT_EQ(file.data(record), 0);
    EXPECT_EQ(file.readChunk(riffId("fmt "), record), 0);
}

// What is already written is never overrun: a chunk is rewritten only with its old
// size, and no sample is added after a chunk that follows the data.
TEST_F(podoFileWAVTest, WritingNeverOverrunsWrittenChunks)
{
    {
        podoFileWAV file;
        ASSERT_EQ(file.open(at("keep.wav"), createNew), 0u);
        file.setFormat(rate, 16, 1, 1);
        int16_t samples[4] = {1, 2, 3, 4};
        file.accessData(nullptr, samples, 8);
        WaveListRecord list;
        list.entries.add(info("INAM", "abc"));
        EXPECT_GT(file.list(list), 0);
        WaveSamplerRecord sampler;
        sampler.loops.add(loop(0, 3));
        EXPECT_GT(file.sampler(sampler), 0);

        EXPECT_EQ(file.accessData(nullptr, samples, 8), 0);
        list.entries.at(0)->text = "a longer name";
        EXPECT_EQ(file.list(list), 0);
        list.entries.at(0)->text = "xyz";
        EXPECT_EQ(file.list(list), 4 + 16);
        EXPECT_EQ(file.setFormat(rate, 16, 1, 1), 20); // the format keeps its size
    }
    podoFileWAV file;
    ASSERT_EQ(file.open(at("keep.wav"), openRead), 0u);
    int16_t samples[8] = {};
    EXPECT_EQ(file.accessData(nullptr, samples, 16), 8);
    EXPECT_EQ(samples[3], 4);
    WaveListRecord list;
    file.list(list);
    ASSERT_EQ(list.entries.getCount(), 1);
    EXPECT_STREQ(list.entries.at(0)->text.getNarrow(), "xyz");
    WaveSamplerRecord sampler;
    file.sampler(sampler);
    ASSERT_EQ(sampler.numLoops, 1u);
    EXPECT_EQ(sampler.loops.at(0)->end, 3u);
}

TEST_F(podoFileWAVTest, BufferedFileReleasesItsWorkBuffer)
{
    writeStereo("b.wav", 4);
    podoFileAudioBuffered file;
    ASSERT_NE(file.reserveWork(64), nullptr);
    EXPECT_EQ(file.getWorkCount(), 64u);
    EXPECT_EQ(file.open(at("b.wav"), openRead), 0u);
    EXPECT_EQ(file.getWorkCount(), 0u);
    ASSERT_NE(file.reserveWork(16), nullptr);
    EXPECT_EQ(file.close(), 0u);
    EXPECT_EQ(file.getWorkBuffer(), nullptr);
    EXPECT_EQ(file.getWorkCount(), 0u);
}

// Every cut and many corruptions of a complete file open and read without a fault
// (the sanitized build checks every access).
TEST_F(podoFileWAVTest, TruncatedAndCorruptedFilesNeverFault)
{
    writeStereo("full.wav", 6, {info("INAM", "Abc"), info("ICMT", "odd")}, {loop(1, 4), loop(2, 3)});
    const std::string full = folder.read("full.wav");
    auto exercise = [&](const std::string &bytes) {
        folder.write("fuzz.wav", bytes);
        podoFileWAV file;
        file.open(at("fuzz.wav"), openRead);
        int32_t r = 0, bits = 0, channels = 0, tag = 0;
        file.getFormat(&r, &bits, &channels, &tag);
        WaveListRecord list;
        file.list(list);
        for (int32_t i = 0; i < list.entries.getCount(); ++i)
            list.entries.at(i)->text.getWide();
        WaveInstrumentRecord inst;
        file.instrument(inst);
        WaveSamplerRecord sampler;
        file.sampler(sampler);
        EXPECT_LE(sampler.loops.getCount(), 2);
        char buffer[64];
        RiffSizedRecord record{0, buffer, sizeof buffer};
        file.data(record);
        EXPECT_LE(record.size, sizeof buffer);
        podoStream stream;
        if (stream.setFormatFrom(file.formatRecord()) != 0 || stream.getChannels() > 0) {
            stream.allocate(4);
            file.transferFrames(nullptr, stream, 0);
            EXPECT_LE(stream.getNumFrames(0), 4u);
        }
        file.rewindData(nullptr);
        file.accessData(nullptr, buffer, sizeof buffer);
    };
    for (size_t length = 0; length < full.size(); ++length)
        exercise(full.substr(0, length));
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 400; ++round) {
        std::string bytes = full;
        const int flips = 1 + static_cast<int>(next() >> 16) % 4;
        for (int i = 0; i < flips; ++i) {
            const size_t at = (next() >> 8) % bytes.size();
            // Sizes and counts are the interesting targets: set whole bytes high.
            bytes[at] = static_cast<char>((next() >> 24) % 3 == 0 ? 0xFF : next() >> 16);
        }
        exercise(bytes);
    }
}

} // namespace

} // namespace podo_file_wav_test
