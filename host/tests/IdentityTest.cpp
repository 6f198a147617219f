// Where an instance finds its folders: registry values first, then the configuration folder, then the
// documents folder, with every folder it settles on existing.
#include "foundation/podoLog.h"
#include "host/KestraneVST.h"
#include "host/tests/TestHome.h"
#include "tools/tests/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::mutex linesMutex;
std::vector<std::string> debugLines;

void captureLine(const char16_t *piece)
{
    std::lock_guard<std::mutex> lock(linesMutex);
    debugLines.emplace_back(podoStr(piece).getNarrow());
}

bool logged(const std::string &text)
{
    std::lock_guard<std::mutex> lock(linesMutex);
    for (const auto &l : debugLines)
        if (l.find(text) != std::string::npos)
            return true;
    return false;
}

intptr_t quietHost(AEffect *, int32_t opcode, int32_t, intptr_t, void *, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

class Instance : public KestraneVSTInstrument
{
public:
    Instance() : KestraneVSTInstrument(quietHost, 1, 128) {}
    void onProcessReplacing(float **, float **, int32_t) override {}
};

std::string text(const podoStr &s) { return s.getNarrow(); }

// Each case gets its own folders inside the process's temporary home.
class Identity : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = qtest::testHome() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(root);
        config = root + "/config";
        documents = root + "/Documents";
        for (const char *name : kVariables) {
            const char *value = getenv(name);
            saved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
        }
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("XDG_DOCUMENTS_DIR", documents.c_str(), 1);
        setenv("QUORIX_REGISTRY", (root + "/registry").c_str(), 1);
        setenv("QUORIX_REGISTRY_SYSTEM", (root + "/registry-system").c_str(), 1);
        previousSink = podo::setDebugSink(captureLine);
        std::lock_guard<std::mutex> lock(linesMutex);
        debugLines.clear();
    }
    void TearDown() override
    {
        podo::setDebugSink(previousSink);
        // The other tests of this process find the environment as it was.
        for (size_t i = 0; i < std::size(kVariables); ++i) {
            if (saved[i])
                setenv(kVariables[i], saved[i]->c_str(), 1);
            else
                unsetenv(kVariables[i]);
        }
    }
    static constexpr const char *kVariables[] = {"XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR", "QUORIX_REGISTRY",
                                                 "QUORIX_REGISTRY_SYSTEM"};
    std::vector<std::optional<std::string>> saved;

    // A path below a regular file: nothing can ever be created there, not even by root.
    std::string blockedPath()
    {
        std::string file = root + "/a-file";
        std::ofstream(file) << "x";
        return file + "/below";
    }

    std::string root, config, documents;
    podo::DebugSink previousSink = nullptr;
};

} // namespace

TEST_F(Identity, WithoutRegistryValuesTheUserFolderIsMadeInTheConfigurationFolder)
{
    Instance plug;
    const ProductPaths &p = plug.getPaths();
    EXPECT_EQ(text(p.userFolder), config + "/Kestrane/Quorix/");
    EXPECT_TRUE(fs::is_directory(config + "/Kestrane/Quorix"));
    EXPECT_FALSE(fs::exists(config + "/Kestrane/Quorix/podo-temp-file-writable.tmp"));
    EXPECT_EQ(text(p.logFile), config + "/Kestrane/Quorix/Quorix.log");
    EXPECT_EQ(text(p.appFolder), text(p.moduleFolder)) << "no Path value: the module's folder";
    EXPECT_EQ(text(p.moduleFolder).back(), '/');
    EXPECT_TRUE(fs::is_directory(text(p.moduleFolder)));
    EXPECT_EQ(plug.getByteOrderMark(), 76);
    EXPECT_TRUE(logged("Kestrane:Quorix: Path(Usr): " + config + "/Kestrane/Quorix/"));
}

