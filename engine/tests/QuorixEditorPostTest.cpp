// What the editor hears from the engine, through the queue of an editor opened on a stand-in
// for the host's window.
#include "engine/tests/EngineTestSupport.h"

#include "engine/ParameterIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace quorix_editor_post_test {

using namespace engine;
using namespace enginetest;

namespace {

int ch(int channel, int localId) { return parameterIndex(channel, localId); }

struct EditorPosts : testing::Test {
    std::unique_ptr<TestQuorix> q = std::make_unique<TestQuorix>();
    RecordingEditor *editor = nullptr;
    void SetUp() override
    {
        editor = q->openEditor();
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(editor->isOpen());
        editor->take();
    }
};

bool hasTag(const std::vector<Message> &messages, int32_t tag)
{
    return std::any_of(messages.begin(), messages.end(), [tag](const Message &m) { return m.tag == tag; });
}

} // namespace

TEST(EditorPostsClosed, NothingIsQueuedWithoutAWindow)
{
    auto q = std::make_unique<TestQuorix>();
    q->dispatcher(effOpen, 0, 0, nullptr, 0.0f);
    ASSERT_NE(q->editor(), nullptr);
    q->setParameterValue(0, 0.5f);
    EXPECT_EQ(q->editor()->take().size(), 0u);
}

TEST_F(EditorPosts, EveryValueIsPostedAfterItIsApplied)
{
    q->setParameterValue(ch(4, local::Pan), 0.25f);
    q->setParameterValue(28700, 7.5f);                                      // an editor tag passes unchanged
    q->setParameterValue(ch(4, local::Volume), std::numeric_limits<float>::quiet_NaN());
    q->setParameterValue(-1, 0.5f);                                         // nothing at all
    const std::vector<Message> m = editor->take();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].tag, ch(4, local::Pan));
    EXPECT_EQ(m[0].value(), 0.25f);
    EXPECT_EQ(m[1].tag, 28700);
    EXPECT_EQ(m[1].value(), 7.5f);
    EXPECT_EQ(m[2].tag, ch(4, local::Volume));
    EXPECT_EQ(m[2].value(), 0.0f);
}

TEST_F(EditorPosts, BulkFlagChannelNameAndTuningReachTheEditor)
{
    EXPECT_FALSE(q->setBulkLoading(true));
    EXPECT_TRUE(q->setBulkLoading(false));
    q->setChannelName(5, "Pads");
    q->selectTemperament(3);
    q->changeSkin("", 0); // changes nothing and posts nothing
    const std::vector<Message> m = editor->take();
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].tag, tag::BulkLoading);
    EXPECT_EQ(m[0].value(), 1.0f);
    EXPECT_EQ(m[1].tag, tag::BulkLoading);
    EXPECT_EQ(m[1].value(), 0.0f);
    EXPECT_EQ(m[2].tag, tag::ChannelStrip + 5);
    EXPECT_EQ(m[2].value(), 1.0f);
    EXPECT_EQ(m[3].tag, tag::Tuning);
    EXPECT_EQ(m[3].value(), -1.0f);
}

TEST_F(EditorPosts, StoppingAChannelClearsItsDisplays)
{
    q->state.play[6].voiceCount = 1;
    q->setParameterValue(ch(6, local::Transpose), 0.75f);
    const std::vector<Message> m = editor->take();
    ASSERT_GE(m.size(), 4u);
    EXPECT_EQ(m[0].tag, tag::ChannelActivity + 6);
    EXPECT_EQ(m[1].tag, tag::KeyboardClear);
    EXPECT_EQ(m[1].byte(0), 6);
    EXPECT_EQ(m[1].byte(2), 1);
    EXPECT_EQ(m[2].tag, tag::VoiceCount);
    EXPECT_EQ(m.back().tag, ch(6, local::Transpose));
}

TEST_F(EditorPosts, ApplyWithoutForceOnlyPosts)
{
    q->programBlock.values[ch(2, local::Volume)] = 0.125f;
    q->applyChannelSettings(2, false);
    EXPECT_NE(q->state.target.channels[2].volume, 0.125f);
    std::vector<Message> m = editor->take();
    ASSERT_EQ(m.size(), 2u + 1u + 20u);
    EXPECT_EQ(m[0].tag, tag::BulkLoading);
    EXPECT_EQ(m[1].tag, tag::ChannelStrip + 2);
    EXPECT_EQ(m[2].tag, ch(2, local::Mode));
    EXPECT_EQ(m[5].value(), 0.125f);
    EXPECT_EQ(m[22].tag, tag::BulkLoading);

    // While bulk loading, unforced applies do nothing; forced ones apply and keep the flag.
    q->setBulkLoading(true);
    editor->take();
    q->applyMasterParameters(false);
    EXPECT_TRUE(editor->take().empty());
    q->programBlock.values[master::Tune] = 0.75f;
    q->applyMasterParameters(true);
    EXPECT_EQ(q->state.target.master.tune, 0.75f);
    EXPECT_EQ(q->state.bulkLoading, 1);
    m = editor->take();
    EXPECT_EQ(m[0].tag, tag::Tempo); // the tempo controls are refreshed first
    EXPECT_TRUE(hasTag(m, master::Tune));
}

TEST_F(EditorPosts, ProgramChangeEmptiesTheQueueThenReappliesEverything)
{
    q->setParameterValue(0, 0.5f); // left in the queue: the program change drops it
    q->setProgram(0);
    const std::vector<Message> m = editor->take();
    // Bulk on, 28,641 values, bulk off, 16 strips, 3 tempo refreshes, two -1 signals, the name.
    ASSERT_EQ(m.size(), 1u + 28641u + 1u + 16u + 3u + 2u + 1u);
    EXPECT_EQ(m[0].tag, tag::BulkLoading);
    EXPECT_EQ(m[1].tag, 0);
    EXPECT_EQ(m[28641].tag, 28640);
    EXPECT_EQ(m[28643].tag, tag::ChannelStrip);
    EXPECT_EQ(m[28659].tag, tag::Tempo);
    EXPECT_EQ(m[28662].tag, tag::BulkLoading);
    EXPECT_EQ(m[28662].value(), -1.0f);
    EXPECT_EQ(m[28663].tag, tag::MidiLearn);
    EXPECT_EQ(m.back().tag, tag::ProgramName);
    EXPECT_EQ(q->editor()->recalledChannelCount, 0);
}

TEST_F(EditorPosts, SkinChangePostsTheNameAndZoom)
{
    q->changeSkin("Night", 150);
    std::vector<Message> m = editor->take();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].tag, tag::SkinName);
    EXPECT_STREQ(reinterpret_cast<const char *>(static_cast<uintptr_t>(m[0].payload)), "Night");
    EXPECT_EQ(m[1].tag, tag::Zoom);
    EXPECT_EQ(static_cast<int32_t>(m[1].payload), 150);

    q->changeSkin("../../elsewhere", 0); // never a path outside the skins folder
    m = editor->take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_STREQ(reinterpret_cast<const char *>(static_cast<uintptr_t>(m[0].payload)), "Default");
}

TEST_F(EditorPosts, RefreshTempoControlsPostsThreeSignals)
{
    editor->refreshTempoControls();
    const std::vector<Message> m = editor->take();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].tag, tag::Tempo);
    EXPECT_EQ(m[1].tag, tag::HostTempoSync);
    EXPECT_EQ(m[2].tag, tag::ChannelStrip);
    EXPECT_EQ(m[2].payload, 0u);
}

} // namespace quorix_editor_post_test
