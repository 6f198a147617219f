// Writes the factory skin "Default" into a skins folder: the image list, the page backgrounds with the
// names of their controls, the controls at 1×, 2× and 3×, and the colour file. The images are plain
// panels drawn with cairo; the build runs this into the plug-in's folder, so no image is kept in the
// sources. The legends are placed from the editor's own layout: the tool draws the controls, opens an
// editor on them headless and prints each name where the editor says its control is.
//   quorix-make-skin <skins folder>
#include "editor/Quorix_Editor.h"
#include "engine/Quorix.h"

#include <cairo.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int scales[] = {1, 2, 3};
// Legends are set in one face, never smaller than this at 100 %.
constexpr const char *legendFace = "DejaVu Sans Condensed";
constexpr double legendSize = 9.0;

struct Page {
    const char *name;
    int editorPage; // the editor's page index
    int width, height; // unzoomed pixels of the 745 × 595 editor
};

// The page backgrounds: the channel list left of the page area, the keyboard below both.
const Page pages[] = {
    {"01-back-keyboard", pageKeyboard, 745, 149}, {"02-back-channel", pageChannelList, 157, 446},
    {"03-back-mixer", pageMixer, 588, 446},       {"04-back-browser", pageBrowser, 588, 446},
    {"05-back-seq", pageSequencer, 588, 446},     {"06-back-melody", pageMelodyEdit, 588, 446},
    {"07-back-drum", pageDrumEdit, 588, 446},     {"08-back-setup", pageSetup, 588, 446},
};

using Legends = std::vector<Quorix_Editor::Legend>;

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

