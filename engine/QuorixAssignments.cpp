// Controller assignments: the default sets, the editor's reads and changes, MIDI learn and the
// applying of a source's value; the automation file and the controller report.
#include "engine/Quorix.h"

#include "engine/AutomationFile.h"
#include "engine/FileBackup.h"
#include "engine/ParameterIndex.h"
#include "engine/ParameterText.h"
#include "foundation/podoFile.h"
#include "foundation/podoLog.h"
#include "foundation/podoShell.h"

#include <cerrno>
#include <cmath>
#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

using namespace engine;

namespace {

// Set by MIDI learn on the audio thread, which never writes a file; the next editor idle (or
// close, or instance destruction) writes the automation file. Process-wide like the tables.
std::atomic<bool> automationSavePending{false};

bool inTable(AssignmentTable table, int32_t entry)
{
    return entry >= 0 && entry < assignmentTableSize(table);
}

bool validSource(int16_t source) { return source >= 0 && source < kAssignmentSources; }

} // namespace

int16_t Quorix::addAssignment(AssignmentTable table, int32_t entry, int16_t source, float min, float max,
                              uint8_t reversed)
{
    if (!inTable(table, entry) || !validSource(source))
        return source;
    podoSyncCriticalBlock lock(&instanceLock);
    EngineWriteBlock shared(engineSharedLock());
    setAssignmentEntry(table, entry, {0, source, min, max, reversed});
    return source;
}

int16_t Quorix::addMasterAssignment(int16_t source, int32_t index, float min, float max, uint8_t reversed)
{
    return addAssignment(AssignmentTable::master, index, source, min, max, reversed);
}

int16_t Quorix::addChannelAssignment(int16_t source, int32_t localId, float min, float max, uint8_t reversed)
{
    return addAssignment(AssignmentTable::channel, localId - kChannelAssignmentBase, source, min, max, reversed);
}

int16_t Quorix::addSequencerAssignment(int16_t source, int32_t localId, float min, float max, uint8_t reversed)
{
    return addAssignment(AssignmentTable::sequencer, localId - kSequencerAssignmentBase, source, min, max, reversed);
}

int16_t Quorix::addInstrumentAssignment(int32_t mode, int16_t source, int32_t localId, float min, float max,
                                        uint8_t reversed)
{
    if (mode != 0 && mode != 1)
        return source;
    return addAssignment(mode == 0 ? AssignmentTable::melody : AssignmentTable::drum,
                         localId - kInstrumentAssignmentBase, source, min, max, reversed);
}

int16_t Quorix::addSpecialAssignment(int16_t source, int32_t tag, float min, float max, uint8_t reversed)
{
    return addAssignment(AssignmentTable::special, tag - kSpecialAssignmentBase, source, min, max, reversed);
}

void Quorix::setDefaultMidiAssignments(uint8_t withDefaults, uint8_t withExtras)
{
    podoSyncCriticalBlock lock(&instanceLock);
    EngineWriteBlock shared(engineSharedLock());
    clearAssignments();
    if (withDefaults)
        addDefaultAssignments(withExtras != 0);
}

bool Quorix::getAssignment(AssignmentTable table, int32_t entry, ControllerAssignment *out)
{
    if (!out || !inTable(table, entry))
        return false;
    podoSyncCriticalBlock lock(&instanceLock);
    EngineReadBlock shared(engineSharedLock());
    *out = assignmentEntries(table, nullptr)[entry];
    return true;
}

bool Quorix::setAssignment(AssignmentTable table, int32_t entry, const ControllerAssignment &value)
{
    if (!inTable(table, entry) || !validSource(value.source))
        return false;
    podoSyncCriticalBlock lock(&instanceLock);
    EngineWriteBlock shared(engineSharedLock());
    setAssignmentEntry(table, entry, value);
    return true;
}

// Runs inside the MIDI handler, under instanceLock and engineSharedLock, on the audio thread.
void Quorix::applyControllerAssignments(int32_t source, float value, int32_t first, int32_t last)
{
    if (source < 1 || source >= kAssignmentSources)
        return;
    first = std::clamp(first, 0, kChannelCount - 1);
    last = std::clamp(last, first, kChannelCount - 1);
    podoSyncCriticalBlock lock(&instanceLock);
    EngineReadBlock shared(engineSharedLock());
    if (learnPending()) {
        // Learning writes the process-wide tables, so it needs them to itself: while another
        // instance renders it waits for a later message of a source instead of stalling.
        EngineSharedLock &tables = engineSharedLock();
        if (tables.tryLock()) {
            const int32_t learned = learnAssignments(source);
            tables.unlock();
            if (learned > 0) {
                postEditorFloat(tag::MidiLearn, -1.0f);
                automationSavePending.store(true);
            }
        }
    }

    // Each table's scan stops once it has met every entry naming the source.
    auto scan = [&](AssignmentTable table, auto &&apply) {
        int32_t size = 0;
        const ControllerAssignment *entries = assignmentEntries(table, &size);
        int32_t remaining = assignmentCounts[static_cast<int>(table)].sourceCounts[source];
        for (int32_t i = 0; i < size && remaining > 0; ++i) {
            if (entries[i].source != source)
                continue;
            --remaining;
            apply(i, assignedValue(entries[i], value));
        }
    };
    scan(AssignmentTable::master, [&](int32_t i, float y) { setParameterValueAutomated(i, y); });
    for (AssignmentTable table : {AssignmentTable::channel, AssignmentTable::sequencer})
        scan(table, [&](int32_t i, float y) {
            for (int32_t c = first; c <= last; ++c)
                setParameterValueAutomated(assignedParameter(table, i, c), y);
        });
    for (int32_t c = first; c <= last; ++c) {
        const int32_t mode = state.target.channels[c].mode;
        if (mode != 0 && mode != 1)
            continue;
        const AssignmentTable row = mode == 0 ? AssignmentTable::melody : AssignmentTable::drum;
        const ControllerAssignment *entries = assignmentEntries(row, nullptr);
        scan(row, [&](int32_t i, float y) {
            const int32_t parameter = assignedParameter(row, i, c);
            const int32_t slot = mode == 0 ? soundControllerSlot(source, kInstrumentAssignmentBase + i, entries[i]) : -1;
            if (slot >= 0)
                y = relativeNrpnValue(c, slot, static_cast<int32_t>(std::lround(value * 127.0f)));
            setParameterValueAutomated(parameter, y);
        });
    }
    scan(AssignmentTable::special, [&](int32_t i, float y) {
        setParameterValueAutomated(assignedParameter(AssignmentTable::special, i, 0), y);
    });
}

