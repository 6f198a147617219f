// The editor's file commands: the tuning menu of the setup page (temperaments, Scala load and save) and
// the sequencer page's load and save of lane patterns, sequencer patterns and Standard MIDI Files.
// Each asks through a popup menu and a file dialog that start where the last file of its kind was,
// reads or writes the file for the current channel, shows a failure to the user, and brings engine
// and program up to date. The instrument editor owns one and calls it from its dispatch with the
// control that was pressed (menus open at its lower-left corner).
#pragma once

#include "foundation/podoStr.h"

#include <cstdint>
#include <functional>
#include <vector>

class Quorix;
class podoMenu;
class podoVSTEditor;

namespace qgui {
class CView;
}

// Command ids of the tuning menu: 1..16 select temperament id - 1.
enum TuningMenuCommand : uint32_t { tuningMenuLoadScala = 101, tuningMenuSaveScala = 102 };

class EditorFileCommands
{
public:
    // The pages lie this far right of the window's origin.
    static constexpr int32_t pageLeft = 157;

    EditorFileCommands(Quorix *engine, podoVSTEditor *editor);

    void showTuningMenu(qgui::CView *tuningLabel);
    void loadPatternDialog(qgui::CView *button);
    void savePatternDialog();
    void loadLaneDialog(int32_t lane, qgui::CView *button);
    void saveLaneDialog(int32_t lane);

    // After a temperament was chosen or a Scala file read: the editor takes the engine's configuration
    // again (the user rows live there) and refreshes its setup page.
    std::function<void()> onTuningChanged;

private:
    // The chosen path, or empty when the dialog was cancelled; the suggested name and start folder come
    // from the remembered paths.
    podoStr askPath(bool save, const podoStr &fileName, const podoStr &startPath, const char *extension,
                    const char *typeName, const char *product);
    podoStr remembered(const char *key);
    void remember(const char *key, const podoStr &path);
    void showFailure(const podoStr &path, int32_t code);
    uint32_t trackMenu(podoMenu &menu, qgui::CView *control);
    void redraw();
    // Every step of the lane (or of all five lanes for -1) becomes OFF with no velocity.
    void clearSteps(int32_t channel, int32_t lane);
    // The program takes over what a MIDI import wrote into the running sequencer.
    void takeImportedLane(int32_t channel, int32_t lane);
    // The channel's sequencer values of the program, so that a load that fails puts them back rather
    // than leaving the user's lanes cleared or half read.
    std::vector<float> sequencerValues(int32_t channel);
    void restoreSequencerValues(int32_t channel, const std::vector<float> &values);

    Quorix *engine;
    podoVSTEditor *editor;
};
