// The foundation's window system on X11: its windows, monitors and titles on a connection of the
// layer's own, its popup menus through the toolkit's popup, its message boxes and the clipboard. Linked
// into a module, the layer installs itself when the module loads and removes itself when it unloads.
#pragma once

#include "foundation/podoDesktop.h"
#include "gui/popupMenu.h"

#include <memory>
#include <mutex>
#include <set>

struct _XDisplay;  // Xlib's Display

namespace qgui {

class X11Desktop : public podo::DesktopLayer {
public:
    ~X11Desktop() override;

    void* createWindow(void* parent, int32_t x, int32_t y, int32_t width, int32_t height) override;
    void destroyWindow(void* window) override;
    void showWindow(void* window, bool visible) override;
    bool isWindowVisible(void* window) override;
    void updateWindow(void* window) override;
    void bringToFront(void* window) override;
    void setWindowBounds(void* window, int32_t x, int32_t y, int32_t width, int32_t height, bool move,
                         bool size) override;
    bool getWindowSize(void* window, int32_t& width, int32_t& height) override;
    int32_t getMonitorRect(void* window, int32_t rect[4]) override;
    float dpiScale(void* window) override;
    bool setWindowText(void* window, const podoStr& text) override;
    int32_t messageBox(void* owner, const podoStr& caption, const podoStr& text, int32_t flags) override;
    uint32_t trackMenu(const podoMenu& menu, void* owner, int32_t x, int32_t y) override;
    bool getClipboardText(std::string& text) override;

private:
    // The connection for one operation, under the lock: the layer's windows live as long as the
    // connection that made them, so it stays open while there are any, and only then.
    class Session;

    std::recursive_mutex lock;
    ::_XDisplay* dpy = nullptr;
    std::set<unsigned long> created;  // windows this layer made and may destroy
};

// The layer installed at load.
X11Desktop& x11Desktop();

// A menu as the toolkit's popup shows it (mnemonics on), and the command id of a popup's answer (0 when
// dismissed or when the answer does not lead to a command).
std::shared_ptr<PopupMenuList> popupModelOf(const podoMenu& menu);
uint32_t commandOf(const podoMenu& menu, const PopupResult& result);

}  // namespace qgui
