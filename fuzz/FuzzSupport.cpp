#include "fuzz/FuzzSupport.h"

#include "banks/PatchBanks.h"
#include "banks/SampleBanks.h"
#include "banks/Wavetables.h"
#include "foundation/podoLog.h"
#include "foundation/windRegistry.h"
#include "tools/tests/TemporaryHome.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fuzz {

void fail(const char *file, int line, const char *what)
{
    std::fprintf(stderr, "\n*** fuzz check failed at %s:%d: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

namespace {

struct Home {
    std::string path;

    Home()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorix-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            fail(__FILE__, __LINE__, "no temporary home");
        path = pattern;
        qtest::pointFoldersAt(path);
        // Every instance logs its start and end: millions of lines in a run. QUORIX_FUZZ_LOG
        // keeps them on stderr.
        if (!std::getenv("QUORIX_FUZZ_LOG"))
            podo::setDebugSink([](const char16_t *) {});
    }
    ~Home()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

std::vector<int16_t> sine(int size, double period, double amplitude)
{
    std::vector<int16_t> values(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i)
        values[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(amplitude * std::sin(2.0 * M_PI * i / period)));
    return values;
}

std::vector<int16_t> noise(int size)
{
    std::vector<int16_t> values(static_cast<size_t>(size));
    uint32_t seed = 12345;
    for (int16_t &v : values) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<int16_t>(seed >> 16);
    }
    return values;
}

// Full-scale square: the loudest sample a file can hold.
std::vector<int16_t> square(int size)
{
    std::vector<int16_t> values(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i)
        values[static_cast<size_t>(i)] = i < size / 2 ? 32767 : -32768;
    return values;
}

bool writeLibrary(const std::string &folder)
{
    const podoStr where(folder.c_str());
    const uint8_t mark = banks::machineByteOrderMark();
    const auto a = sine(100, 100.0, 20000.0), b = noise(2000), c = square(64);
    const banks::SampleSource samples[] = {{44100, 1, a.data(), 100}, {32000, 0, b.data(), 2000}, {22050, 1, c.data(), 64}};

    // Position k of either category plays two zones of the three samples, so every wave number
    // a program or a patch names reaches a sound.
    std::vector<std::vector<KeyZone>> zones(banks::kMaxWavetablesPerCategory);
    std::vector<std::string> names(zones.size());
    std::vector<banks::WavetableSource> tables;
    for (size_t k = 0; k < zones.size(); ++k) {
        zones[k] = {{0, int16_t(k % 3), 60, 63}, {0, int16_t((k + 1) % 3), 72, 127}};
        names[k] = "Wave " + std::to_string(k);
        tables.push_back({names[k].c_str(), k % 8 != 7, zones[k].data(), 2});
    }
    const int32_t count = static_cast<int32_t>(tables.size());

    ChannelProgram channels[3] = {};
    uint32_t seed = 99;
    for (ChannelProgram &channel : channels) {
        channel.numValues = banks::kChannelProgramValues;
        for (float &v : channel.values) {
            seed = seed * 1664525u + 1013904223u;
            v = static_cast<float>(seed >> 8) / 16777216.0f;
        }
    }
    banks::copyNameField(channels[0].name, "Single");
    banks::copyNameField(channels[1].name, "Lower");
    banks::copyNameField(channels[2].name, "Upper");
    channels[2].values[banks::kSeqOnValue] = 1.0f;
    float globals[banks::kPatchGlobalValues] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 132.0f};
    PatchRecord patches[2] = {};
    banks::copyNameField(patches[0].name, "Single");
    patches[0].numChannels = 1;
    patches[0].channels = &channels[0];
    banks::copyNameField(patches[1].name, "Pair");
    patches[1].numChannels = 2;
    patches[1].channels = &channels[1];
    patches[1].numGlobalValues = banks::kPatchGlobalValues;
    patches[1].globals = globals;
    PatchCategory category = {};
    category.number = 0;
    banks::copyNameField(category.name, "Fuzz");
    category.numPatches = 2;
    category.patches = patches;

    return banks::writeSampleBank(where, 0, "Tones", samples, 3, mark) &&
           banks::writeWavetableCategory(where, 0, "Melodic", false, tables.data(), count, mark) &&
           banks::writeWavetableCategory(where, 1, "Drums", true, tables.data(), count, mark) &&
           banks::writePatchFile(where, category, mark);
}

} // namespace

void Input::take(void *out, size_t count)
{
    const size_t n = std::min(count, remaining());
    if (n)
        std::memcpy(out, data + position, n);
    position += n;
}

std::vector<uint8_t> Input::bytes(size_t count)
{
    const size_t n = std::min(count, remaining());
    std::vector<uint8_t> out(data + position, data + position + n);
    position += n;
    return out;
}

std::string Input::text(size_t maxLength)
{
    const std::vector<uint8_t> b = bytes(std::min<size_t>(u8(), maxLength));
    return std::string(b.begin(), b.end());
}

const std::string &temporaryHome()
{
    static Home home;
    return home.path;
}

std::string freshFolder(const std::string &name)
{
    const std::string folder = temporaryHome() + "/" + name;
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder);
    return folder + "/";
}

bool writeFile(const std::string &path, const uint8_t *data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

bool writeFile(const std::string &path, const std::vector<uint8_t> &bytes)
{
    return writeFile(path, bytes.data(), bytes.size());
}

std::vector<uint8_t> readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)));
    in.seekg(0);
    in.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

const std::string &installSoundLibrary(bool withBanks)
{
    static const std::string folder = [withBanks] {
        const std::string library = freshFolder("library");
        if (withBanks && !writeLibrary(library))
            fail(__FILE__, __LINE__, "the sound library could not be written");
        const podoStr maker("Kestrane"), product("Quorix");
        if (!windRegistry::writeString(0x10000, &maker, &product, podoStr("Path"), podoStr(library.c_str())))
            fail(__FILE__, __LINE__, "the application folder could not be recorded");
        return library;
    }();
    return folder;
}

std::string userFolder() { return temporaryHome() + "/config/Kestrane/Quorix/"; }

banks::BankLoadSetup loadSetup(const std::string &folder, banks::BankReport *report)
{
    banks::BankLoadSetup setup;
    setup.folder = podoStr(folder.c_str());
    setup.byteOrderMark = banks::machineByteOrderMark();
    setup.report = report;
    return setup;
}

bool allFiniteWithin(const float *samples, size_t count, float limit)
{
    for (size_t i = 0; i < count; ++i)
        if (!std::isfinite(samples[i]) || std::fabs(samples[i]) > limit)
            return false;
    return true;
}

} // namespace fuzz
