// Instances made, opened, played and closed on two threads at once. The first of them loads the
// shared library exactly once, the last one saves the shared files and frees it, and the shared
// assignment tables are only ever touched under their locks; a reload of the library while the
// only instance plays (this binary runs under ThreadSanitizer, which fails it on any unguarded
// access); loads of the user banks and reloads of the library while an instance plays, which it
// sees whole and which never hold it up while they show a box or read and write files.
#include "banks/UserBanks.h"
#include "banks/tests/BankTestLibrary.h"
#include "engine/ParameterIndex.h"
#include "engine/Quorix.h"
#include "engine/tests/threads/Eventually.h"
#include "foundation/podoLog.h"
#include "foundation/podoWnd.h"
#include "tools/tests/TemporaryHome.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <latch>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string home;

class TemporaryHome : public ::testing::Environment
{
public:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "quorix-threads-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        home = pattern;
        qtest::pointFoldersAt(home);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(home, ignored);
    }
};

const auto *registered = ::testing::AddGlobalTestEnvironment(new TemporaryHome);

std::string userFolder() { return home + "/config/Kestrane/Quorix/"; }

intptr_t quietHost(AEffect *, int32_t opcode, int32_t, intptr_t, void *, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

class ThreadQuorix : public Quorix
{
public:
    ThreadQuorix() : Quorix(quietHost) {}
};

// A note on or off on channel 0, as a host hands it over.
VstMidiEvent note(bool on, int32_t key)
{
    VstMidiEvent m{};
    m.type = kVstMidiType;
    m.byteSize = sizeof m;
    m.midiData[0] = char(on ? 0x90 : 0x80);
    m.midiData[1] = char(key);
    m.midiData[2] = char(on ? 100 : 0);
    return m;
}

// Each load of the library ends with one user-bank total line.
std::atomic<int> libraryLoads{0};
void countLoads(const char16_t *piece)
{
    if (std::u16string_view(piece).find(u"Total User ") != std::u16string_view::npos)
        ++libraryLoads;
}

} // namespace

TEST(LifecycleThreads, TwoInstancesAtOnceLoadTheLibraryOnceAndTheLastOneSavesAndFreesIt)
{
    LibraryFolder lib;
    TestLibrary content;
    ASSERT_TRUE(content.write(lib.setup.folder, banks::kLittleEndianMark));
    {
        KestraneVST identity;
        ASSERT_TRUE(identity.writeMachineRegistryString("Path", lib.setup.folder));
    }
    const podo::DebugSink previous = podo::setDebugSink(countLoads);
    const int chorusSend = engine::parameterIndex(1, engine::local::ChorusSend);

    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        for (const char *name : {"Quorix.con", "Quorix.atm", "Quorix.plc"})
            fs::remove(userFolder() + name);
        libraryLoads = 0;
        ThreadQuorix *instances[2] = {};
        std::latch made(2), closing(2);
        auto life = [&](int i) {
            made.arrive_and_wait();
            ThreadQuorix *q = instances[i] = new ThreadQuorix();
            q->dispatcher(effOpen, 0, 0, nullptr, 0.0f);
            // One instance learns a controller while both apply the shared tables.
            if (i == 1)
                q->setAssignment(engine::AssignmentTable::channel, engine::local::ChorusSend - 17,
                                 {1, 0, 0.0f, 1.0f, 0});
            for (int k = 0; k <= 40; ++k) {
                q->applyControllerAssignments(74, k / 40.0f, i, i);
                q->applyControllerAssignments(20, k / 40.0f, 1, 1);
            }
        };
        std::thread a(life, 0), b(life, 1);
        a.join();
        b.join();
        EXPECT_EQ(libraryLoads.load(), 1);
        EXPECT_EQ(numSampleBanks, 2);
        EXPECT_EQ(numPatchCategories, 1 + banks::kMinUserBanks);
        // The learn took whichever source came first, from either instance; both apply it.
        ControllerAssignment learned{};
        ASSERT_TRUE(instances[0]->getAssignment(engine::AssignmentTable::channel, engine::local::ChorusSend - 17,
                                                &learned));
        EXPECT_TRUE(learned.source == 20 || learned.source == 74) << +learned.source;
        instances[0]->applyControllerAssignments(learned.source, 0.5f, 1, 1);
        EXPECT_EQ(instances[0]->getParameterValue(chorusSend), 0.5f);

        auto close = [&](int i) {
            closing.arrive_and_wait();
            delete instances[i];
        };
        std::thread c(close, 0), d(close, 1);
        c.join();
        d.join();
        EXPECT_EQ(patchCategories, nullptr);
        EXPECT_EQ(numSampleBanks, 0);
        for (const char *name : {"Quorix.con", "Quorix.atm", "Quorix.plc"})
            EXPECT_TRUE(fs::exists(userFolder() + name)) << name;
    }
    podo::setDebugSink(previous);
}

