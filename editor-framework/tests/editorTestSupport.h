// Helpers of the editor framework's tests: temporary folders, PNG fixtures drawn with cairo, a listener
// that records what controls report, an offscreen frame for single controls, and plug-in instances.
#pragma once

#include "editor-framework/podoVSTEditor.h"
#include "foundation/podoLog.h"
#include "foundation/podoStr.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/platform/COffscreenPlatform.h"
#include "host/podoVST.h"

#include <cairo.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace edtest {

struct TempDir {
    std::filesystem::path path;
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "editorfwXXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string file(const std::string &name) const { return (path / name).string(); }
    // The folder as the editor's skins root: ends with a separator.
    std::string root() const { return path.string() + "/"; }
};

inline void writeText(const std::string &file, const std::string &text)
{
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    FILE *f = std::fopen(file.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// A PNG of w × h pixels painted by `paint` (cairo in pixel units); folders are made as needed.
inline bool writePng(const std::string &file, int w, int h, const std::function<void(cairo_t *)> &paint)
{
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    cairo_surface_t *s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t *cr = cairo_create(s);
    paint(cr);
    cairo_destroy(cr);
    bool ok = cairo_surface_write_to_png(s, file.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

inline bool writeSolidPng(const std::string &file, int w, int h, qgui::CColor c)
{
    return writePng(file, w, h, [&](cairo_t *cr) {
        cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
        cairo_paint(cr);
    });
}

// A vertical strip of `frames` frames; frame i is grey level 20 × i.
inline bool writeStrip(const std::string &file, int w, int frameHeight, int frames)
{
    return writePng(file, w, frameHeight * frames, [&](cairo_t *cr) {
        for (int i = 0; i < frames; ++i) {
            cairo_set_source_rgb(cr, i * 20 / 255.0, i * 20 / 255.0, i * 20 / 255.0);
            cairo_rectangle(cr, 0, i * frameHeight, w, frameHeight);
            cairo_fill(cr);
        }
    });
}

inline qgui::CColor grey(int level) { return qgui::MakeCColor(uint8_t(level), uint8_t(level), uint8_t(level)); }

// What a listener was told: the control's tag and value at each report.
struct Report {
    int32_t tag;
    float value;
};

struct RecordingListener : qgui::IControlListener {
    std::vector<Report> reports;
    int32_t modifierAnswer = 0;
    std::function<void(qgui::CControl *)> onReport;
    void valueChanged(qgui::CControl *c) override
    {
        reports.push_back({c->getTag(), c->getValue()});
        if (onReport)
            onReport(c);
    }
    int32_t controlModifierClicked(qgui::CControl *, qgui::CButtonState) override { return modifierAnswer; }
    std::vector<float> values() const
    {
        std::vector<float> v;
        for (const auto &r : reports)
            v.push_back(r.value);
        return v;
    }
};

// An offscreen frame of its own for single controls; closed (and its views released) with the object.
struct Frame {
    qgui::CFrame *frame;
    qgui::COffscreenPlatform *off;
    explicit Frame(qgui::CCoord w = 400, qgui::CCoord h = 300)
        : frame(new qgui::CFrame(qgui::CRect(0, 0, w, h), nullptr))
    {
        frame->setBackgroundColor(qgui::kBlackCColor);
        frame->open(nullptr, qgui::PlatformType::kOffscreen);
        off = frame->getOffscreen();
    }
    ~Frame() { frame->close(); }
    // Adds a view; the frame takes over the caller's reference.
    template <class T>
    T *add(T *view)
    {
        frame->addView(view);
        return view;
    }
    qgui::CColor pixel(int x, int y) { return off->getPixel(x, y); }
};

// Log lines sent to the debugger output while the object lives.
struct LogCapture {
    static std::vector<std::string> &lines()
    {
        static std::vector<std::string> l;
        return l;
    }
    static void capture(const char16_t *piece) { lines().emplace_back(podoStr(piece).getNarrow()); }
    podo::DebugSink previous;
    LogCapture() : previous(podo::setDebugSink(capture)) { lines().clear(); }
    ~LogCapture() { podo::setDebugSink(previous); }
    bool has(const std::string &text) const
    {
        for (const auto &l : lines())
            if (l.find(text) != std::string::npos)
                return true;
        return false;
    }
    int count(const std::string &text) const
    {
        int n = 0;
        for (const auto &l : lines())
            n += l.find(text) != std::string::npos;
        return n;
    }
};

// The window sizes the plug-in asked the host for (audioMasterSizeWindow), answered yes.
inline std::vector<std::pair<int32_t, int32_t>> &sizeRequests()
{
    static std::vector<std::pair<int32_t, int32_t>> requests;
    return requests;
}

inline intptr_t quietHost(AEffect *, int32_t opcode, int32_t index, intptr_t value, void *ptr, float)
{
    if (opcode == audioMasterVersion)
        return 2400;
    if (opcode == audioMasterSizeWindow) {
        sizeRequests().push_back({index, int32_t(value)});
        return 1;
    }
    if (opcode == audioMasterCanDo && ptr && std::strcmp(static_cast<const char *>(ptr), "sizeWindow") == 0)
        return 1;
    return 0;
}

// A plug-in instance (counted among the live instances) for an editor to attach to.
class Instrument : public podoVSTInstrument
{
public:
    Instrument() : podoVSTInstrument(quietHost, 1, 128) {}
    using podoVST::runningTime;
};

inline float bitsToFloat(int64_t bits)
{
    uint32_t b = uint32_t(bits);
    float f;
    std::memcpy(&f, &b, sizeof f);
    return f;
}

} // namespace edtest

namespace edtest {

// The image names of every skins root of this test program: the list is read once per process, so
// every root lists the same names. Sorted, "$logo" comes first and so decides the zoom of a load.
inline const char *const imageList = "$logo\nback\nbutton\nfader\nhandle\nknob\nmeter\nmovie\nswitch\n";

struct SkinRoot : TempDir {
    SkinRoot() { writeText(file("images.lst"), imageList); }
    // An image of a skin ("" for the root itself), `variant` like "" or "@2x".
    void image(const std::string &skin, const std::string &name, int w, int h, qgui::CColor c,
               const std::string &variant = "")
    {
        writeSolidPng(file((skin.empty() ? "" : skin + "/") + name + variant + ".png"), w, h, c);
    }
    void colors(const std::string &skin, const std::string &text) { writeText(file(skin + "/colors.txt"), text); }
    podoStr rootPath() const { return podoStr(root().c_str()); }
};

// Points the editor at the root and reads the image list if no test did so before.
inline void useRoot(podoVSTEditor &editor, const SkinRoot &root)
{
    editor.setSkinsRoot(root.rootPath());
    editor.loadImageList();
}

} // namespace edtest
