// What every integration test stands on: a phone emulator over a temporary
// folder (drives C: and E:), a PC folder beside it, and Kelp.dll loaded by the
// host emulator exactly as the host loads it.
#pragma once

#include "host_emulator.h"
#include "phone_emulator.h"
#include "phone_setup.h"
#include "watchdog.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kelp_test {

// Narrow texts here are in the file APIs' code page, as the host hands them
// to the plug-in (OEM: the host emulator switches the file APIs to OEM).
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

bool WriteFileText(const std::string& path, const std::string& content);
std::string ReadFileText(const std::string& path);  // "<missing>" when it can't be read
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool MakeDirs(const std::string& path);
void RemoveTree(const std::string& path);
std::vector<std::string> ListNames(const std::string& folder);  // sorted, without . and ..
using test_support::RunOnOwnThread;

class KelpTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the panel from the disk menu; fails the test when it does not open.
    HANDLE Open();
    // The panel opened in phone folder `dir` ("C:" or "C:\\docs"), entered one
    // level at a time as a user would; "" leaves it at the drive list.
    HANDLE OpenAt(const std::string& dir);
    // The panel's listing, read as the host reads it.
    host_emu::PanelListing Read(HANDLE panel);
    std::vector<std::string> Names(HANDLE panel);
    // The panel's items whose names are given, as the host passes a selection
    // (PPIF_SELECTED set on each), from the panel read after Ctrl+R.
    std::vector<host::PluginPanelItem> Select(HANDLE panel, const std::vector<std::string>& names);

    // Paths on the phone's side of the PC (root\C\...) and in the PC folder.
    std::string PhonePath(const std::string& relative) const;  // e.g. "C\\docs\\a.txt"
    std::string PcPath(const std::string& relative) const;

    // No unscripted prompt, bad message number or unrestored screen.
    void ExpectNoHostFaults();

    // A test that hangs ends the program within two minutes, naming
    // itself, instead of holding the run until ctest's own limit.
    std::unique_ptr<Watchdog> watchdog;
    std::string tempRoot, phoneRoot, pcRoot;
    std::unique_ptr<phone_emu::PhoneEmulator> phone;
    std::unique_ptr<host_emu::HostEmulator> host;
    // Set before SetUp runs to load with other options (e.g. language).
    host_emu::HostOptions hostOptions;
    // False: no emulator in this process; a server from the registry answers.
    bool servePhoneInProcess = true;
};

}  // namespace kelp_test
