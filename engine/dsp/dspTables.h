#pragma once
// Process-wide lookup tables shared by the voice renders and the effects.
//
// Every table is filled once when the module loads (a static initialiser in dspTables.cpp), so
// the render never builds anything on first use. buildDspTables() may be called again at any
// time; it does nothing once the tables exist. Nothing may read the tables from another static
// initialiser. After the build they are read-only and read without locks from any thread.

inline constexpr int kLfoSineSteps = 256;
inline constexpr int kEnvelopeCurveSize = 259;  // C(-1) .. C(257)
inline constexpr int kDenormalNoiseSize = 1024;
inline constexpr int kDriveCurveSize = 65536;

// Storage; read through the names below, never written outside dspTables.cpp.
namespace dsp_tables_detail {
extern float lfoSineStorage[kLfoSineSteps + 3];
extern float envelopeCurveStorage[kEnvelopeCurveSize];
extern float denormalNoiseStorage[kDenormalNoiseSize];
extern float driveCurveOverdriveStorage[kDriveCurveSize];
extern float driveCurveDistortionStorage[kDriveCurveSize];
}  // namespace dsp_tables_detail

// One sine cycle in 256 steps: lfoSineTable[i] = sin(2 pi i / 256) for i = 0..255, with guards
// lfoSineTable[-1] = [255], [256] = [0], [257] = [1], so an LFO may interpolate between step and
// step + 1 for any step 0..255 without a wrap test.
inline constexpr const float* lfoSineTable = dsp_tables_detail::lfoSineStorage + 1;

// The envelope curve C(i) = (i / 256)^e for i = 0..252, C(253) .. C(257) = 1, C(-1) = 0.
// envelopeCurve[i] is C(i) for i = -1..257 (the cubic lookup of the envelopes reads all of them).
// envelopeCurveTable is the same data from its first entry: entries 0 and 1 are 0, 256 to 258
// are 1; the envelope display reads entries 1..257 of it.
inline constexpr const float (&envelopeCurveTable)[kEnvelopeCurveSize] =
    dsp_tables_detail::envelopeCurveStorage;
inline constexpr const float* envelopeCurve = dsp_tables_detail::envelopeCurveStorage + 1;

// 1,024 tiny values (magnitudes 6.8e-17 .. 1.4e-16, pseudo-random sign, all normal floats).
// Mixing buffers start from them and the drive curves include them, so the filters that follow
// never decay into denormal numbers.
inline constexpr const float (&denormalNoise)[kDenormalNoiseSize] =
    dsp_tables_detail::denormalNoiseStorage;

// Transfer curves of the drive effects. Entry i is the output for the input i - 32768 on a
// 16-bit scale: slope G up to the knee K, then almost flat (y = K + (x - K)^E), odd-shaped below
// -K, plus the anti-denormal noise. Callers look up round(scaled input) + 32768, clamped to
// 0..65535.
inline constexpr const float (&driveCurveOverdrive)[kDriveCurveSize] =
    dsp_tables_detail::driveCurveOverdriveStorage;
inline constexpr const float (&driveCurveDistortion)[kDriveCurveSize] =
    dsp_tables_detail::driveCurveDistortionStorage;

// Fills every table above; runs once per process (later calls return at once). Called at load.
void buildDspTables();
