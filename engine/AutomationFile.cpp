#include "engine/AutomationFile.h"

#include "banks/BankFile.h"
#include "engine/ConfigurationBlock.h"
#include "engine/EngineLimits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace engine {

namespace {

// 37 characters and 0x1A, then two NULs; a reader compares the first 39 bytes.
constexpr char kMagic[] = "ORVANEX -Quorix    -Automation       \x1A";
constexpr size_t kMagicSize = 38;
constexpr size_t kComparedSize = 39;
static_assert(sizeof kMagic == kMagicSize + 1);

constexpr uint32_t reverse32(uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

// The channel entries that version 1000 may still have on controllers 7 and 10, which act on
// the channel directly.
constexpr int32_t kVolumeEntry = 20 - kChannelAssignmentBase;
constexpr int32_t kPanEntry = 21 - kChannelAssignmentBase;

// One record; false when the bytes run out or a range end is not a number.
bool readRecord(banks::BankReader &in, ControllerAssignment &record)
{
    uint8_t state = 0, reversed = 0;
    int16_t source = 0;
    float min = 0.0f, max = 0.0f;
    if (!in.u8(state) || !in.i16(source) || !in.f32(min) || !in.f32(max) || !in.u8(reversed))
        return false;
    if (!std::isfinite(min) || !std::isfinite(max))
        return false;
    record.state = state;
    record.source = static_cast<int16_t>(std::clamp<int32_t>(source, 0, kAssignmentSources - 1));
    record.min = std::clamp(min, 0.0f, 1.0f);
    record.max = std::clamp(max, 0.0f, 1.0f);
    record.reversed = reversed ? 1 : 0;
    return true;
}

} // namespace

void captureAutomation(AutomationImage &image)
{
    std::memset(static_cast<void *>(&image), 0, sizeof image);
    for (int t = 0; t < kAssignmentTableCount; ++t) {
        int32_t size = 0;
        const ControllerAssignment *entries = assignmentEntries(static_cast<AssignmentTable>(t), &size);
        std::memcpy(static_cast<void *>(image.tables[t]), entries, sizeof(ControllerAssignment) * size);
    }
    for (int32_t s = 0; s < kHostSlotCount; ++s)
        image.hostMap[s] = parameterOfHostSlot(s) + 1;
}

void commitAutomation(const AutomationImage &image)
{
    for (int t = 0; t < kAssignmentTableCount; ++t) {
        int32_t size = 0;
        ControllerAssignment *entries = assignmentEntries(static_cast<AssignmentTable>(t), &size);
        std::memcpy(static_cast<void *>(entries), image.tables[t], sizeof(ControllerAssignment) * size);
        for (int32_t i = 0; i < size; ++i)
            entries[i].state = 0;
    }
    recountAssignments();
    clearHostAutomationMaps();
    for (int32_t s = 0; s < kHostSlotCount; ++s)
        if (image.hostMap[s] > 0)
            assignHostSlot(s, image.hostMap[s] - 1);
}

int32_t parseAutomationFile(const uint8_t *data, size_t size, AutomationImage &image)
{
    if (!data || size == 0)
        return fileInvalidData; // an empty file: its head was never written whole
    // A head cut short but matching as far as it goes is a damaged file of this kind.
    const size_t compared = std::min(size, kComparedSize);
    uint8_t expected[kComparedSize] = {};
    std::memcpy(expected, kMagic, kMagicSize);
    if (std::memcmp(data, expected, compared) != 0)
        return fileWrongMagic;
    if (size < kAutomationHeaderSize || size > kAutomationFileLimit)
        return fileInvalidData;

    uint32_t version = 0;
    std::memcpy(&version, data + 40, 4);
    bool swap = false;
    if (version != uint32_t(kAutomationVersion) && version != uint32_t(kAutomationOldVersion)) {
        version = reverse32(version);
        swap = true;
    }
    if (version != uint32_t(kAutomationVersion) && version != uint32_t(kAutomationOldVersion))
        return fileWrongVersion;

    banks::MemoryBankSource source(data + kAutomationHeaderSize, size - kAutomationHeaderSize);
    banks::BankReader in(source);
    in.setSwap(swap);
    auto read = std::make_unique<AutomationImage>(image);
    for (int t = 0; t < kAssignmentTableCount; ++t) {
        const int32_t capacity = assignmentTableSize(static_cast<AssignmentTable>(t));
        int32_t count = 0;
        if (!in.i32(count) || count < 0 || static_cast<uint64_t>(count) * 12 > in.remaining())
            return fileInvalidData;
        for (int32_t i = 0; i < count; ++i) {
            ControllerAssignment record{};
            if (!readRecord(in, record))
                return fileInvalidData;
            if (i < capacity)
                read->tables[t][i] = record;
        }
    }
    int32_t slots = 0;
    if (!in.i32(slots) || slots < 0 || static_cast<uint64_t>(slots) * 4 != in.remaining())
        return fileInvalidData;
    for (int32_t s = 0; s < slots; ++s) {
        int32_t entry = 0;
        in.i32(entry);
        if (s < kHostSlotCount)
            read->hostMap[s] = std::clamp(entry, 0, kParameterCount);
    }
    if (version == uint32_t(kAutomationOldVersion)) {
        ControllerAssignment *channel = read->table(AssignmentTable::channel);
        if (channel[kVolumeEntry].source == 7)
            channel[kVolumeEntry] = {0, 0, 0.0f, 1.0f, 0};
        if (channel[kPanEntry].source == 10)
            channel[kPanEntry] = {0, 0, 0.0f, 1.0f, 0};
    }
    image = *read;
    return fileOk;
}

std::vector<uint8_t> encodeAutomationFile(const AutomationImage &image, uint8_t byteOrderMark)
{
    banks::BankWriter out(byteOrderMark);
    out.bytes(kMagic, kMagicSize);
    out.u8(0);
    out.u8(0);
    out.i32(kAutomationVersion);
    for (int t = 0; t < kAssignmentTableCount; ++t) {
        const int32_t size = assignmentTableSize(static_cast<AssignmentTable>(t));
        out.i32(size);
        for (int32_t i = 0; i < size; ++i) {
            const ControllerAssignment &record = image.tables[t][i];
            out.u8(record.state);
            out.i16(record.source);
            out.f32(record.min);
            out.f32(record.max);
            out.u8(record.reversed);
        }
    }
    out.i32(kHostSlotCount);
    for (int32_t s = 0; s < kHostSlotCount; ++s)
        out.i32(image.hostMap[s]);
    return out.data();
}

std::string formatControllerReport(const AutomationImage &image, const std::function<std::string(int32_t)> &name)
{
    static const char *const shortNames[] = {"ONV", "OFV", "PTB", "AFT"};
    const std::string equals(88, '='), dashes(88, '-');
    std::string text;
    char line[512];
    std::snprintf(line, sizeof line, " Kestrane - %s - MIDI Contoller Assignments\n", "Quorix");
    text += line;
    text += equals + "\n\n";
    text += " CC#                       Parameter                       Min       Min\n";
    text += dashes + "\n";
    bool any = false;
    for (int32_t s = 1; s < kAssignmentSources; ++s) {
        bool first = true;
        for (int t = 0; t < kAssignmentTableCount; ++t) {
            const AssignmentTable table = static_cast<AssignmentTable>(t);
            const int32_t size = assignmentTableSize(table);
            for (int32_t i = 0; i < size; ++i) {
                const ControllerAssignment &entry = image.tables[t][i];
                if (entry.source != s)
                    continue;
                char sourceName[40];
                std::snprintf(sourceName, sizeof sourceName, "(%s)", controllerSourceName(s));
                if (!first)
                    std::snprintf(line, sizeof line, "%27s", "");
                else if (s < kSourceNoteOnVelocity)
                    std::snprintf(line, sizeof line, " %3d %-20s  ", s, sourceName);
                else
                    std::snprintf(line, sizeof line, " %s %-20s  ", shortNames[s - kSourceNoteOnVelocity], sourceName);
                text += line;
                first = false;
                any = true;
                std::snprintf(line, sizeof line, "%-30s  %f  %f", name(assignedParameter(table, i, 0)).c_str(),
                              static_cast<double>(entry.min), static_cast<double>(entry.max));
                text += line;
                if (entry.reversed)
                    text += "  Reversed";
                text += "\n";
            }
        }
    }
    if (!any)
        text += " no MIDI control assigned#\n";
    text += dashes + "\n";
    return text;
}

} // namespace engine
