#include "foundation/podoShell.h"

#include "foundation/platform/podoPlatformShell.h"
#include "foundation/podoWnd.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <string>
#include <vector>

namespace podo {

namespace {

using platform::PathKind;

bool isSeparator(char c) { return c == '/' || c == '\\'; }

std::string narrow(const podoStr &s)
{
    const char *text = s.getNarrow();
    return text ? std::string(text) : std::string();
}

// Index of the last separator that is neither preceded by another separator nor by the drive
// separator, or -1; a root and doubled separators are never cut.
long lastCut(const std::string &path)
{
    for (long i = long(path.size()) - 1; i >= 0; --i) {
        if (!isSeparator(path[size_t(i)]))
            continue;
        if (i > 0 && (isSeparator(path[size_t(i - 1)]) || path[size_t(i - 1)] == ':'))
            continue;
        return i;
    }
    return -1;
}

std::string withSeparator(std::string folder)
{
    if (!folder.empty() && !isSeparator(folder.back()))
        folder += '/';
    return folder;
}

bool makeFolderNarrow(const std::string &path)
{
    long cut = lastCut(path);
    if (cut > 0)
        makeFolderNarrow(path.substr(0, size_t(cut)));
    return platform::createFolder(path);
}

bool deleteFileNarrow(const std::string &path)
{
    PathKind kind = platform::pathKind(path);
    if (kind == PathKind::none || kind == PathKind::folder || platform::isReadOnly(path))
        return false;
    return platform::removeFile(path);
}

bool removeFolderNarrow(const std::string &folder, bool parents, bool subfolders, bool contentsFirst);

bool deleteContentsNarrow(const std::string &folder, bool subfolders)
{
    // A link is never entered: its target's contents are not ours to delete.
    if (platform::pathKind(folder) != PathKind::folder)
        return platform::pathKind(folder) == PathKind::none;
    std::vector<std::string> names;
    if (!platform::listFolder(folder, names))
        return false;
    std::sort(names.begin(), names.end());
    std::string base = withSeparator(folder);
    bool result = true;
    for (const auto &name : names) {
        if (!result)
            break;
        std::string path = base + name;
        if (platform::pathKind(path) == PathKind::folder) {
            if (subfolders)
                result = removeFolderNarrow(path, false, true, true);
        } else {
            result = deleteFileNarrow(path);
        }
    }
    return result;
}

bool removeFolderNarrow(const std::string &folder, bool parents, bool subfolders, bool contentsFirst)
{
    if (platform::pathKind(folder) != PathKind::folder)
        return false; // a file or a link is not a folder to remove
    if (contentsFirst && !deleteContentsNarrow(folder, subfolders))
        return false;
    if (!platform::removeEmptyFolder(folder))
        return false;
    if (parents) {
        std::string path = folder;
        while (!path.empty() && isSeparator(path.back()))
            path.pop_back();
        for (long cut = lastCut(path); cut > 0; cut = lastCut(path)) {
            path.resize(size_t(cut));
            if (path.size() == 2 && path[1] == ':')
                break; // the drive's root
            if (!platform::removeEmptyFolder(path))
                break; // it still holds something: the folder itself was removed all the same
        }
    }
    return true;
}

std::atomic<FileDialogHook> fileDialogHook{nullptr};

bool hasExtension(const std::string &path)
{
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos)
        return false;
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos || dot > slash;
}

} // namespace

bool pathExists(const podoStr &path) { return platform::pathTargetKind(narrow(path)) != PathKind::none; }
bool deleteFile(const podoStr &path) { return deleteFileNarrow(narrow(path)); }

bool moveFile(const podoStr &source, const podoStr &target)
{
    std::string from = narrow(source), to = narrow(target);
    if (platform::pathKind(from) == PathKind::none)
        return false;
    return platform::renamePath(from, to);
}

bool makeFolder(const podoStr &folder) { return makeFolderNarrow(narrow(folder)); }

bool isFolderWritable(const podoStr &folder)
{
    std::string base = narrow(folder);
    if (!base.empty())
        makeFolderNarrow(base);
    std::string probe = withSeparator(base) + "podo-temp-file-writable.tmp";
    if (!platform::createEmptyFile(probe))
        return false;
    platform::removeFile(probe);
    return true;
}

bool deleteFolderContents(const podoStr &folder, bool includeSubfolders)
{
    return deleteContentsNarrow(narrow(folder), includeSubfolders);
}

bool removeFolder(const podoStr &folder, bool removeEmptiedParents, bool includeSubfolders, bool deleteContentsFirst)
{
    return removeFolderNarrow(narrow(folder), removeEmptiedParents, includeSubfolders, deleteContentsFirst);
}

FileDialogHook setFileDialogHook(FileDialogHook hook) { return fileDialogHook.exchange(hook); }