namespace {

using namespace std::chrono_literals;

using qtest::eventually;

// Blocks completed by the playing instance's render thread.
std::atomic<int> renderedBlocks{0};
// Boxes and load totals met, and how many of them found the render standing still.
std::atomic<int> loaderPauses{0};
std::atomic<int> renderStalls{0};

// Where a load shows a box or logs its total, the render must go on: no lock it needs is held.
void renderMustGoOn()
{
    ++loaderPauses;
    const int from = renderedBlocks.load();
    if (!eventually([from] { return renderedBlocks.load() >= from + 3; }))
        ++renderStalls;
}

int32_t boxWaitingForTheRender(podoWnd *, const podoStr &, const podoStr &, int32_t)
{
    renderMustGoOn();
    return podo::idOk;
}

void totalWaitingForTheRender(const char16_t *piece)
{
    if (std::u16string_view(piece).find(u"Total ") != std::u16string_view::npos)
        renderMustGoOn();
}

// The only instance, playing notes on channel 0 from the test library on its own thread; after
// each block it hands the shared tables, held as a render holds them, to a check.
class PlayingInstance
{
public:
    template <typename Check>
    explicit PlayingInstance(Check check)
    {
        {
            KestraneVST identity;
            EXPECT_TRUE(identity.writeMachineRegistryString("Path", lib.setup.folder));
        }
        EXPECT_TRUE(content.write(lib.setup.folder, banks::kLittleEndianMark));
        q = std::make_unique<ThreadQuorix>();
        q->dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
        const std::pair<int, float> melody[] = {
            {engine::local::Mode, 0.0f},           {engine::local::On, 1.0f},
            {engine::local::Volume, 0.7f},         {engine::local::VoiceLimit, 16 / 64.0f},
            {engine::local::KeyRangeLow, 0.0f},    {engine::local::KeyRangeHigh, 1.0f},
            {engine::local::VelocityRangeLow, 0.0f}, {engine::local::VelocityRangeHigh, 1.0f},
            {engine::local::SeqOn, 0.0f},          {engine::local::ArpOn, 0.0f},
            {engine::local::OscWave, (2 * 128 + 1) / 16384.0f}, // category 2's first wavetable
        };
        for (const auto &[localId, value] : melody)
            q->setParameterValue(engine::parameterIndex(0, localId), value);
        q->setParameterValue(engine::master::VoiceLimit, 1.0f);
        renderedBlocks = 0;
        audio = std::thread([this, check] {
            std::vector<float> buffers(4 * 64);
            float *outputs[4] = {&buffers[0], &buffers[64], &buffers[128], &buffers[192]};
            struct {
                VstEvents head;
                VstEvent *more[1];
            } list{};
            for (int k = 0; running.load(); ++k) {
                VstMidiEvent event = note(k % 2 == 0, 48 + k % 24);
                list.head.numEvents = 1;
                list.head.events[0] = reinterpret_cast<VstEvent *>(&event);
                q->dispatcher(effProcessEvents, 0, 0, &list.head, 0.0f);
                q->processReplacing(nullptr, outputs, 64);
                {
                    EngineReadBlock shared(engineSharedLock());
                    check();
                }
                ++renderedBlocks;
            }
        });
    }
    ~PlayingInstance()
    {
        running = false;
        audio.join();
    }
    Quorix &instrument() { return *q; }
    std::string libraryFolder() const { return lib.setup.folder.getNarrow(); }

private:
    LibraryFolder lib;
    TestLibrary content;
    std::unique_ptr<ThreadQuorix> q;
    std::atomic<bool> running{true};
    std::thread audio;
};

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

void removeUserBanks()
{
    std::error_code ignored;
    for (const auto &entry : fs::directory_iterator(userFolder(), ignored))
        if (entry.path().extension() == ".usr" || entry.path().extension() == ".bak")
            fs::remove(entry.path(), ignored);
}

// Four banks whose patches all carry the set's letter; the second set also has a damaged bank,
// which its load renews empty ("<empty>" patches) and writes afresh.
void writeUserSet(char letter, bool damaged)
{
    removeUserBanks();
    fs::create_directories(userFolder());
    ChannelProgram channel{};
    channel.numValues = 1;
    banks::copyNameField(channel.name, "c");
    float globals[banks::kPatchGlobalValues] = {};
    PatchRecord patches[2] = {};
    const char name[2] = {letter, 0};
    for (PatchRecord &patch : patches) {
        banks::copyNameField(patch.name, name);
        patch.numChannels = 1;
        patch.channels = &channel;
        patch.numGlobalValues = banks::kPatchGlobalValues;
        patch.globals = globals;
    }
    PatchCategory bank{};
    bank.numPatches = 2;
    bank.patches = patches;
    const std::vector<uint8_t> bytes = banks::encodeUserBank(bank, banks::kLittleEndianMark, nullptr);
    for (int i = 0; i < 4; ++i)
        writeFile(userFolder() + std::to_string(120 + i) + " Set.usr", std::string(bytes.begin(), bytes.end()));
    if (damaged)
        writeFile(userFolder() + "124 Broken.usr", "not a bank");
}

// The user banks' first patches, one letter a bank.
std::string userBankLetters()
{
    std::string letters;
    for (int32_t k = firstUserCategory; patchCategories && k < numPatchCategories; ++k) {
        const PatchCategory &bank = patchCategories[k];
        letters += bank.numPatches > 0 && bank.patches ? bank.patches[0].name[0] : '-';
    }
    return letters;
}

} // namespace

