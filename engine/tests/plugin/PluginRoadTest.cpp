// The instrument as a host meets it: loaded from the module through our host, its program
// chunk saved and restored, its host commands sent, a note played on a sound library written
// to disk, with every allocation of the process counted while it renders.
#include "banks/PatchBanks.h"
#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"
#include "engine/tests/plugin/SineLibrary.h"
#include "host/KestraneVST.h"
#include "host/tests/TestHome.h"
#include "tools/tests/TestSupport.h"
#include "tools/vsthost/MidiFile.h"
#include "tools/vsthost/VstPlugin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <new>
#include <vector>

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void *allocate(std::size_t size)
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void *allocateNothrow(std::size_t size) noexcept
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}

} // namespace

// Every allocation of the process, the plug-in's included, comes through here.
void *operator new(std::size_t size) { return allocate(size); }
void *operator new[](std::size_t size) { return allocate(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept { return allocateNothrow(size); }
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept { return allocateNothrow(size); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }

using namespace engine;

namespace {

const char *pluginPath = QUORIX_PLUGIN;

class CountAllocations
{
public:
    CountAllocations()
    {
        allocations = 0;
        counting = true;
    }
    ~CountAllocations() { counting = false; }
    long count() const { return allocations.load(); }
};

// A plain melody channel playing the sine at unity gain, through set(localId, value).
template <typename Set> void sineChannel(Set set, int voiceLimit)
{
    set(local::On, 1.0f);
    set(local::Volume, 0.70710678f);
    set(local::Pan, 0.5f);
    set(local::VoiceLimit, float(voiceLimit) / 64.0f);
    set(local::Transpose, 0.5f);
    set(local::KeyRangeHigh, 1.0f);
    set(local::VelocityRangeHigh, 1.0f);
    set(local::PitchBendRange, 2.0f / 24.0f);
    set(local::OscWave, 1.0f / 16384.0f);
    set(local::OscSemitone, 0.5f);
    set(local::OscFinetone, 0.5f);
    set(local::OscSemitone + 1, 0.5f);
    set(local::OscFinetone + 1, 0.5f);
    set(local::FilterCutoff, 1.0f);
    set(local::FilterEnvAmount, 0.5f);
    set(local::FilterKeyTracking, 0.5f);
    set(local::AmpEnvelope + 2, 1.0f);
}

// A looped sine of 100 values at 44,000 Hz (440 Hz at its root key 69) in bank 0, wavetable 1
// of melody category 0, written where the plug-in's registry value "Path" points.
class PluginRoad : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        const std::string folder = qtest::testHome() + "/library/";
        writeSineLibraryWithPatches(folder);
        if (HasFatalFailure())
            return;
        KestraneVST registry;
        ASSERT_TRUE(registry.writeMachineRegistryString(podoStr("Path"), podoStr(folder.c_str())));
    }

    // The sine library and two one-channel patches of the sine in melodic category 0, which
    // program changes and the General MIDI reset recall.
    static void writeSineLibraryWithPatches(const std::string &folder)
    {
        qtest::writeSineLibrary(folder);
        if (HasFatalFailure())
            return;
        ChannelProgram channels[2] = {};
        PatchRecord patches[2] = {};
        for (int i = 0; i < 2; ++i) {
            banks::copyNameField(channels[i].name, i == 0 ? "Sine A" : "Sine B");
            channels[i].numValues = kChannelParameterCount;
            sineChannel([&](int localId, float value) { channels[i].values[localId - kFirstLocalId] = value; }, 16);
            banks::copyNameField(patches[i].name, channels[i].name);
            patches[i].numChannels = 1;
            patches[i].channels = &channels[i];
        }
        PatchCategory category{};
        category.number = 0;
        banks::copyNameField(category.name, "Test");
        category.numPatches = 2;
        category.patches = patches;
        ASSERT_TRUE(banks::writePatchFile(podoStr(folder.c_str()), category, 76));
    }

    void SetUp() override { ASSERT_TRUE(plugin.load(pluginPath)) << plugin.error(); }

    std::vector<uint8_t> chunk()
    {
        void *data = nullptr;
        const intptr_t size = plugin.dispatch(effGetChunk, 0, 0, &data);
        const auto *bytes = static_cast<const uint8_t *>(data);
        return std::vector<uint8_t>(bytes, bytes + size);
    }
    intptr_t setChunk(std::vector<uint8_t> &bytes)
    {
        return plugin.dispatch(effSetChunk, 0, intptr_t(bytes.size()), bytes.data());
    }
    static ProgramBlock &blockOf(std::vector<uint8_t> &bytes) { return *reinterpret_cast<ProgramBlock *>(bytes.data()); }
    intptr_t command(const char (&what)[5], float opt, void *ptr = nullptr)
    {
        return plugin.dispatch(effVendorSpecific, vstFourCC("host"), vstFourCC(what), ptr, opt);
    }

    qhost::VstPlugin plugin;
};

// A program with two plain melody channels playing the sine at unity gain; the second holds
// two voices.
void sineProgram(ProgramBlock &b)
{
    b.values[master::Volume] = 0.70710678f;
    b.values[master::Tune] = 0.5f;
    b.values[master::Transpose] = 0.5f;
    b.values[master::VoiceLimit] = 1.0f;
    b.tempo = 120.0f;
    // Whatever the default program holds: no channel, no modulation, equal temperament.
    for (int i = kMasterParameterCount; i < kParameterCount; ++i)
        b.values[i] = 0.0f;
    b.tuning.temperament = 0;
    for (int p = 0; p < 12; ++p)
        b.tuning.offsets[p] = 0;
    for (int c = 0; c < 2; ++c)
        sineChannel([&b, c](int localId, float value) { b.values[parameterIndex(c, localId)] = value; }, c == 0 ? 16 : 2);
}

TEST_F(PluginRoad, TheChunkGoesOutAndComesBackUnchangedInEitherByteOrder)
{
    std::vector<uint8_t> bytes = chunk();
    ASSERT_EQ(bytes.size(), size_t(kProgramBlockSize));
    EXPECT_EQ(bytes[0], 76);
    sineProgram(blockOf(bytes));
    ASSERT_EQ(setChunk(bytes), 1);
    const std::vector<uint8_t> saved = chunk();
    EXPECT_EQ(saved, bytes);

    std::vector<uint8_t> swapped = saved;
    swapped[0] = 66;
    swapProgramByteOrder(&blockOf(swapped), 1);
    swapped[0] = 66;
    command("SetV", 0.1f);
    ASSERT_EQ(setChunk(swapped), 1);
    EXPECT_EQ(chunk(), saved);

    std::vector<uint8_t> unknown = saved;
    unknown[0] = 'X';
    EXPECT_EQ(setChunk(unknown), 0);
    std::vector<uint8_t> shorter(saved.begin(), saved.end() - 4);
    EXPECT_EQ(setChunk(shorter), 0);
    EXPECT_EQ(chunk(), saved);
}

TEST_F(PluginRoad, HostCommandsChangeWhatTheChunkHolds)
{
    EXPECT_EQ(command("poly", 64.0f), 0);
    std::vector<uint8_t> bytes = chunk();
    EXPECT_FLOAT_EQ(+blockOf(bytes).values[master::VoiceLimit], 63.0f / 1023.0f);
    command("poly", 5000.0f);
    command("SetV", 0.3f);
    bytes = chunk();
    EXPECT_FLOAT_EQ(+blockOf(bytes).values[master::VoiceLimit], 1.0f);
    EXPECT_FLOAT_EQ(+blockOf(bytes).values[master::Volume], 0.3f);
    const char others[][5] = {"Dtct", "RAMs", "anof", "bMtO", "load", "free", "what"};
    for (const auto &other : others)
        EXPECT_EQ(command(other, 1.0f), 0) << other;
}

// The host's program, pin and suspend calls, through the dispatcher.
TEST_F(PluginRoad, TheHostNamesTheProgramReadsThePinsAndASuspendSilences)
{
    std::vector<uint8_t> bytes = chunk();
    sineProgram(blockOf(bytes));
    std::memcpy(blockOf(bytes).name, "Road", 5);
    ASSERT_EQ(setChunk(bytes), 1);
    char name[256] = "?";
    plugin.dispatch(effGetProgramName, 0, 0, name);
    EXPECT_STREQ(name, "Road");
    std::strcpy(name, "?");
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, 0, 0, name), 1);
    EXPECT_STREQ(name, "Road");
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, 1, 0, name), 0);
    EXPECT_STREQ(name, "");

    struct Pin {
        int32_t index;
        intptr_t answer;
        const char *label;
    };
    for (const Pin &pin : {Pin{0, 1, "Quorix main"}, Pin{1, 1, "Quorix main"}, Pin{2, 1, "Quorix sub"},
                           Pin{3, 1, "Quorix sub"}, Pin{4, 0, ""}}) {
        VstPinProperties properties{};
        EXPECT_EQ(plugin.dispatch(effGetOutputProperties, pin.index, 0, &properties), pin.answer) << pin.index;
        EXPECT_STREQ(properties.label, pin.label) << pin.index;
        EXPECT_EQ(properties.flags, pin.answer ? kVstPinIsActive | kVstPinIsStereo : 0) << pin.index;
    }

    // A held note sounds; suspending and resuming ends it, with no note-off.
    plugin.setSampleRate(44100.0);
    plugin.setBlockSize(256);
    plugin.dispatch(effMainsChanged, 0, 1);
    AEffect *e = plugin.effect();
    std::vector<float> left(256), right(256), subLeft(256), subRight(256);
    float *outputs[4] = {left.data(), right.data(), subLeft.data(), subRight.data()};
    auto loudest = [&] { return std::max(*std::max_element(left.begin(), left.end()), -*std::min_element(left.begin(), left.end())); };
    VstMidiEvent note{kVstMidiType, sizeof(VstMidiEvent), 0, 0, 0, 0, {char(0x90), 69, 100, 0}, 0, 0, 0, 0};
    char listBytes[sizeof(VstEvents) + sizeof(VstEvent *)] = {};
    auto *list = reinterpret_cast<VstEvents *>(listBytes);
    list->numEvents = 1;
    list->events[0] = reinterpret_cast<VstEvent *>(&note);
    plugin.dispatch(effProcessEvents, 0, 0, list);
    for (int block = 0; block < 20; ++block) // past the volumes' ramps from silence
        e->processReplacing(e, nullptr, outputs, 256);
    EXPECT_GT(loudest(), 0.1f);
    plugin.dispatch(effMainsChanged, 0, 0);
    plugin.dispatch(effMainsChanged, 0, 1);
    e->processReplacing(e, nullptr, outputs, 256);
    EXPECT_LT(loudest(), 1e-6f);
}

