#include "editor-framework/controls/vgcTextLabel.h"

#include "editor-framework/podoSkin.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/utf8.h"

#include <algorithm>
#include <cstdlib>
#include <string>

using namespace qgui;

namespace {

const std::string noText;

// Right-aligned text keeps off its box's edge (in unzoomed pixels, so at every zoom).
CCoord rightMargin(CHoriTxtAlign align) { return align == kRightText ? 2 : 0; }

// `r` less the right and bottom insets.
CRect shrunk(CRect r, const CRect &insets)
{
    r.right -= insets.right;
    r.bottom -= insets.bottom;
    return r;
}

} // namespace

std::string fitText(const std::string &text, const CFontDesc *font, CCoord width, CCoord size,
                    const CDrawContext *context)
{
    const auto measure = [&](const std::string &s) {
        return context ? context->measureDrawnString(font, s, size) : CDrawContext::measureString(font, s, size);
    };
    if (!font || measure(text) <= width)
        return text;
    static const std::string ellipsis = "\xE2\x80\xA6";
    std::string s = text;
    while (!s.empty()) {
        s.erase(utf8::previous(s, s.size()));
        // No space is left before the ellipsis.
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        if (measure(s + ellipsis) <= width)
            break;
    }
    return s + ellipsis;
}

vgcTextLabel::vgcTextLabel(const CRect &size, IControlListener *listener, int32_t tag, CBitmap *background,
                           int32_t count, int32_t style)
    : vgcWith<CTextLabel>(size, nullptr, background, style), partCount(std::clamp(count, 0, maxParts))
{
    controlSignal::applyRules(this, listener, tag);
    for (int32_t i = 0; i < partCount; ++i) {
        setPartText(" ", i);
        partColors[i] = vgcSkinColor(skinFontDefault);
    }
    setBackColor(vgcSkinColor(skinBackDefault));
    setFrameColor(CColor{0, 0, 0, 0});
    setHoriAlign(kCenterText);
    if (sharedFontNormal)
        setFont(sharedFontNormal);
}

const std::string &vgcTextLabel::getPartText(int32_t part) const
{
    return part >= 0 && part < partCount ? parts[part] : noText;
}

const std::string &vgcTextLabel::getShownText(int32_t part) const
{
    return part >= 0 && part < partCount ? shownParts[part] : noText;
}

CColor vgcTextLabel::getPartColor(int32_t part) const
{
    return part >= 0 && part < maxParts ? partColors[part] : kTransparentCColor;
}

void vgcTextLabel::setFontAndStyle(CFontDesc *font, int32_t n)
{
    if (font)
        setFont(font);
    if (n >= 0)
        styleNumber = n;
}

void vgcTextLabel::setPartColor(CColor colour, int32_t part)
{
    if (part < 0 || part >= maxParts || partColors[part] == colour)
        return;
    partColors[part] = colour;
    setDirty();
}

void vgcTextLabel::setPartText(const char *newText, int32_t part)
{
    if (part == 0)
        setText(newText ? newText : "");
    if (part < 0 || part >= partCount)
        return;
    if (!newText) {
        if (!parts[part].empty()) {
            parts[part].clear();
            setDirty();
        }
        return;
    }
    const char *stored = *newText ? newText : " ";
    if (parts[part] == stored)
        return;
    parts[part] = stored;
    setDirty();
}

void vgcTextLabel::setPartValue(int32_t n, int32_t part)
{
    if (part >= 0 && part < partCount)
        setPartText(std::to_string(n).c_str(), part);
}

void vgcTextLabel::clearParts()
{
    setText("");
    for (int32_t i = 0; i < partCount; ++i)
        if (!parts[i].empty()) {
            parts[i].clear();
            setDirty();
        }
}

void vgcTextLabel::truncateParts(int32_t first)
{
    first = std::clamp(first, 0, partCount);
    for (int32_t i = first; i < partCount; ++i)
        std::string().swap(parts[i]);
    partCount = first;
    setDirty();
}

void vgcTextLabel::setTextOffset(int32_t x, int32_t y)
{
    textOffset = CPoint(x, y);
    setDirty();
}

