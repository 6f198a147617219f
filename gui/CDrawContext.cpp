#include "gui/CDrawContext.h"

#include "gui/CBitmap.h"
#include "gui/CFontDesc.h"
#include "gui/utf8.h"

#include <cairo.h>

namespace qgui {

namespace {

constexpr double kDegree = M_PI / 180.0;

void arcPath(cairo_t* cr, const CRect& r, double start, double end, bool clockwise) {
    double w = r.getWidth(), h = r.getHeight();
    if (w <= 0 || h <= 0) return;
    cairo_save(cr);
    cairo_translate(cr, r.left + w / 2, r.top + h / 2);
    cairo_scale(cr, w / 2, h / 2);
    if (clockwise)
        cairo_arc(cr, 0, 0, 1, start * kDegree, end * kDegree);
    else
        cairo_arc_negative(cr, 0, 0, 1, start * kDegree, end * kDegree);
    cairo_restore(cr);
}

}  // namespace

CDrawContext::CDrawContext(cairo_t* c, const CRect& sr, double s) : cr(c), surfaceRect(sr), scale(s > 0 ? s : 1) {
    cairo_reference(cr);
    state.clip = CRect(0, 0, sr.getWidth(), sr.getHeight()).offset(sr.left, sr.top);
}

CDrawContext::~CDrawContext() { cairo_destroy(cr); }

void CDrawContext::saveGlobalState() { stack.push_back(state); }

void CDrawContext::restoreGlobalState() {
    if (stack.empty()) return;
    state = stack.back();
    stack.pop_back();
    cairoStateValid = false;
}

void CDrawContext::setFont(const CFontDesc* font, CCoord size, int32_t) {
    state.font = font;
    state.fontSize = size;
}

// The clip is kept in frame coordinates; only the transform's translation and scale apply to it.
void CDrawContext::setClipRect(const CRect& clip) {
    const auto& t = state.transform;
    CPoint a = t.apply(clip.getTopLeft()), b = t.apply(clip.getBottomRight());
    state.clip = CRect(a.x, a.y, b.x, b.y).normalize();
    cairoStateValid = false;
}

CRect& CDrawContext::getClipRect(CRect& clip) const {
    const auto& t = state.transform;
    double sx = t.m11 != 0 ? t.m11 : 1, sy = t.m22 != 0 ? t.m22 : 1;
    clip = CRect((state.clip.left - t.dx) / sx, (state.clip.top - t.dy) / sy, (state.clip.right - t.dx) / sx,
                 (state.clip.bottom - t.dy) / sy)
               .normalize();
    return clip;
}

void CDrawContext::resetClipRect() {
    state.clip = surfaceRect;
    cairoStateValid = false;
}

void CDrawContext::pushTransform(const CGraphicsTransform& t) {
    transforms.push_back(state.transform);
    state.transform = t * state.transform;
    cairoStateValid = false;
}

void CDrawContext::popTransform() {
    if (transforms.empty()) return;
    state.transform = transforms.back();
    transforms.pop_back();
    cairoStateValid = false;
}

void CDrawContext::applyClipAndMatrix() {
    if (!cairoStateValid) {
        cairo_reset_clip(cr);
        cairo_identity_matrix(cr);
        cairo_translate(cr, -surfaceRect.left * scale, -surfaceRect.top * scale);
        cairo_scale(cr, scale, scale);
        cairo_new_path(cr);
        // Whole device pixels: neighbouring views share no pixel at fractional zooms.
        CRect d = state.clip;
        d.scale(scale);
        d.offset(-surfaceRect.left * scale, -surfaceRect.top * scale);
        d = CRect(std::round(d.left), std::round(d.top), std::round(d.right), std::round(d.bottom));
        cairo_identity_matrix(cr);
        cairo_rectangle(cr, d.left, d.top, std::max(0.0, d.getWidth()), std::max(0.0, d.getHeight()));
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_clip(cr);
        cairoStateValid = true;
    }
    const auto& t = state.transform;
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.m11, t.m21, t.m12, t.m22, t.dx, t.dy);
    cairo_identity_matrix(cr);
    cairo_translate(cr, -surfaceRect.left * scale, -surfaceRect.top * scale);
    cairo_scale(cr, scale, scale);
    cairo_transform(cr, &m);
    cairo_set_antialias(cr, aliased() ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_DEFAULT);
    cairo_new_path(cr);
}

