// A VST host inside a fuzz program: makes instances through the module's entry, answers their
// calls (version, time information, automation), counts the message boxes they ask for and
// renders blocks into buffers it checks.
#pragma once

#include "host/vst24abi.h"

#include <array>
#include <cstdint>
#include <vector>

namespace fuzz {

class Host
{
public:
    static constexpr int32_t kBlockSize = 512;
    static constexpr int32_t kOutputs = 4;
    // Far above anything music makes, far below what a runaway filter or feedback reaches.
    static constexpr float kOutputLimit = 256.0f;

    // The process's host: the temporary home, the sound library installed when library is
    // true, message boxes counted instead of shown.
    static Host &get(bool library = true);

    // A new instance, opened, at 48 kHz with blocks of kBlockSize, resumed; fails the run when
    // the entry answers none.
    AEffect *open();
    // Suspends and closes it (the instance deletes itself).
    void close(AEffect *effect);
    intptr_t dispatch(AEffect *effect, int32_t opcode, int32_t index = 0, intptr_t value = 0, void *ptr = nullptr,
                      float opt = 0.0f);

    // Renders frames (0..kBlockSize) and checks that every output sample is finite and within
    // kOutputLimit.
    void render(AEffect *effect, int32_t frames = kBlockSize);
    const std::vector<float> &output(int32_t pin) const { return outputs[static_cast<size_t>(pin)]; }

    // Hands the instance these MIDI messages (three bytes each) as one event list, spread in order
    // over the next block.
    void sendMidi(AEffect *effect, const std::vector<std::array<uint8_t, 3>> &messages);
    // Fails the run unless every host slot and every value of the instance's program lies in 0..1.
    void checkProgram(AEffect *effect);

    // What audioMasterGetTime answers: the record, or nothing when timeValid is false.
    VstTimeInfo time{};
    bool timeValid = true;
    // Counts since the last reset.
    int32_t boxes = 0;
    int32_t automations = 0;

private:
    Host();
    static intptr_t callback(AEffect *effect, int32_t opcode, int32_t index, intptr_t value, void *ptr, float opt);

    std::vector<float> outputs[kOutputs];
    std::vector<float> inputs[2];
};

} // namespace fuzz
