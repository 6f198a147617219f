#include "banks/UserBanks.h"

#include "foundation/podoFile.h"
#include "foundation/podoShell.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace banks {

namespace {

constexpr const char *kRenewed = "\nBackup and initialization will be executed.";
constexpr const char *kEmptyName = "<empty>";

podoStr storedName(const char (&field)[kNameSize])
{
    char name[kNameSize + 1] = {};
    std::memcpy(name, field, kNameSize);
    return podoStr(name);
}

// text cut to 23 bytes at a character boundary, terminated.
void nameFromText(char (&field)[kNameSize], const char *text)
{
    std::memset(field, 0, sizeof field);
    if (!text)
        return;
    size_t n = std::min<size_t>(std::strlen(text), kNameSize - 1);
    if (text[n] != '\0')
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    std::memcpy(field, text, n);
}

// The box and log line of a bank that is renewed.
void reportRenewal(const UserBankSetup &setup, const podoStr &line, const char *message, const podoStr &path)
{
    setup.log(4, true, line);
    setup.showError(podoStr(message) + kRenewed, path);
}

bool makeEmptyPatch(PatchRecord &patch, const EmptyPatchTemplate *emptyPatch, bool *channelFailed)
{
    clearPatch(patch);
    copyNameField(patch.name, kEmptyName);
    patch.colour = 1;
    patch.channels = new (std::nothrow) ChannelProgram[1]();
    if (!patch.channels) {
        *channelFailed = true;
        return false;
    }
    patch.numChannels = 1;
    ChannelProgram &channel = patch.channels[0];
    copyNameField(channel.name, kEmptyName);
    channel.numValues = kChannelProgramValues;
    if (emptyPatch)
        std::memcpy(channel.values, emptyPatch->values, sizeof channel.values);
    patch.globals = new (std::nothrow) float[kPatchGlobalValues]();
    if (!patch.globals) {
        *channelFailed = false;
        return false;
    }
    patch.numGlobalValues = kPatchGlobalValues;
    if (emptyPatch)
        std::memcpy(patch.globals, emptyPatch->globals, sizeof emptyPatch->globals);
    return true;
}

// Makes the category an empty user bank: the number, "User <ordinal>" and a full table of empty
// patches. False when memory ran out; what was made is then kept whole, so it can be freed.
bool fillEmptyBank(const UserBankSetup &setup, PatchCategory &category, int32_t number, int32_t ordinal,
                   int32_t index)
{
    freePatchCategory(category);
    category.number = number;
    char name[32];
    std::snprintf(name, sizeof name, "User %d", ordinal);
    copyNameField(category.name, name);
    category.type = 3;
    category.patches = new (std::nothrow) PatchRecord[kMaxPatchesPerCategory]();
    if (!category.patches) {
        setup.log(4, true, formatText("%03d %s", index, category.name));
        setup.showError("user: Memory allocation for user is failed.", category.name);
        return false;
    }
    category.patchCapacity = kMaxPatchesPerCategory;
    category.numPatches = kMaxPatchesPerCategory;
    for (int32_t p = 0; p < kMaxPatchesPerCategory; ++p) {
        bool channelFailed = false;
        if (makeEmptyPatch(category.patches[p], setup.emptyPatch, &channelFailed))
            continue;
        if (channelFailed) {
            setup.log(4, true, formatText("%03d %s - %03d", index, category.name, p));
            setup.showError("user: Memory allocation for channels is failed.", category.name);
        } else {
            setup.showError("user: Memory allocation for a channel is failed.", category.name);
        }
        return false;
    }
    return true;
}

bool isUserBank(int32_t index) { return index >= firstUserCategory && index < numPatchCategories; }

bool numberInUse(int32_t number, int32_t except)
{
    for (int32_t i = firstUserCategory; i < numPatchCategories; ++i)
        if (i != except && patchCategories[i].number == number)
            return true;
    // A factory category may carry a number of the user range too.
    for (int32_t i = 0; i < firstUserCategory; ++i)
        if (patchCategories[i].number == number)
            return true;
    return false;
}

// The first number from wanted on that no other category carries; -1 when none is left.
int32_t freeNumber(int32_t wanted, int32_t except)
{
    for (int32_t number = std::max(wanted, 0); number < kBankNumberCount; ++number)
        if (!numberInUse(number, except))
            return number;
    return -1;
}

// Moves whatever file stands at path out of the way, so a write or rename never replaces it.
bool clearWay(const UserBankSetup &setup, const podoStr &path)
{
    if (!podo::pathExists(path))
        return true;
    if (setup.backup && setup.backup(path))
        return true;
    setup.log(4, true, formatText("%s : could not be moved to its backup name", path.getNarrow()));
    return false;
}

void logTotals(const UserBankSetup &setup, int32_t combinations, int32_t singles)
{
    setup.log(1, false,
              formatText("%s:%s: Total User %d Patches (Combi %d, Single %d)", kMakerWord, kProductWord,
                         combinations + singles, combinations, singles));
}

} // namespace

