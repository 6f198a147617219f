#pragma once
// "Quorix.atm": the controller assignments and the host automation map, kept in the user folder,
// and the controller report. Both are made from and read into an AutomationImage, a plain copy of
// the tables, so the file code never touches the shared tables: the caller copies them in and
// commits a read image whole, under its locks.
//
// Layout, multi-byte fields in the writer's order (the version word tells a reader which):
// 38-byte magic, two NULs, int32 version; then six sections (int32 count, count 12-byte records)
// for the master, channel, sequencer, melody, drum and special tables; then int32 slot count and
// that many int32 map entries (parameter index + 1, 0 for none).

#include "engine/ControllerAssignments.h"
#include "engine/HostAutomationMap.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace engine {

inline constexpr const char *kAutomationFileName = "Quorix.atm";
inline constexpr int32_t kAutomationVersion = 0x01010200;
inline constexpr int32_t kAutomationOldVersion = 1000; // channel volume and pan may still be assigned
inline constexpr size_t kAutomationHeaderSize = 44;
// A file written with the full tables.
inline constexpr size_t kAutomationFileSize =
    kAutomationHeaderSize + 4 * 7 +
    12 * (kMasterAssignments + kChannelAssignments + kSequencerAssignments + 2 * kInstrumentAssignments +
          kSpecialAssignments) +
    4 * kHostSlotCount;
static_assert(kAutomationFileSize == 35588);
// Larger files are not read: no layout of this file comes near it.
inline constexpr size_t kAutomationFileLimit = 4 * 1024 * 1024;

// The extra result of the reader besides fileOk, fileWrongMagic and fileWrongVersion.
inline constexpr int32_t fileInvalidData = 6;

struct AutomationImage {
    ControllerAssignment tables[kAssignmentTableCount][kInstrumentAssignments]; // entries past a table's size unused
    int32_t hostMap[kHostSlotCount];                                          // parameter index + 1, 0 none

    ControllerAssignment *table(AssignmentTable t) { return tables[static_cast<int>(t)]; }
    const ControllerAssignment *table(AssignmentTable t) const { return tables[static_cast<int>(t)]; }
};

// A copy of the shared tables and the host map. Caller holds the locks.
void captureAutomation(AutomationImage &image);
// Makes the image the shared tables and host map, counts anew and clears every learning bit.
// Caller holds the locks.
void commitAutomation(const AutomationImage &image);

// Reads a whole file from memory into image, which should hold what entries the file leaves out
// keep (a section shorter than its table, a map shorter than 128 slots). Sources are held to
// 0..131, finite minimums and maximums to 0..1, map entries to 0..28,641; a section longer than
// its table has its surplus read past. Answers fileOk; fileWrongMagic; fileWrongVersion;
// fileInvalidData for a file cut short, a negative count, a non-finite minimum or maximum or bytes
// after the map. On any failure image is unchanged. The learning bits are left as read.
int32_t parseAutomationFile(const uint8_t *data, size_t size, AutomationImage &image);

// The file image: byteOrderMark 76 writes this machine's order, 66 the other.
std::vector<uint8_t> encodeAutomationFile(const AutomationImage &image, uint8_t byteOrderMark);

// The controller report's text. name(index) gives a parameter's name for the engine index (or
// special tag) an entry has on channel 1.
std::string formatControllerReport(const AutomationImage &image, const std::function<std::string(int32_t)> &name);

} // namespace engine
