// A held chord arpeggiated by the plug-in as our host plays a song to it: the notes are heard in
// the pattern's order, each starting within one sub-block of its step on the host's tempo.
#include "banks/SampleBanks.h"
#include "banks/Wavetables.h"
#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"
#include "host/KestraneVST.h"
#include "host/tests/TestHome.h"
#include "tools/vsthost/MidiFile.h"
#include "tools/vsthost/Renderer.h"
#include "tools/vsthost/VstPlugin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
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

class ArpeggiatorRender : public testing::Test
{
protected:
    // A looped sine of 100 values at 44,000 Hz (440 Hz at its root key 69), wave number 1.
    static void SetUpTestSuite()
    {
        const std::string folder = qtest::testHome() + "/arpeggio-library/";
        std::filesystem::create_directories(folder);
        std::vector<int16_t> sine(2000);
        for (size_t i = 0; i < sine.size(); ++i)
            sine[i] = int16_t(std::lround(16384.0 * std::sin(2.0 * std::numbers::pi * double(i) / 100.0)));
        const banks::SampleSource sample{44000, 1, sine.data(), int32_t(sine.size())};
        ASSERT_TRUE(banks::writeSampleBank(podoStr(folder.c_str()), 0, "Test", &sample, 1, 76));
        const KeyZone zone{0, 0, 69, 127};
        const banks::WavetableSource wavetable{"Sine", true, &zone, 1};
        ASSERT_TRUE(banks::writeWavetableCategory(podoStr(folder.c_str()), 0, "Test", false, &wavetable, 1, 76));
        KestraneVST registry;
        ASSERT_TRUE(registry.writeMachineRegistryString(podoStr("Path"), podoStr(folder.c_str())));
    }

    void SetUp() override { ASSERT_TRUE(plugin.load(QUORIX_PLUGIN)) << plugin.error(); }

    // Channel 0 plays the sine through the arpeggiator, on the host's tempo; the rest is silent.
    void arpeggiatorProgram(float rate)
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
            {local::ArpOn, 1.0f},        {local::ArpKeySync, 0.0f},    {local::ArpLatch, 0.0f},
            {local::ArpGateTime, 0.5f},  {local::ArpPattern, 2.0f / 7.0f}, {local::ArpRate, rate},
            {local::ArpOctave, 1.0f / 5.0f},
            {local::ChorusSend, 0.0f},   {local::ReverbSend, 0.0f},
        };
        for (const auto &[id, value] : settings)
            b.values[parameterIndex(0, id)] = value;
        ASSERT_EQ(plugin.dispatch(effSetChunk, 0, intptr_t(bytes.size()), bytes.data()), 1);
    }

    qhost::VstPlugin plugin;
};

} // namespace

// Eighth notes at 120 beats per minute are 11,025 samples at 44.1 kHz: the chord, pressed on
// beat 2, starts on a step. Without key sync the pattern stands where the song position puts it:
// step 4 of its 10 (60 64 67 72 76 79 76 72 67 64) on beat 2.
TEST_F(ArpeggiatorRender, HeldChordPlaysThePatternOnTheHostsTempo)
{
    arpeggiatorProgram(9.0f / 17.0f);
    constexpr double kTempo = 120.0;
    constexpr int kTicks = 480;
    qhost::MidiFileWriter writer(0, kTicks);
    writer.beginTrack();
    writer.tempo(0, kTempo);
    // The chord comes on beat 2, once the levels have risen from the silence of the start.
    const uint64_t press = 2 * kTicks;
    for (int key : {60, 64, 67})
        writer.channel(press, 0x90, uint8_t(key), 100);
    const uint64_t release = press + uint64_t(5.9 * kTicks); // twelve steps of half a beat
    for (int key : {60, 64, 67})
        writer.channel(release, 0x80, uint8_t(key), 0);
    writer.endTrack(release);
    const std::vector<uint8_t> file = writer.bytes();
    qhost::MidiSong song;
    ASSERT_TRUE(song.parse(file.data(), file.size())) << song.error();

    qhost::RenderOptions options;
    options.sampleRate = 44100.0;
    options.blockSize = 500; // neither blocks nor sub-blocks line up with the steps
    options.tailSeconds = 0.5;
    LeftChannel sink;
    const qhost::RenderReport report = qhost::renderSong(plugin, song, options, sink);
    ASSERT_EQ(report.nonFiniteSamples, 0);

    const double stepSamples = 0.5 * 60.0 / kTempo * options.sampleRate;
    const std::vector<Burst> heard = bursts(sink.samples, options.sampleRate, 256, 2000);
    const int pattern[10] = {60, 64, 67, 72, 76, 79, 76, 72, 67, 64};
    ASSERT_EQ(heard.size(), 12u);
    for (size_t k = 0; k < heard.size(); ++k) {
        SCOPED_TRACE(k);
        const size_t step = k + 4;
        EXPECT_EQ(heard[k].key, pattern[step % 10]);
        // A step starts in the sub-block that reaches it: at most 16 samples early, and the
        // sine's first sample may read as silence.
        const double late = double(heard[k].start) - double(step) * stepSamples;
        EXPECT_GE(late, -16.0);
        EXPECT_LE(late, 2.0);
    }
}
