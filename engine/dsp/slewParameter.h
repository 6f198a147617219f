#pragma once

#include <algorithm>

// Largest move of a smoothed parameter per frame, in normalised units.
inline constexpr float kSlewPerFrame = 0.0003f;

// Moves *value toward target by at most kSlewPerFrame x frames, never past it. Equal values
// stay, and so does the value when the target is NaN. Effects call it once per sub-block with
// frames = 16 (whatever the sub-block's real length) or once per frame with 1.
inline void slewParameter(float* value, float target, int frames) {
  const float step = kSlewPerFrame * static_cast<float>(frames);
  if (target > *value)
    *value = std::min(*value + step, target);
  else if (target < *value)
    *value = std::max(*value - step, target);
}
