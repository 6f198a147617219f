#include "engine/ConfigurationBlock.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace engine {

namespace {

// The 37 header characters, then 0x1A and two NULs.
constexpr char kMagicText[] = "ORVANEX -Quorix    -Configuration    ";
static_assert(sizeof(kMagicText) - 1 == 37);
constexpr size_t kMagicSize = 40;
constexpr size_t kMagicCompared = 39; // the third byte after the text is not checked

constexpr int32_t kAcceptedVersions[] = {1000, 0x01010000, 0x01010200, 0x01020502, 0x01030901, 0x01040404};

// Layouts before this version lack the byte at offset 7.
bool isOldLayout(int32_t version) {
    return version == 1000 || version == 0x01010000 || version == 0x01010200;
}

bool isAccepted(int32_t version) {
    return std::find(std::begin(kAcceptedVersions), std::end(kAcceptedVersions), version) !=
           std::end(kAcceptedVersions);
}

uint32_t reverse32(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

int32_t readInt32(const uint8_t* p, bool swapped) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    if (swapped)
        v = reverse32(v);
    return static_cast<int32_t>(v);
}

void makeMagic(uint8_t (&magic)[kMagicSize]) {
    std::memcpy(magic, kMagicText, 37);
    magic[37] = 0x1A;
    magic[38] = 0;
    magic[39] = 0;
}

// Offsets of the int32 fields, for the byte-order conversion.
void reverseInt32Fields(uint8_t* block, size_t provided) {
    auto reverseField = [&](size_t offset) {
        if (offset + 4 > provided)
            return; // not read from the file: already in this machine's order
        std::reverse(block + offset, block + offset + 4);
    };
    reverseField(offsetof(ConfigurationBlock, velocityCurve));
    reverseField(offsetof(ConfigurationBlock, hoverDisplay));
    reverseField(offsetof(ConfigurationBlock, assignmentOverlay));
    reverseField(offsetof(ConfigurationBlock, selectedTemperament));
    for (size_t i = 0; i < 8 * 12; ++i)
        reverseField(offsetof(ConfigurationBlock, userTemperaments) + 4 * i);
    reverseField(offsetof(ConfigurationBlock, editorScale));
}

int32_t clampInt(int32_t v, int32_t low, int32_t high) {
    return std::min(std::max(v, low), high);
}

void limitFields(ConfigurationBlock& block) {
    block.velocityCurve = clampInt(block.velocityCurve, 0, 6);
    block.hoverDisplay = clampInt(block.hoverDisplay, 0, 1);
    block.assignmentOverlay = clampInt(block.assignmentOverlay, 0, 1);
    block.selectedTemperament = clampInt(block.selectedTemperament, 0, 15);
    for (auto& row : block.userTemperaments)
        for (int p = 0; p < 12; ++p)
            row[p] = clampInt(row[p], -50, 50);
    const int32_t scale = block.editorScale;
    if (scale < 100 || scale > 300)
        block.editorScale = 1;
    block.keepBendRangeOnRecall = 1;
    block.ramOption = 1;
    makeConfigurationSafe(block);
}

} // namespace

const char* dataFileErrorText(int32_t code) {
    static const char* const texts[] = {
        "unknown error.", "memory can't be allocated.", "file can't be accessed.",
        "file format doesn't matched.", "file version doesn't matched.",
        "file has invalid data.", "file has unsupported features.",
    };
    if (code < 1 || code > 7)
        return "";
    return texts[code - 1];
}

void resetConfigurationBlock(ConfigurationBlock& block) {
    std::memset(&block, 0, sizeof block);
    block.velocityCurve = 3;
    block.ramOption = 1;
    block.loadOnSelect = 1;
    block.hoverDisplay = 1;
    block.programChangeOn = 1;
    block.editorOption = 1;
    block.expressionOn = 1;
    block.sostenutoOn = 1;
    block.damperOn = 1;
    block.nrpnOn = 1;
    block.rpnOn = 1;
    block.omniOn = 1;
    block.seqFollowPlayback = 1;
    block.volumeOn = 1;
    block.panOn = 1;
    std::memcpy(block.skinName, "Default", 8);
    block.editorScale = 1;
    block.maxOversampling = 8;
}

