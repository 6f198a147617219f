// The editor's notification queue: delivery order, the open-window gate, growth and its ceiling.
#include "editor-framework/podoVSTEditor.h"
#include "foundation/podoLog.h"
#include "host/podoVST.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace editor_queue_test {

namespace {

intptr_t quietHost(AEffect *, int32_t opcode, int32_t, intptr_t, void *, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

class Instrument : public podoVSTInstrument
{
public:
    Instrument() : podoVSTInstrument(quietHost, 1, 128) {}
};

class RecordingEditor : public podoVSTEditor
{
public:
    explicit RecordingEditor(AudioEffect *effect) : podoVSTEditor(effect) {}
    bool onOpen(void *) override { return true; }
    void onSuspend() override { ++suspends; }
    void onResume() override { ++resumes; }
    void paramChanged(int32_t tag, uint64_t payload) override
    {
        received.push_back({tag, payload});
        if (clearAt >= 0 && int32_t(received.size()) == clearAt)
            clearMessages();
        if (repostFirst && received.size() == 1)
            postMessage(999, 1); // posted during the drain: applied in the same idle
        podoVSTEditorBase::paramChanged(tag, payload);
    }
    void setParameter(int32_t tag, float value) override { lastValue[tag] = value; }

    std::vector<EditorMessage> received;
    std::map<int32_t, float> lastValue;
    int32_t clearAt = -1;
    bool repostFirst = false;
    int suspends = 0, resumes = 0;
};

std::vector<std::string> lines;
void captureLine(const char16_t *piece) { lines.emplace_back(podoStr(piece).getNarrow()); }

} // namespace

TEST(EditorQueue, DeliversOpenWindowPostsInOrderAndDropsTheRest)
{
    Instrument effect;
    RecordingEditor editor(&effect);
    editor.postFloat(1, 0.5f); // closed: never delivered, not even after opening
    ASSERT_TRUE(editor.open(nullptr));
    editor.postMessage(-1, 5);
    for (float v : {0.1f, 0.2f, 0.3f})
        editor.postFloat(100, v);
    editor.repostFirst = true;
    editor.idle();
    ASSERT_EQ(editor.received.size(), 4u);
    EXPECT_EQ(editor.received[0].tag, 100);
    EXPECT_EQ(editor.received[3].tag, 999);
    EXPECT_FLOAT_EQ(editor.lastValue[100], 0.3f) << "the last value stays";
    EXPECT_EQ(editor.queuePending(), 0);

    editor.close();
    editor.postFloat(2, 1.0f);
    ASSERT_TRUE(editor.open(nullptr));
    editor.idle();
    EXPECT_EQ(editor.received.size(), 4u);
}

TEST(EditorQueue, ClearingFromAHandlerEndsTheDrain)
{
    Instrument effect;
    RecordingEditor editor(&effect);
    ASSERT_TRUE(editor.open(nullptr));
    for (int i = 0; i < 5; ++i)
        editor.postMessage(i, uint64_t(i));
    editor.clearAt = 2;
    editor.idle();
    EXPECT_EQ(editor.received.size(), 2u);
    EXPECT_EQ(editor.queuePending(), 0);
}

TEST(EditorQueue, GrowsWhenFullKeepingOrderUpToItsCeiling)
{
    auto previous = podo::setDebugSink(captureLine);
    lines.clear();
    Instrument effect;
    RecordingEditor editor(&effect);
    ASSERT_TRUE(editor.open(nullptr));
    const int32_t first = podoVSTEditorBase::initialCapacity;
    // Wrap the ring first: post 10, drain them, then fill it to the brim.
    for (int i = 0; i < 10; ++i)
        editor.postMessage(0, 0);
    editor.idle();
    editor.received.clear();
    int32_t next = 0;
    for (; next < first; ++next)
        editor.postMessage(1, uint64_t(next));
    EXPECT_EQ(editor.queueCapacity(), first);
    editor.postMessage(1, uint64_t(next++));
    EXPECT_EQ(editor.queueCapacity(), 2 * first);
    bool grewLogged = false;
    for (const auto &l : lines)
        grewLogged |= l.find("realloc param changes UI : 114564 -> 229128") != std::string::npos;
    EXPECT_TRUE(grewLogged);

    // Up to the ceiling, where further posts are lost and the queued ones stay.
    const int32_t ceiling = 16 * first;
    for (; next < ceiling + 7; ++next)
        editor.postMessage(1, uint64_t(next));
    EXPECT_EQ(editor.queueCapacity(), ceiling);
    EXPECT_EQ(editor.queuePending(), ceiling);
    editor.idle();
    ASSERT_EQ(int32_t(editor.received.size()), ceiling);
    bool inOrder = true;
    for (int32_t i = 0; i < ceiling; ++i)
        inOrder &= editor.received[size_t(i)].payload == uint64_t(i);
    EXPECT_TRUE(inOrder);
    podo::setDebugSink(previous);
}

TEST(EditorBinding, AttachesToTheEffectAndForwardsSuspendAndEdits)
{
    Instrument effect;
    EXPECT_EQ(effect.getAeffect()->flags & effFlagsHasEditor, 0);
    {
        RecordingEditor editor(&effect);
        EXPECT_EQ(effect.getEditor(), static_cast<AEffEditor *>(&editor));
        EXPECT_EQ(effect.getAeffect()->flags & effFlagsHasEditor, effFlagsHasEditor);
        editor.suspendView();
        editor.resumeView();
        EXPECT_EQ(editor.suspends, 1);
        EXPECT_EQ(editor.resumes, 1);
        editor.endEdit();
        EXPECT_EQ(editor.getEditCount(), 0) << "never below zero";
        editor.beginEdit();
        EXPECT_EQ(editor.getEditCount(), 1);
        EXPECT_FALSE(editor.isOpen());
        EXPECT_EQ(effect.dispatcher(effEditOpen, 0, 0, nullptr, 0.0f), 1);
        EXPECT_TRUE(editor.isOpen());
    }
    EXPECT_EQ(effect.getEditor(), nullptr) << "a deleted editor detaches itself";
    EXPECT_EQ(effect.getAeffect()->flags & effFlagsHasEditor, 0);
}

} // namespace editor_queue_test
