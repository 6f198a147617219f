// The headless backend: the frame draws into its back buffer and tests inject events.
#pragma once

#include "gui/platform/IPlatformFrame.h"

#include <string>

namespace qgui {

// No event source of its own: each injected event reaches the frame at once, as the X11 backend's idle
// would deliver it. Positions are device pixels of the window (unzoomed × the frame's zoom).
class COffscreenPlatform : public IPlatformFrame {
public:
    explicit COffscreenPlatform(CFrame* frame);

    PlatformType getType() const override { return PlatformType::kOffscreen; }
    void pumpEvents() override {}
    void setSize(int32_t width, int32_t height) override { w = width; h = height; }
    void present(cairo_surface_t*, const CRect&) override { ++presentCount; }
    bool getCurrentMousePosition(CPoint& device) override { device = pointer; return true; }
    void* getWindowHandle() const override { return nullptr; }
    double getScreenDPI() const override { return dpi; }
    bool getMonitorRect(CRect& rect) const override { rect = monitor; return true; }
    bool getClipboardText(std::string& text) override;
    bool putClipboardText(const std::string& text) override;
    void takeKeyboardFocus() override { keyboardFocus = true; }
    void releaseKeyboardFocus() override { keyboardFocus = false; }
    // Whether the window holds the keyboard (taken for a text entry, not yet given back).
    bool hasKeyboardFocus() const { return keyboardFocus; }

    // Event injection.
    void mouseDown(const CPoint& where, CButtonState buttons = kLButton);
    void mouseMove(const CPoint& where, CButtonState buttons = 0);
    void mouseUp(const CPoint& where, CButtonState buttons = kLButton);
    void click(const CPoint& where, CButtonState buttons = kLButton);
    void doubleClick(const CPoint& where, CButtonState buttons = kLButton);
    void mouseCancel();
    void wheel(const CPoint& where, float distance, CButtonState buttons = 0);
    // A key with its VST code; returns the frame's answer (1 handled, -1 not).
    int32_t keyDown(VstKeyCode code);
    int32_t keyUp(VstKeyCode code);
    // Typed text: each character as a key press with its text, as a keyboard would send it.
    void typeText(const std::string& utf8);
    bool drop(IDataPackage* data, const CPoint& where);

    // Screen and clipboard as tests want them.
    void setScreenDPI(double d) { dpi = d; }
    void setMonitorRect(const CRect& r) { monitor = r; }
    static void setClipboardText(const std::string& text);
    static void clearClipboard();

    // Pixels of the window after repainting what is dirty.
    CColor getPixel(int32_t x, int32_t y);
    bool writePNG(const std::string& path);
    int32_t getWidth() const { return w; }
    int32_t getHeight() const { return h; }
    int32_t getPresentCount() const { return presentCount; }

private:
    CFrame* frame;
    CPoint pointer;
    CRect monitor{0, 0, 1920, 1080};
    double dpi = 96;
    int32_t w = 0, h = 0;
    int32_t presentCount = 0;
    bool keyboardFocus = false;
};

}  // namespace qgui
