#include "engine/tests/EngineTestSupport.h"
#include "tools/tests/TemporaryHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace enginetest {

namespace {

std::string home;

// Points home, configuration, documents and the registry store at a fresh temporary folder for
// the whole test process.
class TemporaryHome : public ::testing::Environment
{
public:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorix-engine-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back(0);
        ASSERT_NE(mkdtemp(buffer.data()), nullptr);
        home = buffer.data();
        qtest::pointFoldersAt(home);
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
    }
};

const auto *registered = ::testing::AddGlobalTestEnvironment(new TemporaryHome);

std::vector<HostCall> calls;

char standInWindow[16];

} // namespace

const std::string &testHome() { return home; }

std::string userFolder() { return home + "/config/Kestrane/Quorix/"; }

std::vector<uint8_t> readBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<HostCall> &hostCalls() { return calls; }

intptr_t recordingHost(AEffect *, int32_t opcode, int32_t index, intptr_t value, void *, float opt)
{
    calls.push_back({opcode, index, value, opt});
    return opcode == audioMasterVersion ? 2400 : 0;
}

float Message::value() const
{
    const uint32_t bits = static_cast<uint32_t>(payload);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::vector<Message> RecordingEditor::take()
{
    seen.clear();
    idle();
    std::vector<Message> out;
    out.swap(seen);
    return out;
}

RecordingEditor *TestQuorix::openEditor()
{
    dispatcher(effOpen, 0, 0, nullptr, 0.0f);
    RecordingEditor *e = editor();
    if (e && !e->isOpen())
        dispatcher(effEditOpen, 0, 0, standInWindow, 0.0f);
    return e;
}

} // namespace enginetest
