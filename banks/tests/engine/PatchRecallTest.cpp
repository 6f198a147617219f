// The instance's side of the sound library: the load at construction and the free by the last
// instance, patch store and recall into the program, and the locked accessors.
#include "banks/tests/BankTestLibrary.h"
#include "engine/DefaultProgram.h"
#include "engine/ParameterIndex.h"
#include "engine/tests/EngineTestSupport.h"
#include "engine/tests/FailingAllocation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <thread>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace patch_recall_test {

using namespace engine;
using namespace enginetest;

namespace {

int ch(int channel, int localId) { return parameterIndex(channel, localId); }

// Writes the test library into a folder and makes it the application folder of every instance
// made afterwards.
class LibraryInstance : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(content.write(lib.setup.folder, banks::kBigEndianMark));
        setApplicationFolder(lib.setup.folder);
        q = std::make_unique<TestQuorix>();
    }
    void TearDown() override
    {
        q.reset();
        setApplicationFolder("");
    }

    static void setApplicationFolder(const podoStr &folder)
    {
        KestraneVST identity;
        ASSERT_TRUE(identity.writeMachineRegistryString("Path", folder));
    }

    std::vector<float> channelValues(int channel, int count = 727)
    {
        std::vector<float> values;
        for (int v = 0; v < count; ++v) {
            const float value = q->programBlock.values[ch(channel, kFirstLocalId + v)]; // unaligned: copy first
            values.push_back(value);
        }
        return values;
    }
    // Distinct values on a melody channel, chosen to survive the apply unchanged.
    void shapeChannel(int channel, float base)
    {
        q->setParameterValue(ch(channel, local::On), 1.0f);
        q->setParameterValue(ch(channel, local::Volume), base);
        q->setParameterValue(ch(channel, local::Pan), 1.0f - base);
        q->setParameterValue(ch(channel, local::ChorusSend), base / 2);
        q->setParameterValue(ch(channel, local::OscMix), base / 3);
        q->setParameterValue(ch(channel, local::OscLfoAmount), base / 4);
        // The running bend range a recall may keep must be the one the program holds.
        q->setParameterValue(ch(channel, local::PitchBendRange), 2.0f / 24.0f);
    }
    int32_t categoryIndexOf(int32_t number) { return patchCategoryIndex[number]; }

    LibraryFolder lib;
    TestLibrary content;
    std::unique_ptr<TestQuorix> q;
};

TEST_F(LibraryInstance, TheFirstInstanceLoadsTheLibraryAndTheLastFreesIt)
{
    ASSERT_EQ(numSampleBanks, 2);
    ASSERT_EQ(numWavetableCategories, 2);
    ASSERT_EQ(firstUserCategory, 1) << "the factory category, then the user banks";
    ASSERT_EQ(numPatchCategories, 1 + banks::kMinUserBanks);
    EXPECT_NE(banks::findSample(*q->findZone(WaveLocation{2, 1}, 60)).data, nullptr);

    // A second instance shares what is loaded: it neither reloads nor frees it.
    std::filesystem::remove_all(lib.folder.root / "003 Tones.smp");
    auto second = std::make_unique<TestQuorix>();
    EXPECT_EQ(numSampleBanks, 2);
    second.reset();
    EXPECT_EQ(numSampleBanks, 2);
    EXPECT_NE(sampleBanks[0].samples[0].data, nullptr);

    q.reset();
    EXPECT_EQ(numSampleBanks, 0);
    EXPECT_EQ(numWavetableCategories, 0);
    EXPECT_EQ(numPatchCategories, 0);
    EXPECT_EQ(sampleBanks, nullptr);
}

TEST_F(LibraryInstance, WaveParametersFindTheLoadedWavetables)
{
    const float sines = (2 * 128 + 1) / 16384.0f;
    q->setParameterValue(ch(4, local::OscWave), sines);
    EXPECT_EQ(q->getParameterValue(ch(4, local::OscWave)), sines);
    WaveLocation location{};
    q->getOscillatorWave(4, 0, &location);
    EXPECT_EQ(location.category, 2);
    EXPECT_EQ(location.index, 1);
    // Position 5 of category 2 does not exist: the program forgets the number.
    q->setParameterValue(ch(4, local::OscWave + 1), (2 * 128 + 6) / 16384.0f);
    EXPECT_EQ(q->getParameterValue(ch(4, local::OscWave + 1)), 0.0f);
}

