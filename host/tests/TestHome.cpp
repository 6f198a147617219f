#include "host/tests/TestHome.h"

#include "tools/tests/TestSupport.h"
#include "tools/tests/TemporaryHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace qtest {

namespace {

std::unique_ptr<TempDir> home;

class TemporaryHome : public ::testing::Environment
{
public:
    void SetUp() override
    {
        home = std::make_unique<TempDir>();
        const std::string &h = home->path();
        qtest::pointFoldersAt(h);
    }
    void TearDown() override { home.reset(); }
};

const auto *registered = ::testing::AddGlobalTestEnvironment(new TemporaryHome);

} // namespace

const std::string &testHome() { return home->path(); }

} // namespace qtest