// The host's "free" releases every sample; a note started before they are back is silent, and the
// next resume reads them back from the library's files.
TEST_F(PluginRoad, SamplesFreedByTheHostComeBackAtTheNextResume)
{
    std::vector<uint8_t> bytes = chunk();
    sineProgram(blockOf(bytes));
    ASSERT_EQ(setChunk(bytes), 1);
    plugin.setSampleRate(44100.0);
    plugin.setBlockSize(256);
    plugin.dispatch(effMainsChanged, 0, 1);
    AEffect *e = plugin.effect();
    std::vector<float> left(256), right(256), subLeft(256), subRight(256);
    float *outputs[4] = {left.data(), right.data(), subLeft.data(), subRight.data()};
    // The loudest value of 20 blocks after a note-on (past the volumes' ramps), the note then let go.
    auto playNote = [&] {
        VstMidiEvent note{kVstMidiType, sizeof(VstMidiEvent), 0, 0, 0, 0, {char(0x90), 69, 100, 0}, 0, 0, 0, 0};
        char listBytes[sizeof(VstEvents) + sizeof(VstEvent *)] = {};
        auto *list = reinterpret_cast<VstEvents *>(listBytes);
        list->numEvents = 1;
        list->events[0] = reinterpret_cast<VstEvent *>(&note);
        plugin.dispatch(effProcessEvents, 0, 0, list);
        float loudest = 0.0f;
        for (int block = 0; block < 20; ++block) {
            e->processReplacing(e, nullptr, outputs, 256);
            for (float v : left)
                loudest = std::max(loudest, std::fabs(v));
        }
        note.midiData[0] = char(0x80);
        plugin.dispatch(effProcessEvents, 0, 0, list);
        e->processReplacing(e, nullptr, outputs, 256);
        return loudest;
    };
    EXPECT_GT(playNote(), 0.1f);
    command("free", 0.0f);
    EXPECT_LT(playNote(), 1e-6f) << "a note of the gap reads no freed data and stays silent";
    EXPECT_LT(playNote(), 1e-6f);
    plugin.dispatch(effMainsChanged, 0, 0);
    plugin.dispatch(effMainsChanged, 0, 1);
    EXPECT_GT(playNote(), 0.1f) << "the resume read the samples back";
    // A second "free" and resume do the same again.
    command("free", 0.0f);
    EXPECT_LT(playNote(), 1e-6f);
    plugin.dispatch(effMainsChanged, 0, 0);
    plugin.dispatch(effMainsChanged, 0, 1);
    EXPECT_GT(playNote(), 0.1f);
}

