// A view that holds child views and draws them over its background.
#pragma once

#include "gui/CView.h"

#include <functional>
#include <vector>

namespace qgui {

// Children are in the container's own coordinates (its top-left corner is their origin) and are drawn in
// order, the last on top; mouse events go the other way, topmost first. Each child is clipped to its own
// rectangle. addView takes over the caller's reference; removeView forgets it unless asked not to.
class CViewContainer : public CView {
public:
    explicit CViewContainer(const CRect& size);
    ~CViewContainer() override;

    virtual bool addView(CView* view);
    virtual bool addView(CView* view, CView* before);
    virtual bool removeView(CView* view, bool withForget = true);
    virtual bool removeAll(bool withForget = true);
    bool isChild(const CView* view) const;
    int32_t getNbViews() const { return static_cast<int32_t>(children.size()); }
    CView* getView(int32_t index) const;
    const std::vector<CView*>& getChildren() const { return children; }
    // Calls f for every child, bottom first; f may not change the children.
    void forEachChild(const std::function<void(CView*)>& f) const;

    void setBackgroundColor(const CColor& c);
    CColor getBackgroundColor() const { return backgroundColor; }

    // Topmost visible child at a point in this container's parent coordinates; with deep, the deepest
    // view there (a container with nothing at the point answers itself).
    virtual CView* getViewAt(const CPoint& where, bool deep = false, bool mustBeMouseEnabled = false) const;
    // Offset from child coordinates to this container's parent coordinates.
    virtual CPoint getChildOffset() const { return size.getTopLeft(); }

    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    virtual void drawBackgroundRect(CDrawContext* context, const CRect& updateRect);

    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseCancel() override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;
    bool onDrop(IDataPackage* drag, const CPoint& where) override;

    bool attached(CView* parent) override;
    bool removed(CView* parent) override;
    CViewContainer* asViewContainer() override { return this; }

    // The child that took the current press, if any.
    CView* getMouseDownView() const { return mouseDownView; }
    void clearMouseDownView(CView* view);

protected:
    std::vector<CView*> children;
    CView* mouseDownView = nullptr;
    CColor backgroundColor = kBlackCColor;
};

}  // namespace qgui
