// Process-wide services of the toolkit that callers may replace: the clipboard reader and the debugger
// output.
#pragma once

#include <functional>
#include <string>

namespace qgui {

class CFrame;

// Reads the clipboard's text; true when there is text. Without a reader set, the frame's window system
// is asked (X11: the CLIPBOARD selection; offscreen: the text a test put there).
using ClipboardReader = std::function<bool(std::string& text)>;
void setClipboardReader(ClipboardReader reader);
bool readClipboardText(const CFrame* frame, std::string& text);
// Puts text on the frame's window system's clipboard; false when it could not.
bool writeClipboardText(const CFrame* frame, const std::string& text);

// Debugger output lines (standard error unless replaced).
using DebugOutput = std::function<void(const char* line)>;
void setDebugOutput(DebugOutput output);
void debugOutput(const char* line);

}  // namespace qgui
