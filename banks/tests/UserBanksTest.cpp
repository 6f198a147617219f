// User banks: loading after the factory categories, numbering and the files following it,
// completion to four banks, renewal of damaged banks, saving, and a save cut short by a kill.
#include "banks/UserBanks.h"
#include "banks/tests/BankTestLibrary.h"
#include "foundation/podoShell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string nameOf(const char (&field)[banks::kNameSize])
{
    return std::string(field, strnlen(field, banks::kNameSize));
}

// A bank of `count` single-channel patches named prefix0, prefix1 ...; patch j's values are
// j + v / 10000, every channel with `values` values and every patch with `globals` globals.
PatchCategory makeBank(const char *prefix, int32_t count, int32_t values = banks::kChannelProgramValues,
                       int32_t globals = banks::kPatchGlobalValues)
{
    PatchCategory bank{};
    bank.type = 3;
    bank.patches = new PatchRecord[count]();
    bank.numPatches = bank.patchCapacity = count;
    for (int32_t j = 0; j < count; ++j) {
        PatchRecord &patch = bank.patches[j];
        banks::copyNameField(patch.name, (std::string(prefix) + std::to_string(j)).c_str());
        patch.colour = 2;
        patch.numChannels = 1;
        patch.channels = new ChannelProgram[1]();
        patch.channels[0].numValues = values;
        for (int32_t v = 0; v < values; ++v)
            patch.channels[0].values[v] = static_cast<float>(j) + static_cast<float>(v) / 10000.0f;
        patch.numGlobalValues = globals;
        patch.globals = new float[globals]();
        for (int32_t g = 0; g < globals; ++g)
            patch.globals[g] = static_cast<float>(g) / 10.0f;
    }
    return bank;
}

class UserBanksTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        freeLibrary();
        for (int32_t v = 0; v < banks::kChannelProgramValues; ++v)
            emptyPatch.values[v] = 0.5f;
        for (int32_t g = 0; g < 8; ++g)
            emptyPatch.globals[g] = 0.25f;
        setup.folder = lib.setup.folder;
        setup.report = &lib.report;
        setup.emptyPatch = &emptyPatch;
        setup.backup = [this](const podoStr &path) {
            backups.push_back(path.getNarrow());
            return podo::moveFile(path, path + ".bak");
        };
    }
    void TearDown() override { freeLibrary(); }

    void writeBank(const std::string &stem, PatchCategory bank, uint8_t mark = banks::kLittleEndianMark)
    {
        lib.write(stem + ".usr", banks::encodeUserBank(bank, mark, nullptr));
        banks::freePatchCategory(bank);
    }
    // What the first instance does: factory categories, user banks, completion to four.
    void loadLibrary()
    {
        freeLibrary();
        ASSERT_TRUE(banks::loadPatches(lib.setup));
        ASSERT_TRUE(banks::loadUserBanks(setup));
        if (numPatchCategories - firstUserCategory < banks::kMinUserBanks && banks::initUserBank(setup, -1)) {
            EXPECT_TRUE(banks::saveUserBanks(setup, -1));
        }
    }
    std::set<std::string> files() const
    {
        std::set<std::string> names;
        for (const auto &entry : fs::directory_iterator(lib.folder.root))
            names.insert(entry.path().filename().string());
        return names;
    }
    struct Bank {
        int32_t number;
        std::string name;
        std::string firstPatch;
        bool operator==(const Bank &) const = default;
    };
    std::vector<Bank> userBanks() const
    {
        std::vector<Bank> out;
        for (int32_t k = firstUserCategory; k < numPatchCategories; ++k) {
            const PatchCategory &c = patchCategories[k];
            out.push_back({c.number, nameOf(c.name), c.numPatches > 0 ? nameOf(c.patches[0].name) : ""});
            EXPECT_EQ(patchCategoryIndex[c.number], k);
        }
        return out;
    }

    LibraryFolder lib;
    banks::EmptyPatchTemplate emptyPatch{};
    banks::UserBankSetup setup;
    std::vector<std::string> backups;
};

} // namespace

