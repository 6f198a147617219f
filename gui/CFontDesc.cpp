#include "gui/CFontDesc.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <map>
#include <mutex>

namespace qgui {

namespace {

// Whether fontconfig has the family itself (it always answers something; only an exact family match
// counts).
bool hasFamily(const std::string& name) {
    bool found = false;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(""));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult res = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &res);
    if (match) {
        FcChar8* family = nullptr;
        for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
            if (strcasecmp(reinterpret_cast<const char*>(family), name.c_str()) == 0) {
                found = true;
                break;
            }
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return found;
}

// Asking fontconfig is slow, so each family name is matched once per process.
std::string matchFamily(const std::string& name) {
    static std::mutex lock;
    static std::map<std::string, std::string> cache;
    std::lock_guard<std::mutex> guard(lock);
    if (auto it = cache.find(name); it != cache.end()) return it->second;

    std::string result = CFontDesc::kFallbackFamily;
    if (FcInit()) {
        if (hasFamily(name))
            result = name;
        else if (hasFamily(CFontDesc::kNarrowFallbackFamily))
            result = CFontDesc::kNarrowFallbackFamily;
    }
    cache[name] = result;
    return result;
}

}  // namespace

CFontDesc::CFontDesc(const std::string& n, CCoord s, int32_t st) : name(n), size(s), style(st) {}

CFontDesc::CFontDesc(const CFontDesc& other)
    : CBaseObject(), name(other.name), size(other.size), style(other.style) {}

CFontDesc::~CFontDesc() { reset(); }

void CFontDesc::reset() {
    if (face) cairo_font_face_destroy(face);
    face = nullptr;
    resolved.clear();
}

void CFontDesc::setName(const std::string& n) {
    if (n == name) return;
    name = n;
    reset();
}

void CFontDesc::setStyle(int32_t s) {
    if (s == style) return;
    style = s;
    reset();
}

const std::string& CFontDesc::getResolvedFamily() const {
    if (resolved.empty()) resolved = matchFamily(name);
    return resolved;
}

cairo_font_face_t* CFontDesc::getFontFace() const {
    if (!face) {
        face = cairo_toy_font_face_create(getResolvedFamily().c_str(),
                                          (style & kItalicFace) ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                                          (style & kBoldFace) ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    }
    return face;
}

// Static objects rather than leaked ones: a plug-in unloaded by its host frees them, and the extra
// reference keeps the views' remember/forget from ever deleting them.
CFontDesc* kSystemFont() {
    static CFontDesc font(CFontDesc::kFallbackFamily, 12);
    static const bool held = (font.remember(), true);
    (void)held;
    return &font;
}

CFontDesc* kNormalFontSmall() {
    static CFontDesc font(CFontDesc::kFallbackFamily, 11);
    static const bool held = (font.remember(), true);
    (void)held;
    return &font;
}

}  // namespace qgui
