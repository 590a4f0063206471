#include "console_keys.h"

namespace host_emu {

namespace {

bool ToKey(const INPUT_RECORD& record, Key& key) {
    if (record.EventType == WINDOW_BUFFER_SIZE_EVENT) {
        key = Key();
        key.resized = true;
        return true;
    }
    if (record.EventType != KEY_EVENT) return false;
    const KEY_EVENT_RECORD& k = record.Event.KeyEvent;
    if (!k.bKeyDown) return false;
    if (k.wVirtualKeyCode == VK_SHIFT || k.wVirtualKeyCode == VK_CONTROL ||
        k.wVirtualKeyCode == VK_MENU)
        return false;
    key = Key();
    key.vk = k.wVirtualKeyCode;
    key.ch = k.uChar.AsciiChar;
    key.ctrl = (k.dwControlKeyState & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0;
    key.alt = (k.dwControlKeyState & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0;
    key.shift = (k.dwControlKeyState & SHIFT_PRESSED) != 0;
    // A sequence the terminal layer could not name arrives as nothing at all.
    return key.vk != 0 || key.ch != 0;
}

}  // namespace

Keyboard::Keyboard() {
    InitializeCriticalSection(&lock_);
    handed_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

Keyboard::~Keyboard() {
    EndOperation();
    Close();
    CloseHandle(handed_);
    DeleteCriticalSection(&lock_);
}

bool Keyboard::Open() {
    in_ = GetStdHandle(STD_INPUT_HANDLE);
    if (!GetConsoleMode(in_, &oldMode_)) return false;
    opened_ = SetConsoleMode(in_, ENABLE_WINDOW_INPUT) != 0;
    return opened_;
}

void Keyboard::Close() {
    if (opened_) SetConsoleMode(in_, oldMode_);
    opened_ = false;
}

Key Keyboard::Next() {
    for (;;) {
        INPUT_RECORD record;
        Key key;
        if (NextRecord(record) && ToKey(record, key)) return key;
    }
}

bool Keyboard::NextRecord(INPUT_RECORD& record) {
    DWORD read = 0;
    if (!relayThread_) return ReadConsoleInputA(in_, &record, 1, &read) && read == 1;

    // The relay reads only while the console input is empty, so whatever is
    // queued there now is ours to read without racing it.
    InterlockedExchange(&hostWaiting_, 1);
    bool got = false;
    while (!got) {
        EnterCriticalSection(&lock_);
        if (!forHost_.empty()) {
            record = forHost_.front();
            forHost_.pop_front();
            got = true;
        }
        LeaveCriticalSection(&lock_);
        DWORD pending = 0;
        if (!got && GetNumberOfConsoleInputEvents(in_, &pending) && pending > 0)
            got = ReadConsoleInputA(in_, &record, 1, &read) && read == 1;
        if (!got) WaitForSingleObject(handed_, 50);
    }
    InterlockedExchange(&hostWaiting_, 0);
    return true;
}

void Keyboard::BeginOperation() {
    if (relayThread_ || !opened_) return;
    InterlockedExchange(&stop_, 0);
    relayThread_ = CreateThread(nullptr, 0, &Keyboard::RelayMain, this, 0, nullptr);
}

void Keyboard::EndOperation() {
    if (!relayThread_) return;
    InterlockedExchange(&stop_, 1);
    // Wakes the relay from its read; the main loop ignores focus records.
    INPUT_RECORD wake = {};
    wake.EventType = FOCUS_EVENT;
    DWORD written = 0;
    WriteConsoleInputA(in_, &wake, 1, &written);
    WaitForSingleObject(relayThread_, 2000);
    CloseHandle(relayThread_);
    relayThread_ = nullptr;
    EnterCriticalSection(&lock_);
    forHost_.clear();
    LeaveCriticalSection(&lock_);
}

DWORD WINAPI Keyboard::RelayMain(void* self) {
    static_cast<Keyboard*>(self)->Relay();
    return 0;
}

void Keyboard::Relay() {
    for (;;) {
        // Until the plug-in (or a box) took what is queued, read nothing more.
        DWORD pending = 0;
        while (!stop_ && GetNumberOfConsoleInputEvents(in_, &pending) && pending > 0) Sleep(10);
        if (stop_) return;
        INPUT_RECORD record;
        DWORD read = 0;
        if (!ReadConsoleInputA(in_, &record, 1, &read) || read != 1) {
            Sleep(10);
            continue;
        }
        if (stop_ && record.EventType == FOCUS_EVENT) return;
        EnterCriticalSection(&lock_);
        bool toHost = hostWaiting_ != 0;
        if (toHost) forHost_.push_back(record);
        LeaveCriticalSection(&lock_);
        if (toHost) {
            SetEvent(handed_);
        } else {
            DWORD written = 0;
            WriteConsoleInputA(in_, &record, 1, &written);
        }
        if (stop_) return;
    }
}

}  // namespace host_emu