TEST_F(UserBanksTest, WithoutFilesFourEmptyBanksAreMadeAndWritten)
{
    loadLibrary();
    EXPECT_EQ(userBanks(), (std::vector<Bank>{{120, "User 1", "<empty>"},
                                               {121, "User 2", "<empty>"},
                                               {122, "User 3", "<empty>"},
                                               {123, "User 4", "<empty>"}}));
    EXPECT_EQ(files(), (std::set<std::string>{"120 User 1.usr", "121 User 2.usr", "122 User 3.usr", "123 User 4.usr"}));
    const PatchCategory &bank = patchCategories[firstUserCategory];
    ASSERT_EQ(bank.numPatches, 128);
    const PatchRecord &patch = bank.patches[127];
    EXPECT_EQ(+patch.colour, 1);
    ASSERT_EQ(+patch.numChannels, 1);
    EXPECT_EQ(nameOf(patch.channels[0].name), "<empty>");
    EXPECT_EQ(patch.channels[0].numValues, 1789);
    EXPECT_EQ(patch.channels[0].values[1788], 0.5f) << "the default program's channel";
    ASSERT_EQ(patch.numGlobalValues, 9);
    EXPECT_EQ(patch.globals[7], 0.25f);
    EXPECT_EQ(patch.globals[8], 0.0f) << "no tempo";

    loadLibrary(); // what was written reads back as it was
    EXPECT_EQ(userBanks().size(), 4u);
    EXPECT_TRUE(lib.report.boxes.empty()) << lib.report.boxTexts();
    EXPECT_EQ(patchCategories[firstUserCategory + 3].patches[5].channels[0].values[0], 0.5f);
}

TEST_F(UserBanksTest, NumbersAscendAndTheFilesFollowSoTheNextStartFindsTheSameBanks)
{
    struct Case {
        const char *what;
        std::vector<std::string> stems;
        std::vector<Bank> banks;
        std::set<std::string> files;
        size_t boxes;
    };
    const Case cases[] = {
        {"two banks above the defaults",
         {"130 A", "131 B"},
         {{130, "A", "p0"}, {131, "B", "p1"}, {122, "User 3", "<empty>"}, {123, "User 4", "<empty>"}},
         {"130 A.usr", "131 B.usr", "122 User 3.usr", "123 User 4.usr"},
         0},
        {"numbers that do not ascend",
         {"100 Low", "005 Mine", "120 x", "121 y"},
         {{120, "005 Mine", "p1"}, {121, "100 Low", "p0"}, {122, "120 x", "p2"}, {123, "121 y", "p3"}},
         {"120 005 Mine.usr", "121 100 Low.usr", "122 120 x.usr", "123 121 y.usr"},
         0},
        {"a new name that is a later bank's file",
         {"100 A", "120 100 A"},
         {{120, "100 A", "p0"}, {121, "120 100 A", "p1"}, {122, "User 3", "<empty>"}, {123, "User 4", "<empty>"}},
         {"120 100 A.usr", "121 120 100 A.usr", "122 User 3.usr", "123 User 4.usr"},
         0},
        {"a file name the writer would not make",
         {"150Tight", "160 " + std::string(30, 'n')},
         {{150, "ight", "p0"}, {160, std::string(23, 'n'), "p1"}, {122, "User 3", "<empty>"},
          {123, "User 4", "<empty>"}},
         {"150 ight.usr", "160 " + std::string(23, 'n') + ".usr", "122 User 3.usr", "123 User 4.usr"},
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto &entry : fs::directory_iterator(lib.folder.root))
            fs::remove(entry.path());
        for (size_t i = 0; i < c.stems.size(); ++i)
            writeBank(c.stems[i], makeBank(("p" + std::to_string(i) + "-").c_str(), 3));
        lib.report.clear();
        loadLibrary();
        std::vector<Bank> loaded = userBanks();
        for (Bank &b : loaded) // patch j of the bank written from stem i is named "pi-j"
            b.firstPatch = b.firstPatch.substr(0, b.firstPatch.find('-'));
        EXPECT_EQ(loaded, c.banks);
        EXPECT_EQ(files(), c.files);
        EXPECT_EQ(lib.report.boxes.size(), c.boxes) << lib.report.boxTexts();

        // The next start: the same banks under the same numbers, and no new files.
        std::vector<Bank> before = userBanks();
        lib.report.clear();
        loadLibrary();
        std::vector<Bank> after = userBanks();
        std::sort(before.begin(), before.end(), [](auto &a, auto &b) { return a.number < b.number; });
        EXPECT_EQ(after, before);
        EXPECT_EQ(files(), c.files);
        EXPECT_TRUE(lib.report.boxes.empty()) << lib.report.boxTexts();
    }
}

