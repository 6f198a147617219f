#include "engine/ProgramBlock.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace engine {

namespace {

// Reverses the bytes of one field of width bytes at offset within the block.
void reverseAt(uint8_t* block, size_t offset, size_t width) {
    uint8_t* p = block + offset;
    for (size_t i = 0; i < width / 2; ++i)
        std::swap(p[i], p[width - 1 - i]);
}

void reverseRun(uint8_t* block, size_t offset, size_t width, size_t count) {
    for (size_t i = 0; i < count; ++i)
        reverseAt(block, offset + i * width, width);
}

} // namespace

void swapProgramByteOrder(ProgramBlock* blocks, int count) {
    if (blocks == nullptr)
        return;
    for (int b = 0; b < count; ++b) {
        uint8_t* p = reinterpret_cast<uint8_t*>(&blocks[b]);
        if (p[0] == kByteOrderMark)
            continue;
        p[0] = kByteOrderMark;
        reverseAt(p, offsetof(ProgramBlock, formatWord), 4);
        reverseRun(p, offsetof(ProgramBlock, values), 4, kParameterCount);
        for (int c = 0; c < kChannelCount; ++c) {
            const size_t slot = offsetof(ProgramBlock, channels) + c * sizeof(ChannelSlot);
            reverseAt(p, slot + offsetof(ChannelSlot, sourceCategory), 2);
            reverseAt(p, slot + offsetof(ChannelSlot, sourcePatch), 2);
        }
        reverseAt(p, offsetof(ProgramBlock, tempo), 4);
        reverseAt(p, offsetof(ProgramBlock, returnPage), 4);
        reverseAt(p, offsetof(ProgramBlock, currentChannel), 4);
        reverseRun(p, offsetof(ProgramBlock, selectedDrumSlot), 4, kChannelCount);
        reverseAt(p, offsetof(ProgramBlock, reserved), 2);
        reverseRun(p, offsetof(ProgramBlock, tuning), 4, 1 + kPitchClasses);
    }
}

void copyName(char* field, int size, const char* text) {
    if (size <= 0)
        return;
    int n = 0;
    if (text != nullptr) {
        while (n < size - 1 && text[n] != '\0')
            ++n;
        // A cut never ends inside a UTF-8 character.
        if (text[n] != '\0')
            while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
                --n;
    }
    if (n > 0)
        std::memmove(field, text, static_cast<size_t>(n));
    field[n] = '\0';
}

int sanitizeProgramBlock(ProgramBlock& block) {
    int changed = 0;
    for (int i = 0; i < kParameterCount; ++i) {
        const float x = block.values[i];
        const float safe = sanitizeParameterValue(x);
        // Compare bit patterns: a NaN never compares equal to itself.
        if (std::memcmp(&x, &safe, sizeof x) != 0) {
            block.values[i] = safe;
            ++changed;
        }
    }
    auto terminate = [&changed](char* field, size_t size) {
        if (std::memchr(field, '\0', size) == nullptr) {
            field[size - 1] = '\0';
            ++changed;
        }
    };
    terminate(block.name, sizeof block.name);
    for (ChannelSlot& slot : block.channels)
        terminate(slot.name, sizeof slot.name);
    auto limitIndex = [&changed](int32_t value, int32_t last) {
        if (value >= 0 && value <= last)
            return value;
        ++changed;
        return int32_t{0};
    };
    block.currentChannel = limitIndex(block.currentChannel, kChannelCount - 1);
    block.returnPage = limitIndex(block.returnPage, kLastEditorPage);
    if (!std::isfinite(block.tempo) || !(block.tempo > 0.0f)) {
        block.tempo = kDefaultTempo;
        ++changed;
    }
    // A source outside the category numbers names no patch.
    for (ChannelSlot& slot : block.channels) {
        if (slot.sourceCategory < 0 || slot.sourceCategory > kLastCategoryNumber) {
            if (slot.sourceCategory != -1 || slot.sourcePatch != -1)
                ++changed;
            slot.sourceCategory = -1;
            slot.sourcePatch = -1;
        }
    }
    for (int c = 0; c < kChannelCount; ++c)
        block.selectedDrumSlot[c] = limitIndex(block.selectedDrumSlot[c], kDrumKeys - 1);
    block.tuning.temperament = limitIndex(block.tuning.temperament, kTemperamentCount - 1);
    for (int p = 0; p < kPitchClasses; ++p) {
        const int32_t cents = block.tuning.offsets[p];
        if (cents > kMaxTuningCents || cents < -kMaxTuningCents) {
            block.tuning.offsets[p] = cents > 0 ? kMaxTuningCents : -kMaxTuningCents;
            ++changed;
        }
    }
    return changed;
}

} // namespace engine
