#pragma once

#include "foundation/podoStr.h"

#include <cstdint>

// Holds a system error code (errno here) and gives the system's message for
// it. The second and third values travel with the code and mean nothing.
class podoError
{
public:
    podoError() = default;
    virtual ~podoError() = default;

    // The system's message for the code, or "Unknown error" when it has none.
    virtual podoStr &text(podoStr &output) const;
    virtual podoError &copyFrom(const podoError &other);
    virtual podoError &setCode(int32_t newCode);
    virtual bool operator==(const podoError &other) const;
    virtual bool isCode(int32_t other) const;
    virtual bool operator!=(const podoError &other) const;
    // All three values 0; returns 0.
    virtual int32_t clear();

    int32_t code = 0;
    int32_t second = 0;
    int32_t third = 0;
};
