// System Exclusive input: General MIDI System On, the universal master volume, and the GS
// messages of the system and part blocks this instrument follows.
#include "engine/Quorix.h"

#include <cstdint>

using namespace engine;

namespace {

// The message's bytes, read no further than its length: a byte past the end reads as -1 and so
// matches no pattern.
class SysexBytes
{
public:
    SysexBytes(const VstMidiSysexEvent *event)
    {
        if (event && event->sysexDump && event->dumpBytes > 0) {
            data = reinterpret_cast<const uint8_t *>(event->sysexDump);
            size = event->dumpBytes;
        }
    }
    int32_t operator[](int32_t i) const { return i >= 0 && i < size ? data[i] : -1; }
    // Bytes from position first equal the pattern, all of them within the message.
    template <size_t N> bool match(int32_t first, const uint8_t (&pattern)[N]) const
    {
        for (size_t i = 0; i < N; ++i)
            if ((*this)[first + static_cast<int32_t>(i)] != pattern[i])
                return false;
        return true;
    }
    // A data byte (0..127) at position i, or -1 when the message ends or a status byte stands there.
    int32_t value(int32_t i) const
    {
        const int32_t b = (*this)[i];
        return b >= 0 && b < 0x80 ? b : -1;
    }

private:
    const uint8_t *data = nullptr;
    int32_t size = 0;
};

constexpr uint8_t kGmSystemOn[] = {0x7E, 0x7F, 0x09, 0x01, 0xF7};
constexpr uint8_t kUniversalVolume[] = {0x7F, 0x7F, 0x04, 0x01, 0x00};
constexpr uint8_t kGsReset[] = {0x00, 0x7F, 0x00};
constexpr uint8_t kGsVolume[] = {0x00, 0x04};

// Both master volume messages take 127, their default, as the power-up master volume (unity
// gain), so a file that sends the default plays as loud as one that sends nothing.
float masterVolumeOf(int32_t value) { return 0.7071068f * static_cast<float>(value) / 127.0f; }

// The GS part number of a part-block address 1x as a channel index: part 10 (x = 0) is channel
// index 9, x = 1..9 are indexes 0..8, and x = A..F keep their number.
int32_t channelOfGsPart(int32_t address)
{
    const int32_t x = address & 0x0F;
    if (x == 0)
        return 9;
    return x <= 9 ? x - 1 : x;
}

// GS system-effect addresses 40 01 xx and the master parameter each sets.
int32_t gsEffectParameter(int32_t address)
{
    switch (address) {
    case 0x31: return master::ReverbFirst + 2; // reverb character: "SFX.Reverb.Tone"
    case 0x33: return master::ReverbFirst + 3; // reverb level
    case 0x34: return master::ReverbFirst + 1; // reverb time
    case 0x3A: return master::ChorusFirst + 3; // chorus level
    case 0x3D: return master::ChorusFirst;     // chorus rate
    case 0x3E: return master::ChorusFirst + 1; // chorus depth: "SFX.Chorus.Width"
    default: return -1;
    }
}

} // namespace

void Quorix::handleSysEx(const VstMidiSysexEvent *event)
{
    const SysexBytes m(event);
    if (m[0] != 0xF0)
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    if (m.match(1, kGmSystemOn)) {
        resetToGmDefault();
        return;
    }
    if (m.match(1, kUniversalVolume)) {
        if (m.value(6) >= 0)
            setParameterValue(master::Volume, masterVolumeOf(m.value(6)));
        return;
    }
    // A GS data set to the system or part block; the device number (byte 2) and the checksum
    // are not examined.
    if (m[1] != 0x41 || m[3] != 0x42 || m[4] != 0x12 || m[5] != 0x40)
        return;
    if (m.match(6, kGsReset)) {
        resetToGmDefault();
        return;
    }
    const int32_t vv = m.value(8);
    if (vv < 0)
        return;
    if (m.match(6, kGsVolume)) {
        setParameterValue(master::Volume, masterVolumeOf(vv));
    } else if (m[6] >= 0x10 && m[6] <= 0x1F && m[7] == 0x15) {
        state.controllers[channelOfGsPart(m[6])].rhythmPart = vv != 0 ? 1 : 0;
    } else if (m[6] == 0x01) {
        const int32_t index = gsEffectParameter(m[7]);
        if (index >= 0)
            setParameterValue(index, vv / 127.0f);
    }
}
