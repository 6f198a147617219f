#include "banks/tests/BankTestLibrary.h"

#include <gtest/gtest.h>

namespace {

// The whole small library, as a note start uses it: wave number -> location -> zone -> sample.
TEST(SoundLibrary, KeysFindTheirSamplesInEitherByteOrder)
{
    TestLibrary content;
    for (uint8_t mark : {banks::kLittleEndianMark, banks::kBigEndianMark}) {
        SCOPED_TRACE(mark);
        freeLibrary();
        LibraryFolder lib;
        ASSERT_TRUE(content.write(lib.setup.folder, mark));
        ASSERT_TRUE(banks::loadSampleBanks(lib.setup));
        ASSERT_TRUE(banks::loadWavetables(lib.setup));
        ASSERT_TRUE(banks::loadPatches(lib.setup));
        EXPECT_TRUE(lib.report.boxes.empty()) << lib.report.boxTexts();

        WaveLocation sines{}, kit{};
        banks::waveLocation(2 * 128 + 1, &sines);
        banks::waveLocation(40 * 128 + 1, &kit);
        struct Case {
            WaveLocation location;
            int32_t key;
            int32_t rate; // of the sample played; 0 none
            int16_t rootKey;
        };
        const Case cases[] = {
            {sines, 21, 44100, 48}, {sines, 59, 44100, 48}, {sines, 60, 22050, 72},
            {sines, 84, 22050, 72}, {sines, 85, 0, 0},      {kit, 36, 32000, 60},
        };
        for (const Case &c : cases) {
            SCOPED_TRACE(c.key);
            const KeyZone *zone = banks::findZone(c.location, c.key);
            if (c.rate == 0) {
                EXPECT_EQ(zone, nullptr);
                continue;
            }
            ASSERT_NE(zone, nullptr);
            EXPECT_EQ(zone->rootKey, c.rootKey);
            const SampleRecord &sample = banks::findSample(*zone);
            EXPECT_EQ(sample.rate, c.rate);
            ASSERT_NE(sample.data, nullptr);
        }
        const SampleRecord &low = banks::findSample(*banks::findZone(sines, 40));
        EXPECT_EQ(low.data[26], content.sineLow[25]) << "positions count from 1";
        EXPECT_EQ(patchCategories[patchCategoryIndex[50]].numPatches, 2);
    }
    freeLibrary();
}

} // namespace
