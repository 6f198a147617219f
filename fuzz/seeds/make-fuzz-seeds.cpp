// Writes the seed inputs of every fuzz target, made with the project's own writers:
//   make-fuzz-seeds <folder>     one sub-folder per target (the program's name without "fuzz_")
// The seeds are small, valid or nearly valid inputs, so the fuzzer starts inside each format.
#include "banks/PatchBanks.h"
#include "banks/SampleBanks.h"
#include "banks/Wavetables.h"
#include "banks/PatchColours.h"
#include "banks/UserBanks.h"
#include "engine/AutomationFile.h"
#include "engine/ConfigurationBlock.h"
#include "engine/HostAutomationMap.h"
#include "engine/ProgramBlock.h"
#include "foundation/podoFileWAV.h"
#include "fuzz/FuzzSupport.h"
#include "host/vst24abi.h"
#include "tools/soundfont/tests/Sf2Fixture.h"
#include "tools/vsthost/MidiFile.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace banks;

namespace {

using Bytes = std::vector<uint8_t>;
using Seeds = std::map<std::string, Bytes>;

const uint8_t kMarks[] = {kLittleEndianMark, kBigEndianMark};

std::string orderName(uint8_t mark) { return mark == kLittleEndianMark ? "le" : "be"; }

std::vector<int16_t> ramp(int size)
{
    std::vector<int16_t> values;
    for (int i = 0; i < size; ++i)
        values.push_back(static_cast<int16_t>((i * 2731) % 65536 - 32768));
    return values;
}

// ---- bank files ----

Seeds sampleBankSeeds()
{
    Seeds seeds;
    const std::vector<int16_t> v = ramp(24);
    for (uint8_t mark : kMarks) {
        const SampleSource mixed[] = {
            {44100, 1, v.data(), 24}, // looped from the start
            {22050, 0, v.data(), 5},  // one-shot
            {32000, 5, v.data(), 5},  // loop at the last sample
            {0, 0, v.data(), 3},      // rate 0: not playable, skipped
        };
        seeds["mixed-" + orderName(mark)] = encodeSampleBank(mixed, 4, mark);
        seeds["empty-" + orderName(mark)] = encodeSampleBank(nullptr, 0, mark);
    }
    Bytes odd = encodeSampleBank(nullptr, 0, kLittleEndianMark);
    // One record with an odd byte size: its last byte belongs to the next record.
    const uint8_t record[] = {0x44, 0xAC, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 1, 2, 3, 4, 5};
    odd[kSampleBodyOffset - 4] = 1;
    odd.insert(odd.end(), std::begin(record), std::end(record));
    seeds["odd-size"] = odd;
    return seeds;
}

Seeds wavetableSeeds()
{
    Seeds seeds;
    const KeyZone split[] = {{0, 0, 48, 59}, {0, 1, 72, 84}, {3, 2, 200, 127}};
    const KeyZone kit[] = {{12, 0, -5, 127}};
    for (uint8_t mark : kMarks) {
        const WavetableSource melody[] = {{"Split", true, split, 3}, {"Empty", false, nullptr, 0}};
        const WavetableSource drum[] = {{"Kit", false, kit, 1}};
        seeds["melody-" + orderName(mark)] = encodeWavetableCategory(false, melody, 2, mark);
        seeds["drum-" + orderName(mark)] = encodeWavetableCategory(true, drum, 1, mark);
    }
    // A name that fills its 24 bytes.
    const WavetableSource full[] = {{"ABCDEFGHIJKLMNOPQRSTUVWX", true, split, 1}};
    seeds["full-name"] = encodeWavetableCategory(false, full, 1, kLittleEndianMark);
    return seeds;
}

// A patch file of another version: the head's version word changed, and for the versions that
// carry no category number, that word removed.
Bytes withVersion(Bytes bytes, int32_t version)
{
    std::memcpy(bytes.data() + kHeaderSize - 4, &version, 4);
    if (version == 1 || version == 46)
        bytes.erase(bytes.begin() + kHeaderSize, bytes.begin() + kHeaderSize + 4);
    return bytes;
}

Seeds patchFileSeeds()
{
    Seeds seeds;
    static ChannelProgram channels[3] = {};
    channels[0].numValues = 40;
    channels[1].numValues = kChannelProgramValues;
    channels[2].numValues = 1;
    for (int v = 0; v < 40; ++v)
        channels[0].values[v] = static_cast<float>(v) / 40.0f;
    channels[1].values[kSeqOnValue] = 1.0f;
    channels[1].values[5] = std::numeric_limits<float>::quiet_NaN();
    channels[2].values[0] = 7.5f;
    copyNameField(channels[0].name, "Solo");
    copyNameField(channels[1].name, "Seq");
    copyNameField(channels[2].name, "Odd");
    float globals[kPatchGlobalValues] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 96.0f};
    PatchRecord patches[3] = {};
    copyNameField(patches[0].name, "Solo");
    patches[0].numChannels = 1;
    patches[0].channels = &channels[0];
    copyNameField(patches[1].name, "Combination");
    patches[1].numChannels = 2;
    patches[1].channels = &channels[1];
    patches[1].numGlobalValues = kPatchGlobalValues;
    patches[1].globals = globals;
    copyNameField(patches[2].name, "Globals only");
    patches[2].numGlobalValues = 3;
    patches[2].globals = globals;
    PatchCategory category{};
    category.number = 7; // the number the fuzz target gives its category
    copyNameField(category.name, "Fuzz");
    category.numPatches = 3;
    category.patches = patches;
    for (uint8_t mark : kMarks)
        seeds["v78-" + orderName(mark)] = encodePatchFile(category, mark);
    const Bytes v78 = encodePatchFile(category, kLittleEndianMark);
    seeds["v62"] = withVersion(v78, 62);
    seeds["v46"] = withVersion(v78, 46);
    seeds["v1"] = withVersion(v78, 1);
    seeds["v99"] = withVersion(v78, 99);
    category.number = 8;
    seeds["other-number"] = encodePatchFile(category, kLittleEndianMark);

