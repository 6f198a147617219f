#include "gui/platform/X11Platform.h"

namespace qgui {

std::unique_ptr<IPlatformFrame> createX11Platform(CFrame*, void*) { return nullptr; }

}  // namespace qgui
