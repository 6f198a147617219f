#include "foundation/podoStr.h"

#include "foundation/davalArrayString.h"
#include "foundation/podoStrAccess.h"

namespace {

template <typename Ch>
davalArrayString *splitText(const podoStr &s, const Ch *separator, bool skipEmpty)
{
    auto *pieces = new davalArrayString;
    const Ch *text = podoStrAccess::text(s, Ch());
    const int n = podo::text::length(text);
    const int step = podo::text::length(separator);
    podoStr piece;
    int at = 0;
    while (at < n) {
        const int found = step ? s.find(separator, at) : -1;
        if (found < 0) {
            podoStrAccess::set(piece, text + at, n - at);
            pieces->add(piece);
            break;
        }
        if (found > at || !skipEmpty) {
            podoStrAccess::set(piece, text + at, found - at);
            pieces->add(piece);
        }
        at = found + step;
    }
    return pieces;
}

} // namespace

davalArrayString *podoStr::split(const char16_t *separator, bool skipEmpty) const
{
    return splitText(*this, separator, skipEmpty);
}

davalArrayString *podoStr::split(const char *separator, bool skipEmpty) const
{
    return splitText(*this, separator, skipEmpty);
}
