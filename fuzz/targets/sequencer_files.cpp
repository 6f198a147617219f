// The files the editor loads into a channel: lane patterns (".lan"), sequencer patterns (".ptn"),
// Standard MIDI Files imported into the step sequencer, and Scala scales (".scl") into a user
// temperament; each applied as the editor applies it, then played with the transport running.
//
// Input: a choice byte (kind, channel, lane, temperament), then the file.
//
// What must hold: a lane or pattern file changes only the values of its lane or of the channel's
// sequencer, each within 0..1; an import leaves a sequence of 1..64 steps; a scale gives offsets
// within -50..+50 cents to the chosen user temperament only; the program stays within 0..1 and
// the render finite and bounded.
#include "editor/PatternFiles.h"
#include "editor/ScalaFile.h"
#include "engine/ConfigurationBlock.h"
#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"
#include "engine/Quorix.h"
#include "fuzz/FuzzHost.h"
#include "fuzz/FuzzSupport.h"

#include <cstring>

using namespace engine;

namespace {

std::vector<float> programValues(fuzz::Host &host, AEffect *effect)
{
    void *data = nullptr;
    const intptr_t size = host.dispatch(effect, effGetChunk, 0, 0, &data);
    FUZZ_CHECK(size == kProgramBlockSize && data);
    std::vector<float> values(kParameterCount);
    std::memcpy(values.data(), static_cast<const uint8_t *>(data) + offsetof(ProgramBlock, values),
                sizeof(float) * values.size());
    return values;
}

// Only the parameters of locals first..last of the channel may differ.
void checkOnlyChanged(const std::vector<float> &before, const std::vector<float> &after, int32_t channel,
                      int32_t first, int32_t last)
{
    for (int32_t i = 0; i < kParameterCount; ++i) {
        bool inside = false;
        for (int32_t local = first; local <= last && !inside; ++local)
            inside = parameterIndex(channel, local) == i;
        if (!inside)
            FUZZ_CHECK(std::memcmp(&before[i], &after[i], sizeof(float)) == 0);
    }
}

void play(fuzz::Host &host, AEffect *effect, int32_t channel)
{
    host.sendMidi(effect, {{uint8_t(0x90 | channel), 60, 100}, {uint8_t(0x90 | channel), 67, 90}});
    for (int block = 0; block < 6; ++block) {
        host.time.ppqPos = block * 0.5;
        host.time.samplePos = block * fuzz::Host::kBlockSize;
        host.render(effect);
    }
    host.sendMidi(effect, {{uint8_t(0x80 | channel), 60, 0}, {uint8_t(0x80 | channel), 67, 0}});
    host.render(effect);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Host &host = fuzz::Host::get();
    static AEffect *anchor = host.open();
    (void)anchor;
    static const std::string folder = fuzz::freshFolder("sequencer-files");
    if (size == 0)
        return 0;
    const uint8_t choice = data[0];
    const int kind = choice & 3;
    const int32_t channel = (choice >> 2) & 15;
    const int32_t lane = (choice >> 6) % kSequencerLanes;
    const std::string path = folder + "input";
    fuzz::writeFile(path, data + 1, size - 1);
    const podoStr where(path.c_str());

    AEffect *effect = host.open();
    Quorix &engine = dynamic_cast<Quorix &>(*static_cast<AudioEffect *>(effect->object));
    const std::vector<float> before = programValues(host, effect);
    switch (kind) {
    case 0: { // lane pattern
        FUZZ_CHECK(patternFiles::readLaneFile(&engine, where, channel, lane) == 0);
        const int32_t first = 48 + patternFiles::laneValueCount * lane;
        checkOnlyChanged(before, programValues(host, effect), channel, first, first + patternFiles::laneValueCount - 1);
        engine.applySequencerParameters(channel, true);
        break;
    }
    case 1: // sequencer pattern
        FUZZ_CHECK(patternFiles::readPatternFile(&engine, where, channel) == 0);
        checkOnlyChanged(before, programValues(host, effect), channel, 37, 37 + patternFiles::patternValueCount - 1);
        engine.applySequencerParameters(channel, true);
        engine.applySequencerParameters(channel, false);
        break;
    case 2: { // Standard MIDI File into the steps, one lane or all
        const int32_t target = (choice & 0x80) ? -1 : lane;
        const int32_t result = engine.importPatternMidiFile(where, channel, target);
        FUZZ_CHECK(result == 0 || result == 2);
        const int32_t length = engine.getSeqLength(channel);
        FUZZ_CHECK(length >= 1 && length <= kSequencerSteps);
        engine.setParameterValue(parameterIndex(channel, local::SeqLength), float(length - 1) / 63.0f);
        break;
    }
    default: { // Scala scale into user temperament 8..15
        const int32_t temperament = 8 + ((choice >> 2) & 7);
        engine.selectTemperament(temperament);
        ConfigurationBlock was;
        engine.getConfiguration(&was);
        FUZZ_CHECK(scalaFile::readScalaFile(&engine, where) == 0);
        ConfigurationBlock now;
        engine.getConfiguration(&now);
        for (int32_t row = 0; row < 8; ++row)
            for (int32_t pc = 0; pc < 12; ++pc) {
                const int32_t cents = now.userTemperaments[row][pc];
                if (row == temperament - 8)
                    FUZZ_CHECK(cents >= -50 && cents <= 50 && engine.getTuningOffset(pc) == cents);
                else
                    FUZZ_CHECK(cents == was.userTemperaments[row][pc]);
            }
        break;
    }
    }
    host.checkProgram(effect);
    play(host, effect, channel);
    host.checkProgram(effect);
    host.close(effect);
    return 0;
}
