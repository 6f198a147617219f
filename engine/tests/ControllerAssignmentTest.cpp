// Controller assignments as instances use them: the default sets, applying a source's value,
// MIDI learn with its deferred save, the shared tables across instances, the automation file at
// start and the controller report.
#include "engine/tests/EngineTestSupport.h"

#include "engine/AutomationFile.h"
#include "engine/HostAutomationMap.h"
#include "engine/ParameterIndex.h"
#include "foundation/podoWnd.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using namespace engine;
using namespace enginetest;
namespace fs = std::filesystem;

namespace {

int ch(int channel, int localId) { return parameterIndex(channel, localId); }

const ControllerAssignment &melodyEntry(int localId) { return instrumentAssignments[0][localId - 698]; }

std::string automationFile() { return userFolder() + kAutomationFileName; }

std::vector<std::string> backupsOf(const std::string &path)
{
    std::vector<std::string> found;
    const std::string prefix = fs::path(path).filename().string() + ".";
    for (const auto &entry : fs::directory_iterator(fs::path(path).parent_path()))
        if (entry.path().filename().string().rfind(prefix, 0) == 0 && entry.path().extension() == ".bak")
            found.push_back(entry.path().string());
    return found;
}

std::vector<std::string> boxes;
int32_t recordBox(podoWnd *, const podoStr &caption, const podoStr &text, int32_t)
{
    boxes.push_back(std::string(caption.getNarrow()) + "|" + text.getNarrow());
    return podo::idOk;
}

// The counts must be exactly what the tables hold, in every table.
::testing::AssertionResult countsMatchTables()
{
    for (int t = 0; t < kAssignmentTableCount; ++t) {
        int32_t size = 0;
        const ControllerAssignment *entries = assignmentEntries(static_cast<AssignmentTable>(t), &size);
        int32_t sources[kAssignmentSources] = {}, learning = 0;
        for (int32_t i = 0; i < size; ++i) {
            ++sources[entries[i].source];
            learning += entries[i].state & 1;
        }
        if (learning != assignmentCounts[t].learningCount)
            return ::testing::AssertionFailure() << "table " << t << " learning count";
        for (int s = 1; s < kAssignmentSources; ++s)
            if (sources[s] != assignmentCounts[t].sourceCounts[s])
                return ::testing::AssertionFailure() << "table " << t << " source " << s;
    }
    return ::testing::AssertionSuccess();
}

int entriesNaming(AssignmentTable table, int16_t source)
{
    int32_t size = 0;
    const ControllerAssignment *entries = assignmentEntries(table, &size);
    int n = 0;
    for (int32_t i = 0; i < size; ++i)
        n += entries[i].source == source;
    return n;
}

struct Assignments : testing::Test {
    void SetUp() override
    {
        std::error_code ignored;
        fs::remove_all(userFolder(), ignored);
        boxes.clear();
        podo::setMessageBoxHook(recordBox);
        q = std::make_unique<TestQuorix>();
    }
    void TearDown() override
    {
        q.reset();
        podo::setMessageBoxHook(nullptr);
    }
    // Learning for the entry of a parameter of a melody channel.
    void startLearning(int32_t localId)
    {
        AssignmentTable table;
        int32_t entry;
        ASSERT_TRUE(assignmentEntryOf(ch(0, localId), 0, &table, &entry));
        ASSERT_TRUE(q->setAssignment(table, entry, {1, 0, 0.0f, 1.0f, 0}));
    }

    std::unique_ptr<TestQuorix> q;
};

} // namespace