void setRgb(cairo_t *cr, unsigned colour)
{
    cairo_set_source_rgb(cr, ((colour >> 16) & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0, (colour & 0xFF) / 255.0);
}

// A name in its box: group headings in the highlight colour with a rule after them, the names of
// controls in the second text colour. Writes a warning when a name is wider than its box.
void drawLegend(cairo_t *cr, const Quorix_Editor::Legend &legend, const char *page, bool report)
{
    const bool heading = legend.heading;
    cairo_select_font_face(cr, legendFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, legendSize);
    cairo_text_extents_t e;
    cairo_text_extents(cr, legend.text.c_str(), &e);
    const double left = legend.box.left, right = legend.box.right, w = right - left;
    if (report && e.x_advance > w + 0.5)
        std::fprintf(stderr, "quorix-make-skin: %s: \"%s\" is %.1f wide in a %.0f-pixel box\n", page, legend.text.c_str(),
                     e.x_advance, w);
    double x = left;
    if (legend.align == 0)
        x = left + (w - e.x_advance) / 2;
    else if (legend.align > 0)
        x = right - e.x_advance;
    cairo_font_extents_t f;
    cairo_font_extents(cr, &f);
    const double baseline = legend.box.top + (legend.box.getHeight() - (f.ascent + f.descent)) / 2 + f.ascent;
    setRgb(cr, heading ? 0xFFB030 : 0xB4BED0);
    cairo_move_to(cr, std::round(x), std::round(baseline));
    cairo_show_text(cr, legend.text.c_str());
    if (heading) {
        // The heading's rule runs to the end of its box.
        const double from = std::round(x + e.x_advance + 4);
        if (from < right - 4) {
            setRgb(cr, 0x34405A);
            cairo_set_line_width(cr, 1);
            const double y = std::round(legend.box.top + legend.box.getHeight() / 2) + 0.5;
            cairo_move_to(cr, from, y);
            cairo_line_to(cr, right, y);
            cairo_stroke(cr);
        }
    }
}

bool drawPage(const std::string &file, const Page &page, int scale, const Legends &legends)
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
    // Hinting off: a name keeps its shape at every scale and only gets sharper.
    cairo_font_options_t *options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    for (const Quorix_Editor::Legend &legend : legends)
        if (legend.page == page.editorPage)
            drawLegend(cr, legend, page.name, scale == 1);
    cairo_destroy(cr);
    const bool ok = cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

// The controls of the channel list, the keyboard and the mixer. Frames are stacked top to bottom (side by
// side for a vertical fader's track); sizes are one frame's, in unzoomed pixels.
enum class Look { panel, button, kick, toggle4, led, knob, track, verticalTrack, handle, meter, whiteKey, blackKey, cell, drumCell };

struct Control {
    std::string name;
    Look look;
    int width, height;
    std::string text;
};

int frameCount(Look look)
{
    switch (look) {
    case Look::panel:
    case Look::cell:
    case Look::handle: return 1;
    case Look::toggle4: return 4;
    case Look::knob: return 228;
    default: return 2;
    }
}

// The sequencer page: its buttons, the note cells (beat groups 1 and 2, selected 3, playing 4) and the
// velocity faders of the grid.
std::vector<Control> sequencerControls()
{
    std::vector<Control> list = {
        {"button-seq", Look::button, 40, 12, "SEQ"},      {"button-load", Look::kick, 40, 12, "LOAD"},
        {"button-save", Look::kick, 40, 12, "SAVE"},      {"button-triplet", Look::button, 40, 12, "3"},
        {"button-latch", Look::button, 40, 12, "LATCH"},  {"button-minion", Look::button, 40, 12, "ON"},
        {"button-0116", Look::button, 40, 12, "1-16"},    {"button-1732", Look::button, 40, 12, "17-32"},
        {"button-3348", Look::button, 40, 12, "33-48"},   {"button-4964", Look::button, 40, 12, "49-64"},
        {"button-laneON", Look::button, 30, 12, "ON"},    {"button-miniload", Look::kick, 30, 10, "LOAD"},
        {"button-minisave", Look::kick, 30, 10, "SAVE"},  {"cell-seq1", Look::verticalTrack, 27, 36, ""},
        {"cell-seq2", Look::verticalTrack, 27, 36, ""},   {"cell-seq-handle", Look::handle, 27, 3, ""},
    };
    for (int look = 1; look <= 4; ++look)
        list.push_back({"back-seq0" + std::to_string(look), Look::cell, 27, 11, ""});
    return list;
}

// The melody and drum edit pages and their channel strips.
std::vector<Control> editPageControls()
{
    return {
        {"knob1-big-center", Look::knob, 26, 26, ""},
        {"back-arrow-left", Look::kick, 8, 11, "<"},
        {"back-arrow-right", Look::kick, 8, 11, ">"},
        {"back-LFOshow-1", Look::meter, 60, 3, ""},
        {"back-LFOshow-2", Look::meter, 60, 3, ""},
        {"env-1-a", Look::handle, 6, 8, ""},
        {"env-2-d", Look::handle, 6, 8, ""},
        {"env-4-r", Look::handle, 6, 8, ""},
        {"env-back-s", Look::verticalTrack, 8, 59, ""},
        {"env-3-s", Look::handle, 8, 6, ""},
        {"env-back-melody", Look::panel, 98, 59, ""},
        {"env-back-drum", Look::panel, 130, 45, ""},
        {"cell-drum-white", Look::drumCell, 52, 13, ""},
        {"cell-drum-black", Look::drumCell, 52, 13, ""},
        {"cell-drum-LED", Look::led, 8, 8, ""},
        {"button-IFX1", Look::button, 40, 12, "IFX 1"},
        {"button-IFX2", Look::button, 40, 12, "IFX 2"},
        {"button-auto", Look::button, 30, 12, "AUTO"},
        {"button-keysync", Look::button, 30, 12, "KEY"},
        {"button-BPMsync", Look::button, 30, 12, "BPM"},
        {"button-arpON", Look::button, 30, 12, "ARP"},
        {"button-MIDIsel", Look::button, 40, 12, "MIDI SEL"},
        {"button-reverse", Look::button, 30, 12, "REV"},
        {"button-hold", Look::button, 30, 12, "HOLD"},
        {"button-groupA", Look::button, 30, 12, "GRP A"},
        {"button-groupB", Look::button, 30, 12, "GRP B"},
        {"button-toIFX1", Look::button, 30, 12, "IFX 1"},
        {"button-toIFX2", Look::button, 30, 12, "IFX 2"},
    };
}

// The setup page: its command buttons, the velocity curves, the small check boxes and the keys of the
// tuning keyboard the cents fields sit on.
std::vector<Control> setupPageControls()
{
    std::vector<Control> list = {
        {"button-ManualOpen", Look::kick, 50, 14, "MANUAL"},  {"button-defaults", Look::kick, 50, 14, "DEFAULTS"},
        {"button-factory", Look::kick, 50, 14, "FACTORY"},    {"button-clear", Look::kick, 50, 14, "CLEAR"},
        {"button-report", Look::kick, 50, 14, "REPORT"},      {"button-minicheck", Look::button, 10, 10, ""},
        {"back-setup-tuning-w", Look::panel, 20, 11, ""},     {"back-setup-tuning-b", Look::panel, 20, 11, ""},
    };
    for (int curve = 1; curve <= 7; ++curve)
        list.push_back({"setup-vc" + std::to_string(curve), Look::button, 12, 12, std::to_string(curve)});
    return list;
}

std::vector<Control> controls()
{
    std::vector<Control> list = {
        {"channel-indicator", Look::led, 8, 8, ""},
        {"channel-link", Look::button, 8, 8, ""},
        {"channel-name", Look::panel, 83, 13, ""},
        {"channel-name-selected", Look::panel, 83, 13, ""},
        {"channel-name-selected-combi", Look::panel, 83, 13, ""},
        {"channel-meter", Look::meter, 95, 3, ""},
        {"back-indicator", Look::panel, 154, 11, ""},
        {"back-LCDinput", Look::panel, 174, 11, ""}, // as wide as the widest field (the tuning)
        {"button-send-chorus", Look::button, 40, 12, "CHORUS"},
        {"button-send-reverb", Look::button, 40, 12, "REVERB"},
        {"knob1-big-left", Look::knob, 26, 26, ""},
        {"send-level", Look::track, 80, 8, ""},
        {"send-level-handle", Look::handle, 6, 10, ""},
        {"keyboard-button", Look::toggle4, 24, 14, ""},
        {"keyboard-levelmeter-red", Look::meter, 86, 2, ""},
        {"keyboard-levelmeter-green", Look::meter, 86, 2, ""},
        {"keyboard-levelmeter-peak", Look::led, 6, 4, ""},
        {"keyboard-faderback", Look::panel, 80, 12, ""},
        {"keyboard-fader", Look::handle, 6, 12, ""},
        {"keyboard-LCDback1", Look::panel, 89, 11, ""},
        {"keyboard-LCDback2", Look::panel, 89, 12, ""},
        {"keyboard-auditionL", Look::kick, 16, 22, "<"},
        {"keyboard-auditionR", Look::kick, 16, 22, ">"},
        {"keyboard-button-save", Look::kick, 30, 14, "SAVE"},
        {"keyboard-wheel", Look::verticalTrack, 14, 50, ""},
        {"keyboard-wheel-handle", Look::handle, 14, 6, ""},
        {"keys-1-leftA", Look::whiteKey, 11, 66, ""},
        {"keys-2-CnF", Look::whiteKey, 11, 66, ""},
        {"keys-3-D", Look::whiteKey, 11, 66, ""},
        {"keys-4-EnB", Look::whiteKey, 11, 66, ""},
        {"keys-5-G", Look::whiteKey, 11, 66, ""},
        {"keys-6-A", Look::whiteKey, 11, 66, ""},
        {"keys-7-rightC", Look::whiteKey, 11, 66, ""},
        {"keys-8-black", Look::blackKey, 7, 40, ""},
        {"channel-level", Look::track, 55, 8, ""},
        {"channel-level-handle", Look::handle, 5, 8, ""},
        {"channel-pan", Look::track, 28, 8, ""},
        {"knob2-small-left", Look::knob, 18, 18, ""},
        {"button-sync", Look::button, 36, 12, "SYNC"},
        {"button-IFXs", Look::button, 36, 12, "IFX"},
        {"button-GMreset", Look::kick, 36, 12, "GM"},
        {"button-miniadd", Look::kick, 30, 10, "USER"},
    };
    for (int c = 1; c <= 16; ++c) {
        char name[40];
        std::snprintf(name, sizeof name, "button-channelNumber%02d", c);
        list.push_back({name, Look::button, 14, 18, std::to_string(c)});
    }
    for (const char *mode : {"channel-melody", "channel-drum"})
        for (const char *look : {"-normal", "-off", "-selected", "-normal-combi", "-off-combi"})
            list.push_back({std::string(mode) + look, Look::button, 10, 13, mode[8] == 'd' ? "D" : "M"});
    for (Control &control : sequencerControls())
        list.push_back(std::move(control));
    for (Control &c : editPageControls())
        list.push_back(std::move(c));
    for (Control &c : setupPageControls())
        list.push_back(std::move(c));
    return list;
}

void rgb(cairo_t *cr, unsigned colour, double alpha = 1.0)
{
    cairo_set_source_rgba(cr, ((colour >> 16) & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0, (colour & 0xFF) / 255.0,
                          alpha);
}

void box(cairo_t *cr, double x, double y, double w, double h, unsigned fill, unsigned edge)
{
    rgb(cr, fill);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
    rgb(cr, edge);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, x + 0.5, y + 0.5, w - 1, h - 1);
    cairo_stroke(cr);
}

void caption(cairo_t *cr, const std::string &text, double x, double y, double w, double h, unsigned colour)
{
    if (text.empty())
        return;
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, std::min(h - 3, 8.0));
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    rgb(cr, colour);
    cairo_move_to(cr, x + (w - e.width) / 2 - e.x_bearing, y + (h - e.height) / 2 - e.y_bearing);
    cairo_show_text(cr, text.c_str());
}

