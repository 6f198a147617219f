// Basic value types of the widget toolkit: geometry, colour, reference counting, mouse and key codes.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "host/vst24abi.h"

namespace qgui {

using CCoord = double;

struct CPoint {
    CCoord x = 0;
    CCoord y = 0;

    constexpr CPoint() = default;
    constexpr CPoint(CCoord x_, CCoord y_) : x(x_), y(y_) {}

    CPoint& offset(CCoord dx, CCoord dy) { x += dx; y += dy; return *this; }
    CPoint& offset(const CPoint& p) { return offset(p.x, p.y); }
    constexpr bool operator==(const CPoint&) const = default;
    constexpr CPoint operator+(const CPoint& p) const { return {x + p.x, y + p.y}; }
    constexpr CPoint operator-(const CPoint& p) const { return {x - p.x, y - p.y}; }
};

// A rectangle in doubles; right and bottom are exclusive for hit tests.
struct CRect {
    CCoord left = 0, top = 0, right = 0, bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(CCoord l, CCoord t, CCoord r, CCoord b) : left(l), top(t), right(r), bottom(b) {}
    constexpr CRect(const CPoint& origin, const CPoint& size)
        : left(origin.x), top(origin.y), right(origin.x + size.x), bottom(origin.y + size.y) {}

    constexpr CCoord getWidth() const { return right - left; }
    constexpr CCoord getHeight() const { return bottom - top; }
    CRect& setWidth(CCoord w) { right = left + w; return *this; }
    CRect& setHeight(CCoord h) { bottom = top + h; return *this; }
    constexpr CPoint getTopLeft() const { return {left, top}; }
    constexpr CPoint getBottomRight() const { return {right, bottom}; }
    constexpr CPoint getSize() const { return {right - left, bottom - top}; }
    constexpr CPoint getCenter() const { return {(left + right) / 2, (top + bottom) / 2}; }
    CRect& setTopLeft(const CPoint& p) { left = p.x; top = p.y; return *this; }
    CRect& setBottomRight(const CPoint& p) { right = p.x; bottom = p.y; return *this; }

    CRect& offset(CCoord dx, CCoord dy) { left += dx; right += dx; top += dy; bottom += dy; return *this; }
    CRect& offset(const CPoint& p) { return offset(p.x, p.y); }
    CRect& moveTo(CCoord x, CCoord y) { return offset(x - left, y - top); }
    CRect& moveTo(const CPoint& p) { return moveTo(p.x, p.y); }
    CRect& inset(CCoord dx, CCoord dy) { left += dx; right -= dx; top += dy; bottom -= dy; return *this; }
    CRect& extend(CCoord dx, CCoord dy) { return inset(-dx, -dy); }
    CRect& scale(double f) { left *= f; top *= f; right *= f; bottom *= f; return *this; }

    constexpr bool isEmpty() const { return right <= left || bottom <= top; }
    constexpr bool pointInside(const CPoint& p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    constexpr bool rectOverlap(const CRect& r) const {
        return r.right > left && r.left < right && r.bottom > top && r.top < bottom;
    }
    // Intersection; an empty result keeps left <= right and top <= bottom.
    CRect& bound(const CRect& r) {
        left = std::max(left, r.left);
        top = std::max(top, r.top);
        right = std::max(left, std::min(right, r.right));
        bottom = std::max(top, std::min(bottom, r.bottom));
        return *this;
    }
    CRect& unite(const CRect& r) {
        if (r.isEmpty()) return *this;
        if (isEmpty()) { *this = r; return *this; }
        left = std::min(left, r.left);
        top = std::min(top, r.top);
        right = std::max(right, r.right);
        bottom = std::max(bottom, r.bottom);
        return *this;
    }
    // Smallest rectangle of whole numbers that holds this one.
    CRect& makeIntegral() {
        left = std::floor(left);
        top = std::floor(top);
        right = std::ceil(right);
        bottom = std::ceil(bottom);
        return *this;
    }
    CRect& normalize() {
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
        return *this;
    }
    constexpr bool operator==(const CRect&) const = default;
};

struct CColor {
    uint8_t red = 0, green = 0, blue = 0, alpha = 255;
    constexpr bool operator==(const CColor&) const = default;
};

constexpr CColor MakeCColor(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) { return CColor{r, g, b, a}; }
constexpr CColor kTransparentCColor{255, 255, 255, 0};
constexpr CColor kBlackCColor{0, 0, 0, 255};
constexpr CColor kWhiteCColor{255, 255, 255, 255};
constexpr CColor kGreyCColor{127, 127, 127, 255};
constexpr CColor kRedCColor{255, 0, 0, 255};
constexpr CColor kGreenCColor{0, 255, 0, 255};
constexpr CColor kBlueCColor{0, 0, 255, 255};
constexpr CColor kYellowCColor{255, 255, 0, 255};

// Reference counting of views, bitmaps, fonts and menu items: an object starts with one reference,
// remember() adds one, forget() drops one and deletes the object at zero.
class CBaseObject {
public:
    CBaseObject() = default;
    CBaseObject(const CBaseObject&) : refCount(1) {}
    CBaseObject& operator=(const CBaseObject&) { return *this; }
    virtual ~CBaseObject() = default;

