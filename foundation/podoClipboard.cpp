#include "foundation/podoClipboard.h"

#include "foundation/podoDesktop.h"

#include <string>

namespace podo {

bool getClipboardText(podoStr *output)
{
    DesktopLayer *layer = desktopLayer();
    std::string text;
    if (!layer || !layer->getClipboardText(text))
        return false;
    if (output)
        output->setNarrow(text.c_str(), -1); // up to a NUL, as text on a clipboard ends
    return true;
}

} // namespace podo
