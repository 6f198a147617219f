#pragma once
// A small sound library written by the tests: two sample banks (sines and noise), a melody and a
// drum wavetable category and one patch category, in either byte order. Plus a report that
// records what the loaders say.

#include "banks/PatchBanks.h"
#include "banks/SampleBanks.h"
#include "banks/Wavetables.h"
#include "foundation/tests/podoTestFolder.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

struct RecordedBox {
    std::string message;
    std::string detail;
};

class RecordingReport : public banks::BankReport
{
public:
    void logLine(int level, bool toFile, const podoStr &line) override
    {
        lines.push_back({level, toFile, line.getNarrow()});
    }
    void showError(const podoStr &message, const podoStr &detail) override
    {
        boxes.push_back({message.getNarrow(), detail.getNarrow()});
    }
    bool logged(const std::string &text) const
    {
        for (const Line &line : lines)
            if (line.text == text)
                return true;
        return false;
    }
    std::string boxTexts() const
    {
        std::string all;
        for (const RecordedBox &box : boxes)
            all += box.message + "\n";
        return all;
    }
    void clear()
    {
        lines.clear();
        boxes.clear();
    }

    struct Line {
        int level;
        bool toFile;
        std::string text;
    };
    std::vector<Line> lines;
    std::vector<RecordedBox> boxes;
};

// Sample values the tests can check by hand.
inline std::vector<int16_t> sineSamples(int size, double period)
{
    std::vector<int16_t> values(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i)
        values[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(20000.0 * std::sin(2.0 * M_PI * i / period)));
    return values;
}

inline std::vector<int16_t> noiseSamples(int size, uint32_t seed)
{
    std::vector<int16_t> values(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) {
        seed = seed * 1664525u + 1013904223u;
        values[static_cast<size_t>(i)] = static_cast<int16_t>(seed >> 16);
    }
    return values;
}

// The library's contents, kept so that tests compare what was loaded with what was written.
struct TestLibrary {
    std::vector<int16_t> sineLow = sineSamples(200, 100.0);  // bank 3 sample 0, looped at 1
    std::vector<int16_t> sineHigh = sineSamples(64, 32.0);   // bank 3 sample 1, looped at 33
    std::vector<int16_t> noise = noiseSamples(300, 7);       // bank 12 sample 0, one-shot

    std::vector<banks::SampleSource> tonal() const
    {
        return {{44100, 1, sineLow.data(), 200}, {22050, 33, sineHigh.data(), 64}};
    }
    std::vector<banks::SampleSource> noisy() const { return {{32000, 0, noise.data(), 300}}; }

    // Melody category 2: "Sines" (two zones: up to key 59 the low sine rooted at 48, up to 84 the
    // high sine rooted at 72) and "Empty" (no zones).
    std::vector<KeyZone> sineZones{{3, 0, 48, 59}, {3, 1, 72, 84}};
    // Drum category 40: "Kit" (one zone of noise up to key 127).
    std::vector<KeyZone> kitZones{{12, 0, 60, 127}};

    // Writes every file into folder (ending with '/') in the given byte order.
    bool write(const podoStr &folder, uint8_t mark) const
    {
        const auto a = tonal(), b = noisy();
        const banks::WavetableSource melody[] = {{"Sines", true, sineZones.data(), 2}, {"Empty", false, nullptr, 0}};
        const banks::WavetableSource drum[] = {{"Kit", false, kitZones.data(), 1}};
        return banks::writeSampleBank(folder, 3, "Tones", a.data(), 2, mark) &&
               banks::writeSampleBank(folder, 12, "Noise", b.data(), 1, mark) &&
               banks::writeWavetableCategory(folder, 2, "Melodic", false, melody, 2, mark) &&
               banks::writeWavetableCategory(folder, 40, "Drums", true, drum, 1, mark) &&
               writePatches(folder, mark);
    }

    // Category 50 "Leads": a single ("Solo", 727 values of i / 1000) and a combination of three
    // channels with the second channel's sequencer on, and nine globals with a tempo of 98.
    static bool writePatches(const podoStr &folder, uint8_t mark)
    {
        ChannelProgram channels[4] = {};
        for (ChannelProgram &c : channels)
            c.numValues = 727;
        for (int i = 0; i < 727; ++i)
            channels[0].values[i] = static_cast<float>(i) / 1000.0f;
        banks::copyNameField(channels[0].name, "Solo");
        banks::copyNameField(channels[1].name, "Bass");
        banks::copyNameField(channels[2].name, "Pad");
        banks::copyNameField(channels[3].name, "Keys");
        channels[2].values[banks::kSeqOnValue] = 0.6f;
        float globalsA[9] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.0f};
        float globalsB[9] = {0.9f, 0.8f, 0.7f, 0.6f, 0.5f, 0.4f, 0.3f, 0.2f, 98.0f};
        PatchRecord patches[2] = {};
        banks::copyNameField(patches[0].name, "Stored name");
        patches[0].numChannels = 1;
        patches[0].channels = &channels[0];
        patches[0].numGlobalValues = 9;
        patches[0].globals = globalsA;
        banks::copyNameField(patches[1].name, "Trio");
        patches[1].numChannels = 3;
        patches[1].channels = &channels[1];
        patches[1].numGlobalValues = 9;
        patches[1].globals = globalsB;
        PatchCategory category = {};
        category.number = 50;
        banks::copyNameField(category.name, "Leads");
        category.numPatches = 2;
        category.patches = patches;
        return banks::writePatchFile(folder, category, mark);
    }
};

// A temporary library folder with its loader setup.
struct LibraryFolder {
    podoTestFolder folder;
    RecordingReport report;
    banks::BankLoadSetup setup;

    LibraryFolder()
    {
        setup.folder = podoStr((folder.root.string() + "/").c_str());
        setup.byteOrderMark = banks::kLittleEndianMark;
        setup.report = &report;
    }
    void write(const std::string &name, const std::vector<uint8_t> &bytes) const
    {
        folder.write(name, std::string(bytes.begin(), bytes.end()));
    }
};

// Frees every table, so each test starts from an empty library and leaves none behind.
inline void freeLibrary()
{
    banks::BankLoadSetup quiet;
    banks::freePatches(quiet);
    banks::freeWavetables(quiet);
    banks::freeSamples(true, quiet);
    banks::closeSampleReloader();
}