TEST_F(LibraryInstance, StoreThenRecallGivesTheSameChannelValues)
{
    const int32_t leads = categoryIndexOf(50);
    shapeChannel(3, 0.4f);
    q->setCurrentChannel(3);
    const std::vector<float> single = channelValues(3);
    ASSERT_EQ(q->storePatch(leads, -1, false), 3);
    ASSERT_EQ(patchCategories[leads].numPatches, 3);
    const PatchRecord &stored = patchCategories[leads].patches[2];
    EXPECT_EQ(stored.numChannels, 1);
    EXPECT_EQ(stored.channels[0].numValues, 727);
    EXPECT_EQ(stored.colour, 1);
    const int16_t source = q->programBlock.channels[3].sourcePatch; // packed: copy first
    EXPECT_EQ(source, 2);

    shapeChannel(2, 0.1f);
    shapeChannel(4, 0.9f);
    q->setChannelName(2, "Two");
    const std::vector<float> two = channelValues(2), three = channelValues(3), four = channelValues(4);
    ASSERT_EQ(q->storePatch(leads, 0, true), 2) << "channels 2..4 are the ones in use";
    EXPECT_EQ(patchCategories[leads].numPatches, 3) << "stored in place";

    // Overwrite everything, then recall.
    shapeChannel(3, 0.75f);
    q->recallPatch(3, leads, 2);
    EXPECT_EQ(channelValues(3), single);
    int32_t category = -1, patch = -1;
    ASSERT_TRUE(q->getChannelPatchSource(3, &category, &patch));
    EXPECT_EQ(category, leads);
    EXPECT_EQ(patch, 2);

    // The combination onto channels 8..10: the values of 2..4, but the first keeps its own link.
    q->recallPatch(8, leads, 0);
    EXPECT_EQ(channelValues(8), two);
    EXPECT_EQ(channelValues(9), three);
    EXPECT_EQ(channelValues(10), four);
    EXPECT_EQ(q->getChannelName(8), podoStr("Two"));
    EXPECT_EQ(q->state.target.channels[9].volume, 0.4f) << "the running state follows";
}

TEST_F(LibraryInstance, RecallOfNothingLeavesTheProgramAsItIs)
{
    const int32_t leads = categoryIndexOf(50);
    shapeChannel(0, 0.3f);
    std::vector<uint8_t> before(sizeof(ProgramBlock));
    std::memcpy(before.data(), &q->programBlock, before.size());
    struct Case {
        int32_t category, patch;
    };
    for (const Case &c : {Case{-1, 0}, Case{numPatchCategories, 0}, Case{127, 0}, Case{leads, -1}}) {
        SCOPED_TRACE(testing::Message() << c.category << "/" << c.patch);
        EXPECT_EQ(q->recallPatch(0, c.category, c.patch), 0);
        EXPECT_EQ(0, std::memcmp(before.data(), &q->programBlock, before.size()));
    }
    patchCategories[leads].numPatches = 0; // a category with no patches
    q->recallPatch(0, leads, 0);
    EXPECT_EQ(0, std::memcmp(before.data(), &q->programBlock, before.size()));
    patchCategories[leads].numPatches = 2;

    q->recallPatch(0, leads, 200);
    EXPECT_STREQ(q->programBlock.name, "Trio") << "past the end recalls the last patch";
}

