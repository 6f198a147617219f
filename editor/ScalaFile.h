// Scala scale files (".scl") for the program's temperament: the current temperament written as twelve
// pitches in cents, and a scale read into the current user temperament as whole-cent offsets from
// equal temperament, each held to -50..+50.
#pragma once

#include "foundation/podoStr.h"

#include <cstdint>

class Quorix;

namespace scalaFile {

// 0 written, 3 the file cannot be created (or was not written whole). An existing file is replaced.
int32_t writeScalaFile(Quorix *engine, const podoStr &path);
// 0 read, 1 the current temperament is built in (nothing read), 3 the file cannot be opened. The
// offsets go to the engine through setTuningOffset; the caller refreshes its copy of the
// configuration afterwards. A pitch that is not a positive, finite interval gives the offset 0.
int32_t readScalaFile(Quorix *engine, const podoStr &path);

} // namespace scalaFile
