// Factory patch categories (".pth"): any bytes through the patch file reader, then as the middle
// file of a library folder through the loader.
//
// What must hold: every patch and channel a count covers is whole or empty (values past a
// channel's count zero); a category reported as loaded writes back to the same category; a
// skipped file leaves its category empty; a stopped load tells the user, keeps the categories
// before the file and leaves those after it empty.
#include "banks/PatchBanks.h"
#include "fuzz/FuzzSupport.h"

#include <cmath>
#include <cstring>

using namespace banks;
using fuzz::CountingReport;

namespace {

constexpr int32_t kFuzzNumber = 7;

void checkPatch(const PatchRecord &patch)
{
    FUZZ_CHECK(patch.numChannels >= 0 && patch.numChannels <= kMaxChannelsPerPatch);
    FUZZ_CHECK((patch.channels != nullptr) == (patch.numChannels > 0));
    FUZZ_CHECK(patch.numGlobalValues >= 0 && patch.numGlobalValues <= kPatchGlobalValues);
    FUZZ_CHECK((patch.globals != nullptr) == (patch.numGlobalValues > 0));
    for (int16_t c = 0; c < patch.numChannels; ++c) {
        const ChannelProgram &channel = patch.channels[c];
        FUZZ_CHECK(channel.numValues >= 0 && channel.numValues <= kChannelProgramValues);
        for (int32_t v = channel.numValues; v < kChannelProgramValues; ++v)
            FUZZ_CHECK(channel.values[v] == 0.0f);
    }
}

void checkCategory(const PatchCategory &category)
{
    FUZZ_CHECK(category.numPatches >= 0 && category.numPatches <= kMaxPatchesPerCategory);
    FUZZ_CHECK((category.patches != nullptr) == (category.numPatches > 0));
    FUZZ_CHECK(category.patchCapacity == category.numPatches);
    for (int32_t j = 0; j < category.numPatches; ++j)
        checkPatch(category.patches[j]);
}

bool sameFloats(const float *a, const float *b, int32_t count)
{
    return count <= 0 || std::memcmp(a, b, sizeof(float) * static_cast<size_t>(count)) == 0;
}

bool sameCategory(const PatchCategory &a, const PatchCategory &b)
{
    if (a.numPatches != b.numPatches)
        return false;
    for (int32_t j = 0; j < a.numPatches; ++j) {
        const PatchRecord &x = a.patches[j], &y = b.patches[j];
        if (std::strncmp(x.name, y.name, kNameSize) != 0 || x.colour != y.colour || x.numChannels != y.numChannels ||
            x.numGlobalValues != y.numGlobalValues || !sameFloats(x.globals, y.globals, x.numGlobalValues))
            return false;
        for (int16_t c = 0; c < x.numChannels; ++c) {
            const ChannelProgram &p = x.channels[c], &q = y.channels[c];
            if (std::strncmp(p.name, q.name, kNameSize) != 0 || p.numValues != q.numValues ||
                !sameFloats(p.values, q.values, p.numValues))
                return false;
        }
    }
    return true;
}

PatchFileResult readFromMemory(const uint8_t *data, size_t size, PatchCategory &category, CountingReport &report)
{
    MemoryBankSource source(data, size);
    BankReader reader(source);
    int32_t combinations = 0, singles = 0;
    const PatchFileResult result =
        readPatchFile(reader, fuzz::loadSetup("", &report), 1, "fuzz", category, combinations, singles);
    checkCategory(category);
    switch (result) {
    case PatchFileResult::loaded:
        FUZZ_CHECK(combinations + singles == category.numPatches);
        for (int32_t j = 0; j < category.numPatches; ++j)
            FUZZ_CHECK(category.patches[j].colour >= 1 && category.patches[j].colour <= 4);
        break;
    case PatchFileResult::skipped:
        FUZZ_CHECK(category.numPatches == 0);
        break;
    case PatchFileResult::abort:
        FUZZ_CHECK(report.boxes > 0);
        break;
    }
    return result;
}

PatchCategory emptyCategory(int32_t number, const char *name)
{
    PatchCategory category{};
    category.number = number;
    copyNameField(category.name, name);
    return category;
}

struct Library {
    std::string folder;
    PatchCategory first = emptyCategory(0, "First");

