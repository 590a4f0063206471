#include "integration_support.h"

#include "far_sequences.h"
#include "test_files.h"

#include <objbase.h>

#include <algorithm>
#include <cstdio>

namespace kelp_test {

static UINT CodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

std::wstring Widen(const std::string& text)
{
    int n = MultiByteToWideChar(CodePage(), 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(n ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CodePage(), 0, text.c_str(), -1, &out[0], n);
    return out;
}

std::string Narrow(const std::wstring& text)
{
    int n = WideCharToMultiByte(CodePage(), 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CodePage(), 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

bool WriteFileText(const std::string& path, const std::string& content)
{
    return test_files::WriteBytes(Widen(path), content);
}

std::string ReadFileText(const std::string& path) { return test_files::ReadBytes(Widen(path)); }

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeDirs(const std::string& path)
{
    if (IsDirectory(path)) return true;
    size_t slash = path.find_last_of('\\');
    if (slash != std::string::npos && slash > 2) MakeDirs(path.substr(0, slash));
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

std::vector<std::string> ListNames(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = data.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &data));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

void RemoveTree(const std::string& path) { test_files::RemoveTree(Widen(path)); }

void KelpTest::SetUp()
{
    watchdog.reset(new Watchdog("the test to end", 120));
    CoInitialize(nullptr);
    host.reset(new host_emu::HostEmulator(hostOptions));  // switches the file APIs to OEM

    tempRoot = Narrow(test_files::MakeTempFolder(L"kelp-it"));
    phoneRoot = tempRoot + "\\phone";
    pcRoot = tempRoot + "\\pc";
    ASSERT_TRUE(MakeDirs(phoneRoot));
    ASSERT_TRUE(test_support::MakePhoneDrives(Widen(phoneRoot)));
    ASSERT_TRUE(MakeDirs(pcRoot));

    if (servePhoneInProcess) {
        phone.reset(new phone_emu::PhoneEmulator(Widen(phoneRoot)));
        ASSERT_EQ(S_OK, phone->RegisterAll());
    }
    ASSERT_TRUE(host->Load(host_emu::FindPluginDll())) << host->Error();
}

void KelpTest::TearDown()
{
    if (host) host->Unload();
    host.reset();
    phone.reset();
    RemoveTree(tempRoot);
    CoUninitialize();
    watchdog.reset();
}

HANDLE KelpTest::Open()
{
    HANDLE panel = host->OpenFromDiskMenu();
    EXPECT_NE(INVALID_HANDLE_VALUE, panel) << host->Journal().Dump();
    return panel;
}

HANDLE KelpTest::OpenAt(const std::string& dir)
{
    HANDLE panel = Open();
    size_t start = 0;
    while (start < dir.size()) {
        size_t end = dir.find('\\', start);
        if (end == std::string::npos) end = dir.size();
        // The host reads the panel right after every change of folder.
        if (host->SetDirectory(panel, dir.substr(start, end - start)) == 1) Read(panel);
        else ADD_FAILURE() << "cannot enter " << dir.substr(start, end - start);
        start = end + 1;
    }
    return panel;
}

host_emu::PanelListing KelpTest::Read(HANDLE panel)
{
    host_emu::PanelListing listing;
    EXPECT_TRUE(host->ReadPanel(panel, listing)) << host->Journal().Dump();
    return listing;
}

std::vector<std::string> KelpTest::Names(HANDLE panel) { return Read(panel).Names(); }

std::vector<host::PluginPanelItem> KelpTest::Select(HANDLE panel,
                                                    const std::vector<std::string>& names)
{
    // The test may have changed the phone behind Kelp's back since the
    // panel was last read: the user sees that after Ctrl+R.
    host_emu::PanelListing listing;
    EXPECT_TRUE(host_emu::CtrlR(*host, panel, listing));
    std::vector<host::PluginPanelItem> chosen;
    for (const std::string& name : names) {
        const host::PluginPanelItem* item = listing.Find(name);
        EXPECT_TRUE(item) << "no item " << name << " in the panel";
        if (!item) continue;
        chosen.push_back(*item);
        chosen.back().Flags |= host::PPIF_SELECTED;
    }
    return chosen;
}

std::string KelpTest::PhonePath(const std::string& relative) const
{
    return relative.empty() ? phoneRoot : phoneRoot + "\\" + relative;
}

std::string KelpTest::PcPath(const std::string& relative) const
{
    return relative.empty() ? pcRoot : pcRoot + "\\" + relative;
}

void KelpTest::ExpectNoHostFaults()
{
    EXPECT_TRUE(host->Journal().Faults().empty()) << host->Journal().Dump();
    EXPECT_TRUE(host->Journal().ScreensNotRestored().empty()) << host->Journal().Dump();
}

}  // namespace kelp_test
