#include "editor/EditorFileCommands.h"

#include "editor-framework/podoVSTEditor.h"
#include "editor/PatternFiles.h"
#include "editor/ScalaFile.h"
#include "engine/ConfigurationBlock.h"
#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"
#include "engine/Temperaments.h"
#include "engine/Quorix.h"
#include "foundation/podoMenu.h"
#include "foundation/podoShell.h"
#include "foundation/podoWnd.h"
#include "gui/CFrame.h"

#include <string>

using namespace qgui;

namespace {

constexpr const char *caption = "Kestrane Quorix";
constexpr const char *scalaLoadKey = "Path - Scala Load";
constexpr const char *scalaSaveKey = "Path - Scala Save";
constexpr const char *laneLoadKey = "Path - Pattern Lane Load";
constexpr const char *laneSaveKey = "Path - Pattern Lane Save";
constexpr const char *patternLoadKey = "Path - Pattern Load";
constexpr const char *patternSaveKey = "Path - Pattern Save";

constexpr uint32_t itemFile = 1; // the page's own file type
constexpr uint32_t itemMidi = 2;

podoStr fileNameOf(const podoStr &path)
{
    const std::string text = path.getNarrow();
    const size_t slash = text.find_last_of("\\/");
    return podoStr((slash == std::string::npos ? text : text.substr(slash + 1)).c_str());
}

int32_t parameterIndex(int32_t channel, int32_t local) { return channel * engine::kChannelParameterCount + local; }
int32_t laneLocal(int32_t lane, int32_t offset) { return engine::local::FirstLane + engine::local::LaneSpan * lane + offset; }

} // namespace

EditorFileCommands::EditorFileCommands(Quorix *engine, podoVSTEditor *editor) : engine(engine), editor(editor) {}

podoStr EditorFileCommands::remembered(const char *key)
{
    podoStr value;
    if (!engine->readMachineRegistryString(podoStr(key), &value))
        return podoStr();
    return value;
}

void EditorFileCommands::remember(const char *key, const podoStr &path)
{
    engine->writeMachineRegistryString(podoStr(key), path);
}

podoStr EditorFileCommands::askPath(bool save, const podoStr &fileName, const podoStr &startPath, const char *extension,
                                    const char *typeName, const char *product)
{
    podoStr path = fileName;
    if (!podo::fileDialog(save, path, startPath, podoStr(extension), podoStr(typeName), podoStr(product),
                          editor->getWindow()))
        return podoStr();
    return path;
}

void EditorFileCommands::showFailure(const podoStr &path, int32_t code)
{
    podo::showError(path, podoStr(engine::dataFileErrorText(code)), podoStr(caption), editor->getWindow());
}

uint32_t EditorFileCommands::trackMenu(podoMenu &menu, CView *control)
{
    CRect r;
    editor->scaleRect(r, control, pageLeft, 0);
    return menu.track(int32_t(r.left), int32_t(r.bottom), false);
}

void EditorFileCommands::redraw()
{
    if (CFrame *frame = editor->getFrame())
        frame->invalid();
}

