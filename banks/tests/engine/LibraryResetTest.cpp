// The General MIDI reset over a loaded sound library, and wave names in parameter texts.
#include "banks/tests/BankTestLibrary.h"
#include "engine/DefaultProgram.h"
#include "engine/ParameterIndex.h"
#include "engine/tests/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace engine;
using namespace enginetest;

namespace {

int ch(int channel, int localId) { return parameterIndex(channel, localId); }

// Category 0 "Pianos" holds one melody single; category 1 "Kits" one drum kit, unless it is
// written empty or left out.
enum class KitCategory { present, empty, missing };

bool writeLibrary(const podoStr &folder, KitCategory kits)
{
    ChannelProgram piano = {};
    banks::copyNameField(piano.name, "Grand");
    piano.numValues = 727;
    for (int i = 0; i < 727; ++i)
        piano.values[i] = 0.5f;
    piano.values[local::Mode - kFirstLocalId] = 0.0f;
    piano.values[local::Volume - kFirstLocalId] = 0.4f;
    piano.values[local::Transpose - kFirstLocalId] = 0.0f; // -48: a recall from category 0 keeps the running one

    ChannelProgram kit = {};
    banks::copyNameField(kit.name, "Standard");
    kit.numValues = kChannelParameterCount;
    for (int i = 0; i < kChannelParameterCount; ++i)
        kit.values[i] = 0.25f;
    kit.values[local::Mode - kFirstLocalId] = 1.0f;

    auto write = [&](int number, const char *name, ChannelProgram *channel, int patches) {
        PatchRecord patch = {};
        banks::copyNameField(patch.name, channel->name);
        patch.numChannels = 1;
        patch.channels = channel;
        PatchCategory category = {};
        category.number = number;
        banks::copyNameField(category.name, name);
        category.numPatches = patches;
        category.patches = &patch;
        return banks::writePatchFile(folder, category, banks::kLittleEndianMark);
    };
    if (!write(0, "Pianos", &piano, 1))
        return false;
    if (kits == KitCategory::missing)
        return true;
    return write(1, "Kits", &kit, kits == KitCategory::empty ? 0 : 1);
}

class LibraryReset : public ::testing::Test
{
protected:
    void open(KitCategory kits)
    {
        ASSERT_TRUE(writeLibrary(lib.setup.folder, kits));
        KestraneVST identity;
        ASSERT_TRUE(identity.writeMachineRegistryString("Path", lib.setup.folder));
        q = std::make_unique<TestQuorix>();
    }
    void TearDown() override
    {
        q.reset();
        KestraneVST identity;
        identity.writeMachineRegistryString("Path", "");
    }
    float stored(int index) { return q->getParameterValue(index); }
    int16_t sourcePatch(int channel) { return q->programBlock.channels[channel].sourcePatch; }

    LibraryFolder lib;
    std::unique_ptr<TestQuorix> q;
};

} // namespace

TEST_F(LibraryReset, EveryChannelTakesTheFirstPatchOfItsCategory)
{
    open(KitCategory::present);
    q->setParameterValue(ch(4, local::Transpose), 60.0f / 96.0f);
    q->resetToGmDefault();
    for (int c = 0; c < kChannelCount; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(sourcePatch(c), 0);
        EXPECT_EQ(q->state.target.channels[c].mode, c == 9 ? 1 : 0);
        EXPECT_EQ(q->getChannelName(c), podoStr(c == 9 ? "Standard" : "Grand"));
    }
    EXPECT_EQ(stored(ch(3, local::Volume)), 0.4f);
    EXPECT_EQ(stored(ch(9, local::DrumVolume + 17 * 20)), 0.25f);
    // The reset had already brought every transpose back to 0, which the recall keeps.
    EXPECT_EQ(q->state.target.channels[4].transpose, 0);
    EXPECT_STREQ(q->programBlock.name, "GM Default");
}

// A missing or empty drum category leaves the kit as the default program made it.
TEST_F(LibraryReset, AMissingOrEmptyCategoryLeavesTheDefaultChannel)
{
    for (KitCategory kits : {KitCategory::missing, KitCategory::empty}) {
        SCOPED_TRACE(kits == KitCategory::missing ? "missing" : "empty");
        open(kits);
        q->setParameterValue(ch(9, local::DrumVolume), 0.0f);
        q->resetToGmDefault();
        EXPECT_EQ(sourcePatch(9), -1);
        EXPECT_EQ(q->getChannelName(9), podoStr(""));
        EXPECT_EQ(stored(ch(9, local::DrumVolume)), +defaultProgram.values[ch(9, local::DrumVolume)]);
        EXPECT_EQ(q->state.target.channels[9].mode, 1);
        EXPECT_EQ(sourcePatch(0), 0);
        // Program changes to that category, or past the end of one, change nothing either.
        q->setChannelName(0, "Mine");
        q->Quorix::recallProgram(9, 1, 0);
        q->Quorix::recallProgram(0, 0, 1);
        q->Quorix::recallProgram(0, 127, 0);
        EXPECT_EQ(sourcePatch(9), -1);
        EXPECT_EQ(q->state.target.channels[9].mode, 1);
        EXPECT_EQ(q->getChannelName(0), podoStr("Mine"));
        q.reset();
    }
}

TEST_F(LibraryReset, WaveParametersShowTheWavetablesName)
{
    TestLibrary content;
    ASSERT_TRUE(content.write(lib.setup.folder, banks::kLittleEndianMark));
    open(KitCategory::present);
    q->dispatcher(effOpen, 0, 0, nullptr, 0.0f); // channel 9 plays its kit
    podoStr text;
    EXPECT_TRUE(q->parameterText(ch(0, local::OscWave), (2 * 128 + 1) / 16384.0f, text));
    EXPECT_EQ(text, podoStr("Sines"));
    EXPECT_TRUE(q->parameterText(ch(9, local::DrumWave + 17 * 3), (40 * 128 + 1) / 16384.0f, text));
    EXPECT_EQ(text, podoStr("Kit"));
    // A number no loaded wavetable answers plays nothing.
    EXPECT_TRUE(q->parameterText(ch(0, local::OscWave), (2 * 128 + 9) / 16384.0f, text));
    EXPECT_EQ(text, podoStr("<empty>"));
}
