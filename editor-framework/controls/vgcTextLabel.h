// The text display of the editor (also every value label and button caption) and its single-line text
// entry.
#pragma once

#include "editor-framework/controls/vgcControl.h"
#include "gui/CTextEdit.h"

#include <string>

// Style bit of the label (above the toolkit's own): a vertical drag reports a step every 5 pixels.
constexpr int32_t kDragStepStyle = 0x1000000;
// The frame's view attribute that holds 1 (32 bits) while a text entry has the keyboard.
constexpr qgui::CViewAttributeID kTextEntryFlagAttribute = 1;
// The text control's view attribute through which its entry asks the listener (inside valueChanged)
// for a length limit (76), leave to keep an over-long text (112) or to paste (80); the listener
// answers in the same attribute (see gui/CTextEdit.h).
constexpr qgui::CViewAttributeID textEntryVeto = qgui::kTextEntryVetoAttribute;

// The text as it fits `width` in the font (at `size` when given, measured as `context` draws it when
// given): unchanged when it fits, else cut at a character and ended with an ellipsis.
std::string fitText(const std::string &text, const qgui::CFontDesc *font, qgui::CCoord width, qgui::CCoord size = 0,
                    const qgui::CDrawContext *context = nullptr);

// Up to three separately coloured text parts drawn on successive lines (part i one label height lower
// than part 0). Part 0 and the toolkit label's text agree. Style bit 2 draws each part with a one-pixel
// outline in the shadow colour. Mouse: a click reports 0; with kDoubleClickStyle a double click reports 5
// (and the value ends at 0); with kDragStepStyle a drag reports 1 per 5 pixels up and 0.5 per 5 down.
class vgcTextLabel : public vgcWith<qgui::CTextLabel>
{
public:
    static constexpr int32_t maxParts = 3;

    vgcTextLabel(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag, qgui::CBitmap *background,
                 int32_t partCount, int32_t style);

    void draw(qgui::CDrawContext *context) override;
    qgui::CMouseEventResult onMouseDown(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    qgui::CMouseEventResult onMouseUp(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    qgui::CMouseEventResult onMouseMoved(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    bool onWheel(const qgui::CPoint &where, const float &distance, const qgui::CButtonState &buttons) override;
    // Redraws also when the colour is the same.
    void setBackColor(const qgui::CColor &colour) override;

    // Sets the font when one is given and keeps n as the style number when it is not negative.
    virtual void setFontAndStyle(qgui::CFontDesc *font, int32_t n);
    virtual void setPartColor(qgui::CColor colour, int32_t part);
    // An empty text is kept as one blank; null empties the part. Part 0 also sets the label's text.
    virtual void setPartText(const char *text, int32_t part);
    virtual void setPartValue(int32_t n, int32_t part);
    virtual void clearParts();
    virtual int32_t getPartCount() const { return partCount; }
    // Frees parts first .. count - 1; first becomes the part count.
    virtual void truncateParts(int32_t first);
    virtual void setTextOffset(int32_t x, int32_t y);
    // With the flag, the right and bottom insets also shrink the area the background is drawn in.
    virtual void setTextInsets(int32_t left, int32_t top, int32_t right, int32_t bottom, bool flag);
    // One line of text in the label's font and alignment, in the colour set for the line.
    virtual void drawParts(qgui::CDrawContext *context, const std::string &text, const qgui::CRect &rect);

    const std::string &getPartText(int32_t part) const;
    // The part's text as last drawn (shortened when it did not fit).
    const std::string &getShownText(int32_t part) const;
    qgui::CColor getPartColor(int32_t part) const;
    int32_t getStyleNumber() const { return styleNumber; }

protected:
    qgui::CPoint textOffset;
    qgui::CRect textInsets; // left, top, right, bottom
    bool insetsFlag = true;
    int32_t partCount;
    std::string parts[maxParts];
    std::string shownParts[maxParts];
    int32_t styleNumber = 0;
    qgui::CColor partColors[maxParts] = {qgui::kWhiteCColor, qgui::kWhiteCColor, qgui::kWhiteCColor};
    qgui::CPoint dragPoint;
};

// A single-line text entry. An entry runs from takeFocus to looseFocus: the frame's text-entry flag is 1
// meanwhile; the typed text is taken over on Return, a Tab, the length limit or (unless returnOnly) a
// click elsewhere, and the end is reported with 11 when the text changed, else 0. The text-entry
// requests (length limit, paste) reach the listener through view attribute 3 (CTextEdit.h).
class vgcTextEdit : public vgcWith<qgui::CTextEdit>
{
public:
    vgcTextEdit(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag, qgui::CBitmap *background,
                bool returnOnly);

    void draw(qgui::CDrawContext *context) override;
    qgui::CMouseEventResult onMouseDown(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    void looseFocus() override;
    void takeFocus() override;
    // Stores the number only (in range); the text stays.
    void setValue(float value) override;

    virtual void setTextFromNumber(int32_t n);
    virtual void setTextOffset(int32_t x, int32_t y);
    virtual void setTextInsets(int32_t left, int32_t top, int32_t right, int32_t bottom, bool flag);

    bool isReturnOnly() const { return returnOnly; }
    // The text as last drawn while no entry ran (shortened when it did not fit).
    const std::string &getShownText() const { return shownText; }

protected:
    void setEntryFlag(int32_t state);

    qgui::CPoint textOffset;
    qgui::CRect textInsets;
    bool insetsFlag = true;
    bool returnOnly;
    std::string shownText;
};
