// The control factories: look the image up, size the control from it, build it with the editor as its
// listener and register it.
#include "editor-framework/controls/vgcButtons.h"
#include "editor-framework/controls/vgcDisplays.h"
#include "editor-framework/controls/vgcKnobs.h"
#include "editor-framework/controls/vgcOptionMenu.h"
#include "editor-framework/controls/vgcTextLabel.h"
#include "editor-framework/podoVSTEditor.h"
#include "gui/CBitmap.h"
#include "gui/CSlider.h"
#include "gui/CViewContainer.h"

#include <algorithm>

using namespace qgui;

namespace {

// A frame count below 1 would make an endless rectangle; one frame is the whole image then.
double frameDivisor(int32_t frames) { return std::max(frames, 1); }

CRect explicitRect(int32_t x, int32_t y, int32_t width, int32_t height) { return CRect(x, y, x + width, y + height); }

template <class T>
T *registered(podoVSTEditor *editor, T *control)
{
    editor->registerControl(control);
    return control;
}

} // namespace

const CRect &podoVSTEditor::imageRect(int32_t x, int32_t y, double widthDivisor, double heightDivisor)
{
    workRect = CRect(x, y, x + currentImageRect.getWidth() / widthDivisor,
                     y + currentImageRect.getHeight() / heightDivisor);
    return workRect;
}

CViewContainer *podoVSTEditor::addContainer(int32_t x, int32_t y, const char *image)
{
    CBitmap *bitmap = findImage(image);
    auto *container = new CViewContainer(imageRect(x, y, 1, 1));
    container->setBackground(bitmap);
    return container;
}

CViewContainer *podoVSTEditor::addImageContainer(int32_t x, int32_t y, int32_t width, int32_t height, const char *image)
{
    CBitmap *bitmap = findImage(image);
    auto *container = new CViewContainer(explicitRect(x, y, width, height));
    container->setBackground(bitmap);
    return container;
}

CViewContainer *podoVSTEditor::addBitmapContainer(int32_t x, int32_t y, int32_t width, int32_t height, CBitmap *bitmap)
{
    auto *container = new CViewContainer(explicitRect(x, y, width, height));
    container->setBackground(bitmap);
    return container;
}

vgcArea *podoVSTEditor::addArea(int32_t x, int32_t y, int32_t width, int32_t height, int32_t tag, CColor colour)
{
    return registered(this, new vgcArea(explicitRect(x, y, width, height), this, tag, colour));
}

vgcTextLabel *podoVSTEditor::addTextLabel(int32_t x, int32_t y, int32_t width, int32_t height, const char *image,
                                          int32_t tag)
{
    CBitmap *bitmap = findImage(image);
    publishSkinColors();
    return registered(this, new vgcTextLabel(explicitRect(x, y, width, height), this, tag, bitmap, 1, kNoFrame));
}

vgcTextEdit *podoVSTEditor::addTextEdit(int32_t x, int32_t y, int32_t width, int32_t height, const char *image,
                                        int32_t tag, uint8_t returnOnly)
{
    CBitmap *bitmap = findImage(image);
    publishSkinColors();
    return registered(this, new vgcTextEdit(explicitRect(x, y, width, height), this, tag, bitmap, returnOnly != 0));
}

// The strip's frames animate: the frame count and the frame height go to the control.
vgcMovieBitmap *podoVSTEditor::addMovieBitmap(int32_t x, int32_t y, const char *image, int32_t tag, int32_t frames)
{
    CBitmap *bitmap = findImage(image);
    const CRect &r = imageRect(x, y, 1, frameDivisor(frames));
    return registered(this, new vgcMovieBitmap(r, this, tag, bitmap, std::max(frames, 1), r.getHeight()));
}

vgcKickButton *podoVSTEditor::addKickButton(int32_t x, int32_t y, const char *image, int32_t tag)
{
    CBitmap *bitmap = findImage(image);
    return registered(this, new vgcKickButton(imageRect(x, y, 1, 2), this, tag, bitmap));
}

