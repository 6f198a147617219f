#include "editorFilesTestSupport.h"

#include "engine/ProgramBlock.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace edfiles {

namespace {

std::string home;

// Home, configuration and the registry store in a fresh temporary folder for the whole process.
class TemporaryHome : public ::testing::Environment
{
public:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorix-editor-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        home = pattern;
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        setenv("XDG_DOCUMENTS_DIR", (home + "/Documents").c_str(), 1);
        setenv("QUORIX_REGISTRY", (home + "/registry").c_str(), 1);
        setenv("QUORIX_REGISTRY_SYSTEM", (home + "/registry-system").c_str(), 1);
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
    }
};

const auto *registered = ::testing::AddGlobalTestEnvironment(new TemporaryHome);

intptr_t quietHost(AEffect *, int32_t opcode, int32_t, intptr_t, void *, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

int folders = 0;

} // namespace

Folder::Folder() : path(home + "/files" + std::to_string(++folders)) { std::filesystem::create_directories(path); }

Folder::~Folder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::vector<uint8_t> readBytes(const std::string &file)
{
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string &file, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

std::string readText(const std::string &file)
{
    const std::vector<uint8_t> bytes = readBytes(file);
    return std::string(bytes.begin(), bytes.end());
}

Engine::Engine() : Quorix(quietHost) {}

float Engine::valueAt(int32_t index) const
{
    float value;
    std::memcpy(&value, reinterpret_cast<const uint8_t *>(&programBlock) + offsetof(ProgramBlock, values) + 4 * index,
                sizeof value);
    return value;
}

void Engine::setValueAt(int32_t index, float value)
{
    std::memcpy(reinterpret_cast<uint8_t *>(&programBlock) + offsetof(ProgramBlock, values) + 4 * index, &value,
                sizeof value);
}

std::vector<float> Engine::valuesAt(int32_t first, int32_t count) const
{
    std::vector<float> values;
    for (int32_t i = 0; i < count; ++i)
        values.push_back(valueAt(first + i));
    return values;
}

} // namespace edfiles