    // Counts past what a record keeps: 1,800 values and twelve globals.
    BankWriter out(kLittleEndianMark);
    out.header(BankKind::patches, 78);
    out.i32(7);
    out.i32(1);
    out.name("Long");
    out.i16(0);
    out.i16(1);
    out.i32(0);
    out.name("Long");
    out.i32(1800);
    for (int v = 0; v < 1800; ++v)
        out.f32(static_cast<float>(v % 100) / 100.0f);
    out.i32(12);
    for (int g = 0; g < 12; ++g)
        out.f32(static_cast<float>(g));
    seeds["long-counts"] = out.data();
    return seeds;
}

// ---- configuration ----

Seeds configurationSeeds()
{
    using namespace engine;
    Seeds seeds;
    ConfigurationBlock block;
    resetConfigurationBlock(block);
    uint8_t image[kConfigurationFileSize];
    encodeConfigurationFile(block, image);
    seeds["defaults"] = Bytes(std::begin(image), std::end(image));

    ConfigurationBlock odd = block;
    odd.velocityCurve = 9;
    odd.selectedTemperament = 12;
    odd.userTemperaments[3][4] = 70;
    odd.editorScale = 250;
    odd.maxOversampling = 3;
    std::memcpy(odd.skinName, "../outside", 11);
    encodeConfigurationFile(odd, image);
    seeds["odd-values"] = Bytes(std::begin(image), std::end(image));

    // The other byte order: version, size and every int32 field reversed.
    Bytes swapped(std::begin(image), std::end(image));
    auto reverse = [&](size_t offset) { std::reverse(swapped.begin() + offset, swapped.begin() + offset + 4); };
    reverse(40);
    reverse(44);
    const size_t base = kConfigurationHeaderSize;
    for (size_t field : {offsetof(ConfigurationBlock, velocityCurve), offsetof(ConfigurationBlock, hoverDisplay),
                         offsetof(ConfigurationBlock, assignmentOverlay),
                         offsetof(ConfigurationBlock, selectedTemperament), offsetof(ConfigurationBlock, editorScale)})
        reverse(base + field);
    for (size_t i = 0; i < 96; ++i)
        reverse(base + offsetof(ConfigurationBlock, userTemperaments) + 4 * i);
    seeds["swapped"] = swapped;

    // An old layout (no byte at offset 7), shorter than a whole block.
    encodeConfigurationFile(block, image);
    Bytes old(std::begin(image), std::begin(image) + base + 100);
    const int32_t version = 0x01010200, size = 100;
    std::memcpy(old.data() + 40, &version, 4);
    std::memcpy(old.data() + 44, &size, 4);
    seeds["old-layout"] = old;
    seeds["head-only"] = Bytes(std::begin(image), std::begin(image) + 44);
    return seeds;
}

// ---- Standard MIDI Files ----

