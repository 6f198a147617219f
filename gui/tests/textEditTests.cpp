// The in-frame text entry: editing keys, how an entry ends, and the questions it asks its listener
// through the veto attribute (length limit, over-long text, paste).
#include "gui/gui.h"
#include "guiTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

using namespace qgui;
using namespace qgui::test;

namespace {

VstKeyCode key(uint8_t virt, uint8_t modifier = 0) { return VstKeyCode{0, virt, modifier}; }
VstKeyCode ctrl(char c) { return VstKeyCode{c, 0, MODIFIER_CONTROL}; }

// Answers the field's requests (76, 80, 112) from a table (absent: no answer) and records them; every
// other report is a plain value change, recorded with the control's text.
struct ClearingListener : IControlListener {
    std::map<int32_t, int32_t> answers;
    std::vector<int32_t> requests;
    std::vector<std::string> texts;
    void valueChanged(CControl* c) override {
        uint32_t size = 0;
        int32_t request = 0;
        if (c->getAttribute(kTextEntryVetoAttribute, 4, &request, size) && (request == 76 || request == 80 || request == 112)) {
            requests.push_back(request);
            auto it = answers.find(request);
            if (it != answers.end())
                c->setAttribute(kTextEntryVetoAttribute, 4, &it->second);
            else
                c->removeAttribute(kTextEntryVetoAttribute);
            return;
        }
        texts.push_back(static_cast<CTextEdit*>(c)->getText());
    }
};

struct EditFixture {
    ClearingListener l;
    OffscreenFrame f{200, 40};
    CTextEdit* edit = new CTextEdit(CRect(10, 10, 110, 24), &l, 3, "abc");
    CView* elsewhere = new CView(CRect(150, 0, 200, 40));
    EditFixture() {
        f->addView(edit);
        f->addView(elsewhere);
    }
    std::string fieldText() const { return edit->getPlatformTextEdit() ? edit->getPlatformTextEdit()->getText() : "<closed>"; }
    size_t caret() const { return edit->getPlatformTextEdit()->getCaret(); }
};

}  // namespace

