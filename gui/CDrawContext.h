// Drawing context on cairo. Coordinates are unzoomed (logical) pixels; the context's scale factor (the
// frame's zoom) maps them to device pixels.
#pragma once

#include "gui/guiTypes.h"

#include <string>
#include <vector>

typedef struct _cairo cairo_t;

namespace qgui {

class CBitmap;
class CFontDesc;

enum CDrawStyle : int32_t { kDrawStroked = 0, kDrawFilled, kDrawFilledAndStroked };

// Pixel-exact (aliased, whole pixels) by default; anti-aliased where asked, with fractional coordinates
// when kNonIntegralMode is added.
constexpr int32_t kAliasing = 0;
constexpr int32_t kAntiAliasing = 1;
constexpr int32_t kNonIntegralMode = 0x10000;
using CDrawMode = int32_t;

struct CLineStyle {
    enum LineCap : int32_t { kLineCapButt = 0, kLineCapRound, kLineCapSquare };
    enum LineJoin : int32_t { kLineJoinMiter = 0, kLineJoinRound, kLineJoinBevel };
    LineCap cap = kLineCapButt;
    LineJoin join = kLineJoinMiter;
    std::vector<double> dashes;  // on/off lengths in line widths; empty = solid
    double dashPhase = 0;
    bool operator==(const CLineStyle&) const = default;
};
inline const CLineStyle kLineSolid{};
inline const CLineStyle kLineOnOffDash{CLineStyle::kLineCapButt, CLineStyle::kLineJoinMiter, {1, 1}, 0};

// A path of sub-paths in local coordinates, drawn by CDrawContext::drawGraphicsPath.
class CGraphicsPath : public CBaseObject {
public:
    enum class Op { Move, Line, Curve, Close, Rect, Ellipse, Arc };
    struct Element {
        Op op;
        double v[7];
    };
    void beginSubpath(const CPoint& p) { add(Op::Move, p.x, p.y); }
    void addLine(const CPoint& p) { add(Op::Line, p.x, p.y); }
    void addBezierCurve(const CPoint& c1, const CPoint& c2, const CPoint& end) {
        add(Op::Curve, c1.x, c1.y, c2.x, c2.y, end.x, end.y);
    }
    void addRect(const CRect& r) { add(Op::Rect, r.left, r.top, r.right, r.bottom); }
    void addEllipse(const CRect& r) { add(Op::Ellipse, r.left, r.top, r.right, r.bottom); }
    // Angles in degrees, 0 at three o'clock, growing clockwise (y points down).
    void addArc(const CRect& r, double startAngle, double endAngle, bool clockwise) {
        add(Op::Arc, r.left, r.top, r.right, r.bottom, startAngle, endAngle, clockwise ? 1 : 0);
    }
    void closeSubpath() { add(Op::Close); }
    const std::vector<Element>& elements() const { return items; }
    bool isEmpty() const { return items.empty(); }

private:
    void add(Op op, double a = 0, double b = 0, double c = 0, double d = 0, double e = 0, double f = 0,
             double g = 0) {
        items.push_back({op, {a, b, c, d, e, f, g}});
    }
    std::vector<Element> items;
};

enum class PathDrawMode { kFilled, kFilledEvenOdd, kStroked };

class CDrawContext {
public:
    // `cr` draws on a surface whose device pixel (0, 0) is logical point surfaceRect.topLeft × scale.
    CDrawContext(cairo_t* cr, const CRect& surfaceRect, double scaleFactor);
    ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    cairo_t* getCairo() const { return cr; }
    double getScaleFactor() const { return scale; }

    // State, saved and restored as a whole.
    void saveGlobalState();
    void restoreGlobalState();

    void setFillColor(const CColor& c) { state.fillColor = c; }
    CColor getFillColor() const { return state.fillColor; }
    void setFrameColor(const CColor& c) { state.frameColor = c; }
    CColor getFrameColor() const { return state.frameColor; }
    void setFontColor(const CColor& c) { state.fontColor = c; }
    CColor getFontColor() const { return state.fontColor; }
    void setFont(const CFontDesc* font, CCoord size = 0, int32_t style = -1);
    const CFontDesc* getFont() const { return state.font; }
    void setLineWidth(CCoord w) { state.lineWidth = w; }
    CCoord getLineWidth() const { return state.lineWidth; }
    void setLineStyle(const CLineStyle& s) { state.lineStyle = s; }
    const CLineStyle& getLineStyle() const { return state.lineStyle; }
    void setDrawMode(CDrawMode m) { state.drawMode = m; }
    CDrawMode getDrawMode() const { return state.drawMode; }
    void setGlobalAlpha(float a) { state.globalAlpha = std::clamp(a, 0.f, 1.f); }
    float getGlobalAlpha() const { return state.globalAlpha; }