int16_t normalisedColour(int32_t code)
{
    int32_t colour = code % 9;
    if (colour < 0)
        colour += 9;
    return static_cast<int16_t>(colour);
}

UserBankResult readUserBankFile(BankReader &reader, const UserBankSetup &setup, int32_t index, const podoStr &path,
                                PatchCategory &category, int32_t &combinations, int32_t &singles)
{
    const int32_t number = category.number;
    const char *name = category.name;
    auto damaged = [&](const podoStr &what) {
        freePatchCategory(category);
        reportRenewal(setup, formatText("[%d:%03d] %s : file is damaged: ", index, number, name) + what,
                      "User file is damaged.", path);
        return UserBankResult::damaged;
    };
    auto renewed = [&](const podoStr &line, const char *message) {
        freePatchCategory(category);
        reportRenewal(setup, line, message, path);
        return UserBankResult::damaged;
    };

    BankHeader header;
    switch (readBankHeader(reader, BankKind::user, setup.byteOrderMark, header)) {
    case HeaderStatus::wrongId:
        return renewed(formatText("[%d:%03d] %s : file ID is not correct.", index, number, name),
                       "User file ID is not correct.");
    case HeaderStatus::damaged:
        return damaged("the head is cut short");
    case HeaderStatus::ok:
        break;
    }
    if (header.swap)
        setup.log(1, false, formatText("[%03d %s] User endian doesn't matched.", index, name));
    if (header.version != kUserBankVersion)
        return renewed(formatText("[%d:%03d] %s: file version is not supported. (%0X)", index, number, name,
                                  static_cast<unsigned>(header.version)),
                       "User file version is not supported.");

    int32_t count = 0;
    if (!reader.i32(count))
        return damaged("the head is cut short");
    if (count < 1 || count > kMaxPatchesPerCategory)
        return renewed(formatText("[%d:%03d] %s: numPatches = %d", index, number, name, count),
                       "Invalid number of patches in a category.");
    if (static_cast<uint64_t>(count) * (kPatchRecordHead + 4) > reader.remaining())
        return damaged(formatText("numPatches = %d in %" PRIu64 " bytes", count, reader.remaining()));
    category.patches = new (std::nothrow) PatchRecord[count]();
    if (!category.patches) {
        setup.log(4, true, formatText("%03d %s", index, name));
        setup.showError("Memory allocation for patches is failed.", path);
        return UserBankResult::outOfMemory;
    }
    category.numPatches = count;
    category.patchCapacity = count;

    int32_t bankCombinations = 0, bankSingles = 0;
    for (int32_t j = 0; j < count; ++j) {
        PatchRecord &patch = category.patches[j];
        int16_t colour = 0, numChannels = 0;
        int32_t payload = 0;
        if (!reader.bytes(patch.name, kNameSize) || !reader.i16(colour) || !reader.i16(numChannels) ||
            !reader.i32(payload))
            return damaged(formatText("(%03d) the file ends in the record", j));
        patch.colour = normalisedColour(colour);
        const podoStr patchName = storedName(patch.name);
        if (numChannels < 1 || numChannels > kMaxChannelsPerPatch)
            return renewed(formatText("%03d %s - %03d %s", index, name, j, patchName.getNarrow()),
                           "Invalid number of channels in a patch.");
        patch.channels = new (std::nothrow) ChannelProgram[numChannels]();
        if (!patch.channels) {
            setup.log(4, true, formatText("%03d %s - %03d %s", index, name, j, patchName.getNarrow()));
            setup.showError("Memory allocation for channels is failed.", path);
            return UserBankResult::outOfMemory;
        }
        patch.numChannels = numChannels;
        ++(numChannels > 1 ? bankCombinations : bankSingles);
        for (int16_t c = 0; c < numChannels; ++c) {
            ChannelProgram &channel = patch.channels[c];
            int32_t numValues = 0;
            if (!reader.bytes(channel.name, kNameSize) || !reader.i32(numValues))
                return damaged(formatText("(%03d) channel %d: the file ends in the record", j, c));
            if (numValues < 1 || numValues > kChannelProgramValues)
                return renewed(formatText("[%d:%03d] %s (%03d) %s[%d]: numValues = %d", index, number, name, j,
                                          patchName.getNarrow(), c, numValues),
                               "Invalid number of values in a patch.");
            channel.numValues = numValues;
            if (!reader.f32s(channel.values, static_cast<size_t>(numValues)))
                return damaged(formatText("(%03d) channel %d: the file ends in the values", j, c));
        }
        int32_t numGlobals = 0;
        if (!reader.i32(numGlobals))
            return damaged(formatText("(%03d) the file ends before the global values", j));
        if (numGlobals < 1 || numGlobals > kPatchGlobalValues)
            return renewed(formatText("[%d:%03d] %s (%03d) %s: numGlobalValues = %d", index, number, name, j,
                                      patchName.getNarrow(), numGlobals),
                           "Invalid number of global values in a patch.");
        patch.globals = new (std::nothrow) float[numGlobals]();
        if (!patch.globals) {
            setup.showError("Memory allocation for a channel is failed.", path);
            return UserBankResult::outOfMemory;
        }
        patch.numGlobalValues = numGlobals;
        if (!reader.f32s(patch.globals, static_cast<size_t>(numGlobals)))
            return damaged(formatText("(%03d) the file ends in the global values", j));
    }
    setup.log(1, false,
              formatText("%s:%s: User[%03d] %3d Patches (Combi %d, Single %d) [%s]", kMakerWord, kProductWord, number,
                         count, bankCombinations, bankSingles, name));
    combinations += bankCombinations;
    singles += bankSingles;
    return UserBankResult::loaded;
}

