#pragma once
// The typed forms of a normalised parameter value. Pure: decoding never changes any state.

#include <cstdint>

namespace engine {

struct DecodedValue {
    float value;     // the normalised value itself (NaN read as 0, held to 0..1)
    int32_t integer; // the scaled integer of the parameter's own range
    bool boolean;    // value >= 0.5
};

// mode is the channel's running mode (0 melody, 1 drum kit): the instrument parameters
// 698..1,805 scale by it. Indexes outside the parameters get the plain forms.
DecodedValue decodeParameter(int32_t index, float x, int32_t mode);

// Rounding of the integer forms: half away from zero for the scaled ranges, half to even
// for the plain ones (so 0.5 is integer 0 while its boolean is true).
int32_t roundHalfAway(double v);
int32_t roundHalfEven(double v);

} // namespace engine
