// Parameter values and texts: arbitrary floats (NaN, infinities, out of range) through the host's
// setParameter and the engine's parameter road, texts through the host's text commands, the
// display calls and the engine's text conversions of every parameter, notes among them, and
// renders.
//
// Input (fuzz::Input): operations until the input ends; each is an operation byte and its
// arguments (slot or index, value, text).
//
// What must hold: every value read back is finite and within 0..1, in the host slots and in the
// program; every text is terminated inside the host's buffer and nothing is written past it;
// every block renders finite and bounded.
#include "engine/ParameterText.h"
#include "engine/ProgramBlock.h"
#include "engine/Quorix.h"
#include "fuzz/FuzzHost.h"
#include "fuzz/FuzzSupport.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int kMaxOperations = 400;
constexpr size_t kTextBytes = 64;    // what the instance may fill
constexpr size_t kHostBuffer = 256;  // what the host hands over

int32_t fourCC(const char (&code)[5]) { return vstFourCC(code); }

Quorix &engineOf(AEffect *effect)
{
    auto *instance = dynamic_cast<Quorix *>(static_cast<AudioEffect *>(effect->object));
    FUZZ_CHECK(instance != nullptr);
    return *instance;
}

bool isValue(float v) { return std::isfinite(v) && v >= 0.0f && v <= 1.0f; }

// A buffer for one of the instance's texts: terminated within kTextBytes, nothing after.
struct TextBuffer {
    char bytes[kHostBuffer];
    TextBuffer() { std::memset(bytes, 0x5A, sizeof bytes); }
    void check() const
    {
        FUZZ_CHECK(std::memchr(bytes, 0, kTextBytes) != nullptr);
        for (size_t i = kTextBytes; i < kHostBuffer; ++i)
            FUZZ_CHECK(bytes[i] == 0x5A);
    }
};

void checkProgram(fuzz::Host &host, AEffect *effect)
{
    for (int32_t slot = 0; slot < effect->numParams; ++slot)
        FUZZ_CHECK(isValue(effect->getParameter(effect, slot)));
    void *data = nullptr;
    const intptr_t size = host.dispatch(effect, effGetChunk, 0, 0, &data);
    FUZZ_CHECK(size == engine::kProgramBlockSize && data);
    const uint8_t *values = static_cast<const uint8_t *>(data) + offsetof(ProgramBlock, values);
    for (int32_t i = 0; i < engine::kParameterCount; ++i) {
        float value;
        std::memcpy(&value, values + 4 * static_cast<size_t>(i), 4);
        FUZZ_CHECK(isValue(value));
    }
}

void note(fuzz::Host &host, AEffect *effect, uint8_t status, uint8_t key, uint8_t velocity)
{
    VstMidiEvent e{};
    e.type = kVstMidiType;
    e.byteSize = sizeof e;
    e.midiData[0] = static_cast<char>(status);
    e.midiData[1] = static_cast<char>(key & 0x7F);
    e.midiData[2] = static_cast<char>(velocity & 0x7F);
    alignas(VstEvents) uint8_t storage[sizeof(VstEvents)] = {};
    auto *events = reinterpret_cast<VstEvents *>(storage);
    events->numEvents = 1;
    events->events[0] = reinterpret_cast<VstEvent *>(&e);
    host.dispatch(effect, effProcessEvents, 0, 0, events);
}

void operate(fuzz::Input &input, fuzz::Host &host, AEffect *effect)
{
    Quorix &engine = engineOf(effect);
    const uint8_t op = input.u8();
    switch (op % 10) {
    case 0: { // the host's slots, also those outside 0..127
        const int32_t slot = static_cast<int8_t>(input.u8());
        effect->setParameter(effect, slot, input.f32());
        if (slot >= 0 && slot < effect->numParams)
            FUZZ_CHECK(isValue(effect->getParameter(effect, slot)));
        break;
    }
    case 1: { // the engine's road, every index and some outside
        const int32_t index = static_cast<int32_t>(input.u32() % (engine::kParameterCount + 64)) - 32;
        engine.setParameterValue(index, input.f32());
        if (index >= 0 && index < engine::kParameterCount)
            FUZZ_CHECK(isValue(engine.getParameterValue(index)));
        break;
    }
    case 2: { // the host's text to value: any slot as a float, any text, maybe unterminated
        const float slot = input.f32();
        const std::string text = input.text(kHostBuffer);
        char buffer[kHostBuffer + 16];
        std::memset(buffer, 'x', sizeof buffer);
        std::memcpy(buffer, text.data(), text.size());
        if (op & 0x80)
            buffer[text.size() < kHostBuffer ? text.size() : kHostBuffer - 1] = 0;
        if (host.dispatch(effect, effVendorSpecific, fourCC("host"), fourCC("cS2V"), buffer, slot) == 1) {
            float value;
            std::memcpy(&value, buffer, sizeof value);
            FUZZ_CHECK(std::isfinite(value));
        }
        break;
    }
    case 3: { // the host's value to text
        const float slot = input.f32();
        TextBuffer text;
        const float value = input.f32();
        std::memcpy(text.bytes, &value, sizeof value);
        if (host.dispatch(effect, effVendorSpecific, fourCC("host"), fourCC("cV2S"), text.bytes, slot) == 1)
            text.check();
        break;
    }
    case 4: { // the host's name, label and display of a slot
        const int32_t slot = static_cast<int8_t>(input.u8());
        for (int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
            TextBuffer text;
            host.dispatch(effect, opcode, slot, 0, text.bytes);
            text.check();
        }
        break;
    }
    case 5: { // a note on or off on any channel
        note(host, effect, static_cast<uint8_t>((op & 0x10 ? 0x80 : 0x90) | (input.u8() & 0x0F)), input.u8(),
             input.u8());
        break;
    }
    case 8: { // the engine's name, unit and display texts of any index, and of any value
        const int32_t index = static_cast<int32_t>(input.u32() % (engine::kParameterCount + 64)) - 32;
        TextBuffer name, unit, display;
        engine.parameterName(index, name.bytes, input.u8() & 1);
        engine.parameterUnit(index, unit.bytes);
        engine.parameterDisplayString(index, display.bytes);
        name.check();
        unit.check();
        display.check();
        podoStr text;
        engine.parameterText(index, input.f32(), text);
        FUZZ_CHECK(std::strlen(text.getNarrow()) < kTextBytes);
        break;
    }
    case 9: { // typed text read back, through the instance and as the pure reading
        const int32_t index = static_cast<int32_t>(input.u32() % (engine::kParameterCount + 64)) - 32;
        const int32_t mode = static_cast<int8_t>(input.u8());
        const std::string typed = input.text(kHostBuffer);
        const podoStr text(typed.c_str());
        float value = -1.0f;
        if (engine::parameterValueFromText(index, typed.c_str(), mode, (op & 0x10) != 0, &value))
            FUZZ_CHECK(isValue(value));
        else
            FUZZ_CHECK(std::isfinite(value));
        engine.setParameterFromText(index, text);
        if (index >= 0 && index < engine::kParameterCount)
            FUZZ_CHECK(isValue(engine.getParameterValue(index)));
        break;
    }
    default:
        host.render(effect, input.u16() % (fuzz::Host::kBlockSize + 1));
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Host &host = fuzz::Host::get();
    static AEffect *anchor = host.open();
    (void)anchor;

    fuzz::Input input(data, size);
    AEffect *effect = host.open();
    for (int i = 0; i < kMaxOperations && !input.empty(); ++i)
        operate(input, host, effect);
    host.render(effect);
    host.render(effect);
    checkProgram(host, effect);
    host.close(effect);
    return 0;
}