// A number the table cannot hold: its box, a bank without patches in its place, the next file read as
// if it were not there, and the file itself left exactly as it is.
TEST_F(UserBanksTest, NumberOutsideTheTableGivesAnEmptyBankAndLeavesTheFileAlone)
{
    writeBank("-12 Neg", makeBank("n-", 3));
    const std::string negative = lib.folder.read("-12 Neg.usr");
    writeBank("130 A", makeBank("a-", 3));
    loadLibrary();
    ASSERT_EQ(lib.report.boxes.size(), 1u) << lib.report.boxTexts();
    EXPECT_EQ(lib.report.boxes[0].message, "Patches file No. is overflow.");
    EXPECT_EQ(lib.report.boxes[0].detail, lib.folder.path("-12 Neg.usr"));

    const PatchCategory &outside = patchCategories[firstUserCategory];
    EXPECT_EQ(outside.number, -12);
    EXPECT_EQ(outside.numPatches, 0);
    EXPECT_EQ(outside.name[0], 0);
    const PatchCategory &next = patchCategories[firstUserCategory + 1];
    EXPECT_EQ(next.number, 130) << "the next file keeps its own number";
    EXPECT_EQ(nameOf(next.name), "A");
    EXPECT_EQ(patchCategoryIndex[130], firstUserCategory + 1);
    EXPECT_EQ(lib.folder.read("-12 Neg.usr"), negative);
    EXPECT_EQ(files(), (std::set<std::string>{"-12 Neg.usr", "130 A.usr", "122 User 3.usr", "123 User 4.usr"}));
}

TEST_F(UserBanksTest, DamagedBankIsMovedAsideAndRenewedWithoutTouchingAnotherBank)
{
    // A bank field by field, for the variants the writer never makes.
    auto bankBytes = [](int32_t numPatches, int16_t numChannels, int32_t numValues, int32_t numGlobals) {
        banks::BankWriter out(banks::kLittleEndianMark);
        out.header(banks::BankKind::user, 1);
        out.i32(numPatches);
        for (int32_t j = 0; j < std::clamp(numPatches, 0, 2); ++j) {
            out.name("patch");
            out.i16(1);
            out.i16(numChannels);
            out.i32(0);
            for (int16_t c = 0; c < std::max<int16_t>(numChannels, 0); ++c) {
                out.name("chan");
                out.i32(numValues);
                for (int32_t v = 0; v < numValues; ++v)
                    out.f32(0.5f);
            }
            out.i32(numGlobals);
            for (int32_t g = 0; g < numGlobals; ++g)
                out.f32(0.5f);
        }
        return out.data();
    };
    const std::vector<uint8_t> good = bankBytes(2, 1, 1789, 9);
    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        const char *box; // the message's first line
    };
    std::vector<Case> cases = {
        {"no patches", bankBytes(0, 1, 10, 9), "Invalid number of patches in a category."},
        {"129 patches", bankBytes(129, 1, 10, 9), "Invalid number of patches in a category."},
        {"no channels", bankBytes(2, 0, 10, 9), "Invalid number of channels in a patch."},
        {"17 channels", bankBytes(2, 17, 1, 1), "Invalid number of channels in a patch."},
        {"1790 values", bankBytes(2, 1, 1790, 9), "Invalid number of values in a patch."},
        {"10 globals", bankBytes(2, 1, 10, 10), "Invalid number of global values in a patch."},
    };
    std::vector<uint8_t> foreign = good, newer = good;
    foreign[10] = 'x';
    newer[40] = 2;
    cases.push_back({"another kind of file", foreign, "User file ID is not correct."});
    cases.push_back({"version 2", newer, "User file version is not supported."});
    for (size_t cut : {size_t(20), size_t(42), size_t(46), size_t(80), size_t(3000), good.size() - 1})
        cases.push_back({"cut short", std::vector<uint8_t>(good.begin(), good.begin() + cut), "User file is damaged."});

    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.what << ", " << c.file.size() << " bytes");
        for (const auto &entry : fs::directory_iterator(lib.folder.root))
            fs::remove(entry.path());
        backups.clear();
        writeBank("121 User 2", makeBank("keep", 2));
        lib.write("130 Bad.usr", c.file);
        lib.write("140 Fine.usr", good);
        lib.report.clear();
        loadLibrary();

        ASSERT_EQ(lib.report.boxes.size(), 1u) << lib.report.boxTexts();
        EXPECT_EQ(lib.report.boxes[0].message,
                  std::string(c.box) + "\nBackup and initialization will be executed.");
        EXPECT_EQ(lib.report.boxes[0].detail, lib.folder.path("130 Bad.usr"));
        EXPECT_EQ(backups, (std::vector<std::string>{lib.folder.path("130 Bad.usr")}));
        EXPECT_EQ(lib.folder.read("130 Bad.usr.bak"), std::string(c.file.begin(), c.file.end()));
        // Renewed under its own number, so it lands on no other bank's file; "121 User 2" keeps its patches.
        EXPECT_EQ(userBanks(), (std::vector<Bank>{{121, "User 2", "keep0"},
                                                   {130, "User 2", "<empty>"},
                                                   {140, "Fine", "patch"},
                                                   {123, "User 4", "<empty>"}}));
        EXPECT_EQ(files(), (std::set<std::string>{"121 User 2.usr", "130 Bad.usr.bak", "130 User 2.usr",
                                                  "140 Fine.usr", "123 User 4.usr"}));
        EXPECT_EQ(patchCategories[firstUserCategory + 1].numPatches, 128);
        EXPECT_EQ(patchCategories[firstUserCategory + 2].patches[1].channels[0].numValues, 1789);
        EXPECT_EQ(patchCategories[firstUserCategory + 2].patches[1].numGlobalValues, 9);
        loadLibrary();
        EXPECT_EQ(patchCategories[firstUserCategory].patches[1].channels[0].values[3], 1.0003f);
    }
}

