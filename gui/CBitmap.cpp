#include "gui/CBitmap.h"

#include "gui/CDrawContext.h"

#include <cairo.h>

namespace qgui {

CPlatformBitmap::~CPlatformBitmap() {
    if (surface) cairo_surface_destroy(surface);
}

std::shared_ptr<CPlatformBitmap> CPlatformBitmap::createFromPath(const std::string& pngPath) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(pngPath.c_str());
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return std::shared_ptr<CPlatformBitmap>(new CPlatformBitmap(s));
}

std::shared_ptr<CPlatformBitmap> CPlatformBitmap::create(int32_t w, int32_t h) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(w, 1), std::max(h, 1));
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return std::shared_ptr<CPlatformBitmap>(new CPlatformBitmap(s));
}

int32_t CPlatformBitmap::getPixelWidth() const { return cairo_image_surface_get_width(surface); }
int32_t CPlatformBitmap::getPixelHeight() const { return cairo_image_surface_get_height(surface); }

CBitmap::CBitmap(std::shared_ptr<CPlatformBitmap> p) : platformBitmap(std::move(p)) {}

CBitmap::CBitmap(const std::string& pngPath, double scaleFactor) { load(pngPath, scaleFactor); }

CBitmap::CBitmap(CCoord width, CCoord height, double scaleFactor) {
    platformBitmap = CPlatformBitmap::create(static_cast<int32_t>(std::ceil(width * scaleFactor)),
                                             static_cast<int32_t>(std::ceil(height * scaleFactor)));
    if (platformBitmap) platformBitmap->setScaleFactor(scaleFactor);
}

bool CBitmap::load(const std::string& pngPath, double scaleFactor) {
    auto p = CPlatformBitmap::createFromPath(pngPath);
    if (!p) return false;
    p->setScaleFactor(scaleFactor);
    platformBitmap = std::move(p);
    return true;
}

CCoord CBitmap::getWidth() const {
    return platformBitmap ? platformBitmap->getPixelWidth() / platformBitmap->getScaleFactor() : 0;
}

CCoord CBitmap::getHeight() const {
    return platformBitmap ? platformBitmap->getPixelHeight() / platformBitmap->getScaleFactor() : 0;
}

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset, float alpha) {
    if (context && platformBitmap) context->drawBitmap(this, dest, offset, alpha);
}

}  // namespace qgui
