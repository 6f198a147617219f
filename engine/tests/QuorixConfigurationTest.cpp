// The configuration file as an instance reads and writes it, backups, and the program's tuning.
#include "engine/tests/EngineTestSupport.h"

#include "engine/FileBackup.h"
#include "engine/Temperaments.h"
#include "foundation/podoFile.h"
#include "foundation/podoWnd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>
#include <set>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace quorix_configuration_test {

using namespace engine;
using namespace enginetest;
namespace fs = std::filesystem;

namespace {

std::string configurationFile() { return userFolder() + "Quorix.con"; }


// Temporary files a replacing write left in the user folder.
int temporaryFiles()
{
    int n = 0;
    for (const auto &entry : fs::directory_iterator(userFolder()))
        n += entry.path().extension() == ".tmp";
    return n;
}

std::vector<std::string> boxes;
int32_t recordBox(podoWnd *, const podoStr &caption, const podoStr &text, int32_t)
{
    boxes.push_back(std::string(caption.getNarrow()) + "|" + text.getNarrow());
    return podo::idOk;
}

struct Configuration : testing::Test {
    void SetUp() override
    {
        std::error_code ignored;
        fs::remove_all(userFolder(), ignored);
        boxes.clear();
        podo::setMessageBoxHook(recordBox);
    }
    void TearDown() override { podo::setMessageBoxHook(nullptr); }
};

} // namespace

TEST_F(Configuration, SavedFileReadsBackInANewProcessInstance)
{
    {
        auto q = std::make_unique<TestQuorix>();
        ConfigurationBlock block;
        q->getConfiguration(&block);
        EXPECT_EQ(+block.velocityCurve, 3); // no file yet: the defaults, silently
        block.velocityCurve = 5;
        block.userTemperaments[2][4] = -30;
        q->setConfiguration(&block);
        const std::vector<uint8_t> file = readBytes(configurationFile());
        ASSERT_EQ(file.size(), 507u);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 37), "ORVANEX -Quorix    -Configuration    ");
        EXPECT_EQ(file[37], 0x1A);
        EXPECT_EQ(file[40], 0x04); // version 0x01040404 in this machine's order
        EXPECT_EQ(file[43], 0x01);
        EXPECT_EQ(file[44], 0xCB); // size 459
        EXPECT_EQ(file[45], 0x01);
        EXPECT_EQ(temporaryFiles(), 0);
        block.velocityCurve = 6; // changed after saving: the last instance saves it on closing
        q->setConfiguration(&block);
    }
    auto q = std::make_unique<TestQuorix>();
    ConfigurationBlock block;
    q->getConfiguration(&block);
    EXPECT_EQ(+block.velocityCurve, 6);
    EXPECT_EQ(+block.userTemperaments[2][4], -30);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Configuration, FileOfTheOtherByteOrderIsRead)
{
    std::vector<uint8_t> file(48 + 459, 0);
    std::memcpy(file.data(), "ORVANEX -Quorix    -Configuration    ", 37);
    file[37] = 0x1A;
    const uint8_t version[4] = {0x01, 0x03, 0x09, 0x01}; // 0x01030901 written big-endian
    std::memcpy(&file[40], version, 4);
    file[47] = 0xCB;
    file[46] = 0x01;
    file[48 + 3] = 2;            // velocity curve 2
    file[48 + 28 + 3] = 10;      // temperament 10
    file[48 + 455] = 16;         // largest oversampling factor
    std::memcpy(&file[48 + 419], "Default", 8);
    writeBytes(configurationFile(), file);

    auto q = std::make_unique<TestQuorix>();
    ConfigurationBlock block;
    q->getConfiguration(&block);
    EXPECT_EQ(+block.velocityCurve, 2);
    EXPECT_EQ(+block.selectedTemperament, 10);
    EXPECT_EQ(+block.maxOversampling, 16);
}

