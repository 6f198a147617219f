// Showing a plug-in's editor the way a user's host does: in a top-level X11 window, idled at 30 Hz.
#pragma once

#include "tools/vsthost/VstPlugin.h"

#include <string>

namespace qhost {

// Opens a top-level window of the editor's size, opens the editor in it, idles it for `seconds` (following
// the editor's resize requests) and, when `screenshotPath` is not empty, writes the window as a PNG before
// closing the editor. False with a reason when there is no display or the editor does not open.
bool runEditorSession(VstPlugin& plugin, double seconds, const std::string& screenshotPath, std::string& error);

}  // namespace qhost
