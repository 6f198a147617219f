#include "engine/PatternClock.h"

#include <algorithm>
#include <cmath>

namespace engine {

namespace {

// Sequencer steps by rate, then the triplets of the same rates.
constexpr double kSequencerStepLengths[2 * kSequencerRates] = {
    4.0,       2.0,       1.0,       0.5,       0.25,      0.125,      0.0625,     0.03125,
    8.0 / 3.0, 4.0 / 3.0, 2.0 / 3.0, 1.0 / 3.0, 1.0 / 6.0, 1.0 / 12.0, 1.0 / 24.0, 1.0 / 48.0,
};

constexpr double kArpeggiatorStepLengths[kArpeggiatorRates] = {
    6.0,       3.0,       1.5,       0.75,      0.375,     0.1875,      // dotted
    4.0,       2.0,       1.0,       0.5,       0.25,      0.125,       // straight
    8.0 / 3.0, 4.0 / 3.0, 2.0 / 3.0, 1.0 / 3.0, 1.0 / 6.0, 1.0 / 12.0, // triplets
};

constexpr double kBoundaryTolerance = 1e-6; // steps
constexpr double kStepLimit = 1e15;         // keeps step numbers exact in a double and an int64

// Position in steps, drawn onto a boundary when it is within the tolerance of one.
double inSteps(double position, double stepLength) {
    double c = position / stepLength;
    if (!std::isfinite(c))
        return 0.0;
    c = std::clamp(c, -kStepLimit, kStepLimit);
    const double nearest = std::nearbyint(c);
    return std::fabs(c - nearest) < kBoundaryTolerance ? nearest : c;
}

} // namespace

double sequencerStepLength(int32_t rate, bool triplet) {
    rate = std::clamp(rate, 0, kSequencerRates - 1);
    return kSequencerStepLengths[rate + (triplet ? kSequencerRates : 0)];
}

double arpeggiatorStepLength(int32_t rate) {
    return kArpeggiatorStepLengths[std::clamp(rate, 0, kArpeggiatorRates - 1)];
}

StepClock stepClock(double position, double stepLength, double beats) {
    if (!(stepLength > 0.0))
        return StepClock{0, 0.0, 0.0, false};
    if (!std::isfinite(position))
        position = 0.0;
    if (!std::isfinite(beats) || beats < 0.0)
        beats = 0.0;
    const double start = std::floor(inSteps(position, stepLength));
    const double end = inSteps(position + beats, stepLength);
    const double whole = std::floor(end);
    StepClock clock;
    clock.step = static_cast<int64_t>(whole);
    clock.phase = end - whole;
    clock.reach = end - start;
    clock.crossed = whole != start;
    return clock;
}

int32_t wrapStep(int64_t step, int32_t length) {
    if (length < 1)
        return 0;
    const int64_t r = step % length;
    return static_cast<int32_t>(r < 0 ? r + length : r);
}

int32_t patternStep(double position, double stepLength, int32_t length) {
    return wrapStep(stepClock(position, stepLength, 0.0).step, length);
}

double subBlockBeats(int32_t n, double tempo, double sampleRate) {
    if (n <= 0 || !(tempo > 0.0) || !(sampleRate > 0.0))
        return 0.0;
    return n * tempo / 60.0 / sampleRate;
}

} // namespace engine
