// The X11 backend: a child window in the host's window, events read only from the frame's idle.
#pragma once

#include "gui/platform/IPlatformFrame.h"

#include <memory>

namespace qgui {

// nullptr when no display can be opened or the parent window id is not valid.
std::unique_ptr<IPlatformFrame> createX11Platform(CFrame* frame, void* parentWindow);

}  // namespace qgui
