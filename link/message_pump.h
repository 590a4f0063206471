// The one message pump and the one wait of every thread that waits for the
// phone (message_pump.cpp says why they all pump).
#pragma once

#include <windows.h>

// What wakes a pumping wait: every kind of queued input, posted and sent
// messages.
enum : DWORD { PumpWakeMask = QS_ALLINPUT };

// Asked after each message a pump dispatches; true stops the pump there.
typedef bool (*PumpStop)(void* context);

// Waits up to `timeout` for `count` handles while dispatching every message
// that reaches the thread. Answers the signalled handle's index, WAIT_TIMEOUT,
// or WAIT_FAILED; with `stop`, WAIT_OBJECT_0 + count once it stopped the pump.
DWORD PumpingWait(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeout,
                  PumpStop stop = nullptr, void* stopContext = nullptr);
DWORD PumpingWaitOne(HANDLE handle, DWORD timeout);
// Dispatches every message waiting for this thread, without waiting; with
// `stop`, stops after the message it answers true to, and answers true.
bool DispatchQueued(PumpStop stop = nullptr, void* context = nullptr);