TEST_F(Assignments, FactoryAndExtraSetsAndClearing)
{
    // The first instance starts with the factory set: no file yet, silently.
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(+melodyEntry(721).source, 74) << "Filter.Cutoff";
    EXPECT_EQ(+channelAssignments[26 - 17].source, 91);
    EXPECT_EQ(entriesNaming(AssignmentTable::master, 59), 0);
    EXPECT_TRUE(countsMatchTables());

    q->setDefaultMidiAssignments(1, 1);
    EXPECT_EQ(+masterAssignments[7].source, 59);
    EXPECT_EQ(+channelAssignments[36 - 17].source, 50);
    EXPECT_EQ(+melodyEntry(736).source, 63);
    EXPECT_EQ(entriesNaming(AssignmentTable::drum, 63), 65) << "every drum key's velocity amount";
    EXPECT_EQ(+instrumentAssignments[1][710 + 17 * 64 - 698].source, 63);
    EXPECT_EQ(+melodyEntry(721).source, 74) << "the factory set stays";
    EXPECT_TRUE(countsMatchTables());

    q->setDefaultMidiAssignments(0, 1);
    for (int s = 1; s < kAssignmentSources; ++s)
        for (int t = 0; t < kAssignmentTableCount; ++t)
            ASSERT_EQ(entriesNaming(static_cast<AssignmentTable>(t), static_cast<int16_t>(s)), 0);
    EXPECT_TRUE(countsMatchTables());
    const float before = q->getParameterValue(ch(0, 721));
    q->applyControllerAssignments(74, 1.0f, 0, 15);
    EXPECT_EQ(q->getParameterValue(ch(0, 721)), before);
}

TEST_F(Assignments, SourceValueMapsIntoTheRangeOptionallyReversed)
{
    struct Case {
        float min, max;
        uint8_t reversed;
        float value, expected;
    };
    const Case cases[] = {{0.2f, 0.8f, 1, 0.0f, 0.8f}, {0.2f, 0.8f, 1, 0.5f, 0.5f}, {0.2f, 0.8f, 1, 1.0f, 0.2f},
                          {0.2f, 0.8f, 0, 0.25f, 0.35f}, {0.9f, 0.1f, 0, 1.0f, 0.1f}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.min << ".." << c.max << (c.reversed ? " reversed" : "") << " at "
                                        << c.value);
        q->addMasterAssignment(33, master::Volume, c.min, c.max, c.reversed);
        q->applyControllerAssignments(33, c.value, 0, 0);
        EXPECT_NEAR(q->getParameterValue(master::Volume), c.expected, 1e-6f);
    }
    EXPECT_EQ(entriesNaming(AssignmentTable::master, 33), 1) << "re-adding replaces the entry";
    EXPECT_TRUE(countsMatchTables());
}

TEST_F(Assignments, ReachTheSpanAndTheRowOfEachChannelsMode)
{
    q->setParameterValue(ch(3, local::Mode), 1.0f); // channel 3 a drum kit, channel 2 a melody
    ASSERT_EQ(q->state.target.channels[3].mode, 1);
    q->addInstrumentAssignment(1, 74, 710, 0.0f, 1.0f, 0); // drum key 0's velocity amount
    const float melody710 = q->getParameterValue(ch(2, 710));
    const float drum721 = q->getParameterValue(ch(3, 721));
    const float outside = q->getParameterValue(ch(4, 721));

    q->applyControllerAssignments(74, 1.0f, 2, 3);
    EXPECT_EQ(q->getParameterValue(ch(2, 721)), 1.0f) << "melody row on the melody channel";
    EXPECT_EQ(q->getParameterValue(ch(3, 710)), 1.0f) << "drum row on the drum channel";
    EXPECT_EQ(q->getParameterValue(ch(2, 710)), melody710);
    EXPECT_EQ(q->getParameterValue(ch(3, 721)), drum721);
    EXPECT_EQ(q->getParameterValue(ch(4, 721)), outside) << "outside the span";

    q->applyControllerAssignments(91, 0.5f, 2, 3);
    EXPECT_EQ(q->getParameterValue(ch(2, local::ReverbSend)), 0.5f) << "channel entries on every channel";
    EXPECT_EQ(q->getParameterValue(ch(3, local::ReverbSend)), 0.5f);
}

