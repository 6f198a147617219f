#pragma once
// The program: the whole sixteen-channel setup in one packed block. It is the host's state
// chunk and is copied into and out of patch banks, so its layout is fixed byte for byte;
// every multi-byte field is in the order named by byteOrder. The floats sit at odd offsets:
// read and write them through the block (never through a float pointer into it).

#include "engine/EngineLimits.h"

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

struct ChannelSlot {
    char name[24];          // NUL-terminated, at most 23 characters
    int16_t sourceCategory; // patch category number the sound came from (0 after a reset)
    int16_t sourcePatch;    // patch index in it, -1 when not loaded from a patch
    uint8_t reserved[4];    // left as found
};

struct TuningBlock {
    int32_t temperament;    // 0..7 built in, 8..15 user rows
    int32_t offsets[12];    // cents per pitch class C..B
};

struct ProgramBlock {
    uint8_t byteOrder;      // mark of the machine that wrote the block
    int32_t formatWord;     // 2 in the default template; not read
    char name[24];
    float values[engine::kParameterCount]; // normalised 0..1, by parameter index
    ChannelSlot channels[engine::kChannelCount];
    float tempo;            // BPM used while the host's tempo is not followed
    uint8_t useHostTempo;
    int32_t returnPage;     // editor page to go back to
    int32_t currentChannel; // channel being edited, 0..15
    int32_t selectedDrumSlot[engine::kChannelCount];
    int16_t reserved;       // 1 in the default template; not read
    TuningBlock tuning;
};

#pragma pack(pop)

static_assert(sizeof(ChannelSlot) == 32);
static_assert(sizeof(TuningBlock) == 52);
static_assert(sizeof(ProgramBlock) == 115236);
static_assert(offsetof(ChannelSlot, sourceCategory) == 24);
static_assert(offsetof(ChannelSlot, sourcePatch) == 26);
static_assert(offsetof(ChannelSlot, reserved) == 28);
static_assert(offsetof(ProgramBlock, formatWord) == 1);
static_assert(offsetof(ProgramBlock, name) == 5);
static_assert(offsetof(ProgramBlock, values) == 29);
static_assert(offsetof(ProgramBlock, channels) == 114593);
static_assert(offsetof(ProgramBlock, tempo) == 115105);
static_assert(offsetof(ProgramBlock, useHostTempo) == 115109);
static_assert(offsetof(ProgramBlock, returnPage) == 115110);
static_assert(offsetof(ProgramBlock, currentChannel) == 115114);
static_assert(offsetof(ProgramBlock, selectedDrumSlot) == 115118);
static_assert(offsetof(ProgramBlock, reserved) == 115182);
static_assert(offsetof(ProgramBlock, tuning) == 115184);

namespace engine {

inline constexpr int kProgramBlockSize = static_cast<int>(sizeof(ProgramBlock));
inline constexpr int32_t kLastEditorPage = 4;      // mixer, browser, sequencer, edit, setup
inline constexpr float kDefaultTempo = 120.0f;
inline constexpr int32_t kLastCategoryNumber = 999; // patch category numbers 0..999

// Converts count consecutive blocks to this machine's order; a block already carrying
// this machine's mark is left byte for byte as it is.
void swapProgramByteOrder(ProgramBlock* blocks, int count);

// A value that came from outside, made safe to store: NaN becomes 0, the rest is held to 0..1.
// Inline: a program change runs it for every value of a channel on the audio thread.
inline float sanitizeParameterValue(float x)
{
    // NaN fails both comparisons.
    return x > 1.0f ? 1.0f : (x >= 0.0f ? x : 0.0f);
}

// Makes a block that came from outside (host chunk, patch or bank file) safe to use: every
// parameter value 0..1, names terminated, the indexes it carries within their tables (channel,
// drum slots, editor page, temperament), the tuning within the cent table, a tempo that is
// finite and positive (else 120) and channel sources outside 0..999 read as none (-1, -1).
// Returns the number of fields it had to change.
int sanitizeProgramBlock(ProgramBlock& block);

// Copies text into a fixed name field: at most size - 1 bytes, never ending inside a UTF-8
// character, then the terminator.
void copyName(char* field, int size, const char* text);

} // namespace engine
