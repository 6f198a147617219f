#include "editor/tests/EditorTestSupport.h"

#include "gui/CParamDisplay.h"

#include <cairo.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace editortest {

namespace {

std::string home;
std::string appFolder;

intptr_t quietHost(AEffect *, int32_t opcode, int32_t, intptr_t, void *, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

void writePng(const std::string &file, int w, int h)
{
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    cairo_surface_t *s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t *cr = cairo_create(s);
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(s, file.c_str());
    cairo_surface_destroy(s);
}

// Every image the channel list, the keyboard and the mixer name, in pixels of the whole file
// (frames stacked).
struct Image {
    std::string name;
    int w, h;
};

std::vector<Image> skinImages()
{
    std::vector<Image> images = {
        {"01-back-keyboard", 745, 149}, {"02-back-channel", 157, 446}, {"03-back-mixer", 588, 446},
        {"04-back-browser", 588, 446},  {"05-back-seq", 588, 446},     {"06-back-melody", 588, 446},
        {"07-back-drum", 588, 446},     {"08-back-setup", 588, 446},   {"channel-indicator", 8, 12},
        {"channel-link", 8, 12},        {"channel-melody-normal", 10, 20}, {"channel-name", 83, 13},
        {"channel-meter", 90, 8},       {"back-indicator", 154, 11},   {"back-LCDinput", 40, 11},
        {"button-send-chorus", 16, 20}, {"button-send-reverb", 16, 20}, {"knob1-big-left", 20, 20 * 228},
        {"send-level", 80, 16},         {"send-level-handle", 6, 8},   {"keyboard-button", 20, 48},
        {"keyboard-levelmeter-red", 80, 4}, {"keyboard-levelmeter-green", 80, 4},
        {"keyboard-levelmeter-peak", 8, 8}, {"keyboard-faderback", 90, 8}, {"keyboard-fader", 6, 8},
        {"keyboard-LCDback1", 89, 11},  {"keyboard-LCDback2", 89, 12}, {"keyboard-auditionL", 14, 22},
        {"keyboard-auditionR", 14, 22}, {"keyboard-button-save", 20, 24}, {"keyboard-wheel", 28, 60},
        {"keyboard-wheel-handle", 12, 6}, {"keys-1-leftA", 11, 120},   {"keys-2-CnF", 11, 120},
        {"keys-3-D", 11, 120},          {"keys-4-EnB", 11, 120},       {"keys-5-G", 11, 120},
        {"keys-6-A", 11, 120},          {"keys-7-rightC", 11, 120},    {"keys-8-black", 7, 80},
        {"channel-level", 50, 16},      {"channel-level-handle", 6, 8}, {"channel-pan", 30, 16},
        {"knob2-small-left", 18, 18 * 228}, {"button-sync", 16, 20},   {"button-IFXs", 16, 20},
        {"button-GMreset", 16, 20},
        // The sequencer page.
        {"button-seq", 16, 20},         {"button-load", 16, 20},       {"button-save", 16, 20},
        {"button-triplet", 16, 20},     {"button-latch", 16, 20},      {"button-minion", 16, 20},
        {"button-0116", 16, 20},        {"button-1732", 16, 20},       {"button-3348", 16, 20},
        {"button-4964", 16, 20},        {"button-laneON", 16, 20},     {"button-miniload", 12, 20},
        {"button-minisave", 12, 20},    {"button-miniadd", 12, 20},    {"back-seq01", 27, 11},        {"back-seq02", 27, 11},
        {"back-seq03", 27, 11},         {"back-seq04", 27, 11},        {"cell-seq1", 54, 36},
        {"cell-seq2", 54, 36},          {"cell-seq-handle", 27, 4},
        // The edit pages.
        {"back-arrow-left", 8, 9},      {"back-arrow-right", 8, 9},    {"knob1-big-center", 20, 20 * 228},
        {"back-LFOshow-1", 60, 4},      {"back-LFOshow-2", 60, 4},     {"env-1-a", 6, 8},
        {"env-2-d", 6, 8},              {"env-4-r", 6, 8},             {"env-back-s", 10, 50},
        {"env-3-s", 6, 6},              {"env-back-melody", 98, 59},   {"env-back-drum", 130, 45},
        {"cell-drum-black", 50, 28},    {"cell-drum-white", 50, 28},   {"cell-drum-LED", 6, 12},
        {"button-IFX1", 16, 20},        {"button-IFX2", 16, 20},       {"button-auto", 16, 20},
        {"button-keysync", 16, 20},     {"button-BPMsync", 16, 20},    {"button-arpON", 16, 20},
        {"button-MIDIsel", 16, 20},    {"button-reverse", 16, 20},
        {"button-hold", 16, 20},        {"button-groupA", 16, 20},     {"button-groupB", 16, 20},
        {"button-toIFX1", 16, 20},      {"button-toIFX2", 16, 20},
        // The setup page.
        {"button-ManualOpen", 50, 28},  {"button-defaults", 50, 28},   {"button-factory", 50, 28},
        {"button-clear", 50, 28},       {"button-report", 50, 28},     {"button-minicheck", 10, 20},
        {"back-setup-tuning-w", 20, 11}, {"back-setup-tuning-b", 20, 11},
    };
    for (int curve = 1; curve <= 7; ++curve)
        images.push_back({"setup-vc" + std::to_string(curve), 12, 24});
    for (const char *mode : {"channel-melody", "channel-drum"})
        for (const char *look : {"-selected", "-normal", "-off", "-normal-combi", "-off-combi"})
            images.push_back({std::string(mode) + look, 10, 20});
    images.push_back({"channel-name-selected", 83, 13});
    images.push_back({"channel-name-selected-combi", 83, 13});
    for (int c = 1; c <= 16; ++c) {
        char name[40];
        std::snprintf(name, sizeof name, "button-channelNumber%02d", c);
        images.push_back({name, 14, 24});
    }
    return images;
}

// A temporary home for the whole process (nothing touches the real user folder or registry) and
// the test skin beside it.
class Environment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorix-editor-XXXXXX").string();
        home = mkdtemp(pattern.data());
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        setenv("XDG_DOCUMENTS_DIR", (home + "/Documents").c_str(), 1);
        setenv("QUORIX_REGISTRY", (home + "/registry").c_str(), 1);
        setenv("QUORIX_REGISTRY_SYSTEM", (home + "/registry-system").c_str(), 1);
        unsetenv("DISPLAY");
        appFolder = home + "/app/";
        std::string list;
        for (const Image &image : skinImages()) {
            writePng(appFolder + "skins/Default/" + image.name + ".png", image.w, image.h);
            list += image.name + "\n";
        }
        FILE *f = std::fopen((appFolder + "skins/images.lst").c_str(), "wb");
        std::fwrite(list.data(), 1, list.size(), f);
        std::fclose(f);
        // Text colours that differ, so a test can tell a cell's state by its colour.
        const std::string colours = "font-default = E8ECF2FF\nfont-second = 9AA6B8FF\nfont-glossy = FFFFFFFF\n"
                                    "font-highlight = FFB030FF\nfont-disabled = 5C6470FF\n";
        f = std::fopen((appFolder + "skins/Default/colors.txt").c_str(), "wb");
        std::fwrite(colours.data(), 1, colours.size(), f);
        std::fclose(f);
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
    }
};