UserBankLoad::~UserBankLoad()
{
    for (PatchCategory &category : categories)
        freePatchCategory(category);
}

bool readUserBanks(const UserBankSetup &setup, int32_t first, UserBankLoad &load)
{
    load.first = std::clamp(first, 0, kMaxBankFiles);
    podoStr stems[kMaxBankFiles];
    const int listed = listBankFiles(setup.folder, ".usr", load.first, stems);

    // Numbers ascend from 120 in sorted order: a file whose number does not is taken under the
    // next number and its whole stem as its name.
    int32_t last = kFirstUserBankNumber - 1;
    int32_t bank = 0;
    for (int i = 0; i < listed; ++i) {
        const podoStr &stem = stems[load.first + i];
        const podoStr path = setup.folder + stem + ".usr";
        int32_t number = bankFileNumber(stem);
        char name[kNameSize];
        if (number < 0 || number >= kBankNumberCount) {
            // Shown as a bank without patches; its file is neither read nor renamed nor rewritten.
            setup.showError("Patches file No. is overflow.", path);
            PatchCategory &category = load.categories[bank];
            category = PatchCategory{};
            category.number = number;
            category.type = 3;
            load.files[bank] = stem;
            load.outside[bank] = true;
            ++bank;
            continue;
        }
        if (number > last) {
            bankFileName(stem, name);
        } else {
            number = last + 1;
            nameFromText(name, stem.getNarrow());
            if (number >= kBankNumberCount) {
                setup.showError("Patches file No. is overflow.", path);
                continue; // no number left for it: the file stays as it is, unloaded
            }
        }
        PatchCategory &category = load.categories[bank];
        category = PatchCategory{};
        category.number = number;
        std::memcpy(category.name, name, sizeof name);
        category.type = 3;
        load.files[bank] = stem;
        load.numbers[bank] = number;
        std::memcpy(load.names[bank], name, sizeof name);
        last = number;
        ++bank;
    }
    load.count = bank;

    // Read every bank; damaged ones are renewed once all are in the table.
    for (int32_t i = 0; i < load.count; ++i) {
        PatchCategory &category = load.categories[i];
        const int32_t k = load.first + i;
        if (load.outside[i]) {
            load.unread[i] = true;
            continue;
        }
        const podoStr path = setup.folder + load.files[i] + ".usr";
        podoFile file;
        if (file.open(path, podoFileFlags::read) != 0) {
            setup.log(4, true,
                      formatText("[%d:%03d] %s : file open error (%s)", k, category.number, category.name,
                                 path.getNarrow()));
            setup.showError("User file open error.", path);
            load.unread[i] = true;
            continue;
        }
        FileBankSource source(file);
        BankReader reader(source);
        const UserBankResult result =
            readUserBankFile(reader, setup, k, path, category, load.combinations, load.singles);
        file.close();
        if (result == UserBankResult::outOfMemory) {
            logTotals(setup, load.combinations, load.singles);
            return false;
        }
        load.renew[i] = result == UserBankResult::damaged;
    }
    return true;
}

