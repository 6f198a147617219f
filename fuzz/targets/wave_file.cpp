// WAVE files: any bytes as a file through the RIFF index and the WAVE reader, then what was
// read through the writer into a new file and back.
//
// What must hold: a file that opens indexes only chunks that lie within it; the sample data
// reads no more than its chunk holds, and the frame transfer gives exactly those bytes as whole
// frames; the sampler chunk keeps only loops its body holds; a file written from what was read
// reads back with the same format, data, texts and loops.
#include "foundation/podoFileWAV.h"
#include "foundation/podoStream.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kRead = podoFileFlags::read;
constexpr uint32_t kCreate = podoFileFlags::write | podoFileFlags::create;
// Far more than a fuzz input holds: a data chunk claiming more is cut to the file.
constexpr int64_t kMostData = 1 << 20;

struct Contents {
    int32_t rate = 0, bits = 0, channels = 0, tag = 0;
    int64_t formatBytes = 0;
    std::vector<uint8_t> data;
    std::vector<podoStr> texts;
    std::vector<uint32_t> textIds;
    bool hasSampler = false;
    uint32_t unityNote = 0;
    std::vector<WaveSampleLoop> loops;
};

bool writable(const Contents &c)
{
    const bool pcm = c.tag == 1 && (c.bits == 8 || c.bits == 16 || c.bits == 24 || c.bits == 32);
    const bool floats = c.tag == 3 && (c.bits == 32 || c.bits == 64);
    return c.formatBytes > 0 && (pcm || floats) && c.channels >= 1 && c.channels <= 16 && c.rate > 0;
}

Contents readContents(podoFileWAV &file, int64_t fileSize)
{
    Contents c;
    for (int32_t i = 0; i < file.chunkIndex().getCount(); ++i) {
        const RiffChunkEntry &e = *const_cast<davalSortableArray<RiffChunkEntry> &>(file.chunkIndex()).at(i);
        FUZZ_CHECK(e.offset >= 0 && e.size >= 4 && e.offset + e.size <= fileSize);
    }
    FUZZ_CHECK(file.chunkIndex().getCount() <= podoFileRIFF::maxIndexedChunks);

    c.formatBytes = file.getFormat(&c.rate, &c.bits, &c.channels, &c.tag);
    const AudioDataRegion *region = file.dataRegion();
    FUZZ_CHECK(region->size >= 0 && region->offset + region->size <= fileSize);
    std::vector<uint8_t> piece(4096);
    for (;;) {
        const int64_t n = file.accessData(nullptr, piece.data(), static_cast<int64_t>(piece.size()));
        FUZZ_CHECK(n >= 0 && n <= static_cast<int64_t>(piece.size()));
        if (n == 0)
            break;
        c.data.insert(c.data.end(), piece.begin(), piece.begin() + n);
        FUZZ_CHECK(static_cast<int64_t>(c.data.size()) <= std::min(fileSize, kMostData));
    }

    if (writable(c)) {
        // The same bytes again, as whole frames through a stream.
        const size_t frameBytes = static_cast<size_t>(c.channels) * static_cast<size_t>(c.bits / 8);
        const size_t frames = c.data.size() / frameBytes;
        file.rewindData(nullptr);
        podoStream stream;
        stream.setFormat(c.rate, c.bits / 8, c.channels, podoStreamLayout::interleaved, c.tag);
        const int64_t moved = file.transferFrames(nullptr, stream, frames + 1);
        FUZZ_CHECK(moved == static_cast<int64_t>(frames * frameBytes));
        std::vector<uint8_t> out(frames * frameBytes);
        FUZZ_CHECK(stream.read(frames, out.data(), 0) == frames);
        FUZZ_CHECK(std::equal(out.begin(), out.end(), c.data.begin()));
        c.data.resize(frames * frameBytes);
    }

    WaveListRecord list;
    if (file.list(list) > 0 && list.listType == static_cast<uint32_t>(riffId("INFO")))
        for (int32_t i = 0; i < list.entries.getCount(); ++i) {
            c.textIds.push_back(list.entries.at(i)->id);
            c.texts.push_back(list.entries.at(i)->text);
        }
    WaveSamplerRecord sampler;
    if (file.sampler(sampler) > 0) {
        FUZZ_CHECK(sampler.numLoops == static_cast<uint32_t>(sampler.loops.getCount()));
        FUZZ_CHECK(36 + 24 * static_cast<uint64_t>(sampler.numLoops) <= sampler.size);
        c.hasSampler = true;
        c.unityNote = sampler.midiUnityNote;
        for (int32_t i = 0; i < sampler.loops.getCount(); ++i)
            c.loops.push_back(*sampler.loops.at(i));
    }
    return c;
}

bool sameLoop(const WaveSampleLoop &a, const WaveSampleLoop &b)
{
    return a.cuePointId == b.cuePointId && a.type == b.type && a.start == b.start && a.end == b.end &&
           a.fraction == b.fraction && a.playCount == b.playCount;
}

void writeBack(const std::string &path, const Contents &c)
{
    {
        podoFileWAV out;
        FUZZ_CHECK(out.open(podoStr(path.c_str()), kCreate) == 0);
        FUZZ_CHECK(out.setFormat(c.rate, c.bits, c.channels, c.tag) == 20);
        if (!c.data.empty())
            FUZZ_CHECK(out.accessData(nullptr, const_cast<uint8_t *>(c.data.data()),
                                      static_cast<int64_t>(c.data.size())) == static_cast<int64_t>(c.data.size()));
        if (!c.texts.empty()) {
            WaveListRecord list;
            for (size_t i = 0; i < c.texts.size(); ++i) {
                WaveInfoEntry entry;
                entry.id = c.textIds[i];
                entry.text = c.texts[i];
                list.entries.add(entry);
            }
            FUZZ_CHECK(out.list(list) > 0);
        }
        if (c.hasSampler) {
            WaveSamplerRecord sampler;
            sampler.midiUnityNote = c.unityNote;
            for (const WaveSampleLoop &l : c.loops)
                sampler.loops.add(l);
            FUZZ_CHECK(out.sampler(sampler) > 0);
        }
        FUZZ_CHECK(out.close() == 0);
    }
    podoFileWAV back;
    FUZZ_CHECK(back.open(podoStr(path.c_str()), kRead) == 0);
    const Contents again = readContents(back, back.size());
    FUZZ_CHECK(again.rate == c.rate && again.bits == c.bits && again.channels == c.channels && again.tag == c.tag);
    FUZZ_CHECK(again.data == c.data);
    FUZZ_CHECK(again.textIds == c.textIds);
    for (size_t i = 0; i < c.texts.size(); ++i)
        FUZZ_CHECK(again.texts[i] == c.texts[i]);
    FUZZ_CHECK(again.hasSampler == c.hasSampler && again.unityNote == c.unityNote);
    FUZZ_CHECK(again.loops.size() == c.loops.size());
    for (size_t i = 0; i < c.loops.size(); ++i)
        FUZZ_CHECK(sameLoop(again.loops[i], c.loops[i]));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string folder = fuzz::freshFolder("wave");
    const std::string path = folder + "in.wav";
    fuzz::writeFile(path, data, size);
    podoFileWAV file;
    if (file.open(podoStr(path.c_str()), kRead) != 0)
        return 0;
    const Contents contents = readContents(file, static_cast<int64_t>(size));
    file.close();
    if (writable(contents))
        writeBack(folder + "out.wav", contents);
    return 0;
}
