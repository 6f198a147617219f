#include "host/KestraneVST.h"

#include "foundation/podoGlobals.h"
#include "foundation/podoLog.h"
#include "foundation/podoShell.h"
#include "foundation/platform/podoPlatform.h"
#include "foundation/platform/podoPlatformShell.h"
#include "foundation/windRegistry.h"

#include <string>

namespace {

const char *const makerWord = "Kestrane";

bool endsWithSeparator(const std::string &s) { return !s.empty() && (s.back() == '/' || s.back() == '\\'); }

std::string narrow(const podoStr &s)
{
    const char *text = s.getNarrow();
    return text ? std::string(text) : std::string();
}

// base + maker + product, separators added where needed; empty when the base is unknown, so that no
// folder is ever taken relative to the host's working folder.
podoStr productFolderUnder(const std::string &base, const podoStr &product)
{
    podoStr folder;
    if (base.empty())
        return folder;
    std::string text = base;
    if (!endsWithSeparator(text))
        text += '/';
    text += makerWord;
    text += '/';
    text += narrow(product);
    folder = text.c_str();
    return folder;
}

} // namespace

KestraneVST::KestraneVST()
{
    productName = "Quorix";
    registryProductKey = "Quorix";
    const char *maker = makerWord;
    const char *product = productName.getNarrow();

    podoStr modulePath;
    if (podo::platform::moduleFileName(podo::getModuleInstance(), modulePath)) {
        std::string path = narrow(modulePath);
        size_t slash = path.find_last_of("/\\");
        paths.moduleFolder = slash == std::string::npos ? "" : path.substr(0, slash + 1).c_str();
    }

    // A relative value would name a folder inside whatever the host's working folder happens to be:
    // it is not taken.
    auto absolute = [](const podoStr &path) { return path.getNarrow()[0] == '/'; };
    if (!readRegistryString(0x10000, podoStr("Path"), &paths.appFolder) || !absolute(paths.appFolder)) {
        if (!paths.appFolder.isEmpty() && !absolute(paths.appFolder))
            podo::logMessage(3, true, "%s:%s: Path is not absolute: %s", maker, product, paths.appFolder.getNarrow());
        paths.appFolder = paths.moduleFolder;
    }

    if (!readRegistryString(0x10001, podoStr("UserPath"), &paths.userFolder))
        paths.userFolder.clear();
    if (!paths.userFolder.isEmpty() && !absolute(paths.userFolder)) {
        podo::logMessage(3, true, "%s:%s: User path is not absolute: %s", maker, product, paths.userFolder.getNarrow());
        paths.userFolder.clear();
    }
    if (!paths.userFolder.isEmpty() && !podo::pathExists(paths.userFolder)) {
        // makeFolder answers false for a path ending in a separator even when it made it.
        if (!podo::makeFolder(paths.userFolder) && !podo::pathExists(paths.userFolder)) {
            paths.userFolder.clear();
            podo::logMessage(3, true, "%s:%s: User path not makeable.", maker, product);
        }
    }
    if (!paths.userFolder.isEmpty() && !podo::isFolderWritable(paths.userFolder)) {
        paths.userFolder.clear();
        podo::logMessage(3, true, "%s:%s: User path not accessible.", maker, product);
    }
    if (paths.userFolder.isEmpty()) {
        // isFolderWritable creates the folder on the way.
        podoStr appData = productFolderUnder(podo::platform::configFolder(), registryProductKey);
        if (!appData.isEmpty() && podo::isFolderWritable(appData)) {
            paths.userFolder = appData;
        } else {
            podo::logMessage(3, true, "%s:%s: User path (AppData) not accessible.", maker, product);
            paths.userFolder = productFolderUnder(podo::platform::documentsFolder(), registryProductKey);
            if (!paths.userFolder.isEmpty())
                podo::makeFolder(paths.userFolder); // created when used, so log lines and user files have a home
        }
    }

    paths.appFolder.addTrailingSeparator();
    paths.userFolder.addTrailingSeparator();
    paths.moduleFolder.addTrailingSeparator();

    if (!paths.userFolder.isEmpty()) {
        paths.logFile = paths.userFolder;
        paths.logFile.append(productName);
        paths.logFile.append(".log");
        ownsLogFile = podo::setLogFile(paths.logFile);
    }

    podoSyncCriticalBlock block(&processLock());
    if (podoVST::getInstanceCount() <= 1) {
        podo::logMessage(1, false, "%s:%s: Path(App): %s", maker, product, paths.appFolder.getNarrow());
        podo::logMessage(1, false, "%s:%s: Path(Usr): %s", maker, product, paths.userFolder.getNarrow());
    }
}

KestraneVST::~KestraneVST()
{
    // The logger counts the instances that set its path; the last one to leave closes it.
    if (ownsLogFile)
        podo::closeLog();
}

bool KestraneVST::readRegistryString(int32_t selector, const podoStr &name, podoStr *out)
{
    podoStr maker(makerWord);
    podoStr text;
    if (!windRegistry::readString(selector, &maker, &registryProductKey, name, &text))
        return false;
    if (out)
        *out = text;
    return true;
}

bool KestraneVST::writeRegistryString(int32_t selector, const podoStr &name, const podoStr &text)
{
    podoStr maker(makerWord);
    return windRegistry::writeString(selector, &maker, &registryProductKey, name, text);
}
