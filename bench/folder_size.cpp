// What FAR's own walks through a panel cost: F3 on a folder (FAR's count of
// its size, which Quick View plays too) and Find from that folder, through
// Kelp.dll, against one listing of every folder of the tree made with bare
// link requests, side by side in one run; and what the total copy progress
// indicator's counting pass adds to a copy of that tree. Requests are
// counted (the phone's journal), and timed.
#include "bench_support.h"
#include "far_sequences.h"
#include "host_emulator.h"
#include "phone_emulator.h"
#include "phone_link.h"
#include "test_files.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using bench::Median;
using bench::Now;

enum { TopFolders = 10, SubFolders = 19, FilesEach = 20, Rounds = 3 };
const double Target = 1.10;

bool MakeFiles(const std::wstring& folder)
{
    if (!CreateDirectoryW(folder.c_str(), nullptr)) return false;
    for (int i = 0; i < FilesEach; ++i) {
        WCHAR name[32];
        wsprintfW(name, L"\\f%02d.dat", i);
        HANDLE h = CreateFileW((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        WriteFile(h, "x", 1, nullptr, nullptr);
        CloseHandle(h);
    }
    return true;
}

// C:\tree: 10 folders, each with 19 folders inside: 200 folders of 20 files.
bool MakeTree(const std::wstring& root)
{
    std::wstring tree = root + L"\\C\\tree";
    if (!CreateDirectoryW((root + L"\\C").c_str(), nullptr) || !CreateDirectoryW(tree.c_str(), nullptr))
        return false;
    for (int t = 0; t < TopFolders; ++t) {
        std::wstring top = tree + L"\\d" + std::to_wstring(t);
        if (!MakeFiles(top)) return false;
        for (int s = 0; s < SubFolders; ++s)
            if (!MakeFiles(top + L"\\s" + std::to_wstring(s))) return false;
    }
    return true;
}

// Every folder under `path` (with its final backslash) listed once, bare;
// the number of entries seen.
int ListTree(PhoneLink& link, const std::wstring& path)
{
    DWORD handle = 0;
    if (link.DirOpen(path.c_str(), &handle) != remote::StatusOk) return -1;
    std::vector<std::wstring> folders;
    remote::RemoteEntry entry;
    int seen = 0;
    LONG status;
    while ((status = link.DirRead(handle, &entry)) == remote::StatusOk) {
        ++seen;
        if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) folders.push_back(entry.name);
    }
    link.DirClose(handle);
    if (status != remote::StatusEndOfList) return -1;
    for (const std::wstring& f : folders) {
        int below = ListTree(link, path + f + L"\\");
        if (below < 0) return -1;
        seen += below;
    }
    return seen;
}

struct Measure {
    size_t requests = 0;
    double seconds = 0;
};

}  // namespace

