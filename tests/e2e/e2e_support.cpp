#include "e2e_support.h"

#include "remote_fs.h"
#include "../../emu/phone/proxy/proxy_class.h"

#include <objbase.h>

#include <cstdio>

namespace kelp_e2e {

using kelp_test::Narrow;
using kelp_test::Widen;

namespace {

const wchar_t kClasses[] = L"Software\\Classes\\";

std::string GuidText(const GUID& id)
{
    wchar_t text[40];
    StringFromGUID2(id, text, 40);
    return Narrow(text);
}

bool SetValue(const std::string& key, const std::string& name, const std::string& value)
{
    HKEY handle;
    std::wstring path = kClasses + Widen(key);
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS)
        return false;
    std::wstring data = Widen(value);
    std::wstring valueName = Widen(name);
    LONG r = RegSetValueExW(handle, name.empty() ? nullptr : valueName.c_str(), 0, REG_SZ,
                            (const BYTE*)data.c_str(), (DWORD)((data.size() + 1) * 2));
    RegCloseKey(handle);
    return r == ERROR_SUCCESS;
}

// RegDeleteTree is Vista's; a key with subkeys goes leaf first.
void DeleteTree(HKEY parent, const std::wstring& path)
{
    HKEY key;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    wchar_t child[256];
    DWORD length = 256;
    while (RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        DeleteTree(key, child);
        length = 256;
    }
    RegCloseKey(key);
    RegDeleteKeyW(parent, path.c_str());
}

std::string QuotedWindowsPath(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

std::string ClassText(int generation) { return GuidText(remote::ServerClassIds[generation - 1]); }
std::string FsIidText(int generation) { return GuidText(remote::RemoteFsIds[generation - 1]); }
std::string SinkIidText(int generation) { return GuidText(remote::RemoteFsSinkIds[generation - 1]); }

std::string ServerBinFolder()
{
    char exe[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, exe, sizeof(exe));
    std::string folder(exe, length);
    folder = folder.substr(0, folder.find_last_of("\\/") + 1) + "..\\bin";
    char full[MAX_PATH];
    DWORD fullLength = GetFullPathNameA(folder.c_str(), sizeof(full), full, nullptr);
    return fullLength && fullLength < sizeof(full) ? std::string(full) : folder;
}

bool RegisterPhoneServer(int generation, const std::string& root, const std::string& extraArgs)
{
    UnregisterPhoneServer();
    std::string bin = ServerBinFolder();
    std::string command = QuotedWindowsPath(bin + "\\PhoneServer.exe") + " --root " +
                          QuotedWindowsPath(root) + " --generations " +
                          std::to_string(generation);
    if (!extraArgs.empty()) command += " " + extraArgs;

    std::string proxy = PHONE_PROXY_CLSID_TEXT;
    std::string server = "CLSID\\" + ClassText(generation);
    std::string fs = "Interface\\" + FsIidText(generation);
    std::string sink = "Interface\\" + SinkIidText(generation);
    return SetValue(server, "", "Kelp phone emulator") &&
           SetValue(server + "\\LocalServer32", "", command) &&
           SetValue(fs + "\\ProxyStubClsid32", "", proxy) &&
           SetValue(sink + "\\ProxyStubClsid32", "", proxy) &&
           SetValue("CLSID\\" + proxy + "\\InprocServer32", "", bin + "\\PhoneProxy.dll") &&
           SetValue("CLSID\\" + proxy + "\\InprocServer32", "ThreadingModel", "Both");
}

void UnregisterPhoneServer()
{
    for (int g = 1; g <= remote::GenerationCount; ++g) {
        DeleteTree(HKEY_LOCAL_MACHINE, kClasses + Widen("CLSID\\" + ClassText(g)));
        DeleteTree(HKEY_LOCAL_MACHINE, kClasses + Widen("Interface\\" + FsIidText(g)));
        DeleteTree(HKEY_LOCAL_MACHINE, kClasses + Widen("Interface\\" + SinkIidText(g)));
    }
    DeleteTree(HKEY_LOCAL_MACHINE, kClasses + Widen(std::string("CLSID\\") + PHONE_PROXY_CLSID_TEXT));
}

std::string ClassesValue(const std::string& key, const std::string& name)
{
    std::wstring path = kClasses + Widen(key);
    std::wstring valueName = Widen(name);
    wchar_t data[1024];
    DWORD size = sizeof(data) - sizeof(wchar_t), type = 0;
    HKEY handle;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &handle) !=
        ERROR_SUCCESS)
        return "<none>";
    LONG r = RegQueryValueExW(handle, name.empty() ? nullptr : valueName.c_str(), nullptr, &type,
                              (BYTE*)data, &size);
    RegCloseKey(handle);
    if (r != ERROR_SUCCESS || type != REG_SZ) return "<none>";
    data[size / sizeof(wchar_t)] = 0;
    return Narrow(data);
}

bool ClassesKeyExists(const std::string& key)
{
    std::wstring path = kClasses + Widen(key);
    HKEY handle;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

void E2eTest::SetUp()
{
    // Every program that registered the in-process emulator earlier in this
    // Wine session may have left its class registrations in RpcSs after it
    // ended (the same fault as a killed server's), and they would shadow the
    // registry's server. One restart per run drops them.
    static bool rpcssRestarted = false;
    if (!rpcssRestarted) {
        rpcssRestarted = true;
        EXPECT_TRUE(RestartRpcSs());
    }
    // A server left by an earlier test would answer with its own options.
    if (!WaitForNoServer(5000)) {
        KillServers();
        RestartRpcSs();
    }
    if (ownRegistration) UnregisterPhoneServer();
    servePhoneInProcess = false;  // the registry's server answers
    KelpTest::SetUp();
}

void E2eTest::TearDown()
{
    if (host) host->Unload();
    // The server serves until its last object is released, then exits.
    if (!WaitForNoServer(5000)) {
        ADD_FAILURE() << "PhoneServer.exe still runs after the plug-in let go";
        KillServers();
        RestartRpcSs();
    }
    if (ownRegistration) UnregisterPhoneServer();
    KelpTest::TearDown();
}

void E2eTest::Serve(int generation, const std::string& extraArgs)
{
    ASSERT_TRUE(RegisterPhoneServer(generation, phoneRoot, extraArgs));
}

}  // namespace kelp_e2e
