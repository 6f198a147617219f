// Cost of the melody voices, the instrument's hot path: blocks of 256 samples at 44.1 kHz with
// 16 to 1,024 sounding voices, each with both oscillators looping and a resonant 4-pole filter,
// without and with 8-fold oversampling; and of as many held drum-kit voices, every key on one of
// the three buses with its sends. Reported as time per voice per output sample.
#include "engine/ParameterIndex.h"
#include "engine/Quorix.h"
#include "engine/tests/TestSounds.h"
#include "tools/tests/TemporaryHome.h"

#include <benchmark/benchmark.h>

#include <bit>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace engine;

namespace {

// The instrument reads and writes its configuration and log in the user's folders: point them
// at a temporary home for the whole run.
struct TemporaryHome {
    std::string path;
    TemporaryHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorix-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            path = pattern;
        qtest::pointFoldersAt(path);
    }
    ~TemporaryHome()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
} home;

intptr_t quietHost(AEffect *, int32_t opcode, int32_t, intptr_t, void *, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

class BenchInstrument : public Quorix
{
public:
    BenchInstrument() : Quorix(quietHost) {}
    using Quorix::state;
};

constexpr int kVoicesPerChannel = 64; // the largest channel voice limit
constexpr int kBlock = 256;

// Master settings at their middle and the channels that hold the voices switched on with room
// for them; extra sets each channel's own parameters.
template <typename Extra>
int prepareChannels(BenchInstrument &q, int voices, Extra &&extra)
{
    q.setSampleRate(44100.0f);
    q.dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
    q.setParameterValue(master::Volume, 0.5f);
    q.setParameterValue(master::Tune, 0.5f);
    q.setParameterValue(master::Transpose, 0.5f);
    q.setParameterValue(master::VoiceLimit, 1.0f);
    const int channels = (voices + kVoicesPerChannel - 1) / kVoicesPerChannel;
    for (int c = 0; c < channels; ++c) {
        auto at = [&](int localId, float value) { q.setParameterValue(parameterIndex(c, localId), value); };
        extra(at);
        at(local::On, 1.0f);
        at(local::Volume, 0.5f);
        at(local::Pan, 0.5f);
        at(local::VoiceLimit, 1.0f);
        at(local::Transpose, 0.5f);
    }
    return channels;
}

// Times the render of the started voices, reported per voice and output sample.
void timeRender(benchmark::State &st, BenchInstrument &q, int voices, int channels)
{
    int sounding = 0;
    for (int c = 0; c < channels; ++c)
        sounding += q.state.play[c].voiceCount;
    if (sounding != voices) {
        st.SkipWithError("not every voice sounds");
        return;
    }
    std::vector<float> buffers[4];
    float *outputs[4];
    for (int i = 0; i < 4; ++i) {
        buffers[i].assign(kBlock, 0.0f);
        outputs[i] = buffers[i].data();
    }
    for (auto _ : st) {
        q.processReplacing(nullptr, outputs, kBlock);
        benchmark::DoNotOptimize(buffers[0].data());
    }
    st.counters["per voice-sample"] =
        benchmark::Counter(double(voices) * kBlock, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void melodyVoices(benchmark::State &st)
{
    const int voices = int(st.range(0));
    const int oversampling = int(st.range(1));
    BenchInstrument q;
    enginetest::TestLibrary library;
    sharedConfiguration().maxOversampling = uint8_t(oversampling);
    const int channels = prepareChannels(q, voices, [](auto &&at) {
        at(local::KeyRangeHigh, 1.0f);
        at(local::VelocityRangeHigh, 1.0f);
        at(local::OscWave, float(enginetest::waveSine) / 16384.0f);
        at(local::OscWave + 1, float(enginetest::waveFixedSine) / 16384.0f);
        for (int i = 0; i < 2; ++i) {
            at(local::OscSemitone + i, 0.5f);
            at(local::OscFinetone + i, 0.5f);
        }
        at(local::OscMix, 0.5f);
        at(local::FilterSlope, 1.0f);
        at(local::FilterCutoff, 0.8f);
        at(local::FilterResonance, 0.3f);
        at(local::FilterEnvAmount, 0.5f);
        at(local::FilterKeyTracking, 0.5f);
        at(local::AmpEnvelope + 2, 1.0f);
    });
    q.state.smoothed = q.state.target;
    // Keys whose sample steps need no oversampling, or about as many steps per output sample as
    // the factor asked for (the factor is the configuration's cap).
    const int highKey = oversampling == 1 ? 40 : 103 - 12 * (3 - std::bit_width(unsigned(oversampling)) + 1);
    for (int v = 0; v < voices; ++v) {
        const int key = oversampling == 1 ? 40 + v % 30 : highKey + v % 3;
        const int c = v / kVoicesPerChannel;
        q.noteOn(c, c, key, 100, 0, 0, 0, -1);
    }
    if (oversampling > 1 && q.state.play[0].voices[0].oversampling != oversampling)
        st.SkipWithError("the voices are not oversampled as asked");
    else
        timeRender(st, q, voices, channels);
    sharedConfiguration().maxOversampling = 8;
}

BENCHMARK(melodyVoices)
    ->ArgNames({"voices", "oversampling"})
    ->ArgsProduct({{16, 64, 256, 1024}, {1, 2, 4, 8}})
    ->Unit(benchmark::kMicrosecond);


void drumVoices(benchmark::State &st)
{
    const int voices = int(st.range(0));
    BenchInstrument q;
    enginetest::TestLibrary library;
    const int channels = prepareChannels(q, voices, [](auto &&at) {
        at(local::Mode, 1.0f);
        at(local::ChorusSend, 0.5f);
        at(local::ReverbSend, 0.5f);
        at(local::KitKeyRangeHigh, 1.0f);
        for (int k = 0; k < kDrumKeys; ++k) {
            auto key = [&](int base, float value) { at(base + 17 * k, value); };
            key(local::DrumWave, float(enginetest::waveSine) / 16384.0f);
            key(local::DrumSemitone, 0.5f);
            key(local::DrumFinetone, 0.5f);
            key(local::DrumFilterCutoff, 0.8f);
            key(local::DrumFilterResonance, 0.3f);
            key(local::DrumVolume, 0.5f);
            key(local::DrumPan, float(k % 5) / 4.0f);
            key(local::DrumHold, 1.0f);
            key(local::DrumInsertBus, float(k % 3) / 2.0f);
            key(local::DrumChorusSend, 0.5f);
            key(local::DrumReverbSend, 0.5f);
        }
    });
    q.state.smoothed = q.state.target;
    for (int v = 0; v < voices; ++v) {
        const int c = v / kVoicesPerChannel;
        q.noteOn(c, c, 24 + v % kVoicesPerChannel, 100, 0, 0, 0, -1);
    }
    timeRender(st, q, voices, channels);
}

BENCHMARK(drumVoices)->ArgName("voices")->Arg(16)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);

// A 48 kHz, 128-frame block of an instance with every channel switched on (melody channels, or
// all drum kits) and no voice: the cost of silence, with the system chorus and reverb on.
void idleBlocks(benchmark::State &st)
{
    const bool drums = st.range(0) != 0;
    BenchInstrument q;
    enginetest::TestLibrary library;
    q.setSampleRate(48000.0f);
    q.dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
    for (int c = 0; c < kChannelCount; ++c) {
        q.setParameterValue(parameterIndex(c, local::On), 1.0f);
        q.setParameterValue(parameterIndex(c, local::Mode), drums ? 1.0f : 0.0f);
        q.setParameterValue(parameterIndex(c, local::ChorusSend), 0.3f);
        q.setParameterValue(parameterIndex(c, local::ReverbSend), 0.3f);
    }
    constexpr int kFrames = 128;
    std::vector<float> buffers[4];
    float *outputs[4];
    for (int i = 0; i < 4; ++i) {
        buffers[i].assign(kFrames, 0.0f);
        outputs[i] = buffers[i].data();
    }
    // Settle every smoothed value and let the effects' tails die away first.
    for (int i = 0; i < 4000; ++i)
        q.processReplacing(nullptr, outputs, kFrames);
    for (auto _ : st) {
        q.processReplacing(nullptr, outputs, kFrames);
        benchmark::DoNotOptimize(buffers[0].data());
    }
}

BENCHMARK(idleBlocks)->ArgName("drums")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
