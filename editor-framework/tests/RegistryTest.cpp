// The control registry: controls found by tag through the sorted copy, several controls per tag, and the
// copy seeing only what was registered before its last rebuild.
#include "editorTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace qgui;

namespace {

// Controls owned by the test; the editor only refers to them.
struct Registry {
    podoVSTEditor editor{nullptr};
    std::vector<std::unique_ptr<CControl, void (*)(CControl *)>> owned;

    CControl *add(int32_t tag)
    {
        auto *c = new CControl(CRect(0, 0, 10, 10), nullptr, tag);
        owned.emplace_back(c, [](CControl *p) { p->forget(); });
        editor.registerControl(c);
        return c;
    }
};

} // namespace

TEST(Registry, ATagReachesEveryControlThatCarriesItAndNoOther)
{
    // Runs of the searched tag at the start, in the middle and at the end, of lengths that make the
    // search land at different places inside the run.
    const std::vector<std::vector<int32_t>> layouts = {
        {100, 100},
        {100, 7, 100, 300},
        {1, 2, 3, 100, 100, 100, 100, 100, 200},
        {100, 100, 100, 100, 100, 100, 100, 5},
        {0, 1, 2, 3, 4, 5, 6, 7, 8, 100},
        {100, 28641, 100, 28641, 100, 0, 100, 99, 101, 100, 100},
    };
    for (const auto &tags : layouts) {
        SCOPED_TRACE(::testing::PrintToString(tags));
        Registry r;
        std::vector<CControl *> controls;
        for (int32_t tag : tags)
            controls.push_back(r.add(tag));
        r.editor.rebuildControlIndex();

        r.editor.setParameter(100, 0.5f);
        r.editor.setVisibleByTag(100, false);
        for (CControl *c : controls) {
            const bool carries = c->getTag() == 100;
            EXPECT_FLOAT_EQ(c->getValue(), carries ? 0.5f : 0.0f) << "tag " << c->getTag();
            EXPECT_EQ(c->isVisible(), !carries) << "tag " << c->getTag();
        }
        EXPECT_FLOAT_EQ(r.editor.getParameter(100), 0.5f);
        EXPECT_EQ(r.editor.getControlCount(), int32_t(tags.size())) << "creation order keeps every entry";
        EXPECT_EQ(r.editor.getControlAt(0), controls[0]);
    }
}

TEST(Registry, UnknownTagsAndStaleIndexesChangeNothing)
{
    Registry r;
    CControl *a = r.add(10);
    CControl *hidden = r.add(-1); // a control without a parameter
    r.editor.rebuildControlIndex();
    EXPECT_EQ(r.editor.findControlIndex(11), -1);
    EXPECT_FLOAT_EQ(r.editor.getParameter(11), 0.0f);
    r.editor.setParameter(11, 0.7f);
    r.editor.setParameter(-1, 0.7f);
    EXPECT_FLOAT_EQ(a->getValue(), 0.0f);
    EXPECT_FLOAT_EQ(hidden->getValue(), 0.0f) << "negative tags are never looked up";

    const int32_t at = r.editor.findControlIndex(10);
    ASSERT_GE(at, 0);
    EXPECT_FALSE(r.editor.setControlValueAt(at, 12, 1.0f)) << "the entry carries another tag";
    EXPECT_FALSE(r.editor.setControlValueAt(99, 10, 1.0f)) << "index beyond the registry";
    EXPECT_FALSE(r.editor.setControlVisibleAt(-5, 10, false));
    EXPECT_FLOAT_EQ(r.editor.getControlValueAt(99, 10), 0.0f);
    EXPECT_TRUE(r.editor.setControlValueAt(at, 10, 0.25f));
    EXPECT_FLOAT_EQ(r.editor.getControlValueAt(at, 10), 0.25f);
}

TEST(Registry, ControlsRegisteredAfterTheLastRebuildAreFoundOnlyAfterTheNext)
{
    Registry r;
    r.add(1);
    r.editor.rebuildControlIndex();
    CControl *late = r.add(2);
    r.editor.setParameter(2, 1.0f);
    EXPECT_FLOAT_EQ(late->getValue(), 0.0f);
    EXPECT_EQ(r.editor.findControlIndex(2), -1);
    r.editor.rebuildControlIndex();
    r.editor.setParameter(2, 1.0f);
    EXPECT_FLOAT_EQ(late->getValue(), 1.0f);
}

TEST(Registry, QueuedValuesReachTheControlsAtIdle)
{
    struct OpeningEditor : podoVSTEditor {
        OpeningEditor() : podoVSTEditor(nullptr) {}
        bool onOpen(void *) override { return true; }
    } editor;
    CControl *c = new CControl(CRect(0, 0, 10, 10), nullptr, 28641);
    editor.registerControl(c);
    editor.rebuildControlIndex();
    ASSERT_TRUE(editor.open(nullptr));
    editor.postFloat(28641, 0.75f);
    editor.postMessage(28641, 0x3E800000u); // 0.25
    editor.idle();
    EXPECT_FLOAT_EQ(c->getValue(), 0.25f) << "applied oldest first: the last value stays";
    editor.close();
    c->forget();
}
