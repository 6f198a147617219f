// Font by family name and size; resolved through fontconfig, with DejaVu Sans in place of a missing family.
#pragma once

#include "gui/guiTypes.h"

#include <string>

typedef struct _cairo_font_face cairo_font_face_t;

namespace qgui {

constexpr int32_t kNormalFace = 0;
constexpr int32_t kBoldFace = 1 << 1;
constexpr int32_t kItalicFace = 1 << 2;
constexpr int32_t kUnderlineFace = 1 << 3;

// The size is the em size in unzoomed pixels: a 20-pixel font at zoom 2 is drawn with a 40-pixel em.
class CFontDesc : public CBaseObject {
public:
    CFontDesc(const std::string& name = "DejaVu Sans", CCoord size = 12, int32_t style = kNormalFace);
    CFontDesc(const CFontDesc& other);
    ~CFontDesc() override;

    const std::string& getName() const { return name; }
    void setName(const std::string& n);
    CCoord getSize() const { return size; }
    void setSize(CCoord s) { size = s; }
    int32_t getStyle() const { return style; }
    void setStyle(int32_t s);

    // The family actually drawn: the name when fontconfig has it, else "DejaVu Sans".
    const std::string& getResolvedFamily() const;
    // Cairo face of the resolved family and style; owned by the font.
    cairo_font_face_t* getFontFace() const;

    static constexpr const char* kFallbackFamily = "DejaVu Sans";
    // Taken first for a family the system lacks: layouts are made for faces narrower than the fallback,
    // and the condensed face keeps their texts inside their areas.
    static constexpr const char* kNarrowFallbackFamily = "DejaVu Sans Condensed";

private:
    void reset();

    std::string name;
    CCoord size;
    int32_t style;
    mutable std::string resolved;
    mutable cairo_font_face_t* face = nullptr;
};

// Fonts shared by controls that are given none.
CFontDesc* kSystemFont();
CFontDesc* kNormalFontSmall();

}  // namespace qgui
