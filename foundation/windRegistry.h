#pragma once

#include "foundation/podoStr.h"

#include <cstdint>

// Selector of the root and view of a registry operation: low 16 bits 0 for the machine-wide root,
// anything else for the current user's; high 16 bits choose a 32-bit (1) or 64-bit (2) view, which
// this platform does not distinguish.
using windRegistrySelector = int32_t;

// An open registry key; closed with windRegistry::closeKey.
struct windRegistryKey;

// String values under the key "Software\<maker>\<product>". Here the registry is a small store of text
// files, one per root and key, under the user's configuration folder; the machine root also reads a
// system-wide file when present and writes the per-user one. Failures are answers (false, null): the
// callers decide what to tell the user.
class windRegistry
{
public:
    virtual ~windRegistry() = default;

    // Opens the key, creating it when missing; null when neither works.
    static windRegistryKey *openKey(windRegistrySelector selector, const podoStr *maker, const podoStr *product,
                                    const podoStr &keyClass);
    static void closeKey(windRegistryKey *key);
    // Reads a value's bytes (UTF-16 text, no terminator); byteSize is the buffer's size in and the
    // value's size out. False when missing or when the buffer is too small.
    static bool readValue(windRegistrySelector selector, const podoStr *maker, const podoStr *product,
                          const podoStr &valueName, void *buffer, uint32_t &byteSize);
    static bool readString(windRegistrySelector selector, const podoStr *maker, const podoStr *product,
                           const podoStr &valueName, podoStr *out);
    static bool writeString(windRegistrySelector selector, const podoStr *maker, const podoStr *product,
                            const podoStr &valueName, const podoStr &value);
};

// Operating-system queries; none are needed yet.
class windOS
{
public:
    virtual ~windOS() = default;
};
