// Kelp.dll over the out-of-process PhoneServer.exe, as a user's machine has
// it (scripts/run-bench.sh registers the server over a phone whose C:\n300,
// C:\n1000, C:\n5000 and C:\n100000 hold 300, 1,000, 5,000 and 100,000
// files, and takes the registration back afterwards). Named on the command
// line ("listing", "strict", "break", "wait", "refresh"), only those figures
// are measured:
//   1. a listing of 1,000 and of 100,000 entries through the DLL against the
//      same DirOpen, DirRead and DirClose requests made straight through the
//      server's proxy on this one thread, with a sink of our own and a
//      pumping wait;
//   2. a listing of 300 entries from a strict server (--strict: it refuses a
//      request that reaches it before COM's reply to its last callback)
//      against the same listing from the registered server, which never
//      refuses;
//   3. how soon a break gives control back while the server's DirOpen never
//      returns (the server started with --hang DirOpen);
//   4. the CPU a pending wait burns (the server started with --delay-ms);
//   5. FAR's refresh after an operation in C:\n5000 (5,000 files): the
//      requests it makes, counted by the server (--log-requests), after F5
//      of one file to the PC, F8 of one file, F7 and F5 of 10 files to the
//      phone, and Ctrl+R's; and the time from the end of F5 of one file to
//      the panel drawn, against Ctrl+R's full listing in the same run.
// The server's extra options go onto its registered command line here and
// come off again before the program ends.
#include "sink_base.h"
#include "bench_support.h"
#include "far_sequences.h"
#include "host_emulator.h"
#include "message_pump.h"
#include "phone_link.h"
#include "remote_fs.h"
#include "server_processes.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace server_processes;

using bench::ListingSize;
using bench::Median;
using bench::ReadThroughDll;
using bench::Now;

// The listings compared. A read of 100,000 entries takes minutes here (two
// cross-process calls a request), so it is read once each way, after the
// read that enters the folder; its ratio is over 100,000 requests anyway.
const ListingSize ListingSizes[] = {{1000, 9, 1.05, "n1000", L"C:\\n1000\\"},
                                    {100000, 1, 1.05, "n100000", L"C:\\n100000\\"}};
const int BreakRuns = 5;
const DWORD BreakAfterMs = 1200;
const int DelayMs = 2000;
const int StrictRounds = 11;
const int StrictEntries = 300;
const double StrictTarget = 1.5;
const int RefreshEntries = 5000;
const int RefreshRounds = 3;
const double RefreshTarget = 0.05;

// ---- the registered server's command line ----------------------------------

// HKLM\Software\Classes\CLSID\{class}\LocalServer32 of generation `g`.
void CommandKeyPath(int g, WCHAR* path, int size)
{
    WCHAR id[40];
    StringFromGUID2(remote::ServerClassIds[g], id, 40);
    wsprintfW(path, L"Software\\Classes\\CLSID\\%s\\LocalServer32", id);
    path[size - 1] = 0;
}

// The first registered generation (the one Kelp creates, as it tries them in
// order) and its command line; -1 when none is registered.
int ReadServerCommand(WCHAR* command, DWORD size)
{
    for (int g = 0; g < remote::GenerationCount; ++g) {
        WCHAR path[128];
        CommandKeyPath(g, path, 128);
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            continue;
        DWORD type = 0, bytes = (size - 1) * sizeof(WCHAR);
        LONG r = RegQueryValueExW(key, nullptr, nullptr, &type, (BYTE*)command, &bytes);
        RegCloseKey(key);
        if (r == ERROR_SUCCESS && type == REG_SZ) {
            command[bytes / sizeof(WCHAR)] = 0;
            return g;
        }
    }
    return -1;
}

