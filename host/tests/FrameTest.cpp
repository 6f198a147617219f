// The plug-in frame driven directly, with a scripted host callback and an instrument that records
// what reaches its hooks.
#include "editor-framework/podoVSTEditor.h"
#include "foundation/podoLog.h"
#include "host/podoVST.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

// The host side: answers what the frame asks and remembers what it was asked.
struct FakeHost {
    VstTimeInfo time{};
    bool giveTime = true;
    int32_t lastTimeFilter = -1;
    int wantMidiCalls = 0;
    std::vector<int32_t> opcodes;
};
FakeHost *host = nullptr;

intptr_t hostCallback(AEffect *, int32_t opcode, int32_t, intptr_t value, void *, float)
{
    host->opcodes.push_back(opcode);
    switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterWantMidi: ++host->wantMidiCalls; return 1;
    case audioMasterGetTime:
        host->lastTimeFilter = int32_t(value);
        return host->giveTime ? reinterpret_cast<intptr_t>(&host->time) : 0;
    default: return 0;
    }
}

struct SeenEvent {
    int32_t delta;
    std::vector<uint8_t> bytes; // MIDI bytes, or the whole System Exclusive dump
};

class RecordingInstrument : public podoVSTInstrument
{
public:
    explicit RecordingInstrument(audioMasterCallback cb = hostCallback) : podoVSTInstrument(cb, 1, 128) {}

    void onProcessReplacing(float **, float **outputs, int32_t frames) override
    {
        ++processCalls;
        seen.clear();
        if (pendingEvents)
            for (int32_t i = 0; i < pendingEvents->numEvents; ++i) {
                VstEvent *e = pendingEvents->events[i];
                SeenEvent s{e->deltaFrames, {}};
                if (e->type == kVstSysExType) {
                    auto *x = reinterpret_cast<VstMidiSysexEvent *>(e);
                    s.bytes.assign(x->sysexDump, x->sysexDump + x->dumpBytes);
                } else {
                    auto *m = reinterpret_cast<VstMidiEvent *>(e);
                    s.bytes.assign(m->midiData, m->midiData + 3);
                }
                seen.push_back(s);
            }
        for (int c = 0; c < 4; ++c)
            for (int32_t i = 0; i < frames; ++i)
                outputs[c][i] = 0.25f;
        tempo = hostTempo;
        position = hostPosition;
        playing = hostPlaying;
        signature[0] = hostTimeSignature[0];
        signature[1] = hostTimeSignature[1];
    }
    void onProcessAccumulating(float **, float **, int32_t) override { ++processCalls; }
    void onSuspend() override { ++suspends; }
    void onResume() override { ++resumes; }
    void onSetSampleRate(float) override { ++rateCalls; }
    int64_t onVendorSpecific(int32_t, int32_t, void *, float) override { return vendorAnswer; }
    bool hostParameterText(int32_t index, float value, podoStr &text) override
    {
        if (longText)
            text = std::string(100, 'x').c_str();
        else
            text.format("slot %d = %.2f", index, double(value));
        return true;
    }
    void processAccumulatingForTest(float **in, float **out, int32_t n) { processAccumulating(in, out, n); }
    void deleteEditorForTest() { deleteEditor(); }

    int processCalls = 0, suspends = 0, resumes = 0, rateCalls = 0;
    int64_t vendorAnswer = 0;
    bool longText = false;
    std::vector<SeenEvent> seen;
    double tempo = -1, position = -1;
    bool playing = false;
    int32_t signature[2] = {0, 0};
};

// Output buffers for one call, filled with a marker value.
struct Outputs {
    std::vector<float> data[4];
    float *ptrs[4];
    explicit Outputs(int32_t frames, float fill = 1.0f)
    {
        for (int c = 0; c < 4; ++c) {
            data[c].assign(size_t(frames), fill);
            ptrs[c] = data[c].data();
        }
    }
    bool all(float value) const
    {
        for (const auto &d : data)
            for (float v : d)
                if (v != value)
                    return false;
        return true;
    }
};

