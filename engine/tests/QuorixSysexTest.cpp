// System Exclusive messages as the render hands them over: what each one changes, and that
// nothing is read past a message's length.
#include "engine/tests/EngineTestSupport.h"
#include "engine/tests/PlaySupport.h"

#include "engine/HostAutomationMap.h"
#include "engine/ParameterIndex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace quorix_sysex_test {

using namespace engine;
using namespace enginetest;

namespace {

int ch(int channel, int localId) { return parameterIndex(channel, localId); }

enum class Effect { none, reset, parameter, rhythm };

struct Case {
    const char *what;
    std::vector<uint8_t> bytes;
    int length; // bytes the event reports; -1: all of them. Bytes beyond it would complete a message.
    Effect effect;
    int target; // parameter index or channel index
    float value; // parameter value, or the rhythm flag
};

void send(Quorix &q, std::vector<uint8_t> bytes, int length)
{
    VstMidiSysexEvent event{};
    event.type = kVstSysExType;
    event.byteSize = sizeof event;
    event.dumpBytes = length < 0 ? static_cast<int32_t>(bytes.size()) : length;
    event.sysexDump = reinterpret_cast<char *>(bytes.data());
    q.handleSysEx(&event);
}

} // namespace

TEST(Sysex, EachMessageDoesWhatItSaysAndNoMore)
{
    const float kChanged = 0.123f;
    const Case cases[] = {
        {"GM System On", {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, -1, Effect::reset, 0, 0},
        {"GM System On to device 10", {0xF0, 0x7E, 0x10, 0x09, 0x01, 0xF7}, -1, Effect::none, 0, 0},
        {"GM System On cut before F7", {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, 5, Effect::none, 0, 0},
        {"universal volume", {0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x40, 0xF7}, -1, Effect::parameter, master::Volume, 0.7071068f * 64 / 127.0f},
        {"universal volume without F7", {0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F}, -1, Effect::parameter, master::Volume, 0.7071068f},
        {"universal volume with an LSB", {0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x01, 0x40, 0xF7}, -1, Effect::none, 0, 0},
        {"universal volume to device 10", {0xF0, 0x7F, 0x10, 0x04, 0x01, 0x00, 0x40, 0xF7}, -1, Effect::none, 0, 0},
        {"universal volume cut before its value", {0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x40, 0xF7}, 6, Effect::none, 0, 0},
        {"GS reset", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}, -1, Effect::reset, 0, 0},
        {"GS reset, any device, wrong checksum", {0xF0, 0x41, 0x7F, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x00, 0xF7}, -1, Effect::reset, 0, 0},
        {"GS reset cut short", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}, 8, Effect::none, 0, 0},
        {"GS master volume", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04, 0x64, 0x00, 0xF7}, -1, Effect::parameter, master::Volume, 0.7071068f * 100 / 127.0f},
        {"GS master volume from device 1F", {0xF0, 0x41, 0x1F, 0x42, 0x12, 0x40, 0x00, 0x04, 0x64}, -1, Effect::parameter, master::Volume, 0.7071068f * 100 / 127.0f},
        {"GS master volume cut before its value", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04, 0x64, 0x58, 0xF7}, 8, Effect::none, 0, 0},
        {"GS master volume ending where its value should be", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04, 0xF7}, -1, Effect::none, 0, 0},
        {"GS request, not a data set", {0xF0, 0x41, 0x10, 0x42, 0x11, 0x40, 0x00, 0x04, 0x64, 0x00, 0xF7}, -1, Effect::none, 0, 0},
        {"another model", {0xF0, 0x41, 0x10, 0x45, 0x12, 0x40, 0x00, 0x04, 0x64, 0x00, 0xF7}, -1, Effect::none, 0, 0},
        // The part block follows the GS address map: part 10 first, then parts 1..9, then 11..16.
        {"part 1 becomes a rhythm part", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x11, 0x15, 0x02, 0x00, 0xF7}, -1, Effect::rhythm, 0, 1},
        {"part 9 becomes a rhythm part", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x19, 0x15, 0x01, 0x00, 0xF7}, -1, Effect::rhythm, 8, 1},
        {"part 10 is a rhythm part no more", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x10, 0x15, 0x00, 0x00, 0xF7}, -1, Effect::rhythm, 9, 0},
        {"part 11 becomes a rhythm part", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x1A, 0x15, 0x02, 0x00, 0xF7}, -1, Effect::rhythm, 10, 1},
        {"part 16 becomes a rhythm part", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x1F, 0x15, 0x01}, -1, Effect::rhythm, 15, 1},
        {"rhythm part cut before its value", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x11, 0x15, 0x02}, 8, Effect::none, 0, 0},
        {"another part parameter", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x11, 0x16, 0x02, 0x00, 0xF7}, -1, Effect::none, 0, 0},
        {"reverb character", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x31, 0x7F, 0x00, 0xF7}, -1, Effect::parameter, master::ReverbFirst + 2, 1.0f},
        {"reverb level", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x33, 0x7F, 0x00, 0xF7}, -1, Effect::parameter, master::ReverbFirst + 3, 1.0f},
        {"reverb time", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x34, 0x40, 0x00, 0xF7}, -1, Effect::parameter, master::ReverbFirst + 1, 64 / 127.0f},
        {"chorus level", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x3A, 0x00, 0x00, 0xF7}, -1, Effect::parameter, master::ChorusFirst + 3, 0.0f},
        {"chorus rate", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x3D, 0x20, 0x00, 0xF7}, -1, Effect::parameter, master::ChorusFirst, 32 / 127.0f},
        {"chorus depth", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x3E, 0x10, 0x00, 0xF7}, -1, Effect::parameter, master::ChorusFirst + 1, 16 / 127.0f},
        {"reverb macro", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x30, 0x04, 0x00, 0xF7}, -1, Effect::none, 0, 0},
        {"reverb pre-delay", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x32, 0x04, 0x00, 0xF7}, -1, Effect::none, 0, 0},
        {"chorus feedback", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x3B, 0x04, 0x00, 0xF7}, -1, Effect::none, 0, 0},
        {"chorus send to reverb", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x3F, 0x04, 0x00, 0xF7}, -1, Effect::none, 0, 0},
        {"system effect cut before its value", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x33, 0x7F}, 8, Effect::none, 0, 0},
        {"not a System Exclusive start", {0xF7, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, -1, Effect::none, 0, 0},
        {"nothing at all", {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, 0, Effect::none, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        clearHostAutomationMaps();
        auto q = std::make_unique<TestQuorix>();
        q->dispatcher(effOpen, 0, 0, nullptr, 0.0f);
        q->setParameterValue(master::Volume, kChanged);
        for (int i = master::ChorusFirst; i < kMasterParameterCount; ++i)
            q->setParameterValue(i, kChanged);
        q->setParameterValue(ch(3, local::Volume), kChanged);
        q->onSetProgramName("Song");
        const auto before = std::make_unique<ProgramBlock>(*q->getProgramBlock());
        ControllerState controllers[kChannelCount];
        std::memcpy(controllers, q->state.controllers, sizeof controllers);

        send(*q, c.bytes, c.length);

        ProgramBlock &after = *q->getProgramBlock();
        switch (c.effect) {
        case Effect::none:
        case Effect::parameter:
            if (c.effect == Effect::parameter) {
                EXPECT_FLOAT_EQ(q->getParameterValue(c.target), c.value);
                after.values[c.target] = before->values[c.target];
            }
            EXPECT_EQ(std::memcmp(&after, before.get(), sizeof after), 0) << "the program changed";
            EXPECT_EQ(std::memcmp(controllers, q->state.controllers, sizeof controllers), 0);
            break;
        case Effect::reset:
            EXPECT_STREQ(after.name, "GM Default");
            EXPECT_EQ(q->getParameterValue(ch(3, local::Volume)), 0.7071068f);
            EXPECT_EQ(q->getParameterValue(master::ChorusFirst + 3), 0.7071068f);
            EXPECT_EQ(q->getParameterValue(master::Volume), kChanged) << "the running master volume stays";
            break;
        case Effect::rhythm:
            EXPECT_EQ(std::memcmp(&after, before.get(), sizeof after), 0) << "the program changed";
            for (int channel = 0; channel < kChannelCount; ++channel) {
                const int expected = channel == c.target ? static_cast<int>(c.value) : controllers[channel].rhythmPart;
                EXPECT_EQ(+q->state.controllers[channel].rhythmPart, expected) << channel;
            }
            break;
        }
    }
}

namespace {

class MasterVolumeSysex : public Player
{
protected:
    // dB of a sine note rendered after a message (none when empty).
    double levelAfter(const std::vector<uint8_t> &message)
    {
        start(44100.0f);
        melody(0);
        if (!message.empty())
            send(*q, message, -1);
        settle();
        midi(0x90, 69, 127);
        const Audio a = render(8192);
        double sum = 0.0;
        for (size_t i = 2048; i < a.size(); ++i)
            sum += double(a.left[i]) * a.left[i] + double(a.right[i]) * a.right[i];
        return 10.0 * std::log10(sum);
    }
};

} // namespace

// Both master volume messages take 127, their default, as the power-up level, and scale down
// from there by the master volume's square law.
TEST_F(MasterVolumeSysex, TheDefaultValuePlaysAtThePowerUpLevel)
{
    struct Level {
        const char *what;
        std::vector<uint8_t> bytes;
        double decibels; // against the render without the message
    };
    const double half = 40.0 * std::log10(64.0 / 127.0);
    const Level cases[] = {
        {"universal 127", {0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7}, 0.0},
        {"universal 64", {0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x40, 0xF7}, half},
        {"GS 127", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04, 0x7F, 0x3D, 0xF7}, 0.0},
        {"GS 64", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04, 0x40, 0x7C, 0xF7}, half},
    };
    const double without = levelAfter({});
    ASSERT_GT(without, -40.0) << "the note sounds";
    for (const Level &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NEAR(levelAfter(c.bytes) - without, c.decibels, 0.1);
    }
}

} // namespace quorix_sysex_test
