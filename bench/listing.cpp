// What a panel read costs over the phone's own requests: a folder of 1,000
// and of 10,000 empty files listed through Kelp.dll's GetFindData (loaded by
// the host emulator), against the same DirOpen, DirRead and DirClose requests
// made straight through a PhoneLink, side by side in one run; and the same
// for folders whose every name needs a stand-in ("u" folders), whose ratio
// is set against the plain folder's of the same size, measured in the same
// rounds.
#include "bench_support.h"
#include "host_emulator.h"
#include "phone_emulator.h"
#include "phone_link.h"
#include "test_files.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using bench::ListingSize;
using bench::Median;
using bench::ReadThroughDll;
using bench::Now;

bool MakeFolder(const std::wstring& folder, int files, bool unspelled)
{
    if (!CreateDirectoryW(folder.c_str(), nullptr)) return false;
    for (int i = 0; i < files; ++i) {
        WCHAR name[32];
        // Chinese names: a stand-in under any console's code page.
        wsprintfW(name, unspelled ? L"\\\x6587\x4EF6%05d.dat" : L"\\file%05d.dat", i);
        HANDLE h = CreateFileW((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        CloseHandle(h);
    }
    return true;
}

void RemoveFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + L"\\" + fd.cFileName).c_str());
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// Seconds for the same enumeration made with bare link requests.
double ReadThroughLink(PhoneLink& link, const WCHAR* path, int expected)
{
    double start = Now();
    DWORD handle = 0;
    if (link.DirOpen(path, &handle) != remote::StatusOk) return -1;
    remote::RemoteEntry entry;
    int count = 0;
    LONG status;
    while ((status = link.DirRead(handle, &entry)) == remote::StatusOk) ++count;
    link.DirClose(handle);
    double elapsed = Now() - start;
    return status == remote::StatusEndOfList && count == expected ? elapsed : -1;
}

// Seconds the listing's array alone takes to grow to `entries` items, each
// new item zeroed, on this process's allocator, which is the DLL's too: by
// half again from 64 as the plug-in grows it, or by a fixed 11 a step as it
// once did.
double GrowArray(int entries, bool byHalf)
{
    const size_t itemSize = sizeof(host::PluginPanelItem);
    double start = Now();
    void* block = nullptr;
    int capacity = 0;
    for (int i = 0; i < entries; ++i) {
        if (i == capacity) {
            capacity = byHalf ? (capacity ? capacity + capacity / 2 : 64) : capacity + 11;
            void* grown = realloc(block, capacity * itemSize);
            if (!grown) break;
            block = grown;
        }
        memset((char*)block + i * itemSize, 0, itemSize);
    }
    free(block);
    return Now() - start;
}

}  // namespace