int32_t parseConfigurationFile(const uint8_t* data, size_t size, ConfigurationBlock& block) {
    uint8_t magic[kMagicSize];
    makeMagic(magic);
    if (data == nullptr || size < kMagicSize || std::memcmp(data, magic, kMagicCompared) != 0)
        return fileWrongMagic;
    if (size < kMagicSize + 4)
        return fileWrongVersion;

    bool swapped = false;
    int32_t version = readInt32(data + 40, false);
    if (!isAccepted(version) && isAccepted(readInt32(data + 40, true))) {
        version = readInt32(data + 40, true);
        swapped = true;
    }
    if (!isAccepted(version))
        return fileWrongVersion;

    // A missing size field provides no block bytes; a negative one counts as none.
    int32_t declared = size >= kConfigurationHeaderSize ? readInt32(data + 44, swapped) : 0;
    size_t stored = declared > 0 ? static_cast<size_t>(declared) : 0;
    const size_t available = size > kConfigurationHeaderSize ? size - kConfigurationHeaderSize : 0;
    stored = std::min(stored, available);
    const uint8_t* source = data + kConfigurationHeaderSize;

    uint8_t image[sizeof(ConfigurationBlock)];
    std::memcpy(image, &block, sizeof image);
    size_t provided = 0; // block bytes 0..provided-1 came from the file
    if (isOldLayout(version)) {
        // Offsets 0..6, then the rest from offset 8 on; offset 7 did not exist.
        const size_t head = std::min<size_t>(stored, 7);
        std::memcpy(image, source, head);
        image[7] = 0;
        const size_t tail = std::min(stored - head, sizeof image - 8);
        std::memcpy(image + 8, source + head, tail);
        provided = tail > 0 ? 8 + tail : head;
    } else {
        provided = std::min(stored, sizeof image);
        std::memcpy(image, source, provided);
    }
    if (swapped)
        reverseInt32Fields(image, provided);
    std::memcpy(&block, image, sizeof image);
    limitFields(block);
    return fileOk;
}

void encodeConfigurationFile(const ConfigurationBlock& block, uint8_t (&out)[kConfigurationFileSize]) {
    uint8_t magic[kMagicSize];
    makeMagic(magic);
    std::memcpy(out, magic, kMagicSize);
    const int32_t version = kConfigurationVersion;
    const int32_t blockSize = static_cast<int32_t>(sizeof(ConfigurationBlock));
    std::memcpy(out + 40, &version, 4);
    std::memcpy(out + 44, &blockSize, 4);
    std::memcpy(out + kConfigurationHeaderSize, &block, sizeof block);
}

bool isSafeSkinName(const char* name, size_t size) {
    const void* end = std::memchr(name, '\0', size);
    if (end == nullptr)
        return false;
    const size_t length = static_cast<size_t>(static_cast<const char*>(end) - name);
    if (length == 0)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (name[i] == '/' || name[i] == '\\' || name[i] == ':')
            return false;
    for (size_t i = 0; i + 1 < length; ++i)
        if (name[i] == '.' && name[i + 1] == '.')
            return false;
    return true;
}

bool makeConfigurationSafe(ConfigurationBlock& block) {
    bool changed = false;
    if (!isSafeSkinName(block.skinName, sizeof block.skinName)) {
        std::memset(block.skinName, 0, sizeof block.skinName);
        std::memcpy(block.skinName, "Default", 8);
        changed = true;
    }
    switch (block.maxOversampling) {
    case 1: case 2: case 4: case 8: case 16:
        break;
    default:
        block.maxOversampling = 8;
        changed = true;
    }
    return changed;
}

} // namespace engine
