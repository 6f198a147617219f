// Operations whose work comes with features not built yet. Each keeps the render and the MIDI
// handler whole in the meantime and does nothing.
#include "engine/Quorix.h"

void Quorix::renderDrumChannel(int32_t, float *, float *, int32_t, float *, float *, float *, float *) {}

void Quorix::sequencerTick(int32_t, int32_t) {}

void Quorix::arpeggiatorStep(int32_t, int32_t) {}
