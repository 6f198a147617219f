#include "gui/guiServices.h"

#include "gui/CFrame.h"

#include <cstdio>

namespace qgui {

namespace {
ClipboardReader& clipboardReader() {
    static ClipboardReader reader;
    return reader;
}
DebugOutput& debugSink() {
    static DebugOutput sink;
    return sink;
}
}  // namespace

void setClipboardReader(ClipboardReader reader) { clipboardReader() = std::move(reader); }

bool readClipboardText(const CFrame* frame, std::string& text) {
    if (clipboardReader()) return clipboardReader()(text);
    return frame && frame->getClipboardText(text);
}

bool writeClipboardText(const CFrame* frame, const std::string& text) {
    return frame && frame->putClipboardText(text);
}

void setDebugOutput(DebugOutput output) { debugSink() = std::move(output); }

void debugOutput(const char* line) {
    if (debugSink())
        debugSink()(line);
    else
        std::fprintf(stderr, "%s\n", line);
}

}  // namespace qgui
