#include "foundation/podoError.h"

#include "foundation/platform/podoPlatform.h"

podoStr &podoError::text(podoStr &output) const
{
    output.setNarrow("Unknown error", -1);
    if (const char *message = podo::platform::systemErrorText(code))
        output.setNarrow(message, -1);
    return output;
}

podoError &podoError::copyFrom(const podoError &other)
{
    code = other.code;
    second = other.second;
    third = other.third;
    return *this;
}

podoError &podoError::setCode(int32_t newCode)
{
    code = newCode;
    return *this;
}

bool podoError::operator==(const podoError &other) const
{
    return code == other.code && second == other.second && third == other.third;
}

bool podoError::isCode(int32_t other) const
{
    return code == other;
}

bool podoError::operator!=(const podoError &other) const
{
    return !(*this == other);
}

int32_t podoError::clear()
{
    code = second = third = 0;
    return 0;
}