int main()
{
    setvbuf(stdout, nullptr, _IONBF, 0);  // each figure as soon as it is measured
    CoInitialize(nullptr);
    const ListingSize sizes[] = {{1000, 15, 1.05, "n1000", L"C:\\n1000\\"},
                                 {1000, 15, 1.05, "u1000", L"C:\\u1000\\"},
                                 {10000, 3, 1.20, "n10000", L"C:\\n10000\\"},
                                 {10000, 3, 1.05, "u10000", L"C:\\u10000\\"}};

    // Wine makes a file in a folder of n files in time proportional to n, so
    // a phone of 100,000 files is better made beforehand on the host's side:
    // KELP_BENCH_LISTING_ROOT (a Unix path) names one, its folders C\n<N>
    // holding N files each (scripts/run-bench.sh makes it).
    std::wstring root;
    bool madeHere = true;
    if (const char* given = getenv("KELP_BENCH_LISTING_ROOT")) {
        root = L"Z:";
        for (const char* p = given; *p; ++p) root += (*p == '/') ? L'\\' : (WCHAR)*p;
        madeHere = false;
    } else {
        root = test_files::MakeTempFolder(L"kelp-bench-listing");
        CreateDirectoryW((root + L"\\C").c_str(), nullptr);
    }
    int result = 0;
    for (const ListingSize& s : sizes) {
        if (!madeHere) break;
        std::wstring folder = root + L"\\C\\" + (s.path + 3);
        folder.pop_back();
        if (!MakeFolder(folder, s.entries, s.folder[0] == 'u')) {
            printf("listing: cannot make %d files\n", s.entries);
            result = 1;
        }
    }

    if (result == 0) {
        phone_emu::PhoneEmulator emu(root);
        host_emu::HostEmulator host;
        PhoneLink link;
        // A second panel in the plain folder of the size, beside a "u" one.
        HANDLE panel = INVALID_HANDLE_VALUE, plainPanel = INVALID_HANDLE_VALUE;
        if (FAILED(emu.RegisterAll()) || !host.Load(host_emu::FindPluginDll()) ||
            link.Connect() != remote::StatusOk ||
            (panel = host.OpenFromDiskMenu()) == INVALID_HANDLE_VALUE ||
            (plainPanel = host.OpenFromDiskMenu()) == INVALID_HANDLE_VALUE) {
            printf("listing: cannot set up (%s)\n", host.Error().c_str());
            result = 1;
        }

        for (const ListingSize& s : sizes) {
            if (result) break;
            // A "u" folder follows the plain one of its size, read beside it.
            bool paired = s.folder[0] == 'u';
            const ListingSize& plain = paired ? (&s)[-1] : s;
            for (HANDLE p : {panel, plainPanel}) {
                host.SetDirectory(p, "\\");
                host.SetDirectory(p, "C:");
            }
            host.SetDirectory(panel, s.folder);
            host.SetDirectory(plainPanel, plain.folder);
            // Warm-up of each, then rounds that pair them, each round led by
            // another: a busy machine slows reads close in time alike, so
            // each round's ratio is steadier than a ratio of two medians.
            ReadThroughDll(host, panel, s.entries);
            ReadThroughLink(link, s.path, s.entries);
            if (paired) ReadThroughDll(host, plainPanel, plain.entries);
            std::vector<double> dll, bare, ratios, plainRatios;
            for (int r = 0; r < s.rounds; ++r) {
                double d = 0, b = 0, pd = 1, pb = 1;
                int legs = paired ? 4 : 2;
                for (int leg = 0; leg < legs; ++leg) {
                    emu.ClearJournal();
                    host.Journal().Clear();
                    switch ((leg + r) % legs) {
                    case 0: d = ReadThroughDll(host, panel, s.entries); break;
                    case 1: b = ReadThroughLink(link, s.path, s.entries); break;
                    case 2: pd = ReadThroughDll(host, plainPanel, plain.entries); break;
                    default: pb = ReadThroughLink(link, plain.path, plain.entries); break;
                    }
                }
                if (d < 0 || b < 0 || pd < 0 || pb < 0) {
                    printf("listing: a read of %d entries failed\n", s.entries);
                    result = 1;
                    break;
                }
                dll.push_back(d);
                bare.push_back(b);
                ratios.push_back(d / b);
                plainRatios.push_back((d / b) / (pd / pb));
            }
            if (result) break;
            std::vector<double> growth, stepped;
            for (int r = 0; r < s.rounds; ++r) {
                growth.push_back(GrowArray(s.entries, true));
                stepped.push_back(GrowArray(s.entries, false));
            }
            double ratio = Median(ratios);
            if (paired) {
                // Stand-ins against the plain folder of the same size, round
                // by round.
                double ofPlain = Median(plainRatios);
                printf("%6d entries, every name a stand-in: GetFindData %.1f ms, bare link "
                       "requests %.1f ms; ratio %.3f, %.3f of the plain folder's in the same "
                       "rounds (target <= %.2f)%s\n",
                       s.entries, Median(dll) * 1e3, Median(bare) * 1e3, ratio, ofPlain,
                       s.target, ofPlain <= s.target ? "" : "  MISSED");
                continue;
            }
            printf("%6d entries: GetFindData %.1f ms, bare link requests %.1f ms (medians of %d "
                   "paired rounds); ratio %.3f (median of the rounds' ratios; target <= %.2f)%s\n",
                   s.entries, Median(dll) * 1e3, Median(bare) * 1e3, s.rounds, ratio, s.target,
                   ratio <= s.target ? "" : "  MISSED");
            printf("%6d entries: of which growing the item array: %.1f ms (by 11 at a time it "
                   "would take %.1f ms)\n",
                   s.entries, Median(growth) * 1e3, Median(stepped) * 1e3);
        }

        // A folder of 100,000 entries is read whole by the out-of-process
        // benchmark; here only the part the plug-in adds by itself: its
        // array's growth.
        if (result == 0) {
            double byHalf = GrowArray(100000, true), stepped = GrowArray(100000, false);
            printf("100000 entries: growing the item array: %.1f ms (by 11 at a time it would "
                   "take %.1f ms; ratio %.1f)\n",
                   byHalf * 1e3, stepped * 1e3, stepped / byHalf);
        }

        for (HANDLE p : {panel, plainPanel})
            if (p != INVALID_HANDLE_VALUE) host.ClosePlugin(p);
        host.Unload();
        link.Disconnect();
    }

    for (const ListingSize& s : sizes) {
        if (!madeHere) break;
        std::wstring folder = root + L"\\C\\" + (s.path + 3);
        folder.pop_back();
        RemoveFolder(folder);
    }
    if (madeHere) {
        RemoveDirectoryW((root + L"\\C").c_str());
        RemoveDirectoryW(root.c_str());
    }
    CoUninitialize();
    return result;
}
