// Writes the factory skin "Default" into a skins folder: the image list, the page backgrounds at 1× and
// 2× and the colour file. The images are plain panels drawn with cairo; the build runs this into the
// plug-in's folder, so no image is kept in the sources.
//   quorix-make-skin <skins folder>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Page {
    const char *name;
    const char *title;
    int width, height; // unzoomed pixels of the 745 × 595 editor
};

// The page backgrounds: the channel list left of the page area, the keyboard below both.
const Page pages[] = {
    {"01-back-keyboard", "KEYBOARD", 745, 149}, {"02-back-channel", "CHANNELS", 157, 446},
    {"03-back-mixer", "MIXER", 588, 446},       {"04-back-browser", "BROWSER", 588, 446},
    {"05-back-seq", "SEQUENCER", 588, 446},     {"06-back-melody", "MELODY", 588, 446},
    {"07-back-drum", "DRUM", 588, 446},         {"08-back-setup", "SETUP", 588, 446},
};

// RRGGBBAA of the ten skin colours (font-*, then back-*).
const char *const colours =
    "; Default skin colours: RRGGBBAA\n"
    "font-default = E8ECF2FF\n"
    "font-second = 9AA6B8FF\n"
    "font-glossy = FFFFFFFF\n"
    "font-highlight = FFB030FF\n"
    "font-disabled = 5C6470FF\n"
    "back-default = 1B2130FF\n"
    "back-second = 252D40FF\n"
    "back-glossy = 34405AFF\n"
    "back-highlight = 3A5F9AFF\n"
    "back-disabled = 4A5060FF\n";

bool drawPage(const std::string &file, const Page &page, int scale)
{
    const int w = page.width * scale, h = page.height * scale;
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t *cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    cairo_pattern_t *shade = cairo_pattern_create_linear(0, 0, 0, page.height);
    cairo_pattern_add_color_stop_rgb(shade, 0, 0x25 / 255.0, 0x2D / 255.0, 0x40 / 255.0);
    cairo_pattern_add_color_stop_rgb(shade, 1, 0x1B / 255.0, 0x21 / 255.0, 0x30 / 255.0);
    cairo_set_source(cr, shade);
    cairo_paint(cr);
    cairo_pattern_destroy(shade);
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgb(cr, 0x34 / 255.0, 0x40 / 255.0, 0x5A / 255.0);
    cairo_rectangle(cr, 0.5, 0.5, page.width - 1, page.height - 1);
    cairo_stroke(cr);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 9);
    cairo_set_source_rgb(cr, 0x5C / 255.0, 0x64 / 255.0, 0x70 / 255.0);
    cairo_move_to(cr, 6, 12);
    cairo_show_text(cr, page.title);
    cairo_destroy(cr);
    const bool ok = cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

bool writeText(const std::string &file, const std::string &text)
{
    FILE *f = std::fopen(file.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <skins folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root = argv[1];
    std::error_code error;
    std::filesystem::create_directories(root / "Default", error);
    std::string list;
    for (const Page &page : pages) {
        list += std::string(page.name) + "\n";
        for (int scale : {1, 2}) {
            const std::string suffix = scale > 1 ? "@" + std::to_string(scale) + "x" : "";
            const std::string file = (root / "Default" / (std::string(page.name) + suffix + ".png")).string();
            if (!drawPage(file, page, scale)) {
                std::fprintf(stderr, "cannot write %s\n", file.c_str());
                return 1;
            }
        }
    }
    if (!writeText((root / "images.lst").string(), list) ||
        !writeText((root / "Default" / "colors.txt").string(), colours)) {
        std::fprintf(stderr, "cannot write into %s\n", root.string().c_str());
        return 1;
    }
    return 0;
}