// Folders the system names with bytes that are not UTF-8 (Latin-1 here) are the folders used: the
// library beside the plug-in plays, and the user's files go into the home, not into a folder of
// another name beside it.
TEST_F(PluginRoad, APluginFolderAndAHomeNamedInLatin1AreTheFoldersUsed)
{
    qtest::TempDir dir;
    const std::string plugins = dir / "caf\xE9 plug-ins";
    const std::string home = dir / "h\xF4me";
    writeSineLibraryWithPatches(plugins + "/");
    ASSERT_FALSE(HasFatalFailure());
    std::filesystem::copy_file(pluginPath, plugins + "/Quorix.so");
    std::filesystem::create_directories(home);
    qhost::MidiFileWriter song(1, 480);
    song.beginTrack();
    song.tempo(0, 120.0);
    song.channel(0, 0xC0, 0);
    song.channel(0, 0x90, 69, 100);
    song.channel(960, 0x80, 69, 0);
    song.endTrack(960);
    ASSERT_TRUE(song.save(dir / "song.mid"));

    // No registry value names a folder: the plug-in's own folder holds the library, the home the rest.
    const auto r = qtest::run({QUORIX_HOST_EXE, "-q", plugins + "/Quorix.so", dir / "song.mid", dir / "out.wav"},
                              {"HOME=" + home, "XDG_CONFIG_HOME=", "XDG_DOCUMENTS_DIR=", "QUORIX_REGISTRY=",
                               "QUORIX_REGISTRY_SYSTEM=" + (dir / "system")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const qtest::Wav out = qtest::readWav(dir / "out.wav");
    ASSERT_TRUE(out.ok);
    float loudest = 0.0f;
    for (float v : out.left)
        loudest = std::max(loudest, std::fabs(v));
    EXPECT_GT(loudest, 0.1f) << "the library beside the plug-in plays";

    bool configuration = false;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(dir.path())) {
        const std::string path = entry.path().string();
        EXPECT_TRUE(path.rfind(plugins, 0) == 0 || path.rfind(home, 0) == 0 || path == dir / "song.mid" ||
                    path == dir / "out.wav")
            << "outside the folders given: " << path;
        configuration |= path.rfind(home, 0) == 0 && entry.path().filename() == "Quorix.con";
    }
    EXPECT_TRUE(configuration) << "the configuration is saved inside the home";
}

// A note through the host's own calls: events, then processing; measured and counted.
TEST_F(PluginRoad, ANoteSoundsAtItsPitchAndTheRenderNeverAllocates)
{
    std::vector<uint8_t> bytes = chunk();
    sineProgram(blockOf(bytes));
    ASSERT_EQ(setChunk(bytes), 1);
    const float rate = 48000.0f;
    plugin.setSampleRate(rate);
    plugin.setBlockSize(256);
    plugin.dispatch(effMainsChanged, 0, 1);
    AEffect *e = plugin.effect();

    const size_t frames = 48000;
    std::vector<float> left(frames), right(frames), subLeft(256), subRight(256);
    VstMidiEvent notes[40] = {};
    char listBytes[sizeof(VstEvents) + 40 * sizeof(VstEvent *)] = {};
    auto *list = reinterpret_cast<VstEvents *>(listBytes);
    static const uint8_t others[][3] = {
        {0xE1, 0, 100},   {0xB1, 64, 127}, {0xB1, 66, 127}, {0xB1, 64, 0},   {0xB1, 66, 0},  {0xA1, 50, 60},
        {0xD1, 70, 0},    {0xB1, 101, 0},  {0xB1, 100, 0},  {0xB1, 6, 12},   {0xB1, 38, 0},  {0xB1, 99, 1},
        {0xB1, 98, 32},   {0xB1, 6, 64},   {0xB1, 1, 100},  {0xB1, 10, 20},  {0xB1, 11, 90}, {0xB1, 121, 0},
        {0xB1, 126, 0},   {0xB1, 127, 0},  {0xB1, 120, 0},  {0xB1, 123, 0},  {0xF8, 0, 0},   {0x21, 5, 5},
    };
    long counted = 0;
    for (size_t done = 0; done < left.size(); done += 256) {
        const int32_t n = int32_t(std::min<size_t>(256, left.size() - done));
        // The note at the start; then, in the first blocks, chords that steal voices and
        // controllers, at offsets inside the block.
        list->numEvents = 0;
        if (done == 0) {
            notes[0] = VstMidiEvent{kVstMidiType, sizeof(VstMidiEvent), 0, 0, 0, 0, {char(0x90), 69, 100, 0}, 0, 0, 0, 0};
            list->events[list->numEvents++] = reinterpret_cast<VstEvent *>(&notes[0]);
        } else if (done < 256 * 20) {
            for (int i = 0; i < 8; ++i) {
                const char status = char(i < 6 ? 0x91 : 0xB1);
                notes[i] = VstMidiEvent{kVstMidiType, sizeof(VstMidiEvent), int32_t(i * 30), 0, 0, 0,
                                        {status, char(i < 6 ? 40 + (done / 256 + i) % 40 : 7), char(90), 0}, 0, 0, 0, 0};
                list->events[list->numEvents++] = reinterpret_cast<VstEvent *>(&notes[i]);
            }
        } else if (done < 256 * (20 + std::size(others))) {
            // Then every other kind of channel message, one a block, between notes of channel 2.
            const uint8_t *m = others[done / 256 - 20];
            notes[0] = VstMidiEvent{kVstMidiType, sizeof(VstMidiEvent), 10, 0, 0, 0, {char(0x91), 50, 90, 0}, 0, 0, 0, 0};
            notes[1] = VstMidiEvent{kVstMidiType, sizeof(VstMidiEvent), 100, 0, 0, 0, {char(m[0]), char(m[1]), char(m[2]), 0}, 0, 0, 0, 0};
            notes[2] = VstMidiEvent{kVstMidiType, sizeof(VstMidiEvent), 200, 0, 0, 0, {char(0x81), 50, 0, 0}, 0, 0, 0, 0};
            for (int i = 0; i < 3; ++i)
                list->events[list->numEvents++] = reinterpret_cast<VstEvent *>(&notes[i]);
        }
        float *outputs[4] = {left.data() + done, right.data() + done, subLeft.data(), subRight.data()};
        CountAllocations scope;
        if (list->numEvents)
            plugin.dispatch(effProcessEvents, 0, 0, list);
        e->processReplacing(e, nullptr, outputs, n);
        counted += scope.count();
    }
    EXPECT_EQ(counted, 0);
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = size_t(rate / 2); i < left.size(); ++i)
        if (left[i - 1] < 0.0f && left[i] >= 0.0f) {
            const double t = double(i - 1) + double(-left[i - 1]) / double(left[i] - left[i - 1]);
            if (first < 0)
                first = t;
            last = t;
            ++crossings;
        }
    ASSERT_GT(crossings, 100);
    const double frequency = (crossings - 1) * rate / (last - first);
    EXPECT_NEAR(1200.0 * std::log2(frequency / 440.0), 0.0, 1.0);
    for (float v : left)
        ASSERT_TRUE(std::isfinite(v) && std::fpclassify(v) != FP_SUBNORMAL);

    // Program changes and the General MIDI reset recall patches and name the program and the
    // channels inside the render, and still allocate nothing.
    static char gmOn[] = {char(0xF0), 0x7E, 0x7F, 0x09, 0x01, char(0xF7)};
    VstMidiSysexEvent reset{kVstSysExType, sizeof(VstMidiSysexEvent), 30, 0, int32_t(sizeof gmOn), 0, gmOn, 0};
    notes[0] = VstMidiEvent{kVstMidiType, sizeof(VstMidiEvent), 10, 0, 0, 0, {char(0xC1), 1, 0, 0}, 0, 0, 0, 0};
    notes[1] = VstMidiEvent{kVstMidiType, sizeof(VstMidiEvent), 20, 0, 0, 0, {char(0xC2), 0, 0, 0}, 0, 0, 0, 0};
    notes[2] = VstMidiEvent{kVstMidiType, sizeof(VstMidiEvent), 40, 0, 0, 0, {char(0x90), 60, 100, 0}, 0, 0, 0, 0};
    VstEvent *batch[] = {reinterpret_cast<VstEvent *>(&notes[0]), reinterpret_cast<VstEvent *>(&notes[1]),
                         reinterpret_cast<VstEvent *>(&reset), reinterpret_cast<VstEvent *>(&notes[2])};
    list->numEvents = int32_t(std::size(batch));
    std::memcpy(list->events, batch, sizeof batch);
    {
        CountAllocations scope;
        plugin.dispatch(effProcessEvents, 0, 0, list);
        float *outputs[4] = {left.data(), right.data(), subLeft.data(), subRight.data()};
        for (int block = 0; block < 4; ++block)
            e->processReplacing(e, nullptr, outputs, 256);
        EXPECT_EQ(scope.count(), 0);
    }
    char name[256] = {};
    plugin.dispatch(effGetProgramName, 0, 0, name);
    EXPECT_STREQ(name, "GM Default");
    void *data = nullptr;
    plugin.dispatch(effGetChunk, 0, 0, &data);
    EXPECT_STREQ(static_cast<const ProgramBlock *>(data)->channels[1].name, "Sine A") << "the reset recalled patch 0";

    // The counter sees the plug-in's own allocations: building an instance allocates.
    {
        CountAllocations scope;
        qhost::VstPlugin second;
        ASSERT_TRUE(second.load(pluginPath));
        EXPECT_GT(scope.count(), 0);
    }
}