Seeds midiFileSeeds()
{
    Seeds seeds;
    {
        qhost::MidiFileWriter w(0, 96);
        w.beginTrack();
        w.tempo(0, 100.0);
        w.timeSignature(0, 3, 4);
        w.channel(0, 0xC0, 5);
        w.channel(0, 0x90, 60, 100);
        w.channel(48, 0x80, 60, 0);
        w.channel(48, 0xE0, 0, 64);
        w.sysex(96, {0x7E, 0x7F, 0x09, 0x01, 0xF7});
        w.endTrack(192);
        seeds["format0"] = w.bytes();
    }
    {
        qhost::MidiFileWriter w(1, 480);
        w.beginTrack();
        w.tempo(0, 120.0);
        w.tempo(960, 90.0);
        w.timeSignature(1920, 7, 8);
        w.endTrack(3840);
        w.beginTrack();
        w.trackName(0, "Piano");
        w.channel(0, 0xB0, 0, 1);
        w.channel(0, 0xB0, 32, 0);
        w.channel(0, 0xC0, 10);
        for (int i = 0; i < 8; ++i) {
            w.channel(static_cast<uint64_t>(i) * 240, 0x90, static_cast<uint8_t>(60 + i), 90);
            w.channel(static_cast<uint64_t>(i) * 240 + 200, 0x90, static_cast<uint8_t>(60 + i), 0);
        }
        w.sysex(100, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});
        w.endTrack(3840);
        seeds["format1"] = w.bytes();
    }
    {
        // 25 frames a second, 40 ticks a frame.
        qhost::MidiFileWriter w(0, 0xE728);
        w.beginTrack();
        w.channel(0, 0x99, 36, 127);
        w.channel(1000, 0x89, 36, 0);
        w.endTrack(1000);
        seeds["smpte"] = w.bytes();
    }
    // Running status, a System Exclusive message in two packets and an escaped message, by hand.
    const Bytes track = {0x00, 0x90, 0x3C, 0x40, 0x10, 0x3E, 0x40, 0x10, 0x3C, 0x00, 0x00, 0xF0, 0x03, 0x43,
                         0x12, 0x00, 0x08, 0xF7, 0x02, 0x34, 0xF7, 0x00, 0xF7, 0x02, 0xB0, 0x07, 0x00, 0xFF,
                         0x2F, 0x00};
    Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k', 0, 0, 0,
                  static_cast<uint8_t>(track.size())};
    file.insert(file.end(), track.begin(), track.end());
    seeds["running-status"] = file;
    return seeds;
}

// ---- the plug-in's host inputs ----

// Edits laid over the instance's own chunk: offset, length, bytes.
void edit(fuzz::Output &out, size_t offset, const void *bytes, uint8_t length)
{
    out.u32(static_cast<uint32_t>(offset)).u8(length);
    const auto *p = static_cast<const uint8_t *>(bytes);
    out.bytes(Bytes(p, p + length));
}

Seeds chunkSeeds()
{
    Seeds seeds;
    seeds["empty"] = {0};
    seeds["short"] = fuzz::Output().u8(0).bytes(Bytes(100, 0x41)).out;
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const size_t values = offsetof(ProgramBlock, values);
    {
        fuzz::Output out;
        out.u8(1);
        const float odd[] = {nan, -inf, 3.0f, -1.0f, 1e-40f};
        for (size_t i = 0; i < 5; ++i) {
            edit(out, values + 4 * i, &odd[i], 4);                                   // master values
            edit(out, values + 4 * (17 + 1789 * 3 + 20 + i), &odd[i], 4);           // a channel's settings
            edit(out, values + 4 * (17 + 1789 * 9 + 698 + 40 * static_cast<size_t>(i)), &odd[i], 4); // instrument
        }
        seeds["odd-values"] = out.out;
    }
    {
        fuzz::Output out;
        out.u8(1);
        const char name[24] = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L',
                               'M', 'N', 'O', 'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X'};
        edit(out, offsetof(ProgramBlock, name), name, 24);
        edit(out, offsetof(ProgramBlock, channels) + 32 * 5, name, 24);
        const int32_t channel = 99, page = -7, slot = 500;
        edit(out, offsetof(ProgramBlock, currentChannel), &channel, 4);
        edit(out, offsetof(ProgramBlock, returnPage), &page, 4);
        edit(out, offsetof(ProgramBlock, selectedDrumSlot) + 8, &slot, 4);
        const int16_t category = 999, patch = -300;
        edit(out, offsetof(ProgramBlock, channels) + 32 * 2 + 24, &category, 2);
        edit(out, offsetof(ProgramBlock, channels) + 32 * 2 + 26, &patch, 2);
        const int32_t temperament = 1000, cents = -5000;
        edit(out, offsetof(ProgramBlock, tuning), &temperament, 4);
        edit(out, offsetof(ProgramBlock, tuning) + 4 + 4 * 7, &cents, 4);
        const float tempo = -inf;
        edit(out, offsetof(ProgramBlock, tempo), &tempo, 4);
        seeds["odd-fields"] = out.out;
    }
    {
        fuzz::Output out;
        out.u8(3);
        const uint8_t mark = 'B';
        edit(out, 0, &mark, 1);
        seeds["other-order"] = out.out;
    }
    return seeds;
}

