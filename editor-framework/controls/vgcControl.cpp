#include "editor-framework/controls/vgcControl.h"

#include "editor-framework/controls/vgcTextLabel.h"
#include "editor-framework/podoSkin.h"
#include "gui/CBitmap.h"
#include "gui/CFontDesc.h"
#include "host/podoVST.h"

#include <algorithm>

using namespace qgui;

CFontDesc *sharedFontLarge = nullptr;
CFontDesc *sharedFontMedium = nullptr;
CFontDesc *sharedFontNormal = nullptr;
CFontDesc *sharedFontSmall = nullptr;
CFontDesc *sharedFontTiny = nullptr;

namespace {

struct SharedFont {
    CFontDesc **font;
    CCoord size;
};
const SharedFont sharedFonts[] = {
    {&sharedFontLarge, 12}, {&sharedFontMedium, 11.5}, {&sharedFontNormal, 11},
    {&sharedFontSmall, 9.5}, {&sharedFontTiny, 6},
};
constexpr const char *sharedFontFace = "Malgun Gothic";

// Written when an editor publishes its record's colours, read by the constructors of the controls it
// builds (user-interface thread).
std::vector<CColor> &currentSkinColors()
{
    static std::vector<CColor> colours(skinColorCount, kWhiteCColor);
    return colours;
}

// The value label's part colours: yellow, cyan, magenta.
constexpr CColor valueLabelColors[3] = {{255, 255, 0, 255}, {0, 255, 255, 255}, {255, 0, 255, 255}};

} // namespace

// Every font that is missing is made, whatever the number of instances: an editor made while a second
// instance already lives must not find the fonts unmade.
void createSharedFonts()
{
    podoSyncCriticalBlock block(&processLock());
    for (const SharedFont &f : sharedFonts)
        if (!*f.font)
            *f.font = new CFontDesc(sharedFontFace, f.size);
}

void releaseSharedFonts()
{
    podoSyncCriticalBlock block(&processLock());
    if (podoVST::getInstanceCount() > 1)
        return;
    for (const SharedFont &f : sharedFonts)
        if (*f.font) {
            (*f.font)->forget();
            *f.font = nullptr;
        }
}

CColor vgcSkinColor(int32_t index)
{
    const auto &colours = currentSkinColors();
    return index >= 0 && index < int32_t(colours.size()) ? colours[size_t(index)] : kWhiteCColor;
}

void vgcSetSkinColors(const std::vector<CColor> &colours)
{
    auto &current = currentSkinColors();
    for (size_t i = 0; i < current.size(); ++i)
        current[i] = i < colours.size() ? colours[i] : kWhiteCColor;
}

namespace controlSignal {

void applyRules(CControl *control, IControlListener *listener, int32_t tag)
{
    control->setListener(listener);
    control->setTag(tag);
    control->setMouseEnabled(listener != nullptr && tag >= 0);
    control->setWheelInc(0.05f);
}

bool mouseDownPrologue(CControl *control, const CButtonState &buttons)
{
    if (control->getValue() < 0.0f || !control->getMouseEnabled())
        return true;
    if ((buttons & kRButton) && control->getListener()) {
        control->setValueRaw(-1.0f - control->getValue());
        control->valueChanged();
        return true;
    }
    return false;
}

bool wheelSignal(CControl *control, float distance, const CButtonState &buttons)
{
    if (control->getValue() < 0.0f || !control->getMouseEnabled() || !control->getListener())
        return false;
    float step = control->getWheelInc() * distance;
    if (buttons & kShift)
        step *= 0.1f;
    control->setValueRaw(wheel + step);
    control->valueChanged();
    return true;
}

} // namespace controlSignal

vgcTextLabel *makeValueLabel(CControl *owner, int32_t count, int32_t width, int32_t lineHeight)
{
    const CRect &r = owner->getViewSize();
    const CCoord x0 = std::max(r.right - CCoord(width / 2), r.left);
    const CCoord y0 = std::max(r.bottom - CCoord(count) * lineHeight, r.top);
    const CRect rect(x0 + std::min(width, 0), y0 + std::min(lineHeight, 0), x0 + std::max(width, 0),
                     y0 + std::max(lineHeight, 0));
    auto *label = new vgcTextLabel(rect, nullptr, owner->getTag(), nullptr, count, kShadowText);
    label->setShadowColor(kBlackCColor);
    label->setTransparency(true);
    label->setHoriAlign(kCenterText);
    if (sharedFontNormal)
        label->setFont(sharedFontNormal);
    for (int32_t i = 0; i < std::min(count, 3); ++i)
        label->setPartColor(valueLabelColors[i], i);
    label->setFontAndStyle(nullptr, lineHeight);
    return label;
}

void drawValueLabel(vgcTextLabel *label, CDrawContext *context)
{
    if (label)
        label->draw(context);
}

CRect shownValueLabelRect(const vgcTextLabel *label)
{
    if (!label)
        return CRect();
    CRect shown;
    bool any = false;
    for (int32_t i = 0; i < label->getPartCount(); ++i)
        if (!label->getPartText(i).empty() && label->getPartText(i) != " ") {
            // Part i lies one label height below part 0.
            CRect line = label->getViewSize();
            line.offset(0, i * line.getHeight());
            if (any)
                shown.unite(line);
            else
                shown = line;
            any = true;
        }
    if (any)
        shown.inset(-1, -1); // the outline
    return shown;
}

void forgetValueLabel(vgcTextLabel *&label)
{
    if (label)
        label->forget();
    label = nullptr;
}

vgcControl::vgcControl(const CRect &size, IControlListener *listener, int32_t tag, CBitmap *background)
    : vgcWith<CControl>(size, listener, tag, background)
{
    controlSignal::applyRules(this, listener, tag);
}

vgcControl *vgcControl::newCopy() const
{
    auto *copy = new vgcControl(size, listener, tag, background);
    copy->setValueRaw(value);
    return copy;
}

void vgcControl::draw(CDrawContext *) { setDirty(false); }

CMouseEventResult vgcControl::onMouseDown(CPoint &, const CButtonState &buttons)
{
    if (!controlSignal::mouseDownPrologue(this, buttons) && listener)
        valueChanged();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

bool vgcControl::onWheel(const CPoint &, const float &distance, const CButtonState &buttons)
{
    return controlSignal::wheelSignal(this, distance, buttons);
}

vgcArea::vgcArea(const CRect &size, IControlListener *listener, int32_t tag, CColor c)
    : vgcControl(size, listener, tag, nullptr), colour(c)
{
    setValueRaw(3.0f);
    setOldValue(3.0f);
    setTransparency(c.alpha == 0);
}

void vgcArea::draw(CDrawContext *context)
{
    if (background) {
        background->draw(context, size, CPoint(0, 0));
    } else if (!transparent) {
        context->setFillColor(colour);
        context->drawRect(size, kDrawFilled);
    }
    setDirty(false);
}
