// What every benchmark program shares: a clock, the median of rounds, and
// how a listing to measure is described and read through the DLL.
#pragma once

#include "host_emulator.h"

#include <windows.h>

#include <vector>

namespace bench {

// Seconds on the performance counter.
double Now();
// The median of a round's figures: one slow round on a busy machine doesn't
// move it.
double Median(std::vector<double> values);

// A folder of `entries` files to list, in `rounds` paired rounds, and the
// ratio it must stay within.
struct ListingSize {
    int entries;
    int rounds;
    double target;
    const char* folder;  // under drive C, as the panel enters it
    const WCHAR* path;   // as the requests name it
};

// Seconds for one read of the panel's folder through the DLL, as the host
// makes it; -1 when the read fails or finds another number of items.
double ReadThroughDll(host_emu::HostEmulator& host, HANDLE panel, int expected);

}  // namespace bench
