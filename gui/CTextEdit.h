// Single-line text entry drawn in the frame: caret and selection, insert, delete, arrows, Home and End,
// select all, copy and cut, UTF-8 aware.
#pragma once

#include "gui/CParamDisplay.h"

#include <algorithm>
#include <memory>
#include <string>

namespace qgui {

class CTextEdit;

// What the text field being edited needs from its control. The return-pressed flag says whether the
// entry ends confirmed: Return sets it, Escape clears it, a Tab and the length limit set it.
class IPlatformTextEditCallback {
public:
    virtual ~IPlatformTextEditCallback() = default;
    virtual void platformLooseFocus(bool returnPressed) = 0;
    virtual bool platformOnKeyDown(const VstKeyCode& key) = 0;
    virtual void platformTextDidChange() = 0;
    virtual void setReturnPressed(bool state) = 0;
    virtual bool getReturnPressed() const = 0;
};

// View attribute of the text control through which the field asks its listener (request codes below);
// the listener answers in the same attribute.
constexpr uint32_t kTextEntryVetoAttribute = 3;
enum TextEntryRequest : int32_t {
    kTextEntryAskLength = 76,    // text changed: answer −m to limit it to m characters
    kTextEntryAskPaste = 80,     // paste: answer 0 to refuse
    kTextEntryAskOverLong = 112  // over the limit: answer 0 to refuse the new text
};

// The field while an entry runs. It lives from the control's takeFocus to its looseFocus; every change
// of the text goes through the listener's length check first. It opens with the whole text selected, so
// typing replaces it; the selection runs from the anchor to the caret.
class CPlatformTextEdit {
public:
    CPlatformTextEdit(CTextEdit* control, IPlatformTextEditCallback* callback, const std::string& text);
    ~CPlatformTextEdit();

    const std::string& getText() const { return text; }
    size_t getCaret() const { return caret; }
    // Moves the caret; with `extend` the anchor stays, so the selection grows or shrinks.
    void setCaret(size_t byteIndex, bool extend = false);
    size_t getSelectionStart() const { return std::min(anchor, caret); }
    size_t getSelectionEnd() const { return std::max(anchor, caret); }
    bool hasSelection() const { return anchor != caret; }
    std::string getSelectedText() const;
    void selectAll();

    // Editing keys; false for a key the field leaves alone (printable keys arrive as text).
    bool onKeyDown(const VstKeyCode& key);
    bool onTextInput(const std::string& utf8);
    // Paste from the clipboard unless the listener refuses it.
    bool paste();
    // The selection to the clipboard; cut also removes it. False when nothing is selected.
    bool copy();
    bool cut();

private:
    // Asks the listener through the veto attribute; the answer, or the request when nobody answered.
    int32_t ask(int32_t request);
    // The text-change handler: the listener's length check, then the new text (or not).
    void changeText(const std::string& newText, size_t newCaret);
    // The text with the selection replaced by `insert`, the caret after it.
    void replaceSelection(const std::string& insert);
    // Byte index at or before i that starts a character.
    size_t boundary(size_t i) const;

    CTextEdit* control;
    IPlatformTextEditCallback* callback;
    std::string text;
    size_t caret;
    size_t anchor = 0;
    std::shared_ptr<bool> alive;
};

// With kDoubleClickStyle a double click starts the entry, else a single click. While the entry runs the
// control is the frame's focus view and draws the field's text and caret.
class CTextEdit : public CTextLabel, public IPlatformTextEditCallback {
public:
    CTextEdit(const CRect& size, IControlListener* listener, int32_t tag, const char* text = nullptr,
              CBitmap* background = nullptr, int32_t style = 0);
    ~CTextEdit() override;

    void setText(const std::string& utf8) override;
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    // While the field is open a drag with the left button selects.
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& key) override;
    int32_t onKeyUp(VstKeyCode& key) override;
    bool onTextInput(const std::string& utf8) override;
    void takeFocus() override;
    void looseFocus() override;
    bool wantsFocus() const override { return true; }

    void platformLooseFocus(bool returnPressed) override;
    bool platformOnKeyDown(const VstKeyCode& key) override;
    void platformTextDidChange() override;
    void setReturnPressed(bool state) override { bWasReturnPressed = state; }
    bool getReturnPressed() const override { return bWasReturnPressed; }

    CPlatformTextEdit* getPlatformTextEdit() const { return platformControl.get(); }
    bool isEntryOpen() const { return platformControl != nullptr; }

protected:
    // For subclasses with a looseFocus of their own: takes the field away from the control.
    std::unique_ptr<CPlatformTextEdit> takePlatformTextEdit() { return std::move(platformControl); }
    // Takes a new text over as one edit (begin, text, one report, end); false when it is the same.
    bool commitText(const std::string& newText);
    // Caret position (byte index) nearest to a point.
    size_t caretAt(const CPoint& where) const;
    CRect textRect() const;
    // A press inside the open field: places the caret (Shift extends, a double click selects all) and
    // asks for the moves of a drag.
    CMouseEventResult pressInField(const CPoint& where, const CButtonState& buttons);

    std::unique_ptr<CPlatformTextEdit> platformControl;
    bool bWasReturnPressed = false;
};

}  // namespace qgui
