// The automation file ("Quorix.atm"): any bytes through the reader onto the factory set, then
// the same bytes as the file a first instance finds, which takes them into the controller
// assignments and the host map; every MIDI source then drives the tables through a render, and
// the last instance saves them again.
//
// What must hold: a file the reader refuses leaves the image untouched, the instance tells the
// user once, keeps the file under a backup name and holds the factory set; a file it accepts
// gives sources, ranges and map entries every user of them accepts, writes back in either
// byte order to the same tables, and is exactly what the instance holds (learning cleared, each
// parameter on one host slot at most); whatever the tables say, the sources render finite
// output and keep the program within 0..1; the file saved at the close reads back as held.
#include "engine/AutomationFile.h"
#include "engine/ConfigurationBlock.h"
#include "engine/HostAutomationMap.h"
#include "fuzz/FuzzHost.h"
#include "fuzz/FuzzSupport.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>

using namespace engine;

namespace {

using Image = AutomationImage;

bool sameTables(const Image &a, const Image &b)
{
    for (int t = 0; t < kAssignmentTableCount; ++t) {
        const int32_t size = assignmentTableSize(static_cast<AssignmentTable>(t));
        if (std::memcmp(a.tables[t], b.tables[t], sizeof(ControllerAssignment) * static_cast<size_t>(size)) != 0)
            return false;
    }
    return true;
}

bool sameImage(const Image &a, const Image &b)
{
    return sameTables(a, b) && std::memcmp(a.hostMap, b.hostMap, sizeof a.hostMap) == 0;
}

void checkSafe(const Image &image)
{
    for (int t = 0; t < kAssignmentTableCount; ++t) {
        const int32_t size = assignmentTableSize(static_cast<AssignmentTable>(t));
        for (int32_t i = 0; i < size; ++i) {
            const ControllerAssignment &e = image.tables[t][i];
            FUZZ_CHECK(e.source >= 0 && e.source < kAssignmentSources);
            FUZZ_CHECK(std::isfinite(e.min) && e.min >= 0.0f && e.min <= 1.0f);
            FUZZ_CHECK(std::isfinite(e.max) && e.max >= 0.0f && e.max <= 1.0f);
            FUZZ_CHECK(e.reversed <= 1);
        }
    }
    for (int32_t entry : image.hostMap)
        FUZZ_CHECK(entry >= 0 && entry <= kParameterCount);
}

std::unique_ptr<Image> capture()
{
    auto image = std::make_unique<Image>();
    captureAutomation(*image);
    return image;
}

// What a first instance holds without a file of its own.
const Image &factorySet(fuzz::Host &host)
{
    static const std::unique_ptr<Image> factory = [&host] {
        std::error_code ignored;
        std::filesystem::remove_all(fuzz::userFolder(), ignored);
        AEffect *effect = host.open();
        auto image = capture();
        host.close(effect);
        return image;
    }();
    return *factory;
}

// The instance's tables after it read an accepted image: the tables as read with learning
// cleared; in the map, a parameter two slots name stays on the last of them.
void checkHeld(const Image &held, const Image &read)
{
    for (int t = 0; t < kAssignmentTableCount; ++t) {
        const int32_t size = assignmentTableSize(static_cast<AssignmentTable>(t));
        for (int32_t i = 0; i < size; ++i) {
            ControllerAssignment expected = read.tables[t][i];
            expected.state = 0;
            FUZZ_CHECK(std::memcmp(&held.tables[t][i], &expected, sizeof expected) == 0);
        }
    }
    for (int32_t s = 0; s < kHostSlotCount; ++s) {
        const int32_t entry = read.hostMap[s];
        bool later = false;
        for (int32_t k = s + 1; k < kHostSlotCount && entry > 0; ++k)
            later = later || read.hostMap[k] == entry;
        FUZZ_CHECK(held.hostMap[s] == (later ? 0 : entry));
    }
}


// The files in the folder whose names start with the automation file's and end in ".bak".
std::vector<std::string> backups(const std::string &folder)
{
    std::vector<std::string> found;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(std::string(kAutomationFileName) + ".", 0) == 0 && name.size() > 4 &&
            name.compare(name.size() - 4, 4, ".bak") == 0)
            found.push_back(entry.path().string());
    }
    return found;
}

// Every source on every channel at its ends and its middle: controllers, both velocities,
// pitch bend and channel pressure, with a render after each sweep.
void driveSources(fuzz::Host &host, AEffect *effect)
{
    for (uint8_t value : {uint8_t(0), uint8_t(64), uint8_t(127)}) {
        std::vector<std::array<uint8_t, 3>> messages;
        for (uint8_t channel = 0; channel < 16; ++channel) {
            for (uint8_t controller = 1; controller < 128; ++controller)
                if (controller < 120) // the channel mode messages would only reset what is driven
                    messages.push_back({uint8_t(0xB0 | channel), controller, value});
            messages.push_back({uint8_t(0x90 | channel), 60, uint8_t(value | 1)});
            messages.push_back({uint8_t(0xE0 | channel), value, value});
            messages.push_back({uint8_t(0xD0 | channel), value, 0});
            messages.push_back({uint8_t(0x80 | channel), 60, value});
        }
        host.sendMidi(effect, messages);
        host.render(effect);
    }
    host.render(effect);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Host &host = fuzz::Host::get(false);
    const Image &factory = factorySet(host);

    auto image = std::make_unique<Image>(factory);
    const int32_t result = parseAutomationFile(data, size, *image);
    FUZZ_CHECK(result == fileOk || result == fileWrongMagic || result == fileWrongVersion ||
               result == fileInvalidData);
    if (result == fileOk) {
        checkSafe(*image);
        for (uint8_t mark : {banks::kLittleEndianMark, banks::kBigEndianMark}) {
            const std::vector<uint8_t> bytes = encodeAutomationFile(*image, mark);
            auto again = std::make_unique<Image>(factory);
            FUZZ_CHECK(parseAutomationFile(bytes.data(), bytes.size(), *again) == fileOk);
            FUZZ_CHECK(sameImage(*image, *again));
        }
    } else {
        FUZZ_CHECK(sameImage(*image, factory));
    }

    // The same bytes as the file a first instance finds.
    // The rest of the user folder stays from run to run: the user banks a first start makes are
    // not what this target reads.
    const std::string folder = fuzz::userFolder();
    std::filesystem::create_directories(folder);
    for (const std::string &kept : backups(folder))
        std::filesystem::remove(kept);
    const std::string path = folder + kAutomationFileName;
    fuzz::writeFile(path, data, size);
    host.boxes = 0;
    AEffect *effect = host.open();
    FUZZ_CHECK(host.boxes == (result == fileOk ? 0 : 1));
    const auto held = capture();
    if (result == fileOk) {
        checkHeld(*held, *image);
        FUZZ_CHECK(backups(folder).empty());
    } else {
        FUZZ_CHECK(sameImage(*held, factory));
        // Kept for the user under its backup name, whole.
        const std::vector<std::string> kept = backups(folder);
        FUZZ_CHECK(kept.size() == 1);
        FUZZ_CHECK(fuzz::readFile(kept[0]) == std::vector<uint8_t>(data, data + size));
    }

    driveSources(host, effect);
    host.checkProgram(effect);
    host.close(effect);

    // The last instance saved what it held.
    const std::vector<uint8_t> saved = fuzz::readFile(path);
    auto loaded = std::make_unique<Image>();
    FUZZ_CHECK(parseAutomationFile(saved.data(), saved.size(), *loaded) == fileOk);
    FUZZ_CHECK(sameImage(*loaded, *held));
    return 0;
}