VstMidiEvent midi(int32_t delta, uint8_t status, uint8_t d1, uint8_t d2)
{
    VstMidiEvent m{};
    m.type = kVstMidiType;
    m.byteSize = sizeof m;
    m.deltaFrames = delta;
    m.midiData[0] = char(status);
    m.midiData[1] = char(d1);
    m.midiData[2] = char(d2);
    return m;
}

// A host-owned event list.
struct HostList {
    std::vector<VstEvent *> pointers;
    std::vector<char> storage;
    VstEvents *list()
    {
        storage.assign(sizeof(VstEvents) + pointers.size() * sizeof(VstEvent *), 0);
        auto *l = reinterpret_cast<VstEvents *>(storage.data());
        l->numEvents = int32_t(pointers.size());
        for (size_t i = 0; i < pointers.size(); ++i)
            l->events[i] = pointers[i];
        return l;
    }
};

class Frame : public ::testing::Test
{
protected:
    void SetUp() override { host = &fake; }
    void TearDown() override { host = nullptr; }
    FakeHost fake;
};

} // namespace

TEST_F(Frame, EveryEventListOfACycleReachesTheNextProcessCallInTimeOrder)
{
    RecordingInstrument plug;
    plug.resume();
    VstMidiEvent a = midi(10, 0x90, 60, 100), b = midi(5, 0x91, 61, 90), c = midi(30, 0x92, 62, 80);
    std::vector<char> dump = {char(0xF0), 0x41, 0x10, 0x42, 0x12, char(0xF7)};
    VstMidiSysexEvent sysex{};
    sysex.type = kVstSysExType;
    sysex.byteSize = sizeof sysex;
    sysex.deltaFrames = 30;
    sysex.dumpBytes = int32_t(dump.size());
    sysex.sysexDump = dump.data();

    HostList first, second;
    first.pointers = {reinterpret_cast<VstEvent *>(&a), reinterpret_cast<VstEvent *>(&sysex)};
    second.pointers = {reinterpret_cast<VstEvent *>(&b), reinterpret_cast<VstEvent *>(&c)};
    plug.dispatcher(effProcessEvents, 0, 0, first.list(), 0.0f);
    plug.dispatcher(effProcessEvents, 0, 0, second.list(), 0.0f);
    // The host may reuse its memory once it has handed the lists over.
    a = midi(0, 0x80, 0, 0);
    std::fill(dump.begin(), dump.end(), char(0x55));
    first.storage.assign(first.storage.size(), 0);

    Outputs out(64);
    plug.processReplacing(nullptr, out.ptrs, 64);
    ASSERT_EQ(plug.seen.size(), 4u);
    EXPECT_EQ(plug.seen[0].delta, 5);
    EXPECT_EQ(plug.seen[0].bytes[0], 0x91);
    EXPECT_EQ(plug.seen[1].delta, 10);
    EXPECT_EQ(plug.seen[1].bytes[0], 0x90);
    EXPECT_EQ(plug.seen[2].delta, 30); // equal offsets keep their arrival order
    EXPECT_EQ(plug.seen[2].bytes, (std::vector<uint8_t>{0xF0, 0x41, 0x10, 0x42, 0x12, 0xF7}));
    EXPECT_EQ(plug.seen[3].bytes[0], 0x92);

    plug.processReplacing(nullptr, out.ptrs, 64);
    EXPECT_TRUE(plug.seen.empty()) << "a list is used by exactly one processing call";
}