TEST(LifecycleThreads, AReloadOfTheLibraryWaitsForTheRenderOfTheOnlyInstance)
{
    removeUserBanks();
    PlayingInstance playing([] {});
    for (int i = 0; i < 3; ++i)
        playing.instrument().loadSharedBanks();
    // Notes go on for a while after the last reload, so the channel ends up playing.
    const int from = renderedBlocks.load();
    ASSERT_TRUE(eventually([from] { return renderedBlocks.load() >= from + 50; }));
    EXPECT_GT(playing.instrument().getChannelVoiceCount(0), 0) << "the channel plays";
    EngineReadBlock shared(engineSharedLock());
    EXPECT_EQ(numSampleBanks, 2);
    EXPECT_EQ(numPatchCategories, 1 + banks::kMinUserBanks);
}

TEST(LifecycleThreads, UserBanksLoadWhileTheInstancePlaysAndItSeesOneSetWhole)
{
    writeUserSet('A', false);
    std::atomic<int> mixed{0};
    loaderPauses = 0;
    renderStalls = 0;
    {
        PlayingInstance playing([&mixed] {
            const std::string letters = userBankLetters();
            if (letters != "AAAA" && letters != "BBBB<")
                ++mixed;
        });
        const podo::MessageBoxHook previousBox = podo::setMessageBoxHook(boxWaitingForTheRender);
        const podo::DebugSink previousSink = podo::setDebugSink(totalWaitingForTheRender);
        for (int round = 0; round < 12; ++round) {
            const bool second = round % 2 == 0;
            writeUserSet(second ? 'B' : 'A', second);
            EXPECT_TRUE(playing.instrument().loadUserBanks()) << round;
            EXPECT_TRUE(!second || fs::exists(userFolder() + "124 User 5.usr")) << "the damaged bank is written afresh";
        }
        podo::setMessageBoxHook(previousBox);
        podo::setDebugSink(previousSink);
        EngineReadBlock shared(engineSharedLock());
        EXPECT_EQ(userBankLetters(), "AAAA");
    }
    removeUserBanks();
    EXPECT_EQ(mixed.load(), 0) << "a block saw the banks of two loads at once";
    EXPECT_GE(loaderPauses.load(), 12);
    EXPECT_EQ(renderStalls.load(), 0) << "a load held the render up while it showed a box or dealt with files";
}

TEST(LifecycleThreads, TheLibraryReloadsWhileTheOnlyInstancePlaysAndItSeesOneLibraryWhole)
{
    removeUserBanks();
    std::atomic<int> mixed{0};
    loaderPauses = 0;
    renderStalls = 0;
    {
        // Sample banks, wavetable categories and factory categories: the test library's, or one
        // more of each from the damaged files (each stays as an empty entry in its place).
        PlayingInstance playing([&mixed] {
            const std::vector<int32_t> shape = {numSampleBanks, numWavetableCategories, firstUserCategory};
            if (shape != std::vector<int32_t>{2, 2, 1} && shape != std::vector<int32_t>{3, 3, 2})
                ++mixed;
        });
        const podo::MessageBoxHook previousBox = podo::setMessageBoxHook(boxWaitingForTheRender);
        const podo::DebugSink previousSink = podo::setDebugSink(totalWaitingForTheRender);
        const std::string folder = playing.libraryFolder();
        for (int round = 0; round < 6; ++round) {
            for (const char *name : {"50 Broken.smp", "41 Broken.wvt", "51 Broken.pth"}) {
                if (round % 2 == 0)
                    writeFile(folder + name, "not a bank");
                else
                    fs::remove(folder + name);
            }
            playing.instrument().loadSharedBanks();
        }
        podo::setMessageBoxHook(previousBox);
        podo::setDebugSink(previousSink);
        EXPECT_TRUE(eventually([&] { return playing.instrument().getChannelVoiceCount(0) > 0; }))
            << "the channel plays the reloaded samples";
        EngineReadBlock shared(engineSharedLock());
        EXPECT_EQ(numSampleBanks, 2);
        EXPECT_EQ(numPatchCategories, 1 + banks::kMinUserBanks);
    }
    removeUserBanks();
    EXPECT_EQ(mixed.load(), 0) << "a block saw parts of two libraries";
    EXPECT_GE(loaderPauses.load(), 6 * 3);
    EXPECT_EQ(renderStalls.load(), 0) << "a reload held the render up while it showed a box or read files";
}
