#include "gui/CDisplays.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CSlider.h"

namespace qgui {

CVuMeter::CVuMeter(const CRect& size, CBitmap* on, CBitmap* off, int32_t n, int32_t st)
    : CControl(size, nullptr, 0, nullptr), nbLed(std::max<int32_t>(1, n)), style(st) {
    setOnBitmap(on);
    setOffBitmap(off);
}

CVuMeter::~CVuMeter() {
    if (onBitmap) onBitmap->forget();
    if (offBitmap) offBitmap->forget();
}

void CVuMeter::setOnBitmap(CBitmap* b) {
    if (b) b->remember();
    if (onBitmap) onBitmap->forget();
    onBitmap = b;
    setDirty();
}

void CVuMeter::setOffBitmap(CBitmap* b) {
    if (b) b->remember();
    if (offBitmap) offBitmap->forget();
    offBitmap = b;
    setDirty();
}

void CVuMeter::setValue(float v) {
    // A falling meter moves down by at most decreaseValue per update.
    if (decreaseValue > 0 && v < value) v = std::max(v, value - decreaseValue);
    CControl::setValue(v);
}

void CVuMeter::draw(CDrawContext* context) {
    float v = getValueNormalized();
    float lit = std::floor(v * nbLed + 0.5f) / nbLed;
    CRect litRect = size;
    if (style & kHorizontal) {
        litRect.right = size.left + std::floor(lit * size.getWidth());
    } else {
        litRect.top = size.bottom - std::floor(lit * size.getHeight());
    }
    if (offBitmap) offBitmap->draw(context, size);
    if (onBitmap && !litRect.isEmpty())
        onBitmap->draw(context, litRect, CPoint(litRect.left - size.left, litRect.top - size.top));
    setDirty(false);
}

CMovieBitmap::CMovieBitmap(const CRect& size, IControlListener* l, int32_t t, CBitmap* bg, const CPoint& off)
    : CMovieBitmap(size, l, t,
                   bg ? std::max<int32_t>(1, static_cast<int32_t>(bg->getHeight() / size.getHeight())) : 1,
                   size.getHeight(), bg, off) {}

CMovieBitmap::CMovieBitmap(const CRect& size, IControlListener* l, int32_t t, int32_t n, CCoord h, CBitmap* bg,
                           const CPoint& off)
    : CControl(size, l, t, bg), offset(off), subPixmaps(std::max<int32_t>(1, n)), heightOfOneImage(h) {}

void CMovieBitmap::draw(CDrawContext* context) {
    int32_t frame = static_cast<int32_t>((subPixmaps - 1) * getValueNormalized() + 0.5f);
    CBitmap* bitmap = (!mouseEnabled && disabledBackground) ? disabledBackground : background;
    if (bitmap) bitmap->draw(context, size, CPoint(offset.x, offset.y + frame * heightOfOneImage));
    setDirty(false);
}

}  // namespace qgui
