// User banks (".usr"): any bytes through the bank reader, then the same bytes as the middle
// bank of a user folder, between two sound banks, through the loader.
//
// What must hold: a bank read whole has counts within the table's limits, colours the browser
// can show, and writes back in either byte order to a file that reads the same; a damaged one
// holds no patches and tells the user once. In the folder the banks around it load as written;
// a bank read whole keeps its file; a damaged one is kept under its backup name, byte for byte,
// and renewed empty under its own number, with a file that reads back as the renewed bank.
#include "banks/UserBanks.h"
#include "engine/FileBackup.h"
#include "fuzz/FuzzSupport.h"

#include <cmath>
#include <cstring>
#include <filesystem>

using namespace banks;
using fuzz::CountingReport;

namespace {

UserBankSetup userSetup(const std::string &folder, CountingReport &report, const EmptyPatchTemplate &empty)
{
    UserBankSetup setup;
    static_cast<BankLoadSetup &>(setup) = fuzz::loadSetup(folder, &report);
    setup.emptyPatch = &empty;
    setup.backup = [](const podoStr &path) { return engine::moveToBackup(path); };
    return setup;
}

bool samePatch(const PatchRecord &a, const PatchRecord &b)
{
    if (std::memcmp(a.name, b.name, kNameSize) != 0 || a.colour != b.colour || a.numChannels != b.numChannels ||
        a.numGlobalValues != b.numGlobalValues)
        return false;
    for (int16_t c = 0; c < a.numChannels; ++c) {
        const ChannelProgram &x = a.channels[c], &y = b.channels[c];
        if (std::memcmp(x.name, y.name, kNameSize) != 0 || x.numValues != y.numValues ||
            std::memcmp(x.values, y.values, sizeof(float) * static_cast<size_t>(x.numValues)) != 0)
            return false;
    }
    return std::memcmp(a.globals, b.globals, sizeof(float) * static_cast<size_t>(a.numGlobalValues)) == 0;
}

bool samePatches(const PatchCategory &a, const PatchCategory &b)
{
    if (a.numPatches != b.numPatches)
        return false;
    for (int32_t j = 0; j < a.numPatches; ++j)
        if (!samePatch(a.patches[j], b.patches[j]))
            return false;
    return true;
}

void checkLoaded(const PatchCategory &category, int32_t combinations, int32_t singles)
{
    FUZZ_CHECK(category.numPatches >= 1 && category.numPatches <= kMaxPatchesPerCategory);
    FUZZ_CHECK(category.patches && category.patchCapacity >= category.numPatches);
    int32_t combined = 0;
    for (int32_t j = 0; j < category.numPatches; ++j) {
        const PatchRecord &p = category.patches[j];
        FUZZ_CHECK(p.colour >= 0 && p.colour <= 8);
        FUZZ_CHECK(p.channels && p.numChannels >= 1 && p.numChannels <= kMaxChannelsPerPatch);
        FUZZ_CHECK(p.globals && p.numGlobalValues >= 1 && p.numGlobalValues <= kPatchGlobalValues);
        for (int16_t c = 0; c < p.numChannels; ++c)
            FUZZ_CHECK(p.channels[c].numValues >= 1 && p.channels[c].numValues <= kChannelProgramValues);
        combined += p.numChannels > 1;
    }
    FUZZ_CHECK(combinations == combined && singles == category.numPatches - combined);
}

// The renewed bank: every patch the empty patch, under the bank's own number.
void checkRenewed(const PatchCategory &category, int32_t number, const EmptyPatchTemplate &empty)
{
    FUZZ_CHECK(category.number == number && category.type == 3);
    FUZZ_CHECK(category.numPatches == kMaxPatchesPerCategory && category.patches);
    for (int32_t j = 0; j < category.numPatches; ++j) {
        const PatchRecord &p = category.patches[j];
        FUZZ_CHECK(std::strcmp(p.name, "<empty>") == 0 && p.numChannels == 1);
        FUZZ_CHECK(p.channels[0].numValues == kChannelProgramValues);
        FUZZ_CHECK(std::memcmp(p.channels[0].values, empty.values, sizeof empty.values) == 0);
        FUZZ_CHECK(p.numGlobalValues == kPatchGlobalValues);
        FUZZ_CHECK(std::memcmp(p.globals, empty.globals, sizeof empty.globals) == 0);
    }
}

UserBankResult readBank(const uint8_t *data, size_t size, const UserBankSetup &setup, PatchCategory &category,
                        int32_t &combinations, int32_t &singles)
{
    MemoryBankSource source(data, size);
    BankReader reader(source);
    return readUserBankFile(reader, setup, 1, "fuzz", category, combinations, singles);
}


// Two sound banks written by the writer, and the empty patch the renewals use.
struct Fixture {
    EmptyPatchTemplate empty{};
    std::vector<uint8_t> before, after;
    PatchCategory beforeBank{}, afterBank{};