// Channel 10 (index 9) as a kit: every key plays the sine; keys spread over the three buses
// (a delay on insert 1, a reverb on insert 2), the sends, reversed reads, held and mute-grouped
// keys; both system effects on.
void drumProgram(ProgramBlock &b)
{
    sineProgram(b);
    auto at = [&b](int localId, float value) { b.values[parameterIndex(9, localId)] = value; };
    b.values[master::InsertEffectsOn] = 1.0f;
    b.values[master::ChorusOn] = 1.0f;
    b.values[master::ReverbOn] = 1.0f;
    at(local::Mode, 1.0f);
    at(local::On, 1.0f);
    at(local::Volume, 0.70710678f);
    at(local::Pan, 0.5f);
    at(local::VoiceLimit, 0.25f);
    at(local::Transpose, 0.5f);
    at(local::ChorusSend, 0.5f);
    at(local::ReverbSend, 0.5f);
    at(local::InsertType, 26.0f / 33.0f);
    at(local::InsertOn, 1.0f);
    at(local::InsertType + 1, 31.0f / 33.0f);
    at(local::InsertOn + 1, 1.0f);
    at(local::KitKeyRangeHigh, 1.0f);
    for (int k = 0; k < kDrumKeys; ++k) {
        auto key = [&](int base, float value) { at(base + 17 * k, value); };
        key(local::DrumWave, 1.0f / 16384.0f);
        key(local::DrumReverse, k % 5 == 0 ? 1.0f : 0.0f);
        key(local::DrumSemitone, float(48 + k % 13 - 6) / 96.0f);
        key(local::DrumFinetone, 0.5f);
        key(local::DrumFilterCutoff, 0.4f + 0.6f * float(k % 4) / 3.0f);
        key(local::DrumFilterResonance, float(k % 3) / 2.0f);
        key(local::DrumFilterVelocityAmount, 0.5f);
        key(local::DrumVolume, 0.7f);
        key(local::DrumPan, float(k % 7) / 6.0f);
        key(local::DrumAttack, k % 2 ? 0.0f : 0.1f);
        key(local::DrumRelease, 0.3f);
        key(local::DrumHold, k % 3 == 0 ? 1.0f : 0.0f);
        key(local::DrumAmpEnvVelocityAmount, 0.5f);
        key(local::DrumMuteGroup, k >= 18 && k <= 22 ? 0.5f : 0.0f); // the hi-hats
        key(local::DrumInsertBus, float(k % 3) / 2.0f);
        key(local::DrumChorusSend, 0.5f);
        key(local::DrumReverbSend, 0.7f);
    }
}