void vgcTextLabel::setTextInsets(int32_t left, int32_t top, int32_t right, int32_t bottom, bool flag)
{
    textInsets = CRect(left, top, right, bottom);
    insetsFlag = flag;
    setDirty();
}

void vgcTextLabel::setBackColor(const CColor &colour)
{
    CTextLabel::setBackColor(colour);
    setDirty();
}

void vgcTextLabel::drawParts(CDrawContext *context, const std::string &line, const CRect &rect)
{
    CRect saved;
    context->getClipRect(saved);
    CRect r = rect;
    if (insetsFlag)
        r = shrunk(r, textInsets);
    context->setClipRect(CRect(r).bound(saved));
    drawBack(context);
    if (!insetsFlag)
        r = shrunk(r, textInsets);
    const CRect textRect(r.left + textInsets.left + textOffset.x, r.top + textInsets.top + textOffset.y + imageBorder(),
                         r.right + textOffset.x - rightMargin(horiTxtAlign), r.bottom + textOffset.y);
    context->setClipRect(CRect(textRect).bound(saved));
    // Drawn here rather than through the display's text drawing: style bit 2 is this label's outline,
    // not the display's shadow.
    const CCoord fontSize = CDrawContext::fittingFontSize(fontID, textRect.getHeight());
    context->setFont(fontID, fontSize);
    context->setFontColor(fontColor);
    context->drawString(fitText(line, fontID, textRect.getWidth(), fontSize, context), textRect, horiTxtAlign, antialias);
    context->setClipRect(saved);
}

void vgcTextLabel::draw(CDrawContext *context)
{
    const CColor ownColor = fontColor;
    const CCoord lineHeight = size.getHeight();
    for (int32_t i = 0; i < partCount; ++i) {
        if (parts[i].empty())
            continue;
        CRect line = size;
        line.offset(0, i * lineHeight);
        const std::string &shown = i > 0 ? parts[i] : (truncatedText.empty() ? text : truncatedText);
        shownParts[i] = fitText(shown, fontID, size.getWidth() - textInsets.left - textInsets.right - rightMargin(horiTxtAlign),
                                CDrawContext::fittingFontSize(fontID, lineHeight - textInsets.top - textInsets.bottom - imageBorder()));
        if (style & kShadowText) {
            fontColor = shadowColor;
            for (auto [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}})
                drawParts(context, shown, CRect(line).offset(dx, dy));
        }
        fontColor = partColors[i];
        drawParts(context, shown, line);
    }
    fontColor = ownColor;
    drawLabel(context);
    setDirty(false);
}