const auto *registered = ::testing::AddGlobalTestEnvironment(new Environment);

char standInWindow[16];

} // namespace

const std::string &applicationFolder() { return appFolder; }

EditorEngine::EditorEngine() : Quorix(quietHost) { paths.appFolder = appFolder.c_str(); }

Quorix_Editor *EditorEngine::createEditor() { return new TestEditor(this); }

void EditorEngine::setParameterValueAutomated(int32_t index, float value)
{
    if (recording)
        calls.push_back({EngineCall::automated, index, 0, 0, value});
    const bool was = recording;
    recording = false; // the automated setter goes through the plain one
    Quorix::setParameterValueAutomated(index, value);
    recording = was;
}

void EditorEngine::setParameterValue(int32_t index, float value)
{
    if (recording)
        calls.push_back({EngineCall::plain, index, 0, 0, value});
    const bool was = recording;
    recording = false;
    Quorix::setParameterValue(index, value);
    recording = was;
}

int32_t EditorEngine::noteOn(int32_t first, int32_t last, int32_t key, int32_t velocity, uint8_t fromArpeggiator,
                             uint8_t fromSequencer, int32_t shift, int32_t curve)
{
    if (recording)
        calls.push_back({EngineCall::noteOn, first, last, key, float(velocity)});
    return Quorix::noteOn(first, last, key, velocity, fromArpeggiator, fromSequencer, shift, curve);
}

