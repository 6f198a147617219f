// Shared helpers of the toolkit's tests: temporary folders, test images and a recording view.
#pragma once

#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/platform/COffscreenPlatform.h"

#include <cairo.h>

#include <filesystem>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace qgui::test {

// A temporary folder removed with the object.
struct TempDir {
    std::filesystem::path path;
    TempDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "qguiXXXXXX").string();
        path = mkdtemp(templ.data());
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

// Writes a PNG of w × h pixels painted by `paint` (cairo in pixel units).
inline bool writePng(const std::string& file, int w, int h, const std::function<void(cairo_t*)>& paint) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    paint(cr);
    cairo_destroy(cr);
    bool ok = cairo_surface_write_to_png(s, file.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

// A vertical strip of `frames` frames, frame i filled with grey level 10 × i (so frame i is recognisable).
inline bool writeStrip(const std::string& file, int w, int frameHeight, int frames) {
    return writePng(file, w, frameHeight * frames, [&](cairo_t* cr) {
        for (int i = 0; i < frames; ++i) {
            cairo_set_source_rgb(cr, i * 10 / 255.0, i * 10 / 255.0, i * 10 / 255.0);
            cairo_rectangle(cr, 0, i * frameHeight, w, frameHeight);
            cairo_fill(cr);
        }
    });
}

// Frame of the given size, opened offscreen; released with the object.
struct OffscreenFrame {
    CFrame* frame;
    COffscreenPlatform* off;
    explicit OffscreenFrame(CCoord w, CCoord h, VSTGUIEditorInterface* editor = nullptr, double zoom = 1.0)
        : frame(new CFrame(CRect(0, 0, w, h), editor)) {
        frame->setZoom(zoom);
        frame->open(nullptr, PlatformType::kOffscreen);
        off = frame->getOffscreen();
    }
    ~OffscreenFrame() {
        if (frame) frame->close();
    }
    CFrame* operator->() const { return frame; }
};

// A view that records what reaches it and answers mouse-downs with a chosen result.
struct RecordingView : CView {
    struct Event {
        std::string what;
        CPoint where;
        CButtonState buttons;
    };
    std::vector<Event> events;
    CMouseEventResult downResult = kMouseEventHandled;
    CColor fill{0, 0, 0, 0};
    bool overdraw = false;  // fill far beyond its own rectangle when drawing

    using CView::CView;
    CMouseEventResult onMouseDown(CPoint& p, const CButtonState& b) override {
        events.push_back({"down", p, b});
        return downResult;
    }
    CMouseEventResult onMouseMoved(CPoint& p, const CButtonState& b) override {
        events.push_back({"moved", p, b});
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseUp(CPoint& p, const CButtonState& b) override {
        events.push_back({"up", p, b});
        return kMouseEventHandled;
    }
    bool onWheel(const CPoint& p, const float&, const CButtonState& b) override {
        events.push_back({"wheel", p, b});
        return true;
    }
    void draw(CDrawContext* context) override {
        if (fill.alpha == 0) return;
        context->setFillColor(fill);
        context->drawRect(overdraw ? CRect(-1000, -1000, 1000, 1000) : size, kDrawFilled);
    }
    int count(const std::string& what) const {
        return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const Event& e) { return e.what == what; }));
    }
    std::vector<std::string> names() const {
        std::vector<std::string> n;
        for (const auto& e : events) n.push_back(e.what);
        return n;
    }
};

}  // namespace qgui::test