    void remember() { ++refCount; }
    void forget() {
        if (--refCount == 0) delete this;
    }
    int32_t getNbReference() const { return refCount; }

private:
    int32_t refCount = 1;
};

// Mouse buttons and modifiers held during a mouse event.
using CButtonState = int32_t;
constexpr int32_t kLButton = 1 << 1;
constexpr int32_t kMButton = 1 << 2;
constexpr int32_t kRButton = 1 << 3;
constexpr int32_t kShift = 1 << 4;
constexpr int32_t kControl = 1 << 5;
constexpr int32_t kAlt = 1 << 6;
constexpr int32_t kApple = 1 << 7;
constexpr int32_t kButton4 = 1 << 8;
constexpr int32_t kButton5 = 1 << 9;
constexpr int32_t kDoubleClick = 1 << 10;
constexpr int32_t kMouseButtons = kLButton | kMButton | kRButton | kButton4 | kButton5;
constexpr int32_t kModifierKeys = kShift | kControl | kAlt | kApple;

enum CMouseEventResult : int32_t {
    kMouseEventNotImplemented = 0,
    kMouseEventHandled,
    kMouseEventNotHandled,
    kMouseDownEventHandledButDontNeedMovedOrUpEvents,
    kMouseMoveEventHandledButDontNeedMoreEvents,
};

enum CHoriTxtAlign : int32_t { kLeftText = 0, kCenterText, kRightText };

// Knob drag modes as the host sets them (effSetEditKnobMode).
constexpr int32_t kCircularMode = 0;
constexpr int32_t kRelativCircularMode = 1;
constexpr int32_t kLinearMode = 2;

// Key events are the VST 2.4 interface's own record (one type for the host, the editor and the toolkit):
// `character` is the key's unshifted lower-case character (0 for keys that have a virtual code), `virt` a
// VstVirtualKey, `modifier` the MODIFIER_ bits.
using ::VstKeyCode;

enum VstVirtualKey : uint8_t {
    VKEY_BACK = 1, VKEY_TAB, VKEY_CLEAR, VKEY_RETURN, VKEY_PAUSE, VKEY_ESCAPE, VKEY_SPACE, VKEY_NEXT,
    VKEY_END, VKEY_HOME, VKEY_LEFT, VKEY_UP, VKEY_RIGHT, VKEY_DOWN, VKEY_PAGEUP, VKEY_PAGEDOWN,
    VKEY_SELECT, VKEY_PRINT, VKEY_ENTER, VKEY_SNAPSHOT, VKEY_INSERT, VKEY_DELETE, VKEY_HELP,
    VKEY_NUMPAD0, VKEY_NUMPAD1, VKEY_NUMPAD2, VKEY_NUMPAD3, VKEY_NUMPAD4, VKEY_NUMPAD5, VKEY_NUMPAD6,
    VKEY_NUMPAD7, VKEY_NUMPAD8, VKEY_NUMPAD9, VKEY_MULTIPLY, VKEY_ADD, VKEY_SEPARATOR, VKEY_SUBTRACT,
    VKEY_DECIMAL, VKEY_DIVIDE, VKEY_F1, VKEY_F2, VKEY_F3, VKEY_F4, VKEY_F5, VKEY_F6, VKEY_F7, VKEY_F8,
    VKEY_F9, VKEY_F10, VKEY_F11, VKEY_F12, VKEY_NUMLOCK, VKEY_SCROLL, VKEY_SHIFT, VKEY_CONTROL,
    VKEY_ALT, VKEY_EQUALS,
};

enum VstModifierKey : uint8_t {
    MODIFIER_SHIFT = 1 << 0,
    MODIFIER_ALTERNATE = 1 << 1,
    MODIFIER_COMMAND = 1 << 2,
    MODIFIER_CONTROL = 1 << 3,
};

// Affine transform: x' = m11 x + m12 y + dx, y' = m21 x + m22 y + dy.
struct CGraphicsTransform {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;

    CGraphicsTransform& translate(double x, double y) { dx += x; dy += y; return *this; }
    CGraphicsTransform& scale(double sx, double sy) {
        m11 *= sx; m12 *= sx; dx *= sx;
        m21 *= sy; m22 *= sy; dy *= sy;
        return *this;
    }
    // this followed by t
    CGraphicsTransform operator*(const CGraphicsTransform& t) const {
        CGraphicsTransform r;
        r.m11 = t.m11 * m11 + t.m12 * m21;
        r.m12 = t.m11 * m12 + t.m12 * m22;
        r.m21 = t.m21 * m11 + t.m22 * m21;
        r.m22 = t.m21 * m12 + t.m22 * m22;
        r.dx = t.m11 * dx + t.m12 * dy + t.dx;
        r.dy = t.m21 * dx + t.m22 * dy + t.dy;
        return r;
    }
    CPoint apply(const CPoint& p) const { return {m11 * p.x + m12 * p.y + dx, m21 * p.x + m22 * p.y + dy}; }
    bool isIdentity() const { return m11 == 1 && m12 == 0 && m21 == 0 && m22 == 1 && dx == 0 && dy == 0; }
};

}  // namespace qgui
