// An engine instance for tests: a recording host callback, an editor that records what reaches
// it, and a temporary home so nothing touches the real user folder or registry.
#pragma once

#include "editor/Quorix_Editor.h"
#include "engine/Quorix.h"

#include <cstdint>
#include <string>
#include <vector>

namespace enginetest {

// The temporary home of this test process (set up before the first test).
const std::string &testHome();
// The user folder an instance resolves there, with its trailing separator.
std::string userFolder();
// A whole file's bytes (none when it cannot be read), and a file written whole with its folders.
std::vector<uint8_t> readBytes(const std::string &path);
void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes);

struct HostCall {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    float opt;
};

// Every call an instance made to the host since the last clear.
std::vector<HostCall> &hostCalls();
intptr_t recordingHost(AEffect *effect, int32_t opcode, int32_t index, intptr_t value, void *ptr, float opt);

struct Message {
    int32_t tag;
    uint64_t payload;
    float value() const;
    uint8_t byte(int i) const { return static_cast<uint8_t>(payload >> (8 * i)); }
};

class RecordingEditor : public Quorix_Editor
{
public:
    using Quorix_Editor::Quorix_Editor;
    void paramChanged(int32_t tag, uint64_t payload) override { seen.push_back({tag, payload}); }
    // The real editor re-posts the whole program after opening; these tests hear the engine alone.
    void requestRedraw() override {}
    // Drains the queue and hands over what arrived, oldest first.
    std::vector<Message> take();

    std::vector<Message> seen;
};

class TestQuorix : public Quorix
{
public:
    TestQuorix() : Quorix(recordingHost) {}
    using Quorix::programBlock;
    using Quorix::state;
    using Quorix::pendingEvents;
    using Quorix::hostPosition;
    using Quorix::hostPlaying;
    using Quorix::hostTempo;
    using Quorix::hostTimeSignature;
    using Quorix::frameSampleRate;

    Quorix_Editor *createEditor() override { return new RecordingEditor(this); }
    // What reached the controller assignments and the patch recall.
    void applyControllerAssignments(int32_t source, float value, int32_t first, int32_t last) override
    {
        assignments.push_back({source, value, first, last});
        Quorix::applyControllerAssignments(source, value, first, last);
    }
    void recallProgram(int32_t channel, int32_t bankNumber, int32_t program) override
    {
        programs.push_back({channel, bankNumber, program});
    }
    // Every channel message the handler was given, in order.
    void handleMidiMessage(int32_t channel, int32_t type, int32_t data1, int32_t data2) override
    {
        messages.push_back({channel, type, data1, data2});
        Quorix::handleMidiMessage(channel, type, data1, data2);
    }
    struct MidiMessage {
        int32_t channel, type, data1, data2;
    };
    std::vector<MidiMessage> messages;
    struct Assignment {
        int32_t source;
        float value;
        int32_t first, last;
    };
    struct Program {
        int32_t channel, bankNumber, program;
    };
    std::vector<Assignment> assignments;
    std::vector<Program> programs;
    RecordingEditor *editor() { return static_cast<RecordingEditor *>(instrumentEditor); }
    // Opens the instance and its editor on a stand-in for the host's window.
    RecordingEditor *openEditor();
};

} // namespace enginetest