TEST_F(Frame, SuspendAndResumeDropTheHostsPendingList)
{
    RecordingInstrument plug;
    VstMidiEvent note = midi(0, 0x90, 60, 100);
    HostList list;
    list.pointers = {reinterpret_cast<VstEvent *>(&note)};
    Outputs out(16);

    plug.dispatcher(effProcessEvents, 0, 0, list.list(), 0.0f); // while suspended: kept nowhere
    plug.resume();
    plug.processReplacing(nullptr, out.ptrs, 16);
    EXPECT_TRUE(plug.seen.empty());

    for (bool viaSuspend : {true, false}) {
        SCOPED_TRACE(viaSuspend ? "suspend, then resume" : "resume while running");
        plug.dispatcher(effProcessEvents, 0, 0, list.list(), 0.0f);
        if (viaSuspend) {
            plug.suspend();
            plug.resume();
        } else {
            plug.suspend();
            plug.dispatcher(effProcessEvents, 0, 0, list.list(), 0.0f);
            plug.resume();
        }
        plug.processReplacing(nullptr, out.ptrs, 16);
        EXPECT_TRUE(plug.seen.empty());
    }
    plug.dispatcher(effProcessEvents, 0, 0, list.list(), 0.0f);
    plug.processReplacing(nullptr, out.ptrs, 16);
    EXPECT_EQ(plug.seen.size(), 1u) << "after resume the next list reaches the next call";
}

TEST_F(Frame, AFullQueueDropsTheOverflowAndCountsIt)
{
    RecordingInstrument plug;
    plug.resume();
    std::vector<VstMidiEvent> notes(size_t(podoVST::eventQueueCapacity) + 3, midi(1, 0x90, 60, 100));
    std::vector<char> bigDump(size_t(podoVST::sysexPoolBytes) + 1, 0x10);
    VstMidiSysexEvent big{};
    big.type = kVstSysExType;
    big.dumpBytes = int32_t(bigDump.size());
    big.sysexDump = bigDump.data();
    HostList list;
    list.pointers.push_back(reinterpret_cast<VstEvent *>(&big));
    for (auto &n : notes)
        list.pointers.push_back(reinterpret_cast<VstEvent *>(&n));
    plug.dispatcher(effProcessEvents, 0, 0, list.list(), 0.0f);
    Outputs out(16);
    plug.processReplacing(nullptr, out.ptrs, 16);
    EXPECT_EQ(plug.seen.size(), size_t(podoVST::eventQueueCapacity));
    EXPECT_EQ(plug.getDroppedEventCount(), 3);
    EXPECT_EQ(plug.getDroppedSysexCount(), 1);

    // The audio thread only counts; the editor's idle writes each kind's line once.
    static std::vector<std::string> lines;
    lines.clear();
    const podo::DebugSink previous = podo::setDebugSink([](const char16_t *piece) { lines.emplace_back(podoStr(piece).getNarrow()); });
    plug.onEditorIdle();
    plug.onEditorIdle();
    podo::setDebugSink(previous);
    auto count = [](const char *text) {
        return std::count_if(lines.begin(), lines.end(), [&](const std::string &l) { return l.find(text) != std::string::npos; });
    };
    EXPECT_EQ(count("3 MIDI events dropped"), 1);
    EXPECT_EQ(count("1 System Exclusive messages dropped: more than 65536 bytes"), 1);
}

