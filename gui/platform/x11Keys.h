// X11 key events to VST key codes and typed text.
#pragma once

#include "gui/guiTypes.h"

#include <X11/Xlib.h>

#include <string>

namespace qgui::x11 {

struct TranslatedKey {
    bool valid = false;
    VstKeyCode code{};
    std::string text;  // UTF-8 the key types, if any (never for keypad keys or with Control or Alt)
};

// `character` is the key's unshifted lower-case character also while Shift, Control or Alt is held;
// keypad digits arrive as VKEY_NUMPAD0..9.
TranslatedKey translateKey(XKeyEvent* event);
// The same from a key symbol pair (the key's unshifted symbol and the symbol with the state applied).
TranslatedKey translateKeySyms(unsigned long unshifted, unsigned long shifted, unsigned int state);

}  // namespace qgui::x11
