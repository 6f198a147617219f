// The pattern players of the plug-in as a host meets them: a held chord arpeggiated and a held
// key played by a sequencer lane, on the tempo and position of our host playing a song, and on
// the engine's own position when the host's transport stands still or gives no time at all. The
// notes are heard in the pattern's order, each starting within one sub-block of its step.
#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"
#include "engine/tests/plugin/SineLibrary.h"
#include "host/KestraneVST.h"
#include "host/tests/TestHome.h"
#include "tools/vsthost/MidiFile.h"
#include "tools/vsthost/Renderer.h"
#include "tools/vsthost/VstPlugin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

using namespace engine;

namespace {

class LeftChannel : public qhost::AudioSink
{
public:
    bool write(const float *const *channels, int32_t frames) override
    {
        samples.insert(samples.end(), channels[0], channels[0] + frames);
        return true;
    }
    std::vector<float> samples;
};

// One burst of sound: where it starts and the key its frequency is nearest to.
struct Burst {
    size_t start;
    int key;
};

// Bursts separated by at least `gap` samples of silence; the key from the rising zero crossings
// of the burst's first `measured` samples.
std::vector<Burst> bursts(const std::vector<float> &s, double rate, size_t gap, size_t measured)
{
    constexpr float kSilent = 1e-3f;
    std::vector<Burst> found;
    size_t quiet = gap;
    for (size_t i = 0; i < s.size(); ++i) {
        if (std::fabs(s[i]) <= kSilent) {
            ++quiet;
            continue;
        }
        if (quiet >= gap) {
            const size_t end = std::min(s.size(), i + measured);
            double first = -1.0, last = -1.0;
            int crossings = 0;
            for (size_t j = i + 1; j < end; ++j)
                if (s[j - 1] < 0.0f && s[j] >= 0.0f) {
                    const double t = double(j - 1) + double(-s[j - 1]) / double(s[j] - s[j - 1]);
                    first = first < 0.0 ? t : first;
                    last = t;
                    ++crossings;
                }
            const double frequency = crossings > 1 ? (crossings - 1) * rate / (last - first) : 0.0;
            const int key = frequency > 0.0 ? int(std::lround(69.0 + 12.0 * std::log2(frequency / 440.0))) : -1;
            found.push_back({i, key});
        }
        quiet = 0;
    }
    return found;
}

class PatternRender : public testing::Test
{
protected:
    // A looped sine of 100 values at 44,000 Hz (440 Hz at its root key 69), wave number 1.
    static void SetUpTestSuite()
    {
        const std::string folder = qtest::testHome() + "/pattern-library/";
        qtest::writeSineLibrary(folder);
        if (HasFatalFailure())
            return;
        KestraneVST registry;
        ASSERT_TRUE(registry.writeMachineRegistryString(podoStr("Path"), podoStr(folder.c_str())));
    }

    void SetUp() override { ASSERT_TRUE(plugin.load(QUORIX_PLUGIN)) << plugin.error(); }

    // Channel 0 plays the sine on the host's tempo, released at once; the rest is silent. Then
    // the channel's own settings.
    void program(const std::vector<std::pair<int, float>> &own)
    {
        void *data = nullptr;
        const intptr_t size = plugin.dispatch(effGetChunk, 0, 0, &data);
        std::vector<uint8_t> bytes(static_cast<uint8_t *>(data), static_cast<uint8_t *>(data) + size);
        ProgramBlock &b = *reinterpret_cast<ProgramBlock *>(bytes.data());
        b.useHostTempo = 1;
        b.values[master::Volume] = 0.70710678f;
        b.values[master::Tune] = 0.5f;
        b.values[master::Transpose] = 0.5f;
        b.values[master::ChorusOn] = 0.0f;
        b.values[master::ReverbOn] = 0.0f;
        for (int c = 0; c < kChannelCount; ++c)
            b.values[parameterIndex(c, local::On)] = c == 0 ? 1.0f : 0.0f;
        const std::pair<int, float> settings[] = {
            {local::Mode, 0.0f},         {local::Link, 0.0f},          {local::Volume, 0.70710678f},
            {local::Pan, 0.5f},          {local::VoiceLimit, 0.25f},   {local::Transpose, 0.5f},
            {local::OutputBus, 0.0f},    {local::InsertOn, 0.0f},      {local::InsertOn + 1, 0.0f},
            {local::SeqOn, 0.0f},        {local::KeyRangeLow, 0.0f},   {local::KeyRangeHigh, 1.0f},
            {local::VelocityRangeLow, 0.0f}, {local::VelocityRangeHigh, 1.0f},
            {local::OscWave, 1.0f / 16384.0f}, {local::OscWave + 1, 0.0f}, {local::OscMix, 0.0f},
            {local::OscSemitone, 0.5f},  {local::OscFinetone, 0.5f},   {local::LfoLevel, 0.0f},
            {local::GlideTime, 0.0f},    {local::GlideAuto, 0.0f},     {local::FilterCutoff, 1.0f},
            {local::FilterMix, 0.0f},    {local::FilterEnvAmount, 0.5f}, {local::FilterKeyTracking, 0.5f},
            {local::AmpEnvelope, 0.0f},  {local::AmpEnvelope + 1, 0.0f}, {local::AmpEnvelope + 2, 1.0f},
            {local::AmpEnvelope + 3, 0.0f}, {local::AmpEnvVelocityAmount, 0.0f},
            {local::ArpOn, 0.0f},        {local::ChorusSend, 0.0f},    {local::ReverbSend, 0.0f},
        };
        for (const auto &[id, value] : settings)
            b.values[parameterIndex(0, id)] = value;
        for (const auto &[id, value] : own)
            b.values[parameterIndex(0, id)] = value;
        ASSERT_EQ(plugin.dispatch(effSetChunk, 0, intptr_t(bytes.size()), bytes.data()), 1);
    }