// A burst past the queue's size gives up controllers first, then note-ons; what stops a note
// (note-off, note-on at velocity 0, controllers 120 and 123) always gets in, in time order.
TEST_F(Frame, AFullQueueKeepsWhatStopsNotesAndDropsControllersBeforeNoteOns)
{
    RecordingInstrument plug;
    plug.resume();
    const int32_t capacity = podoVST::eventQueueCapacity;
    const int32_t controllers = 100;
    std::vector<VstMidiEvent> events;
    for (int32_t i = 0; i < capacity - controllers; ++i)
        events.push_back(midi(1, 0x90, uint8_t(i % 128), 100));
    for (int32_t i = 0; i < controllers; ++i)
        events.push_back(midi(1, 0xB0, 7, uint8_t(i)));
    // Past the end: stops (more than the controllers there are), then a note-on and a controller.
    const VstMidiEvent stops[] = {midi(2, 0x80, 60, 0), midi(2, 0x90, 61, 0), midi(2, 0xB0, 120, 0),
                                  midi(2, 0xB3, 123, 0)};
    for (int32_t i = 0; i < controllers + 20; ++i)
        events.push_back(stops[i % 4]);
    events.push_back(midi(3, 0x90, 62, 100));
    events.push_back(midi(3, 0xB0, 1, 5));
    HostList list;
    for (auto &e : events)
        list.pointers.push_back(reinterpret_cast<VstEvent *>(&e));
    plug.dispatcher(effProcessEvents, 0, 0, list.list(), 0.0f);
    Outputs out(16);
    plug.processReplacing(nullptr, out.ptrs, 16);
    ASSERT_EQ(plug.seen.size(), size_t(capacity));
    int32_t noteOns = 0, stopsSeen = 0, controllersSeen = 0, lastDelta = 0;
    for (const auto &e : plug.seen) {
        EXPECT_GE(e.delta, lastDelta);
        lastDelta = e.delta;
        const int32_t status = uint8_t(e.bytes[0]) & 0xF0;
        if (e.delta == 2)
            ++stopsSeen;
        else if (status == 0x90)
            ++noteOns;
        else if (status == 0xB0)
            ++controllersSeen;
    }
    EXPECT_EQ(stopsSeen, controllers + 20);
    EXPECT_EQ(controllersSeen, 0);
    EXPECT_EQ(noteOns, capacity - controllers - 20);
    EXPECT_EQ(plug.getDroppedEventCount(), controllers + 20 + 2);
}

TEST_F(Frame, WhileSuspendedReplacingWritesSilenceAndTimeStandsStill)
{
    RecordingInstrument plug;
    Outputs out(441, 1.0f);
    plug.processReplacing(nullptr, out.ptrs, 441);
    EXPECT_TRUE(out.all(0.0f)) << "the host's stale buffers must not reach the speakers";
    EXPECT_EQ(plug.processCalls, 0);
    EXPECT_EQ(plug.getRunningTime(), 0.0f);

    Outputs untouched(441, 1.0f);
    plug.processAccumulatingForTest(nullptr, untouched.ptrs, 441);
    EXPECT_TRUE(untouched.all(1.0f)) << "accumulating adds nothing while suspended";

    plug.resume();
    plug.processReplacing(nullptr, out.ptrs, 441);
    EXPECT_EQ(plug.processCalls, 1);
    EXPECT_FLOAT_EQ(plug.getRunningTime(), 0.01f);
    plug.suspend();
    plug.processReplacing(nullptr, out.ptrs, 441);
    EXPECT_TRUE(out.all(0.0f));
    EXPECT_FLOAT_EQ(plug.getRunningTime(), 0.01f);
}

