#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <type_traits>

#include "effects/effectFactory.h"

namespace {

// Owns the slot's effect the way the engine does.
struct SlotFixture : testing::Test {
  InsertEffectSlot slot;
  ~SlotFixture() override { delete slot.effect; }
};

TEST_F(SlotFixture, TypeNumbersBuildTheirTypeSeparatorsTheNextAndOthersTheBypass) {
  struct Case {
    int number, built;
  } const cases[] = {
      {0, 0},   {34, 0},  {100, 0}, {-1, 0},  {2, 2},   {33, 33}, {1, 2},   {5, 6},
      {8, 9},   {12, 13}, {15, 16}, {18, 19}, {22, 23}, {25, 26}, {29, 30}, {19, 19},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    ASSERT_TRUE(setInsertEffectType(slot, c.number));
    EXPECT_EQ(slot.type, c.built);
    ASSERT_NE(slot.effect, nullptr);
  }
  // The display still names the decoded number: a separator reads "-".
  EXPECT_STREQ(insertEffectTypeNames[18], "-");
  EXPECT_STREQ(insertEffectTypeNames[19], "CHORUS");
}

TEST_F(SlotFixture, BypassPassesAudioUntouched) {
  for (int number : {0, 34, -1}) {
    SCOPED_TRACE(number);
    ASSERT_TRUE(setInsertEffectType(slot, number));
    float left[16], right[16];
    for (int i = 0; i < 16; ++i) {
      left[i] = std::sin(0.3f * i);
      right[i] = -0.5f + 0.01f * i;
    }
    float expectedLeft[16], expectedRight[16];
    std::memcpy(expectedLeft, left, sizeof left);
    std::memcpy(expectedRight, right, sizeof right);
    CIFX& fx = *slot.effect;
    fx.setSampleRate(44100.0f);
    fx.setTempo(120.0);
    fx.setSongPosition(0.0);
    const float params[3] = {1.0f, 0.0f, 0.5f};
    fx.setParameters(params);
    fx.process(left, right, 16);
    EXPECT_EQ(std::memcmp(left, expectedLeft, sizeof left), 0);
    EXPECT_EQ(std::memcmp(right, expectedRight, sizeof right), 0);
  }
}

TEST_F(SlotFixture, ANewEffectIsClearedOnlyWhenItsSlotIsOn) {
  slot.on = 1;
  ASSERT_TRUE(setInsertEffectType(slot, 26));
  EXPECT_TRUE(slot.effect->cleared);
  slot.on = 0;
  ASSERT_TRUE(setInsertEffectType(slot, 26));
  EXPECT_FALSE(slot.effect->cleared);
}

TEST_F(SlotFixture, SettingATypeAgainReplacesTheEffectWithAFreshOne) {
  ASSERT_TRUE(setInsertEffectType(slot, 0));
  const float params[3] = {0.1f, 0.2f, 0.3f};
  slot.effect->setParameters(params);
  slot.effect->setSampleRate(48000.0f);
  ASSERT_TRUE(setInsertEffectType(slot, 0));
  EXPECT_EQ(slot.effect->sampleRate, -1.0f);
  EXPECT_EQ(slot.effect->target[0], 0.5f);
}

TEST(InsertEffectTables, SeparatorsAndOffHaveNoCaptionsAndEveryEffectHasThree) {
  int separators = 0;
  for (int type = 0; type < kInsertEffectTypeCount; ++type) {
    SCOPED_TRACE(type);
    const std::string name = insertEffectTypeNames[type];
    const bool captionless = type == 0 || name == "-";
    separators += name == "-";
    for (const char* caption : insertEffectParameterNames[type])
      EXPECT_EQ(std::strlen(caption) == 0, captionless) << caption;
  }
  EXPECT_EQ(separators, 9);
  EXPECT_STREQ(insertEffectTypeNames[0], "OFF");
  EXPECT_STREQ(insertEffectTypeNames[33], "SPRING REVERB");
  EXPECT_STREQ(insertEffectParameterNames[17][2], "CENTR");
}

TEST(InsertEffectSlots, AreFlatRecordsTheEngineCanCopyAndZero) {
  // The engine keeps slots inside records it fills with zeros and copies as a whole.
  EXPECT_TRUE(std::is_trivially_copyable_v<InsertEffectSlot>);
  EXPECT_TRUE(std::is_trivially_copyable_v<SystemEffectSlot>);
}

TEST(EffectBase, DisplaysOneDecimalAndIgnoresIndexesOutOfRange) {
  CIFX insert;
  CSFX system;
  char text[kEffectDisplayTextSize] = "keep";
  insert.getParameterDisplay(3, 0.25f, text);
  insert.getParameterDisplay(-1, 0.25f, text);
  system.getParameterDisplay(4, 0.25f, text);
  EXPECT_STREQ(text, "keep");
  insert.getParameterDisplay(2, 0.25f, text);
  EXPECT_STREQ(text, "0.2");  // "%.1f", rounded half to even by printf
  system.getParameterDisplay(3, 0.75f, text);
  EXPECT_STREQ(text, "0.8");
  const float params[4] = {0.0f, 1.0f, 0.3f, 0.6f};
  system.setParameters(params);
  system.getCurrentParameterDisplay(3, text);
  EXPECT_STREQ(text, "0.6");
}

TEST(EffectBase, ClearedFromClearOrAllocationUntilTheNextProcess) {
  CIFX insert;
  EXPECT_FALSE(insert.cleared);
  insert.clear();
  EXPECT_TRUE(insert.cleared);
  insert.process(nullptr, nullptr, 0);
  EXPECT_FALSE(insert.cleared);
  insert.allocateBuffers();
  EXPECT_TRUE(insert.cleared);

  CSFX system;
  system.clear();
  EXPECT_TRUE(system.cleared);
  system.process(nullptr, nullptr, 0);
  EXPECT_FALSE(system.cleared);
}

TEST(EffectBase, ParametersAndRatesThatAreNotUsableNeverBecomeState) {
  CIFX insert;
  const float params[3] = {NAN, -2.0f, INFINITY};
  insert.setParameters(params);
  EXPECT_EQ(insert.target[0], 0.0f);
  EXPECT_EQ(insert.target[1], 0.0f);
  EXPECT_EQ(insert.target[2], 1.0f);
  for (float rate : {0.0f, -44100.0f, NAN, INFINITY, 1e9f}) {
    SCOPED_TRACE(rate);
    insert.setSampleRate(rate);
    EXPECT_EQ(insert.sampleRate, -1.0f);
  }
  insert.setSampleRate(96000.0f);
  EXPECT_EQ(insert.sampleRate, 96000.0f);
}

}  // namespace
