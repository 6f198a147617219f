// The host's 128 parameters as a host sees them through the built module.
#include "host/tests/TestHome.h"
#include "tools/tests/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::string pluginPath = QUORIX_PLUGIN;
const std::string hostExe = QUORIX_HOST_EXE;

} // namespace

// A fresh user folder has no automation file, so no slot is assigned: every slot is named by
// its number and shows no value or unit.
TEST(HostSlots, OurHostListsAll128SlotsByNumber)
{
    auto r = qtest::run({hostExe, "--info", pluginPath});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> slots;
    size_t at = 0;
    while ((at = r.out.find("parameter ", at)) != std::string::npos) {
        const size_t end = r.out.find('\n', at);
        slots.push_back(r.out.substr(at, end - at));
        at = end;
    }
    ASSERT_EQ(slots.size(), 128u);
    for (int s = 0; s < 128; ++s) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "parameter %d: %03d:<not assigned> =  ", s, s);
        EXPECT_EQ(slots[s], expected);
    }
}
