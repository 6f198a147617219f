#include "engine/ParameterDecode.h"

#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"

#include <cmath>

namespace engine {

int32_t roundHalfAway(double v) {
    return static_cast<int32_t>(std::round(v));
}

int32_t roundHalfEven(double v) {
    const double lower = std::floor(v);
    const double fraction = v - lower;
    double r = lower;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0))
        r = lower + 1.0;
    return static_cast<int32_t>(r);
}

namespace {

// A scaled integer: r(x * scale) + offset.
struct Scale {
    int32_t scale;
    int32_t offset;
};

constexpr Scale kPlain{0, 0};

Scale masterScale(int index) {
    switch (index) {
    case master::Transpose: return {96, -48};
    case master::VoiceLimit: return {1023, 1};
    case master::Page: return {4, 0};
    default: return kPlain;
    }
}

Scale channelScale(int localId) {
    switch (localId) {
    case local::Mode:
    case local::OutputBus: return {1, 0};
    case local::VoiceLimit: return {64, 0};
    case local::Transpose: return {96, -48};
    case local::InsertType:
    case local::InsertType + 1: return {33, 0};
    case local::SeqNoteOrder:
    case local::SeqSync: return {2, 0};
    case local::SeqRate: return {7, 0};
    case local::SeqLength: return {63, 1};
    case local::SeqPart: return {3, 0};
    case local::SeqRootPitch: return {128, 0};
    default: return kPlain;
    }
}

Scale melodyScale(int localId) {
    switch (localId) {
    case local::KeyRangeLow:
    case local::KeyRangeHigh:
    case local::VelocityRangeLow:
    case local::VelocityRangeHigh: return {127, 0};
    case local::PitchBendRange: return {24, 0};
    case local::LfoWave: return {9, 0};
    case local::OscWave:
    case local::OscWave + 1: return {16384, 0};
    case local::OscSemitone:
    case local::OscSemitone + 1: return {96, -48};
    case local::ArpPattern: return {7, 0};
    case local::ArpRate: return {17, 0};
    case local::ArpOctave: return {5, 1};
    default: return kPlain;
    }
}

Scale drumScale(int localId) {
    const DrumId d = decodeDrumParameter(localId);
    if (d.kind == kindInstrument)
        return localId == local::KitMidiSelect ? kPlain : Scale{127, 0};
    if (d.kind != kindDrumKey)
        return kPlain;
    switch (d.base) {
    case local::DrumWave: return {16384, 0};
    case local::DrumSemitone: return {96, -48};
    case local::DrumMuteGroup:
    case local::DrumInsertBus: return {2, 0};
    default: return kPlain;
    }
}

} // namespace

DecodedValue decodeParameter(int32_t index, float x, int32_t mode) {
    DecodedValue d{};
    d.value = sanitizeParameterValue(x);
    d.boolean = d.value >= 0.5f;

    Scale s = kPlain;
    bool twoPole = false; // "Osc.1.Finetone" and "Filter.Slope": 2 when on, else 1
    if (index >= 0 && index <= kLastParameterIndex) {
        const Classified c = classifyParameter(index, 0);
        switch (c.kind) {
        case kindMaster:
            s = masterScale(index);
            break;
        case kindChannelSetting:
        case kindSequencerSetting:
            s = channelScale(c.second);
            break;
        case kindLane: {
            const SequencerId q = decodeSequencerParameter(c.second);
            if (q.base == local::LaneBase) s = {132, 0};
            else if (q.base == local::StepNote) s = {100, -48};
            break;
        }
        case kindInstrument:
            if (mode == 0) {
                s = melodyScale(c.second);
                twoPole = c.second == local::OscFinetone || c.second == local::FilterSlope;
            } else if (mode == 1) {
                s = drumScale(c.second);
            }
            break;
        default:
            break;
        }
    }

    if (twoPole)
        d.integer = d.boolean ? 2 : 1;
    else if (s.scale == 0)
        d.integer = roundHalfEven(d.value);
    else
        d.integer = roundHalfAway(static_cast<double>(d.value) * s.scale) + s.offset;
    return d;
}

} // namespace engine