void backUpDamagedUserBanks(const UserBankSetup &setup, UserBankLoad &load)
{
    for (int32_t i = 0; i < load.count; ++i) {
        if (!load.renew[i])
            continue;
        const podoStr original = setup.folder + load.files[i] + ".usr";
        if (!setup.backup || !setup.backup(original)) {
            // Never written over: the damaged file is all the user has of this bank.
            setup.log(4, true, formatText("%s : could not be moved to its backup name", original.getNarrow()));
            load.renew[i] = false;
        }
    }
}

bool renewUserBanks(const UserBankSetup &setup, UserBankLoad &load)
{
    // A number is taken by a factory category or by another bank of the load, which is what the
    // user part of the table holds once the load is in.
    auto taken = [&](int32_t number, int32_t except) {
        for (int32_t i = 0; i < load.count; ++i)
            if (i != except && load.categories[i].number == number)
                return true;
        for (int32_t i = 0; patchCategories && i < std::min(load.first, numPatchCategories); ++i)
            if (patchCategories[i].number == number)
                return true;
        return false;
    };
    bool whole = true;
    // In reverse order, as the files are dealt with: a later bank has its number before an
    // earlier one looks for a free one.
    for (int32_t i = load.count - 1; i >= 0; --i) {
        if (!load.renew[i])
            continue;
        PatchCategory &category = load.categories[i];
        const int32_t own = category.number;
        int32_t number = own;
        if (own < 0 || own >= kBankNumberCount || taken(own, i)) {
            number = -1;
            for (int32_t n = kFirstUserBankNumber + i; n < kBankNumberCount && number < 0; ++n)
                if (!taken(n, i))
                    number = n;
        }
        if (number < 0)
            number = kFirstUserBankNumber + i;
        if (!fillEmptyBank(setup, category, number, i + 1, load.first + i)) {
            freePatchCategory(category);
            load.renew[i] = false;
            whole = false;
            continue;
        }
        load.numbers[i] = number;
        std::memcpy(load.names[i], category.name, sizeof category.name);
        load.renewed[i] = encodeUserBank(category, setup.byteOrderMark, setup.emptyPatch);
    }
    return whole;
}