void CDrawContext::setSourceColor(const CColor& c) {
    cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0 * state.globalAlpha);
}

void CDrawContext::applyLineStyle() {
    cairo_set_line_width(cr, state.lineWidth);
    static const cairo_line_cap_t caps[] = {CAIRO_LINE_CAP_BUTT, CAIRO_LINE_CAP_ROUND, CAIRO_LINE_CAP_SQUARE};
    static const cairo_line_join_t joins[] = {CAIRO_LINE_JOIN_MITER, CAIRO_LINE_JOIN_ROUND, CAIRO_LINE_JOIN_BEVEL};
    cairo_set_line_cap(cr, caps[state.lineStyle.cap]);
    cairo_set_line_join(cr, joins[state.lineStyle.join]);
    if (state.lineStyle.dashes.empty()) {
        cairo_set_dash(cr, nullptr, 0, 0);
    } else {
        std::vector<double> d(state.lineStyle.dashes);
        for (auto& v : d) v *= state.lineWidth;
        cairo_set_dash(cr, d.data(), static_cast<int>(d.size()), state.lineStyle.dashPhase * state.lineWidth);
    }
}

void CDrawContext::applyFont() {
    const CFontDesc* font = state.font ? state.font : kSystemFont();
    cairo_set_font_face(cr, font->getFontFace());
    cairo_set_font_size(cr, state.fontSize > 0 ? state.fontSize : font->getSize());
}

CPoint CDrawContext::toDevice(const CPoint& p) const {
    CPoint q = state.transform.apply(p);
    return {(q.x - surfaceRect.left) * scale, (q.y - surfaceRect.top) * scale};
}

// Aliased rectangles and lines are laid on whole device pixels; a stroked outline lies inside the rectangle.
void CDrawContext::pixelRect(const CRect& r, bool stroke) {
    CPoint a = toDevice(r.getTopLeft()), b = toDevice(r.getBottomRight());
    CRect d = CRect(a.x, a.y, b.x, b.y).normalize();
    d = CRect(std::round(d.left), std::round(d.top), std::round(d.right), std::round(d.bottom));
    cairo_identity_matrix(cr);
    if (stroke) {
        double lw = std::max(1.0, std::round(state.lineWidth * scale));
        cairo_set_line_width(cr, lw);
        d.inset(lw / 2, lw / 2);
    }
    cairo_rectangle(cr, d.left, d.top, std::max(0.0, d.getWidth()), std::max(0.0, d.getHeight()));
}

void CDrawContext::drawLine(const CPoint& start, const CPoint& end) {
    applyClipAndMatrix();
    applyLineStyle();
    setSourceColor(state.frameColor);
    if (aliased() && state.transform.m12 == 0 && state.transform.m21 == 0) {
        // Device pixel centres for odd widths, so a one-pixel line covers exactly one row of pixels.
        double lw = std::max(1.0, std::round(state.lineWidth * scale));
        // A line at y covers the pixel row y .. y + width, as in every zoom.
        double hw = state.lineWidth / 2;
        CPoint a = toDevice(CPoint(start.x + hw, start.y + hw)), b = toDevice(CPoint(end.x + hw, end.y + hw));
        auto snap = [&](double v) { return static_cast<int>(lw) % 2 ? std::floor(v) + 0.5 : std::round(v); };
        cairo_identity_matrix(cr);
        cairo_set_line_width(cr, lw);
        cairo_move_to(cr, snap(a.x), snap(a.y));
        cairo_line_to(cr, snap(b.x), snap(b.y));
    } else {
        cairo_move_to(cr, start.x, start.y);
        cairo_line_to(cr, end.x, end.y);
    }
    cairo_stroke(cr);
}

void CDrawContext::drawLines(const std::vector<std::pair<CPoint, CPoint>>& lines) {
    for (const auto& l : lines) drawLine(l.first, l.second);
}

void CDrawContext::drawPolygon(const std::vector<CPoint>& points, CDrawStyle style) {
    if (points.empty()) return;
    auto path = [&] {
        cairo_new_path(cr);
        cairo_move_to(cr, points[0].x, points[0].y);
        for (size_t i = 1; i < points.size(); ++i) cairo_line_to(cr, points[i].x, points[i].y);
    };
    applyClipAndMatrix();
    applyLineStyle();
    if (style != kDrawStroked) {
        path();
        cairo_close_path(cr);
        setSourceColor(state.fillColor);
        cairo_fill(cr);
    }
    if (style != kDrawFilled) {
        path();
        setSourceColor(state.frameColor);
        cairo_stroke(cr);
    }
}

