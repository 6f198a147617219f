#pragma once
// A whole program (a host chunk, or the program itself again) decoded apart from the running
// state: every value applied to a copy of the target image, its waves looked up, its ranges
// ordered and its insert effects built, so that the instance puts it in place in one short step:
// the render at its next block start, or the caller under the lock when no render runs. Made and
// published by Quorix (engine/QuorixProgramLoad.cpp).

#include "engine/EngineLimits.h"
#include "engine/EngineState.h"
#include "engine/ProgramBlock.h"

struct PreparedProgram {
    PreparedProgram() = default;
    PreparedProgram(const PreparedProgram &) = delete;
    PreparedProgram &operator=(const PreparedProgram &) = delete;
    // Deletes the effects it still owns: built and not published, or replaced by the publication.
    ~PreparedProgram();

    ProgramBlock block;  // the values to store: waves that could not be found are 0
    EngineState scratch; // its target image is what the running state takes; the rest is scratch
    // Per channel and insert slot: the effect built for the type the program names. After the
    // publication, the effect it replaced.
    InsertEffectSlot effects[engine::kChannelCount][engine::kInsertSlotsPerChannel];
    bool effectFailed[engine::kChannelCount][engine::kInsertSlotsPerChannel] = {};
};
