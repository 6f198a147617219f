#include "foundation/podoStr.h"

#include "foundation/podoGlobals.h"
#include "foundation/podoStrAccess.h"

#include <string>

namespace {

struct PathParts
{
    std::u16string drive, folder, name, extension;
};

// Paths have no length limit here: every part is as long as the text gives.
PathParts splitParts(const char16_t *text)
{
    PathParts parts;
    const std::u16string path(text ? text : u"");
    size_t at = 0;
    if (path.size() >= 2 && podo::isDriveSeparator(path[1])) {
        parts.drive = path.substr(0, 2);
        at = 2;
    }
    size_t folderEnd = at;
    for (size_t i = at; i < path.size(); ++i)
        if (podo::isPathSeparator(path[i]))
            folderEnd = i + 1;
    parts.folder = path.substr(at, folderEnd - at);
    const size_t dot = path.rfind(u'.');
    const size_t nameEnd = dot != std::u16string::npos && dot >= folderEnd ? dot : path.size();
    parts.name = path.substr(folderEnd, nameEnd - folderEnd);
    parts.extension = path.substr(nameEnd);
    return parts;
}

std::u16string join(const char16_t *drive, const char16_t *folder, const char16_t *name, const char16_t *extension)
{
    std::u16string path;
    if (drive && *drive) {
        path += drive[0];
        path += podo::driveSeparator.getWide(podo::codePageUtf8)[0];
    }
    if (folder && *folder) {
        path += folder;
        if (!podo::isPathSeparator(path.back()))
            path += podo::preferredSeparator();
    }
    if (name)
        path += name;
    if (extension && *extension) {
        if (extension[0] != u'.')
            path += u'.';
        path += extension;
    }
    return path;
}

const char16_t *wideOrNull(const podoStr *s)
{
    return s ? s->getWide(podo::codePageUtf8) : nullptr;
}

} // namespace

void podoStr::splitPath(podoStr *drive, podoStr *folder, podoStr *name, podoStr *extension) const
{
    // Split first: an output may be this string.
    const PathParts parts = splitParts(getWide(podo::codePageUtf8));
    if (drive)
        drive->setWide(parts.drive.c_str(), int(parts.drive.size()));
    if (folder)
        folder->setWide(parts.folder.c_str(), int(parts.folder.size()));
    if (name)
        name->setWide(parts.name.c_str(), int(parts.name.size()));
    if (extension)
        extension->setWide(parts.extension.c_str(), int(parts.extension.size()));
}

podoStr &podoStr::makePath(const podoStr *drive, const podoStr *folder, const podoStr *name, const podoStr *extension)
{
    const std::u16string path = join(wideOrNull(drive), wideOrNull(folder), wideOrNull(name), wideOrNull(extension));
    setWide(path.c_str(), int(path.size()));
    return *this;
}

podoStr &podoStr::setPathParts(const podoStr *drive, const podoStr *folder, const podoStr *name,
                               const podoStr *extension)
{
    const PathParts own = splitParts(getWide(podo::codePageUtf8));
    const std::u16string path = join(drive ? wideOrNull(drive) : own.drive.c_str(),
                                     folder ? wideOrNull(folder) : own.folder.c_str(),
                                     name ? wideOrNull(name) : own.name.c_str(),
                                     extension ? wideOrNull(extension) : own.extension.c_str());
    setWide(path.c_str(), int(path.size()));
    return *this;
}

podoStr &podoStr::setExtension(const podoStr &extension)
{
    return setPathParts(nullptr, nullptr, nullptr, &extension);
}

podoStr &podoStr::removeExtension()
{
    return setPathParts(nullptr, nullptr, nullptr, &podo::emptyString);
}

podoStr &podoStr::setDefaultExtension(const podoStr &extension)
{
    const PathParts own = splitParts(getWide(podo::codePageUtf8));
    const std::u16string path =
        join(own.drive.c_str(), own.folder.c_str(), own.name.c_str(),
             own.extension.empty() ? extension.getWide(podo::codePageUtf8) : own.extension.c_str());
    setWide(path.c_str(), int(path.size()));
    return *this;
}

const char *podoStr::getNarrowFileName() const
{
    const char *text = getNarrow(podo::codePageUtf8);
    const char *name = text;
    // Separators are ASCII, so no byte of a longer character is taken for one.
    for (const char *p = text; p && *p; ++p)
        if (static_cast<unsigned char>(*p) < 0x80 && podo::isPathSeparator(char16_t(*p)))
            name = p + 1;
    return name;
}

const char16_t *podoStr::getWideFileName() const
{
    const char16_t *text = getWide(podo::codePageUtf8);
    const char16_t *name = text;
    for (const char16_t *p = text; p && *p; ++p)
        if (podo::isPathSeparator(*p))
            name = p + 1;
    return name;
}

bool podoStr::endsWithSeparator() const
{
    const char16_t *text = getWide(podo::codePageUtf8);
    const int n = podo::text::length(text);
    return n > 0 && podo::isPathSeparator(text[n - 1]);
}

podoStr &podoStr::addTrailingSeparator(char16_t separator)
{
    if (length() != 0 && !endsWithSeparator())
        appendChar(separator ? separator : podo::preferredSeparator());
    return *this;
}

podoStr &podoStr::removeTrailingSeparator()
{
    if (endsWithSeparator())
        setWide(getWide(podo::codePageUtf8), wideLength() - 1);
    return *this;
}

podoStr &podoStr::replaceSeparators(char16_t separator)
{
    std::u16string path(getWide(podo::codePageUtf8));
    for (char16_t &c : path)
        if (podo::isPathSeparator(c))
            c = separator;
    setWide(path.c_str(), -1);
    return *this;
}
