#include "tools/soundfont/EngineText.h"

namespace sfconv {

// The engine has no text-to-value reading of its parameters yet: every text answers false
// and keeps the default value.
bool engineValueFromText(int, bool, const std::string &, float &) { return false; }

} // namespace sfconv
