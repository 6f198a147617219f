#include "editor-framework/podoVGControl.h"

#include "gui/CControl.h"

int32_t podoVGControl::getTag() const { return control ? control->getTag() : -1; }

int podoVGControl::compare(const podoVGControl &other) const
{
    const int32_t a = getTag(), b = other.getTag();
    return a < b ? -1 : (a > b ? 1 : 0);
}