// Events target: rate choice, time information, then blocks of events.
struct EventSeed {
    fuzz::Output out;

    EventSeed(uint8_t rate, bool time, uint32_t flags, double tempo, double ppq)
    {
        out.u8(rate).u8(time ? 0 : 1).u32(flags).f64(tempo).f64(ppq).f64(0.0).f64(0.0).i32(4).i32(4);
    }
    EventSeed &block(uint16_t frames, uint8_t count)
    {
        out.u16(frames).u8(count);
        return *this;
    }
    EventSeed &midi(int32_t delta, uint8_t status, uint8_t a, uint8_t b)
    {
        out.u8(0).i32(delta).u8(status).u8(a).u8(b).u8(0).u8(0);
        return *this;
    }
    EventSeed &sysex(int32_t delta, const Bytes &bytes)
    {
        out.u8(2).i32(delta).u16(static_cast<uint16_t>(bytes.size())).bytes(bytes);
        return *this;
    }
};

Seeds eventSeeds()
{
    Seeds seeds;
    const uint32_t playing = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;
    {
        EventSeed s(0, true, playing, 120.0, 0.0);
        s.block(512, 6).midi(0, 0xC0, 0, 0).midi(0, 0x90, 60, 100).midi(10, 0x91, 64, 90).midi(20, 0x99, 36, 127)
            .midi(100, 0xE0, 0, 127).midi(200, 0xB0, 1, 127);
        s.block(512, 3).midi(0, 0x80, 60, 0).midi(5, 0xD1, 80, 0).midi(6, 0xA1, 64, 50);
        s.block(256, 2).midi(0, 0xB0, 64, 127).midi(255, 0xB0, 64, 0);
        seeds["notes"] = s.out.out;
    }
    {
        // RPN pitch-bend range and fine tune, NRPN, bank select and program change, channel modes.
        EventSeed s(1, true, playing, 97.0, 12.5);
        s.block(512, 12).midi(0, 0xB2, 101, 0).midi(0, 0xB2, 100, 0).midi(0, 0xB2, 6, 24).midi(0, 0xB2, 38, 0)
            .midi(1, 0xB2, 101, 0).midi(1, 0xB2, 100, 1).midi(1, 0xB2, 6, 80)
            .midi(2, 0xB2, 99, 1).midi(2, 0xB2, 98, 8).midi(2, 0xB2, 6, 100)
            .midi(3, 0xB2, 0, 8).midi(3, 0xC2, 20, 0);
        s.block(512, 5).midi(0, 0x92, 50, 80).midi(100, 0xE2, 127, 127).midi(200, 0xB2, 121, 0)
            .midi(300, 0xB2, 123, 0).midi(400, 0xB2, 120, 0);
        seeds["controllers"] = s.out.out;
    }
    {
        EventSeed s(0, true, playing, 120.0, 0.0);
        s.block(512, 4).sysex(0, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7})
            .sysex(1, {0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x40, 0xF7})
            .sysex(2, {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7})
            .sysex(3, {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x1A, 0x15, 0x02, 0x00, 0xF7});
        s.block(512, 5).sysex(0, {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x33, 0x7F, 0x00, 0xF7})
            .sysex(0, {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04, 0x64, 0x00, 0xF7})
            .sysex(0, {0xF0, 0x41})
            .midi(10, 0x9A, 38, 100)
            .midi(11, 0xCA, 16, 0);
        seeds["system-exclusive"] = s.out.out;
    }
    {
        // A host that gives no time, then odd offsets.
        EventSeed s(3, false, 0, 0.0, 0.0);
        s.block(64, 3).midi(-5, 0x90, 70, 100).midi(4000, 0x90, 71, 100).midi(63, 0x90, 72, 100);
        s.block(0, 1).midi(0, 0x80, 70, 0);
        seeds["no-time"] = s.out.out;
    }
    {
        EventSeed s(4, true, playing, 0.001, 1e12);
        s.block(512, 1).midi(0, 0x90, 127, 127);
        seeds["extreme-time"] = s.out.out;
    }
    return seeds;
}

