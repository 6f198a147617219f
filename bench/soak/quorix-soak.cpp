// The soak test, run by hand under ThreadSanitizer (./quorix.sh soak [minutes]): two instances
// made through the module's entry play a long General MIDI song at 48 kHz from a library
// converted from a SoundFont, on an audio thread, while a second thread does what a host's
// user-interface thread and an editor do: automates parameters, turns insert effects, the
// arpeggiator and the step sequencer on, recalls patches, reads texts, saves and restores the
// state chunk, runs the editor's idle, and has the host free the samples and resume, which
// reads them back. MIDI controller 1 is assigned to the pan, so the song's modulation reaches
// the host as automation.
//
// What must hold: ThreadSanitizer reports nothing (the run stops at its first report); every
// block is finite and bounded; each state restored reads back as the state saved; the output
// sounds (most blocks carry sound) and automation reaches the host.
#include "engine/ControllerAssignments.h"
#include "engine/HostAutomationMap.h"
#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"
#include "engine/Quorix.h"
#include "fuzz/FuzzSupport.h"
#include "host/PluginFactory.h"
#include "tools/soundfont/EngineText.h"
#include "tools/soundfont/GmLibrary.h"
#include "tools/soundfont/LibraryWriter.h"
#include "tools/vsthost/MidiFile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kRate = 48000.0;
constexpr int32_t kBlock = 256;
constexpr int kInstances = 2;
constexpr float kOutputLimit = 256.0f;

// The song: sixteen channels of General MIDI for the given minutes at 120 beats per minute.
std::vector<uint8_t> makeSong(int minutes)
{
    qhost::MidiFileWriter w(1, 480);
    const uint64_t quarters = static_cast<uint64_t>(minutes) * 120;
    const uint64_t end = quarters * 480;
    w.beginTrack();
    w.tempo(0, 120.0);
    w.timeSignature(0, 4, 4);
    for (uint64_t q = 64; q < quarters; q += 64)
        w.tempo(q * 480, 100.0 + static_cast<double>((q / 64) % 5) * 10.0);
    w.endTrack(end);
    std::mt19937 random(2026);
    for (int channel = 0; channel < 16; ++channel) {
        w.beginTrack();
        const auto status = [&](uint8_t kind) { return static_cast<uint8_t>(kind | channel); };
        if (channel == 0)
            w.sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7});
        w.channel(1, status(0xC0), static_cast<uint8_t>((channel * 8) % 128));
        w.channel(1, status(0xB0), 7, 90);
        w.channel(1, status(0xB0), 10, static_cast<uint8_t>(channel * 8));
        const uint64_t step = channel == 9 ? 120 : 240 + 120 * (channel % 3);
        for (uint64_t t = 480 + step * (channel % 4); t + step < end; t += step) {
            const uint8_t key = channel == 9 ? static_cast<uint8_t>(35 + random() % 47)
                                             : static_cast<uint8_t>(36 + (channel * 5 + random() % 36) % 60);
            w.channel(t, status(0x90), key, static_cast<uint8_t>(40 + random() % 80));
            if (random() % 16 == 0)
                w.channel(t, status(0xB0), 1, static_cast<uint8_t>(random() % 128));
            if (random() % 32 == 0)
                w.channel(t, status(0xE0), 0, static_cast<uint8_t>(32 + random() % 64));
            if (random() % 256 == 0)
                w.channel(t, status(0xC0), static_cast<uint8_t>(random() % 128));
            w.channel(t + step - step / 4, status(0x80), key, 0);
        }
        w.endTrack(end);
    }
    return w.bytes();
}

struct Instance {
    AEffect *effect = nullptr;
    Quorix *quorix = nullptr;
    std::vector<float> out[4];
};

// The entry (host library) makes the instrument through the engine library, which a static link
// lists after it: naming the instrument's own object file here brings the instrument in.
[[gnu::used]] EngineSharedLock &(*const linkInstrument)() = engineSharedLock;

