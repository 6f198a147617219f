// The patch colour file ("Quorix.plc"): any bytes through the reader onto a loaded library of a
// factory category and the four user banks, from memory and as the file in the user folder.
//
// What must hold: the reader changes colours only, and only to codes the browser's table has;
// a file refused for its kind or version tells the user and changes nothing; the file loader
// does exactly what the memory reader does; the colours then write, in either byte order, to
// a file that gives them back whole.
#include "banks/PatchColours.h"
#include "banks/UserBanks.h"
#include "fuzz/FuzzSupport.h"

#include <cstring>

using namespace banks;
using fuzz::CountingReport;

namespace {

struct Shape {
    int32_t number, numPatches;
    PatchRecord *patches;
};

std::vector<Shape> shapes()
{
    std::vector<Shape> out;
    for (int32_t i = 0; i < numPatchCategories; ++i)
        out.push_back({patchCategories[i].number, patchCategories[i].numPatches, patchCategories[i].patches});
    return out;
}

bool sameShapes(const std::vector<Shape> &a, const std::vector<Shape> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].number != b[i].number || a[i].numPatches != b[i].numPatches || a[i].patches != b[i].patches)
            return false;
    return true;
}

std::vector<int16_t> colours()
{
    std::vector<int16_t> out;
    for (int32_t i = 0; i < numPatchCategories; ++i)
        for (int32_t j = 0; j < patchCategories[i].numPatches; ++j)
            out.push_back(patchCategories[i].patches[j].colour);
    return out;
}

// A known start: every patch a colour of its own position, some outside 0..8 as a store may
// leave them.
void paint()
{
    for (int32_t i = 0; i < numPatchCategories; ++i)
        for (int32_t j = 0; j < patchCategories[i].numPatches; ++j)
            patchCategories[i].patches[j].colour = static_cast<int16_t>((i * 5 + j) % 11 - 1);
}

bool readFromMemory(const uint8_t *data, size_t size, CountingReport &report)
{
    MemoryBankSource source(data, size);
    BankReader reader(source);
    return readPatchColours(reader, fuzz::loadSetup("", &report), "fuzz");
}

// One factory category of three patches and four empty user banks.
struct Library {
    std::string folder;
    std::vector<Shape> shape;

    Library()
    {
        folder = fuzz::freshFolder("colours");
        static ChannelProgram channel{};
        channel.numValues = 1;
        PatchRecord patches[3] = {};
        for (PatchRecord &p : patches) {
            p.numChannels = 1;
            p.channels = &channel;
        }
        PatchCategory category{};
        category.number = 3;
        copyNameField(category.name, "Factory");
        category.numPatches = 3;
        category.patches = patches;
        CountingReport report;
        UserBankSetup setup;
        static_cast<BankLoadSetup &>(setup) = fuzz::loadSetup(folder, &report);
        if (!writePatchFile(setup.folder, category, setup.byteOrderMark) || !loadPatches(setup) ||
            !loadUserBanks(setup) || !initUserBank(setup, -1) || numPatchCategories != 5)
            fuzz::fail(__FILE__, __LINE__, "library not loaded");
        shape = shapes();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const Library library;
    paint();
    const std::vector<int16_t> start = colours();
    CountingReport report;
    const bool read = readFromMemory(data, size, report);
    FUZZ_CHECK(sameShapes(shapes(), library.shape));
    const std::vector<int16_t> after = colours();
    for (size_t k = 0; k < after.size(); ++k)
        FUZZ_CHECK(after[k] == start[k] || (after[k] >= 0 && after[k] <= 8));
    if (read)
        FUZZ_CHECK(report.boxes == 0);
    else if (report.boxes > 0)
        FUZZ_CHECK(report.boxes == 1 && after == start);

    // The same bytes as the file in the folder.
    fuzz::writeFile(library.folder + kPatchColourFileName, data, size);
    paint();
    report.clear();
    FUZZ_CHECK(loadPatchColours(fuzz::loadSetup(library.folder, &report)) == read);
    FUZZ_CHECK(colours() == after);

    // What the colours are now writes and reads back whole.
    for (uint8_t mark : {kLittleEndianMark, kBigEndianMark}) {
        const std::vector<uint8_t> bytes = encodePatchColours(mark);
        const std::vector<int16_t> written = colours();
        for (int16_t c : written)
            FUZZ_CHECK(c >= 0 && c <= 8);
        paint();
        report.clear();
        FUZZ_CHECK(readFromMemory(bytes.data(), bytes.size(), report));
        FUZZ_CHECK(colours() == written);
    }
    return 0;
}