    // Clip rectangle in the current (local) coordinates.
    void setClipRect(const CRect& clip);
    CRect& getClipRect(CRect& clip) const;
    void resetClipRect();

    // Local coordinates: the transform maps them to unzoomed frame coordinates.
    void pushTransform(const CGraphicsTransform& t);
    void popTransform();
    const CGraphicsTransform& getCurrentTransform() const { return state.transform; }
    struct Transform {
        Transform(CDrawContext& c, const CGraphicsTransform& t) : context(c) { context.pushTransform(t); }
        ~Transform() { context.popTransform(); }
        CDrawContext& context;
    };

    void drawLine(const CPoint& start, const CPoint& end);
    void drawLines(const std::vector<std::pair<CPoint, CPoint>>& lines);
    void drawPolygon(const std::vector<CPoint>& points, CDrawStyle style = kDrawStroked);
    void drawRect(const CRect& rect, CDrawStyle style = kDrawStroked);
    void drawEllipse(const CRect& rect, CDrawStyle style = kDrawStroked);
    // Angles in degrees, clockwise from three o'clock.
    void drawArc(const CRect& rect, double startAngle, double endAngle, CDrawStyle style = kDrawStroked);
    void drawPoint(const CPoint& p, const CColor& color);
    void clearRect(const CRect& rect);

    CGraphicsPath* createGraphicsPath() { return new CGraphicsPath; }
    void drawGraphicsPath(const CGraphicsPath* path, PathDrawMode mode = PathDrawMode::kFilled,
                          const CGraphicsTransform* transform = nullptr);

    // UTF-8 text in the font colour, vertically centred in the rectangle.
    void drawString(const std::string& utf8, const CRect& rect, CHoriTxtAlign align = kCenterText,
                    bool antialias = true);
    // Text whose baseline starts at the point.
    void drawString(const std::string& utf8, const CPoint& baseline, bool antialias = true);
    CCoord getStringWidth(const std::string& utf8);
    // Width in unzoomed pixels without a context, at `size` when given, else at the font's size.
    static CCoord measureString(const CFontDesc* font, const std::string& utf8, CCoord size = 0);
    // The width as this context draws it: glyph advances are rounded to whole device pixels, so a text
    // may be a little wider or narrower zoomed than its unzoomed width times the zoom.
    CCoord measureDrawnString(const CFontDesc* font, const std::string& utf8, CCoord size = 0) const;
    // The size at which the font's digits and capitals leave half a pixel free above and below them in an
    // area `height` high: the font's own size when they already do.
    static CCoord fittingFontSize(const CFontDesc* font, CCoord height);

    void drawBitmap(CBitmap* bitmap, const CRect& dest, const CPoint& offset = CPoint(), float alpha = 1.f);

private:
    struct State {
        CColor fillColor = kWhiteCColor;
        CColor frameColor = kBlackCColor;
        CColor fontColor = kBlackCColor;
        const CFontDesc* font = nullptr;
        CCoord fontSize = 0;  // 0: the font's own size
        CCoord lineWidth = 1;
        CLineStyle lineStyle;
        CDrawMode drawMode = kAliasing;
        float globalAlpha = 1.f;
        CRect clip;  // in unzoomed frame coordinates
        CGraphicsTransform transform;
    };

    void applyClipAndMatrix();
    void setSourceColor(const CColor& c);
    void applyLineStyle();
    void applyFont();
    bool aliased() const { return (state.drawMode & 0xF) == kAliasing; }
    bool integral() const { return !(state.drawMode & kNonIntegralMode); }
    CPoint toDevice(const CPoint& p) const;
    void pixelRect(const CRect& r, bool stroke);

    cairo_t* cr;
    CRect surfaceRect;
    double scale;
    State state;
    std::vector<State> stack;
    std::vector<CGraphicsTransform> transforms;
    bool cairoStateValid = false;
};

}  // namespace qgui
