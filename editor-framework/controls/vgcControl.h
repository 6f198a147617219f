// What every skinned control shares: the group of added operations (drop data, value label, asControl),
// the control signals by which a control reports events other than a value change, the shared fonts and
// the skin colours new controls take.
#pragma once

#include "gui/CControl.h"
#include "gui/CDrawContext.h"

#include <vector>

namespace qgui {
class CFontDesc;
}

class vgcTextLabel;

// The five fonts of the controls and the page builders, all of the face "Malgun Gothic" (fontconfig
// falls back to the toolkit's face when it is missing): 12, 11.5, 11, 9.5 and 6 points. Owned by the
// process; controls that use one hold a reference of their own.
extern qgui::CFontDesc *sharedFontLarge;
extern qgui::CFontDesc *sharedFontMedium;
extern qgui::CFontDesc *sharedFontNormal;
extern qgui::CFontDesc *sharedFontSmall;
extern qgui::CFontDesc *sharedFontTiny;
// Creates the fonts that do not exist yet (under processLock).
void createSharedFonts();
// Releases the fonts when at most one plug-in instance is alive (under processLock).
void releaseSharedFonts();

// The skin colours (SkinColorIndex order) that controls take when they are built; opaque white until an
// editor publishes its record's colours.
qgui::CColor vgcSkinColor(int32_t index);
void vgcSetSkinColors(const std::vector<qgui::CColor> &colours);

// Values a control puts into its own value while it reports an event to its listener; the editor takes
// them off again (podoVSTEditor::valueChanged).
//   right button   -1 - v              double click  v + 5
//   wheel          7.5 + step           drop          v + 9
//   text entry end 11 (changed) or 0
namespace controlSignal {

constexpr float doubleClick = 5.0f;
constexpr float wheel = 7.5f;
constexpr float drop = 9.0f;
constexpr float textEntry = 11.0f;

// The construction rules of every skinned control: listener and tag stored, the mouse enabled exactly
// when there is a listener and the tag is not negative, wheel increment 0.05.
void applyRules(qgui::CControl *control, qgui::IControlListener *listener, int32_t tag);
// The start of every mouse-down: true when the press ends here (a negative value or a disabled mouse
// ignores it; the right button with a listener reports -1 - v).
bool mouseDownPrologue(qgui::CControl *control, const qgui::CButtonState &buttons);
// The wheel signal: 7.5 + increment × distance (a tenth of it with Shift); false when not taken.
bool wheelSignal(qgui::CControl *control, float distance, const qgui::CButtonState &buttons);

} // namespace controlSignal

// The operations every skinned control adds to its toolkit base, so that the editor can reach them on
// any registered control.
class vgcGroup
{
public:
    virtual ~vgcGroup() = default;
    // The data of the drop being reported (valid only during that report), or null.
    virtual qgui::IDataPackage *getDropData() = 0;
    virtual void setDropData(qgui::IDataPackage *package) = 0;
    // Replaces the value label: `count` coloured lines ending at the control's bottom edge, centred on
    // its right edge, `width` wide and `lineHeight` tall.
    virtual void showValueLabel(int32_t count, int32_t width, int32_t lineHeight) = 0;
    virtual vgcTextLabel *getValueLabel() = 0;
    virtual qgui::CControl *asControl() = 0;
};

// Helpers of the value label, out of line because the label is itself a skinned control.
vgcTextLabel *makeValueLabel(qgui::CControl *owner, int32_t count, int32_t width, int32_t lineHeight);
void drawValueLabel(vgcTextLabel *label, qgui::CDrawContext *context);
// The label's rectangle while it shows any text, else an empty one.
qgui::CRect shownValueLabelRect(const vgcTextLabel *label);
void forgetValueLabel(vgcTextLabel *&label);

