// KelpHost.exe: the host emulator for people. Loads Kelp.dll as the host
// does and shows it in two panels on the console, or, with --tour, drives
// it through a scripted tour and tells what happened.
//
//   KelpHost.exe [--phone DIR] [--no-register] [--pc DIR] [--kelp left|right|none]
//                [--slow] [--tour] [--interface BITS] [--confirm BITS]
//
// --phone DIR    serve the phone emulator over DIR (drives are its one-letter
//                subfolders), registered in this process before Kelp loads
// --no-register  the phone server is registered elsewhere (out of process)
// --pc DIR       the PC folder of the left panel (default: the current one)
// --kelp SIDE    where Kelp's panel opens at start (default: right)
// --slow         copies go in small timed steps, to watch progress and Esc
// --tour         no panels: a scripted tour in plain text on standard output
// --interface BITS  what AdvControl(ACTL_GETINTERFACESETTINGS) answers, as the
//                user's interface settings (0x100 total copy indicator, 0x200
//                copying time information; default 0x200)
// --confirm BITS what AdvControl(ACTL_GETCONFIRMATIONS) answers (0x1 copy
//                overwrite, 0x2 move overwrite, 0x8 delete, 0x10 non-empty
//                folders; default 0x3f, all on)
#include "console_app.h"
#include "console_tour.h"
#include "host_emulator.h"
#include "phone_emulator.h"

#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

// Arguments come in the ANSI code page; the host's narrow texts are OEM.
std::wstring FromAnsi(const std::string& text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &out[0], n);
    return out;
}

std::string ToOem(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_OEMCP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_OEMCP, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

std::string FullPath(const std::string& oemPath) {
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(oemPath.c_str(), sizeof full, full, nullptr);
    std::string out = n && n < sizeof full ? std::string(full) : oemPath;
    while (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: KelpHost.exe [--phone DIR] [--no-register] [--pc DIR]\n"
                 "                    [--kelp left|right|none] [--slow] [--tour]\n"
                 "                    [--interface BITS] [--confirm BITS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string phoneDir, pcDir;
    bool registerPhone = true, tour = false, slow = false;
    int kelpSide = 1;
    host_emu::HostOptions hostOptions;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--phone" && hasValue) phoneDir = argv[++i];
        else if (arg == "--pc" && hasValue) pcDir = argv[++i];
        else if (arg == "--no-register") registerPhone = false;
        else if (arg == "--tour") tour = true;
        else if (arg == "--slow") slow = true;
        else if (arg == "--interface" && hasValue)
            hostOptions.interfaceSettings = std::strtoul(argv[++i], nullptr, 0);
        else if (arg == "--confirm" && hasValue)
            hostOptions.confirmations = std::strtoul(argv[++i], nullptr, 0);
        else if (arg == "--kelp" && hasValue) {
            std::string side = argv[++i];
            kelpSide = side == "left" ? 0 : side == "right" ? 1 : -1;
        } else return Usage();
    }

    CoInitialize(nullptr);
    int exitCode = 0;
    {
        // The phone outlives the host: closing Kelp's panels still talks to it.
        std::unique_ptr<phone_emu::PhoneEmulator> phone;
        if (registerPhone && !phoneDir.empty()) {
            phone.reset(new phone_emu::PhoneEmulator(FromAnsi(host_emu::ToWindowsPath(phoneDir))));
            HRESULT hr = phone->RegisterAll();
            if (hr != S_OK) {
                std::fprintf(stderr, "KelpHost: cannot register the phone emulator (0x%08lx)\n",
                             (unsigned long)hr);
                return 1;
            }
            if (slow) {
                phone->Options().chunkSize = 2048;
                phone->Options().delayMs = 15;
            }
        }

        host_emu::HostEmulator host(hostOptions);  // switches the file APIs to OEM, as the host does
        if (!host.Load(host_emu::FindPluginDll())) {
            std::fprintf(stderr, "KelpHost: %s\n", host.Error().c_str());
            return 1;
        }
        std::string pcFolder = FullPath(pcDir.empty() ? std::string(".")
                                                      : ToOem(FromAnsi(host_emu::ToWindowsPath(pcDir))));
        if (tour) {
            exitCode = host_emu::RunTour(host, pcFolder);
        } else {
            host_emu::ConsoleApp app(host);
            if (!app.Open()) {
                std::fprintf(stderr, "KelpHost: %s\n", app.Error().c_str());
                exitCode = 1;
            } else {
                host_emu::ConsoleAppOptions options;
                options.pcFolder = pcFolder;
                options.kelpSide = kelpSide;
                app.Run(options);
            }
        }
        host.Unload();
    }
    CoUninitialize();
    return exitCode;
}