void EditorFileCommands::showTuningMenu(CView *tuningLabel)
{
    if (!editor->getFrame() || !editor->isOpen())
        return;
    TuningBlock tuning{};
    engine->getTuningBlock(&tuning);
    const int32_t t = tuning.temperament;
    podoMenu menu(editor->getWindow());
    for (uint32_t i = 0; i < 8; ++i)
        menu.addItem(0, i + 1, podoStr(engine::temperamentNames[i]));
    menu.appendSeparator();
    for (uint32_t n = 1; n <= 8; ++n) {
        podoStr name;
        name.format("User Tuning Scale &%d", int(n));
        menu.addItem(0, 8 + n, name);
    }
    menu.appendSeparator();
    menu.addItem(0, tuningMenuLoadScala, podoStr("&Load Scala scale(.scl) file to User..."));
    menu.addItem(0, tuningMenuSaveScala, podoStr("&Save Scala scale(.scl) file..."));
    if (t >= 0 && t < 16)
        menu.select(uint32_t(t + 1));
    if (t < 8)
        menu.enable(tuningMenuLoadScala, false);

    const uint32_t id = trackMenu(menu, tuningLabel);
    if (id >= 1 && id <= 16) {
        engine->selectTemperament(int32_t(id) - 1);
        if (onTuningChanged)
            onTuningChanged();
        return;
    }
    if (id != tuningMenuLoadScala && id != tuningMenuSaveScala)
        return;
    const bool save = id == tuningMenuSaveScala;
    podoStr start = remembered(scalaLoadKey);
    podoStr name = save ? podoStr() : fileNameOf(start);
    if (save) {
        name.format("%s.scl", engine::temperamentNames[t >= 0 && t < engine::kTemperamentCount ? t : 0]);
        const podoStr saved = remembered(scalaSaveKey);
        if (!saved.isEmpty())
            start = saved;
    }
    const podoStr path = askPath(save, name, start, ".scl", "Scala scale", "");
    if (path.isEmpty())
        return;
    remember(save ? scalaSaveKey : scalaLoadKey, path);
    const int32_t code = save ? scalaFile::writeScalaFile(engine, path) : scalaFile::readScalaFile(engine, path);
    if (code != 0) {
        showFailure(path, code);
        return;
    }
    if (!save && onTuningChanged)
        onTuningChanged();
}

void EditorFileCommands::saveLaneDialog(int32_t lane)
{
    const podoStr path = askPath(true, fileNameOf(remembered(laneLoadKey)), remembered(laneSaveKey), ".lan",
                                 "Lane Pattern", "Quorix");
    if (!path.isEmpty()) {
        remember(laneSaveKey, path);
        const int32_t code = patternFiles::writeLaneFile(engine, path, engine->getCurrentChannel(), lane);
        if (code != 0)
            showFailure(path, code);
    }
    redraw();
}

void EditorFileCommands::savePatternDialog()
{
    const podoStr path = askPath(true, fileNameOf(remembered(patternLoadKey)), remembered(patternSaveKey), ".ptn",
                                 "Sequencer Pattern", "Quorix");
    if (!path.isEmpty()) {
        remember(patternSaveKey, path);
        const int32_t code = patternFiles::writePatternFile(engine, path, engine->getCurrentChannel());
        if (code != 0)
            showFailure(path, code);
    }
    redraw();
}

void EditorFileCommands::clearSteps(int32_t channel, int32_t lane)
{
    for (int32_t l = lane < 0 ? 0 : lane; l <= (lane < 0 ? engine::kSequencerLanes - 1 : lane); ++l)
        for (int32_t s = 0; s < engine::kSequencerSteps; ++s) {
            engine->setParameterValue(parameterIndex(channel, laneLocal(l, 2 * s)), 1.0f);
            engine->setParameterValue(parameterIndex(channel, laneLocal(l, 2 * s + 1)), 0.0f);
        }
}

void EditorFileCommands::takeImportedLane(int32_t channel, int32_t lane)
{
    engine->setParameterValue(parameterIndex(channel, laneLocal(lane, 128)), engine->getLaneOn(channel, lane) ? 1.0f : 0.0f);
    engine->setParameterValue(parameterIndex(channel, laneLocal(lane, 129)), float(engine->getLaneBase(channel, lane)) / 132.0f);
    for (int32_t s = 0; s < engine::kSequencerSteps; ++s) {
        engine->setParameterValue(parameterIndex(channel, laneLocal(lane, 2 * s)),
                                  float(engine->getStepNote(channel, lane, s) + 48) * 0.01f);
        engine->setParameterValue(parameterIndex(channel, laneLocal(lane, 2 * s + 1)),
                                  engine->getStepVelocity(channel, lane, s));
    }
}

std::vector<float> EditorFileCommands::sequencerValues(int32_t channel)
{
    std::vector<float> values;
    values.reserve(engine::local::LastLane - engine::local::SeqOn + 1);
    for (int32_t id = engine::local::SeqOn; id <= engine::local::LastLane; ++id)
        values.push_back(engine->getParameterValue(parameterIndex(channel, id)));
    return values;
}

void EditorFileCommands::restoreSequencerValues(int32_t channel, const std::vector<float> &values)
{
    for (size_t i = 0; i < values.size(); ++i)
        engine->setParameterValue(parameterIndex(channel, engine::local::SeqOn + int32_t(i)), values[i]);
    // A MIDI import writes the running sequencer directly: take it back from the program.
    engine->applySequencerParameters(channel, true);
}