TEST_F(PluginRoad, ADrumKitPlaysThroughItsEffectsAndTheRenderNeverAllocates)
{
    std::vector<uint8_t> bytes = chunk();
    drumProgram(blockOf(bytes));
    ASSERT_EQ(setChunk(bytes), 1);
    plugin.setSampleRate(44100.0f);
    plugin.setBlockSize(256);
    plugin.dispatch(effMainsChanged, 0, 1);
    AEffect *e = plugin.effect();

    const size_t frames = 44100;
    std::vector<float> left(frames), right(frames), subLeft(256), subRight(256);
    VstMidiEvent events[8] = {};
    char listBytes[sizeof(VstEvents) + 8 * sizeof(VstEvent *)] = {};
    auto *list = reinterpret_cast<VstEvents *>(listBytes);
    long counted = 0;
    for (size_t done = 0, block = 0; done < frames; done += 256, ++block) {
        const int32_t n = int32_t(std::min<size_t>(256, frames - done));
        // Through the first 0.7 s a pattern of hits over the whole kit, with releases and pan
        // moves, at offsets inside the block.
        list->numEvents = 0;
        if (done < 30000) {
            for (int i = 0; i < 4; ++i) {
                const char key = char(24 + (block * 7 + size_t(i) * 17) % 65);
                const char status = char(i == 3 ? 0x89 : 0x99);
                events[i] = VstMidiEvent{kVstMidiType, sizeof(VstMidiEvent), i * 60, 0, 0, 0,
                                         {status, key, char(40 + i * 25), 0}, 0, 0, 0, 0};
                list->events[list->numEvents++] = reinterpret_cast<VstEvent *>(&events[i]);
            }
            events[4] = VstMidiEvent{kVstMidiType, sizeof(VstMidiEvent), 200, 0, 0, 0,
                                     {char(0xB9), 10, char(block * 13 % 128), 0}, 0, 0, 0, 0};
            list->events[list->numEvents++] = reinterpret_cast<VstEvent *>(&events[4]);
        }
        float *outputs[4] = {left.data() + done, right.data() + done, subLeft.data(), subRight.data()};
        CountAllocations scope;
        if (list->numEvents)
            plugin.dispatch(effProcessEvents, 0, 0, list);
        e->processReplacing(e, nullptr, outputs, n);
        // New insert effects take their buffers with the rate at their first sub-block.
        if (block > 0)
            counted += scope.count();
    }
    EXPECT_EQ(counted, 0);
    float loudest = 0.0f;
    for (size_t i = 0; i < frames; ++i) {
        ASSERT_TRUE(std::isfinite(left[i]) && std::fpclassify(left[i]) != FP_SUBNORMAL) << i;
        ASSERT_TRUE(std::isfinite(right[i]) && std::fpclassify(right[i]) != FP_SUBNORMAL) << i;
        loudest = std::max({loudest, std::fabs(left[i]), std::fabs(right[i])});
    }
    EXPECT_GT(loudest, 0.05f);
}

