// Parameter names, units and display texts as the editor, the host and the controller report
// see them, and typed text read back into values. The texts follow what each channel plays now
// (its running mode), so they are taken under the instance lock.
#include "engine/Quorix.h"

#include "banks/Wavetables.h"
#include "engine/HostAutomationMap.h"
#include "engine/ParameterText.h"

#include <clocale>
#include <cstdio>
#include <cstring>

using namespace engine;

namespace {

// What a channel parameter's text depends on besides its value.
struct TextContext {
    int32_t mode = 0;
    bool lfoBpmSync = false;
};

TextContext contextOf(const EngineState &state, int32_t index)
{
    TextContext t;
    if (index >= kMasterParameterCount && isStoredParameter(index)) {
        const ChannelState &channel = state.target.channels[classifyParameter(index, 0).first];
        t.mode = channel.mode;
        t.lfoBpmSync = channel.melody.lfoBpmSync != 0;
    }
    return t;
}

void clear(char *text)
{
    if (text)
        text[0] = '\0';
}

// The effects print their read-outs in the process locale; a host that set one with a decimal
// comma would get "2,50 Hz". Every text the engine hands out writes a point.
void pointForLocaleDecimal(char *text)
{
    const char *point = std::localeconv()->decimal_point;
    const size_t n = point ? std::strlen(point) : 0;
    if (n == 0 || std::strcmp(point, ".") == 0)
        return;
    for (char *p = text; *p; ++p) {
        const bool betweenDigits = p > text && p[-1] >= '0' && p[-1] <= '9' && p[n] >= '0' && p[n] <= '9';
        if (betweenDigits && std::strncmp(p, point, n) == 0) {
            *p = '.';
            std::memmove(p + 1, p + n, std::strlen(p + n) + 1);
        }
    }
}

// An effect's read-out of one of its parameters; empty when the slot holds no effect.
template <typename Effect> void effectDisplay(const Effect *effect, const DisplayRequest &request, char *text)
{
    // The effects write at most their own display size; the rest of the buffer stays clear.
    char display[kParameterTextSize] = {};
    if (effect)
        effect->getParameterDisplay(request.parameter, request.value, display);
    pointForLocaleDecimal(display);
    copyName(text, kParameterTextSize, display);
}

void waveName(Quorix &instrument, int32_t waveNumber, char *text)
{
    WaveLocation location{};
    instrument.waveLocation(waveNumber, &location);
    EngineReadBlock shared(engineSharedLock());
    const WavetableRecord *wavetable = banks::findWavetable(location);
    // A number that no loaded wavetable answers plays nothing, as an empty wave does.
    if (!wavetable) {
        copyName(text, kParameterTextSize, "<empty>");
        return;
    }
    // Stored names fill their 24 bytes without a terminator.
    char name[banks::kNameSize + 1] = {};
    std::memcpy(name, wavetable->name, banks::kNameSize);
    copyName(text, kParameterTextSize, name);
}

} // namespace

void Quorix::parameterName(int32_t index, char *text, int32_t style)
{
    if (!text)
        return;
    TextContext t;
    {
        podoSyncCriticalBlock lock(&instanceLock);
        t = contextOf(state, index);
    }
    parameterNameText(index, t.mode, style, text);
}

void Quorix::parameterUnit(int32_t index, char *text)
{
    if (!text)
        return;
    TextContext t;
    {
        podoSyncCriticalBlock lock(&instanceLock);
        t = contextOf(state, index);
    }
    parameterUnitText(index, t.mode, t.lfoBpmSync, text);
}

bool Quorix::parameterText(int32_t index, float value, podoStr &text)
{
    char buffer[kParameterTextSize];
    {
        podoSyncCriticalBlock lock(&instanceLock);
        const TextContext t = contextOf(state, index);
        const DisplayRequest r = parameterDisplayText(index, value, t.mode, t.lfoBpmSync, buffer);
        switch (r.source) {
        case DisplaySource::complete:
            break;
        case DisplaySource::systemEffect: {
            const SystemEffectSlot &slot = r.slot == 0 ? state.target.master.chorus : state.target.master.reverb;
            effectDisplay(slot.effect, r, buffer);
            break;
        }
        case DisplaySource::insertEffect: {
            const ChannelState &channel = state.target.channels[engine::classifyParameter(index, 0).first];
            effectDisplay(channel.insertEffects[r.slot].effect, r, buffer);
            break;
        }
        case DisplaySource::wave:
            waveName(*this, r.number, buffer);
            break;
        }
    }
    text = buffer;
    return buffer[0] != '\0';
}

void Quorix::parameterDisplayString(int32_t index, char *text)
{
    if (!text)
        return;
    podoStr display;
    parameterText(index, getParameterValue(index), display);
    copyName(text, kParameterTextSize, display.getNarrow());
}

bool Quorix::parseParameterText(int32_t index, const podoStr &text, float &value)
{
    TextContext t;
    {
        podoSyncCriticalBlock lock(&instanceLock);
        t = contextOf(state, index);
    }
    return parameterValueFromText(index, text.getNarrow(), t.mode, t.lfoBpmSync, &value);
}

void Quorix::setParameterFromText(int32_t index, const podoStr &text)
{
    if (!isStoredParameter(index))
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    float value = 0.0f;
    // A refused text sends the stored value again, so every display of it shows that value.
    if (!parseParameterText(index, text, value))
        value = getParameterValue(index);
    setParameterValue(index, value);
}

bool Quorix::hostParameterText(int32_t slot, float value, podoStr &text)
{
    return parameterText(parameterOfHostSlot(slot), value, text);
}

bool Quorix::parseHostParameterText(int32_t slot, const podoStr &text, float &value)
{
    return parseParameterText(parameterOfHostSlot(slot), text, value);
}

// The host's text buffers: kParameterTextSize characters, terminator included.
void Quorix::onGetParameterName(int32_t slot, char *text)
{
    if (!text)
        return;
    const int32_t index = parameterOfHostSlot(slot);
    char full[kParameterTextSize] = "<not assigned>";
    if (index >= 0)
        parameterName(index, full, kNameStyleChannel);
    // The slot number and ':' take four characters, so a name is cut to 59.
    char name[kParameterTextSize - 4];
    copyName(name, sizeof name, full);
    char line[kParameterTextSize + 16];
    std::snprintf(line, sizeof line, "%03d:%s", slot, name);
    copyName(text, kParameterTextSize, line);
}

void Quorix::onGetParameterLabel(int32_t slot, char *text)
{
    clear(text);
    const int32_t index = parameterOfHostSlot(slot);
    if (text && index >= 0)
        parameterUnit(index, text);
}

void Quorix::onGetParameterDisplay(int32_t slot, char *text)
{
    clear(text);
    const int32_t index = parameterOfHostSlot(slot);
    if (text && index >= 0)
        parameterDisplayString(index, text);
}