int main()
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitialize(nullptr);
    std::wstring root = test_files::MakeTempFolder(L"kelp-bench-size");
    const int expected = TopFolders * (1 + FilesEach + SubFolders * (1 + FilesEach));
    int result = 0;
    if (!MakeTree(root)) {
        printf("folder_size: cannot make the tree\n");
        result = 1;
    }
    if (result == 0) {
        phone_emu::PhoneEmulator emu(root);
        host_emu::HostEmulator host;
        PhoneLink link;
        HANDLE panel = INVALID_HANDLE_VALUE;
        if (FAILED(emu.RegisterAll()) || !host.Load(host_emu::FindPluginDll()) ||
            link.Connect() != remote::StatusOk ||
            (panel = host.OpenFromDiskMenu()) == INVALID_HANDLE_VALUE ||
            host.SetDirectory(panel, "C:") != 1) {
            printf("folder_size: cannot set up (%s)\n", host.Error().c_str());
            result = 1;
        }
        host_emu::PanelListing listing;
        if (result == 0) host.ReadPanel(panel, listing);

        std::vector<double> sizeRatios, findRatios, timeRatios;
        Measure bare, size, find;
        for (int r = 0; r < Rounds && result == 0; ++r) {
            emu.ClearJournal();
            double start = Now();
            int seen = ListTree(link, L"C:\\tree\\");
            bare = {emu.Journal().size(), Now() - start};

            emu.ClearJournal();
            start = Now();
            host_emu::DirList counted = host_emu::GetPluginDirList(host, panel, "tree");
            size = {emu.Journal().size(), Now() - start};

            host.SetDirectory(panel, "tree");
            host.ReadPanel(panel, listing);
            emu.ClearJournal();
            start = Now();
            host_emu::FindRun run;
            run.from = host_emu::FindFrom::Current;
            host_emu::FindFiles(host, panel, run);
            find = {emu.Journal().size(), Now() - start};
            host.SetDirectory(panel, "..");
            host.ReadPanel(panel, listing);

            if (seen != expected || !counted.ok || (int)counted.names.size() != expected ||
                (int)run.found.size() != expected) {
                printf("folder_size: a walk saw another tree (bare %d, F3 %d, Find %d of %d)\n",
                       seen, (int)counted.names.size(), (int)run.found.size(), expected);
                result = 1;
                break;
            }
            sizeRatios.push_back(double(size.requests) / double(bare.requests));
            findRatios.push_back(double(find.requests) / double(bare.requests));
            timeRatios.push_back(size.seconds / bare.seconds);
        }
        if (result == 0) {
            double sizeRatio = Median(sizeRatios);
            printf("F3 on a folder of %d folders x %d files: %u requests, one bare listing of "
                   "every folder %u; ratio %.3f (target <= %.2f)%s\n",
                   TopFolders * (1 + SubFolders), FilesEach, (unsigned)size.requests,
                   (unsigned)bare.requests, sizeRatio, Target,
                   sizeRatio <= Target ? "" : "  MISSED");
            printf("  time: %.0f ms against %.0f ms; ratio %.2f (median of %d rounds)\n",
                   size.seconds * 1e3, bare.seconds * 1e3, Median(timeRatios), Rounds);
            printf("Find from that folder: %u requests; ratio %.3f\n", (unsigned)find.requests,
                   Median(findRatios));
            if (sizeRatio > Target) result = 1;
        }
        // The copy of the tree with and without the total indicator: the
        // difference is the counting pass, against one bare listing.
        if (result == 0) {
            std::vector<double> passRatios, passTimeRatios;
            for (int r = 0; r < Rounds && result == 0; ++r) {
                Measure copies[2];
                for (int total = 0; total < 2; ++total) {
                    host.Options().interfaceSettings =
                        host::FIS_SHOWCOPYINGTIMEINFO |
                        (total ? (DWORD)host::FIS_SHOWTOTALCOPYPROGRESSINDICATOR : 0u);
                    std::wstring pc = test_files::MakeTempFolder(L"kelp-bench-size-pc");
                    std::string destination(pc.begin(), pc.end());  // a temporary path: ASCII
                    std::vector<host::PluginPanelItem> items(1, *listing.Find("tree"));
                    emu.ClearJournal();
                    double start = Now();
                    int copied = host.GetFiles(panel, items, 0, destination, host::OPM_SILENT);
                    copies[total] = {emu.Journal().size(), Now() - start};
                    test_files::RemoveTree(pc);
                    if (copied != 1) {
                        printf("folder_size: the copy of the tree failed\n");
                        result = 1;
                        break;
                    }
                }
                if (result) break;
                passRatios.push_back(double(copies[1].requests - copies[0].requests) /
                                     double(bare.requests));
                passTimeRatios.push_back((copies[1].seconds - copies[0].seconds) / bare.seconds);
            }
            if (result == 0) {
                double passRatio = Median(passRatios);
                printf("total indicator's counting pass over that tree: %.3f of one bare listing "
                       "in requests (target <= %.2f)%s; in time %.2f (median of %d rounds)\n",
                       passRatio, Target, passRatio <= Target ? "" : "  MISSED",
                       Median(passTimeRatios), Rounds);
                if (passRatio > Target) result = 1;
            }
            host.Options().interfaceSettings = host::FIS_SHOWCOPYINGTIMEINFO;
        }
        if (panel != INVALID_HANDLE_VALUE) host.ClosePlugin(panel);
        host.Unload();
        link.Disconnect();
    }
    test_files::RemoveTree(root);
    CoUninitialize();
    return result;
}
