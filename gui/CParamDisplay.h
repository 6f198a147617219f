// Text displays: CParamDisplay shows a value as text, CTextLabel a text of its own.
#pragma once

#include "gui/CControl.h"

#include <functional>
#include <string>

namespace qgui {

class CFontDesc;

// Style bits of the text controls (bit 24 and above are left to subclasses).
constexpr int32_t kShadowText = 1 << 2;
constexpr int32_t k3DIn = 1 << 3;
constexpr int32_t k3DOut = 1 << 4;
constexpr int32_t kNoTextStyle = 1 << 11;
constexpr int32_t kNoDrawStyle = 1 << 12;
constexpr int32_t kDoubleClickStyle = 1 << 13;
constexpr int32_t kNoFrame = 1 << 14;
constexpr int32_t kRoundRectStyle = 1 << 15;

class CParamDisplay : public CControl {
public:
    using ValueToString = std::function<bool(float value, std::string& text)>;

    CParamDisplay(const CRect& size, CBitmap* background = nullptr, int32_t style = 0);
    CParamDisplay(const CParamDisplay& other);
    ~CParamDisplay() override;

    void draw(CDrawContext* context) override;

    virtual void setFont(CFontDesc* font);
    CFontDesc* getFont() const { return fontID; }
    virtual void setFontColor(const CColor& c);
    CColor getFontColor() const { return fontColor; }
    virtual void setBackColor(const CColor& c);
    CColor getBackColor() const { return backColor; }
    virtual void setFrameColor(const CColor& c);
    CColor getFrameColor() const { return frameColor; }
    virtual void setShadowColor(const CColor& c);
    CColor getShadowColor() const { return shadowColor; }
    virtual void setHoriAlign(CHoriTxtAlign a);
    CHoriTxtAlign getHoriAlign() const { return horiTxtAlign; }
    virtual void setStyle(int32_t s);
    int32_t getStyle() const { return style; }
    void setTextInset(const CPoint& p) { textInset = p; setDirty(); }
    const CPoint& getTextInset() const { return textInset; }
    void setAntialias(bool state) { antialias = state; }
    bool getAntialias() const { return antialias; }
    void setRoundRectRadius(CCoord r) { roundRectRadius = r; setDirty(); }
    void setPrecision(uint8_t p) { precision = p; setDirty(); }
    void setValueToStringFunction(ValueToString f) { valueToString = std::move(f); setDirty(); }

    // Background: the bitmap (or `newBack`), else the back colour unless transparent; then the frame.
    virtual void drawBack(CDrawContext* context, CBitmap* newBack = nullptr);
    // One line of text in the font, font colour and alignment, vertically centred in the rectangle
    // (the view when none is given); kShadowText adds a shadow one pixel down and right.
    virtual void drawPlatformText(CDrawContext* context, const std::string& utf8);
    virtual void drawPlatformText(CDrawContext* context, const std::string& utf8, const CRect& rect);

protected:
    ValueToString valueToString;
    CHoriTxtAlign horiTxtAlign = kCenterText;
    int32_t style;
    CFontDesc* fontID = nullptr;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    CColor shadowColor = kRedCColor;
    CPoint textInset;
    CCoord roundRectRadius = 6;
    uint8_t precision = 2;
    bool antialias = true;
};

// A label with a text of its own. With a truncate mode, a text too wide for the label is shortened with
// ".." at the head or the tail when drawn, and getTruncatedText gives the shortened form.
class CTextLabel : public CParamDisplay {
public:
    enum TruncateMode : int32_t { kTruncateNone = 0, kTruncateHead, kTruncateTail };

    CTextLabel(const CRect& size, const char* text = nullptr, CBitmap* background = nullptr, int32_t style = 0);

    virtual void setText(const std::string& utf8);
    const std::string& getText() const { return text; }
    void setTextTruncateMode(TruncateMode m);
    TruncateMode getTextTruncateMode() const { return textTruncateMode; }
    // The shortened text of the last drawing; empty when the text fitted or nothing is shortened.
    const std::string& getTruncatedText() const { return truncatedText; }

    void draw(CDrawContext* context) override;
    void setViewSize(const CRect& rect, bool invalidate = true) override;

protected:
    void calculateTruncatedText();

    std::string text;
    std::string truncatedText;
    TruncateMode textTruncateMode = kTruncateNone;
};

}  // namespace qgui
