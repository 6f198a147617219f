#pragma once
// The one fixed setup an instance starts from and the resets return to: sixteen melodic channels
// except channel index 9, a drum kit, as General MIDI has it.

#include "engine/ProgramBlock.h"

#include <cstdint>

// Process-wide. Filled while the first live instance initialises (under the process lock, before
// any other instance exists) and only read afterwards.
extern ProgramBlock defaultProgram;

namespace engine {

// Writes the whole default setup into block.
void fillDefaultProgram(ProgramBlock &block);

// Writes one channel's defaults into block: its slot, settings and lanes, then the melody or
// drum-kit values by the "Chan.Mode" value block already holds for it. "Seq.Part" is left as
// it is, and so are the melody channel's unused instrument values.
void fillDefaultChannel(ProgramBlock &block, int32_t channel);

} // namespace engine