bool WriteServerCommand(int g, const WCHAR* command)
{
    WCHAR path[128];
    CommandKeyPath(g, path, 128);
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExW(key, nullptr, 0, REG_SZ, (const BYTE*)command,
                            (lstrlenW(command) + 1) * sizeof(WCHAR));
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

// A server reads its options once, when Wine starts it: the next figure
// needs the running one gone. It leaves by itself once its last object is
// released; one that doesn't (a hung request) is killed.
bool NoServerRunning()
{
    if (WaitForNoServer(5000)) return true;
    KillServers();
    return RestartRpcSs() && ServerProcesses().empty();
}

// ---- figure 1: the old single-thread way, straight through the proxy -------

// Keeps each completion's outcome and signals it. Lives on this thread's
// stack; CoDisconnectObject ends the server's hold on it before it goes.
class BenchSink final : public remote::SinkBase {
public:
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    LONG status = 0;
    DWORD handle = 0;

    ~BenchSink() { CloseHandle(done); }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnDriveList(LONG s, DWORD) override { return Complete(s); }
    HRESULT STDMETHODCALLTYPE OnVolumeInfo(LONG s, const remote::RemoteVolume*) override
    {
        return Complete(s);
    }
    HRESULT STDMETHODCALLTYPE OnDirOpen(LONG s, DWORD h) override
    {
        handle = h;
        return Complete(s);
    }
    HRESULT STDMETHODCALLTYPE OnDirRead(LONG s, const remote::RemoteEntry*) override
    {
        return Complete(s);
    }
    HRESULT STDMETHODCALLTYPE OnDirClose(LONG s) override { return Complete(s); }
    HRESULT STDMETHODCALLTYPE OnDirRemove(LONG s) override { return Complete(s); }
    HRESULT STDMETHODCALLTYPE OnDirMake(LONG s) override { return Complete(s); }
    HRESULT STDMETHODCALLTYPE OnEntryInfo(LONG s, const remote::RemoteEntry*) override
    {
        return Complete(s);
    }
    HRESULT STDMETHODCALLTYPE OnFileCopy(LONG s) override { return Complete(s); }
    HRESULT STDMETHODCALLTYPE OnFileDelete(LONG s) override { return Complete(s); }

private:
    HRESULT Complete(LONG s)
    {
        status = s;
        SetEvent(done);
        return S_OK;
    }
};

// The completion of the request just made: it comes as a COM message to this
// thread, so the wait must dispatch. StatusNoServer when the call failed or
// nothing came within ten seconds.
LONG AwaitCompletion(HRESULT call, BenchSink& sink)
{
    if (FAILED(call) || PumpingWaitOne(sink.done, 10000) != WAIT_OBJECT_0)
        return StatusNoServer;
    return sink.status;
}

// Seconds for one enumeration of `path` through the proxy; -1 when it fails
// or finds another number of entries.
double ReadThroughProxy(remote::IRemoteFs* server, BenchSink& sink, DWORD cookie,
                        const WCHAR* path, int expected)
{
    double start = Now();
    if (AwaitCompletion(server->DirOpen(cookie, 0, path), sink) != remote::StatusOk) return -1;
    DWORD handle = sink.handle;
    int count = 0;
    LONG status;
    while ((status = AwaitCompletion(server->DirRead(cookie, 0, handle), sink)) ==
           remote::StatusOk)
        ++count;
    AwaitCompletion(server->DirClose(cookie, 0, handle), sink);
    double elapsed = Now() - start;
    return status == remote::StatusEndOfList && count == expected ? elapsed : -1;
}

int ListingFigure(host_emu::HostEmulator& host, int generation, const ListingSize& size)
{
    remote::IRemoteFs* server = nullptr;
    BenchSink sink;
    DWORD cookie = 0;
    LONG accepted = 0;
    HANDLE panel = host.OpenFromDiskMenu();
    if (panel == INVALID_HANDLE_VALUE || !host.SetDirectory(panel, "C:") ||
        !host.SetDirectory(panel, size.folder) ||
        FAILED(CoCreateInstance(remote::ServerClassIds[generation], nullptr, CLSCTX_LOCAL_SERVER,
                                remote::RemoteFsIds[generation], (void**)&server)) ||
        FAILED(server->Advise(&sink, GetCurrentThreadId(), &cookie, &accepted)) || !accepted) {
        printf("out_of_process: cannot set up the listing of %d entries\n", size.entries);
        if (server) server->Release();
        if (panel != INVALID_HANDLE_VALUE) host.ClosePlugin(panel);
        return 1;
    }

    // Warm-up of both (the DLL's is the read SetDirectory made on entering),
    // then rounds that pair them, each leading in turn: a busy machine slows
    // reads close in time alike, so a round's ratio is steadier than a ratio
    // of two medians.
    ReadThroughDll(host, panel, size.entries);
    if (size.rounds > 1) ReadThroughProxy(server, sink, cookie, size.path, size.entries);
    std::vector<double> dll, bare, ratios;
    int result = 0;
    for (int r = 0; r < size.rounds && result == 0; ++r) {
        double d = 0, b = 0;
        for (int leg = 0; leg < 2; ++leg) {
            if ((leg == 0) == (r % 2 == 0)) d = ReadThroughDll(host, panel, size.entries);
            else b = ReadThroughProxy(server, sink, cookie, size.path, size.entries);
        }
        if (d < 0 || b < 0) {
            printf("out_of_process: a read of %d entries failed\n", size.entries);
            result = 1;
            break;
        }
        dll.push_back(d);
        bare.push_back(b);
        ratios.push_back(d / b);
    }
    if (result == 0) {
        double ratio = Median(ratios);
        printf("listing %d entries out of process: GetFindData %.0f ms, the same requests "
               "through the proxy on one thread %.0f ms (medians of %d paired rounds); ratio "
               "%.3f (median of the rounds' ratios; target <= %.2f)%s\n",
               size.entries, Median(dll) * 1e3, Median(bare) * 1e3, size.rounds, ratio,
               size.target, ratio <= size.target ? "" : "  MISSED");
    }

    server->Unadvise(cookie);
    server->Release();
    CoDisconnectObject(&sink, 0);
    host.ClosePlugin(panel);
    return result;
}

// ---- figure 3: a break while the server never answers ----------------------

// Sends the host's break event to a panel after a while, from a thread of
// its own, as FAR does for Ctrl+Break (Esc in the wait box goes the same way).
struct Breaker {
    host_emu::HostEmulator* host;
    HANDLE panel;
    double brokeAt;
};

DWORD WINAPI BreakLater(LPVOID context)
{
    Breaker* b = static_cast<Breaker*>(context);
    Sleep(BreakAfterMs);
    b->brokeAt = Now();
    b->host->Exports().ProcessEvent(b->panel, host::FE_BREAK, nullptr);
    return 0;
}

// Seconds from the break to SetDirectory's answer; -1 when something else
// went wrong. Each run has a server of its own, killed afterwards: its hung
// request would otherwise hold the next run's.
double OneBreak(host_emu::HostEmulator& host)
{
    if (!NoServerRunning()) return -1;
    host.Script().Clear();
    HANDLE panel = host.OpenFromDiskMenu();
    if (panel == INVALID_HANDLE_VALUE) return -1;
    host.Script().AnswerMessage(0);  // the box that says the wait was given up
    Breaker breaker = {&host, panel, 0};
    HANDLE thread = CreateThread(nullptr, 0, BreakLater, &breaker, 0, nullptr);
    int entered = host.SetDirectory(panel, "C:");
    double returnedAt = Now();
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    host.ClosePlugin(panel);
    KillServers();
    RestartRpcSs();
    return entered == 0 && breaker.brokeAt > 0 ? returnedAt - breaker.brokeAt : -1;
}

int BreakFigure(host_emu::HostEmulator& host)
{
    std::vector<double> runs;
    for (int r = 0; r < BreakRuns; ++r) {
        double seconds = OneBreak(host);
        if (seconds < 0) {
            printf("out_of_process: run %d of the break on a hung server went wrong\n", r + 1);
            return 1;
        }
        runs.push_back(seconds);
    }
    double median = Median(runs);
    printf("break during a DirOpen that never returns (break at %.1f s): control back %.0f ms "
           "after the break (median of %d runs, each with a fresh server; target <= 1 s)%s\n",
           BreakAfterMs / 1e3, median * 1e3, BreakRuns, median <= 1.0 ? "" : "  MISSED");
    return 0;
}

// ---- figure 4: the CPU of a pending wait -----------------------------------

double Seconds(const FILETIME& t)
{
    return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
}

double ProcessCpu()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

int PendingWaitFigure(host_emu::HostEmulator& host)
{
    // The figure means something only if the process's CPU clock moves under
    // a spin at all: spin until it has (at most two seconds, for a loaded
    // machine gives this process little of its wall time).
    double spin0 = Now(), spinCpu0 = ProcessCpu();
    while (ProcessCpu() - spinCpu0 < 0.02 && Now() - spin0 < 2.0) {
    }
    double spinCpu = ProcessCpu() - spinCpu0;

    if (!NoServerRunning()) return 1;
    HANDLE panel = host.OpenFromDiskMenu();
    if (panel == INVALID_HANDLE_VALUE) {
        printf("out_of_process: cannot open a panel on the slow server\n");
        return 1;
    }
    // Entering a drive: every request it makes waits the server's delay.
    double wall0 = Now(), cpu0 = ProcessCpu();
    int entered = host.SetDirectory(panel, "C:");
    double wall = Now() - wall0, cpu = ProcessCpu() - cpu0;
    host.ClosePlugin(panel);
    if (!entered || wall < DelayMs / 1e3 * 0.9) {
        printf("out_of_process: entering C: on the slow server went wrong (%d after %.2f s)\n",
               entered, wall);
        return 1;
    }
    printf("pending wait through Kelp (server delay %d ms): %.2f s wall, %.1f ms process CPU "
           "(the clock check read %.0f ms of a spin); %.2f%% of wall time (target < 1%%)%s\n",
           DelayMs, wall, cpu * 1e3, spinCpu * 1e3, 100.0 * cpu / wall,
           cpu / wall < 0.01 ? "" : "  MISSED");
    return spinCpu < 0.02 ? 1 : 0;
}

// ---- figure 2: a listing from a strict server -------------------------------

// Seconds for entering C:\n300 on a panel opened for it, on a server started
// for it with `command`: the connection's first listing (a strict server's
// first refusal falls in it or in the drive list just before, and from it on
// the link lets each callback's reply land first), then a read of the same
// folder again. False when anything went wrong.
bool TimedListings(host_emu::HostEmulator& host, int generation, const WCHAR* command,
                   double* first, double* again)
{
    if (!NoServerRunning() || !WriteServerCommand(generation, command)) return false;
    HANDLE panel = host.OpenFromDiskMenu();
    if (panel == INVALID_HANDLE_VALUE) return false;
    double start = Now();
    bool ok = host.SetDirectory(panel, "C:\\n300") == 1;
    *first = Now() - start;
    if (ok) ok = ReadThroughDll(host, panel, StrictEntries) >= 0;  // the entering read's own
    if (ok) *again = ReadThroughDll(host, panel, StrictEntries);
    host.ClosePlugin(panel);
    return ok && *again >= 0;
}

// Requests the strict server logged as refused, in the log at `path`.
int RefusalsLogged(const char* path)
{
    FILE* f = fopen(path, "r");
    if (!f) return -1;
    int refusals = 0;
    char line[2048];
    while (fgets(line, sizeof line, f))
        if (strstr(line, "] inside callback: ") && strstr(line, " refused")) ++refusals;
    fclose(f);
    return refusals;
}

int StrictFigure(host_emu::HostEmulator& host, int generation, const WCHAR* command)
{
    char log[MAX_PATH];
    GetTempPathA(MAX_PATH - 20, log);
    lstrcatA(log, "kelp-strict.log");
    DeleteFileA(log);
    WCHAR strict[1024];
    wsprintfW(strict, L"%s --strict --log %hs", command, log);

    // Rounds that pair a plain server's listings with a strict one's, each
    // leading in turn, every listing on a fresh server and connection.
    std::vector<double> plainFirst, strictFirst, plainAgain, strictAgain, firstRatios, againRatios;
    for (int r = 0; r < StrictRounds; ++r) {
        double pf = 0, pa = 0, sf = 0, sa = 0;
        for (int leg = 0; leg < 2; ++leg) {
            bool plain = (leg == 0) == (r % 2 == 0);
            if (!(plain ? TimedListings(host, generation, command, &pf, &pa)
                        : TimedListings(host, generation, strict, &sf, &sa))) {
                printf("out_of_process: a listing of %d entries from the %s server failed\n",
                       StrictEntries, plain ? "plain" : "strict");
                return 1;
            }
        }
        plainFirst.push_back(pf);
        plainAgain.push_back(pa);
        strictFirst.push_back(sf);
        strictAgain.push_back(sa);
        firstRatios.push_back(sf / pf);
        againRatios.push_back(sa / pa);
    }
    if (!NoServerRunning()) return 1;
    int refusals = RefusalsLogged(log);
    DeleteFileA(log);
    double first = Median(firstRatios), again = Median(againRatios);
    bool met = first <= StrictTarget && again <= StrictTarget;
    printf("listing %d entries from a strict server against one that never refuses "
           "(medians of %d paired rounds, a fresh server and panel each): a connection's "
           "first listing %.0f ms against %.0f ms, ratio %.3f; read again %.0f ms against "
           "%.0f ms, ratio %.3f (target <= %.2f)%s; the strict servers refused %d requests "
           "in all\n",
           StrictEntries, StrictRounds, Median(strictFirst) * 1e3, Median(plainFirst) * 1e3,
           first, Median(strictAgain) * 1e3, Median(plainAgain) * 1e3, again, StrictTarget,
           met ? "" : "  MISSED", refusals);
    return 0;
}

// ---- figure 5: the refresh after an operation -------------------------------

long LogSize(const char* path)
{
    FILE* f = fopen(path, "rb");
    if (!f) return 0;
    fseek(f, 0, SEEK_END);
    long size = ftell(f);
    fclose(f);
    return size;
}

// The requests the server logged after `offset`: all, and those of
// listings (DirOpen, DirRead, DirClose).
struct Requests {
    int all = 0, listing = 0, dirOpens = 0;
};
Requests RequestsSince(const char* path, long offset)
{
    Requests r;
    FILE* f = fopen(path, "rb");
    if (!f) return r;
    fseek(f, offset, SEEK_SET);
    char line[2048];
    while (fgets(line, sizeof line, f)) {
        const char* request = strstr(line, "] request: ");
        if (!request) continue;
        ++r.all;
        request += strlen("] request: ");
        if (!strncmp(request, "DirOpen ", 8)) ++r.dirOpens;
        if (!strncmp(request, "DirOpen ", 8) || !strncmp(request, "DirRead ", 8) ||
            !strncmp(request, "DirClose ", 9))
            ++r.listing;
    }
    fclose(f);
    return r;
}

// The files of a PC folder, deleted.
void EmptyPcFolder(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileA((folder + "\\" + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// A panel on C:\n5000, read once as FAR reads it after entering.
HANDLE OpenBigFolder(host_emu::HostEmulator& host, host_emu::PanelListing& shown)
{
    if (!NoServerRunning()) return INVALID_HANDLE_VALUE;
    HANDLE panel = host.OpenFromDiskMenu();
    if (panel == INVALID_HANDLE_VALUE) return panel;
    if (host.SetDirectory(panel, "C:") && host.SetDirectory(panel, "n5000") &&
        host.ReadPanel(panel, shown) && (int)shown.items.size() >= RefreshEntries)
        return panel;
    host.ClosePlugin(panel);
    return INVALID_HANDLE_VALUE;
}

// F5 of the phone's `name` into the PC folder `to`, answered as the user does.
bool CopyOut(host_emu::HostEmulator& host, HANDLE panel, const host_emu::PanelListing& shown,
             const char* name, const std::string& to)
{
    const host::PluginPanelItem* item = shown.Find(name);
    if (!item) return false;
    std::vector<host::PluginPanelItem> items = {*item};
    host.Script().AnswerDialog(4, {{2, to}});
    std::string dest = to;
    return host.GetFiles(panel, items, 0, dest) == 1;
}

int RefreshFigure(host_emu::HostEmulator& host, int generation, const WCHAR* command)
{
    char temp[MAX_PATH], log[MAX_PATH];
    GetTempPathA(MAX_PATH - 40, temp);
    lstrcpyA(log, temp);
    lstrcatA(log, "kelp-refresh.log");
    DeleteFileA(log);
    std::string pc = std::string(temp) + "kelp-refresh";
    std::string out = pc + "\\out";
    EmptyPcFolder(out);  // what an earlier run copied out
    CreateDirectoryA(pc.c_str(), nullptr);
    CreateDirectoryA(out.c_str(), nullptr);
    std::vector<host::PluginPanelItem> tenFiles;
    for (int i = 0; i < 10; ++i) {
        std::string name = "put" + std::to_string(i) + ".dat";
        HANDLE f = CreateFileA((pc + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD wrote = 0;
        WriteFile(f, "data", 4, &wrote, nullptr);
        CloseHandle(f);
        tenFiles.push_back(host_emu::MakeDiskItem(pc, name));
    }

    // The requests of each refresh, on a server that logs them.
    WCHAR counting[1024];
    wsprintfW(counting, L"%s --log-requests --log %hs", command, log);
    host_emu::PanelListing shown, read;
    HANDLE panel = WriteServerCommand(generation, counting) ? OpenBigFolder(host, shown)
                                                           : INVALID_HANDLE_VALUE;
    if (panel == INVALID_HANDLE_VALUE) {
        printf("out_of_process: cannot open a panel on C:\\n5000 for the refresh\n");
        return 1;
    }
    struct Step {
        const char* what;
        std::function<bool()> run;
        int target;  // requests the refresh may make at most
        Requests refresh;
    } steps[] = {
        {"F5 of one file to the PC", [&] { return CopyOut(host, panel, shown, "file000000.dat", out); }, 0, {}},
        {"F8 of one file", [&] {
             std::vector<host::PluginPanelItem> items = {*shown.Find("file000001.dat")};
             host.Script().AnswerMessage(0);
             return host.DeleteFiles(panel, items) == 1;
         }, 1, {}},
        {"F7", [&] {
             host.Script().AnswerDialog(4, {{2, "made"}});
             std::string name;
             return host.MakeDirectory(panel, name) == 1;
         }, 2, {}},
        {"F5 of 10 files to the phone", [&] {
             std::vector<host::PluginPanelItem> items = tenFiles;
             return host.PutFiles(panel, items, 0, pc) == 1;
         }, 11, {}},
    };
    int result = 0;
    for (Step& step : steps) {
        if (!step.run()) {
            printf("out_of_process: %s in C:\\n5000 failed\n", step.what);
            result = 1;
            break;
        }
        long mark = LogSize(log);
        if (!host_emu::RefreshAfterOperation(host, panel, shown)) result = 1;
        step.refresh = RequestsSince(log, mark);
    }
    long mark = LogSize(log);
    Requests ctrlR;
    if (result == 0 && host_emu::CtrlR(host, panel, read)) ctrlR = RequestsSince(log, mark);
    else result = 1;
    host.ClosePlugin(panel);
    if (result == 0) {
        // Before, each refresh was the full listing Ctrl+R still makes.
        for (const Step& step : steps)
            printf("refresh after %s in a folder of %d entries, out of process: %d requests, "
                   "%d of them listing (a full listing: %d; target <= %d)%s\n",
                   step.what, RefreshEntries, step.refresh.all, step.refresh.listing, ctrlR.all,
                   step.target, step.refresh.all <= step.target ? "" : "  MISSED");
        printf("Ctrl+R there: %d requests, %d of them listing in %d DirOpen (target: one full "
               "listing)%s\n",
               ctrlR.all, ctrlR.listing, ctrlR.dirOpens, ctrlR.dirOpens == 1 ? "" : "  MISSED");
    }

    // The time, on the plain server: the refresh after F5 of one file to the
    // PC against the full listing Ctrl+R makes, which is what every refresh
    // cost before.
    std::vector<double> patched, full, ratios;
    if (result == 0 && WriteServerCommand(generation, command))
        panel = OpenBigFolder(host, shown);
    else
        panel = INVALID_HANDLE_VALUE;
    for (int r = 0; r < RefreshRounds && panel != INVALID_HANDLE_VALUE; ++r) {
        char name[32];
        sprintf(name, "file%06d.dat", 10 + r);
        if (!CopyOut(host, panel, shown, name, out)) break;
        double t0 = Now();
        bool ok = host_emu::RefreshAfterOperation(host, panel, shown);
        double t1 = Now();
        ok = ok && host_emu::CtrlR(host, panel, read);
        double t2 = Now();
        if (!ok) break;
        patched.push_back(t1 - t0);
        full.push_back(t2 - t1);
        ratios.push_back((t1 - t0) / (t2 - t1));
    }
    if (panel != INVALID_HANDLE_VALUE) host.ClosePlugin(panel);
    if (result == 0 && (int)ratios.size() == RefreshRounds) {
        double ratio = Median(ratios);
        printf("time from the end of F5 of one file to the panel drawn, folder of %d entries: "
               "%.1f ms against %.0f ms for Ctrl+R's full listing (what it cost before); ratio "
               "%.4f (median of %d rounds; target <= %.2f)%s\n",
               RefreshEntries, Median(patched) * 1e3, Median(full) * 1e3, ratio, RefreshRounds,
               RefreshTarget, ratio <= RefreshTarget ? "" : "  MISSED");
    } else if (result == 0) {
        printf("out_of_process: the timed refresh in C:\\n5000 failed\n");
        result = 1;
    }
    DeleteFileA(log);
    EmptyPcFolder(out);
    NoServerRunning();
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    // The figures to measure: all, or those named.
    auto wanted = [&](const char* figure) {
        if (argc < 2) return true;
        for (int i = 1; i < argc; ++i)
            if (!strcmp(argv[i], figure)) return true;
        return false;
    };
    setvbuf(stdout, nullptr, _IONBF, 0);  // each figure as soon as it is measured
    CoInitialize(nullptr);
    WCHAR command[1024];
    int generation = ReadServerCommand(command, 1024);
    if (generation < 0 || lstrlenW(command) > 900) {
        printf("out_of_process: no phone server registered (scripts/run-bench.sh does it)\n");
        CoUninitialize();
        return 1;
    }
    int result = RestartRpcSs() ? 0 : 1;
    host_emu::HostEmulator host;
    if (result || !host.Load(host_emu::FindPluginDll())) {
        printf("out_of_process: cannot set up (%s)\n", host.Error().c_str());
        result = 1;
    }

    for (const ListingSize& size : ListingSizes)
        if (result == 0 && wanted("listing")) result = ListingFigure(host, generation, size);
    if (result == 0 && wanted("strict")) result = StrictFigure(host, generation, command);
    if (result == 0 && wanted("refresh")) result = RefreshFigure(host, generation, command);

    WCHAR changed[1024];
    if (result == 0 && wanted("break")) {
        wsprintfW(changed, L"%s --hang DirOpen", command);
        result = WriteServerCommand(generation, changed) ? BreakFigure(host) : 1;
    }
    if (result == 0 && wanted("wait")) {
        wsprintfW(changed, L"%s --delay-ms %d", command, DelayMs);
        result = WriteServerCommand(generation, changed) ? PendingWaitFigure(host) : 1;
    }

    WriteServerCommand(generation, command);
    host.Unload();
    NoServerRunning();
    CoUninitialize();
    return result;
}
