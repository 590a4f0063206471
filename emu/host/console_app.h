// The interactive host: two panels, the key bar, the usual keys, and the
// plug-in driven as the host drives it (host-abi.md §6). Runs in a console
// on a terminal (under Wine: a terminal or tmux).
#pragma once

#include "console_boxes.h"
#include "console_keys.h"
#include "console_panels.h"
#include "console_screen.h"
#include "far_sequences.h"
#include "host_emulator.h"

#include <string>

namespace host_emu {

struct ConsoleAppOptions {
    std::string pcFolder;   // the left panel's folder (Windows path)
    int kelpSide = 1;       // the side Kelp opens on at start; -1: neither
};

class ConsoleApp {
public:
    explicit ConsoleApp(HostEmulator& host) : host_(host), ui_(screen_, keys_) {}
    // False when there is no console to draw in (see Error()).
    bool Open();
    void Run(const ConsoleAppOptions& options);
    const std::string& Error() const { return error_; }

private:
    void Draw();
    void Handle(const Key& key);
    FilePanel& ActivePanel() { return panels_[active_]; }
    FilePanel& PassivePanel() { return panels_[1 - active_]; }

    // Around every call into the plug-in: the other panel as the plug-in
    // will ask for it, and the process's folder as the host keeps it.
    void BeforeCall();
    void Reread(int side);
    void RereadBoth();

    void Enter();
    void Copy(bool move);
    void MakeFolder();
    void Remove();
    void DiskMenu(int side);
    void FolderSize();
    void SaveShortcut(int digit);
    void JumpToShortcut(int digit);
    void RunCommandLine();
    bool OpenKelp(int side, int item);
    void CloseKelp(int side);

    HostEmulator& host_;
    Screen screen_;
    Keyboard keys_;
    ConsoleFrontEnd ui_;
    FilePanel panels_[2];
    int active_ = 0;
    bool quit_ = false;
    std::string commandLine_;  // typed after the prompt
    // Ctrl+Shift+0..9: a PC folder, or Kelp's module with the saved CurDir.
    struct Shortcut {
        bool set = false, plugin = false;
        std::string folder;
        FolderShortcut kelp;
    } shortcuts_[10];
    std::string home_;
    std::string error_;
};

}  // namespace host_emu
