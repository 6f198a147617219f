// The step sequencer of the instance: block edits of the current channel's lanes.
//
// The edits run on the user-interface thread under instanceLock: the lanes are copied, edited
// as plain data and every step that changed is written back through setParameterValue, so the
// program, the running state and the editor all learn of it.
#include "engine/Quorix.h"

#include "engine/PatternEditing.h"

using namespace engine;

namespace {

PatternSteps stepsOf(const ChannelState &channel)
{
    PatternSteps steps;
    for (int32_t l = 0; l < kSequencerLanes; ++l)
        for (int32_t s = 0; s < kSequencerSteps; ++s)
            steps.lanes[l][s] = channel.lanes[l].steps[s];
    return steps;
}

int32_t stepParameter(int32_t channel, int32_t lane, int32_t step)
{
    return parameterIndex(channel, local::FirstLane + lane * local::LaneSpan + 2 * step);
}

// The stored form of a note code: (code + 48) / 100.
float noteCodeValue(int32_t code)
{
    return static_cast<float>(code + 48) / 100.0f;
}

void writeChangedSteps(Quorix &q, int32_t channel, const PatternSteps &before, const PatternSteps &after)
{
    for (int32_t l = 0; l < kSequencerLanes; ++l)
        for (int32_t s = 0; s < kSequencerSteps; ++s) {
            const SequencerStep &was = before.lanes[l][s];
            const SequencerStep &now = after.lanes[l][s];
            if (now.note != was.note)
                q.setParameterValue(stepParameter(channel, l, s), noteCodeValue(now.note));
            if (now.velocity != was.velocity)
                q.setParameterValue(stepParameter(channel, l, s) + 1, now.velocity);
        }
}

} // namespace

void Quorix::copySteps(int32_t laneFrom, int32_t laneTo, int32_t stepFrom, int32_t stepTo)
{
    podoSyncCriticalBlock lock(&instanceLock);
    const ChannelState &channel = state.target.channels[getCurrentChannel()];
    engine::copySteps(stepsOf(channel), channel.seqPart, StepSelection{laneFrom, laneTo, stepFrom, stepTo},
                      state.stepClipboard);
}

void Quorix::pasteSteps(bool insert, int32_t lane, int32_t step, int32_t laneFrom, int32_t laneTo, int32_t stepFrom,
                        int32_t stepTo)
{
    podoSyncCriticalBlock lock(&instanceLock);
    const int32_t c = getCurrentChannel();
    const ChannelState &channel = state.target.channels[c];
    const PatternSteps before = stepsOf(channel);
    PatternSteps after = before;
    engine::pasteSteps(after, channel.seqPart, insert, lane, step, StepSelection{laneFrom, laneTo, stepFrom, stepTo},
                       state.stepClipboard);
    writeChangedSteps(*this, c, before, after);
}

void Quorix::clearSteps(bool shift, int32_t laneFrom, int32_t laneTo, int32_t stepFrom, int32_t stepTo)
{
    podoSyncCriticalBlock lock(&instanceLock);
    const int32_t c = getCurrentChannel();
    const ChannelState &channel = state.target.channels[c];
    const PatternSteps before = stepsOf(channel);
    PatternSteps after = before;
    engine::clearSteps(after, channel.seqPart, shift, StepSelection{laneFrom, laneTo, stepFrom, stepTo});
    writeChangedSteps(*this, c, before, after);
}

int32_t Quorix::expandSteps(bool insert, int32_t laneFrom, int32_t laneTo, int32_t stepFrom, int32_t stepTo)
{
    podoSyncCriticalBlock lock(&instanceLock);
    const int32_t c = getCurrentChannel();
    const ChannelState &channel = state.target.channels[c];
    const PatternSteps before = stepsOf(channel);
    PatternSteps after = before;
    const int32_t length =
        engine::expandSteps(after, channel.seqPart, insert, StepSelection{laneFrom, laneTo, stepFrom, stepTo});
    writeChangedSteps(*this, c, before, after);
    return length;
}

int32_t Quorix::compressSteps(bool shift, int32_t laneFrom, int32_t laneTo, int32_t stepFrom, int32_t stepTo)
{
    podoSyncCriticalBlock lock(&instanceLock);
    const int32_t c = getCurrentChannel();
    const ChannelState &channel = state.target.channels[c];
    const PatternSteps before = stepsOf(channel);
    PatternSteps after = before;
    const int32_t length =
        engine::compressSteps(after, channel.seqPart, shift, StepSelection{laneFrom, laneTo, stepFrom, stepTo});
    writeChangedSteps(*this, c, before, after);
    return length;
}