    Fixture()
    {
        for (int32_t v = 0; v < kChannelProgramValues; ++v)
            empty.values[v] = static_cast<float>(v % 101) / 100.0f;
        for (int32_t g = 0; g < kPatchGlobalValues; ++g)
            empty.globals[g] = 0.125f * static_cast<float>(g);
        static ChannelProgram channels[3] = {};
        for (int c = 0; c < 3; ++c) {
            channels[c].numValues = c == 1 ? kChannelProgramValues : 30;
            for (int32_t v = 0; v < channels[c].numValues; ++v)
                channels[c].values[v] = static_cast<float>((v * 7 + c) % 13) / 12.0f;
            copyNameField(channels[c].name, c == 0 ? "Lead" : c == 1 ? "Lower" : "Upper");
        }
        static float globals[kPatchGlobalValues] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 120.0f};
        PatchRecord patches[2] = {};
        copyNameField(patches[0].name, "Lead");
        patches[0].colour = 4;
        patches[0].numChannels = 1;
        patches[0].channels = &channels[0];
        patches[0].numGlobalValues = 3;
        patches[0].globals = globals;
        copyNameField(patches[1].name, "Split");
        patches[1].colour = 8;
        patches[1].numChannels = 2;
        patches[1].channels = &channels[1];
        patches[1].numGlobalValues = kPatchGlobalValues;
        patches[1].globals = globals;
        PatchCategory category{};
        category.numPatches = 2;
        category.patches = patches;
        const uint8_t mark = machineByteOrderMark();
        before = encodeUserBank(category, mark, &empty);
        after = encodeUserBank(category, mark == kLittleEndianMark ? kBigEndianMark : kLittleEndianMark, &empty);
        CountingReport report;
        const UserBankSetup setup = userSetup("", report, empty);
        int32_t c = 0, s = 0;
        if (readBank(before.data(), before.size(), setup, beforeBank, c, s) != UserBankResult::loaded ||
            readBank(after.data(), after.size(), setup, afterBank, c, s) != UserBankResult::loaded)
            fuzz::fail(__FILE__, __LINE__, "fixture banks not readable");
    }
};

void checkFolderLoad(const Fixture &fx, const uint8_t *data, size_t size, const PatchCategory &fromMemory, bool loaded)
{
    const std::string folder = fuzz::freshFolder("user");
    fuzz::writeFile(folder + "120 Before.usr", fx.before);
    fuzz::writeFile(folder + "121 Fuzz.usr", data, size);
    fuzz::writeFile(folder + "122 After.usr", fx.after);
    CountingReport report;
    const UserBankSetup setup = userSetup(folder, report, fx.empty);
    freePatches(setup);
    FUZZ_CHECK(loadUserBanks(setup));
    FUZZ_CHECK(report.boxes == (loaded ? 0 : 1));
    FUZZ_CHECK(firstUserCategory == 0 && numPatchCategories == 3);
    const PatchCategory &first = patchCategories[0], &middle = patchCategories[1], &last = patchCategories[2];
    FUZZ_CHECK(first.number == 120 && std::strcmp(first.name, "Before") == 0 && samePatches(first, fx.beforeBank));
    FUZZ_CHECK(last.number == 122 && std::strcmp(last.name, "After") == 0 && samePatches(last, fx.afterBank));
    FUZZ_CHECK(patchCategoryIndex[120] == 0 && patchCategoryIndex[121] == 1 && patchCategoryIndex[122] == 2);
    FUZZ_CHECK(fuzz::readFile(folder + "120 Before.usr") == fx.before);
    FUZZ_CHECK(fuzz::readFile(folder + "122 After.usr") == fx.after);

    const std::vector<uint8_t> input(data, data + size);
    int backups = 0;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("121 Fuzz.usr.", 0) == 0) {
            ++backups;
            FUZZ_CHECK(fuzz::readFile(entry.path().string()) == input);
        }
    }
    if (loaded) {
        FUZZ_CHECK(middle.number == 121 && std::strcmp(middle.name, "Fuzz") == 0);
        FUZZ_CHECK(samePatches(middle, fromMemory));
        FUZZ_CHECK(backups == 0 && fuzz::readFile(folder + "121 Fuzz.usr") == input);
    } else {
        checkRenewed(middle, 121, fx.empty);
        FUZZ_CHECK(backups == 1 && !std::filesystem::exists(folder + "121 Fuzz.usr"));
        const std::vector<uint8_t> renewed = fuzz::readFile(std::string(bankFilePath(podoStr(folder.c_str()), 121,
                                                                                  middle.name, ".usr").getNarrow()));
        PatchCategory again{};
        int32_t c = 0, s = 0;
        FUZZ_CHECK(readBank(renewed.data(), renewed.size(), setup, again, c, s) == UserBankResult::loaded);
        FUZZ_CHECK(samePatches(again, middle));
        freePatchCategory(again);
    }
    freePatches(setup);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::temporaryHome();
    static const Fixture fixture;
    CountingReport report;
    const UserBankSetup setup = userSetup("", report, fixture.empty);
    PatchCategory category{};
    category.number = 121;
    copyNameField(category.name, "Fuzz");
    int32_t combinations = 0, singles = 0;
    const UserBankResult result = readBank(data, size, setup, category, combinations, singles);
    FUZZ_CHECK(result != UserBankResult::outOfMemory);
    const bool loaded = result == UserBankResult::loaded;
    if (loaded) {
        FUZZ_CHECK(report.boxes == 0);
        checkLoaded(category, combinations, singles);
        for (uint8_t mark : {kLittleEndianMark, kBigEndianMark}) {
            const std::vector<uint8_t> bytes = encodeUserBank(category, mark, &fixture.empty);
            PatchCategory again{};
            int32_t c = 0, s = 0;
            FUZZ_CHECK(readBank(bytes.data(), bytes.size(), setup, again, c, s) == UserBankResult::loaded);
            FUZZ_CHECK(samePatches(category, again));
            freePatchCategory(again);
        }
    } else {
        FUZZ_CHECK(report.boxes == 1);
        FUZZ_CHECK(category.patches == nullptr && category.numPatches == 0);
    }
    checkFolderLoad(fixture, data, size, category, loaded);
    freePatchCategory(category);
    return 0;
}
