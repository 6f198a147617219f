#include "gui/CParamDisplay.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFontDesc.h"
#include "gui/utf8.h"

#include <cstdio>

namespace qgui {

CParamDisplay::CParamDisplay(const CRect& size, CBitmap* bg, int32_t st)
    : CControl(size, nullptr, -1, bg), style(st) {
    setMouseEnabled(false);
    setFont(kSystemFont());
}

CParamDisplay::CParamDisplay(const CParamDisplay& other)
    : CControl(other),
      valueToString(other.valueToString),
      horiTxtAlign(other.horiTxtAlign),
      style(other.style),
      fontColor(other.fontColor),
      backColor(other.backColor),
      frameColor(other.frameColor),
      shadowColor(other.shadowColor),
      textInset(other.textInset),
      roundRectRadius(other.roundRectRadius),
      precision(other.precision),
      antialias(other.antialias) {
    setFont(other.fontID);
}

CParamDisplay::~CParamDisplay() {
    if (fontID) fontID->forget();
}

void CParamDisplay::setFont(CFontDesc* font) {
    if (font == fontID) return;
    if (font) font->remember();
    if (fontID) fontID->forget();
    fontID = font;
    setDirty();
}

void CParamDisplay::setFontColor(const CColor& c) {
    if (c != fontColor) { fontColor = c; setDirty(); }
}
void CParamDisplay::setBackColor(const CColor& c) {
    if (c != backColor) { backColor = c; setDirty(); }
}
void CParamDisplay::setFrameColor(const CColor& c) {
    if (c != frameColor) { frameColor = c; setDirty(); }
}
void CParamDisplay::setShadowColor(const CColor& c) {
    if (c != shadowColor) { shadowColor = c; setDirty(); }
}
void CParamDisplay::setHoriAlign(CHoriTxtAlign a) {
    if (a != horiTxtAlign) { horiTxtAlign = a; setDirty(); }
}
void CParamDisplay::setStyle(int32_t s) {
    if (s != style) { style = s; setDirty(); }
}

void CParamDisplay::draw(CDrawContext* context) {
    if (style & kNoDrawStyle) return;
    std::string s;
    if (!valueToString || !valueToString(value, s)) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.*f", precision, static_cast<double>(value));
        s = buffer;
    }
    drawBack(context);
    drawPlatformText(context, s);
    setDirty(false);
}

void CParamDisplay::drawBack(CDrawContext* context, CBitmap* newBack) {
    CBitmap* bitmap = newBack ? newBack : (!mouseEnabled && disabledBackground) ? disabledBackground : background;
    if (bitmap) {
        bitmap->draw(context, size, backOffset);
    } else if (!transparent) {
        context->setFillColor(backColor);
        if (style & kRoundRectStyle) {
            CGraphicsPath* path = context->createGraphicsPath();
            CCoord r = std::min({roundRectRadius, size.getWidth() / 2, size.getHeight() / 2});
            path->beginSubpath(CPoint(size.left + r, size.top));
            path->addArc(CRect(size.right - 2 * r, size.top, size.right, size.top + 2 * r), 270, 360, true);
            path->addArc(CRect(size.right - 2 * r, size.bottom - 2 * r, size.right, size.bottom), 0, 90, true);
            path->addArc(CRect(size.left, size.bottom - 2 * r, size.left + 2 * r, size.bottom), 90, 180, true);
            path->addArc(CRect(size.left, size.top, size.left + 2 * r, size.top + 2 * r), 180, 270, true);
            path->closeSubpath();
            context->saveGlobalState();
            context->setDrawMode(kAntiAliasing | kNonIntegralMode);
            context->drawGraphicsPath(path, PathDrawMode::kFilled);
            context->restoreGlobalState();
            path->forget();
        } else {
            context->drawRect(size, kDrawFilled);
        }
    }
    if (transparent || (style & kNoFrame)) return;
    if (style & (k3DIn | k3DOut)) {
        CColor light = kWhiteCColor, dark = kGreyCColor;
        if (style & k3DIn) std::swap(light, dark);
        context->setLineWidth(1);
        context->setFrameColor(light);
        context->drawLine(CPoint(size.left, size.bottom - 1), CPoint(size.left, size.top));
        context->drawLine(CPoint(size.left, size.top), CPoint(size.right - 1, size.top));
        context->setFrameColor(dark);
        context->drawLine(CPoint(size.right - 1, size.top), CPoint(size.right - 1, size.bottom - 1));
        context->drawLine(CPoint(size.right - 1, size.bottom - 1), CPoint(size.left, size.bottom - 1));
    } else if (frameColor.alpha) {
        context->setLineWidth(1);
        context->setFrameColor(frameColor);
        context->drawRect(size, kDrawStroked);
    }
}

void CParamDisplay::drawPlatformText(CDrawContext* context, const std::string& utf8) {
    drawPlatformText(context, utf8, size);
}

void CParamDisplay::drawPlatformText(CDrawContext* context, const std::string& utf8, const CRect& rect) {
    if (utf8.empty() || (style & kNoTextStyle)) return;
    CRect r = rect;
    r.inset(textInset.x, textInset.y);
    context->setFont(fontID, CDrawContext::fittingFontSize(fontID, r.getHeight()));
    if (style & kShadowText) {
        CRect s = r;
        s.offset(1, 1);
        context->setFontColor(shadowColor);
        context->drawString(utf8, s, horiTxtAlign, antialias);
    }
    context->setFontColor(fontColor);
    context->drawString(utf8, r, horiTxtAlign, antialias);
}

CTextLabel::CTextLabel(const CRect& size, const char* txt, CBitmap* bg, int32_t st) : CParamDisplay(size, bg, st) {
    if (txt) text = txt;
}

void CTextLabel::setText(const std::string& utf8) {
    if (utf8 == text) return;
    text = utf8;
    calculateTruncatedText();
    setDirty();
}

void CTextLabel::setTextTruncateMode(TruncateMode m) {
    if (m == textTruncateMode) return;
    textTruncateMode = m;
    calculateTruncatedText();
    setDirty();
}

void CTextLabel::setViewSize(const CRect& rect, bool invalidate) {
    CParamDisplay::setViewSize(rect, invalidate);
    calculateTruncatedText();
}

void CTextLabel::calculateTruncatedText() {
    truncatedText.clear();
    if (textTruncateMode == kTruncateNone || text.empty()) return;
    CCoord width = size.getWidth() - 2 * textInset.x;
    if (CDrawContext::measureString(fontID, text) <= width) return;
    std::string s = text;
    while (!s.empty()) {
        if (textTruncateMode == kTruncateHead)
            s.erase(0, utf8::sequenceLength(s, 0));
        else
            s.erase(utf8::previous(s, s.size()));
        std::string candidate = textTruncateMode == kTruncateHead ? ".." + s : s + "..";
        if (CDrawContext::measureString(fontID, candidate) <= width || s.empty()) {
            truncatedText = candidate;
            return;
        }
    }
}

void CTextLabel::draw(CDrawContext* context) {
    if (style & kNoDrawStyle) return;
    drawBack(context);
    drawPlatformText(context, truncatedText.empty() ? text : truncatedText);
    setDirty(false);
}

}  // namespace qgui
