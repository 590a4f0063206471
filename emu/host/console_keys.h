// Keys from the console input, in raw mode.
//
// Under Wine a terminal's keys are fetched into the console input by reads of
// it: a program that only polls GetNumberOfConsoleInputEvents can wait for a
// key forever. The host's own loops read blocking. While the plug-in runs an
// operation and polls the console itself (Esc during a copy), a relay thread
// does the blocking read for it and puts every key back into the console
// input, untouched, for the plug-in to find; a box the host shows meanwhile
// takes its keys from the relay instead, so there is never more than one
// reader.
#pragma once

#include <windows.h>

#include <deque>

namespace host_emu {

struct Key {
    WORD vk = 0;
    char ch = 0;  // the character typed, 0 for none
    bool ctrl = false, alt = false, shift = false;
    bool resized = false;  // the console's size changed: redraw

    bool Is(WORD code) const { return vk == code && !ctrl && !alt; }
};

class Keyboard {
public:
    Keyboard();
    ~Keyboard();
    // Raw mode: window input, no line input, no echo, no processed input.
    bool Open();
    void Close();  // gives the console its old mode back

    // Waits for the next key press (or a resize).
    Key Next();

    // While the plug-in runs an operation (see above).
    void BeginOperation();
    void EndOperation();

private:
    bool NextRecord(INPUT_RECORD& record);
    static DWORD WINAPI RelayMain(void* self);
    void Relay();

    HANDLE in_ = INVALID_HANDLE_VALUE;
    DWORD oldMode_ = 0;
    bool opened_ = false;

    HANDLE relayThread_ = nullptr;
    CRITICAL_SECTION lock_;
    HANDLE handed_ = nullptr;  // set when the relay handed a record to the host
    std::deque<INPUT_RECORD> forHost_;
    volatile LONG stop_ = 0;
    volatile LONG hostWaiting_ = 0;
};

}  // namespace host_emu
