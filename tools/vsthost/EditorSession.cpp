#include "tools/vsthost/EditorSession.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <chrono>
#include <thread>

namespace qhost {

namespace {

constexpr double idleRate = 30.0;  // editor idles per second, as hosts commonly do

bool writeScreenshot(Display* dpy, Window window, const std::string& path, std::string& error)
{
  XSync(dpy, False);
  XWindowAttributes a;
  if (!XGetWindowAttributes(dpy, window, &a)) {
    error = "the window is gone";
    return false;
  }
  XImage* image = XGetImage(dpy, window, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
  if (!image) {
    error = "cannot read the window";
    return false;
  }
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, a.width, a.height);
  unsigned char* data = cairo_image_surface_get_data(s);
  int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      unsigned long p = XGetPixel(image, x, y);
      reinterpret_cast<uint32_t*>(data + y * stride)[x] = uint32_t(p & 0xFFFFFF);
    }
  XDestroyImage(image);
  cairo_surface_mark_dirty(s);
  bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  if (!ok) error = "cannot write " + path;
  return ok;
}

void editorSize(VstPlugin& plugin, int& width, int& height)
{
  ERect* rect = nullptr;
  plugin.dispatch(effEditGetRect, 0, 0, &rect);
  if (rect && rect->right > rect->left && rect->bottom > rect->top) {
    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
  }
}

constexpr intptr_t fourCC(const char (&text)[5])
{
  return intptr_t((uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) |
                  (uint32_t(uint8_t(text[2])) << 8) | uint32_t(uint8_t(text[3])));
}

}  // namespace

int editorPageNumber(const std::string& name)
{
  static const char* const names[] = {"mixer", "browser", "sequencer", "melody", "drum", "setup"};
  for (int i = 0; i < 6; ++i)
    if (name == names[i]) return i;
  return -1;
}

bool runEditorSession(VstPlugin& plugin, double seconds, const std::string& screenshotPath, std::string& error,
                      const EditorView& view)
{
  if (!plugin.loaded() || !(plugin.effect()->flags & effFlagsHasEditor)) {
    error = "the plug-in has no editor";
    return false;
  }
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) {
    error = "cannot open the X display";
    return false;
  }
  int width = 745, height = 595;
  editorSize(plugin, width, height);
  Window window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, unsigned(width), unsigned(height), 0, 0, 0);
  XStoreName(dpy, window, "quorix-host");
  XSelectInput(dpy, window, StructureNotifyMask);
  XMapWindow(dpy, window);
  for (XEvent ev;;) {
    XNextEvent(dpy, &ev);
    if (ev.type == MapNotify) break;
  }
  bool ok = plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window)) != 0;
  // The plug-in's own host commands, once the editor is open: the page is a parameter of the engine, the
  // zoom reaches the editor through its queue and asks for the new window size on an idle.
  if (ok && view.page >= 0)
    plugin.dispatch(effVendorSpecific, int32_t(fourCC("host")), fourCC("Page"), nullptr, float(view.page));
  if (ok && view.zoomPercent > 0)
    plugin.dispatch(effVendorSpecific, int32_t(fourCC("host")), fourCC("Zoom"), nullptr, float(view.zoomPercent));
  if (!ok) error = "the editor did not open";
  if (ok) {
    int shownWidth = width, shownHeight = height;
    auto tick = std::chrono::steady_clock::now();
    int idles = std::max(1, int(seconds * idleRate + 0.5));
    for (int i = 0; i < idles; ++i) {
      plugin.dispatch(effEditIdle);
      // The editor asks for another size through audioMasterSizeWindow.
      if (plugin.windowWidth() > 0 && (plugin.windowWidth() != shownWidth || plugin.windowHeight() != shownHeight)) {
        shownWidth = plugin.windowWidth();
        shownHeight = plugin.windowHeight();
        XResizeWindow(dpy, window, unsigned(shownWidth), unsigned(shownHeight));
      }
      while (XPending(dpy)) {
        XEvent ev;
        XNextEvent(dpy, &ev);
      }
      XFlush(dpy);
      tick += std::chrono::microseconds(int64_t(1e6 / idleRate));
      std::this_thread::sleep_until(tick);
    }
    if (!screenshotPath.empty()) ok = writeScreenshot(dpy, window, screenshotPath, error);
    plugin.dispatch(effEditClose);
  }
  XDestroyWindow(dpy, window);
  XCloseDisplay(dpy);
  return ok;
}

}  // namespace qhost
