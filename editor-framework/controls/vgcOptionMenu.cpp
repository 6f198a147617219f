#include "editor-framework/controls/vgcOptionMenu.h"

#include "editor-framework/podoSkin.h"
#include "gui/CFrame.h"

#include <algorithm>
#include <cmath>

using namespace qgui;

vgcOptionMenu::vgcOptionMenu(const CRect &size, IControlListener *listener, int32_t tag, CBitmap *background)
    : vgcWith<COptionMenu>(size, listener, tag, background, nullptr, kNoFrame | kCheckStyle)
{
    controlSignal::applyRules(this, listener, tag);
    vmax = 1.0f;
    currentIndex = -1;
    lastButton = kRButton;
    lastResult = -1;
}

// A menu of one entry has nothing to divide by: its only entry is the value 0.
float vgcOptionMenu::entryValue(int32_t index, int32_t count)
{
    return count > 1 ? float(index) / float(count - 1) : 0.0f;
}

void vgcOptionMenu::setValue(float v)
{
    const int32_t n = getNbEntries();
    if (!std::isfinite(v))
        return;
    const double i = std::trunc(double(n - 1) * v + 0.5);
    if (i < 0 || i >= n)
        return;
    currentIndex = int32_t(i);
    if ((style & kMultipleCheckStyle) == kMultipleCheckStyle)
        checkEntry(currentIndex, !isCheckEntry(currentIndex));
    value = std::clamp(v, vmin, vmax);
    setDirty();
}

bool vgcOptionMenu::popup()
{
    CFrame *frame = getFrame();
    if (!frame)
        return false;
    remember();
    inPopup = true;
    if (bgWhenClick) {
        invalid();
        frame->paintInvalid();
    }
    beginEdit();
    lastResult = -1;
    lastMenu = nullptr;
    int32_t index = -1;
    COptionMenu *chosen = showPopup(index);
    if (chosen) {
        lastMenu = chosen;
        lastResult = index;
        chosen->setValue(entryValue(index, getNbEntries()));
        valueChanged();
        invalid();
        if (auto *command = dynamic_cast<CCommandMenuItem *>(chosen->getEntry(index)))
            command->execute();
    }
    endEdit();
    inPopup = false;
    forget();
    return chosen != nullptr;
}

CMouseEventResult vgcOptionMenu::onMouseDown(CPoint &, const CButtonState &buttons)
{
    if (controlSignal::mouseDownPrologue(this, buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    lastButton = buttons;
    if (!(buttons & (kLButton | kRButton | kApple)))
        return kMouseEventNotHandled;
    if (bgWhenClick)
        invalid();
    if (CFrame *frame = getFrame())
        frame->setFocusView(this);
    popup();
    if (bgWhenClick)
        invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

void vgcOptionMenu::setTextOffset(int32_t x, int32_t y)
{
    textOffset = CPoint(x, y);
    setDirty();
}

void vgcOptionMenu::setTextInsets(int32_t left, int32_t top, int32_t right, int32_t bottom, bool flag)
{
    textInsets = CRect(left, top, right, bottom);
    insetsFlag = flag;
    setDirty();
}

void vgcOptionMenu::draw(CDrawContext *context)
{
    CRect saved;
    context->getClipRect(saved);
    const CRect inner(size.left, size.top, size.right - textInsets.right, size.bottom - textInsets.bottom);
    context->setClipRect(CRect(inner).bound(saved));
    drawBack(context, inPopup ? bgWhenClick : nullptr);
    const CRect textRect(size.left + textInsets.left + textOffset.x,
                         size.top + textInsets.top + textOffset.y + imageBorder(), inner.right + textOffset.x,
                         inner.bottom + textOffset.y);
    if (CMenuItem *item = getCurrent())
        drawPlatformText(context, item->getTitle(), textRect);
    drawLabel(context);
    context->setClipRect(saved);
    setDirty(false);
}

vgcDropdownList::vgcDropdownList(const CRect &size, IControlListener *listener, int32_t tag, CBitmap *background)
    : vgcOptionMenu(size, listener, tag, background)
{
    setHoriAlign(kCenterText);
    if (sharedFontNormal)
        setFont(sharedFontNormal);
    setFontColor(vgcSkinColor(skinFontDefault));
    setBackColor(vgcSkinColor(skinBackDefault));
}
