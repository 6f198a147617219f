// Bitmaps: a PNG image with the scale factor of the variant it was loaded from.
#pragma once

#include "gui/guiTypes.h"

#include <memory>
#include <string>

typedef struct _cairo_surface cairo_surface_t;

namespace qgui {

class CDrawContext;

// The pixels of one loaded image; shared between the bitmaps that show it.
class CPlatformBitmap {
public:
    ~CPlatformBitmap();
    // nullptr when the file is missing or not a readable PNG.
    static std::shared_ptr<CPlatformBitmap> createFromPath(const std::string& pngPath);
    // An empty (transparent) image of the given pixel size.
    static std::shared_ptr<CPlatformBitmap> create(int32_t pixelWidth, int32_t pixelHeight);

    int32_t getPixelWidth() const;
    int32_t getPixelHeight() const;
    double getScaleFactor() const { return scaleFactor; }
    void setScaleFactor(double f) { scaleFactor = f > 0 ? f : 1.0; }
    cairo_surface_t* getSurface() const { return surface; }

private:
    explicit CPlatformBitmap(cairo_surface_t* s) : surface(s) {}
    cairo_surface_t* surface;
    double scaleFactor = 1.0;
};

// Logical size = pixel size / scale factor. Replacing the platform bitmap keeps the object, so every view
// that shows it shows the new image.
class CBitmap : public CBaseObject {
public:
    CBitmap() = default;
    explicit CBitmap(std::shared_ptr<CPlatformBitmap> platformBitmap);
    // Loads a PNG file; check isLoaded().
    explicit CBitmap(const std::string& pngPath, double scaleFactor = 1.0);
    // An empty bitmap of the given logical size at a scale factor.
    CBitmap(CCoord width, CCoord height, double scaleFactor = 1.0);

    bool isLoaded() const { return platformBitmap != nullptr; }
    CCoord getWidth() const;
    CCoord getHeight() const;
    CPoint getSize() const { return {getWidth(), getHeight()}; }
    double getScaleFactor() const { return platformBitmap ? platformBitmap->getScaleFactor() : 1.0; }

    const std::shared_ptr<CPlatformBitmap>& getPlatformBitmap() const { return platformBitmap; }
    void setPlatformBitmap(std::shared_ptr<CPlatformBitmap> bitmap) { platformBitmap = std::move(bitmap); }
    // Load a file in place (true when it loaded; the old image stays otherwise).
    bool load(const std::string& pngPath, double scaleFactor);

    // Draw the part of the bitmap that starts at `offset` (logical units) into `dest`, unscaled.
    virtual void draw(CDrawContext* context, const CRect& dest, const CPoint& offset = CPoint(), float alpha = 1.f);

private:
    std::shared_ptr<CPlatformBitmap> platformBitmap;
};

}  // namespace qgui