// Parameters target: operations (see its header).
Seeds parameterSeeds()
{
    Seeds seeds;
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    {
        fuzz::Output out;
        const float values[] = {nan, inf, -inf, -1.0f, 2.0f, 0.5f, 1e-42f};
        for (int slot = 0; slot < 7; ++slot)
            out.u8(0).u8(static_cast<uint8_t>(slot * 19)).f32(values[slot]);
        out.u8(5).u8(0).u8(60).u8(100).u8(6).u16(512);
        out.u8(0).u8(200).f32(0.5f);
        seeds["host-values"] = out.out;
    }
    {
        fuzz::Output out;
        const int32_t indexes[] = {0, 5, 16, 17, 36, 37, 48, 697, 698, 1805, 1806, 28640, 28641, -1};
        for (size_t i = 0; i < std::size(indexes); ++i)
            out.u8(1).u32(static_cast<uint32_t>(indexes[i] + 32)).f32(i % 2 ? nan : 1.5f);
        out.u8(5).u8(9).u8(38).u8(127).u8(7).u16(300);
        seeds["engine-values"] = out.out;
    }
    {
        fuzz::Output out;
        const char *texts[] = {"0.5", "nan", "-inf", "1e39", "C#3", "", "  12.5 dB", "Off"};
        for (size_t i = 0; i < std::size(texts); ++i)
            out.u8(0x84).f32(static_cast<float>(i * 11)).text(texts[i]);
        out.u8(2).f32(3.0f).text(std::string(255, '9'));
        out.u8(2).f32(nan).text("1");
        out.u8(3).f32(4.0f).f32(0.25f);
        out.u8(3).f32(127.0f).f32(nan);
        out.u8(3).f32(-1.0f).f32(0.0f);
        out.u8(4).u8(10);
        out.u8(4).u8(200);
        seeds["texts"] = out.out;
    }
    {
        // The engine's texts: out for a few kinds of parameter, and typed texts back in.
        fuzz::Output out;
        const int32_t indexes[] = {0, 3, 9, 17, 20, 40, 60, 700, 720, 1000, 1805, 1806 + 700, 28640, 28641};
        for (int32_t index : indexes)
            out.u8(8).u32(static_cast<uint32_t>(index + 32)).u8(static_cast<uint8_t>(index & 1)).f32(0.37f);
        const char *typed[] = {"64", "-12", "C#3", "ON", "off", "1.5 kHz", "nan", "-oo", "300", "Saw", ""};
        for (size_t i = 0; i < std::size(typed); ++i)
            out.u8(9).u32(static_cast<uint32_t>(indexes[i % std::size(indexes)] + 32)).u8(static_cast<uint8_t>(i % 3))
                .text(typed[i]);
        seeds["engine-texts"] = out.out;
    }
    return seeds;
}

// ---- SoundFont files ----

Seeds soundFontSeeds()
{
    using namespace sftest;
    Seeds seeds;
    {
        // A melodic preset over two zones (one looped, one stereo pair) and a drum kit.
        Sf2Fixture f;
        f.addSample({"low", sftest::ramp(64), 8, 56, 22050, 48, -5});
        FixtureSample left{"left", sftest::ramp(40), 0, 0, 44100, 72, 0, 2, sf2::leftSample};
        FixtureSample right{"right", sftest::ramp(40, -3), 0, 0, 44100, 72, 0, 1, sf2::rightSample};
        f.addSample(left);
        f.addSample(right);
        FixtureInstrument grand{"Grand", {}};
        grand.zones.push_back({{gen(sf2::initialAttenuation, 30)}});
        grand.zones.push_back(Sf2Fixture::sampleZone(0, 0, 59, {gen(sf2::sampleModes, 1), gen(sf2::fineTune, -7)}));
        grand.zones.push_back(Sf2Fixture::sampleZone(1, 60, 127, {gen(sf2::pan, -500)}));
        grand.zones.push_back(Sf2Fixture::sampleZone(2, 60, 127, {gen(sf2::pan, 500)}));
        f.addInstrument(grand);
        FixtureInstrument kit{"Kit", {}};
        kit.zones.push_back(Sf2Fixture::sampleZone(0, 35, 40, {gen(sf2::exclusiveClass, 1), gen(sf2::coarseTune, -5)}));
        kit.zones.push_back(Sf2Fixture::sampleZone(1, 42, 46, {gen(sf2::releaseVolEnv, 2000)}));
        f.addInstrument(kit);
        f.addPreset({"Piano", 0, 0, {Sf2Fixture::instrumentZone(0, {range(sf2::keyRange, 21, 108)})}});
        f.addPreset({"Strings", 48, 0, {Sf2Fixture::instrumentZone(0, {gen(sf2::attackVolEnv, 1200)})}});
        f.addPreset({"Standard", 0, 128, {Sf2Fixture::instrumentZone(1)}});
        seeds["gm"] = f.bytes();
    }
    {
        Sf2Fixture f;
        f.addSample({"one", sftest::ramp(10), 0, 0, 8000, 60, 0});
        FixtureInstrument i{"I", {}};
        i.zones.push_back(Sf2Fixture::sampleZone(0, 0, 127, {gen(sf2::startAddrsOffset, 4), gen(sf2::endAddrsCoarseOffset, 3)}));
        f.addInstrument(i);
        f.addPreset({"Odd offsets", 5, 1, {Sf2Fixture::instrumentZone(0)}});
        seeds["offsets"] = f.bytes();
    }
    return seeds;
}