void CDrawContext::drawRect(const CRect& rect, CDrawStyle style) {
    applyClipAndMatrix();
    applyLineStyle();
    bool exact = aliased() && integral() && state.transform.m12 == 0 && state.transform.m21 == 0;
    if (style != kDrawStroked) {
        if (exact)
            pixelRect(rect, false);
        else
            cairo_rectangle(cr, rect.left, rect.top, rect.getWidth(), rect.getHeight());
        setSourceColor(state.fillColor);
        cairo_fill(cr);
        applyClipAndMatrix();
        applyLineStyle();
    }
    if (style != kDrawFilled) {
        if (exact) {
            pixelRect(rect, true);
        } else {
            CRect r = rect;
            r.inset(state.lineWidth / 2, state.lineWidth / 2);
            cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
        }
        setSourceColor(state.frameColor);
        cairo_stroke(cr);
    }
}

void CDrawContext::drawEllipse(const CRect& rect, CDrawStyle style) { drawArc(rect, 0, 360, style); }

void CDrawContext::drawArc(const CRect& rect, double startAngle, double endAngle, CDrawStyle style) {
    applyClipAndMatrix();
    applyLineStyle();
    bool full = std::abs(endAngle - startAngle) >= 360;
    if (style != kDrawStroked) {
        if (!full) cairo_move_to(cr, rect.getCenter().x, rect.getCenter().y);
        arcPath(cr, rect, startAngle, endAngle, true);
        cairo_close_path(cr);
        setSourceColor(state.fillColor);
        cairo_fill(cr);
    }
    if (style != kDrawFilled) {
        cairo_new_path(cr);
        arcPath(cr, rect, startAngle, endAngle, true);
        setSourceColor(state.frameColor);
        cairo_stroke(cr);
    }
}

void CDrawContext::drawPoint(const CPoint& p, const CColor& color) {
    applyClipAndMatrix();
    cairo_rectangle(cr, p.x, p.y, 1, 1);
    setSourceColor(color);
    cairo_fill(cr);
}

void CDrawContext::clearRect(const CRect& rect) {
    applyClipAndMatrix();
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_rectangle(cr, rect.left, rect.top, rect.getWidth(), rect.getHeight());
    cairo_fill(cr);
    cairo_restore(cr);
}

void CDrawContext::drawGraphicsPath(const CGraphicsPath* path, PathDrawMode mode, const CGraphicsTransform* t) {
    if (!path || path->isEmpty()) return;
    applyClipAndMatrix();
    applyLineStyle();
    if (t) {
        cairo_matrix_t m;
        cairo_matrix_init(&m, t->m11, t->m21, t->m12, t->m22, t->dx, t->dy);
        cairo_transform(cr, &m);
    }
    using Op = CGraphicsPath::Op;
    for (const auto& e : path->elements()) {
        const double* v = e.v;
        switch (e.op) {
            case Op::Move: cairo_move_to(cr, v[0], v[1]); break;
            case Op::Line: cairo_line_to(cr, v[0], v[1]); break;
            case Op::Curve: cairo_curve_to(cr, v[0], v[1], v[2], v[3], v[4], v[5]); break;
            case Op::Close: cairo_close_path(cr); break;
            case Op::Rect: cairo_rectangle(cr, v[0], v[1], v[2] - v[0], v[3] - v[1]); break;
            case Op::Ellipse:
                cairo_new_sub_path(cr);
                arcPath(cr, CRect(v[0], v[1], v[2], v[3]), 0, 360, true);
                cairo_close_path(cr);
                break;
            case Op::Arc: arcPath(cr, CRect(v[0], v[1], v[2], v[3]), v[4], v[5], v[6] != 0); break;
        }
    }
    if (mode == PathDrawMode::kStroked) {
        setSourceColor(state.frameColor);
        cairo_stroke(cr);
    } else {
        cairo_set_fill_rule(cr, mode == PathDrawMode::kFilledEvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        setSourceColor(state.fillColor);
        cairo_fill(cr);
    }
}

void CDrawContext::drawString(const std::string& given, const CRect& rect, CHoriTxtAlign align, bool antialias) {
    if (given.empty()) return;
    const std::string utf8 = utf8::displayable(given);
    applyClipAndMatrix();
    applyFont();
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    cairo_text_extents_t te;
    cairo_text_extents(cr, utf8.c_str(), &te);
    double x = rect.left;
    if (align == kCenterText)
        x = rect.left + (rect.getWidth() - te.x_advance) / 2;
    else if (align == kRightText)
        x = rect.right - te.x_advance;
    double y = rect.top + (rect.getHeight() + fe.ascent - fe.descent) / 2;
    setSourceColor(state.fontColor);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, utf8.c_str());
}

