// What the end-to-end tests stand on: Kelp.dll in the host emulator, as in
// the integration tests, but with no phone emulator in the test's process.
// The plug-in's CoCreateInstance finds the out-of-process PhoneServer.exe
// through the Wine prefix's registry instead, and Wine starts it; every call
// and callback crosses processes through PhoneProxy.dll.
//
// The tests write the registry themselves, in the same keys as
// scripts/register-phone-server.sh, because each one needs its own server
// command line (a generation, a delay); the script's own keys are checked by
// script_registration_test.cpp.
#pragma once

#include "integration/integration_support.h"
#include "server_processes.h"

#include <string>
#include <vector>

namespace kelp_e2e {

// <build>\bin, where PhoneServer.exe and PhoneProxy.dll are built.
std::string ServerBinFolder();

// Registers generation 1, 2 or 3 alone, serving the phone folder `root`,
// with `extraArgs` appended to the server's command line.
bool RegisterPhoneServer(int generation, const std::string& root,
                         const std::string& extraArgs = std::string());
// Removes every generation's keys and the proxy/stub class.
void UnregisterPhoneServer();
// HKLM\Software\Classes\<key>'s value `name` (empty: the default value);
// "<none>" when it is missing.
std::string ClassesValue(const std::string& key, const std::string& name = std::string());
bool ClassesKeyExists(const std::string& key);
// The registry's spelling of a class or interface id, "{EC100153-...}".
std::string ClassText(int generation);
std::string FsIidText(int generation);
std::string SinkIidText(int generation);

// The server's processes and Wine's RpcSs (tests/common/server_processes.h).
using server_processes::KillServers;
using server_processes::RestartRpcSs;
using server_processes::ServerProcesses;
using server_processes::WaitForNoServer;

class E2eTest : public kelp_test::KelpTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Registers generation `generation` alone over this test's phone folder;
    // fails the test when it can't.
    void Serve(int generation, const std::string& extraArgs = std::string());

    // False: the registry is left as the test found it (a registration made
    // by the script), before and after.
    bool ownRegistration = true;
};

}  // namespace kelp_e2e