TEST_F(Configuration, DamagedFileIsReportedAndTheDefaultsStay)
{
    struct Case {
        const char *what;
        uint8_t versionByte;
        char magicByte;
        const char *message;
    } cases[] = {
        {"foreign magic", 0x04, 'X', "file format doesn't matched."},
        {"unknown version", 0x77, 'O', "file version doesn't matched."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        boxes.clear();
        std::vector<uint8_t> file(48 + 459, 0x55);
        std::memcpy(file.data(), "ORVANEX -Quorix    -Configuration    ", 37);
        file[0] = static_cast<uint8_t>(c.magicByte);
        file[37] = 0x1A;
        file[38] = 0;
        const uint8_t version[4] = {c.versionByte, 0x04, 0x04, 0x01};
        std::memcpy(&file[40], version, 4);
        writeBytes(configurationFile(), file);
        auto q = std::make_unique<TestQuorix>();
        ConfigurationBlock block, defaults;
        q->getConfiguration(&block);
        resetConfigurationBlock(defaults);
        EXPECT_EQ(std::memcmp(&block, &defaults, sizeof block), 0);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], std::string("Kestrane Quorix|") + c.message + "\n\nQuorix.con");
        // The refused file is kept under its backup name, whole, before a save replaces it.
        q.reset();
        size_t kept = 0;
        for (const auto &entry : std::filesystem::directory_iterator(userFolder())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("Quorix.con.", 0) == 0 && entry.path().extension() == ".bak") {
                EXPECT_EQ(readBytes(entry.path().string()), file);
                std::filesystem::remove(entry.path());
                ++kept;
            }
        }
        EXPECT_EQ(kept, 1u);
    }
}

TEST_F(Configuration, UnwritableFileLeavesNothingBehind)
{
    auto q = std::make_unique<TestQuorix>();
    fs::create_directories(configurationFile()); // a folder where the file should go
    EXPECT_EQ(q->saveConfiguration(), 3);
    EXPECT_EQ(temporaryFiles(), 0);
    EXPECT_TRUE(fs::is_directory(configurationFile()));
    q.reset();
    fs::remove(configurationFile());
}

// A save killed half way leaves its temporary; the next start removes it, but never another living
// writer's, nor a file of someone else's that merely ends in ".tmp".
TEST_F(Configuration, TheFirstStartRemovesTemporariesOfKilledSaves)
{
    { auto first = std::make_unique<TestQuorix>(); }
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string stale = "Quorix.con." + std::to_string(gone) + "-1.tmp";
    const std::string living = "120 User 1.usr." + std::to_string(getpid()) + "-7.tmp";
    for (const std::string &name : {stale, "Quorix.plc." + std::to_string(gone) + "-12.tmp", living,
                                    std::string("notes.tmp"), std::string("Quorix.con.x-1.tmp")})
        writeBytes(userFolder() + name, {1, 2, 3});
    auto q = std::make_unique<TestQuorix>();
    std::set<std::string> left;
    for (const auto &entry : fs::directory_iterator(userFolder()))
        if (entry.path().extension() == ".tmp")
            left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{living, "notes.tmp", "Quorix.con.x-1.tmp"}));
}

TEST(FileBackup, NamesCarryTheLocalDateAndTime)
{
    podoTime when;
    when.year = 2024;
    when.month = 3;
    when.day = 7;
    when.hour = 14;
    when.minute = 5;
    when.second = 9;
    EXPECT_STREQ(backupFileName("/u/User01.usr", when, 1).getNarrow(), "/u/User01.usr.2024-03-07 14-05-09.bak");
    EXPECT_STREQ(backupFileName("/u/User01.usr", when, 2).getNarrow(), "/u/User01.usr.2024-03-07 14-05-09 2.bak");
}