TEST_F(UserBanksTest, OtherByteOrderAndColourCodesOutsideTheBrowsersRange)
{
    PatchCategory bank = makeBank("c", 4);
    const int16_t stored[] = {-2, 10, 4, -9};
    for (int j = 0; j < 4; ++j)
        bank.patches[j].colour = stored[j];
    writeBank("120 Swapped", bank, banks::kBigEndianMark);
    loadLibrary();
    EXPECT_TRUE(lib.report.logged("[000 Swapped] User endian doesn't matched."));
    const PatchCategory &loaded = patchCategories[firstUserCategory];
    ASSERT_EQ(loaded.numPatches, 4);
    const int16_t expected[] = {7, 1, 4, 0};
    for (int j = 0; j < 4; ++j)
        EXPECT_EQ(+loaded.patches[j].colour, expected[j]) << j;
    EXPECT_EQ(loaded.patches[3].channels[0].values[1000], 3.0f + 1000 / 10000.0f);
    EXPECT_EQ(loaded.patches[3].globals[2], 0.2f);
}

TEST_F(UserBanksTest, StoringIntoABankReadFromAFileGrowsItAndSavesEveryPatch)
{
    writeBank("120 Small", makeBank("s", 3));
    loadLibrary();
    PatchCategory &bank = patchCategories[firstUserCategory];
    ASSERT_EQ(bank.patchCapacity, 3);
    bool appended = false;
    PatchRecord *patch = banks::patchForStore(bank, 3, &appended);
    ASSERT_NE(patch, nullptr);
    EXPECT_TRUE(appended);
    EXPECT_GE(bank.patchCapacity, 4);
    banks::copyNameField(patch->name, "stored");
    patch->numChannels = 1;
    patch->channels = new ChannelProgram[1]();
    patch->channels[0].numValues = 727;
    patch->numGlobalValues = 9;
    patch->globals = new float[9]();
    ++bank.numPatches;
    // A record left without channels (a store that ran out of memory) is written as an empty patch.
    banks::clearPatch(bank.patches[1]);
    ASSERT_TRUE(banks::saveUserBanks(setup, firstUserCategory));

    loadLibrary();
    EXPECT_TRUE(lib.report.boxes.empty()) << lib.report.boxTexts();
    const PatchCategory &reloaded = patchCategories[firstUserCategory];
    ASSERT_EQ(reloaded.numPatches, 4);
    EXPECT_EQ(nameOf(reloaded.patches[3].name), "stored");
    EXPECT_EQ(nameOf(reloaded.patches[1].name), "<empty>");
    EXPECT_EQ(reloaded.patches[1].channels[0].values[0], 0.5f);
}