// ---- automation file ----

Seeds automationSeeds()
{
    using namespace engine;
    Seeds seeds;
    auto image = std::make_unique<AutomationImage>();
    clearAssignments();
    addDefaultAssignments(false);
    clearHostAutomationMaps();
    captureAutomation(*image);
    for (uint8_t mark : kMarks)
        seeds["factory-" + orderName(mark)] = encodeAutomationFile(*image, mark);

    // Extras, a learning entry, a reversed range and a host map naming one parameter twice.
    clearAssignments();
    addDefaultAssignments(true);
    captureAutomation(*image);
    image->table(AssignmentTable::melody)[5] = {kAssignmentLearning, kSourcePitchBend, 0.75f, 0.25f, 1};
    image->table(AssignmentTable::special)[0] = {0, kSourceAftertouch, 0.0f, 1.0f, 0};
    image->hostMap[0] = 18;
    image->hostMap[1] = 900;
    image->hostMap[2] = 18;
    image->hostMap[127] = kParameterCount;
    const Bytes mixed = encodeAutomationFile(*image, kLittleEndianMark);
    seeds["mixed"] = mixed;

    // The older version, whose channel volume and pan may sit on controllers 7 and 10.
    image->table(AssignmentTable::channel)[3] = {0, 7, 0.0f, 1.0f, 0};
    image->table(AssignmentTable::channel)[4] = {0, 10, 0.0f, 1.0f, 0};
    Bytes old = encodeAutomationFile(*image, kLittleEndianMark);
    const int32_t oldVersion = kAutomationOldVersion;
    std::memcpy(old.data() + 40, &oldVersion, 4);
    seeds["old-version"] = old;

    // Short sections and a short map: the entries left out keep what they held.
    Bytes shortFile(mixed.begin(), mixed.begin() + static_cast<long>(kAutomationHeaderSize));
    for (int t = 0; t < kAssignmentTableCount; ++t) {
        const int32_t count = t == 3 ? 2 : 0;
        shortFile.insert(shortFile.end(), reinterpret_cast<const uint8_t *>(&count),
                         reinterpret_cast<const uint8_t *>(&count) + 4);
        const size_t first = kAutomationHeaderSize + 4 * (t + 1) +
                             12 * (kMasterAssignments + kChannelAssignments + kSequencerAssignments);
        if (count)
            shortFile.insert(shortFile.end(), mixed.begin() + static_cast<long>(first),
                             mixed.begin() + static_cast<long>(first + 24));
    }
    const int32_t slots = 3;
    shortFile.insert(shortFile.end(), reinterpret_cast<const uint8_t *>(&slots),
                     reinterpret_cast<const uint8_t *>(&slots) + 4);
    shortFile.insert(shortFile.end(), mixed.end() - 4 * kHostSlotCount, mixed.end() - 4 * (kHostSlotCount - 3));
    seeds["short-sections"] = shortFile;
    seeds["cut"] = Bytes(mixed.begin(), mixed.begin() + 3000);
    return seeds;
}

// ---- user banks and patch colours ----

