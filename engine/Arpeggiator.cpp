#include "engine/Arpeggiator.h"

#include <algorithm>
#include <utility>

namespace engine {

namespace {

constexpr int32_t kPatternKinds[kArpPatterns] = {0, 0, 1, 2, 1, 2, 0, 0};

int32_t heldOctaves(int32_t octaves) {
    return std::clamp(octaves, 1, kArpOctavesMax);
}

} // namespace

int32_t arpPatternKind(int32_t pattern) {
    return kPatternKinds[std::clamp(pattern, 0, kArpPatterns - 1)];
}

int32_t arpeggioLength(int32_t pattern, int32_t octaves, int32_t heldCount) {
    const int32_t c = heldOctaves(octaves) * std::clamp(heldCount, 0, kArpHeldKeys);
    if (c <= 1)
        return c;
    switch (arpPatternKind(pattern)) {
    case 1: return 2 * c - 2;
    case 2: return 2 * c;
    default: return c;
    }
}

int32_t buildArpeggio(const HeldKey* held, int32_t heldCount, int32_t pattern, int32_t octaves, HeldKey* notes,
                      int32_t* order) {
    heldCount = std::clamp(heldCount, 0, kArpHeldKeys);
    octaves = heldOctaves(octaves);
    pattern = std::clamp(pattern, 0, kArpPatterns - 1);
    for (int32_t o = 0; o < octaves; ++o)
        for (int32_t j = 0; j < heldCount; ++j)
            notes[o * heldCount + j] = HeldKey{held[j].key + 12 * o, held[j].velocity};
    const int32_t c = octaves * heldCount;
    const int32_t length = arpeggioLength(pattern, octaves, heldCount);
    for (int32_t i = 0; i < length; ++i)
        order[i] = i < c ? i : 0;

    // An exchange sort over the first c entries: equal keys are never exchanged, so the order
    // of equal keys (and of their velocities) is the same every time the order is rebuilt.
    const bool ascending = pattern == 0 || pattern == 2 || pattern == 3;
    const bool descending = pattern == 1 || pattern == 4 || pattern == 5;
    if (ascending || descending)
        for (int32_t i = 0; i + 1 < c; ++i)
            for (int32_t j = i + 1; j < c; ++j) {
                const int32_t a = notes[order[i]].key, b = notes[order[j]].key;
                if (ascending ? a > b : a < b)
                    std::swap(order[i], order[j]);
            }

    // The way back mirrors the way out: without the two ends (kind 1) or with both (kind 2).
    const int32_t kind = arpPatternKind(pattern);
    for (int32_t a = c; a < length; ++a)
        order[a] = kind == 1 ? order[length - a] : order[length - 1 - a];
    return length;
}

int32_t nextArpeggioRandom(uint32_t& seed) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int32_t>((seed >> 16) & 0x7FFF);
}

bool tickArpeggiator(const MelodyState& m, ChannelPlayState& play, const PatternTime& time, PatternVoices& voices,
                     uint32_t& randomSeed) {
    if (!play.arpOrderValid) {
        play.arpLength = buildArpeggio(play.arpHeldKeys, play.arpHeldCount, m.arpPattern, m.arpOctave, play.arpNotes,
                                       play.arpOrder);
        play.arpOrderValid = 1;
    }
    const StepClock clock = stepClock(time.position, arpeggiatorStepLength(m.arpRate), time.beats);

    // The gate ends the arpeggiator's own note, whatever voices were started after it.
    if (clock.reach >= m.arpGateTime && play.arpNoteId >= 0) {
        voices.releaseNote(play.arpNoteId);
        play.arpNoteId = -1;
    }
    play.arpPhase = clock.phase;

    const int32_t length = std::clamp(play.arpLength, 0, kArpOrderLength);
    if (length == 0) {
        play.arpCurrentStep = -1;
        play.arpLastStep = -1;
        return false;
    }
    play.arpCurrentStep = wrapStep(clock.step, length);
    if (clock.crossed)
        play.arpLastStep = -1;
    if (play.arpCurrentStep == play.arpLastStep)
        return false;
    play.arpLastStep = play.arpCurrentStep;
    if (!m.arpLatch && play.heldKeyCount == 0)
        return true;

    int64_t i = m.arpPattern == 7 ? nextArpeggioRandom(randomSeed) % length : play.arpCurrentStep;
    if (m.arpKeySync)
        i -= play.arpSyncOffset;
    const HeldKey& note = play.arpNotes[std::clamp(play.arpOrder[wrapStep(i, length)], 0, kArpNotes - 1)];
    play.arpNoteId = voices.startNote(note.key, note.velocity, 0);
    return true;
}

} // namespace engine
