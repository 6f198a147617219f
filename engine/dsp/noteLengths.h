#pragma once
// Tempo-synchronised note lengths, in beats (quarter notes). Thirds are exact double quotients.

struct NoteLength {
  const char* name;  // shown as "%s note"
  double beats;
};

inline constexpr int kLfoSyncNoteLengthCount = 27;
inline constexpr int kDelaySyncNoteLengthCount = 21;

// Read by every tempo-synchronised LFO, of the voices and of the effects.
inline constexpr NoteLength lfoSyncNoteLengths[kLfoSyncNoteLengthCount] = {
    {"8/1", 32.0},        {"4/1D", 24.0},       {"8/1T", 64.0 / 3.0},  {"4/1", 16.0},
    {"2/1D", 12.0},       {"4/1T", 32.0 / 3.0}, {"2/1", 8.0},          {"1/1D", 6.0},
    {"2/1T", 16.0 / 3.0}, {"1/1", 4.0},         {"1/2D", 3.0},         {"1/1T", 8.0 / 3.0},
    {"1/2", 2.0},         {"1/4D", 1.5},        {"1/2T", 4.0 / 3.0},   {"1/4", 1.0},
    {"1/8D", 0.75},       {"1/4T", 2.0 / 3.0},  {"1/8", 0.5},          {"1/16D", 0.375},
    {"1/8T", 1.0 / 3.0},  {"1/16", 0.25},       {"1/32D", 0.1875},     {"1/16T", 1.0 / 6.0},
    {"1/32", 0.125},      {"1/64D", 0.09375},   {"1/32T", 1.0 / 12.0},
};

// Read by the delays.
inline constexpr NoteLength delaySyncNoteLengths[kDelaySyncNoteLengthCount] = {
    {"1/1", 4.0},          {"1/2D", 3.0},        {"1/1T", 8.0 / 3.0},  {"1/2", 2.0},
    {"1/4D", 1.5},         {"1/2T", 4.0 / 3.0},  {"1/4", 1.0},         {"1/8D", 0.75},
    {"1/4T", 2.0 / 3.0},   {"1/8", 0.5},         {"1/16D", 0.375},     {"1/8T", 1.0 / 3.0},
    {"1/16", 0.25},        {"1/32D", 0.1875},    {"1/16T", 1.0 / 6.0}, {"1/32", 0.125},
    {"1/64D", 0.09375},    {"1/32T", 1.0 / 12.0}, {"1/64", 0.0625},    {"1/128D", 0.046875},
    {"1/64T", 1.0 / 24.0},
};

// int(x * (count - 1) + 0.5) for a normalised parameter x; values outside 0..1 (and NaN) are
// held to the table.
inline int noteLengthIndex(float x, int count) {
  if (!(x > 0.0f)) return 0;
  if (x >= 1.0f) return count - 1;
  return static_cast<int>(x * static_cast<float>(count - 1) + 0.5f);
}

inline const NoteLength& lfoSyncNoteLength(float x) {
  return lfoSyncNoteLengths[noteLengthIndex(x, kLfoSyncNoteLengthCount)];
}

inline const NoteLength& delaySyncNoteLength(float x) {
  return delaySyncNoteLengths[noteLengthIndex(x, kDelaySyncNoteLengthCount)];
}
