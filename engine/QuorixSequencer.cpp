// The step sequencer of the instance: its tick in the block render, block edits of the current
// channel's lanes, and what switching a pattern player leaves to settle.
//
// The tick runs on the audio thread inside the render, both engine locks held. The edits run on
// the user-interface thread under instanceLock: the lanes are copied, edited as plain data and
// every step that changed is written back through setParameterValue, so the program, the running
// state and the editor all learn of it.
#include "engine/Quorix.h"

#include "engine/PatternEditing.h"
#include "engine/StepSequencer.h"
#include "engine/VoiceRender.h"
#include "engine/dsp/pitchTables.h"

#include <cmath>

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

void Quorix::sequencerTick(int32_t channel, int32_t n)
{
    if (channel < 0 || channel >= kChannelCount || !state.target.channels[channel].seqOn)
        return;

    // Notes start with the sequencer's identity curve; tied steps glide on the player's curve.
    class Voices : public PatternVoices
    {
    public:
        Voices(Quorix &q, int32_t c) : q(q), c(c) {}
        int32_t startNote(int32_t key, int32_t velocity, int32_t shift) override
        {
            return q.noteOn(c, c, key, velocity, 0, 1, shift, kIdentityVelocityCurve);
        }
        void releaseNote(int32_t noteId) override { q.releaseKey(c, noteId); }
        void glideNoteLevel(int32_t noteId, int32_t velocity) override
        {
            const int32_t i = q.findVoice(c, noteId);
            if (i < 0)
                return;
            VoiceRecord &v = q.state.play[c].voices[i];
            v.targetLevel = velocityLevel(sharedConfiguration().velocityCurve, velocity) / 127.0f;
            v.levelSpan = std::fabs(v.targetLevel - v.level);
            if (v.levelSpan + v.pitchSpan > 0.0f)
                v.flags |= kVoiceGliding;
        }

    private:
        Quorix &q;
        int32_t c;
    } voices(*this, channel);

    const PatternTime time{hostPosition, subBlockBeats(n, hostTempo, frameSampleRate)};
    const SequencerTick tick = tickSequencer(state.target.channels[channel], state.play[channel], time, voices);
    if (tick.fired) {
        postEditorFloat(tag::SequencerPosition + channel, static_cast<float>(tick.shownStep) * 0.015873f);
        state.runtime.patternsRunning = 1;
    }
}

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

void Quorix::switchPattern(int32_t channel, int32_t which, bool on)
{
    if (channel < 0 || channel >= kChannelCount)
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    ChannelState &ch = state.target.channels[channel];
    ChannelPlayState &play = state.play[channel];
    if (on) {
        // While the sequencer runs, keys never reach the arpeggiator: nothing changes hands.
        if (which == 1 && ch.seqOn)
            return;
        // The keys held now started voices of their own; their note-offs will reach the pattern.
        for (int32_t i = 0; i < play.voiceCount; ++i) {
            VoiceRecord &v = play.voices[i];
            if ((v.flags & kVoiceKeyHeld) && !isFading(v))
                v.flags &= static_cast<uint8_t>(~kVoiceKeyHeld);
        }
    } else if (which == 0) {
        for (SequencerLane &lane : ch.lanes) {
            if (lane.noteId >= 0)
                releaseKey(channel, lane.noteId);
            lane.noteId = -1;
            lane.lastKey = -1;
            lane.tied = 0;
        }
        play.seqHeldCount = 0;
        play.seqOrderValid = 0;
        play.seqCurrentStep = -1;
        play.seqLastStep = -1;
    } else {
        if (play.arpNoteId >= 0)
            releaseKey(channel, play.arpNoteId);
        play.arpNoteId = -1;
        play.arpHeldCount = 0;
        play.arpLength = 0;
        play.arpOrderValid = 0;
        play.arpCurrentStep = -1;
        play.arpLastStep = -1;
    }
    updatePatternsRunning();
}
