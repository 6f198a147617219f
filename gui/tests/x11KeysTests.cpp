// X11 key symbols to VST key codes and typed text (no display needed).
#include <gtest/gtest.h>
// gtest comes first: the X11 headers define macros that clash with it.
#include "gui/platform/x11Keys.h"

#include <X11/keysym.h>

using namespace qgui;

TEST(X11Keys, TranslationTable) {
    struct Case {
        const char* name;
        unsigned long unshifted, shifted;
        unsigned int state;
        int32_t character;
        uint8_t virt, modifier;
        std::string text;
    } cases[] = {
        {"plain letter", XK_a, XK_a, 0, 'a', 0, 0, "a"},
        {"Shift keeps the unshifted lower-case character", XK_a, XK_A, ShiftMask, 'a', 0, MODIFIER_SHIFT, "A"},
        {"Control types nothing", XK_v, XK_v, ControlMask, 'v', 0, MODIFIER_CONTROL, ""},
        {"Alt types nothing", XK_1, XK_1, Mod1Mask, '1', 0, MODIFIER_ALTERNATE, ""},
        {"shifted digit key", XK_1, XK_exclam, ShiftMask, '1', 0, MODIFIER_SHIFT, "!"},
        {"keypad digit with NumLock", XK_KP_End, XK_KP_1, Mod2Mask, 0, VKEY_NUMPAD1, 0, ""},
        {"keypad without NumLock is a navigation key", XK_KP_End, XK_KP_End, 0, 0, VKEY_END, 0, ""},
        {"keypad enter", XK_KP_Enter, XK_KP_Enter, 0, 0, VKEY_ENTER, 0, ""},
        {"return", XK_Return, XK_Return, 0, 0, VKEY_RETURN, 0, ""},
        {"shift tab", XK_Tab, XK_ISO_Left_Tab, ShiftMask, 0, VKEY_TAB, MODIFIER_SHIFT, ""},
        {"space has its virtual key and types a blank", XK_space, XK_space, 0, 0, VKEY_SPACE, 0, " "},
        {"F12", XK_F12, XK_F12, 0, 0, VKEY_F12, 0, ""},
        {"page down", XK_Next, XK_Next, 0, 0, VKEY_PAGEDOWN, 0, ""},
        {"accented letter", XK_Eacute, XK_Eacute, ShiftMask, 0xE9, 0, MODIFIER_SHIFT, "\xC3\x89"},
        {"Unicode key symbol", 0x10020AC, 0x10020AC, 0, 0x20AC, 0, 0, "\xE2\x82\xAC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        x11::TranslatedKey k = x11::translateKeySyms(c.unshifted, c.shifted, c.state);
        ASSERT_TRUE(k.valid);
        EXPECT_EQ(k.code.character, c.character);
        EXPECT_EQ(k.code.virt, c.virt);
        EXPECT_EQ(k.code.modifier, c.modifier);
        EXPECT_EQ(k.text, c.text);
    }
    EXPECT_FALSE(x11::translateKeySyms(NoSymbol, NoSymbol, 0).valid);
}
