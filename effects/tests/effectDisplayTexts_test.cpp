// The display texts of the insert effects' parameters, by type number as the engine asks for
// them.

#include <gtest/gtest.h>

#include <string>

#include "insertEffectDriver.h"

namespace {

struct DisplayCase {
  int type, index;
  float value;
  const char* text;
};

const DisplayCase kDisplays[] = {
    // CRUSHER: capture rate, bits (display curve 31 x^2 + 1), tone
    {13, 0, 0.0f, "1 Hz"},          {13, 0, 1.0f, "192000 Hz"},    {13, 0, 0.5f, "24000 Hz"},
    {13, 1, 0.0f, "1.0 bits"},      {13, 1, 1.0f, "32.0 bits"},    {13, 1, 0.5f, "8.8 bits"},
    {13, 2, 0.25f, "25.0 %"},
    // LP NOISE: crackle, dirt, year
    {14, 0, 0.5f, "50.0 %"},        {14, 1, 1.0f, "100.0 %"},      {14, 2, 0.0f, "1950"},
    {14, 2, 1.0f, "2000"},          {14, 2, 0.5f, "1975"},         {14, 2, 0.49f, "1975"},
    // AUTO WAH: note, width, centre frequency
    {17, 0, 0.0f, "8/1 note"},      {17, 0, 1.0f, "1/32T note"},   {17, 1, 0.333f, "33.3 %"},
    {17, 2, 0.0f, "46.7 Hz"},       {17, 2, 1.0f, "3937.9 Hz"},
    // PHASER
    {21, 0, 15.0f / 26.0f, "1/4 note"}, {21, 1, 1.0f, "100.0 %"}, {21, 2, 0.0f, "0.0 %"},
    // TREMOLO and AUTO PAN: the wave shows the first four melody-LFO names
    {23, 0, 0.0f, "SIN hi-lo"},     {23, 0, 1.0f / 3.0f, "SIN lo-hi"}, {23, 0, 0.5f, "TRI hi-lo"},
    {23, 0, 1.0f, "TRI lo-hi"},     {23, 1, 0.5f, "1/4D note"},    {23, 2, 1.0f, "100.0 %"},
    {24, 0, 0.9f, "TRI lo-hi"},     {24, 1, 0.0f, "8/1 note"},     {24, 2, 0.125f, "12.5 %"},
    // GATE REVERB: time, tone, level (of the normalised value; the gain applied is its square)
    {30, 0, 0.0f, "0.00 sec"},      {30, 0, 1.0f, "5.00 sec"},     {30, 1, 0.5f, "50.0 %"},
    {30, 2, 1.0f, "0.00 dB"},       {30, 2, 0.5f, "-6.02 dB"},     {30, 2, 0.0f, "-oo"},
    // ROOM, HALL, SPRING: level shown as the wet gain 0.5 x LEVEL
    {31, 0, 0.0f, "0.10 sec"},      {31, 0, 1.0f, "5.00 sec"},     {32, 1, 1.0f, "100.0 %"},
    {32, 2, 1.0f, "-6.02 dB"},      {33, 2, 0.5f, "-12.04 dB"},    {33, 2, 0.0f, "-oo"},
};

TEST(InsertEffectDisplays, ShowEachParameterInItsOwnUnit) {
  for (const DisplayCase& c : kDisplays) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " index " << c.index << " value "
                                    << c.value);
    auto fx = fx_test::buildEffect(c.type);
    ASSERT_NE(fx, nullptr);
    char text[kEffectDisplayTextSize] = "";
    fx->getParameterDisplay(c.index, c.value, text);
    EXPECT_STREQ(text, c.text);
  }
}

TEST(InsertEffectDisplays, IndexesOutOfRangeLeaveTheTextAndValuesOutOfRangeShowTheEnds) {
  for (int type : {13, 14, 17, 21, 23, 24, 30, 31, 32, 33}) {
    SCOPED_TRACE(type);
    auto fx = fx_test::buildEffect(type);
    char text[kEffectDisplayTextSize] = "keep";
    fx->getParameterDisplay(3, 0.5f, text);
    fx->getParameterDisplay(-1, 0.5f, text);
    EXPECT_STREQ(text, "keep");
    // Values outside 0..1 are shown as the nearest end.
    char high[kEffectDisplayTextSize] = "", one[kEffectDisplayTextSize] = "";
    for (int index = 0; index < 3; ++index) {
      fx->getParameterDisplay(index, 7.0f, high);
      fx->getParameterDisplay(index, 1.0f, one);
      EXPECT_STREQ(high, one) << index;
    }
  }
}

}  // namespace