int32_t Quorix::readAutomationFile(const podoStr &path)
{
    std::vector<uint8_t> bytes;
    {
        podoFile file;
        const uint32_t error = file.open(path, podoFileFlags::read);
        if (error != 0) {
            // A first start has none yet: only a file that is there and cannot be read is news.
            if (error != ENOENT)
                podo::logMessage(4, true, "file not opened : %s [%08X]", path.getNarrow(), error);
            return fileNotAccessible;
        }
        // One byte past the limit is enough to know the file is too large.
        const int64_t size = std::clamp<int64_t>(file.size(), 0, int64_t(kAutomationFileLimit) + 1);
        bytes.resize(static_cast<size_t>(size));
        bytes.resize(file.read(bytes.data(), 1, bytes.size()));
        file.close();
    }
    auto image = std::make_unique<AutomationImage>();
    int32_t result = fileOk;
    {
        // Read into a copy and committed whole: a file that fails leaves the tables as they were.
        podoSyncCriticalBlock lock(&instanceLock);
        EngineWriteBlock shared(engineSharedLock());
        captureAutomation(*image);
        result = parseAutomationFile(bytes.data(), bytes.size(), *image);
        if (result == fileOk)
            commitAutomation(*image);
    }
    if (result == fileWrongMagic) {
        char head[40] = {};
        std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), 39), head);
        podo::logMessage(4, true, "file ID mismatch : %s [%s]", path.getNarrow(), head);
    }
    return result;
}

int32_t Quorix::writeAutomationFile(const podoStr &path)
{
    std::vector<uint8_t> bytes;
    {
        auto image = std::make_unique<AutomationImage>();
        {
            podoSyncCriticalBlock lock(&instanceLock);
            EngineReadBlock shared(engineSharedLock());
            captureAutomation(*image);
        }
        bytes = encodeAutomationFile(*image, getByteOrderMark());
    }
    // Written after both locks are released: no render waits for the disk.
    const uint32_t error = writeFileReplacing(path, bytes.data(), bytes.size(), false);
    if (error != 0) {
        podo::logMessage(4, true, "file not created : %s [%08X]", path.getNarrow(), error);
        return fileNotAccessible;
    }
    return fileOk;
}

int32_t Quorix::loadAutomation()
{
    if (getUserPath().isEmpty())
        return fileNotAccessible;
    const podoStr path = getUserPath() + kAutomationFileName;
    const int32_t result = readAutomationFile(path);
    // A file this reader cannot take is kept under its backup name before a save replaces it.
    if (result == fileWrongMagic || result == fileWrongVersion || result == fileInvalidData)
        moveToBackup(path);
    return result;
}

int32_t Quorix::saveAutomation()
{
    automationSavePending.store(false);
    if (getUserPath().isEmpty())
        return fileNotAccessible;
    return writeAutomationFile(getUserPath() + kAutomationFileName);
}

void Quorix::savePendingAutomation()
{
    if (automationSavePending.exchange(false))
        saveAutomation();
}

bool Quorix::isAutomationSavePending() { return automationSavePending.load(); }

int32_t Quorix::writeMidiAssignReport()
{
    if (getUserPath().isEmpty())
        return fileNotAccessible;
    auto image = std::make_unique<AutomationImage>();
    {
        podoSyncCriticalBlock lock(&instanceLock);
        EngineReadBlock shared(engineSharedLock());
        captureAutomation(*image);
    }
    const std::string text = formatControllerReport(*image, [this](int32_t index) { return reportName(index); });
    podoStr path = getUserPath() + KestraneVST::productName + "-MIDI.txt";
    if (writeFileReplacing(path, text.data(), text.size(), false) != 0)
        return fileNotAccessible;
    podo::shellOpen(path);
    return fileOk;
}

std::string Quorix::reportName(int32_t index)
{
    // Instrument entries are named by channel 1's present mode; special entries have no name.
    char text[kParameterTextSize] = {};
    parameterName(index, text, 1);
    return text;
}