bool installUserBanks(const UserBankSetup &setup, UserBankLoad &load)
{
    if (!patchCategories) {
        patchCategories = new (std::nothrow) PatchCategory[kMaxPatchCategories]();
        numPatchCategories = 0;
        if (!patchCategories) {
            setup.showError("Memory allocation for patch list is failed.", "");
            return false;
        }
    }
    // The user banks of an earlier load leave the number table and go back with the load.
    const int32_t before = std::clamp(numPatchCategories, load.first, kMaxPatchCategories);
    for (int32_t k = load.first; k < before; ++k) {
        const int32_t number = patchCategories[k].number;
        if (number >= 0 && number < kBankNumberCount && patchCategoryIndex[number] == k)
            patchCategoryIndex[number] = kNoIndex;
    }
    firstUserCategory = load.first;
    for (int32_t k = load.first; k < std::max(before, load.first + load.count); ++k) {
        // What stood in the slot goes back with the load, to be freed after the caller's lock.
        const int32_t i = k - load.first;
        std::swap(patchCategories[k], load.categories[i]);
        if (i < load.count && !load.outside[i])
            patchCategoryIndex[patchCategories[k].number] = k;
    }
    numPatchCategories = load.first + load.count;
    return true;
}

bool finishUserBanks(const UserBankSetup &setup, UserBankLoad &load)
{
    // Bring the files in line with the table. In reverse order: a bank's new file name can only
    // be the old name of a later bank, which has moved on by then. Only the load's own record is
    // read here, never the table.
    for (int32_t i = load.count - 1; i >= 0; --i) {
        const podoStr original = setup.folder + load.files[i] + ".usr";
        const podoStr wanted = bankFilePath(setup.folder, load.numbers[i], load.names[i], ".usr");
        if (load.renew[i]) {
            if (clearWay(setup, wanted))
                writeUserBanks(setup, {{wanted, load.renewed[i]}});
            continue;
        }
        if (load.unread[i])
            continue;
        if (wanted == original || !clearWay(setup, wanted))
            continue;
        if (!podo::moveFile(original, wanted))
            setup.log(3, true, formatText("%s : not renamed to %s", original.getNarrow(), wanted.getNarrow()));
    }
    logTotals(setup, load.combinations, load.singles);
    return true;
}

bool loadUserBanks(const UserBankSetup &setup)
{
    auto load = std::make_unique<UserBankLoad>();
    if (!readUserBanks(setup, patchCategories ? firstUserCategory : 0, *load))
        return false;
    backUpDamagedUserBanks(setup, *load);
    const bool renewed = renewUserBanks(setup, *load);
    return installUserBanks(setup, *load) && finishUserBanks(setup, *load) && renewed;
}

bool initUserBank(const UserBankSetup &setup, int32_t index)
{
    if (!patchCategories)
        return false;
    int32_t from = index, to = index;
    if (index < 0) {
        from = numPatchCategories;
        to = std::min(firstUserCategory + kMinUserBanks, kMaxPatchCategories) - 1;
        for (int32_t j = from; j <= to; ++j) {
            freePatchCategory(patchCategories[j]);
            patchCategories[j] = PatchCategory{};
            patchCategories[j].number = -1;
        }
        numPatchCategories = std::max(numPatchCategories, to + 1);
    } else if (!isUserBank(index)) {
        return false;
    }
    for (int32_t j = from; j <= to; ++j) {
        PatchCategory &category = patchCategories[j];
        const int32_t own = category.number;
        int32_t number = own;
        if (own < 0 || own >= kBankNumberCount || numberInUse(own, j))
            number = freeNumber(kFirstUserBankNumber + j - firstUserCategory, j);
        if (number < 0)
            number = kFirstUserBankNumber + j - firstUserCategory;
        if (number < kBankNumberCount)
            patchCategoryIndex[number] = j;
        if (!fillEmptyBank(setup, category, number, j - firstUserCategory + 1, j))
            return false;
    }
    return true;
}