Seeds userBankSeeds()
{
    Seeds seeds;
    static ChannelProgram channels[3] = {};
    channels[0].numValues = kChannelProgramValues;
    for (int32_t v = 0; v < kChannelProgramValues; ++v)
        channels[0].values[v] = static_cast<float>(v % 7) / 6.0f;
    channels[1].numValues = 12;
    channels[1].values[3] = std::numeric_limits<float>::quiet_NaN();
    channels[1].values[4] = -3.0f;
    channels[2].numValues = 1;
    copyNameField(channels[0].name, "Whole");
    copyNameField(channels[1].name, "Lower");
    copyNameField(channels[2].name, "ABCDEFGHIJKLMNOPQRSTUVWX");
    float globals[kPatchGlobalValues] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 140.0f};
    PatchRecord patches[3] = {};
    copyNameField(patches[0].name, "Single");
    patches[0].colour = 3;
    patches[0].numChannels = 1;
    patches[0].channels = &channels[0];
    patches[0].numGlobalValues = kPatchGlobalValues;
    patches[0].globals = globals;
    copyNameField(patches[1].name, "Split");
    patches[1].colour = -2;
    patches[1].numChannels = 2;
    patches[1].channels = &channels[1];
    patches[1].numGlobalValues = 2;
    patches[1].globals = globals;
    copyNameField(patches[2].name, "Never stored"); // written as the empty patch
    PatchCategory category{};
    category.numPatches = 3;
    category.patches = patches;
    for (uint8_t mark : kMarks)
        seeds["three-" + orderName(mark)] = encodeUserBank(category, mark, nullptr);
    Bytes version = encodeUserBank(category, kLittleEndianMark, nullptr);
    const int32_t two = 2;
    std::memcpy(version.data() + kHeaderSize - 4, &two, 4);
    seeds["version-2"] = version;
    category.numPatches = 1;
    const Bytes one = encodeUserBank(category, kLittleEndianMark, nullptr);
    seeds["cut"] = Bytes(one.begin(), one.end() - 9);
    return seeds;
}

Seeds patchColourSeeds()
{
    Seeds seeds;
    // The fuzz library: factory category 3 of three patches, user banks 120..123 of 128.
    for (uint8_t mark : kMarks) {
        BankWriter out(mark);
        out.header(BankKind::patchColour, kPatchColourVersion);
        out.i32(6);
        out.i32(3);
        out.i32(3);
        for (int16_t c : {2, 9, -1})
            out.i16(c);
        out.i32(50); // no such category: skipped
        out.i32(2);
        out.i16(1);
        out.i16(1);
        for (int32_t number = 120; number < 124; ++number) {
            out.i32(number);
            out.i32(number == 121 ? 130 : 128); // more codes than patches
            for (int32_t j = 0; j < (number == 121 ? 130 : 128); ++j)
                out.i16(static_cast<int16_t>(j * 3 - 100));
        }
        seeds["all-" + orderName(mark)] = out.data();
    }
    BankWriter bad(kLittleEndianMark);
    bad.header(BankKind::patchColour, kPatchColourVersion);
    bad.i32(2);
    bad.i32(3);
    bad.i32(2);
    bad.i16(5);
    bad.i16(6);
    bad.i32(1000); // a number outside 0..999
    seeds["bad-number"] = bad.data();
    BankWriter version(kLittleEndianMark);
    version.header(BankKind::patchColour, 2);
    version.i32(0);
    seeds["version-2"] = version.data();
    return seeds;
}

// ---- WAVE files and key-value files ----

