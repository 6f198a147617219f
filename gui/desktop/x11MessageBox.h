// The message box on X11: a modal window of its own connection with the text, the stop icon and OK or
// OK and Cancel.
#pragma once

#include "gui/guiTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qgui {

// Where everything of a box goes, in window pixels.
struct MessageBoxLayout {
    CPoint size;
    CRect icon;                  // empty without the stop icon
    CPoint textAt;               // top-left corner of the first line
    double lineHeight = 0;
    std::vector<std::string> lines;
    std::vector<CRect> buttons;  // OK, then Cancel when there is one
};

MessageBoxLayout messageBoxLayout(const std::string& text, int32_t flags, double scale);

// Shows the box and waits for a button: 1 for OK, 2 for Cancel; 0 when no display can be opened. With an
// owner window the box is its transient and sits over it; without one it is kept above the others.
int32_t messageBoxX11(unsigned long owner, const std::string& caption, const std::string& text, int32_t flags);

}  // namespace qgui