// One frame of a control at (0, y).
void drawFrame(cairo_t *cr, const Control &c, int frame, double x, double y)
{
    const double w = c.width, h = c.height;
    const bool on = frame > 0;
    switch (c.look) {
    case Look::panel:
        box(cr, x, y, w, h, 0x10141E, 0x34405A);
        break;
    case Look::cell: {
        static const unsigned fills[4] = {0x10141E, 0x1B2130, 0x3A5F9A, 0x7A5A20};
        box(cr, x, y, w, h, fills[(c.name.back() - '1') & 3], 0x34405A);
        break;
    }
    case Look::button:
    case Look::kick:
        // A channel's looks: switched off dimmed, the channel being edited outlined.
        if (c.name.find("-off") != std::string::npos) {
            box(cr, x, y, w, h, on ? 0x283858 : 0x141820, 0x252D40);
            caption(cr, c.text, x, y, w, h, 0x5C6470);
        } else if (c.name.find("-selected") != std::string::npos) {
            box(cr, x, y, w, h, on ? 0x7A5A20 : 0x3A3020, 0xFFB030);
            caption(cr, c.text, x, y, w, h, 0xFFB030);
        } else {
            box(cr, x, y, w, h, on ? 0x3A5F9A : 0x252D40, on ? 0x6A8FCA : 0x34405A);
            caption(cr, c.text, x, y, w, h, on ? 0xFFFFFF : 0x9AA6B8);
        }
        break;
    case Look::toggle4: {
        const bool lit = frame >= 2;
        const bool pressed = frame == 1 || frame == 2;
        box(cr, x, y, w, h, lit ? 0x3A5F9A : 0x252D40, pressed ? 0xFFB030 : 0x34405A);
        rgb(cr, lit ? 0xFFB030 : 0x4A5060);
        cairo_rectangle(cr, x + 3, y + 3, w - 6, 2);
        cairo_fill(cr);
        break;
    }
    case Look::led:
        rgb(cr, on ? 0x40E070 : 0x2A3A30);
        cairo_arc(cr, x + w / 2, y + h / 2, std::min(w, h) / 2 - 0.5, 0, 2 * M_PI);
        cairo_fill(cr);
        break;
    case Look::knob: {
        const double r = w / 2 - 1;
        rgb(cr, 0x252D40);
        cairo_arc(cr, x + w / 2, y + h / 2, r, 0, 2 * M_PI);
        cairo_fill_preserve(cr);
        rgb(cr, 0x6A7890);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        const double angle = (-225.0 + 270.0 * frame / 227.0) * M_PI / 180.0;
        rgb(cr, 0xFFB030);
        cairo_set_line_width(cr, 2);
        cairo_move_to(cr, x + w / 2, y + h / 2);
        cairo_line_to(cr, x + w / 2 + r * std::cos(angle), y + h / 2 + r * std::sin(angle));
        cairo_stroke(cr);
        break;
    }
    case Look::track:
    case Look::verticalTrack:
        box(cr, x, y, w, h, on ? 0x3A5F9A : 0x10141E, 0x34405A);
        break;
    case Look::handle:
        box(cr, x, y, w, h, 0xE8ECF2, 0x9AA6B8);
        break;
    case Look::meter:
        rgb(cr, on ? (c.name.find("red") != std::string::npos ? 0xE04030 : 0x40C060) : 0x10141E);
        cairo_rectangle(cr, x, y, w, h);
        cairo_fill(cr);
        break;
    case Look::drumCell: {
        // The kit's keys as on a keyboard: white keys light, black keys dark; the selected key amber.
        const bool white = c.name.find("white") != std::string::npos;
        if (on)
            box(cr, x, y, w, h, white ? 0x8A6A30 : 0x5A4420, 0xFFB030);
        else
            box(cr, x, y, w, h, white ? 0x4A5670 : 0x0C0F16, white ? 0x6A7890 : 0x34405A);
        break;
    }
    case Look::whiteKey:
        box(cr, x, y, w, h, on ? 0xFFB030 : 0xF4F4F0, 0x5C6470);
        break;
    case Look::blackKey:
        box(cr, x, y, w, h, on ? 0xC08020 : 0x101010, 0x000000);
        break;
    }
}

