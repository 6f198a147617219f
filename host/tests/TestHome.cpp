#include "host/tests/TestHome.h"

#include "tools/tests/TestSupport.h"

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
        setenv("HOME", h.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (h + "/config").c_str(), 1);
        setenv("XDG_DOCUMENTS_DIR", (h + "/Documents").c_str(), 1);
        setenv("QUORIX_REGISTRY", (h + "/registry").c_str(), 1);
        setenv("QUORIX_REGISTRY_SYSTEM", (h + "/registry-system").c_str(), 1);
    }
    void TearDown() override { home.reset(); }
};

const auto *registered = ::testing::AddGlobalTestEnvironment(new TemporaryHome);

} // namespace

const std::string &testHome() { return home->path(); }

} // namespace qtest
