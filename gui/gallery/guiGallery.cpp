// Renders one frame holding every control of the toolkit offscreen and writes it as a PNG.
// The images are drawn here with cairo, so the gallery needs no files.
#include "gui/gui.h"

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace qgui;

namespace {

// A bitmap painted by `paint` in pixel units at a scale factor.
CBitmap* makeBitmap(int w, int h, double scale, void (*paint)(cairo_t*, int w, int h)) {
    auto* bitmap = new CBitmap(w, h, scale);
    cairo_t* cr = cairo_create(bitmap->getPlatformBitmap()->getSurface());
    cairo_scale(cr, scale, scale);
    paint(cr, w, h);
    cairo_destroy(cr);
    cairo_surface_mark_dirty(bitmap->getPlatformBitmap()->getSurface());
    return bitmap;
}

void paintButton(cairo_t* cr, int w, int h) {
    for (int i = 0; i < 2; ++i) {
        cairo_set_source_rgb(cr, i ? 0.9 : 0.3, i ? 0.6 : 0.3, 0.2);
        cairo_rectangle(cr, 1, i * h / 2 + 1, w - 2, h / 2 - 2);
        cairo_fill(cr);
    }
}

void paintKnobStrip(cairo_t* cr, int w, int h) {
    int frames = h / w;
    for (int i = 0; i < frames; ++i) {
        double cx = w / 2.0, cy = i * w + w / 2.0, r = w / 2.0 - 2;
        cairo_set_source_rgb(cr, 0.25, 0.25, 0.3);
        cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
        cairo_fill(cr);
        double a = (135 + 270.0 * i / (frames - 1)) * M_PI / 180;
        cairo_set_source_rgb(cr, 1, 0.8, 0.2);
        cairo_set_line_width(cr, 2);
        cairo_move_to(cr, cx, cy);
        cairo_line_to(cr, cx + std::cos(a) * r, cy + std::sin(a) * r);
        cairo_stroke(cr);
    }
}

void paintTrack(cairo_t* cr, int w, int h) {
    cairo_set_source_rgb(cr, 0.15, 0.15, 0.18);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.4, 0.4, 0.45);
    cairo_rectangle(cr, 2, h / 2.0 - 1, w - 4, 2);
    cairo_fill(cr);
}

void paintHandle(cairo_t* cr, int w, int h) {
    cairo_set_source_rgb(cr, 0.85, 0.85, 0.9);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_fill(cr);
}

void paintMeter(cairo_t* cr, int w, int h) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, h, 0, 0);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.1, 0.8, 0.1);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.9, 0.1, 0.1);
    cairo_set_source(cr, p);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void paintMovie(cairo_t* cr, int w, int h) {
    int frames = h / w;
    for (int i = 0; i < frames; ++i) {
        cairo_set_source_rgb(cr, 0.2 + 0.8 * i / (frames - 1), 0.2, 0.5);
        cairo_rectangle(cr, 1, i * w + 1, w - 2, w - 2);
        cairo_fill(cr);
    }
}

CTextLabel* caption(CViewContainer* c, CCoord x, CCoord y, const char* text) {
    auto* l = new CTextLabel(CRect(x, y, x + 90, y + 14), text, nullptr, kNoFrame);
    l->setTransparency(true);
    l->setFontColor(MakeCColor(200, 200, 210));
    l->setHoriAlign(kLeftText);
    c->addView(l);
    return l;
}

}  // namespace

