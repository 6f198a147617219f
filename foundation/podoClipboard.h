#pragma once

#include "foundation/podoStr.h"

namespace podo {

// True when the clipboard holds text; the output (when given) then takes it. False, with the output
// untouched, when there is no text, no clipboard owner, no window system or no answer in time. The
// clipboard is neither emptied nor changed.
bool getClipboardText(podoStr *output);

} // namespace podo
