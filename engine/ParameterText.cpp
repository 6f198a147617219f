#include "engine/ParameterText.h"

#include "effects/effectFactory.h"
#include "engine/ParameterDecode.h"
#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"
#include "engine/dsp/noteLengths.h"
#include "foundation/platform/podoPlatform.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string>

namespace engine {

const char *const noteNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

namespace {

const char *const kNoteOrderTexts[] = {"As Played", "Note Up", "Note Down"};
const char *const kSequencerRateTexts[] = {"1/1", "1/2", "1/4", "1/8", "1/16", "1/32", "1/64", "1/128"};
const char *const kSequencerSyncTexts[] = {"BPM", "FIRST", "RETRIG"};
const char *const kLfoWaveTexts[] = {"SIN hi-lo", "SIN lo-hi", "TRI hi-lo", "TRI lo-hi", "SAW up",
                                     "SAW down",  "SQR hi-lo", "SQR lo-hi", "RND glide", "RND hold"};
const char *const kArpPatternTexts[] = {"Up",      "Down",      "Up-Down",   "Up-Down 2",
                                        "Down-Up", "Down-Up 2", "As Played", "Random"};
const char *const kArpRateTexts[] = {"1/1D", "1/2D", "1/4D", "1/8D", "1/16D", "1/32D", "1/1",  "1/2",  "1/4",
                                     "1/8",  "1/16", "1/32", "1/1T", "1/2T", "1/4T",  "1/8T", "1/16T", "1/32T"};
static_assert(std::size(kArpRateTexts) == 18);

// The cutoff scale: 2^(x * kCutoffOctaves) + 19 runs from 20 Hz to 20 kHz.
constexpr double kCutoffOctaves = 14.286341;
constexpr double kUnityVolume = 0.7071068; // 2 x v^2 = 1: 0 dB

template <size_t N> const char *entry(const char *const (&table)[N], int32_t i)
{
    return i >= 0 && i < static_cast<int32_t>(N) ? table[i] : "";
}

void put(char *text, const char *s) { copyName(text, kParameterTextSize, s); }

template <typename... Args> void print(char *text, const char *format, Args... args)
{
    if (podo::platform::printC(text, kParameterTextSize, format, args...) < 0)
        text[0] = '\0';
}

// A number printed with a fixed count of decimals; one that rounds to zero shows no minus sign.
void printNumber(char *text, const char *format, double v)
{
    print(text, format, v);
    if (text[0] != '-')
        return;
    for (const char *p = text + 1; *p; ++p)
        if (*p != '0' && *p != '.')
            return;
    std::memmove(text, text + 1, std::strlen(text));
}

void onOff(char *text, bool b) { put(text, b ? "ON" : "off"); }

void noteOrOff(char *text, int32_t i)
{
    if (i > 127)
        put(text, "off");
    else
        keyNameText(i, text);
}

void signedText(char *text, int32_t i)
{
    if (i == 0)
        put(text, "0");
    else
        print(text, "%+d", i);
}

void percent(char *text, float x) { printNumber(text, "%.1f", x * 100.0); }
void centred(char *text, float x) { printNumber(text, "%.1f", x * 200.0 - 100.0); }
void level(char *text, float x) { levelText(2.0f * x * x, text); }
void cutoff(char *text, float x) { printNumber(text, "%.1f", std::exp2(x * kCutoffOctaves) + 19.0); }

double cube(float x) { return static_cast<double>(x) * x * x; }

// Envelope and LFO times: x^3 x span + minimum, in seconds.
void timeText(char *text, float x, double span, double minimum) { printNumber(text, "%.3f", cube(x) * span + minimum); }

void stepNoteText(char *text, int32_t i)
{
    switch (i) {
    case 0: put(text, "00"); return;
    case 49: put(text, "==="); return;
    case 50: put(text, "==|"); return;
    case 51: put(text, "|__"); return;
    case 52: put(text, "`"); return;
    default: print(text, "%+02d", i); return;
    }
}

DisplayRequest waveRequest(char *text, int32_t number)
{
    DisplayRequest r;
    if (number == 0) {
        put(text, "<empty>");
        return r;
    }
    r.source = DisplaySource::wave;
    r.number = number;
    return r;
}

DisplayRequest masterDisplay(int32_t index, const DecodedValue &d, char *text)
{
    DisplayRequest r;
    switch (index) {
    case master::Volume: level(text, d.value); break;
    case master::Tune: {
        // Up to a semitone either way, in 1/8,192-semitone steps.
        const bool up = d.value >= 0.5f;
        const int32_t k = roundHalfAway(up ? (d.value - 0.5) * 16382.0 : (0.5 - d.value) * 16382.0);
        const double ratio = std::exp2(k / 98304.0);
        printNumber(text, "%.1f", up ? 440.0 * ratio : 440.0 / ratio);
        break;
    }
    case master::Transpose:
    case master::VoiceLimit: print(text, "%d", d.integer); break;
    case master::InsertEffectsOn:
    case master::PriorityMode:
    case master::ChorusOn:
    case master::ReverbOn: onOff(text, d.boolean); break;
    default:
        if (index >= master::ChorusFirst && index < master::ReverbFirst) {
            r.source = DisplaySource::systemEffect;
            r.slot = 0;
            r.parameter = index - master::ChorusFirst;
            r.value = d.value;
        } else if (index >= master::ReverbFirst && index < kMasterParameterCount) {
            r.source = DisplaySource::systemEffect;
            r.slot = 1;
            r.parameter = index - master::ReverbFirst;
            r.value = d.value;
        }
        break;
    }
    return r;
}

DisplayRequest channelDisplay(int32_t id, const DecodedValue &d, char *text)
{
    DisplayRequest r;
    const float x = d.value;
    const int32_t i = d.integer;
    switch (id) {
    case local::Mode: put(text, i == 0 ? "Melody" : "Drum"); break;
    case local::On:
    case local::Link:
    case local::InsertOn:
    case local::InsertOn + 1:
    case local::SeqOn:
    case local::SeqTriplet:
    case local::SeqLatch: onOff(text, d.boolean); break;
    case local::Volume: level(text, x); break;
    case local::Pan:
        if (x == 0.5f)
            put(text, "C00");
        else if (x > 0.5f)
            print(text, "R%02d", static_cast<int32_t>((x - 0.5) * 198.0 + 0.5));
        else
            print(text, "L%02d", static_cast<int32_t>((0.5 - x) * 198.0 + 0.5));
        break;
    case local::VoiceLimit:
        if (i == 1)
            put(text, "Mono Retrigger");
        else if (i < 2)
            put(text, "Mono Legato");
        else
            print(text, "%d voices", i);
        break;
    case local::Transpose: signedText(text, i); break;
    case local::OutputBus: put(text, i == 0 ? "main" : "sub"); break;
    case local::ChorusSend:
    case local::ReverbSend:
    case local::SeqVelocityAmount: percent(text, x); break;
    case local::InsertType:
    case local::InsertType + 1: put(text, i >= 0 && i < kInsertEffectTypeCount ? insertEffectTypeNames[i] : ""); break;
    case local::SeqNoteOrder: put(text, entry(kNoteOrderTexts, i)); break;
    case local::SeqRate: put(text, entry(kSequencerRateTexts, i)); break;
    case local::SeqSync: put(text, entry(kSequencerSyncTexts, i)); break;
    case local::SeqSwing: printNumber(text, "%.1f", x * 200.0); break;
    case local::SeqLength: print(text, "%d", i); break;
    case local::SeqPart: print(text, "%02d~%02d", i * 16 + 1, i * 16 + 16); break;
    case local::SeqRootPitch: noteOrOff(text, i); break;
    default:
        if (id >= local::InsertParams && id <= local::LastChannelSetting) {
            r.source = DisplaySource::insertEffect;
            r.slot = (id - local::InsertParams) / 3;
            r.parameter = (id - local::InsertParams) % 3;
            r.value = x;
        }
        break;
    }
    return r;
}

void laneDisplay(int32_t id, const DecodedValue &d, char *text)
{
    const SequencerId s = decodeSequencerParameter(id);
    switch (s.base) {
    case local::StepNote: stepNoteText(text, d.integer); break;
    case local::StepVolume: printNumber(text, "%.1f", d.value * 99.0 + 1.0); break;
    case local::LaneOn: onOff(text, d.boolean); break;
    case local::LaneBase:
        if (d.integer > 127)
            print(text, "IN %d", d.integer - 127);
        else
            noteOrOff(text, d.integer);
        break;
    default: break;
    }
}

DisplayRequest melodyDisplay(int32_t id, const DecodedValue &d, bool lfoBpmSync, char *text)
{
    const float x = d.value;
    const int32_t i = d.integer;
    switch (id) {
    case local::KeyRangeLow:
    case local::KeyRangeHigh: noteOrOff(text, i); break;
    case local::VelocityRangeLow:
    case local::VelocityRangeHigh:
    case local::PitchBendRange:
    case local::ArpOctave: print(text, "%d", i); break;
    case local::GlideTime: printNumber(text, "%.3f", cube(x) * 5.0); break;
    case local::GlideAuto:
    case local::LfoKeySync:
    case local::LfoBpmSync:
    case local::ArpOn:
    case local::ArpKeySync:
    case local::ArpLatch: onOff(text, d.boolean); break;
    case local::LfoWave: put(text, entry(kLfoWaveTexts, i)); break;
    case local::LfoRate:
        if (lfoBpmSync)
            put(text, lfoSyncNoteLengths[std::clamp(roundHalfAway(x * 26.0), 0, kLfoSyncNoteLengthCount - 1)].name);
        else
            printNumber(text, "%.2f", cube(x) * 49.99 + 0.01);
        break;
    case local::LfoLevel:
    case local::OscLfoAmount:
    case local::FilterResonance:
    case local::FilterMix:
    case local::FilterEnvelope + 2:
    case local::FilterEnvVelocityAmount:
    case local::FilterLfoAmount:
    case local::AmpEnvelope + 2:
    case local::AmpEnvVelocityAmount:
    case local::ArpGateTime: percent(text, x); break;
    case local::LfoDelayTime:
    case local::LfoAttackTime:
    case local::FilterEnvelope:
    case local::AmpEnvelope: timeText(text, x, 10.0, 0.0); break;
    case local::OscWave:
    case local::OscWave + 1: return waveRequest(text, i);
    case local::OscSemitone:
    case local::OscSemitone + 1: signedText(text, i); break;
    case local::OscFinetone:
    case local::OscFinetone + 1:
    case local::OscMix:
    case local::FilterEnvAmount:
    case local::FilterKeyTracking: centred(text, x); break;
    case local::FilterSlope: put(text, i == 1 ? "-12" : "-24"); break;
    case local::FilterCutoff: cutoff(text, x); break;
    case local::FilterEnvelope + 1:
    case local::AmpEnvelope + 1: timeText(text, x, 29.99, 0.01); break;
    case local::FilterEnvelope + 3:
    case local::AmpEnvelope + 3: timeText(text, x, 19.99, 0.01); break;
    case local::ArpPattern: put(text, entry(kArpPatternTexts, i)); break;
    case local::ArpRate: put(text, entry(kArpRateTexts, i)); break;
    default: break;
    }
    return DisplayRequest{};
}

DisplayRequest drumDisplay(int32_t id, const DecodedValue &d, char *text)
{
    const DrumId k = decodeDrumParameter(id);
    const float x = d.value;
    const int32_t i = d.integer;
    if (k.kind == kindInstrument) {
        if (id == local::KitMidiSelect)
            onOff(text, d.boolean);
        else
            noteOrOff(text, i);
        return DisplayRequest{};
    }
    if (k.kind != kindDrumKey)
        return DisplayRequest{};
    switch (k.base) {
    case local::DrumWave: return waveRequest(text, i);
    case local::DrumReverse:
    case local::DrumHold: onOff(text, d.boolean); break;
    case local::DrumSemitone: signedText(text, i); break;
    case local::DrumFinetone:
    case local::DrumPan: centred(text, x); break;
    case local::DrumFilterCutoff: cutoff(text, x); break;
    case local::DrumFilterResonance:
    case local::DrumFilterVelocityAmount:
    case local::DrumAmpEnvVelocityAmount:
    case local::DrumChorusSend:
    case local::DrumReverbSend: percent(text, x); break;
    case local::DrumVolume: level(text, x); break;
    case local::DrumAttack: timeText(text, x, 10.0, 0.0); break;
    case local::DrumRelease: timeText(text, x, 19.99, 0.01); break;
    case local::DrumMuteGroup: put(text, i == 0 ? "no" : i == 1 ? "A" : "B"); break;
    case local::DrumInsertBus:
        if (i == 0)
            put(text, "off");
        else
            print(text, "To IFX.%d", i);
        break;
    default: break;
    }
    return DisplayRequest{};
}

const char *melodyUnit(int32_t id, bool lfoBpmSync)
{
    switch (id) {
    case local::GlideTime:
    case local::LfoDelayTime:
    case local::LfoAttackTime:
    case local::FilterEnvelope:
    case local::FilterEnvelope + 1:
    case local::FilterEnvelope + 3:
    case local::AmpEnvelope:
    case local::AmpEnvelope + 1:
    case local::AmpEnvelope + 3: return "sec";
    case local::PitchBendRange:
    case local::OscSemitone:
    case local::OscSemitone + 1: return "semitones";
    case local::LfoRate: return lfoBpmSync ? "note" : "Hz";
    case local::LfoLevel:
    case local::OscLfoAmount:
    case local::FilterResonance:
    case local::FilterMix:
    case local::FilterEnvelope + 2:
    case local::FilterEnvAmount:
    case local::FilterEnvVelocityAmount:
    case local::FilterLfoAmount:
    case local::FilterKeyTracking:
    case local::AmpEnvelope + 2:
    case local::AmpEnvVelocityAmount:
    case local::ArpGateTime: return "%";
    case local::OscFinetone:
    case local::OscFinetone + 1: return "cents";
    case local::FilterSlope: return "dB/octave";
    case local::FilterCutoff: return "Hz";
    case local::ArpRate: return "note";
    case local::ArpOctave: return "octaves";
    default: return "";
    }
}

const char *drumUnit(int32_t id)
{
    const DrumId k = decodeDrumParameter(id);
    if (k.kind != kindDrumKey)
        return "";
    switch (k.base) {
    case local::DrumSemitone: return "semitones";
    case local::DrumFinetone: return "cents";
    case local::DrumFilterCutoff: return "Hz";
    case local::DrumFilterResonance:
    case local::DrumFilterVelocityAmount:
    case local::DrumAmpEnvVelocityAmount:
    case local::DrumChorusSend:
    case local::DrumReverbSend: return "%";
    case local::DrumVolume: return "dB";
    case local::DrumAttack:
    case local::DrumRelease: return "sec";
    case local::DrumMuteGroup: return "group";
    default: return "";
    }
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

const char *skipBlanks(const char *p)
{
    while (isBlank(*p))
        ++p;
    return p;
}

bool startsWithNoCase(const char *p, const char *word)
{
    for (; *word; ++p, ++word)
        if (lower(*p) != *word)
            return false;
    return true;
}

// The text without surrounding blanks equals name, ignoring the case of ASCII letters.
bool sameName(const char *text, const char *name)
{
    const char *p = skipBlanks(text);
    size_t n = std::strlen(p);
    while (n > 0 && isBlank(p[n - 1]))
        --n;
    if (n != std::strlen(name))
        return false;
    for (size_t i = 0; i < n; ++i)
        if (lower(p[i]) != lower(name[i]))
            return false;
    return true;
}

// The level texts show silence as "-oo".
bool isSilence(const char *text) { return std::strncmp(skipBlanks(text), "-oo", 3) == 0; }

// A text answered by its position in a list of names: position / (count - 1), or nothing.
bool positionInList(const char *text, const char *const *names, int32_t count, double *v)
{
    for (int32_t p = 0; p < count; ++p)
        if (sameName(text, names[p])) {
            *v = static_cast<double>(p) / (count - 1);
            return true;
        }
    return false;
}

double cbrtClamped(double c, double low, double high, double minimum, double span)
{
    return std::cbrt((std::clamp(c, low, high) - minimum) / span);
}

// Release-style times read from a minimum: below it the time is 0.
double timeFromMinimum(double c, double high, double span)
{
    const double t = std::clamp(c, 0.0, high);
    return t < 0.01 ? 0.0 : std::cbrt((t - 0.01) / span);
}

// The parameter's value for the typed text (which gave the number c); false when the
// parameter takes no text or the text names nothing in its list.
bool convert(int32_t index, const char *text, double c, int32_t mode, bool lfoBpmSync, double *v)
{
    const bool silence = isSilence(text);
    auto volume = [&] { return silence ? 0.0 : c == 0.0 ? kUnityVolume : std::sqrt(std::pow(10.0, c / 20.0) / 2.0); };
    auto effectLevel = [&] { return silence ? 0.0 : c == 0.0 ? 1.0 : std::sqrt(std::pow(10.0, c / 20.0)); };
    auto semitones = [&] { return (std::round(c) + 48.0) / 96.0; }; // round: halves away from zero

    const Classified k = classifyParameter(index, 0);
    switch (k.kind) {
    case kindMaster:
        switch (index) {
        case master::Volume: *v = volume(); return true;
        case master::ChorusFirst: *v = cbrtClamped(c, 0.1, 20.0, 0.1, 19.9); return true;
        case master::ChorusFirst + 1:
        case master::ChorusFirst + 2:
        case master::ReverbFirst + 2: *v = c / 100.0; return true;
        case master::ChorusFirst + 3:
        case master::ReverbFirst + 3: *v = effectLevel(); return true;
        case master::ReverbFirst: *v = std::sqrt(c / 150.0); return true;
        case master::ReverbFirst + 1: *v = (c - 0.1) / 4.9; return true;
        default: return false;
        }
    case kindChannelSetting:
        switch (k.second) {
        case local::Volume: *v = volume(); return true;
        case local::Pan: {
            const char *p = skipBlanks(text);
            const char first = lower(*p);
            if (first == 'c')
                *v = 0.5;
            else if (first == 'l')
                *v = 0.5 - leadingNumber(p + 1) / 198.0;
            else if (first == 'r')
                *v = 0.5 + leadingNumber(p + 1) / 198.0;
            else
                *v = 0.5 + c / 198.0;
            return true;
        }
        case local::VoiceLimit: *v = std::round(c) / 64.0; return true;
        case local::Transpose: *v = semitones(); return true;
        case local::ChorusSend:
        case local::ReverbSend: *v = c / 100.0; return true;
        default: *v = c; return true;
        }
    case kindInstrument:
        if (mode == 0) {
            switch (k.second) {
            case local::GlideTime: *v = cbrtClamped(c, 0.0, 5.0, 0.0, 5.0); return true;
            case local::LfoRate:
                if (lfoBpmSync) {
                    for (int32_t p = 0; p < kLfoSyncNoteLengthCount; ++p)
                        if (sameName(text, lfoSyncNoteLengths[p].name)) {
                            *v = p / 26.0;
                            return true;
                        }
                    return false;
                }
                *v = cbrtClamped(c, 0.01, 50.0, 0.01, 49.99);
                return true;
            case local::LfoLevel:
            case local::OscLfoAmount:
            case local::FilterResonance:
            case local::FilterMix:
            case local::FilterEnvelope + 2:
            case local::FilterEnvVelocityAmount:
            case local::FilterLfoAmount:
            case local::AmpEnvelope + 2:
            case local::AmpEnvVelocityAmount:
            case local::ArpGateTime: *v = c / 100.0; return true;
            case local::LfoDelayTime:
            case local::LfoAttackTime:
            case local::FilterEnvelope:
            case local::AmpEnvelope: *v = cbrtClamped(c, 0.0, 10.0, 0.0, 10.0); return true;
            case local::OscSemitone:
            case local::OscSemitone + 1: *v = semitones(); return true;
            case local::OscFinetone:
            case local::OscFinetone + 1:
            case local::OscMix:
            case local::FilterEnvAmount:
            case local::FilterKeyTracking: *v = c / 200.0 + 0.5; return true;
            case local::FilterCutoff: *v = std::log2(std::clamp(c, 20.0, 20000.0) - 19.0) / kCutoffOctaves; return true;
            case local::FilterEnvelope + 1:
            case local::AmpEnvelope + 1: *v = timeFromMinimum(c, 30.0, 29.99); return true;
            case local::FilterEnvelope + 3:
            case local::AmpEnvelope + 3: *v = timeFromMinimum(c, 20.0, 19.99); return true;
            case local::ArpRate: return positionInList(text, kArpRateTexts, std::size(kArpRateTexts), v);
            case local::ArpOctave: *v = std::trunc(c - 0.5) / 5.0; return true;
            default: return false;
            }
        }
        if (mode == 1) {
            const DrumId d = decodeDrumParameter(k.second);
            if (d.kind != kindDrumKey)
                return false;
            switch (d.base) {
            case local::DrumSemitone: *v = semitones(); return true;
            case local::DrumFinetone:
            case local::DrumPan: *v = c / 200.0 + 0.5; return true;
            case local::DrumFilterCutoff: *v = std::log2(std::clamp(c, 20.0, 20000.0) - 19.0) / kCutoffOctaves; return true;
            case local::DrumFilterResonance:
            case local::DrumFilterVelocityAmount:
            case local::DrumAmpEnvVelocityAmount:
            case local::DrumChorusSend:
            case local::DrumReverbSend: *v = c / 100.0; return true;
            case local::DrumVolume: *v = volume(); return true;
            case local::DrumAttack: *v = cbrtClamped(c, 0.0, 10.0, 0.0, 10.0); return true;
            case local::DrumRelease: *v = timeFromMinimum(c, 20.0, 19.99); return true;
            default: return false;
            }
        }
        *v = c;
        return true;
    default:
        // Sequencer settings, lanes and editor tags take no text.
        return false;
    }
}

} // namespace

void levelText(float gain, char *text)
{
    if (gain > 0.0f)
        printNumber(text, "%.2f", 20.0 * std::log10(static_cast<double>(gain)));
    else
        put(text, "-oo");
}

void keyNameText(int32_t key, char *text)
{
    if (key < 0) {
        text[0] = '\0';
        return;
    }
    print(text, "%s%d", noteNames[key % 12], key / 12 - 2);
}

void parameterNameText(int32_t index, int32_t mode, int32_t style, char *text)
{
    text[0] = '\0';
    if (!isStoredParameter(index))
        return;
    const char *base = parameterBaseName(index, mode);
    if (base[0] == '\0')
        return;
    const Classified c = classifyParameter(index, 0);
    if (c.kind == kindMaster) {
        put(text, base);
        return;
    }
    char bare[kParameterTextSize];
    put(bare, base);
    if (c.kind == kindLane) {
        const SequencerId s = decodeSequencerParameter(c.second);
        if (s.kind == kindStep)
            print(bare, "[LN%02d/ST%02d]%s", s.lane + 1, s.step + 1, base);
        else
            print(bare, "[LN%02d]%s", s.lane + 1, base);
    } else if (c.kind == kindInstrument && mode == 1) {
        const DrumId d = decodeDrumParameter(c.second);
        if (d.kind == kindDrumKey)
            print(bare, "[%s%d]%s", noteNames[d.key % 12], d.key / 12, base);
    }
    if (style == kNameStyleChannel)
        print(text, "CH%02d:%s", c.first + 1, bare);
    else if (c.kind == kindInstrument)
        print(text, "%s:%s", mode == 0 ? "Melody" : "Drum", bare);
    else
        put(text, bare);
}

void parameterUnitText(int32_t index, int32_t mode, bool lfoBpmSync, char *text)
{
    const char *unit = "";
    if (isStoredParameter(index)) {
        const Classified c = classifyParameter(index, 0);
        switch (c.kind) {
        case kindMaster:
            switch (index) {
            case master::Volume: unit = "dB"; break;
            case master::Tune: unit = "Hz"; break;
            case master::Transpose: unit = "semitones"; break;
            case master::VoiceLimit: unit = "voices"; break;
            default: break;
            }
            break;
        case kindChannelSetting:
        case kindSequencerSetting:
            switch (c.second) {
            case local::Mode: unit = "mode"; break;
            case local::Volume: unit = "dB"; break;
            case local::Transpose: unit = "semitones"; break;
            case local::ChorusSend:
            case local::ReverbSend:
            case local::SeqSwing:
            case local::SeqVelocityAmount: unit = "%"; break;
            case local::SeqRate: unit = "note"; break;
            case local::SeqLength: unit = "steps"; break;
            case local::SeqPart: unit = "step"; break;
            default: break;
            }
            break;
        case kindLane:
            if (decodeSequencerParameter(c.second).base == local::StepVolume)
                unit = "%";
            break;
        case kindInstrument:
            if (mode == 0)
                unit = melodyUnit(c.second, lfoBpmSync);
            else if (mode == 1)
                unit = drumUnit(c.second);
            break;
        default: break;
        }
    }
    put(text, unit);
}

DisplayRequest parameterDisplayText(int32_t index, float x, int32_t mode, bool lfoBpmSync, char *text)
{
    text[0] = '\0';
    if (!isStoredParameter(index))
        return DisplayRequest{};
    const DecodedValue d = decodeParameter(index, x, mode);
    const Classified c = classifyParameter(index, 0);
    switch (c.kind) {
    case kindMaster: return masterDisplay(index, d, text);
    case kindChannelSetting:
    case kindSequencerSetting: return channelDisplay(c.second, d, text);
    case kindLane: laneDisplay(c.second, d, text); break;
    case kindInstrument:
        if (mode == 0)
            return melodyDisplay(c.second, d, lfoBpmSync, text);
        if (mode == 1)
            return drumDisplay(c.second, d, text);
        break;
    default: break;
    }
    return DisplayRequest{};
}

double leadingNumber(const char *text, bool *found)
{
    if (found)
        *found = false;
    if (!text)
        return 0.0;
    const char *start = skipBlanks(text);
    const char *p = start;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    if (startsWithNoCase(p, "inf") || startsWithNoCase(p, "nan")) {
        if (found)
            *found = true;
        const double v = lower(*p) == 'i' ? std::numeric_limits<double>::infinity()
                                           : std::numeric_limits<double>::quiet_NaN();
        return negative ? -v : v;
    }
    int digits = 0;
    for (; isDigit(*p); ++p)
        ++digits;
    if (*p == '.')
        for (++p; isDigit(*p); ++p)
            ++digits;
    if (digits == 0)
        return 0.0;
    if (*p == 'e' || *p == 'E') {
        const char *e = p + 1;
        if (*e == '+' || *e == '-')
            ++e;
        if (isDigit(*e))
            for (p = e; isDigit(*p); ++p) {
            }
    }
    if (found)
        *found = true;
    // Only the characters of the number reach the C reader, so nothing else (a hexadecimal
    // prefix, a locale's decimal comma) can change what is read.
    const std::string number(start, p);
    return podo::platform::parseDoubleC(number.c_str(), nullptr);
}

bool parameterValueFromText(int32_t index, const char *text, int32_t mode, bool lfoBpmSync, float *value)
{
    if (!text)
        text = "";
    const double c = leadingNumber(text);
    const float read = std::isfinite(c) ? static_cast<float>(std::clamp(c, -1e30, 1e30)) : 0.0f;
    double v = 0.0;
    if (!isStoredParameter(index) || !convert(index, text, c, mode, lfoBpmSync, &v) || !std::isfinite(v)) {
        if (value)
            *value = read;
        return false;
    }
    if (value)
        *value = static_cast<float>(std::clamp(v, 0.0, 1.0));
    return true;
}

} // namespace engine