TEST_F(Frame, RefusesSampleRatesThatAreNotFiniteAndPositive)
{
    RecordingInstrument plug;
    const float inf = std::numeric_limits<float>::infinity();
    for (float rate : {std::nanf(""), inf, -inf, 0.0f, -48000.0f}) {
        SCOPED_TRACE(rate);
        plug.dispatcher(effSetSampleRate, 0, 0, nullptr, rate);
        EXPECT_EQ(plug.getSampleRate(), 44100.0f);
    }
    EXPECT_EQ(plug.rateCalls, 0);
    plug.dispatcher(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(plug.getSampleRate(), 48000.0f);
    plug.resume();
    Outputs out(480);
    plug.processReplacing(nullptr, out.ptrs, 480);
    EXPECT_FLOAT_EQ(plug.getRunningTime(), 0.01f) << "running time follows the accepted rate";
}

TEST_F(Frame, RefreshesTimeInformationFromTheHost)
{
    struct Case {
        const char *name;
        bool give;
        int32_t flags;
        double tempo, ppq;
        int32_t num, den;
        double wantTempo, wantPosition;
        bool wantPlaying;
        int32_t wantNum, wantDen;
    };
    const int32_t all = kVstTempoValid | kVstPpqPosValid | kVstTransportPlaying | kVstTimeSigValid;
    const Case cases[] = {
        {"playing with everything", true, all, 98.0, 12.5, 6, 8, 98.0, 12.5, true, 6, 8},
        {"stopped keeps the last position", true, kVstTempoValid | kVstPpqPosValid, 98.0, 40.0, 3, 4, 98.0, 12.5, false, 4, 4},
        {"tempo without its flag", true, kVstPpqPosValid | kVstTransportPlaying, 98.0, 16.0, 3, 4, 120.0, 16.0, true, 4, 4},
        {"negative position", true, all, 100.0, -2.0, 3, 4, 100.0, 0.0, true, 3, 4},
        {"tempo not a number", true, all, std::nan(""), 1.0, 3, 4, 120.0, 1.0, true, 3, 4},
        {"no answer", false, 0, 0, 0, 0, 0, 120.0, 1.0, false, 4, 4},
    };
    RecordingInstrument plug;
    plug.resume();
    Outputs out(8);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fake.giveTime = c.give;
        fake.time.flags = c.flags;
        fake.time.tempo = c.tempo;
        fake.time.ppqPos = c.ppq;
        fake.time.timeSigNumerator = c.num;
        fake.time.timeSigDenominator = c.den;
        plug.processReplacing(nullptr, out.ptrs, 8);
        EXPECT_EQ(fake.lastTimeFilter, 0x2602) << "tempo, position, transport and time signature";
        EXPECT_DOUBLE_EQ(plug.tempo, c.wantTempo);
        EXPECT_DOUBLE_EQ(plug.position, c.wantPosition);
        EXPECT_EQ(plug.playing, c.wantPlaying);
        EXPECT_EQ(plug.signature[0], c.wantNum);
        EXPECT_EQ(plug.signature[1], c.wantDen);
    }
}

