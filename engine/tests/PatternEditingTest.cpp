// Block edits of the sequencer lanes: the edits themselves over plain steps, then the instance's
// road that writes every changed step as a parameter.
#include "engine/PatternEditing.h"
#include "engine/tests/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using namespace engine;
using namespace enginetest;

namespace {

// Lane l, step s holds code 100 l + s and velocity (l + 1) / 10, so every cell is told apart.
PatternSteps numbered()
{
    PatternSteps p;
    for (int l = 0; l < kSequencerLanes; ++l)
        for (int s = 0; s < kSequencerSteps; ++s)
            p.lanes[l][s] = SequencerStep{100 * l + s, (l + 1) / 10.0f};
    return p;
}

std::vector<int32_t> codes(const PatternSteps &p, int lane)
{
    std::vector<int32_t> out;
    for (const SequencerStep &s : p.lanes[lane])
        out.push_back(s.note);
    return out;
}

// Codes of lane l as they start: the given ones, then the untouched numbering from `from` on.
std::vector<int32_t> lane(int l, std::vector<int32_t> head, int from)
{
    std::vector<int32_t> out = head;
    for (int s = from; out.size() < kSequencerSteps; ++s)
        out.push_back(s < kSequencerSteps ? 100 * l + s : kStepRest);
    return out;
}

std::vector<int32_t> range(int first, int last)
{
    std::vector<int32_t> out;
    for (int s = first; s <= last; ++s)
        out.push_back(s);
    return out;
}

std::vector<int32_t> join(std::vector<int32_t> a, const std::vector<int32_t> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<int32_t> rests(int n) { return std::vector<int32_t>(n, kStepRest); }

} // namespace

// One edit of lane 0 (page 0 unless told), the lane afterwards; lanes outside the selection
// never change.
TEST(PatternEdits, ClearShiftExpandAndCompress)
{
    using Edit = std::function<void(PatternSteps &)>;
    struct Case {
        const char *what;
        Edit edit;
        std::vector<int32_t> lane0;
    } cases[] = {
        {"clear 2..5 in place", [](PatternSteps &p) { clearSteps(p, 0, false, {0, 0, 2, 5}); },
         join(join(range(0, 1), rests(4)), range(6, 63))},
        {"clear 0..3 with shift: the rest moves 4 left, 4 rests at the end",
         [](PatternSteps &p) { clearSteps(p, 0, true, {0, 0, 0, 3}); }, join(range(4, 63), rests(4))},
        {"clear on page 1 works on steps 16..19", [](PatternSteps &p) { clearSteps(p, 1, true, {0, 0, 0, 3}); },
         join(join(range(0, 15), range(20, 63)), rests(4))},
        {"compress 0..7 with shift", [](PatternSteps &p) { compressSteps(p, 0, true, {0, 0, 0, 7}); },
         join(join({0, 2, 4, 6}, range(8, 63)), rests(4))},
        {"compress 0..7 in place", [](PatternSteps &p) { compressSteps(p, 0, false, {0, 0, 0, 7}); },
         join({0, 2, 4, 6, 4, 5, 6, 7}, range(8, 63))},
        {"compress an odd count: its last step goes with the halves",
         [](PatternSteps &p) { compressSteps(p, 0, true, {0, 0, 2, 6}); }, join(join({0, 1, 2, 4}, range(7, 63)), rests(3))},
        {"expand 0..3 in place", [](PatternSteps &p) { expandSteps(p, 0, false, {0, 0, 0, 3}); },
         join({0, 49, 1, 49, 2, 49, 3, 49}, range(8, 63))},
        {"expand 0..3 with insert", [](PatternSteps &p) { expandSteps(p, 0, true, {0, 0, 0, 3}); },
         join({0, 49, 1, 49, 2, 49, 3, 49}, range(4, 59))},
        {"expand at the end of the last page drops what passes step 63",
         [](PatternSteps &p) { expandSteps(p, 3, true, {0, 0, 14, 15}); }, join(range(0, 61), {62, 49})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PatternSteps p = numbered();
        c.edit(p);
        EXPECT_EQ(codes(p, 0), c.lane0);
        for (int l = 1; l < kSequencerLanes; ++l)
            EXPECT_EQ(codes(p, l), lane(l, {}, 0)) << "lane " << l;
    }
}

TEST(PatternEdits, ExpandedStepsKeepTheirVelocities)
{
    PatternSteps p = numbered();
    for (int s = 0; s < 4; ++s)
        p.lanes[2][s].velocity = 0.25f * s;
    EXPECT_EQ(expandSteps(p, 0, false, {2, 2, 0, 3}), 4);
    const float expected[8] = {0.0f, 0.0f, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f};
    for (int s = 0; s < 8; ++s)
        EXPECT_EQ(+p.lanes[2][s].velocity, expected[s]) << s;
    EXPECT_EQ(+p.lanes[2][8].velocity, 0.3f);
}

TEST(PatternEdits, CopyAndPaste)
{
    StepClipboard clipboard{};
    PatternSteps p = numbered();
    copySteps(p, 1, {0, 1, 2, 3}, clipboard);
    EXPECT_EQ(clipboard.rows, 2);
    EXPECT_EQ(clipboard.columns, 2);
    EXPECT_EQ(clipboard.cells[1][0].note, 118);

    // Overwrite at lane 3, page step 4 of page 0.
    pasteSteps(p, 0, false, 3, 4, {0, 0, 0, 0}, clipboard);
    EXPECT_EQ(codes(p, 3), join(join(range(300, 303), {18, 19}), range(306, 363)));
    EXPECT_EQ(codes(p, 4), join(join(range(400, 403), {118, 119}), range(406, 463)));
    EXPECT_EQ(+p.lanes[3][4].velocity, 0.1f);

    // Insert pushes the lane right by the clipboard's width from the target step on.
    p = numbered();
    pasteSteps(p, 0, true, 3, 4, {0, 0, 0, 0}, clipboard);
    EXPECT_EQ(codes(p, 3), join(join(range(300, 303), {18, 19}), range(304, 361)));
}

TEST(PatternEdits, PasteWithAnEmptyClipboardCopiesTheSelectionFirst)
{
    StepClipboard clipboard{};
    PatternSteps p = numbered();
    pasteSteps(p, 0, false, 1, 8, {0, 0, 0, 2}, clipboard);
    EXPECT_EQ(clipboard.columns, 3);
    EXPECT_EQ(codes(p, 1), join(join(range(100, 107), {0, 1, 2}), range(111, 163)));
}

// Ranges beyond the lanes, the page or the clipboard are held to them: nothing outside the
// five lanes of 64 steps is ever touched, and reversed ends select the same steps.
TEST(PatternEdits, RangesAreHeldToThePatternAndTheClipboard)
{
    auto p = std::make_unique<PatternSteps>(numbered());
    clearSteps(*p, 3, false, {9, 3, 40, 12});
    EXPECT_EQ(codes(*p, 2), lane(2, {}, 0));
    for (int l : {3, 4})
        EXPECT_EQ(codes(*p, l), join(range(100 * l, 100 * l + 59), rests(4))) << l;

    StepClipboard clipboard{};
    *p = numbered();
    copySteps(*p, 0, {2, 7, 10, 30}, clipboard);
    EXPECT_EQ(clipboard.rows, 3);
    EXPECT_EQ(clipboard.columns, 6);

    copySteps(*p, 0, {0, 4, 0, 15}, clipboard); // the whole clipboard: 5 x 16
    pasteSteps(*p, 3, true, 4, 14, {0, 0, 0, 0}, clipboard);
    EXPECT_EQ(codes(*p, 3), lane(3, {}, 0));
    EXPECT_EQ(codes(*p, 4), join(range(400, 461), {0, 1}));

    clipboard.rows = 99; // whatever the clipboard claims, a paste stays inside
    clipboard.columns = -5;
    pasteSteps(*p, -2, false, 7, -1, {0, 0, 0, 0}, clipboard);
    EXPECT_EQ(clipboard.columns, 1);

    *p = numbered();
    EXPECT_EQ(expandSteps(*p, 3, true, {4, 4, 30, 8}), 8);
    EXPECT_EQ(compressSteps(*p, 0, true, {4, 4, 15, 15}), 1);
    for (int l = 0; l < 4; ++l)
        EXPECT_EQ(codes(*p, l), lane(l, {}, 0)) << l;
}

namespace {

struct PatternInstance : testing::Test {
    std::unique_ptr<TestQuorix> q;
    void SetUp() override { q = std::make_unique<TestQuorix>(); }

    static int stepNote(int channel, int lane, int step)
    {
        return parameterIndex(channel, local::FirstLane + lane * local::LaneSpan + 2 * step);
    }
    void setStep(int channel, int lane, int step, int code, float velocity)
    {
        q->setParameterValue(stepNote(channel, lane, step), (code + 48) / 100.0f);
        q->setParameterValue(stepNote(channel, lane, step) + 1, velocity);
    }
    const SequencerStep &step(int channel, int lane, int step)
    {
        return q->state.target.channels[channel].lanes[lane].steps[step];
    }
};

} // namespace

// The edits work on the channel being edited and its shown page, and every change reaches the
// program as a parameter value (and so the running state and the editor).
TEST_F(PatternInstance, EditsWriteTheCurrentChannelsPageThroughItsParameters)
{
    RecordingEditor *editor = q->openEditor();
    q->setCurrentChannel(2);
    q->setParameterValue(parameterIndex(2, local::SeqPart), 1.0f / 3.0f); // page 1: steps 16..31
    for (int s = 16; s < 24; ++s)
        setStep(2, 1, s, s - 16, 0.5f + s / 100.0f);
    editor->take();
    const int32_t otherChannel = step(0, 1, 17).note;

    EXPECT_EQ(q->expandSteps(false, 1, 1, 0, 1), 2);
    EXPECT_EQ(+step(2, 1, 16).note, 0);
    EXPECT_EQ(+step(2, 1, 17).note, 49);
    EXPECT_EQ(+step(2, 1, 18).note, 1);
    EXPECT_EQ(+step(2, 1, 19).note, 49);
    EXPECT_EQ(+step(2, 1, 19).velocity, 0.5f + 17 / 100.0f);
    EXPECT_FLOAT_EQ(q->getParameterValue(stepNote(2, 1, 17)), (49 + 48) / 100.0f);
    EXPECT_FLOAT_EQ(q->getParameterValue(stepNote(2, 1, 19) + 1), 0.5f + 17 / 100.0f);
    EXPECT_EQ(+step(0, 1, 17).note, otherChannel);

    // Only the steps that changed are written: 17..19, each its note and its velocity.
    std::vector<int32_t> tags;
    for (const Message &m : editor->take())
        tags.push_back(m.tag);
    const std::vector<int32_t> written = {stepNote(2, 1, 17), stepNote(2, 1, 17) + 1, stepNote(2, 1, 18),
                                          stepNote(2, 1, 18) + 1, stepNote(2, 1, 19), stepNote(2, 1, 19) + 1};
    EXPECT_EQ(tags, written);

    q->clearSteps(true, 1, 1, 0, 3);
    EXPECT_EQ(+step(2, 1, 16).note, 4);
    EXPECT_EQ(+step(2, 1, 63).note, kStepRest);
    EXPECT_EQ(+step(2, 1, 63).velocity, 0.0f);
    EXPECT_FLOAT_EQ(q->getParameterValue(stepNote(2, 1, 63)), 1.0f);

    // The clipboard lives in the instance from copy to paste.
    q->copySteps(1, 1, 0, 0);
    q->pasteSteps(false, 3, 15, 0, 0, 0, 0);
    EXPECT_EQ(+step(2, 3, 31).note, 4);
    EXPECT_EQ(q->compressSteps(false, 1, 1, 0, 3), 4);
}