// Backups within one second each keep their own file; replacing never loses the old content.
TEST(FileBackup, EveryBackupSurvivesAndReplacementIsWholeOrNothing)
{
    const std::string folder = testHome() + "/backups";
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder);
    const std::string path = folder + "/User01.usr";
    const podoStr target(path.c_str());

    auto q = std::make_unique<TestQuorix>();
    for (const char *content : {"first", "second", "third"}) {
        writeBytes(path, std::vector<uint8_t>(content, content + std::strlen(content)));
        podoFile file;
        ASSERT_EQ(file.open(target, podoFileFlags::read), 0u);
        EXPECT_TRUE(q->backupFile(file));
        EXPECT_FALSE(file.isOpen());
    }
    std::vector<std::string> kept;
    for (const auto &entry : fs::directory_iterator(folder)) {
        const std::vector<uint8_t> bytes = readBytes(entry.path().string());
        kept.emplace_back(bytes.begin(), bytes.end());
    }
    std::sort(kept.begin(), kept.end());
    // The three may straddle a second; whatever their names, all three contents are kept.
    EXPECT_EQ(kept, (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(moveToBackup(target)); // nothing left to back up

    writeBytes(path, {'o', 'l', 'd'});
    EXPECT_EQ(writeFileReplacing(target, "new", 3, true), 0u);
    EXPECT_EQ(readBytes(path), (std::vector<uint8_t>{'n', 'e', 'w'}));
    int backupsWithOld = 0;
    for (const auto &entry : fs::directory_iterator(folder))
        if (readBytes(entry.path().string()) == std::vector<uint8_t>{'o', 'l', 'd'})
            ++backupsWithOld;
    EXPECT_EQ(backupsWithOld, 1);
    fs::remove_all(folder, ignored);
}

TEST(Tunings, TheProgramsTuningFollowsTemperamentsAndStaysInTheCentTable)
{
    auto q = std::make_unique<TestQuorix>();
    q->selectTemperament(16);
    EXPECT_EQ(+q->programBlock.tuning.temperament, 0);
    q->selectTemperament(3);
    EXPECT_EQ(q->getTuningOffset(8), -29);
    ASSERT_TRUE(q->setTuningOffset(8, 12));
    q->selectTemperament(-1); // reloads Meantone over the edit
    EXPECT_EQ(q->getTuningOffset(8), -29);

    q->selectTemperament(9);
    ASSERT_TRUE(q->setTuningOffset(4, 250));
    EXPECT_EQ(q->getTuningOffset(4), 99);
    ConfigurationBlock block;
    q->getConfiguration(&block);
    EXPECT_EQ(+block.userTemperaments[1][4], 99);

    EXPECT_FALSE(q->setTuningOffset(12, 5));
    EXPECT_FALSE(q->setTuningOffset(-1, 5));
    EXPECT_EQ(q->getTuningOffset(12), 0);
    EXPECT_EQ(q->getTuningOffset(-7), 0);

    TuningBlock copy;
    EXPECT_EQ(q->getTuningBlock(&copy), &q->programBlock.tuning);
    EXPECT_EQ(+copy.temperament, 9);

    // A chunk carrying offsets beyond the table is limited when it comes in.
    void *data = nullptr;
    const int32_t size = static_cast<int32_t>(q->dispatcher(effGetChunk, 0, 0, &data, 0.0f));
    std::vector<uint8_t> bytes(static_cast<uint8_t *>(data), static_cast<uint8_t *>(data) + size);
    reinterpret_cast<ProgramBlock *>(bytes.data())->tuning.offsets[0] = -500;
    ASSERT_EQ(q->dispatcher(effSetChunk, 0, size, bytes.data(), 0.0f), 1);
    EXPECT_EQ(q->getTuningOffset(0), -99);

    // The configuration's temperament goes into a whole block only.
    block.selectedTemperament = 6;
    q->setConfiguration(&block);
    auto other = std::make_unique<ProgramBlock>();
    std::memset(other.get(), 0, sizeof(ProgramBlock));
    q->setProgramTemperament(other.get(), kProgramBlockSize - 1);
    EXPECT_EQ(+other->tuning.temperament, 0);
    q->setProgramTemperament(other.get(), kProgramBlockSize);
    EXPECT_EQ(+other->tuning.temperament, 6);
    EXPECT_EQ(+other->tuning.offsets[1], 50);
}

} // namespace quorix_configuration_test
