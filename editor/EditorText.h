// Texts the editor shows for values, and the note columns its note menus share.
#pragma once

#include <cstddef>
#include <cstdint>

class podoMenu;

namespace editortext {

void transpose(char *out, size_t size, float v); // "-48".."0".."+48"
void note(char *out, size_t size, int32_t n);    // "C-2" for note 0, "C3" for 60
void voices(char *out, size_t size, float v);    // "LEG", "RET" or the voice count
void tune(char *out, size_t size, float v);      // the master tuning in Hz

// The eleven columns of notes 0..127 (id note + 1), one octave a column, highest first in each;
// the four places above note 127 are blanks with ids 385..388 that cannot be chosen.
void addNoteColumns(podoMenu &menu);

} // namespace editortext
