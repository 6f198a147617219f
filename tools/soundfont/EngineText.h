// The engine's reading of a parameter's display text: the one road by which the converter's
// physical values (seconds, hertz, decibels, cents, semitones) become normalised values, so
// the library never carries a second copy of the engine's curves.
#pragma once

#include <string>

namespace sfconv {

// The normalised value the engine reads from the text of a channel parameter (local id
// 17..1,805 of a melody channel, or of a drum kit when drum is set). False when the engine
// reads no text for that parameter or the text gives no value; the caller then keeps the
// parameter's default.
bool engineValueFromText(int local, bool drum, const std::string &text, float &value);

} // namespace sfconv