    Library()
    {
        folder = fuzz::freshFolder("patches");
        ChannelProgram channels[2] = {};
        channels[0].numValues = 30;
        channels[1].numValues = 3;
        for (int v = 0; v < 30; ++v)
            channels[0].values[v] = static_cast<float>(v) / 30.0f;
        copyNameField(channels[0].name, "Lead");
        copyNameField(channels[1].name, "Pad");
        float globals[kPatchGlobalValues] = {0, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 120.0f};
        PatchRecord patches[2] = {};
        copyNameField(patches[0].name, "Lead");
        patches[0].numChannels = 1;
        patches[0].channels = &channels[0];
        copyNameField(patches[1].name, "Both");
        patches[1].numChannels = 2;
        patches[1].channels = channels;
        patches[1].numGlobalValues = kPatchGlobalValues;
        patches[1].globals = globals;
        PatchCategory written = emptyCategory(0, "First");
        written.numPatches = 2;
        written.patches = patches;
        PatchCategory last = emptyCategory(9, "Last");
        if (!writePatchFile(podoStr(folder.c_str()), written, machineByteOrderMark()) ||
            !writePatchFile(podoStr(folder.c_str()), last, machineByteOrderMark() == 76 ? 66 : 76))
            fuzz::fail(__FILE__, __LINE__, "library not written");
        CountingReport report;
        const auto bytes = encodePatchFile(written, machineByteOrderMark());
        if (readFromMemory(bytes.data(), bytes.size(), first, report) != PatchFileResult::loaded)
            fuzz::fail(__FILE__, __LINE__, "library not readable");
    }
};

Library &library()
{
    static Library instance;
    return instance;
}

void checkFolderLoad(const uint8_t *data, size_t size, const PatchCategory &fromMemory, PatchFileResult memoryResult)
{
    Library &lib = library();
    fuzz::writeFile(lib.folder + "007 Fuzz.pth", data, size);
    CountingReport report;
    const BankLoadSetup setup = fuzz::loadSetup(lib.folder, &report);
    const bool loaded = loadPatches(setup);
    FUZZ_CHECK(loaded == (memoryResult != PatchFileResult::abort));
    FUZZ_CHECK(numPatchCategories == 3 && patchCategories);
    for (int i = 0; i < kMaxPatchCategories; ++i)
        checkCategory(patchCategories[i]);
    FUZZ_CHECK(patchCategoryIndex[0] == 0 && patchCategoryIndex[kFuzzNumber] == 1);
    FUZZ_CHECK(sameCategory(patchCategories[0], lib.first));
    if (loaded)
        FUZZ_CHECK(sameCategory(patchCategories[1], fromMemory));
    else // a damaged file keeps its slot, empty
        FUZZ_CHECK(patchCategories[1].numPatches == 0 && patchCategories[1].patches == nullptr);
    // The file after it is read either way.
    FUZZ_CHECK(patchCategoryIndex[9] == 2 && patchCategories[2].number == 9);
    // Recall asks for any index: it answers a patch of the table or nothing.
    for (int32_t c = -1; c <= numPatchCategories; ++c)
        for (int32_t j : {-1, 0, 1, 127, 128, 100000}) {
            int32_t clamped = -1;
            const PatchRecord *patch = patchForRecall(c, j, &clamped);
            if (patch) {
                FUZZ_CHECK(clamped >= 0 && clamped < patchCategories[c].numPatches);
                FUZZ_CHECK(patch == &patchCategories[c].patches[clamped]);
                const float tempo = patchTempo(*patch);
                FUZZ_CHECK(tempo == 0.0f || (std::isfinite(tempo) && tempo > 0.0f));
            }
        }
    freePatches(setup);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    PatchCategory category = emptyCategory(kFuzzNumber, "Fuzz");
    CountingReport report;
    const PatchFileResult result = readFromMemory(data, size, category, report);
    if (result == PatchFileResult::loaded)
        for (uint8_t mark : {kLittleEndianMark, kBigEndianMark}) {
            const std::vector<uint8_t> bytes = encodePatchFile(category, mark);
            PatchCategory again = emptyCategory(kFuzzNumber, "Fuzz");
            FUZZ_CHECK(readFromMemory(bytes.data(), bytes.size(), again, report) == PatchFileResult::loaded);
            FUZZ_CHECK(sameCategory(category, again));
            freePatchCategory(again);
        }
    checkFolderLoad(data, size, category, result);
    freePatchCategory(category);
    return 0;
}
