#pragma once

#include "foundation/davalArray.h"
#include "foundation/podoStr.h"

// A sortable array of texts; sorting and searching use podoStr's whole-text,
// case-sensitive natural order.
class davalArrayString : public davalSortableArray<podoStr>
{
};
