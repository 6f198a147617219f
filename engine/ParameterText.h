#pragma once
// Names, units and display texts of the engine's parameters, and the reading of typed text back
// into normalised values. Pure functions of the index, the value and what the channel plays now
// (mode 0 melody, 1 drum kit, anything else neither; the LFO's tempo sync for "LFO.Rate"), so a
// tool can convert texts without an instance. The few texts that only an instance knows (system
// and insert effect read-outs, wave names) come back as a request the instance fills in.
//
// Every text is written into a buffer of kParameterTextSize characters: at most 63 characters and
// the terminator. Numbers are printed and read the same way whatever the process locale is.

#include <cstdint>

namespace engine {

// The twelve pitch classes as note texts show them, from C.
extern const char *const noteNames[12];

inline constexpr int kParameterTextSize = 64;

// "CHnn:" before a channel parameter's name (style 0), or "Melody:" / "Drum:" before an
// instrument parameter's name (any other style).
inline constexpr int kNameStyleChannel = 0;

// The name of parameter index; empty outside 0..28,640 and for a parameter without a name.
void parameterNameText(int32_t index, int32_t mode, int32_t style, char* text);

// The unit label of parameter index; empty when it has none.
void parameterUnitText(int32_t index, int32_t mode, bool lfoBpmSync, char* text);

// What a display text still needs from the instance.
enum class DisplaySource : uint8_t {
    complete,     // the text is written
    systemEffect, // `slot` 0 chorus, 1 reverb: the effect's display of `parameter` 0..3 at `value`
    insertEffect, // the channel's insert `slot` 0/1: the effect's display of `parameter` 0..2
    wave,         // the name of wave `number` (never 0: that one is written as "<empty>")
};

struct DisplayRequest {
    DisplaySource source = DisplaySource::complete;
    int32_t slot = 0;
    int32_t parameter = 0;
    int32_t number = 0;
    float value = 0.0f;
};

// The display text of the normalised value x of parameter index, or the request for the part
// the instance supplies (then text is left empty). Empty for a parameter without a display.
DisplayRequest parameterDisplayText(int32_t index, float x, int32_t mode, bool lfoBpmSync, char* text);

// "%.2f" of 20 x log10(gain) for a gain above 0, otherwise "-oo".
void levelText(float gain, char* text);

// A MIDI key 0..127 as note name and octave: key 60 is "C3", key 0 "C-2".
void keyNameText(int32_t key, char* text);

// Reads typed text as a normalised value of parameter index. True when the parameter takes
// text and the text gives a usable value: then *value is that value, held to 0..1. False for a
// parameter that takes no text, a name not in the parameter's list, or a text that gives no
// finite value; then *value is the number read from the text (0 when none or not finite).
bool parameterValueFromText(int32_t index, const char* text, int32_t mode, bool lfoBpmSync, float* value);

// The decimal number at the start of text, after blanks: sign, digits, point, digits, exponent.
// "inf", "infinity" and "nan" read as themselves. *found (optional) tells whether there was one;
// 0 when there is none.
double leadingNumber(const char* text, bool* found = nullptr);

} // namespace engine