    // The arpeggiator at a rate, up and down over two octaves (pattern 2), half-step gates.
    void arpeggiatorProgram(float rate)
    {
        program({{local::ArpOn, 1.0f}, {local::ArpKeySync, 0.0f}, {local::ArpLatch, 0.0f},
                 {local::ArpGateTime, 0.5f}, {local::ArpPattern, 2.0f / 7.0f}, {local::ArpRate, rate},
                 {local::ArpOctave, 1.0f / 5.0f}});
    }

    // Our host plays a song of keys pressed at one beat and released at another, at a tempo.
    LeftChannel playSong(double tempo, std::initializer_list<int> keys, double pressBeat, double releaseBeat)
    {
        constexpr int kTicks = 480;
        qhost::MidiFileWriter writer(0, kTicks);
        writer.beginTrack();
        writer.tempo(0, tempo);
        for (int key : keys)
            writer.channel(uint64_t(pressBeat * kTicks), 0x90, uint8_t(key), 100);
        for (int key : keys)
            writer.channel(uint64_t(releaseBeat * kTicks), 0x80, uint8_t(key), 0);
        writer.endTrack(uint64_t(releaseBeat * kTicks));
        const std::vector<uint8_t> file = writer.bytes();
        qhost::MidiSong song;
        EXPECT_TRUE(song.parse(file.data(), file.size())) << song.error();

        qhost::RenderOptions options;
        options.sampleRate = kRate;
        options.blockSize = 500; // neither blocks nor sub-blocks line up with the steps
        options.tailSeconds = 0.5;
        LeftChannel sink;
        const qhost::RenderReport report = qhost::renderSong(plugin, song, options, sink);
        EXPECT_EQ(report.nonFiniteSamples, 0);
        return sink;
    }

    // A step starts in the sub-block that reaches it: at most 16 samples early, and the sine's
    // first sample may read as silence.
    static void expectOnStep(const Burst &heard, double stepStart)
    {
        const double late = double(heard.start) - stepStart;
        EXPECT_GE(late, -16.0);
        EXPECT_LE(late, 2.0);
    }

    static constexpr double kRate = 44100.0;
    qhost::VstPlugin plugin;
};

} // namespace

// Eighth notes at 120 beats per minute are 11,025 samples at 44.1 kHz: the chord, pressed on
// beat 2, starts on a step. Without key sync the pattern stands where the song position puts it:
// step 4 of its 10 (60 64 67 72 76 79 76 72 67 64) on beat 2.
TEST_F(PatternRender, HeldChordPlaysTheArpeggioOnTheHostsTempo)
{
    arpeggiatorProgram(9.0f / 17.0f);
    const LeftChannel sink = playSong(120.0, {60, 64, 67}, 2.0, 7.9); // twelve steps of half a beat

    const double stepSamples = 0.5 * 60.0 / 120.0 * kRate;
    const std::vector<Burst> heard = bursts(sink.samples, kRate, 256, 2000);
    const int pattern[10] = {60, 64, 67, 72, 76, 79, 76, 72, 67, 64};
    ASSERT_EQ(heard.size(), 12u);
    for (size_t k = 0; k < heard.size(); ++k) {
        SCOPED_TRACE(k);
        const size_t step = k + 4;
        EXPECT_EQ(heard[k].key, pattern[step % 10]);
        expectOnStep(heard[k], double(step) * stepSamples);
    }
}