TEST_F(Identity, AnUnusableConfigurationFolderFallsBackToADocumentsFolderThatIsCreated)
{
    config = blockedPath();
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    Instance plug;
    EXPECT_TRUE(logged("(warning) Kestrane:Quorix: User path (AppData) not accessible."));
    EXPECT_EQ(text(plug.getUserPath()), documents + "/Kestrane/Quorix/");
    EXPECT_TRUE(fs::is_directory(documents + "/Kestrane/Quorix")) << "log lines and user files need it to exist";
}

TEST_F(Identity, RegistryValuesChooseTheFolders)
{
    Instance writer;
    std::string user = root + "/chosen/user"; // its parent does not exist either
    ASSERT_TRUE(writer.writeRegistryString(0x10001, podoStr("UserPath"), podoStr(user.c_str())));
    ASSERT_TRUE(writer.writeMachineRegistryString(podoStr("Path"), podoStr((root + "/library").c_str())));
    Instance plug;
    EXPECT_EQ(text(plug.getPaths().appFolder), root + "/library/");
    EXPECT_EQ(text(plug.getUserPath()), user + "/");
    EXPECT_TRUE(fs::is_directory(user));
    podoStr back;
    EXPECT_TRUE(plug.readRegistryString(1, podoStr("UserPath"), &back));
    EXPECT_EQ(text(back), user);
    EXPECT_FALSE(plug.readRegistryString(1, podoStr("Initial Preset"), &back));
    EXPECT_EQ(text(back), user) << "a missing value leaves the output alone";
}

TEST_F(Identity, AUserPathThatCannotBeMadeIsReportedAndReplaced)
{
    Instance writer;
    ASSERT_TRUE(writer.writeRegistryString(0x10001, podoStr("UserPath"), podoStr(blockedPath().c_str())));
    Instance plug;
    EXPECT_TRUE(logged("(warning) Kestrane:Quorix: User path not makeable."));
    EXPECT_EQ(text(plug.getUserPath()), config + "/Kestrane/Quorix/");
}

TEST_F(Identity, TheLogFileStaysOnWhileAnyInstanceLives)
{
    auto first = std::make_unique<Instance>();
    auto second = std::make_unique<Instance>();
    std::string logFile = text(second->getPaths().logFile);
    first.reset();
    podo::logMessage(3, true, "still logging after one instance went");
    std::string contents = qtest::readFile(logFile);
    EXPECT_NE(contents.find("still logging after one instance went"), std::string::npos);
    second.reset();
    podo::logMessage(3, true, "after the last one");
    EXPECT_EQ(qtest::readFile(logFile).find("after the last one"), std::string::npos);
}

TEST_F(Identity, RelativeFolderSettingsAreNeverTakenFromTheWorkingFolder)
{
    // Relative settings are not folders (they would depend on the host's working folder): the
    // configuration folder falls back to the home folder's own.
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    Instance plug;
    std::string user = text(plug.getUserPath());
    EXPECT_EQ(user, qtest::testHome() + "/.config/Kestrane/Quorix/");
    EXPECT_EQ(text(plug.getPaths().logFile).front(), '/');
    EXPECT_FALSE(fs::exists("relative"));
}

TEST_F(Identity, RelativeRegistryValuesAreNotFolders)
{
    Instance writer;
    ASSERT_TRUE(writer.writeRegistryString(0x10001, podoStr("UserPath"), podoStr("relative-user")));
    ASSERT_TRUE(writer.writeMachineRegistryString(podoStr("Path"), podoStr("relative-library")));
    Instance plug;
    EXPECT_EQ(text(plug.getUserPath()), config + "/Kestrane/Quorix/");
    EXPECT_EQ(text(plug.getPaths().appFolder), text(plug.getPaths().moduleFolder));
    EXPECT_FALSE(fs::exists("relative-user"));
    EXPECT_TRUE(logged("(warning) Kestrane:Quorix: User path is not absolute: relative-user"));
}
