#include "bench_support.h"

#include <windows.h>

#include <algorithm>

namespace bench {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double ReadThroughDll(host_emu::HostEmulator& host, HANDLE panel, int expected)
{
    double start = Now();
    host::PluginPanelItem* items = nullptr;
    int count = 0;
    int ok = host.Exports().GetFindData(panel, &items, &count, 0);
    if (ok) host.Exports().FreeFindData(panel, items, count);
    double elapsed = Now() - start;
    return ok && count == expected ? elapsed : -1;
}

}  // namespace bench
