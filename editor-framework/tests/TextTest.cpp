// Text labels and text entry: parts, drag steps and double clicks of the label; the end of an entry and
// its report, the frame's text-entry flag, and the length and paste requests answered by the editor.
#include "editor-framework/controls/vgcTextLabel.h"
#include "editorTestSupport.h"
#include "gui/CDrawContext.h"
#include "gui/CTextEdit.h"

#include <gtest/gtest.h>

#include <map>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace text_test {

using namespace qgui;
using namespace edtest;

namespace {

// Rows of a surface that hold a pixel of the colour (exact red, green or blue channel above 128).
std::vector<int> rowsWith(cairo_surface_t *s, int channel)
{
    std::vector<int> rows;
    cairo_surface_flush(s);
    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<uint32_t *>(cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s));
        for (int x = 0; x < w; ++x) {
            const uint32_t p = row[x];
            const int c[3] = {int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)};
            if (c[channel] > 128 && c[(channel + 1) % 3] < 64 && c[(channel + 2) % 3] < 64) {
                rows.push_back(y);
                break;
            }
        }
    }
    return rows;
}

int32_t entryFlag(CFrame *frame)
{
    int32_t flag = -1;
    uint32_t got = 0;
    frame->getAttribute(kTextEntryFlagAttribute, sizeof flag, &flag, got);
    return flag;
}

// An editor that answers the text field's requests the way a concrete editor does in preValueChanged.
class AnsweringEditor : public podoVSTEditor
{
public:
    using podoVSTEditor::podoVSTEditor;
    bool onOpen(void *) override { return true; }
    void preValueChanged(CControl *control, int32_t &, float &) override
    {
        int32_t request = 0;
        uint32_t got = 0;
        if (!control->getAttribute(kTextEntryVetoAttribute, sizeof request, &request, got))
            return;
        // The attribute keeps the last answer between requests: only request codes are questions.
        if (request != kTextEntryAskLength && request != kTextEntryAskPaste && request != kTextEntryAskOverLong)
            return;
        requests.push_back(request);
        auto answer = answers.find(request);
        if (answer != answers.end())
            control->setAttribute(kTextEntryVetoAttribute, sizeof answer->second, &answer->second);
    }
    std::map<int32_t, int32_t> answers;
    std::vector<int32_t> requests;
};

std::vector<int64_t> hostTags;
intptr_t countingProcedure(void *, int64_t tag, int64_t, int64_t)
{
    hostTags.push_back(tag);
    return 0;
}

} // namespace

