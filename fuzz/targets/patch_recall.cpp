// Patches from a hostile patch file recalled into an instance: the file is the only factory
// category of a library folder; every patch it gives is recalled onto some channel of a fresh
// instance made through the module's entry, with notes playing, and rendered.
//
// What must hold: whatever a loaded record carries (NaN, values out of range, a tempo of any
// size, more channels than remain after the first), the program after a recall holds values
// within 0..1, a finite tempo, and renders finite and bounded.
#include "banks/PatchBanks.h"
#include "engine/ProgramBlock.h"
#include "engine/Quorix.h"
#include "fuzz/FuzzHost.h"
#include "fuzz/FuzzSupport.h"

#include <cmath>
#include <cstring>

namespace {

void noteOnEveryChannel(fuzz::Host &host, AEffect *effect)
{
    VstMidiEvent notes[16] = {};
    VstEvent *list[16];
    for (int c = 0; c < 16; ++c) {
        notes[c].type = kVstMidiType;
        notes[c].byteSize = sizeof(VstMidiEvent);
        notes[c].deltaFrames = c;
        notes[c].midiData[0] = static_cast<char>(0x90 | c);
        notes[c].midiData[1] = static_cast<char>(40 + 2 * c);
        notes[c].midiData[2] = 110;
        list[c] = reinterpret_cast<VstEvent *>(&notes[c]);
    }
    alignas(VstEvents) uint8_t storage[sizeof(VstEvents) + sizeof list];
    auto *events = reinterpret_cast<VstEvents *>(storage);
    events->numEvents = 16;
    VstEvent **slots = events->events; // sixteen of them, past the declared two
    for (int c = 0; c < 16; ++c)
        slots[c] = list[c];
    host.dispatch(effect, effProcessEvents, 0, 0, events);
}

void checkProgram(Quorix &engine)
{
    const ProgramBlock *block = engine.getProgramBlock();
    for (int32_t i = 0; i < engine::kParameterCount; ++i) {
        float value;
        std::memcpy(&value, reinterpret_cast<const uint8_t *>(block) + offsetof(ProgramBlock, values) + 4 * i, 4);
        FUZZ_CHECK(std::isfinite(value) && value >= 0.0f && value <= 1.0f);
    }
    const float tempo = engine.getTempo();
    FUZZ_CHECK(std::isfinite(tempo) && tempo >= 0.0f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Host &host = fuzz::Host::get();
    // The library stays loaded between inputs; the patch table below is this target's own.
    static AEffect *anchor = host.open();
    (void)anchor;
    static const std::string folder = fuzz::freshFolder("recall");
    fuzz::writeFile(folder + "007 Fuzz.pth", data, size);
    fuzz::CountingReport report;
    const banks::BankLoadSetup setup = fuzz::loadSetup(folder, &report);
    {
        EngineWriteBlock shared(engineSharedLock());
        banks::loadPatches(setup);
    }
    if (numPatchCategories < 1 || patchCategories[0].numPatches == 0) {
        EngineWriteBlock shared(engineSharedLock());
        banks::freePatches(setup);
        return 0;
    }

    AEffect *effect = host.open();
    Quorix &engine = dynamic_cast<Quorix &>(*static_cast<AudioEffect *>(effect->object));
    noteOnEveryChannel(host, effect);
    host.render(effect, 64);
    const int32_t count = std::min<int32_t>(patchCategories[0].numPatches, 8);
    for (int32_t j = 0; j < count; ++j) {
        engine.recallPatch((j * 5) % 16, 0, j);
        checkProgram(engine);
        noteOnEveryChannel(host, effect);
        host.render(effect);
    }
    // An index past the last patch recalls the last one.
    engine.recallPatch(0, 0, 1000);
    checkProgram(engine);
    host.render(effect);
    host.close(effect);
    {
        EngineWriteBlock shared(engineSharedLock());
        banks::freePatches(setup);
    }
    return 0;
}
