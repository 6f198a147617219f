#include "engine/DefaultProgram.h"

#include "engine/ParameterDecode.h"
#include "engine/ParameterIndex.h"

#include <cstring>

ProgramBlock defaultProgram;

namespace engine {

namespace {

constexpr float kUnity = 0.7071068f; // level 2 x v^2 = 1: 0 dB
constexpr int kDrumChannel = 9;

struct Value {
    int id;
    float value;
};

// Master values by index.
constexpr float kMasterDefaults[kMasterParameterCount] = {
    kUnity,          // Master.Volume
    0.5f,            // Master.Tune: 440 Hz
    0.5f,            // Master.Transpose: 0
    127.0f / 1023.0f, // Master.Voice Limit: 128 voices
    1.0f,            // Master.IFX.On/off
    0.0f,            // Priority Mode
    0.0f,            // page
    1.0f, 1.0f,      // chorus and reverb on
    0.0f, 1.0f, 1.0f, kUnity, // chorus rate, width, spread, level
    0.0f, 0.25f, 0.5f, 0.5f,  // reverb pre-delay, time, tone, level
};

// Channel settings and sequencer settings; "Chan.On/off" and "Seq.Part" are set apart.
constexpr Value kChannelDefaults[] = {
    {local::Link, 0.0f},          {local::Volume, kUnity},       {local::Pan, 0.5f},
    {local::VoiceLimit, 0.25f},   {local::Transpose, 0.5f},      {local::OutputBus, 0.0f},
    {local::ChorusSend, 0.0f},    {local::ReverbSend, 0.3f},     {local::InsertOn, 0.0f},
    {local::InsertOn + 1, 0.0f},  {local::InsertType, 0.0f},     {local::InsertType + 1, 0.0f},
    {local::InsertParams, 0.5f},  {local::InsertParams + 1, 0.5f}, {local::InsertParams + 2, 0.5f},
    {local::InsertParams + 3, 0.5f}, {local::InsertParams + 4, 0.5f}, {local::InsertParams + 5, 0.5f},
    {local::SeqOn, 0.0f},         {local::SeqNoteOrder, 0.5f},   {local::SeqRate, 4.0f / 7.0f},
    {local::SeqTriplet, 0.0f},    {local::SeqSwing, 0.0f},       {local::SeqLength, 5.0f / 21.0f},
    {local::SeqSync, 0.0f},       {local::SeqLatch, 0.0f},       {local::SeqRootPitch, 1.0f},
    {local::SeqVelocityAmount, 1.0f},
};

// Melody instrument values 698..743.
constexpr float kMelodyDefaults[local::LastMelody - local::FirstInstrument + 1] = {
    0.0f, 1.0f, 0.0f, 1.0f,    // key and velocity windows: everything
    0.0f, 0.0f,                // glide time, auto
    2.0f / 24.0f,              // pitch bend range: 2 semitones
    0.0f, 0.36817f, 1.0f, 0.0f, 0.5f, 0.0f, 0.0f, // LFO: wave, 2.50 Hz, key sync, no BPM sync, level, delay, attack
    0.0f, 0.0f,                // no waves
    0.5f, 0.5f, 0.5f, 0.5f,    // semitones and finetones
    0.5f, 0.125f,              // oscillator mix, LFO amount
    0.0f, 1.0f, 0.0f, 0.0f,    // filter: 2-pole, open, no resonance, mix
    0.0f, 0.0f, 1.0f, 1.0f,    // filter envelope A D S R
    0.5f, 0.0f, 0.0f, 0.5f,    // filter envelope amount (none), velocity, LFO, key tracking
    0.0f, 0.0f, 1.0f, 0.0f,    // amplitude envelope A D S R
    0.9f,                      // amplitude velocity amount
    0.0f, 0.0f, 0.75f, 0.0f, 0.0f, 10.0f / 17.0f, 0.0f, // arpeggiator: off, key sync, gate, latch, "Up", "1/16", 1 octave
};

// The 17 values of every drum key, bases 698..714.
constexpr float kDrumKeyDefaults[kDrumKeyValues] = {
    0.0f, 0.0f, 0.5f, 0.5f,    // no wave, forward, no semitone or finetone
    1.0f, 0.0f, 0.0f,          // filter open, no resonance, no velocity
    kUnity, 0.5f,              // volume 0 dB, centre
    0.0f, 1.0f, 0.0f, 0.95f,   // attack, release, no hold, velocity amount
    0.0f, 0.0f, 0.5f, 0.5f,    // no mute group, dry, sends
};

void setLocal(ProgramBlock &block, int32_t channel, int32_t id, float value)
{
    block.values[parameterIndex(channel, id)] = value;
}

} // namespace

void fillDefaultChannel(ProgramBlock &block, int32_t channel)
{
    if (channel < 0 || channel >= kChannelCount)
        return;
    ChannelSlot &slot = block.channels[channel];
    slot.name[0] = '\0';
    slot.sourceCategory = 0;
    slot.sourcePatch = -1;

    setLocal(block, channel, local::On, channel == 0 ? 1.0f : 0.0f);
    for (const Value &v : kChannelDefaults)
        setLocal(block, channel, v.id, v.value);
    for (int32_t lane = 0; lane < kSequencerLanes; ++lane) {
        const int32_t first = local::FirstLane + lane * local::LaneSpan;
        for (int32_t step = 0; step < kSequencerSteps; ++step) {
            setLocal(block, channel, first + 2 * step, 1.0f);     // "Note": code 52, silence
            setLocal(block, channel, first + 2 * step + 1, 0.0f); // "Volume"
        }
        setLocal(block, channel, first + 2 * kSequencerSteps, 1.0f);              // "On"
        setLocal(block, channel, first + 2 * kSequencerSteps + 1, 32.0f / 33.0f); // "Base": held key 1
    }

    const int32_t mode = roundHalfAway(block.values[parameterIndex(channel, local::Mode)]);
    if (mode == 0) {
        for (int32_t i = 0; i <= local::LastMelody - local::FirstInstrument; ++i)
            setLocal(block, channel, local::FirstInstrument + i, kMelodyDefaults[i]);
    } else if (mode == 1) {
        setLocal(block, channel, local::Mode, 1.0f);
        for (int32_t key = 0; key < kDrumKeys; ++key)
            for (int32_t b = 0; b < kDrumKeyValues; ++b)
                setLocal(block, channel, local::FirstInstrument + key * kDrumKeyValues + b, kDrumKeyDefaults[b]);
        setLocal(block, channel, local::KitKeyRangeLow, 0.0f);
        setLocal(block, channel, local::KitKeyRangeHigh, 1.0f);
        setLocal(block, channel, local::KitMidiSelect, 0.0f);
    }
}

void fillDefaultProgram(ProgramBlock &block)
{
    block.byteOrder = kByteOrderMark;
    block.formatWord = 2;
    std::memset(block.name, 0, sizeof block.name);
    for (int32_t i = 0; i < kMasterParameterCount; ++i)
        block.values[i] = kMasterDefaults[i];
    for (int32_t channel = 0; channel < kChannelCount; ++channel) {
        setLocal(block, channel, local::Mode, channel == kDrumChannel ? 1.0f : 0.0f);
        fillDefaultChannel(block, channel);
    }
    setLocal(block, 0, local::On, 1.0f);
    block.tempo = 120.0f;
    block.useHostTempo = 1;
    block.returnPage = 0;
    block.currentChannel = 0;
    for (int32_t channel = 0; channel < kChannelCount; ++channel)
        block.selectedDrumSlot[channel] = 0;
    block.reserved = 1;
    std::memset(&block.tuning, 0, sizeof block.tuning);
}

} // namespace engine