bool drawControl(const std::string &file, const Control &c, int scale)
{
    const int frames = frameCount(c.look);
    const bool across = c.look == Look::verticalTrack;
    const int w = c.width * (across ? frames : 1), h = c.height * (across ? 1 : frames);
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w * scale, h * scale);
    cairo_t *cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    for (int f = 0; f < frames; ++f)
        drawFrame(cr, c, f, across ? f * c.width : 0, across ? 0 : f * c.height);
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

std::string variantFile(const std::filesystem::path &root, const std::string &name, int scale)
{
    const std::string suffix = scale > 1 ? "@" + std::to_string(scale) + "x" : "";
    return (root / "Default" / (name + suffix + ".png")).string();
}

bool drawPages(const std::filesystem::path &root, const Legends &legends)
{
    for (const Page &page : pages)
        for (int scale : scales)
            if (!drawPage(variantFile(root, page.name, scale), page, scale, legends)) {
                std::fprintf(stderr, "cannot write %s\n", variantFile(root, page.name, scale).c_str());
                return false;
            }
    return true;
}

intptr_t quietHost(AEffect *, int32_t opcode, int32_t, intptr_t, void *, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

// An engine whose editor is built on the skin just drawn, in a home of its own (nothing of the user's
// is read or written).
class LayoutEngine : public Quorix
{
public:
    explicit LayoutEngine(const char *appFolder) : Quorix(quietHost) { paths.appFolder = appFolder; }
    Quorix_Editor *editor() { return instrumentEditor; }
};

// The editor's legends, read from an editor opened headless on the skin in `root`.
bool readLegends(const std::filesystem::path &root, Legends &legends)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quorix-skin-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return false;
    const std::filesystem::path home = pattern;
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", (home / "Documents").c_str(), 1);
    setenv("QUORIX_REGISTRY", (home / "registry").c_str(), 1);
    setenv("QUORIX_REGISTRY_SYSTEM", (home / "registry-system").c_str(), 1);
    unsetenv("DISPLAY");
    std::error_code error;
    std::filesystem::create_directories(home / "app", error);
    std::filesystem::create_directory_symlink(std::filesystem::absolute(root), home / "app" / "skins", error);
    const std::string app = (home / "app").string() + "/";
    {
        auto engine = std::make_unique<LayoutEngine>(app.c_str());
        engine->dispatcher(effOpen, 0, 0, nullptr, 0.0f);
        if (Quorix_Editor *editor = engine->editor())
            legends = editor->legends();
    }
    std::filesystem::remove_all(home, error);
    return !legends.empty();
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
    for (const Page &page : pages)
        list += std::string(page.name) + "\n";
    for (const Control &control : controls()) {
        list += control.name + "\n";
        for (int scale : scales) {
            const std::string file = variantFile(root, control.name, scale);
            if (!drawControl(file, control, scale)) {
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
    // The pages twice: plain, so the editor finds every image and sizes its pages, then with the
    // legends it places.
    Legends legends;
    if (!drawPages(root, legends))
        return 1;
    if (!readLegends(root, legends)) {
        std::fprintf(stderr, "quorix-make-skin: the editor placed no legends\n");
        return 1;
    }
    return drawPages(root, legends) ? 0 : 1;
}