TEST_F(UserBanksTest, FactoryCategoriesLeaveRoomForTheUserBanks)
{
    PatchCategory empty{};
    for (int i = 0; i < banks::kMaxPatchCategories; ++i) {
        empty.number = i;
        ASSERT_TRUE(banks::writePatchFile(lib.setup.folder, empty, banks::kLittleEndianMark));
    }
    LibraryFolder users;
    setup.folder = users.setup.folder;
    loadLibrary();
    EXPECT_EQ(firstUserCategory, banks::kMaxFactoryCategories);
    EXPECT_EQ(numPatchCategories, banks::kMaxPatchCategories);
    EXPECT_EQ(patchCategories[numPatchCategories - 1].numPatches, 128);
    // The factory categories carry 0..123: the new banks take the next free numbers.
    EXPECT_EQ(userBanks(), (std::vector<Bank>{{124, "User 1", "<empty>"},
                                               {125, "User 2", "<empty>"},
                                               {126, "User 3", "<empty>"},
                                               {127, "User 4", "<empty>"}}));
    EXPECT_EQ(patchCategoryIndex[120], 120);
}

TEST_F(UserBanksTest, SaveThatCannotWriteIsReported)
{
    loadLibrary();
    fs::remove(lib.folder.path("121 User 2.usr"));
    fs::create_directory(lib.folder.path("121 User 2.usr")); // nothing can be renamed over it
    lib.report.clear();
    EXPECT_FALSE(banks::saveUserBanks(setup, -1));
    ASSERT_EQ(lib.report.boxes.size(), 1u);
    EXPECT_EQ(lib.report.boxes[0].message, "User file create error.");
    for (const std::string &name : files())
        EXPECT_NE(fs::path(name).extension(), ".tmp") << name;
}

TEST_F(UserBanksTest, AKillDuringASaveLeavesTheBankWhole)
{
    // Two versions of a large bank; a child saves them in turn until it is killed.
    PatchCategory a = makeBank("a", 128), b = makeBank("b", 128);
    banks::copyNameField(a.name, "Big");
    banks::copyNameField(b.name, "Big");
    a.number = b.number = 120;
    const std::vector<uint8_t> bytesA = banks::encodeUserBank(a, banks::kLittleEndianMark, nullptr);
    const std::vector<uint8_t> bytesB = banks::encodeUserBank(b, banks::kLittleEndianMark, nullptr);
    banks::freePatchCategory(a);
    banks::freePatchCategory(b);
    const podoStr path = lib.setup.folder + "120 Big.usr";
    ASSERT_TRUE(banks::writeBankFile(path, bytesA));

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                banks::writeBankFile(path, i % 2 ? bytesA : bytesB);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(30 + 20 * round));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        const std::string bytes = lib.folder.read("120 Big.usr");
        EXPECT_TRUE(bytes == std::string(bytesA.begin(), bytesA.end()) ||
                    bytes == std::string(bytesB.begin(), bytesB.end()))
            << bytes.size() << " bytes of " << bytesA.size();
    }
}

TEST_F(UserBanksTest, TwoWritersOfOneFileAtOnceEachReplaceItWhole)
{
    const std::vector<uint8_t> one(100000, 1), two(120000, 2);
    const podoStr path = lib.setup.folder + "shared.usr";
    std::atomic<int> failed{0};
    auto writer = [&](const std::vector<uint8_t> &bytes) {
        for (int i = 0; i < 20; ++i)
            failed += banks::writeBankFile(path, bytes) ? 0 : 1;
    };
    std::thread a(writer, std::cref(one)), b(writer, std::cref(two));
    a.join();
    b.join();
    EXPECT_EQ(failed.load(), 0);
    const std::string bytes = lib.folder.read("shared.usr");
    EXPECT_TRUE(bytes == std::string(one.begin(), one.end()) || bytes == std::string(two.begin(), two.end()));
    EXPECT_EQ(files(), std::set<std::string>{"shared.usr"});
}