void EditorEngine::noteOff(int32_t first, int32_t last, int32_t key, uint8_t audition)
{
    if (recording)
        calls.push_back({EngineCall::noteOff, first, last, key, 0.0f});
    Quorix::noteOff(first, last, key, audition);
}

void EditorEngine::handleMidiMessage(int32_t channel, int32_t type, int32_t data1, int32_t data2)
{
    if (recording)
        calls.push_back({EngineCall::midi, channel, type, data1 | (data2 << 8), 0.0f});
    Quorix::handleMidiMessage(channel, type, data1, data2);
}

int32_t EditorEngine::allNotesOff()
{
    if (recording)
        calls.push_back({EngineCall::allNotesOff, 0, 0, 0, 0.0f});
    return Quorix::allNotesOff();
}

std::vector<EngineCall> EditorEngine::take()
{
    std::vector<EngineCall> out;
    out.swap(calls);
    return out;
}

void OpenEditor::SetUp()
{
    engine = std::make_unique<EditorEngine>();
    engine->dispatcher(effOpen, 0, 0, nullptr, 0.0f);
    editor = static_cast<TestEditor *>(engine->editor());
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(engine->dispatcher(effEditOpen, 0, 0, standInWindow, 0.0f), 1);
    ASSERT_NE(editor->getFrame(), nullptr);
    screen = editor->getFrame()->getOffscreen();
    ASSERT_NE(screen, nullptr);
    settle();
    engine->take();
}

void OpenEditor::TearDown() { engine.reset(); }

void OpenEditor::settle()
{
    for (int round = 0; round < 4; ++round) {
        editor->idle();
        if (editor->queuePending() == 0)
            return;
    }
}

qgui::CRect OpenEditor::windowRect(qgui::CControl *control) const
{
    qgui::CRect r = control->getViewSize();
    for (qgui::CView *parent = control->getParentView(); parent && parent != editor->getFrame();
         parent = parent->getParentView())
        r.offset(parent->getViewSize().left, parent->getViewSize().top);
    return r;
}

void OpenEditor::click(qgui::CControl *control, qgui::CButtonState buttons)
{
    const qgui::CRect r = windowRect(control);
    screen->click(qgui::CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2), buttons);
}

void OpenEditor::engineSets(int32_t index, float value)
{
    engine->setParameterValue(index, value);
    settle();
}

int32_t OpenEditor::pixelsNear(const qgui::CRect &window, const qgui::CColor &colour, int32_t tolerance) const
{
    const double zoom = editor->getFrame()->getZoom();
    int32_t n = 0;
    for (int32_t y = int32_t(window.top * zoom); y < int32_t(window.bottom * zoom); ++y)
        for (int32_t x = int32_t(window.left * zoom); x < int32_t(window.right * zoom); ++x) {
            if (x < 0 || y < 0 || x >= screen->getWidth() || y >= screen->getHeight())
                continue;
            const qgui::CColor p = screen->getPixel(x, y);
            n += std::abs(p.red - colour.red) <= tolerance && std::abs(p.green - colour.green) <= tolerance &&
                 std::abs(p.blue - colour.blue) <= tolerance;
        }
    return n;
}

int32_t OpenEditor::nearestTo(qgui::CControl *control, const qgui::CColor &colour) const
{
    const qgui::CRect window = windowRect(control);
    const double zoom = editor->getFrame()->getZoom();
    int32_t best = 255;
    for (int32_t y = int32_t(window.top * zoom); y < int32_t(window.bottom * zoom); ++y)
        for (int32_t x = int32_t(window.left * zoom); x < int32_t(window.right * zoom); ++x) {
            if (x < 0 || y < 0 || x >= screen->getWidth() || y >= screen->getHeight())
                continue;
            const qgui::CColor p = screen->getPixel(x, y);
            best = std::min(best, std::max({std::abs(p.red - colour.red), std::abs(p.green - colour.green),
                                            std::abs(p.blue - colour.blue)}));
        }
    return best;
}

std::string OpenEditor::text(qgui::CControl *control) const
{
    auto *label = dynamic_cast<qgui::CTextLabel *>(control);
    return label ? label->getText() : std::string("<no label>");
}

} // namespace editortest
