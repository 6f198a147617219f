// The host's state chunk: setChunk of any size and content through the module's entry, then
// notes on every channel and a render.
//
// Input: one mode byte, then the payload. Mode bit 0 clear: the payload is the chunk, whatever
// its size. Set: the payload is a list of edits (32-bit offset, length byte, bytes) laid over
// the instance's own chunk, so the fuzzer reaches every field of a chunk of the right size.
//
// What must hold: a chunk of the wrong size is refused and changes nothing; an accepted chunk
// leaves a program whose values are finite and within 0..1, and which, saved and restored,
// is the same state; the render stays finite and bounded.
#include "engine/ProgramBlock.h"
#include "fuzz/FuzzHost.h"
#include "fuzz/FuzzSupport.h"

#include <cmath>
#include <cstring>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes chunkOf(fuzz::Host &host, AEffect *effect)
{
    void *data = nullptr;
    const intptr_t size = host.dispatch(effect, effGetChunk, 0, 0, &data);
    FUZZ_CHECK(size == engine::kProgramBlockSize && data != nullptr);
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    return Bytes(bytes, bytes + size);
}

void checkProgram(const Bytes &chunk)
{
    ProgramBlock block;
    std::memcpy(&block, chunk.data(), sizeof block);
    for (int32_t i = 0; i < engine::kParameterCount; ++i) {
        float value;
        std::memcpy(&value, chunk.data() + offsetof(ProgramBlock, values) + 4 * static_cast<size_t>(i), 4);
        FUZZ_CHECK(std::isfinite(value) && value >= 0.0f && value <= 1.0f);
    }
    FUZZ_CHECK(std::memchr(block.name, 0, sizeof block.name) != nullptr);
    for (const ChannelSlot &slot : block.channels)
        FUZZ_CHECK(std::memchr(slot.name, 0, sizeof slot.name) != nullptr);
}

// Notes on all sixteen channels, then two blocks.
void play(fuzz::Host &host, AEffect *effect)
{
    VstMidiEvent notes[16] = {};
    VstEvent *list[16];
    for (int c = 0; c < 16; ++c) {
        notes[c].type = kVstMidiType;
        notes[c].byteSize = sizeof(VstMidiEvent);
        notes[c].deltaFrames = c * 7;
        notes[c].midiData[0] = static_cast<char>(0x90 | c);
        notes[c].midiData[1] = static_cast<char>(36 + 3 * c);
        notes[c].midiData[2] = 100;
        list[c] = reinterpret_cast<VstEvent *>(&notes[c]);
    }
    alignas(VstEvents) uint8_t storage[sizeof(VstEvents) + sizeof list];
    auto *events = reinterpret_cast<VstEvents *>(storage);
    events->numEvents = 16;
    events->reserved = 0;
    std::memcpy(events->events, list, sizeof list);
    host.dispatch(effect, effProcessEvents, 0, 0, events);
    host.render(effect);
    host.render(effect);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Host &host = fuzz::Host::get();
    // Keeps the sound library loaded between inputs, as a second instance in a host would.
    static AEffect *anchor = host.open();
    (void)anchor;

    fuzz::Input input(data, size);
    const uint8_t mode = input.u8();
    AEffect *effect = host.open();
    const Bytes before = chunkOf(host, effect);
    Bytes chunk;
    if (mode & 1) {
        chunk = before;
        while (!input.empty()) {
            const uint32_t offset = input.u32() % chunk.size();
            const Bytes edit = input.bytes(input.u8());
            for (size_t i = 0; i < edit.size() && offset + i < chunk.size(); ++i)
                chunk[offset + i] = edit[i];
        }
    } else {
        chunk = input.bytes(input.remaining());
    }
    // The host may hand over a chunk it has just received from anywhere: the instance copies it.
    const bool preset = (mode & 2) != 0;
    const intptr_t accepted =
        host.dispatch(effect, effSetChunk, preset ? 1 : 0, static_cast<intptr_t>(chunk.size()), chunk.data());
    const Bytes after = chunkOf(host, effect);
    // Only a whole program block carrying one of the two byte-order marks is taken.
    const bool takeable = chunk.size() == static_cast<size_t>(engine::kProgramBlockSize) &&
                          (chunk[0] == engine::kByteOrderMark || chunk[0] == engine::kOtherByteOrderMark);
    if (!takeable) {
        FUZZ_CHECK(accepted == 0);
        FUZZ_CHECK(after == before);
    } else {
        FUZZ_CHECK(accepted == 1);
        checkProgram(after);
        // Saved and restored, the state is the same.
        Bytes copy = after;
        FUZZ_CHECK(host.dispatch(effect, effSetChunk, 0, static_cast<intptr_t>(copy.size()), copy.data()) == 1);
        FUZZ_CHECK(chunkOf(host, effect) == after);
    }
    play(host, effect);
    host.close(effect);
    return 0;
}