void CDrawContext::drawString(const std::string& given, const CPoint& baseline, bool) {
    if (given.empty()) return;
    const std::string utf8 = utf8::displayable(given);
    applyClipAndMatrix();
    applyFont();
    setSourceColor(state.fontColor);
    cairo_move_to(cr, baseline.x, baseline.y);
    cairo_show_text(cr, utf8.c_str());
}

CCoord CDrawContext::getStringWidth(const std::string& utf8) {
    const CFontDesc* font = state.font ? state.font : kSystemFont();
    return measureString(font, utf8, state.fontSize);
}

namespace {

// One scratch context per thread; measuring happens on the user-interface thread.
cairo_t* scratchContext() {
    thread_local cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    thread_local cairo_t* scratch = cairo_create(surface);
    return scratch;
}

}  // namespace

CCoord CDrawContext::measureString(const CFontDesc* font, const std::string& utf8, CCoord size) {
    if (utf8.empty()) return 0;
    if (!font) font = kSystemFont();
    cairo_t* scratch = scratchContext();
    cairo_set_font_face(scratch, font->getFontFace());
    cairo_set_font_size(scratch, size > 0 ? size : font->getSize());
    cairo_text_extents_t te;
    cairo_text_extents(scratch, utf8::displayable(utf8).c_str(), &te);
    return te.x_advance;
}

CCoord CDrawContext::measureDrawnString(const CFontDesc* font, const std::string& utf8, CCoord size) const {
    if (!font) font = kSystemFont();
    const double device = scale * state.transform.m11;
    if (device <= 0) return measureString(font, utf8, size);
    return measureString(font, utf8, (size > 0 ? size : font->getSize()) * device) / device;
}

CCoord CDrawContext::fittingFontSize(const CFontDesc* font, CCoord height) {
    if (!font) font = kSystemFont();
    const CCoord size = font->getSize();
    cairo_t* scratch = scratchContext();
    cairo_set_font_face(scratch, font->getFontFace());
    cairo_set_font_size(scratch, size);
    cairo_text_extents_t te;
    cairo_text_extents(scratch, "0123456789HM", &te);
    const CCoord room = height - 1;
    if (te.height <= room || te.height <= 0 || room <= 0) return size;
    return size * room / te.height;
}

void CDrawContext::drawBitmap(CBitmap* bitmap, const CRect& dest, const CPoint& offset, float alpha) {
    if (!bitmap || !bitmap->getPlatformBitmap()) return;
    const auto& pb = bitmap->getPlatformBitmap();
    applyClipAndMatrix();
    double bs = pb->getScaleFactor();
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(pb->getSurface());
    // pattern space = (user - dest.topLeft + offset) × bitmap scale
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, bs, bs);
    cairo_matrix_translate(&m, offset.x - dest.left, offset.y - dest.top);
    cairo_pattern_set_matrix(pattern, &m);
    double deviceRatio = scale / bs;
    cairo_pattern_set_filter(pattern, deviceRatio == 1.0 ? CAIRO_FILTER_NEAREST
                                      : deviceRatio < 1.0 ? CAIRO_FILTER_BEST
                                                          : CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_set_source(cr, pattern);
    // The destination is clipped on whole device pixels like the views themselves.
    CPoint a = toDevice(dest.getTopLeft()), b = toDevice(dest.getBottomRight());
    CRect d = CRect(a.x, a.y, b.x, b.y).normalize();
    d = CRect(std::round(d.left), std::round(d.top), std::round(d.right), std::round(d.bottom));
    // The source is locked to user space at cairo_set_source, so the clip may be set in device pixels.
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_rectangle(cr, d.left, d.top, d.getWidth(), d.getHeight());
    cairo_clip(cr);
    cairo_paint_with_alpha(cr, std::clamp(alpha, 0.f, 1.f) * state.globalAlpha);
    cairo_restore(cr);
    cairo_pattern_destroy(pattern);
}

}  // namespace qgui