void EditorFileCommands::loadLaneDialog(int32_t lane, CView *button)
{
    if (!editor->isOpen() || lane < 0 || lane >= engine::kSequencerLanes)
        return;
    podoMenu menu(editor->getWindow());
    menu.addItem(0, itemFile, podoStr("&Lane Pattern (.lan)"));
    menu.addItem(0, itemMidi, podoStr("Standard &MIDI File (.mid)"));
    const uint32_t item = trackMenu(menu, button);
    if (item != itemFile && item != itemMidi)
        return;
    const podoStr previous = remembered(laneLoadKey);
    const podoStr path = item == itemFile
                             ? askPath(false, fileNameOf(previous), previous, ".lan", "Lane Pattern", "Quorix")
                             : askPath(false, fileNameOf(previous), previous, ".mid", "Standard MIDI File", "");
    if (path.isEmpty())
        return;
    remember(laneLoadKey, path);
    const int32_t channel = engine->getCurrentChannel();
    const std::vector<float> before = sequencerValues(channel);
    clearSteps(channel, lane);
    const int32_t code = item == itemFile ? patternFiles::readLaneFile(engine, path, channel, lane)
                                          : engine->importPatternMidiFile(path, channel, lane);
    if (code != 0) {
        restoreSequencerValues(channel, before);
        showFailure(path, code);
    } else if (item == itemFile) {
        engine->applySequencerParameters(channel, true);
    } else {
        takeImportedLane(channel, lane);
        // The import may have lengthened the sequence; the program keeps that length too.
        engine->setParameterValue(parameterIndex(channel, engine::local::SeqLength),
                                  float(engine->getSeqLength(channel) - 1) / 63.0f);
    }
    redraw();
}

void EditorFileCommands::loadPatternDialog(CView *button)
{
    if (!editor->isOpen())
        return;
    podoMenu menu(editor->getWindow());
    menu.addItem(0, itemFile, podoStr("&Sequencer Pattern (.ptn)"));
    menu.addItem(0, itemMidi, podoStr("Standard &MIDI File (.mid)"));
    const uint32_t item = trackMenu(menu, button);
    if (item != itemFile && item != itemMidi)
        return;
    const podoStr previous = remembered(patternLoadKey);
    const podoStr path = item == itemFile
                             ? askPath(false, fileNameOf(previous), previous, ".ptn", "Sequencer Pattern", "Quorix")
                             : askPath(false, fileNameOf(previous), previous, ".mid", "Standard MIDI File", "");
    if (path.isEmpty())
        return;
    remember(patternLoadKey, path);
    const int32_t channel = engine->getCurrentChannel();
    const std::vector<float> before = sequencerValues(channel);
    clearSteps(channel, -1);
    const int32_t code = item == itemFile ? patternFiles::readPatternFile(engine, path, channel)
                                          : engine->importPatternMidiFile(path, channel, -1);
    if (code != 0) {
        restoreSequencerValues(channel, before);
        showFailure(path, code);
    } else if (item == itemFile) {
        engine->applySequencerParameters(channel, true);
        engine->applySequencerParameters(channel, false);
    } else {
        engine->setParameterValue(parameterIndex(channel, engine::local::SeqLength),
                                  float(engine->getSeqLength(channel) - 1) / 63.0f);
        for (int32_t lane = 0; lane < engine::kSequencerLanes; ++lane) {
            engine->setParameterValue(parameterIndex(channel, laneLocal(lane, 129)),
                                      float(engine->getLaneBase(channel, lane)) / 132.0f);
            for (int32_t s = 0; s < engine::kSequencerSteps; ++s) {
                engine->setParameterValue(parameterIndex(channel, laneLocal(lane, 2 * s)),
                                          float(engine->getStepNote(channel, lane, s) + 48) * 0.01f);
                engine->setParameterValue(parameterIndex(channel, laneLocal(lane, 2 * s + 1)),
                                          engine->getStepVelocity(channel, lane, s));
            }
        }
        engine->applySequencerParameters(channel, false);
    }
    redraw();
}