std::vector<UserBankImage> encodeUserBanks(const UserBankSetup &setup, int32_t index)
{
    std::vector<UserBankImage> images;
    if (!patchCategories || (index >= 0 && !isUserBank(index)))
        return images;
    const int32_t from = index >= 0 ? index : firstUserCategory;
    const int32_t to = index >= 0 ? index : numPatchCategories - 1;
    for (int32_t j = from; j <= to; ++j) {
        const PatchCategory &category = patchCategories[j];
        if (!category.patches || category.numPatches <= 0)
            continue;
        images.push_back({bankFilePath(setup.folder, category.number, category.name, ".usr"),
                          encodeUserBank(category, setup.byteOrderMark, setup.emptyPatch)});
    }
    return images;
}

bool writeUserBanks(const UserBankSetup &setup, const std::vector<UserBankImage> &images)
{
    if (setup.folder.isEmpty())
        return false;
    for (const UserBankImage &image : images) {
        const uint32_t error = replaceBankFile(image.path, image.bytes);
        if (error != 0) {
            // The user folder stays: the next save, or another file, may well succeed.
            setup.showError("User file create error.", image.path);
            setup.log(4, true, formatText("file not created : %s [%08X]", image.path.getNarrow(), error));
            return false;
        }
    }
    return true;
}

bool saveUserBanks(const UserBankSetup &setup, int32_t index)
{
    if (index >= 0 && !isUserBank(index))
        return false;
    return writeUserBanks(setup, encodeUserBanks(setup, index));
}

std::vector<uint8_t> encodeUserBank(const PatchCategory &category, uint8_t byteOrderMark,
                                    const EmptyPatchTemplate *emptyPatch)
{
    static const float zeros[kChannelProgramValues] = {};
    const float *emptyValues = emptyPatch ? emptyPatch->values : zeros;
    const float *emptyGlobals = emptyPatch ? emptyPatch->globals : zeros;
    BankWriter out(byteOrderMark);
    out.header(BankKind::user, kUserBankVersion);
    const int32_t count = category.patches ? std::clamp(category.numPatches, 0, kMaxPatchesPerCategory) : 0;
    out.i32(count);
    for (int32_t j = 0; j < count; ++j) {
        const PatchRecord &patch = category.patches[j];
        const bool whole = patch.channels && patch.numChannels >= 1 && patch.numChannels <= kMaxChannelsPerPatch &&
                           patch.globals && patch.numGlobalValues >= 1 && patch.numGlobalValues <= kPatchGlobalValues;
        if (!whole) {
            out.name(kEmptyName);
            out.i16(1);
            out.i16(1);
            out.i32(kChannelRecordHead + 4 * kChannelProgramValues + 4 + 4 * kPatchGlobalValues);
            out.name(kEmptyName);
            out.i32(kChannelProgramValues);
            for (int32_t v = 0; v < kChannelProgramValues; ++v)
                out.f32(emptyValues[v]);
            out.i32(kPatchGlobalValues);
            for (int32_t g = 0; g < kPatchGlobalValues; ++g)
                out.f32(emptyGlobals[g]);
            continue;
        }
        int32_t payload = 4 + 4 * patch.numGlobalValues;
        for (int16_t c = 0; c < patch.numChannels; ++c)
            payload += kChannelRecordHead + 4 * std::clamp(patch.channels[c].numValues, 1, kChannelProgramValues);
        out.bytes(patch.name, kNameSize);
        out.i16(patch.colour);
        out.i16(patch.numChannels);
        out.i32(payload);
        for (int16_t c = 0; c < patch.numChannels; ++c) {
            const ChannelProgram &channel = patch.channels[c];
            const int32_t values = std::clamp(channel.numValues, 1, kChannelProgramValues);
            out.bytes(channel.name, kNameSize);
            out.i32(values);
            for (int32_t v = 0; v < values; ++v)
                out.f32(channel.values[v]);
        }
        out.i32(patch.numGlobalValues);
        for (int32_t g = 0; g < patch.numGlobalValues; ++g)
            out.f32(patch.globals[g]);
    }
    return out.data();
}

} // namespace banks
