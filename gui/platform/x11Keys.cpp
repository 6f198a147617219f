#include "gui/platform/x11Keys.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>
#include <X11/Xutil.h>

namespace qgui::x11 {

namespace {

uint8_t virtualKey(unsigned long sym) {
    if (sym >= XK_KP_0 && sym <= XK_KP_9) return static_cast<uint8_t>(VKEY_NUMPAD0 + (sym - XK_KP_0));
    if (sym >= XK_F1 && sym <= XK_F12) return static_cast<uint8_t>(VKEY_F1 + (sym - XK_F1));
    switch (sym) {
        case XK_BackSpace: return VKEY_BACK;
        case XK_Tab:
        case XK_ISO_Left_Tab: return VKEY_TAB;
        case XK_Clear: return VKEY_CLEAR;
        case XK_Return: return VKEY_RETURN;
        case XK_Pause: return VKEY_PAUSE;
        case XK_Escape: return VKEY_ESCAPE;
        case XK_space: return VKEY_SPACE;
        case XK_End:
        case XK_KP_End: return VKEY_END;
        case XK_Home:
        case XK_KP_Home: return VKEY_HOME;
        case XK_Left:
        case XK_KP_Left: return VKEY_LEFT;
        case XK_Up:
        case XK_KP_Up: return VKEY_UP;
        case XK_Right:
        case XK_KP_Right: return VKEY_RIGHT;
        case XK_Down:
        case XK_KP_Down: return VKEY_DOWN;
        case XK_Prior:
        case XK_KP_Prior: return VKEY_PAGEUP;
        case XK_Next:
        case XK_KP_Next: return VKEY_PAGEDOWN;
        case XK_Select: return VKEY_SELECT;
        case XK_Print: return VKEY_PRINT;
        case XK_KP_Enter: return VKEY_ENTER;
        case XK_Insert:
        case XK_KP_Insert: return VKEY_INSERT;
        case XK_Delete:
        case XK_KP_Delete: return VKEY_DELETE;
        case XK_Help: return VKEY_HELP;
        case XK_KP_Multiply: return VKEY_MULTIPLY;
        case XK_KP_Add: return VKEY_ADD;
        case XK_KP_Separator: return VKEY_SEPARATOR;
        case XK_KP_Subtract: return VKEY_SUBTRACT;
        case XK_KP_Decimal: return VKEY_DECIMAL;
        case XK_KP_Divide: return VKEY_DIVIDE;
        case XK_Num_Lock: return VKEY_NUMLOCK;
        case XK_Scroll_Lock: return VKEY_SCROLL;
        case XK_Shift_L:
        case XK_Shift_R: return VKEY_SHIFT;
        case XK_Control_L:
        case XK_Control_R: return VKEY_CONTROL;
        case XK_Alt_L:
        case XK_Alt_R: return VKEY_ALT;
        case XK_KP_Equal: return VKEY_EQUALS;
        default: return 0;
    }
}

// Unicode of a key symbol; 0 when it types nothing.
uint32_t unicodeOf(unsigned long sym) {
    if ((sym >= 0x20 && sym <= 0x7E) || (sym >= 0xA0 && sym <= 0xFF)) return static_cast<uint32_t>(sym);
    if ((sym & 0xFF000000) == 0x01000000) return static_cast<uint32_t>(sym & 0xFFFFFF);
    return 0;
}

std::string toUtf8(uint32_t c) {
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (c >> 18));
        s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

bool isKeypad(unsigned long sym) { return sym >= XK_KP_Space && sym <= XK_KP_Equal; }

}  // namespace

TranslatedKey translateKeySyms(unsigned long unshifted, unsigned long shifted, unsigned int state) {
    TranslatedKey k;
    if (unshifted == NoSymbol && shifted == NoSymbol) return k;
    k.valid = true;
    if (state & ShiftMask) k.code.modifier |= MODIFIER_SHIFT;
    if (state & Mod1Mask) k.code.modifier |= MODIFIER_ALTERNATE;
    if (state & Mod4Mask) k.code.modifier |= MODIFIER_COMMAND;
    if (state & ControlMask) k.code.modifier |= MODIFIER_CONTROL;
    // The symbol with the state decides for keypad keys (NumLock turns KP_Insert into KP_0).
    unsigned long sym = isKeypad(shifted) ? shifted : unshifted;
    k.code.virt = virtualKey(sym);
    if (k.code.virt == 0) {
        uint32_t c = unicodeOf(unshifted);
        if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
        if (c >= 0xC0 && c <= 0xDE && c != 0xD7) c += 0x20;
        k.code.character = static_cast<int32_t>(c);
        if (c == 0) k.valid = shifted != NoSymbol && unicodeOf(shifted) != 0;
    }
    bool typing = !(state & (ControlMask | Mod1Mask | Mod4Mask));
    if (typing && !isKeypad(sym)) {
        if (uint32_t c = unicodeOf(shifted)) k.text = toUtf8(c);
    }
    return k;
}

TranslatedKey translateKey(XKeyEvent* event) {
    KeySym unshifted = XkbKeycodeToKeysym(event->display, static_cast<KeyCode>(event->keycode), 0, 0);
    KeySym shifted = NoSymbol;
    char buffer[32];
    XLookupString(event, buffer, sizeof buffer, &shifted, nullptr);
    return translateKeySyms(unshifted, shifted, event->state);
}

}  // namespace qgui::x11
