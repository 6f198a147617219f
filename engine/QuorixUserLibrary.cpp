// The instance's side of the user's part of the library: user banks, patch colours and the
// initial preset.
#include "engine/Quorix.h"

#include "banks/PatchColours.h"
#include "banks/UserBanks.h"
#include "engine/DefaultProgram.h"
#include "engine/FileBackup.h"
#include "engine/ParameterIndex.h"
#include "foundation/podoLog.h"
#include "foundation/podoShell.h"
#include "foundation/podoWnd.h"

#include <cctype>
#include <cstring>
#include <memory>

using namespace engine;

namespace {

constexpr const char *kErrorCaption = "Kestrane Quorix";
constexpr const char *kInitialPresetValue = "Initial Preset";
constexpr int32_t kMachineSelector = 0x10000; // the machine's values (32-bit view)
constexpr int32_t kUserSelector = 0x10001;    // the user's values (32-bit view)
constexpr int32_t kDefaultPresetCategory = 50;

// A registry text read as a decimal integer: blanks skipped, an optional sign, the digits up
// to the first other character; none gives 0. Held to the int32 range.
int64_t leadingNumber(const char *text)
{
    if (!text)
        return 0;
    while (*text == ' ' || *text == '\t')
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    int64_t value = 0;
    while (std::isdigit(static_cast<unsigned char>(*text)) && value <= INT32_MAX)
        value = value * 10 + (*text++ - '0');
    return negative ? -value : value;
}

} // namespace

void Quorix::fillEmptyPatch(banks::EmptyPatchTemplate &out)
{
    // Channel 0 of the default program and its system effects; the tempo stays 0 (none).
    std::memset(&out, 0, sizeof out);
    for (int32_t v = 0; v < banks::kChannelProgramValues; ++v)
        out.values[v] = defaultProgram.values[parameterIndex(0, kFirstLocalId + v)];
    for (int32_t g = 0; g < 8; ++g)
        out.globals[g] = defaultProgram.values[master::ChorusFirst + g];
}

banks::UserBankSetup Quorix::userBankSetup(const banks::EmptyPatchTemplate *emptyPatch)
{
    banks::UserBankSetup setup;
    setup.folder = getUserPath();
    setup.byteOrderMark = getByteOrderMark();
    setup.report = &banks::processBankReport();
    setup.emptyPatch = emptyPatch;
    setup.backup = [](const podoStr &path) { return moveToBackup(path); };
    return setup;
}

// The files are read, moved and written holding no lock a render takes; the table takes the banks
// in one short exclusive step, and the banks they replace are freed after it.
bool Quorix::loadUserBanks()
{
    auto emptyPatch = std::make_unique<banks::EmptyPatchTemplate>();
    fillEmptyPatch(*emptyPatch);
    const banks::UserBankSetup setup = userBankSetup(emptyPatch.get());
    auto load = std::make_unique<banks::UserBankLoad>();
    int32_t first = 0;
    {
        EngineReadBlock shared(engineSharedLock());
        first = patchCategories ? firstUserCategory : 0;
    }
    if (!banks::readUserBanks(setup, first, *load))
        return false;
    banks::backUpDamagedUserBanks(setup, *load);
    bool renewed = true;
    {
        EngineReadBlock shared(engineSharedLock());
        renewed = banks::renewUserBanks(setup, *load);
    }
    {
        EngineWriteBlock exclusive(engineSharedLock());
        if (!banks::installUserBanks(setup, *load))
            return false;
    }
    return banks::finishUserBanks(setup, *load) && renewed;
}

bool Quorix::initUserBank(int32_t index)
{
    auto emptyPatch = std::make_unique<banks::EmptyPatchTemplate>();
    fillEmptyPatch(*emptyPatch);
    podoSyncCriticalBlock lock(&instanceLock);
    EngineWriteBlock shared(engineSharedLock());
    return banks::initUserBank(userBankSetup(emptyPatch.get()), index);
}

