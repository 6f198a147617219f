// The base of everything on screen: a rectangle in its parent's coordinates that draws itself and takes
// mouse, wheel, drop and key events.
#pragma once

#include "gui/guiTypes.h"

#include <map>
#include <string>
#include <vector>

namespace qgui {

class CBitmap;
class CDrawContext;
class CFrame;
class CViewContainer;

using CViewAttributeID = uint32_t;

// Data carried by a drag and drop.
class IDataPackage {
public:
    enum Type : int32_t { kFilePath = 0, kText, kBinary, kError = -1 };
    virtual ~IDataPackage() = default;
    virtual uint32_t getCount() const = 0;
    virtual uint32_t getDataSize(uint32_t index) const = 0;
    // Pointer to the data, valid while the package lives; kError for an index out of range.
    virtual Type getData(uint32_t index, const void*& buffer, Type& type) const = 0;
};

// Invariants: `size` is in the parent's coordinates; the mouseable area is too and follows setViewSize.
// A view is attached to at most one container at a time (its parent); it may be a child of several.
class CView : public CBaseObject {
public:
    explicit CView(const CRect& size);
    CView(const CView& other);
    ~CView() override;

    // Drawing. draw() draws the background bitmap (or the disabled one while the mouse is disabled).
    virtual void draw(CDrawContext* context);
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);
    virtual bool checkUpdate(const CRect& updateRect) const { return updateRect.rectOverlap(size); }
    // The area the view paints, in the parent's coordinates: its size, and more when it shows an overlay
    // beyond it. The container draws overlays after all its children, so they lie on top of them.
    virtual CRect getDrawnRect() const { return size; }
    virtual void drawOverlay(CDrawContext*) {}

    // Dirty views are repainted by the frame's next idle.
    virtual void setDirty(bool state = true) { dirty = state; }
    virtual bool isDirty() const { return dirty; }
    // Repaint now-known area at the next idle.
    virtual void invalid();
    virtual void invalidRect(const CRect& rect);

    // Mouse; `where` is in the parent's coordinates.
    virtual CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons);
    // The press being tracked was taken away (pointer grab lost, window closed).
    virtual CMouseEventResult onMouseCancel();
    virtual bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons);
    virtual bool onDrop(IDataPackage* drag, const CPoint& where);
    // Keys: 1 handled, -1 not handled.
    virtual int32_t onKeyDown(VstKeyCode& keyCode);
    virtual int32_t onKeyUp(VstKeyCode& keyCode);
    // Typed text (UTF-8) for the focus view; true when taken.
    virtual bool onTextInput(const std::string& utf8);

    // Geometry.
    const CRect& getViewSize() const { return size; }
    virtual void setViewSize(const CRect& rect, bool invalidate = true);
    const CRect& getMouseableArea() const { return mouseableArea; }
    void setMouseableArea(const CRect& rect) { mouseableArea = rect; }
    CCoord getWidth() const { return size.getWidth(); }
    CCoord getHeight() const { return size.getHeight(); }
    virtual bool hitTest(const CPoint& where, const CButtonState& buttons = 0) const;

    // Look and behaviour flags.
    virtual void setVisible(bool state);
    bool isVisible() const { return visible; }
    virtual void setMouseEnabled(bool state = true);
    bool getMouseEnabled() const { return mouseEnabled; }
    virtual void setTransparency(bool state) {
        if (transparent != state) { transparent = state; setDirty(); }
    }
    bool getTransparency() const { return transparent; }
    virtual void setAlphaValue(float alpha);
    float getAlphaValue() const { return alphaValue; }
    virtual void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }
    virtual void setDisabledBackground(CBitmap* bitmap);
    CBitmap* getDisabledBackground() const { return disabledBackground; }
    // Offset into the background bitmap at which drawing starts.
    void setBackOffset(const CPoint& p) { backOffset = p; }
    const CPoint& getBackOffset() const { return backOffset; }

    // Hierarchy.
    CView* getParentView() const { return parentView; }
    CFrame* getFrame() const { return parentFrame; }
    bool isAttached() const { return attachedFlag; }
    virtual bool attached(CView* parent);
    virtual bool removed(CView* parent);
    virtual CViewContainer* asViewContainer() { return nullptr; }

    // Focus.
    virtual void takeFocus() {}
    virtual void looseFocus() {}
    virtual bool wantsFocus() const { return wantsFocusFlag; }
    void setWantsFocus(bool state) { wantsFocusFlag = state; }

    // Attributes keyed by number, each a block of bytes.
    bool getAttributeSize(CViewAttributeID id, uint32_t& outSize) const;
    bool getAttribute(CViewAttributeID id, uint32_t inSize, void* buffer, uint32_t& outSize) const;
    bool setAttribute(CViewAttributeID id, uint32_t inSize, const void* buffer);
    bool removeAttribute(CViewAttributeID id);

    // Between this view's parent coordinates and the frame's.
    CPoint& localToFrame(CPoint& point) const;
    CPoint& frameToLocal(CPoint& point) const;

protected:
    CRect size;
    CRect mouseableArea;
    CPoint backOffset;
    CBitmap* background = nullptr;
    CBitmap* disabledBackground = nullptr;
    CView* parentView = nullptr;
    CFrame* parentFrame = nullptr;
    float alphaValue = 1.f;
    bool dirty = false;
    bool visible = true;
    bool mouseEnabled = true;
    bool transparent = false;
    bool attachedFlag = false;
    bool wantsFocusFlag = false;

private:
    std::map<CViewAttributeID, std::vector<uint8_t>> attributes;
};

}  // namespace qgui
