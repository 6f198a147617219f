#include "gui/platform/COffscreenPlatform.h"

#include "gui/CFrame.h"
#include "gui/utf8.h"

#include <cairo.h>

#include <optional>

namespace qgui {

namespace {
std::optional<std::string>& clipboard() {
    static std::optional<std::string> text;
    return text;
}
}  // namespace

COffscreenPlatform::COffscreenPlatform(CFrame* f) : frame(f) {}

bool COffscreenPlatform::getClipboardText(std::string& text) {
    if (!clipboard()) return false;
    text = *clipboard();
    return true;
}

bool COffscreenPlatform::putClipboardText(const std::string& text) {
    clipboard() = text;
    return true;
}

void COffscreenPlatform::setClipboardText(const std::string& text) { clipboard() = text; }
void COffscreenPlatform::clearClipboard() { clipboard().reset(); }

void COffscreenPlatform::mouseDown(const CPoint& where, CButtonState buttons) {
    pointer = where;
    frame->platformOnMouseDown(where, buttons);
}

void COffscreenPlatform::mouseMove(const CPoint& where, CButtonState buttons) {
    pointer = where;
    frame->platformOnMouseMoved(where, buttons);
}

void COffscreenPlatform::mouseUp(const CPoint& where, CButtonState buttons) {
    pointer = where;
    frame->platformOnMouseUp(where, buttons);
}

void COffscreenPlatform::click(const CPoint& where, CButtonState buttons) {
    mouseDown(where, buttons);
    mouseUp(where, buttons & ~kDoubleClick);
}

void COffscreenPlatform::doubleClick(const CPoint& where, CButtonState buttons) {
    click(where, buttons);
    click(where, buttons | kDoubleClick);
}

void COffscreenPlatform::mouseCancel() { frame->platformOnMouseCancel(); }

void COffscreenPlatform::wheel(const CPoint& where, float distance, CButtonState buttons) {
    pointer = where;
    frame->platformOnWheel(where, distance, buttons);
}

int32_t COffscreenPlatform::keyDown(VstKeyCode code) { return frame->onKeyDown(code); }
int32_t COffscreenPlatform::keyUp(VstKeyCode code) { return frame->onKeyUp(code); }

void COffscreenPlatform::typeText(const std::string& utf8) {
    for (size_t i = 0; i < utf8.size();) {
        size_t n = utf8::sequenceLength(utf8, i);
        std::string ch = utf8.substr(i, n);
        VstKeyCode code{};
        code.character = n == 1 ? static_cast<unsigned char>(ch[0]) : 0;
        if (code.character >= 'A' && code.character <= 'Z') {
            code.character += 'a' - 'A';
            code.modifier = MODIFIER_SHIFT;
        }
        if (frame->onKeyDown(code) != 1) frame->onTextInput(ch);
        frame->onKeyUp(code);
        i += n;
    }
}

bool COffscreenPlatform::drop(IDataPackage* data, const CPoint& where) {
    pointer = where;
    return frame->platformOnDrop(data, where);
}

CColor COffscreenPlatform::getPixel(int32_t x, int32_t y) {
    frame->paintInvalid();
    cairo_surface_t* s = frame->getBackBuffer();
    if (!s || x < 0 || y < 0 || x >= cairo_image_surface_get_width(s) || y >= cairo_image_surface_get_height(s))
        return kTransparentCColor;
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    uint32_t px = *reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(s) + x * 4);
    CColor c;
    c.alpha = static_cast<uint8_t>(px >> 24);
    auto un = [&](uint32_t v) -> uint8_t {
        v &= 0xFF;
        return c.alpha ? static_cast<uint8_t>(std::min<uint32_t>(255, (v * 255 + c.alpha / 2) / c.alpha)) : 0;
    };
    c.red = un(px >> 16);
    c.green = un(px >> 8);
    c.blue = un(px);
    return c;
}

bool COffscreenPlatform::writePNG(const std::string& path) {
    frame->paintInvalid();
    cairo_surface_t* s = frame->getBackBuffer();
    return s && cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace qgui
