// What one request costs the host thread: a round trip through the link with
// the phone emulator registered in-process, completing inside the request
// call and through the message queue, each against a bare post/get/dispatch
// round trip measured beside it; and the CPU the wait burns while a request
// stays pending.
#include "bench_support.h"
#include "phone_emulator.h"
#include "phone_link.h"
#include "test_files.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using bench::Median;
using bench::Now;

const int Rounds = 5;
const int PerRound = 2000;

double Seconds(const FILETIME& t)
{
    return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
}

double ThreadCpu()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

double ProcessCpu()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

LONG dispatchedCount = 0;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_APP) {
        ++dispatchedCount;
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// Microseconds per post, get and dispatch of one message to a window of
// this thread.
double BareRoundTrip(HWND window, int count)
{
    double start = Now();
    for (int i = 0; i < count; ++i) {
        PostMessageW(window, WM_APP, 0, 0);
        MSG msg;
        GetMessageW(&msg, nullptr, 0, 0);
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return (Now() - start) * 1e6 / count;
}

// Microseconds per DriveList request; -1 when a request failed.
double LinkRoundTrip(PhoneLink& link, int count)
{
    double start = Now();
    for (int i = 0; i < count; ++i) {
        DWORD mask = 0;
        if (link.DriveList(&mask) != remote::StatusOk || mask != 0x14) return -1;
    }
    return (Now() - start) * 1e6 / count;
}

}  // namespace

int main()
{
    CoInitialize(nullptr);
    std::wstring root = test_files::MakeTempFolder(L"kelp-bench-link");
    CreateDirectoryW((root + L"\\C").c_str(), nullptr);
    int result = 0;
    {
        phone_emu::PhoneEmulator emu(root);
        // A fixed mask keeps the phone's own work (a folder scan) out of the figure.
        emu.Options().overrideDriveMask = true;
        emu.Options().driveMask = 0x14;
        if (FAILED(emu.RegisterAll())) {
            printf("link_roundtrip: cannot register the phone emulator\n");
            return 1;
        }
        PhoneLink link;
        if (link.Connect() != remote::StatusOk) {
            printf("link_roundtrip: cannot connect\n");
            return 1;
        }

        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = CountingProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KelpBenchCounter";
        RegisterClassExW(&wc);
        HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, wc.hInstance, nullptr);

        phone_emu::Rule inside;
        inside.op = phone_emu::Op::DriveList;
        inside.action = phone_emu::Action::CompleteInsideCall;

        // Warm-up, then rounds that interleave the three kinds so that any
        // drift of the machine touches them alike.
        BareRoundTrip(window, 200);
        LinkRoundTrip(link, 200);
        std::vector<double> bare, queued, insideCall;
        for (int r = 0; r < Rounds && result == 0; ++r) {
            emu.ClearJournal();
            bare.push_back(BareRoundTrip(window, PerRound));
            emu.Options().rules.clear();
            queued.push_back(LinkRoundTrip(link, PerRound));
            emu.Options().rules.push_back(inside);
            insideCall.push_back(LinkRoundTrip(link, PerRound));
            emu.Options().rules.clear();
            if (queued.back() < 0 || insideCall.back() < 0) result = 1;
        }
        if (result) {
            printf("link_roundtrip: a request failed\n");
        } else {
            double b = Median(bare), q = Median(queued), in = Median(insideCall);
            printf("bare message round trip: %.2f us (post, get, dispatch; median of %d x %d)\n",
                   b, Rounds, PerRound);
            printf("roundtrip via queue: %.1f us/request (ratio %.1f to bare message round trip)\n",
                   q, q / b);
            printf("roundtrip inside call: %.1f us/request (ratio %.1f to bare message round trip)\n",
                   in, in / b);
        }

        // The thread's CPU clock must move under a spin for the figure below
        // to mean anything: some platforms tick it coarsely or not at all.
        // Spin until it has (at most two seconds: a loaded machine gives this
        // thread little of its wall time).
        double spin0 = Now(), spinCpu0 = ThreadCpu();
        while (ThreadCpu() - spinCpu0 < 0.05 && Now() - spin0 < 2.0) {
        }
        double spinCpu = ThreadCpu() - spinCpu0;
        printf("cpu clock check: %.0f ms of thread CPU after %.0f ms of spinning\n",
               spinCpu * 1e3, (Now() - spin0) * 1e3);

        // One request that stays pending for two seconds: the wait should
        // sleep in the kernel, not spin.
        emu.Options().delayMs = 2000;
        double wall0 = Now(), thread0 = ThreadCpu(), process0 = ProcessCpu();
        DWORD mask = 0;
        LONG status = link.DriveList(&mask);
        double wall = Now() - wall0;
        double threadCpu = ThreadCpu() - thread0, processCpu = ProcessCpu() - process0;
        emu.Options().delayMs = 0;
        if (status != remote::StatusOk || wall < 1.9) {
            printf("link_roundtrip: the pending request ended wrongly (status %ld after %.2f s)\n",
                   (long)status, wall);
            result = 1;
        } else {
            printf("pending wait: %.2f s wall, %.1f ms thread CPU, %.1f ms process CPU\n", wall,
                   threadCpu * 1e3, processCpu * 1e3);
            printf("pending wait CPU: %.2f%% of wall time (target < 1%%)\n",
                   100.0 * threadCpu / wall);
            if (threadCpu / wall >= 0.01 || spinCpu < 0.05) result = 1;
        }

        DestroyWindow(window);
        link.Disconnect();
    }
    RemoveDirectoryW((root + L"\\C").c_str());
    RemoveDirectoryW(root.c_str());
    CoUninitialize();
    return result;
}
