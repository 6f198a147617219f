// The MIDI and System Exclusive stream: arbitrary event lists through processEvents and
// processReplacing of an instance made through the module's entry, under any host time.
//
// Input (read front to back, see fuzz::Input): a sample-rate choice and the host's time
// information, then blocks until the input ends: frames, an event count and the events. An
// event is a kind byte (MIDI, System Exclusive, or any other type), a sample offset and its
// bytes. Offsets and lengths are the fuzzer's: outside the block, negative, empty dumps.
//
// What must hold: every block renders finite and bounded output, also the tails after the
// last event; the instance's program stays within 0..1; controllers 120 and 123 on every channel
// leave the voices silent within a second, whatever the stream did to the routing (with the
// effects switched off, whose tails are theirs to keep).
#include "engine/ProgramBlock.h"
#include "fuzz/FuzzHost.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

constexpr int kMaxBlocks = 24;
constexpr int kMaxEvents = 64;
constexpr float kRates[] = {48000.0f, 44100.0f, 96000.0f, 22050.0f, 192000.0f, 8000.0f, 32000.0f, 88200.0f};

// The host's event list for one block; everything it points to lives as long as the list.
struct EventList {
    std::vector<VstMidiEvent> midi;
    std::vector<VstMidiSysexEvent> sysex;
    std::vector<VstEvent> other;
    std::vector<std::vector<char>> dumps;
    std::unique_ptr<uint8_t[]> storage;

    VstEvents *build(const std::vector<VstEvent *> &order)
    {
        storage.reset(new uint8_t[sizeof(VstEvents) + sizeof(VstEvent *) * order.size()]());
        auto *events = reinterpret_cast<VstEvents *>(storage.get());
        events->numEvents = static_cast<int32_t>(order.size());
        VstEvent **slots = events->events; // numEvents of them, past the declared two
        for (size_t i = 0; i < order.size(); ++i)
            slots[i] = order[i];
        return events;
    }
};

void readTime(fuzz::Input &input, fuzz::Host &host)
{
    VstTimeInfo &t = host.time;
    const uint8_t how = input.u8();
    host.timeValid = (how & 1) == 0;
    t.flags = static_cast<int32_t>(input.u32());
    t.tempo = input.f64();
    t.ppqPos = input.f64();
    t.samplePos = input.f64();
    t.barStartPos = input.f64();
    t.timeSigNumerator = input.i32();
    t.timeSigDenominator = input.i32();
}

void playBlock(fuzz::Input &input, fuzz::Host &host, AEffect *effect)
{
    const int32_t frames = input.u16() % (fuzz::Host::kBlockSize + 1);
    const int count = input.u8() % (kMaxEvents + 1);
    EventList list;
    list.midi.reserve(static_cast<size_t>(count));
    list.sysex.reserve(static_cast<size_t>(count));
    list.other.reserve(static_cast<size_t>(count));
    std::vector<VstEvent *> order;
    for (int i = 0; i < count && !input.empty(); ++i) {
        const uint8_t kind = input.u8();
        const int32_t delta = input.i32();
        switch (kind % 4) {
        case 0:
        case 1: {
            VstMidiEvent e{};
            e.type = kVstMidiType;
            e.byteSize = sizeof e;
            e.deltaFrames = delta;
            e.flags = kind >> 4;
            for (char &b : e.midiData)
                b = static_cast<char>(input.u8());
            e.noteOffVelocity = static_cast<char>(input.u8());
            list.midi.push_back(e);
            order.push_back(reinterpret_cast<VstEvent *>(&list.midi.back()));
            break;
        }
        case 2: {
            std::vector<uint8_t> bytes = input.bytes(input.u16() % 512);
            // The dump is exactly as long as it claims, so a read past its end is caught.
            if (kind & 0x80)
                bytes.resize(bytes.size() / 2);
            list.dumps.emplace_back(bytes.begin(), bytes.end());
            VstMidiSysexEvent e{};
            e.type = kVstSysExType;
            e.byteSize = sizeof e;
            e.deltaFrames = delta;
            e.dumpBytes = static_cast<int32_t>(bytes.size());
            e.sysexDump = list.dumps.back().empty() ? nullptr : list.dumps.back().data();
            list.sysex.push_back(e);
            order.push_back(reinterpret_cast<VstEvent *>(&list.sysex.back()));
            break;
        }
        default: {
            VstEvent e{};
            e.type = input.i32();
            if (e.type == kVstSysExType)
                e.type = 0; // a System Exclusive event is never this short
            e.byteSize = input.i32();
            e.deltaFrames = delta;
            for (char &b : e.data)
                b = static_cast<char>(input.u8());
            list.other.push_back(e);
            order.push_back(&list.other.back());
            break;
        }
        }
    }
    VstEvents *events = list.build(order);
    host.dispatch(effect, effProcessEvents, 0, 0, events);
    host.render(effect, frames);
}

void checkPanicSilences(fuzz::Host &host, AEffect *effect, float rate)
{
    for (int32_t index : {4, 7, 8}) // insert effects, chorus and reverb off
        effect->setParameter(effect, index, 0.0f);
    std::vector<std::array<uint8_t, 3>> panic;
    for (uint8_t channel = 0; channel < 16; ++channel) {
        panic.push_back({static_cast<uint8_t>(0xB0 | channel), 120, 0});
        panic.push_back({static_cast<uint8_t>(0xB0 | channel), 123, 0});
    }
    host.sendMidi(effect, panic);
    const int blocks = static_cast<int>(std::ceil(rate / fuzz::Host::kBlockSize));
    for (int block = 0; block <= blocks; ++block)
        host.render(effect);
    float loudest = 0.0f;
    for (int32_t pin = 0; pin < fuzz::Host::kOutputs; ++pin)
        for (float x : host.output(pin))
            loudest = std::max(loudest, std::fabs(x));
    FUZZ_CHECK(loudest < 1e-4f);
}

void checkProgram(fuzz::Host &host, AEffect *effect)
{
    void *data = nullptr;
    const intptr_t size = host.dispatch(effect, effGetChunk, 0, 0, &data);
    FUZZ_CHECK(size == engine::kProgramBlockSize && data);
    const uint8_t *bytes = static_cast<const uint8_t *>(data) + offsetof(ProgramBlock, values);
    for (int32_t i = 0; i < engine::kParameterCount; ++i) {
        float value;
        std::memcpy(&value, bytes + 4 * static_cast<size_t>(i), 4);
        FUZZ_CHECK(std::isfinite(value) && value >= 0.0f && value <= 1.0f);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Host &host = fuzz::Host::get();
    static AEffect *anchor = host.open();
    (void)anchor;

    fuzz::Input input(data, size);
    const float rate = kRates[input.u8() % std::size(kRates)];
    readTime(input, host);
    AEffect *effect = host.open();
    host.dispatch(effect, effMainsChanged, 0, 0);
    host.dispatch(effect, effSetSampleRate, 0, 0, nullptr, rate);
    host.dispatch(effect, effMainsChanged, 0, 1);
    for (int block = 0; block < kMaxBlocks && !input.empty(); ++block)
        playBlock(input, host, effect);
    // Whatever was started rings out without new events.
    for (int block = 0; block < 4; ++block)
        host.render(effect);
    checkPanicSilences(host, effect, rate);
    checkProgram(host, effect);
    host.close(effect);
    return 0;
}