Bytes waveFile(int32_t rate, int32_t bits, int32_t channels, int32_t tag, size_t frames, bool tags, bool loops)
{
    const std::string path = fuzz::freshFolder("seed-wave") + "seed.wav";
    {
        podoFileWAV file;
        if (file.open(podoStr(path.c_str()), podoFileFlags::write | podoFileFlags::create) != 0)
            return {};
        file.setFormat(rate, bits, channels, tag);
        std::vector<uint8_t> data(frames * static_cast<size_t>(channels * bits / 8));
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<uint8_t>(i * 37 + 11);
        if (!data.empty())
            file.accessData(nullptr, data.data(), static_cast<int64_t>(data.size()));
        if (tags) {
            WaveListRecord list;
            WaveInfoEntry name, comment;
            name.id = static_cast<uint32_t>(riffId("INAM"));
            name.text = "Tone";
            comment.id = static_cast<uint32_t>(riffId("ICMT"));
            comment.text = "\xED\x95\x9C odd";
            list.entries.add(name);
            list.entries.add(comment);
            file.list(list);
        }
        if (loops) {
            WaveSamplerRecord sampler;
            sampler.midiUnityNote = 60;
            WaveSampleLoop loop;
            loop.start = 2;
            loop.end = static_cast<uint32_t>(frames - 1);
            sampler.loops.add(loop);
            loop.type = 1;
            sampler.loops.add(loop);
            file.sampler(sampler);
        }
        file.close();
    }
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Seeds waveSeeds()
{
    Seeds seeds;
    seeds["stereo-16"] = waveFile(44100, 16, 2, 1, 20, true, true);
    seeds["mono-float"] = waveFile(48000, 32, 1, 3, 9, false, true);
    seeds["mono-24-odd"] = waveFile(22050, 24, 1, 1, 5, true, false);
    seeds["mono-8"] = waveFile(8000, 8, 1, 1, 7, false, false);
    return seeds;
}

Bytes text(uint8_t settings, const std::string &body)
{
    Bytes out{settings};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Seeds keyValueSeeds()
{
    Seeds seeds;
    const std::string colours = "font-default = ff000000\r\nback-default=0xC0C0C0FF ; grey\n; comment\n"
                                "font-default = 00ff00ff\nnovalue\n = empty key\na = b = c\n\nlast=end";
    seeds["colours-strip"] = text(0x80 | 0x40, colours);
    seeds["colours-keep"] = text(0x80, colours);
    seeds["hash"] = text('#' | 0x40, "# head\nkey = value # note\nother=#1\n\tx\t=\t y \t\n");
    seeds["images"] = text(0x80, "background\r\n  knob  \n\t\nbutton\n\nafter the end\n");
    return seeds;
}

// ---- the sequencer's files and scales (a choice byte, then the file) ----

Bytes valueFile(uint8_t choice, uint8_t mark, int32_t count)
{
    Bytes out{choice, mark};
    for (int32_t i = 0; i < count; ++i) {
        const float v = static_cast<float>((i * 37) % 101) / 100.0f;
        uint8_t b[4];
        std::memcpy(b, &v, 4);
        if (mark != kLittleEndianMark)
            std::reverse(std::begin(b), std::end(b));
        out.insert(out.end(), std::begin(b), std::end(b));
    }
    return out;
}

Seeds sequencerFileSeeds()
{
    Seeds seeds;
    // Choice byte: bits 0-1 kind (lane, pattern, MIDI import, scale), 2-5 channel, 6-7 lane.
    seeds["lane-le"] = valueFile(0x00 | (3 << 2) | (2 << 6), kLittleEndianMark, 130);
    seeds["lane-be"] = valueFile(0x00 | (1 << 6), kBigEndianMark, 130);
    seeds["pattern-le"] = valueFile(0x01 | (9 << 2), kLittleEndianMark, 661);
    seeds["pattern-short-be"] = valueFile(0x01, kBigEndianMark, 40);
    {
        qhost::MidiFileWriter w(1, 96);
        w.beginTrack();
        w.tempo(0, 120.0);
        w.endTrack(384);
        w.beginTrack();
        for (int i = 0; i < 6; ++i) {
            w.channel(static_cast<uint64_t>(i) * 48, static_cast<uint8_t>(0x90 | (i % 3)), static_cast<uint8_t>(55 + 3 * i), 100);
            w.channel(static_cast<uint64_t>(i) * 48 + 90, static_cast<uint8_t>(0x80 | (i % 3)), static_cast<uint8_t>(55 + 3 * i), 0);
        }
        w.endTrack(384);
        Bytes song = w.bytes();
        Bytes one{0x02 | (2 << 2) | (1 << 6)}, all{0x02 | 0x80};
        one.insert(one.end(), song.begin(), song.end());
        all.insert(all.end(), song.begin(), song.end());
        seeds["midi-one-lane"] = one;
        seeds["midi-all-lanes"] = all;
    }
    const std::string scale = "! tuned.scl\n!\nA scale\n 12\n!\n100.0\n203.9\n294.1\n4/3\n386.3\n590.2\n701.955\n"
                              "792.2\n 5/3 \n996.1\n1088.3\n2/1\n";
    seeds["scale"] = text(0x03 | (2 << 2), scale);
    seeds["scale-odd"] = text(0x03 | (5 << 2), "odd\n3\n-100.0\n0/0\n1e40\n");
    return seeds;
}

const std::map<std::string, std::function<Seeds()>> &targets()
{
    static const std::map<std::string, std::function<Seeds()>> all = {
        {"sample_bank", sampleBankSeeds},
        {"wavetables", wavetableSeeds},
        {"patch_file", patchFileSeeds},
        {"patch_recall", patchFileSeeds},
        {"configuration", configurationSeeds},
        {"midi_file", midiFileSeeds},
        {"chunk", chunkSeeds},
        {"events", eventSeeds},
        {"parameters", parameterSeeds},
        {"soundfont", soundFontSeeds},
        {"automation", automationSeeds},
        {"user_bank", userBankSeeds},
        {"patch_colours", patchColourSeeds},
        {"wave_file", waveSeeds},
        {"key_value", keyValueSeeds},
        {"sequencer_files", sequencerFileSeeds},
    };
    return all;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-fuzz-seeds <folder>\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    for (const auto &[target, make] : targets()) {
        const std::filesystem::path folder = root / target;
        std::filesystem::create_directories(folder);
        for (const auto &[name, bytes] : make()) {
            std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            if (!out) {
                std::fprintf(stderr, "make-fuzz-seeds: cannot write %s\n", (folder / name).c_str());
                return 1;
            }
        }
    }
    return 0;
}
