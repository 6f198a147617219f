#pragma once
// Block edits of a channel's five sequencer lanes: copy, paste, clear, expand and compress over
// a selection of lanes and steps on one 16-step page. Pure functions over a copy of the steps;
// the instance writes the steps that changed back through its parameters.
//
// Every range is put in order and held to what exists: lanes 0..4, page steps 0..15, a paste
// target inside the five lanes and the page, at most 5 x 16 clipboard cells. Nothing is ever
// read or written outside the 64 steps of a lane.

#include "engine/EngineState.h"

#include <cstdint>

namespace engine {

inline constexpr int kPageSteps = 16;
inline constexpr int kPages = kSequencerSteps / kPageSteps;

// The note code a cleared step holds, and the one that continues the lane's note.
inline constexpr int32_t kStepRest = 52;
inline constexpr int32_t kStepContinue = 49;

struct PatternSteps {
    SequencerStep lanes[kSequencerLanes][kSequencerSteps];
};

// A selection: lanes lane0..lane1, page-relative steps step0..step1.
struct StepSelection {
    int32_t lane0, lane1;
    int32_t step0, step1;
};

// The selection with its ends in order, held to the five lanes and the page.
StepSelection clampSelection(StepSelection selection);

// page: 0..3 (held), the 16-step page whose step s is step page x 16 + s of a lane.
void copySteps(const PatternSteps& steps, int32_t page, StepSelection selection, StepClipboard& clipboard);
// Copies the selection first when the clipboard holds nothing.
void pasteSteps(PatternSteps& steps, int32_t page, bool insert, int32_t lane, int32_t step,
                StepSelection selection, StepClipboard& clipboard);
void clearSteps(PatternSteps& steps, int32_t page, bool shift, StepSelection selection);
// Both return the number of steps of the (held) selection.
int32_t expandSteps(PatternSteps& steps, int32_t page, bool insert, StepSelection selection);
int32_t compressSteps(PatternSteps& steps, int32_t page, bool shift, StepSelection selection);

} // namespace engine
