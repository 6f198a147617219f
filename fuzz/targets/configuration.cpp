// The global configuration file ("Quorix.con"): any bytes through the reader onto the defaults,
// then the same bytes as the file in the user folder of a first instance, which loads it, and
// saves the configuration again when it closes.
//
// What must hold: a file the reader refuses leaves the defaults and tells the user once; a file
// it accepts gives fields every user of them accepts, and writes back to the same block; the
// instance holds exactly what the reader gave (the defaults after a refusal) and saves it so
// that it loads back the same.
#include "engine/ConfigurationBlock.h"
#include "engine/Quorix.h"
#include "fuzz/FuzzHost.h"
#include "fuzz/FuzzSupport.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace engine;

namespace {

bool sameBlock(const ConfigurationBlock &a, const ConfigurationBlock &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void checkSafe(const ConfigurationBlock &block)
{
    FUZZ_CHECK(block.velocityCurve >= 0 && block.velocityCurve <= 6);
    FUZZ_CHECK(block.hoverDisplay >= 0 && block.hoverDisplay <= 1);
    FUZZ_CHECK(block.assignmentOverlay >= 0 && block.assignmentOverlay <= 1);
    FUZZ_CHECK(block.selectedTemperament >= 0 && block.selectedTemperament <= 15);
    for (const auto &row : block.userTemperaments)
        for (int32_t cents : row)
            FUZZ_CHECK(cents >= -50 && cents <= 50);
    FUZZ_CHECK(block.editorScale == 1 || (block.editorScale >= 100 && block.editorScale <= 300));
    FUZZ_CHECK(isSafeSkinName(block.skinName, sizeof block.skinName));
    ConfigurationBlock copy = block;
    FUZZ_CHECK(!makeConfigurationSafe(copy));
}

std::vector<uint8_t> readWhole(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ConfigurationBlock defaults;
    resetConfigurationBlock(defaults);
    ConfigurationBlock block = defaults;
    const int32_t result = parseConfigurationFile(data, size, block);
    FUZZ_CHECK(result == fileOk || result == fileWrongMagic || result == fileWrongVersion);
    if (result == fileOk) {
        checkSafe(block);
        uint8_t image[kConfigurationFileSize];
        encodeConfigurationFile(block, image);
        ConfigurationBlock again = defaults;
        FUZZ_CHECK(parseConfigurationFile(image, sizeof image, again) == fileOk);
        FUZZ_CHECK(sameBlock(block, again));
    } else {
        FUZZ_CHECK(sameBlock(block, defaults));
    }

    // The same bytes as the file a first instance finds.
    fuzz::Host &host = fuzz::Host::get(false);
    const std::string folder = fuzz::userFolder();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder);
    const std::string path = folder + kConfigurationFileName;
    fuzz::writeFile(path, data, size);
    host.boxes = 0;
    AEffect *effect = host.open();
    FUZZ_CHECK(host.boxes == (result == fileOk ? 0 : 1));
    ConfigurationBlock held;
    dynamic_cast<Quorix &>(*static_cast<AudioEffect *>(effect->object)).getConfiguration(&held);
    FUZZ_CHECK(sameBlock(held, block));
    host.close(effect);

    // The last instance saved what it held; every load sets the bytes at 7 and 9.
    const std::vector<uint8_t> saved = readWhole(path);
    ConfigurationBlock loaded = defaults;
    FUZZ_CHECK(parseConfigurationFile(saved.data(), saved.size(), loaded) == fileOk);
    block.keepBendRangeOnRecall = 1;
    block.ramOption = 1;
    FUZZ_CHECK(sameBlock(loaded, block));
    return 0;
}
