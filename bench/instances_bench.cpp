// What instances cost each other and what the host's other threads cost the audio thread, with
// the factory library (the plugin folder beside this build's bench folder):
// - parallelInstances: N instances, each playing 64 held voices, render on N threads at once;
//   the time of a 128-frame block per thread, which should not grow with N, and how often a
//   render thread slept (on a lock) per block.
// - audioThreadWait: the audio thread renders 16-frame blocks while another thread calls one
//   host or editor operation in a loop; the longest time a block slept on a lock, against the
//   same render with nobody else calling ("none"); reloadSamples is the host's "free" and the
//   reading back of the library's samples at its next resume.
// - programChanges: one 128-frame block carrying 16 MIDI program changes, against the same
//   block without them; the difference over 16 is one program change's cost.
#include "banks/PatchBanks.h"
#include "engine/ParameterIndex.h"
#include "engine/Quorix.h"
#include "tools/tests/TemporaryHome.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <ctime>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

intptr_t quietHost(AEffect *, int32_t opcode, int32_t, intptr_t, void *, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

// A scratch home whose registry points the instruments at the factory library; one instance
// stays open for the whole run, so the library is loaded once.
struct FactoryHome {
    std::string path;
    bool ready = false;
    FactoryHome()
    {
        std::string pattern = (fs::temp_directory_path() / "quorix-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            return;
        path = pattern;
        qtest::pointFoldersAt(path);
        std::error_code error;
        const fs::path library = fs::read_symlink("/proc/self/exe", error).parent_path().parent_path() / "plugin";
        if (error || !fs::exists(library / "000 General MIDI.pth"))
            return;
        KestraneVST identity;
        ready = identity.writeMachineRegistryString("Path", podoStr((library.string() + "/").c_str()));
    }
    ~FactoryHome()
    {
        std::error_code ignored;
        if (!path.empty())
            fs::remove_all(path, ignored);
    }
};

class Instrument : public Quorix
{
public:
    Instrument() : Quorix(quietHost)
    {
        setSampleRate(44100.0f);
        dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
    }
};

FactoryHome &home()
{
    static FactoryHome h;
    static Instrument anchor;
    return h;
}

// Up to 128 MIDI events handed over as the host does.
class Events
{
public:
    void add(int32_t offset, uint8_t status, uint8_t d1, uint8_t d2)
    {
        VstMidiEvent &m = midi[count];
        m = VstMidiEvent{};
        m.type = kVstMidiType;
        m.byteSize = sizeof m;
        m.deltaFrames = offset;
        m.midiData[0] = char(status);
        m.midiData[1] = char(d1);
        m.midiData[2] = char(d2);
        VstEvent **slots = list.head.events; // the declared two, then the room after them
        slots[count] = reinterpret_cast<VstEvent *>(&m);
        list.head.numEvents = ++count;
    }
    void send(Quorix &q) { q.dispatcher(effProcessEvents, 0, 0, &list.head, 0.0f); }
    void clear() { count = list.head.numEvents = 0; }

private:
    VstMidiEvent midi[128];
    struct {
        VstEvents head;
        VstEvent *slots[128];
    } list{};
    int count = 0;
};

struct Outputs {
    std::vector<float> buffer;
    float *channels[4];
    explicit Outputs(int frames) : buffer(4 * size_t(frames))
    {
        for (int i = 0; i < 4; ++i)
            channels[i] = buffer.data() + size_t(i) * size_t(frames);
    }
};

// 64 held voices: organ and strings on four channels, sixteen keys each, no release.
void holdVoices(Instrument &q)
{
    Events e;
    q.setParameterValue(engine::master::VoiceLimit, 1.0f);
    q.setParameterValue(engine::master::Volume, 0.5f);
    for (int c = 0; c < 4; ++c) {
        q.setParameterValue(engine::parameterIndex(c, engine::local::On), 1.0f);
        e.add(0, uint8_t(0xC0 | c), c % 2 == 0 ? 16 : 48, 0);
        for (int k = 0; k < 16; ++k)
            e.add(1, uint8_t(0x90 | c), uint8_t(40 + 2 * k + c), 90);
    }
    e.send(q);
    Outputs out(128);
    q.processReplacing(nullptr, out.channels, 128);
}

void parallelInstances(benchmark::State &st)
{
    if (!home().ready) {
        st.SkipWithError("no factory library beside the bench");
        return;
    }
    const int n = int(st.range(0));
    constexpr int kBlocks = 100;
    std::vector<std::unique_ptr<Instrument>> instances;
    for (int i = 0; i < n; ++i) {
        instances.push_back(std::make_unique<Instrument>());
        holdVoices(*instances.back());
    }
    std::atomic<bool> running{true};
    std::atomic<long> sleeps{0}; // voluntary switches of the render threads: waits on a lock
    std::barrier start(n + 1), done(n + 1);
    std::vector<std::thread> threads;
    for (int i = 0; i < n; ++i)
        threads.emplace_back([&, i] {
            Outputs out(128);
            for (;;) {
                start.arrive_and_wait();
                if (!running.load())
                    return;
                rusage before{}, after{};
                getrusage(RUSAGE_THREAD, &before);
                for (int b = 0; b < kBlocks; ++b)
                    instances[size_t(i)]->processReplacing(nullptr, out.channels, 128);
                getrusage(RUSAGE_THREAD, &after);
                sleeps += after.ru_nvcsw - before.ru_nvcsw;
                done.arrive_and_wait();
            }
        });
    for (auto _ : st) {
        const auto t0 = std::chrono::steady_clock::now();
        start.arrive_and_wait();
        done.arrive_and_wait();
        st.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    running = false;
    start.arrive_and_wait();
    for (auto &t : threads)
        t.join();
    int voices = 0;
    for (auto &q : instances)
        for (int c = 0; c < 4; ++c)
            voices += q->getChannelVoiceCount(c);
    st.counters["voices"] = voices;
    st.counters["lock sleeps per block"] = double(sleeps.load()) / (double(st.iterations()) * kBlocks * n);
    st.counters["per block"] = benchmark::Counter(kBlocks, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(parallelInstances)->ArgName("instances")->Arg(1)->Arg(2)->Arg(4)->UseManualTime()->Unit(benchmark::kMicrosecond);

enum class Operation { none, setChunk, recallPatch, hostProgramChange, storePatch, loadUserBanks, saveConfiguration, reloadSamples };

constexpr int32_t fourCC(const char (&text)[5])
{
    return int32_t((uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) |
                   (uint32_t(uint8_t(text[2])) << 8) | uint32_t(uint8_t(text[3])));
}

void audioThreadWait(benchmark::State &st, Operation operation)
{
    if (!home().ready) {
        st.SkipWithError("no factory library beside the bench");
        return;
    }
    Instrument q;
    holdVoices(q);
    void *data = nullptr;
    const auto size = q.dispatcher(effGetChunk, 0, 0, &data, 0.0f);
    std::vector<uint8_t> chunk(static_cast<const uint8_t *>(data), static_cast<const uint8_t *>(data) + size);
    const int32_t user = firstUserCategory;

    std::atomic<bool> running{true};
    std::atomic<long> calls{0};
    std::thread other([&] {
        for (int i = 0; running.load(); ++i) {
            switch (operation) {
            case Operation::none:
                std::this_thread::sleep_for(std::chrono::microseconds(100));
                continue;
            case Operation::setChunk:
                q.dispatcher(effSetChunk, 0, intptr_t(chunk.size()), chunk.data(), 0.0f);
                break;
            case Operation::recallPatch:
                q.recallPatch(i % 16, 0, i % 128);
                break;
            case Operation::hostProgramChange: {
                const uint8_t bytes[3] = {uint8_t(0xC0 | (i % 16)), uint8_t(i % 128), 0};
                q.dispatcher(effVendorSpecific, fourCC("host"), fourCC("load"), const_cast<uint8_t *>(bytes), 0.0f);
                break;
            }
            case Operation::storePatch:
                q.storePatch(user, 0, false);
                break;
            case Operation::loadUserBanks:
                q.loadUserBanks();
                break;
            case Operation::saveConfiguration:
                q.saveConfiguration();
                break;
            case Operation::reloadSamples:
                // The host's "free", then what its next resume reads back.
                q.freeSamples(false);
                q.reloadReleasedSamples(0);
                break;
            }
            ++calls;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    // A block's wait is its wall time beyond its own CPU time, counted when the thread slept
    // (a voluntary switch: it blocked on a lock); preemption by the machine's other work is an
    // involuntary switch and is left out.
    Outputs out(16);
    std::vector<double> waits;
    waits.reserve(1 << 16);
    long sleptBlocks = 0;
    for (auto _ : st) {
        rusage before{}, after{};
        timespec cpu0{}, cpu1{};
        getrusage(RUSAGE_THREAD, &before);
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu0);
        const auto t0 = std::chrono::steady_clock::now();
        q.processReplacing(nullptr, out.channels, 16);
        const auto t1 = std::chrono::steady_clock::now();
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu1);
        getrusage(RUSAGE_THREAD, &after);
        const double wall = std::chrono::duration<double, std::micro>(t1 - t0).count();
        const double cpu = (cpu1.tv_sec - cpu0.tv_sec) * 1e6 + (cpu1.tv_nsec - cpu0.tv_nsec) * 1e-3;
        if (after.ru_nvcsw != before.ru_nvcsw) {
            ++sleptBlocks;
            waits.push_back(std::max(0.0, wall - cpu));
        }
        st.SetIterationTime(wall * 1e-6);
    }
    running = false;
    other.join();
    std::sort(waits.begin(), waits.end());
    st.counters["slept blocks"] = double(sleptBlocks);
    st.counters["max wait us"] = waits.empty() ? 0.0 : waits.back();
    st.counters["median wait us"] = waits.empty() ? 0.0 : waits[waits.size() / 2];
    st.counters["p99 wait us"] = waits.empty() ? 0.0 : waits[waits.size() * 99 / 100];
    st.counters["calls"] = double(calls.load());
}

BENCHMARK_CAPTURE(audioThreadWait, none, Operation::none)->UseManualTime()->MinTime(1.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(audioThreadWait, setChunk, Operation::setChunk)->UseManualTime()->MinTime(1.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(audioThreadWait, recallPatch, Operation::recallPatch)->UseManualTime()->MinTime(1.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(audioThreadWait, hostProgramChange, Operation::hostProgramChange)
    ->UseManualTime()->MinTime(1.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(audioThreadWait, storePatch, Operation::storePatch)->UseManualTime()->MinTime(1.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(audioThreadWait, loadUserBanks, Operation::loadUserBanks)
    ->UseManualTime()->MinTime(1.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(audioThreadWait, saveConfiguration, Operation::saveConfiguration)
    ->UseManualTime()->MinTime(1.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(audioThreadWait, reloadSamples, Operation::reloadSamples)
    ->UseManualTime()->MinTime(1.0)->Unit(benchmark::kMicrosecond);

// 16 program changes in one block, each channel between two programs, or none.
void programChanges(benchmark::State &st)
{
    if (!home().ready) {
        st.SkipWithError("no factory library beside the bench");
        return;
    }
    const int changes = int(st.range(0));
    Instrument q;
    holdVoices(q);
    Events e;
    Outputs out(128);
    int round = 0;
    for (auto _ : st) {
        e.clear();
        for (int c = 0; c < changes; ++c)
            e.add(c * 8, uint8_t(0xC0 | c), uint8_t((c * 7 + round) % 128), 0);
        ++round;
        e.send(q);
        q.processReplacing(nullptr, out.channels, 128);
    }
}

BENCHMARK(programChanges)->ArgName("changes")->Arg(0)->Arg(16)->Unit(benchmark::kMicrosecond);

} // namespace
