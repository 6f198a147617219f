// A sound library of one looped sine, written where a test's plug-in will look for it.
#pragma once

#include "banks/SampleBanks.h"
#include "banks/Wavetables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

namespace qtest {

// A looped sine of 100 values at 44,000 Hz (440 Hz at its root key 69) in sample bank 0, played
// by wavetable 1 of melody category 0.
inline void writeSineLibrary(const std::string &folder)
{
    std::filesystem::create_directories(folder);
    std::vector<int16_t> sine(2000);
    for (size_t i = 0; i < sine.size(); ++i)
        sine[i] = int16_t(std::lround(16384.0 * std::sin(2.0 * std::numbers::pi * double(i) / 100.0)));
    const banks::SampleSource sample{44000, 1, sine.data(), int32_t(sine.size())};
    ASSERT_TRUE(banks::writeSampleBank(podoStr(folder.c_str()), 0, "Test", &sample, 1, 76));
    const KeyZone zone{0, 0, 69, 127};
    const banks::WavetableSource wavetable{"Sine", true, &zone, 1};
    ASSERT_TRUE(banks::writeWavetableCategory(podoStr(folder.c_str()), 0, "Test", false, &wavetable, 1, 76));
}

} // namespace qtest
