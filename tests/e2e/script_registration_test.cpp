// What scripts/register-phone-server.sh leaves in the Wine prefix. ctest
// runs the script for generations 2 and 3 over a phone folder named by
// E2E_SCRIPT_ROOT, then these checks (ScriptRegistration), then the script's
// --unregister, then ScriptUnregistration with E2E_SCRIPT_UNREGISTERED set.
// Run alone, without those variables, they skip.
#include "e2e_support.h"

#include "../../emu/phone/proxy/proxy_class.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kelp_e2e {
namespace {

using namespace kelp_test;

class ScriptRegistration : public E2eTest {
protected:
    ScriptRegistration() { ownRegistration = false; }
};

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST_F(ScriptRegistration, NamesTheGenerationsGivenAndServesTheirPhoneFolder)
{
    const char* root = std::getenv("E2E_SCRIPT_ROOT");
    if (!root) GTEST_SKIP() << "run by ctest after scripts/register-phone-server.sh";
    std::string windowsRoot = host_emu::ToWindowsPath(root);

    EXPECT_EQ("<none>", ClassesValue("CLSID\\" + ClassText(1) + "\\LocalServer32"));
    EXPECT_EQ("<none>", ClassesValue("Interface\\" + FsIidText(1) + "\\ProxyStubClsid32"));
    for (int g = 2; g <= 3; ++g) {
        std::string command = ClassesValue("CLSID\\" + ClassText(g) + "\\LocalServer32");
        EXPECT_NE(std::string::npos, command.find("\\bin\\PhoneServer.exe --root ")) << command;
        EXPECT_NE(std::string::npos, command.find("\"" + windowsRoot + "\"")) << command;
        EXPECT_TRUE(EndsWith(command, " --generations 2,3")) << command;
        EXPECT_EQ(PHONE_PROXY_CLSID_TEXT,
                  ClassesValue("Interface\\" + FsIidText(g) + "\\ProxyStubClsid32"));
        EXPECT_EQ(PHONE_PROXY_CLSID_TEXT,
                  ClassesValue("Interface\\" + SinkIidText(g) + "\\ProxyStubClsid32"));
    }
    std::string proxyKey = std::string("CLSID\\") + PHONE_PROXY_CLSID_TEXT + "\\InprocServer32";
    std::string proxyDll = ClassesValue(proxyKey);
    EXPECT_TRUE(EndsWith(proxyDll, "\\bin\\PhoneProxy.dll")) << proxyDll;
    EXPECT_TRUE(PathExists(proxyDll)) << proxyDll;
    EXPECT_EQ("Both", ClassesValue(proxyKey, "ThreadingModel"));

    // And the plug-in reaches that folder through it.
    std::string drive = windowsRoot + "\\C";
    ASSERT_TRUE(MakeDirs(drive));
    ASSERT_TRUE(WriteFileText(drive + "\\hello.txt", "hello"));
    HANDLE panel = Open();
    if (panel != INVALID_HANDLE_VALUE) {
        EXPECT_EQ((std::vector<std::string>{"C:"}), Names(panel));
        host->SetDirectory(panel, "C:");
        EXPECT_EQ((std::vector<std::string>{"hello.txt"}), Names(panel));
        host->ClosePlugin(panel);
    }
    host->Unload();
    WaitForNoServer(5000);
    RemoveTree(drive);
    ExpectNoHostFaults();
}

TEST(ScriptUnregistration, LeavesNoKeyBehind)
{
    if (!std::getenv("E2E_SCRIPT_UNREGISTERED"))
        GTEST_SKIP() << "run by ctest after scripts/register-phone-server.sh --unregister";
    for (int g = 1; g <= 3; ++g) {
        EXPECT_FALSE(ClassesKeyExists("CLSID\\" + ClassText(g)));
        EXPECT_FALSE(ClassesKeyExists("Interface\\" + FsIidText(g)));
        EXPECT_FALSE(ClassesKeyExists("Interface\\" + SinkIidText(g)));
    }
    EXPECT_FALSE(ClassesKeyExists(std::string("CLSID\\") + PHONE_PROXY_CLSID_TEXT));
}

}  // namespace
}  // namespace kelp_e2e