TEST(TextLabel, PartsAreDrawnOnSuccessiveLinesInTheirColours)
{
    vgcTextLabel label(CRect(0, 0, 80, 14), nullptr, -1, nullptr, 3, kNoFrame);
    label.setTransparency(true);
    label.setHoriAlign(kLeftText);
    const CColor colours[3] = {kRedCColor, kGreenCColor, kBlueCColor};
    for (int32_t i = 0; i < 3; ++i) {
        label.setPartText("MMMM", i);
        label.setPartColor(colours[i], i);
    }
    cairo_surface_t *s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 80, 60);
    cairo_t *cr = cairo_create(s);
    {
        CDrawContext context(cr, CRect(0, 0, 80, 60), 1.0);
        label.draw(&context);
    }
    for (int channel = 0; channel < 3; ++channel) {
        SCOPED_TRACE(channel);
        const std::vector<int> rows = rowsWith(s, channel == 0 ? 0 : channel == 1 ? 1 : 2);
        ASSERT_FALSE(rows.empty());
        EXPECT_GE(rows.front(), 14 * channel);
        EXPECT_LT(rows.back(), 14 * (channel + 1));
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

TEST(TextLabel, PartTextsAreKeptAsGivenWithinThePartCount)
{
    vgcTextLabel label(CRect(0, 0, 80, 14), nullptr, -1, nullptr, 2, kNoFrame);
    EXPECT_EQ(label.getPartText(0), " ");
    label.setPartText("", 1);
    EXPECT_EQ(label.getPartText(1), " ") << "an empty text is one blank";
    label.setDirty(false);
    label.setPartText("abc", 1);
    EXPECT_TRUE(label.isDirty());
    label.setDirty(false);
    label.setPartText("abc", 1);
    EXPECT_FALSE(label.isDirty()) << "the same text again draws nothing new";
    label.setPartText(nullptr, 1);
    EXPECT_EQ(label.getPartText(1), "");
    label.setPartText("first", 0);
    EXPECT_EQ(label.getText(), "first") << "part 0 is the label's own text";
    label.setPartValue(-42, 1);
    EXPECT_EQ(label.getPartText(1), "-42");
    label.setPartText("beyond", 2);
    EXPECT_EQ(label.getPartText(2), "");
    label.clearParts();
    EXPECT_EQ(label.getText(), "");
    EXPECT_EQ(label.getPartText(0), "");
    label.truncateParts(1);
    EXPECT_EQ(label.getPartCount(), 1);
    label.setPartText("x", 1);
    EXPECT_EQ(label.getPartText(1), "");
}

TEST(TextLabel, MouseReportsClicksDoubleClicksAndDragSteps)
{
    struct Case {
        const char *name;
        int32_t style;
        std::function<void(COffscreenPlatform *)> act;
        std::vector<float> reports;
    };
    const Case cases[] = {
        {"click", kNoFrame, [](COffscreenPlatform *o) { o->click(CPoint(20, 20)); }, {0}},
        {"double click", kNoFrame | kDoubleClickStyle, [](COffscreenPlatform *o) { o->doubleClick(CPoint(20, 20)); },
         {0, 5}},
        {"drag up 12",
         kNoFrame | kDragStepStyle,
         [](COffscreenPlatform *o) {
             o->mouseDown(CPoint(20, 50));
             for (int y = 49; y >= 38; --y)
                 o->mouseMove(CPoint(20, y), kLButton);
             o->mouseUp(CPoint(20, 38));
         },
         {1, 1}},
        {"drag down 6",
         kNoFrame | kDragStepStyle,
         [](COffscreenPlatform *o) {
             o->mouseDown(CPoint(20, 50));
             o->mouseMove(CPoint(20, 56), kLButton);
             o->mouseUp(CPoint(20, 56));
         },
         {0.5f}},
        {"press without moving", kNoFrame | kDragStepStyle, [](COffscreenPlatform *o) { o->click(CPoint(20, 50)); },
         {0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Frame frame;
        RecordingListener listener;
        auto *label = frame.add(new vgcTextLabel(CRect(10, 10, 100, 100), &listener, 8, nullptr, 1, c.style));
        c.act(frame.off);
        EXPECT_EQ(listener.values(), c.reports);
        EXPECT_FLOAT_EQ(label->getValue(), c.reports.back() >= 5 ? 0.0f : c.reports.back());
        EXPECT_FALSE(label->isEditing());
    }
}

TEST(TextEdit, AnEntryReportsItsEndWithElevenOnlyWhenTheTextChanged)
{
    struct Case {
        const char *name;
        bool returnOnly;
        const char *typed;
        std::function<void(COffscreenPlatform *)> end;
        std::string text;
        std::vector<float> reports; // after the start of the entry
    };
    auto returnKey = [](COffscreenPlatform *o) { o->keyDown(VstKeyCode{0, VKEY_RETURN, 0}); };
    auto escapeKey = [](COffscreenPlatform *o) { o->keyDown(VstKeyCode{0, VKEY_ESCAPE, 0}); };
    auto clickAway = [](COffscreenPlatform *o) { o->click(CPoint(300, 250)); };
    const Case cases[] = {
        {"return", false, "12", returnKey, "old12", {0.25f, 11}},
        {"escape", false, "12", escapeKey, "old", {0}},
        {"click away", false, "12", clickAway, "old12", {0.25f, 11}},
        {"click away, return only", true, "12", clickAway, "old", {0}},
        {"return, return only", true, "12", returnKey, "old12", {0.25f, 11}},
        {"return unchanged", false, "", returnKey, "old", {0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Frame frame;
        RecordingListener listener;
        auto *field = frame.add(new vgcTextEdit(CRect(10, 10, 110, 30), &listener, 9, nullptr, c.returnOnly));
        field->setText("old");
        field->setValue(0.25f);
        frame.off->click(CPoint(20, 20));
        ASSERT_TRUE(field->isEntryOpen());
        EXPECT_EQ(entryFlag(frame.frame), 1);
        field->setValueRaw(0.25f);
        frame.off->keyDown(VstKeyCode{0, VKEY_END, 0});
        frame.off->typeText(c.typed);
        listener.reports.clear();
        c.end(frame.off);
        EXPECT_FALSE(field->isEntryOpen());
        EXPECT_EQ(entryFlag(frame.frame), 0);
        EXPECT_EQ(field->getText(), c.text);
        EXPECT_EQ(listener.values(), c.reports);
    }
}

TEST(TextEdit, PressesStartAnEntryAsItsStyleAndTheListenerAllow)
{
    Frame frame;
    RecordingListener listener;
    auto *field = frame.add(new vgcTextEdit(CRect(10, 10, 110, 30), &listener, 9, nullptr, false));
    field->setStyle(kNoFrame | kDoubleClickStyle);
    frame.off->click(CPoint(20, 20));
    EXPECT_FALSE(field->isEntryOpen()) << "a single click on a double-click field";
    EXPECT_EQ(listener.values(), std::vector<float>{0});
    frame.off->click(CPoint(20, 20), kLButton | kDoubleClick);
    EXPECT_TRUE(field->isEntryOpen());
    frame.off->keyDown(VstKeyCode{0, VKEY_ESCAPE, 0});

    listener.reports.clear();
    listener.modifierAnswer = 1;
    frame.off->click(CPoint(20, 20), kLButton | kDoubleClick | kShift);
    EXPECT_FALSE(field->isEntryOpen()) << "the listener took the modifier click";
    EXPECT_TRUE(listener.reports.empty());

    frame.off->click(CPoint(20, 20), kRButton);
    EXPECT_EQ(listener.values(), std::vector<float>{-1});

    field->setText("7");
    field->setValue(0.5f);
    EXPECT_EQ(field->getText(), "7") << "the value is a number of its own";
    field->setTextFromNumber(-12);
    EXPECT_EQ(field->getText(), "-12");
    EXPECT_EQ(field->getHoriAlign(), kRightText);
}

TEST(TextEntry, TheEditorAnswersTheLengthAndPasteRequests)
{
    Instrument fx;
    fx.dispatcher(effVendorSpecific, vstFourCC("host"), vstFourCC("pSPr"),
                  reinterpret_cast<void *>(&countingProcedure), 0.0f);
    AnsweringEditor editor(&fx);
    ASSERT_TRUE(editor.open(nullptr));
    COffscreenPlatform *screen = editor.getFrame()->getOffscreen();
    vgcTextEdit *field = editor.addTextEdit(10, 10, 200, 20, nullptr, 21, 0);
    editor.getFrame()->addView(field);
    COffscreenPlatform::setClipboardText("pasted");
    const VstKeyCode paste{'v', 0, MODIFIER_CONTROL};

    // Unanswered requests limit nothing and refuse nothing.
    screen->click(CPoint(20, 15));
    screen->typeText("a long text without any limit");
    screen->keyDown(paste);
    EXPECT_EQ(field->getPlatformTextEdit()->getText(), "a long text without any limitpasted");
    screen->keyDown(VstKeyCode{0, VKEY_ESCAPE, 0});

    // A paste refused.
    editor.answers = {{kTextEntryAskPaste, 0}};
    editor.requests.clear();
    screen->click(CPoint(20, 15));
    screen->keyDown(paste);
    ASSERT_TRUE(field->isEntryOpen());
    EXPECT_EQ(field->getPlatformTextEdit()->getText(), field->getText());
    EXPECT_EQ(editor.requests, std::vector<int32_t>{kTextEntryAskPaste});
    screen->keyDown(VstKeyCode{0, VKEY_ESCAPE, 0});

    // At most eight characters: the ninth ends the entry with the eight, the refusal is logged.
    LogCapture log;
    editor.answers = {{kTextEntryAskLength, -8}, {kTextEntryAskOverLong, 0}};
    editor.requests.clear();
    hostTags.clear();
    field->setText("");
    screen->click(CPoint(20, 15));
    screen->typeText("123456789");
    EXPECT_FALSE(field->isEntryOpen());
    EXPECT_EQ(field->getText(), "12345678");
    EXPECT_TRUE(log.has("limited!!!"));
    ASSERT_GE(editor.requests.size(), 2u);
    EXPECT_EQ(editor.requests[editor.requests.size() - 2], kTextEntryAskLength);
    EXPECT_EQ(editor.requests.back(), kTextEntryAskOverLong);
    EXPECT_GE(hostTags.size(), editor.requests.size()) << "every request runs the whole value road";
    EXPECT_EQ(entryFlag(editor.getFrame()), 0);

    editor.getFrame()->removeView(field, false);
    field->forget();
    COffscreenPlatform::clearClipboard();
}

TEST(TextLabel, TextsThatDoNotFitEndWithAnEllipsis)
{
    const std::string ellipsis = "\xE2\x80\xA6";
    Frame frame;
    auto *label = frame.add(new vgcTextLabel(CRect(10, 10, 60, 24), nullptr, 1, nullptr, 2, 0));
    auto *field = frame.add(new vgcTextEdit(CRect(10, 40, 60, 54), nullptr, 2, nullptr, false));
    label->setPartText("Acoustic Grand Piano", 0);
    label->setPartText("Pad", 1);
    field->setText("Acoustic Grand Piano");
    frame.pixel(0, 0); // draws
    const std::string shown = label->getShownText(0);
    ASSERT_GT(shown.size(), ellipsis.size());
    EXPECT_EQ(shown.substr(shown.size() - ellipsis.size()), ellipsis);
    EXPECT_EQ(shown.rfind("Ac", 0), 0u) << shown;
    EXPECT_LE(CDrawContext::measureString(label->getFont(), shown), 50);
    EXPECT_EQ(label->getShownText(1), "Pad") << "a text that fits stays";
    const std::string shownField = field->getShownText();
    ASSERT_GT(shownField.size(), ellipsis.size());
    EXPECT_EQ(shownField.substr(shownField.size() - ellipsis.size()), ellipsis);
    // Nothing is left of a text in no room but the ellipsis.
    EXPECT_EQ(fitText("Piano", label->getFont(), 2), ellipsis);
}

// A right-aligned value keeps a margin of two unzoomed pixels from its box's right edge at 100 %, 200 %
// and 300 %: a label's and a closed field's text alike.
TEST(TextLabel, RightAlignedValuesKeepOffTheRightEdgeAtEveryZoom)
{
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(k);
        vgcTextLabel label(CRect(0, 0, 40, 12), nullptr, -1, nullptr, 1, kNoFrame);
        label.setTransparency(true);
        label.setHoriAlign(kRightText);
        label.setPartText("30.0", 0);
        label.setPartColor(kRedCColor, 0);
        vgcTextEdit field(CRect(0, 20, 40, 32), nullptr, -1, nullptr, false);
        field.setTransparency(true);
        field.setText("440.0");
        field.setFontColor(kRedCColor);
        cairo_surface_t *s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40 * k, 40 * k);
        cairo_t *cr = cairo_create(s);
        {
            CDrawContext context(cr, CRect(0, 0, 40, 40), double(k));
            label.draw(&context);
            field.draw(&context);
        }
        cairo_surface_flush(s);
        for (int box = 0; box < 2; ++box) {
            SCOPED_TRACE(box == 0 ? "label" : "field");
            int rightmost = -1;
            for (int y = 20 * k * box; y < 20 * k * box + 12 * k; ++y) {
                auto *row = reinterpret_cast<uint32_t *>(cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s));
                for (int x = 0; x < 40 * k; ++x)
                    if (((row[x] >> 16) & 0xFF) > 128)
                        rightmost = std::max(rightmost, x);
            }
            EXPECT_GE(rightmost, 30 * k) << "the text is drawn at the right";
            EXPECT_LT(rightmost, 40 * k - 2 * k) << "and keeps off the edge";
        }
        cairo_destroy(cr);
        cairo_surface_destroy(s);
    }
}

} // namespace text_test
