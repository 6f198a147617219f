// The global configuration file, the skin choice and the backups of data files.
#include "engine/Quorix.h"

#include "editor/Quorix_Editor.h"
#include "engine/FileBackup.h"
#include "foundation/podoFile.h"
#include "foundation/podoLog.h"

#include <cstring>

using namespace engine;

namespace {

podoStr configurationPath(const podoStr &userFolder) { return userFolder + kConfigurationFileName; }

} // namespace

void Quorix::resetConfiguration()
{
    podoSyncCriticalBlock lock(&instanceLock);
    EngineWriteBlock shared(engineSharedLock());
    resetConfigurationBlock(sharedConfiguration());
}

int32_t Quorix::loadConfiguration()
{
    // Only the header and one block are ever read: a larger size field reads nothing more.
    uint8_t bytes[kConfigurationFileSize];
    size_t length = 0;
    {
        podoFile file;
        if (file.open(configurationPath(getUserPath()), podoFileFlags::read) != 0)
            return fileNotAccessible;
        length = file.read(bytes, 1, sizeof bytes);
        file.close();
    }
    podoSyncCriticalBlock lock(&instanceLock);
    EngineWriteBlock shared(engineSharedLock());
    return parseConfigurationFile(bytes, length, sharedConfiguration());
}

int32_t Quorix::saveConfiguration()
{
    uint8_t bytes[kConfigurationFileSize];
    {
        // Only the shared block is read: the instance's own render goes on meanwhile.
        EngineReadBlock shared(engineSharedLock());
        encodeConfigurationFile(sharedConfiguration(), bytes);
    }
    const podoStr path = configurationPath(getUserPath());
    const uint32_t error = writeFileReplacing(path, bytes, sizeof bytes, false);
    if (error != 0) {
        podo::logMessage(4, true, "file not created : %s [%08X]", path.getNarrow(), error);
        return fileNotAccessible;
    }
    return fileOk;
}

void Quorix::getConfiguration(ConfigurationBlock *out)
{
    if (!out)
        return;
    podoSyncCriticalBlock lock(&instanceLock);
    EngineReadBlock shared(engineSharedLock());
    std::memcpy(out, &sharedConfiguration(), sizeof(ConfigurationBlock));
}

void Quorix::setConfiguration(const ConfigurationBlock *in)
{
    if (!in)
        return;
    {
        podoSyncCriticalBlock lock(&instanceLock);
        EngineWriteBlock shared(engineSharedLock());
        std::memcpy(&sharedConfiguration(), in, sizeof(ConfigurationBlock));
        makeConfigurationSafe(sharedConfiguration());
    }
    saveConfiguration();
}

void Quorix::changeSkin(const podoStr &skinName, int32_t zoom)
{
    if (!skinName.isEmpty()) {
        const char *name = nullptr;
        {
            podoSyncCriticalBlock lock(&instanceLock);
            EngineWriteBlock shared(engineSharedLock());
            ConfigurationBlock &configuration = sharedConfiguration();
            std::memset(configuration.skinName, 0, sizeof configuration.skinName);
            copyName(configuration.skinName, sizeof configuration.skinName, skinName.getNarrow());
            makeConfigurationSafe(configuration);
            name = configuration.skinName;
        }
        saveConfiguration(); // holding no lock: the render never waits for the disk
        // The name lives in the process-wide block, so the pointer stays valid for the editor.
        if (instrumentEditor)
            instrumentEditor->postMessage(tag::SkinName, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(name)));
    }
    if (zoom > 0)
        postEditorInt(tag::Zoom, zoom);
}

bool Quorix::backupFile(podoFile &file)
{
    const podoStr path = file.path();
    file.close();
    return moveToBackup(path);
}