TEST_F(Frame, SuspendAndResumeReachTheirHooksOnceAndResumeAsksForMidi)
{
    RecordingInstrument plug;
    plug.dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
    plug.dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
    EXPECT_EQ(plug.resumes, 1);
    EXPECT_EQ(fake.wantMidiCalls, 1);
    plug.dispatcher(effMainsChanged, 0, 0, nullptr, 0.0f);
    plug.dispatcher(effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(plug.suspends, 1);
    EXPECT_FALSE(plug.isEditorOpen());
}

TEST_F(Frame, HostChannelConvertsBetweenTextAndValueWithinBounds)
{
    RecordingInstrument plug;
    const intptr_t cS2V = vstFourCC("cS2V"), cV2S = vstFourCC("cV2S");
    const int32_t hostIndex = vstFourCC("host");

    char text[80] = "0.75";
    EXPECT_EQ(plug.dispatcher(effVendorSpecific, hostIndex, cS2V, text, 3.0f), 1);
    float parsed;
    std::memcpy(&parsed, text, sizeof parsed);
    EXPECT_FLOAT_EQ(parsed, 0.75f);

    char buffer[80];
    float value = 0.5f;
    std::memcpy(buffer, &value, sizeof value);
    EXPECT_EQ(plug.dispatcher(effVendorSpecific, hostIndex, cV2S, buffer, 7.0f), 1);
    EXPECT_STREQ(buffer, "slot 7 = 0.50");

    // The host's buffer is 64 bytes: a longer text is cut there, terminator included.
    plug.longText = true;
    std::memset(buffer, '#', sizeof buffer);
    std::memcpy(buffer, &value, sizeof value);
    EXPECT_EQ(plug.dispatcher(effVendorSpecific, hostIndex, cV2S, buffer, 7.0f), 1);
    EXPECT_EQ(std::strlen(buffer), 63u);
    EXPECT_EQ(buffer[64], '#');
    plug.longText = false;

    const float inf = std::numeric_limits<float>::infinity();
    for (float slot : {std::nanf(""), inf, -1.0f, 128.0f, 1e12f}) {
        SCOPED_TRACE(slot);
        char untouched[8] = "0.25";
        EXPECT_EQ(plug.dispatcher(effVendorSpecific, hostIndex, cS2V, untouched, slot), 0);
        EXPECT_STREQ(untouched, "0.25");
        std::memcpy(buffer, &value, sizeof value);
        buffer[4] = '#';
        EXPECT_EQ(plug.dispatcher(effVendorSpecific, hostIndex, cV2S, buffer, slot), 0);
        EXPECT_EQ(buffer[4], '#');
    }
    EXPECT_EQ(plug.dispatcher(effVendorSpecific, hostIndex, cS2V, nullptr, 3.0f), 0);
    // An unterminated text is read only within its bounds; its 255 digits are no float.
    std::vector<char> unterminated(255, '1');
    EXPECT_EQ(plug.dispatcher(effVendorSpecific, hostIndex, cS2V, unterminated.data(), 3.0f), 1);
    std::memcpy(&parsed, unterminated.data(), sizeof parsed);
    EXPECT_EQ(parsed, 0.0f);
    for (const char *beyond : {"1e39", "-1e300", "nan", "inf"}) {
        std::snprintf(text, sizeof text, "%s", beyond);
        EXPECT_EQ(plug.dispatcher(effVendorSpecific, hostIndex, cS2V, text, 3.0f), 1);
        std::memcpy(&parsed, text, sizeof parsed);
        EXPECT_EQ(parsed, 0.0f) << beyond;
    }
}

namespace {

intptr_t recordingProcedure(void *user, int64_t a, int64_t b, int64_t c)
{
    auto *sum = static_cast<int64_t *>(user);
    *sum = a * 100 + b * 10 + c;
    return 42;
}

} // namespace

TEST_F(Frame, HostProcedureAndUserPointerAreRegisteredThroughTheHostChannel)
{
    RecordingInstrument plug;
    const int32_t hostIndex = vstFourCC("host");
    int64_t sum = 0;
    EXPECT_EQ(plug.callHostProcedure(1, 2, 3), 0);
    EXPECT_EQ(plug.dispatcher(effVendorSpecific, hostIndex, vstFourCC("pHst"), nullptr, 0.0f), 0);
    EXPECT_EQ(plug.dispatcher(effVendorSpecific, hostIndex, vstFourCC("pHst"), &sum, 0.0f),
              reinterpret_cast<intptr_t>(&sum));
    EXPECT_EQ(plug.dispatcher(effVendorSpecific, hostIndex, vstFourCC("pHst"), nullptr, 0.0f),
              reinterpret_cast<intptr_t>(&sum));
    EXPECT_EQ(plug.dispatcher(effVendorSpecific, hostIndex, vstFourCC("pSPr"),
                              reinterpret_cast<void *>(&recordingProcedure), 0.0f),
              0);
    EXPECT_EQ(plug.callHostProcedure(1, 2, 3), 42);
    EXPECT_EQ(sum, 123);
    // The wheel request without an editor, and the engine's own answer winning over the frame's.
    EXPECT_EQ(plug.dispatcher(effVendorSpecific, vstFourCC("stCA"), vstFourCC("Whee"), nullptr, 1.0f), 0);
    plug.vendorAnswer = 9;
    EXPECT_EQ(plug.dispatcher(effVendorSpecific, vstFourCC("xxxx"), 0, nullptr, 0.0f), 9);
}

TEST_F(Frame, AnswersIdentityAndCapabilityQueries)
{
    RecordingInstrument plug;
    podoVST plain(hostCallback, 1, 128);
    EXPECT_EQ(plug.getAeffect()->flags, 0x130);
    EXPECT_EQ(plug.getAeffect()->uniqueID, vstFourCC("ZQRV"));
    EXPECT_EQ(plug.dispatcher(effGetVendorVersion, 0, 0, nullptr, 0.0f), 1461);
    EXPECT_EQ(plug.dispatcher(effGetVstVersion, 0, 0, nullptr, 0.0f), 2400);
    EXPECT_EQ(plug.dispatcher(effIdentify, 0, 0, nullptr, 0.0f), vstFourCC("NvEf"));
    EXPECT_EQ(plug.dispatcher(effGetPlugCategory, 0, 0, nullptr, 0.0f), kPlugCategSynth);
    EXPECT_EQ(plug.dispatcher(effEditOpen, 0, 0, nullptr, 0.0f), 0) << "no editor yet";
    struct Case {
        const char *what;
        int instrument, plainFrame;
    };
    for (const Case &c : {Case{"receiveVstEvents", 1, 1}, Case{"receiveVstTimeInfo", 1, 1},
                          Case{"receiveVstMidiEvent", 1, -1}, Case{"sendVstEvents", -1, -1}, Case{"", -1, -1}}) {
        SCOPED_TRACE(c.what);
        std::string text = c.what;
        EXPECT_EQ(plug.dispatcher(effCanDo, 0, 0, text.data(), 0.0f), c.instrument);
        EXPECT_EQ(plain.dispatcher(effCanDo, 0, 0, text.data(), 0.0f), c.plainFrame);
    }
    VstPatchChunkInfo info{};
    info.pluginUniqueID = vstFourCC("ZQRV");
    EXPECT_EQ(plug.dispatcher(effBeginLoadBank, 0, 0, &info, 0.0f), 1);
    info.pluginUniqueID = vstFourCC("Othr");
    EXPECT_EQ(plug.dispatcher(effBeginLoadProgram, 0, 0, &info, 0.0f), -1);
    EXPECT_EQ(plug.dispatcher(effBeginLoadBank, 0, 0, nullptr, 0.0f), -1);
}

TEST_F(Frame, IgnoresParameterAndProgramIndexesOutOfRange)
{
    RecordingInstrument plug;
    AEffect *e = plug.getAeffect();
    e->setParameter(e, 200, 0.7f);
    e->setParameter(e, -1, 0.7f);
    EXPECT_EQ(e->getParameter(e, 200), 0.0f);
    char text[256];
    std::memset(text, 'x', sizeof text);
    plug.dispatcher(effGetParamName, 200, 0, text, 0.0f);
    EXPECT_STREQ(text, "");
    plug.dispatcher(effGetParamDisplay, 3, 0, text, 0.0f);
    EXPECT_STREQ(text, "slot 3 = 0.00");
    EXPECT_EQ(plug.dispatcher(effCanBeAutomated, 127, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(plug.dispatcher(effCanBeAutomated, 128, 0, nullptr, 0.0f), 0);
    plug.dispatcher(effSetProgram, 0, 1, nullptr, 0.0f); // one program only
    EXPECT_EQ(plug.dispatcher(effGetProgram, 0, 0, nullptr, 0.0f), 0);
}

TEST_F(Frame, EachInstanceCarriesItsOwnConstructionFailureAndCount)
{
    int32_t before = podoVST::getInstanceCount();
    {
        RecordingInstrument good;
        RecordingInstrument orphan(nullptr);
        EXPECT_FALSE(good.hasConstructionFailed());
        EXPECT_TRUE(orphan.hasConstructionFailed());
        EXPECT_EQ(podoVST::getInstanceCount(), before + 2);
        RecordingInstrument later;
        EXPECT_FALSE(later.hasConstructionFailed()) << "a failure of another instance is not this one's";
    }
    EXPECT_EQ(podoVST::getInstanceCount(), before);

    // effClose through the record deletes the instance.
    auto *plug = new RecordingInstrument;
    AEffect *e = plug->getAeffect();
    EXPECT_EQ(podoVST::getInstanceCount(), before + 1);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(podoVST::getInstanceCount(), before);
}

namespace {

bool engineAlive = false;
bool editorSawEngineAlive = false;

class WatchingEditor : public podoVSTEditor
{
public:
    explicit WatchingEditor(AudioEffect *effect) : podoVSTEditor(effect) {}
    ~WatchingEditor() override { editorSawEngineAlive = engineAlive; }
    bool onOpen(void *) override { return true; }
    void paramChanged(int32_t tag, uint64_t payload) override { received.push_back({tag, payload}); }
    std::vector<EditorMessage> received;
};

class EngineLike : public RecordingInstrument
{
public:
    EngineLike() { engineAlive = true; }
    ~EngineLike() override
    {
        deleteEditorForTest(); // first, while everything the editor may reach still exists
        engineAlive = false;
    }
};

} // namespace

TEST_F(Frame, TheEditorIsGoneBeforeTheEngineItShows)
{
    editorSawEngineAlive = false;
    {
        EngineLike engine;
        new WatchingEditor(&engine);
        EXPECT_EQ(engine.getAeffect()->flags, 0x131);
    }
    EXPECT_TRUE(editorSawEngineAlive);
}

TEST_F(Frame, PostsReachTheEditorQueueOnlyWhileItIsOpen)
{
    RecordingInstrument plug;
    plug.postEditorInt(5, 1); // no editor: nothing, no crash
    auto *editor = new WatchingEditor(&plug);
    plug.postEditorFloat(6, 0.5f); // closed: ignored
    ASSERT_EQ(plug.dispatcher(effEditOpen, 0, 0, reinterpret_cast<void *>(intptr_t(0x1234)), 0.0f), 1);
    plug.resume();
    EXPECT_TRUE(plug.isEditorOpen());
    plug.postEditorBytes(7, 1, 100, 0, 0);
    plug.postEditorFloat(8, 0.5f);
    plug.postEditorInt(9, -1);
    plug.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    ASSERT_EQ(editor->received.size(), 3u);
    EXPECT_EQ(editor->received[0].tag, 7);
    EXPECT_EQ(editor->received[0].payload, 0x6401u);
    EXPECT_EQ(editor->received[1].payload, 0x3F000000u);
    EXPECT_EQ(editor->received[2].payload, 0xFFFFFFFFu) << "the high half stays 0";
    plug.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_FALSE(plug.isEditorOpen());
}

TEST(EffectBase, FormatsNumbersForDisplay)
{
    RecordingInstrument plug(nullptr);
    struct Case {
        const char *what;
        float value;
        const char *text;
    };
    char text[64];
    for (const Case &c : {Case{"int", 0, ""}, Case{"int", -5, "-5"}, Case{"int", 100000000, "Huge!"},
                          Case{"int", 12345, "12345"}}) {
        plug.int2string(int32_t(c.value), text, 16);
        EXPECT_STREQ(text, c.text) << c.value;
    }
    for (const Case &c : {Case{"float", 1.5f, "1.500000"}, Case{"float", 123456789.0f, "Huge!"},
                          Case{"float", -2.25f, "-2.25000"}, Case{"float", 0.0f, "0.000000"},
                          Case{"float", 1234.5f, "1234.500"}}) {
        plug.float2string(c.value, text, 16);
        EXPECT_STREQ(text, c.text) << c.value;
    }
    plug.dB2string(0.0f, text, 16);
    EXPECT_STREQ(text, "-oo");
    plug.dB2string(1.0f, text, 16);
    EXPECT_STREQ(text, "0.000000");
    plug.float2string(1.5f, text, 3);
    EXPECT_STREQ(text, "1.5") << "at most maxLen characters";
}
