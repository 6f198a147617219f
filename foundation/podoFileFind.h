#pragma once

#include "foundation/podoStr.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// podoFileAttributes: the bits reported for each entry.
namespace podoFileAttributes {
constexpr uint32_t folder = 0x10000;
constexpr uint32_t readOnly = 0x20000;
constexpr uint32_t hidden = 0x40000; // names that begin with '.'
} // namespace podoFileAttributes

// Lists the entries of a folder that match a pattern, one at a time.
// The pattern is a path whose last part may hold '*' (any run) and '?' (one
// character); letters match in either case and "*.*" matches every name, with a
// dot or not. Entries come sorted by name (natural order, case-insensitive), so
// results never depend on the file system's order. "." and ".." are never
// reported. Times are milliseconds on podoTime's scale (its microsecond count of
// the same local moment / 1,000). One thread at a time.
class podoFileFind
{
public:
    podoFileFind();
    podoFileFind(const podoFileFind &) = delete;
    podoFileFind &operator=(const podoFileFind &) = delete;
    virtual ~podoFileFind();

    // Starts a search; false when nothing matches or the folder cannot be read (the
    // outputs are then left as they were). Outputs given as null are not wanted.
    virtual bool findFirst(const podoStr &pattern, podoStr *name = nullptr, uint32_t *attributes = nullptr,
                           uint64_t *size = nullptr, uint64_t *creationTime = nullptr,
                           uint64_t *writeTime = nullptr, uint64_t *accessTime = nullptr);
    // The next entry; false once none is left, and on every later call until close
    // or the next findFirst. Without an open search it starts over from the first
    // entry of the last pattern.
    virtual bool findNext(podoStr *name = nullptr, uint32_t *attributes = nullptr, uint64_t *size = nullptr,
                          uint64_t *creationTime = nullptr, uint64_t *writeTime = nullptr,
                          uint64_t *accessTime = nullptr);
    virtual void close();
    virtual uint32_t count(const podoStr &pattern);

private:
    struct Search;

    podoStr pattern;
    std::unique_ptr<Search> search; // null when no search is open
};
