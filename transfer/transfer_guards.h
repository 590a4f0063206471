// Small owners that make "opened once, closed once" hold on every path of
// the transfers, early returns included.
#pragma once

#include "host_api.h"
#include "host_ui.h"

#include <cstdlib>

// The whole screen, saved when asked and restored once when the guard ends.
struct ScreenGuard {
    HANDLE screen;
    explicit ScreenGuard(bool save) : screen(save ? SaveWholeScreen() : nullptr) {}
    ~ScreenGuard() { RestoreSavedScreen(screen); }
    ScreenGuard(const ScreenGuard&) = delete;
    ScreenGuard& operator=(const ScreenGuard&) = delete;
};
