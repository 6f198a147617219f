// Two instances of the built module in one process, made and closed by our host: the first one
// alone reads the shared files, the last one alone writes them.
#include "host/tests/TestHome.h"
#include "tools/vsthost/VstPlugin.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace plugin_instances_test {

namespace fs = std::filesystem;

namespace {

const std::string pluginPath = QUORIX_PLUGIN;

int occurrences(const std::string &path, const std::string &text)
{
    std::ifstream in(path);
    int n = 0;
    for (std::string line; std::getline(in, line);)
        n += line.find(text) != std::string::npos;
    return n;
}

} // namespace

TEST(PluginInstances, TwoInOneProcessShareOneStartAndTheLastCloseSaves)
{
    const std::string user = qtest::testHome() + "/config/Kestrane/Quorix/";
    const char *shared[] = {"Quorix.con", "Quorix.atm", "Quorix.plc"};
    for (const char *name : shared)
        fs::remove(user + name);
    fs::remove(user + "Quorix.log");

    qhost::VstPlugin first, second;
    ASSERT_TRUE(first.load(pluginPath)) << first.error();
    ASSERT_TRUE(second.load(pluginPath)) << second.error();
    // A first start lacks the automation file: that is no error.
    EXPECT_EQ(occurrences(user + "Quorix.log", "Quorix.atm"), 0);
    EXPECT_TRUE(fs::exists(user + "120 User 1.usr")) << "the user banks were completed";
    fs::remove(user + "Quorix.plc"); // written at the first start, for want of one

    second.unload();
    for (const char *name : shared)
        EXPECT_FALSE(fs::exists(user + name)) << name;
    first.unload();
    for (const char *name : shared)
        EXPECT_TRUE(fs::exists(user + name)) << name;
}

} // namespace plugin_instances_test
