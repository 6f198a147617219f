// Operations whose work comes with features not built yet. Each keeps the render and the MIDI
// handler whole in the meantime and does nothing.
#include "engine/Quorix.h"

void Quorix::sequencerTick(int32_t, int32_t) {}

void Quorix::arpeggiatorStep(int32_t, int32_t) {}
