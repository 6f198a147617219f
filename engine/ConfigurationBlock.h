#pragma once
// The global configuration: one block per process, shared by every instance, kept in
// "Quorix.con" in the user folder. The file stores the block byte for byte in the writing
// machine's order; a reader that finds the other order reverses the int32 fields.

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

struct ConfigurationBlock {
    int32_t velocityCurve;               // 0..6
    uint8_t drumsFollowMasterTranspose;
    uint8_t drumsFollowMasterTune;
    uint8_t keepTempoOnRecall;
    uint8_t keepBendRangeOnRecall;       // absent from the oldest layouts
    uint8_t mixSubIntoMain;
    uint8_t ramOption;                   // set by the host command "RAMs" and after every load
    uint8_t loadOnSelect;                // editor options from here ...
    uint8_t keyboardShortcutsOn;
    int32_t hoverDisplay;                // 0..1
    int32_t assignmentOverlay;           // 0..1
    uint8_t programChangeOn;
    uint8_t editorOption;
    uint8_t expressionOn;
    uint8_t sostenutoOn;
    uint8_t damperOn;
    uint8_t nrpnOn;
    uint8_t rpnOn;
    uint8_t omniOn;
    int32_t selectedTemperament;         // 0..15
    int32_t userTemperaments[8][12];     // cents of temperaments 8..15, pitch classes C..B
    uint8_t seqFollowPlayback;
    uint8_t volumeOn;
    uint8_t panOn;
    char skinName[32];                   // folder name under the skins folder, terminated
    int32_t editorScale;                 // 1 = the system's scale, else 100..300 percent
    uint8_t maxOversampling;             // 1, 2, 4, 8 or 16
    uint8_t reserved[3];
};

#pragma pack(pop)

static_assert(sizeof(ConfigurationBlock) == 459);
static_assert(offsetof(ConfigurationBlock, drumsFollowMasterTranspose) == 4);
static_assert(offsetof(ConfigurationBlock, keepBendRangeOnRecall) == 7);
static_assert(offsetof(ConfigurationBlock, ramOption) == 9);
static_assert(offsetof(ConfigurationBlock, hoverDisplay) == 12);
static_assert(offsetof(ConfigurationBlock, assignmentOverlay) == 16);
static_assert(offsetof(ConfigurationBlock, programChangeOn) == 20);
static_assert(offsetof(ConfigurationBlock, omniOn) == 27);
static_assert(offsetof(ConfigurationBlock, selectedTemperament) == 28);
static_assert(offsetof(ConfigurationBlock, userTemperaments) == 32);
static_assert(offsetof(ConfigurationBlock, seqFollowPlayback) == 416);
static_assert(offsetof(ConfigurationBlock, skinName) == 419);
static_assert(offsetof(ConfigurationBlock, editorScale) == 451);
static_assert(offsetof(ConfigurationBlock, maxOversampling) == 455);

namespace engine {

// Result codes of the data-file readers and writers.
enum DataFileResult : int32_t {
    fileOk = 0,
    fileNotAccessible = 3,
    fileWrongMagic = 4,
    fileWrongVersion = 5,
};

// Texts of the result codes 1..7, for the user's error boxes; "" outside.
const char* dataFileErrorText(int32_t code);

inline constexpr const char* kConfigurationFileName = "Quorix.con";
inline constexpr int32_t kConfigurationVersion = 0x01040404;
inline constexpr size_t kConfigurationHeaderSize = 48;
inline constexpr size_t kConfigurationFileSize = kConfigurationHeaderSize + sizeof(ConfigurationBlock);

// All bytes 0, then the defaults.
void resetConfigurationBlock(ConfigurationBlock& block);

// Reads a whole configuration file from memory into block (which should hold the defaults
// first: bytes the file does not provide keep their values). Old layouts, the other byte
// order and damaged fields are handled here; answers fileOk, fileWrongMagic or
// fileWrongVersion. On a failure the block is unchanged.
int32_t parseConfigurationFile(const uint8_t* data, size_t size, ConfigurationBlock& block);

// The file image of the block in this machine's order: header, version, size, block.
void encodeConfigurationFile(const ConfigurationBlock& block, uint8_t (&out)[kConfigurationFileSize]);

// Brings the fields that index or size something back to values their users accept:
// the skin name terminated and naming a folder inside the skins folder (else "Default"),
// the oversampling factor one of 1, 2, 4, 8 and 16 (else 8). Returns true when it changed any.
bool makeConfigurationSafe(ConfigurationBlock& block);

// True when name (at most size bytes) is a plain folder name: terminated within size,
// not empty, no path or drive separator, no "..".
bool isSafeSkinName(const char* name, size_t size);

} // namespace engine