CMouseEventResult vgcTextLabel::onMouseDown(CPoint &where, const CButtonState &buttons)
{
    if (controlSignal::mouseDownPrologue(this, buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    value = 0.0f;
    if (!(buttons & kLButton))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    if ((style & kDoubleClickStyle) && (buttons & kDoubleClick)) {
        value = controlSignal::doubleClick;
    } else if (style & kDragStepStyle) {
        dragPoint = where;
        beginEdit();
        return kMouseEventHandled;
    }
    if (listener)
        valueChanged();
    if (value >= controlSignal::doubleClick)
        value -= controlSignal::doubleClick;
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

CMouseEventResult vgcTextLabel::onMouseMoved(CPoint &where, const CButtonState &)
{
    if (!isEditing())
        return kMouseEventNotHandled;
    const CCoord d = dragPoint.y - where.y;
    if (std::abs(d) >= 5) {
        dragPoint = where;
        value = d > 0 ? 1.0f : 0.5f;
        valueChanged();
    }
    return kMouseEventHandled;
}

CMouseEventResult vgcTextLabel::onMouseUp(CPoint &, const CButtonState &)
{
    if (value == 0.0f && listener)
        valueChanged();
    endEdit();
    return kMouseEventHandled;
}

bool vgcTextLabel::onWheel(const CPoint &, const float &distance, const CButtonState &buttons)
{
    return controlSignal::wheelSignal(this, distance, buttons);
}

vgcTextEdit::vgcTextEdit(const CRect &size, IControlListener *listener, int32_t tag, CBitmap *background,
                         bool returnOnly)
    : vgcWith<CTextEdit>(size, nullptr, -1, nullptr, background, kNoFrame), returnOnly(returnOnly)
{
    controlSignal::applyRules(this, listener, tag);
    setHoriAlign(kRightText);
    if (sharedFontNormal)
        setFont(sharedFontNormal);
    setFontColor(vgcSkinColor(skinFontDefault));
    setBackColor(vgcSkinColor(skinBackDefault));
}

void vgcTextEdit::setTextFromNumber(int32_t n) { setText(std::to_string(n)); }

void vgcTextEdit::setTextOffset(int32_t x, int32_t y)
{
    textOffset = CPoint(x, y);
    setDirty();
}

void vgcTextEdit::setTextInsets(int32_t left, int32_t top, int32_t right, int32_t bottom, bool flag)
{
    textInsets = CRect(left, top, right, bottom);
    insetsFlag = flag;
    setDirty();
}

void vgcTextEdit::setValue(float v) { CControl::setValue(v); }

void vgcTextEdit::setEntryFlag(int32_t state)
{
    if (CFrame *frame = getFrame())
        frame->setAttribute(kTextEntryFlagAttribute, sizeof state, &state);
}

void vgcTextEdit::draw(CDrawContext *context)
{
    if (isEntryOpen()) {
        // The field being edited shows its own text and caret.
        CTextEdit::draw(context);
        drawLabel(context);
        return;
    }
    CRect saved;
    context->getClipRect(saved);
    const CRect inner = shrunk(size, textInsets);
    context->setClipRect(CRect(inner).bound(saved));
    drawBack(context);
    const CRect textRect(size.left + textInsets.left + textOffset.x,
                         size.top + textInsets.top + textOffset.y + imageBorder(),
                         inner.right + textOffset.x - rightMargin(horiTxtAlign), inner.bottom + textOffset.y);
    shownText = fitText(truncatedText.empty() ? text : truncatedText, fontID, textRect.getWidth(),
                        CDrawContext::fittingFontSize(fontID, textRect.getHeight()), context);
    drawPlatformText(context, shownText, textRect);
    drawLabel(context);
    context->setClipRect(saved);
    setDirty(false);
}

CMouseEventResult vgcTextEdit::onMouseDown(CPoint &where, const CButtonState &buttons)
{
    value = 0.0f;
    if ((buttons & kModifierKeys) && listener && listener->controlModifierClicked(this, buttons) != 0)
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    if (controlSignal::mouseDownPrologue(this, buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    if (!(buttons & kLButton))
        return kMouseEventNotHandled;
    CFrame *frame = getFrame();
    if (frame && frame->getFocusView() == this) {
        // The field under the pointer takes the click: the caret moves there, a drag selects.
        if (isEntryOpen())
            return pressInField(where, buttons);
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    if (!(style & kDoubleClickStyle) || (buttons & kDoubleClick)) {
        // The entry opens with the whole text selected, so typing replaces it.
        takeFocus();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    valueChanged();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

void vgcTextEdit::takeFocus()
{
    if (isEntryOpen())
        return;
    CFrame *frame = getFrame();
    if (!frame)
        return;
    // Becoming the focus view calls this again, which then opens the field.
    if (frame->getFocusView() != this) {
        frame->setFocusView(this);
        return;
    }
    setReturnPressed(!returnOnly);
    setEntryFlag(1);
    CTextEdit::takeFocus();
}

void vgcTextEdit::looseFocus()
{
    if (!isEntryOpen())
        return;
    remember();
    setEntryFlag(0);
    auto field = takePlatformTextEdit();
    const std::string before = text;
    if (getReturnPressed())
        commitText(field->getText());
    field.reset();
    setReturnPressed(false);
    value = text != before ? controlSignal::textEntry : 0.0f;
    if (listener)
        valueChanged();
    invalid();
    if (CFrame *frame = getFrame(); frame && frame->getFocusView() == this)
        frame->setFocusView(nullptr);
    forget();
}