TEST_F(LibraryInstance, RecallTakesGlobalsAndTempoOnlyAsFarAsThePatchHasThem)
{
    const int32_t leads = categoryIndexOf(50);
    q->setTempo(120.0f);
    q->setUseHostTempo(true);
    q->recallPatch(0, leads, 0); // tempo global 0
    EXPECT_EQ(q->getTempo(), 120.0f);
    EXPECT_TRUE(q->getUseHostTempo());
    EXPECT_EQ(q->getParameterValue(master::ReverbFirst + 3), 0.8f);

    q->recallPatch(0, leads, 1); // 98 BPM
    EXPECT_EQ(q->getTempo(), 98.0f);
    EXPECT_FALSE(q->getUseHostTempo());
    EXPECT_EQ(q->getParameterValue(master::ChorusFirst), 0.9f);

    PatchRecord &trio = patchCategories[leads].patches[1];
    struct Case {
        const char *what;
        int32_t globals;
        float tempo;
        float expectedTempo;
        float expectedReverbLast;
    };
    const Case cases[] = {
        {"five globals", 5, 140.0f, 98.0f, 0.2f}, // values 9..13 only; no tempo at index 4
        {"NaN tempo", 9, std::numeric_limits<float>::quiet_NaN(), 98.0f, 0.2f},
        {"negative tempo", 9, -60.0f, 98.0f, 0.2f},
        {"no globals", 0, 140.0f, 98.0f, 0.2f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (int i = master::ChorusFirst; i <= master::ReverbFirst + 3; ++i)
            q->setParameterValue(i, 0.2f);
        trio.numGlobalValues = c.globals;
        trio.globals[8] = c.tempo;
        q->recallPatch(0, leads, 1);
        EXPECT_EQ(q->getTempo(), c.expectedTempo);
        EXPECT_EQ(q->getParameterValue(master::ReverbFirst + 3), c.expectedReverbLast);
        EXPECT_EQ(q->getParameterValue(master::ChorusFirst), c.globals > 0 ? 0.9f : 0.2f);
    }
    trio.numGlobalValues = 9;
    trio.globals[8] = 98.0f;

    q->setTempo(120.0f);
    ConfigurationBlock configuration;
    q->getConfiguration(&configuration);
    configuration.keepTempoOnRecall = 1;
    q->setConfiguration(&configuration);
    q->recallPatch(0, leads, 1);
    EXPECT_EQ(q->getTempo(), 120.0f);
    configuration.keepTempoOnRecall = 0;
    q->setConfiguration(&configuration);
}

TEST_F(LibraryInstance, RecallRunStopsAtTheLastChannel)
{
    const int32_t leads = categoryIndexOf(50);
    q->setParameterValue(ch(15, local::Link), 1.0f);
    q->recallPatch(14, leads, 1); // three channels from 14
    EXPECT_EQ(q->getChannelName(14), podoStr("Bass"));
    EXPECT_EQ(q->getChannelName(15), podoStr("Pad"));
    EXPECT_EQ(q->getParameterValue(ch(15, local::SeqOn)), 0.6f);
    EXPECT_EQ(q->editor(), nullptr);

    q->recallPatch(3, leads, 0);
    EXPECT_EQ(q->getParameterValue(ch(4, local::Link)), 0.0f) << "the channel after the run is unlinked";
}

TEST_F(LibraryInstance, RecallFromTheFirstCategoriesKeepsTransposeAndSends)
{
    // Category number 0 holds the same patches as "Leads".
    patchCategoryIndex[0] = categoryIndexOf(50);
    patchCategories[categoryIndexOf(50)].number = 0;
    q->setParameterValue(ch(5, local::Transpose), (5 + 48) / 96.0f);
    q->setParameterValue(ch(5, local::ReverbSend), 0.33f);
    q->setParameterValue(ch(5, local::PitchBendRange), 12.0f / 24.0f); // kept: melody stays melody
    ConfigurationBlock configuration;
    q->getConfiguration(&configuration);
    configuration.keepBendRangeOnRecall = 1;
    q->setConfiguration(&configuration);
    q->recallPatch(5, categoryIndexOf(0), 0);
    EXPECT_EQ(q->state.target.channels[5].melody.pitchBendRange, 12);
    EXPECT_EQ(q->state.target.channels[5].transpose, 5);
    EXPECT_EQ(q->getParameterValue(ch(5, local::ReverbSend)), 0.33f);
    EXPECT_EQ(q->getParameterValue(ch(5, local::Volume)), 0.003f) << "the rest comes from the patch";
}

// A General MIDI patch carries its sound's sends: a send nobody moved since the channel's last
// such recall (or from the default setup) follows the patch; one moved since stays, and a full
// controller reset forgets which the patch gave.
TEST_F(LibraryInstance, RecallFromTheFirstCategoriesTakesThePatchSendsNobodyMoved)
{
    patchCategoryIndex[0] = categoryIndexOf(50);
    patchCategories[categoryIndexOf(50)].number = 0;
    const int gm = categoryIndexOf(0);
    const float defaultReverb = defaultProgram.values[ch(5, local::ReverbSend)];
    auto sends = [&] {
        return std::pair{q->getParameterValue(ch(5, local::ChorusSend)), q->getParameterValue(ch(5, local::ReverbSend))};
    };
    using Sends = std::pair<float, float>;
    q->setParameterValue(ch(5, local::ReverbSend), defaultReverb);
    q->recallPatch(5, gm, 0); // "Solo": locals 25 and 26 hold 0.008 and 0.009
    EXPECT_EQ(sends(), Sends(0.008f, 0.009f));
    EXPECT_EQ(q->state.target.channels[5].reverbSend, 0.009f);
    q->recallPatch(5, gm, 1); // its first channel holds 0 everywhere
    EXPECT_EQ(sends(), Sends(0.0f, 0.0f));
    q->recallPatch(5, gm, 0);
    q->setParameterValue(ch(5, local::ReverbSend), 0.5f); // as controller 91 moves it
    q->recallPatch(5, gm, 1);
    EXPECT_EQ(sends(), Sends(0.0f, 0.5f)) << "the moved send stays, the other follows";
    q->recallPatch(5, gm, 0);
    EXPECT_EQ(sends(), Sends(0.008f, 0.5f));
    q->resetControllers(5, 1); // controller 121 keeps the other controllers
    q->recallPatch(5, gm, 1);
    EXPECT_EQ(sends(), Sends(0.0f, 0.5f));
    q->resetControllers(5, 0);
    q->setParameterValue(ch(5, local::ReverbSend), defaultReverb); // the default setup again
    q->recallPatch(5, gm, 0);
    EXPECT_EQ(sends(), Sends(0.008f, 0.009f));
}

TEST_F(LibraryInstance, RecallTellsTheEditorWhichPatchItWas)
{
    RecordingEditor *editor = q->openEditor();
    ASSERT_NE(editor, nullptr);
    editor->take();
    q->recallPatch(2, categoryIndexOf(50), 1);
    const std::vector<Message> seen = editor->take();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(editor->recalledChannelCount, 3);
    bool recalledPatch = false, bulkDone = false;
    for (const Message &m : seen) {
        if (m.tag == tag::RecalledPatch) {
            recalledPatch = true;
            EXPECT_EQ(static_cast<int32_t>(m.payload), 2 * 65536 + categoryIndexOf(50) * 256 + 1);
        }
        if (m.tag == tag::BulkLoading && m.value() == -1.0f)
            bulkDone = true;
    }
    EXPECT_TRUE(recalledPatch);
    EXPECT_TRUE(bulkDone);
}

TEST_F(LibraryInstance, StoreAppendsUntilTheCategoryIsFull)
{
    const int32_t leads = categoryIndexOf(50);
    q->setCurrentChannel(1);
    for (int32_t n = 2; n < 128; ++n)
        ASSERT_EQ(q->storePatch(leads, -1, false), 1) << n;
    EXPECT_EQ(patchCategories[leads].numPatches, 128);
    q->setCurrentChannel(2);
    const int16_t before = q->programBlock.channels[2].sourcePatch; // packed: copy first
    EXPECT_EQ(q->storePatch(leads, -1, false), -1);
    EXPECT_EQ(patchCategories[leads].numPatches, 128);
    const int16_t after = q->programBlock.channels[2].sourcePatch;
    EXPECT_EQ(after, before) << "a refused store names no patch";
    q->setCurrentChannel(1);
    EXPECT_EQ(q->storePatch(leads, 127, false), 1) << "replacing stays possible";
    EXPECT_EQ(q->storePatch(5, 0, false), -1) << "no such category";
}

// A combination of one channel names the channel after the program it stores; a store refused
// after that (no memory for the patch's copy or for a grown table) leaves the name and the
// patch it names as they were.
TEST_F(LibraryInstance, RefusedCombinationStoreKeepsTheChannelsName)
{
    const int32_t leads = categoryIndexOf(50);
    shapeChannel(0, 0.3f);
    q->setChannelName(0, "Mine");
    q->assignProgramName("Whole song", -1, -1);
    q->setCurrentChannel(0);
    const int32_t growth = banks::patchTableGrowth(patchCategories[leads], -1);
    ASSERT_GT(growth, 0) << "an appended patch must grow the table";
    const struct {
        const char *what;
        int32_t patchIndex;
        size_t failingSize;
    } refusals[] = {
        {"the patch's copy, appended", -1, sizeof(ChannelProgram)},
        {"the patch's copy, in place", 0, sizeof(ChannelProgram)},
        {"the grown table", -1, sizeof(PatchRecord) * static_cast<size_t>(growth)},
    };
    for (const auto &refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        const int16_t sourceBefore = q->programBlock.channels[0].sourcePatch; // packed: copy first
        qtest::failAllocationOfSize = refusal.failingSize;
        EXPECT_EQ(q->storePatch(leads, refusal.patchIndex, true), -1);
        EXPECT_EQ(qtest::failAllocationOfSize, 0u) << "the store never asked for that memory";
        qtest::failAllocationOfSize = 0;
        EXPECT_STREQ(q->getChannelName(0).getNarrow(), "Mine");
        const int16_t sourceAfter = q->programBlock.channels[0].sourcePatch;
        EXPECT_EQ(sourceAfter, sourceBefore);
        EXPECT_EQ(patchCategories[leads].numPatches, 2);
    }
    ASSERT_EQ(q->storePatch(leads, -1, true), 0);
    EXPECT_STREQ(q->getChannelName(0).getNarrow(), "Whole song") << "a store that is taken renames";
}

// A store may grow the table a recall on another instance reads: both hold the shared lock.
TEST_F(LibraryInstance, StoreAndRecallOnTwoInstancesNeverMeetHalfWay)
{
    const int32_t leads = categoryIndexOf(50);
    auto other = std::make_unique<TestQuorix>();
    std::atomic<bool> done{false};
    std::thread recaller([&] {
        while (!done)
            other->recallPatch(0, leads, 1000);
    });
    q->setCurrentChannel(0);
    for (int n = 0; n < 60; ++n)
        q->storePatch(leads, -1, false);
    done = true;
    recaller.join();
    EXPECT_EQ(patchCategories[leads].numPatches, 62);
    other.reset();
}

TEST_F(LibraryInstance, AccessorsReadAndWriteSingleFields)
{
    q->setTempo(90.0f);
    EXPECT_EQ(q->getTempo(), 90.0f);
    void *data = nullptr;
    ASSERT_EQ(q->dispatcher(effGetChunk, 0, 0, &data, 0.0f), kProgramBlockSize);
    float inChunk = 0;
    std::memcpy(&inChunk, static_cast<uint8_t *>(data) + offsetof(ProgramBlock, tempo), sizeof inChunk);
    EXPECT_EQ(inChunk, 90.0f);

    q->state.runtime.outputClipped[1] = 1;
    q->resetOutputClips();
    for (float meter : q->state.runtime.outputMeters)
        EXPECT_EQ(meter, 1.0f);
    EXPECT_EQ(q->state.runtime.outputClipped[0] + q->state.runtime.outputClipped[1], 0);

    int32_t category = 5, patch = 5;
    EXPECT_FALSE(q->getChannelPatchSource(6, &category, &patch)) << "never loaded from a patch";
    EXPECT_EQ(category, -1);
    EXPECT_EQ(patch, -1);

    q->setSelectedDrumSlot(2, 40);
    EXPECT_EQ(q->getSelectedDrumSlot(2), 40);
    q->setSelectedDrumSlot(2, 65);
    EXPECT_EQ(q->getSelectedDrumSlot(2), 40) << "no such drum key";
    q->setParameterValue(ch(7, local::SeqLength), 1.0f);
    EXPECT_EQ(q->getSeqLength(7), 64);
    EXPECT_EQ(q->getSeqLength(16), 0);
    EXPECT_EQ(q->getStepNote(0, 5, 0), 0);
    EXPECT_EQ(q->getStepVelocity(0, 0, 64), 0.0f);
    WaveLocation location{3, 3};
    q->getDrumKeyWave(0, -1, &location);
    EXPECT_EQ(location.index, 0);
}

} // namespace

} // namespace patch_recall_test