vgcOnOffButton *podoVSTEditor::addOnOffButton(int32_t x, int32_t y, const char *image, int32_t tag)
{
    CBitmap *bitmap = findImage(image);
    return registered(this, new vgcOnOffButton(imageRect(x, y, 1, 2), this, tag, bitmap));
}

vgcOnOffSwitch *podoVSTEditor::addOnOffSwitch(int32_t x, int32_t y, const char *image, int32_t tag)
{
    CBitmap *bitmap = findImage(image);
    return registered(this, new vgcOnOffSwitch(imageRect(x, y, 1, 4), this, tag, bitmap));
}

vgcPlayKeyboard *podoVSTEditor::addPlayKeyboard(int32_t x, int32_t y, const char *image, int32_t tag)
{
    CBitmap *bitmap = findImage(image);
    return registered(this, new vgcPlayKeyboard(imageRect(x, y, 1, 2), this, tag, bitmap));
}

vgcPlayOnOffButton *podoVSTEditor::addPlayOnOffButton(int32_t x, int32_t y, const char *image, int32_t tag)
{
    CBitmap *bitmap = findImage(image);
    return registered(this, new vgcPlayOnOffButton(imageRect(x, y, 1, 2), this, tag, bitmap));
}

vgcDropdownList *podoVSTEditor::addDropdownList(int32_t x, int32_t y, int32_t width, int32_t height, const char *image,
                                                int32_t tag)
{
    CBitmap *bitmap = findImage(image);
    publishSkinColors();
    return registered(this, new vgcDropdownList(explicitRect(x, y, width, height), this, tag, bitmap));
}

vgcAnimKnob *podoVSTEditor::addAnimKnob(int32_t x, int32_t y, const char *image, int32_t tag, int32_t frames)
{
    CBitmap *bitmap = findImage(image);
    return registered(this, new vgcAnimKnob(imageRect(x, y, 1, frameDivisor(frames)), this, tag, bitmap, frames));
}

vgcLvMeter *podoVSTEditor::addLevelMeter(int32_t x, int32_t y, const char *image, int32_t tag)
{
    CBitmap *bitmap = findImage(image);
    return registered(this, new vgcLvMeter(imageRect(x, y, 1, 2), this, tag, bitmap, kHorizontal | kLeft));
}

vgcLvMeter *podoVSTEditor::addLevelMeter2(int32_t x, int32_t y, const char *image, int32_t tag)
{
    CBitmap *bitmap = findImage(image);
    return registered(this, new vgcLvMeter(imageRect(x, y, 2, 1), this, tag, bitmap, kVertical | kBottom));
}

vgcFader *podoVSTEditor::addHorizontalFader(int32_t x, int32_t y, const char *background, const char *handle,
                                            int32_t tag, int32_t frames)
{
    CBitmap *handleBitmap = findImage(handle);
    CBitmap *backBitmap = findImage(background);
    return registered(this, new vgcFader(imageRect(x, y, 1, frameDivisor(frames)), this, tag, backBitmap,
                                         handleBitmap, kHorizontal | kLeft));
}

vgcFader *podoVSTEditor::addVerticalFader(int32_t x, int32_t y, const char *background, const char *handle,
                                          int32_t tag, int32_t frames)
{
    CBitmap *handleBitmap = findImage(handle);
    CBitmap *backBitmap = findImage(background);
    return registered(this, new vgcFader(imageRect(x, y, frameDivisor(frames), 1), this, tag, backBitmap,
                                         handleBitmap, kVertical | kBottom));
}

vgcMultiFaderComponent *podoVSTEditor::addMultiFader(int32_t x, int32_t y, int32_t width, int32_t height,
                                                     const char *image, int32_t tag)
{
    CBitmap *handle = findImage(image);
    return registered(this, new vgcMultiFaderComponent(explicitRect(x, y, width, height), this, tag, handle));
}
