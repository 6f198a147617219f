#pragma once
// The two submenus of a control's assignment menu: MIDI sources (ids 2000 + source) and host
// automation slots (ids 3000 + slot). The caller's menu takes them over.

#include <cstdint>

class podoMenu;
class podoWnd;
class Quorix;

namespace assignmentmenu {

inline constexpr uint32_t sourceBase = 2000;
inline constexpr uint32_t slotBase = 3000;

// Sources a user cannot pick: none, the bank selects, (N)RPN numbers and the channel-mode messages.
bool isReservedSource(int32_t source);

podoMenu *buildControllerMenu(podoWnd *owner, int32_t currentSource);
podoMenu *buildAutomationMenu(Quorix *engine, podoWnd *owner, int32_t currentSlotPlusOne);

} // namespace assignmentmenu
