#include "foundation/windRegistry.h"

#include "foundation/platform/podoPlatformShell.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>

struct windRegistryKey {
    std::string file; // where the key's values are kept
};

namespace {

// Serialises read-modify-write of the store within the process; the write itself is an atomic rename.
std::mutex storeMutex;

constexpr size_t maxKeyPath = 1024; // characters of "Software\maker\product"
constexpr size_t readStringBytes = 4096;

std::string narrow(const podoStr *s)
{
    const char *text = s ? s->getNarrow() : nullptr;
    return text ? std::string(text) : std::string();
}

// One path component of the store: never a separator, "." or "..".
std::string component(const std::string &word)
{
    std::string out;
    for (char c : word)
        out += (c == '/' || c == '\\') ? '_' : c;
    if (out == "." || out == "..")
        out = "_" + out;
    return out;
}

// The file holding a key; empty when the key path is too long or there is no store.
std::string keyFile(const std::string &root, bool machine, const podoStr *maker, const podoStr *product)
{
    if (root.empty())
        return std::string();
    std::string m = narrow(maker), p = narrow(product);
    std::string keyPath = "Software";
    if (maker && product)
        keyPath += "\\" + m + "\\" + p;
    else if (maker || product)
        keyPath += "\\" + (maker ? m : p);
    if (keyPath.size() > maxKeyPath)
        return std::string();
    std::string file = root + (machine ? "/HKEY_LOCAL_MACHINE/Software" : "/HKEY_CURRENT_USER/Software");
    if (maker && product)
        file += "/" + component(m) + "/" + component(p);
    else if (maker || product)
        file += "/" + component(maker ? m : p);
    return file + ".reg";
}

bool isMachine(windRegistrySelector selector) { return (selector & 0xFFFF) == 0; }

std::string escape(const std::string &text, bool name)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '=':
            if (name) {
                out += "\\=";
                break;
            }
            [[fallthrough]];
        default: out += c;
        }
    }
    return out;
}

// Splits "name=value" at the first unescaped '=' and undoes the escapes; false for a broken line.
bool parseLine(const std::string &line, std::string &name, std::string &value)
{
    std::string *target = &name;
    name.clear();
    value.clear();
    bool split = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            char e = line[++i];
            *target += e == 'n' ? '\n' : e == 'r' ? '\r' : e;
        } else if (c == '=' && !split) {
            split = true;
            target = &value;
        } else {
            *target += c;
        }
    }
    return split;
}

std::map<std::string, std::string> readFile(const std::string &file)
{
    std::map<std::string, std::string> values;
    std::ifstream in(file, std::ios::binary);
    std::string line, name, value;
    while (std::getline(in, line))
        if (parseLine(line, name, value))
            values[name] = value;
    return values;
}

bool ensureParent(const std::string &file)
{
    size_t slash = file.find_last_of('/');
    for (size_t at = file.find('/', 1); at != std::string::npos && at <= slash; at = file.find('/', at + 1))
        podo::platform::createFolder(file.substr(0, at));
    return podo::platform::pathTargetKind(file.substr(0, slash)) == podo::platform::PathKind::folder;
}

bool writeFile(const std::string &file, const std::map<std::string, std::string> &values)
{
    if (!ensureParent(file))
        return false;
    std::string temporary = file + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        for (const auto &[name, value] : values)
            out << escape(name, true) << '=' << escape(value, false) << '\n';
        out.flush();
        if (!out) {
            out.close();
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (!podo::platform::renamePath(temporary, file)) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

// The value as the store holds it (UTF-8); for the machine root the per-user file wins over the
// system-wide one.
bool findValue(windRegistrySelector selector, const podoStr *maker, const podoStr *product, const podoStr &valueName,
               std::string &value)
{
    std::lock_guard<std::mutex> lock(storeMutex);
    std::string name = narrow(&valueName);
    bool machine = isMachine(selector);
    for (const std::string &root : {podo::platform::registryUserRoot(),
                                    machine ? podo::platform::registrySystemRoot() : std::string()}) {
        std::string file = keyFile(root, machine, maker, product);
        if (file.empty())
            continue;
        auto values = readFile(file);
        auto it = values.find(name);
        if (it != values.end()) {
            value = it->second;
            return true;
        }
    }
    return false;
}

} // namespace

windRegistryKey *windRegistry::openKey(windRegistrySelector selector, const podoStr *maker, const podoStr *product,
                                       const podoStr &)
{
    std::lock_guard<std::mutex> lock(storeMutex);
    std::string file = keyFile(podo::platform::registryUserRoot(), isMachine(selector), maker, product);
    if (file.empty())
        return nullptr;
    if (podo::platform::pathTargetKind(file) != podo::platform::PathKind::file && !writeFile(file, {}))
        return nullptr;
    return new windRegistryKey{file};
}

void windRegistry::closeKey(windRegistryKey *key) { delete key; }

bool windRegistry::readValue(windRegistrySelector selector, const podoStr *maker, const podoStr *product,
                             const podoStr &valueName, void *buffer, uint32_t &byteSize)
{
    std::string value;
    if (!findValue(selector, maker, product, valueName, value))
        return false;
    podoStr text;
    text.setNarrow(value.c_str(), int(value.size()));
    const char16_t *wide = text.getWide();
    size_t bytes = size_t(text.wideLength()) * sizeof(char16_t);
    uint32_t capacity = byteSize;
    byteSize = uint32_t(bytes);
    if (!buffer || bytes > capacity)
        return false;
    if (bytes)
        std::memcpy(buffer, wide, bytes);
    return true;
}

bool windRegistry::readString(windRegistrySelector selector, const podoStr *maker, const podoStr *product,
                              const podoStr &valueName, podoStr *out)
{
    char16_t buffer[readStringBytes / sizeof(char16_t)];
    uint32_t size = sizeof buffer;
    if (!readValue(selector, maker, product, valueName, buffer, size))
        return false;
    if (out) {
        size_t units = size / sizeof(char16_t), n = 0;
        while (n < units && buffer[n] != 0)
            ++n;
        out->setWide(buffer, int(n));
    }
    return true;
}

bool windRegistry::writeString(windRegistrySelector selector, const podoStr *maker, const podoStr *product,
                               const podoStr &valueName, const podoStr &value)
{
    windRegistryKey *key = openKey(selector, maker, product, podoStr("REG_SZ"));
    if (!key)
        return false;
    std::lock_guard<std::mutex> lock(storeMutex);
    auto values = readFile(key->file);
    values[narrow(&valueName)] = narrow(&value);
    bool ok = writeFile(key->file, values);
    closeKey(key);
    return ok;
}
