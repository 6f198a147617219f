#include "tools/soundfont/EngineText.h"

#include "engine/ParameterIndex.h"
#include "engine/ParameterText.h"

namespace sfconv {

// Channel parameters read their text alike on every channel; the LFO rate is given in hertz.
bool engineValueFromText(int local, bool drum, const std::string &text, float &value)
{
  return engine::parameterValueFromText(engine::parameterIndex(0, local), text.c_str(), drum ? 1 : 0, false, &value);
}

} // namespace sfconv
