// The built plug-in module, loaded by our own host the way a real host loads it.
#include "host/tests/TestHome.h"
#include "tools/tests/TestSupport.h"
#include "tools/vsthost/MidiFile.h"
#include "tools/vsthost/Renderer.h"
#include "tools/vsthost/VstPlugin.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace plugin_test {

namespace {

const std::string pluginPath = QUORIX_PLUGIN;
const std::string hostExe = QUORIX_HOST_EXE;

int versionAsked = 0;
intptr_t hostWithoutVersion(AEffect *, int32_t opcode, int32_t, intptr_t, void *, float)
{
    if (opcode == audioMasterVersion)
        ++versionAsked;
    return 0; // a host from before version 2
}

using Entry = AEffect *(*)(audioMasterCallback);

} // namespace

TEST(Plugin, ExportsOnlyItsTwoEntryPoints)
{
    auto r = qtest::run({"/usr/bin/nm", "-D", "--defined-only", pluginPath});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::set<std::string> names;
    std::istringstream lines(r.out);
    for (std::string address, kind, name; lines >> address >> kind >> name;)
        names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main"}));
}

TEST(Plugin, EntryRefusesAMissingOrPreVersionTwoHost)
{
    void *module = dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    for (const char *name : {"VSTPluginMain", "main"}) {
        SCOPED_TRACE(name);
        auto entry = reinterpret_cast<Entry>(dlsym(module, name));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry(nullptr), nullptr);
        versionAsked = 0;
        EXPECT_EQ(entry(hostWithoutVersion), nullptr);
        EXPECT_EQ(versionAsked, 1);
    }
    dlclose(module);
}

TEST(Plugin, AnswersTheHostLikeTheInstrumentItIs)
{
    qhost::VstPlugin plugin;
    ASSERT_TRUE(plugin.load(pluginPath, false)) << plugin.error();
    AEffect *e = plugin.effect();
    EXPECT_EQ(e->flags, 0x130) << "replacing, chunks, synthesizer; no editor before open";
    plugin.dispatch(effOpen);
    EXPECT_EQ(e->uniqueID, vstFourCC("ZQRV"));
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->numInputs, 0);
    EXPECT_EQ(e->numOutputs, 4);
    EXPECT_EQ(e->numParams, 128);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_FLOAT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(plugin.effectName(), "Quorix");
    EXPECT_EQ(plugin.vendorString(), "Kestrane");
    EXPECT_EQ(plugin.productString(), "Quorix");
    EXPECT_EQ(plugin.dispatch(effGetVendorVersion), 1461);
    EXPECT_EQ(plugin.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(plugin.dispatch(effGetPlugCategory), kPlugCategSynth);
    EXPECT_EQ(plugin.canDo("receiveVstMidiEvent"), 1);
    EXPECT_EQ(plugin.canDo("offline"), -1);
    const char *labels[] = {"Quorix main", "Quorix main", "Quorix sub", "Quorix sub"};
    for (int32_t i = 0; i < 5; ++i) {
        VstPinProperties pin{};
        bool answered = plugin.dispatch(effGetOutputProperties, i, 0, &pin) != 0;
        EXPECT_EQ(answered, i < 4) << i;
        if (i < 4) {
            EXPECT_STREQ(pin.label, labels[i]);
            EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
        }
    }
    for (int32_t i : {0, 127, 128, -1}) {
        std::string display = plugin.parameterDisplay(i);
        EXPECT_LT(display.size(), 64u);
        if (i == 0) {
            EXPECT_EQ(display, "") << "a slot without a parameter shows no value";
        }
    }
    e->setParameter(e, 200, 1.0f);
    EXPECT_EQ(e->getParameter(e, 200), 0.0f);
    // The record's accumulating and 64-bit entries do nothing: the buffers keep what the host put there.
    std::vector<float> buffer(32, 0.5f);
    float *outs[4] = {buffer.data(), buffer.data(), buffer.data(), buffer.data()};
    e->process(e, nullptr, outs, 32);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](float v) { return v == 0.5f; }));
    std::vector<double> wide(32, 0.5);
    double *wideOuts[4] = {wide.data(), wide.data(), wide.data(), wide.data()};
    e->processDoubleReplacing(e, nullptr, wideOuts, 32);
    EXPECT_TRUE(std::all_of(wide.begin(), wide.end(), [](double v) { return v == 0.5; }));
}

TEST(Plugin, RendersTheDemoSongThroughOurHost)
{
    qhost::VstPlugin plugin;
    ASSERT_TRUE(plugin.load(pluginPath)) << plugin.error();
    qhost::MidiSong song;
    ASSERT_TRUE(song.load(QUORIX_DEMO_SONG)) << song.error();
    struct Sink : qhost::AudioSink {
        int64_t frames = 0, nonZero = 0;
        bool write(const float *const *c, int32_t n) override
        {
            for (int ch = 0; ch < 4; ++ch)
                for (int32_t i = 0; i < n; ++i)
                    nonZero += std::fabs(c[ch][i]) > 1e-9f; // above the render's anti-denormal floor
            frames += n;
            return true;
        }
    } sink;
    qhost::RenderOptions options;
    options.sampleRate = 48000;
    options.blockSize = 333;
    auto report = qhost::renderSong(plugin, song, options, sink);
    EXPECT_GT(report.eventsSent, 1000);
    EXPECT_EQ(report.nonFiniteSamples, 0);
    EXPECT_EQ(sink.frames, report.frames);
    // The release build makes the factory library beside the plug-in; the sanitized one plays
    // without a library, which must be silence rather than noise.
    const bool library = std::filesystem::exists(std::filesystem::path(pluginPath).parent_path() /
                                                 ".factory-library.made");
    if (library)
        EXPECT_GT(sink.nonZero, report.frames) << "the demo song sounds";
    else
        EXPECT_EQ(sink.nonZero, 0) << "without a sound library the instrument plays silence";
    EXPECT_TRUE(plugin.wantsMidi()) << "an instrument asks for MIDI when resumed";
    EXPECT_TRUE(plugin.unknownOpcodes().empty());

    // And through the command line, both pairs.
    qtest::TempDir dir;
    auto r = qtest::run({hostExe, "-q", "-r", "96000", "-b", "64", "-s", dir / "sub.wav", pluginPath,
                         QUORIX_DEMO_SONG, dir / "main.wav"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Quiet in a host's console: nothing on stdout, and the plug-in's own lines (its banner, a
    // first start's missing files, the library's release) go to its log file only.
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    auto main = qtest::readWav(dir / "main.wav");
    auto sub = qtest::readWav(dir / "sub.wav");
    ASSERT_TRUE(main.ok && sub.ok);
    EXPECT_EQ(main.rate, 96000);
    long expected = std::lround(song.secondsAt(song.lastTick()) * 96000) + 2 * 96000;
    EXPECT_EQ(long(main.left.size()), expected);
    EXPECT_EQ(sub.left.size(), main.left.size());
}

// The debugger's lines come back when asked for.
TEST(Plugin, SpeaksToTheConsoleOnlyWhenAsked)
{
    auto r = qtest::run({hostExe, "-q", "--info", pluginPath}, {"QUORIX_DEBUG=1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Kestrane:Quorix: instance #1"), std::string::npos) << r.err;
}

} // namespace plugin_test