// Files send the sound controllers at 64 to mean "as the patch is": in the factory set they move
// their parameter from the channel's own setting, without adding up. An assignment with a range
// of its own stays absolute.
TEST_F(Assignments, SoundControllersOffsetThePatchSettingWhereTheyDriveTheirOwnParameter)
{
    struct Case {
        int16_t source;
        int localId;
    };
    const Case cases[] = {
        {71, local::FilterResonance}, {72, local::AmpEnvelope + 3}, {73, local::AmpEnvelope},
        {74, local::FilterCutoff},    {75, local::AmpEnvelope + 1}, {76, local::LfoRate},
        {77, local::OscLfoAmount},    {78, local::LfoDelayTime},
    };
    for (const Case &c : cases)
        q->setParameterValue(ch(1, c.localId), 0.5f);
    auto send = [&](int16_t source, int value) { q->applyControllerAssignments(source, value / 127.0f, 1, 1); };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "controller " << c.source);
        ASSERT_EQ(+melodyEntry(c.localId).source, c.source);
        send(c.source, 64);
        EXPECT_FLOAT_EQ(q->getParameterValue(ch(1, c.localId)), 0.5f);
        send(c.source, 80);
        send(c.source, 80);
        EXPECT_FLOAT_EQ(q->getParameterValue(ch(1, c.localId)), 0.5f + 16.0f / 128.0f);
        send(c.source, 0);
        EXPECT_FLOAT_EQ(q->getParameterValue(ch(1, c.localId)), 0.0f);
        send(c.source, 127);
        EXPECT_FLOAT_EQ(q->getParameterValue(ch(1, c.localId)), 0.5f + 63.0f / 128.0f);
    }

    q->addInstrumentAssignment(0, 74, local::FilterCutoff, 0.2f, 0.8f, 0);
    send(74, 127);
    EXPECT_FLOAT_EQ(q->getParameterValue(ch(1, local::FilterCutoff)), 0.8f) << "a range of its own";
    q->addInstrumentAssignment(0, 74, local::LfoRate, 0.0f, 1.0f, 0);
    send(74, 64);
    EXPECT_FLOAT_EQ(q->getParameterValue(ch(1, local::LfoRate)), 64.0f / 127.0f) << "another parameter";
}

TEST_F(Assignments, ADrivenParameterOnAHostSlotIsReportedToTheHost)
{
    assignHostSlot(3, ch(0, 721));
    hostCalls().clear();
    q->applyControllerAssignments(74, 1.0f, 0, 0);
    bool reported = false;
    for (const HostCall &call : hostCalls())
        reported |= call.opcode == audioMasterAutomate && call.index == 3 && call.opt == 1.0f;
    EXPECT_TRUE(reported);
    assignHostSlot(3, -1);
}

TEST_F(Assignments, LearnTakesTheSourceAndTheFileIsWrittenOffTheAudioThread)
{
    RecordingEditor *editor = q->openEditor();
    ASSERT_NE(editor, nullptr);
    startLearning(local::ChorusSend);
    EXPECT_TRUE(countsMatchTables());
    editor->take();

    q->applyControllerAssignments(20, 0.6f, 0, 0); // the MIDI handler's call, on the audio thread
    const ControllerAssignment &entry = channelAssignments[local::ChorusSend - 17];
    EXPECT_EQ(+entry.state, 0);
    EXPECT_EQ(+entry.source, 20);
    EXPECT_EQ(+entry.min, 0.0f);
    EXPECT_EQ(+entry.max, 1.0f);
    EXPECT_EQ(q->getParameterValue(ch(0, local::ChorusSend)), 0.6f) << "the learning message drives it at once";
    EXPECT_TRUE(countsMatchTables());
    EXPECT_FALSE(fs::exists(automationFile())) << "no file written on the audio thread";
    EXPECT_TRUE(q->isAutomationSavePending());

    bool learned = false;
    for (const Message &m : editor->take()) // the editor's idle drains the queue, then saves
        learned |= m.tag == tag::MidiLearn && m.value() == -1.0f;
    EXPECT_TRUE(learned);
    EXPECT_FALSE(q->isAutomationSavePending());
    const std::vector<uint8_t> file = readBytes(automationFile());
    ASSERT_EQ(file.size(), kAutomationFileSize);
    auto image = std::make_unique<AutomationImage>();
    ASSERT_EQ(parseAutomationFile(file.data(), file.size(), *image), fileOk);
    EXPECT_EQ(+image->table(AssignmentTable::channel)[local::ChorusSend - 17].source, 20);

    q->applyControllerAssignments(21, 0.3f, 0, 0);
    EXPECT_EQ(+entry.source, 20) << "learned once only";
}