// A toolkit control with the group, the drop signal and an owned value label.
template <class Base>
class vgcWith : public Base, public vgcGroup
{
public:
    using Base::Base;
    vgcWith(const vgcWith &) = delete;
    vgcWith &operator=(const vgcWith &) = delete;
    ~vgcWith() override { forgetValueLabel(valueLabel); }

    qgui::IDataPackage *getDropData() override { return dropData; }
    void setDropData(qgui::IDataPackage *package) override { dropData = package; }
    void showValueLabel(int32_t count, int32_t width, int32_t lineHeight) override
    {
        forgetValueLabel(valueLabel);
        valueLabel = makeValueLabel(this, count, width, lineHeight);
        this->setDirty();
    }
    vgcTextLabel *getValueLabel() override { return valueLabel; }
    qgui::CControl *asControl() override { return this; }
    // The skin's field images have a one-pixel edge along their top: text is centred below it.
    qgui::CCoord imageBorder() const { return this->getBackground() ? 1 : 0; }
    // Whether the control's drawing shows its value label (plain controls, areas, pads and on/off
    // buttons do not).
    virtual bool showsValueLabel() const { return true; }

    // The value label may reach beyond the control (an assignment over a short fader or a knob's edge).
    qgui::CRect getDrawnRect() const override
    {
        qgui::CRect drawn = this->getViewSize();
        const qgui::CRect label = showsValueLabel() ? shownValueLabelRect(valueLabel) : qgui::CRect();
        if (!label.isEmpty())
            drawn.unite(label);
        return drawn;
    }
    void drawOverlay(qgui::CDrawContext *context) override { drawValueLabel(valueLabel, context); }
    // Repaints where the label lies now and where it lay, so a shorter or cleared label leaves nothing.
    void invalid() override
    {
        qgui::CRect r = getDrawnRect();
        r.unite(overlayArea);
        overlayArea = getDrawnRect() == this->getViewSize() ? qgui::CRect() : getDrawnRect();
        this->invalidRect(r);
    }

    // A drop reports v + 9 while the package is kept as drop data; without a listener it is refused.
    bool onDrop(qgui::IDataPackage *drag, const qgui::CPoint &) override
    {
        setDropData(drag);
        if (!this->getListener())
            return false;
        this->setValueRaw(this->getValue() + controlSignal::drop);
        this->valueChanged();
        if (this->getValue() >= controlSignal::drop)
            this->setValueRaw(this->getValue() - controlSignal::drop);
        return true;
    }

protected:
    // Inside a container the label is drawn as the control's overlay, after every sibling; a control
    // drawn on its own draws it here.
    void drawLabel(qgui::CDrawContext *context)
    {
        if (!this->getParentView() || getDrawnRect() == this->getViewSize())
            drawValueLabel(valueLabel, context);
    }

    qgui::IDataPackage *dropData = nullptr;
    vgcTextLabel *valueLabel = nullptr;
    qgui::CRect overlayArea; // the drawn area beyond the control at the last repaint asked for
};

// A plain control: draws nothing, reports clicks with its value, the wheel and drops as signals.
class vgcControl : public vgcWith<qgui::CControl>
{
public:
    bool showsValueLabel() const override { return false; }
    vgcControl(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag, qgui::CBitmap *background);

    // A copy with the same rectangle, listener, tag, value and background; no drop data, no value label.
    virtual vgcControl *newCopy() const;
    void draw(qgui::CDrawContext *context) override;
    qgui::CMouseEventResult onMouseDown(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    bool onWheel(const qgui::CPoint &where, const float &distance, const qgui::CButtonState &buttons) override;
};

// A rectangle filled with one colour (nothing when the colour's alpha is 0) or covered by its background
// bitmap; a clickable area and a coloured panel. Value and old value start at 3.
class vgcArea : public vgcControl
{
public:
    vgcArea(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag, qgui::CColor colour);

    void draw(qgui::CDrawContext *context) override;
    qgui::CColor getColor() const { return colour; }

private:
    qgui::CColor colour;
};
