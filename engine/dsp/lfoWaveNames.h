#pragma once
// Names of the LFO waves as the melody channel's wave list shows them. The effects' WAVE
// parameter displays the first four entries, though it modulates with the four effectLfo shapes
// (sine, triangle, saw, square): the two lists differ on purpose.

inline constexpr int kLfoWaveNameCount = 10;

inline constexpr const char* lfoWaveNames[kLfoWaveNameCount] = {
    "SIN hi-lo", "SIN lo-hi", "TRI hi-lo", "TRI lo-hi", "SAW up",
    "SAW down",  "SQR hi-lo", "SQR lo-hi", "RND glide", "RND hold",
};