int main(int argc, char** argv) {
    std::string out = argc > 1 ? argv[1] : "gui-gallery.png";
    double zoom = argc > 2 ? std::atof(argv[2]) : 2.0;
    if (!(zoom > 0)) zoom = 1;

    auto* frame = new CFrame(CRect(0, 0, 420, 260), nullptr);
    frame->setBackgroundColor(MakeCColor(40, 42, 50));
    frame->setZoom(zoom);
    frame->open(nullptr, PlatformType::kOffscreen);

    // Bitmaps at scale 2, as the zoomed image variants are.
    CBitmap* button = makeBitmap(40, 40, 2, paintButton);
    CBitmap* knob = makeBitmap(32, 32 * 31, 2, paintKnobStrip);
    CBitmap* track = makeBitmap(120, 16, 2, paintTrack);
    CBitmap* vtrack = makeBitmap(16, 100, 2, paintTrack);
    CBitmap* handle = makeBitmap(10, 16, 2, paintHandle);
    CBitmap* meter = makeBitmap(12, 100, 2, paintMeter);
    CBitmap* movie = makeBitmap(24, 24 * 5, 2, paintMovie);

    caption(frame, 10, 4, "CKickButton");
    auto* kick = new CKickButton(CRect(10, 20, 50, 40), nullptr, 1, button);
    frame->addView(kick);
    caption(frame, 110, 4, "COnOffButton");
    auto* onOff = new COnOffButton(CRect(110, 20, 150, 40), nullptr, 2, button);
    onOff->setValue(1);
    frame->addView(onOff);

    caption(frame, 210, 4, "CAnimKnob");
    auto* animKnob = new CAnimKnob(CRect(210, 20, 242, 52), nullptr, 3, 31, 32, knob);
    animKnob->setValue(0.7f);
    frame->addView(animKnob);
    caption(frame, 310, 4, "CKnob");
    auto* plainKnob = new CKnob(CRect(310, 20, 342, 52), nullptr, 4);
    plainKnob->setValue(0.3f);
    frame->addView(plainKnob);

    caption(frame, 10, 60, "CSlider");
    auto* slider = new CSlider(CRect(10, 76, 130, 92), nullptr, 5, 0, 110, handle, track);
    slider->setValue(0.6f);
    frame->addView(slider);
    auto* vslider = new CSlider(CRect(150, 60, 166, 160), nullptr, 6, 0, 84, nullptr, vtrack, CPoint(), kBottom | kVertical);
    CBitmap* vhandle = makeBitmap(16, 16, 2, paintHandle);
    vslider->setHandle(vhandle);
    vhandle->forget();
    vslider->setValue(0.25f);
    frame->addView(vslider);

    caption(frame, 190, 60, "CVuMeter");
    auto* vu = new CVuMeter(CRect(190, 76, 202, 176), meter, nullptr, 100, kVertical);
    vu->setValue(0.65f);
    frame->addView(vu);
    caption(frame, 260, 60, "CMovieBitmap");
    auto* mb = new CMovieBitmap(CRect(260, 76, 284, 100), nullptr, 7, 5, 24, movie);
    mb->setValue(0.5f);
    frame->addView(mb);

    caption(frame, 10, 100, "CParamDisplay");
    auto* pd = new CParamDisplay(CRect(10, 116, 100, 132), nullptr, k3DIn);
    pd->setValue(0.42f);
    frame->addView(pd);
    caption(frame, 10, 136, "CTextLabel");
    auto* label = new CTextLabel(CRect(10, 152, 100, 168), "A label that is too long", nullptr, kShadowText);
    label->setTextTruncateMode(CTextLabel::kTruncateTail);
    label->setBackColor(MakeCColor(20, 20, 60));
    label->setFrameColor(kGreyCColor);
    frame->addView(label);

    caption(frame, 10, 172, "CTextEdit");
    auto* edit = new CTextEdit(CRect(10, 188, 130, 204), nullptr, 8, "440.0");
    edit->setBackColor(kWhiteCColor);
    edit->setFontColor(kBlackCColor);
    edit->setHoriAlign(kRightText);
    frame->addView(edit);
    frame->setFocusView(edit);  // an entry in progress shows its caret

    caption(frame, 10, 210, "COptionMenu");
    auto* menu = new COptionMenu(CRect(10, 226, 110, 242), nullptr, 9, nullptr, nullptr, kCheckStyle | kRoundRectStyle);
    menu->setBackColor(MakeCColor(70, 70, 90));
    for (const char* entry : {"main", "sub", "-", "aux"}) menu->addEntry(entry);
    menu->setValue(1);
    frame->addView(menu);

    caption(frame, 310, 100, "CScrollView");
    auto* scroll = new CScrollView(CRect(310, 116, 410, 246), CRect(0, 0, 94, 20 * 14), CScrollView::kVerticalScrollbar, 6);
    scroll->setBackgroundColor(MakeCColor(25, 25, 30));
    for (int i = 0; i < 20; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "%03d Category", i);
        auto* row = new CTextLabel(CRect(2, i * 14, 92, i * 14 + 13), text, nullptr, kNoFrame);
        row->setTransparency(true);
        row->setHoriAlign(kLeftText);
        scroll->addView(row);
    }
    scroll->getVerticalScrollbar()->setScrollerColor(MakeCColor(150, 150, 170));
    scroll->getVerticalScrollbar()->setValue(0.3f);
    scroll->valueChanged(scroll->getVerticalScrollbar());
    frame->addView(scroll);

    for (CBitmap* b : {button, knob, track, vtrack, handle, meter, movie}) b->forget();

    frame->idle();
    bool ok = frame->getOffscreen()->writePNG(out);
    frame->close();
    // Read it back: the file must be a PNG of the zoomed size.
    CBitmap check(out);
    bool sized = check.isLoaded() && check.getWidth() == std::ceil(420 * zoom - 1e-9);
    if (!ok || !sized) {
        std::fprintf(stderr, "gallery: could not write %s\n", out.c_str());
        return 1;
    }
    std::printf("gallery: wrote %s\n", out.c_str());
    return 0;
}