std::atomic<bool> stopping{false};
std::atomic<uint64_t> restores{0}, automations{0}, recalls{0}, reloads{0};
VstTimeInfo timeInfo{};
// The host's own lock between a block and a state restore, so that what is read back right
// after the restore is the restored state and not what the song did since.
std::mutex transport;

intptr_t hostCallback(AEffect *, int32_t opcode, int32_t, intptr_t, void *, float)
{
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return reinterpret_cast<intptr_t>(&timeInfo);
    case audioMasterAutomate:
        ++automations;
        return 0;
    default:
        return 0;
    }
}

intptr_t dispatch(AEffect *e, int32_t opcode, int32_t index = 0, intptr_t value = 0, void *ptr = nullptr,
                  float opt = 0.0f)
{
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

std::vector<uint8_t> chunkOf(AEffect *e)
{
    void *data = nullptr;
    const intptr_t size = dispatch(e, effGetChunk, 0, 0, &data);
    FUZZ_CHECK(size == engine::kProgramBlockSize && data);
    return std::vector<uint8_t>(static_cast<uint8_t *>(data), static_cast<uint8_t *>(data) + size);
}

// The user-interface thread: automation, program selection, texts, saves and restores, effects,
// arpeggiator and sequencer, patch recalls, the editor's idle, and the host's "free" and resume.
void automate(std::vector<Instance> &instances)
{
    using namespace engine;
    std::mt19937 random(7);
    std::vector<std::vector<uint8_t>> saved(instances.size());
    uint64_t round = 0;
    while (!stopping.load()) {
        for (size_t i = 0; i < instances.size(); ++i) {
            AEffect *e = instances[i].effect;
            Quorix *q = instances[i].quorix;
            const int32_t slot = static_cast<int32_t>(random() % 128);
            e->setParameter(e, slot, static_cast<float>(random() % 1001) / 1000.0f);
            FUZZ_CHECK(std::isfinite(e->getParameter(e, slot)));
            char text[256] = {};
            dispatch(e, effGetParamDisplay, slot, 0, text);
            dispatch(e, effGetParamName, slot, 0, text);
            // What the editor changes: a channel's insert effects, arpeggiator and sequencer.
            const int32_t channel = static_cast<int32_t>(random() % 16);
            const float any = static_cast<float>(random() % 1001) / 1000.0f;
            switch (round % 8) {
            case 0:
                q->setParameterValue(parameterIndex(channel, local::InsertOn + static_cast<int>(random() % 2)), 1.0f);
                break;
            case 1:
                q->setParameterValue(parameterIndex(channel, local::InsertType + static_cast<int>(random() % 2)), any);
                break;
            case 2:
                q->setParameterValue(parameterIndex(channel, local::InsertParams + static_cast<int>(random() % 6)), any);
                break;
            case 3:
                if (channel != 9)
                    q->setParameterValue(parameterIndex(channel, local::ArpOn), random() % 4 == 0 ? 0.0f : 1.0f);
                break;
            case 4:
                q->setParameterValue(parameterIndex(channel, local::SeqOn), random() % 4 == 0 ? 0.0f : 1.0f);
                break;
            case 5:
                q->recallPatch(channel, static_cast<int32_t>(random() % 8), static_cast<int32_t>(random() % 16));
                ++recalls;
                break;
            default:
                q->onEditorIdle();
                break;
            }
            if (round % 50 == 0)
                dispatch(e, effSetProgram, 0, 0);
            if (round % 20 == 0)
                saved[i] = chunkOf(e);
            if (round % 20 == 10 && !saved[i].empty()) {
                std::lock_guard<std::mutex> hold(transport);
                std::vector<uint8_t> copy = saved[i];
                FUZZ_CHECK(dispatch(e, effSetChunk, 0, static_cast<intptr_t>(copy.size()), copy.data()) == 1);
                FUZZ_CHECK(chunkOf(e) == saved[i]);
                ++restores;
            }
            // Now and then the host frees the samples of every instance; this one's resume, or the
            // other's editor idle, reads them back while the other renders.
            if (round % 1500 == 700 + 400 * i) {
                dispatch(e, effVendorSpecific, vstFourCC("host"), vstFourCC("free"));
                if (i == 0) {
                    dispatch(e, effMainsChanged, 0, 0);
                    dispatch(e, effMainsChanged, 0, 1);
                }
                ++reloads;
            }
        }
        ++round;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// The library the instances play: converted from a SoundFont into the folder the entry's
// registry value names.
void convertLibrary(const std::string &soundFont, const std::string &folder)
{
    sf2::SoundFont sf;
    std::string error;
    if (!sf2::loadSoundFont(soundFont, sf, error)) {
        std::fprintf(stderr, "soak: %s: %s\n", soundFont.c_str(), error.c_str());
        std::exit(1);
    }
    const sfconv::LibraryPlan plan = sfconv::planGmLibrary(sf);
    sfconv::WriteSummary summary;
    if (!sfconv::writeLibrary(sf, plan, folder, sfconv::engineValueFromText, "soak", summary, error)) {
        std::fprintf(stderr, "soak: %s\n", error.c_str());
        std::exit(1);
    }
    std::printf("soak: %s converted: %d samples, %d wavetables, %d patches\n", soundFont.c_str(), summary.samples,
                summary.wavetables, summary.patches);
}

} // namespace

int main(int argc, char **argv)
{
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    // A small General MIDI SoundFont keeps the conversion short; the factory one when it is the only one.
    std::string soundFont = argc > 2 ? argv[2] : "/usr/share/sounds/sf2/sf_GMbank.sf2";
    if (argc <= 2 && !std::filesystem::exists(soundFont))
        soundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    convertLibrary(soundFont, fuzz::installSoundLibrary(false));
    const std::vector<uint8_t> bytes = makeSong(minutes);
    qhost::MidiSong song;
    FUZZ_CHECK(song.parse(bytes.data(), bytes.size()));
    const int64_t length = song.placeEvents(kRate) + static_cast<int64_t>(kRate) * 2;
    std::printf("soak: %d minutes, %zu events, %d instances, blocks of %d at %.0f Hz\n", minutes,
                song.events().size(), kInstances, kBlock, kRate);

    timeInfo.sampleRate = kRate;
    timeInfo.tempo = 120.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;

    std::vector<Instance> instances(kInstances);
    for (Instance &instance : instances) {
        instance.effect = pluginEntry(hostCallback);
        FUZZ_CHECK(instance.effect);
        instance.quorix = dynamic_cast<Quorix *>(static_cast<AudioEffect *>(instance.effect->object));
        FUZZ_CHECK(instance.quorix);
        instance.quorix->setParameterValue(engine::master::InsertEffectsOn, 1.0f);
        instance.quorix->addChannelAssignment(1, engine::local::Pan, 0.0f, 1.0f, 0);
        dispatch(instance.effect, effOpen);
        dispatch(instance.effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
        dispatch(instance.effect, effSetBlockSize, 0, kBlock);
        dispatch(instance.effect, effMainsChanged, 0, 1);
        for (auto &pin : instance.out)
            pin.assign(kBlock, 0.0f);
    }

    // Each channel's pan on a host slot, so that what controller 1 moves reaches the host.
    for (int32_t c = 0; c < 16; ++c)
        engine::assignHostSlot(c, engine::parameterIndex(c, engine::local::Pan));
    std::thread ui(automate, std::ref(instances));
    const auto started = std::chrono::steady_clock::now();
    size_t next = 0;
    float peak = 0.0f;
    uint64_t blocks = 0, sounding = 0;
    std::vector<VstMidiEvent> midi;
    std::vector<VstMidiSysexEvent> sysex;
    std::vector<VstEvent *> list;
    std::vector<uint8_t> listStorage(sizeof(VstEvents) + sizeof(VstEvent *) * 4096);
    for (int64_t pos = 0; pos < length; pos += kBlock) {
        midi.clear();
        sysex.clear();
        list.clear();
        midi.reserve(4096);
        sysex.reserve(64);
        for (; next < song.events().size() && song.events()[next].sample < pos + kBlock && list.size() < 4096; ++next) {
            const qhost::MidiEvent &m = song.events()[next];
            const int32_t offset = static_cast<int32_t>(std::max<int64_t>(0, m.sample - pos));
            if (m.sysex) {
                VstMidiSysexEvent e{};
                e.type = kVstSysExType;
                e.byteSize = sizeof e;
                e.deltaFrames = offset;
                e.dumpBytes = static_cast<int32_t>(m.dump.size());
                e.sysexDump = reinterpret_cast<char *>(const_cast<uint8_t *>(m.dump.data()));
                sysex.push_back(e);
                list.push_back(reinterpret_cast<VstEvent *>(&sysex.back()));
            } else {
                VstMidiEvent e{};
                e.type = kVstMidiType;
                e.byteSize = sizeof e;
                e.deltaFrames = offset;
                std::memcpy(e.midiData, m.bytes, 3);
                midi.push_back(e);
                list.push_back(reinterpret_cast<VstEvent *>(&midi.back()));
            }
        }
        auto *events = reinterpret_cast<VstEvents *>(listStorage.data());
        events->numEvents = static_cast<int32_t>(list.size());
        VstEvent **slots = events->events;
        for (size_t i = 0; i < list.size(); ++i)
            slots[i] = list[i];
        const double seconds = static_cast<double>(pos) / kRate;
        {
            std::lock_guard<std::mutex> hold(transport);
            timeInfo.samplePos = static_cast<double>(pos);
            timeInfo.ppqPos = song.tickAtSeconds(seconds) / song.ticksPerQuarter();
            timeInfo.tempo = song.tempoAtSeconds(seconds);
            for (Instance &instance : instances) {
                AEffect *e = instance.effect;
                dispatch(e, effProcessEvents, 0, 0, events);
                float *in[2] = {instance.out[0].data(), instance.out[1].data()};
                float *out[4] = {instance.out[0].data(), instance.out[1].data(), instance.out[2].data(),
                                 instance.out[3].data()};
                e->processReplacing(e, in, out, kBlock);
                float loudest = 0.0f;
                for (auto &pin : instance.out)
                    for (float v : pin) {
                        FUZZ_CHECK(std::isfinite(v) && std::fabs(v) <= kOutputLimit);
                        loudest = std::max(loudest, std::fabs(v));
                    }
                peak = std::max(peak, loudest);
                ++blocks;
                sounding += loudest > 1e-3f;
            }
        }
        if ((pos / kBlock) % 11250 == 0) {
            std::printf("soak: %.0f of %.0f s rendered, peak %.3f, %llu restores, %llu automations, %llu reloads\n",
                        seconds, static_cast<double>(length) / kRate, peak,
                        static_cast<unsigned long long>(restores.load()),
                        static_cast<unsigned long long>(automations.load()),
                        static_cast<unsigned long long>(reloads.load()));
            std::fflush(stdout);
        }
    }
    stopping.store(true);
    ui.join();
    for (Instance &instance : instances) {
        dispatch(instance.effect, effMainsChanged, 0, 0);
        dispatch(instance.effect, effClose);
    }
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("soak: done, %.0f s of music in %.0f s, peak %.3f, %.0f %% of blocks sounding, %llu restores, "
                "%llu automations, %llu patch recalls, %llu sample reloads\n",
                static_cast<double>(length) / kRate, took, peak,
                blocks ? 100.0 * static_cast<double>(sounding) / static_cast<double>(blocks) : 0.0,
                static_cast<unsigned long long>(restores.load()), static_cast<unsigned long long>(automations.load()),
                static_cast<unsigned long long>(recalls.load()), static_cast<unsigned long long>(reloads.load()));
    // A soak that plays nothing proves nothing.
    if (peak < 0.01f || sounding * 2 < blocks || automations.load() == 0) {
        std::fprintf(stderr, "soak: FAILED: the output stayed silent or no automation reached the host\n");
        return 1;
    }
    return 0;
}
