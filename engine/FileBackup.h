#pragma once
// Backups and safe replacement of data files.

#include "foundation/podoStr.h"
#include "foundation/podoTime.h"

#include <cstddef>
#include <cstdint>

namespace engine {

// The backup name of a file: its own full name, ".", the local date and time as
// "YYYY-MM-DD HH-MM-SS", then ".bak"; serial 2 and up put " 2", " 3" ... before ".bak", so a
// second backup within the same second does not replace the first.
podoStr backupFileName(const podoStr &path, const podoTime &when, int32_t serial);

// Moves the file at path to the first free backup name of the present second; false when it
// does not exist or cannot be moved.
bool moveToBackup(const podoStr &path);

// Writes data to a temporary file in the same folder, flushes it to the disk, moves the old
// file to its backup name when asked, and renames the new file into place: a crash or a full
// disk never leaves a damaged file behind. Returns 0 or the failing call's error code; the
// temporary file is removed on failure.
uint32_t writeFileReplacing(const podoStr &path, const void *data, size_t size, bool backupOld);

// Removes the temporaries of replacing writes ("NAME.PID-N.tmp") in a folder whose process is gone: a
// write killed half way leaves one behind. Those of a living process are another writer's, at work.
void removeStaleTemporaries(const podoStr &folder);

} // namespace engine
