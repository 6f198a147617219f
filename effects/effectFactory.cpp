#include "effects/effectFactory.h"

#include <new>
#include <utility>

// Each insert-effect family adds its header here, one line per family.
#include "effects/CIFXAutoWah.h"
#include "effects/CIFXChorus.h"
#include "effects/CIFXCompressor.h"
#include "effects/CIFXDelay.h"
#include "effects/CIFXDrive.h"
#include "effects/CIFXFdnReverb.h"
#include "effects/CIFXFilter.h"
#include "effects/CIFXGateReverb.h"
#include "effects/CIFXLofi.h"
#include "effects/CIFXPhaser.h"
#include "effects/CIFXSImage.h"
#include "effects/CIFXTremolo.h"

namespace {

// A new effect, or null when memory is exhausted (process-wide allocation failures must not
// reach the host).
template <class Effect, class... Args>
CIFX* create(Args&&... args) {
  try {
    return new Effect(std::forward<Args>(args)...);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// The effect of a type number 2..33 that is not a separator row. Types whose class is not
// built yet get the bypass effect; each family replaces `CIFX` on its own lines by its class.
CIFX* createInsertEffect(int type) {
  switch (type) {
    // Filters and equaliser
    case 2: return create<CIFXSFilter12>();
    case 3: return create<CIFXSFilter24>();
    case 4: return create<CIFX3EQ>();

    // Compressors
    case 6: return create<CIFXPeakCompressor>();
    case 7: return create<CIFXRMSCompressor>();

    // Drive effects (they receive their transfer curve)
    case 9: return create<CIFXOverdrive>(driveCurveOverdrive);
    case 10: return create<CIFXDistortion>(driveCurveDistortion);
    case 11: return create<CIFXAmpDistortion>(driveCurveDistortion);

    // Lo-fi effects
    case 13: return create<CIFXCrusher>();
    case 14: return create<CIFXLPNoise>();

    // Stereo image
    case 16: return create<CIFXSImage>();

    // Auto wah
    case 17: return create<CIFXAutoWah>();

    // Chorus and flanger
    case 19: return create<CIFXChorus>();
    case 20: return create<CIFXFlanger>();

    // Phaser
    case 21: return create<CIFXPhaser>();

    // Tremolo and auto pan
    case 23: return create<CIFXTremolo>();
    case 24: return create<CIFXAutoPan>();

    // Delays
    case 26: return create<CIFXDelay>();
    case 27: return create<CIFXStereoDelay>();
    case 28: return create<CIFXPPDelay>();

    // Gate reverb
    case 30: return create<CIFXGateReverb>();

    // Feedback-delay-network reverbs
    case 31: return create<CIFXRoomReverb>();
    case 32: return create<CIFXHallReverb>();
    case 33: return create<CIFXSpringReverb>();

    default: return create<CIFX>();
  }
}

// The type a number builds: separator rows build the row after them, numbers outside 1..33
// build the bypass effect.
int builtType(int type) {
  if (type <= 0 || type >= kInsertEffectTypeCount) return 0;
  switch (type) {
    case 1: case 5: case 8: case 12: case 15: case 18: case 22: case 25: case 29:
      return type + 1;
    default:
      return type;
  }
}

}  // namespace

bool setInsertEffectType(InsertEffectSlot& slot, int type) {
  delete slot.effect;
  slot.effect = nullptr;
  slot.type = builtType(type);
  CIFX* effect = slot.type == 0 ? create<CIFX>() : createInsertEffect(slot.type);
  if (effect == nullptr) return false;
  slot.effect = effect;
  if (slot.on) effect->clear();
  return true;
}
