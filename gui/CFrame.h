// The root view: owns the window (X11 or offscreen), runs events and repaints from idle, zooms, keeps the
// focus view and the keyboard hooks.
#pragma once

#include "gui/CViewContainer.h"
#include "gui/platform/IPlatformFrame.h"

#include <memory>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

namespace qgui {

class CFrame;
class COffscreenPlatform;

// What the frame needs from the plug-in's editor.
class VSTGUIEditorInterface {
public:
    virtual ~VSTGUIEditorInterface() = default;
    virtual void doIdleStuff() {}
    virtual int32_t getKnobMode() const { return kCircularMode; }
    virtual void beginEdit(int32_t /*index*/) {}
    virtual void endEdit(int32_t /*index*/) {}
    // Asked before the frame changes its window size (zoom); false refuses the change.
    virtual bool beforeSizeChange(const CRect& /*newSize*/, const CRect& /*oldSize*/) { return true; }
    virtual CFrame* getFrame() const { return frame; }

protected:
    CFrame* frame = nullptr;
};

// Gets every key before the focus view does. Answers 1 when it handled the key, -1 when not.
class IKeyboardHook {
public:
    virtual ~IKeyboardHook() = default;
    virtual int32_t onKeyDown(const VstKeyCode& code, CFrame* frame) = 0;
    virtual int32_t onKeyUp(const VstKeyCode& code, CFrame* frame) = 0;
};

// Invariants: the frame's view size is its unzoomed size at (0, 0); the window is that size × zoom.
// Everything runs on the thread that calls idle; no thread or timer of its own.
class CFrame : public CViewContainer {
public:
    CFrame(const CRect& size, VSTGUIEditorInterface* editor);
    ~CFrame() override;

    // Open in a parent window: an X11 window id for kX11 (kDefault picks X11 when the parent is given and
    // a display opens, else offscreen). Nothing is shown or processed before open.
    bool open(void* parent, PlatformType type = PlatformType::kDefault);
    bool isOpen() const { return platform != nullptr; }
    // Closes the window, removes and forgets every view, and forgets the frame itself.
    void close();

    // Pump window events, then repaint what is dirty.
    void idle();
    // Repaint what is invalid without pumping events.
    void paintInvalid();

    VSTGUIEditorInterface* getEditor() const { return editor; }
    IPlatformFrame* getPlatformFrame() const { return platform.get(); }
    COffscreenPlatform* getOffscreen() const;
    void* getSystemWindow() const { return platform ? platform->getWindowHandle() : nullptr; }
    // The back buffer holds the whole window's pixels (device size); null before open.
    cairo_surface_t* getBackBuffer() const { return backBuffer; }

    // Zoom by any factor above 0; asks the editor first (which may ask the host to resize).
    bool setZoom(double zoom);
    double getZoom() const { return zoom; }

    void setFocusView(CView* view);
    CView* getFocusView() const { return focusView; }
    bool advanceNextFocusView(CView* oldFocus, bool reverse = false);

    void registerKeyboardHook(IKeyboardHook* hook);
    void unregisterKeyboardHook(IKeyboardHook* hook);
    size_t getKeyboardHookCount() const { return keyboardHooks.size(); }
    // Keys: hooks first, then the focus view; Tab moves the focus when nobody took it.
    int32_t onKeyDown(VstKeyCode& code) override;
    int32_t onKeyUp(VstKeyCode& code) override;
    bool onTextInput(const std::string& utf8) override;

    // Last known pointer position in unzoomed frame coordinates.
    CPoint& getCurrentMouseLocation(CPoint& where) const;
    void invalid() override;
    void invalidRect(const CRect& rect) override { invalidFrameRect(rect); }
    void invalidFrameRect(const CRect& rect);
    bool hasInvalidArea() const { return !invalidRects.empty(); }
    void setDirty(bool state = true) override;

    double getScreenDPI() const;
    bool getMonitorRect(CRect& rect) const;
    bool getClipboardText(std::string& text) const;
    bool putClipboardText(const std::string& text) const;

    // Called by the window backends (device pixels of the window).
    void platformOnMouseDown(const CPoint& device, CButtonState buttons);
    void platformOnMouseUp(const CPoint& device, CButtonState buttons);
    void platformOnMouseMoved(const CPoint& device, CButtonState buttons);
    void platformOnMouseCancel();
    void platformOnWheel(const CPoint& device, float distance, CButtonState buttons);
    void platformOnExpose(const CRect& device);
    bool platformOnDrop(IDataPackage* drag, const CPoint& device);

    // Called when a view leaves the tree: the focus and the mouse capture let go of it.
    void onViewRemoved(CView* view);
    bool isMouseTracking() const { return mouseDownView != nullptr; }

private:
    void collectDirty(CViewContainer* container, const CPoint& origin);
    void makeBackBuffer();
    CPoint toLogical(const CPoint& device) const { return {device.x / zoom, device.y / zoom}; }

    VSTGUIEditorInterface* editor;
    std::unique_ptr<IPlatformFrame> platform;
    cairo_surface_t* backBuffer = nullptr;
    double zoom = 1.0;
    CView* focusView = nullptr;
    std::vector<IKeyboardHook*> keyboardHooks;
    std::vector<CRect> invalidRects;
    CPoint mouseLocation;
    bool inIdle = false;
};

}  // namespace qgui
