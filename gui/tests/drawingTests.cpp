// Drawing on cairo: bitmaps at scale factors and zooms, the font size unit, pixel-exact lines and clipping.
#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFontDesc.h"
#include "gui/utf8.h"
#include "guiTestSupport.h"

#include <gtest/gtest.h>

using namespace qgui;
using namespace qgui::test;

namespace {

// Draws with `paint` on a white w × h surface at a zoom and returns it (owned by the caller).
cairo_surface_t* render(int w, int h, double zoom, const std::function<void(CDrawContext&)>& paint) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(w * zoom), int(h * zoom));
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    {
        CDrawContext context(cr, CRect(0, 0, w, h), zoom);
        paint(context);
    }
    cairo_destroy(cr);
    cairo_surface_flush(s);
    return s;
}

uint32_t pixel(cairo_surface_t* s, int x, int y) {
    auto* data = cairo_image_surface_get_data(s);
    return *reinterpret_cast<uint32_t*>(data + y * cairo_image_surface_get_stride(s) + x * 4) & 0xFFFFFF;
}

// Rows (or columns) that hold any dark pixel.
std::pair<int, int> inkRows(cairo_surface_t* s) {
    int first = -1, last = -1;
    for (int y = 0; y < cairo_image_surface_get_height(s); ++y)
        for (int x = 0; x < cairo_image_surface_get_width(s); ++x)
            if ((pixel(s, x, y) & 0xFF) < 128) {
                if (first < 0) first = y;
                last = y;
            }
    return {first, last};
}

}  // namespace

TEST(Bitmap, ScaleTwoVariantDrawnAtZoom150LandsOnTheRightDevicePixels) {
    TempDir dir;
    // 40 × 40 pixels at scale 2 is a 20 × 20 logical image: left half red, right half blue.
    ASSERT_TRUE(writePng(dir.file("img@2x.png"), 40, 40, [](cairo_t* cr) {
        cairo_set_source_rgb(cr, 1, 0, 0);
        cairo_rectangle(cr, 0, 0, 20, 40);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0, 0, 1);
        cairo_rectangle(cr, 20, 0, 20, 40);
        cairo_fill(cr);
    }));
    auto* bitmap = new CBitmap(dir.file("img@2x.png"), 2.0);
    ASSERT_TRUE(bitmap->isLoaded());
    EXPECT_EQ(bitmap->getWidth(), 20);
    EXPECT_EQ(bitmap->getHeight(), 20);

    OffscreenFrame f(40, 30, nullptr, 1.5);
    auto* view = new CView(CRect(10, 5, 30, 25));
    view->setBackground(bitmap);
    bitmap->forget();
    f->addView(view);
    f->idle();
    ASSERT_EQ(f.off->getWidth(), 60);
    // Logical x 10..20 is red: device 15..30; 20..30 blue: device 30..45; the view ends at device 45.
    struct Case { int x, y; CColor expected; } cases[] = {
        {16, 20, kRedCColor}, {28, 12, kRedCColor}, {32, 20, kBlueCColor}, {44, 36, kBlueCColor},
        {45, 20, kBlackCColor}, {14, 20, kBlackCColor}, {20, 7, kBlackCColor}, {20, 8, kRedCColor},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_EQ(f.off->getPixel(c.x, c.y), c.expected);
    }
}

TEST(Bitmap, ReplacingThePlatformBitmapChangesEveryViewThatShowsIt) {
    TempDir dir;
    ASSERT_TRUE(writePng(dir.file("a.png"), 10, 10, [](cairo_t* cr) { cairo_set_source_rgb(cr, 1, 0, 0); cairo_paint(cr); }));
    ASSERT_TRUE(writePng(dir.file("b.png"), 20, 20, [](cairo_t* cr) { cairo_set_source_rgb(cr, 0, 1, 0); cairo_paint(cr); }));
    auto* bitmap = new CBitmap(dir.file("a.png"));
    OffscreenFrame f(30, 10);
    for (int i = 0; i < 2; ++i) {
        auto* v = new CView(CRect(i * 15, 0, i * 15 + 10, 10));
        v->setBackground(bitmap);
        f->addView(v);
    }
    f->idle();
    EXPECT_EQ(f.off->getPixel(20, 5), kRedCColor);
    EXPECT_FALSE(bitmap->load(dir.file("missing.png"), 1.0));
    ASSERT_TRUE(bitmap->load(dir.file("b.png"), 2.0));
    EXPECT_EQ(bitmap->getWidth(), 10);
    f->invalid();
    f->idle();
    EXPECT_EQ(f.off->getPixel(5, 5), kGreenCColor);
    EXPECT_EQ(f.off->getPixel(20, 5), kGreenCColor);
    bitmap->forget();
}

TEST(Bitmap, UnreadableFileGivesAnUnloadedBitmap) {
    TempDir dir;
    std::FILE* file = std::fopen(dir.file("bad.png").c_str(), "wb");
    std::fputs("not a png", file);
    std::fclose(file);
    CBitmap bad(dir.file("bad.png"));
    CBitmap missing(dir.file("none.png"));
    EXPECT_FALSE(bad.isLoaded());
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_EQ(missing.getWidth(), 0);
}

