#include "engine/tests/PlaySupport.h"

#include "engine/HostAutomationMap.h"
#include "engine/ParameterIndex.h"

#include <cmath>

using namespace engine;

namespace enginetest {

void Player::SetUp()
{
    clearHostAutomationMaps();
    start(44100.0f);
}

void Player::TearDown()
{
    q.reset();
    library.reset();
}

void Player::start(float rate)
{
    q.reset();
    library.reset();
    q = std::make_unique<TestQuorix>();
    // After the instance: a first instance may reload the process's library.
    library = std::make_unique<TestLibrary>();
    q->setSampleRate(rate);
    q->dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
    set(master::Volume, 0.70710678f);
    set(master::Tune, 0.5f);
    set(master::Transpose, 0.5f);
    set(master::VoiceLimit, 1.0f);
}

void Player::setLocal(int32_t channel, int32_t localId, float value) { set(parameterIndex(channel, localId), value); }

void Player::melody(int32_t c, const MelodySetup &s)
{
    setLocal(c, local::Mode, 0.0f);
    setLocal(c, local::On, 1.0f);
    setLocal(c, local::Volume, 0.70710678f);
    setLocal(c, local::Pan, 0.5f);
    setLocal(c, local::VoiceLimit, s.voiceLimit / 64.0f);
    setLocal(c, local::Transpose, 0.5f);
    setLocal(c, local::OutputBus, float(s.outputBus));
    setLocal(c, local::KeyRangeLow, 0.0f);
    setLocal(c, local::KeyRangeHigh, 1.0f);
    setLocal(c, local::VelocityRangeLow, 0.0f);
    setLocal(c, local::VelocityRangeHigh, 1.0f);
    setLocal(c, local::GlideTime, s.glide);
    setLocal(c, local::PitchBendRange, s.bendRange / 24.0f);
    setLocal(c, local::OscWave, s.wave1 / 16384.0f);
    setLocal(c, local::OscWave + 1, s.wave2 / 16384.0f);
    for (int i = 0; i < 2; ++i) {
        setLocal(c, local::OscSemitone + i, 0.5f);
        setLocal(c, local::OscFinetone + i, 0.5f);
    }
    setLocal(c, local::OscMix, s.oscMix);
    setLocal(c, local::FilterSlope, s.fourPole ? 1.0f : 0.0f);
    setLocal(c, local::FilterCutoff, s.cutoff);
    setLocal(c, local::FilterResonance, s.resonance);
    setLocal(c, local::FilterMix, s.filterMix);
    setLocal(c, local::FilterEnvAmount, 0.5f);
    setLocal(c, local::FilterKeyTracking, 0.5f);
    setLocal(c, local::FilterEnvelope + 2, 1.0f);
    setLocal(c, local::AmpEnvelope, s.attack);
    setLocal(c, local::AmpEnvelope + 1, s.decay);
    setLocal(c, local::AmpEnvelope + 2, s.sustain);
    setLocal(c, local::AmpEnvelope + 3, s.release);
    setLocal(c, local::AmpEnvVelocityAmount, 0.0f);
    settle();
}

void Player::settle()
{
    EngineState &st = q->state;
    st.smoothed = st.target;
    for (ControllerState &c : st.controllers) {
        c.volumeCurrent = c.volumeTarget;
        c.panCurrent = c.panTarget;
        c.expressionCurrent = c.expressionTarget;
    }
}

void Player::midi(int32_t status, int32_t data1, int32_t data2)
{
    q->handleMidiMessage(status & 0x0F, status & 0xF0, data1, data2);
}

Audio Player::render(int32_t frames, int32_t blockSize)
{
    Audio a;
    a.left.resize(size_t(frames));
    a.right.resize(size_t(frames));
    a.subLeft.resize(size_t(frames));
    a.subRight.resize(size_t(frames));
    for (int32_t done = 0; done < frames; done += blockSize) {
        const int32_t n = std::min(blockSize, frames - done);
        float *outputs[4] = {a.left.data() + done, a.right.data() + done, a.subLeft.data() + done,
                             a.subRight.data() + done};
        q->processReplacing(nullptr, outputs, n);
    }
    return a;
}

double measureFrequency(const std::vector<float> &s, double rate, size_t from)
{
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (size_t i = std::max<size_t>(from, 1); i < s.size(); ++i) {
        if (s[i - 1] < 0.0f && s[i] >= 0.0f) {
            const double t = double(i - 1) + double(-s[i - 1]) / double(s[i] - s[i - 1]);
            if (first < 0.0)
                first = t;
            last = t;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0.0;
    return (crossings - 1) * rate / (last - first);
}

float peak(const std::vector<float> &s, size_t from, size_t to)
{
    float p = 0.0f;
    for (size_t i = from; i < to && i < s.size(); ++i)
        p = std::max(p, std::fabs(s[i]));
    return p;
}

bool cleanSignal(const std::vector<float> &s)
{
    for (float x : s)
        if (!std::isfinite(x) || std::fpclassify(x) == FP_SUBNORMAL)
            return false;
    return true;
}

} // namespace enginetest
