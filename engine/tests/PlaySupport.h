// Playing an in-process instance: channel set-ups in plain terms, MIDI in, audio out, and
// measurements of what came out.
#pragma once

#include "engine/tests/EngineTestSupport.h"
#include "engine/tests/TestSounds.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace enginetest {

// The four outputs of a render.
struct Audio {
    std::vector<float> left, right, subLeft, subRight;
    size_t size() const { return left.size(); }
};

// A melody channel in plain terms; the defaults make a clean, unfiltered, unmodulated voice at
// unity gain that starts at full level and stops at once on release.
struct MelodySetup {
    int32_t wave1 = waveSine;
    int32_t wave2 = waveNone;
    int32_t voiceLimit = 16;      // 0 mono legato, 1 mono retrigger
    float attack = 0.0f, decay = 0.0f, sustain = 1.0f, release = 0.0f; // normalised times
    float cutoff = 1.0f;
    float resonance = 0.0f;
    bool fourPole = false;
    float filterMix = 0.0f;
    float oscMix = 0.0f;
    float glide = 0.0f;
    int32_t bendRange = 2;
    int32_t outputBus = 0;
};

class Player : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes a fresh instance at a rate, with the test library.
    void start(float rate);
    void set(int32_t index, float value) { q->setParameterValue(index, value); }
    void setLocal(int32_t channel, int32_t localId, float value);
    void melody(int32_t channel, const MelodySetup &setup = {});
    // Smoothed values and controllers jump to their targets, as after a long time.
    void settle();
    void midi(int32_t status, int32_t data1, int32_t data2);
    // Renders frames through the frame's processing call, in blocks of blockSize.
    Audio render(int32_t frames, int32_t blockSize = 256);
    ChannelPlayState &play(int32_t channel) { return q->state.play[channel]; }

    std::unique_ptr<TestQuorix> q;
    std::unique_ptr<TestLibrary> library;
};

// Frequency of a periodic signal from its rising zero crossings, interpolated.
double measureFrequency(const std::vector<float> &signal, double rate, size_t from = 0);
// Largest magnitude of samples [from, to).
float peak(const std::vector<float> &signal, size_t from, size_t to);
// True when every sample is finite and none is denormal.
bool cleanSignal(const std::vector<float> &signal);

} // namespace enginetest