// The pattern players inside the render: an arpeggiator over six octaves in random order on
// channel 0 and a sequencer lane of 64 steps on channel 1, first with the host playing, then with
// its transport stopped. Nothing is allocated, and what comes out is clean and not silent.
TEST_F(PluginRoad, PatternPlayersRenderWithoutAllocating)
{
    std::vector<uint8_t> bytes = chunk();
    ProgramBlock &b = blockOf(bytes);
    sineProgram(b);
    b.useHostTempo = 1;
    auto at = [&b](int channel, int localId, float value) { b.values[parameterIndex(channel, localId)] = value; };
    at(0, local::ArpOn, 1.0f);
    at(0, local::ArpRate, 11.0f / 17.0f);
    at(0, local::ArpGateTime, 0.5f);
    at(0, local::ArpPattern, 1.0f);
    at(0, local::ArpOctave, 1.0f);
    at(1, local::SeqOn, 1.0f);
    at(1, local::SeqRate, 5.0f / 7.0f);
    at(1, local::SeqLength, 1.0f);
    at(1, local::SeqSwing, 0.5f);
    at(1, local::SeqRootPitch, 1.0f);
    at(1, local::LaneOn, 1.0f);
    at(1, local::LaneBase, 128.0f / 132.0f);
    for (int s = 0; s < 64; ++s) {
        at(1, local::FirstLane + 2 * s, (s % 12 + 48) / 100.0f);
        at(1, local::FirstLane + 2 * s + 1, 1.0f);
    }
    ASSERT_EQ(setChunk(bytes), 1);
    const float rate = 44100.0f;
    plugin.setSampleRate(rate);
    plugin.setBlockSize(256);
    plugin.dispatch(effMainsChanged, 0, 1);
    AEffect *e = plugin.effect();

    const size_t frames = 44100, half = frames / 2;
    std::vector<float> left(frames), right(frames), subLeft(256), subRight(256);
    VstMidiEvent notes[4] = {};
    char listBytes[sizeof(VstEvents) + 4 * sizeof(VstEvent *)] = {};
    auto *list = reinterpret_cast<VstEvents *>(listBytes);
    long counted = 0;
    for (size_t done = 0; done < frames; done += 256) {
        const int32_t n = int32_t(std::min<size_t>(256, frames - done));
        VstTimeInfo &t = plugin.timeInfo();
        t.tempo = 132.0;
        t.ppqPos = done * 132.0 / 60.0 / rate;
        t.flags = kVstTempoValid | kVstPpqPosValid | (done < half ? kVstTransportPlaying : 0);
        list->numEvents = 0;
        if (done == 0)
            for (int i = 0; i < 4; ++i) {
                notes[i] = VstMidiEvent{kVstMidiType, sizeof(VstMidiEvent), 10 * i, 0, 0, 0,
                                        {char(i < 3 ? 0x90 : 0x91), char(60 + 4 * i), 100, 0}, 0, 0, 0, 0};
                list->events[list->numEvents++] = reinterpret_cast<VstEvent *>(&notes[i]);
            }
        float *outputs[4] = {left.data() + done, right.data() + done, subLeft.data(), subRight.data()};
        CountAllocations scope;
        if (list->numEvents)
            plugin.dispatch(effProcessEvents, 0, 0, list);
        e->processReplacing(e, nullptr, outputs, n);
        counted += scope.count();
    }
    EXPECT_EQ(counted, 0);
    for (float v : left)
        ASSERT_TRUE(std::isfinite(v) && std::fpclassify(v) != FP_SUBNORMAL);
    float early = 0.0f, late = 0.0f;
    for (size_t i = 0; i < frames; ++i)
        (i < half ? early : late) = std::max(i < half ? early : late, std::fabs(left[i]));
    EXPECT_GT(early, 0.05f);
    EXPECT_GT(late, 0.05f);
}

} // namespace
