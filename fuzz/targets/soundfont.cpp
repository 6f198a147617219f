// SoundFont files as the converter reads them: any bytes through the reader; a file it accepts
// through the regions of every preset, the General MIDI library plan and the library writer,
// and the library written then through the plug-in's own bank loaders.
//
// What must hold: a refused file says why and gives nothing; an accepted one names only
// instruments and samples it holds and keeps its samples within its data; every region reads
// within the data, with ranges of keys and velocities a MIDI note can have; a library the
// converter writes is one the plug-in loads whole, whose zones play samples that exist and
// whose patches hold values within 0..1.
#include "banks/PatchBanks.h"
#include "banks/SampleBanks.h"
#include "banks/Wavetables.h"
#include "fuzz/FuzzSupport.h"
#include "tools/soundfont/EngineText.h"
#include "tools/soundfont/GmLibrary.h"
#include "tools/soundfont/LibraryWriter.h"
#include "tools/soundfont/Regions.h"
#include "tools/soundfont/SoundFont.h"

#include <cmath>

namespace {

void checkTables(const sf2::SoundFont &sf)
{
    for (const sf2::SampleHeader &s : sf.samples) {
        if (!s.inRom())
            FUZZ_CHECK(s.start <= s.end && s.end <= sf.sampleData.size());
        FUZZ_CHECK(s.sampleLink >= 0 && static_cast<size_t>(s.sampleLink) < sf.samples.size());
    }
    for (const sf2::Instrument &in : sf.instruments)
        for (const sf2::Zone &z : in.zones)
            FUZZ_CHECK(z.target >= -1 && z.target < static_cast<int>(sf.samples.size()));
    for (const sf2::Preset &p : sf.presets)
        for (const sf2::Zone &z : p.zones)
            FUZZ_CHECK(z.target >= -1 && z.target < static_cast<int>(sf.instruments.size()));
}

void checkRegions(const sf2::SoundFont &sf)
{
    for (size_t p = 0; p < sf.presets.size(); ++p)
        for (const sf2::Region &r : sf2::presetRegions(sf, static_cast<int>(p))) {
            FUZZ_CHECK(r.preset == static_cast<int>(p));
            FUZZ_CHECK(r.instrument >= 0 && static_cast<size_t>(r.instrument) < sf.instruments.size());
            FUZZ_CHECK(r.sample >= 0 && static_cast<size_t>(r.sample) < sf.samples.size());
            FUZZ_CHECK(0 <= r.keyLow && r.keyLow <= r.keyHigh && r.keyHigh <= 127);
            FUZZ_CHECK(0 <= r.velocityLow && r.velocityLow <= r.velocityHigh && r.velocityHigh <= 127);
            const sf2::SampleSpan span = sf2::regionSpan(sf, r);
            FUZZ_CHECK(span.start <= span.end && span.end <= sf.sampleData.size());
            if (span.looped)
                FUZZ_CHECK(span.start <= span.loopStart && span.loopStart < span.loopEnd && span.loopEnd <= span.end);
        }
}

// The library as the plug-in's first instance loads it.
void checkLibrary(const std::string &folder)
{
    fuzz::CountingReport report;
    const banks::BankLoadSetup setup = fuzz::loadSetup(folder, &report);
    FUZZ_CHECK(banks::loadSampleBanks(setup));
    FUZZ_CHECK(banks::loadWavetables(setup));
    FUZZ_CHECK(banks::loadPatches(setup));
    FUZZ_CHECK(report.boxes == 0);
    for (int32_t c = 0; c < numWavetableCategories; ++c) {
        const WavetableCategory &category = wavetableCategories[c];
        for (int32_t w = 0; w < category.count; ++w) {
            const WavetableRecord &wavetable = category.wavetables[w];
            for (int16_t z = 0; z < wavetable.numWaves; ++z) {
                const SampleRecord &sample = banks::findSample(wavetable.zones[z]);
                FUZZ_CHECK(&sample != &emptySample);
            }
        }
    }
    for (int32_t c = 0; c < numPatchCategories; ++c) {
        const PatchCategory &category = patchCategories[c];
        for (int32_t j = 0; j < category.numPatches; ++j) {
            const PatchRecord &patch = category.patches[j];
            for (int16_t k = 0; k < patch.numChannels; ++k)
                for (int32_t v = 0; v < patch.channels[k].numValues; ++v) {
                    const float value = patch.channels[k].values[v];
                    FUZZ_CHECK(std::isfinite(value) && value >= 0.0f && value <= 1.0f);
                }
        }
    }
    banks::freePatches(setup);
    banks::freeWavetables(setup);
    banks::freeSamples(true, setup);
    banks::closeSampleReloader();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    sf2::SoundFont sf;
    std::string error;
    if (!sf2::readSoundFont(data, size, sf, error)) {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(sf.samples.empty() && sf.instruments.empty() && sf.presets.empty() && sf.sampleData.empty());
        return 0;
    }
    FUZZ_CHECK(error.empty());
    checkTables(sf);
    checkRegions(sf);

    static const std::string folder = fuzz::freshFolder("converted");
    const sfconv::LibraryPlan plan = sfconv::planGmLibrary(sf);
    sfconv::WriteSummary summary;
    if (sfconv::writeLibrary(sf, plan, folder, sfconv::engineValueFromText, "fuzz", summary, error))
        checkLibrary(folder);
    else
        FUZZ_CHECK(!error.empty());
    return 0;
}