// Bank select and the channel mode messages other than Local (122) are never learned; every other
// controller is.
TEST_F(Assignments, LearnSkipsBankSelectAndTheChannelModeMessagesButLocal)
{
    const ControllerAssignment &entry = channelAssignments[local::ChorusSend - 17];
    for (int controller : {0, 1, 7, 32, 64, 119, 120, 121, 122, 123, 124, 125, 126, 127}) {
        SCOPED_TRACE(controller);
        startLearning(local::ChorusSend);
        q->handleMidiMessage(0, 0xB0, controller, 0);
        const bool learnable = controller != 0 && controller != 32 && (controller < 120 || controller == 122);
        const bool learned = (entry.state & 1) == 0 && entry.source == controller;
        EXPECT_EQ(learned, learnable);
    }
}

TEST_F(Assignments, EveryInstanceAppliesTheSharedTables)
{
    auto later = std::make_unique<TestQuorix>();
    later->applyControllerAssignments(74, 1.0f, 5, 5);
    EXPECT_EQ(later->getParameterValue(ch(5, 721)), 1.0f) << "a later instance applies the factory set";

    startLearning(local::ChorusSend);
    q->applyControllerAssignments(20, 0.25f, 0, 0); // learned by the first instance
    later->applyControllerAssignments(20, 0.75f, 1, 1);
    EXPECT_EQ(later->getParameterValue(ch(1, local::ChorusSend)), 0.75f) << "and what another instance learned";

    later->setDefaultMidiAssignments(0, 0);
    const float before = q->getParameterValue(ch(0, 721));
    q->applyControllerAssignments(74, 0.1f, 0, 0);
    EXPECT_EQ(q->getParameterValue(ch(0, 721)), before) << "cleared by another instance: nothing applies";
    EXPECT_TRUE(countsMatchTables());
    later.reset();
    EXPECT_FALSE(q->isAutomationSavePending()) << "the closing instance wrote the learn down";
    EXPECT_TRUE(fs::exists(automationFile()));
}

TEST_F(Assignments, ReadingAFileClearsLearningAndRebuildsBothHostMaps)
{
    auto image = std::make_unique<AutomationImage>();
    std::memset(static_cast<void *>(image.get()), 0, sizeof *image);
    image->table(AssignmentTable::sequencer)[4] = {1, 44, 0.0f, 0.5f, 1};
    image->hostMap[5] = ch(1, 721) + 1;
    const std::string path = userFolder() + "elsewhere.atm";
    writeBytes(path, encodeAutomationFile(*image, banks::kBigEndianMark));

    EXPECT_EQ(q->readAutomationFile(path.c_str()), fileOk);
    ControllerAssignment entry{};
    ASSERT_TRUE(q->getAssignment(AssignmentTable::sequencer, 4, &entry));
    EXPECT_EQ(+entry.state, 0);
    EXPECT_EQ(+entry.source, 44);
    EXPECT_EQ(+entry.reversed, 1);
    EXPECT_EQ(+melodyEntry(721).source, 0) << "the file replaces the factory set";
    EXPECT_EQ(parameterOfHostSlot(5), ch(1, 721));
    EXPECT_EQ(hostSlotOf(ch(1, 721)), 5);
    EXPECT_TRUE(countsMatchTables());
    q->applyControllerAssignments(44, 0.0f, 2, 2);
    EXPECT_EQ(q->getParameterValue(ch(2, 37 + 4)), 0.5f) << "reversed: value 0 gives the maximum";
    clearHostAutomationMaps();

    EXPECT_EQ(q->readAutomationFile((userFolder() + "missing.atm").c_str()), fileNotAccessible);
    writeBytes(userFolder() + "a file", {1});
    EXPECT_EQ(q->writeAutomationFile((userFolder() + "a file/x.atm").c_str()), fileNotAccessible);
}

