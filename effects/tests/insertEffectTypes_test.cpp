// Every type number builds the effect class its row of the type table names: separator rows the
// type after them, 0 and numbers outside the table the bypass effect; each class sits under
// its family base.

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>
#include <typeindex>
#include <typeinfo>

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
#include "effects/effectFactory.h"

namespace {

template <class Base>
bool isA(const CIFX* fx) {
  return dynamic_cast<const Base*>(fx) != nullptr;
}

struct Row {
  int number;
  int built;
  std::type_index type;
  std::function<bool(const CIFX*)> family;  // the family base, or CIFX itself
};

TEST(InsertEffectTypes, EveryNumberBuildsTheClassOfItsRow) {
  const Row rows[] = {
      {0, 0, typeid(CIFX), isA<CIFX>},
      {1, 2, typeid(CIFXSFilter12), isA<CIFXSFilterPr>},
      {2, 2, typeid(CIFXSFilter12), isA<CIFXSFilterPr>},
      {3, 3, typeid(CIFXSFilter24), isA<CIFXSFilterPr>},
      {4, 4, typeid(CIFX3EQ), isA<CIFX>},
      {5, 6, typeid(CIFXPeakCompressor), isA<CIFXDynamicPr>},
      {6, 6, typeid(CIFXPeakCompressor), isA<CIFXDynamicPr>},
      {7, 7, typeid(CIFXRMSCompressor), isA<CIFXDynamicPr>},
      {8, 9, typeid(CIFXOverdrive), isA<CIFXDrivePr>},
      {9, 9, typeid(CIFXOverdrive), isA<CIFXDrivePr>},
      {10, 10, typeid(CIFXDistortion), isA<CIFXDrivePr>},
      {11, 11, typeid(CIFXAmpDistortion), isA<CIFXDrivePr>},
      {12, 13, typeid(CIFXCrusher), isA<CIFXLofiPr>},
      {13, 13, typeid(CIFXCrusher), isA<CIFXLofiPr>},
      {14, 14, typeid(CIFXLPNoise), isA<CIFXLofiPr>},
      {15, 16, typeid(CIFXSImage), isA<CIFX>},
      {16, 16, typeid(CIFXSImage), isA<CIFX>},
      {17, 17, typeid(CIFXAutoWah), isA<CIFXWahPr>},
      {18, 19, typeid(CIFXChorus), isA<CIFXCombPr>},
      {19, 19, typeid(CIFXChorus), isA<CIFXCombPr>},
      {20, 20, typeid(CIFXFlanger), isA<CIFXCombPr>},
      {21, 21, typeid(CIFXPhaser), isA<CIFX>},
      {22, 23, typeid(CIFXTremolo), isA<CIFXVibratoPr>},
      {23, 23, typeid(CIFXTremolo), isA<CIFXVibratoPr>},
      {24, 24, typeid(CIFXAutoPan), isA<CIFXVibratoPr>},
      {25, 26, typeid(CIFXDelay), isA<CIFXDelayPr>},
      {26, 26, typeid(CIFXDelay), isA<CIFXDelayPr>},
      {27, 27, typeid(CIFXStereoDelay), isA<CIFXDelayPr>},
      {28, 28, typeid(CIFXPPDelay), isA<CIFXDelayPr>},
      {29, 30, typeid(CIFXGateReverb), isA<CIFX>},
      {30, 30, typeid(CIFXGateReverb), isA<CIFX>},
      {31, 31, typeid(CIFXRoomReverb), isA<CIFXFdnReverbPr>},
      {32, 32, typeid(CIFXHallReverb), isA<CIFXFdnReverbPr>},
      {33, 33, typeid(CIFXSpringReverb), isA<CIFXFdnReverbPr>},
      {34, 0, typeid(CIFX), isA<CIFX>},
      {100, 0, typeid(CIFX), isA<CIFX>},
      {-1, 0, typeid(CIFX), isA<CIFX>},
      {INT_MIN, 0, typeid(CIFX), isA<CIFX>},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "type number " << row.number);
    InsertEffectSlot slot;
    ASSERT_TRUE(setInsertEffectType(slot, row.number));
    std::unique_ptr<CIFX> owner(slot.effect);
    EXPECT_EQ(slot.type, row.built);
    EXPECT_EQ(std::type_index(typeid(*owner)), row.type) << typeid(*owner).name();
    EXPECT_TRUE(row.family(owner.get()));
  }
}

}  // namespace
