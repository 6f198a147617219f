#include "foundation/podoFileFind.h"

#include "foundation/platform/podoPlatformFile.h"
#include "foundation/podoTime.h"

#include <algorithm>
#include <string>
#include <vector>

namespace platform = podo::platform;

struct podoFileFind::Search {
    std::vector<platform::FolderEntry> entries; // matching entries, sorted
    size_t next = 0;
};

namespace {

// The folder and the name pattern of a search pattern.
struct PatternParts {
    std::string folder;
    std::string name;
};

PatternParts splitPattern(const std::string &pattern)
{
    const size_t separator = pattern.find_last_of("/\\");
    if (separator == std::string::npos)
        return {std::string(1, '.'), pattern};
    return {pattern.substr(0, separator == 0 ? 1 : separator), pattern.substr(separator + 1)};
}

bool isDotEntry(const std::string &name)
{
    return name.empty() || name == "." || name == "..";
}

uint64_t toMilliseconds(int64_t localFileTime)
{
    return static_cast<uint64_t>(podo::microsecondsFromFileTime(localFileTime) / 1000);
}

// Natural order over the names with ASCII letters folded; names that differ only in
// case then go in byte order, so the order never depends on the listing's.
void sortByName(std::vector<platform::FolderEntry> &entries)
{
    std::vector<podoStr> keys;
    keys.reserve(entries.size());
    for (const platform::FolderEntry &entry : entries) {
        keys.emplace_back(entry.name.c_str());
        keys.back().makeUpper();
    }
    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int byKey = keys[a].compare(keys[b].getNarrow());
        return byKey != 0 ? byKey < 0 : entries[a].name < entries[b].name;
    });
    std::vector<platform::FolderEntry> sorted;
    sorted.reserve(entries.size());
    for (size_t i : order)
        sorted.push_back(std::move(entries[i]));
    entries.swap(sorted);
}

} // namespace

podoFileFind::podoFileFind() = default;

podoFileFind::~podoFileFind()
{
    close();
}

bool podoFileFind::findFirst(const podoStr &newPattern, podoStr *name, uint32_t *attributes, uint64_t *size,
                             uint64_t *creationTime, uint64_t *writeTime, uint64_t *accessTime)
{
    close();
    if (&newPattern != &pattern)
        pattern = newPattern;

    const PatternParts parts = splitPattern(pattern.getNarrow());
    std::vector<platform::FolderEntry> listed;
    if (parts.name.empty() || !platform::listFolder(parts.folder.c_str(), listed))
        return false;

    const bool everything = parts.name == "*.*";
    const podoStr wanted(parts.name.c_str());
    auto found = std::make_unique<Search>();
    for (platform::FolderEntry &entry : listed)
        if (!isDotEntry(entry.name) && (everything || podoStr(entry.name.c_str()).matchesNoCase(wanted)))
            found->entries.push_back(std::move(entry));
    if (found->entries.empty())
        return false;
    sortByName(found->entries);
    search = std::move(found);
    return findNext(name, attributes, size, creationTime, writeTime, accessTime);
}

bool podoFileFind::findNext(podoStr *name, uint32_t *attributes, uint64_t *size, uint64_t *creationTime,
                            uint64_t *writeTime, uint64_t *accessTime)
{
    if (!search) {
        const podoStr again(pattern);
        return findFirst(again, name, attributes, size, creationTime, writeTime, accessTime);
    }
    if (search->next >= search->entries.size())
        return false;
    const platform::FolderEntry &entry = search->entries[search->next++];
    if (name)
        name->setNarrow(entry.name.c_str(), static_cast<int>(entry.name.size()));
    if (attributes)
        *attributes = entry.attributes;
    if (size)
        *size = entry.size;
    if (creationTime)
        *creationTime = toMilliseconds(entry.creationTime);
    if (writeTime)
        *writeTime = toMilliseconds(entry.writeTime);
    if (accessTime)
        *accessTime = toMilliseconds(entry.accessTime);
    return true;
}

void podoFileFind::close()
{
    search.reset();
}

uint32_t podoFileFind::count(const podoStr &countPattern)
{
    uint32_t n = 0;
    if (findFirst(countPattern)) {
        ++n;
        while (findNext())
            ++n;
    }
    close();
    return n;
}