TEST_F(Assignments, AFileTheFirstInstanceCannotTakeIsShownKeptAndReplaced)
{
    auto good = std::make_unique<AutomationImage>();
    std::memset(static_cast<void *>(good.get()), 0, sizeof *good);
    good->hostMap[0] = 100;
    good->table(AssignmentTable::master)[0] = {0, 12, 0.0f, 1.0f, 0};
    const std::vector<uint8_t> whole = encodeAutomationFile(*good, banks::kLittleEndianMark);
    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        const char *message;
    };
    std::vector<uint8_t> foreign = whole, newer = whole;
    foreign[3] = '!';
    newer[42] = 9;
    const Case cases[] = {
        {"foreign", foreign, "file format doesn't matched."},
        {"newer", newer, "file version doesn't matched."},
        {"cut short", std::vector<uint8_t>(whole.begin(), whole.end() - 100), "file has invalid data."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        q.reset(); // the next instance is the first again
        std::error_code ignored;
        fs::remove_all(userFolder(), ignored);
        writeBytes(automationFile(), c.file);
        boxes.clear();

        q = std::make_unique<TestQuorix>();
        EXPECT_EQ(boxes, (std::vector<std::string>{std::string("Kestrane Quorix|") + c.message + "\n\nQuorix.atm"}));
        EXPECT_EQ(+melodyEntry(721).source, 74) << "the factory set";
        EXPECT_EQ(+masterAssignments[0].source, 0) << "nothing of the file";
        EXPECT_EQ(parameterOfHostSlot(0), -1) << "an empty host map";
        EXPECT_TRUE(countsMatchTables());
        EXPECT_FALSE(fs::exists(automationFile())) << "moved aside before anything can write over it";
        const std::vector<std::string> backups = backupsOf(automationFile());
        ASSERT_EQ(backups.size(), 1u);
        EXPECT_EQ(readBytes(backups[0]), c.file);

        q.reset(); // the last instance writes the file anew
        EXPECT_EQ(readBytes(automationFile()).size(), kAutomationFileSize);
        EXPECT_EQ(backupsOf(automationFile()).size(), 1u);
        q = std::make_unique<TestQuorix>();
    }
}

TEST_F(Assignments, ReportIsWrittenToTheUserFolderAndOpened)
{
    // A stand-in for the desktop's opener records what it was asked to open.
    const std::string bin = testHome() + "/bin";
    fs::create_directories(bin);
    const std::string opened = testHome() + "/opened.txt";
    {
        std::ofstream script(bin + "/xdg-open");
        script << "#!/bin/sh\necho \"$1\" > '" << opened << "'\n";
    }
    fs::permissions(bin + "/xdg-open", fs::perms::owner_all);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (bin + ":" + path).c_str(), 1);

    EXPECT_EQ(q->writeMidiAssignReport(), fileOk);
    setenv("PATH", path.c_str(), 1);
    const std::string report = userFolder() + "Quorix-MIDI.txt";
    std::ifstream in(report);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text.rfind(" Kestrane - Quorix - MIDI Contoller Assignments\n", 0), 0u);
    EXPECT_NE(text.find("  74 (Cutoff)              Melody:Filter.Cutoff"), std::string::npos) << text;
    EXPECT_NE(text.find("  91 (Reverb Depth)        Chan.SFX.Reverb"), std::string::npos) << text;
    std::ifstream asked(opened);
    std::string line;
    std::getline(asked, line);
    EXPECT_EQ(line, report);
}
