#include "engine/StepSequencer.h"

#include <algorithm>
#include <cmath>

namespace engine {

namespace {

constexpr int32_t kCodeContinue = 49;
constexpr int32_t kCodeContinueThenEnd = 50;
constexpr int32_t kCodeEnd = 51;
constexpr int32_t kCodeRest = 52;
constexpr int32_t kFirstHeldKeyBase = kLaneHeldKeyBase;
constexpr int32_t kLastHeldKeyBase = kLaneHeldKeyBase + kSequencerHeldKeys - 1;

void endLaneNote(SequencerLane& lane, PatternVoices& voices) {
    lane.lastKey = -1;
    if (lane.noteId >= 0)
        voices.releaseNote(lane.noteId);
    lane.noteId = -1;
}

int32_t rounded(double v) {
    return static_cast<int32_t>(std::trunc(v + 0.5));
}

// A step that starts a note: the lane's key and level, then the voice-limit rules.
void startLaneNote(const ChannelState& channel, const ChannelPlayState& play, SequencerLane& lane, int32_t code,
                   float stepVelocity, PatternVoices& voices) {
    int32_t key;
    double level;
    int32_t shift = 0;
    if (lane.base < kFirstHeldKeyBase) {
        key = lane.base + code;
        level = 127.0 + (play.seqLastVelocity - 127.0) * channel.seqVelocityAmount;
        if (channel.seqRootPitch < 128)
            shift = play.seqLastKey - channel.seqRootPitch;
    } else {
        const int32_t k = lane.base - kFirstHeldKeyBase;
        if (lane.base > kLastHeldKeyBase || k >= std::clamp(play.seqHeldCount, 0, kSequencerHeldKeys))
            return;
        const SequencerHeldKey& held = play.seqHeldKeys[std::clamp(play.seqOrder[k], 0, kSequencerHeldKeys - 1)];
        key = held.key + code;
        level = 127.0 + (held.velocity - 127.0) * channel.seqVelocityAmount;
    }
    // A drum channel shifts the pitch of the drum sound the key picks; a melody channel has no
    // such shift, so the transposition goes into the key itself.
    if (channel.mode != 1) {
        key += shift;
        shift = 0;
    }
    if (!(level > 0.0))
        return;
    const int32_t limit = channel.voiceLimit;
    if (limit < 0 || (limit == 0 && key == lane.lastKey))
        return;
    if (channel.mode == 1 && limit == 1)
        endLaneNote(lane, voices);
    const int32_t previous = lane.noteId;
    const int32_t id = voices.startNote(key, std::clamp(rounded(level * std::sqrt(stepVelocity)), 0, 127), shift);
    if (limit > 1 && previous >= 0)
        voices.releaseNote(previous);
    lane.lastLevel = static_cast<float>(level);
    lane.lastKey = key;
    lane.noteId = id;
}

} // namespace

void orderSequencerKeys(int32_t noteOrder, ChannelPlayState& play) {
    const int32_t count = std::clamp(play.seqHeldCount, 0, kSequencerHeldKeys);
    for (int32_t i = 0; i < count; ++i)
        play.seqOrder[i] = i;
    if (noteOrder != 1 && noteOrder != 2)
        return;
    auto before = [&](int32_t a, int32_t b) {
        const int32_t ka = play.seqHeldKeys[a].key, kb = play.seqHeldKeys[b].key;
        return noteOrder == 1 ? ka < kb : ka > kb;
    };
    std::stable_sort(play.seqOrder, play.seqOrder + count, before);
}

SequencerTick tickSequencer(ChannelState& channel, ChannelPlayState& play, const PatternTime& time,
                            PatternVoices& voices) {
    if (!play.seqOrderValid) {
        orderSequencerKeys(channel.seqNoteOrder, play);
        play.seqOrderValid = 1;
    }
    const int32_t length = std::clamp(channel.seqLength, 1, kSequencerSteps);
    const StepClock clock =
        stepClock(time.position, sequencerStepLength(channel.seqRate, channel.seqTriplet != 0), time.beats);
    const int32_t step = wrapStep(clock.step, length);
    play.seqCurrentStep = step;
    play.seqPhase = clock.phase;
    // A new step fires once: only a boundary reached in this sub-block makes it new again.
    if (clock.crossed)
        play.seqLastStep = -1;
    const int32_t t = wrapStep(static_cast<int64_t>(step) - play.seqSyncOffset, length);

    if (step == play.seqLastStep)
        return {};
    // Swing holds back the odd steps by up to two thirds of a step.
    if ((t & 1) && clock.phase < channel.seqSwing * (2.0 / 3.0))
        return {};
    if (play.seqHeldCount <= 0) {
        play.seqCurrentStep = -1;
        play.seqLastStep = -1;
        for (SequencerLane& lane : channel.lanes)
            endLaneNote(lane, voices);
        return {};
    }
    play.seqLastStep = step;
    if (!channel.seqLatch && play.heldKeyCount == 0) {
        // Keys still listed with no key down and no latch (the latch went off in a bulk load):
        // nothing holds the pattern any more, so no lane note may go on sounding.
        for (SequencerLane& lane : channel.lanes)
            endLaneNote(lane, voices);
        return {};
    }

    for (SequencerLane& lane : channel.lanes) {
        if (!lane.on) {
            endLaneNote(lane, voices);
            continue;
        }
        if (lane.tied) {
            lane.tied = 0;
            endLaneNote(lane, voices);
        }
        const SequencerStep& s = lane.steps[t];
        const float velocity = std::clamp(s.velocity, 0.0f, 1.0f);
        if (s.note == kCodeEnd || s.note == kCodeRest) {
            endLaneNote(lane, voices);
        } else if (s.note == kCodeContinue || s.note == kCodeContinueThenEnd) {
            if (s.note == kCodeContinueThenEnd)
                lane.tied = 1;
            if (lane.noteId >= 0)
                voices.glideNoteLevel(lane.noteId,
                                      std::clamp(rounded(std::sqrt(velocity) * lane.lastLevel), 0, 127));
        } else if (s.note < kCodeContinue) {
            startLaneNote(channel, play, lane, s.note, velocity, voices);
        }
    }
    return {true, t};
}

} // namespace engine