TEST(TextEdit, EditingKeysMoveTheCaretAndChangeTheText) {
    struct Step { std::function<void(COffscreenPlatform*)> act; std::string text; size_t caret; };
    struct Case { const char* name; std::string start; std::vector<Step> steps; } cases[] = {
        {"type at the end", "abc", {{[](auto* o) { o->typeText("dE"); }, "abcdE", 5}}},
        {"left, backspace, delete", "abcd",
         {{[](auto* o) { o->keyDown(key(VKEY_LEFT)); o->keyDown(key(VKEY_LEFT)); }, "abcd", 2},
          {[](auto* o) { o->keyDown(key(VKEY_BACK)); }, "acd", 1},
          {[](auto* o) { o->keyDown(key(VKEY_DELETE)); }, "ad", 1}}},
        {"home and end", "abc",
         {{[](auto* o) { o->keyDown(key(VKEY_HOME)); o->typeText("x"); }, "xabc", 1},
          {[](auto* o) { o->keyDown(key(VKEY_END)); o->typeText("y"); }, "xabcy", 5}}},
        {"UTF-8 characters move and delete whole", "a\xC3\xB1\xE2\x82\xAC",
         {{[](auto* o) { o->keyDown(key(VKEY_LEFT)); }, "a\xC3\xB1\xE2\x82\xAC", 3},
          {[](auto* o) { o->keyDown(key(VKEY_BACK)); }, "a\xE2\x82\xAC", 1},
          {[](auto* o) { o->typeText("\xF0\x9F\x8E\xB9"); }, "a\xF0\x9F\x8E\xB9\xE2\x82\xAC", 5}}},
        {"backspace at the start and delete at the end do nothing", "ab",
         {{[](auto* o) { o->keyDown(key(VKEY_DELETE)); }, "ab", 2},
          {[](auto* o) { o->keyDown(key(VKEY_HOME)); o->keyDown(key(VKEY_BACK)); }, "ab", 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditFixture e;
        e.edit->setText(c.start);
        e.f.off->click(CPoint(105, 15));  // near the right end: caret at the end
        e.f.off->keyDown(key(VKEY_END));  // the entry opens with all selected
        ASSERT_TRUE(e.edit->isEntryOpen());
        ASSERT_EQ(e.caret(), c.start.size());
        for (const auto& s : c.steps) {
            s.act(e.f.off);
            EXPECT_EQ(e.fieldText(), s.text);
            EXPECT_EQ(e.caret(), s.caret);
        }
        EXPECT_EQ(e.edit->getText(), c.start);  // nothing taken over while typing
    }
}

TEST(TextEdit, HowAnEntryEndsDecidesWhetherTheTextIsTakenOver) {
    struct Case {
        const char* name;
        std::function<void(COffscreenPlatform*)> end;
        bool flagAtStart;
        std::string text;
    } cases[] = {
        {"Return confirms", [](auto* o) { o->keyDown(key(VKEY_RETURN)); }, false, "abcX"},
        {"Escape restores", [](auto* o) { o->keyDown(key(VKEY_ESCAPE)); }, true, "abc"},
        {"click elsewhere, flag clear", [](auto* o) { o->click(CPoint(160, 20)); }, false, "abc"},
        {"click elsewhere, flag set", [](auto* o) { o->click(CPoint(160, 20)); }, true, "abcX"},
        {"Tab with nowhere to go still sets the flag", [](auto* o) { o->keyDown(key(VKEY_TAB)); o->click(CPoint(160, 20)); },
         false, "abcX"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditFixture e;
        e.f.off->click(CPoint(105, 15));
        e.f.off->keyDown(key(VKEY_END));  // the entry opens with all selected
        e.edit->setReturnPressed(c.flagAtStart);
        e.f.off->typeText("X");
        c.end(e.f.off);
        EXPECT_FALSE(e.edit->isEntryOpen());
        EXPECT_EQ(e.f->getFocusView(), nullptr);
        EXPECT_EQ(e.edit->getText(), c.text);
        // The taken-over text is reported once, bracketed as one edit.
        EXPECT_EQ(e.l.texts.size(), c.text == "abc" ? 0u : 1u);
        EXPECT_FALSE(e.edit->isEditing());
    }
}

TEST(TextEdit, TabMovesToTheNextFieldAndConfirms) {
    EditFixture e;
    auto* second = new CTextEdit(CRect(10, 26, 110, 38), nullptr, 4, "second");
    e.f->addView(second);
    e.f.off->click(CPoint(105, 15));
    e.f.off->keyDown(key(VKEY_END));  // the entry opens with all selected
    e.f.off->typeText("!");
    EXPECT_EQ(e.f.off->keyDown(key(VKEY_TAB)), 1);
    EXPECT_EQ(e.edit->getText(), "abc!");
    EXPECT_EQ(e.f->getFocusView(), second);
    EXPECT_TRUE(second->isEntryOpen());
}

TEST(TextEdit, DoubleClickStyleNeedsADoubleClick) {
    EditFixture e;
    e.edit->setStyle(kDoubleClickStyle);
    e.f.off->click(CPoint(50, 15));
    EXPECT_FALSE(e.edit->isEntryOpen());
    e.f.off->doubleClick(CPoint(50, 15));
    EXPECT_TRUE(e.edit->isEntryOpen());
}

TEST(TextEntryProtocol, ListenerThatAnswersNothingNeverLimitsOrRefuses) {
    EditFixture e;
    COffscreenPlatform::setClipboardText("pasted\nsecond line");
    e.f.off->click(CPoint(105, 15));
    e.f.off->keyDown(key(VKEY_END));  // the entry opens with all selected
    e.f.off->typeText("defghijklmnop");
    e.f.off->keyDown(ctrl('v'));
    EXPECT_EQ(e.fieldText(), "abcdefghijklmnoppasted");
    EXPECT_EQ(std::count(e.l.requests.begin(), e.l.requests.end(), 76), 14);
    EXPECT_EQ(std::count(e.l.requests.begin(), e.l.requests.end(), 80), 1);
    COffscreenPlatform::clearClipboard();
}

TEST(TextEntryProtocol, LengthLimitEndsTheEntryAndAsksAboutTheOverLongText) {
    struct Case { const char* name; std::optional<int32_t> answer112; std::string result; bool limitedLine; } cases[] = {
        {"refused: eight characters stay", 0, "abcdefgh", true},
        {"accepted: the ninth stays too", 1, "abcdefghi", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> debug;
        setDebugOutput([&](const char* line) { debug.push_back(line); });
        ClearingListener l;
        l.answers[76] = -8;
        l.answers[112] = *c.answer112;
        OffscreenFrame f(200, 40);
        auto* edit = new CTextEdit(CRect(10, 10, 110, 24), &l, 3, "abc");
        f->addView(edit);
        f.off->click(CPoint(105, 15));
        f.off->keyDown(key(VKEY_END));  // the entry opens with all selected
        f.off->typeText("defgh");
        EXPECT_TRUE(edit->isEntryOpen());
        f.off->typeText("i");
        EXPECT_FALSE(edit->isEntryOpen());  // the entry ended, confirmed
        EXPECT_EQ(edit->getText(), c.result);
        EXPECT_EQ(l.requests.back(), 112);
        EXPECT_EQ(debug == std::vector<std::string>{"limited!!!"}, c.limitedLine);
        f.off->typeText("j");  // nothing is open any more
        EXPECT_EQ(edit->getText(), c.result);
        setDebugOutput(nullptr);
    }
}

TEST(TextEntryProtocol, PasteRefusedOrTakenAndAnswerSizesThatDoNotCount) {
    COffscreenPlatform::setClipboardText("XY");
    struct Case { const char* name; std::function<void(CControl*)> answer; std::string text; } cases[] = {
        {"refused with 0", [](CControl* c) { int32_t z = 0; c->setAttribute(3, 4, &z); }, "abc"},
        {"one byte 0 refuses", [](CControl* c) { uint8_t z = 0; c->setAttribute(3, 1, &z); }, "abc"},
        {"any other answer pastes", [](CControl* c) { int32_t v = 5; c->setAttribute(3, 4, &v); }, "abcXY"},
        {"an empty attribute does not count", [](CControl* c) { c->setAttribute(3, 0, nullptr); }, "abcXY"},
        {"eight bytes do not count", [](CControl* c) { int64_t z = 0; c->setAttribute(3, 8, &z); }, "abcXY"},
        {"no attribute", [](CControl* c) { c->removeAttribute(3); }, "abcXY"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        struct L : IControlListener {
            std::function<void(CControl*)> answer;
            void valueChanged(CControl* ctl) override {
                int32_t r = 0;
                uint32_t s = 0;
                if (ctl->getAttribute(3, 4, &r, s) && r == 80) answer(ctl);
            }
        } l;
        l.answer = c.answer;
        OffscreenFrame f(200, 40);
        auto* edit = new CTextEdit(CRect(10, 10, 110, 24), &l, 3, "abc");
        f->addView(edit);
        f.off->click(CPoint(105, 15));
        f.off->keyDown(key(VKEY_END));  // the entry opens with all selected
        f.off->keyDown(ctrl('v'));
        EXPECT_EQ(edit->getPlatformTextEdit()->getText(), c.text);
    }
    COffscreenPlatform::clearClipboard();
    OffscreenFrame f(200, 40);
    auto* edit = new CTextEdit(CRect(10, 10, 110, 24), nullptr, 3, "abc");
    f->addView(edit);
    f.off->click(CPoint(105, 15));
    f.off->keyDown(key(VKEY_END));  // the entry opens with all selected
    f.off->keyDown(key(VKEY_INSERT, MODIFIER_SHIFT));  // empty clipboard: nothing
    EXPECT_EQ(edit->getPlatformTextEdit()->getText(), "abc");
}

TEST(TextEntryProtocol, ListenerThatEndsTheEntryWhileAnsweringIsSafe) {
    struct L : IControlListener {
        void valueChanged(CControl* c) override {
            if (auto* f = c->getFrame()) f->setFocusView(nullptr);
        }
    } l;
    OffscreenFrame f(200, 40);
    auto* edit = new CTextEdit(CRect(10, 10, 110, 24), &l, 3, "abc");
    f->addView(edit);
    f.off->click(CPoint(105, 15));
    f.off->keyDown(key(VKEY_END));  // the entry opens with all selected
    f.off->typeText("d");
    EXPECT_FALSE(edit->isEntryOpen());
    EXPECT_EQ(edit->getText(), "abc");
}

TEST(TextEdit, AnEntryOpensAllSelectedAndTheSelectionIsEditedAsOne) {
    struct Case {
        const char* name;
        std::function<void(COffscreenPlatform*)> act;
        std::string text;
        std::optional<std::string> clipboard;  // after the steps, when they copy
    } cases[] = {
        {"typing replaces the whole text", [](auto* o) { o->typeText("20"); }, "20", {}},
        {"Shift+Left selects from the end",
         [](auto* o) {
             o->keyDown(key(VKEY_END));
             o->keyDown(key(VKEY_LEFT, MODIFIER_SHIFT));
             o->keyDown(key(VKEY_LEFT, MODIFIER_SHIFT));
             o->typeText("X");
         },
         "abcdX", {}},
        {"Shift+Home and Backspace empty the field",
         [](auto* o) {
             o->keyDown(key(VKEY_END));
             o->keyDown(key(VKEY_HOME, MODIFIER_SHIFT));
             o->keyDown(key(VKEY_BACK));
         },
         "", {}},
        {"Left collapses the selection to its start", [](auto* o) { o->keyDown(key(VKEY_LEFT)); o->typeText("X"); },
         "Xabcdef", {}},
        {"Delete removes the selection only",
         [](auto* o) {
             o->keyDown(key(VKEY_HOME));
             o->keyDown(key(VKEY_RIGHT, MODIFIER_SHIFT));
             o->keyDown(key(VKEY_DELETE));
         },
         "bcdef", {}},
        {"Ctrl+A selects all again", [](auto* o) { o->keyDown(key(VKEY_HOME)); o->keyDown(ctrl('a')); o->typeText("Z"); },
         "Z", {}},
        {"Ctrl+C copies the selection and leaves the text",
         [](auto* o) {
             o->keyDown(key(VKEY_END));
             for (int i = 0; i < 3; ++i) o->keyDown(key(VKEY_LEFT, MODIFIER_SHIFT));
             o->keyDown(ctrl('c'));
         },
         "abcdef", "def"},
        {"Ctrl+X cuts the selection",
         [](auto* o) {
             o->keyDown(key(VKEY_HOME));
             o->keyDown(key(VKEY_RIGHT, MODIFIER_SHIFT));
             o->keyDown(key(VKEY_RIGHT, MODIFIER_SHIFT));
             o->keyDown(ctrl('x'));
         },
         "cdef", "ab"},
        {"Ctrl+C without a selection leaves the clipboard", [](auto* o) { o->keyDown(key(VKEY_END)); o->keyDown(ctrl('c')); },
         "abcdef", "before"},
        {"a paste replaces the selection", [](auto* o) { o->keyDown(ctrl('v')); }, "before", "before"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        COffscreenPlatform::setClipboardText("before");
        EditFixture e;
        e.edit->setText("abcdef");
        e.f.off->click(CPoint(105, 15));
        ASSERT_TRUE(e.edit->isEntryOpen());
        EXPECT_EQ(e.edit->getPlatformTextEdit()->getSelectedText(), "abcdef");
        c.act(e.f.off);
        EXPECT_EQ(e.fieldText(), c.text);
        if (c.clipboard) {
            std::string clip;
            EXPECT_TRUE(e.f->getClipboardText(clip));
            EXPECT_EQ(clip, *c.clipboard);
        }
    }
    COffscreenPlatform::clearClipboard();
}

TEST(TextEdit, TheMouseSelectsByDragShiftClickAndDoubleClick) {
    EditFixture e;
    e.edit->setText("abcdef");
    e.edit->setHoriAlign(kLeftText);
    e.f.off->click(CPoint(50, 15));
    ASSERT_TRUE(e.edit->isEntryOpen());
    auto* field = e.edit->getPlatformTextEdit();
    // A press places the caret, a drag selects from there.
    e.f.off->mouseDown(CPoint(12, 15));
    EXPECT_FALSE(field->hasSelection());
    EXPECT_EQ(field->getCaret(), 0u);
    e.f.off->mouseMove(CPoint(108, 15), kLButton);
    e.f.off->mouseUp(CPoint(108, 15));
    EXPECT_EQ(field->getSelectedText(), "abcdef");
    // A click collapses it; Shift+click extends from the caret.
    e.f.off->click(CPoint(12, 15));
    EXPECT_FALSE(field->hasSelection());
    e.f.off->click(CPoint(108, 15), kLButton | kShift);
    EXPECT_EQ(field->getSelectedText(), "abcdef");
    e.f.off->click(CPoint(108, 15));
    e.f.off->doubleClick(CPoint(50, 15));
    EXPECT_EQ(field->getSelectedText(), "abcdef");
}

TEST(TextEdit, TheSelectionIsDrawnHighlighted) {
    auto highlighted = [](COffscreenPlatform* o) {
        int n = 0;
        for (int y = 10; y < 24; ++y)
            for (int x = 10; x < 110; ++x) {
                const CColor p = o->getPixel(x, y);
                n += p.blue > 150 && p.red < 90 && p.green > 70 && p.green < 130;
            }
        return n;
    };
    EditFixture e;
    e.edit->setBackColor(kBlackCColor);
    e.f.off->click(CPoint(105, 15));
    EXPECT_GT(highlighted(e.f.off), 20);
    e.f.off->keyDown(key(VKEY_END));
    EXPECT_EQ(highlighted(e.f.off), 0);
}

TEST(TextEdit, TheWindowGivesTheKeyboardBackWhenTheEntryEnds) {
    struct Case {
        const char* name;
        std::function<void(COffscreenPlatform*)> end;
    } cases[] = {
        {"Return", [](auto* o) { o->keyDown(key(VKEY_RETURN)); }},
        {"Escape", [](auto* o) { o->keyDown(key(VKEY_ESCAPE)); }},
        {"a click elsewhere", [](auto* o) { o->click(CPoint(160, 20)); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditFixture e;
        EXPECT_FALSE(e.f.off->hasKeyboardFocus());
        e.f.off->click(CPoint(105, 15));
        EXPECT_TRUE(e.f.off->hasKeyboardFocus());
        c.end(e.f.off);
        EXPECT_FALSE(e.edit->isEntryOpen());
        EXPECT_FALSE(e.f.off->hasKeyboardFocus());
    }
    // Tab to another field keeps it.
    EditFixture e;
    e.f->addView(new CTextEdit(CRect(10, 26, 110, 38), nullptr, 4, "second"));
    e.f.off->click(CPoint(105, 15));
    e.f.off->keyDown(key(VKEY_TAB));
    EXPECT_TRUE(e.f.off->hasKeyboardFocus());
}
