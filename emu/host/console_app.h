// The interactive host: two panels, the key bar, the usual keys, and the
// plug-in driven as the host drives it (host-abi.md §6). Runs in a console
// on a terminal (under Wine: a terminal or tmux).
#pragma once

#include "console_boxes.h"
#include "console_keys.h"
#include "console_panels.h"
#include "console_screen.h"
#include "host_emulator.h"

#include <string>

namespace hostemu {

struct ConsoleAppOptions {
    std::string pcFolder;   // the left panel's folder (Windows path)
    int kelpSide = 1;       // the side Kelp opens on at start; -1: neither
};

class ConsoleApp {
public:
    explicit ConsoleApp(HostEmulator& host) : host_(host), ui_(screen_, keys_) {}
    // False when there is no console to draw in (see error()).
    bool open();
    void run(const ConsoleAppOptions& options);
    const std::string& error() const { return error_; }

private:
    void draw();
    void handle(const Key& key);
    FilePanel& activePanel() { return panels_[active_]; }
    FilePanel& passivePanel() { return panels_[1 - active_]; }

    // Around every call into the plug-in: the other panel as the plug-in
    // will ask for it, and the process's folder as the host keeps it.
    void beforeCall();
    void reread(int side);
    void rereadBoth();

    void enter();
    void copy(bool move);
    void makeFolder();
    void remove();
    void diskMenu(int side);
    bool openKelp(int side, int item);
    void closeKelp(int side);

    HostEmulator& host_;
    Screen screen_;
    Keyboard keys_;
    ConsoleFrontEnd ui_;
    FilePanel panels_[2];
    int active_ = 0;
    bool quit_ = false;
    std::string home_;
    std::string error_;
};

}  // namespace hostemu
