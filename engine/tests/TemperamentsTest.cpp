#include "engine/Temperaments.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

using namespace engine;

namespace {

struct TuningFixture : testing::Test {
    TuningBlock tuning{};
    ConfigurationBlock configuration{};
    void SetUp() override {
        resetConfigurationBlock(configuration);
        for (int u = 0; u < 8; ++u)
            for (int p = 0; p < 12; ++p)
                configuration.userTemperaments[u][p] = u * 10 + p;
    }
    // Rows are read element by element: the packed blocks give no aligned arrays.
    std::array<int32_t, 12> userRow(int u) const {
        std::array<int32_t, 12> row{};
        for (int p = 0; p < 12; ++p)
            row[p] = configuration.userTemperaments[u][p];
        return row;
    }
    static std::array<int32_t, 12> builtInRow(int t) {
        std::array<int32_t, 12> row{};
        for (int p = 0; p < 12; ++p)
            row[p] = builtInTemperaments[t][p];
        return row;
    }
    void expectRow(const std::array<int32_t, 12>& row) {
        for (int p = 0; p < 12; ++p)
            EXPECT_EQ(+tuning.offsets[p], row[p]) << "pitch class " << p;
    }
};

} // namespace

TEST_F(TuningFixture, SelectingCopiesTheRowAndOutOfRangeMeansEqual) {
    for (int32_t t : {16, 1000, -1}) {
        SCOPED_TRACE(t);
        tuning.temperament = 77; // -1 takes the stored number, which is out of range too
        selectTemperamentRow(tuning, t, configuration);
        EXPECT_EQ(+tuning.temperament, 0);
        expectRow(builtInRow(0));
    }
    selectTemperamentRow(tuning, 3, configuration);
    tuning.offsets[5] = 42;
    selectTemperamentRow(tuning, -1, configuration); // reloads the stored temperament over edits
    EXPECT_EQ(+tuning.temperament, 3);
    expectRow(builtInRow(3));
    EXPECT_EQ(+tuning.offsets[8], -29);

    selectTemperamentRow(tuning, 9, configuration);
    expectRow(userRow(1));
}

TEST_F(TuningFixture, EditingAUserTemperamentEditsItsRow) {
    selectTemperamentRow(tuning, 9, configuration);
    ASSERT_TRUE(setTuningOffsetIn(tuning, configuration, 4, 20));
    EXPECT_EQ(+tuning.offsets[4], 20);
    EXPECT_EQ(+configuration.userTemperaments[1][4], 20);
    tuning.offsets[4] = 0;
    selectTemperamentRow(tuning, 9, configuration);
    EXPECT_EQ(+tuning.offsets[4], 20);

    // A built-in temperament: only the program's copy changes.
    selectTemperamentRow(tuning, 2, configuration);
    const ConfigurationBlock before = configuration;
    ASSERT_TRUE(setTuningOffsetIn(tuning, configuration, 0, 33));
    EXPECT_EQ(+tuning.offsets[0], 33);
    EXPECT_EQ(std::memcmp(&before, &configuration, sizeof before), 0);
    selectTemperamentRow(tuning, 2, configuration);
    expectRow(builtInRow(2));
}

TEST_F(TuningFixture, OffsetsStayInTheCentTableAndPitchClassesAreChecked) {
    selectTemperamentRow(tuning, 12, configuration);
    const struct {
        int32_t in, out;
    } cents[] = {{99, 99}, {100, 99}, {-99, -99}, {-5000, -99}, {INT32_MIN, -99}, {INT32_MAX, 99}};
    for (const auto& c : cents) {
        ASSERT_TRUE(setTuningOffsetIn(tuning, configuration, 7, c.in));
        EXPECT_EQ(+tuning.offsets[7], c.out);
        EXPECT_EQ(+configuration.userTemperaments[4][7], c.out);
    }
    const TuningBlock before = tuning;
    for (int32_t pitchClass : {-1, 12, 127}) {
        EXPECT_FALSE(setTuningOffsetIn(tuning, configuration, pitchClass, 10));
        EXPECT_EQ(std::memcmp(&before, &tuning, sizeof before), 0);
    }
    // A user row out of the cent table's range (an old file, a hand edit) is limited too.
    configuration.userTemperaments[5][0] = 400;
    selectTemperamentRow(tuning, 13, configuration);
    EXPECT_EQ(+tuning.offsets[0], 99);
}
