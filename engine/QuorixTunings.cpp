// The program's tuning: temperament rows and per-pitch-class offsets.
#include "engine/Quorix.h"

#include "engine/Temperaments.h"

#include <cstring>

using namespace engine;

void Quorix::selectTemperament(int32_t temperament)
{
    {
        podoSyncCriticalBlock lock(&instanceLock);
        EngineReadBlock shared(engineSharedLock());
        selectTemperamentRow(programBlock.tuning, temperament, sharedConfiguration());
    }
    postEditorFloat(tag::Tuning, -1.0f);
}

bool Quorix::setTuningOffset(int32_t pitchClass, int32_t cents)
{
    podoSyncCriticalBlock lock(&instanceLock);
    EngineWriteBlock shared(engineSharedLock());
    return setTuningOffsetIn(programBlock.tuning, sharedConfiguration(), pitchClass, cents);
}

int32_t Quorix::getTuningOffset(int32_t pitchClass)
{
    if (!isPitchClass(pitchClass))
        return 0;
    podoSyncCriticalBlock lock(&instanceLock);
    return limitTuningCents(programBlock.tuning.offsets[pitchClass]);
}

TuningBlock *Quorix::getTuningBlock(TuningBlock *out)
{
    podoSyncCriticalBlock lock(&instanceLock);
    if (out)
        std::memcpy(out, &programBlock.tuning, sizeof(TuningBlock));
    return &programBlock.tuning;
}

void Quorix::setProgramTemperament(ProgramBlock *block, int32_t size)
{
    if (!block || size < kProgramBlockSize)
        return;
    EngineReadBlock shared(engineSharedLock());
    const ConfigurationBlock &configuration = sharedConfiguration();
    int32_t t = configuration.selectedTemperament;
    if (t < 0 || t >= kTemperamentCount)
        t = 0;
    selectTemperamentRow(block->tuning, t, configuration);
}
