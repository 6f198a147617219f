#include "gui/CTextEdit.h"

#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/CFontDesc.h"
#include "gui/guiServices.h"
#include "gui/utf8.h"

#include <cstring>

namespace qgui {

namespace {

constexpr CColor kSelectionColor{51, 102, 204, 255};

// Left edge of the text while editing: aligned like the label while it fits, else scrolled so that the
// caret stays inside.
CCoord textStart(const CFontDesc* font, const std::string& text, size_t caret, const CRect& r, CHoriTxtAlign align) {
    CCoord full = CDrawContext::measureString(font, text);
    CCoord w = r.getWidth();
    if (full <= w) {
        if (align == kCenterText) return r.left + (w - full) / 2;
        if (align == kRightText) return r.right - full;
        return r.left;
    }
    CCoord cx = CDrawContext::measureString(font, text.substr(0, caret));
    return r.left + std::min(0.0, w - 2 - cx);
}

}  // namespace

CPlatformTextEdit::CPlatformTextEdit(CTextEdit* c, IPlatformTextEditCallback* cb, const std::string& t)
    : control(c), callback(cb), text(t), caret(t.size()), anchor(0), alive(std::make_shared<bool>(true)) {}

CPlatformTextEdit::~CPlatformTextEdit() { *alive = false; }

size_t CPlatformTextEdit::boundary(size_t i) const {
    i = std::min(i, text.size());
    while (i > 0 && i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
    return i;
}

void CPlatformTextEdit::setCaret(size_t i, bool extend) {
    caret = boundary(i);
    if (!extend) anchor = caret;
    control->invalid();
}

void CPlatformTextEdit::selectAll() {
    anchor = 0;
    caret = text.size();
    control->invalid();
}

std::string CPlatformTextEdit::getSelectedText() const {
    return text.substr(getSelectionStart(), getSelectionEnd() - getSelectionStart());
}

void CPlatformTextEdit::replaceSelection(const std::string& insert) {
    const size_t a = getSelectionStart(), b = getSelectionEnd();
    changeText(text.substr(0, a) + insert + text.substr(b), a + insert.size());
}

int32_t CPlatformTextEdit::ask(int32_t request) {
    // The listener may end the entry and delete this field: only locals after the call.
    CTextEdit* ctl = control;
    ctl->setAttribute(kTextEntryVetoAttribute, sizeof request, &request);
    if (IControlListener* l = ctl->getListener()) l->valueChanged(ctl);
    // An answer counts when the attribute holds 1 to 4 bytes; the bytes it lacks keep the request.
    int32_t answer = request;
    uint32_t size = 0;
    if (ctl->getAttributeSize(kTextEntryVetoAttribute, size) && size >= 1 && size <= 4) {
        uint8_t bytes[4];
        uint32_t got = 0;
        if (ctl->getAttribute(kTextEntryVetoAttribute, sizeof bytes, bytes, got)) std::memcpy(&answer, bytes, got);
    }
    return answer;
}

void CPlatformTextEdit::changeText(const std::string& newText, size_t newCaret) {
    // The listener may end the entry (and so delete this field) while it answers: keep what is needed
    // after a question in locals and look at `token` before touching members.
    auto token = alive;
    CTextEdit* ctl = control;
    IPlatformTextEditCallback* cb = callback;
    ctl->remember();
    size_t n = utf8::utf16Length(newText);
    int32_t a = ask(kTextEntryAskLength);
    if (*token && a < 0 && n > static_cast<size_t>(-static_cast<int64_t>(a))) {
        // Over the limit: the field still holds the previous text while the control hears of it.
        cb->platformTextDidChange();
        int32_t b = *token ? ask(kTextEntryAskOverLong) : 0;
        if (*token) {
            if (b == 0) {
                debugOutput("limited!!!");
            } else {
                text = newText;
                caret = anchor = std::min(newCaret, text.size());
            }
            // The entry ends confirmed, with the previous text or the accepted one.
            cb->setReturnPressed(true);
            cb->platformLooseFocus(true);
        }
    } else if (*token) {
        text = newText;
        caret = std::min(newCaret, text.size());
        anchor = caret;
        cb->platformTextDidChange();
    }
    ctl->forget();
}

bool CPlatformTextEdit::onKeyDown(const VstKeyCode& key) {
    const bool ctrl = key.modifier & (MODIFIER_CONTROL | MODIFIER_COMMAND);
    const bool shift = key.modifier & MODIFIER_SHIFT;
    switch (key.virt) {
        case VKEY_RETURN:
        case VKEY_ENTER:
            callback->platformLooseFocus(true);
            return true;
        case VKEY_ESCAPE:
            callback->platformLooseFocus(false);
            return true;
        case VKEY_TAB:
            callback->setReturnPressed(true);
            callback->platformOnKeyDown(key);
            return true;
        case VKEY_LEFT:
            // Without Shift an arrow first collapses a selection to its edge.
            if (hasSelection() && !shift)
                setCaret(getSelectionStart());
            else
                setCaret(utf8::previous(text, caret), shift);
            return true;
        case VKEY_RIGHT:
            if (hasSelection() && !shift)
                setCaret(getSelectionEnd());
            else
                setCaret(utf8::next(text, caret), shift);
            return true;
        case VKEY_HOME: setCaret(0, shift); return true;
        case VKEY_END: setCaret(text.size(), shift); return true;
        case VKEY_BACK:
            if (hasSelection()) {
                replaceSelection("");
            } else if (caret > 0) {
                size_t p = utf8::previous(text, caret);
                changeText(text.substr(0, p) + text.substr(caret), p);
            }
            return true;
        case VKEY_DELETE:
            if (shift) {
                cut();
            } else if (hasSelection()) {
                replaceSelection("");
            } else if (caret < text.size()) {
                changeText(text.substr(0, caret) + text.substr(utf8::next(text, caret)), caret);
            }
            return true;
        case VKEY_INSERT:
            if (shift)
                paste();
            else if (ctrl)
                copy();
            return true;
        default: break;
    }
    if (ctrl) {
        switch (key.character) {
            case 'a':
            case 'A': selectAll(); return true;
            case 'c':
            case 'C': copy(); return true;
            case 'x':
            case 'X': cut(); return true;
            case 'v':
            case 'V': paste(); return true;
            default: break;
        }
    }
    // Other control combinations do nothing in the field; plain keys come back as text.
    return ctrl;
}

bool CPlatformTextEdit::onTextInput(const std::string& utf8) {
    std::string clean;
    for (char c : utf8)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) clean += c;
    if (clean.empty()) return false;
    replaceSelection(clean);
    return true;
}

bool CPlatformTextEdit::copy() {
    if (!hasSelection()) return false;
    return writeClipboardText(control->getFrame(), getSelectedText());
}

bool CPlatformTextEdit::cut() {
    if (!copy()) return false;
    replaceSelection("");
    return true;
}

bool CPlatformTextEdit::paste() {
    auto token = alive;
    int32_t a = ask(kTextEntryAskPaste);
    if (!*token || a == 0) return false;
    std::string clip;
    if (!readClipboardText(control->getFrame(), clip)) return false;
    // A single-line field takes the first line.
    clip = clip.substr(0, clip.find_first_of("\r\n"));
    return onTextInput(clip);
}

CTextEdit::CTextEdit(const CRect& size, IControlListener* l, int32_t t, const char* txt, CBitmap* bg, int32_t st)
    : CTextLabel(size, txt, bg, st) {
    setListener(l);
    setTag(t);
    setMouseEnabled(true);
    setWantsFocus(true);
}

CTextEdit::~CTextEdit() { platformControl.reset(); }

void CTextEdit::setText(const std::string& utf8) { CTextLabel::setText(utf8); }

CRect CTextEdit::textRect() const {
    CRect r = size;
    r.inset(textInset.x, textInset.y);
    return r;
}

void CTextEdit::draw(CDrawContext* context) {
    if (!platformControl) {
        CTextLabel::draw(context);
        return;
    }
    drawBack(context);
    const std::string& t = platformControl->getText();
    CRect r = textRect();
    CCoord start = textStart(fontID, t, platformControl->getCaret(), r, horiTxtAlign);
    const CRect line(start, r.top, start + CDrawContext::measureString(fontID, t) + 1, r.bottom);
    CCoord h = fontID ? fontID->getSize() : 12;
    CCoord cy = r.top + (r.getHeight() - h) / 2;
    context->saveGlobalState();
    context->setClipRect(size);
    context->setFont(fontID);
    context->setFontColor(fontColor);
    context->drawString(t, line, kLeftText, antialias);
    if (platformControl->hasSelection()) {
        // The selection: light text on the highlight, over the text drawn plainly.
        const CCoord x0 = start + CDrawContext::measureString(fontID, t.substr(0, platformControl->getSelectionStart()));
        const CCoord x1 = start + CDrawContext::measureString(fontID, t.substr(0, platformControl->getSelectionEnd()));
        CRect band(x0, std::max(r.top, cy - 1), x1 + 1, std::min(r.bottom, cy + h + 1));
        band.bound(size);
        context->setClipRect(band);
        context->setFillColor(kSelectionColor);
        context->drawRect(band, kDrawFilled);
        context->setFontColor(kWhiteCColor);
        context->drawString(t, line, kLeftText, antialias);
        context->setClipRect(size);
    }
    CCoord cx = std::min(start + CDrawContext::measureString(fontID, t.substr(0, platformControl->getCaret())), r.right - 1);
    context->setFrameColor(fontColor);
    context->setLineWidth(1);
    context->drawLine(CPoint(cx, cy), CPoint(cx, cy + h));
    context->restoreGlobalState();
    setDirty(false);
}

size_t CTextEdit::caretAt(const CPoint& where) const {
    if (!platformControl) return 0;
    const std::string& t = platformControl->getText();
    CRect r = textRect();
    CCoord start = textStart(fontID, t, platformControl->getCaret(), r, horiTxtAlign);
    size_t best = 0;
    CCoord bestDistance = std::abs(where.x - start);
    for (size_t i = utf8::next(t, 0); i <= t.size() && i > 0; i = (i == t.size()) ? t.size() + 1 : utf8::next(t, i)) {
        CCoord d = std::abs(where.x - (start + CDrawContext::measureString(fontID, t.substr(0, i))));
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

CMouseEventResult CTextEdit::pressInField(const CPoint& where, const CButtonState& buttons) {
    if (buttons & kDoubleClick)
        platformControl->selectAll();
    else
        platformControl->setCaret(caretAt(where), buttons & kShift);
    return kMouseEventHandled;
}

CMouseEventResult CTextEdit::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    if (platformControl) return pressInField(where, buttons);
    if ((style & kDoubleClickStyle) && !(buttons & kDoubleClick)) return kMouseEventNotHandled;
    // The entry opens with the whole text selected, so typing replaces it.
    takeFocus();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

CMouseEventResult CTextEdit::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!platformControl || !(buttons & kLButton)) return kMouseEventNotHandled;
    platformControl->setCaret(caretAt(where), true);
    return kMouseEventHandled;
}

CMouseEventResult CTextEdit::onMouseUp(CPoint&, const CButtonState&) {
    return platformControl ? kMouseEventHandled : kMouseEventNotHandled;
}

int32_t CTextEdit::onKeyDown(VstKeyCode& key) {
    if (platformControl) {
        remember();
        bool taken = platformControl->onKeyDown(key);
        forget();
        return taken ? 1 : -1;
    }
    if (key.modifier == 0 && (key.virt == VKEY_RETURN || key.virt == VKEY_ENTER)) {
        takeFocus();
        return 1;
    }
    return -1;
}

int32_t CTextEdit::onKeyUp(VstKeyCode&) { return platformControl ? 1 : -1; }

bool CTextEdit::onTextInput(const std::string& utf8) {
    if (!platformControl) return false;
    remember();
    bool taken = platformControl->onTextInput(utf8);
    forget();
    return taken;
}

void CTextEdit::takeFocus() {
    if (platformControl) return;
    CFrame* frame = getFrame();
    if (!frame) return;
    // The frame's focus change calls takeFocus again, which opens the field.
    if (frame->getFocusView() != this) {
        frame->setFocusView(this);
        return;
    }
    platformControl = std::make_unique<CPlatformTextEdit>(this, this, text);
    invalid();
}

bool CTextEdit::commitText(const std::string& newText) {
    if (newText == text) return false;
    beginEdit();
    setText(newText);
    valueChanged();
    endEdit();
    return true;
}

void CTextEdit::looseFocus() {
    if (!platformControl) return;
    remember();
    auto field = takePlatformTextEdit();
    if (bWasReturnPressed) commitText(field->getText());
    field.reset();
    bWasReturnPressed = false;
    invalid();
    if (CFrame* frame = getFrame(); frame && frame->getFocusView() == this) frame->setFocusView(nullptr);
    forget();
}

void CTextEdit::platformLooseFocus(bool returnPressed) {
    bWasReturnPressed = returnPressed;
    remember();
    if (CFrame* frame = getFrame(); frame && frame->getFocusView() == this)
        frame->setFocusView(nullptr);
    else
        looseFocus();
    forget();
}

bool CTextEdit::platformOnKeyDown(const VstKeyCode& key) {
    CFrame* frame = getFrame();
    if (key.virt == VKEY_TAB && frame) return frame->advanceNextFocusView(this, key.modifier & MODIFIER_SHIFT);
    return false;
}

void CTextEdit::platformTextDidChange() { invalid(); }

}  // namespace qgui
