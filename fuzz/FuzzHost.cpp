#include "fuzz/FuzzHost.h"

#include "fuzz/FuzzSupport.h"
#include "foundation/podoWnd.h"
#include "engine/ProgramBlock.h"
#include "engine/Quorix.h"
#include "host/PluginFactory.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace fuzz {

namespace {

Host *current = nullptr;

// The entry (host library) makes the instrument through the engine library, which a static link
// lists after it: naming the instrument's own object file here brings the instrument in.
[[gnu::used]] EngineSharedLock &(*const linkInstrument)() = engineSharedLock;

int32_t countBox(podoWnd *, const podoStr &, const podoStr &, int32_t)
{
    if (current)
        ++current->boxes;
    return podo::idOk;
}

} // namespace

Host::Host()
{
    for (auto &pin : outputs)
        pin.assign(kBlockSize, 0.0f);
    for (auto &pin : inputs)
        pin.assign(kBlockSize, 0.0f);
    time.sampleRate = 48000.0;
    time.tempo = 120.0;
    time.timeSigNumerator = 4;
    time.timeSigDenominator = 4;
    time.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;
    podo::setMessageBoxHook(countBox);
}

Host &Host::get(bool library)
{
    installSoundLibrary(library);
    static Host host;
    current = &host;
    return host;
}

intptr_t Host::callback(AEffect *, int32_t opcode, int32_t, intptr_t, void *, float)
{
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return current && current->timeValid ? reinterpret_cast<intptr_t>(&current->time) : 0;
    case audioMasterAutomate:
        if (current)
            ++current->automations;
        return 0;
    default:
        return 0;
    }
}

AEffect *Host::open()
{
    AEffect *effect = pluginEntry(callback);
    FUZZ_CHECK(effect != nullptr && effect->magic == kEffectMagic);
    FUZZ_CHECK(effect->numOutputs == kOutputs);
    dispatch(effect, effOpen);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    dispatch(effect, effSetBlockSize, 0, kBlockSize);
    dispatch(effect, effMainsChanged, 0, 1);
    return effect;
}

void Host::close(AEffect *effect)
{
    dispatch(effect, effMainsChanged, 0, 0);
    dispatch(effect, effClose);
}

intptr_t Host::dispatch(AEffect *effect, int32_t opcode, int32_t index, intptr_t value, void *ptr, float opt)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void Host::render(AEffect *effect, int32_t frames)
{
    FUZZ_CHECK(frames >= 0 && frames <= kBlockSize);
    float *in[2] = {inputs[0].data(), inputs[1].data()};
    float *out[kOutputs];
    for (int32_t i = 0; i < kOutputs; ++i) {
        // Stale values the instance must overwrite.
        outputs[i].assign(kBlockSize, std::nanf(""));
        out[i] = outputs[i].data();
    }
    effect->processReplacing(effect, in, out, frames);
    for (int32_t i = 0; i < kOutputs; ++i)
        FUZZ_CHECK(allFiniteWithin(out[i], static_cast<size_t>(frames), kOutputLimit));
}

void Host::sendMidi(AEffect *effect, const std::vector<std::array<uint8_t, 3>> &messages)
{
    std::vector<VstMidiEvent> midi(messages.size());
    auto storage = std::make_unique<uint8_t[]>(sizeof(VstEvents) + sizeof(VstEvent *) * messages.size());
    auto *events = reinterpret_cast<VstEvents *>(storage.get());
    events->numEvents = static_cast<int32_t>(messages.size());
    VstEvent **slots = events->events; // numEvents of them, past the declared two
    for (size_t i = 0; i < messages.size(); ++i) {
        VstMidiEvent &e = midi[i];
        e.type = kVstMidiType;
        e.byteSize = sizeof e;
        e.deltaFrames = static_cast<int32_t>(i * (kBlockSize - 1) / messages.size());
        for (size_t b = 0; b < 3; ++b)
            e.midiData[b] = static_cast<char>(messages[i][b]);
        slots[i] = reinterpret_cast<VstEvent *>(&e);
    }
    dispatch(effect, effProcessEvents, 0, 0, events);
}

void Host::checkProgram(AEffect *effect)
{
    auto isValue = [](float v) { return std::isfinite(v) && v >= 0.0f && v <= 1.0f; };
    for (int32_t slot = 0; slot < effect->numParams; ++slot)
        FUZZ_CHECK(isValue(effect->getParameter(effect, slot)));
    void *data = nullptr;
    const intptr_t size = dispatch(effect, effGetChunk, 0, 0, &data);
    FUZZ_CHECK(size == engine::kProgramBlockSize && data);
    const uint8_t *values = static_cast<const uint8_t *>(data) + offsetof(ProgramBlock, values);
    for (int32_t i = 0; i < engine::kParameterCount; ++i) {
        float value;
        std::memcpy(&value, values + 4 * static_cast<size_t>(i), 4);
        FUZZ_CHECK(isValue(value));
    }
}

} // namespace fuzz
