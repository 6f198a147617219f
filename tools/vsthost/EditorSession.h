// Showing a plug-in's editor the way a user's host does: in a top-level X11 window, idled at 30 Hz.
#pragma once

#include "tools/vsthost/VstPlugin.h"

#include <string>

namespace qhost {

// Opens a top-level window of the editor's size, opens the editor in it, idles it for `seconds` (following
// the editor's resize requests) and, when `screenshotPath` is not empty, writes the window as a PNG before
// closing the editor. False with a reason when there is no display or the editor does not open.
// The page and zoom to open the editor with; -1 and 0 keep the plug-in's own.
struct EditorView {
  int page = -1;  // 0 mixer, 1 browser, 2 sequencer, 3 melody, 4 drum, 5 setup
  int zoomPercent = 0;
};

// The page number of a name (mixer, melody, drum, sequencer, browser, setup), or -1.
int editorPageNumber(const std::string& name);

bool runEditorSession(VstPlugin& plugin, double seconds, const std::string& screenshotPath, std::string& error,
                      const EditorView& view = {});

}  // namespace qhost