bool Quorix::saveUserBanks(int32_t index)
{
    auto emptyPatch = std::make_unique<banks::EmptyPatchTemplate>();
    fillEmptyPatch(*emptyPatch);
    const banks::UserBankSetup setup = userBankSetup(emptyPatch.get());
    std::vector<banks::UserBankImage> images;
    {
        // A store of another instance may replace a bank's patch table meanwhile.
        podoSyncCriticalBlock lock(&instanceLock);
        EngineReadBlock shared(engineSharedLock());
        if (index >= 0 && (index < firstUserCategory || index >= numPatchCategories))
            return false;
        images = banks::encodeUserBanks(setup, index);
    }
    return banks::writeUserBanks(setup, images);
}

bool Quorix::readPatchColors()
{
    podoSyncCriticalBlock lock(&instanceLock);
    EngineWriteBlock shared(engineSharedLock());
    const banks::UserBankSetup setup = userBankSetup(nullptr);
    if (banks::loadPatchColours(setup))
        return true;
    // The colours are the user's own work: a file that is there but refused is kept under its backup
    // name before a fresh one takes its place.
    if (!setup.folder.isEmpty()) {
        const podoStr path = setup.folder + banks::kPatchColourFileName;
        if (podo::pathExists(path) && !moveToBackup(path))
            podo::logMessage(4, true, "%s : could not be moved to its backup name", path.getNarrow());
    }
    return false;
}

bool Quorix::writePatchColors()
{
    const banks::UserBankSetup setup = userBankSetup(nullptr);
    if (setup.folder.isEmpty())
        return false;
    std::vector<uint8_t> bytes;
    {
        podoSyncCriticalBlock lock(&instanceLock);
        EngineReadBlock shared(engineSharedLock());
        bytes = banks::encodePatchColours(setup.byteOrderMark);
    }
    const podoStr path = setup.folder + banks::kPatchColourFileName;
    const uint32_t error = banks::replaceBankFile(path, bytes);
    if (error != 0) {
        podo::logMessage(4, true, "file not created : %s [%08X]", path.getNarrow(), error);
        return false;
    }
    return true;
}

bool Quorix::setInitialPreset(int32_t categoryIndex, int32_t patchIndex)
{
    int32_t number = -1;
    {
        podoSyncCriticalBlock lock(&instanceLock);
        EngineReadBlock shared(engineSharedLock());
        if (patchCategories && categoryIndex >= 0 && categoryIndex < numPatchCategories)
            number = patchCategories[categoryIndex].number;
    }
    // Six digits are all the reader takes apart: category number, then patch index.
    if (number < 0 || number >= banks::kBankNumberCount || patchIndex < 0 || patchIndex >= 1000)
        return false;
    podoStr text;
    text.format("%03d%03d", number, patchIndex);
    if (!writeRegistryString(kUserSelector, kInitialPresetValue, text)) {
        podo::showError("failed to set as initial preset", text, kErrorCaption, nullptr);
        return false;
    }
    return true;
}

void Quorix::readInitialPreset(int32_t *category, int32_t *patch)
{
    int32_t c = kDefaultPresetCategory, p = 0;
    const char *maker = makerName.getNarrow();
    const char *product = KestraneVST::productName.getNarrow();
    podoStr text;
    if (readRegistryString(kMachineSelector, kInitialPresetValue, &text)) {
        const int64_t n = leadingNumber(text.getNarrow());
        c = static_cast<int32_t>(n / 1000);
        p = static_cast<int32_t>(n % 1000);
        podo::logMessage(1, false, "%s:%s: Global Initial Preset: %03d/%03d", maker, product, c, p);
    }
    if (readRegistryString(kUserSelector, kInitialPresetValue, &text)) {
        const int64_t n = leadingNumber(text.getNarrow());
        c = static_cast<int32_t>(n / 1000);
        p = static_cast<int32_t>(n % 1000);
        podo::logMessage(1, false, "%s:%s: User Initial Preset: %03d/%03d", maker, product, c, p);
    }
    // A category the number table does not cover, or a negative patch: the default preset.
    if (c < 0 || c >= banks::kBankNumberCount || p < 0) {
        c = kDefaultPresetCategory;
        p = 0;
    }
    *category = c;
    *patch = p;
}