namespace {

// The request's filter list ("text\0pattern\0...\0\0") as pairs.
std::vector<std::pair<std::string, std::string>> filterPairs(const FileDialogRequest &request)
{
    std::vector<std::string> parts;
    std::string list(request.filter.getNarrow(), size_t(std::max(request.filterLength, 0)));
    for (size_t at = 0; at < list.size() && list[at] != '\0';) {
        size_t end = list.find('\0', at);
        if (end == std::string::npos)
            end = list.size();
        parts.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    std::vector<std::pair<std::string, std::string>> pairs;
    for (size_t i = 0; i + 1 < parts.size(); i += 2)
        pairs.emplace_back(parts[i], parts[i + 1]);
    return pairs;
}

// The desktop's chooser: it starts in the initial folder with the proposed name, unless that name
// carries a folder of its own.
bool desktopDialog(const FileDialogRequest &request, podoStr &chosen)
{
    platform::FileChoice choice;
    choice.save = request.save;
    choice.title = narrow(request.title);
    choice.filters = filterPairs(request);
    std::string name = narrow(request.fileName);
    choice.proposedPath = !name.empty() && name[0] == '/' ? name : narrow(request.initialFolder) + name;
    choice.owner = request.owner ? reinterpret_cast<uintptr_t>(request.owner->handle()) : 0;
    if (!platform::findProgram("zenity")) {
        // Without the desktop's chooser every dialog would do nothing: say why, once.
        static std::atomic<bool> told{false};
        if (!told.exchange(true))
            showError(podoStr("No file dialog program was found."),
                      podoStr("Install zenity to open and save files."), request.title, request.owner);
        return false;
    }
    std::string path;
    if (!platform::chooseFile(choice, path))
        return false;
    chosen = path.c_str();
    return true;
}

std::string fileName(const std::string &path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

bool fileDialog(bool save, podoStr &path, const podoStr &initialPath, const podoStr &extension, const podoStr &typeName,
                const podoStr &qualifier, podoWnd *owner)
{
    FileDialogRequest request;
    request.save = save;
    const char *verb = save ? "Export" : "Import";
    std::string ext = narrow(extension), type = narrow(typeName), qual = narrow(qualifier);
    if (qual.empty())
        request.title.format("%s %s", verb, type.c_str());
    else
        request.title.format("%s %s %s", verb, qual.c_str(), type.c_str());
    std::string display = qual.empty() ? type : qual + " " + type;
    std::string filter = display + " (*" + ext + ")" + '\0' + "*" + ext + '\0' + "Any Type (*.*)" + '\0' + "*.*" +
                         '\0' + '\0';
    request.filter.setNarrow(filter.data(), int(filter.size()));
    request.filterLength = int(filter.size());
    std::string initial = narrow(initialPath);
    size_t slash = initial.find_last_of("/\\");
    request.initialFolder = slash == std::string::npos ? "" : initial.substr(0, slash + 1).c_str();
    request.fileName = path;
    request.defaultExtension = extension;
    request.owner = owner;

    FileDialogHook hook = fileDialogHook.load();
    for (;;) {
        podoStr chosen;
        if (!(hook ? hook(request, chosen) : desktopDialog(request, chosen)))
            return false;
        std::string result = narrow(chosen);
        if (result.empty())
            return false;
        if (save && !hasExtension(result) && !ext.empty())
            result += ext[0] == '.' ? ext : "." + ext;
        // The name with its extension is the one that would be overwritten: ask about that one. A "no"
        // shows the dialog again with the name.
        if (!hook && save && platform::pathKind(result) != PathKind::none) {
            std::string question = fileName(result) + " already exists.\nDo you want to replace it?";
            uintptr_t ownerWindow = owner ? reinterpret_cast<uintptr_t>(owner->handle()) : 0;
            int answer = platform::askQuestion(narrow(request.title), question, ownerWindow);
            if (answer < 0)
                return false;
            if (answer == 0) {
                request.fileName = result.c_str();
                continue;
            }
        }
        path = result.c_str();
        return true;
    }
}

bool shellOpen(const podoStr &pathOrAddress)
{
    std::string text = narrow(pathOrAddress);
    if (text.empty())
        return false;
    auto startsNoCase = [&](const char *prefix) {
        size_t n = std::char_traits<char>::length(prefix);
        if (text.size() < n)
            return false;
        for (size_t i = 0; i < n; ++i)
            if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
                return false;
        return true;
    };
    bool web = startsNoCase("http://") || startsNoCase("https://");
    if (!web) {
        bool hasDrive = text.size() >= 2 && text[1] == ':';
        bool hasFolder = text.find_first_of("/\\") != std::string::npos;
        if ((hasDrive || hasFolder) && platform::pathTargetKind(text) == PathKind::none)
            return false;
    }
    return platform::runProgram("xdg-open", {text});
}

} // namespace podo
