#include "engine/PatternEditing.h"

#include <algorithm>
#include <utility>

namespace engine {

namespace {

constexpr SequencerStep kRest{kStepRest, 0.0f};

int32_t pageStart(int32_t page) {
    return std::clamp(page, 0, kPages - 1) * kPageSteps;
}

bool inLane(int32_t index) {
    return index >= 0 && index < kSequencerSteps;
}

// Steps from page step `from` on move left by `distance`; the places they leave become rests.
void moveLeft(SequencerStep* lane, int32_t base, int32_t from, int32_t distance) {
    for (int32_t j = from; j < kSequencerSteps; ++j) {
        const int32_t h = base + j;
        const int32_t source = h + distance;
        if (!inLane(source))
            break;
        lane[h] = lane[source];
        lane[source] = kRest;
    }
}

// Steps from page step `from` on move right by `distance`; those pushed past the lane are lost.
void moveRight(SequencerStep* lane, int32_t base, int32_t from, int32_t distance) {
    for (int32_t j = kSequencerSteps - 1; j >= from; --j) {
        const int32_t h = base + j;
        const int32_t source = h - distance;
        if (inLane(h) && inLane(source))
            lane[h] = lane[source];
    }
}

} // namespace

StepSelection clampSelection(StepSelection s) {
    if (s.lane0 > s.lane1)
        std::swap(s.lane0, s.lane1);
    if (s.step0 > s.step1)
        std::swap(s.step0, s.step1);
    s.lane0 = std::clamp(s.lane0, 0, kSequencerLanes - 1);
    s.lane1 = std::clamp(s.lane1, 0, kSequencerLanes - 1);
    s.step0 = std::clamp(s.step0, 0, kPageSteps - 1);
    s.step1 = std::clamp(s.step1, 0, kPageSteps - 1);
    return s;
}

void copySteps(const PatternSteps& steps, int32_t page, StepSelection selection, StepClipboard& clipboard) {
    const StepSelection s = clampSelection(selection);
    const int32_t base = pageStart(page);
    clipboard.rows = s.lane1 - s.lane0 + 1;
    clipboard.columns = s.step1 - s.step0 + 1;
    for (int32_t i = 0; i < clipboard.rows; ++i)
        for (int32_t j = 0; j < clipboard.columns; ++j) {
            const SequencerStep& from = steps.lanes[s.lane0 + i][base + s.step0 + j];
            clipboard.cells[i][j] = StepCell{from.note, from.velocity};
        }
}

void pasteSteps(PatternSteps& steps, int32_t page, bool insert, int32_t lane, int32_t step,
                StepSelection selection, StepClipboard& clipboard) {
    if (clipboard.columns <= 0 || clipboard.rows <= 0)
        copySteps(steps, page, selection, clipboard);
    const int32_t base = pageStart(page);
    lane = std::clamp(lane, 0, kSequencerLanes - 1);
    step = std::clamp(step, 0, kPageSteps - 1);
    const int32_t rows = std::min({clipboard.rows, kSequencerLanes - lane, kSequencerLanes});
    const int32_t columns = std::min(clipboard.columns, kPageSteps);
    for (int32_t i = 0; i < rows; ++i) {
        SequencerStep* target = steps.lanes[lane + i];
        if (insert)
            moveRight(target, base, step + columns, columns);
        for (int32_t j = 0; j < columns && inLane(base + step + j); ++j) {
            const StepCell& cell = clipboard.cells[i][j];
            target[base + step + j] = SequencerStep{cell.note, cell.velocity};
        }
    }
}

void clearSteps(PatternSteps& steps, int32_t page, bool shift, StepSelection selection) {
    const StepSelection s = clampSelection(selection);
    const int32_t base = pageStart(page);
    const int32_t length = s.step1 - s.step0 + 1;
    for (int32_t l = s.lane0; l <= s.lane1; ++l) {
        SequencerStep* lane = steps.lanes[l];
        for (int32_t j = s.step0; j <= s.step1; ++j)
            lane[base + j] = kRest;
        if (shift)
            moveLeft(lane, base, s.step0, length);
    }
}

int32_t expandSteps(PatternSteps& steps, int32_t page, bool insert, StepSelection selection) {
    const StepSelection s = clampSelection(selection);
    const int32_t base = pageStart(page);
    const int32_t length = s.step1 - s.step0 + 1;
    for (int32_t l = s.lane0; l <= s.lane1; ++l) {
        SequencerStep* lane = steps.lanes[l];
        if (insert)
            moveRight(lane, base, s.step1 + 1, length);
        // From the last step back, so that no step is overwritten before it has moved.
        for (int32_t i = length - 1; i >= 0; --i) {
            const int32_t d = base + s.step0 + 2 * i;
            if (!inLane(d))
                continue;
            lane[d] = lane[base + s.step0 + i];
            if (inLane(d + 1))
                lane[d + 1] = SequencerStep{kStepContinue, lane[d].velocity};
        }
    }
    return length;
}

int32_t compressSteps(PatternSteps& steps, int32_t page, bool shift, StepSelection selection) {
    const StepSelection s = clampSelection(selection);
    const int32_t base = pageStart(page);
    const int32_t length = s.step1 - s.step0 + 1;
    const int32_t half = length / 2;
    for (int32_t l = s.lane0; l <= s.lane1; ++l) {
        SequencerStep* lane = steps.lanes[l];
        for (int32_t i = 0; i < half; ++i)
            lane[base + s.step0 + i] = lane[base + s.step0 + 2 * i];
        if (shift)
            moveLeft(lane, base, s.step0 + half, length - half);
    }
    return length;
}

} // namespace engine