// A lane of eight eighth-note steps relative to the held key, with full swing at 100 beats per
// minute: the fifth above (step 3, odd) comes two thirds of a step late and the rest of step 1
// ends the first note as late; steps 0 and 8 keep their time.
TEST_F(PatternRender, SequencerLanePlaysTheHeldKeyWithSwingOnTheHostsTempo)
{
    constexpr int lane = local::FirstLane;
    std::vector<std::pair<int, float>> own = {
        {local::SeqOn, 1.0f},           {local::SeqNoteOrder, 0.0f},     {local::SeqRate, 3.0f / 7.0f},
        {local::SeqTriplet, 0.0f},      {local::SeqSwing, 1.0f},         {local::SeqLength, 7.0f / 63.0f},
        {local::SeqSync, 0.0f},         {local::SeqLatch, 0.0f},         {local::SeqRootPitch, 1.0f},
        {local::SeqVelocityAmount, 0.0f}, {lane + 128, 1.0f},            {lane + 129, 128.0f / 132.0f}};
    for (int other = 1; other < kSequencerLanes; ++other)
        own.push_back({lane + other * local::LaneSpan + 128, 0.0f});
    const int codes[8] = {0, 52, 52, 7, 52, 52, 52, 52};
    for (int s = 0; s < 8; ++s) {
        own.push_back({lane + 2 * s, (codes[s] + 48) / 100.0f});
        own.push_back({lane + 2 * s + 1, 1.0f});
    }
    program(own);

    // Pressed on step 4 (a rest), released during step 20: two rounds of the lane.
    const LeftChannel sink = playSong(100.0, {62}, 2.0, 10.25);

    const double stepSamples = 0.5 * 60.0 / 100.0 * kRate;
    const std::vector<Burst> heard = bursts(sink.samples, kRate, 256, 1500);
    const std::pair<double, int> expected[] = {{8.0, 62}, {11.0 + 2.0 / 3.0, 69}, {16.0, 62}, {19.0 + 2.0 / 3.0, 69}};
    ASSERT_EQ(heard.size(), std::size(expected));
    for (size_t k = 0; k < heard.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(heard[k].key, expected[k].second);
        expectOnStep(heard[k], expected[k].first * stepSamples);
    }
    // The swung rest of step 9 ends the note of step 8: its release of 10 ms starts there.
    size_t end = heard[0].start, quiet = 0;
    for (; end < sink.samples.size() && quiet < 64; ++end)
        quiet = std::fabs(sink.samples[end]) <= 1e-3f ? quiet + 1 : 0;
    const double released = (9.0 + 2.0 / 3.0) * stepSamples;
    EXPECT_GT(double(end - quiet), released - 16.0);
    EXPECT_LT(double(end - quiet), released + 0.01 * kRate + 16.0);
}

// When the host's transport stands still the engine runs on its own position, from the key
// press, at the host's tempo; a host that gives no time information gives no tempo either, and
// the engine runs at 120 beats per minute. A position reported while stopped is not followed.
TEST_F(PatternRender, StoppedOrSilentHostLeavesTheArpeggiatorRunningFree)
{
    struct Case {
        const char *name;
        int32_t flags;
        double tempo;
        double expectedTempo;
    };
    const Case cases[] = {
        {"stopped", kVstTempoValid | kVstPpqPosValid, 90.0, 90.0},
        {"no time information", 0, 90.0, 120.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(plugin.load(QUORIX_PLUGIN)) << plugin.error();
        arpeggiatorProgram(10.0f / 17.0f); // sixteenth notes
        plugin.setSampleRate(kRate);
        plugin.setBlockSize(500);
        plugin.dispatch(effMainsChanged, 0, 1);
        AEffect *e = plugin.effect();

        constexpr int32_t kPress = 7777, kFrames = 44100;
        VstMidiEvent notes[3];
        const int keys[3] = {60, 64, 67};
        char listBytes[sizeof(VstEvents) + 3 * sizeof(VstEvent *)] = {};
        auto *list = reinterpret_cast<VstEvents *>(listBytes);
        std::vector<float> left(kFrames), right(500), subLeft(500), subRight(500);
        for (int32_t done = 0; done < kFrames; done += 500) {
            const int32_t n = std::min(500, kFrames - done);
            VstTimeInfo &t = plugin.timeInfo();
            t.flags = c.flags;
            t.tempo = c.tempo;
            t.ppqPos = 37.3 + done / kRate;
            t.samplePos = done;
            if (kPress >= done && kPress < done + n) {
                list->numEvents = 3;
                for (int i = 0; i < 3; ++i) {
                    notes[i] = VstMidiEvent{kVstMidiType, sizeof(VstMidiEvent), kPress - done, 0, 0, 0,
                                            {char(0x90), char(keys[i]), 100, 0}, 0, 0, 0, 0};
                    list->events[i] = reinterpret_cast<VstEvent *>(&notes[i]);
                }
                plugin.dispatch(effProcessEvents, 0, 0, list);
            }
            float *outputs[4] = {left.data() + done, right.data(), subLeft.data(), subRight.data()};
            e->processReplacing(e, nullptr, outputs, n);
        }

        const double stepSamples = 0.25 * 60.0 / c.expectedTempo * kRate;
        const std::vector<Burst> heard = bursts(left, kRate, 256, 1000);
        const int pattern[10] = {60, 64, 67, 72, 76, 79, 76, 72, 67, 64};
        ASSERT_EQ(heard.size(), size_t(std::ceil((kFrames - kPress) / stepSamples)));
        for (size_t k = 0; k < heard.size(); ++k) {
            SCOPED_TRACE(k);
            EXPECT_EQ(heard[k].key, pattern[k % 10]);
            expectOnStep(heard[k], kPress + double(k) * stepSamples);
        }
    }
}
