// Skin data shared by the editors of a process.
//
// Files under the skins root (the application folder's "skins" folder):
//   images.lst                      image names, one per line; the first empty line ends the list
//   <skin>/<name>.png               an image at 100 %
//   <skin>/<name>@<k>x.png          the same image drawn k times as large
//   <name>.png, <name>@<k>x.png     a name beginning with "$": one file for every skin, in the root
//   <skin>/colors.txt               the skin's colours (key = RRGGBBAA in hex)
#pragma once

#include "foundation/davalArrayString.h"
#include "foundation/podoStr.h"
#include "gui/guiTypes.h"

#include <vector>

namespace qgui {
class CBitmap;
}

// Indexes of the skin colours and their keys in colors.txt.
enum SkinColorIndex : int32_t {
    skinFontDefault = 0,
    skinFontSecond,
    skinFontGlossy,
    skinFontHighlight,
    skinFontDisabled,
    skinBackDefault,
    skinBackSecond,
    skinBackGlossy,
    skinBackHighlight,
    skinBackDisabled,
    skinColorCount
};

// The images and colours of one skin at one zoom. images has one slot per skinImageNames entry (null
// where an image did not load) once loaded, and is empty before; the record owns one reference of each
// bitmap. The bitmap objects stay when a skin or zoom is reloaded in place, so views keep showing them.
struct SkinRecord {
    podoStr name;
    int32_t zoom = 0; // percent of the loaded image files: 100, 200, 300 ...; 0 before the first load
    std::vector<qgui::CBitmap *> images;
    std::vector<qgui::CColor> colours; // skinColorCount entries after loadColors
};

// Process-wide, used on the user-interface thread. skinImageNames is read once (the first
// loadImageList) and sorted by the string type's natural order; a name's position there is its slot in
// every record. sharedSkin serves every editor that shows the same skin at the same zoom; processLock
// guards the choice between it and an editor's own record.
extern davalArrayString skinImageNames;
extern davalArrayString skinNames;
extern SkinRecord sharedSkin;

// Reads an image list: carriage returns dropped, the first empty line (or the end) ends it, lines are
// trimmed and lines that become empty skipped. False when the file cannot be opened.
bool readImageNames(const podoStr &path, davalArrayString &names);

// The colour of a colors.txt value: hexadecimal RRGGBBAA ("0x" and leading blanks allowed).
qgui::CColor parseSkinColor(const podoStr &text);