// The size is the em size in unzoomed pixels: DejaVu capitals are 0.73 em tall. A missing family falls
// back to the condensed face, whose texts are narrower than the plain fallback's.
TEST(Font, MissingFamilyFallsBackAndSizeIsInUnzoomedPixels) {
    CFontDesc font("No Such Family Anywhere", 20);
    EXPECT_EQ(font.getResolvedFamily(), "DejaVu Sans Condensed");
    CFontDesc dejavu("DejaVu Sans", 20);
    EXPECT_EQ(dejavu.getResolvedFamily(), "DejaVu Sans");
    const char* sample = "Acoustic Grand Piano 127.5 %";
    EXPECT_LT(CDrawContext::measureString(&font, sample), 0.93 * CDrawContext::measureString(&dejavu, sample));
    for (double zoom : {1.0, 2.0}) {
        SCOPED_TRACE(zoom);
        cairo_surface_t* s = render(60, 40, zoom, [&](CDrawContext& c) {
            c.setFont(&font);
            c.setFontColor(kBlackCColor);
            c.drawString("H", CRect(0, 0, 60, 40), kLeftText);
        });
        auto [first, last] = inkRows(s);
        double capHeight = (last - first + 1) / zoom;
        EXPECT_NEAR(capHeight, 0.73 * 20, 1.5);
        cairo_surface_destroy(s);
    }
    EXPECT_NEAR(CDrawContext::measureString(&font, "HHHH"), 2 * CDrawContext::measureString(&font, "HH"), 0.5);
}

// A text that is not UTF-8 (a Latin-1 path) is drawn with U+FFFD in place of its stray bytes, and
// cairo goes on drawing what follows.
TEST(DrawContext, TextThatIsNotUtf8IsDrawnWithReplacementCharacters) {
    CFontDesc font("DejaVu Sans", 20);
    EXPECT_GT(CDrawContext::measureString(&font, "caf\xE9"), CDrawContext::measureString(&font, "caf"));
    EXPECT_NEAR(CDrawContext::measureString(&font, "caf\xE9"), CDrawContext::measureString(&font, "caf\xEF\xBF\xBD"), 0.01);
    cairo_surface_t* s = render(80, 80, 1.0, [&](CDrawContext& c) {
        c.setFont(&font);
        c.setFontColor(kBlackCColor);
        c.drawString("caf\xE9 \xC0\xAF", CRect(0, 0, 80, 40), kLeftText);
        c.drawString("H", CRect(0, 40, 80, 80), kLeftText);
    });
    auto [first, last] = inkRows(s);
    EXPECT_LT(first, 40) << "the first text is drawn";
    EXPECT_GT(last, 40) << "and so is the next";
    cairo_surface_destroy(s);
    EXPECT_EQ(utf8::displayable("a\xC3\xA9\xE2\x82z\xF0\x9F\x8E\xB9\xED\xA0\x80"),
              "a\xC3\xA9\xEF\xBF\xBDz\xF0\x9F\x8E\xB9\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(DrawContext, AliasedLinesAndRectsCoverWholeDevicePixels) {
    for (double zoom : {1.0, 2.0}) {
        SCOPED_TRACE(zoom);
        cairo_surface_t* s = render(20, 20, zoom, [](CDrawContext& c) {
            c.setFrameColor(kBlackCColor);
            c.drawLine(CPoint(0, 5), CPoint(20, 5));
            c.setFillColor(kBlackCColor);
            c.drawRect(CRect(2, 10, 5, 12), kDrawFilled);
        });
        int z = int(zoom);
        for (int y = 0; y < 20 * z; ++y) {
            bool line = y >= 5 * z && y < 6 * z;
            EXPECT_EQ(pixel(s, 15 * z, y), line ? 0u : 0xFFFFFFu) << "line row " << y;
            bool rect = y >= 10 * z && y < 12 * z;
            EXPECT_EQ(pixel(s, 3 * z, y), rect || line ? 0u : 0xFFFFFFu) << "rect row " << y;
        }
        EXPECT_EQ(pixel(s, 5 * z, 11 * z), 0xFFFFFFu);  // right edge exclusive
        cairo_surface_destroy(s);
    }
}

TEST(DrawContext, ClipAndTransformsNest) {
    cairo_surface_t* s = render(40, 40, 1, [](CDrawContext& c) {
        c.setFillColor(kBlackCColor);
        CDrawContext::Transform t(c, CGraphicsTransform().translate(10, 10));
        c.setClipRect(CRect(0, 0, 10, 10));  // frame 10..20
        CRect clip;
        EXPECT_EQ(c.getClipRect(clip), CRect(0, 0, 10, 10));
        c.drawRect(CRect(-5, -5, 30, 30), kDrawFilled);
    });
    EXPECT_EQ(pixel(s, 10, 10), 0u);
    EXPECT_EQ(pixel(s, 19, 19), 0u);
    EXPECT_EQ(pixel(s, 20, 15), 0xFFFFFFu);
    EXPECT_EQ(pixel(s, 9, 15), 0xFFFFFFu);
    cairo_surface_destroy(s);
}

TEST(DrawContext, GlobalAlphaAndPathsAntiAliasedWhereAsked) {
    cairo_surface_t* s = render(40, 20, 1, [](CDrawContext& c) {
        c.setGlobalAlpha(0.5f);
        c.setFillColor(kBlackCColor);
        c.drawRect(CRect(0, 0, 10, 10), kDrawFilled);
        c.setGlobalAlpha(1.f);
        c.setDrawMode(kAntiAliasing | kNonIntegralMode);
        CGraphicsPath* path = c.createGraphicsPath();
        path->addRect(CRect(20.5, 0, 30, 10));
        c.drawGraphicsPath(path, PathDrawMode::kFilled);
        path->forget();
    });
    EXPECT_NEAR(int(pixel(s, 5, 5) & 0xFF), 128, 2);
    EXPECT_NEAR(int(pixel(s, 20, 5) & 0xFF), 128, 2);  // half-covered pixel
    EXPECT_EQ(pixel(s, 25, 5), 0u);
    cairo_surface_destroy(s);
}
