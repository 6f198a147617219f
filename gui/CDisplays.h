// Display controls: a level meter and a movie bitmap (a frame strip chosen by the value).
#pragma once

#include "gui/CControl.h"

namespace qgui {

// The unlit image everywhere, the lit image over the part the value covers, in nbLed steps. Horizontal
// meters fill from the left, vertical ones from the bottom. decreaseValue is the fall per idle redraw
// when the meter is given a lower value (0: none).
class CVuMeter : public CControl {
public:
    CVuMeter(const CRect& size, CBitmap* onBitmap, CBitmap* offBitmap, int32_t nbLed, int32_t style = 2 /*kVertical*/);
    ~CVuMeter() override;

    void draw(CDrawContext* context) override;
    void setValue(float v) override;

    void setOnBitmap(CBitmap* b);
    CBitmap* getOnBitmap() const { return onBitmap; }
    void setOffBitmap(CBitmap* b);
    CBitmap* getOffBitmap() const { return offBitmap; }
    void setNbLed(int32_t n) { nbLed = std::max<int32_t>(1, n); setDirty(); }
    int32_t getNbLed() const { return nbLed; }
    int32_t getStyle() const { return style; }
    void setStyle(int32_t s) { style = s; setDirty(); }
    void setDecreaseStepValue(float v) { decreaseValue = v; }
    float getDecreaseStepValue() const { return decreaseValue; }

protected:
    CBitmap* onBitmap = nullptr;
    CBitmap* offBitmap = nullptr;
    int32_t nbLed;
    int32_t style;
    float decreaseValue = 0.f;
};

// Shows frame round((count − 1) × v) of a vertical strip, from the offset.
class CMovieBitmap : public CControl {
public:
    CMovieBitmap(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background,
                 const CPoint& offset = CPoint(0, 0));
    CMovieBitmap(const CRect& size, IControlListener* listener, int32_t tag, int32_t subPixmaps,
                 CCoord heightOfOneImage, CBitmap* background, const CPoint& offset = CPoint(0, 0));

    void draw(CDrawContext* context) override;

    void setNumSubPixmaps(int32_t n) { subPixmaps = std::max<int32_t>(1, n); setDirty(); }
    int32_t getNumSubPixmaps() const { return subPixmaps; }
    void setHeightOfOneImage(CCoord h) { heightOfOneImage = h; setDirty(); }
    CCoord getHeightOfOneImage() const { return heightOfOneImage; }
    const CPoint& getOffset() const { return offset; }
    void setOffset(const CPoint& p) { offset = p; setDirty(); }

protected:
    CPoint offset;
    int32_t subPixmaps;
    CCoord heightOfOneImage;
};

}  // namespace qgui
